#include "linkprobe/server_side.h"

#include <utility>

#include "common/log_file.h"
#include "linkprobe/c2s_exception.h"
#include "linkprobe/ipv4_address.h"

namespace c2s {

namespace {

// select for reading on one socket. Returns 1 when readable, 0 on time-out,
// SOCKET_ERROR on failure (the Winsock error is left for the caller).
int wait_readable(SOCKET socket, long seconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval timeout = {seconds, 0};
    int result = select(0, &readable, nullptr, nullptr, &timeout);
    if (result == SOCKET_ERROR) return SOCKET_ERROR;
    return FD_ISSET(socket, &readable) ? 1 : 0;
}

}  // namespace

server_side::server_side(std::string host, int port) : host(std::move(host)), port(port) {}

server_side::~server_side() { stop(); }

void server_side::start() {
    if (listen_socket) {
        g_log.log(LOG_INFO, "[ServerSide] already started.\n");
        return;
    }
    g_log.log(LOG_INFO, "[ServerSide] starting ....");

    listen_socket.reset(::socket(AF_INET, SOCK_STREAM, 0));
    if (!listen_socket) C2S_THROW(kSocketFailed, WSAGetLastError());

    g_log.logf(LOG_INFO, "[ServerSide] Attempt bind to: %s:%d\n", host.c_str(), port);
    sockaddr_in address = resolve_ipv4(host, port, true);
    log_resolved(
        "[ServerSide] Attempt bind (after getaddinfo) to: sin_family=%d, sin_port=%d, "
        "sin_addr=%d.%d.%d.%d\n",
        address);

    if (::bind(listen_socket.get(), reinterpret_cast<const sockaddr*>(&address),
               sizeof address) == SOCKET_ERROR) {
        C2S_THROW(kBindFailed, WSAGetLastError());
    }
    if (::listen(listen_socket.get(), 1) == SOCKET_ERROR) {
        C2S_THROW(kListenFailed, WSAGetLastError());
    }
    g_log.log(LOG_INFO, " done.\n");
}

void server_side::accept_connection() {
    g_log.log(LOG_INFO, "[ServerSide] Waiting for a connection ...\n");

    int ready = wait_readable(listen_socket.get(), kAcceptWaitSeconds);
    if (ready == SOCKET_ERROR) C2S_THROW(kAcceptFailed, WSAGetLastError());
    if (ready == 0) C2S_THROW(kAcceptFailed, WSAETIMEDOUT);

    sockaddr_in peer;
    int peerLength = sizeof peer;
    connection_socket.reset(
        ::accept(listen_socket.get(), reinterpret_cast<sockaddr*>(&peer), &peerLength));
    if (!connection_socket) C2S_THROW(kAcceptFailed, WSAGetLastError());

    g_log.log(LOG_INFO, "[ServerSide] Connection accepted.\n");
}

void server_side::read_pending(std::vector<char>& buffer) {
    g_log.log(LOG_INFO, "[ServerSide] check if there is any data pending ... 3 seconds...");

    int ready = wait_readable(connection_socket.get(), kReadWaitSeconds);
    if (ready == SOCKET_ERROR) C2S_THROW(kSelectFailed, WSAGetLastError());
    if (ready == 0) C2S_THROW(kNothingPending, WSAGetLastError());

    g_log.log(LOG_INFO, "done.\n");
    g_log.log(LOG_INFO, "[ServerSide] read data ...");

    const std::size_t oldSize = buffer.size();
    buffer.resize(oldSize + kReadChunk, '\0');
    int received = ::recv(connection_socket.get(), buffer.data() + oldSize,
                          static_cast<int>(kReadChunk), 0);
    if (received == SOCKET_ERROR) {
        int error = WSAGetLastError();
        // The caller keeps what it held before, not a tail of zero bytes.
        buffer.resize(oldSize);
        C2S_THROW(kRecvFailed, error);
    }
    if (received == 0) close_connection();

    buffer.resize(oldSize + static_cast<std::size_t>(received));
    g_log.log(LOG_INFO, " done.\n");
}

void server_side::close_connection() {
    if (!connection_socket) {
        g_log.log(LOG_INFO, "[ServerSide] already disconected.\n");
        return;
    }
    g_log.log(LOG_INFO, "[ServerSide] disconnect ...\n");
    connection_socket.reset();
    g_log.log(LOG_INFO, "[ServerSide] disconnect done.\n");
}

void server_side::stop() {
    if (!connection_socket && !listen_socket) return;
    g_log.log(LOG_INFO, "[ServerSide] stopping ...");
    connection_socket.reset();
    listen_socket.reset();
    g_log.log(LOG_INFO, "done.\n");
}

}  // namespace c2s
