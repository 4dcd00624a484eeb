// Folder arithmetic of the removal tool: the path from a profile to its
// application data, and the product folder it gives for other users.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "remover/user_folders.h"
#include "tests/support/test_files.h"

namespace {

using norvale::testbed::createFolders;
using norvale::testbed::TempFolder;
using norvale::testbed::writeWholeFile;

struct RelativeCase {
    const char* from;
    const char* to;
    const char* expected;  // nullptr: refused
};

TEST(RelativePath, FollowsTheSharedFoldersAndClimbsOutOfTheRest) {
    const RelativeCase cases[] = {
        {"C:\\Documents and Settings\\alice\\", "C:\\Documents and Settings\\alice\\Application Data\\",
         ".\\Application Data\\"},
        {"C:\\users\\root\\", "C:\\users\\root\\AppData\\Roaming\\", ".\\AppData\\Roaming\\"},
        {"C:\\a\\b\\", "C:\\a\\b\\", ".\\"},
        {"C:\\users\\root\\", "C:\\data\\root\\", "..\\..\\data\\root\\"},
        {"C:\\users\\root\\", "C:\\users\\", "..\\"},
        // Slashes and "." or ".." folders are cleaned before comparing.
        {"C:/users/./root/", "C:\\users\\x\\..\\root\\AppData\\", ".\\AppData\\"},
        // A folder only matches whole: "al" is not the start of "alice".
        {"C:\\users\\al\\", "C:\\users\\alice\\x\\", "..\\alice\\x\\"},
        // Folder names are compared with their case.
        {"C:\\Users\\root\\", "C:\\users\\root\\x\\", "..\\..\\users\\root\\x\\"},
        {"\\\\srv\\share\\u\\", "\\\\srv\\share\\u\\AppData\\", ".\\AppData\\"},
        // No shared root: another drive, another server or share, nothing in
        // common.
        {"C:\\users\\root\\", "Z:\\tmp\\appdata\\", nullptr},
        {"c:\\users\\root\\", "C:\\users\\root\\AppData\\", nullptr},
        {"\\\\srv\\a\\", "\\\\other\\a\\", nullptr},
        {"\\\\srv\\a\\", "\\\\srv\\b\\", nullptr},
        {"users\\root\\", "data\\root\\", nullptr},
        // Paths that cannot be cleaned.
        {"..\\x\\", "C:\\x\\", nullptr},
        {"", "C:\\x\\", nullptr},
    };
    for (const RelativeCase& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        char out[kMaxPath] = "untouched";
        bool ok = relativePath(c.from, c.to, out);
        if (c.expected == nullptr) {
            EXPECT_FALSE(ok) << out;
        } else {
            ASSERT_TRUE(ok);
            EXPECT_STREQ(c.expected, out);
        }
    }
}

TEST(RelativePath, RefusesTextsThatDoNotFitAPathBuffer) {
    std::string deep = "C:\\";
    while (deep.size() < 250) deep += "folder\\";
    char out[kMaxPath];
    // Each fits, but together they are beyond a path buffer.
    EXPECT_FALSE(relativePath(deep.c_str(), (deep + "x\\").c_str(), out));
    std::string overlong = "C:\\" + std::string(kMaxPath, 'a') + "\\";
    EXPECT_FALSE(relativePath(overlong.c_str(), "C:\\x\\", out));
    EXPECT_FALSE(relativePath("C:\\x\\", overlong.c_str(), out));
    // The longest result that still fits is given whole.
    std::string to = "C:\\" + std::string(kMaxPath - 8, 'b') + "\\";
    ASSERT_LT(to.size(), kMaxPath);
    ASSERT_TRUE(relativePath("C:\\", to.c_str(), out));
    EXPECT_EQ(".\\" + to.substr(3), out);
}

TEST(AppDataOffset, IsThePathFromTheProfileToTheApplicationData) {
    char out[kMaxPath];
    ASSERT_TRUE(appDataOffset("C:\\Documents and Settings\\alice",
                              "C:\\Documents and Settings\\alice\\Application Data", out));
    EXPECT_STREQ(".\\Application Data\\", out);

    EXPECT_FALSE(appDataOffset("C:\\Documents and Settings\\alice", "D:\\Application Data", out));
    // With the backslash added, 259 characters no longer fit.
    std::string longest(kMaxPath - 1, 'a');
    EXPECT_FALSE(appDataOffset(("C:\\" + longest.substr(3)).c_str(), "C:\\x", out));
}

TEST(AppDataOffset, OfTheCurrentUserMatchesTheSystemFolders) {
    char profile[kMaxPath];
    char appData[kMaxPath];
    ASSERT_HRESULT_SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, profile));
    ASSERT_HRESULT_SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData));
    std::string prefix = std::string(profile) + "\\";
    ASSERT_EQ(0u, std::string(appData).find(prefix)) << "application data outside the profile";

    char out[kMaxPath];
    ASSERT_TRUE(appDataOffset(out));
    EXPECT_EQ(".\\" + std::string(appData).substr(prefix.size()) + "\\", out);
}

