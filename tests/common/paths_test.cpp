#include "common/paths.h"

#include "tests/support/double_byte.h"
#include "tests/support/test_files.h"

#include <windows.h>
#include <mbctype.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>

using norvale::testbed::folderExists;
using norvale::testbed::TempFolder;
using norvale::testbed::writeWholeFile;

namespace {

std::string contentOf(const std::string& path) {
    return norvale::testbed::readWholeFile(path).value_or("");
}

const std::string k259(259, 'a');
const std::string k260(260, 'a');

struct NormalizeCase {
    std::string in;
    bool ok;
    std::string out;
};

// Restores the current directory when the test ends.
class CurrentDirGuard {
public:
    CurrentDirGuard() { GetCurrentDirectoryA(MAX_PATH, saved_); }
    ~CurrentDirGuard() { SetCurrentDirectoryA(saved_); }

private:
    char saved_[MAX_PATH] = "";
};

// The C runtime's multibyte code page, whose lead bytes the walks over ANSI
// text follow, while the object lives.
class MultibyteCodePage {
public:
    explicit MultibyteCodePage(int codePage) : saved_(_getmbcp()) { _setmbcp(codePage); }
    ~MultibyteCodePage() { _setmbcp(saved_); }
    MultibyteCodePage(const MultibyteCodePage&) = delete;
    MultibyteCodePage& operator=(const MultibyteCodePage&) = delete;

private:
    int saved_;
};

std::string currentDir() {
    char dir[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, dir);
    return dir;
}

}  // namespace

TEST(Paths, NormalizePath) {
    const NormalizeCase cases[] = {
        {"C:/a/./b/../c.txt", true, "C:\\a\\c.txt"},
        {"C:\\a\\b\\..\\..\\c", true, "C:\\c"},
        {"..\\x", false, ""},
        {"a\\..\\..\\x", false, ""},
        {"C:\\..\\x", false, ""},
        {"", false, ""},
        {k260, false, ""},
        {k259, true, k259},
        {"file.txt", true, "file.txt"},
        {".\\a\\.\\b", true, ".\\a\\b"},
        {"a\\..\\b", true, "b"},
        {"C:\\a\\b\\..", true, "C:\\a\\b\\.."},
        {"C:\\dir\\", true, "C:\\dir\\"},
        {"\\\\server\\share\\a\\..\\f", true, "\\\\server\\share\\f"},
        {"\\\\server\\..\\f", false, ""},
        // ".." never climbs above a root, a drive or a share.
        {"\\a\\..\\b", true, "\\b"},
        {"\\..\\b", false, ""},
        {"\\\\server\\share\\..\\x", false, ""},
    };
    for (const NormalizeCase& c : cases) {
        SCOPED_TRACE(c.in.size() > 40 ? std::to_string(c.in.size()) + " characters" : c.in);
        char buffer[kMaxPath + 1] = "";
        std::strncpy(buffer, c.in.c_str(), kMaxPath);
        const std::string before = buffer;
        EXPECT_EQ(c.ok, normalizePath(buffer));
        EXPECT_EQ(c.ok ? c.out : before, std::string(buffer)) << "failure must not touch it";
    }
}

