#include "tests/support/msgbox_watcher.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>

#include "tests/support/msgbox_style.h"
#include "tests/support/test_files.h"

namespace norvale::testbed {

namespace {

// Pause between two looks at the window list: quick enough that a test never
// waits long for its answer, slow enough not to keep a core busy.
constexpr DWORD kPollIntervalMs = 20;

// A box shows after its WM_INITDIALOG, so the style property is normally
// there when the box is first seen; a box still without it after this long
// was not seen by the hook and is recorded without its style.
constexpr DWORD kStyleGraceMs = 500;

// Bound for reading a text from a box whose thread might not answer.
constexpr UINT kTextTimeoutMs = 1000;

// The button IDs a message box can carry, IDOK (1) to IDCONTINUE (11).
constexpr int kFirstButton = IDOK;
constexpr int kLastButton = IDCONTINUE;

BOOL CALLBACK collectDialog(HWND window, LPARAM found) {
    char className[sizeof kDialogClass + 1] = {};
    int length = GetClassNameA(window, className, sizeof className);
    if (length > 0 && std::strcmp(className, kDialogClass) == 0)
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

std::vector<HWND> topLevelDialogs() {
    std::vector<HWND> found;
    EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The window's text through WM_GETTEXT with a bound, which works for windows
// of other processes and of other threads of this one alike.
std::string windowText(HWND window) {
    DWORD_PTR length = 0;
    if (window == nullptr ||
        !SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs,
                             &length))
        return {};
    std::vector<char> buffer(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(),
                             reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                             kTextTimeoutMs, &copied))
        return {};
    return std::string(buffer.data(), std::min<size_t>(copied, length));
}

bool hasStyleBit(HWND window, LONG_PTR bit) {
    return (GetWindowLongPtrA(window, GWL_STYLE) & bit) != 0;
}

std::vector<int> shownButtons(HWND box) {
    std::vector<int> buttons;
    for (int id = kFirstButton; id <= kLastButton; ++id) {
        HWND item = GetDlgItem(box, id);
        if (item != nullptr && hasStyleBit(item, WS_VISIBLE)) buttons.push_back(id);
    }
    return buttons;
}

bool recordedStyle(HWND box, UINT* style) {
    auto value = reinterpret_cast<DWORD_PTR>(GetPropA(box, kMsgBoxStyleProp));
    if (!(value & kStyleRecordedBit)) return false;
    *style = static_cast<UINT>(value & ~kStyleRecordedBit);
    return true;
}

// Whether a global hook ends with the thread that set it, as on Windows and
// under Wine 10, or stays until it is unhooked, as under Wine 8. A short-lived
// thread sets a hook; once it has ended, the probe message to a window of
// this thread shows whether that hook still runs, and only a hook that still
// runs is unhooked here (see MsgBoxWatcher::run() for why).
bool hooksEndWithTheirThread(InstallHookFunction install) {
    HHOOK probe = nullptr;
    std::thread([&] { probe = install(); }).join();
    if (probe == nullptr) return true;
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr);
    SendMessageA(window, RegisterWindowMessageA(kStyleHookProbeMessage), 0, 0);
    bool stillRuns = RemovePropA(window, kStyleHookProbeProp) != nullptr;
    DestroyWindow(window);
    if (stillRuns) UnhookWindowsHookEx(probe);
    return !stillRuns;
}

}  // namespace

const char* iconKindName(IconKind kind) {
    switch (kind) {
        case IconKind::None: return "none";
        case IconKind::Stop: return "stop";
        case IconKind::Question: return "question";
        case IconKind::Warning: return "warning";
        case IconKind::Information: return "information";
        case IconKind::Unknown: break;
    }
    return "unknown";
}

std::ostream& operator<<(std::ostream& out, IconKind kind) { return out << iconKindName(kind); }

IconKind iconKindOfStyle(UINT style) {
    switch (style & MB_ICONMASK) {
        case 0: return IconKind::None;
        case MB_ICONHAND: return IconKind::Stop;
        case MB_ICONQUESTION: return IconKind::Question;
        case MB_ICONEXCLAMATION: return IconKind::Warning;
        case MB_ICONASTERISK: return IconKind::Information;
        default: return IconKind::Unknown;
    }
}

bool SeenBox::hasButton(int id) const {
    for (int button : buttons)
        if (button == id) return true;
    return false;
}

MsgBoxWatcher::MsgBoxWatcher() : MsgBoxWatcher(Options()) {}

MsgBoxWatcher::MsgBoxWatcher(int answer) : MsgBoxWatcher([answer] {
    Options options;
    options.answer = answer;
    return options;
}()) {}

MsgBoxWatcher::MsgBoxWatcher(Options options)
    : options_(std::move(options)), watchedProcess_(options_.processId) {
    thread_ = std::thread([this] { run(); });
    // The hook must be in place before the test starts the program it watches.
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return started_; });
}

MsgBoxWatcher::~MsgBoxWatcher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    hookModule_.reset();
}

