// The sweep: one main run of a program, first counted, then repeated with
// each counted call failing in turn, every run judged from outside.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/faults/fault_run.h"
#include "tests/support/msgbox_watcher.h"
#include "tests/support/test_files.h"

namespace faults {

enum class Outcome {
    // Survived:
    Unaffected,  // the run reached its goal as without the failure
    Prescribed,  // the outcome the programs give for that failure (box, log line, exit code)
    SoundError,  // a clear message or log line and a non-success exit code
    NotReached,  // the planned call was not made in this run
    // Faults:
    Crash,         // an exception ended the program
    Hang,          // the run neither ended nor settled within its bound
    Lost,          // something that existed was changed or lost
    TornLine,      // a log holds a line that is not whole
    FalseSuccess,  // the goal was not reached, and the run reported success
};

const char* outcomeName(Outcome outcome);
bool isFault(Outcome outcome);

struct Verdict {
    Outcome outcome = Outcome::Unaffected;
    std::string detail;
};

// What a run showed from outside.
struct RunEnd {
    bool ended = false;    // the program ended by itself
    bool settled = false;  // it reached the state in which it waits for ever
    int exitCode = 0;
    std::vector<norvale::testbed::SeenBox> boxes;
    Plan plan;              // the call that was to fail
    bool injected = false;  // and did
};

// One main run of one program: how to prepare it, when it has settled and
// how its end is judged.
class Scenario {
public:
    virtual ~Scenario() = default;

    virtual std::string title() const = 0;
    // The program and its command line.
    virtual std::string programPath() const = 0;
    virtual std::string arguments() const = 0;
    // A fresh state for one run; a failure here fails the test.
    virtual void prepare() = 0;
    // The answer to a box the program shows.
    virtual int answer(const norvale::testbed::SeenBox&) { return IDOK; }
    // A program that never ends by itself (the launcher supervising) has
    // settled once this holds; it is checked while the program runs.
    virtual bool settled() { return false; }
    // How long a run may take before it counts as hung.
    virtual DWORD bound() const { return 20000; }
    // Where the program's standard output and error go (an inheritable
    // handle), or nothing; and what arrived there.
    virtual HANDLE streams() { return nullptr; }
    virtual std::string output() const { return {}; }
    // Called once the program has ended by itself, before what it left
    // running is ended: a scenario waits here for what it started last.
    virtual void afterEnd() {}
    // The logs whose lines must be whole.
    virtual std::vector<std::string> logs() const { return {}; }
    // Judges what the run left; the sweep has checked for a crash, a hang
    // and torn lines already.
    virtual Verdict judge(const RunEnd& end) = 0;
    // Ends what the run left running.
    virtual void cleanUp() {}
};

// How deep a sweep goes.
struct Depth {
    unsigned callsPerImport = 1;  // the first n calls of each import fail
    std::vector<int> imports;     // only these imports; empty: every one
    // Imports whose calls fail at every number up to everyCallLimit.
    std::vector<int> everyCall;
    unsigned everyCallLimit = 8;
};

// The depth for this run: the first call of each import plus every call of
// the imports named, or, with NORVALE_FAULT_SWEEP=full in the environment,
// the first eight calls of every import.
Depth sweepDepth(std::vector<int> everyCall);
// The same for the imports named only (the first call of each, every call
// of those in everyCall): a sweep of make test whose other imports other
// scenarios cover. NORVALE_FAULT_SWEEP=full sweeps every import as above.
Depth sweepImports(std::vector<int> imports, std::vector<int> everyCall);

struct Finding {
    int call = 0;
    unsigned at = 0;
    Verdict verdict;
    unsigned long long from = 0;  // where the failed call was made
};

struct SweepResult {
    std::string title;
    std::string program;
    long hooked = 0;              // import slots the injector hooked in the program
    std::map<int, long> counted;  // calls of each hooked import in the counting run
    unsigned runs = 0;
    unsigned seconds = 0;         // time the injected runs took
    std::map<Outcome, unsigned> outcomes;
    std::vector<Finding> faults;
    std::string problem;  // the sweep could not run (the counting run failed)
};

SweepResult sweep(Scenario& scenario, const Depth& depth);

// Test failures for every fault and for a sweep that could not run; writes
// the result to the report folder when NORVALE_FAULT_REPORT names one.
void expectNoFaults(const SweepResult& result);

// Log checks shared by the scenarios.
// The first line of a log that is not a whole log line, or empty.
std::string tornLineOf(const std::string& logPath);
// Whether a log holds a line with this level mark ("[!]") and text start.
bool logHas(const std::string& logPath, const std::string& mark, const std::string& text = {});

// The rest of every line with this level mark that begins with prefix.
std::vector<std::string> logTexts(const std::string& logPath, const std::string& mark,
                                  const std::string& prefix);

// Whether a box with this text was shown.
bool boxShown(const RunEnd& end, const std::string& text);

}  // namespace faults
