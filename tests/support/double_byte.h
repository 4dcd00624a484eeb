// Japanese texts in the ANSI code page 932, where a character is one byte or
// two: the second byte of 表 and ソ is 0x5C, the byte of a backslash, and the
// second byte of ア is 0x41, the byte of 'A'. The tests named DoubleByte use
// them and run in a Wine prefix of code page 932 (tests/CMakeLists.txt).
#pragma once

#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "common/ansi_text.h"

namespace norvale::testbed {

constexpr char kHyouji[] = "\x95\x5C\x8E\xA6";                              // 表示
constexpr char kHyoujiSofuto[] = "\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67";  // 表示ソフト
constexpr char kApuri[] = "\x83\x41\x83\x76\x83\x8A";                       // アプリ

// Whether the ANSI code page is that of the texts above.
inline bool doubleByteCodePage() { return ansi::isLeadByte(kHyouji[0]); }

constexpr char kNeedsDoubleByte[] = "needs the double-byte ANSI code page 932";

// The ANSI code page the run made for these tests gives them
// (tests/support/in_code_page.sh names it in NORVALE_CODE_PAGE); 0 in any
// other run.
inline unsigned runCodePage() {
    const char* page = std::getenv("NORVALE_CODE_PAGE");
    return page != nullptr ? static_cast<unsigned>(std::strtoul(page, nullptr, 10)) : 0;
}

// The system's ANSI code page; 0 where there is none (the native build).
inline unsigned systemCodePage() {
#if defined(_WIN32)
    return GetACP();
#else
    return 0;
#endif
}

}  // namespace norvale::testbed

// Begins a DoubleByte test. In the run made for it, any other code page is a
// failure, never a skip, so that run cannot pass having tested nothing; in
// any other run (the native build, a program started by hand) the test skips
// without the double-byte code page.
#define NORVALE_NEEDS_DOUBLE_BYTE()                                                      \
    do {                                                                                 \
        if (norvale::testbed::runCodePage() != 0) {                                      \
            ASSERT_EQ(norvale::testbed::systemCodePage(), norvale::testbed::runCodePage()) \
                << "the prefix of this run has another ANSI code page";                  \
            ASSERT_TRUE(norvale::testbed::doubleByteCodePage())                          \
                << "the walks over ANSI text do not see the lead bytes of the code page"; \
        } else if (!norvale::testbed::doubleByteCodePage()) {                            \
            GTEST_SKIP() << norvale::testbed::kNeedsDoubleByte;                          \
        }                                                                                \
    } while (false)

namespace norvale::testbed {

}  // namespace norvale::testbed
