#include "tests/support/test_network.h"

#include <ws2tcpip.h>

#include <cstdio>

#include "tests/support/test_files.h"

namespace norvale::testbed {

namespace {

// The stand-in ends by itself after this long, should its owner not kill it.
constexpr DWORD kRedirectorLifetimeMs = 60000;
// Bound for the stand-in to start listening.
constexpr DWORD kRedirectorReadyMs = 10000;
constexpr int kListenBacklog = 4;

}  // namespace

sockaddr_in ipv4Address(const char* host, int port) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    inet_pton(AF_INET, host, &address.sin_addr);
    return address;
}

WinsockUser::WinsockUser() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

WinsockUser::~WinsockUser() { WSACleanup(); }

Listener::Listener(const char* host, int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    if (!socket_) return;
    sockaddr_in address = ipv4Address(host, port);
    if (::bind(socket_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket_.get(), kListenBacklog) != 0) {
        socket_.reset();
    }
}

Socket connectTo(const char* host, int port) {
    Socket client(::socket(AF_INET, SOCK_STREAM, 0));
    if (!client) return client;
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
    KernelHandle readyEvent(CreateEventA(nullptr, TRUE, FALSE, eventName));
    if (!readyEvent) return;

    char arguments[256];
    std::snprintf(arguments, sizeof arguments, "%d %s %d %s --ready %s --lifetime %lu", listenPort,
                  proxyHost.c_str(), proxyPort, action.c_str(), eventName,
                  static_cast<unsigned long>(kRedirectorLifetimeMs));
    if (!child_.start(binPath("redirector-standin.exe"), arguments)) return;

    HANDLE waits[2] = {readyEvent.get(), child_.process()};
    ready_ = WaitForMultipleObjects(2, waits, FALSE, kRedirectorReadyMs) == WAIT_OBJECT_0;
}

}  // namespace norvale::testbed
