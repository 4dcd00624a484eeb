// Feeds arbitrary texts to the path routines of the shared library. The
// input holds a base and a relative path, separated by the first line feed.
// Every result goes into a heap buffer of exactly kMaxPath characters, so a
// write past it stops the run, and these properties must hold:
// - a cleaned path is no longer than the path and has no slash between
//   characters (a slash after a lead byte is the second half of one);
//   cleaning it again succeeds and changes nothing (a relative path that
//   folds away entirely, such as "a\..\", cleans to the empty text, which
//   is not a path to clean again);
// - a path without dots keeps its names: it cleans to as many separators
//   as it had, so cleaning never joins two names nor splits one;
// - a resolved path fits its buffer; it is the relative text as given when
//   that names a drive or a network path, and is itself clean otherwise;
// - a relative path that names no drive and begins with no dot, joined
//   onto a clean folder, gives the folder followed by it, or the folder's
//   drive followed by it when it begins with a backslash; it is refused
//   exactly when the two do not fit together.
// Every input runs on a single-byte and on a double-byte code page, where a
// backslash byte may be the second half of a character.
#include "common/ansi_text.h"
#include "common/path_text.h"
#include "tests/native/fuzz_input.h"
#include "tests/native/native_code_page.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using fuzz::require;

using Buffer = std::unique_ptr<char[]>;

Buffer pathBuffer(const std::string& text) {
    Buffer buffer(new char[kMaxPath]);
    std::memset(buffer.get(), 'X', kMaxPath);
    std::memcpy(buffer.get(), text.c_str(), text.size() + 1);
    return buffer;
}

// How many characters of text are one of the single-byte characters in set.
std::size_t countChars(const std::string& text, const char* set) {
    std::size_t count = 0;
    for (const char* at = text.c_str(); *at != '\0'; at = ansi::nextChar(at)) {
        if (std::strchr(set, *at) != nullptr) ++count;
    }
    return count;
}

// The cleaned text, or false; a text too long for a path buffer is handed
// over in a larger one, as callers with longer texts would.
bool normalized(const std::string& path, std::string& out) {
    if (path.size() >= kMaxPath) {
        std::vector<char> large(path.c_str(), path.c_str() + path.size() + 1);
        require(!normalizePath(large.data()));
        return false;
    }
    Buffer buffer = pathBuffer(path);
    if (!normalizePath(buffer.get())) return false;
    out = buffer.get();
    require(out.size() <= path.size());
    require(ansi::findChar(out.c_str(), '/') == nullptr);
    if (path.find('.') == std::string::npos)
        require(countChars(out, "\\") == countChars(path, "\\/"));
    return true;
}

void checkNormalize(const std::string& path) {
    std::string once;
    if (!normalized(path, once) || once.empty()) return;
    std::string twice;
    require(normalized(once, twice));
    require(twice == once);
}

void checkResolve(const std::string& base, const std::string& relative) {
    if (base.size() >= kMaxPath || relative.size() >= kMaxPath) return;
    Buffer out(new char[kMaxPath]);
    std::memset(out.get(), 'X', kMaxPath);
    const bool ok = resolvePath(base.c_str(), relative.c_str(), out.get());
    std::string cleanRelative;
    const bool relativeClean = normalized(relative, cleanRelative);
    const bool drive = relativeClean && (hasDriveLetter(cleanRelative.c_str()) ||
                                         isNetworkPath(cleanRelative.c_str()));
    std::string result;
    if (ok) {
        result.assign(out.get(), strnlen(out.get(), kMaxPath));
        require(result.size() < kMaxPath);
        std::string clean;
        require(drive ? result == relative : normalized(result, clean) && clean == result);
    }

    std::string folder;
    if (!normalized(base, folder) || folder != base || folder.empty() ||
        ansi::findLastChar(folder.c_str(), '\\') != &folder.back() || isNetworkPath(folder.c_str()))
        return;
    if (!relativeClean || drive || cleanRelative.empty() || cleanRelative[0] == '.') return;
    const bool fits = folder.size() + cleanRelative.size() < kMaxPath;
    require(ok == fits);
    const bool rooted = cleanRelative[0] == '\\';
    const std::string start = !rooted ? folder : hasDriveLetter(folder.c_str()) ? folder.substr(0, 2) : "";
    if (ok) require(result == start + cleanRelative);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto [base, relative] = fuzz::twoTexts(input);
    for (bool doubleByte : {false, true}) {
        native_code_page::useDoubleByte(doubleByte);
        if (native_code_page::endsWithHalfCharacter(base) ||
            native_code_page::endsWithHalfCharacter(relative))
            continue;
        checkNormalize(base);
        checkNormalize(relative);
        checkResolve(base, relative);
    }
    return 0;
}
