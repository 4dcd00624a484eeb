// A blocking TCP client that connects and sends one buffer.
#pragma once

#include "common/socket_handle.h"

#include <string>
#include <vector>

namespace c2s {

class client_side {
public:
    client_side();
    client_side(const client_side&) = delete;
    client_side& operator=(const client_side&) = delete;
    ~client_side();

    // Resolve, socket, connect; waits as long as the system's own
    // connection time-out. On failure the client stays not connected.
    void connect(const std::string& host, int port);
    // One send of the whole buffer; code 9 when it did not all go.
    void send_all(const std::vector<char>& buffer);
    void disconnect();

private:
    std::string host;
    int port;
    norvale::Socket socket;
};

}  // namespace c2s
