// The supervision of the mail proxy: the set-up processor before every
// start, the proxy's command line, the restarts with their pause and log
// lines, the three ways out, and the clean-up around each proxy run.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/messages.h"
#include "launcher/supervision.h"
#include "tests/launcher/launcher_bed.h"

#include <map>
#include <string>
#include <utility>

namespace launcher_test {
namespace {

using norvale::testbed::IconKind;
using norvale::testbed::createFolders;
using norvale::testbed::pathExists;
using norvale::testbed::folderExists;
using norvale::testbed::writeWholeFile;

// The fixed pause between a proxy's end and the next set-up processor run;
// the upper bound allows for a slow machine, not for a second pause.
constexpr long kPauseMs = 3000;
constexpr long kPauseToleranceBelowMs = 100;
constexpr long kPauseToleranceAboveMs = 2500;
// The message-log program gets 500 ms to go before it is terminated.
constexpr long kMessageLogGraceMs = 500;

class LauncherSupervision : public LauncherBed {
protected:
    void SetUp() override {
        LauncherBed::SetUp();
        setFlag("yes");
    }

    // The proxy ends on its own after runMs.
    void mailRuns(long runMs, const std::string& exitCodes = "0") {
        setControl(kMail, {{standin::kKeyRunMs, std::to_string(runMs)},
                           {standin::kKeyExitCodes, exitCodes}});
    }
    void supAnswers(const std::string& exitCodes) {
        setControl(kSup, {{standin::kKeyExitCodes, exitCodes}});
    }

