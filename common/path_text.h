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
// Copies in to out; false (out untouched) when in does not fit.
bool copyPath(char (&out)[kMaxPath], const char* in);

// In place on a buffer of kMaxPath characters.
void convertSlashes(char* path);
bool normalizePath(char* path);
bool resolvePath(const char* base, const char* relative, char* out);
