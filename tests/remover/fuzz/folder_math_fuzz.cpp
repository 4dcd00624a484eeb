// Feeds two folders, separated by the first line feed, to the removal
// tool's folder arithmetic. Results go into heap buffers of exactly kMaxPath
// characters, so a write past one stops the run. Properties:
// - the relative path from one clean folder to another, joined back onto
//   the first (each "..\" taking off one folder), names the second;
// - the product folder worked out for a profile's own root and name, with
//   the offset from that profile to its application data, is that
//   application-data folder followed by "Norvale\", refused exactly when it
//   does not fit; an offset that climbs out of the profile is refused.
// Every input runs on a single-byte and on a double-byte code page, where a
// backslash byte may be the second half of a character.
#include "common/ansi_text.h"
#include "remover/folder_math.h"
#include "tests/native/fuzz_input.h"
#include "tests/native/native_code_page.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

using fuzz::require;

constexpr char kUp[] = "..\\";
constexpr char kSame[] = ".\\";
constexpr char kProduct[] = "Norvale\\";

struct Result {
    bool ok;
    std::string text;
};

template <typename Call>
Result intoPathBuffer(Call call) {
    std::unique_ptr<char[]> out(new char[kMaxPath]);
    std::memset(out.get(), 'X', kMaxPath);
    Result result{call(out.get()), std::string()};
    if (result.ok) {
        result.text.assign(out.get(), strnlen(out.get(), kMaxPath));
        require(result.text.size() < kMaxPath);
    }
    return result;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The cleaned folder, or empty when it cannot be cleaned or is no folder.
std::string cleanFolder(const std::string& folder) {
    if (folder.empty() || folder.size() >= kMaxPath) return std::string();
    char buffer[kMaxPath];
    std::strcpy(buffer, folder.c_str());
    if (!normalizePath(buffer)) return std::string();
    std::string clean = buffer;
    return !clean.empty() && ansi::findLastChar(buffer, '\\') == &buffer[clean.size() - 1]
               ? clean
               : std::string();
}

// The folder with its last `count` folders taken off.
std::string climb(std::string folder, int count) {
    for (; count > 0; --count) {
        folder.pop_back();
        std::string::size_type last = ansi::findLastOf(folder, "\\");
        require(last != std::string::npos);
        folder.erase(last + 1);
    }
    return folder;
}

void checkRelative(const std::string& from, const std::string& to) {
    Result relative = intoPathBuffer(
        [&](char* out) { return relativePath(from.c_str(), to.c_str(), out); });
    if (!relative.ok) return;
    std::string rest = relative.text;
    int up = 0;
    if (startsWith(rest, kSame)) {
        rest.erase(0, std::strlen(kSame));
    } else {
        for (; startsWith(rest, kUp); ++up) rest.erase(0, std::strlen(kUp));
        require(up > 0);
    }
    const std::string a = cleanFolder(from);
    const std::string b = cleanFolder(to);
    if (a.empty() || b.empty()) return;
    require(climb(a, up) + rest == b);
}

void checkProductFolder(const std::string& profile, const std::string& appData) {
    std::string::size_type last = ansi::findLastOf(profile, "\\");
    if (last == std::string::npos || last + 1 == profile.size()) return;
    const std::string root = profile.substr(0, last + 1);
    const std::string name = profile.substr(last + 1);

    Result offset = intoPathBuffer([&](char* out) {
        return appDataOffset(profile.c_str(), appData.c_str(), out);
    });
    if (!offset.ok) return;
    Result folder = intoPathBuffer([&](char* out) {
        return profileNorvaleFolder(root.c_str(), name.c_str(), offset.text.c_str(), out);
    });
    if (startsWith(offset.text, kUp)) {
        require(!folder.ok);
        return;
    }
    const std::string clean = cleanFolder(appData + "\\");
    require(!clean.empty());
    const std::string expected = clean + kProduct;
    if (folder.ok) require(folder.text == expected);
    if (cleanFolder(profile + "\\") == profile + "\\" && clean == appData + "\\")
        require(folder.ok == (expected.size() < kMaxPath));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto [first, second] = fuzz::twoTexts(input);
    for (bool doubleByte : {false, true}) {
        native_code_page::useDoubleByte(doubleByte);
        if (native_code_page::endsWithHalfCharacter(first) ||
            native_code_page::endsWithHalfCharacter(second))
            continue;
        checkRelative(first, second);
        checkProductFolder(first, second);
    }
    return 0;
}
