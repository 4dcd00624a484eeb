#include "linkprobe/c2s_exception.h"

#include <cstdio>
#include <utility>

namespace c2s {

namespace {
constexpr std::size_t kDescribeBufferSize = 1000;
}

exception::exception(int code, int reason, std::string file, int line)
    : code(code), reason(reason), file(std::move(file)), line(line) {}

std::string exception::describe() const {
    char text[kDescribeBufferSize] = {};
    std::snprintf(text, sizeof text, "eXception c2s::%d, reason::%d [%s:%d]", code, reason,
                  file.c_str(), line);
    return text;
}

}  // namespace c2s
