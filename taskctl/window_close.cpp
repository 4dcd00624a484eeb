#include "taskctl/window_close.h"

#include "common/child_process.h"
#include "taskctl/status.h"

namespace taskctl {

namespace {

HWND findTargetWindow(const ProductWindow& target) {
    HWND window = FindWindowA(target.windowClass, target.title);
    if (window == nullptr && target.alternativeTitle != nullptr)
        window = FindWindowA(target.windowClass, target.alternativeTitle);
    return window;
}

}  // namespace

void closeTargetWindow(const ProductWindow& target, DWORD& status, FILE* out) {
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
    status = closeProcessWindows(processId, target.closeTimeoutMs, target.message, 0, 0);
    if (status != 0) printStatus(status, out);
}

}  // namespace taskctl
