// Starting children and ending processes, with the stand-ins of the
// product's programs as the children: each journals what happened to it
// in <program>.journal beside itself.
#include "common/child_process.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "common/log_file.h"
#include "tests/support/child_runner.h"
#include "tests/support/test_files.h"

using namespace norvale::testbed;

namespace {

constexpr DWORD kReadyTimeoutMs = 10000;

// Runs the test with the current directory (and, when asked, PATH) changed,
// and puts both back afterwards. The working folder stands for the
// program's own folder, from which the sibling programs are started.
class ChildProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        char current[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, current);
        savedDir_ = current;
        char path[32767] = {};
        savedPathSet_ = GetEnvironmentVariableA("PATH", path, sizeof(path)) != 0;
        savedPath_ = path;
        ASSERT_TRUE(folder_.valid());
        ASSERT_TRUE(SetCurrentDirectoryA(folder_.path().c_str()));
        setSiblingFolderForTests(folder_.path());
        g_log.open(logFolder_.file("child.log").c_str());
    }
    void TearDown() override {
        setSiblingFolderForTests(std::string());
        SetCurrentDirectoryA(savedDir_.c_str());
        SetEnvironmentVariableA("PATH", savedPathSet_ ? savedPath_.c_str() : nullptr);
    }

    // Copies the stand-in into the working folder under the name the code
    // under test starts, with its control file.
    void placeStandin(const std::string& standin, const std::string& asName,
                      const std::string& control) {
        ASSERT_TRUE(CopyFileA(binPath(standin).c_str(), folder_.file(asName).c_str(), FALSE))
            << binPath(standin);
        ASSERT_TRUE(writeWholeFile(folder_.file(stem(asName) + ".control"), control));
    }

    std::string journal(const std::string& program) const {
        return readWholeFile(folder_.file(stem(program) + ".journal")).value_or("");
    }
    std::string logText() const { return readWholeFile(logFolder_.file("child.log")).value_or(""); }

    // Journal lines whose event (third field) is event or begins with it.
    std::vector<std::string> events(const std::string& program, const std::string& event) const {
        std::vector<std::string> found;
        std::string text = journal(program);
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find("\r\n", start);
            if (end == std::string::npos) break;
            std::string line = text.substr(start, end - start);
            std::size_t first = line.find('\t');
            std::size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
            if (second != std::string::npos && line.compare(second + 1, event.size(), event) == 0) {
                found.push_back(line.substr(second + 1));
            }
            start = end + 2;
        }
        return found;
    }

    bool waitForEvent(const std::string& program, const std::string& event) const {
        for (DWORD waited = 0; waited < kReadyTimeoutMs; waited += 20) {
            if (!events(program, event).empty()) return true;
            Sleep(20);
        }
        return false;
    }

    static std::string stem(const std::string& name) { return name.substr(0, name.rfind('.')); }

    TempFolder folder_{"child proc"};
    TempFolder logFolder_{"child log"};
    std::string savedDir_;
    std::string savedPath_;
    bool savedPathSet_ = false;
};

TEST_F(ChildProcessTest, SignedExitCodesComeBackUnchanged) {
    const int codes[] = {0, 1, -1, -2, -10, 2, 0x7FFFFFFF, static_cast<int>(0xC0000005u)};
    for (int code : codes) {
        SCOPED_TRACE(code);
        placeStandin("norvale-sup-processor.exe", "norvale-linkprobe.exe",
                     "exit_codes=" + std::to_string(code) + "\n");
        EXPECT_EQ(code, runLinkProbe("norvale-linkprobe.exe -lspinstaller"));
        int exitCode = 12345;
        EXPECT_TRUE(startChildAndWait(kLinkProbeExe, "norvale-linkprobe.exe", ChildWindow::Default,
                                      exitCode));
        EXPECT_EQ(code, exitCode);
    }
}

TEST_F(ChildProcessTest, ARealMinusThreeIsStartedButReadsAsNotStarted) {
    placeStandin("norvale-sup-processor.exe", "norvale-mail.exe", "exit_codes=-3\n");
    int exitCode = 0;
    EXPECT_TRUE(runMailProxy(mailProxyCommandLine("C:\\x\\norvale.conf"), exitCode));
    EXPECT_EQ(-3, exitCode);
    EXPECT_EQ(kChildNotStarted, runChildAndWait(kMailProxyExe, "norvale-mail.exe",
                                                ChildWindow::Hidden));
    EXPECT_EQ(2u, events("norvale-mail.exe", "start\t").size());
}

