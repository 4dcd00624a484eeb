// Owner for a Winsock socket. Kept apart from handles.h because winsock2.h
// must come before windows.h.
#pragma once

#include <winsock2.h>

#include "common/handles.h"

namespace norvale {

struct SocketTraits {
    using Type = SOCKET;
    static Type invalid() noexcept { return INVALID_SOCKET; }
    static void close(Type s) noexcept { closesocket(s); }
};

using Socket = UniqueHandle<SocketTraits>;

}  // namespace norvale
