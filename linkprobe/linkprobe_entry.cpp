#include "linkprobe/linkprobe_entry.h"

#include <windows.h>

#include <string>

#include "common/log_file.h"
#include "common/paths.h"
#include "linkprobe/network_checks.h"
#include "linkprobe/probe_arguments.h"

namespace {

constexpr const char* kBoxCaption = "Norvale Linkprobe";
constexpr UINT kBoxStyle = MB_OK | MB_TOPMOST;

constexpr const char* kBoxNoModulePath = "GetModuleFileName failed!";
constexpr const char* kBoxWrongParameters = "Wrong parameters!";
constexpr const char* kBoxNotEnoughParameters = "Not enough parameters!";
constexpr const char* kBoxWrongPorts = "Wrong ports were given as parameters!";
constexpr const char* kBoxLogFailed = "Unable to open logfile!";
constexpr const char* kBoxUnknownException = "Unknown exception was caught!";

void showBox(const char* text) { MessageBoxA(nullptr, text, kBoxCaption, kBoxStyle); }

// Path of the running program; empty when the system does not report it
// or it does not fit a path buffer.
std::string modulePath() {
    char path[kMaxPath];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return std::string();
    return std::string(path, length);
}

int refuse(const char* boxText, const char* logLine) {
    showBox(boxText);
    g_log.log(LOG_WARNING, logLine);
    return kExitWrongArguments;
}

int rejectPorts() { return refuse(kBoxWrongPorts, "Wrong param as ports!\n\n"); }

int finish(int code) {
    g_log.logf(LOG_INFO, "The returned value of main is %d\n\n", code);
    return code;
}

int runInstallerChecks() {
    g_log.log(LOG_INFO, "It's run from within the ShimInstaller\n");
    int code = c2s::check_local_network() ? 0 : kExitLocalFailed;
    if (!c2s::check_out_network()) code += kExitOutsideFailed;
    return finish(code);
}

int runRedirectorCheck(const ProbeArguments& arguments) {
    g_log.log(LOG_INFO, "It's run from within the LauncherClient NORMAL LSP check\n");
    int portClient = arguments.portClient;
    int portServer = arguments.port;
    const std::string& hostServer = arguments.host;
    g_log.logf(LOG_INFO,
               "Check the redirector with the following values portClient=%d, portServer=%d, "
               "hostServer=%s\n",
               portClient, portServer, hostServer.c_str());
    if (portClient == 0 || portServer == 0) return rejectPorts();
    return finish(c2s::check_LSP_network(portClient, portServer, hostServer)
                      ? 0
                      : kExitRedirectorFailed);
}

const char* bindVerdictLine(int verdict) {
    switch (verdict) {
        case c2s::kBindFree: return "The ret val of check_bind is 0 => bind success";
        case c2s::kBindInUse:
            return "The ret val of check_bind is 1 => bind fails with 'addr already in use', so "
                   "another moskar running";
        default: return "The ret val of check_bind is 2 => another error, not interested for this test";
    }
}

int runBindCheck(const ProbeArguments& arguments) {
    g_log.log(LOG_INFO, "It's run from within the LauncherClient Bind check\n");
    const std::string& hostServer = arguments.host;
    int portServer = arguments.port;
    g_log.logf(LOG_INFO, "Check the bind with the following values hostServer=%s, portServer=%d\n",
               hostServer.c_str(), portServer);
    if (portServer == 0) return rejectPorts();
    int verdict = c2s::check_Bind_network(hostServer, portServer);
    g_log.log(LOG_INFO, bindVerdictLine(verdict));
    return finish(verdict);
}

int runFusCheck(const ProbeArguments& arguments) {
    g_log.log(LOG_INFO, "It's run from within the LauncherClient FUS LSP check\n");
    const std::string& hostConnect = arguments.host;
    int portConnect = arguments.port;
    g_log.logf(LOG_INFO,
               "Check the LSP -> FUS with the following values hostConnect=%s, portConnect=%d\n",
               hostConnect.c_str(), portConnect);
    if (portConnect == 0) return rejectPorts();
    return finish(c2s::check_LSP_network_FUS(hostConnect, portConnect) ? 0
                                                                        : kExitRedirectorFailed);
}

// Everything after the log is open: the command line and the mode.
int runCommandLine(int argc, char* argv[]) {
    ProbeArguments arguments = readProbeArguments(argc, argv);
    if (arguments.mode == Mode::Unknown) return refuse(kBoxWrongParameters, "Wrong param!\n\n");
    if (!arguments.countFits) return refuse(kBoxNotEnoughParameters, "Not enough params!\n\n");

    switch (arguments.mode) {
        case Mode::Installer: return runInstallerChecks();
        case Mode::Redirector: return runRedirectorCheck(arguments);
        case Mode::Bind: return runBindCheck(arguments);
        default: return runFusCheck(arguments);
    }
}

}  // namespace

int linkprobeMain(int argc, char* argv[]) {
    // Even the program's path is held in memory that may be refused: that
    // failure, too, ends in the box of an unexpected failure.
    try {
        std::string programPath = modulePath();
        if (programPath.empty()) {
            showBox(kBoxNoModulePath);
            return kExitCannotStart;
        }
        g_log.open(userFilePath(logFileNameFor(programPath)).c_str());
        return runCommandLine(argc, argv);
    } catch (LOG_ERRS::ERR_ID) {
        showBox(kBoxLogFailed);
    } catch (...) {
        showBox(kBoxUnknownException);
    }
    return kExitCannotStart;
}
