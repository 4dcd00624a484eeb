// Cost of readConfigFile on the user's norvale.conf against a plain
// std::getline loop over the same file, for the sample file and a file of
// 10,000 lines, in alternating rounds.
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "bench/report.h"
#include "bench/sample_conf.h"
#include "common/log_file.h"
#include "common/paths.h"
#include "config/launcher_config.h"
#include "tests/support/test_files.h"
#include "tests/support/user_state.h"

namespace {

constexpr int kRounds = 21;
constexpr double kRetiredRatio = 3.0;
constexpr std::size_t kLongFileLines = 10000;

struct Case {
    const char* name;
    std::string content;
    int readsPerRound;
};

// The baseline: every line read, its length summed so the loop is not
// optimised away.
double getlineRound(const std::string& path, int reads, std::size_t& sink) {
    double start = bench::nowMs();
    for (int i = 0; i < reads; ++i) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) sink += line.size();
    }
    return (bench::nowMs() - start) / reads;
}

double readConfigRound(int reads, std::size_t& sink) {
    double start = bench::nowMs();
    for (int i = 0; i < reads; ++i) {
        LauncherConfig config;
        sink += static_cast<std::size_t>(readConfigFile(&config)) + config.redirectedPorts.size();
    }
    return (bench::nowMs() - start) / reads;
}

struct Result {
    bench::Summary read;
    bench::Summary baseline;
};

Result measure(const Case& item, const std::string& path) {
    std::vector<double> reads, lines;
    std::size_t sink = 0;
    for (int round = 0; round < kRounds; ++round) {
        if (round % 2 == 0) {
            reads.push_back(readConfigRound(item.readsPerRound, sink));
            lines.push_back(getlineRound(path, item.readsPerRound, sink));
        } else {
            lines.push_back(getlineRound(path, item.readsPerRound, sink));
            reads.push_back(readConfigRound(item.readsPerRound, sink));
        }
    }
    return {bench::summarize(reads), bench::summarize(lines)};
}

}  // namespace

int main() {
    if (!norvale::testbed::resetUserState()) return 1;
    const std::string path = userFilePath(kConfFileName);
    norvale::testbed::createFolders(userNorvaleFolder());

    std::vector<Case> cases = {
        {"sample norvale.conf", bench::kSampleConf, 200},
        {"10,000-line file", bench::stretchedConf(kLongFileLines), 5},
    };
    bench::Table table({"file", "lines", "log", "`readConfigFile` ms", "getline loop ms", "ratio"});
    // First with the log not open, which leaves the reader's own work; then
    // as the launcher runs it, its log open (each read writes the path line).
    // In this order because an opened log cannot be made unopened again.
    for (bool logOpen : {false, true}) {
        if (logOpen) g_log.open(userFilePath("bench-config.log").c_str());
        for (const Case& item : cases) {
            if (!norvale::testbed::writeWholeFile(path, item.content)) return 1;
            Result result = measure(item, path);
            table.add({item.name, std::to_string(bench::countLines(item.content)),
                       logOpen ? "open (as in the launcher)" : "not open",
                       bench::fixed(result.read.median, 3), bench::fixed(result.baseline.median, 3),
                       bench::ratioText(result.read.median, result.baseline.median)});
        }
    }
    norvale::testbed::resetUserState();
    bench::print("## Configuration reader\n\n" + std::to_string(kRounds) +
                 " alternating rounds; each round reads the file 200 times (sample) or 5 times "
                 "(10,000 lines) with `readConfigFile` (into a fresh `LauncherConfig`, from the "
                 "user's product folder) and with an `std::ifstream`/`std::getline` loop that "
                 "sums the line lengths; median per-read time over the rounds. `readConfigFile` "
                 "writes one log line per read (the file's path), as it does in the launcher; "
                 "the rows with the log not open show the reader without that line. The ratios "
                 "are information; the former goal of at most " + bench::fixed(kRetiredRatio, 1) +
                 "x is retired.\n\n" +
                 table.markdown() + "\n");
    return 0;
}
