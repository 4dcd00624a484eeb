#include "taskctl/terminate.h"

#include "common/handles.h"
#include "taskctl/process_enum.h"
#include "taskctl/status.h"

#include <mbstring.h>

namespace taskctl {

namespace {

constexpr DWORD kTerminateAccess = SYNCHRONIZE | PROCESS_TERMINATE;  // 0x00100001
constexpr UINT kTerminatedExitCode = 0;
// TerminateProcess only starts the end of a process. The launcher holds a
// single-instance mutex, so a launcher restarted at once would otherwise
// find the old one still alive and refuse to run.
constexpr DWORD kTerminateSettleMs = 5000;

// The match is opened while the snapshot's entry is being looked at, and
// only that handle is used afterwards: once it is open, the id can no
// longer pass to another process.
struct ProcessSearch {
    const char* target = nullptr;
    const char* ownerFilter = nullptr;  // null: any owner
    bool found = false;
    norvale::KernelHandle process;
    DWORD openError = 0;
};

bool ownerMatches(const char* ownerFilter, const char* owner) {
    if (ownerFilter == nullptr) return true;
    if (owner == nullptr) return false;
    return _mbsicmp(reinterpret_cast<const unsigned char*>(owner),
                    reinterpret_cast<const unsigned char*>(ownerFilter)) == 0;
}

// Returns false (stop) at the first match.
bool checkCandidate(ProcessSearch& search, const ProcessRecord& record) {
    search.found = false;
    // A 16-bit task is no process of its own: its task handle cannot be
    // opened as a process id, and the process that holds it is the shared
    // NTVDM, which must not be terminated in its place.
    if (record.task16 != 0) return true;
    if (!ownerMatches(search.ownerFilter, record.owner)) return true;
    if (!processNameMatches(search.target, record.name)) return true;
    search.found = true;
    search.process.reset(OpenProcess(kTerminateAccess, FALSE, record.processId));
    if (!search.process) search.openError = lastErrorOr(ERROR_INVALID_PARAMETER);
    return false;
}

DWORD terminateOpenedProcess(norvale::KernelHandle& process) {
    if (!TerminateProcess(process.get(), kTerminatedExitCode))
        return lastErrorOr(ERROR_ACCESS_DENIED);
    WaitForSingleObject(process.get(), kTerminateSettleMs);
    if (!CloseHandle(process.release())) return lastErrorOr(ERROR_INVALID_HANDLE);
    return 0;
}

}  // namespace

bool processNameMatches(const char* target, const char* processName) {
    return _mbsnicmp(reinterpret_cast<const unsigned char*>(target),
                     reinterpret_cast<const unsigned char*>(processName),
                     kProcessNameCompareLength) == 0;
}

DWORD terminateProcessByName(const char* target, const char* ownerFilter) {
    ProcessSearch search;
    search.target = target;
    search.ownerFilter = ownerFilter;
    enumProcesses([&search](const ProcessRecord& record) { return checkCandidate(search, record); });
    if (!search.found) return kStatusLauncherNotFound;
    if (!search.process) return search.openError;
    return terminateOpenedProcess(search.process);
}

}  // namespace taskctl
