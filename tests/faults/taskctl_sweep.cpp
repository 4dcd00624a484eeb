// The process control tool's "-f 31" with the product's processes running
// (the launcher, the mail proxy, the message-log window, the graphical
// client) and the restart of the launcher, with each call failing in turn.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "tests/faults/sweep.h"
#include "tests/faults/sweep_bed.h"
#include "tests/support/child_runner.h"

namespace faults {
namespace {

constexpr char kTool[] = "norvale-taskctl.exe";
constexpr char kLauncher[] = "norvale-launcher.exe";
constexpr char kLauncherFixture[] = "taskctl-launcher-fixture.exe";
const char* const kProduct[] = {"norvale-mail.exe", "norvale-msg.exe", "norvale-client.exe"};
// Time the restarted launcher gets to journal its start.
constexpr DWORD kRestartWaitMs = 10000;
constexpr DWORD kReadyWaitMs = 10000;
constexpr DWORD kPollMs = 20;

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(kPollMs);
    }
    return true;
}

// "[0x%08X]" of the last status line the tool printed, or empty.
std::string lastStatus(const std::string& output) {
    const std::size_t at = output.rfind("[0x");
    return at == std::string::npos ? std::string() : output.substr(at, 12);
}

// The restart's command line, the launcher's path and "-registry", with the
// path in its long form (the tool names it by its short form when its own
// path has no exact ANSI form).
std::string restartLine(const std::string& commandLine) {
    const std::size_t blank = commandLine.rfind(' ');
    if (blank == std::string::npos) return commandLine;
    const std::string path = withLongPaths("\"" + commandLine.substr(0, blank) + "\"");
    return path.substr(1, path.size() - 2) + commandLine.substr(blank);
}

// Whether the tool printed the status line of a failure.
bool printedFailure(const std::string& output) {
    for (std::size_t at = output.find("[0x"); at != std::string::npos;
         at = output.find("[0x", at + 1))
        if (output.compare(at, 12, "[0x00000000]") != 0) return true;
    return false;
}

std::string statusOf(int code) {
    char text[16];
    std::snprintf(text, sizeof text, "[0x%08X]", static_cast<unsigned>(code));
    return text;
}

class TaskctlScenario : public Scenario {
public:
    TaskctlScenario() { placed_ = programs_.place(kLauncherFixture, kLauncher); }

    std::string title() const override { return "Process control tool: -f 31"; }
    std::string programPath() const override { return programs_.file(kTool); }
    std::string arguments() const override { return "-f 31"; }
    // A mail proxy whose close message is lost is waited for 20 s.
    DWORD bound() const override { return 45000; }
    HANDLE streams() override { return output_.get(); }
    std::string output() const override {
        return norvale::testbed::readWholeFile(outputPath()).value_or("");
    }

    void prepare() override {
        ASSERT_TRUE(programs_.valid() && placed_);
        ASSERT_TRUE(captures_.valid());
        output_.reset();
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        output_.reset(CreateFileA(outputPath().c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(output_.valid());
        running_.clear();
        programs_.clearJournal(kLauncher);
        for (const char* program : kProduct) programs_.clearJournal(program);
        // All four start at once; each has journalled "ready" before the tool runs.
        ASSERT_TRUE(startProduct(kLauncher));
        for (const char* program : kProduct) ASSERT_TRUE(startProduct(program));
        ASSERT_TRUE(waitUntil(
            [this] {
                if (programs_.journal(kLauncher, "ready").empty()) return false;
                for (const char* program : kProduct)
                    if (programs_.journal(program, "ready").empty()) return false;
                return true;
            },
            kReadyWaitMs))
            << "the product's processes are not ready";
    }

    // The tool does not wait for the launcher it starts: a launcher it
    // started runs by the time it has ended and is given the time to
    // journal its start.
    void afterEnd() override {
        if (!programs_.runs(kLauncher)) return;
        waitUntil([this] { return programs_.journal(kLauncher, "start").size() >= 2; },
                  kRestartWaitMs);
    }

    void cleanUp() override {
        for (auto& process : running_) process->terminate();
        programs_.endStandins({kLauncher});
        output_.reset();
    }

    Verdict judge(const RunEnd& end) override {
        const std::string printed = output();
        const int code = end.exitCode;
        if (code != 0) {
            if (lastStatus(printed) == statusOf(code))
                return {Outcome::Prescribed, "status " + statusOf(code) + " printed and returned"};
            return {Outcome::SoundError, "exit code " + statusOf(code)};
        }
        const std::string missed = missedGoal();
        if (missed.empty()) return {Outcome::Unaffected, {}};
        if (printedFailure(printed))
            return {Outcome::Prescribed,
                    missed + "; its status was printed, and a later step's success cleared it"};
        return {Outcome::FalseSuccess, missed + ", exit code 0, no error printed"};
    }

private:
    std::string outputPath() const { return captures_.file("output.txt"); }

    bool startProduct(const char* program) {
        running_.push_back(std::make_unique<norvale::testbed::RunningChild>());
        return running_.back()->start(programs_.file(program), "");
    }

    // What "-f 31" should have done and did not, or empty.
    std::string missedGoal() const {
        for (const auto& process : running_)
            if (!process->waitFor(0)) return "a product process still runs: " + process->commandLine();
        const auto starts = programs_.journal(kLauncher, "start");
        if (starts.size() < 2) return "the launcher was not started again";
        if (restartLine(starts[1].commandLine) != programs_.file(kLauncher) + " -registry")
            return "the launcher was started with " + starts[1].commandLine;
        return {};
    }

    ProgramFolder programs_{{kTool, kProduct[0], kProduct[1], kProduct[2]}};
    bool placed_ = false;
    norvale::testbed::TempFolder captures_{"taskctl faults"};
    norvale::FileHandle output_;
    std::vector<std::unique_ptr<norvale::testbed::RunningChild>> running_;
};

// In make test, the calls of the tool's own work (finding, closing, ending
// and starting processes, their owners, its output) and the allocations;
// the others are the C runtime's start-up, which the other programs' sweeps
// cover, and the posting of the close messages, whose failure costs the
// mail proxy's whole 20-second time-out.
TEST(FaultSweep, ProcessControlStopsAndRestartsTheProduct) {
    TaskctlScenario scenario;
    expectNoFaults(sweep(scenario,
                         sweepImports({call_CreateProcessA, call_OpenProcess, call_TerminateProcess,
                                       call_WaitForSingleObject, call_CloseHandle, call_FindWindowA,
                                       call_GetWindowThreadProcessId,
                                       call_OpenProcessToken, call_GetTokenInformation,
                                       call_LookupAccountSidA, call_CreateToolhelp32Snapshot,
                                       call_Process32First, call_Process32Next, call_GetModuleFileNameA,
                                       call_GetFileAttributesA, call_FormatMessageA, call_LocalFree,
                                       call_GetVersionExA, call_LoadLibraryA, call_GetProcAddress,
                                       call_fwrite, call_fflush, call_malloc, call_calloc},
                                      {})));
}

}  // namespace
}  // namespace faults
