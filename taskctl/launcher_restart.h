// Starting the launcher again from the tool's own folder.
#pragma once

#include <windows.h>

#include <string>

namespace taskctl {

constexpr const char* kLauncherFileName = "norvale-launcher.exe";
constexpr const char* kLauncherRestartSwitch = "-registry";

// The launcher's full path in the folder of the running program, or the
// error when the module path cannot be read or the result would not fit
// into MAX_PATH.
DWORD launcherPathBesideTool(std::string& path);

// Starts "<launcher path> -registry" without waiting for it. Returns 0,
// ERROR_ACCESS_DENIED when the launcher file is missing, or the system's
// error of the failing step.
DWORD restartLauncher();

}  // namespace taskctl
