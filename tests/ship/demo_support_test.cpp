// The demo's helpers against real files, processes and message boxes: what
// `make demo` relies on to follow the launcher's log, read full exit codes
// and answer the launcher's question.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/demo_support.h"
#include "tests/support/child_runner.h"
#include "tests/support/test_files.h"

namespace {

using norvale::testbed::binPath;

constexpr DWORD kBoxTimeoutMs = 10000;

class TempLog {
public:
    TempLog() {
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        path_ = std::string(folder) + "demo-tail-" + std::to_string(GetCurrentProcessId()) + ".log";
        DeleteFileA(path_.c_str());
    }
    ~TempLog() { DeleteFileA(path_.c_str()); }
    const std::string& path() const { return path_; }

    // Appends, or replaces the whole file when replace is set.
    void write(const std::string& text, bool replace) const {
        HANDLE file = CreateFileA(path_.c_str(), replace ? GENERIC_WRITE : FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  replace ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }

private:
    std::string path_;
};

TEST(DemoFileTail, ReturnsEachCompleteLineOnceAndStartsOverWhenTheFileIsCut) {
    struct Step {
        const char* what;
        const char* text;
        bool replace;
        std::vector<std::string> lines;
    };
    const Step steps[] = {
        {"no file yet", nullptr, false, {}},
        {"two lines, CR LF", "first\r\nsecond\r\n", false, {"first", "second"}},
        {"nothing new", "", false, {}},
        {"half a line waits", "thi", false, {}},
        {"its end completes it", "rd\r\nfourth\n", false, {"third", "fourth"}},
        {"the log emptied at its size limit", "new\r\n", true, {"new"}},
    };
    TempLog log;
    demo::FileTail tail(log.path());
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.text != nullptr) log.write(step.text, step.replace);
        EXPECT_EQ(tail.newLines(), step.lines);
    }
}

TEST(DemoRunCaptured, ReadsTheOutputAndTheFullExitCode) {
    struct Case {
        const char* program;
        const char* arguments;
        int exitCode;
        const char* output;  // a piece of it, or null
    };
    const Case cases[] = {
        {"norvale-taskctl.exe", "-f 0", 0, "Starting norvale-taskctl.exe with parameter -f 0...\n"},
        {"norvale-taskctl.exe", "-F 3", static_cast<int>(0x80070057u), "[0x80070057]"},
        {"boxer.exe", "exit 0xC0000005", static_cast<int>(0xC0000005u), nullptr},
        {"boxer.exe", "exit -10", -10, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.arguments);
        demo::RunResult run = demo::runCaptured(binPath(c.program), c.arguments,
                                                norvale::testbed::testBinFolder(), kBoxTimeoutMs);
        ASSERT_TRUE(run.started) << run.startError;
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(run.exitCode, c.exitCode);
        if (c.output != nullptr) {
            EXPECT_NE(run.output.find(c.output), std::string::npos) << run.output;
        }
    }
}

TEST(DemoRunCaptured, KillsAProgramThatOutlivesItsBound) {
    DWORD begin = GetTickCount();
    demo::RunResult run = demo::runCaptured(binPath("boxer.exe"), "sleep 20000",
                                            norvale::testbed::testBinFolder(), 300);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.ended);
    EXPECT_LT(GetTickCount() - begin, 10000u);
    EXPECT_TRUE(demo::runningProgramsAmong({"boxer.exe"}).empty());
}

// Waits for the box of a running boxer and presses a button, as the demo
// answers the launcher's question.
struct BoxAnswer {
    bool byCaption;
    int button;
    int exitCode;  // what boxer returns: the button pressed
};

TEST(DemoBoxes, AQuestionIsFoundAndAnsweredWithTheChosenButton) {
    const char kCaption[] = "demo question";
    const BoxAnswer answers[] = {{true, IDYES, IDYES}, {false, IDNO, IDNO}};
    for (const BoxAnswer& answer : answers) {
        SCOPED_TRACE(answer.byCaption ? "by caption" : "by process");
        demo::Child boxer;
        ASSERT_TRUE(boxer.start(binPath("boxer.exe"),
                                std::string("box 0x24 \"") + kCaption + "\" \"Install it?\"",
                                norvale::testbed::testBinFolder()));
        EXPECT_FALSE(demo::runningProgramsAmong({"BOXER.EXE"}).empty());
        demo::Box box;
        DWORD begin = GetTickCount();
        while (!(answer.byCaption ? demo::findBoxByCaption(kCaption, box)
                                  : demo::findBox(boxer.processId(), box))) {
            ASSERT_LT(GetTickCount() - begin, kBoxTimeoutMs) << "no box";
            Sleep(50);
        }
        EXPECT_EQ(box.caption, kCaption);
        EXPECT_EQ(box.text, "Install it?");
        EXPECT_FALSE(demo::pressButton(box, IDCANCEL)) << "a Yes/No box has no Cancel";
        EXPECT_TRUE(demo::pressButton(box, answer.button));
        ASSERT_TRUE(boxer.waitFor(kBoxTimeoutMs));
        EXPECT_EQ(boxer.exitCode(), answer.exitCode);
    }
}

TEST(DemoBoxes, NoBoxIsReportedForAProcessWithoutOne) {
    demo::Child boxer;
    ASSERT_TRUE(boxer.start(binPath("boxer.exe"), "sleep 2000", norvale::testbed::testBinFolder()));
    demo::Box box;
    EXPECT_FALSE(demo::findBox(boxer.processId(), box));
    EXPECT_FALSE(demo::findBoxByCaption("no such caption", box));
    boxer.kill();
    EXPECT_FALSE(boxer.running());
}

TEST(DemoText, OneLineTurnsLineBreaksIntoBlanks) {
    EXPECT_EQ(demo::oneLine("a\nb\r\nc"), "a b c");
    EXPECT_EQ(demo::oneLine(""), "");
}

}  // namespace
