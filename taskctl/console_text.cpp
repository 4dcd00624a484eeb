#include "taskctl/console_text.h"

#include <windows.h>

#include <io.h>

#include <algorithm>
#include <cstdarg>
#include <vector>

namespace taskctl {

namespace {

// Characters per WriteConsoleW call: a console may refuse a single write that
// exceeds its shared buffer (64 KB on older Windows) with
// ERROR_NOT_ENOUGH_MEMORY; pieces of this size stay well below it.
constexpr std::size_t kConsoleWriteChars = 8192;

// The console behind out, or nullptr when out goes to a file, a pipe or
// nowhere.
HANDLE consoleOf(FILE* out) {
    int descriptor = _fileno(out);
    if (descriptor < 0) return nullptr;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
    return handle;
}

// Wide text in a vector rather than a std::wstring: the library code of the
// wide string would be linked in whole, more than the tool's own code.
using WideText = std::vector<wchar_t>;

// text as the ANSI code page reads it; empty when it cannot be converted.
WideText fromAnsi(const std::string& text) {
    int size = static_cast<int>(text.size());
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return {};
    WideText wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length) != length) return {};
    return wide;
}

// The ANSI form of the wide characters from `from` on, which came from the
// ANSI code page.
std::string toAnsi(const WideText& wide, std::size_t from) {
    int size = static_cast<int>(wide.size() - from);
    const wchar_t* rest = wide.data() + from;
    int length = WideCharToMultiByte(CP_ACP, 0, rest, size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, rest, size, &text[0], length, nullptr, nullptr);
    return text;
}

// Shows wide on the console piece by piece; returns how many characters the
// console took before it refused one (all of them on success).
std::size_t writeConsole(HANDLE console, const WideText& wide) {
    std::size_t done = 0;
    while (done < wide.size()) {
        std::size_t piece = std::min(wide.size() - done, kConsoleWriteChars);
        // A surrogate pair is never split between two writes.
        if (piece > 1 && IS_HIGH_SURROGATE(wide[done + piece - 1])) --piece;
        DWORD written = 0;
        if (!WriteConsoleW(console, wide.data() + done, static_cast<DWORD>(piece), &written,
                           nullptr) ||
            written == 0)
            break;
        done += written;
    }
    return done;
}

void writeBytes(FILE* out, const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fflush(out);
}

}  // namespace

void writeText(FILE* out, const std::string& text) {
    // Whatever the stream still holds goes out before a write that bypasses it.
    std::fflush(out);
    HANDLE console = consoleOf(out);
    WideText wide = console != nullptr ? fromAnsi(text) : WideText();
    std::size_t shown = wide.empty() ? 0 : writeConsole(console, wide);
    if (shown == 0)
        writeBytes(out, text);
    else if (shown < wide.size())
        writeBytes(out, toAnsi(wide, shown));  // the part the console refused
}

void printText(FILE* out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length < 0) return;
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(&text[0], text.size(), format, args);
    va_end(args);
    text.resize(static_cast<std::size_t>(length));
    writeText(out, text);
}

}  // namespace taskctl
