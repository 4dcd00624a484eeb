// The ANSI code page of the native build, where no C runtime tells it:
// single-byte unless a test or fuzz target chooses a double-byte one, whose
// lead bytes (0x81 to 0x9F, 0xE0 to 0xFC) are those of code page 932.
#pragma once

#include <string>

namespace native_code_page {

void useDoubleByte(bool doubleByte);

// Whether text ends with the first half of a character, which no name the
// system hands out does: a backslash put after it would complete the
// character instead of separating a name.
bool endsWithHalfCharacter(const std::string& text);

}  // namespace native_code_page
