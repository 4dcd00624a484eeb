#include "common/admin.h"

#include <windows.h>

#include <gtest/gtest.h>

// The test user is a member of the built-in Administrators group, as the
// Wine user is; isUserAdmin must see that through its own token.
TEST(Admin, TestUserIsAnAdministrator) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size));
    BOOL member = FALSE;
    ASSERT_TRUE(CheckTokenMembership(nullptr, sid, &member));
    EXPECT_EQ(member != FALSE, isUserAdmin());
}
