// Sockets of the test process itself and the redirector stand-in, for tests
// that play "another program" on the private test network.
#pragma once

#include <winsock2.h>

#include <string>

#include "common/socket_handle.h"
#include "tests/support/child_runner.h"

namespace norvale::testbed {

// host is a dotted IPv4 address.
sockaddr_in ipv4Address(const char* host, int port);

// Winsock for the test process, held while the object lives.
class WinsockUser {
public:
    WinsockUser();
    ~WinsockUser();
    WinsockUser(const WinsockUser&) = delete;
    WinsockUser& operator=(const WinsockUser&) = delete;
};

// A socket of the test process listening on host:port, standing for
// "another program listens there".
class Listener {
public:
    Listener(const char* host, int port);
    bool listening() const { return socket_.valid(); }
    SOCKET get() const { return socket_.get(); }

private:
    WinsockUser winsock_;
    Socket socket_;
};

// A blocking client socket of the test process connected to host:port;
// invalid when the connection failed. Winsock must be started.
Socket connectTo(const char* host, int port);

// The redirector stand-in, listening on 1.1.2.2:listenPort and serving the
// mail proxy's address proxyHost:proxyPort with action ("168", "0",
// "close", "ignore", ...). Killed when the object goes.
class RedirectorStandin {
public:
    RedirectorStandin(int listenPort, const std::string& proxyHost, int proxyPort,
                      const std::string& action);
    // True once the stand-in listens.
    bool ready() const { return ready_; }

private:
    RunningChild child_;
    bool ready_ = false;
};

}  // namespace norvale::testbed
