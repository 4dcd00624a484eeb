#include "common/log_file.h"

#include "common/handles.h"
#include "tests/support/child_runner.h"
#include "tests/support/log_lines.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <regex>
#include <string>
#include <vector>

using norvale::testbed::binPath;
using norvale::testbed::folderExists;
using norvale::testbed::kChildTimeoutMs;
using norvale::testbed::RunningChild;
using norvale::testbed::TempFolder;
using norvale::testbed::writeWholeFile;

namespace {

std::string contentOf(const std::string& path) {
    return norvale::testbed::readWholeFile(path).value_or("");
}

constexpr unsigned kLimit = 102400;
const std::string kStamp = R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\])";

using norvale::testbed::splitLogLines;

// "[YYYY-MM-DD hh:mm:ss] <mark> <text>": the stamp is 21 characters.
bool isLine(const std::string& line, const std::string& mark, const std::string& text) {
    return line.size() >= 21 && std::regex_match(line.substr(0, 21), std::regex(kStamp)) &&
           line.substr(21) == " " + mark + " " + text;
}

std::string filler(std::size_t size) {
    return std::string(size, 'x');
}

}  // namespace

TEST(LogFile, LineIsStampMarkTextAndCrLf) {
    TempFolder dir;
    const std::string path = dir.file("a.log");
    LogFile log(LOG_INFO, false, kLimit, false);
    log.open(path.c_str());

    const int infoLength = log.log(LOG_INFO, "first\nsecond");
    log.logf(LOG_WARNING, "%d%% of %s", 50, "it");
    log.log(LOG_ERROR, "100% literal %s %d");

    const std::string content = contentOf(path);
    std::vector<std::string> lines = splitLogLines(content);
    ASSERT_EQ(4u, lines.size()) << content;
    EXPECT_TRUE(isLine(lines[0], "[I]", "Logfile started.")) << lines[0];
    EXPECT_TRUE(isLine(lines[1], "[I]", "first\nsecond")) << lines[1];
    EXPECT_TRUE(isLine(lines[2], "[?]", "50% of it")) << lines[2];
    EXPECT_TRUE(isLine(lines[3], "[!]", "100% literal %s %d")) << lines[3];
    EXPECT_EQ(static_cast<int>(lines[1].size() + 2), infoLength);
    EXPECT_EQ("\r\n", content.substr(content.size() - 2));
}

TEST(LogFile, LongMessageIsWrittenWhole) {
    TempFolder dir;
    const std::string path = dir.file("long.log");
    LogFile log(LOG_INFO, false, kLimit, true);
    log.open(path.c_str());
    std::string message;
    for (int i = 0; message.size() < 9000; ++i) message += "piece " + std::to_string(i) + ";";

    const int viaLog = log.log(LOG_INFO, message.c_str());
    const int viaLogf = log.logf(LOG_INFO, "<%s>", message.c_str());

    std::vector<std::string> lines = splitLogLines(contentOf(path));
    ASSERT_EQ(3u, lines.size());
    EXPECT_TRUE(isLine(lines[1], "[I]", message));
    EXPECT_TRUE(isLine(lines[2], "[I]", "<" + message + ">"));
    EXPECT_EQ(static_cast<int>(21 + 5 + message.size() + 2), viaLog);
    EXPECT_EQ(viaLog + 2, viaLogf);
}

TEST(LogFile, LevelBelowMinimumWritesNothing) {
    TempFolder dir;
    const std::string path = dir.file("level.log");
    LogFile log(LOG_WARNING, false, kLimit, false);
    log.open(path.c_str());  // "Logfile started." is level 0: not written
    EXPECT_EQ(0, log.log(LOG_INFO, "dropped"));
    EXPECT_EQ("", contentOf(path));
    EXPECT_GT(log.log(LOG_WARNING, "kept"), 0);
    std::vector<std::string> lines = splitLogLines(contentOf(path));
    ASSERT_EQ(1u, lines.size());
    EXPECT_TRUE(isLine(lines[0], "[?]", "kept"));
}

