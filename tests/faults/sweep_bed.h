// What the scenarios of the sweeps share: a program folder of their own, the
// stand-ins' journals, the user's installation flag and a record of the
// files of a folder, to tell whether a run changed or lost any of them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/standins/journal/journal.h"
#include "tests/support/test_files.h"

namespace faults {

// name -> content of the files directly in folder (logs left out: runs
// append to them).
using FolderFiles = std::map<std::string, std::string>;
FolderFiles filesIn(const std::string& folder);

// The first file of before that after lacks or holds with other content,
// as "name (missing)" or "name (changed)"; empty when none.
std::string changedFile(const FolderFiles& before, const FolderFiles& after);

// The command line with each path in double quotes in its long form: a
// folder name the ANSI code page cannot hold exactly (or one whose ANSI form
// could not be had) reaches a program as its short name, which names the
// same folder.
std::string withLongPaths(const std::string& commandLine);

// HKCU\SOFTWARE\Norvale\NorvaleUserInstalled: its text, "<absent>".
std::string installFlag();
bool setInstallFlag(const std::string& text);

// A folder of programs copied from the build, beside which the stand-ins
// keep their journals and read their control files.
class ProgramFolder {
public:
    explicit ProgramFolder(const std::vector<std::string>& programs);

    bool valid() const { return valid_; }
    // Copies a program of the build into the folder under another name.
    bool place(const std::string& builtName, const std::string& fileName) const;
    std::string path() const { return folder_.path(); }
    std::string file(const std::string& name) const { return folder_.file(name); }

    std::vector<standin::JournalEntry> journal(const std::string& program,
                                               const std::string& event) const;
    void clearJournal(const std::string& program) const;
    bool setControl(const std::string& program,
                    const std::map<std::string, std::string>& values) const;
    // Whether a process runs the program file of that name.
    bool runs(const std::string& program) const;
    // Ends every process a stand-in journalled a start of that still runs
    // the stand-in's program file.
    void endStandins(const std::vector<std::string>& programs) const;

private:
    norvale::testbed::TempFolder folder_{"norvale faults"};
    bool valid_ = false;
};

}  // namespace faults
