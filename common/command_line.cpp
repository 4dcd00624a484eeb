#include "common/command_line.h"

#include <cstdarg>
#include <cstdio>

bool formatCommandLine(std::string& line, const char* format, ...) {
    char buffer[kCommandLineLimit + 1] = {};
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (length < 0 || static_cast<std::size_t>(length) > kCommandLineLimit) {
        line.clear();
        return false;
    }
    line.assign(buffer, static_cast<std::size_t>(length));
    return true;
}
