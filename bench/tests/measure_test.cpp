// The numbers the benchmarks report rest on these helpers: a wrong median,
// a journal time on another scale than the benchmark's clock, or a process
// metric that Wine does not fill would make every table wrong silently.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "bench/measure.h"
#include "bench/soak.h"
#include "common/handles.h"
#include "tests/standins/journal/journal.h"
#include "tests/support/test_files.h"

namespace {

TEST(BenchStatistics, MedianAndSummary) {
    struct Case {
        std::vector<double> values;
        double median, min, max;
    };
    const Case cases[] = {
        {{5}, 5, 5, 5},
        {{9, 1, 5}, 5, 1, 9},
        {{4, 1, 3, 2}, 2.5, 1, 4},
        {{7, 7, 7, 100}, 7, 7, 100},
    };
    for (const Case& c : cases) {
        bench::Summary s = bench::summarize(c.values);
        EXPECT_EQ(s.count, c.values.size());
        EXPECT_DOUBLE_EQ(s.median, c.median);
        EXPECT_DOUBLE_EQ(s.min, c.min);
        EXPECT_DOUBLE_EQ(s.max, c.max);
    }
    EXPECT_EQ(bench::summarize({}).count, 0u);
    EXPECT_DOUBLE_EQ(bench::median({}), 0);
}

TEST(BenchJournalTime, ParsesOnlyWholeTimeStamps) {
    std::int64_t ms = 0;
    EXPECT_TRUE(bench::parseJournalTime("2005-01-12 19:29:30.123", ms));
    for (const char* bad : {"", "2005-01-12 19:29:30", "2005-01-12 19:29:30.123x",
                            "2005-13-12 19:29:30.123", "2005-01-12 24:00:00.000",
                            "12:00:00.000"}) {
        EXPECT_FALSE(bench::parseJournalTime(bad, ms)) << bad;
    }
}

TEST(BenchJournalTime, DifferencesSpanMidnightAndMonths) {
    struct Case {
        const char* earlier;
        const char* later;
        std::int64_t difference;
    };
    const Case cases[] = {
        {"2005-01-12 19:29:30.123", "2005-01-12 19:29:30.124", 1},
        {"2005-01-12 23:59:59.999", "2005-01-13 00:00:00.000", 1},
        {"2005-01-31 23:59:58.500", "2005-02-01 00:00:01.500", 3000},
        {"2004-12-31 23:59:59.000", "2005-01-01 00:00:00.000", 1000},
    };
    for (const Case& c : cases) {
        std::int64_t a = 0, b = 0;
        ASSERT_TRUE(bench::parseJournalTime(c.earlier, a));
        ASSERT_TRUE(bench::parseJournalTime(c.later, b));
        EXPECT_EQ(b - a, c.difference) << c.earlier << " -> " << c.later;
    }
}

// A stand-in's journal line and the benchmark's own clock must be on one
// scale: the launcher's start-up time is the difference of the two.
TEST(BenchJournalTime, JournalLinesShareTheBenchmarkClock) {
    norvale::testbed::TempFolder folder("norvale bench clock");
    ASSERT_TRUE(folder.valid());
    std::string journal = folder.file("clock.journal");
    std::int64_t before = bench::localTimeMs();
    ASSERT_TRUE(standin::appendJournal(journal, "start", "clock"));
    std::int64_t after = bench::localTimeMs();

    std::vector<standin::JournalEntry> entries = standin::readJournal(journal);
    ASSERT_EQ(entries.size(), 1u);
    std::int64_t written = 0;
    ASSERT_TRUE(bench::parseJournalTime(entries[0].time, written));
    EXPECT_GE(written, before);
    EXPECT_LE(written, after);
}

TEST(BenchProcessMetrics, HandleCountFollowsOpenHandles) {
    constexpr int kOpened = 16;
    bench::ProcessMetrics before = bench::sampleProcess(GetCurrentProcess());
    ASSERT_TRUE(before.ok);
    std::vector<norvale::KernelHandle> events;
    for (int i = 0; i < kOpened; ++i) events.emplace_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    bench::ProcessMetrics during = bench::sampleProcess(GetCurrentProcess());
    events.clear();
    bench::ProcessMetrics after = bench::sampleProcess(GetCurrentProcess());
    ASSERT_TRUE(during.ok && after.ok);
    EXPECT_EQ(during.handles, before.handles + kOpened);
    EXPECT_EQ(after.handles, before.handles);
}

TEST(BenchProcessMetrics, PrivateBytesFollowCommittedMemory) {
    constexpr SIZE_T kBytes = 16 * 1024 * 1024;
    bench::ProcessMetrics before = bench::sampleProcess(GetCurrentProcess());
    char* block = static_cast<char*>(VirtualAlloc(nullptr, kBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(block, nullptr);
    for (SIZE_T offset = 0; offset < kBytes; offset += 4096) block[offset] = 1;
    bench::ProcessMetrics during = bench::sampleProcess(GetCurrentProcess());
    VirtualFree(block, 0, MEM_RELEASE);
    ASSERT_TRUE(before.ok && during.ok);
    EXPECT_GE(during.privateBytes, before.privateBytes + kBytes / 2);
}

// Another process's figures, as the launcher soak reads them.
TEST(BenchProcessMetrics, AnotherProcessIsMeasured) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string path = norvale::testbed::binPath("bench-idle.exe");
    std::string line = "bench-idle.exe";
    // The do-nothing program, suspended so that it lives to be measured.
    ASSERT_TRUE(CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &info));
    norvale::ProcessInfo child;
    child.adopt(info);
    bench::ProcessMetrics metrics = bench::sampleProcess(child.process());
    TerminateProcess(child.process(), 0);
    WaitForSingleObject(child.process(), 10000);
    ASSERT_TRUE(metrics.ok);
    EXPECT_GT(metrics.handles, 0u);
}

bench::ProcessMetrics metric(DWORD handles, std::uint64_t bytes) { return {true, handles, bytes}; }

TEST(BenchSoak, GrowthJudgement) {
    const bench::GrowthLimit limit = {3, 1000};
    struct Case {
        const char* name;
        std::vector<bench::ProcessMetrics> series;
        bool steady;
    };
    const Case cases[] = {
        {"flat", {metric(40, 5000), metric(40, 5000), metric(40, 5000)}, true},
        {"noise within the allowance", {metric(40, 5000), metric(43, 6000), metric(41, 5500)}, true},
        {"memory going down", {metric(40, 5000), metric(40, 100)}, true},
        {"handles beyond", {metric(40, 5000), metric(44, 5000)}, false},
        {"bytes beyond", {metric(40, 5000), metric(40, 6001)}, false},
        {"a failed sample", {metric(40, 5000), bench::ProcessMetrics{}}, false},
        {"no samples", {}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(bench::withinGrowth(c.series, limit), c.steady) << c.name;
}

TEST(BenchSoak, SamplePoints) {
    struct Case {
        int runs;
        std::vector<int> points;
    };
    const Case cases[] = {
        {1, {1}},          {5, {1, 5}},          {10, {1, 10}},
        {100, {1, 10, 100}}, {150, {1, 10, 100, 150}}, {1000, {1, 10, 100, 1000}},
        {0, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(bench::samplePoints(c.runs), c.points) << c.runs;
}

// The first runs load libraries once: growth before the 10th run is not a
// leak, growth after it is.
TEST(BenchSoak, JudgedFromTheTenthRunOn) {
    const auto big = bench::kSoakNoise.privateBytes * 4;
    std::vector<bench::SoakSample> warmUp = {
        {1, metric(30, 1000000)}, {10, metric(40, 1000000 + big)}, {100, metric(40, 1000000 + big)}};
    EXPECT_TRUE(bench::soakSteady(warmUp));
    std::vector<bench::SoakSample> leak = {
        {1, metric(30, 1000000)}, {10, metric(40, 1000000)}, {100, metric(40 + 90, 1000000)}};
    EXPECT_FALSE(bench::soakSteady(leak));
    std::vector<bench::SoakSample> shortSeries = {{1, metric(30, 1000)}, {5, metric(60, 1000)}};
    EXPECT_FALSE(bench::soakSteady(shortSeries));
}

}  // namespace
