// Small text helpers shared by the configuration reader and its converters.
// White space is the six ASCII control and blank bytes only; bytes of 0x80
// and above never count, whatever the locale says.
#pragma once

#include <string>

namespace conftext {

bool isSpace(char c);
// The text without white space at either end.
std::string trim(const std::string& text);
// The format with its first "%s" replaced by the argument.
std::string fillPlaceholder(const std::string& format, const std::string& argument);

}  // namespace conftext