TEST_F(ChildProcessTest, MissingChildIsNotStartedEvenWhenOnTheSearchPath) {
    // A folder on PATH holds every child under its own name; so does the test
    // program's own folder for the stand-ins. Neither may be used.
    TempFolder onPath("on path");
    ASSERT_TRUE(onPath.valid());
    for (const char* name : {kLinkProbeExe, kSupProcessorExe, kMailProxyExe, "remover-child.exe"}) {
        ASSERT_TRUE(CopyFileA(binPath("norvale-sup-processor.exe").c_str(),
                              onPath.file(name).c_str(), FALSE));
    }
    ASSERT_TRUE(SetEnvironmentVariableA("PATH", (onPath.path() + ";" + savedPath_).c_str()));

    EXPECT_EQ(kChildNotStarted, runLinkProbe(bindCheckCommandLine("127.0.0.1", 3887)));
    EXPECT_EQ(kChildNotStarted, runSupProcessor("norvale-sup-processor.exe --user-folder \"x\""));
    EXPECT_EQ(kChildNotStarted, runProcess("remover-child.exe", "remover-child.exe --user-delete"));
    int exitCode = 77;
    EXPECT_FALSE(runMailProxy(mailProxyCommandLine("C:\\x\\norvale.conf"), exitCode));
    EXPECT_EQ(77, exitCode);
    for (const char* journalName : {"norvale-linkprobe.journal", "norvale-sup-processor.journal",
                                    "norvale-mail.journal", "remover-child.journal"}) {
        EXPECT_FALSE(pathExists(onPath.file(journalName))) << journalName;
    }

    std::string log = logText();
    EXPECT_NE(std::string::npos,
              log.find("[?] The binary 'norvale-sup-processor.exe' was not found!\r\n"));
    EXPECT_NE(std::string::npos, log.find("[?] The 'remover-child.exe' binary was not found\r\n"));
}

TEST_F(ChildProcessTest, VariantsPassTheCommandLineAndWindowAndLogTheCode) {
    placeStandin("norvale-sup-processor.exe", "norvale-linkprobe.exe", "exit_codes=1\n");
    placeStandin("norvale-sup-processor.exe", "norvale-sup-processor.exe", "exit_codes=-1\n");
    placeStandin("norvale-sup-processor.exe", "norvale-mail.exe", "exit_codes=4\n");
    placeStandin("norvale-sup-processor.exe", "helper.exe", "exit_codes=-10\n");

    EXPECT_EQ(1, runLinkProbe(bindCheckCommandLine("127.0.0.1", 3887)));
    EXPECT_EQ(-1, runSupProcessor("norvale-sup-processor.exe --user-folder \"C:\\u\" "));
    int exitCode = 0;
    EXPECT_TRUE(runMailProxy(mailProxyCommandLine("C:\\a b\\norvale.conf"), exitCode));
    EXPECT_EQ(4, exitCode);
    EXPECT_EQ(-10, runProcess("helper.exe", "helper.exe --user-delete"));

    struct Expected {
        const char* program;
        const char* commandLine;
        const char* window;
    };
    const Expected expected[] = {
        {"norvale-linkprobe.exe", "norvale-linkprobe.exe -bindcheck 127.0.0.1 3887",
         "startup default"},
        {"norvale-sup-processor.exe", "norvale-sup-processor.exe --user-folder \"C:\\u\" ",
         "startup hidden"},
        {"norvale-mail.exe", "norvale-mail.exe -c \"C:\\a b\\norvale.conf\"", "startup hidden"},
        {"helper.exe", "helper.exe --user-delete", "startup hidden"},
    };
    for (const Expected& child : expected) {
        SCOPED_TRACE(child.program);
        EXPECT_EQ(std::vector<std::string>{std::string("start\t") + child.commandLine},
                  events(child.program, "start\t"));
        EXPECT_EQ(std::vector<std::string>{std::string(child.window) + "\t" + child.commandLine},
                  events(child.program, "startup "));
    }

    std::string log = logText();
    EXPECT_NE(std::string::npos, log.find("[I] The returned code of the SUP process: -1\r\n"));
    EXPECT_NE(std::string::npos, log.find("[I] The code returned by 'helper.exe' binary is '-10'\r\n"));
}

