// Timing, statistics and process metrics shared by the benchmark programs.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Milliseconds from a monotonic high-resolution clock.
double nowMs();

// Milliseconds of a local wall-clock time, on the same scale as the stand-ins'
// journal time stamps (both come from GetLocalTime), so a time taken here and
// a journal line can be subtracted.
std::int64_t localTimeMs();
std::int64_t systemTimeMs(const SYSTEMTIME& time);

// "YYYY-MM-DD HH:MM:SS.mmm" (a journal time stamp) in the scale of
// localTimeMs; false when the text is not such a time stamp.
bool parseJournalTime(const std::string& text, std::int64_t& ms);

// Summary of repeated measurements of one quantity.
struct Summary {
    std::size_t count = 0;
    double median = 0;
    double min = 0;
    double max = 0;
};
Summary summarize(std::vector<double> values);
double median(std::vector<double> values);

// What a process holds, as the system reports it.
struct ProcessMetrics {
    bool ok = false;
    DWORD handles = 0;
    std::uint64_t privateBytes = 0;
};
ProcessMetrics sampleProcess(HANDLE process);

// Judgement of a soak series: the samples after the first must not grow
// beyond the allowance over the first of them (handles and bytes apart).
struct GrowthLimit {
    DWORD handles;
    std::uint64_t privateBytes;
};
bool withinGrowth(const std::vector<ProcessMetrics>& series, GrowthLimit limit);

}  // namespace bench
