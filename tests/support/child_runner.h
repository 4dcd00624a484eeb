// Starting built programs from tests: with a command line and a current
// directory, waiting with a bound, reading the full signed exit code.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace norvale::testbed {

// Bound for a child that should end by itself: a Wine process starts in well
// under a second with the persistent wineserver, so a child still running
// after this has hung and fails the test instead of blocking the run.
constexpr DWORD kChildTimeoutMs = 30000;

// Exit code given to a child that the tests had to kill.
constexpr UINT kKilledExitCode = 0xDEADu;

// The command line a child receives: the program's own file name (quoted when
// it holds a blank) as first word, then the arguments, as a shell would pass.
std::string childCommandLine(const std::string& programPath, const std::string& arguments);

// One started child. A child that still runs when its owner goes is killed,
// so a failing test never leaves programs behind.
class RunningChild {
public:
    RunningChild() = default;
    ~RunningChild();
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

    // Starts programPath with childCommandLine(programPath, arguments) in
    // currentDir (empty: the test's own current directory), with the
    // process creation flags given (CREATE_SUSPENDED: its first thread waits
    // for thread() to be resumed) and, when streams is an inheritable
    // handle, its standard output and error written there. False with
    // startError() set when the program could not be started.
    bool start(const std::string& programPath, const std::string& arguments,
               const std::string& currentDir = {}, DWORD creationFlags = 0,
               HANDLE streams = nullptr);

    bool started() const { return process_.valid(); }
    DWORD startError() const { return startError_; }
    DWORD processId() const { return process_.processId(); }
    HANDLE process() const { return process_.process(); }
    HANDLE thread() const { return process_.thread(); }
    const std::string& commandLine() const { return commandLine_; }

    // True when the child has ended within timeoutMs.
    bool waitFor(DWORD timeoutMs);
    bool hasExited() { return waitFor(0); }

    // Closes the handles and lets the child run on, held by nobody.
    void release() { process_.reset(); }

    // Kills the child and waits for its end. True when it is gone.
    bool terminate(UINT exitCode = kKilledExitCode);

    // The full signed 32-bit exit code; meaningful once the child has ended.
    int exitCode() const;

private:
    ProcessInfo process_;
    DWORD startError_ = 0;
    std::string commandLine_;
};

struct ChildResult {
    bool started = false;
    bool timedOut = false;   // killed after the bound
    DWORD startError = 0;    // when not started
    int exitCode = 0;        // when it ended by itself
    DWORD elapsedMs = 0;     // from start to end (or kill)
};

// Runs a program to its end. A program that cannot be started or runs past
// timeoutMs (it is killed then) adds a test failure naming its command line.
ChildResult runChild(const std::string& programPath, const std::string& arguments,
                     const std::string& currentDir = {}, DWORD timeoutMs = kChildTimeoutMs);

}  // namespace norvale::testbed
