// A DLL holding a global WH_CALLWNDPROC hook. The system loads it into every
// process whose windows receive sent messages while the hook is installed.
// When a message box is being set up (WM_INITDIALOG of a "#32770" dialog that
// has the message-box text item), the message's lParam is the box's
// MSGBOXPARAMSW; the hook copies its dwStyle into a window property, so a
// watcher in another process can tell the icon, the buttons asked for and
// MB_TOPMOST, none of which the window itself reveals. It also answers the
// watcher's probe message, which tells whether the hook is still in place.
#include <windows.h>

#include <cstring>

#include "tests/support/msgbox_style.h"

using namespace norvale::testbed;

namespace {

HINSTANCE g_module = nullptr;

bool isDialogWindow(HWND window) {
    char className[sizeof kDialogClass + 1] = {};
    int length = GetClassNameA(window, className, sizeof className);
    return length > 0 && std::strcmp(className, kDialogClass) == 0;
}

// lParam of WM_INITDIALOG is whatever the dialog's creator passed; only read
// it as MSGBOXPARAMSW when all of it lies in committed, readable memory.
bool isReadable(const void* address, size_t size) {
    MEMORY_BASIC_INFORMATION region;
    if (address == nullptr || VirtualQuery(address, &region, sizeof region) == 0) return false;
    if (region.State != MEM_COMMIT) return false;
    if (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) return false;
    const char* end = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    return static_cast<const char*>(address) + size <= end;
}

void recordMsgBoxStyle(HWND dialog, LPARAM initParam) {
    if (!isDialogWindow(dialog) || GetDlgItem(dialog, kMsgBoxTextItem) == nullptr) return;
    const auto* params = reinterpret_cast<const MSGBOXPARAMSW*>(initParam);
    if (!isReadable(params, sizeof *params) || params->cbSize != sizeof *params) return;
    DWORD_PTR value = static_cast<DWORD_PTR>(params->dwStyle) | kStyleRecordedBit;
    SetPropA(dialog, kMsgBoxStyleProp, reinterpret_cast<HANDLE>(value));
}

UINT probeMessage() {
    static const UINT message = RegisterWindowMessageA(kStyleHookProbeMessage);
    return message;
}

LRESULT CALLBACK msgBoxStyleHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && lParam != 0) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (call->message == WM_INITDIALOG)
            recordMsgBoxStyle(call->hwnd, call->lParam);
        else if (call->message == probeMessage() && call->message != 0)
            SetPropA(call->hwnd, kStyleHookProbeProp, reinterpret_cast<HANDLE>(1));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

extern "C" __declspec(dllexport) HHOOK installMsgBoxStyleHook() {
    return SetWindowsHookExA(WH_CALLWNDPROC, msgBoxStyleHook, g_module, 0);
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = module;
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}
