#include "comenrol/comenrol.h"

#include "comenrol/result_box.h"
#include "comenrol/result_messages.h"
#include "comenrol/server_registration.h"
#include "common/options.h"
#include "common/paths.h"

#include <windows.h>

namespace {

// The program's name and at least "/f <DLL>".
constexpr int kMinimumArgumentCount = 3;
// Help and argument errors exit with this, whatever "/y" says.
constexpr int kHelpExitCode = 1;

constexpr char kOptionHelp[] = "/h";
constexpr char kOptionQuestion[] = "/?";
constexpr char kOptionSilent[] = "/s";
constexpr char kOptionUnregister[] = "/u";
constexpr char kOptionAlwaysSuccess[] = "/y";
constexpr char kOptionToolFolder[] = "/d";
constexpr char kOptionFile[] = "/f";

struct Switches {
    bool silent = false;
    bool unregister = false;
    bool alwaysSuccess = false;
    bool toolFolder = false;
};

// The help box is shown even in silent mode: it answers a wrong call.
int showHelp() {
    showResultMessage(kMsgHelp, kResultBoxStyle, nullptr);
    return kHelpExitCode;
}

bool wantsHelp(int& argc, char** argv) {
    return findOption(argc, argv, kOptionHelp) || findOption(argc, argv, kOptionQuestion);
}

// Taken out in this order, before "/f", so that none of them can be taken
// for the DLL named after "/f".
Switches takeSwitches(int& argc, char** argv) {
    Switches switches;
    switches.silent = findOption(argc, argv, kOptionSilent);
    switches.unregister = findOption(argc, argv, kOptionUnregister);
    switches.alwaysSuccess = findOption(argc, argv, kOptionAlwaysSuccess);
    switches.toolFolder = findOption(argc, argv, kOptionToolFolder);
    return switches;
}

int finish(const Switches& switches, int exitCode, int messageNumber) {
    return finishRun(exitCode, messageNumber, switches.silent, switches.alwaysSuccess);
}

// The DLL as a full path, so that the file checked is the file loaded: a
// relative path handed to LoadLibraryA goes through the DLL search, which
// looks in the program's folder and the system folders before the current
// directory and may load another file of the same name. False when the
// path does not fit in kMaxPath characters.
bool resolveDllPath(const char* given, char (&fullPath)[kMaxPath]) {
    DWORD length = GetFullPathNameA(given, kMaxPath, fullPath, nullptr);
    return length != 0 && length < kMaxPath;
}

bool fileExists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

int unregisterDll(const Switches& switches, const char* path) {
    HRESULT result = unregisterServer(path);
    return finish(switches, static_cast<int>(result),
                  FAILED(result) ? -kMsgUnregisterFailed : kMsgUnregisterSucceeded);
}

int registerDll(const Switches& switches, const char* path) {
    HRESULT result = registerServer(path);
    return finish(switches, static_cast<int>(result),
                  FAILED(result) ? -kMsgRegisterFailed : kMsgRegisterSucceeded);
}

}  // namespace

int runComEnrol(int argc, char** argv) {
    if (argc < kMinimumArgumentCount || wantsHelp(argc, argv)) return showHelp();

    const Switches switches = takeSwitches(argc, argv);
    if (switches.toolFolder && !setCurrentDir()) {
        return finish(switches, -kMsgChangeDirectoryFailed, -kMsgChangeDirectoryFailed);
    }

    char* dllArgument = nullptr;
    if (!findOption(argc, argv, kOptionFile, &dllArgument) || dllArgument == nullptr) {
        return showHelp();
    }

    char dllPath[kMaxPath];
    if (!resolveDllPath(dllArgument, dllPath) || !fileExists(dllPath)) {
        return finish(switches, -kMsgFileOpenError, -kMsgFileOpenError);
    }

    return switches.unregister ? unregisterDll(switches, dllPath)
                               : registerDll(switches, dllPath);
}
