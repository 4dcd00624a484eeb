#include "tests/faults/fault_run.h"

#include <cstring>
#include <vector>

#include "tests/support/test_files.h"

namespace faults {

namespace {

constexpr char kInjectorDll[] = "norvale-faults.dll";
// Loading the injector runs the program's own start-up of its DLLs first
// (the loader does it for the first thread that runs), which takes well
// under a second under Wine.
constexpr DWORD kInjectorLoadMs = 20000;
constexpr DWORD kEndPollMs = 10;

}  // namespace

std::string injectorPath() { return norvale::testbed::binPath(kInjectorDll); }

std::string callName(int id) {
    return std::string(kCallNames[id].dll) + "!" + kCallNames[id].name;
}

ControlBlock::ControlBlock() {
    static LONG serial = 0;
    name_ = "norvale-faults-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(InterlockedIncrement(&serial));
    mapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(Control), name_.c_str()));
    if (!mapping_) return;
    view_ = static_cast<Control*>(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (view_ == nullptr) return;
    std::memset(view_, 0, sizeof(Control));
    view_->magic = kControlMagic;
    view_->callCount = kCallCount;
    view_->target = kCountOnly;
}

ControlBlock::~ControlBlock() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
}

bool FaultedProgram::fail(const std::string& what) {
    error_ = what + " (error " + std::to_string(GetLastError()) + ")";
    child_.terminate();
    return false;
}

// LoadLibraryA of the injector in a thread of the suspended program. The
// system functions lie at the same address in every process of one
// architecture, so this process's LoadLibraryA is the program's.
bool FaultedProgram::loadInjector() {
    const std::string dll = injectorPath();
    const HANDLE process = child_.process();
    void* remote = VirtualAllocEx(process, nullptr, dll.size() + 1, MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
    if (remote == nullptr) return fail("cannot reserve memory in the program");
    if (!WriteProcessMemory(process, remote, dll.c_str(), dll.size() + 1, nullptr))
        return fail("cannot write the injector's path into the program");
    auto* loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    norvale::KernelHandle thread(
        CreateRemoteThread(process, nullptr, 0, loadLibrary, remote, 0, nullptr));
    if (!thread) return fail("cannot start the loading thread in the program");
    if (WaitForSingleObject(thread.get(), kInjectorLoadMs) != WAIT_OBJECT_0)
        return fail("the injector did not load in time");
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    if (block_.get().patched == 0) return fail("the injector hooked nothing: " + dll);
    return true;
}

bool FaultedProgram::load(const std::string& programPath, const std::string& arguments,
                          const std::string& currentDir, const Plan& plan, HANDLE streams) {
    error_.clear();
    if (!block_.valid()) return fail("cannot create the shared block");
    block_.get().target = plan.target;
    block_.get().failAt = plan.failAt;
    // The program inherits the variable that names the block; the injector
    // takes it out of the program's environment again.
    SetEnvironmentVariableA(kControlVariable, block_.name().c_str());
    const bool started =
        child_.start(programPath, arguments, currentDir, CREATE_SUSPENDED, streams);
    SetEnvironmentVariableA(kControlVariable, nullptr);
    if (!started) {
        SetLastError(child_.startError());
        return fail("cannot start " + programPath);
    }
    job_.reset(CreateJobObjectA(nullptr, nullptr));
    if (!job_ || !AssignProcessToJobObject(job_.get(), child_.process()))
        return fail("cannot put the program into a job");
    return loadInjector();
}

bool FaultedProgram::start(const std::string& programPath, const std::string& arguments,
                           const std::string& currentDir, const Plan& plan, HANDLE streams) {
    if (!load(programPath, arguments, currentDir, plan, streams)) return false;
    if (ResumeThread(child_.thread()) == static_cast<DWORD>(-1))
        return fail("cannot resume the program");
    return true;
}

bool FaultedProgram::endAll() {
    child_.terminate();
    if (!job_) return true;
    TerminateJobObject(job_.get(), norvale::testbed::kKilledExitCode);
    const DWORD start = GetTickCount();
    for (;;) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
        if (!QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation,
                                       &accounting, sizeof accounting, nullptr))
            return false;
        if (accounting.ActiveProcesses == 0) return true;
        if (GetTickCount() - start > norvale::testbed::kChildTimeoutMs) return false;
        Sleep(kEndPollMs);
    }
}

}  // namespace faults
