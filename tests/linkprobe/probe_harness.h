// What the link checker's tests share: running the real program with its
// message boxes watched, reading its log, a plain listening socket and the
// redirector stand-in.
#pragma once

#include "common/socket_handle.h"

#include <string>
#include <vector>

#include "tests/support/child_runner.h"
#include "tests/support/log_lines.h"
#include "tests/support/msgbox_watcher.h"
#include "tests/support/test_network.h"

namespace linkprobe_test {

constexpr const char* kProbeProgram = "norvale-linkprobe.exe";
constexpr const char* kProbeLogName = "norvale-linkprobe.log";

struct ProbeRun {
    norvale::testbed::ChildResult result;
    std::vector<norvale::testbed::SeenBox> boxes;
};

// Runs the link checker with arguments to its end; every box it shows is
// recorded and answered with OK.
ProbeRun runProbe(const std::string& arguments);

using norvale::testbed::LogRecord;
using norvale::testbed::parseLog;

// The link checker's own log in the user's product folder.
std::string probeLogPath();
std::vector<LogRecord> readProbeLog();

// True when a record with exactly this mark and text exists.
bool hasRecord(const std::vector<LogRecord>& log, const std::string& mark,
               const std::string& text);
// True when a record's text starts with prefix.
bool hasRecordStartingWith(const std::vector<LogRecord>& log, const std::string& prefix);

using norvale::testbed::connectTo;
using norvale::testbed::Listener;
using norvale::testbed::RedirectorStandin;
using norvale::testbed::WinsockUser;

}  // namespace linkprobe_test
