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
    bool keyGone = removeUserKey();
    std::string folder = userProductFolder();
    bool folderGone = !folder.empty() && removeTree(folder);
    return keyGone && folderGone;
}

}  // namespace norvale::testbed
