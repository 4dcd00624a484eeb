// Shows the five programs at work on a sample product: a first logon with
// the per-user installation, the network checks and the supervision of the
// mail proxy, a bind check, stopping everything and removing the per-user
// part. One plain line per step; a failing step says which and why and ends
// the run with the step's number as exit code.
//
// Usage: demo-runner "<program folder of the sample product>"
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "demo/demo_support.h"
#include "tests/standins/journal/control.h"
#include "tests/standins/journal/journal.h"
#include "tests/standins/journal/standin.h"

namespace {

constexpr int kExitUsage = 9;
constexpr int kExitPreparation = 10;
constexpr int kExitLeftovers = 6;

constexpr DWORD kPollMs = 100;
// A Wine process starts in well under a second; these bounds only keep a
// broken program from holding the demo.
constexpr DWORD kQuestionTimeoutMs = 10000;
constexpr DWORD kInstallTimeoutMs = 10000;
constexpr DWORD kSupervisionTimeoutMs = 30000;
constexpr DWORD kToolTimeoutMs = 15000;
constexpr DWORD kCloseTimeoutMs = 10000;

// The mail proxy stand-in ends by itself after this in its first runs, so
// the launcher has to restart it; from the third run on it stays up.
constexpr long kShortRunMs = 1200;
constexpr int kRunsBeforeSteady = 2;

// The sample configuration lets the redirector divert this port to the mail
// proxy; the redirector stand-in plays it on the diverted address 1.1.2.2.
constexpr const char kDivertedPort[] = "110";
constexpr const char kListenHost[] = "127.0.0.1";
constexpr const char kListenPort[] = "3887";
constexpr const char kRedirectorBlock[] = "168";
constexpr const char kRedirectorLifetimeMs[] = "60000";
constexpr const char kRedirectorReadyEvent[] = "NorvaleDemoRedirectorReady";

constexpr const char kLauncher[] = "norvale-launcher.exe";
constexpr const char kLinkProbe[] = "norvale-linkprobe.exe";
constexpr const char kTaskCtl[] = "norvale-taskctl.exe";
constexpr const char kRemover[] = "NorvaleRemover.exe";
constexpr const char kMailProxy[] = "norvale-mail.exe";
constexpr const char kSetUpProcessor[] = "norvale-sup-processor.exe";
constexpr const char kRedirector[] = "redirector-standin.exe";

void say(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::printf("\n");
    std::fflush(stdout);
}

// A step that went wrong: its number and why.
struct StepFailure {
    int step;
    std::string reason;
};

std::string formatted(const char* format, ...) {
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

const char* bindCheckMeaning(int code) {
    switch (code) {
    case 0: return "the address is free: no mail proxy listens there";
    case 1: return "the address is in use (WSAEADDRINUSE): a mail proxy is running";
    case 2: return "binding failed for another reason";
    case -1: return "wrong parameters";
    case -2: return "the link checker could not start its work";
    default: return "not a code of the bind check";
    }
}

class Demo {
public:
    explicit Demo(std::string productFolder)
        : product_(std::move(productFolder)),
          fixtures_(demo::ownFolder()),
          launcherLog_(demo::joinPath(demo::userProductFolder(), "norvale-launcher.log")) {}

    void prepare();
    void firstLogon();
    void supervision();
    void bindCheck();
    void stopEverything();
    void removeUserPart();
    void checkNothingLeft();

private:
    std::string program(const char* name) const { return demo::joinPath(product_, name); }
    std::string journalOf(const char* name) const {
        return standin::besideProgram(program(name), "journal");
    }
    void showNewLogLines();
    void showNewMailEvents();
    void failIfLauncherStopped(int step);
    int mailRuns() const;

    std::string product_;
    std::string fixtures_;
    demo::FileTail launcherLog_;
    demo::Child launcher_;
    demo::Child redirector_;
    size_t mailEventsShown_ = 0;
};

void Demo::prepare() {
    if (!demo::fileExists(program(kLauncher))) {
        throw StepFailure{0, "no " + std::string(kLauncher) + " in " + product_};
    }
    if (!demo::resetUser()) throw StepFailure{0, "cannot remove the per-user part of an earlier run"};
    std::map<std::string, std::string> control = {{standin::kKeyRunMs, std::to_string(kShortRunMs)}};
    if (!standin::writeControl(standin::besideProgram(program(kMailProxy), "control"), control)) {
        throw StepFailure{0, "cannot write the mail proxy stand-in's control file"};
    }
    norvale::KernelHandle ready(CreateEventA(nullptr, TRUE, FALSE, kRedirectorReadyEvent));
    std::string arguments = std::string(kDivertedPort) + " " + kListenHost + " " + kListenPort +
                            " " + kRedirectorBlock + " --ready " + kRedirectorReadyEvent +
                            " --lifetime " + kRedirectorLifetimeMs;
    if (!redirector_.start(demo::joinPath(fixtures_, kRedirector), arguments, fixtures_) ||
        WaitForSingleObject(ready.get(), kToolTimeoutMs) != WAIT_OBJECT_0) {
        throw StepFailure{0, "the redirector stand-in did not start listening"};
    }
    say("Sample product in %s; fresh user without the per-user part.", product_.c_str());
    say("A stand-in plays the network redirector: it diverts 1.1.2.2:%s to the mail proxy "
        "at %s:%s.", kDivertedPort, kListenHost, kListenPort);
}

void Demo::firstLogon() {
    say("1) First logon: norvale-launcher.exe -registry");
    // At logon the launcher is started from the Run key, not from its folder.
    if (!launcher_.start(program(kLauncher), "-registry", "C:\\")) {
        throw StepFailure{1, formatted("the launcher did not start (error %lu)", launcher_.startError())};
    }
    demo::Box question;
    DWORD begin = GetTickCount();
    while (!demo::findBox(launcher_.processId(), question)) {
        showNewLogLines();
        failIfLauncherStopped(1);
        if (GetTickCount() - begin >= kQuestionTimeoutMs) {
            throw StepFailure{1, "the launcher asked no question about the per-user part"};
        }
        Sleep(kPollMs);
    }
    say("   The launcher asks (box \"%s\"): %s", question.caption.c_str(),
        demo::oneLine(question.text).c_str());
    if (!demo::pressButton(question, IDYES)) throw StepFailure{1, "the question box has no Yes button"};
    say("   The demo presses Yes, as the user would.");

    std::string copiedConf = demo::joinPath(demo::userProductFolder(), "norvale.conf");
    begin = GetTickCount();
    while (demo::installationFlag() != "yes" || !demo::fileExists(copiedConf)) {
        showNewLogLines();
        failIfLauncherStopped(1);
        if (GetTickCount() - begin >= kInstallTimeoutMs) {
            throw StepFailure{1, "the per-user part was not installed (flag \"" +
                                     demo::installationFlag() + "\")"};
        }
        Sleep(kPollMs);
    }
    showNewLogLines();
    say("   Per-user part installed: NorvaleUserInstalled = yes, %s copied from user_default.",
        copiedConf.c_str());
}

void Demo::supervision() {
    say("2) Network checks, then the launcher keeps the mail proxy running "
        "(the stand-in ends by itself after %ld ms in its first %d runs):",
        kShortRunMs, kRunsBeforeSteady);
    bool steady = false;
    DWORD begin = GetTickCount();
    for (;;) {
        showNewLogLines();
        showNewMailEvents();
        failIfLauncherStopped(2);
        int runs = mailRuns();
        if (!steady && runs >= kRunsBeforeSteady) {
            // Run 2 has read its control file before it journaled its start,
            // so this only changes the runs to come.
            std::map<std::string, std::string> control = {
                {standin::kKeyRunMs, std::to_string(standin::kRunUntilClosed)}};
            standin::writeControl(standin::besideProgram(program(kMailProxy), "control"), control);
            steady = true;
        }
        std::vector<standin::JournalEntry> listening =
            standin::entriesFor(standin::readJournal(journalOf(kMailProxy)), "listen");
        if (runs > kRunsBeforeSteady && listening.size() > static_cast<size_t>(kRunsBeforeSteady)) break;
        if (GetTickCount() - begin >= kSupervisionTimeoutMs) {
            throw StepFailure{2, formatted("the mail proxy was started %d times, expected %d",
                                           runs, kRunsBeforeSteady + 1)};
        }
        Sleep(kPollMs);
    }
    showNewLogLines();
    say("   The launcher restarted the mail proxy %d times; run %d listens on %s:%s.",
        kRunsBeforeSteady, kRunsBeforeSteady + 1, kListenHost, kListenPort);
}

void Demo::bindCheck() {
    std::string arguments = std::string("-bindcheck ") + kListenHost + " " + kListenPort;
    say("3) norvale-linkprobe.exe %s", arguments.c_str());
    demo::RunResult run = demo::runCaptured(program(kLinkProbe), arguments, product_, kToolTimeoutMs);
    if (!run.started) throw StepFailure{3, formatted("it did not start (error %lu)", run.startError)};
    if (!run.ended) throw StepFailure{3, "it did not end in time (a message box?)"};
    say("   Exit code %d: %s.", run.exitCode, bindCheckMeaning(run.exitCode));
    if (run.exitCode != 1) throw StepFailure{3, "expected 1 while the mail proxy listens"};
}

void Demo::stopEverything() {
    say("4) norvale-taskctl.exe -f 3 (terminate the launcher, close the mail proxy)");
    demo::RunResult run = demo::runCaptured(program(kTaskCtl), "-f 3", product_, kToolTimeoutMs);
    if (!run.started) throw StepFailure{4, formatted("it did not start (error %lu)", run.startError)};
    if (!run.ended) throw StepFailure{4, "it did not end in time"};
    std::string line;
    for (char c : run.output + "\n") {
        if (c == '\r') continue;
        if (c != '\n') {
            line += c;
        } else if (!line.empty()) {
            say("   | %s", line.c_str());
            line.clear();
        }
    }
    say("   Exit code 0x%08X.", static_cast<unsigned>(run.exitCode));
    if (run.exitCode != 0) throw StepFailure{4, "expected exit code 0"};
    if (!launcher_.waitFor(kCloseTimeoutMs)) throw StepFailure{4, "the launcher still runs"};
    if (!standin::waitForEvent(journalOf(kMailProxy), "exit", kCloseTimeoutMs) ||
        standin::entriesFor(standin::readJournal(journalOf(kMailProxy)), "exit").size() <=
            static_cast<size_t>(kRunsBeforeSteady)) {
        throw StepFailure{4, "the mail proxy did not close"};
    }
    showNewMailEvents();
    say("   The launcher is gone (exit code %d) and the mail proxy closed.", launcher_.exitCode());
}

void Demo::removeUserPart() {
    say("5) NorvaleRemover.exe --currentuser");
    size_t earlierCalls =
        standin::entriesFor(standin::readJournal(journalOf(kSetUpProcessor)), "start").size();
    demo::RunResult run = demo::runCaptured(program(kRemover), "--currentuser", product_, kToolTimeoutMs);
    if (!run.started) throw StepFailure{5, formatted("it did not start (error %lu)", run.startError)};
    if (!run.ended) throw StepFailure{5, "it did not end in time (a message box?)"};
    std::vector<standin::JournalEntry> calls =
        standin::entriesFor(standin::readJournal(journalOf(kSetUpProcessor)), "start");
    if (calls.size() <= earlierCalls) {
        throw StepFailure{5, "the set-up processor was not run"};
    }
    const std::string& line = calls.back().commandLine;
    say("   The set-up processor was run with: %s", line.c_str());
    say("   Exit code %d.", run.exitCode);
    if (line.find("--user-delete --user-delete-currentuser") == std::string::npos) {
        throw StepFailure{5, "the set-up processor was not asked to remove the current user's part"};
    }
    if (run.exitCode != 0) throw StepFailure{5, "expected exit code 0"};
}

void Demo::checkNothingLeft() {
    redirector_.kill();
    std::vector<std::string> left = demo::runningProgramsAmong(
        {kLauncher, kMailProxy, kLinkProbe, kTaskCtl, kRemover, kSetUpProcessor,
         "norvale-msg.exe", kRedirector});
    if (!left.empty()) throw StepFailure{kExitLeftovers, "still running: " + left.front()};
    say("Done: every step passed and nothing of the sample product is running.");
}

void Demo::showNewLogLines() {
    for (const std::string& line : launcherLog_.newLines()) say("   log| %s", line.c_str());
}

void Demo::showNewMailEvents() {
    std::vector<standin::JournalEntry> journal = standin::readJournal(journalOf(kMailProxy));
    for (; mailEventsShown_ < journal.size(); ++mailEventsShown_) {
        const std::string& event = journal[mailEventsShown_].event;
        if (event == "start" || event.rfind("listen", 0) == 0 || event.rfind("exit", 0) == 0 ||
            event.rfind("WM_", 0) == 0) {
            say("   norvale-mail.exe (stand-in, pid %lu): %s",
                journal[mailEventsShown_].processId, event.c_str());
        }
    }
}

void Demo::failIfLauncherStopped(int step) {
    demo::Box box;
    if (demo::findBox(launcher_.processId(), box) && step > 1) {
        throw StepFailure{step, "the launcher shows the box \"" + box.caption + "\": " +
                                    demo::oneLine(box.text)};
    }
    if (!launcher_.running()) {
        showNewLogLines();
        throw StepFailure{step, formatted("the launcher ended with exit code %d", launcher_.exitCode())};
    }
}

int Demo::mailRuns() const {
    return static_cast<int>(
        standin::entriesFor(standin::readJournal(journalOf(kMailProxy)), "start").size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo-runner \"<program folder of the sample product>\"\n");
        return kExitUsage;
    }
    Demo demo(argv[1]);
    try {
        demo.prepare();
        demo.firstLogon();
        demo.supervision();
        demo.bindCheck();
        demo.stopEverything();
        demo.removeUserPart();
        demo.checkNothingLeft();
    } catch (const StepFailure& failure) {
        if (failure.step == 0) {
            say("demo: preparing the sample product failed: %s", failure.reason.c_str());
            return kExitPreparation;
        }
        if (failure.step == kExitLeftovers) {
            say("demo: the final check failed: %s", failure.reason.c_str());
        } else {
            say("demo: step %d failed: %s", failure.step, failure.reason.c_str());
        }
        return failure.step;
    }
    return 0;
}
