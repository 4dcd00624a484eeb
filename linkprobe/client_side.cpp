#include "linkprobe/client_side.h"

#include "common/log_file.h"
#include "linkprobe/c2s_exception.h"
#include "linkprobe/ipv4_address.h"

namespace c2s {

client_side::client_side() : port(0) {}

client_side::~client_side() { disconnect(); }

void client_side::connect(const std::string& host, int port) {
    this->host = host;
    this->port = port;
    g_log.logf(LOG_INFO, "[ClientSide] Attempt connection to: %s:%d\n", host.c_str(), port);

    sockaddr_in address = resolve_ipv4(host, port, false);
    log_resolved(
        "[ClientSide] Attempt connect (after getaddinfo) to: sin_family=%d, sin_port=%d, "
        "sin_addr=%d.%d.%d.%d\n",
        address);

    socket.reset(::socket(AF_INET, SOCK_STREAM, 0));
    if (!socket) C2S_THROW(kSocketFailed, WSAGetLastError());

    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
        SOCKET_ERROR) {
        int error = WSAGetLastError();
        socket.reset();
        C2S_THROW(kConnectFailed, error);
    }
    g_log.log(LOG_INFO, "[ClientSide] Connection established.\n");
}

void client_side::send_all(const std::vector<char>& buffer) {
    if (buffer.empty()) return;
    int sent = ::send(socket.get(), buffer.data(), static_cast<int>(buffer.size()), 0);
    if (sent != static_cast<int>(buffer.size())) C2S_THROW(kSendIncomplete, WSAGetLastError());
}

void client_side::disconnect() {
    if (!socket) {
        g_log.log(LOG_INFO, "[ClientSide] already disconected.\n");
        return;
    }
    g_log.log(LOG_INFO, "[ClientSide] disconnect ...\n");
    socket.reset();
    g_log.log(LOG_INFO, "[ClientSide] disconnect done.\n");
}

}  // namespace c2s
