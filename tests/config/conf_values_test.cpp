#include "config/conf_exceptions.h"
#include "config/conf_values.h"
#include "tests/config/domain_reference.h"
#include "tests/support/double_byte.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

const char kNotAPort[] = "' is not a valid portnumber [1, 65535].";
const char kNotAHost[] = "' is not a valid hostname.";

// The message of the fendrel::invalid_argument the call throws, or "" when
// it returns. An exception's text ends at its first NUL byte, so expected
// messages are compared up to theirs.
template <typename Call>
std::string refusal(Call call) {
    try {
        call();
    } catch (const fendrel::invalid_argument& refused) {
        return refused.what();
    }
    return "";
}

std::string upToNul(const std::string& text) { return text.c_str(); }

struct PortCase {
    std::string text;
    int expected;  // 0: refused
};

TEST(ConfValuesPort, AcceptsOnlyDecimalNumbersFrom1To65535) {
    const std::vector<PortCase> cases = {
        {"25", 25},       {"1", 1},           {"65535", 65535},  {"025", 25},
        {" 25 ", 25},     {"\t25\r\n", 25},   {"+25", 25},       {"0", 0},
        {"65536", 0},     {"-1", 0},          {"-25", 0},        {"2 5", 0},
        {"", 0},          {"   ", 0},         {"abc", 0},        {"25a", 0},
        {"0x19", 0},      {"25.0", 0},        {"+", 0},          {"-", 0},
        {"++25", 0},      {"4294967321", 0},  {"99999999999999999999", 0},
        {"\xA0" "25", 0}, {std::string("2\0" "5", 3), 0},
        // Any run of leading zeros; no number that wraps round to a port.
        {std::string(40, '0') + "25", 25}, {"-4294967271", 0}, {"18446744073709551641", 0},
    };
    for (const PortCase& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        if (c.expected) {
            EXPECT_EQ(c.expected, validatePort(c.text));
        } else {
            EXPECT_EQ(upToNul("'" + c.text + kNotAPort), refusal([&] { validatePort(c.text); }));
        }
    }
}

struct HostCase {
    std::string text;
    std::string expected;  // "" when refused
};

TEST(ConfValuesHost, AcceptsDomainsAndDropsCommentsAndBlanks) {
    const std::vector<HostCase> cases = {
        {"localhost", "localhost"},
        {"127.0.0.1", "127.0.0.1"},
        {"mail.example.org", "mail.example.org"},
        {"local host", "localhost"},
        {"localhost ", "localhost"},
        {" \tlocalhost", "localhost"},
        {"localhost (the loop-back)", "localhost"},
        {"(before)mail.(inside)example", "mail.example"},
        {"a . b", "a.b"},
        {"(outer (nested) \\) text)host", "host"},
        {"ho\r\n st", "host"},
        {"!#$%&'*+-/=?^_`{|}~", "!#$%&'*+-/=?^_`{|}~"},
        {"[127.0.0.1]", "[127.0.0.1]"},
        {"[ 127.0.0.1 ]", "[127.0.0.1]"},
        {"[a\\]b]", "[a\\]b]"},
        {"[(x]", "[(x]"},
        {"[(x)y]", "[y]"},
        {"[((x)]", "[(]"},
        {"[a(] (x)", "[a(]"},
        {"a..b", ""},
        {"a.", ""},
        {".a", ""},
        {"user@host", ""},
        {"", ""},
        {"  ", ""},
        {"(only a comment)", ""},
        {"(unclosed host", ""},
        {"host (unclosed", ""},
        {"[]", ""},
        {"[ ]", ""},
        {"[a", ""},
        {"[a]b", ""},
        {"[a[b]", ""},
        {"[a\\", ""},
        {"ho\r\nst", ""},
        {"ho\r\n\r\n st", ""},
        {"h\xC3\xA9te", ""},
        {std::string("a\0b", 3), ""},
        {"a b@c", ""},
        {"[::1", ""},
    };
    for (const HostCase& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        if (!c.expected.empty()) {
            EXPECT_EQ(c.expected, validateHostname(c.text));
        } else {
            EXPECT_EQ(upToNul("'" + c.text + kNotAHost), refusal([&] { validateHostname(c.text); }));
        }
    }
}

