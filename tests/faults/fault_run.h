// Starting a program of the build under the fault injector: suspended, the
// injector DLL loaded into it by a thread of its own, then resumed. The
// program is the same file that ships; nothing of it is changed.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"
#include "tests/support/child_runner.h"
#include "tests/faults/fault_control.h"

namespace faults {

// Which call fails: its CallId and the number of its call (from 1), or no
// call at all (kCountOnly) for a run that only counts.
struct Plan {
    int target = kCountOnly;
    unsigned failAt = 0;
};

// The shared block of one run, named uniquely, removed with its owner.
class ControlBlock {
public:
    ControlBlock();
    ~ControlBlock();
    ControlBlock(const ControlBlock&) = delete;
    ControlBlock& operator=(const ControlBlock&) = delete;

    bool valid() const { return view_ != nullptr; }
    const std::string& name() const { return name_; }
    Control& get() const { return *view_; }

private:
    std::string name_;
    norvale::KernelHandle mapping_;
    Control* view_ = nullptr;
};

// One program run under the injector: a RunningChild (killed when its owner
// goes if it still runs) with the shared block of its run.
class FaultedProgram {
public:
    // Starts programPath with the arguments (the file name as first word, as
    // a shell passes it) in currentDir, the injector in place and plan set.
    // False, with error() saying why, when it could not be started.
    // The program's standard output and error go to streams when it is an
    // inheritable handle.
    bool start(const std::string& programPath, const std::string& arguments,
               const std::string& currentDir, const Plan& plan, HANDLE streams = nullptr);
    // The first half of start: the program is loaded, with the injector in
    // place, and waits before its first instruction of its own.
    bool load(const std::string& programPath, const std::string& arguments,
              const std::string& currentDir, const Plan& plan, HANDLE streams = nullptr);
    const std::string& error() const { return error_; }

    norvale::testbed::RunningChild& child() { return child_; }
    // Ends the program and every process it started, and waits until all
    // of them are gone. False when some still run after a while.
    bool endAll();

    // What the injector counted and did.
    long calls(int id) const { return block_.get().calls[id]; }
    bool injected() const { return block_.get().injected != 0; }
    // How many import slots the injector hooked.
    long patched() const { return block_.get().patched; }
    // Where the failed call was made from, relative to the program's base.
    unsigned long long failedFrom() const { return block_.get().failedFrom; }

private:
    bool fail(const std::string& what);
    bool loadInjector();

    ControlBlock block_;
    // The program and all its children, whatever becomes of the program.
    norvale::KernelHandle job_;
    norvale::testbed::RunningChild child_;
    std::string error_;
};

// The injector DLL of the build (beside the test programs).
std::string injectorPath();

// "kernel32!CreateFileA".
std::string callName(int id);

}  // namespace faults
