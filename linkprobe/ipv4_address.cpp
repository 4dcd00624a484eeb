#include "linkprobe/ipv4_address.h"

#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>

#include "common/log_file.h"
#include "linkprobe/c2s_exception.h"

namespace c2s {

namespace {

constexpr int kHighestPort = 65535;

// Owns the list getaddrinfo returns.
struct AddressList {
    addrinfo* first = nullptr;
    AddressList() = default;
    AddressList(const AddressList&) = delete;
    AddressList& operator=(const AddressList&) = delete;
    ~AddressList() {
        if (first != nullptr) freeaddrinfo(first);
    }
};

}  // namespace

sockaddr_in resolve_ipv4(const std::string& host, int port, bool passive) {
    // The resolver would read a number beyond the port range modulo 65536
    // (or a negative one as a service name); refuse it as Windows does
    // instead of reaching some other port.
    if (port < 0 || port > kHighestPort) C2S_THROW(kResolveFailed, WSATYPE_NOT_FOUND);

    char service[16];
    std::snprintf(service, sizeof service, "%d", port);

    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = passive ? AI_PASSIVE : 0;

    AddressList list;
    int result = getaddrinfo(host.c_str(), service, &hints, &list.first);
    if (result != 0) C2S_THROW(kResolveFailed, result);
    if (list.first == nullptr || list.first->ai_addr == nullptr ||
        list.first->ai_addrlen < sizeof(sockaddr_in)) {
        C2S_THROW(kResolveFailed, WSANO_DATA);
    }

    sockaddr_in address;
    std::memcpy(&address, list.first->ai_addr, sizeof address);
    return address;
}

void log_resolved(const char* format, const sockaddr_in& address) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&address.sin_addr);
    g_log.logf(LOG_INFO, format, static_cast<short>(address.sin_family), ntohs(address.sin_port),
               bytes[0], bytes[1], bytes[2], bytes[3]);
}

}  // namespace c2s
