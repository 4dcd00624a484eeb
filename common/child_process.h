// Starting sibling programs and waiting for their exit codes, and ending
// another program's process through its windows.
#pragma once

#include <windows.h>

#include <string>

// Exit code reported for a child that could not be started.
constexpr int kChildNotStarted = -3;

enum class ChildWindow { Default, Hidden };

// Starts application (a bare file name, resolved against the current
// directory, never the search path) with commandLine (whose first word is
// the same file name), waits without time-out and returns the child's
// signed exit code, or kChildNotStarted.
int runChildAndWait(const char* application, const std::string& commandLine, ChildWindow window);

// The same, telling "not started" apart from an exit code: false when the
// child could not be started, otherwise true with its exit code in exitCode
// (which may be any value, -3 included). runChildAndWait is built on it; the
// mail proxy supervision needs the distinction, since a proxy that really
// exits with -3 must be restarted, not taken for a missing program.
bool startChildAndWait(const char* application, const std::string& commandLine,
                       ChildWindow window, int& exitCode);

// Posts message to every top-level window of the process, waits up to
// timeoutMs for it to end and terminates it (exit code 0) otherwise.
// Returns 0, or the system error of the first failing step.
DWORD closeProcessWindows(DWORD processId, DWORD timeoutMs, UINT message, WPARAM wParam,
                          LPARAM lParam);
