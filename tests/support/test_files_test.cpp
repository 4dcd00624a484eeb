#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace norvale::testbed;

TEST(TestFiles, BinFolderHoldsTheTestProgramAndItsHelpers) {
    std::string bin = testBinFolder();
    ASSERT_FALSE(bin.empty());
    EXPECT_NE('\\', bin.back());
    EXPECT_TRUE(pathExists(binPath("support_tests.exe")));
    EXPECT_TRUE(pathExists(binPath("boxer.exe")));
    EXPECT_TRUE(pathExists(binPath("msgbox_style_hook.dll")));
}

TEST(TestFiles, WholeFileKeepsEveryByte) {
    TempFolder folder;
    ASSERT_TRUE(folder.valid());
    std::string bytes("line\r\nnext\nzero\0byte\xff", 21);
    bytes += std::string(100000, 'x');
    ASSERT_TRUE(writeWholeFile(folder.file("data.bin"), bytes));
    EXPECT_EQ(std::optional<std::string>(bytes), readWholeFile(folder.file("data.bin")));
    ASSERT_TRUE(writeWholeFile(folder.file("data.bin"), "short"));
    EXPECT_EQ(std::optional<std::string>("short"), readWholeFile(folder.file("data.bin")));
    EXPECT_FALSE(readWholeFile(folder.file("missing.txt")).has_value());
}

TEST(TestFiles, TempFolderHasABlankAndGoesWithItsContent) {
    std::string path;
    {
        TempFolder folder;
        ASSERT_TRUE(folder.valid());
        path = folder.path();
        EXPECT_NE(std::string::npos, path.find(' '));
        ASSERT_TRUE(createFolders(folder.file("a\\b\\c")));
        ASSERT_TRUE(writeWholeFile(folder.file("a\\b\\c\\f.txt"), "x"));
        ASSERT_TRUE(writeWholeFile(folder.file("a\\ro.txt"), "y"));
        ASSERT_TRUE(SetFileAttributesA(folder.file("a\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_TRUE(folderExists(folder.file("a\\b\\c")));
    }
    EXPECT_FALSE(pathExists(path));
}

TEST(TestFiles, OverlongPathsAreRefused) {
    std::string overlong = "C:\\" + std::string(300, 'a');
    EXPECT_FALSE(writeWholeFile(overlong, "x"));
    EXPECT_FALSE(readWholeFile(overlong).has_value());
    EXPECT_FALSE(createFolders(overlong));
    EXPECT_FALSE(removeTree(overlong));
}
