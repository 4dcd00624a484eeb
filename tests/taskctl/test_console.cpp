#include "tests/taskctl/test_console.h"

#include <fcntl.h>
#include <io.h>

#include "tests/support/test_files.h"

namespace taskctl_test {

namespace {

void trimRowEnd(std::wstring& text) {
    size_t end = text.find_last_not_of(L' ');
    text.erase(end == std::wstring::npos ? 0 : end + 1);
}

}  // namespace

TestConsole::TestConsole()
    : savedInput_(GetStdHandle(STD_INPUT_HANDLE)),
      savedOutput_(GetStdHandle(STD_OUTPUT_HANDLE)),
      savedError_(GetStdHandle(STD_ERROR_HANDLE)) {
    // Wine gives a program started from Linux a console of its own kind,
    // which AllocConsole cannot replace while it is attached.
    FreeConsole();
    ready_ = AllocConsole() && SetConsoleOutputCP(kTestConsoleCodePage) &&
             GetConsoleOutputCP() != GetACP();
}

TestConsole::~TestConsole() {
    FreeConsole();
    SetStdHandle(STD_INPUT_HANDLE, savedInput_);
    SetStdHandle(STD_OUTPUT_HANDLE, savedOutput_);
    SetStdHandle(STD_ERROR_HANDLE, savedError_);
}

norvale::FileHandle TestConsole::newScreen() const {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    norvale::FileHandle screen(CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                                         FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                         &inherit, CONSOLE_TEXTMODE_BUFFER,
                                                         nullptr));
    if (screen && !SetConsoleScreenBufferSize(screen.get(), {kScreenColumns, kScreenRows}))
        screen.reset();
    return screen;
}

std::wstring screenText(HANDLE screen) {
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (!GetConsoleScreenBufferInfo(screen, &info)) return L"(no screen)";
    std::wstring text;
    for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
        std::wstring cells(static_cast<size_t>(info.dwSize.X), L' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(screen, &cells[0], info.dwSize.X, {0, row}, &read);
        cells.resize(read);
        trimRowEnd(cells);
        if (row != 0) text += L'\n';
        text += cells;
    }
    return text;
}

std::wstring shownAs(const std::string& ansi) {
    std::wstring text;
    std::wstring row;
    for (wchar_t c : norvale::testbed::wide(ansi)) {
        if (c == L'\r') continue;
        if (c != L'\n') {
            row += c;
            continue;
        }
        trimRowEnd(row);
        text += row + L'\n';
        row.clear();
    }
    trimRowEnd(row);
    return text + row;
}

Stream streamOn(HANDLE screen) {
    Stream none(nullptr, std::fclose);
    norvale::KernelHandle copy;
    if (!DuplicateHandle(GetCurrentProcess(), screen, GetCurrentProcess(), copy.receive(), 0,
                         FALSE, DUPLICATE_SAME_ACCESS))
        return none;
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(copy.get()), _O_BINARY | _O_WRONLY);
    if (descriptor < 0) return none;
    copy.release();  // the descriptor owns it now
    FILE* stream = _fdopen(descriptor, "wb");
    if (stream == nullptr) _close(descriptor);
    return Stream(stream, std::fclose);
}

}  // namespace taskctl_test
