#include <winsock2.h>

#include "linkprobe/c2s_exception.h"
#include "linkprobe/c2s_winsock.h"

namespace c2s {

namespace {
// Gives the stack time to release what the finished check used before the
// next check (or the process exit) follows.
constexpr DWORD kCleanupPauseMs = 200;
}  // namespace

void start_winsock() {
    WSADATA data;
    int result = WSAStartup(MAKEWORD(2, 2), &data);
    if (result != 0) C2S_THROW(kWinsockStartFailed, result);
}

void stop_winsock() noexcept {
    WSACleanup();
    Sleep(kCleanupPauseMs);
}

}  // namespace c2s
