#include "common/path_text.h"

#include <cstring>
#include <string>

#include "common/ansi_text.h"

namespace {

// Length of the part of a path that ".." never climbs above and a path
// rooted without a drive joins onto: the drive ("C:"), or the server and
// share of a network path ("\\server\share" when a backslash follows the
// share, else "\\server"); 0 for any other path.
std::size_t rootLength(const char* path) {
    if (hasDriveLetter(path)) return 2;
    if (!isNetworkPath(path)) return 0;
    const char* server = ansi::findChar(path + 2, '\\');
    if (!server) return std::strlen(path);
    const char* share = ansi::findChar(server + 1, '\\');
    return static_cast<std::size_t>((share ? share : server) - path);
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

// The number of leading components that ".." may not remove, as a negative
// start of the depth count: the two empty names, the server and the share of
// a network path; a drive (a colon anywhere); the empty name before the
// backslash of a path rooted without a drive.
int rootDepth(const char* path) {
    if (isNetworkPath(path)) return -4;
    if (ansi::findChar(path, ':') || path[0] == '\\') return -1;
    return 0;
}

}  // namespace

bool isNetworkPath(const char* path) {
    return path[0] == '\\' && path[1] == '\\';
}

bool hasDriveLetter(const char* path) {
    return ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
           path[1] == ':';
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
// may remove: the drive of "C:", the root of "\\a" and the server and share
// of a network path do not count, so ".." can never climb above them, nor
// above the start of a relative path.
bool normalizePath(char* path) {
    const std::size_t length = std::strlen(path);
    if (length == 0 || length >= kMaxPath) return false;
    convertSlashes(path);
    if (!ansi::findChar(path, '\\')) return true;

    int depth = rootDepth(path);
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
    const std::size_t root = rootLength(joined);
    // A path rooted without a drive stays on the base's drive or share.
    if (normalRelative[0] == '\\') {
        joined[root] = '\0';
        std::strcat(joined, normalRelative);
        if (!normalizePath(joined)) return false;
        std::strcpy(out, joined);
        return true;
    }
    if (!cutLastComponent(joined, root)) return false;

    // Leading "." components are skipped and each leading ".." takes one
    // folder off the base; the rest of the relative path is kept.
    const char* rest = normalRelative;
    for (std::size_t n = componentLength(rest); n != std::string::npos && rest[0] == '.';
         rest += n + 1, n = componentLength(rest)) {
        if (isComponent(rest, n, "..")) {
            if (!cutLastComponent(joined, root)) return false;
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
