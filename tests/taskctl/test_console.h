// A console of the test's own whose output code page differs from the ANSI
// one, with fresh screen buffers that a test writes on (or hands to the tool
// as its standard streams) and reads back as wide text.
#pragma once

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "common/handles.h"

namespace taskctl_test {

// The Western European OEM page: under Wine the ANSI page is 1252, where
// the tests' accented letters have other codes (0xE8 is "è" there, "Þ" here).
constexpr UINT kTestConsoleCodePage = 850;

// Screen buffer size: wide enough that no line of the tool wraps, tall
// enough for the longest text a test writes.
constexpr SHORT kScreenColumns = 120;
constexpr SHORT kScreenRows = 400;

// Leaves whatever console the test process had and allocates its own, set to
// kTestConsoleCodePage; on destruction frees it and gives the process its
// standard handles back.
class TestConsole {
public:
    TestConsole();
    ~TestConsole();
    TestConsole(const TestConsole&) = delete;
    TestConsole& operator=(const TestConsole&) = delete;

    bool ready() const { return ready_; }

    // An empty, inheritable screen buffer of this console.
    norvale::FileHandle newScreen() const;

private:
    HANDLE savedInput_;
    HANDLE savedOutput_;
    HANDLE savedError_;
    bool ready_ = false;
};

// The screen from its top row to the cursor's row, each row without its
// trailing blanks, rows joined by a line feed.
std::wstring screenText(HANDLE screen);

// What a console shows for ANSI text given to it as the ANSI code page reads
// it, in the form of screenText: line ends as line feeds, trailing blanks cut.
std::wstring shownAs(const std::string& ansi);

// A C stream in binary mode (as the tool's standard error) writing to screen.
using Stream = std::unique_ptr<FILE, int (*)(FILE*)>;
Stream streamOn(HANDLE screen);

}  // namespace taskctl_test
