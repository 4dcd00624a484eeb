#include "tests/linkprobe/probe_harness.h"

#include <ws2tcpip.h>

#include "common/paths.h"
#include "tests/support/test_files.h"

namespace linkprobe_test {

namespace {

using norvale::testbed::binPath;

}  // namespace

ProbeRun runProbe(const std::string& arguments) {
    norvale::testbed::MsgBoxWatcher watcher(IDOK);
    ProbeRun run;
    run.result = norvale::testbed::runChild(binPath(kProbeProgram), arguments);
    // A box is answered before the program can end, so all are recorded.
    run.boxes = watcher.boxes();
    return run;
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
