// A blocking TCP listener that takes one connection and reads what arrives.
#pragma once

#include "common/socket_handle.h"

#include <string>
#include <vector>

namespace c2s {

// Longest wait for a connection to be queued: the same as for data, so a
// connection that never comes ends the check instead of hanging it (and the
// launcher that waits for this program).
constexpr long kAcceptWaitSeconds = 3;
// Longest wait for data on the accepted connection.
constexpr long kReadWaitSeconds = 3;
// Bytes taken by one receive.
constexpr std::size_t kReadChunk = 10240;

class server_side {
public:
    server_side(std::string host, int port);
    server_side(const server_side&) = delete;
    server_side& operator=(const server_side&) = delete;
    ~server_side();

    // Socket, resolve (passive), bind, listen with a backlog of 1.
    void start();
    // Waits up to kAcceptWaitSeconds for a connection and accepts it; code 8
    // with WSAETIMEDOUT when none came.
    void accept_connection();
    // Waits up to kReadWaitSeconds, then appends what one receive delivers
    // (at most kReadChunk bytes). A peer that closed appends nothing and
    // the connection is closed.
    void read_pending(std::vector<char>& buffer);
    // Closes the connection and the listening socket.
    void stop();

private:
    void close_connection();

    std::string host;
    int port;
    norvale::Socket listen_socket;
    norvale::Socket connection_socket;
};

}  // namespace c2s
