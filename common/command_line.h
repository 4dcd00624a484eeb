// Command lines of the child programs, formatted in full or not at all.
#pragma once

#include <cstddef>
#include <string>

// Longest command line built for a child: a zero-filled buffer of 1024
// characters leaves room for 1023 and the terminating NUL.
constexpr std::size_t kCommandLineLimit = 1023;

// printf-style formatting of a child's command line. Returns false and
// leaves line empty when the text would be longer than kCommandLineLimit:
// a host or path cut short would send the child somewhere else.
bool formatCommandLine(std::string& line, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
