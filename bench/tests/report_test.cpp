// The report's tables and the configuration files the reader is measured on.
#include <gtest/gtest.h>

#include <string>

#include "bench/report.h"
#include "bench/sample_conf.h"
#include "common/paths.h"
#include "config/launcher_config.h"
#include "tests/support/test_files.h"
#include "tests/support/user_state.h"

namespace {

TEST(BenchReport, TableIsMarkdownWithPaddedRows) {
    bench::Table table({"a", "b", "c"});
    table.add({"1", "2", "3"});
    table.add({"only"});
    EXPECT_EQ(table.markdown(),
              "| a | b | c |\n"
              "|---|---|---|\n"
              "| 1 | 2 | 3 |\n"
              "| only |  |  |\n");
}

TEST(BenchReport, NumbersAndVerdicts) {
    EXPECT_EQ(bench::fixed(1.25, 2), "1.25");
    EXPECT_EQ(bench::fixed(2.0 / 3.0, 1), "0.7");
    EXPECT_EQ(bench::ratioText(3, 2), "1.50x");
    EXPECT_EQ(bench::ratioText(3, 0), "n/a");
    EXPECT_EQ(bench::verdict(true), "met");
    EXPECT_EQ(bench::verdict(false), "**missed**");
}

// A share is judged on the medians and on the minimums; when the two
// disagree the machine's noise is larger than the margin.
TEST(BenchReport, ShareVerdicts) {
    struct Case {
        double median, minimum;
        const char* verdict;
    };
    const Case cases[] = {
        {40, 20, "met"},
        {50, 50, "met"},
        {60, 55, "**missed**"},
        {60, 30, "**inconclusive**"},
        {-200, 170, "**inconclusive**"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bench::shareVerdict(c.median, c.minimum, 50), c.verdict)
            << c.median << " / " << c.minimum;
    }
}

TEST(BenchConfFiles, LineCounts) {
    EXPECT_EQ(bench::countLines(""), 0u);
    EXPECT_EQ(bench::countLines("a"), 1u);
    EXPECT_EQ(bench::countLines("a\n"), 1u);
    EXPECT_EQ(bench::countLines("a\n\nb"), 3u);
    for (std::size_t lines : {8u, 100u, 10000u}) {
        std::string text = bench::stretchedConf(lines);
        EXPECT_EQ(bench::countLines(text), lines);
        EXPECT_EQ(text.substr(text.size() - std::string(kConfEndMarker).size() - 1),
                  std::string(kConfEndMarker) + "\n");
    }
}

// The reader must take the benchmark's files as valid ones, or the benchmark
// would time an error path.
class BenchConfRead : public norvale::testbed::FreshUserTest {
protected:
    LauncherConfig read(const std::string& text) {
        EXPECT_TRUE(norvale::testbed::createFolders(userNorvaleFolder()));
        EXPECT_TRUE(norvale::testbed::writeWholeFile(userFilePath(kConfFileName), text));
        LauncherConfig config;
        EXPECT_EQ(readConfigFile(&config), 1);
        return config;
    }
};

TEST_F(BenchConfRead, SampleGivesEveryLauncherKey) {
    LauncherConfig config = read(bench::kSampleConf);
    EXPECT_EQ(config.listenPort, 3887);
    EXPECT_EQ(config.listenHost, "127.0.0.1");
    EXPECT_EQ(config.redirectedPorts, (PortList{25, 110, 143, 587}));
    EXPECT_EQ(config.ignoredApplications,
              (AppList{"norvale-mail.exe", "norvale-linkprobe.exe", "outlook.exe"}));
    EXPECT_EQ(config.notRedirectedApplications, (AppList{"svchost.exe", "lsass.exe"}));
}

TEST_F(BenchConfRead, StretchedFileIsReadToItsEnd) {
    // 9,999 lines of 58-line copies: copy 172 starts at line 9977 and gets
    // to its address line (its 7th) before the end marker.
    LauncherConfig config = read(bench::stretchedConf(10000));
    EXPECT_EQ(config.listenPort, 4000 + 172);
    EXPECT_EQ(config.redirectedPorts, (PortList{25, 110, 143, 587}));
    EXPECT_EQ(config.notRedirectedApplications, (AppList{"svchost.exe", "lsass.exe"}));
}

}  // namespace
