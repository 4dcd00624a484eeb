// Turning a host text and a port number into the IPv4 socket address the
// endpoints bind or connect to.
#pragma once

#include <winsock2.h>

#include <string>

namespace c2s {

// The first IPv4 address getaddrinfo gives for host and the port in decimal;
// passive asks for an address to listen on. Throws c2s::exception code 6
// when resolution fails, finds nothing, or the port is not a TCP port.
sockaddr_in resolve_ipv4(const std::string& host, int port, bool passive);

// Logs format (a "... sin_family=%d, sin_port=%d, sin_addr=%d.%d.%d.%d\n"
// line) with the family, the port in host order and the address bytes in
// network order.
void log_resolved(const char* format, const sockaddr_in& address);

}  // namespace c2s
