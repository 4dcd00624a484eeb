#include "config/conf_text.h"

namespace conftext {

namespace {
const char kWhiteSpace[] = " \t\n\v\f\r";
const char kPlaceholder[] = "%s";
// The magnitudes a signed 32-bit number can have, by sign.
const std::int64_t kLargestPositive = 2147483647;
const std::int64_t kLargestNegative = 2147483648;
}  // namespace

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string trim(const std::string& text) {
    std::string::size_type first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string::npos) return std::string();
    std::string::size_type last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

std::string fillPlaceholder(const std::string& format, const std::string& argument) {
    std::string::size_type at = format.find(kPlaceholder);
    if (at == std::string::npos) return format;
    std::string result(format, 0, at);
    result += argument;
    result.append(format, at + 2, std::string::npos);
    return result;
}

bool toInt32(const std::string& text, std::int32_t& number) {
    std::string::size_type at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '+' || negative)) at = 1;
    if (at == text.size()) return false;
    const std::int64_t largest = negative ? kLargestNegative : kLargestPositive;
    std::int64_t magnitude = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > largest) return false;
    }
    number = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

}  // namespace conftext
