#include "taskctl/operation_mask.h"

#include <cstdint>
#include <cstdlib>

namespace taskctl {

namespace {

constexpr unsigned kTestedBits = 0xFF;

}  // namespace

// The tool's long is 32 bits. Reading through a 64-bit conversion and
// clamping to the 32-bit limits gives the same value there and keeps it on
// builds whose long is wider (the native test build).
long parseMask(const char* text) {
    long long value = std::strtoll(text, nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<long>(value);
}

unsigned operationsOf(long mask) {
    return static_cast<unsigned long>(mask) & kTestedBits;
}

}  // namespace taskctl
