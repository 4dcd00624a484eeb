// Cost of "norvale-taskctl -f 31" against cooperative stand-ins (a launcher
// stand-in, the mail proxy, the message log and the client, each ending at
// once on its message), against a baseline that does the same work without
// the tool: a do-nothing program started the same way, then this program
// itself terminating the launcher, posting the same messages, waiting for
// each process to end and starting the launcher again.
#include <windows.h>

#include <string>
#include <vector>

#include "bench/measure.h"
#include "bench/programs.h"
#include "bench/report.h"
#include "common/product_windows.h"
#include "tests/standins/journal/journal.h"
#include "tests/support/test_files.h"

namespace {

constexpr int kRounds = 15;
constexpr double kTargetOwnShareMs = 100;
constexpr DWORD kReadyWaitMs = 20000;
constexpr DWORD kEndWaitMs = 30000;

constexpr char kTool[] = "norvale-taskctl.exe";
constexpr char kLauncher[] = "norvale-launcher.exe";
constexpr char kMail[] = "norvale-mail.exe";
constexpr char kMsg[] = "norvale-msg.exe";
constexpr char kClient[] = "norvale-client.exe";
constexpr char kIdle[] = "bench-idle.exe";

class Scene {
public:
    explicit Scene(const std::string& folder) : folder_(folder) {}

    // Starts the four processes and waits until each one is ready.
    bool start() {
        for (const char* name : {kLauncher, kMail, kMsg, kClient}) {
            DeleteFileA(journal(name).c_str());
        }
        return startOne(kLauncher, "-registry", launcher_) && startOne(kMail, "", mail_) &&
               startOne(kMsg, "", msg_) && startOne(kClient, "", client_);
    }

    bool allEnded() const {
        for (const norvale::ProcessInfo* process : {&launcher_, &mail_, &msg_, &client_}) {
            if (WaitForSingleObject(process->process(), 0) != WAIT_OBJECT_0) return false;
        }
        return true;
    }

    // The restarted launcher stand-in: its second start in the journal.
    bool endRestartedLauncher() {
        if (!bench::waitForEntries(journal(kLauncher), "start", 2, kReadyWaitMs)) return false;
        auto starts = standin::entriesFor(standin::readJournal(journal(kLauncher)), "start");
        bench::killProcessId(starts.back().processId);
        return true;
    }

    // What the tool does, done here: terminate, close and wait, restart.
    bool stopAndRestartByHand() {
        TerminateProcess(launcher_.process(), 0);
        if (WaitForSingleObject(launcher_.process(), kEndWaitMs) != WAIT_OBJECT_0) return false;
        if (!closeAndWait(kMailProxyWindow, mail_) || !closeAndWait(kMessageLogWindow, msg_) ||
            !closeAndWait(kGraphicalClientWindow, client_)) {
            return false;
        }
        norvale::ProcessInfo restarted;
        return bench::startProgram(folder_, kLauncher, "-registry", false, bench::Output::Discard,
                                   restarted);
    }

    void killAll() {
        for (norvale::ProcessInfo* process : {&launcher_, &mail_, &msg_, &client_}) {
            if (process->valid()) bench::killProcess(process->process());
        }
    }

private:
    std::string journal(const char* name) const {
        return standin::besideProgram(folder_ + "\\" + name, "journal");
    }

    bool startOne(const char* name, const char* arguments, norvale::ProcessInfo& process) {
        return bench::startProgram(folder_, name, arguments, false, bench::Output::Discard,
                                   process) &&
               bench::waitForEntries(journal(name), "ready", 1, kReadyWaitMs);
    }

    static bool closeAndWait(const ProductWindow& window, const norvale::ProcessInfo& process) {
        HWND found = FindWindowA(window.windowClass, window.title);
        if (!found || !PostMessageA(found, window.message, 0, 0)) return false;
        return WaitForSingleObject(process.process(), kEndWaitMs) == WAIT_OBJECT_0;
    }

    std::string folder_;
    norvale::ProcessInfo launcher_, mail_, msg_, client_;
};

bool prepareFolder(const std::string& folder) {
    using norvale::testbed::binPath;
    return norvale::testbed::copyPrograms(folder, {kTool, kMail, kMsg, kClient, kIdle}) &&
           CopyFileA(binPath("taskctl-launcher-fixture.exe").c_str(),
                     (folder + "\\" + kLauncher).c_str(), FALSE);
}

}  // namespace