    // The taskbar stand-in (with its control) and a message-log program,
    // both running; the taskbar's must be the Shell_TrayWnd the launcher finds.
    void startTaskbarAndMessageLog(const std::map<std::string, std::string>& taskbarControl) {
        place(kMsg);
        place(kTaskbar, {}, taskbarControl);
        startStandin(kTaskbar);
        HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
        DWORD trayOwner = 0;
        GetWindowThreadProcessId(tray, &trayOwner);
        ASSERT_EQ(trayOwner, journal(kTaskbar, "start").back().processId)
            << "another Shell_TrayWnd is found first";
        startStandin(kMsg);
    }
};

std::string attemptLine(const char* ordinal) {
    return std::string("[I] Trying to start norvale-mail for the ") + ordinal + " time...";
}

// Two full proxy runs, the set-up processor asking to stop before the third:
// the command lines, the order of the log lines and the pause.
TEST_F(LauncherSupervision, RestartsEveryThreeSecondsUntilTheSetupProcessorSaysStop) {
    supAnswers("0,5,-1");
    // A proxy that really ends with -3 is restarted like any other.
    mailRuns(0, "7,-3");

    LauncherRun run = runLauncher("-registry");
    EXPECT_EQ(run.result.exitCode, 1);
    EXPECT_TRUE(run.boxes.empty());

    std::vector<std::string> sup = commandLines(kSup);
    ASSERT_EQ(sup.size(), 3u);
    for (const std::string& line : sup) EXPECT_EQ(line, supCommandLine(true));
    EXPECT_EQ(supCommandLine(true).back(), ' ');
    EXPECT_EQ(journal(kSup, "startup hidden").size(), 3u);
    std::vector<std::string> mail = commandLines(kMail);
    ASSERT_EQ(mail.size(), 2u);
    for (const std::string& line : mail) EXPECT_EQ(line, mailCommandLine());
    EXPECT_EQ(journal(kMail, "startup hidden").size(), 2u);

    std::string userParam = "--user-folder \"" + userFolder() + "\"";
    std::string binaryParam = "--client-folder \"" + programFolder() + "\"";
    std::string systemParam = "--system-folder \"" + systemFolderPath() + "\"";
    EXPECT_EQ(missingInOrder(
                  launcherLog(),
                  {"[I] Norvale Launcher run from registry.", "[I] The LSP check was success or skipped.",
                   attemptLine("1st"), "[I] startAndMonitorMoskar => call SUP", "[I] Call the SUP!",
                   "[I] User param: '" + userParam + "'", "[I] Binary param: '" + binaryParam + "'",
                   "[I] System param: '" + systemParam + "'",
                   "[I] Final params: '" + supCommandLine(true) + "'",
                   "[I] The returned code of the SUP process: 0", "[I] callSUP return = 0",
                   "[I] norvale-mail.exe returned value 7.",
                   "[?] norvale-msg.exe window not found.", attemptLine("2nd"),
                   "[I] callSUP return = 5", "[I] norvale-mail.exe returned value -3.",
                   attemptLine("3rd"), "[I] callSUP return = -1",
                   "[!] SUP returned -1, so just exit!"}),
              "");
    EXPECT_EQ(countOf(launcherLog(), "[!] " + std::string(messageTable[38])), 0u);

    // The pause lies between a proxy's end and the next set-up processor run.
    std::vector<standin::JournalEntry> ends = journal(kMail, "exit");
    std::vector<standin::JournalEntry> starts = journal(kSup, "start");
    ASSERT_EQ(ends.size(), 2u);
    for (size_t i = 0; i < ends.size(); ++i) {
        long gap = journalMs(starts[i + 1].time) - journalMs(ends[i].time);
        EXPECT_GE(gap, kPauseMs - kPauseToleranceBelowMs) << "after proxy run " << i + 1;
        EXPECT_LE(gap, kPauseMs + kPauseToleranceAboveMs) << "after proxy run " << i + 1;
    }
}

// Without the proxy's program: one set-up processor run, box 38, exit 0.
TEST_F(LauncherSupervision, MissingMailProxyEndsWithBox38AndZero) {
    removeProgram(kMail);
    supAnswers("0");
    LauncherRun run = runLauncher("-registry");
    EXPECT_EQ(run.result.exitCode, 0);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, kErrorCaption);
    EXPECT_EQ(run.boxes[0].text, messageTable[38]);
    EXPECT_EQ(run.boxes[0].icon, IconKind::Stop);
    EXPECT_EQ(commandLines(kSup).size(), 1u);
    EXPECT_EQ(missingInOrder(launcherLog(), {attemptLine("1st"), "[I] callSUP return = 0",
                                             "[!] " + std::string(messageTable[38])}),
              "");
    EXPECT_EQ(countOf(launcherLog(), attemptLine("2nd")), 0u);
}

// A missing set-up processor does not stop the supervision.
TEST_F(LauncherSupervision, MissingSetupProcessorStillStartsTheProxy) {
    removeProgram(kSup);
    setControl(kMail, {});
    startLauncher("-registry");
    ASSERT_TRUE(waitForJournal(kMail, "ready", 1));
    EXPECT_EQ(commandLines(kMail).front(), mailCommandLine());
    EXPECT_EQ(missingInOrder(launcherLog(),
                             {"[?] The binary 'norvale-sup-processor.exe' was not found!",
                              "[I] callSUP return = -3"}),
              "");
}

// Old product logs go before the first start; only files whose names begin
// with "norvale.log." in that very case.
TEST_F(LauncherSupervision, DeletesOnlyOldProductLogFiles) {
    ASSERT_TRUE(createFolders(userFolder()));
    for (const char* name : {"norvale.log.1", "norvale.log.12", "Norvale.log.2", "norvale.log",
                             "norvale.log1", "xnorvale.log.1"}) {
        ASSERT_TRUE(writeWholeFile(userFile(name), "old log\n"));
    }
    ASSERT_TRUE(createFolders(userFile("norvale.log.old")));
    supAnswers("-1");

    LauncherRun run = runLauncher("-registry");
    EXPECT_EQ(run.result.exitCode, 1);
    EXPECT_FALSE(pathExists(userFile("norvale.log.1")));
    EXPECT_FALSE(pathExists(userFile("norvale.log.12")));
    for (const char* name : {"Norvale.log.2", "norvale.log", "norvale.log1", "xnorvale.log.1"}) {
        EXPECT_TRUE(pathExists(userFile(name))) << name;
    }
    EXPECT_TRUE(folderExists(userFile("norvale.log.old")));
    std::vector<std::string> log = launcherLog();
    EXPECT_EQ(countOf(log, "[I] Success deleting file: " + userFile("norvale.log.1")), 1u);
    EXPECT_EQ(countOf(log, "[I] Success deleting file: " + userFile("norvale.log.12")), 1u);
    EXPECT_EQ(missingInOrder(log, {"[I] The LSP check was success or skipped.",
                                   "[I] Finished to browse all files from user dir for the log "
                                   "files",
                                   attemptLine("1st")}),
              "");
}

// After each proxy end the message-log program is closed (terminated when
// it ignores WM_DESTROY) and the notification area is swept.
TEST_F(LauncherSupervision, ClosesTheMessageLogAndSweepsTheTrayAfterEachProxyRun) {
    ASSERT_NO_FATAL_FAILURE(
        startTaskbarAndMessageLog({{"toolbar_width", "100"}, {"toolbar_height", "30"}}));
    supAnswers("0,0,-1");
    mailRuns(1000);

    norvale::testbed::RunningChild& launcher = startLauncher("-registry");
    // First proxy end: the message-log program ends on WM_DESTROY.
    ASSERT_TRUE(waitForJournal(kMsg, "exit", 1)) << "the message log was not closed";
    // The next one ignores it and has to be terminated.
    setControl(kMsg, {{standin::kKeyIgnoreClose, "1"}});
    norvale::testbed::RunningChild& stubborn = startStandin(kMsg);
    ASSERT_TRUE(launcher.waitFor(kEventWaitMs)) << "the launcher did not end";
    EXPECT_EQ(launcher.exitCode(), 1);
    ASSERT_TRUE(stubborn.waitFor(kEventWaitMs));
    EXPECT_EQ(stubborn.exitCode(), 0) << "not terminated with exit code 0";

    std::vector<standin::JournalEntry> destroys = journal(kMsg, "WM_DESTROY");
    ASSERT_EQ(destroys.size(), 2u);
    EXPECT_EQ(journal(kMsg, "exit").size(), 1u);
    EXPECT_EQ(journal(kMsg, "WM_CLOSE").size(), 0u);
    // The stubborn one was ended about 500 ms after it got WM_DESTROY.
    FILETIME created, exited, kernel, user;
    ASSERT_TRUE(GetProcessTimes(stubborn.process(), &created, &exited, &kernel, &user));
    FILETIME localExit;
    SYSTEMTIME exitTime;
    FileTimeToLocalFileTime(&exited, &localExit);
    FileTimeToSystemTime(&localExit, &exitTime);
    long exitMs = ((exitTime.wHour * 60L + exitTime.wMinute) * 60L + exitTime.wSecond) * 1000L +
                  exitTime.wMilliseconds;
    long grace = exitMs - journalMs(destroys[1].time);
    EXPECT_GE(grace, kMessageLogGraceMs - 100);
    EXPECT_LE(grace, kMessageLogGraceMs + 1000);

    // One sweep per closed message log, each at half the toolbar's height.
    std::vector<standin::JournalEntry> moves = journal(kTaskbar, "WM_MOUSEMOVE");
    ASSERT_EQ(moves.size(), 12u);
    const char* const expected[] = {"WM_MOUSEMOVE 9 15",  "WM_MOUSEMOVE 27 15",
                                    "WM_MOUSEMOVE 45 15", "WM_MOUSEMOVE 63 15",
                                    "WM_MOUSEMOVE 81 15", "WM_MOUSEMOVE 99 15"};
    for (size_t i = 0; i < moves.size(); ++i) EXPECT_EQ(moves[i].event, expected[i % 6]) << i;
    // The journal's stamps have millisecond resolution: the sweep may come
    // within the same millisecond as the message log's WM_DESTROY.
    EXPECT_LE(journalMs(destroys[0].time), journalMs(moves[0].time));

    std::vector<std::string> log = launcherLog();
    EXPECT_EQ(countOf(log, "[I] norvale-msg.exe shut down successfully."), 2u);
    EXPECT_EQ(countOf(log, "[?] norvale-msg.exe window not found."), 0u);
    EXPECT_EQ(missingInOrder(log, {"[I] norvale-mail.exe returned value 0.",
                                   "[I] norvale-msg.exe shut down successfully.",
                                   attemptLine("2nd"), "[I] norvale-mail.exe returned value 0.",
                                   "[I] norvale-msg.exe shut down successfully.",
                                   attemptLine("3rd")}),
              "");
}

// A taskbar whose toolbar stops answering (a hung shell) costs one short
// wait after the first mouse move: the sweep stops with one warning, and
// the proxy is restarted after the usual pause, again and again.
TEST_F(LauncherSupervision, HungTaskbarDoesNotStopTheRestarts) {
    ASSERT_NO_FATAL_FAILURE(startTaskbarAndMessageLog({{"hang", "1"}}));
    supAnswers("0,0,-1");
    mailRuns(500);

    norvale::testbed::RunningChild& launcher = startLauncher("-registry");
    ASSERT_TRUE(waitForJournal(kMsg, "exit", 1)) << "the message log was not closed";
    // The next message log makes the second proxy end sweep again.
    startStandin(kMsg);
    ASSERT_TRUE(launcher.waitFor(kEventWaitMs)) << "the launcher hangs in the tray sweep";
    EXPECT_EQ(launcher.exitCode(), 1);

    EXPECT_EQ(journal(kTaskbar, "hung").size(), 1u);
    std::vector<standin::JournalEntry> moves = journal(kTaskbar, "WM_MOUSEMOVE");
    ASSERT_EQ(moves.size(), 1u) << "the sweep went on past the hung toolbar";
    EXPECT_EQ(moves[0].event, "WM_MOUSEMOVE 9 15");

    std::vector<standin::JournalEntry> ends = journal(kMail, "exit");
    std::vector<standin::JournalEntry> starts = journal(kSup, "start");
    ASSERT_EQ(ends.size(), 2u);
    ASSERT_EQ(starts.size(), 3u);
    for (size_t i = 0; i < ends.size(); ++i) {
        long gap = journalMs(starts[i + 1].time) - journalMs(ends[i].time);
        EXPECT_GE(gap, kPauseMs - kPauseToleranceBelowMs) << "after proxy run " << i + 1;
        EXPECT_LE(gap, kPauseMs + kPauseToleranceAboveMs) << "after proxy run " << i + 1;
    }
    std::vector<std::string> log = launcherLog();
    size_t warnings = 0;
    for (const std::string& line : log)
        warnings += line.rfind("[?] The tray toolbar ", 0) == 0 ? 1 : 0;
    EXPECT_EQ(warnings, 2u) << "one warning per sweep that met the hung toolbar";
    EXPECT_EQ(countOf(log, "[I] norvale-msg.exe shut down successfully."), 2u);
}

// The attempt lines count on without end; only 1, 2 and 3 have suffixes
// of their own, so the 21st attempt reads "21th".
TEST(LauncherAttemptLine, OrdinalSuffixes) {
    const std::pair<int, const char*> rows[] = {{1, "st"},  {2, "nd"},  {3, "rd"},  {4, "th"},
                                                {11, "th"}, {12, "th"}, {13, "th"}, {21, "th"},
                                                {22, "th"}, {23, "th"}, {101, "th"}};
    for (const auto& row : rows) EXPECT_STREQ(ordinalSuffix(row.first), row.second) << row.first;
}

}  // namespace
}  // namespace launcher_test
