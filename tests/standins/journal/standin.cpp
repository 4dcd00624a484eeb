#include "tests/standins/journal/standin.h"

#include <cstdio>
#include <cstring>

namespace standin {

namespace {

const Run* g_windowRun = nullptr;

const char* closeMessageName(UINT message) {
    switch (message) {
        case WM_CLOSE: return "WM_CLOSE";
        case WM_DESTROY: return "WM_DESTROY";
        default: return nullptr;
    }
}

void printToStdout(const std::string& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// Registers the class for this program. A class of the same name that the
// system or a loaded library registered globally (such as the toolbar class)
// does not count: the program's own class is found first by CreateWindow.
bool registerOnce(const char* className, WNDPROC windowProc) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// How the parent asked the program to show its window: "startup default"
// (no show flag), "startup hidden" (SW_HIDE) or "startup show <n>".
std::string startupWindowEvent() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    if ((startup.dwFlags & STARTF_USESHOWWINDOW) == 0) return "startup default";
    if (startup.wShowWindow == SW_HIDE) return "startup hidden";
    return "startup show " + std::to_string(startup.wShowWindow);
}

int countStarts(const std::string& journalPath) {
    return static_cast<int>(entriesFor(readJournal(journalPath), "start").size());
}

}  // namespace

Run::Run()
    : journalPath_(besideProgram(ownProgramPath(), "journal")),
      commandLine_(GetCommandLineA()),
      control_(Control::load(besideProgram(ownProgramPath(), "control"))) {
    number_ = countStarts(journalPath_) + 1;
    record("start");
    record(startupWindowEvent());
}

void Run::record(const std::string& event) const { appendJournal(journalPath_, event, commandLine_); }

int Run::finish() const {
    int code = control_.exitCodeForRun(number_);
    record("exit " + std::to_string(code));
    return code;
}

bool usageRequested(int argc, char** argv, const char* plays, const char* behaviour) {
    if (argc < 2) return false;
    if (std::strcmp(argv[1], "--help") != 0 && std::strcmp(argv[1], "-h") != 0 &&
        std::strcmp(argv[1], "/?") != 0) {
        return false;
    }
    std::string text = std::string("Test fixture of the Norvale system's test suite: it plays ") +
                       plays +
                       " in tests and demonstrations. It is NOT the product program and must "
                       "never be installed as part of the product.\r\n" +
                       behaviour +
                       "\r\nIt journals its events in <program>.journal and takes its behaviour "
                       "from <program>.control beside it (see tests/standins/README.md).\r\n";
    printToStdout(text);
    return true;
}

HWND createHiddenWindow(const char* className, const char* title, WNDPROC windowProc, HWND parent,
                        DWORD style, int width, int height) {
    if (!registerOnce(className, windowProc)) return nullptr;
    return CreateWindowExA(0, className, title, style, 0, 0, width, height, parent, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

bool handleCloseMessage(const Run& run, UINT message) {
    const char* name = closeMessageName(message);
    if (name == nullptr) return false;
    run.record(name);
    if (!run.ignoresClose()) PostQuitMessage(0);
    return true;
}

void setWindowRun(const Run* run) { g_windowRun = run; }
const Run* windowRun() { return g_windowRun; }

LRESULT CALLBACK closingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Close messages are handled here and never passed on: the default
    // handling of WM_CLOSE would destroy the window, which is the program's
    // own choice to make, not the sender's.
    if (g_windowRun != nullptr && handleCloseMessage(*g_windowRun, message)) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

void runMessageLoop(const Run& run, long runMs) {
    UINT_PTR timer = 0;
    if (runMs >= 0) timer = SetTimer(nullptr, 0, static_cast<UINT>(runMs), nullptr);
    run.record("ready");
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr && message.wParam == timer) {
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (timer != 0) KillTimer(nullptr, timer);
}

}  // namespace standin
