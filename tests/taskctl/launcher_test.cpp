// Bit 0 (terminate the launcher, by name and owner), bit 4 (start it again
// from the tool's folder) and the process lookups behind them. The launcher
// is played by a fixture program copied under the launcher's file name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/handles.h"
#include "taskctl/process_enum.h"
#include "taskctl/process_owner.h"
#include "taskctl/terminate.h"
#include "tests/taskctl/program_copy.h"
#include "tests/taskctl/taskctl_folder.h"

namespace taskctl_test {
namespace {

constexpr const char kFixture[] = "taskctl-launcher-fixture.exe";
constexpr const char kLauncher[] = "norvale-launcher.exe";
constexpr DWORD kNotFound = 2;
constexpr DWORD kLauncherFileMissing = 5;
// A DLL of the build that journals its loading beside itself.
constexpr const char kJournallingDll[] = "comenrol_plain_dll.dll";

std::string ownAccount() {
    std::string owner;
    EXPECT_EQ(taskctl::processOwner(GetCurrentProcessId(), owner), 0u);
    return owner;
}

bool processRuns(DWORD processId) {
    norvale::KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

class LauncherTest : public ToolFolderTest {
protected:
    norvale::testbed::TempFolder elsewhere_{"taskctl launcher"};
};

// A VDMDBG.DLL planted beside the tool (a DLL of ours that journals its
// loading) is never loaded: the process walk takes the system's copy.
TEST_F(LauncherTest, RunningLauncherOfOwnAccountIsTerminated) {
    ASSERT_TRUE(CopyFileA(norvale::testbed::binPath(kJournallingDll).c_str(),
                          folder_.file("VDMDBG.DLL").c_str(), FALSE));
    ProgramCopy launcher(elsewhere_.path(), kFixture, kLauncher, {});
    ASSERT_TRUE(launcher.startAndWaitReady());

    ToolRun result = run("-f 1");
    EXPECT_EQ(result.exitCode, 0u) << result.standardError;
    EXPECT_EQ(result.standardError, "Starting norvale-taskctl.exe with parameter -f 1...\n"
                                    "User context '" + ownAccount() + "'\n" + statusLine(0));
    // Terminated with exit code 0, and already gone when the tool returns.
    EXPECT_TRUE(launcher.process().waitFor(0));
    EXPECT_EQ(launcher.process().exitCode(), 0);
    EXPECT_TRUE(launcher.events("exit").empty());

    ToolRun again = run("-f 1");
    EXPECT_EQ(again.exitCode, kNotFound) << "only one launcher ran";
    EXPECT_FALSE(norvale::testbed::pathExists(folder_.file("VDMDBG.journal")))
        << "the planted VDMDBG.DLL was loaded";
}

TEST_F(LauncherTest, AnyOwnerWithBitFive) {
    ProgramCopy launcher(elsewhere_.path(), kFixture, kLauncher, {});
    ASSERT_TRUE(launcher.startAndWaitReady());

    ToolRun result = run("-f 33");
    EXPECT_EQ(result.exitCode, 0u) << result.standardError;
    EXPECT_EQ(result.standardError,
              "Starting norvale-taskctl.exe with parameter -f 33...\n" + statusLine(0));
    EXPECT_TRUE(launcher.process().waitFor(0));
    EXPECT_EQ(launcher.process().exitCode(), 0);
}

TEST_F(LauncherTest, OwnerFilterSparesLaunchersOfOtherAccounts) {
    ProgramCopy launcher(elsewhere_.path(), kFixture, kLauncher, {});
    ASSERT_TRUE(launcher.startAndWaitReady());

    EXPECT_EQ(taskctl::terminateProcessByName(kLauncher, "NOBODY\\nobody"), kNotFound);
    EXPECT_FALSE(launcher.process().hasExited());

    // The owner is compared without regard to case.
    std::string account = ownAccount();
    for (char& c : account) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(taskctl::terminateProcessByName(kLauncher, account.c_str()), 0u);
    EXPECT_TRUE(launcher.process().waitFor(0));
}

TEST_F(LauncherTest, NameIsComparedOnItsFirstFifteenCharactersIgnoringCase) {
    norvale::testbed::TempFolder other("taskctl names");
    ProgramCopy longer(elsewhere_.path(), kFixture, "NORVALE-LAUNCHEZ.EXE", {});
    ProgramCopy shorter(other.path(), kFixture, "norvale-launch.exe", {});
    ASSERT_TRUE(shorter.startAndWaitReady());
    ASSERT_TRUE(longer.startAndWaitReady());

    ToolRun result = run("-f 33");
    EXPECT_EQ(result.exitCode, 0u) << result.standardError;
    EXPECT_TRUE(longer.process().waitFor(0));
    EXPECT_FALSE(shorter.process().hasExited());

    ToolRun next = run("-f 33");
    EXPECT_EQ(next.exitCode, kNotFound) << "norvale-launch.exe differs within 15 characters";
}

TEST_F(LauncherTest, MaskSeventeenTerminatesAndRestartsFromTheToolsFolder) {
    ProgramCopy launcher(folder_.path(), kFixture, kLauncher, {});
    ASSERT_TRUE(launcher.startAndWaitReady());

    ToolRun result = run("-f 17");
    EXPECT_EQ(result.exitCode, 0u) << result.standardError;
    EXPECT_TRUE(launcher.process().waitFor(0));
    ASSERT_TRUE(waitUntil([&] { return launcher.events("ready").size() == 2; }, kReadyTimeoutMs));

    std::vector<standin::JournalEntry> starts = launcher.events("start");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1].commandLine, launcher.path() + " -registry");
    EXPECT_NE(starts[1].processId, launcher.process().processId());
    DWORD restarted = starts[1].processId;
    EXPECT_TRUE(processRuns(restarted)) << "the tool does not wait for the launcher";

