// Ending a process found by its executable name.
#pragma once

#include <windows.h>

namespace taskctl {

// Letters of the target name compared with a process name.
constexpr size_t kProcessNameCompareLength = 15;

// True when the first kProcessNameCompareLength characters of target match
// processName, ignoring case.
bool processNameMatches(const char* target, const char* processName);

// Terminates (exit code 0) the first Win32 process whose name matches
// target and, when ownerFilter is not null, whose owner equals it (ignoring
// case). Returns 0, ERROR_FILE_NOT_FOUND when none matched, or the error of
// the open, terminate or close.
DWORD terminateProcessByName(const char* target, const char* ownerFilter);

}  // namespace taskctl
