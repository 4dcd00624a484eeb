// The control file of a stand-in, "<program>.control" beside the program:
// lines of key=value, blanks around both ignored, "#" starts a comment line.
// Keys are listed in tests/standins/README.md.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace standin {

// Keys every stand-in reads.
constexpr const char kKeyExitCodes[] = "exit_codes";
constexpr const char kKeyRunMs[] = "run_ms";
constexpr const char kKeyIgnoreClose[] = "ignore_close";
// The set-up processor's: its run waits before it exits for as long as the
// file at this path exists, so that a test can act while the parent waits.
constexpr const char kKeyHoldWhile[] = "hold_while";

class Control {
public:
    // A missing file is an empty control: every key takes its default.
    static Control load(const std::string& controlPath);

    bool has(const std::string& key) const;
    std::string text(const std::string& key, const std::string& fallback) const;
    long number(const std::string& key, long fallback) const;
    bool flag(const std::string& key) const;  // "1", "yes" or "true"

    // exit_codes: the code of the run-th run (1-based); the last code of the
    // list holds for every later run; 0 when none is given.
    int exitCodeForRun(int run) const;

    void set(const std::string& key, const std::string& value) { values_[key] = value; }

private:
    std::map<std::string, std::string> values_;
};

// Writes the control file for a stand-in (used by the tests).
bool writeControl(const std::string& controlPath, const std::map<std::string, std::string>& values);

// Parses "3, -1,0" into {3, -1, 0}; pieces that are not numbers are skipped.
std::vector<int> parseCodeList(const std::string& text);

}  // namespace standin
