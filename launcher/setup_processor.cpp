#include "launcher/setup_processor.h"

#include "common/child_process.h"
#include "common/log_file.h"
#include "common/paths.h"

namespace {

std::string folderParameter(const char* option, const std::string& folder) {
    return std::string(option) + " \"" + folder + "\"";
}

}  // namespace

std::string supCommandLine(bool userCheck) {
    std::string userParam = folderParameter("--user-folder", userNorvaleFolder());
    std::string binaryParam = folderParameter("--client-folder", exeFolder());
    std::string systemParam = folderParameter("--system-folder", systemFolder());
    g_log.logf(LOG_INFO, "User param: '%s'", userParam.c_str());
    g_log.logf(LOG_INFO, "Binary param: '%s'", binaryParam.c_str());
    g_log.logf(LOG_INFO, "System param: '%s'", systemParam.c_str());
    return std::string(kSupProcessorExe) + " " + userParam + " " + binaryParam + " " +
           systemParam + " " + (userCheck ? "" : "--no-user-check");
}

int callSUP(bool userCheck) {
    g_log.log(LOG_INFO, "Call the SUP!");
    std::string commandLine = supCommandLine(userCheck);
    g_log.logf(LOG_INFO, "Final params: '%s'", commandLine.c_str());
    return runSupProcessor(commandLine);
}