TEST(ConfValuesHost, WithoutSkippingBlanksAndCommentsAreRefused) {
    const std::string plain = "a.b";
    std::string out = "kept";
    EXPECT_TRUE(parseDomain(out, plain.data(), plain.data() + plain.size(), false));
    EXPECT_EQ("a.b", out);
    const std::string blank = "a b";
    out = "kept";
    EXPECT_FALSE(parseDomain(out, blank.data(), blank.data() + blank.size(), false));
    EXPECT_EQ("kept", out);
    const std::string comment = "a(c)";
    EXPECT_FALSE(parseDomain(out, comment.data(), comment.data() + comment.size(), false));
}

// The linear recogniser must accept exactly what the plain recursive one
// accepts, with the same output, on every short text over the bytes that
// matter to the grammar.
TEST(ConfValuesHost, AgreesWithThePlainRecursiveRecogniser) {
    const std::string alphabet = "[]()\\ \t\r\na.@\x80";
    std::mt19937 random(20240611u);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 14);
    for (int round = 0; round < 200000; ++round) {
        std::string text;
        for (int n = length(random); n > 0; --n) text += alphabet[pick(random)];
        for (bool skip : {true, false}) {
            std::string expected, actual;
            bool expectedOk = reference::Domain(text, skip).parse(expected);
            bool actualOk = parseDomain(actual, text.data(), text.data() + text.size(), skip);
            ASSERT_EQ(expectedOk, actualOk) << "'" << text << "' skip " << skip;
            if (expectedOk) {
                ASSERT_EQ(expected, actual) << "'" << text << "'";
            }
        }
    }
}

struct AddressCase {
    std::string value;
    int port;              // 0: refused
    std::string hostOrMessage;
};

TEST(ConfValuesAddress, HostAndPortOrTheRefusal) {
    const std::vector<AddressCase> cases = {
        {"127.0.0.1:25", 25, "127.0.0.1"},
        {"127.0.0.1: 25", 25, "127.0.0.1"},
        {"localhost :3887", 3887, "localhost"},
        {"[127.0.0.1]:25", 25, "[127.0.0.1]"},
        {"localhost(proxy):110", 110, "localhost"},
        {"127.0.0.1", 0, "No separator ':' found in '127.0.0.1'."},
        {"", 0, "No separator ':' found in ''."},
        {":25", 0, "'" + std::string(kNotAHost)},
        {"a..b:25", 0, "'a..b" + std::string(kNotAHost)},
        {"a..b:no port", 0, "'a..b" + std::string(kNotAHost)},
        {"localhost:25:26", 0, "'25:26" + std::string(kNotAPort)},
        {"localhost:", 0, "'" + std::string(kNotAPort)},
        {"localhost:0", 0, "'0" + std::string(kNotAPort)},
        {"localhost: 65536 ", 0, "' 65536 " + std::string(kNotAPort)},
        {"[::1]:25", 0, "'[" + std::string(kNotAHost)},
        // The host goes unquoted into a command line: no quoted pair may
        // keep a blank, a tab, a double quote or a control character in it.
        {"[a\\ b]:2626", 0, "'[a\\ b]" + std::string(kNotAHost)},
        {"[a\\\"b]:2727", 0, "'[a\\\"b]" + std::string(kNotAHost)},
        {"[a\\\tb]:25", 0, "'[a\\\tb]" + std::string(kNotAHost)},
        {"[a\"b]:25", 0, "'[a\"b]" + std::string(kNotAHost)},
        {"[a\x01" "b]:25", 0, "'[a\x01" "b]" + std::string(kNotAHost)},
        {"[a\\\x7F" "b]:25", 0, "'[a\\\x7F" "b]" + std::string(kNotAHost)},
        {"[a\\]b]:25", 25, "[a\\]b]"},
        {"[ a b ]:25", 25, "[ab]"},
    };
    for (const AddressCase& c : cases) {
        SCOPED_TRACE(c.value);
        HostPort target;
        target.port = 42;
        target.host = "before";
        std::string message = refusal([&] { HostPortValue{target}(c.value); });
        if (c.port) {
            EXPECT_EQ("", message);
            EXPECT_EQ(c.port, target.port);
            EXPECT_EQ(c.hostOrMessage, target.host);
        } else {
            EXPECT_EQ(c.hostOrMessage, message);
            EXPECT_EQ(42, target.port);
            EXPECT_EQ("before", target.host);
        }
    }
}

PortList range(int low, int high) {
    PortList ports;
    for (int port = low; port <= high; ++port) ports.push_back(port);
    return ports;
}

PortList repeated(const PortList& ports, int times) {
    PortList all;
    for (int n = 0; n < times; ++n) all.insert(all.end(), ports.begin(), ports.end());
    return all;
}

std::string repeatedText(const std::string& text, int times) {
    std::string all;
    for (int n = 0; n < times; ++n) all += text;
    return all;
}

