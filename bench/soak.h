// Soak series: what a process holds after given numbers of runs, and the
// judgement whether it grew.
#pragma once

#include <string>
#include <vector>

#include "bench/measure.h"

namespace bench {

// Growth beyond this, between the sample after the 10th run and the last
// one, counts as a leak: one handle or a few hundred bytes per run over 90
// or 990 runs stand out clearly above it.
constexpr GrowthLimit kSoakNoise = {3, 64 * 1024};

// The run numbers sampled for a series of `runs` runs: 1, 10, 100, 1000 as
// far as they go, and the last run.
std::vector<int> samplePoints(int runs);

struct SoakSample {
    int run = 0;
    ProcessMetrics metrics;
};

// Judged from the sample after the 10th run on (the first runs load
// libraries and fill caches once); a series shorter than that is judged
// from its first sample.
bool soakSteady(const std::vector<SoakSample>& series);

// Markdown table of a series with its verdict line; with a target name also
// the target line for the summary.
std::string soakTable(const std::vector<SoakSample>& series, const std::string& runLabel);
std::string soakTable(const std::vector<SoakSample>& series, const std::string& runLabel,
                      const std::string& targetName);

}  // namespace bench
