// Runs the process control tool to its end with its standard error (and
// standard output) captured in files, since the common child runner leaves
// the streams alone.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace taskctl_test {

struct ToolRun {
    bool finished = false;  // false: not started, or killed after the bound
    DWORD exitCode = 0;     // the full 32-bit status
    std::string standardError;
    std::string standardOutput;
    DWORD elapsedMs = 0;
};

// The tool must end well within this even when it waits for a mail proxy
// that ignores its close message (20 s).
constexpr DWORD kToolTimeoutMs = 45000;

// Starts toolPath with "<file name> <arguments>" and waits for it.
ToolRun runTool(const std::string& toolPath, const std::string& arguments,
                DWORD timeoutMs = kToolTimeoutMs);

// Starts toolPath the same way with both its standard streams on screen, a
// console screen buffer of this process's console that the tool inherits;
// the streams are left empty in the result.
ToolRun runToolOnConsole(const std::string& toolPath, const std::string& arguments,
                         HANDLE screen, DWORD timeoutMs = kToolTimeoutMs);

// The codes of the "[0x%08X]: " status lines in output, in order.
std::vector<DWORD> statusCodes(const std::string& output);

// "[0x%08X]: " and the system's text for code, as the tool should print it.
std::string statusLine(DWORD code);

// Polls condition every 20 ms until it holds or timeoutMs passed.
template <typename Condition>
bool waitUntil(Condition condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

}  // namespace taskctl_test