int main() {
    norvale::testbed::TempFolder folder("norvale bench taskctl");
    if (!folder.valid() || !prepareFolder(folder.path())) return 1;

    std::vector<double> toolTimes, baselineTimes;
    std::vector<std::string> failed;
    for (int round = 0; round < kRounds; ++round) {
        Scene toolScene(folder.path());
        if (!toolScene.start()) {
            failed.push_back("stand-ins did not get ready");
            toolScene.killAll();
            continue;
        }
        bench::TimedRun tool = bench::runTimed(folder.path(), kTool, "-f 31");
        std::string toolFailure;
        if (!tool.finished) toolFailure = "the tool did not end";
        else if (tool.exitCode != 0) toolFailure = "the tool ended with " + std::to_string(tool.exitCode);
        else if (!toolScene.allEnded()) toolFailure = "a process still ran after the tool";
        if (!toolScene.endRestartedLauncher() && toolFailure.empty())
            toolFailure = "the tool's restart of the launcher was not seen";
        toolScene.killAll();

        Scene handScene(folder.path());
        if (!handScene.start()) {
            failed.push_back("stand-ins did not get ready");
            handScene.killAll();
            continue;
        }
        double start = bench::nowMs();
        bench::TimedRun idle = bench::runTimed(folder.path(), kIdle, "");
        bool handOk = idle.finished && handScene.stopAndRestartByHand();
        double baseline = bench::nowMs() - start;
        handOk = handScene.endRestartedLauncher() && handOk;
        handScene.killAll();

        if (!toolFailure.empty() || !handOk) {
            failed.push_back(!toolFailure.empty() ? toolFailure : "the baseline's steps failed");
            continue;
        }
        toolTimes.push_back(tool.wallMs);
        baselineTimes.push_back(baseline);
    }

    bench::Summary tool = bench::summarize(toolTimes);
    bench::Summary base = bench::summarize(baselineTimes);
    double own = tool.median - base.median;
    const std::size_t failures = failed.size();
    std::string reasons;
    for (const std::string& reason : failed) reasons += (reasons.empty() ? " (" : "; ") + reason;
    if (!reasons.empty()) reasons += ")";
    double ownMin = tool.min - base.min;
    std::string judged = failures == 0 && tool.count > 0
                             ? bench::shareVerdict(own, ownMin, kTargetOwnShareMs)
                             : bench::verdict(false);
    bench::Table table({"measurement", "rounds", "median ms", "min", "max"});
    table.add({"`norvale-taskctl.exe -f 31`", std::to_string(tool.count), bench::fixed(tool.median),
               bench::fixed(tool.min), bench::fixed(tool.max)});
    table.add({"baseline: do-nothing program + the same stops, waits and restart done directly",
               std::to_string(base.count), bench::fixed(base.median), bench::fixed(base.min),
               bench::fixed(base.max)});
    bench::print("## Process control tool\n\n" + std::to_string(kRounds) +
                 " rounds. Each round starts the launcher stand-in, the mail proxy, message-log "
                 "and client stand-ins, waits until each is ready, and times the tool from just "
                 "before its start to its end; then starts them again and times the baseline. "
                 "The stand-ins end at once on their message, so the baseline is the time the "
                 "processes take to end plus the start of a program.\n\n" +
                 table.markdown() + "\nOwn share (tool - baseline): **" + bench::fixed(own) +
                 " ms** (target at most " + bench::fixed(kTargetOwnShareMs, 0) + " ms): " +
                 judged + "; from the minimums: " + bench::fixed(ownMin) +
                 " ms. Rounds that failed: " + std::to_string(failures) +
                 reasons + ".\n\n" +
                 bench::targetLine("Process control -f 31: beyond the processes' end",
                                   bench::fixed(own) + " ms (minimums " + bench::fixed(ownMin) + ")",
                                   "<= " + bench::fixed(kTargetOwnShareMs, 0) + " ms", judged) +
                 "\n");
    return failures == 0 ? 0 : 1;
}
