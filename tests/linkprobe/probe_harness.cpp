#include "tests/linkprobe/probe_harness.h"

#include <ws2tcpip.h>

#include <cstdio>
#include <ostream>

#include "common/paths.h"
#include "tests/support/test_files.h"

namespace linkprobe_test {

namespace {

using norvale::testbed::binPath;


// "[2005-01-12 19:29:30] " followed by the mark and a blank.
constexpr std::size_t kStampLength = 21;

LogRecord parseRecord(const std::string& line) {
    if (line.size() >= kStampLength + 5 && line[0] == '[' && line[kStampLength - 1] == ']' &&
        line[kStampLength] == ' ' && line[kStampLength + 4] == ' ') {
        return {line.substr(kStampLength + 1, 3), line.substr(kStampLength + 5)};
    }
    return {"", line};
}

}  // namespace

ProbeRun runProbe(const std::string& arguments) {
    norvale::testbed::MsgBoxWatcher watcher(IDOK);
    ProbeRun run;
    run.result = norvale::testbed::runChild(binPath(kProbeProgram), arguments);
    // A box is answered before the program can end, so all are recorded.
    run.boxes = watcher.boxes();
    return run;
}

bool operator==(const LogRecord& a, const LogRecord& b) {
    return a.mark == b.mark && a.text == b.text;
}

std::ostream& operator<<(std::ostream& out, const LogRecord& record) {
    return out << record.mark << " \"" << record.text << "\"";
}

std::vector<LogRecord> parseLog(const std::string& content) {
    std::vector<LogRecord> records;
    std::size_t begin = 0;
    while (begin < content.size()) {
        std::size_t end = content.find("\r\n", begin);
        if (end == std::string::npos) end = content.size();
        records.push_back(parseRecord(content.substr(begin, end - begin)));
        begin = end + 2;
    }
    return records;
}

std::string probeLogPath() { return userFilePath(kProbeLogName); }

std::vector<LogRecord> readProbeLog() {
    auto content = norvale::testbed::readWholeFile(probeLogPath());
    return content ? parseLog(*content) : std::vector<LogRecord>();
}

bool hasRecord(const std::vector<LogRecord>& log, const std::string& mark,
               const std::string& text) {
    for (const LogRecord& record : log)
        if (record.mark == mark && record.text == text) return true;
    return false;
}

bool hasRecordStartingWith(const std::vector<LogRecord>& log, const std::string& prefix) {
    for (const LogRecord& record : log)
        if (record.text.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

}  // namespace linkprobe_test
