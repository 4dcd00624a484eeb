#include "remover/user_folders.h"

#include <windows.h>
#include <mbstring.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "common/handles.h"

namespace {

constexpr char kListAll[] = "*.*";

const char* findLastBackslash(const char* text) {
    return reinterpret_cast<const char*>(
        _mbsrchr(reinterpret_cast<const unsigned char*>(text), '\\'));
}

// The system's folder for csidl, current value.
bool systemFolderPath(int csidl, char* out) {
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, out));
}

[[noreturn]] void raiseError(DWORD code) { throw static_cast<unsigned long>(code); }

bool isDotFolder(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

}  // namespace

bool appDataOffset(char* out) {
    char profile[kMaxPath];
    char appData[kMaxPath];
    if (!systemFolderPath(CSIDL_PROFILE, profile) || !systemFolderPath(CSIDL_APPDATA, appData))
        return false;
    return appDataOffset(profile, appData, out);
}

bool profileNorvaleFolder(const char* root, const char* name, char* out) {
    char offset[kMaxPath];
    if (!appDataOffset(offset)) return false;
    return profileNorvaleFolder(root, name, offset, out);
}

bool profilesRoot(char* out) {
    char profile[kMaxPath];
    if (!systemFolderPath(CSIDL_PROFILE, profile)) return false;
    const char* last = findLastBackslash(profile);
    if (last == nullptr) return false;
    std::size_t length = static_cast<std::size_t>(last - profile) + 1;
    std::memcpy(out, profile, length);
    out[length] = '\0';
    return true;
}

std::vector<std::string> listUserDirs() {
    char root[kMaxPath];
    if (!profilesRoot(root)) raiseError(ERROR_NO_SUCH_USER);
    return listUserDirsUnder(root);
}

std::vector<std::string> listUserDirsUnder(const char* root) {
    if (std::strlen(root) + std::strlen(kListAll) >= kMaxPath) raiseError(ERROR_NO_SUCH_USER);
    char pattern[kMaxPath];
    std::snprintf(pattern, sizeof pattern, "%s%s", root, kListAll);

    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    norvale::FindHandle find(FindFirstFileA(pattern, &entry));
    if (!find) {
        // Nothing matched is an empty root; anything else means the users
        // cannot be known, and removing for none of them is no success.
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return names;
        raiseError(ERROR_NO_SUCH_USER);
    }
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !isDotFolder(entry.cFileName))
            names.emplace_back(entry.cFileName);
    } while (FindNextFileA(find.get(), &entry));
    if (GetLastError() != ERROR_NO_MORE_FILES) raiseError(ERROR_NO_SUCH_USER);
    return names;
}
