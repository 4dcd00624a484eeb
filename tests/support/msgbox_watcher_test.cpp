#include "tests/support/msgbox_watcher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <thread>

#include "common/handles.h"
#include "tests/support/child_runner.h"
#include "tests/support/test_files.h"

using namespace norvale::testbed;
using norvale::KernelHandle;
using norvale::WindowsHook;

namespace {

// Long enough for a child to start under Wine and show its box.
constexpr DWORD kBoxTimeoutMs = 15000;

// How long a test waits to be sure that nothing more happens.
constexpr DWORD kQuietMs = 300;

std::string boxer() { return binPath("boxer.exe"); }

// Arguments of boxer.exe that show one box.
std::string boxArguments(UINT style, const std::string& caption, const std::string& text) {
    char styleText[16];
    std::snprintf(styleText, sizeof styleText, "0x%X", style);
    return std::string(styleText) + " \"" + caption + "\" \"" + text + "\"";
}

// A thread with a window whose own WH_CALLWNDPROC hook keeps one sent message
// inside the hook chain until released; while it waits, a hook chain of that
// kind is running on the desktop.
class HookChainHolder {
public:
    HookChainHolder() {
        thread_ = std::thread([this] { run(); });
        WaitForSingleObject(ready_.get(), kBoxTimeoutMs);
    }
    ~HookChainHolder() {
        release();
        SetEvent(done_.get());
        thread_.join();
    }
    HookChainHolder(const HookChainHolder&) = delete;
    HookChainHolder& operator=(const HookChainHolder&) = delete;

    // True once the window's thread holds the message inside its hook.
    bool enter() {
        return window_ != nullptr && SendNotifyMessageA(window_, kHeldMessage, 0, 0) &&
               WaitForSingleObject(inside_.get(), kBoxTimeoutMs) == WAIT_OBJECT_0;
    }
    void release() { SetEvent(leave_.get()); }

private:
    static constexpr UINT kHeldMessage = WM_APP + 1;
    static HookChainHolder* holder_;  // of the thread that runs the hook

    static LRESULT CALLBACK hold(int code, WPARAM wParam, LPARAM lParam) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && call->message == kHeldMessage) {
            SetEvent(holder_->inside_.get());
            WaitForSingleObject(holder_->leave_.get(), kBoxTimeoutMs);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    void run() {
        holder_ = this;
        HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
        WindowsHook hook(SetWindowsHookExA(WH_CALLWNDPROC, hold, nullptr, GetCurrentThreadId()));
        if (hook) window_ = window;
        SetEvent(ready_.get());
        HANDLE done = done_.get();
        while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        }
        DestroyWindow(window);
    }

    KernelHandle ready_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    KernelHandle inside_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    KernelHandle leave_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    KernelHandle done_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    HWND window_ = nullptr;
    std::thread thread_;
};
HookChainHolder* HookChainHolder::holder_ = nullptr;

}  // namespace

TEST(MsgBoxWatcher, StyleHookIsInstalled) {
    MsgBoxWatcher watcher;
    EXPECT_TRUE(watcher.styleHookActive()) << "error " << watcher.styleHookError();
}

TEST(MsgBoxWatcher, SeesTopMostQuestionOfChildAndAnswersYes) {
    MsgBoxWatcher watcher(IDYES);
    ChildResult result =
        runChild(boxer(), "box " + boxArguments(0x40024, "Norvale", "Install now?"));
    EXPECT_EQ(IDYES, result.exitCode);
    ASSERT_EQ(1u, watcher.count());
    SeenBox box = watcher.boxes()[0];
    EXPECT_NE(0u, box.processId);
    EXPECT_NE(GetCurrentProcessId(), box.processId);
    EXPECT_EQ("Norvale", box.caption);
    EXPECT_EQ("Install now?", box.text);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.buttons);
    ASSERT_TRUE(box.styleKnown);
    EXPECT_EQ(0x40024u, box.style);
    EXPECT_EQ(IconKind::Question, box.icon);
    EXPECT_TRUE(box.topMost);
    EXPECT_EQ(IDYES, box.answer);
    EXPECT_TRUE(box.answerPosted);
}

