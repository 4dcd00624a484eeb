#include "tests/standins/journal/control.h"

#include <cstdlib>
#include <fstream>

namespace standin {

namespace {

std::string trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool toLong(const std::string& text, long& value) {
    std::string digits = trim(text);
    if (digits.empty()) return false;
    char* end = nullptr;
    value = std::strtol(digits.c_str(), &end, 0);
    return end != nullptr && *end == '\0';
}

}  // namespace

Control Control::load(const std::string& controlPath) {
    Control control;
    std::ifstream in(controlPath);
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        control.values_[trim(line.substr(0, equals))] = trim(line.substr(equals + 1));
    }
    return control;
}

bool Control::has(const std::string& key) const { return values_.count(key) != 0; }

std::string Control::text(const std::string& key, const std::string& fallback) const {
    auto found = values_.find(key);
    return found == values_.end() ? fallback : found->second;
}

long Control::number(const std::string& key, long fallback) const {
    long value = 0;
    return toLong(text(key, std::string()), value) ? value : fallback;
}

bool Control::flag(const std::string& key) const {
    std::string value = text(key, "0");
    return value == "1" || value == "yes" || value == "true";
}

int Control::exitCodeForRun(int run) const {
    std::vector<int> codes = parseCodeList(text(kKeyExitCodes, std::string()));
    if (codes.empty()) return 0;
    if (run < 1) run = 1;
    std::size_t index = static_cast<std::size_t>(run - 1);
    return index < codes.size() ? codes[index] : codes.back();
}

std::vector<int> parseCodeList(const std::string& text) {
    std::vector<int> codes;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        // Codes are 32-bit; 0xC0000005 and the like are given in hex.
        std::string piece = trim(text.substr(start, comma - start));
        if (!piece.empty()) {
            char* end = nullptr;
            long long wide = std::strtoll(piece.c_str(), &end, 0);
            if (end != nullptr && *end == '\0') {
                codes.push_back(static_cast<int>(static_cast<unsigned int>(wide)));
            }
        }
        start = comma + 1;
    }
    return codes;
}

bool writeControl(const std::string& controlPath,
                  const std::map<std::string, std::string>& values) {
    std::ofstream out(controlPath, std::ios::trunc);
    for (const auto& entry : values) out << entry.first << "=" << entry.second << "\n";
    return static_cast<bool>(out);
}

}  // namespace standin
