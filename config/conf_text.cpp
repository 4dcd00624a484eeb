#include "config/conf_text.h"

namespace conftext {

namespace {
const char kWhiteSpace[] = " \t\n\v\f\r";
const char kPlaceholder[] = "%s";
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

}  // namespace conftext
