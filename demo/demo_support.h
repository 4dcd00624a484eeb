// What the demo runner needs around the programs it shows: starting them
// with their output captured, answering a message box the way a user would,
// following a log file as it grows, and finding processes by name.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/handles.h"

namespace demo {

// folder + "\" + name.
std::string joinPath(const std::string& folder, const std::string& name);

// The folder of the running program, without a trailing backslash.
std::string ownFolder();

// The user's product folder (application data + "Norvale"); empty when the
// system does not report the application-data folder.
std::string userProductFolder();

// Removes the per-user part: HKCU\SOFTWARE\Norvale and the product folder.
bool resetUser();

// NorvaleUserInstalled as stored, or empty when there is none.
std::string installationFlag();

bool fileExists(const std::string& path);

// A program started by the demo; killed when the owner goes, so a failed
// step leaves nothing behind.
class Child {
public:
    Child() = default;
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Starts program (full path) with arguments in folder. False with the
    // error in startError() when it could not be started.
    bool start(const std::string& program, const std::string& arguments,
               const std::string& folder);
    bool running() const;
    bool waitFor(DWORD timeoutMs) const;
    // The full signed exit code, once ended.
    int exitCode() const;
    DWORD processId() const { return process_.processId(); }
    DWORD startError() const { return startError_; }
    void kill();

private:
    norvale::ProcessInfo process_;
    DWORD startError_ = 0;
};

struct RunResult {
    bool started = false;
    bool ended = false;
    DWORD startError = 0;
    int exitCode = 0;
    std::string output;  // standard output and error, as written
};

// Runs a console or GUI program to its end (or timeoutMs, then kills it),
// collecting what it writes to its standard output and error.
RunResult runCaptured(const std::string& program, const std::string& arguments,
                      const std::string& folder, DWORD timeoutMs);

// A message box (dialog class "#32770") of one process.
struct Box {
    HWND window = nullptr;
    std::string caption;
    std::string text;
};

// The first message box the process shows, if any.
bool findBox(DWORD processId, Box& box);

// The first message box of any process with exactly this caption, if any.
bool findBoxByCaption(const std::string& caption, Box& box);

// Presses one of the box's buttons, as a click would.
bool pressButton(const Box& box, int buttonId);

// Follows a text file: each call returns the complete lines added since
// the last call.
class FileTail {
public:
    explicit FileTail(std::string path) : path_(std::move(path)) {}
    std::vector<std::string> newLines();

private:
    std::string path_;
    long long offset_ = 0;
    std::string partial_;
};

// Executable names of the running processes that are among names
// (compared without regard to case).
std::vector<std::string> runningProgramsAmong(const std::vector<std::string>& names);

// The text with line feeds and carriage returns turned into blanks.
std::string oneLine(const std::string& text);

}  // namespace demo
