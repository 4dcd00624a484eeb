#include "taskctl/process_enum.h"

#include "common/handles.h"
#include "common/paths.h"
#include "taskctl/process_owner.h"
#include "taskctl/status.h"

#include <tlhelp32.h>

#include <mbstring.h>

#include <cstring>
#include <string>

namespace taskctl {

namespace {

using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD flags, DWORD processId);
using ProcessWalkFn = BOOL(WINAPI*)(HANDLE snapshot, PROCESSENTRY32* entry);
// Returns TRUE to stop the task enumeration.
using TaskVisitFn = BOOL(WINAPI*)(DWORD threadId, WORD module16, WORD task16, char* moduleName,
                                  char* fileName, LPARAM userData);
using EnumTasksFn = INT(WINAPI*)(DWORD processId, TaskVisitFn visit, LPARAM userData);

constexpr DWORD kSnapshotProcesses = TH32CS_SNAPPROCESS;  // 2
constexpr const char* kVdmHostName = "NTVDM.EXE";
constexpr const char kVdmDebugDll[] = "VDMDBG.DLL";

// Resolves an export as the function type the caller names. The detour
// through the generic function pointer type keeps the cast warning-free.
template <typename Fn>
Fn bindExport(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// VDMDBG.DLL from the system folder only: loaded by bare name, a file of
// that name beside the tool or in the current directory would be run. A
// 32-bit tool on 64-bit Windows is given its own (redirected) system folder.
HMODULE loadVdmDebug() {
    char path[kMaxPath];
    UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length + 1 + sizeof kVdmDebugDll > sizeof path) return nullptr;
    path[length] = '\\';
    std::memcpy(path + length + 1, kVdmDebugDll, sizeof kVdmDebugDll);
    return LoadLibraryA(path);
}

// The entry points of the Toolhelp strategy, bound at run time so that a
// system without them is reported as unsupported instead of failing to load.
struct ToolhelpApi {
    norvale::Module kernel;
    norvale::Module vdmdbg;
    CreateSnapshotFn createSnapshot = nullptr;
    ProcessWalkFn first = nullptr;
    ProcessWalkFn next = nullptr;
    EnumTasksFn enumTasks = nullptr;

    bool bind() {
        kernel.reset(LoadLibraryA("Kernel32.DLL"));
        createSnapshot = bindExport<CreateSnapshotFn>(kernel.get(), "CreateToolhelp32Snapshot");
        first = bindExport<ProcessWalkFn>(kernel.get(), "Process32First");
        next = bindExport<ProcessWalkFn>(kernel.get(), "Process32Next");
        if (!createSnapshot || !first || !next) return false;
        vdmdbg.reset(loadVdmDebug());
        enumTasks = bindExport<EnumTasksFn>(vdmdbg.get(), "VDMEnumTaskWOWEx");
        return enumTasks != nullptr;
    }
};

// Only the NT family from version 5 on: the build targets that family, so
// the program does not load on Windows 9x or NT 4.0 in the first place.
bool isSupportedPlatform() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&version)) return false;
#pragma GCC diagnostic pop
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

// State shared with the 16-bit task callback.
struct TaskWalk {
    DWORD vdmProcessId;
    const ProcessVisitor* visit;
    bool goOn;
};

BOOL WINAPI visitTask(DWORD, WORD, WORD task16, char*, char* fileName, LPARAM userData) {
    auto* walk = reinterpret_cast<TaskWalk*>(userData);
    ProcessRecord record;
    record.processId = walk->vdmProcessId;
    record.task16 = task16;
    record.name = fileName != nullptr ? fileName : "";
    walk->goOn = (*walk->visit)(record);
    return walk->goOn ? FALSE : TRUE;
}

bool isVdmHost(const char* name) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(name),
                    reinterpret_cast<const unsigned char*>(kVdmHostName)) == 0;
}

// Reports the 16-bit tasks of an NTVDM process. Returns false when the
// visitor asked to stop.
bool visitTasksOf(const ToolhelpApi& api, DWORD vdmProcessId, const ProcessVisitor& visit) {
    TaskWalk walk{vdmProcessId, &visit, true};
    api.enumTasks(vdmProcessId, visitTask, reinterpret_cast<LPARAM>(&walk));
    return walk.goOn;
}

// Reports one snapshot entry with its owner. Returns false to stop.
bool visitEntry(const ToolhelpApi& api, const PROCESSENTRY32& entry, const ProcessVisitor& visit) {
    std::string owner;
    DWORD ownerStatus = processOwner(entry.th32ProcessID, owner);
    if (ownerStatus == kStatusNameOutOfMemory) return false;

    ProcessRecord record;
    record.processId = entry.th32ProcessID;
    record.name = entry.szExeFile;
    record.owner = ownerStatus == 0 ? owner.c_str() : nullptr;
    if (!visit(record)) return false;

    if (isVdmHost(entry.szExeFile))
        return visitTasksOf(api, entry.th32ProcessID, visit);
    return true;
}

bool walkToolhelp(const ProcessVisitor& visit) {
    ToolhelpApi api;
    if (!api.bind()) return true;  // a supported system, nothing reported

    norvale::SnapshotHandle snapshot(api.createSnapshot(kSnapshotProcesses, 0));
    if (!snapshot) return false;

    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = api.first(snapshot.get(), &entry); more;
         more = api.next(snapshot.get(), &entry)) {
        if (!visitEntry(api, entry, visit)) break;
        entry.dwSize = sizeof(entry);
    }
    return true;
}

}  // namespace

bool enumProcesses(const ProcessVisitor& visit) {
    if (!isSupportedPlatform()) return false;
    return walkToolhelp(visit);
}

}  // namespace taskctl
