#include "bench/soak.h"

#include "bench/report.h"

namespace bench {

namespace {
constexpr int kSteadyFrom = 10;
}

std::vector<int> samplePoints(int runs) {
    std::vector<int> points;
    for (int point : {1, 10, 100, 1000}) {
        if (point <= runs) points.push_back(point);
    }
    if (runs > 0 && (points.empty() || points.back() != runs)) points.push_back(runs);
    return points;
}

bool soakSteady(const std::vector<SoakSample>& series) {
    std::vector<ProcessMetrics> judged;
    bool steadyStarted = false;
    for (const SoakSample& sample : series) {
        if (sample.run >= kSteadyFrom) steadyStarted = true;
        if (steadyStarted) judged.push_back(sample.metrics);
    }
    if (judged.empty()) {
        for (const SoakSample& sample : series) judged.push_back(sample.metrics);
    }
    return withinGrowth(judged, kSoakNoise);
}

std::string soakTable(const std::vector<SoakSample>& series, const std::string& runLabel) {
    Table table({runLabel, "handles", "private bytes", "private KiB"});
    for (const SoakSample& sample : series) {
        if (!sample.metrics.ok) {
            table.add({std::to_string(sample.run), "n/a", "n/a", "n/a"});
            continue;
        }
        table.add({std::to_string(sample.run), std::to_string(sample.metrics.handles),
                   std::to_string(sample.metrics.privateBytes),
                   fixed(static_cast<double>(sample.metrics.privateBytes) / 1024.0, 0)});
    }
    return table.markdown() + "\nSteady (growth from the 10th " + runLabel + " on within " +
           std::to_string(kSoakNoise.handles) + " handles and " +
           std::to_string(kSoakNoise.privateBytes / 1024) + " KiB): " +
           verdict(soakSteady(series)) + ".\n\n";
}

}  // namespace bench
