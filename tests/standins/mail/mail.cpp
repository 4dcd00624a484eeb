// Stand-in for the mail proxy: listens on TR_ADDRESS_TO_LISTEN of the file
// after "-c" (default 127.0.0.1:3887) without address reuse, owns a hidden
// top-level window of class Win32NorvaleEncryptionEngine titled
// "norvale-mail", and ends on WM_CLOSE unless told to ignore it, or after
// run_ms.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "common/product_windows.h"
#include "common/socket_handle.h"
#include "tests/standins/journal/standin.h"
#include "tests/standins/mail/listen_address.h"

namespace {

constexpr const char* kWindowClass = kMailProxyWindow.windowClass;
constexpr const char* kWindowTitle = kMailProxyWindow.title;

class Winsock {
public:
    Winsock() {
        WSADATA data;
        ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~Winsock() {
        if (ok_) WSACleanup();
    }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// Binds and listens with no reuse option, so that a second bind to the same
// address fails with WSAEADDRINUSE. 0 or the Winsock error.
int listenOn(const standin::ListenAddress& address, norvale::Socket& listener) {
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    std::string port = std::to_string(address.port);
    if (getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr) {
        return WSAGetLastError();
    }
    listener.reset(socket(found->ai_family, found->ai_socktype, found->ai_protocol));
    int result = 0;
    if (!listener) {
        result = WSAGetLastError();
    } else if (bind(listener.get(), found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0 ||
               listen(listener.get(), SOMAXCONN) != 0) {
        result = WSAGetLastError();
        listener.reset();
    }
    freeaddrinfo(found);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (standin::usageRequested(argc, argv, "norvale-mail.exe, the mail proxy",
                                "Usage: norvale-mail.exe -c \"<norvale.conf>\". It listens on "
                                "TR_ADDRESS_TO_LISTEN of that file (default 127.0.0.1:3887), "
                                "owns a hidden window \"norvale-mail\" of class "
                                "Win32NorvaleEncryptionEngine and ends on WM_CLOSE.")) {
        return 0;
    }
    standin::Run run;
    standin::setWindowRun(&run);

    standin::ListenAddress address =
        standin::readListenAddress(standin::configPathArgument(argc, argv));
    std::string where = address.host + ":" + std::to_string(address.port);
    Winsock winsock;
    norvale::Socket listener;
    int error = winsock.ok() ? listenOn(address, listener) : WSASYSNOTREADY;
    run.record(error == 0 ? "listen " + where
                          : "listen-failed " + where + " " + std::to_string(error));

    if (standin::createHiddenWindow(kWindowClass, kWindowTitle, standin::closingWindowProc) ==
        nullptr) {
        run.record("window-failed " + std::to_string(GetLastError()));
        return run.finish();
    }
    standin::runMessageLoop(run, run.runMs(standin::kRunUntilClosed));
    return run.finish();
}
