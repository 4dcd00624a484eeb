// Small text helpers shared by the configuration reader and its converters.
// White space is the six ASCII control and blank bytes only; bytes of 0x80
// and above never count, whatever the locale says.
#pragma once

#include <cstdint>
#include <string>

namespace conftext {

bool isSpace(char c);
// The text without white space at either end.
std::string trim(const std::string& text);
// The format with its first "%s" replaced by the argument.
std::string fillPlaceholder(const std::string& format, const std::string& argument);
// The signed 32-bit number that the whole text writes in decimal: an
// optional "+" or "-", then one or more digits, leading zeros allowed.
// False, with number untouched, for anything else: an empty text, a sign
// alone, white space, any other byte, a value outside the 32-bit range.
bool toInt32(const std::string& text, std::int32_t& number);

}  // namespace conftext
