// A product stand-in (or the launcher fixture) copied into a folder of its
// own, with its control file, its journal and the running process.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/standins/journal/control.h"
#include "tests/standins/journal/journal.h"
#include "tests/support/child_runner.h"
#include "tests/support/test_files.h"
#include "tests/taskctl/tool_run.h"

namespace taskctl_test {

// Time a stand-in gets to create its window and journal "ready".
constexpr DWORD kReadyTimeoutMs = 10000;

class ProgramCopy {
public:
    // Copies builtName from the build's program folder to folder as
    // fileName and writes its control file.
    ProgramCopy(const std::string& folder, const std::string& builtName,
                const std::string& fileName, const std::map<std::string, std::string>& control)
        : path_(norvale::testbed::joinPath(folder, fileName)) {
        copied_ = CopyFileA(norvale::testbed::binPath(builtName).c_str(), path_.c_str(), FALSE) &&
                  standin::writeControl(standin::besideProgram(path_, "control"), control);
    }

    bool copied() const { return copied_; }
    const std::string& path() const { return path_; }

    // Starts the copy and waits until it has journalled "ready".
    bool startAndWaitReady() {
        if (!copied_ || !child_.start(path_, "")) return false;
        return waitUntil([this] { return !events("ready").empty(); }, kReadyTimeoutMs);
    }

    std::vector<standin::JournalEntry> events(const std::string& event) const {
        return standin::entriesFor(
            standin::readJournal(standin::besideProgram(path_, "journal")), event);
    }

    norvale::testbed::RunningChild& process() { return child_; }

private:
    std::string path_;
    bool copied_ = false;
    norvale::testbed::RunningChild child_;
};

}  // namespace taskctl_test
