// The journal of a stand-in: one line per event, appended to
// "<program>.journal" beside the program. A line is
//   time stamp TAB process id TAB event TAB full command line CR LF
// with the time stamp as "YYYY-MM-DD HH:MM:SS.mmm" (local time).
#pragma once

#include <string>
#include <vector>

namespace standin {

struct JournalEntry {
    std::string time;
    unsigned long processId = 0;
    std::string event;
    std::string commandLine;
};

// "<folder>\<stem>.<extension>" for the program at exePath
// ("C:\bin\norvale-mail.exe" -> "C:\bin\norvale-mail.journal").
std::string besideProgram(const std::string& exePath, const char* extension);

// Path of the running program.
std::string ownProgramPath();

// Appends one line. Each line is one write to a file opened for appending
// and shared, so the lines of processes that run at the same time do not mix.
bool appendJournal(const std::string& journalPath, const std::string& event,
                   const std::string& commandLine);

// Every complete line of the journal, oldest first; empty when there is
// no journal.
std::vector<JournalEntry> readJournal(const std::string& journalPath);

// The entries whose event is exactly event, or begins with event and a blank.
std::vector<JournalEntry> entriesFor(const std::vector<JournalEntry>& journal,
                                     const std::string& event);

// Polls the journal until an entry for event (as entriesFor) appears; false
// after timeoutMs.
bool waitForEvent(const std::string& journalPath, const std::string& event, unsigned timeoutMs);

}  // namespace standin
