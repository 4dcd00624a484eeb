// Winsock start and clean-up around each network check.
#pragma once

namespace c2s {

// Winsock 2.2; throws c2s::exception (code 2, reason = WSAStartup's result).
void start_winsock();
// WSACleanup and a short pause so the stack settles before the next check.
void stop_winsock() noexcept;

}  // namespace c2s