// The file is emptied before a line once it has reached the limit, never
// before; kept open or not, and never when the limit is 0.
TEST(LogFile, SizeLimitEmptiesTheFileAtTheBoundary) {
    struct Case {
        bool keepOpen;
        unsigned limit;
        std::size_t size;
        bool emptied;
    };
    const Case cases[] = {
        {false, kLimit, kLimit - 1, false}, {false, kLimit, kLimit, true},
        {false, kLimit, kLimit + 5000, true}, {true, kLimit, kLimit - 1, false},
        {true, kLimit, kLimit, true},        {false, 0, kLimit, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "keepOpen " << c.keepOpen << " limit " << c.limit
                                        << " size " << c.size);
        TempFolder dir;
        const std::string path = dir.file("size.log");
        LogFile log(LOG_INFO, c.keepOpen, c.limit, false);
        log.open(path.c_str());
        log.close();
        writeWholeFile(path, filler(c.size));

        EXPECT_GT(log.log(LOG_INFO, "next"), 0);

        const std::string content = contentOf(path);
        const std::size_t kept = c.emptied ? 0 : c.size;
        EXPECT_EQ(filler(kept), content.substr(0, kept));
        std::vector<std::string> lines = splitLogLines(content.substr(kept));
        ASSERT_EQ(1u, lines.size());
        EXPECT_TRUE(isLine(lines[0], "[I]", "next")) << lines[0];
    }
}

TEST(LogFile, OpenCreatesTheMissingFolderChain) {
    TempFolder dir;
    const std::string path = dir.file("one\\two\\three\\chain.log");
    LogFile log(LOG_INFO, false, kLimit, false);
    log.open(path.c_str());
    EXPECT_TRUE(folderExists(dir.file("one\\two\\three")));
    std::vector<std::string> lines = splitLogLines(contentOf(path));
    ASSERT_EQ(1u, lines.size());
    EXPECT_TRUE(isLine(lines[0], "[I]", "Logfile started."));
}

TEST(LogFile, SecondRunAppendsAfterTheFirst) {
    TempFolder dir;
    const std::string path = dir.file("runs.log");
    {
        LogFile first(LOG_INFO, false, kLimit, true);
        first.open(path.c_str());
        first.log(LOG_INFO, "run one");
        first.close();
    }
    {
        LogFile second(LOG_INFO, false, kLimit, true);
        second.open(path.c_str());
        second.log(LOG_INFO, "run two");
        second.shutdown();
    }
    std::vector<std::string> lines = splitLogLines(contentOf(path));
    const char* expected[] = {"Logfile started.", "run one", "Logfile closed.",
                              "Logfile started.", "run two", "Logfile closed."};
    ASSERT_EQ(6u, lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(isLine(lines[i], "[I]", expected[i])) << i << ": " << lines[i];
}

// A log that cannot be written never stops a quiet caller; a loud one gets
// the code.
void expectUnwritableLogIsSkipped(LogFile& quiet, const std::string& path) {
    EXPECT_EQ(0, quiet.log(LOG_INFO, "lost"));
    EXPECT_EQ(0, quiet.logf(LOG_ERROR, "lost %d", 2));
    EXPECT_NO_THROW(quiet.shutdown());
    // Closing throws its own failures even for a quiet logger.
    EXPECT_THROW(quiet.close(), LOG_ERRS::ERR_ID);

    LogFile loud(LOG_INFO, false, kLimit, false);
    try {
        loud.open(path.c_str());
        ADD_FAILURE() << "open of an unwritable log did not throw";
    } catch (LOG_ERRS::ERR_ID code) {
        EXPECT_EQ(LOG_ERRS::ERR_FILE_OPEN, code);
    }
}

TEST(LogFile, LockedLogIsSkippedWhenQuietAndThrownOtherwise) {
    TempFolder dir;
    const std::string path = dir.file("locked.log");
    LogFile quiet(LOG_INFO, false, kLimit, true);
    quiet.open(path.c_str());
    const std::string before = contentOf(path);
    {
        norvale::FileHandle lock(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                             nullptr));
        ASSERT_TRUE(lock.valid());
        expectUnwritableLogIsSkipped(quiet, path);
    }
    EXPECT_EQ(before, contentOf(path));
}