TEST(Paths, ResolvePath) {
    struct Case {
        std::string base;
        std::string relative;
        bool ok;
        std::string out;
    };
    const Case cases[] = {
        {"C:\\dir\\file.txt", "sub\\x.txt", true, "C:\\dir\\sub\\x.txt"},
        {"C:\\dir\\", "x.txt", true, "C:\\dir\\x.txt"},
        {"C:/dir/", "./sub/x.txt", true, "C:\\dir\\sub\\x.txt"},
        {"C:\\dir\\", "D:/other/y.txt", true, "D:/other/y.txt"},
        {"C:\\dir\\", "..\\x.txt", false, ""},
        {"file.txt", "x.txt", false, ""},
        {"C:\\dir\\", ".git\\x", true, "C:\\dir\\.git\\x"},
        {"C:\\dir\\", "..hidden\\x", true, "C:\\dir\\..hidden\\x"},
        {"\\\\server\\share\\f", "x", true, "\\\\server\\share\\x"},
        // A path rooted without a drive stays on the base's drive or share.
        {"C:\\cwd\\", "\\logs\\x.log", true, "C:\\logs\\x.log"},
        {"\\\\server\\share\\dir\\", "\\logs\\x.log", true, "\\\\server\\share\\logs\\x.log"},
        {"C:\\dir\\", "\\\\server\\share\\x", true, "\\\\server\\share\\x"},
        // Nothing climbs above the base's share: a name never takes its place.
        {"\\\\server\\share", "x", false, ""},
        {"C:\\" + std::string(200, 'b') + "\\", std::string(55, 'r'), true,
         "C:\\" + std::string(200, 'b') + "\\" + std::string(55, 'r')},
        {"C:\\" + std::string(200, 'b') + "\\", std::string(56, 'r'), false, ""},
        {k260, "x", false, ""},
        {"C:\\dir\\", k260, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base.substr(0, 40) + " + " + c.relative.substr(0, 40));
        char out[kMaxPath] = "untouched";
        EXPECT_EQ(c.ok, resolvePath(c.base.c_str(), c.relative.c_str(), out));
        if (c.ok) {
            EXPECT_EQ(c.out, std::string(out));
        }
    }
}

TEST(Paths, ResolvePathMayWriteOverItsRelativeInput) {
    char path[kMaxPath] = "./sub/x.txt";
    ASSERT_TRUE(resolvePath("C:\\dir\\", path, path));
    EXPECT_STREQ("C:\\dir\\sub\\x.txt", path);
}

TEST(Paths, CreatePathDirectoriesCreatesOnlyWhatIsMissing) {
    TempFolder dir;
    CreateDirectoryA(dir.file("have").c_str(), nullptr);
    writeWholeFile(dir.file("have\\marker.txt"), "kept");

    EXPECT_TRUE(createPathDirectories((dir.file("have\\file.txt")).c_str()));
    EXPECT_EQ("kept", contentOf(dir.file("have\\marker.txt")));
    EXPECT_FALSE(folderExists(dir.file("have\\file.txt")));

    EXPECT_TRUE(createPathDirectories((dir.file("have\\new1/new2\\file.txt")).c_str()));
    EXPECT_TRUE(folderExists(dir.file("have\\new1\\new2")));
    EXPECT_FALSE(folderExists(dir.file("have\\new1\\new2\\file.txt")));

    EXPECT_TRUE(createPathDirectories((dir.file("trail\\ing\\")).c_str()));
    EXPECT_TRUE(folderExists(dir.file("trail\\ing")));

    // A file where a folder should be.
    EXPECT_FALSE(createPathDirectories((dir.file("have\\marker.txt\\sub\\f")).c_str()));
    EXPECT_FALSE(createPathDirectories((dir.file(std::string(260, 'z') + "\\f")).c_str()));
    EXPECT_FALSE(createPathDirectories("C:\\a\\..\\..\\x\\f"));
}

TEST(Paths, CreatePathDirectoriesResolvesRelativePathsAgainstTheCurrentDir) {
    TempFolder dir;
    CurrentDirGuard guard;
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));

    EXPECT_TRUE(createPathDirectories("rel1/rel2\\file.txt"));
    EXPECT_TRUE(createPathDirectories(".\\dot\\file.txt"));
    EXPECT_TRUE(createPathDirectories("bare.txt"));
    // Rooted without a drive: on the current directory's drive.
    EXPECT_TRUE(createPathDirectories((dir.path().substr(2) + "\\rooted\\file.txt").c_str()));

    EXPECT_TRUE(folderExists(dir.file("rel1\\rel2")));
    EXPECT_TRUE(folderExists(dir.file("dot")));
    EXPECT_TRUE(folderExists(dir.file("rooted")));
}

TEST(Paths, BaseName) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\a/b\\c.log", "c.log"},
        {"C:\\a\\b/c.log", "c.log"},
        {"c.log", "c.log"},
        {"C:\\dir\\", ""},
        {"", ""},
        {"C:\\" + std::string(300, 'n'), std::string(255, 'n')},
    };
    for (const auto& c : cases) EXPECT_EQ(c.second, baseName(c.first)) << c.first;
}

