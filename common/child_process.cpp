#include "common/child_process.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "common/handles.h"
#include "common/log_file.h"
#include "common/paths.h"

using norvale::KernelHandle;
using norvale::ProcessInfo;

namespace {

// Pause before a refused wait for a child is made again.
constexpr DWORD kWaitRetryMs = 100;

// Empty: the program's own folder. Not a function's static: the C++
// runtime guards those with a once-lock whose first use allocates without
// checking the result, and the program would crash there when memory is short.
std::string g_siblingFolder;

std::string& chosenSiblingFolder() { return g_siblingFolder; }

// The full path of a sibling program in the starting program's folder, or
// empty when it does not fit a path buffer. The current directory plays no
// part: it may have failed to change, or have been changed since.
std::string siblingPath(const char* application) {
    std::string folder = chosenSiblingFolder().empty() ? exeFolder() : chosenSiblingFolder();
    if (folder.empty()) return std::string();
    std::string path = folder + "\\" + application;
    return path.size() < kMaxPath ? path : std::string();
}

// Starts the child and hands its handles to info. CreateProcessA gets the
// application name explicitly as a full path in the program's own folder,
// so neither the current directory nor the search path can select another
// file; the command line keeps the bare name as its first word.
bool startChild(const char* application, const std::string& commandLine, ChildWindow window,
                ProcessInfo& info) {
    if (application == nullptr || commandLine.empty()) return false;
    std::string applicationPath = siblingPath(application);
    if (applicationPath.empty()) return false;

    // CreateProcessA may write into the command line; give it a copy.
    std::vector<char> writableLine(commandLine.begin(), commandLine.end());
    writableLine.push_back('\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (window == ChildWindow::Hidden) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    PROCESS_INFORMATION created = {};
    if (!CreateProcessA(applicationPath.c_str(), writableLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &created)) {
        return false;
    }
    info.adopt(created);
    return true;
}

// Waits without time-out for the child's end. A wait the system refuses
// says nothing about the child: unless its exit code shows that it has
// ended, the wait is made again after a pause, for as long as it takes.
void waitForEnd(HANDLE process) {
    while (WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0) {
        DWORD code = 0;
        if (GetExitCodeProcess(process, &code) && code != STILL_ACTIVE) return;
        Sleep(kWaitRetryMs);
    }
}

// Waits without time-out and reads the exit code as a signed value;
// kChildCodeUnknown when the system does not give it.
int waitForExitCode(const ProcessInfo& info) {
    waitForEnd(info.process());
    DWORD code = 0;
    if (!GetExitCodeProcess(info.process(), &code)) return kChildCodeUnknown;
    return static_cast<int>(code);
}

struct PostTarget {
    DWORD processId;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

BOOL CALLBACK postToWindowOfProcess(HWND window, LPARAM context) {
    const auto* target = reinterpret_cast<const PostTarget*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == target->processId) {
        PostMessageA(window, target->message, target->wParam, target->lParam);
    }
    return TRUE;  // every top-level window is visited
}

// The target is opened before anything is posted and only this handle is
// used from then on: a process that ends on the message frees its id, which
// the system may give to an unrelated process before a second open. When
// the termination right is refused, the handle can still wait; ending the
// process then fails as it always did, with access denied.
constexpr DWORD kCloseAccess = SYNCHRONIZE | PROCESS_TERMINATE;

HANDLE openForClose(DWORD processId) {
    HANDLE process = OpenProcess(kCloseAccess, FALSE, processId);
    if (process == nullptr && GetLastError() == ERROR_ACCESS_DENIED)
        process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    return process;
}

}  // namespace

void setSiblingFolderForTests(const std::string& folder) { chosenSiblingFolder() = folder; }

bool startChildAndWait(const char* application, const std::string& commandLine,
                       ChildWindow window, int& exitCode) {
    ProcessInfo info;
    if (!startChild(application, commandLine, window, info)) return false;
    exitCode = waitForExitCode(info);
    return true;
}

int runChildAndWait(const char* application, const std::string& commandLine, ChildWindow window) {
    int exitCode = 0;
    if (!startChildAndWait(application, commandLine, window, exitCode)) return kChildNotStarted;
    return exitCode;
}

DWORD closeProcessWindows(DWORD processId, DWORD timeoutMs, UINT message, WPARAM wParam,
                          LPARAM lParam) {
    KernelHandle process(openForClose(processId));
    if (!process) return GetLastError();

    PostTarget target = {processId, message, wParam, lParam};
    EnumWindows(postToWindowOfProcess, reinterpret_cast<LPARAM>(&target));

    if (WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0) return 0;
    if (!TerminateProcess(process.get(), 0)) return GetLastError();
    return 0;
}

int runLinkProbe(const std::string& commandLine) {
    return runChildAndWait(kLinkProbeExe, commandLine, ChildWindow::Default);
}

std::string bindCheckCommandLine(const std::string& host, int port) {
    std::string line;
    formatCommandLine(line, "%s %s %s %d", kLinkProbeExe, "-bindcheck", host.c_str(), port);
    return line;
}

int runSupProcessor(const std::string& commandLine) {
    int exitCode = 0;
    if (!startChildAndWait(kSupProcessorExe, commandLine, ChildWindow::Hidden, exitCode)) {
        g_log.logf(LOG_WARNING, "The binary '%s' was not found!", kSupProcessorExe);
        return kChildNotStarted;
    }
    if (exitCode == kChildCodeUnknown)
        g_log.log(LOG_WARNING, "The returned code of the SUP process could not be read!");
    else
        g_log.logf(LOG_INFO, "The returned code of the SUP process: %d", exitCode);
    return exitCode;
}

std::string mailProxyCommandLine(const std::string& confPath) {
    std::string line;
    formatCommandLine(line, "%s %s %s%s%s", kMailProxyExe, "-c", "\"", confPath.c_str(), "\"");
    return line;
}

bool runMailProxy(const std::string& commandLine, int& exitCode) {
    return startChildAndWait(kMailProxyExe, commandLine, ChildWindow::Hidden, exitCode);
}

int runProcess(const char* application, const std::string& commandLine) {
    int exitCode = 0;
    if (!startChildAndWait(application, commandLine, ChildWindow::Hidden, exitCode)) {
        g_log.logf(LOG_WARNING, "The '%s' binary was not found", application ? application : "");
        return kChildNotStarted;
    }
    if (exitCode == kChildCodeUnknown)
        g_log.logf(LOG_WARNING, "The code returned by '%s' binary could not be read", application);
    else
        g_log.logf(LOG_INFO, "The code returned by '%s' binary is '%d'", application, exitCode);
    return exitCode;
}
