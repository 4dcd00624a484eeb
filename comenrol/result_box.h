// The outcome of a run: its message box and its exit code.
#pragma once

#include <windows.h>

// Every box of the tool is an information box with an OK button; error
// numbers swap the icon for the stop icon.
constexpr UINT kResultBoxStyle = MB_OK | MB_ICONINFORMATION;

// What showResultMessage returns when the tool's own path cannot be read.
constexpr int kUnknownModulePath = -8;

// Shows resultMessageTable[|number|], captioned with the tool's file name
// without folder and extension; a negative number makes it an error box
// ("Error: " before the name, stop icon instead of the information icon).
// Returns the box's result, or kUnknownModulePath without showing anything.
int showResultMessage(int number, UINT style, HWND owner);

// Shows the box for messageNumber unless silent and returns the code the
// process exits with: 0 when alwaysSuccess, else exitCode.
int finishRun(int exitCode, int messageNumber, bool silent, bool alwaysSuccess);
