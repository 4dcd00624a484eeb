#include "taskctl/launcher_restart.h"

#include "common/handles.h"
#include "common/real_folder.h"
#include "taskctl/status.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

namespace taskctl {

namespace {

// Characters of the command line beyond the path: a blank, "-registry" and
// the terminating NUL.
constexpr size_t kCommandLineExtra = 11;

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

DWORD launcherPathBesideTool(std::string& path) {
    char modulePath[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
    if (length == 0) return lastErrorOr(ERROR_INVALID_FUNCTION);
    // A full buffer means the path was cut off; a cut path names some other
    // file, so it is refused.
    if (length >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;

    // The folder by a name that reaches it: the ANSI module path carries a
    // look-alike for a folder name the code page cannot hold.
    char folder[kMaxPath];
    if (!realProgramFolder(folder)) return ERROR_PATH_NOT_FOUND;
    std::string launcherPath = std::string(folder) + "\\" + kLauncherFileName;
    if (launcherPath.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    path = launcherPath;
    return 0;
}

DWORD restartLauncher() {
    std::string path;
    DWORD error = launcherPathBesideTool(path);
    if (error != 0) return error;
    if (!fileExists(path)) return kStatusLauncherFileMissing;

    // CreateProcessA may write into the command line, so it gets a buffer of
    // its own. The path stays unquoted: the launcher looks for its switch
    // anywhere on the line.
    std::vector<char> commandLine;
    try {
        commandLine.assign(path.size() + kCommandLineExtra, '\0');
    } catch (const std::bad_alloc&) {
        return kStatusOutOfMemory;
    }
    std::snprintf(commandLine.data(), commandLine.size(), "%s %s", path.c_str(),
                  kLauncherRestartSwitch);

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started))
        return lastErrorOr(ERROR_INVALID_FUNCTION);
    // The launcher runs on its own; both handles go at once.
    norvale::ProcessInfo launcher;
    launcher.adopt(started);
    return 0;
}

}  // namespace taskctl
