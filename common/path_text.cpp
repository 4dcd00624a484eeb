#include "common/path_text.h"

#include <cstring>
#include <string>

#include "common/ansi_text.h"

namespace {

// Bytes of a drive: its letter and the colon.
constexpr std::size_t kDriveLength = 2;
// The two empty names before the server, the server and the share.
constexpr int kNetworkRootNames = 4;

// Length of "\\server\share" at the start of a network path: up to the
// backslash after the share, or all of a path that ends before it.
std::size_t networkRootLength(const char* path) {
    const char* serverEnd = ansi::findChar(path + 2, '\\');
    const char* shareEnd = serverEnd ? ansi::findChar(serverEnd + 1, '\\') : nullptr;
    return shareEnd ? static_cast<std::size_t>(shareEnd - path) : std::strlen(path);
}

// Cuts text at its last backslash (the backslash goes too), never into the
// first root characters. False when there is no backslash to cut at.
bool cutLastComponent(char* text, std::size_t root) {
    char* last = ansi::findLastChar(text, '\\');
    if (!last || last < text + root) return false;
    *last = '\0';
    return true;
}

// Length of the component that starts at text and ends with a backslash, or
// npos when no backslash follows.
std::size_t componentLength(const char* text) {
    const char* end = ansi::findChar(text, '\\');
    return end ? static_cast<std::size_t>(end - text) : std::string::npos;
}

bool isComponent(const char* text, std::size_t length, const char* name) {
    return length == std::strlen(name) && std::strncmp(text, name, length) == 0;
}

}  // namespace

bool isNetworkPath(const char* path) {
    return path[0] == '\\' && path[1] == '\\';
}

bool hasDriveLetter(const char* path) {
    return ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
           path[1] == ':';
}

PathRoot pathRoot(const char* path) {
    if (isNetworkPath(path)) return {networkRootLength(path), kNetworkRootNames};
    if (hasDriveLetter(path)) return {kDriveLength, 1};
    if (path[0] == '\\' || ansi::findChar(path, ':')) return {0, 1};
    return {0, 0};
}

bool copyPath(char (&out)[kMaxPath], const char* in) {
    if (std::strlen(in) >= kMaxPath) return false;
    std::strcpy(out, in);
    return true;
}

void convertSlashes(char* path) {
    for (char* at = ansi::findChar(path, '/'); at; at = ansi::findChar(at + 1, '/')) *at = '\\';
}

// Folds "." and ".." components. The depth counts the components that ".."
// may remove: the names of the root (the drive of "C:", the empty name of
// "\\a", the server and share of a network path) do not count, so ".." can
// never climb above them, nor above the start of a relative path.
bool normalizePath(char* path) {
    const std::size_t length = std::strlen(path);
    if (length == 0 || length >= kMaxPath) return false;
    convertSlashes(path);
    if (!ansi::findChar(path, '\\')) return true;

    int depth = -pathRoot(path).names;
    char result[kMaxPath] = "";
    std::size_t resultLength = 0;
    const char* rest = path;
    bool first = true;
    for (std::size_t n = componentLength(rest); n != std::string::npos;
         rest += n + 1, n = componentLength(rest)) {
        if (isComponent(rest, n, "..")) {
            if (depth < 1) return false;
            result[resultLength - 1] = '\0';
            char* previous = ansi::findLastChar(result, '\\');
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

    // A path with a drive or a network path stands for itself.
    if (hasDriveLetter(normalRelative) || isNetworkPath(normalRelative)) {
        std::strcpy(out, originalRelative);
        return true;
    }
    if (std::strlen(normalBase) + std::strlen(normalRelative) >= kMaxPath) return false;

    char joined[kMaxPath];
    std::strcpy(joined, normalBase);
    const std::size_t root = pathRoot(joined).length;
    // A path rooted without a drive stays on the base's drive or share.
    if (normalRelative[0] == '\\') {
        joined[root] = '\0';
        std::strcat(joined, normalRelative);
        if (!normalizePath(joined)) return false;
        std::strcpy(out, joined);
        return true;
    }
    // The base's folder: its file name goes. A base whose last backslash lies
    // within its root ("\\server\share") names no folder to join onto.
    if (!cutLastComponent(joined, root)) return false;

    // Cleaning has refused any relative path that climbs above its start, so
    // none begins with ".."; a leading "." is the base's folder itself.
    const char* rest = normalRelative;
    const std::size_t first = componentLength(rest);
    if (isComponent(rest, first, ".")) rest += first + 1;
    const std::size_t joinedLength = std::strlen(joined);
    if (joinedLength + 1 + std::strlen(rest) >= kMaxPath) return false;
    joined[joinedLength] = '\\';
    std::strcpy(joined + joinedLength + 1, rest);
    std::strcpy(out, joined);
    return true;
}
