#include "common/paths.h"

#include <windows.h>
#include <comdef.h>
#include <direct.h>
#include <io.h>
#include <shlobj.h>

#include <cstring>

#include "common/ansi_text.h"
#include "common/product_names.h"
#include "common/real_folder.h"

namespace {

// HRESULT thrown when the product folder would not fit in a path buffer.
constexpr HRESULT kPathTooLong = 111;
// The longest file name baseName hands out.
constexpr std::size_t kMaxBaseName = 255;
// The current directory is read into a buffer two characters short of a
// path, leaving room for the backslash that joins it to a relative path.
constexpr DWORD kCurrentDirBuffer = 258;

// Index of the last backslash or slash, or npos.
std::size_t lastSeparator(const std::string& path) {
    return ansi::findLastOf(path, "\\/");
}

std::string shellFolder(int csidl, DWORD flags) {
    char folder[kMaxPath];
    HRESULT hr = realShellFolder(csidl, flags, folder);
    if (hr != S_OK) throw _com_error(hr);
    return folder;
}

bool exists(const char* path) {
    return _access(path, 0) == 0;
}

// Creates each missing folder of folder (an absolute path without a
// trailing backslash), outermost first. The deepest folder that already
// existed is the template for the new ones. The walk starts at the first
// backslash after the root (the drive, or the server and the share), which
// cannot be created.
bool createFolderChain(const char* folder) {
    const char* start = ansi::findChar(folder + pathRoot(folder).length, '\\');
    if (!start) return true;
    std::string accumulated(folder, start);
    std::string existing = accumulated;
    const char* rest = start;
    while (*rest) {
        const char* next = ansi::findChar(rest + 1, '\\');
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
    // "\<product folder>\" follows the application-data folder.
    const std::size_t suffix = 2 + std::strlen(kProductFolderName);
    if (folder.size() + suffix >= kMaxPath) throw _com_error(kPathTooLong);
    return folder + "\\" + kProductFolderName + "\\";
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
    std::string name = path.substr(start);
    name.resize(ansi::cutLength(name, kMaxBaseName));
    return name;
}

std::string fileStem(const std::string& path) {
    std::string name = baseName(path);
    std::string::size_type dot = ansi::findLastOf(name, ".");
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

std::string logFileNameFor(const std::string& programPath) {
    return fileStem(programPath) + ".log";
}

std::string exeFolder() {
    char folder[kMaxPath];
    if (!realProgramFolder(folder)) return std::string();
    return folder;
}

std::string systemFolder() {
    return shellFolder(CSIDL_SYSTEM, SHGFP_TYPE_DEFAULT);
}

bool setCurrentDir() {
    char folder[kMaxPath];
    if (!realProgramFolder(folder)) return false;
    const std::size_t length = std::strlen(folder);
    if (length + 1 >= kMaxPath) return false;
    folder[length] = '\\';
    folder[length + 1] = '\0';
    return SetCurrentDirectoryA(folder) != FALSE;
}

bool createPathDirectories(const char* path) {
    char folder[kMaxPath];
    if (!copyPath(folder, path) || !normalizePath(folder)) return false;

    char* lastBackslash = ansi::findLastChar(folder, '\\');
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
