#include "common/log_file.h"

#include "common/handles.h"
#include "tests/support/log_lines.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

using norvale::testbed::folderExists;
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
