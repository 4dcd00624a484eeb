#include "tests/support/child_runner.h"

#include <gtest/gtest.h>

#include <vector>

namespace norvale::testbed {

namespace {

constexpr int kStartAttempts = 3;
constexpr DWORD kStartRetryMs = 100;

std::string fileNameOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string childCommandLine(const std::string& programPath, const std::string& arguments) {
    std::string name = fileNameOf(programPath);
    std::string line = name.find(' ') == std::string::npos ? name : "\"" + name + "\"";
    if (!arguments.empty()) line += " " + arguments;
    return line;
}

RunningChild::~RunningChild() {
    if (started() && !hasExited()) terminate();
}

bool RunningChild::start(const std::string& programPath, const std::string& arguments,
                         const std::string& currentDir, DWORD creationFlags,
                         HANDLE streams) {
    process_.reset();
    startError_ = 0;
    commandLine_ = childCommandLine(programPath, arguments);
    // CreateProcessA may write into the command line, so it gets a copy.
    std::vector<char> writable(commandLine_.begin(), commandLine_.end());
    writable.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (streams != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = streams;
        startup.hStdError = streams;
    }
    PROCESS_INFORMATION info = {};
    // Wine now and then fails a start with its internal error (1359) when
    // the machine is busy; a start that fails so is made again.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessA(programPath.c_str(), writable.data(), nullptr, nullptr,
                           streams != nullptr, creationFlags, nullptr,
                           currentDir.empty() ? nullptr : currentDir.c_str(), &startup, &info))
            break;
        startError_ = GetLastError();
        if (startError_ != ERROR_INTERNAL_ERROR || attempt == kStartAttempts) return false;
        Sleep(kStartRetryMs);
    }
    startError_ = 0;
    process_.adopt(info);
    return true;
}

bool RunningChild::waitFor(DWORD timeoutMs) {
    return started() && WaitForSingleObject(process_.process(), timeoutMs) == WAIT_OBJECT_0;
}

bool RunningChild::terminate(UINT exitCode) {
    if (!started()) return false;
    if (hasExited()) return true;
    TerminateProcess(process_.process(), exitCode);
    return waitFor(kChildTimeoutMs);
}

int RunningChild::exitCode() const {
    DWORD code = 0;
    if (!started() || !GetExitCodeProcess(process_.process(), &code)) return 0;
    return static_cast<int>(code);
}

ChildResult runChild(const std::string& programPath, const std::string& arguments,
                     const std::string& currentDir, DWORD timeoutMs) {
    ChildResult result;
    RunningChild child;
    DWORD startTick = GetTickCount();
    if (!child.start(programPath, arguments, currentDir)) {
        result.startError = child.startError();
        ADD_FAILURE() << "cannot start " << programPath << " (" << child.commandLine()
                      << "): error " << result.startError;
        return result;
    }
    result.started = true;
    if (child.waitFor(timeoutMs)) {
        result.exitCode = child.exitCode();
    } else {
        result.timedOut = true;
        child.terminate();
        ADD_FAILURE() << "killed after " << timeoutMs << " ms: " << programPath << " ("
                      << child.commandLine() << ")";
    }
    result.elapsedMs = GetTickCount() - startTick;
    return result;
}

}  // namespace norvale::testbed
