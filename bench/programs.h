// Starting the programs under measurement, playing their network peers and
// reading the stand-ins' journals.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "common/handles.h"
#include "common/socket_handle.h"

namespace bench {

enum class Output { Inherit, Discard };

// Starts folder\application with the command line "application arguments"
// in folder, not waiting. Hidden children get STARTF_USESHOWWINDOW/SW_HIDE.
bool startProgram(const std::string& folder, const std::string& application,
                  const std::string& arguments, bool hidden, Output output,
                  norvale::ProcessInfo& started);

struct TimedRun {
    bool started = false;
    bool finished = false;  // ended within the bound
    int exitCode = 0;
    double wallMs = 0;      // from just before the start to the end seen by the wait
};

// Starts and waits (at most boundMs; a child still running then is killed).
TimedRun runTimed(const std::string& folder, const std::string& application,
                  const std::string& arguments, bool hidden = false,
                  Output output = Output::Discard, DWORD boundMs = 60000);

// Kills the process and waits for its end.
void killProcess(HANDLE process);
void killProcessId(DWORD processId);

// Winsock for the benchmark process while the object lives.
class Winsock {
public:
    Winsock();
    ~Winsock();
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// Listens on host:port and, on a thread of its own, accepts every
// connection and closes it at once: the far end of an outside server that
// stays usable for any number of connections.
class Acceptor {
public:
    Acceptor(const char* host, int port);
    ~Acceptor();
    Acceptor(const Acceptor&) = delete;
    Acceptor& operator=(const Acceptor&) = delete;
    bool listening() const { return listener_.valid(); }

private:
    void serve();

    Winsock winsock_;
    norvale::Socket listener_;
    HANDLE stop_ = nullptr;
    std::thread thread_;
};

// Times (localTimeMs scale) of the journal entries of one event, oldest first.
std::vector<std::int64_t> journalTimes(const std::string& journalPath, const std::string& event);

// How often a wait reads a journal by default.
constexpr DWORD kJournalPollMs = 20;

// Polls until the journal holds at least count entries of event, reading it
// every pollMs; false after timeoutMs.
bool waitForEntries(const std::string& journalPath, const std::string& event, std::size_t count,
                    DWORD timeoutMs, DWORD pollMs = kJournalPollMs);

}  // namespace bench
