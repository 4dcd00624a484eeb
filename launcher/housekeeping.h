// Clean-up around each run of the mail proxy: old product logs before the
// first start; the message-log program and dead tray icons after each end.
#pragma once

#include <windows.h>

void deleteOldLogFiles();
// 0 when done or nothing to do, 83 without a process id, 84 when the
// process could not be ended.
int closeMessageLog();
// 0, 2 (taskbar or toolbar not found), E_INVALIDARG (no client size), or
// the error of the first mouse move the toolbar did not answer in time (the
// sweep stops there, with one warning in the log).
HRESULT cleanTrayIcons();
