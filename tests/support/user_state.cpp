#include "tests/support/user_state.h"

#include <windows.h>
#include <shlobj.h>

#include "tests/support/test_files.h"

namespace norvale::testbed {

namespace {

constexpr char kProductFolderName[] = "Norvale";

bool removeUserKey() {
    // Deletes the key itself, its values and all subkeys.
    LSTATUS status = RegDeleteTreeA(HKEY_CURRENT_USER, kUserKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace

std::string userProductFolder() {
    char appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)))
        return {};
    return joinPath(appData, kProductFolderName);
}

bool resetUserState() {
    // A volume left over the product folder would keep the folder's files.
    bool volumesGone = releaseSmallVolumes();
    bool keyGone = removeUserKey();
    std::string folder = userProductFolder();
    bool folderGone = !folder.empty() && removeTree(folder);
    return volumesGone && keyGone && folderGone;
}

namespace {

constexpr wchar_t kShellFoldersWide[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kAppDataValue[] = L"AppData";

bool setAppDataValue(DWORD type, const std::wstring& text) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFoldersWide, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    LSTATUS status = RegSetValueExW(key, kAppDataValue, 0, type,
                                    reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace

MovedAppData::MovedAppData(const std::wstring& folder, bool create) : folder_(folder) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFoldersWide, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    wchar_t old[MAX_PATH] = {};
    DWORD size = sizeof old - sizeof(wchar_t);
    LSTATUS status = RegQueryValueExW(key, kAppDataValue, nullptr, &oldType_,
                                      reinterpret_cast<BYTE*>(old), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return;
    if (create && !CreateDirectoryW(folder_.c_str(), nullptr)) return;
    old_ = old;
    saved_ = setAppDataValue(REG_EXPAND_SZ, folder_);
}

MovedAppData::~MovedAppData() {
    if (saved_) setAppDataValue(oldType_, old_);
    std::string reachable = shortPathOf(folder_);
    if (!reachable.empty()) removeTree(reachable);
}

}  // namespace norvale::testbed
