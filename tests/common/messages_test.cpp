#include "common/messages.h"

#include "common/handles.h"
#include "tests/support/child_runner.h"
#include "tests/support/log_lines.h"
#include "tests/support/msgbox_watcher.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace norvale::testbed;

namespace {

constexpr char kTestProgram[] = "common_tests";
// Time in which a box that was wrongly shown would surely have been seen.
constexpr DWORD kNoBoxWaitMs = 500;

MsgBoxWatcher::Options ownBoxes(int answer) {
    MsgBoxWatcher::Options options;
    options.answer = answer;
    options.processId = GetCurrentProcessId();
    return options;
}

}  // namespace

TEST(MessageTable, HoldsTheLaunchersWordsAndTexts) {
    for (int i = 0; i < kMessageCount; ++i) ASSERT_NE(nullptr, messageTable[i]) << i;
    EXPECT_STREQ("-registry", messageTable[1]);
    EXPECT_STREQ("-startmenu", messageTable[2]);
    EXPECT_STREQ("Service_One_Instance_Of_Babysitter_Mutex", messageTable[11]);
    EXPECT_STREQ(messageTable[3], messageTable[12]);
    EXPECT_STREQ("user_default\\", messageTable[6]);
}

TEST(ShowMessage, PositiveNumberShowsATopMostBoxCaptionedWithTheProgramName) {
    MsgBoxWatcher watcher(ownBoxes(IDYES));
    ASSERT_TRUE(watcher.styleHookActive()) << "error " << watcher.styleHookError();

    EXPECT_EQ(IDYES, showMessage(7, MB_YESNO | MB_ICONQUESTION, nullptr));

    ASSERT_EQ(1u, watcher.count());
    const SeenBox box = watcher.boxes()[0];
    EXPECT_EQ(kTestProgram, box.caption);
    EXPECT_EQ(messageTable[7], box.text);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.buttons);
    ASSERT_TRUE(box.styleKnown);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_TOPMOST), box.style);
    EXPECT_EQ(IconKind::Question, box.icon);
}

// A negative number always gives the stop icon, whatever icon was asked
// for, with the buttons asked for.
TEST(ShowMessage, NegativeNumberShowsAnErrorBox) {
    struct Case {
        int number;
        UINT style;
        int answer;
        UINT shownStyle;
    };
    const Case cases[] = {
        {-10, MB_OK, IDOK, MB_OK | MB_ICONERROR | MB_TOPMOST},
        {-3, MB_YESNO | MB_ICONQUESTION, IDNO, MB_YESNO | MB_ICONERROR | MB_TOPMOST},
        {-39, MB_OK | MB_ICONINFORMATION, IDOK, MB_OK | MB_ICONERROR | MB_TOPMOST},
        {-86, MB_OKCANCEL | MB_ICONWARNING, IDCANCEL, MB_OKCANCEL | MB_ICONERROR | MB_TOPMOST},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        MsgBoxWatcher watcher(ownBoxes(c.answer));

        EXPECT_EQ(c.answer, showMessage(c.number, c.style, nullptr));

        ASSERT_EQ(1u, watcher.count());
        const SeenBox box = watcher.boxes()[0];
        EXPECT_EQ(std::string(kTestProgram) + " error: ", box.caption);
        EXPECT_EQ(messageTable[-c.number], box.text);
        ASSERT_TRUE(box.styleKnown);
        EXPECT_EQ(c.shownStyle, box.style);
        EXPECT_EQ(IconKind::Stop, box.icon);
        EXPECT_TRUE(box.topMost);
    }
}

TEST(ShowMessage, NumberOutsideTheTableShowsNothing) {
    MsgBoxWatcher watcher(ownBoxes(IDOK));
    for (int number : {87, -87, 1000, INT_MAX, INT_MIN}) {
        EXPECT_EQ(0, showMessage(number, MB_OK, nullptr)) << number;
    }
    Sleep(kNoBoxWaitMs);
    EXPECT_EQ(0u, watcher.count());
}

// The exit code names the message; the mutex is released, not abandoned;
// the log gets its closing line from the exit hook.
TEST(FatalExit, ShowsTheErrorReleasesTheMutexAndExitsWithTheNumber) {
    TempFolder dir;
    const std::string log = dir.file("fatal.log");
    const std::string mutexName = "norvale-test-fatal-" + std::to_string(GetCurrentProcessId());
    norvale::KernelHandle mutex(CreateMutexA(nullptr, FALSE, mutexName.c_str()));
    ASSERT_TRUE(mutex.valid());
    MsgBoxWatcher watcher(IDOK);

    ChildResult result =
        runChild(binPath("fatal_exit_child.exe"), "\"" + log + "\" " + mutexName + " -3");

    EXPECT_EQ(-3, result.exitCode);
    ASSERT_EQ(1u, watcher.count());
    const SeenBox box = watcher.boxes()[0];
    EXPECT_EQ("fatal_exit_child error: ", box.caption);
    EXPECT_EQ("Wrong parameters!", box.text);
    EXPECT_EQ(IconKind::Stop, box.icon);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(mutex.get(), 0));
    ReleaseMutex(mutex.get());

    std::vector<std::string> lines = norvale::testbed::splitLogLines(readWholeFile(log).value_or(""));
    ASSERT_EQ(3u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("[I] Logfile started."));
    EXPECT_NE(std::string::npos, lines[1].find("[I] before the fatal exit"));
    EXPECT_NE(std::string::npos, lines[2].find("[I] Logfile closed."));
}
