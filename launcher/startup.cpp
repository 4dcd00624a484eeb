#include "launcher/startup.h"

#include "common/admin.h"
#include "common/install_flag.h"
#include "common/log_file.h"
#include "common/messages.h"
#include "common/options.h"
#include "common/paths.h"
#include "launcher/setup_processor.h"
#include "launcher/supervision.h"
#include "launcher/user_install.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

// Exit code when the set-up processor asks the launcher to stop.
constexpr int kExitSupAsked = 1;
// The set-up processor's answer that means "just exit".
constexpr int kSupJustExit = -1;
constexpr UINT kQuestionStyle = MB_YESNO | MB_ICONQUESTION;
// The flag is there but cannot be read: the user's answer is unknown, and
// asking again could overwrite a "yes" with a "no".
constexpr int kExitFlagUnreadable = -20;
// The question (message 7) could not be shown.
constexpr int kExitNotAsked = -7;

// Runs the set-up processor without the user check (an administrator whose
// user declined the per-user part) and stops the launcher on its -1.
void callSupForAdmin() {
    int result = callSUP(false);
    g_log.logf(LOG_INFO, "callSUP return = %d", result);
    if (result == kSupJustExit) {
        g_log.log(LOG_ERROR, "SUP returned -1, so just exit!");
        std::exit(kExitSupAsked);
    }
}

enum class Answer { Install, Decline, NotAsked };

// The question box answers Yes or No; anything else means it could not be
// shown (no box, no program path), and the user has answered nothing.
Answer userAnswer() {
    if (hasSmtpAccount()) return Answer::Install;
    switch (showMessage(7, kQuestionStyle, nullptr)) {
    case IDYES: return Answer::Install;
    case IDNO: return Answer::Decline;
    default: return Answer::NotAsked;
    }
}

// Nothing is stored, so that the next logon asks again.
[[noreturn]] void endUnasked() {
    g_log.log(LOG_ERROR, "The question could not be shown to the user, so nothing is stored!");
    if (g_instanceMutex) ReleaseMutex(g_instanceMutex);
    std::exit(kExitNotAsked);
}

void install() {
    g_log.log(LOG_INFO, messageTable[78]);
    if (!copyUserFiles()) {
        g_log.log(LOG_ERROR, messageTable[8]);
        fatalExit(-8, 0, nullptr);
    }
    if (!setRegistryFlag(true)) {
        g_log.log(LOG_ERROR, messageTable[9]);
        fatalExit(-9, 0, nullptr);
    }
    startAndMonitorMoskar();
}

void decline() {
    g_log.log(LOG_INFO, messageTable[79]);
    if (!setRegistryFlag(false)) {
        g_log.log(LOG_ERROR, messageTable[9]);
        fatalExit(-9, 0, nullptr);
    }
    if (isUserAdmin()) {
        g_log.log(LOG_INFO,
                  "QueryUserForInstall -> User pressed 'no' -> User is Admin => call SUP");
        callSupForAdmin();
    } else {
        g_log.log(LOG_INFO,
                  "QueryUserForInstall -> User pressed 'no' -> User is NOT Admin => don't call SUP");
    }
}

// Creates the single-instance mutex, owned. It exists already when another
// launcher holds it; a launcher of another session or account may have
// created it so that this one may not open it (no handle, access denied),
// which means the same. Without a handle for any other reason the launcher
// goes on without single-instance protection.
bool anotherLauncherRuns() {
    g_instanceMutex = CreateMutexA(nullptr, TRUE, messageTable[11]);
    DWORD error = GetLastError();
    if (g_instanceMutex) return error == ERROR_ALREADY_EXISTS;
    return error == ERROR_ACCESS_DENIED;
}

int run(int argc, char** argv, const char* modulePath) {
    g_log.open(userFilePath(logFileNameFor(modulePath)).c_str());
    bool fromRegistry = findOption(argc, argv, messageTable[1]);
    bool fromStartMenu = findOption(argc, argv, messageTable[2]);
    if (fromRegistry == fromStartMenu) fatalExit(-3, 0, nullptr);

    if (anotherLauncherRuns()) fatalExit(-4, 0, nullptr);
    if (!setCurrentDir()) fatalExit(-14, 0, nullptr);

    if (fromRegistry) {
        g_log.log(LOG_INFO, messageTable[15]);
        do_registry();
    } else {
        g_log.log(LOG_INFO, messageTable[16]);
        do_startmenu();
    }
    return 0;
}

}  // namespace

void QueryUserForInstall() {
    switch (userAnswer()) {
    case Answer::Install: install(); return;
    case Answer::Decline: decline(); return;
    case Answer::NotAsked: endUnasked();
    }
}

void do_registry() {
    switch (getRegistryFlag()) {
    case FLAG_UNREADABLE:
        fatalExit(kExitFlagUnreadable, 0, nullptr);
    case FLAG_YES:
        startAndMonitorMoskar();
        return;
    case FLAG_NO:
        if (isUserAdmin()) {
            g_log.log(LOG_INFO, "do_registry -> reg flag 'no' -> User is Admin => call SUP");
            callSupForAdmin();
        } else {
            g_log.log(LOG_INFO,
                      "do_registry -> reg flag 'no' -> User is NOT Admin => don't call SUP");
        }
        return;
    default:
        QueryUserForInstall();
        return;
    }
}

void do_startmenu() {
    const int flag = getRegistryFlag();
    if (flag == FLAG_UNREADABLE) fatalExit(kExitFlagUnreadable, 0, nullptr);
    if (flag == FLAG_YES) fatalExit(-18, 0, nullptr);
    QueryUserForInstall();
}

int launcherMain(int argc, char** argv) {
    char modulePath[kMaxPath];
    DWORD length = GetModuleFileNameA(nullptr, modulePath, sizeof modulePath);
    if (length == 0 || length >= sizeof modulePath) fatalExit(-37, 0, nullptr);
    try {
        return run(argc, argv, modulePath);
    } catch (LOG_ERRS::ERR_ID) {
        fatalExit(-39, 0, nullptr);
    } catch (...) {
        fatalExit(-17, 0, nullptr);
    }
}
