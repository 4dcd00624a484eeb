// The one error type of the link checker's socket layer: which operation
// failed and the Winsock error it failed with.
#pragma once

#include <exception>
#include <string>

namespace c2s {

// Failing operations, the exception's code.
enum : int {
    kWinsockStartFailed = 2,
    kSocketFailed = 3,
    kBindFailed = 4,
    kListenFailed = 5,
    kResolveFailed = 6,
    kConnectFailed = 7,
    kAcceptFailed = 8,
    kSendIncomplete = 9,
    kRecvFailed = 10,
    kSelectFailed = 11,
    kNothingPending = 12
};

class exception : public std::exception {
public:
    exception(int code, int reason, std::string file, int line);

    // "eXception c2s::<code>, reason::<reason> [<file>:<line>]", at most
    // 999 characters.
    std::string describe() const;

    int code;
    int reason;
    std::string file;
    int line;
};

}  // namespace c2s

// Raises c2s::exception for the statement it stands in.
#define C2S_THROW(code, reason) throw ::c2s::exception((code), (reason), __FILE__, __LINE__)
