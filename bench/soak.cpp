#include "bench/soak.h"

#include "bench/report.h"

namespace bench {

namespace {

constexpr int kSteadyFrom = 10;

// "h 40/40/41, KiB 900/910/905" over the samples.
std::string seriesText(const std::vector<SoakSample>& series) {
    std::string handles, kib;
    for (const SoakSample& sample : series) {
        if (!handles.empty()) {
            handles += "/";
            kib += "/";
        }
        handles += sample.metrics.ok ? std::to_string(sample.metrics.handles) : "n/a";
        kib += sample.metrics.ok ? fixed(static_cast<double>(sample.metrics.privateBytes) / 1024.0, 0)
                                 : "n/a";
    }
    return "handles " + handles + ", KiB " + kib;
}

}  // namespace

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
    return soakTable(series, runLabel, std::string());
}

std::string soakTable(const std::vector<SoakSample>& series, const std::string& runLabel,
                      const std::string& targetName) {
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
           verdict(soakSteady(series)) + ".\n\n" +
           (targetName.empty() ? std::string()
                               : targetLine(targetName, seriesText(series),
                                            "no growth from the 10th " + runLabel + " on",
                                            soakSteady(series)));
}

}  // namespace bench