TEST(MsgBoxWatcher, AnswersNoAndRecordsTheChildsProcess) {
    MsgBoxWatcher watcher(IDNO);
    RunningChild child;
    ASSERT_TRUE(child.start(boxer(), "box " + boxArguments(MB_YESNO, "Caption", "Text")));
    ASSERT_TRUE(child.waitFor(kBoxTimeoutMs));
    EXPECT_EQ(IDNO, child.exitCode());
    ASSERT_EQ(1u, watcher.count());
    EXPECT_EQ(child.processId(), watcher.boxes()[0].processId);
    EXPECT_FALSE(watcher.boxes()[0].topMost);
}

TEST(MsgBoxWatcher, TwoBoxesInARowAreEachAnsweredOnce) {
    MsgBoxWatcher::Options options;
    options.chooser = [](const SeenBox& box) { return box.text == "first" ? IDYES : IDCANCEL; };
    MsgBoxWatcher watcher(options);
    ChildResult result =
        runChild(boxer(), "box " + boxArguments(MB_YESNO, "One", "first") + " " +
                              boxArguments(MB_OKCANCEL | MB_ICONSTOP, "Two", "second"));
    EXPECT_EQ(IDCANCEL, result.exitCode);
    Sleep(kQuietMs);
    std::vector<SeenBox> boxes = watcher.boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("first", boxes[0].text);
    EXPECT_EQ(IDYES, boxes[0].answer);
    EXPECT_EQ("second", boxes[1].text);
    EXPECT_EQ(IDCANCEL, boxes[1].answer);
    EXPECT_EQ(IconKind::Stop, boxes[1].icon);
}

// Icons and button sets a program can ask for, all shown by one child.
TEST(MsgBoxWatcher, TellsIconsAndButtonSets) {
    struct Case {
        UINT style;
        IconKind icon;
        std::vector<int> buttons;
        int answer;
    };
    const Case cases[] = {
        {MB_OK, IconKind::None, {IDOK}, IDOK},
        {MB_OKCANCEL | MB_ICONHAND, IconKind::Stop, {IDOK, IDCANCEL}, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_ICONQUESTION, IconKind::Question, {IDABORT, IDRETRY, IDIGNORE},
         IDIGNORE},
        {MB_YESNOCANCEL | MB_ICONEXCLAMATION, IconKind::Warning, {IDCANCEL, IDYES, IDNO}, IDNO},
        {MB_RETRYCANCEL | MB_ICONASTERISK, IconKind::Information, {IDCANCEL, IDRETRY}, IDRETRY},
    };
    std::string arguments = "box";
    for (size_t i = 0; i < std::size(cases); ++i)
        arguments += " " + boxArguments(cases[i].style, "Case", std::to_string(i));
    MsgBoxWatcher::Options options;
    options.chooser = [&](const SeenBox& box) { return cases[std::stoul(box.text)].answer; };
    MsgBoxWatcher watcher(options);
    ChildResult result = runChild(boxer(), arguments);
    EXPECT_EQ(IDRETRY, result.exitCode);
    std::vector<SeenBox> boxes = watcher.boxes();
    ASSERT_EQ(std::size(cases), boxes.size());
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        EXPECT_EQ(std::to_string(i), boxes[i].text);
        EXPECT_EQ(cases[i].icon, boxes[i].icon);
        EXPECT_EQ(cases[i].buttons, boxes[i].buttons);
        EXPECT_EQ(cases[i].style, boxes[i].style);
        EXPECT_FALSE(boxes[i].topMost);
    }
}

TEST(MsgBoxWatcher, SystemModalBoxIsTopMost) {
    MsgBoxWatcher watcher;
    runChild(boxer(), "box " + boxArguments(MB_SYSTEMMODAL, "Modal", "text"));
    ASSERT_EQ(1u, watcher.count());
    EXPECT_TRUE(watcher.boxes()[0].topMost);
}

TEST(MsgBoxWatcher, SeesBoxOfOwnProcessFromAnotherThread) {
    MsgBoxWatcher::Options options;
    options.answer = IDCANCEL;
    options.processId = GetCurrentProcessId();
    MsgBoxWatcher watcher(options);
    int result = 0;
    std::thread shower([&] {
        result = MessageBoxA(nullptr, "own text", "own caption", MB_OKCANCEL | MB_ICONWARNING);
    });
    shower.join();
    EXPECT_EQ(IDCANCEL, result);
    ASSERT_EQ(1u, watcher.count());
    SeenBox box = watcher.boxes()[0];
    EXPECT_EQ(GetCurrentProcessId(), box.processId);
    EXPECT_EQ("own caption", box.caption);
    EXPECT_EQ("own text", box.text);
    EXPECT_EQ(IconKind::Warning, box.icon);
}

