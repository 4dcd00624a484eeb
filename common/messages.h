// The launcher's numbered texts, its message box and its fatal exit.
#pragma once

#include <windows.h>

constexpr int kMessageCount = 87;
extern const char* const messageTable[kMessageCount];

// The single-instance mutex of the launcher; released by fatalExit. Null
// when it was not created.
extern HANDLE g_instanceMutex;

// Shows messageTable[|number|]; a negative number makes it an error box.
// Returns the box's result, or -37 when the module path is unknown.
int showMessage(int number, UINT style, HWND owner);
// Shows the box, releases the mutex and exits with number as the status.
[[noreturn]] void fatalExit(int number, UINT style, HWND owner);
