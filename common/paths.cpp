#include "common/paths.h"

#include <windows.h>
#include <comdef.h>
#include <direct.h>
#include <io.h>
#include <shlobj.h>

#include <cstring>

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

bool isNetworkPath(const char* path) {
    return path[0] == '\\' && path[1] == '\\';
}

bool hasDriveLetter(const char* path) {
    return ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
           path[1] == ':';
}

// Index of the last backslash or slash, or npos.
std::size_t lastSeparator(const std::string& path) {
    return path.find_last_of("\\/");
}

std::string shellFolder(int csidl, DWORD flags) {
    char folder[kMaxPath];
    HRESULT hr = realShellFolder(csidl, flags, folder);
    if (hr != S_OK) throw _com_error(hr);
    return folder;
}

// Cuts text at its last backslash (the backslash goes too). For a network
// path the leading two backslashes are never cut into. False when there is
// no backslash to cut at.
bool cutLastComponent(char* text, bool network) {
    char* last = std::strrchr(text, '\\');
    if (!last || (network && last < text + 2)) return false;
    *last = '\0';
    return true;
}

// Length of the component that starts at text and ends with a backslash, or
// npos when no backslash follows.
std::size_t componentLength(const char* text) {
    const char* end = std::strchr(text, '\\');
    return end ? static_cast<std::size_t>(end - text) : std::string::npos;
}

bool isComponent(const char* text, std::size_t length, const char* name) {
    return length == std::strlen(name) && std::strncmp(text, name, length) == 0;
}

bool copyPath(char (&out)[kMaxPath], const char* in) {
    if (std::strlen(in) >= kMaxPath) return false;
    std::strcpy(out, in);
    return true;
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
    return path.substr(start, kMaxBaseName);
}

std::string fileStem(const std::string& path) {
    std::string name = baseName(path);
    std::string::size_type dot = name.rfind('.');
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

void convertSlashes(char* path) {
    for (; *path; ++path) {
        if (*path == '/') *path = '\\';
    }
}

// Folds "." and ".." components. The depth counts the components that ".."
// may remove: the drive of "C:" and the server of a network path do not
// count, so ".." can never climb above them, nor above the start of a
// relative path.
bool normalizePath(char* path) {
    const std::size_t length = std::strlen(path);
    if (length == 0 || length >= kMaxPath) return false;
    convertSlashes(path);
    if (!std::strchr(path, '\\')) return true;

    int depth = isNetworkPath(path) ? -3 : (std::strchr(path, ':') ? -1 : 0);
    char result[kMaxPath] = "";
    std::size_t resultLength = 0;
    const char* rest = path;
    bool first = true;
    for (std::size_t n = componentLength(rest); n != std::string::npos;
         rest += n + 1, n = componentLength(rest)) {
        if (isComponent(rest, n, "..")) {
            if (depth < 1) return false;
            result[resultLength - 1] = '\0';
            char* previous = std::strrchr(result, '\\');
            resultLength = previous ? static_cast<std::size_t>(previous - result) + 1 : 0;
            result[resultLength] = '\0';
            --depth;
        } else if (!first && isComponent(rest, n, ".")) {
            // dropped
        } else {
            std::memcpy(result + resultLength, rest, n + 1);
            resultLength += n + 1;
            result[resultLength] = '\0';
            ++depth;
        }
        first = false;
    }
    // The final component is kept as it is. A result that became empty
    // ("a\..\b") stays relative instead of gaining a leading backslash.
    if (resultLength > 0 && result[resultLength - 1] != '\\') result[resultLength++] = '\\';
    std::strcpy(result + resultLength, rest);
    std::strcpy(path, result);
    return true;
}

bool resolvePath(const char* base, const char* relative, char* out) {
    char originalRelative[kMaxPath];
    char normalBase[kMaxPath];
    char normalRelative[kMaxPath];
    if (!copyPath(originalRelative, relative) || !copyPath(normalBase, base) ||
        !copyPath(normalRelative, relative))
        return false;
    if (!normalizePath(normalBase) || !normalizePath(normalRelative)) return false;

    if (hasDriveLetter(normalRelative)) {
        std::strcpy(out, originalRelative);
        return true;
    }
    if (std::strlen(normalBase) + std::strlen(normalRelative) >= kMaxPath) return false;

    char joined[kMaxPath];
    std::strcpy(joined, normalBase);
    const bool network = isNetworkPath(joined);
    if (!cutLastComponent(joined, network)) return false;

    // Leading "." components are skipped and each leading ".." takes one
    // folder off the base; the rest of the relative path is kept.
    const char* rest = normalRelative;
    for (std::size_t n = componentLength(rest); n != std::string::npos && rest[0] == '.';
         rest += n + 1, n = componentLength(rest)) {
        if (isComponent(rest, n, "..")) {
            if (!cutLastComponent(joined, network)) return false;
        } else if (!isComponent(rest, n, ".")) {
            break;
        }
    }
    const std::size_t joinedLength = std::strlen(joined);
    if (joinedLength + 1 + std::strlen(rest) >= kMaxPath) return false;
    joined[joinedLength] = '\\';
    std::strcpy(joined + joinedLength + 1, rest);
    std::strcpy(out, joined);
    return true;
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