TEST(LogFile, ReadOnlyLogIsSkippedWhenQuietAndThrownOtherwise) {
    TempFolder dir;
    const std::string path = dir.file("readonly.log");
    LogFile quiet(LOG_INFO, false, kLimit, true);
    quiet.open(path.c_str());
    const std::string before = contentOf(path);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    {
        norvale::FileHandle writer(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                               nullptr));
        // Under Wine run as root the attribute does not stop writers.
        if (writer.valid()) GTEST_SKIP() << "read-only files are writable here";
    }
    expectUnwritableLogIsSkipped(quiet, path);
    EXPECT_EQ(before, contentOf(path));
}

// Devices take no byte-range locks; a line for one is written without the
// lock, as on any file the lock cannot be taken on.
TEST(LogFile, FileThatCannotBeLockedIsStillWritten) {
    for (const char* device : {"NUL", "Z:\\dev\\null"}) {
        SCOPED_TRACE(device);
        {
            norvale::FileHandle file(CreateFileA(device, GENERIC_WRITE, FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(file.valid());
            ASSERT_FALSE(norvale::FileRangeLock(file.get(), 0, 1, 0).locked());
        }
        LogFile loud(LOG_INFO, false, kLimit, false);
        EXPECT_NO_THROW(loud.open(device));
        EXPECT_EQ(21 + 5 + 4 + 2, loud.log(LOG_INFO, "line"));
        EXPECT_NO_THROW(loud.close());
    }
}

TEST(LogFile, OverlongPathIsRefusedAndTheNameKept) {
    TempFolder dir;
    const std::string good = dir.file("good.log");
    const std::string overlong = dir.file(std::string(260, 'n') + ".log");
    const std::string longest = "C:\\" + std::string(252, 'n') + ".log";  // 259 characters
    ASSERT_EQ(259u, longest.size());

    LogFile loud(LOG_INFO, false, kLimit, false);
    loud.open(good.c_str());
    try {
        loud.open(overlong.c_str());
        ADD_FAILURE() << "no exception";
    } catch (LOG_ERRS::ERR_ID code) {
        EXPECT_EQ(LOG_ERRS::ERR_FILENAME_TOO_LONG, code);
    }
    EXPECT_EQ(good, loud.name());

    std::string exactly260 = longest + "x";
    try {
        loud.open(exactly260.c_str());
        ADD_FAILURE() << "no exception for 260 characters";
    } catch (LOG_ERRS::ERR_ID code) {
        EXPECT_EQ(LOG_ERRS::ERR_FILENAME_TOO_LONG, code);
    }
    EXPECT_EQ(good, loud.name());

    LogFile quiet(LOG_INFO, false, kLimit, true);
    quiet.open(good.c_str());
    EXPECT_NO_THROW(quiet.open(overlong.c_str()));
    EXPECT_EQ(good, quiet.name());
    EXPECT_EQ(2u, splitLogLines(contentOf(good)).size());
}

namespace {

// What the writers of one round left in their log: each writer's line
// numbers in file order, the counts of the logger's own lines, and every
// line that is not a whole "<stamp> [I] <text>" line of a writer.
struct WritersLog {
    std::map<int, std::vector<int>> numbers;
    int started = 0;
    int closed = 0;
    std::vector<std::string> torn;
};

WritersLog readWritersLog(const std::string& content) {
    const std::regex whole(kStamp +
                           R"( \[I\] (Logfile started\.|Logfile closed\.|writer (\d+) line (\d+)))");
    WritersLog log;
    for (const std::string& line : splitLogLines(content)) {
        std::smatch match;
        if (!std::regex_match(line, match, whole))
            log.torn.push_back(line);
        else if (match[2].matched)
            log.numbers[std::stoi(match[2])].push_back(std::stoi(match[3]));
        else if (match[1] == "Logfile started.")
            ++log.started;
        else
            ++log.closed;
    }
    return log;
}

// first, first + 1, ..., last.
std::vector<int> numbersFrom(int first, int last) {
    std::vector<int> run(last < first ? 0 : last - first + 1);
    std::iota(run.begin(), run.end(), first);
    return run;
}

// Starts writers of one log so that they all begin at the same moment: each
// releases the ready semaphore once and then waits for the go event.
class WritersRound {
public:
    WritersRound(const std::string& log, int writers, int lines, unsigned limit)
        : children_(writers) {
        static int round = 0;
        const std::string name = "norvale-test-log-writers-" +
                                 std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(++round);
        ready_.reset(CreateSemaphoreA(nullptr, 0, writers, (name + "-ready").c_str()));
        go_.reset(CreateEventA(nullptr, TRUE, FALSE, (name + "-go").c_str()));
        for (int w = 0; w < writers && ready_ && go_; ++w)
            children_[w].start(binPath("log_writer_child.exe"),
                               "\"" + log + "\" " + name + "-ready " + name + "-go " +
                                   std::to_string(w) + " " + std::to_string(lines) + " " +
                                   std::to_string(limit));
    }

    // True when every writer was ready, began and ended with exit code 0.
    bool run() {
        for (const RunningChild& child : children_)
            if (!child.started()) return false;
        for (std::size_t i = 0; i < children_.size(); ++i)
            if (WaitForSingleObject(ready_.get(), kChildTimeoutMs) != WAIT_OBJECT_0) return false;
        if (!SetEvent(go_.get())) return false;
        for (RunningChild& child : children_)
            if (!child.waitFor(kChildTimeoutMs) || child.exitCode() != 0) return false;
        return true;
    }

private:
    std::vector<RunningChild> children_;
    norvale::KernelHandle ready_;
    norvale::KernelHandle go_;
};

}  // namespace

// Many copies of a program writing one log at the same moment: every line
// stays whole and none is lost, also when the size limit empties the file
// again and again under them (then each writer's lines that are left are the
// end of what it wrote, without gaps).
TEST(LogFile, ConcurrentWritersKeepEveryLineWhole) {
    struct Case {
        const char* what;
        unsigned limit;
        bool emptied;
    };
    const Case cases[] = {
        {"the programs' limit, not reached", kLimit, false},
        {"a small limit, reached many times", 8192, true},
    };
    constexpr int kWriters = 16;
    constexpr int kLines = 100;
    constexpr int kRounds = 3;
    for (const Case& c : cases) {
        for (int round = 1; round <= kRounds; ++round) {
            SCOPED_TRACE(testing::Message() << c.what << ", round " << round);
            TempFolder dir;
            const std::string path = dir.file("writers.log");
            ASSERT_TRUE(WritersRound(path, kWriters, kLines, c.limit).run());

            const std::string content = contentOf(path);
            const WritersLog log = readWritersLog(content);
            ASSERT_GE(content.size(), 2u);
            EXPECT_EQ("\r\n", content.substr(content.size() - 2));
            EXPECT_TRUE(log.torn.empty()) << log.torn.size() << " torn, the first: "
                                          << (log.torn.empty() ? "" : log.torn[0]);
            if (!c.emptied) {
                EXPECT_EQ(kWriters, log.started);
                EXPECT_EQ(kWriters, log.closed);
                EXPECT_EQ(static_cast<std::size_t>(kWriters), log.numbers.size());
            } else {
                EXPECT_LT(splitLogLines(content).size(), kWriters * (kLines + 2u));
            }
            std::vector<int> gapped;
            for (const auto& [writer, numbers] : log.numbers)
                if (numbers != numbersFrom(c.emptied ? numbers.front() : 1, kLines))
                    gapped.push_back(writer);
            EXPECT_TRUE(gapped.empty()) << "writers with lost lines: "
                                        << testing::PrintToString(gapped);
        }
    }
}
