#include "linkprobe/linkprobe_entry.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "common/log_file.h"
#include "common/paths.h"
#include "linkprobe/network_checks.h"

namespace {

constexpr const char* kBoxCaption = "Norvale Linkprobe";
constexpr UINT kBoxStyle = MB_OK | MB_TOPMOST;

constexpr const char* kBoxNoModulePath = "GetModuleFileName failed!";
constexpr const char* kBoxWrongParameters = "Wrong parameters!";
constexpr const char* kBoxNotEnoughParameters = "Not enough parameters!";
constexpr const char* kBoxWrongPorts = "Wrong ports were given as parameters!";
constexpr const char* kBoxLogFailed = "Unable to open logfile!";
constexpr const char* kBoxUnknownException = "Unknown exception was caught!";

constexpr const char* kOptionInstaller = "-lspinstaller";
constexpr const char* kOptionRedirector = "-lspcheck";
constexpr const char* kOptionBind = "-bindcheck";
constexpr const char* kOptionFus = "-lspcheckfus";

enum class Mode { Unknown, Installer, Redirector, Bind, Fus };

void showBox(const char* text) { MessageBoxA(nullptr, text, kBoxCaption, kBoxStyle); }

// Path of the running program; empty when the system does not report it
// or it does not fit a path buffer.
std::string modulePath() {
    char path[kMaxPath];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return std::string();
    return std::string(path, length);
}

Mode modeOf(const char* option) {
    if (std::strcmp(option, kOptionInstaller) == 0) return Mode::Installer;
    if (std::strcmp(option, kOptionRedirector) == 0) return Mode::Redirector;
    if (std::strcmp(option, kOptionBind) == 0) return Mode::Bind;
    if (std::strcmp(option, kOptionFus) == 0) return Mode::Fus;
    return Mode::Unknown;
}

// Arguments after the option that the mode needs; -1 for any number.
int argumentsNeeded(Mode mode) {
    switch (mode) {
        case Mode::Redirector: return 3;
        case Mode::Bind:
        case Mode::Fus: return 2;
        default: return -1;
    }
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

int runRedirectorCheck(char* argv[]) {
    g_log.log(LOG_INFO, "It's run from within the LauncherClient NORMAL LSP check\n");
    int portClient = std::atoi(argv[2]);
    int portServer = std::atoi(argv[3]);
    std::string hostServer = argv[4];
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

int runBindCheck(char* argv[]) {
    g_log.log(LOG_INFO, "It's run from within the LauncherClient Bind check\n");
    std::string hostServer = argv[2];
    int portServer = std::atoi(argv[3]);
    g_log.logf(LOG_INFO, "Check the bind with the following values hostServer=%s, portServer=%d\n",
               hostServer.c_str(), portServer);
    if (portServer == 0) return rejectPorts();
    int verdict = c2s::check_Bind_network(hostServer, portServer);
    g_log.log(LOG_INFO, bindVerdictLine(verdict));
    return finish(verdict);
}

int runFusCheck(char* argv[]) {
    g_log.log(LOG_INFO, "It's run from within the LauncherClient FUS LSP check\n");
    std::string hostConnect = argv[2];
    int portConnect = std::atoi(argv[3]);
    g_log.logf(LOG_INFO,
               "Check the LSP -> FUS with the following values hostConnect=%s, portConnect=%d\n",
               hostConnect.c_str(), portConnect);
    if (portConnect == 0) return rejectPorts();
    return finish(c2s::check_LSP_network_FUS(hostConnect, portConnect) ? 0
                                                                        : kExitRedirectorFailed);
}

// Everything after the log is open: the command line and the mode.
int runCommandLine(int argc, char* argv[]) {
    Mode mode = argc > 1 ? modeOf(argv[1]) : Mode::Unknown;
    if (mode == Mode::Unknown) return refuse(kBoxWrongParameters, "Wrong param!\n\n");

    int needed = argumentsNeeded(mode);
    if (needed >= 0 && argc - 2 != needed)
        return refuse(kBoxNotEnoughParameters, "Not enough params!\n\n");

    switch (mode) {
        case Mode::Installer: return runInstallerChecks();
        case Mode::Redirector: return runRedirectorCheck(argv);
        case Mode::Bind: return runBindCheck(argv);
        default: return runFusCheck(argv);
    }
}

}  // namespace

int linkprobeMain(int argc, char* argv[]) {
    std::string programPath = modulePath();
    if (programPath.empty()) {
        showBox(kBoxNoModulePath);
        return kExitCannotStart;
    }
    try {
        g_log.open(userFilePath(logFileNameFor(programPath)).c_str());
        return runCommandLine(argc, argv);
    } catch (LOG_ERRS::ERR_ID) {
        showBox(kBoxLogFailed);
    } catch (...) {
        showBox(kBoxUnknownException);
    }
    return kExitCannotStart;
}
