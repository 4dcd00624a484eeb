#include "remover/user_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "common/ansi_text.h"
#include "common/handles.h"
#include "common/log_file.h"
#include "common/real_folder.h"

namespace {

constexpr char kListAll[] = "*.*";
constexpr wchar_t kListAllWide[] = L"*.*";

// The system's folder for csidl, current value, in a form that names it.
bool systemFolderPath(int csidl, char (&out)[kMaxPath]) {
    return realShellFolder(csidl, SHGFP_TYPE_CURRENT, out) == S_OK;
}

// The parts one after another in out; false when they do not fit. Wide
// paths are joined in buffers rather than in std::wstring, whose library
// code would be linked in whole and weigh more than the remover's own.
bool joinWide(std::initializer_list<const wchar_t*> parts, wchar_t (&out)[kMaxPath]) {
    std::size_t used = 0;
    for (const wchar_t* part : parts) {
        const std::size_t length = std::wcslen(part);
        if (used + length >= kMaxPath) return false;
        std::wmemcpy(out + used, part, length);
        used += length;
    }
    out[used] = L'\0';
    return true;
}

// Where the profile or the application-data folder has no exact ANSI name,
// the offset is taken from the wide names: a short name belongs to one
// user's folder, so the offset must lie inside the profile and name the
// folders on the way by their exact names, which every user shares.
bool wideOffsetInsideProfile(const wchar_t* profile, const wchar_t* appData, char* out) {
    const std::size_t length = std::wcslen(profile);
    if (std::wcsncmp(appData, profile, length) != 0 || appData[length] != L'\\') return false;
    wchar_t offset[kMaxPath];
    if (!joinWide({L".\\", appData + length + 1, L"\\"}, offset)) return false;
    char text[kMaxPath];
    if (!exactAnsiText(offset, text)) return false;
    std::memcpy(out, text, std::strlen(text) + 1);
    return true;
}

bool isLink(const char* folder) {
    DWORD attributes = GetFileAttributesA(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The name of the entry under rootWide as the ANSI interface can use it:
// the exact name, or the short name of the entry. False when it has none.
bool usableEntryName(const wchar_t* rootWide, const wchar_t* name, std::string& out) {
    char text[kMaxPath];
    if (exactAnsiText(name, text)) {
        out = text;
        return true;
    }
    wchar_t full[kMaxPath];
    if (!joinWide({rootWide, name}, full) || !realAnsiPath(full, text)) return false;
    const char* last = ansi::findLastChar(text, '\\');
    out = last != nullptr ? last + 1 : text;
    return true;
}

// The entry's name for a log line; characters the code page lacks are
// shown by their best fit.
std::string loggedName(const wchar_t* name) {
    char text[kMaxPath] = {};
    WideCharToMultiByte(CP_ACP, 0, name, -1, text, kMaxPath - 1, nullptr, nullptr);
    return text;
}

[[noreturn]] void raiseError(DWORD code) { throw static_cast<unsigned long>(code); }

bool isDotFolder(const wchar_t* name) {
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

}  // namespace

bool appDataOffset(char* out) {
    wchar_t profileWide[kMaxPath];
    wchar_t appDataWide[kMaxPath];
    if (wideShellFolder(CSIDL_PROFILE, SHGFP_TYPE_CURRENT, profileWide) != S_OK ||
        wideShellFolder(CSIDL_APPDATA, SHGFP_TYPE_CURRENT, appDataWide) != S_OK)
        return false;
    char profile[kMaxPath];
    char appData[kMaxPath];
    if (!exactAnsiText(profileWide, profile) || !exactAnsiText(appDataWide, appData))
        return wideOffsetInsideProfile(profileWide, appDataWide, out);
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
    const char* last = ansi::findLastChar(profile, '\\');
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
    // The listing is read through the wide interface: the ANSI one hands
    // out best-fit look-alikes of names the code page cannot hold.
    wchar_t rootWide[kMaxPath];
    if (MultiByteToWideChar(CP_ACP, 0, root, -1, rootWide, kMaxPath) == 0)
        raiseError(ERROR_NO_SUCH_USER);
    wchar_t pattern[kMaxPath];
    if (!joinWide({rootWide, kListAllWide}, pattern)) raiseError(ERROR_NO_SUCH_USER);

    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    norvale::FindHandle find(FindFirstFileW(pattern, &entry));
    if (!find) {
        // Nothing matched is an empty root; anything else means the users
        // cannot be known, and removing for none of them is no success.
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return names;
        raiseError(ERROR_NO_SUCH_USER);
    }
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || isDotFolder(entry.cFileName))
            continue;
        std::string name;
        if (usableEntryName(rootWide, entry.cFileName, name)) {
            names.push_back(name);
        } else {
            g_log.logf(LOG_WARNING, "Skipped user dir '%s%s': it has no ANSI or short name", root,
                       loggedName(entry.cFileName).c_str());
        }
    } while (FindNextFileW(find.get(), &entry));
    if (GetLastError() != ERROR_NO_MORE_FILES) raiseError(ERROR_NO_SUCH_USER);
    return names;
}

bool linkOnTheWay(const char* root, const char* name, const char* productFolder) {
    const std::string entry = std::string(root) + name;
    if (isLink(entry.c_str())) return true;
    // Every folder of the product folder below what it shares with the entry.
    const std::string base = entry + "\\";
    std::size_t shared = 0;
    while (base[shared] != '\0' && base[shared] == productFolder[shared]) ++shared;
    for (const char* at = ansi::findChar(productFolder, '\\'); at != nullptr;
         at = ansi::findChar(at + 1, '\\')) {
        const std::size_t length = static_cast<std::size_t>(at - productFolder);
        if (length < shared) continue;
        if (isLink(std::string(productFolder, length).c_str())) return true;
    }
    return false;
}
