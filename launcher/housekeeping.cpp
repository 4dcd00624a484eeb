#include "launcher/housekeeping.h"

#include "common/child_process.h"
#include "common/handles.h"
#include "common/log_file.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/product_windows.h"

#include <cstring>
#include <string>

namespace {

const char kOldLogPrefix[] = "norvale.log.";
const char kTaskbarClass[] = "Shell_TrayWnd";
const char kToolbarClass[] = "ToolbarWindow32";
// Mouse sweep over the notification area: first position and step.
constexpr int kSweepStart = 9;
constexpr int kSweepStep = 18;
// Each mouse move may take the toolbar this long; a shell that does not
// answer in time is taken as hung and the sweep stops, so that the proxy
// supervision goes on.
constexpr UINT kSweepMoveTimeoutMs = 300;
// Longest user folder that is searched: with "*.*" behind it the pattern
// still fits a path buffer.
constexpr std::size_t kUserFolderLimit = 256;

bool isOldLogFile(const WIN32_FIND_DATAA& entry) {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    return std::strncmp(entry.cFileName, kOldLogPrefix, sizeof kOldLogPrefix - 1) == 0;
}

void deleteLogFile(const std::string& folder, const char* name) {
    std::string path = folder + name;
    bool deleted = path.size() < kMaxPath && DeleteFileA(path.c_str());
    g_log.logf(LOG_INFO, deleted ? "Success deleting file: %s" : "Error deleting file: %s",
               path.c_str());
}

BOOL CALLBACK findToolbar(HWND window, LPARAM found) {
    HWND toolbar = FindWindowExA(window, nullptr, kToolbarClass, nullptr);
    if (!toolbar) return TRUE;
    *reinterpret_cast<HWND*>(found) = toolbar;
    return FALSE;
}

// False when the toolbar did not handle the move within the time-out or
// its thread is hung.
bool sendMouseMove(HWND toolbar, int x, int y) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(x, y),
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, kSweepMoveTimeoutMs, &answer) != 0;
}

}  // namespace

void deleteOldLogFiles() {
    std::string folder = userNorvalePath();
    WIN32_FIND_DATAA entry;
    norvale::FindHandle search;
    // A longer folder is not searched at all: cut short, it would name
    // another folder and its files would be taken for the user's.
    if (folder.size() <= kUserFolderLimit) {
        search.reset(FindFirstFileA((folder + "*.*").c_str(), &entry));
    }
    if (!search) {
        g_log.log(LOG_INFO, "No files found in the user dir!");
        return;
    }
    do {
        if (isOldLogFile(entry)) deleteLogFile(folder, entry.cFileName);
    } while (FindNextFileA(search.get(), &entry));
    if (GetLastError() == ERROR_NO_MORE_FILES) {
        g_log.log(LOG_INFO, "Finished to browse all files from user dir for the log files");
    } else {
        g_log.log(LOG_INFO, "FindNextFile returned ERROR!");
    }
}

int closeMessageLog() {
    HWND window = FindWindowA(kMessageLogWindow.windowClass, kMessageLogWindow.title);
    if (!window) {
        g_log.log(LOG_WARNING, messageTable[82]);
        return 0;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == 0) {
        g_log.log(LOG_ERROR, messageTable[83]);
        return 83;
    }
    if (closeProcessWindows(processId, kMessageLogWindow.closeTimeoutMs,
                            kMessageLogWindow.message, 0, 0) != 0) {
        g_log.log(LOG_ERROR, messageTable[84]);
        return 84;
    }
    cleanTrayIcons();
    g_log.log(LOG_INFO, messageTable[85]);
    return 0;
}

HRESULT cleanTrayIcons() {
    HWND taskbar = FindWindowA(kTaskbarClass, nullptr);
    if (!taskbar) return 2;
    HWND toolbar = nullptr;
    EnumChildWindows(taskbar, findToolbar, reinterpret_cast<LPARAM>(&toolbar));
    if (!toolbar) return 2;
    RECT client;
    if (!GetClientRect(toolbar, &client)) return E_INVALIDARG;
    int y = (client.bottom - client.top) / 2;
    for (int x = client.left + kSweepStart; x < client.right; x += kSweepStep) {
        if (!sendMouseMove(toolbar, x, y)) {
            DWORD error = GetLastError();
            g_log.logf(LOG_WARNING, "The tray toolbar %p did not answer, tray sweep stopped.",
                       static_cast<void*>(toolbar));
            return HRESULT_FROM_WIN32(error != 0 ? error : ERROR_TIMEOUT);
        }
    }
    return 0;
}
