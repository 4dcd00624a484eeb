#include "common/path_text.h"

#include <cstring>
#include <string>

namespace {

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
