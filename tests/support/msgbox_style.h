// What the message-box hook DLL and the watcher agree on: the window property
// that carries the style a program passed to MessageBox, and how the hook DLL
// is found and installed.
#pragma once

#include <windows.h>

namespace norvale::testbed {

// Property set on a message box's dialog window by the hook DLL, inside the
// program that shows the box.
constexpr char kMsgBoxStyleProp[] = "NorvaleTestMsgBoxStyle";

// Message-box styles use only the low 22 bits. The hook stores the style with
// this bit set, so a style of 0 (MB_OK, no icon) differs from "no property".
constexpr DWORD_PTR kStyleRecordedBit = 0x80000000u;

// Dialog item that holds a message box's text.
constexpr int kMsgBoxTextItem = 0xFFFF;

// The dialog class of message boxes.
constexpr char kDialogClass[] = "#32770";

// The hook DLL lies beside the test programs in <build>/bin.
constexpr char kStyleHookDll[] = "msgbox_style_hook.dll";

// A registered message that the hook DLL answers, in whichever thread it
// runs, by setting kStyleHookProbeProp on the window the message was sent to:
// it shows whether a hook is still in place.
constexpr char kStyleHookProbeMessage[] = "NorvaleTestStyleHookProbe";
constexpr char kStyleHookProbeProp[] = "NorvaleTestStyleHookProbe";

// Exported by the hook DLL (cdecl, so the name is undecorated on every
// architecture): installs the global WH_CALLWNDPROC hook and returns it, or
// NULL with the last error set.
constexpr char kInstallHookExport[] = "installMsgBoxStyleHook";
using InstallHookFunction = HHOOK (*)();

}  // namespace norvale::testbed