// A watcher bound to one process leaves the boxes of others alone; a box
// left open stays open until someone answers it.
TEST(MsgBoxWatcher, WatchesOnlyTheChosenProcessAndCanLeaveBoxesOpen) {
    MsgBoxWatcher::Options onlyOwn;
    onlyOwn.processId = GetCurrentProcessId();
    MsgBoxWatcher ownWatcher(onlyOwn);
    MsgBoxWatcher::Options leaveOpen;
    leaveOpen.answer = kLeaveOpen;
    MsgBoxWatcher looker(leaveOpen);

    RunningChild child;
    ASSERT_TRUE(child.start(boxer(), "box " + boxArguments(MB_YESNO, "Left", "open")));
    ASSERT_TRUE(looker.waitForBoxes(1, kBoxTimeoutMs));
    EXPECT_FALSE(child.waitFor(kQuietMs)) << "a box left open was answered";
    EXPECT_EQ(0u, ownWatcher.count());
    EXPECT_FALSE(looker.boxes()[0].answerPosted);

    MsgBoxWatcher::Options onlyChild;
    onlyChild.answer = IDNO;
    onlyChild.processId = child.processId();
    MsgBoxWatcher answerer(onlyChild);
    ASSERT_TRUE(child.waitFor(kBoxTimeoutMs));
    EXPECT_EQ(IDNO, child.exitCode());
    EXPECT_EQ(1u, looker.count());
    EXPECT_EQ(0u, ownWatcher.count());
}

// What a watcher can tell when the style hook is missing: the window's own
// facts, and no guess about the style.
TEST(MsgBoxWatcher, WithoutStyleHookStillSeesAndAnswers) {
    MsgBoxWatcher::Options options;
    options.styleHook = false;
    options.answer = IDNO;
    MsgBoxWatcher watcher(options);
    EXPECT_FALSE(watcher.styleHookActive());
    ChildResult result = runChild(
        boxer(), "box " + boxArguments(MB_YESNO | MB_ICONSTOP | MB_SYSTEMMODAL, "Bare", "text"));
    EXPECT_EQ(IDNO, result.exitCode);
    ASSERT_EQ(1u, watcher.count());
    SeenBox box = watcher.boxes()[0];
    EXPECT_EQ("Bare", box.caption);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.buttons);
    EXPECT_FALSE(box.styleKnown);
    EXPECT_EQ(IconKind::Unknown, box.icon);
    EXPECT_TRUE(box.topMost);
}

TEST(MsgBoxWatcher, WaitForBoxesReturnsFalseAfterItsBound) {
    MsgBoxWatcher watcher;
    DWORD start = GetTickCount();
    EXPECT_FALSE(watcher.waitForBoxes(1, 200));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 150u);
    EXPECT_LT(elapsed, 5000u);
}

// A watcher may end while another thread runs a hook chain of the style
// hook's kind; its hook then ends with it, once (Wine 10's wineserver stops
// when a hook removed during such a chain is removed again at the end of the
// thread that set it), and the prefix's processes go on.
TEST(MsgBoxWatcher, EndsDuringAnotherThreadsHookChainAndTakesItsHookAlong) {
    HookChainHolder holder;
    bool hooked = false;
    bool inside = false;
    std::thread owner([&] {
        MsgBoxWatcher watcher;
        hooked = watcher.styleHookActive();
        inside = hooked && holder.enter();
    });
    owner.join();
    ASSERT_TRUE(hooked);
    ASSERT_TRUE(inside) << "the message was not held inside the hook chain";
    holder.release();

    MsgBoxWatcher::Options bare;
    bare.styleHook = false;
    MsgBoxWatcher watcher(bare);
    ChildResult result = runChild(boxer(), "box " + boxArguments(MB_ICONSTOP, "After", "text"));
    EXPECT_EQ(IDOK, result.exitCode);
    ASSERT_EQ(1u, watcher.count());
    EXPECT_FALSE(watcher.boxes()[0].styleKnown) << "the ended watcher's hook still records";
}
