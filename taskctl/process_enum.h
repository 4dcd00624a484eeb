// Walks the running processes, and on NT the 16-bit tasks inside NTVDM.
#pragma once

#include <windows.h>

#include <functional>

namespace taskctl {

struct ProcessRecord {
    DWORD processId = 0;
    WORD task16 = 0;            // 0 for an ordinary Win32 process
    const char* name = "";      // executable file name, possibly empty
    const char* owner = nullptr;  // "DOMAIN\name", or null when unknown
};

// Returns true to go on with the next process, false to stop.
using ProcessVisitor = std::function<bool(const ProcessRecord&)>;

// Calls visit for every process (with its owner) and every 16-bit task.
// Returns false when the system is not one the tool supports or the process
// list cannot be read.
bool enumProcesses(const ProcessVisitor& visit);

}  // namespace taskctl