struct PortListCase {
    std::string value;
    PortList expected;
    std::string message;  // non-empty when refused
};

TEST(ConfValuesPortList, ItemsRangesAndExclusions) {
    const PortList all = range(1, 65535);
    const std::vector<PortListCase> cases = {
        {"25,110;143", {25, 110, 143}, ""},
        {"1-5,!3", {1, 2, 4, 5}, ""},
        {"!3,1-5", {1, 2, 3, 4, 5}, ""},
        {"5-1", {1, 2, 3, 4, 5}, ""},
        {"25,25", {25, 25}, ""},
        {"25,25,!25,25", {25}, ""},
        {"25,,;110", {25, 110}, ""},
        {" 1 - 3 ; ! 2 ", {1, 3}, ""},
        {"1-5,!2-3,2", {1, 4, 5, 2}, ""},
        {"1-5,!4-2", {1, 5}, ""},
        {"", {}, ""},
        {" , ; ", {}, ""},
        {"1-65535", all, ""},
        {"1-65535,!1-65535", {}, ""},
        {"65535-1", all, ""},
        {repeatedText("1-65535,", 16), repeated(all, 16), ""},
        {"25 110", {}, "'25 110" + std::string(kNotAPort)},
        {"25,abc,110", {}, "'abc" + std::string(kNotAPort)},
        {"0", {}, "'0" + std::string(kNotAPort)},
        {"-5", {}, "'" + std::string(kNotAPort)},
        {"1-2-3", {}, "'2-3" + std::string(kNotAPort)},
        {"1-65536", {}, "'65536" + std::string(kNotAPort)},
        {"!", {}, "'" + std::string(kNotAPort)},
        {"!!3", {}, "'!3" + std::string(kNotAPort)},
        {repeatedText("1-65535,", 17), {}, "'" + repeatedText("1-65535,", 17) + "' names more than 1048576 ports."},
    };
    for (const PortListCase& c : cases) {
        SCOPED_TRACE(c.value.substr(0, 40));
        PortList target = {7, 8};
        std::string message = refusal([&] { PortListValue{target, ",;"}(c.value); });
        EXPECT_EQ(c.message, message);
        if (c.message.empty()) {
            EXPECT_EQ(c.expected, target);
        } else {
            EXPECT_EQ((PortList{7, 8}), target);
        }
    }
}

TEST(ConfValuesPortList, ItemOfAnExcludedRange) {
    std::pair<PortList, bool> item = parsePortItem(" !10- 12 ");
    EXPECT_TRUE(item.second);
    EXPECT_EQ((PortList{10, 11, 12}), item.first);
    item = parsePortItem("   ");
    EXPECT_FALSE(item.second);
    EXPECT_TRUE(item.first.empty());
}

struct AppListCase {
    std::string value;
    AppList expected;
};

TEST(ConfValuesAppList, NamesTrimmedAndInLowerCase) {
    const std::vector<AppListCase> cases = {
        {" OUTLOOK.EXE ;Thunderbird.exe", {"outlook.exe", "thunderbird.exe"}},
        {"My Mail App.EXE", {"my mail app.exe"}},
        {"C:\\Program Files\\APP.EXE", {"c:\\program files\\app.exe"}},
        {"a,,;b, ,c", {"a", "b", "c"}},
        {"same,SAME", {"same", "same"}},
        {"\xC4PP.EXE", {"\xC4pp.exe"}},
        {"", {}},
    };
    for (const AppListCase& c : cases) {
        SCOPED_TRACE(c.value);
        AppList target = {"old"};
        AppListValue{target, ",;"}(c.value);
        EXPECT_EQ(c.expected, target);
    }
}

// Only single-byte letters are lowered: the second byte of a double-byte
// character stays, also where it is the byte of a capital letter.
TEST(ConfValuesAppList, DoubleByteNamesKeepTheirSecondBytes) {
    using norvale::testbed::kApuri;
    NORVALE_NEEDS_DOUBLE_BYTE();
    const std::vector<AppListCase> cases = {
        {std::string(kApuri) + ".EXE", {std::string(kApuri) + ".exe"}},
        {"MAIL" + std::string(kApuri) + "X.EXE; " + kApuri, {"mail" + std::string(kApuri) + "x.exe", kApuri}},
    };
    for (const AppListCase& c : cases) {
        SCOPED_TRACE(c.value);
        AppList target;
        AppListValue{target, ",;"}(c.value);
        EXPECT_EQ(c.expected, target);
    }
}

}  // namespace
