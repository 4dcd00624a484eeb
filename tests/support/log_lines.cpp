#include "tests/support/log_lines.h"

#include <ostream>

namespace norvale::testbed {

namespace {

// "[2005-01-12 19:29:30]" is 21 characters; a blank, the 3-character mark
// and another blank follow.
constexpr std::size_t kStampLength = 21;
constexpr std::size_t kMarkLength = 3;
constexpr std::size_t kTextStart = kStampLength + kMarkLength + 2;

}  // namespace

std::string LogRecord::entry() const { return mark.empty() ? text : mark + " " + text; }

bool operator==(const LogRecord& a, const LogRecord& b) {
    return a.mark == b.mark && a.text == b.text;
}

std::ostream& operator<<(std::ostream& out, const LogRecord& record) {
    return out << record.mark << " \"" << record.text << "\"";
}

std::vector<std::string> splitLogLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = content.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        lines.push_back(content.substr(start, end - start));
    if (start < content.size()) lines.push_back(content.substr(start));
    return lines;
}

LogRecord parseLogLine(const std::string& line) {
    if (line.size() >= kTextStart && line[0] == '[' && line[kStampLength - 1] == ']' &&
        line[kStampLength] == ' ' && line[kTextStart - 1] == ' ') {
        return {line.substr(kStampLength + 1, kMarkLength), line.substr(kTextStart)};
    }
    return {"", line};
}

std::vector<LogRecord> parseLog(const std::string& content) {
    std::vector<LogRecord> records;
    for (const std::string& line : splitLogLines(content)) records.push_back(parseLogLine(line));
    return records;
}

}  // namespace norvale::testbed
