// Closing a product program through its top-level window.
#pragma once

#include <windows.h>

#include <cstdio>

namespace taskctl {

// One program the tool closes by its window: the window to look for (the
// alternative title is tried when the first finds nothing), the message its
// windows get, and how long it may take to end before it is terminated.
struct WindowTarget {
    const char* windowClass;
    const char* title;
    const char* alternativeTitle;  // may be null
    UINT message;
    DWORD timeoutMs;
};

// The mail proxy ends on WM_CLOSE; it may have connections to finish.
extern const WindowTarget kMailProxyWindow;
// The message-log window goes down on WM_DESTROY at once.
extern const WindowTarget kMessageLogWindow;
// The graphical client, in either of its two modes.
extern const WindowTarget kGraphicalClientWindow;

// Finds the target's window and closes its process. Without a window the
// status line for 1400, and for a window without process that for 127, is
// printed and status kept; otherwise status becomes the result of closing
// (printed when it is not 0).
void closeTargetWindow(const WindowTarget& target, DWORD& status, FILE* out);

}  // namespace taskctl
