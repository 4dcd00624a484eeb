// The one way the tool writes its lines. Its texts are ANSI (the system's
// message texts, account names, its own fixed lines); a console shows bytes
// in its own output code page, which on most non-English systems is not the
// ANSI one, so on a console the text goes through the wide interface.
#pragma once

#include <cstdio>
#include <string>

namespace taskctl {

// Writes text to out. When out is a console, the text is converted from the
// ANSI code page and shown with WriteConsoleW, so accented letters read
// right; to a file or a pipe (or when the console refuses the text) the bytes
// go out unchanged. Line ends stay as they are. out is flushed.
void writeText(FILE* out, const std::string& text);

// printf-style formatting in full, then writeText.
void printText(FILE* out, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace taskctl
