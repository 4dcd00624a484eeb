#include "launcher/network_checks.h"

#include "common/child_process.h"
#include "common/install_flag.h"
#include "common/linkprobe_codes.h"
#include "common/log_file.h"
#include "common/messages.h"
#include "config/launcher_config.h"

#include <algorithm>

namespace {

// The FUS check connects here, to an address outside the machine.
const char kFusHost[] = "1.1.1.1";
const char kLoopbackAddress[] = "127.0.0.1";
const char kLoopbackName[] = "localhost";

struct LogLine {
    int level;
    const char* text;
};

// Texts of a check's skips when its preconditions are missing.
struct SkipTexts {
    const char* flag;
    const char* missingFile;
    const char* readFailure;
};

const SkipTexts kBindSkips = {
    "The flag from registry is !=yes, so don't test the bind",
    "The conf file doesn't exist, so don't test the bind.",
    "Cannot open config file or at reading was an error, so don't test the bind."};
const SkipTexts kLspSkips = {messageTable[40], messageTable[41], messageTable[42]};

// A command line that would not fit is empty, and runLinkProbe answers an
// empty line as a link checker that could not be started.
int probeBind(const std::string& host, int port) {
    return runLinkProbe(bindCheckCommandLine(host, port));
}

int probeLsp(int portClient, int portServer, const std::string& hostServer) {
    std::string line;
    formatCommandLine(line, "%s %s %d %d %s", kLinkProbeExe, "-lspcheck", portClient, portServer,
                      hostServer.c_str());
    return runLinkProbe(line);
}

int probeLspFus(const char* hostConnect, int portConnect) {
    std::string line;
    formatCommandLine(line, "%s %s %s %d", kLinkProbeExe, "-lspcheckfus", hostConnect, portConnect);
    return runLinkProbe(line);
}

int bindVerdict(int code) {
    LogLine line;
    int verdict = kCheckSkipped;
    switch (code) {
    case kExitSuccess:
        line = {LOG_INFO,
                "Linkprober returned success => bind success => no running moskar on that port"};
        verdict = kCheckOk;
        break;
    case kExitBindInUse:
        line = {LOG_ERROR,
                "Linkprober returned failure: the bind failed with WSAEADDRINUSE => there is "
                "another moskar running"};
        verdict = kCheckFailed;
        break;
    case kExitBindOtherError:
        line = {LOG_ERROR,
                "Linkprober returned failure: the bind failed with another error => not "
                "important for this test"};
        verdict = kCheckBindOther;
        break;
    case kExitWrongArguments: line = {LOG_ERROR, "Wrong params for the linkprober!"}; break;
    case kExitCannotStart: line = {LOG_WARNING, "Linkprober returned other errors."}; break;
    case kChildNotStarted: line = {LOG_ERROR, "Linkprober was not found."}; break;
    default: line = {LOG_WARNING, "Linkprober returned unknown value."}; break;
    }
    g_log.log(line.level, line.text);
    return verdict;
}

int lspVerdict(int code) {
    LogLine line;
    int verdict = kCheckSkipped;
    switch (code) {
    case kExitSuccess:
        line = {LOG_INFO, messageTable[49]};
        verdict = kCheckOk;
        break;
    case kExitRedirectorFailed:
        line = {LOG_ERROR, messageTable[50]};
        verdict = kCheckFailed;
        break;
    case kExitWrongArguments: line = {LOG_ERROR, messageTable[51]}; break;
    case kExitCannotStart: line = {LOG_WARNING, messageTable[53]}; break;
    case kChildNotStarted: line = {LOG_ERROR, messageTable[52]}; break;
    default: line = {LOG_WARNING, messageTable[54]}; break;
    }
    g_log.log(line.level, line.text);
    return verdict;
}

// The start every check shares: flag, file, read. False means "skip".
bool loadConfig(const SkipTexts& skips, LauncherConfig& config) {
    if (getRegistryFlag() != FLAG_YES) {
        g_log.log(LOG_INFO, skips.flag);
        return false;
    }
    if (!confFileAccessible()) {
        g_log.log(LOG_INFO, skips.missingFile);
        return false;
    }
    if (readConfigFile(&config) == 0) {
        g_log.log(LOG_WARNING, skips.readFailure);
        return false;
    }
    g_log.log(LOG_INFO, messageTable[43]);
    logConfig(&config);
    return true;
}

// The preconditions both redirector checks share. False means "skip".
bool redirectorCheckApplies(const LauncherConfig& config) {
    if (linkProbeListed(config.ignoredApplications) ||
        linkProbeListed(config.notRedirectedApplications)) {
        g_log.log(LOG_WARNING, messageTable[45]);
        return false;
    }
    if (config.redirectedPorts.empty()) {
        g_log.log(LOG_WARNING, messageTable[46]);
        return false;
    }
    if (config.listenHost != kLoopbackAddress && config.listenHost != kLoopbackName) {
        g_log.logf(LOG_WARNING, messageTable[47], kLoopbackAddress, kLoopbackName,
                   config.listenHost.c_str());
        return false;
    }
    return true;
}

int firstRedirectedPort(const LauncherConfig& config) {
    return config.redirectedPorts.front();
}

}  // namespace

bool linkProbeListed(const std::vector<std::string>& applications) {
    return std::find(applications.begin(), applications.end(), kLinkProbeExe) != applications.end();
}

int bindCheck() {
    LauncherConfig config;
    if (!loadConfig(kBindSkips, config)) return kCheckSkipped;
    if (config.listenPort == 0) {
        g_log.log(LOG_WARNING, "Moskar listener port is 0 or empty, so don't test the bind.");
        return kCheckSkipped;
    }
    if (config.listenHost.empty()) {
        g_log.log(LOG_WARNING, "Moskar listener host is empty, so don't test the bind.");
        return kCheckSkipped;
    }
    g_log.logf(LOG_INFO, "Linkprober will be called with -bindcheck hostServer=%s portServer=%d",
               config.listenHost.c_str(), config.listenPort);
    return bindVerdict(probeBind(config.listenHost, config.listenPort));
}

int normalLspCheck() {
    LauncherConfig config;
    if (!loadConfig(kLspSkips, config)) return kCheckSkipped;
    if (!redirectorCheckApplies(config)) return kCheckSkipped;
    if (config.listenPort == 0) {
        g_log.log(LOG_WARNING,
                  "Moskar listener port is 0 or empty, so don't test the LSP healthiness.");
        return kCheckSkipped;
    }
    if (config.listenHost.empty()) {
        g_log.log(LOG_WARNING, "Moskar listener host is empty, so don't test the LSP healthiness.");
        return kCheckSkipped;
    }
    int portClient = firstRedirectedPort(config);
    g_log.logf(LOG_INFO, messageTable[48], portClient, config.listenPort,
               config.listenHost.c_str());
    return lspVerdict(probeLsp(portClient, config.listenPort, config.listenHost));
}

int fusLspCheck() {
    LauncherConfig config;
    if (!loadConfig(kLspSkips, config)) return kCheckSkipped;
    if (!redirectorCheckApplies(config)) return kCheckSkipped;
    int portConnect = firstRedirectedPort(config);
    g_log.logf(LOG_INFO, messageTable[86], kFusHost, portConnect);
    return lspVerdict(probeLspFus(kFusHost, portConnect));
}
