// Watches for message boxes while a program under test runs, records each
// box once and answers it with the button the test chose.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/handles.h"

namespace norvale::testbed {

// The icon asked for with MB_ICON...; Unknown when the style could not be
// learnt (the style hook is not active) or names no known icon.
enum class IconKind { Unknown, None, Stop, Question, Warning, Information };

const char* iconKindName(IconKind kind);
std::ostream& operator<<(std::ostream& out, IconKind kind);

// The icon a message-box style asks for.
IconKind iconKindOfStyle(UINT style);

// Answer that leaves the box open.
constexpr int kLeaveOpen = 0;

struct SeenBox {
    DWORD processId = 0;
    HWND window = nullptr;
    std::string caption;
    std::string text;
    std::vector<int> buttons;  // IDs of the buttons shown, ascending
    bool styleKnown = false;   // the style hook recorded what MessageBox got
    UINT style = 0;            // as passed to MessageBox, when styleKnown
    IconKind icon = IconKind::Unknown;
    bool topMost = false;      // MB_TOPMOST asked for, or a top-most window
    int answer = kLeaveOpen;   // the button posted to the box
    bool answerPosted = false;

    bool hasButton(int id) const;
};

// Chooses the answer for one box; called on the watcher's thread.
using AnswerChooser = std::function<int(const SeenBox&)>;

class MsgBoxWatcher {
public:
    struct Options {
        int answer = IDOK;        // for every box, unless chooser is set
        AnswerChooser chooser;    // per box; returns a button ID or kLeaveOpen
        DWORD processId = 0;      // watch this process only; 0: any process
        bool styleHook = true;    // install the hook that records the style
    };

    // Starts watching at once.
    MsgBoxWatcher();
    explicit MsgBoxWatcher(Options options);
    explicit MsgBoxWatcher(int answer);
    // Stops the thread; the style hook ends with it.
    ~MsgBoxWatcher();
    MsgBoxWatcher(const MsgBoxWatcher&) = delete;
    MsgBoxWatcher& operator=(const MsgBoxWatcher&) = delete;

    // Restricts watching to one process (0: any), e.g. once the child runs.
    void watchProcess(DWORD processId);

    // True when at least count boxes were seen within timeoutMs.
    bool waitForBoxes(size_t count, DWORD timeoutMs) const;

    std::vector<SeenBox> boxes() const;
    size_t count() const;

    // Whether the style hook is installed; without it boxes are still seen
    // and answered, but styleKnown stays false.
    bool styleHookActive() const { return styleHook_ != nullptr; }
    DWORD styleHookError() const { return hookError_; }

private:
    void installStyleHook();
    void run();
    void poll();
    bool wanted(HWND window) const;
    bool readyToRecord(HWND window, DWORD now);
    void recordAndAnswer(HWND window);
    int chooseAnswer(const SeenBox& box) const;
    void forgetClosedBoxes();

    Options options_;
    Module hookModule_;
    // Set by the watcher thread before it starts watching and removed once,
    // at that thread's end, which is why no handle owner holds it (see run()).
    HHOOK styleHook_ = nullptr;
    bool unhookAtEnd_ = false;  // the thread's end alone would not remove it
    DWORD hookError_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool started_ = false;  // the watcher thread has set the hook, or failed to
    bool stopping_ = false;
    DWORD watchedProcess_ = 0;
    std::vector<SeenBox> seen_;

    // Only touched by the watcher thread.
    std::set<HWND> handled_;              // recorded boxes still open
    std::map<HWND, DWORD> waitingStyle_;  // box -> tick first seen without style
    std::thread thread_;
};

}  // namespace norvale::testbed