struct ProductFolderCase {
    const char* root;
    const char* name;
    const char* offset;
    const char* expected;
};

TEST(ProfileNorvaleFolder, PutsTheOffsetUnderTheOtherUsersProfile) {
    const ProductFolderCase cases[] = {
        {"C:\\Documents and Settings\\", "bob", ".\\Application Data\\",
         "C:\\Documents and Settings\\bob\\Application Data\\Norvale\\"},
        {"C:\\users\\", "Public", ".\\AppData\\Roaming\\", "C:\\users\\Public\\AppData\\Roaming\\Norvale\\"},
        {"C:\\users\\", "bob", ".\\", "C:\\users\\bob\\Norvale\\"},
    };
    for (const ProductFolderCase& c : cases) {
        SCOPED_TRACE(std::string(c.root) + c.name + " + " + c.offset);
        char out[kMaxPath];
        ASSERT_TRUE(profileNorvaleFolder(c.root, c.name, c.offset, out));
        EXPECT_STREQ(c.expected, out);
    }
}

TEST(ProfileNorvaleFolder, RefusesFoldersThatDoNotFitAPathBuffer) {
    const std::string root = "C:\\users\\";
    char out[kMaxPath];
    // root + name + "\" reaching 260 characters.
    std::string name(kMaxPath - root.size() - 1, 'n');
    EXPECT_FALSE(profileNorvaleFolder(root.c_str(), name.c_str(), ".\\", out));
    // The folder fits, but not with "Norvale\" after it.
    name.assign(kMaxPath - root.size() - 1 - 8, 'n');
    EXPECT_FALSE(profileNorvaleFolder(root.c_str(), name.c_str(), ".\\", out));
    name.pop_back();
    ASSERT_TRUE(profileNorvaleFolder(root.c_str(), name.c_str(), ".\\", out));
    EXPECT_EQ(kMaxPath - 1, std::string(out).size());
    // An offset that climbs out of the profile (application data beside the
    // profiles) cannot be followed for another user.
    EXPECT_FALSE(profileNorvaleFolder(root.c_str(), "bob", "..\\..\\data\\root\\", out));
}

TEST(UserFolders, AreTheFoldersUnderTheParentOfTheProfile) {
    char profile[kMaxPath];
    ASSERT_HRESULT_SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, profile));
    std::string expectedRoot(profile);
    expectedRoot.erase(expectedRoot.rfind('\\') + 1);
    char root[kMaxPath];
    ASSERT_TRUE(profilesRoot(root));
    ASSERT_EQ(expectedRoot, root);

    std::vector<std::string> names = listUserDirs();
    std::string own = std::string(profile).substr(expectedRoot.size());
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), own));
}

TEST(UserFolders, AreOnlyFoldersAndAnUnlistableRootIsAnError) {
    TempFolder root("norvale remover root");
    ASSERT_TRUE(root.valid());
    const std::string rootPath = root.path() + "\\";
    EXPECT_TRUE(listUserDirsUnder(rootPath.c_str()).empty());

    ASSERT_TRUE(createFolders(root.file("alice")));
    ASSERT_TRUE(createFolders(root.file("bob smith")));
    ASSERT_TRUE(writeWholeFile(root.file("notes.txt"), "not a user"));
    std::vector<std::string> names = listUserDirsUnder(rootPath.c_str());
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"alice", "bob smith"}), names);

    // Removing for nobody because the users could not be listed is no success.
    const std::string unlistable[] = {root.file("missing\\"), "C:\\" + std::string(kMaxPath - 5, 'x') + "\\"};
    for (const std::string& path : unlistable) {
        SCOPED_TRACE(path);
        try {
            listUserDirsUnder(path.c_str());
            ADD_FAILURE() << "listed";
        } catch (unsigned long code) {
            EXPECT_EQ(static_cast<unsigned long>(ERROR_NO_SUCH_USER), code);
        }
    }
}

}  // namespace
