// Soak of the link checker: one mode run many times in one process through
// the program's own entry, or the program started many times through the
// launcher's child starter; handle count and private bytes of this process
// after run 1, 10, 100 and 1000.
//   bench-probe-soak free|taken|lsp|fus|started RUNS
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/programs.h"
#include "bench/report.h"
#include "bench/soak.h"
#include "common/child_process.h"
#include "common/paths.h"
#include "linkprobe/linkprobe_entry.h"
#include "tests/support/test_files.h"

namespace {

// Ports of each series, apart from the timing benchmark's and each other's,
// since the series run side by side.
constexpr int kFreePort = 39201;
constexpr int kTakenPort = 39202;
constexpr int kDivertedPort = 39203;
constexpr int kProxyPort = 39204;
constexpr int kOutsidePort = 39205;
constexpr int kStartedPort = 39206;

struct Series {
    const char* name;
    const char* title;
    std::vector<std::string> arguments;  // after the program name
    int expectedCode;
};

bool findSeries(const char* name, Series& series) {
    const std::vector<Series> all = {
        {"free", "`-bindcheck`, address free, in one process",
         {"-bindcheck", "127.0.0.1", std::to_string(kFreePort)}, 0},
        {"taken", "`-bindcheck`, address taken, in one process",
         {"-bindcheck", "127.0.0.1", std::to_string(kTakenPort)}, 1},
        {"lsp", "`-lspcheck`, healthy redirector, in one process",
         {"-lspcheck", std::to_string(kDivertedPort), std::to_string(kProxyPort), "127.0.0.1"}, 0},
        {"fus", "`-lspcheckfus`, in one process",
         {"-lspcheckfus", "1.1.1.1", std::to_string(kOutsidePort)}, 0},
        {"started", "`norvale-linkprobe.exe -bindcheck` started by the launcher's child starter",
         {"-bindcheck", "127.0.0.1", std::to_string(kStartedPort)}, 0},
    };
    for (const Series& candidate : all) {
        if (std::strcmp(candidate.name, name) == 0) {
            series = candidate;
            return true;
        }
    }
    return false;
}

// The peers a series needs, held for the whole series.
struct Peers {
    std::unique_ptr<bench::Acceptor> acceptor;
    norvale::ProcessInfo redirector;
    ~Peers() {
        if (redirector.valid()) bench::killProcess(redirector.process());
    }
};

bool startPeers(const Series& series, Peers& peers) {
    if (std::strcmp(series.name, "taken") == 0) {
        peers.acceptor.reset(new bench::Acceptor("127.0.0.1", kTakenPort));
        return peers.acceptor->listening();
    }
    if (std::strcmp(series.name, "fus") == 0) {
        peers.acceptor.reset(new bench::Acceptor("1.1.1.1", kOutsidePort));
        return peers.acceptor->listening();
    }
    if (std::strcmp(series.name, "lsp") == 0) {
        const char* readyName = "norvale-bench-soak-redirector-ready";
        norvale::KernelHandle ready(CreateEventA(nullptr, TRUE, FALSE, readyName));
        std::string arguments = std::to_string(kDivertedPort) + " 127.0.0.1 " +
                                std::to_string(kProxyPort) + " 168 --ready " + readyName +
                                " --lifetime 36000000";
        return ready &&
               bench::startProgram(norvale::testbed::testBinFolder(), "redirector-standin.exe",
                                   arguments, true, bench::Output::Discard, peers.redirector) &&
               WaitForSingleObject(ready.get(), 10000) == WAIT_OBJECT_0;
    }
    return true;
}

// One run of the link checker's entry with a fresh argument vector, as the
// program's main gets it.
int runEntry(const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {"norvale-linkprobe.exe"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    return linkprobeMain(static_cast<int>(words.size()), argv.data());
}

int runStarted(const std::vector<std::string>& arguments) {
    std::string line = kLinkProbeExe;
    for (const std::string& word : arguments) line += " " + word;
    return runLinkProbe(line);
}

}  // namespace

int main(int argc, char** argv) {
    Series series;
    if (argc != 3 || !findSeries(argv[1], series)) return 2;
    const int runs = std::atoi(argv[2]);
    if (runs < 1 || !setCurrentDir()) return 2;
    Peers peers;
    if (!startPeers(series, peers)) {
        bench::print(std::string("### ") + series.title + "\n\nSet-up failed.\n\n");
        return 1;
    }
    const bool started = std::strcmp(series.name, "started") == 0;
    std::vector<int> points = bench::samplePoints(runs);
    std::vector<bench::SoakSample> samples;
    int wrongCodes = 0;
    std::size_t next = 0;
    for (int run = 1; run <= runs; ++run) {
        int code = started ? runStarted(series.arguments) : runEntry(series.arguments);
        if (code != series.expectedCode) ++wrongCodes;
        if (next < points.size() && run == points[next]) {
            samples.push_back({run, bench::sampleProcess(GetCurrentProcess())});
            ++next;
        }
    }
    std::string text = std::string("### ") + series.title + "\n\n" + std::to_string(runs) +
                       " runs, " + std::to_string(wrongCodes) + " with an unexpected exit code.\n\n" +
                       bench::soakTable(samples, "run", std::string("Soak: ") + series.title + ", " +
                                                      std::to_string(runs) + " runs");
    bench::print(text);
    return wrongCodes == 0 ? 0 : 1;
}
