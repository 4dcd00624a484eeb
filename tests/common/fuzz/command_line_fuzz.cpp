// Formats the command lines that the programs build for their children,
// with texts and numbers taken from the input: the first byte chooses the
// line, the next eight give two numbers, the rest up to the first line feed
// is the text (a host or a path). A formatted line is either complete (the
// exact text, at most kCommandLineLimit characters) or refused (false and
// empty), never cut short, and it is refused exactly when it would not fit.
#include "common/command_line.h"
#include "tests/native/fuzz_input.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using fuzz::require;

constexpr const char kLinkProbe[] = "norvale-linkprobe.exe";
constexpr const char kMailProxy[] = "norvale-mail.exe";

int numberAt(const std::uint8_t* data) {
    std::uint32_t value;
    std::memcpy(&value, data, sizeof value);
    return static_cast<int>(value);
}

void check(bool ok, const std::string& line, const std::string& expected) {
    const bool fits = expected.size() <= kCommandLineLimit;
    require(ok == fits);
    require(ok ? line == expected : line.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kHeader = 9;
    if (size < kHeader) return 0;
    const int first = numberAt(data + 1);
    const int second = numberAt(data + 5);
    std::string text(reinterpret_cast<const char*>(data) + kHeader, size - kHeader);
    text = text.substr(0, text.find('\n')).c_str();
    const char* t = text.c_str();

    std::string line = "not yet formatted";
    bool ok = false;
    std::string expected;
    switch (data[0] % 4) {
    case 0:
        ok = formatCommandLine(line, "%s %s %s %d", kLinkProbe, "-bindcheck", t, first);
        expected = std::string(kLinkProbe) + " -bindcheck " + text + " " + std::to_string(first);
        break;
    case 1:
        ok = formatCommandLine(line, "%s %s %d %d %s", kLinkProbe, "-lspcheck", first, second, t);
        expected = std::string(kLinkProbe) + " -lspcheck " + std::to_string(first) + " " +
                   std::to_string(second) + " " + text;
        break;
    case 2:
        ok = formatCommandLine(line, "%s %s %s %d", kLinkProbe, "-lspcheckfus", t, first);
        expected = std::string(kLinkProbe) + " -lspcheckfus " + text + " " + std::to_string(first);
        break;
    default:
        ok = formatCommandLine(line, "%s %s %s%s%s", kMailProxy, "-c", "\"", t, "\"");
        expected = std::string(kMailProxy) + " -c \"" + text + "\"";
        break;
    }
    check(ok, line, expected);
    return 0;
}
