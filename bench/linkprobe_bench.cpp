// Wall time of each link checker mode, started as the launcher starts it,
// against a program that does nothing started the same way. What a mode
// costs beyond that start and beyond the pause its Winsock clean-up
// prescribes is the link checker's own share.
#include <windows.h>

#include <string>
#include <vector>

#include "bench/measure.h"
#include "bench/programs.h"
#include "bench/report.h"
#include "tests/support/test_files.h"

namespace {

constexpr int kRounds = 20;
constexpr double kCleanupPauseMs = 200;
constexpr double kTargetOwnShareMs = 50;
constexpr char kProbe[] = "norvale-linkprobe.exe";
constexpr char kIdle[] = "bench-idle.exe";
constexpr char kIdleDlls[] = "bench-idle-dlls.exe";

// Ports of the benchmark's own, inside the private network namespace.
constexpr int kFreePort = 39101;
constexpr int kTakenPort = 39102;
constexpr int kDivertedPort = 39103;
constexpr int kProxyPort = 39104;
constexpr int kOutsidePort = 39105;

struct Mode {
    const char* name;
    std::string arguments;
    int expectedCode;
    int cleanupPauses;
    std::vector<double> times;
    int wrongCodes = 0;
};

// The redirector stand-in, healthy: every diverted connection is answered
// with the 168-byte block at the mail proxy's address.
class HealthyRedirector {
public:
    HealthyRedirector() {
        const char* readyName = "norvale-bench-redirector-ready";
        norvale::KernelHandle ready(CreateEventA(nullptr, TRUE, FALSE, readyName));
        std::string arguments = std::to_string(kDivertedPort) + " 127.0.0.1 " +
                                std::to_string(kProxyPort) + " 168 --ready " + readyName +
                                " --lifetime 3600000";
        ready_ = ready && bench::startProgram(norvale::testbed::testBinFolder(),
                                              "redirector-standin.exe", arguments, true,
                                              bench::Output::Discard, process_) &&
                 WaitForSingleObject(ready.get(), 10000) == WAIT_OBJECT_0;
    }
    ~HealthyRedirector() {
        if (process_.valid()) bench::killProcess(process_.process());
    }
    bool ready() const { return ready_; }

private:
    norvale::ProcessInfo process_;
    bool ready_ = false;
};

}  // namespace

int main() {
    const std::string bin = norvale::testbed::testBinFolder();
    bench::Acceptor taken("127.0.0.1", kTakenPort);
    bench::Acceptor outside("1.1.1.1", kOutsidePort);
    HealthyRedirector redirector;
    if (!taken.listening() || !outside.listening() || !redirector.ready()) {
        bench::print("## Link checker\n\nSet-up failed: a listener or the redirector stand-in "
                     "could not start (is the run inside the private network namespace?).\n\n");
        return 1;
    }

    const std::string port = std::to_string(kFreePort);
    std::vector<Mode> modes = {
        {"`-bindcheck`, address free", "-bindcheck 127.0.0.1 " + port, 0, 1, {}},
        {"`-bindcheck`, address taken", "-bindcheck 127.0.0.1 " + std::to_string(kTakenPort), 1,
         1, {}},
        {"`-lspcheck`, healthy redirector",
         "-lspcheck " + std::to_string(kDivertedPort) + " " + std::to_string(kProxyPort) +
             " 127.0.0.1",
         0, 1, {}},
        {"`-lspcheckfus`", "-lspcheckfus 1.1.1.1 " + std::to_string(kOutsidePort), 0, 1, {}},
    };
    std::vector<double> idle, idleDlls;
    int idleFailures = 0;
    for (int round = 0; round < kRounds; ++round) {
        bench::TimedRun baseline = bench::runTimed(bin, kIdle, "");
        if (baseline.finished && baseline.exitCode == 0) idle.push_back(baseline.wallMs);
        else ++idleFailures;
        bench::TimedRun withDlls = bench::runTimed(bin, kIdleDlls, "");
        if (withDlls.finished && withDlls.exitCode == 0) idleDlls.push_back(withDlls.wallMs);
        else ++idleFailures;
        for (Mode& mode : modes) {
            bench::TimedRun run = bench::runTimed(bin, kProbe, mode.arguments);
            if (!run.finished || run.exitCode != mode.expectedCode) {
                ++mode.wrongCodes;
                continue;
            }
            mode.times.push_back(run.wallMs);
        }
    }

    bench::Summary base = bench::summarize(idle);
    std::string targets;
    bench::Summary dlls = bench::summarize(idleDlls);
    bench::Table table({"mode", "runs", "median ms", "min", "max", "prescribed pauses ms",
                        "own share ms (medians)", "own share ms (minimums)",
                        "beyond do-nothing with the same DLLs ms (medians)", "verdict"});
    table.add({"do-nothing program (baseline)", std::to_string(base.count),
               bench::fixed(base.median), bench::fixed(base.min), bench::fixed(base.max), "0", "",
               "", "", ""});
    table.add({"do-nothing program with the link checker's DLLs (information)",
               std::to_string(dlls.count), bench::fixed(dlls.median), bench::fixed(dlls.min),
               bench::fixed(dlls.max), "0", bench::fixed(dlls.median - base.median),
               bench::fixed(dlls.min - base.min), "", ""});
    for (const Mode& mode : modes) {
        bench::Summary s = bench::summarize(mode.times);
        double pauses = kCleanupPauseMs * mode.cleanupPauses;
        double own = s.median - base.median - pauses;
        double ownMin = s.min - base.min - pauses;
        std::string judged = mode.wrongCodes == 0 && s.count > 0
                                 ? bench::shareVerdict(own, ownMin, kTargetOwnShareMs)
                                 : bench::verdict(false);
        targets += bench::targetLine(std::string("Link checker ") + mode.name +
                                         ": own share beyond start and pauses",
                                     bench::fixed(own) + " ms (minimums " + bench::fixed(ownMin) + ")",
                                     "<= " + bench::fixed(kTargetOwnShareMs, 0) + " ms", judged);
        table.add({mode.name, std::to_string(s.count), bench::fixed(s.median), bench::fixed(s.min),
                   bench::fixed(s.max), bench::fixed(pauses, 0), bench::fixed(own),
                   bench::fixed(ownMin),
                   bench::fixed(s.median - dlls.median - pauses),
                   judged +
                       (mode.wrongCodes ? " (" + std::to_string(mode.wrongCodes) +
                                              " runs with a wrong exit code)"
                                        : "")});
    }
    std::string text =
        "## Link checker\n\n" + std::to_string(kRounds) +
        " rounds; each round starts the do-nothing program and then `norvale-linkprobe.exe` in "
        "each mode with `CreateProcessA` from the build's program folder and waits for the end "
        "(wall time from just before the start to the end of the wait). Own share = median of "
        "the mode - median of the do-nothing program - the prescribed pauses (one Winsock "
        "clean-up of 200 ms per mode; every mode runs one check). Target: own share at most " +
        bench::fixed(kTargetOwnShareMs, 0) +
        " ms, judged on the medians and on the minimums (inconclusive when they disagree); the minimums (the least disturbed runs) and the "
        "comparison with a do-nothing program that loads the same system DLLs are given for "
        "reading the numbers. Peers: a listener of the benchmark on the taken address, the redirector stand-in "
        "answering with the 168-byte block for `-lspcheck`, and a listener on 1.1.1.1 for "
        "`-lspcheckfus`.\n\n" +
        table.markdown() + "\n" + targets + "\n";
    if (idleFailures) text += "Do-nothing runs that failed: " + std::to_string(idleFailures) + "\n\n";
    bench::print(text);
    return 0;
}
