#include "remover/remover.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/ansi_text.h"
#include "common/child_process.h"
#include "common/handles.h"
#include "common/install_flag.h"
#include "common/log_file.h"
#include "common/options.h"
#include "common/paths.h"
#include "common/sup_arguments.h"
#include "remover/user_folders.h"

namespace {

constexpr char kUserDelete[] = "--user-delete";
constexpr char kUserDeleteCurrent[] = "--user-delete-currentuser";
constexpr int kExitDone = 0;
constexpr int kExitFailed = static_cast<int>(E_FAIL);

[[noreturn]] void raiseError(DWORD code) { throw static_cast<unsigned long>(code); }

// The remover's own file name with the extension "log", e.g. NorvaleRemover.log.
std::string logFileName() {
    char module[kMaxPath];
    DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    if (length == 0) raiseError(GetLastError());
    // A path that filled the buffer was cut short by the system.
    if (length >= sizeof module) raiseError(ERROR_INSUFFICIENT_BUFFER);

    return logFileNameFor(module);
}

void logSystemError(DWORD code) {
    char* text = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
        nullptr);
    norvale::LocalMemory owner(text);
    g_log.logf(LOG_ERROR, "Error: %s", length != 0 && text != nullptr ? text : "");
}

std::string joinTokens(const std::vector<std::string>& tokens) {
    std::string line;
    for (const std::string& token : tokens) {
        if (!line.empty()) line += ' ';
        line += token;
    }
    return line;
}

// Runs the set-up processor with the command line and logs what it returned.
// A run whose answer cannot be read may have been the one that said stop:
// the removal cannot be reported as done, so it ends as an unexpected failure.
int removeWithSupProcessor(const std::string& commandLine) {
    g_log.logf(LOG_INFO, "Final params: '%s'", commandLine.c_str());
    int code = runProcess(kSupProcessorExe, commandLine);
    if (code == kChildCodeUnknown) throw std::runtime_error("set-up processor answer unknown");
    g_log.logf(LOG_INFO, "The sup tool returned: %d", code);
    return code;
}

// A user folder of the all-users run: its name under the profiles root and
// its product folder, as linkOnTheWay walks it (with the trailing backslash)
// and as the set-up processor gets it (without).
struct UserProduct {
    std::string name;
    std::string productPath;
    std::string productFolder;
};

// A user folder reached through a link is not served: the set-up processor
// would remove whatever the link points to. Logs the warning when it is one.
bool skippedAsLink(const char* root, const std::string& name, const char* productPath) {
    if (!linkOnTheWay(root, name.c_str(), productPath)) return false;
    g_log.logf(LOG_WARNING, "Skipped user dir '%s%s': it or a folder on the way to its "
               "product folder is a link", root, name.c_str());
    return true;
}

// The product folder of every listed name. Every folder is known before
// anything is removed; one that is reached through a link already is left out.
std::vector<UserProduct> productFoldersOf(const char* root, const std::vector<std::string>& names) {
    std::vector<UserProduct> users;
    for (const std::string& name : names) {
        char product[kMaxPath];
        if (!profileNorvaleFolder(root, name.c_str(), product)) raiseError(ERROR_PATH_NOT_FOUND);
        if (skippedAsLink(root, name, product)) continue;
        UserProduct user{name, product, {}};
        char* last = ansi::findLastChar(product, '\\');
        if (last != nullptr) *last = '\0';
        user.productFolder = product;
        g_log.logf(LOG_INFO, "Found user dir: '%s'", product);
        users.push_back(std::move(user));
    }
    return users;
}

// The product's feedback page opens once at the next logon. A key that
// cannot be created is logged as a value that cannot be set: either way the
// page will not open.
void registerFeedbackPage() {
    g_log.log(LOG_INFO, "Do what is needed to run the norvale http link -> write it in RunOnce");
    norvale::RegKey key;
    DWORD size = static_cast<DWORD>(std::strlen(kFeedbackAddress) + 1);
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, key.receive(), nullptr) != ERROR_SUCCESS ||
        RegSetValueExA(key.get(), kFeedbackValue, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(kFeedbackAddress), size) != ERROR_SUCCESS)
        g_log.log(LOG_WARNING,
                  "Failed to set the http link in the "
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
}

int chooseRun(int argc, char** argv) {
    if (findOption(argc, argv, kOptionCurrentUser)) return removeForCurrentUser();
    if (findOption(argc, argv, kOptionAllUsers)) return removeForAllUsers();
    g_log.log(LOG_ERROR, "Wrong params!");
    return kExitFailed;
}

}  // namespace

int removeForCurrentUser() {
    g_log.log(LOG_INFO, "The tool was called for the current user");
    const int flag = getRegistryFlag();
    // An answer that is there but cannot be read is no "product disabled".
    if (flag == FLAG_UNREADABLE) raiseError(GetLastError());
    if (flag != FLAG_YES) {
        MessageBoxA(nullptr, kDisabledText, kDisabledCaption, MB_OK);
        g_log.log(LOG_INFO, "The product is not enabled for the current user");
        return kExitDone;
    }

    SupFolderArguments folders = supFolderArguments(userNorvaleFolder());
    int code = removeWithSupProcessor(joinTokens({kSupProcessorExe, kUserDelete, kUserDeleteCurrent,
                                                  folders.user, folders.client, folders.system}));
    return code == kSupStop ? kSupStop : kExitDone;
}

int removeForAllUsers() {
    g_log.log(LOG_INFO, "The tool was called for all users");
    char root[kMaxPath];
    if (!profilesRoot(root)) raiseError(ERROR_PATH_NOT_FOUND);

    const std::vector<UserProduct> users = productFoldersOf(root, listUserDirs());

    SupFolderArguments machine = supMachineFolderArguments();
    for (const UserProduct& user : users) {
        // Each run is waited for without a time limit, and a user logged on
        // meanwhile can turn a folder of theirs into a link (a junction needs
        // no privilege): each user's folders are checked again right before
        // that user's run.
        if (skippedAsLink(root, user.name, user.productPath.c_str())) continue;
        std::string userArgument = supUserFolderArgument(user.productFolder);
        if (removeWithSupProcessor(joinTokens({kSupProcessorExe, kUserDelete, userArgument,
                                               machine.client, machine.system})) == kSupStop)
            return kSupStop;
    }
    registerFeedbackPage();
    return kExitDone;
}

int runRemover(int argc, char** argv) {
    try {
        g_log.open(userFilePath(logFileName()).c_str());
        if (!setCurrentDir()) g_log.log(LOG_ERROR, "setCurrentDir() failed!");
        return chooseRun(argc, argv);
    } catch (unsigned long code) {
        logSystemError(code);
        return static_cast<int>(code);
    } catch (...) {
        g_log.log(LOG_ERROR, "Unknown error\n:");
        return kExitFailed;
    }
}
