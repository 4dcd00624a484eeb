// Reading the programs' own log files back: "[YYYY-MM-DD hh:mm:ss] <mark>
// <text>" and CR LF per line, as the log file writes them.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace norvale::testbed {

// One line of a log: its level mark ("[I]", "[?]" or "[!]") and text. A line
// without the time stamp and mark has an empty mark and the whole line as
// its text.
struct LogRecord {
    std::string mark;
    std::string text;

    // "<mark> <text>", or the text alone when there is no mark.
    std::string entry() const;
};
bool operator==(const LogRecord& a, const LogRecord& b);
std::ostream& operator<<(std::ostream& out, const LogRecord& record);

// The lines of a log without their CR LF; a text after the last CR LF comes
// back as a last, unterminated line.
std::vector<std::string> splitLogLines(const std::string& content);

LogRecord parseLogLine(const std::string& line);
std::vector<LogRecord> parseLog(const std::string& content);

}  // namespace norvale::testbed
