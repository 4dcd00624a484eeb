// The product's windows that the programs close: the class and title to look
// for (the alternative title is tried when the first finds nothing), the
// message the owning process's windows get, and how long that process may
// take to end before it is terminated. The launcher closes the message-log
// window, the process control tool all three.
#pragma once

#include <windows.h>

struct ProductWindow {
    const char* windowClass;
    const char* title;
    const char* alternativeTitle;  // may be null
    UINT message;
    DWORD closeTimeoutMs;
};

// The mail proxy ends on WM_CLOSE; it may have connections to finish.
constexpr ProductWindow kMailProxyWindow = {"Win32NorvaleEncryptionEngine", "norvale-mail",
                                            nullptr, WM_CLOSE, 20000};
// The message-log window goes down on WM_DESTROY at once.
constexpr ProductWindow kMessageLogWindow = {"QWidget", "Norvale Message Log", nullptr,
                                             WM_DESTROY, 500};
// The graphical client, in either of its two modes.
constexpr ProductWindow kGraphicalClientWindow = {"QWidget", "Norvale (Expert Mode)",
                                                  "Norvale (Simple Mode)", WM_DESTROY, 2500};
