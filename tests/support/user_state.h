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

// Fixture for tests that need a fresh user: resets before and after each test.
class FreshUserTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(resetUserState()) << "cannot reset the user's state"; }
    void TearDown() override { EXPECT_TRUE(resetUserState()); }
};

}  // namespace norvale::testbed
