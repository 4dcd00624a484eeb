#include "taskctl/taskctl.h"

#include "common/options.h"
#include "taskctl/console_text.h"
#include "taskctl/launcher_restart.h"
#include "taskctl/process_owner.h"
#include "taskctl/status.h"
#include "taskctl/terminate.h"
#include "taskctl/window_close.h"

#include <cstdlib>
#include <string>

namespace taskctl {

namespace {

constexpr int kExpectedArgc = 3;  // program name, "-f", the mask

const char kHelpText[] =
    "norvale-taskctl.exe -f <bitmask>\n"
    "performs operations on the running Norvale applications:\n"
    " -?, -h       : Show this help page.\n"
    " -f <bitmask> : Select operations to perform.\n"
    " <bitmask>    : Bit 0 - close/terminate norvale-launcher.exe\n"
    "                Bit 1 - close/terminate norvale-mail.exe\n"
    "                Bit 2 - close/terminate norvale-msg.exe\n"
    "                Bit 3 - close/terminate Norvale (Expert Mode) / Norvale (Simple Mode) \n"
    "                Bit 4 - (re)start norvale-launcher.exe\n"
    "                Bit 5 - ignore process owner\n"
    "Example: \"norvale-taskctl.exe -f 31\" closes and restarts all Norvale\n"
    "          processes.\n";

bool helpRequested(int& argc, char** argv) {
    if (argc != kExpectedArgc) return true;
    return findOption(argc, argv, "-h") || findOption(argc, argv, "-?");
}

// The owner the launcher must have to be terminated: the tool's own
// account, or none (any account) when bit 5 is set or the lookup fails.
bool ownOwnerFilter(unsigned mask, std::string& owner, FILE* out) {
    if (mask & kAnyLauncherOwner) return false;
    DWORD error = processOwner(GetCurrentProcessId(), owner);
    if (error != 0) {
        printStatus(error, out);
        return false;
    }
    printText(out, "User context '%s'\n", owner.c_str());
    return true;
}

void terminateLauncher(unsigned mask, DWORD& status, FILE* out) {
    std::string owner;
    bool filtered = ownOwnerFilter(mask, owner, out);
    status = terminateProcessByName(kLauncherFileName, filtered ? owner.c_str() : nullptr);
    if (status != 0) printStatus(status, out);
}

void startLauncherAgain(DWORD& status, FILE* out) {
    DWORD error = restartLauncher();
    if (error == 0) return;
    printStatus(error, out);
    status = error;
}

DWORD runOperations(unsigned mask, FILE* out) {
    DWORD status = kStatusSuccess;
    if (mask & kTerminateLauncher) terminateLauncher(mask, status, out);
    if (mask & kCloseMailProxy) closeTargetWindow(kMailProxyWindow, status, out);
    if (mask & kCloseMessageLog) closeTargetWindow(kMessageLogWindow, status, out);
    if (mask & kCloseGraphicalClient) closeTargetWindow(kGraphicalClientWindow, status, out);
    if (mask & kRestartLauncher) startLauncherAgain(status, out);
    return status;
}

}  // namespace

void printHelp(FILE* out) {
    writeText(out, kHelpText);
}

DWORD runTaskctl(int argc, char** argv, FILE* out) {
    if (helpRequested(argc, argv)) {
        printHelp(out);
        return kStatusHelpShown;
    }
    DWORD status = kStatusMissingMask;
    char* maskText = nullptr;
    if (findOption(argc, argv, "-f", &maskText) && maskText != nullptr) {
        long mask = parseMask(maskText);
        printText(out, "Starting norvale-taskctl.exe with parameter -f %lu...\n",
                  static_cast<unsigned long>(mask));
        status = runOperations(operationsOf(mask), out);
    }
    printStatus(status, out);
    return status;
}

}  // namespace taskctl