// Names of code page 932 whose second bytes are backslash bytes are cut
// only at real separators: cleaned, joined, named and created whole, with no
// folder of a cut name beside them. Cleaning and naming read a path alike,
// by the characters the system reads, in other double-byte code pages too.
TEST(Paths, DoubleByteNamesAreCutBetweenCharacters) {
    using norvale::testbed::kHyouji;
    using norvale::testbed::kHyoujiSofuto;
    NORVALE_NEEDS_DOUBLE_BYTE();
    const std::string name = std::string("x") + kHyoujiSofuto;
    struct Reading {
        int codePage;
        std::string path;
        std::string cleaned;
        std::string fileName;
    };
    const Reading readings[] = {
        {932, "C:\\users\\" + name + "\\..\\f", "C:\\users\\f", "f"},
        {932, "C:/users/" + name + "/./AppData/x.log", "C:\\users\\" + name + "\\AppData\\x.log",
         "x.log"},
        // A lead byte and the byte after it are one character, also where
        // the code page has none for the pair: the slash after 81 separates
        // nothing, and 85 after A4 of code page 950 begins no character.
        {932, "C:\\d\\a\\\x81/b", "C:\\d\\a\\\x81/b", "\x81/b"},
        {950, "C:\\x\xA4\x85\\y\\..\\f", "C:\\x\xA4\x85\\f", "f"},
    };
    for (const Reading& r : readings) {
        SCOPED_TRACE(r.path);
        MultibyteCodePage codePage(r.codePage);
        ASSERT_EQ(r.codePage, _getmbcp());
        char buffer[kMaxPath] = "";
        std::strcpy(buffer, r.path.c_str());
        EXPECT_TRUE(normalizePath(buffer));
        EXPECT_EQ(r.cleaned, std::string(buffer));
        EXPECT_EQ(r.fileName, baseName(r.path));
    }
    char joined[kMaxPath] = "";
    EXPECT_TRUE(resolvePath(("C:\\users\\" + name).c_str(), "f", joined));
    EXPECT_STREQ("C:\\users\\f", joined);
    EXPECT_EQ(name + ".log", baseName("C:\\" + std::string(kHyouji) + "\\" + name + ".log"));
    std::string longName;  // 128 characters 表, 256 bytes: 127 fit in 255 bytes
    for (int i = 0; i < 128; ++i) longName.append(kHyouji, 2);
    EXPECT_EQ(longName.substr(0, 254), baseName("C:\\" + longName));

    TempFolder dir;
    EXPECT_TRUE(createPathDirectories(dir.file(name + "\\Norvale\\x.log").c_str()));
    EXPECT_TRUE(folderExists(dir.file(name + "\\Norvale")));
    EXPECT_EQ(std::vector<std::string>{name}, norvale::testbed::folderNamesIn(dir.path()));
}

TEST(Paths, UserFolders) {
    const std::string product = userNorvalePath();
    EXPECT_EQ("\\Norvale\\", product.substr(product.size() - 9));
    char appData[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData));
    EXPECT_EQ(std::string(appData) + "\\Norvale\\", product);

    EXPECT_EQ(product.substr(0, product.size() - 1), userNorvaleFolder());
    EXPECT_EQ(product + "norvale.conf", userFilePath("x\\y\\norvale.conf"));
    EXPECT_EQ(product + "prog.log", userFilePath("C:/bin/prog.log"));
}

TEST(Paths, ProgramAndSystemFolders) {
    char module[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, module, MAX_PATH), 0u);
    const std::string folder = exeFolder();
    EXPECT_EQ(std::string(module), folder + "\\common_tests.exe");

    const std::string system = systemFolder();
    char expectedSystem[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(expectedSystem, MAX_PATH), 0u);
    EXPECT_EQ(0, lstrcmpiA(expectedSystem, system.c_str())) << system;

    CurrentDirGuard guard;
    SetCurrentDirectoryA(system.c_str());
    ASSERT_TRUE(setCurrentDir());
    EXPECT_EQ(0, lstrcmpiA(folder.c_str(), currentDir().c_str()))
        << folder << " vs " << currentDir();
}
