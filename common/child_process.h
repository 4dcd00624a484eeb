// Starting sibling programs and waiting for their exit codes, and ending
// another program's process through its windows.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "common/command_line.h"

// Exit code reported for a child that could not be started.
constexpr int kChildNotStarted = -3;

// Exit code reported for a child that ran and ended but whose exit code the
// system would not tell: the smallest 32-bit value, which none of the
// product's programs answers with and no caller gives a meaning to.
constexpr int kChildCodeUnknown = static_cast<int>(0x80000000u);

enum class ChildWindow { Default, Hidden };

// The sibling programs, named by bare file name and started from the
// starting program's own folder, whatever the current directory is.
constexpr const char kLinkProbeExe[] = "norvale-linkprobe.exe";
constexpr const char kSupProcessorExe[] = "norvale-sup-processor.exe";
constexpr const char kMailProxyExe[] = "norvale-mail.exe";

// Starts application (a bare file name, started by its full path in the
// program's own folder, never through the current directory or the search
// path) with commandLine (whose first word is the same bare file name),
// waits without time-out and returns the child's
// signed exit code, kChildNotStarted, or kChildCodeUnknown. An empty command
// line is refused (kChildNotStarted): the child would run without its
// arguments.
int runChildAndWait(const char* application, const std::string& commandLine, ChildWindow window);

// The same, telling "not started" apart from an exit code: false when the
// child could not be started, otherwise true with its exit code in exitCode
// (which may be any value, -3 included). runChildAndWait is built on it; the
// mail proxy supervision needs the distinction, since a proxy that really
// exits with -3 must be restarted, not taken for a missing program.
bool startChildAndWait(const char* application, const std::string& commandLine,
                       ChildWindow window, int& exitCode);

// Test programs, whose own folder holds other programs, start the sibling
// programs from folder instead; empty goes back to the program's folder.
void setSiblingFolderForTests(const std::string& folder);

// Opens the process, posts message to every top-level window of it, waits
// up to timeoutMs for it to end and terminates it (exit code 0) otherwise,
// all through the one handle opened first. Returns 0, or the system error
// of the first failing step (the open's error for a process already gone).
DWORD closeProcessWindows(DWORD processId, DWORD timeoutMs, UINT message, WPARAM wParam,
                          LPARAM lParam);

// The link checker in its default window, no log lines (the caller logs).
int runLinkProbe(const std::string& commandLine);

// "norvale-linkprobe.exe -bindcheck <host> <port>"; empty when longer than
// kCommandLineLimit (runLinkProbe then answers kChildNotStarted).
std::string bindCheckCommandLine(const std::string& host, int port);

// The set-up processor, hidden. Logs "The returned code of the SUP
// process: %d" (level 0), or "The binary '%s' was not found!" (level 1), or,
// for kChildCodeUnknown, that the code could not be read (level 1).
int runSupProcessor(const std::string& commandLine);

// "norvale-mail.exe -c \"<confPath>\""; empty when longer than
// kCommandLineLimit.
std::string mailProxyCommandLine(const std::string& confPath);

// The mail proxy, hidden; false when it could not be started. No log lines:
// the supervision logs the exit code and the failure itself.
bool runMailProxy(const std::string& commandLine, int& exitCode);

// The remover's start of application, hidden. Logs "The code returned by
// '%s' binary is '%d'" (level 0), or "The '%s' binary was not found"
// (level 1), or, for kChildCodeUnknown, that the code could not be read
// (level 1).
int runProcess(const char* application, const std::string& commandLine);
