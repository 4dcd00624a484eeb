#include "remover/folder_math.h"

#if defined(_WIN32)
#include <mbstring.h>
#endif

#include <cstdio>
#include <cstring>
#include <string>

#include "common/ansi_text.h"
#include "common/product_names.h"

namespace {

constexpr char kUpOneFolder[] = "..\\";
constexpr char kSameFolder[] = ".\\";

// The first length bytes of a and b are equal, compared character by
// character (multibyte-aware) as the comparison of folder names requires.
bool sameBytes(const char* a, const char* b, std::size_t length) {
#if defined(_WIN32)
    return _mbsnbcmp(reinterpret_cast<const unsigned char*>(a),
                     reinterpret_cast<const unsigned char*>(b), length) == 0;
#else
    return std::strncmp(a, b, length) == 0;
#endif
}

int countBackslashes(const char* text) {
    int count = 0;
    for (const char* at = ansi::findChar(text, '\\'); at != nullptr; at = ansi::findChar(at + 1, '\\'))
        ++count;
    return count;
}

bool copyBounded(char* out, const char* text) {
    std::size_t length = std::strlen(text);
    if (length >= kMaxPath) return false;
    std::memcpy(out, text, length + 1);
    return true;
}

// Number of leading folders (each ending in a backslash) that a and b have
// in common; *restA and *restB are left on the first folder that differs.
int countSharedFolders(const char* a, const char* b, const char** restA, const char** restB) {
    int shared = 0;
    for (;;) {
        const char* endA = ansi::findChar(a, '\\');
        const char* endB = ansi::findChar(b, '\\');
        if (endA == nullptr || endB == nullptr) break;
        // The backslash is part of the comparison, so a folder never
        // matches a longer one that merely starts with its name.
        std::size_t length = static_cast<std::size_t>(endA - a) + 1;
        if (!sameBytes(a, b, length)) break;
        ++shared;
        a += length;
        b += length;
    }
    *restA = a;
    *restB = b;
    return shared;
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

}  // namespace

bool relativePath(const char* from, const char* to, char* out) {
    char a[kMaxPath];
    char b[kMaxPath];
    if (!copyBounded(a, from) || !copyBounded(b, to)) return false;
    if (!normalizePath(a) || !normalizePath(b)) return false;
    if (std::strlen(a) + std::strlen(b) >= kMaxPath) return false;

    // One path leads to the other only through a root they share whole (a
    // drive, or the server and the share of a network path) or, where they
    // have none, through a first folder they share.
    const char* restA = a;
    const char* restB = b;
    const int shared = countSharedFolders(a, b, &restA, &restB);
    if (shared == 0 || shared < pathRoot(a).names) return false;

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

bool profileNorvaleFolder(const char* root, const char* name, const char* offset, char* out) {
    if (std::strlen(root) + std::strlen(name) + 1 >= kMaxPath) return false;
    char base[kMaxPath];
    std::snprintf(base, sizeof base, "%s%s\\", root, name);

    char resolved[kMaxPath];
    if (!resolvePath(base, offset, resolved)) return false;
    // The product folder and its final backslash follow the offset.
    if (std::strlen(resolved) + std::strlen(kProductFolderName) + 1 >= kMaxPath) return false;
    std::snprintf(out, kMaxPath, "%s%s\\", resolved, kProductFolderName);
    return true;
}
