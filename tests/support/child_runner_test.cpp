#include "tests/support/child_runner.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "tests/support/test_files.h"

using namespace norvale::testbed;

namespace {

std::string boxer() { return binPath("boxer.exe"); }

// Collects the failures a helper reports, so a test can check that it did.
class CapturedFailures {
public:
    CapturedFailures()
        : reporter_(::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD,
                    &results_) {}
    int count() const { return results_.size(); }
    std::string first() const { return count() ? results_.GetTestPartResult(0).message() : ""; }

private:
    ::testing::TestPartResultArray results_;
    ::testing::ScopedFakeTestPartResultReporter reporter_;
};

}  // namespace

// Exit codes arrive whole and signed, including the ones a Linux parent
// would cut to 8 bits and STILL_ACTIVE (259), which a runner that reads the
// code before the end would confuse with "still running".
TEST(ChildRunner, ReturnsFullSignedExitCodes) {
    const struct {
        const char* argument;
        int expected;
    } cases[] = {
        {"0", 0},           {"1", 1},          {"-3", -3},
        {"-1", -1},         {"256", 256},      {"259", 259},
        {"0x80004005", static_cast<int>(0x80004005u)},
        {"2147483647", 2147483647},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        ChildResult result = runChild(boxer(), std::string("exit ") + c.argument);
        EXPECT_TRUE(result.started);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(c.expected, result.exitCode);
    }
}

TEST(ChildRunner, KillsAChildThatRunsTooLongAndReportsIt) {
    const DWORD bound = 500;
    ChildResult result;
    CapturedFailures failures;
    result = runChild(boxer(), "sleep 60000", {}, bound);
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.timedOut);
    EXPECT_GE(result.elapsedMs, bound);
    EXPECT_LT(result.elapsedMs, bound + 5000);
    EXPECT_EQ(1, failures.count());
    EXPECT_NE(std::string::npos, failures.first().find("sleep 60000")) << failures.first();
}

TEST(ChildRunner, ReportsAProgramThatCannotStart) {
    ChildResult result;
    CapturedFailures failures;
    result = runChild(binPath("no-such-program.exe"), "");
    EXPECT_FALSE(result.started);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), result.startError);
    EXPECT_EQ(1, failures.count());
}

// The child runs in the chosen folder and gets its own name as first word,
// also from a folder whose name holds a blank.
TEST(ChildRunner, PassesCommandLineAndCurrentDirectory) {
    TempFolder folder;
    ASSERT_TRUE(folder.valid());
    ASSERT_TRUE(copyPrograms(folder.path(), {"boxer.exe"}));
    ChildResult result = runChild(folder.file("boxer.exe"), "record seen.txt", folder.path());
    EXPECT_EQ(0, result.exitCode);
    EXPECT_EQ(std::optional<std::string>("boxer.exe record seen.txt"),
              readWholeFile(folder.file("seen.txt")));
}

TEST(ChildRunner, CommandLineQuotesANameWithBlanks) {
    EXPECT_EQ("boxer.exe", childCommandLine("C:\\a b\\boxer.exe", ""));
    EXPECT_EQ("\"my tool.exe\" -f 3", childCommandLine("C:\\x\\my tool.exe", "-f 3"));
}

TEST(RunningChild, WaitsWithABoundTerminatesAndReadsTheCode) {
    RunningChild child;
    ASSERT_TRUE(child.start(boxer(), "sleep 60000"));
    EXPECT_NE(0u, child.processId());
    EXPECT_FALSE(child.waitFor(100));
    EXPECT_FALSE(child.hasExited());
    ASSERT_TRUE(child.terminate(1234));
    EXPECT_TRUE(child.hasExited());
    EXPECT_EQ(1234, child.exitCode());
}

TEST(RunningChild, OwnerKillsAChildThatStillRuns) {
    norvale::KernelHandle process;
    {
        RunningChild child;
        ASSERT_TRUE(child.start(boxer(), "sleep 60000"));
        process.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE,
                                  child.processId()));
        ASSERT_TRUE(process.valid());
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.get(), 0));
}
