// The tool's lines on a real console whose output code page is not the ANSI
// one: they must read as the ANSI text means them ("Accès refusé.", an
// account with "ü"), while a file or a pipe still receives the ANSI bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/handles.h"
#include "taskctl/console_text.h"
#include "tests/taskctl/taskctl_folder.h"
#include "tests/taskctl/test_console.h"

namespace taskctl_test {
namespace {

// Under Wine an account's domain is the active computer name, read from
// here at each lookup (a volatile key, filled from the host name at every
// start): a name with "Ü" gives the tool an account text outside ASCII, as
// a German account name would on Windows.
constexpr char kActiveComputerNameKey[] =
    "System\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName";
constexpr wchar_t kComputerNameValue[] = L"ComputerName";
constexpr wchar_t kAccentedComputerName[] = L"M\u00dcLLER-PC";
constexpr char kAccentedDomainAnsi[] = "M\xdcLLER-PC\\";
// Room for the computer name there; a DNS host name fits.
constexpr size_t kNameChars = 256;

// Sets the active computer name for the owner's lifetime.
class AccentedComputerName {
public:
    AccentedComputerName() {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kActiveComputerNameKey, 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE, key_.receive()) != ERROR_SUCCESS)
            return;
        wchar_t old[kNameChars] = {};
        DWORD size = sizeof(old) - sizeof(wchar_t);
        if (RegQueryValueExW(key_.get(), kComputerNameValue, nullptr, nullptr,
                             reinterpret_cast<BYTE*>(old), &size) != ERROR_SUCCESS)
            return;
        old_ = old;
        active_ = set(kAccentedComputerName);
    }
    ~AccentedComputerName() {
        if (active_) set(old_);
    }
    AccentedComputerName(const AccentedComputerName&) = delete;
    AccentedComputerName& operator=(const AccentedComputerName&) = delete;
    bool active() const { return active_; }

private:
    bool set(const std::wstring& name) {
        DWORD bytes = static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t));
        return RegSetValueExW(key_.get(), kComputerNameValue, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(name.c_str()), bytes) == ERROR_SUCCESS;
    }

    norvale::RegKey key_;
    std::wstring old_;
    bool active_ = false;
};

// Rows of accented text, longer in all than one console write of the tool.
std::string manyRows() {
    std::string text;
    for (int row = 0; row < 200; ++row)
        text += "\xc4nderung f\xfcr M\xfcller \xfc" "bernommen, acc\xe8s refus\xe9.\r\n";
    return text;
}

struct ConsoleCase {
    const char* what;
    std::string text;
};

TEST(ConsoleTextTest, AnsiTextReadsRightOnConsoleOfAnotherCodePage) {
    TestConsole console;
    ASSERT_TRUE(console.ready()) << "no console of code page " << kTestConsoleCodePage;
    const std::vector<ConsoleCase> cases = {
        {"system text", "[0x00000005]: Acc\xe8s refus\xe9.\r\n"},
        {"account", "User context 'B\xdcRO\\j\xfcrgen.m\xfcller'\n"},
        {"no line end", "M\xfcller"},
        {"many rows", manyRows()},
    };
    for (const ConsoleCase& sample : cases) {
        norvale::FileHandle screen = console.newScreen();
        ASSERT_TRUE(screen);
        Stream stream = streamOn(screen.get());
        ASSERT_TRUE(stream);
        taskctl::printText(stream.get(), "%s", sample.text.c_str());
        EXPECT_EQ(screenText(screen.get()), shownAs(sample.text)) << sample.what;
    }
    // The console reads bytes by its own code page: written as they are, the
    // ANSI bytes show other letters, so the cases above did test something.
    norvale::FileHandle raw = console.newScreen();
    ASSERT_TRUE(raw);
    DWORD written = 0;
    WriteFile(raw.get(), cases[0].text.data(), static_cast<DWORD>(cases[0].text.size()), &written,
              nullptr);
    EXPECT_NE(screenText(raw.get()), shownAs(cases[0].text));
}

using ToolConsoleTest = ToolFolderTest;

// Bit 0 with no launcher running prints the start line, the account and
// status 2 twice: on a console the same text as on a file, read right.
TEST_F(ToolConsoleTest, ToolLinesOnConsoleReadAsTheirAnsiBytes) {
    AccentedComputerName computerName;
    ASSERT_TRUE(computerName.active());
    ToolRun onFile = run("-f 1");
    ASSERT_NE(onFile.standardError.find(std::string("User context '") + kAccentedDomainAnsi),
              std::string::npos)
        << "the file gets the ANSI bytes:\n" << onFile.standardError;

    TestConsole console;
    ASSERT_TRUE(console.ready());
    norvale::FileHandle screen = console.newScreen();
    ASSERT_TRUE(screen);
    ToolRun onConsole = runToolOnConsole(folder_.file(kToolFileName), "-f 1", screen.get());
    ASSERT_TRUE(onConsole.finished);
    EXPECT_EQ(onConsole.exitCode, onFile.exitCode);
    EXPECT_EQ(screenText(screen.get()), shownAs(onFile.standardError));
}

}  // namespace
}  // namespace taskctl_test
