#include "bench/programs.h"

#include <ws2tcpip.h>

#include "bench/measure.h"
#include "tests/standins/journal/journal.h"

namespace bench {

namespace {

constexpr DWORD kAcceptWaitMs = 100;

// Handles of the null device for a child whose output is not wanted; the
// child inherits them.
struct DiscardedOutput {
    norvale::FileHandle nul;
    DiscardedOutput() {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        nul.reset(CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              &inherit, OPEN_EXISTING, 0, nullptr));
    }
};

}  // namespace

bool startProgram(const std::string& folder, const std::string& application,
                  const std::string& arguments, bool hidden, Output output,
                  norvale::ProcessInfo& started) {
    std::string path = folder + "\\" + application;
    std::string commandLine = application + (arguments.empty() ? "" : " " + arguments);
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (hidden) {
        startup.dwFlags |= STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    DiscardedOutput discarded;
    BOOL inherit = FALSE;
    if (output == Output::Discard && discarded.nul) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = discarded.nul.get();
        startup.hStdOutput = discarded.nul.get();
        startup.hStdError = discarded.nul.get();
        inherit = TRUE;
    }
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(path.c_str(), writable.data(), nullptr, nullptr, inherit, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        return false;
    }
    started.adopt(info);
    return true;
}

TimedRun runTimed(const std::string& folder, const std::string& application,
                  const std::string& arguments, bool hidden, Output output, DWORD boundMs) {
    TimedRun run;
    norvale::ProcessInfo child;
    double start = nowMs();
    if (!startProgram(folder, application, arguments, hidden, output, child)) return run;
    run.started = true;
    run.finished = WaitForSingleObject(child.process(), boundMs) == WAIT_OBJECT_0;
    run.wallMs = nowMs() - start;
    if (!run.finished) {
        killProcess(child.process());
        return run;
    }
    DWORD code = 0;
    GetExitCodeProcess(child.process(), &code);
    run.exitCode = static_cast<int>(code);
    return run;
}

void killProcess(HANDLE process) {
    if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return;
    TerminateProcess(process, 0xDEAD);
    WaitForSingleObject(process, 10000);
}

void killProcessId(DWORD processId) {
    norvale::KernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    if (process) killProcess(process.get());
}

Winsock::Winsock() {
    WSADATA data;
    ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

Winsock::~Winsock() {
    if (ok_) WSACleanup();
}

Acceptor::Acceptor(const char* host, int port) {
    if (!winsock_.ok()) return;
    norvale::Socket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!listener) return;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    if (inet_pton(AF_INET, host, &address.sin_addr) != 1) return;
    if (bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener.get(), SOMAXCONN) != 0) {
        return;
    }
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stop_) return;
    listener_ = std::move(listener);
    thread_ = std::thread([this] { serve(); });
}

Acceptor::~Acceptor() {
    if (stop_) SetEvent(stop_);
    if (thread_.joinable()) thread_.join();
    listener_.reset();
    if (stop_) CloseHandle(stop_);
}

void Acceptor::serve() {
    while (WaitForSingleObject(stop_, 0) == WAIT_TIMEOUT) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_.get(), &readable);
        timeval wait = {0, static_cast<long>(kAcceptWaitMs * 1000)};
        if (select(0, &readable, nullptr, nullptr, &wait) != 1) continue;
        norvale::Socket connection(accept(listener_.get(), nullptr, nullptr));
    }
}

std::vector<std::int64_t> journalTimes(const std::string& journalPath, const std::string& event) {
    std::vector<std::int64_t> times;
    for (const standin::JournalEntry& entry :
         standin::entriesFor(standin::readJournal(journalPath), event)) {
        std::int64_t ms = 0;
        if (parseJournalTime(entry.time, ms)) times.push_back(ms);
    }
    return times;
}

bool waitForEntries(const std::string& journalPath, const std::string& event, std::size_t count,
                    DWORD timeoutMs, DWORD pollMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (standin::entriesFor(standin::readJournal(journalPath), event).size() >= count) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(pollMs);
    }
}

}  // namespace bench