void MsgBoxWatcher::installStyleHook() {
    hookModule_.reset(LoadLibraryA(binPath(kStyleHookDll).c_str()));
    if (!hookModule_) {
        hookError_ = GetLastError();
        return;
    }
    auto install = reinterpret_cast<InstallHookFunction>(
        reinterpret_cast<void*>(GetProcAddress(hookModule_.get(), kInstallHookExport)));
    if (install == nullptr) {
        hookError_ = GetLastError();
        return;
    }
    static const bool endsWithThread = hooksEndWithTheirThread(install);
    unhookAtEnd_ = !endsWithThread;
    styleHook_ = install();
    if (styleHook_ == nullptr) hookError_ = GetLastError();
}

void MsgBoxWatcher::watchProcess(DWORD processId) {
    std::lock_guard<std::mutex> lock(mutex_);
    watchedProcess_ = processId;
}

bool MsgBoxWatcher::waitForBoxes(size_t count, DWORD timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return seen_.size() >= count; });
}

std::vector<SeenBox> MsgBoxWatcher::boxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

size_t MsgBoxWatcher::count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_.size();
}

// The watcher thread sets the style hook, and the hook is removed one way
// only: by the end of this thread where hooks end with their thread, by
// UnhookWindowsHookEx where they do not. Wine 10's wineserver cannot take
// both for one hook: a hook unhooked while some thread of the desktop runs a
// WH_CALLWNDPROC chain stays listed until that chain ends (for good, if that
// thread was killed inside it), the end of the thread that set it removes it
// again, and the server stops on a failed assertion (a hook count below
// zero), leaving every process of the prefix without it.
void MsgBoxWatcher::run() {
    if (options_.styleHook) installStyleHook();
    std::unique_lock<std::mutex> lock(mutex_);
    started_ = true;
    changed_.notify_all();
    while (!stopping_) {
        lock.unlock();
        poll();
        lock.lock();
        changed_.wait_for(lock, std::chrono::milliseconds(kPollIntervalMs),
                          [this] { return stopping_; });
    }
    lock.unlock();
    if (unhookAtEnd_ && styleHook_ != nullptr) UnhookWindowsHookEx(styleHook_);
}

void MsgBoxWatcher::poll() {
    DWORD now = GetTickCount();
    for (HWND window : topLevelDialogs()) {
        if (handled_.count(window) || !wanted(window) || !readyToRecord(window, now)) continue;
        recordAndAnswer(window);
    }
    forgetClosedBoxes();
}

// A shown message box (a dialog with the message-box text item) of the
// watched process.
bool MsgBoxWatcher::wanted(HWND window) const {
    if (!IsWindowVisible(window) || GetDlgItem(window, kMsgBoxTextItem) == nullptr) return false;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    std::lock_guard<std::mutex> lock(mutex_);
    return watchedProcess_ == 0 || watchedProcess_ == processId;
}

bool MsgBoxWatcher::readyToRecord(HWND window, DWORD now) {
    UINT style = 0;
    if (styleHook_ == nullptr || recordedStyle(window, &style)) return true;
    auto first = waitingStyle_.emplace(window, now).first;
    return now - first->second >= kStyleGraceMs;
}

void MsgBoxWatcher::recordAndAnswer(HWND window) {
    SeenBox box;
    box.window = window;
    GetWindowThreadProcessId(window, &box.processId);
    box.caption = windowText(window);
    box.text = windowText(GetDlgItem(window, kMsgBoxTextItem));
    box.buttons = shownButtons(window);
    box.styleKnown = recordedStyle(window, &box.style);
    box.icon = box.styleKnown ? iconKindOfStyle(box.style) : IconKind::Unknown;
    bool topMostWindow = (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    box.topMost = topMostWindow || (box.styleKnown && (box.style & MB_TOPMOST));

    box.answer = chooseAnswer(box);
    {
        // Answered and recorded under the lock: the answer lets the box's
        // program go on and end, and a test that then asks for the boxes
        // must find this one among them, however late this thread runs.
        std::lock_guard<std::mutex> lock(mutex_);
        if (box.answer != kLeaveOpen)
            box.answerPosted =
                PostMessageA(window, WM_COMMAND, MAKEWPARAM(box.answer, BN_CLICKED), 0);
        seen_.push_back(box);
    }
    handled_.insert(window);
    waitingStyle_.erase(window);
    changed_.notify_all();
}

// A chooser that throws would end the test program from this thread; its box
// is left open instead, so the test fails on its own bound with a message.
int MsgBoxWatcher::chooseAnswer(const SeenBox& box) const {
    if (!options_.chooser) return options_.answer;
    try {
        return options_.chooser(box);
    } catch (...) {
        return kLeaveOpen;
    }
}

// A window handle may come back for a new window once the old one is gone,
// so closed boxes leave the sets.
void MsgBoxWatcher::forgetClosedBoxes() {
    for (auto it = handled_.begin(); it != handled_.end();)
        it = IsWindow(*it) ? std::next(it) : handled_.erase(it);
    for (auto it = waitingStyle_.begin(); it != waitingStyle_.end();)
        it = IsWindow(it->first) ? std::next(it) : waitingStyle_.erase(it);
}

}  // namespace norvale::testbed
