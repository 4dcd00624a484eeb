// The launcher with instant stand-ins: the time from its start to the mail
// proxy's start, and the period between two proxy starts, each against a
// starter that runs the same children with the same pauses and nothing else
// (bench-starter). With "soak N" it supervises a proxy that ends at once for
// N restarts and reports what the launcher holds after restart 1, 10, 100.
//   bench-launcher timing | soak N
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/launcher_setup.h"
#include "bench/measure.h"
#include "bench/programs.h"
#include "bench/report.h"
#include "bench/soak.h"

namespace {

constexpr int kLauncherRuns = 7;
constexpr int kStartsPerRun = 3;
constexpr int kStarterRuns = 7;
constexpr int kPeriodStarterRuns = 2;
constexpr double kTargetStartShareMs = 50;
constexpr double kRestartPauseMs = 3000;
constexpr double kTargetPeriodMs = kRestartPauseMs + 100;
// Bound for one proxy start to appear: a few child runs plus the pause.
constexpr DWORD kStartWaitMs = 30000;
// Polling the journal in the soak: often enough to sample inside the pause,
// rarely enough to leave the machine to the launcher.
constexpr DWORD kSoakPollMs = 250;
// Sample a restart this long after the proxy's exit: the launcher is then in
// its 3000 ms pause.
constexpr DWORD kSampleDelayMs = 1000;

// The children the launcher runs before the first proxy start: bind check,
// normal redirector check, set-up processor, then the proxy.
constexpr char kFirstStartChildren[] =
    "norvale-linkprobe.exe norvale-linkprobe.exe norvale-sup-processor.exe norvale-mail.exe";
constexpr char kPeriodChildren[] = "--repeat 3 --pause 3000 norvale-sup-processor.exe norvale-mail.exe";

struct Timing {
    std::vector<double> firstStart;
    std::vector<double> periods;
    int failures = 0;
};

void measureLauncher(const bench::LauncherWorld& world, Timing& timing) {
    world.clearJournals();
    norvale::ProcessInfo launcher;
    std::int64_t startedAt = 0;
    bool ok = world.startLauncher(launcher, startedAt) &&
              bench::waitForEntries(world.journal("norvale-mail.exe"), "start", kStartsPerRun,
                                    kStartWaitMs * kStartsPerRun);
    world.stopLauncher(launcher);
    std::vector<std::int64_t> starts = world.mailStarts();
    if (!ok || starts.size() < kStartsPerRun) {
        ++timing.failures;
        return;
    }
    starts.resize(kStartsPerRun);
    timing.firstStart.push_back(static_cast<double>(starts.front() - startedAt));
    for (double period : bench::periods(starts)) timing.periods.push_back(period);
}

void measureStarter(const bench::LauncherWorld& world, const char* arguments, Timing& timing) {
    world.clearJournals();
    std::int64_t startedAt = bench::localTimeMs();
    bench::TimedRun run = bench::runTimed(world.folder(), bench::kStarterExe, arguments);
    std::vector<std::int64_t> starts = world.mailStarts();
    world.waitForProxyEnd();
    if (!run.finished || run.exitCode != 0 || starts.empty()) {
        ++timing.failures;
        return;
    }
    timing.firstStart.push_back(static_cast<double>(starts.front() - startedAt));
    for (double period : bench::periods(starts)) timing.periods.push_back(period);
}

std::string row(const char* name, const std::vector<double>& values) {
    bench::Summary s = bench::summarize(values);
    return std::string("| ") + name + " | " + std::to_string(s.count) + " | " +
           bench::fixed(s.median) + " | " + bench::fixed(s.min) + " | " + bench::fixed(s.max) +
           " |\n";
}

int timingRun(const bench::LauncherWorld& world) {
    Timing launcher, starter, periodStarter;
    for (int run = 0; run < kLauncherRuns; ++run) {
        measureLauncher(world, launcher);
        if (run < kStarterRuns) measureStarter(world, kFirstStartChildren, starter);
        if (run < kPeriodStarterRuns) measureStarter(world, kPeriodChildren, periodStarter);
    }
    double startShare = bench::median(launcher.firstStart) - bench::median(starter.firstStart);
    double startShareMin = bench::summarize(launcher.firstStart).min -
                           bench::summarize(starter.firstStart).min;
    double period = bench::median(launcher.periods);
    double periodShare = period - bench::median(periodStarter.periods);
    int failures = launcher.failures + starter.failures + periodStarter.failures;
    std::string startVerdict = failures == 0 ? bench::shareVerdict(startShare, startShareMin,
                                                                   kTargetStartShareMs)
                                             : bench::verdict(false);

    std::string text =
        "## Launcher\n\nThe real launcher (\"-registry\", installation flag \"yes\") in a program "
        "folder beside instant stand-ins: the link checker is played by a stand-in that answers "
        "0 at once (bind check and normal redirector check both run), the set-up processor "
        "ends at once, the mail proxy ends at once. Start times are the stand-ins' journal time "
        "stamps against the local time taken just before the start. " +
        std::to_string(kLauncherRuns) + " launcher runs of " + std::to_string(kStartsPerRun) +
        " proxy starts each. Baselines: `bench-starter`, which starts the same children in the "
        "same order through the launcher's own child starter (`startChildAndWait`) and does "
        "nothing else (" +
        std::to_string(kStarterRuns) + " runs), and the same with the set-up processor and the "
        "proxy repeated with the 3000 ms pause between (" +
        std::to_string(kPeriodStarterRuns) + " runs of 3).\n\n"
        "| measurement | count | median ms | min | max |\n|---|---|---|---|---|\n" +
        row("launcher: start to first proxy start", launcher.firstStart) +
        row("baseline: starter start to its proxy start", starter.firstStart) +
        row("launcher: period between proxy starts", launcher.periods) +
        row("baseline: starter period with the 3000 ms pause", periodStarter.periods) +
        "\nLauncher's own share of the start (launcher - baseline): **" +
        bench::fixed(startShare) + " ms** (target at most " + bench::fixed(kTargetStartShareMs, 0) +
        " ms): " + startVerdict + "; from the minimums: " + bench::fixed(startShareMin) + " ms.\n\nPeriod between two proxy starts: **" + bench::fixed(period) +
        " ms** (target at most " + bench::fixed(kTargetPeriodMs, 0) + " ms): " +
        bench::verdict(failures == 0 && period <= kTargetPeriodMs) +
        ". Of that, the launcher's own share (period - baseline period) is " +
        bench::fixed(periodShare) + " ms; the rest is the pause and the children's runs. "
        "Failed runs: " + std::to_string(failures) + ".\n\n" +
        bench::targetLine("Launcher start to proxy start: own share",
                          bench::fixed(startShare) + " ms (minimums " + bench::fixed(startShareMin) + ")",
                          "<= " + bench::fixed(kTargetStartShareMs, 0) + " ms", startVerdict) +
        bench::targetLine("Launcher period between proxy starts", bench::fixed(period) + " ms",
                          "<= " + bench::fixed(kTargetPeriodMs, 0) + " ms",
                          failures == 0 && period <= kTargetPeriodMs) +
        "\n";
    bench::print(text);
    return failures == 0 ? 0 : 1;
}

int soakRun(const bench::LauncherWorld& world, int restarts) {
    world.clearJournals();
    norvale::ProcessInfo launcher;
    std::int64_t startedAt = 0;
    if (!world.startLauncher(launcher, startedAt)) return 1;
    std::vector<bench::SoakSample> samples;
    bool ok = true;
    for (int restart : bench::samplePoints(restarts)) {
        // Restart n is the (n+1)th proxy run; sample once it has ended.
        std::size_t runs = static_cast<std::size_t>(restart) + 1;
        DWORD bound = kStartWaitMs + static_cast<DWORD>(restart) * 5000u;
        DWORD waitedFrom = GetTickCount();
        while (world.mailExits() < runs && GetTickCount() - waitedFrom < bound) Sleep(kSoakPollMs);
        if (world.mailExits() < runs) {
            ok = false;
            break;
        }
        Sleep(kSampleDelayMs);
        samples.push_back({restart, bench::sampleProcess(launcher.process())});
    }
    world.stopLauncher(launcher);
    bench::Summary period = bench::summarize(bench::periods(world.mailStarts()));
    std::string text =
        "### Launcher supervising a proxy that ends at once\n\n" + std::to_string(restarts) +
        " restarts requested, " + std::to_string(world.mailStarts().size()) +
        " proxy starts seen" + (ok ? "" : " (**the series stopped early**)") +
        ". Samples are taken 1000 ms after the proxy run ended, inside the launcher's pause.\n\n" +
        bench::soakTable(samples, "restart",
                          "Soak: launcher, " + std::to_string(restarts) + " restarts") + "Period between proxy starts over the soak: median " +
        bench::fixed(period.median) + " ms, min " + bench::fixed(period.min) + " ms, max " +
        bench::fixed(period.max) + " ms (" + std::to_string(period.count) + " periods).\n\n";
    if (!samples.empty() && samples.front().metrics.ok) {
        text += "<!-- launcher-private-bytes " + std::to_string(samples.front().metrics.privateBytes) +
                " -->\n\n";
    }
    bench::print(text);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    bench::LauncherWorld world;
    if (!world.ready()) {
        bench::print("## Launcher\n\nSet-up failed.\n\n");
        return 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "timing") == 0) return timingRun(world);
    if (argc == 3 && std::strcmp(argv[1], "soak") == 0) return soakRun(world, std::atoi(argv[2]));
    return 2;
}
