#include "common/install_flag.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/handles.h"
#include "common/log_file.h"
#include "common/messages.h"
#include "tests/support/test_files.h"
#include "tests/support/user_state.h"

using namespace norvale::testbed;

namespace {

class InstallFlagTest : public FreshUserTest {
protected:
    void SetUp() override {
        FreshUserTest::SetUp();
        ASSERT_TRUE(logFolder_.valid());
        g_log.open(logFolder_.file("flag.log").c_str());
    }

    std::string logText() const { return readWholeFile(logFolder_.file("flag.log")).value_or(""); }
    bool logged(const std::string& mark, const std::string& text) const {
        return logText().find("] " + mark + " " + text + "\r\n") != std::string::npos;
    }

    // Stores the flag value as raw bytes of the given type, as another
    // program (or a user with regedit) could.
    static void storeRaw(DWORD type, const void* data, DWORD size) {
        norvale::RegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kFlagKey, 0, nullptr, 0,
                                                 KEY_SET_VALUE, nullptr, key.receive(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), kFlagValue, 0, type,
                                                static_cast<const BYTE*>(data), size));
    }
    static void storeText(const std::string& text) {
        storeRaw(REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }

    TempFolder logFolder_{"flag log"};
};

TEST_F(InstallFlagTest, NoKeyReadsAsTwoWithAWarning) {
    EXPECT_EQ(2, getRegistryFlag());
    EXPECT_TRUE(logged("[?]", messageTable[19])) << logText();
}

TEST_F(InstallFlagTest, KeyWithoutTheValueReadsAsTwoWithAnError) {
    storeRaw(REG_SZ, "x", 2);
    norvale::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, kFlagKey, 0, KEY_SET_VALUE, key.receive()));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key.get(), kFlagValue));
    EXPECT_EQ(2, getRegistryFlag());
    EXPECT_TRUE(logged("[!]", messageTable[20])) << logText();
}

TEST_F(InstallFlagTest, TextsReadWithoutRegardToCase) {
    struct Case {
        const char* text;
        int flag;
        const char* loggedAs;
    };
    const Case cases[] = {
        {"yes", 1, "yes"},  {"YES", 1, "yes"},          {"Yes", 1, "yes"},
        {"no", 0, "no"},    {"NO", 0, "no"},            {"nO", 0, "no"},
        {"yes ", 2, "<unknown>"}, {" no", 2, "<unknown>"}, {"", 2, "<unknown>"},
        {"y", 2, "<unknown>"},    {"installed", 2, "<unknown>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("text '") + c.text + "'");
        storeText(c.text);
        EXPECT_EQ(c.flag, getRegistryFlag());
        std::string line = std::string("[I] The HKCU\\SOFTWARE\\Norvale key NorvaleUserInstalled "
                                       "was set to/contains value '") +
                           c.loggedAs + "'.\r\n";
        std::string log = logText();
        EXPECT_NE(std::string::npos, log.rfind(line)) << log;
    }
}

TEST_F(InstallFlagTest, AnyValueTypeReadsUpToItsFirstNulOrItsEnd) {
    // Whatever the type, the text is the data up to its first NUL or to its
    // end; data without a NUL is never read past. The system adds a NUL to
    // string data when the byte after it is one, so the unterminated text is
    // followed by another letter.
    struct Case {
        const char* name;
        DWORD type;
        std::string data;
        int flag;
    };
    const DWORD no = 'n' | ('o' << 8);
    const Case cases[] = {
        {"expandable string", REG_EXPAND_SZ, std::string("yes\0", 4), 1},
        {"multi-string", REG_MULTI_SZ, std::string("no\0\0", 4), 0},
        {"binary with NUL", REG_BINARY, std::string("YES\0", 4), 1},
        {"binary without NUL", REG_BINARY, "no", 0},
        {"string without NUL", REG_SZ, "yesX", 1},
        {"number whose bytes spell no", REG_DWORD,
         std::string(reinterpret_cast<const char*>(&no), sizeof no), 0},
        {"binary with more after the NUL", REG_BINARY, std::string("yes\0junk", 8), 1},
        {"binary yes with a blank", REG_BINARY, "yes ", 2},
        {"large binary without NUL", REG_BINARY, std::string(4096, 'y'), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The unterminated string is stored one byte short of its letter.
        DWORD size = static_cast<DWORD>(c.data.size()) - (c.data == "yesX" ? 1 : 0);
        storeRaw(c.type, c.data.data(), size);
        EXPECT_EQ(c.flag, getRegistryFlag());
        EXPECT_NE(std::string::npos,
                  logText().rfind(std::string("[I] The HKCU\\SOFTWARE\\Norvale key "
                                              "NorvaleUserInstalled was set to/contains value '") +
                                  (c.flag == 1 ? "yes" : c.flag == 0 ? "no" : "<unknown>") + "'."));
    }
}

TEST_F(InstallFlagTest, WrittenFlagIsAStringWithItsNulAndReadsBack) {
    for (bool installed : {false, true}) {
        SCOPED_TRACE(installed);
        ASSERT_TRUE(resetUserState());
        EXPECT_TRUE(setRegistryFlag(installed));

        norvale::RegKey key;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(HKEY_CURRENT_USER, kFlagKey, 0, KEY_QUERY_VALUE, key.receive()));
        char data[16] = {};
        DWORD size = sizeof(data);
        DWORD type = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key.get(), kFlagValue, nullptr, &type,
                                                  reinterpret_cast<BYTE*>(data), &size));
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        EXPECT_EQ(installed ? 4u : 3u, size);
        EXPECT_STREQ(installed ? "yes" : "no", data);
        EXPECT_EQ(installed ? 1 : 0, getRegistryFlag());
        EXPECT_TRUE(logged("[I]", std::string("The HKCU\\SOFTWARE\\Norvale key NorvaleUserInstalled "
                                              "was set to/contains value '") +
                                      (installed ? "yes" : "no") + "'."));
    }
}

TEST_F(InstallFlagTest, LargestValueOfTheKeySizesTheBuffer) {
    // Another, longer value in the key must not confuse the read, and a
    // shorter one must not cut the flag.
    storeText("yes");
    norvale::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, kFlagKey, 0, KEY_SET_VALUE, key.receive()));
    std::string other(300, 'o');
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), "Other", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(other.c_str()),
                                            static_cast<DWORD>(other.size() + 1)));
    EXPECT_EQ(1, getRegistryFlag());
}

}  // namespace
