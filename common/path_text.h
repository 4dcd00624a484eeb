// Path text routines of the shared library: cleaning a path and joining a
// relative path onto a base. They only work on text (no system calls), in
// buffers of kMaxPath characters.
#pragma once

#include <cstddef>

constexpr std::size_t kMaxPath = 260;

// Begins with two backslashes.
bool isNetworkPath(const char* path);
// Begins with a drive letter and a colon.
bool hasDriveLetter(const char* path);

// The root of a path: the names at its start that stand for no folder of
// their own. ".." never climbs above them, they are never created, a path
// rooted without a drive keeps them from its base, and one path leads to
// another only through a root they share whole.
//   "C:\a", "C:a"        the drive: one name ("C:", "C:a"), the text "C:"
//   "\\server\share\a"  the two empty names, the server and the share: four
//                       names, the text "\\server\share" (all of a path that
//                       ends before the share does)
//   "\a"                the empty name before the backslash: one name, no text
//   "a\b:c"             a colon elsewhere, as if of a drive: one name, no text
//   "a\b"               no root
struct PathRoot {
    std::size_t length;  // bytes of the text the root takes up
    int names;           // names the root holds
};
PathRoot pathRoot(const char* path);

// Copies in to out; false (out untouched) when in does not fit.
bool copyPath(char (&out)[kMaxPath], const char* in);

// In place on a buffer of kMaxPath characters.
void convertSlashes(char* path);
bool normalizePath(char* path);
bool resolvePath(const char* base, const char* relative, char* out);
