// Windows status codes the tool produces itself, and the status line.
#pragma once

#include <windows.h>

#include <cstdio>

namespace taskctl {

constexpr DWORD kStatusSuccess = 0;
constexpr DWORD kStatusHelpShown = 0x80004005;        // E_FAIL
constexpr DWORD kStatusMissingMask = 0x80070057;      // E_INVALIDARG
constexpr DWORD kStatusLauncherNotFound = ERROR_FILE_NOT_FOUND;       // 2
constexpr DWORD kStatusLauncherFileMissing = ERROR_ACCESS_DENIED;     // 5
constexpr DWORD kStatusOutOfMemory = ERROR_OUTOFMEMORY;               // 14
constexpr DWORD kStatusNameOutOfMemory = 0x8007000E;                  // E_OUTOFMEMORY
constexpr DWORD kStatusWindowHasNoProcess = ERROR_PROC_NOT_FOUND;     // 127
constexpr DWORD kStatusWindowNotFound = ERROR_INVALID_WINDOW_HANDLE;  // 1400

// The calling thread's last error, never 0: a call that failed without
// setting one must not read back as success.
DWORD lastErrorOr(DWORD fallback);

// Prints "[0x%08X]: " and the system's text for status (which carries its
// own line end), or "Error" and a line feed when the system has none.
void printStatus(DWORD status, FILE* out = stderr);

}  // namespace taskctl
