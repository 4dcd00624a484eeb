// Folder arithmetic of the removal tool: the path from one folder to
// another, and the product folder of another user's profile. Text only (no
// system calls); every result goes into a buffer of kMaxPath characters, and
// an input or a result that would not fit is refused, never cut short.
#pragma once

#include "common/path_text.h"

// The path that leads from folder `from` to folder `to` (both ending in a
// backslash): ".\" or one "..\" per folder to go up, then the part of `to`
// below the shared folders. Folders are compared whole and case-sensitively.
// False when the paths share no root, all of it (see pathRoot), or a text
// does not fit.
bool relativePath(const char* from, const char* to, char* out);

// The path from the profile folder to the application-data folder, both
// given without a trailing backslash, e.g. ".\Application Data\".
bool appDataOffset(const char* profileFolder, const char* appDataFolder, char* out);

// root + name + "\" combined with the offset, followed by "Norvale\".
bool profileNorvaleFolder(const char* root, const char* name, const char* offset, char* out);
