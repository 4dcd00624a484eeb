// Stand-in for the shell's taskbar: a hidden top-level "Shell_TrayWnd" with
// the chain TrayNotifyWnd > SysPager > ToolbarWindow32 below it, the
// toolbar's client area toolbar_width x toolbar_height pixels. The toolbar
// journals every WM_MOUSEMOVE as "WM_MOUSEMOVE <x> <y>". With hang=1 the
// toolbar stops answering at its first mouse move, as a hung shell does: it
// journals the move and "hung" and never returns.
#include <windows.h>
#include <windowsx.h>

#include "tests/standins/journal/standin.h"

namespace {

constexpr const char kTaskbarClass[] = "Shell_TrayWnd";
constexpr const char kNotifyClass[] = "TrayNotifyWnd";
constexpr const char kPagerClass[] = "SysPager";
constexpr const char kToolbarClass[] = "ToolbarWindow32";
constexpr const char kKeyToolbarWidth[] = "toolbar_width";
constexpr const char kKeyToolbarHeight[] = "toolbar_height";
constexpr long kDefaultToolbarWidth = 100;
constexpr long kDefaultToolbarHeight = 30;
constexpr const char kKeyHang[] = "hang";

LRESULT CALLBACK toolbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEMOVE && standin::windowRun() != nullptr) {
        standin::windowRun()->record("WM_MOUSEMOVE " + std::to_string(GET_X_LPARAM(lParam)) + " " +
                                     std::to_string(GET_Y_LPARAM(lParam)));
        if (standin::windowRun()->control().flag(kKeyHang)) {
            standin::windowRun()->record("hung");
            Sleep(INFINITE);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK plainChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

bool buildTaskbar(int toolbarWidth, int toolbarHeight) {
    HWND taskbar = standin::createHiddenWindow(kTaskbarClass, "", standin::closingWindowProc,
                                               nullptr, WS_POPUP, toolbarWidth + 200,
                                               toolbarHeight);
    if (taskbar == nullptr) return false;
    HWND notify = standin::createHiddenWindow(kNotifyClass, "", plainChildProc, taskbar, WS_CHILD,
                                              toolbarWidth + 50, toolbarHeight);
    if (notify == nullptr) return false;
    HWND pager = standin::createHiddenWindow(kPagerClass, "", plainChildProc, notify, WS_CHILD,
                                             toolbarWidth, toolbarHeight);
    if (pager == nullptr) return false;
    return standin::createHiddenWindow(kToolbarClass, "", toolbarProc, pager, WS_CHILD,
                                       toolbarWidth, toolbarHeight) != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (standin::usageRequested(argc, argv, "the shell's taskbar",
                                "It owns a hidden Shell_TrayWnd whose descendant holds a "
                                "ToolbarWindow32 and journals the mouse moves the toolbar gets.")) {
        return 0;
    }
    standin::Run run;
    standin::setWindowRun(&run);
    int width = static_cast<int>(run.control().number(kKeyToolbarWidth, kDefaultToolbarWidth));
    int height = static_cast<int>(run.control().number(kKeyToolbarHeight, kDefaultToolbarHeight));
    if (!buildTaskbar(width, height)) {
        run.record("window-failed " + std::to_string(GetLastError()));
        return run.finish();
    }
    standin::runMessageLoop(run, run.runMs(standin::kRunUntilClosed));
    return run.finish();
}
