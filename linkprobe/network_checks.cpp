#include "linkprobe/network_checks.h"

#include <cstring>
#include <vector>

#include "common/log_file.h"
#include "linkprobe/c2s_exception.h"
#include "linkprobe/c2s_winsock.h"
#include "linkprobe/client_side.h"
#include "linkprobe/server_side.h"

namespace c2s {

namespace {

void log_caught(const exception& caught) {
    g_log.logf(LOG_WARNING, "Catch: %s\n", caught.describe().c_str());
}

void log_caught_unknown() { g_log.log(LOG_WARNING, "Catch: unknown exception\n"); }

// Runs a check's body; whatever it throws ends the check as failed: the
// caught error, the check's FAILED line, Winsock cleaned up. The body's
// endpoints are gone (their closing lines written) before that.
template <typename Body>
bool run_check(const char* failedLine, Body body) {
    try {
        return body();
    } catch (const exception& caught) {
        log_caught(caught);
    } catch (...) {
        log_caught_unknown();
    }
    g_log.log(LOG_ERROR, failedLine);
    stop_winsock();
    return false;
}

// Winsock is already clean; logs the verdict line.
bool report(bool passed, const char* successLine, const char* failedLine) {
    if (passed)
        g_log.log(LOG_INFO, successLine);
    else
        g_log.log(LOG_ERROR, failedLine);
    return passed;
}

bool echo_over_loopback() {
    server_side server(kLoopbackHost, kLoopbackPort);
    client_side client;
    server.start();
    client.connect(kLoopbackHost, kLoopbackPort);
    server.accept_connection();

    std::vector<char> send_buffer(kEchoPayload, kEchoPayload + std::strlen(kEchoPayload));
    std::vector<char> recv_buffer;
    client.send_all(send_buffer);
    server.read_pending(recv_buffer);

    if (send_buffer == recv_buffer) return true;
    g_log.log(LOG_WARNING, "send_buffer is diff than recv_buffer\n");
    return false;
}

void connect_once(const std::string& host, int port) {
    client_side client;
    client.connect(host, port);
}

bool receive_diverted_block(int portClient, int portServer, const std::string& hostServer) {
    server_side server(hostServer, portServer);
    client_side client;
    server.start();
    client.connect(kDivertedHost, portClient);
    server.accept_connection();

    std::vector<char> buffer;
    server.read_pending(buffer);
    if (buffer.size() == kRedirectorBlockSize) return true;
    g_log.log(LOG_WARNING,
              "[check_LSP_network] the size of the data received by server is not ok!!!\n");
    return false;
}

void listen_once(const std::string& host, int port) {
    server_side server(host, port);
    server.start();
    server.stop();
}

}  // namespace

bool check_local_network() {
    const char* failedLine = "[check_local_network] FAILED.\n\n\n";
    g_log.log(LOG_INFO, "[check_local_network] start ...\n");
    return run_check(failedLine, [&] {
        start_winsock();
        bool echoed = echo_over_loopback();
        stop_winsock();
        return report(echoed, "[check_local_network] SUCCESS.\n\n\n", failedLine);
    });
}

bool check_out_network() {
    const char* failedLine = "[check_out_network] FAILED.\n\n\n";
    g_log.log(LOG_INFO, "[check_out_network] start ...\n");
    return run_check(failedLine, [&] {
        start_winsock();
        connect_once(kOutsideHost, kOutsidePort);
        stop_winsock();
        return report(true, "[check_out_network] SUCCESS.\n\n\n", failedLine);
    });
}

bool check_LSP_network(int portClient, int portServer, std::string hostServer) {
    const char* failedLine = "[check_LSP_network] FAILED.\n\n\n";
    g_log.logf(LOG_INFO,
               "[check_LSP_network] start portClient = %d, portServer = %d, hostServer = %s...\n",
               portClient, portServer, hostServer.c_str());
    return run_check(failedLine, [&] {
        start_winsock();
        bool delivered = receive_diverted_block(portClient, portServer, hostServer);
        stop_winsock();
        return report(delivered, "[check_LSP_network] SUCCESS.\n\n\n", failedLine);
    });
}

int check_Bind_network(const std::string& hostServer, int portServer) {
    const char* failedLine = "[check_Bind_network] FAILED.\n\n\n";
    g_log.logf(LOG_INFO, "[check_Bind_network] start hostServerListen = %s, portServer = %d...\n",
               hostServer.c_str(), portServer);
    try {
        start_winsock();
        listen_once(hostServer, portServer);
        stop_winsock();
        g_log.log(LOG_INFO, "[check_Bind_network] SUCCESS.\n\n\n");
        return kBindFree;
    } catch (const exception& caught) {
        log_caught(caught);
        stop_winsock();
        if (caught.code == kBindFailed && caught.reason == kAddressInUse) {
            g_log.log(LOG_ERROR, "[check_Bind_network] failed with the WSAEADDRINUSE.\n");
            g_log.log(LOG_ERROR, failedLine);
            return kBindInUse;
        }
        g_log.log(LOG_ERROR, failedLine);
        return kBindOtherError;
    } catch (...) {
        log_caught_unknown();
        g_log.log(LOG_ERROR, failedLine);
        stop_winsock();
        return kBindOtherError;
    }
}

bool check_LSP_network_FUS(const std::string& hostConnect, int portConnect) {
    const char* failedLine = "[check_LSP_network_FUS] FAILED.\n\n\n";
    g_log.log(LOG_INFO, "[check_LSP_network_FUS] start ...\n");
    return run_check(failedLine, [&] {
        start_winsock();
        connect_once(hostConnect, portConnect);
        stop_winsock();
        return report(true, "[check_LSP_network_FUS] SUCCESS.\n\n\n", failedLine);
    });
}

}  // namespace c2s
