#include "tests/linkprobe/probe_harness.h"

#include <ws2tcpip.h>

#include <cstdio>
#include <ostream>

#include "common/paths.h"
#include "tests/support/test_files.h"

namespace linkprobe_test {

namespace {

using norvale::testbed::binPath;

// A stand-in that is not listening by then has failed to start.
constexpr DWORD kStandinReadyMs = 10000;
// Outlives any one test case, yet ends by itself if a test leaves it.
constexpr DWORD kStandinLifetimeMs = 30000;

// "[2005-01-12 19:29:30] " followed by the mark and a blank.
constexpr std::size_t kStampLength = 21;

LogRecord parseRecord(const std::string& line) {
    if (line.size() >= kStampLength + 5 && line[0] == '[' && line[kStampLength - 1] == ']' &&
        line[kStampLength] == ' ' && line[kStampLength + 4] == ' ') {
        return {line.substr(kStampLength + 1, 3), line.substr(kStampLength + 5)};
    }
    return {"", line};
}

sockaddr_in ipv4Address(const char* host, int port) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    inet_pton(AF_INET, host, &address.sin_addr);
    return address;
}

}  // namespace

ProbeRun runProbe(const std::string& arguments) {
    norvale::testbed::MsgBoxWatcher watcher(IDOK);
    ProbeRun run;
    run.result = norvale::testbed::runChild(binPath(kProbeProgram), arguments);
    // A box is answered before the program can end, so all are recorded.
    run.boxes = watcher.boxes();
    return run;
}

bool operator==(const LogRecord& a, const LogRecord& b) {
    return a.mark == b.mark && a.text == b.text;
}

std::ostream& operator<<(std::ostream& out, const LogRecord& record) {
    return out << record.mark << " \"" << record.text << "\"";
}

std::vector<LogRecord> parseLog(const std::string& content) {
    std::vector<LogRecord> records;
    std::size_t begin = 0;
    while (begin < content.size()) {
        std::size_t end = content.find("\r\n", begin);
        if (end == std::string::npos) end = content.size();
        records.push_back(parseRecord(content.substr(begin, end - begin)));
        begin = end + 2;
    }
    return records;
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

WinsockUser::WinsockUser() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

WinsockUser::~WinsockUser() { WSACleanup(); }

Listener::Listener(const char* host, int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address = ipv4Address(host, port);
    if (::bind(socket_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket_.get(), 4) != 0) {
        socket_.reset();
    }
}

norvale::Socket connectTo(const char* host, int port) {
    norvale::Socket client(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address = ipv4Address(host, port);
    if (::connect(client.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        client.reset();
    return client;
}

RedirectorStandin::RedirectorStandin(int listenPort, const std::string& proxyHost, int proxyPort,
                                     const std::string& action) {
    char eventName[64];
    std::snprintf(eventName, sizeof eventName, "NorvaleTestRedirectorReady_%lu_%d",
                  GetCurrentProcessId(), listenPort);
    norvale::KernelHandle readyEvent(CreateEventA(nullptr, TRUE, FALSE, eventName));
    if (!readyEvent) return;

    char arguments[256];
    std::snprintf(arguments, sizeof arguments, "%d %s %d %s --ready %s --lifetime %lu", listenPort,
                  proxyHost.c_str(), proxyPort, action.c_str(), eventName, kStandinLifetimeMs);
    if (!child_.start(binPath("redirector-standin.exe"), arguments)) return;

    HANDLE waits[2] = {readyEvent.get(), child_.process()};
    ready_ = WaitForMultipleObjects(2, waits, FALSE, kStandinReadyMs) == WAIT_OBJECT_0;
}

}  // namespace linkprobe_test
