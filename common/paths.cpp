#include "common/paths.h"

#include <windows.h>
#include <comdef.h>
#include <direct.h>
#include <io.h>
#include <shlobj.h>

#include <cstring>

namespace {

constexpr char kProductFolder[] = "Norvale\\";
// HRESULT thrown when the product folder would not fit in a path buffer.
constexpr HRESULT kPathTooLong = 111;
// The longest file name baseName hands out.
constexpr std::size_t kMaxBaseName = 255;
// The current directory is read into a buffer two characters short of a
// path, leaving room for the backslash that joins it to a relative path.
constexpr DWORD kCurrentDirBuffer = 258;

// Index of the last backslash or slash, or npos.
std::size_t lastSeparator(const std::string& path) {
    return path.find_last_of("\\/");
}

// The running program's full path; false when unknown or when it does not
// fit in a path buffer (a cut-off path would name another file).
bool modulePath(char (&path)[kMaxPath]) {
    DWORD length = GetModuleFileNameA(nullptr, path, kMaxPath);
    return length != 0 && length < kMaxPath;
}

std::string shellFolder(int csidl, DWORD flags) {
    char folder[kMaxPath];
    HRESULT hr = SHGetFolderPathA(nullptr, csidl, nullptr, flags, folder);
    if (FAILED(hr)) throw _com_error(hr);
    return folder;
}

bool exists(const char* path) {
    return _access(path, 0) == 0;
}

// Creates each missing folder of folder (an absolute path without a
// trailing backslash), outermost first. The deepest folder that already
// existed is the template for the new ones. A network path starts its walk
// after the share, which cannot be created.
bool createFolderChain(const char* folder) {
    std::size_t start = 0;
    if (isNetworkPath(folder)) {
        const char* server = std::strchr(folder + 2, '\\');
        const char* share = server ? std::strchr(server + 1, '\\') : nullptr;
        if (!share) return true;
        start = static_cast<std::size_t>(share - folder);
    } else {
        const char* first = std::strchr(folder, '\\');
        if (!first) return true;
        start = static_cast<std::size_t>(first - folder);
    }
    std::string accumulated(folder, start);
    std::string existing = accumulated;
    const char* rest = folder + start;
    while (*rest) {
        const char* next = std::strchr(rest + 1, '\\');
        std::size_t length = next ? static_cast<std::size_t>(next - rest) : std::strlen(rest);
        std::string piece(rest, length);
        accumulated += piece;
        if (exists(accumulated.c_str())) {
            existing += piece;
        } else if (!CreateDirectoryExA(existing.c_str(), accumulated.c_str(), nullptr)) {
            return false;
        }
        rest += length;
    }
    return true;
}

}  // namespace

std::string userNorvalePath() {
    std::string folder = shellFolder(CSIDL_APPDATA, SHGFP_TYPE_CURRENT);
    const std::size_t suffix = 1 + std::strlen(kProductFolder);
    if (folder.size() + suffix >= kMaxPath) throw _com_error(kPathTooLong);
    return folder + "\\" + kProductFolder;
}

std::string userNorvaleFolder() {
    std::string path = userNorvalePath();
    path.pop_back();
    return path;
}

std::string userFilePath(const std::string& name) {
    return userNorvalePath() + baseName(name);
}

std::string baseName(const std::string& path) {
    std::size_t separator = lastSeparator(path);
    std::size_t start = separator == std::string::npos ? 0 : separator + 1;
    return path.substr(start, kMaxBaseName);
}

std::string exeFolder() {
    char path[kMaxPath];
    if (!modulePath(path)) return std::string();
    std::string folder(path);
    std::size_t separator = lastSeparator(folder);
    if (separator == std::string::npos) return std::string();
    folder.resize(separator);
    return folder;
}

std::string systemFolder() {
    return shellFolder(CSIDL_SYSTEM, SHGFP_TYPE_DEFAULT);
}

bool setCurrentDir() {
    char path[kMaxPath];
    if (!modulePath(path)) return false;
    char* backslash = std::strrchr(path, '\\');
    char* slash = std::strrchr(path, '/');
    char* separator = backslash > slash ? backslash : slash;
    if (separator) separator[1] = '\0';
    return SetCurrentDirectoryA(path) != FALSE;
}

bool createPathDirectories(const char* path) {
    char folder[kMaxPath];
    if (!copyPath(folder, path) || !normalizePath(folder)) return false;

    char* lastBackslash = std::strrchr(folder, '\\');
    if (!lastBackslash) return true;
    *lastBackslash = '\0';
    if (folder[0] == '\0') return true;

    if (!hasDriveLetter(folder) && !isNetworkPath(folder)) {
        char current[kMaxPath];
        DWORD length = GetCurrentDirectoryA(kCurrentDirBuffer, current);
        if (length == 0 || length >= kCurrentDirBuffer) return false;
        current[length] = '\\';
        current[length + 1] = '\0';
        if (!resolvePath(current, folder, folder)) return false;
    }
    return createFolderChain(folder);
}
