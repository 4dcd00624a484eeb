#include "common/sup_arguments.h"

#include <windows.h>
#include <comdef.h>

#include "common/log_file.h"
#include "common/paths.h"

namespace {

constexpr char kUserFolderOption[] = "--user-folder";
constexpr char kClientFolderOption[] = "--client-folder";
constexpr char kSystemFolderOption[] = "--system-folder";

std::string folderArgument(const char* option, const std::string& folder) {
    return std::string(option) + " \"" + folder + "\"";
}

// The program's folder: an empty one would point the set-up processor at
// some other folder, so a folder that cannot be read fails the run, as a
// user or system folder that cannot be read does.
std::string clientFolder() {
    std::string folder = exeFolder();
    if (folder.empty()) throw _com_error(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    return folder;
}

void logMachineArguments(const SupFolderArguments& arguments) {
    g_log.logf(LOG_INFO, "Binary param: '%s'", arguments.client.c_str());
    g_log.logf(LOG_INFO, "System param: '%s'", arguments.system.c_str());
}

}  // namespace

std::string supUserFolderArgument(const std::string& userFolder) {
    return folderArgument(kUserFolderOption, userFolder);
}

SupFolderArguments supFolderArguments(const std::string& userFolder) {
    SupFolderArguments arguments;
    arguments.user = supUserFolderArgument(userFolder);
    arguments.client = folderArgument(kClientFolderOption, clientFolder());
    arguments.system = folderArgument(kSystemFolderOption, systemFolder());
    g_log.logf(LOG_INFO, "User param: '%s'", arguments.user.c_str());
    logMachineArguments(arguments);
    return arguments;
}

SupFolderArguments supMachineFolderArguments() {
    SupFolderArguments arguments;
    arguments.client = folderArgument(kClientFolderOption, clientFolder());
    arguments.system = folderArgument(kSystemFolderOption, systemFolder());
    logMachineArguments(arguments);
    return arguments;
}
