// Every test that touches per-user state starts from a user who never ran
// the product: no registry key, no product folder.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace norvale::testbed {

// HKEY_CURRENT_USER subkey that holds the product's per-user settings.
constexpr char kUserKey[] = "SOFTWARE\\Norvale";

// The user's product folder: the application-data folder followed by
// "Norvale", without a trailing backslash; empty when it cannot be found.
std::string userProductFolder();

// Deletes HKCU\SOFTWARE\Norvale with all its subkeys and the user's product
// folder with everything in it. True when both are gone afterwards.
bool resetUserState();

// Moves the current user's application-data folder to folder for the
// owner's lifetime: the "AppData" value of User Shell Folders, written as
// wide text, so the folder's name may hold any character. The folder is
// created first when asked; afterwards the old value comes back and the
// folder goes with everything in it.
class MovedAppData {
public:
    MovedAppData(const std::wstring& folder, bool create);
    ~MovedAppData();
    MovedAppData(const MovedAppData&) = delete;
    MovedAppData& operator=(const MovedAppData&) = delete;
    bool active() const { return saved_; }

private:
    std::wstring folder_;
    std::wstring old_;
    unsigned long oldType_ = 0;  // the value's registry type
    bool saved_ = false;
};

// Fixture for tests that need a fresh user: resets before and after each test.
class FreshUserTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(resetUserState()) << "cannot reset the user's state"; }
    void TearDown() override { EXPECT_TRUE(resetUserState()); }
};

}  // namespace norvale::testbed