    ToolRun stop = run("-f 33");
    EXPECT_EQ(stop.exitCode, 0u) << stop.standardError;
    EXPECT_FALSE(processRuns(restarted));
}

TEST_F(LauncherTest, RestartWithoutLauncherFileFailsWithAccessDeniedTwice) {
    ToolRun result = run("-f 16");
    EXPECT_EQ(result.exitCode, kLauncherFileMissing);
    EXPECT_EQ(result.standardError, "Starting norvale-taskctl.exe with parameter -f 16...\n" +
                                        statusLine(kLauncherFileMissing) +
                                        statusLine(kLauncherFileMissing));
}

// The tool started by its real (wide) path from a folder whose name the code
// page cannot hold: its ANSI module path names a look-alike folder, yet the
// launcher beside the tool is the one started.
TEST_F(LauncherTest, RestartFromAFolderTheCodePageCannotNameStartsTheLauncherBesideTheTool) {
    const std::wstring folderWide =
        norvale::testbed::wide(elsewhere_.path()) + L"\\tools \x0141ukasz";
    ASSERT_TRUE(CreateDirectoryW(folderWide.c_str(), nullptr));
    const std::string folder = norvale::testbed::shortPathOf(folderWide);
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(norvale::testbed::copyPrograms(folder, {kToolFileName}));
    ProgramCopy launcher(folder, kFixture, kLauncher, {});
    ASSERT_TRUE(launcher.copied());

    const std::wstring toolWide = folderWide + L"\\" + norvale::testbed::wide(kToolFileName);
    std::wstring line = L"\"" + toolWide + L"\" -f 16";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessW(toolWide.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &started));
    norvale::ProcessInfo tool;
    tool.adopt(started);
    ASSERT_EQ(WaitForSingleObject(tool.process(), kToolTimeoutMs), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ASSERT_TRUE(GetExitCodeProcess(tool.process(), &exitCode));
    EXPECT_EQ(exitCode, 0u);
    ASSERT_TRUE(waitUntil([&] { return !launcher.events("ready").empty(); }, kReadyTimeoutMs));
    std::vector<standin::JournalEntry> starts = launcher.events("start");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].commandLine, launcher.path() + " -registry");
    norvale::KernelHandle restarted(OpenProcess(PROCESS_TERMINATE, FALSE, starts[0].processId));
    if (restarted) TerminateProcess(restarted.get(), 0);
}

TEST_F(LauncherTest, LauncherPathBeyondMaxPathIsRefusedNotCut) {
    // The tool's own path takes 259 characters, so the launcher's path
    // beside it (one character longer) cannot be formed in MAX_PATH.
    const size_t folderLength = MAX_PATH - 1 - 1 - std::strlen(kToolFileName);
    std::string folder = elsewhere_.path() + "\\";
    ASSERT_LT(folder.size(), folderLength);
    folder += std::string(folderLength - folder.size(), 'd');
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(norvale::testbed::copyPrograms(folder, {kToolFileName}));
    // A launcher under the cut name must not be started instead.
    ProgramCopy cut(folder, kFixture, "norvale-launcher.ex", {});

    ToolRun result = runTool(norvale::testbed::joinPath(folder, kToolFileName), "-f 16");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE))
        << result.standardError;
    EXPECT_TRUE(cut.events("start").empty());
}

TEST(ProcessLookup, OwnerOfOwnProcessIsDomainBackslashAccount) {
    std::string owner = ownAccount();
    size_t slash = owner.find('\\');
    ASSERT_NE(slash, std::string::npos) << owner;
    EXPECT_GT(slash, 0u) << owner;
    EXPECT_LT(slash + 1, owner.size()) << owner;

    std::string none = "untouched";
    EXPECT_NE(taskctl::processOwner(0xFFFFFFF0u, none), 0u);
}

TEST(ProcessLookup, EnumerationReportsOwnProcessWithOwnerAndStopsWhenAsked) {
    char ownPath[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, ownPath, MAX_PATH), 0u);
    const char* ownName = std::strrchr(ownPath, '\\') + 1;

    bool seen = false;
    std::string ownerSeen;
    ASSERT_TRUE(taskctl::enumProcesses([&](const taskctl::ProcessRecord& record) {
        if (record.processId != GetCurrentProcessId()) return true;
        seen = true;
        EXPECT_EQ(record.task16, 0);
        EXPECT_STRCASEEQ(record.name, ownName);
        if (record.owner != nullptr) ownerSeen = record.owner;
        return true;
    }));
    EXPECT_TRUE(seen);
    EXPECT_EQ(ownerSeen, ownAccount());

    int calls = 0;
    EXPECT_TRUE(taskctl::enumProcesses([&](const taskctl::ProcessRecord&) {
        ++calls;
        return false;
    }));
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace taskctl_test
