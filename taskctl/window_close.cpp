#include "taskctl/window_close.h"

#include "common/child_process.h"
#include "taskctl/status.h"

namespace taskctl {

namespace {

constexpr DWORD kMailProxyCloseTimeoutMs = 20000;
constexpr DWORD kMessageLogCloseTimeoutMs = 500;
constexpr DWORD kGraphicalClientCloseTimeoutMs = 2500;

HWND findTargetWindow(const WindowTarget& target) {
    HWND window = FindWindowA(target.windowClass, target.title);
    if (window == nullptr && target.alternativeTitle != nullptr)
        window = FindWindowA(target.windowClass, target.alternativeTitle);
    return window;
}

}  // namespace

const WindowTarget kMailProxyWindow = {"Win32NorvaleEncryptionEngine", "norvale-mail", nullptr,
                                       WM_CLOSE, kMailProxyCloseTimeoutMs};
const WindowTarget kMessageLogWindow = {"QWidget", "Norvale Message Log", nullptr, WM_DESTROY,
                                        kMessageLogCloseTimeoutMs};
const WindowTarget kGraphicalClientWindow = {"QWidget", "Norvale (Expert Mode)",
                                             "Norvale (Simple Mode)", WM_DESTROY,
                                             kGraphicalClientCloseTimeoutMs};

void closeTargetWindow(const WindowTarget& target, DWORD& status, FILE* out) {
    HWND window = findTargetWindow(target);
    if (window == nullptr) {
        printStatus(kStatusWindowNotFound, out);
        return;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == 0) {
        printStatus(kStatusWindowHasNoProcess, out);
        return;
    }
    status = closeProcessWindows(processId, target.timeoutMs, target.message, 0, 0);
    if (status != 0) printStatus(status, out);
}

}  // namespace taskctl
