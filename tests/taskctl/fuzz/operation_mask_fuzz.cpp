// Reads the input (up to its first NUL) as the process control tool's "-f"
// value. The mask must be the decimal number the text begins with (after
// blanks and a sign; 0 when there is none), clamped to the signed 32-bit
// range, and the operations it selects must be the low byte of that 32-bit
// value.
#include "taskctl/operation_mask.h"
#include "tests/native/fuzz_input.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using fuzz::require;

std::int32_t expectedMask(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    std::int64_t number = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
        number = number * 10 + (*text - '0');
        if (number > INT64_C(1) << 32) number = INT64_C(1) << 32;  // beyond either limit
    }
    if (negative) number = -number;
    if (number > INT32_MAX) return INT32_MAX;
    if (number < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(number);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const long mask = taskctl::parseMask(text.c_str());
    const std::int32_t expected = expectedMask(text.c_str());
    require(mask == expected);
    require(taskctl::operationsOf(mask) == (static_cast<std::uint32_t>(expected) & 0xFFu));
    return 0;
}
