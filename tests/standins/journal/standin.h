// The frame every stand-in runs in: usage text, control file, journal, the
// run number, and for those with windows the hidden top-level window that
// ends the run on a close message.
#pragma once

#include <windows.h>

#include <string>

#include "tests/standins/journal/control.h"
#include "tests/standins/journal/journal.h"

namespace standin {

// run_ms value (and default) of a stand-in that runs until it is closed.
constexpr long kRunUntilClosed = -1;

class Run {
public:
    // Reads the control file, numbers this run after the "start" lines
    // already in the journal and journals "start".
    Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    const Control& control() const { return control_; }
    int number() const { return number_; }
    long runMs(long fallback) const { return control_.number(kKeyRunMs, fallback); }
    bool ignoresClose() const { return control_.flag(kKeyIgnoreClose); }

    void record(const std::string& event) const;
    // Journals "exit <code>" and returns the code of this run.
    int finish() const;

private:
    std::string journalPath_;
    std::string commandLine_;
    Control control_;
    int number_ = 1;
};

// Prints the usage text and returns true when the first argument is
// "--help", "-h" or "/?". Every text says that the program is a test
// fixture, not the product program it plays.
bool usageRequested(int argc, char** argv, const char* plays, const char* behaviour);

// A hidden top-level window of its own class; the class is registered with
// windowProc on first use. Null on failure.
HWND createHiddenWindow(const char* className, const char* title, WNDPROC windowProc,
                        HWND parent = nullptr, DWORD style = WS_OVERLAPPEDWINDOW, int width = 0,
                        int height = 0);

// Journals WM_CLOSE and WM_DESTROY and ends the message loop unless the
// control file says ignore_close=1. Returns true when message was one of them.
bool handleCloseMessage(const Run& run, UINT message);

// Window procedure for stand-ins whose windows only react to close
// messages; needs setWindowRun first.
LRESULT CALLBACK closingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void setWindowRun(const Run* run);
const Run* windowRun();

// Runs the message loop until a close message ends it or runMs passes
// (kRunUntilClosed: no limit). Journals "ready" first.
void runMessageLoop(const Run& run, long runMs);

}  // namespace standin
