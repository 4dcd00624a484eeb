#include "tests/support/user_state.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "common/handles.h"
#include "tests/support/test_files.h"

using namespace norvale::testbed;

namespace {

bool userKeyExists() {
    norvale::RegKey key;
    return RegOpenKeyExA(HKEY_CURRENT_USER, kUserKey, 0, KEY_READ, key.receive()) ==
           ERROR_SUCCESS;
}

void createUserKeyWithSubkey() {
    norvale::RegKey key;
    std::string subkey = std::string(kUserKey) + "\\Deeper\\Still";
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, 0,
                                             KEY_WRITE, nullptr, key.receive(), nullptr));
    const char value[] = "yes";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), "NorvaleUserInstalled", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(value), sizeof value));
}

}  // namespace

TEST(UserState, ProductFolderIsInApplicationData) {
    std::string folder = userProductFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(std::string::npos, folder.find("AppData\\Roaming\\Norvale")) << folder;
}

TEST(UserState, ResetRemovesKeyTreeAndFolderTree) {
    createUserKeyWithSubkey();
    std::string folder = userProductFolder();
    ASSERT_TRUE(createFolders(joinPath(folder, "logs\\old")));
    ASSERT_TRUE(writeWholeFile(joinPath(folder, "logs\\old\\a.log"), "log"));
    ASSERT_TRUE(writeWholeFile(joinPath(folder, "norvale.conf"), "conf"));
    ASSERT_TRUE(SetFileAttributesA(joinPath(folder, "norvale.conf").c_str(),
                                   FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(userKeyExists());

    EXPECT_TRUE(resetUserState());
    EXPECT_FALSE(userKeyExists());
    EXPECT_FALSE(pathExists(folder));
    // A fresh user is not an error.
    EXPECT_TRUE(resetUserState());
}

TEST(UserState, LeavesSiblingKeysAlone) {
    norvale::RegKey sibling;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\NorvaleOther", 0, nullptr, 0,
                              KEY_WRITE, nullptr, sibling.receive(), nullptr));
    sibling.reset();
    createUserKeyWithSubkey();
    EXPECT_TRUE(resetUserState());
    norvale::RegKey check;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\NorvaleOther", 0,
                                           KEY_READ, check.receive()));
    check.reset();
    RegDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\NorvaleOther");
}

class FreshUserFixture : public FreshUserTest {};

TEST_F(FreshUserFixture, StartsWithoutKeyOrFolder) {
    EXPECT_FALSE(userKeyExists());
    EXPECT_FALSE(pathExists(userProductFolder()));
}
