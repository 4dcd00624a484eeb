// What the fuzz targets share: a failed property stops the run (libFuzzer
// keeps the input), and inputs made of two texts.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>

namespace fuzz {

inline void require(bool condition) {
    if (!condition) std::abort();
}

// The input's two texts, separated by its first line feed; each ends at its
// first NUL, as a C string does. Without a line feed the second is empty.
inline std::pair<std::string, std::string> twoTexts(const std::string& input) {
    const std::string::size_type split = input.find('\n');
    std::string first = input.substr(0, split).c_str();
    std::string second = split == std::string::npos ? std::string() : input.substr(split + 1).c_str();
    return {first, second};
}

}  // namespace fuzz
