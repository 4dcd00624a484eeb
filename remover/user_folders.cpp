#include "remover/user_folders.h"

#include <windows.h>
#include <mbstring.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "common/handles.h"

namespace {

constexpr char kUpOneFolder[] = "..\\";
constexpr char kSameFolder[] = ".\\";
constexpr char kProductFolder[] = "Norvale\\";
constexpr char kListAll[] = "*.*";

// Backslash search that never stops on the trail byte of a double-byte
// character.
const char* findBackslash(const char* text) {
    return reinterpret_cast<const char*>(
        _mbschr(reinterpret_cast<const unsigned char*>(text), '\\'));
}

const char* findLastBackslash(const char* text) {
    return reinterpret_cast<const char*>(
        _mbsrchr(reinterpret_cast<const unsigned char*>(text), '\\'));
}

int countBackslashes(const char* text) {
    int count = 0;
    for (const char* at = findBackslash(text); at != nullptr; at = findBackslash(at + 1)) ++count;
    return count;
}

bool copyBounded(char* out, const char* text) {
    std::size_t length = std::strlen(text);
    if (length >= kMaxPath) return false;
    std::memcpy(out, text, length + 1);
    return true;
}

bool isUncPath(const char* path) { return path[0] == '\\' && path[1] == '\\'; }

// Number of leading folders (each ending in a backslash) that a and b have
// in common; *restA and *restB are left on the first folder that differs.
int countSharedFolders(const char* a, const char* b, const char** restA, const char** restB) {
    int shared = 0;
    for (;;) {
        const char* endA = findBackslash(a);
        const char* endB = findBackslash(b);
        if (endA == nullptr || endB == nullptr) break;
        // The backslash is part of the comparison, so a folder never
        // matches a longer one that merely starts with its name.
        std::size_t length = static_cast<std::size_t>(endA - a) + 1;
        if (_mbsnbcmp(reinterpret_cast<const unsigned char*>(a),
                      reinterpret_cast<const unsigned char*>(b), length) != 0)
            break;
        ++shared;
        a += length;
        b += length;
    }
    *restA = a;
    *restB = b;
    return shared;
}

// The system's folder for csidl, current value.
bool systemFolderPath(int csidl, char* out) {
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, out));
}

// Copies folder with a backslash added; refused when that would not fit.
bool withBackslash(const char* folder, char* out) {
    std::size_t length = std::strlen(folder);
    if (length + 1 >= kMaxPath) return false;
    std::memcpy(out, folder, length);
    out[length] = '\\';
    out[length + 1] = '\0';
    return true;
}

[[noreturn]] void raiseError(DWORD code) { throw static_cast<unsigned long>(code); }

bool isDotFolder(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

}  // namespace

bool relativePath(const char* from, const char* to, char* out) {
    char a[kMaxPath];
    char b[kMaxPath];
    if (!copyBounded(a, from) || !copyBounded(b, to)) return false;
    if (!normalizePath(a) || !normalizePath(b)) return false;
    if (std::strlen(a) + std::strlen(b) >= kMaxPath) return false;

    // The two leading backslashes of a network path are empty folders that
    // every network path shares; they do not make a common root.
    int shared = isUncPath(a) ? -2 : 0;
    const char* restA = a;
    const char* restB = b;
    shared += countSharedFolders(a, b, &restA, &restB);
    if (shared <= 0) return false;

    std::string result;
    int up = countBackslashes(restA);
    if (up == 0) result = kSameFolder;
    for (int i = 0; i < up; ++i) result += kUpOneFolder;
    result += restB;
    return copyBounded(out, result.c_str());
}

bool appDataOffset(const char* profileFolder, const char* appDataFolder, char* out) {
    char profile[kMaxPath];
    char appData[kMaxPath];
    if (!withBackslash(profileFolder, profile) || !withBackslash(appDataFolder, appData))
        return false;
    return relativePath(profile, appData, out);
}

bool appDataOffset(char* out) {
    char profile[kMaxPath];
    char appData[kMaxPath];
    if (!systemFolderPath(CSIDL_PROFILE, profile) || !systemFolderPath(CSIDL_APPDATA, appData))
        return false;
    return appDataOffset(profile, appData, out);
}

bool profileNorvaleFolder(const char* root, const char* name, const char* offset, char* out) {
    if (std::strlen(root) + std::strlen(name) + 1 >= kMaxPath) return false;
    char base[kMaxPath];
    std::snprintf(base, sizeof base, "%s%s\\", root, name);

    char resolved[kMaxPath];
    if (!resolvePath(base, offset, resolved)) return false;
    if (std::strlen(resolved) + std::strlen(kProductFolder) >= kMaxPath) return false;
    std::snprintf(out, kMaxPath, "%s%s", resolved, kProductFolder);
    return true;
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
