// Japanese texts in the ANSI code page 932, where a character is one byte or
// two: the second byte of 表 and ソ is 0x5C, the byte of a backslash, and the
// second byte of ア is 0x41, the byte of 'A'. The tests named DoubleByte use
// them and run in a Wine prefix of code page 932 (tests/CMakeLists.txt).
#pragma once

#include "common/ansi_text.h"

namespace norvale::testbed {

constexpr char kHyouji[] = "\x95\x5C\x8E\xA6";                              // 表示
constexpr char kHyoujiSofuto[] = "\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67";  // 表示ソフト
constexpr char kApuri[] = "\x83\x41\x83\x76\x83\x8A";                       // アプリ

// Whether the ANSI code page is that of the texts above.
inline bool doubleByteCodePage() { return ansi::isLeadByte(kHyouji[0]); }

constexpr char kNeedsDoubleByte[] = "needs the double-byte ANSI code page 932";

}  // namespace norvale::testbed
