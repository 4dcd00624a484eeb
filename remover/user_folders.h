// Working out the product folder of every user folder under the profiles
// root, from the current user's own profile and application-data folders.
// Every result goes into a buffer of kMaxPath characters; an input or a
// result that would not fit is refused, never cut short.
#pragma once

#include <string>
#include <vector>

#include "common/paths.h"

// The path that leads from folder `from` to folder `to` (both ending in a
// backslash): ".\" or one "..\" per folder to go up, then the part of `to`
// below the shared folders. Folders are compared whole and case-sensitively.
// False when the paths share no root or a text does not fit.
bool relativePath(const char* from, const char* to, char* out);

// The path from the profile folder to the application-data folder, both
// given without a trailing backslash, e.g. ".\Application Data\".
bool appDataOffset(const char* profileFolder, const char* appDataFolder, char* out);
// The same for the current user, as the system reports the two folders.
bool appDataOffset(char* out);

// root + name + "\" combined with the offset, followed by "Norvale\".
bool profileNorvaleFolder(const char* root, const char* name, const char* offset, char* out);
// The same with the current user's application-data offset.
bool profileNorvaleFolder(const char* root, const char* name, char* out);

// The parent of the current user's profile folder, ending in a backslash.
bool profilesRoot(char* out);

// Names of all folders under the profiles root, in listing order. A name
// the code page cannot hold is given as the folder's short name; a folder
// without one is skipped with a warning. Throws ERROR_NO_SUCH_USER (as
// unsigned long) when the root cannot be worked out or listed.
std::vector<std::string> listUserDirs();
// The same for a given root ending in a backslash.
std::vector<std::string> listUserDirsUnder(const char* root);

// Whether the folder root + name, or any existing folder below it on the way
// to productFolder, is a link (junction or symbolic link): a removal through
// it would reach wherever the link points.
bool linkOnTheWay(const char* root, const char* name, const char* productFolder);
