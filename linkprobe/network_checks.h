// The link checker's five TCP checks. None lets an exception escape; each
// starts and cleans up Winsock itself, so they can run one after another.
#pragma once

#include <cstddef>
#include <string>

#include "common/linkprobe_codes.h"

namespace c2s {

// Loop-back echo: "127.0.0.1", port 3887, payload "hello world!".
constexpr const char* kLoopbackHost = "127.0.0.1";
constexpr int kLoopbackPort = 3887;
constexpr const char* kEchoPayload = "hello world!";
// The product's web site: the outside host that proves Internet access.
constexpr const char* kOutsideHost = "www.norvale.com";
constexpr int kOutsidePort = 80;
// The address the redirector diverts, and the block it delivers.
constexpr const char* kDivertedHost = "1.1.2.2";
constexpr std::size_t kRedirectorBlockSize = 168;
// The bind failure that means another program listens on the address.
constexpr int kAddressInUse = 10048;  // WSAEADDRINUSE

// Verdicts of check_Bind_network; the "-bindcheck" mode exits with them.
enum BindVerdict {
    kBindFree = kExitBindFree,
    kBindInUse = kExitBindInUse,
    kBindOtherError = kExitBindOtherError
};

// True when the bytes echoed over the loop-back equal the bytes sent.
bool check_local_network();
// True when a connection to the outside host could be opened.
bool check_out_network();
// True when a connection to the diverted address on portClient arrived at
// hostServer:portServer carrying exactly one block of 168 bytes.
bool check_LSP_network(int portClient, int portServer, std::string hostServer);
// BindVerdict for listening on hostServer:portServer.
int check_Bind_network(const std::string& hostServer, int portServer);
// True when a connection to hostConnect:portConnect could be opened.
bool check_LSP_network_FUS(const std::string& hostConnect, int portConnect);

}  // namespace c2s
