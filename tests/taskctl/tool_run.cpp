#include "tests/taskctl/tool_run.h"

#include "common/handles.h"
#include "tests/support/child_runner.h"
#include "tests/support/test_files.h"

#include <cstdio>
#include <cstdlib>

namespace taskctl_test {

namespace {

// An inheritable file the child writes one of its streams into.
norvale::FileHandle createCaptureFile(const std::string& path) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return norvale::FileHandle(CreateFileA(path.c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Starts the tool with the given (inheritable) standard streams and waits
// for it; the streams are the caller's to read.
ToolRun runWithStreams(const std::string& toolPath, const std::string& arguments, HANDLE error,
                       HANDLE output, DWORD timeoutMs) {
    ToolRun run;
    std::string line = norvale::testbed::childCommandLine(toolPath, arguments);
    std::vector<char> writable(line.begin(), line.end());
    writable.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION started = {};
    DWORD startTick = GetTickCount();
    if (!CreateProcessA(toolPath.c_str(), writable.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &started))
        return run;
    norvale::ProcessInfo tool;
    tool.adopt(started);
    if (WaitForSingleObject(tool.process(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(tool.process(), norvale::testbed::kKilledExitCode);
        WaitForSingleObject(tool.process(), timeoutMs);
    } else {
        run.finished = GetExitCodeProcess(tool.process(), &run.exitCode) != FALSE;
    }
    run.elapsedMs = GetTickCount() - startTick;
    return run;
}

}  // namespace

ToolRun runTool(const std::string& toolPath, const std::string& arguments, DWORD timeoutMs) {
    ToolRun run;
    norvale::testbed::TempFolder captures("taskctl streams");
    if (!captures.valid()) return run;
    std::string errorPath = captures.file("stderr.txt");
    std::string outputPath = captures.file("stdout.txt");
    {
        norvale::FileHandle errorFile = createCaptureFile(errorPath);
        norvale::FileHandle outputFile = createCaptureFile(outputPath);
        if (!errorFile || !outputFile) return run;
        run = runWithStreams(toolPath, arguments, errorFile.get(), outputFile.get(), timeoutMs);
    }
    run.standardError = norvale::testbed::readWholeFile(errorPath).value_or("");
    run.standardOutput = norvale::testbed::readWholeFile(outputPath).value_or("");
    return run;
}

ToolRun runToolOnConsole(const std::string& toolPath, const std::string& arguments,
                         HANDLE screen, DWORD timeoutMs) {
    return runWithStreams(toolPath, arguments, screen, screen, timeoutMs);
}

std::vector<DWORD> statusCodes(const std::string& output) {
    std::vector<DWORD> codes;
    const std::string prefix = "[0x";
    for (size_t at = output.find(prefix); at != std::string::npos;
         at = output.find(prefix, at + 1)) {
        bool lineStart = at == 0 || output[at - 1] == '\n';
        if (!lineStart || output.compare(at + 11, 3, "]: ") != 0) continue;
        codes.push_back(std::strtoul(output.substr(at + 3, 8).c_str(), nullptr, 16));
    }
    return codes;
}

std::string statusLine(DWORD code) {
    char prefix[32];
    std::snprintf(prefix, sizeof(prefix), "[0x%08lX]: ", static_cast<unsigned long>(code));
    norvale::LocalMemory owner;
    char* text = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0x400, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    owner.reset(text);
    return std::string(prefix) + (length != 0 && text != nullptr ? text : "Error\n");
}

}  // namespace taskctl_test
