// Housekeeping called directly, for a user folder the launcher's own log
// could not even be opened in: one whose search pattern would not fit a
// path buffer.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "common/handles.h"
#include "common/log_file.h"
#include "launcher/housekeeping.h"
#include "tests/launcher/launcher_bed.h"

namespace launcher_test {
namespace {

using namespace norvale::testbed;

constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
// "<application data>\Norvale\" one character longer than the folder
// searched for old logs may be.
constexpr size_t kTooLongUserPath = 257;
constexpr char kProductPart[] = "\\Norvale\\";

// Points the user's application-data folder elsewhere while it lives.
class AppDataRedirect {
public:
    explicit AppDataRedirect(const std::string& folder) {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                          key_.receive()) != ERROR_SUCCESS) {
            return;
        }
        char old[MAX_PATH] = {};
        DWORD size = sizeof old - 1;
        if (RegQueryValueExA(key_.get(), "AppData", nullptr, &oldType_,
                             reinterpret_cast<BYTE*>(old), &size) != ERROR_SUCCESS) {
            return;
        }
        old_ = old;
        active_ = RegSetValueExA(key_.get(), "AppData", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(folder.c_str()),
                                 static_cast<DWORD>(folder.size() + 1)) == ERROR_SUCCESS;
    }
    ~AppDataRedirect() {
        if (active_) {
            RegSetValueExA(key_.get(), "AppData", 0, oldType_,
                           reinterpret_cast<const BYTE*>(old_.c_str()),
                           static_cast<DWORD>(old_.size() + 1));
        }
    }
    AppDataRedirect(const AppDataRedirect&) = delete;
    AppDataRedirect& operator=(const AppDataRedirect&) = delete;
    bool active() const { return active_; }

private:
    norvale::RegKey key_;
    DWORD oldType_ = REG_EXPAND_SZ;
    std::string old_;
    bool active_ = false;
};

// A file beyond the path limit. The ANSI calls refuse such a path even with
// the long-path prefix, so this fixture alone uses the wide call.
bool createLongPathFile(const std::string& path) {
    std::wstring wide = L"\\\\?\\" + std::wstring(path.begin(), path.end());
    norvale::FileHandle file(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

bool longPathFileExists(const std::string& path) {
    std::wstring wide = L"\\\\?\\" + std::wstring(path.begin(), path.end());
    return GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool deleteLongPathFile(const std::string& path) {
    std::wstring wide = L"\\\\?\\" + std::wstring(path.begin(), path.end());
    return DeleteFileW(wide.c_str()) != FALSE;
}

// Cut short to fit, the folder "<appdata>\Norvale" would lose its last
// backslash and the search would list the application-data folder itself,
// where a "norvale.log.7" would be taken for the user's old log.
TEST(LauncherHousekeeping, UserFolderTooLongToSearchIsNotSearched) {
    TempFolder base("norvale long");
    ASSERT_TRUE(base.valid());
    std::string appData = base.path() + "\\";
    appData += std::string(kTooLongUserPath - std::strlen(kProductPart) - appData.size(), 'a');
    ASSERT_EQ(appData.size() + std::strlen(kProductPart), kTooLongUserPath);
    ASSERT_TRUE(CreateDirectoryA(("\\\\?\\" + appData).c_str(), nullptr))
        << "cannot create " << appData << ": error " << GetLastError();
    std::string stray = appData + "\\norvale.log.7";
    ASSERT_TRUE(createLongPathFile(stray)) << "error " << GetLastError();

    TempFolder logFolder("norvale log");
    std::string logPath = logFolder.file("housekeeping.log");
    g_log.open(logPath.c_str());
    {
        AppDataRedirect redirect(appData);
        ASSERT_TRUE(redirect.active());
        deleteOldLogFiles();
    }
    std::vector<std::string> log = logLines(readWholeFile(logPath).value_or(""));
    EXPECT_EQ(countOf(log, "[I] No files found in the user dir!"), 1u);
    for (const std::string& line : log) {
        EXPECT_EQ(line.find("deleting file"), std::string::npos) << line;
    }
    EXPECT_TRUE(longPathFileExists(stray));
    EXPECT_TRUE(deleteLongPathFile(stray));
    RemoveDirectoryA(("\\\\?\\" + appData).c_str());
}

}  // namespace
}  // namespace launcher_test
