// Test fixture, not part of the product: plays the network redirector.
// It listens on the diverted address 1.1.2.2 and, for every connection it
// accepts there, does what its action says towards the mail proxy's
// address: deliver a block of N bytes, open the connection and close it at
// once, or ignore the proxy altogether. It ends by itself after its
// lifetime, so a test that forgets it cannot hang the run.
#include "common/socket_handle.h"

#include <windows.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using norvale::Socket;

constexpr const char* kDivertedHost = "1.1.2.2";
constexpr DWORD kDefaultLifetimeMs = 20000;
constexpr int kExitUsage = 2;
constexpr int kExitSocketSetup = 1;

constexpr const char* kUsage =
    "redirector-standin: TEST FIXTURE that plays the network redirector in\n"
    "the link checker's tests. It is not part of the product.\n"
    "\n"
    "usage: redirector-standin LISTENPORT PROXYHOST PROXYPORT ACTION\n"
    "                          [--ready EVENTNAME] [--lifetime MS]\n"
    "  listens on 1.1.2.2:LISTENPORT; per accepted connection ACTION is\n"
    "    N       connect to PROXYHOST:PROXYPORT and send N bytes (0: nothing)\n"
    "    close   connect to PROXYHOST:PROXYPORT and close at once\n"
    "    ignore  do not contact the proxy\n"
    "  --ready     sets the named event once listening\n"
    "  --lifetime  ends after MS milliseconds (default 20000)\n";

enum class Action { Send, Close, Ignore };

struct Options {
    int listenPort = 0;
    std::string proxyHost;
    int proxyPort = 0;
    Action action = Action::Send;
    int bytes = 0;
    std::string readyEvent;
    DWORD lifetimeMs = kDefaultLifetimeMs;
};

bool parseAction(const char* text, Options& options) {
    if (std::strcmp(text, "close") == 0) {
        options.action = Action::Close;
        return true;
    }
    if (std::strcmp(text, "ignore") == 0) {
        options.action = Action::Ignore;
        return true;
    }
    char* end = nullptr;
    long bytes = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || bytes < 0 || bytes > 1000000) return false;
    options.action = Action::Send;
    options.bytes = static_cast<int>(bytes);
    return true;
}

bool parseOptions(int argc, char* argv[], Options& options) {
    if (argc < 5) return false;
    options.listenPort = std::atoi(argv[1]);
    options.proxyHost = argv[2];
    options.proxyPort = std::atoi(argv[3]);
    if (options.listenPort <= 0 || options.proxyPort <= 0) return false;
    if (!parseAction(argv[4], options)) return false;
    for (int i = 5; i < argc; i += 2) {
        if (i + 1 >= argc) return false;
        if (std::strcmp(argv[i], "--ready") == 0)
            options.readyEvent = argv[i + 1];
        else if (std::strcmp(argv[i], "--lifetime") == 0)
            options.lifetimeMs = static_cast<DWORD>(std::strtoul(argv[i + 1], nullptr, 10));
        else
            return false;
    }
    return true;
}

sockaddr_in ipv4Address(const char* host, int port) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    inet_pton(AF_INET, host, &address.sin_addr);
    return address;
}

Socket listenOn(const char* host, int port) {
    Socket listener(::socket(AF_INET, SOCK_STREAM, 0));
    if (!listener) return listener;
    sockaddr_in address = ipv4Address(host, port);
    if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.get(), 4) != 0) {
        listener.reset();
    }
    return listener;
}

Socket connectTo(const std::string& host, int port) {
    Socket connection(::socket(AF_INET, SOCK_STREAM, 0));
    if (!connection) return connection;
    sockaddr_in address = ipv4Address(host.c_str(), port);
    if (::connect(connection.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        connection.reset();
    return connection;
}

void signalReady(const std::string& name) {
    if (name.empty()) return;
    norvale::KernelHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str()));
    if (event) SetEvent(event.get());
}

DWORD remainingMs(DWORD start, DWORD lifetimeMs) {
    DWORD elapsed = GetTickCount() - start;
    return elapsed >= lifetimeMs ? 0 : lifetimeMs - elapsed;
}

// True when the socket became readable within timeoutMs.
bool waitReadable(SOCKET socket, DWORD timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval timeout = {static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &timeout) == 1;
}

// Keeps the diverted connection open until its client closes it or the
// lifetime ends, as a real redirector keeps its leg open.
void holdUntilClosed(const Socket& diverted, DWORD start, DWORD lifetimeMs) {
    char scratch[512];
    while (DWORD left = remainingMs(start, lifetimeMs)) {
        if (!waitReadable(diverted.get(), left)) return;
        if (::recv(diverted.get(), scratch, sizeof scratch, 0) <= 0) return;
    }
}

void divert(const Options& options, const Socket& diverted, DWORD start) {
    Socket proxy;
    if (options.action != Action::Ignore) proxy = connectTo(options.proxyHost, options.proxyPort);
    if (proxy && options.action == Action::Send && options.bytes > 0) {
        std::vector<char> block(static_cast<std::size_t>(options.bytes), 'R');
        ::send(proxy.get(), block.data(), options.bytes, 0);
    }
    if (options.action == Action::Close) proxy.reset();
    holdUntilClosed(diverted, start, options.lifetimeMs);
}

int serve(const Options& options) {
    Socket listener = listenOn(kDivertedHost, options.listenPort);
    if (!listener) {
        std::fprintf(stderr, "redirector-standin: cannot listen on %s:%d (%d)\n", kDivertedHost,
                     options.listenPort, WSAGetLastError());
        return kExitSocketSetup;
    }
    signalReady(options.readyEvent);

    const DWORD start = GetTickCount();
    while (DWORD left = remainingMs(start, options.lifetimeMs)) {
        if (!waitReadable(listener.get(), left)) break;
        Socket diverted(::accept(listener.get(), nullptr, nullptr));
        if (diverted) divert(options, diverted, start);
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return kExitSocketSetup;
    int code = serve(options);
    WSACleanup();
    return code;
}
