#include "launcher/supervision.h"

#include "common/child_process.h"
#include "common/log_file.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/product_names.h"
#include "launcher/housekeeping.h"
#include "launcher/network_checks.h"
#include "launcher/setup_processor.h"
#include "launcher/user_install.h"

#include <cstdlib>

namespace {

// Pause between an end of the mail proxy and its next start.
constexpr DWORD kRestartPauseMs = 3000;
constexpr int kSupJustExit = -1;
constexpr int kExitSupAsked = 1;

// Bind check first; another proxy on the address means only the FUS check
// can tell whether the redirector works.
bool networkHealthy() {
    int redirector;
    if (bindCheck() == kCheckFailed) {
        g_log.log(LOG_INFO, "Do the FUS LSP check!");
        redirector = fusLspCheck();
    } else {
        g_log.log(LOG_INFO, "Do the NORMAL LSP check!");
        redirector = normalLspCheck();
    }
    if (redirector == kCheckFailed) {
        g_log.log(LOG_ERROR, messageTable[31]);
        showMessage(-10, 0, nullptr);
        return false;
    }
    g_log.log(LOG_INFO, messageTable[32]);
    return true;
}

void runSetupProcessorOrExit() {
    g_log.log(LOG_INFO, "startAndMonitorMoskar => call SUP");
    int result = callSUP(true);
    g_log.logf(LOG_INFO, "callSUP return = %d", result);
    if (result == kSupJustExit) {
        g_log.log(LOG_ERROR, "SUP returned -1, so just exit!");
        std::exit(kExitSupAsked);
    }
}

// One attempt: set-up processor, proxy run, clean-up. False when the proxy
// could not be started.
bool superviseOnce(int attempt, const std::string& commandLine) {
    g_log.logf(LOG_INFO, messageTable[34], attempt, ordinalSuffix(attempt));
    runSetupProcessorOrExit();
    int code = 0;
    if (!runMailProxy(commandLine, code)) return false;
    if (code == kChildCodeUnknown)
        g_log.log(LOG_WARNING, "norvale-mail.exe ended; its exit code could not be read.");
    else
        g_log.logf(LOG_INFO, messageTable[35], code);
    closeMessageLog();
    Sleep(kRestartPauseMs);
    return true;
}

}  // namespace

const char* ordinalSuffix(int count) {
    switch (count) {
    case 1: return "st";
    case 2: return "nd";
    case 3: return "rd";
    default: return "th";
    }
}

void startAndMonitorMoskar() {
    if (!copyUserFiles()) {
        g_log.log(LOG_ERROR, messageTable[8]);
        fatalExit(-8, 0, nullptr);
    }
    if (!networkHealthy()) return;
    deleteOldLogFiles();
    std::string commandLine = mailProxyCommandLine(userFilePath(kConfFileName));
    for (int attempt = 1; superviseOnce(attempt, commandLine); ++attempt) {
    }
    g_log.log(LOG_ERROR, messageTable[38]);
    showMessage(-38, 0, nullptr);
}
