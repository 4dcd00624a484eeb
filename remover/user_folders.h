// Working out the product folder of every user folder under the profiles
// root, from the current user's own profile and application-data folders.
// Every result goes into a buffer of kMaxPath characters; an input or a
// result that would not fit is refused, never cut short.
#pragma once

#include <string>
#include <vector>

#include "common/paths.h"
#include "remover/folder_math.h"

// The path from the current user's profile folder to the application-data
// folder, as the system reports the two folders (see appDataOffset).
bool appDataOffset(char* out);

// profileNorvaleFolder with the current user's application-data offset.
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
