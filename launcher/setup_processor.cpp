#include "launcher/setup_processor.h"

#include "common/child_process.h"
#include "common/log_file.h"
#include "common/paths.h"
#include "common/sup_arguments.h"

std::string supCommandLine(bool userCheck) {
    SupFolderArguments folders = supFolderArguments(userNorvaleFolder());
    return std::string(kSupProcessorExe) + " " + folders.user + " " + folders.client + " " +
           folders.system + " " + (userCheck ? "" : "--no-user-check");
}

int callSUP(bool userCheck) {
    g_log.log(LOG_INFO, "Call the SUP!");
    std::string commandLine = supCommandLine(userCheck);
    g_log.logf(LOG_INFO, "Final params: '%s'", commandLine.c_str());
    return runSupProcessor(commandLine);
}