// Every start takes the program's own folder, not the current directory:
// a current directory that holds other programs of the same names (one the
// program failed to leave, or one changed since) selects none of them, and
// the command line still begins with the bare name.
TEST_F(ChildProcessTest, ChildrenStartFromTheProgramFolderWhateverTheCurrentDirectory) {
    TempFolder elsewhere("child cwd");
    ASSERT_TRUE(elsewhere.valid());
    const char* const names[] = {kLinkProbeExe, kSupProcessorExe, kMailProxyExe, "helper.exe"};
    for (const char* name : names) {
        placeStandin("norvale-sup-processor.exe", name, "exit_codes=6\n");
        ASSERT_TRUE(CopyFileA(binPath("norvale-sup-processor.exe").c_str(),
                              elsewhere.file(name).c_str(), FALSE));
        ASSERT_TRUE(writeWholeFile(elsewhere.file(stem(name) + ".control"), "exit_codes=66\n"));
    }
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.path().c_str()));

    int mailCode = 0;
    EXPECT_TRUE(runMailProxy(mailProxyCommandLine("C:\\x\\norvale.conf"), mailCode));
    const std::pair<int, std::string> runs[] = {
        {runLinkProbe(bindCheckCommandLine("127.0.0.1", 3887)),
         "norvale-linkprobe.exe -bindcheck 127.0.0.1 3887"},
        {runSupProcessor("norvale-sup-processor.exe --user-folder \"x\""),
         "norvale-sup-processor.exe --user-folder \"x\""},
        {mailCode, "norvale-mail.exe -c \"C:\\x\\norvale.conf\""},
        {runProcess("helper.exe", "helper.exe --user-delete"), "helper.exe --user-delete"},
    };
    for (std::size_t i = 0; i < std::size(names); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(6, runs[i].first);
        EXPECT_EQ(std::vector<std::string>{"start\t" + runs[i].second},
                  events(names[i], "start\t"));
        EXPECT_FALSE(pathExists(elsewhere.file(stem(names[i]) + ".journal")));
    }
}

TEST_F(ChildProcessTest, EmptyCommandLineStartsNothing) {
    placeStandin("norvale-sup-processor.exe", "norvale-linkprobe.exe", "exit_codes=0\n");
    EXPECT_EQ(kChildNotStarted, runLinkProbe(std::string()));
    EXPECT_EQ("", journal("norvale-linkprobe.exe"));
}

TEST(ChildCommandLines, FormatsAndTheLimitOf1023Characters) {
    EXPECT_EQ("norvale-linkprobe.exe -bindcheck 127.0.0.1 3887",
              bindCheckCommandLine("127.0.0.1", 3887));
    EXPECT_EQ("norvale-linkprobe.exe -bindcheck localhost -1", bindCheckCommandLine("localhost", -1));
    EXPECT_EQ("norvale-mail.exe -c \"C:\\users\\root\\AppData\\Roaming\\Norvale\\norvale.conf\"",
              mailProxyCommandLine("C:\\users\\root\\AppData\\Roaming\\Norvale\\norvale.conf"));

    // "norvale-linkprobe.exe -bindcheck " is 33 characters, " 1" two more.
    const std::size_t hostFits = kCommandLineLimit - 35;
    std::string fits = bindCheckCommandLine(std::string(hostFits, 'h'), 1);
    EXPECT_EQ(kCommandLineLimit, fits.size());
    EXPECT_EQ("", bindCheckCommandLine(std::string(hostFits + 1, 'h'), 1));
    // "norvale-mail.exe -c " and two quotes: 22 characters.
    EXPECT_EQ(kCommandLineLimit,
              mailProxyCommandLine(std::string(kCommandLineLimit - 22, 'p')).size());
    EXPECT_EQ("", mailProxyCommandLine(std::string(kCommandLineLimit - 21, 'p')));

    std::string line = "old";
    EXPECT_FALSE(formatCommandLine(line, "%s", std::string(2000, 'x').c_str()));
    EXPECT_EQ("", line);
    EXPECT_TRUE(formatCommandLine(line, "%s %d %s", "a.exe", -5, "z"));
    EXPECT_EQ("a.exe -5 z", line);
}

// Starts a stand-in with windows from the working folder and waits until
// it has created them.
class CloseProcessWindowsTest : public ChildProcessTest {
protected:
    void startStandin(const std::string& program, const std::string& control) {
        placeStandin(program, program, control);
        ASSERT_TRUE(child_.start(folder_.file(program), ""));
        ASSERT_TRUE(waitForEvent(program, "ready")) << journal(program);
    }
    // Times closeProcessWindows and checks that the process is gone.
    DWORD closeAndTime(DWORD timeoutMs, UINT message, DWORD& elapsedMs) {
        DWORD start = GetTickCount();
        DWORD result = closeProcessWindows(child_.processId(), timeoutMs, message, 0, 0);
        elapsedMs = GetTickCount() - start;
        EXPECT_TRUE(child_.waitFor(kChildTimeoutMs)) << "the process is still running";
        return result;
    }
    RunningChild child_;
};

