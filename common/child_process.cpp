#include "common/child_process.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "common/handles.h"
#include "common/log_file.h"

using norvale::KernelHandle;
using norvale::ProcessInfo;

namespace {

// Starts the child and hands its handles to info. CreateProcessA gets the
// application name explicitly, so a bare name is completed with the
// current directory and the search path is never used.
bool startChild(const char* application, const std::string& commandLine, ChildWindow window,
                ProcessInfo& info) {
    if (application == nullptr || commandLine.empty()) return false;

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
    if (!CreateProcessA(application, writableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &created)) {
        return false;
    }
    info.adopt(created);
    return true;
}

// Waits without time-out and reads the exit code as a signed value.
int waitForExitCode(const ProcessInfo& info) {
    WaitForSingleObject(info.process(), INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(info.process(), &code)) {
        // The child did run; the code is unknown, which callers treat like
        // any value they do not know.
        code = static_cast<DWORD>(-1);
    }
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

// Ends the process with exit code 0; 0 or the error of the failing call.
DWORD terminateWithCodeZero(DWORD processId) {
    KernelHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
    if (!process) return GetLastError();
    if (!TerminateProcess(process.get(), 0)) return GetLastError();
    return 0;
}

}  // namespace

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
    PostTarget target = {processId, message, wParam, lParam};
    EnumWindows(postToWindowOfProcess, reinterpret_cast<LPARAM>(&target));

    KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (!process) return GetLastError();
    if (WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0) return 0;
    return terminateWithCodeZero(processId);
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
    g_log.logf(LOG_INFO, "The code returned by '%s' binary is '%d'", application, exitCode);
    return exitCode;
}