TEST_F(CloseProcessWindowsTest, WindowThatIgnoresTheMessageIsTerminatedWithCodeZero) {
    startStandin("norvale-msg.exe", "ignore_close=1\nexit_codes=5\n");
    DWORD elapsed = 0;
    EXPECT_EQ(0u, closeAndTime(500, WM_DESTROY, elapsed));
    EXPECT_GE(elapsed, 450u);  // tick granularity
    EXPECT_EQ(0, child_.exitCode());
    EXPECT_EQ(1u, events("norvale-msg.exe", "WM_DESTROY").size());
    EXPECT_TRUE(events("norvale-msg.exe", "exit").empty());
}

TEST_F(CloseProcessWindowsTest, WindowThatHonoursTheMessageEndsByItself) {
    startStandin("norvale-mail.exe", "exit_codes=9\n");
    DWORD elapsed = 0;
    EXPECT_EQ(0u, closeAndTime(20000, WM_CLOSE, elapsed));
    EXPECT_LT(elapsed, 10000u);
    EXPECT_EQ(9, child_.exitCode());
    EXPECT_EQ(1u, events("norvale-mail.exe", "WM_CLOSE").size());
    EXPECT_EQ(1u, events("norvale-mail.exe", "exit 9").size());

    // Nobody else holds the process, so its id is freed the moment it ends,
    // possibly before the wait: a close that worked is still 0.
    // A copy left behind by a failure ends by itself.
    placeStandin("norvale-msg.exe", "norvale-msg.exe", "exit_codes=0\nrun_ms=20000\n");
    for (int round = 1; round <= 5; ++round) {
        SCOPED_TRACE(round);
        DWORD processId = 0;
        {
            RunningChild unheld;
            ASSERT_TRUE(unheld.start(folder_.file("norvale-msg.exe"), ""));
            processId = unheld.processId();
            ASSERT_TRUE(waitForEvent("norvale-msg.exe", "ready"));
            ASSERT_TRUE(DeleteFileA(folder_.file("norvale-msg.journal").c_str()));
            unheld.release();
        }
        EXPECT_EQ(0u, closeProcessWindows(processId, 5000, WM_DESTROY, 0, 0));
        ASSERT_TRUE(waitForEvent("norvale-msg.exe", "exit 0"));
    }
}

TEST_F(CloseProcessWindowsTest, ProcessWithoutWindowsWaitsTheFullTimeOutAndIsTerminated) {
    placeStandin("norvale-sup-processor.exe", "norvale-sup-processor.exe",
                 "run_ms=60000\nexit_codes=5\n");
    ASSERT_TRUE(child_.start(folder_.file("norvale-sup-processor.exe"), ""));
    ASSERT_TRUE(waitForEvent("norvale-sup-processor.exe", "startup"));
    DWORD elapsed = 0;
    EXPECT_EQ(0u, closeAndTime(700, WM_CLOSE, elapsed));
    EXPECT_GE(elapsed, 650u);
    EXPECT_EQ(0, child_.exitCode());
}

TEST_F(CloseProcessWindowsTest, ProcessThatIsGoneGivesTheOpenError) {
    DWORD processId = 0;
    {
        RunningChild finished;
        placeStandin("norvale-sup-processor.exe", "norvale-sup-processor.exe", "exit_codes=0\n");
        ASSERT_TRUE(finished.start(folder_.file("norvale-sup-processor.exe"), ""));
        ASSERT_TRUE(finished.waitFor(kChildTimeoutMs));
        processId = finished.processId();
    }
    // The system may keep an ended process's id valid for a moment after
    // its last handle went; wait until it no longer opens.
    DWORD openError = 0;
    for (DWORD waited = 0; waited < kReadyTimeoutMs && openError == 0; waited += 20) {
        norvale::KernelHandle stillThere(OpenProcess(SYNCHRONIZE, FALSE, processId));
        if (!stillThere) openError = GetLastError();
        else Sleep(20);
    }
    ASSERT_NE(0u, openError) << "process id " << processId << " stays valid";
    EXPECT_EQ(openError, closeProcessWindows(processId, 100, WM_CLOSE, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
              closeProcessWindows(0, 100, WM_CLOSE, 0, 0));
}

}  // namespace
