// What the fault injector inside a program and the test that started the
// program share: the numbering of the hooked calls, and one block of shared
// memory with the plan (which call fails) and what the run did (how often
// each call was made, whether and where the planned failure happened).
#pragma once

#include <cstdint>

#include "tests/faults/fault_catalog.h"

namespace faults {

// One number per hooked call, in catalog order.
enum CallId : int {
#define NORVALE_FAULT_ID_WITH_DLL(dll, name, ...) call_##name,
#define NORVALE_FAULT_ID_CRT(name, ...) call_##name,
#define NORVALE_FAULT_ID_VARARG(name) call_##name,
    NORVALE_FAULT_WINAPI_CALLS(NORVALE_FAULT_ID_WITH_DLL)
    NORVALE_FAULT_BOUND_CALLS(NORVALE_FAULT_ID_WITH_DLL)
    NORVALE_FAULT_CRT_CALLS(NORVALE_FAULT_ID_CRT)
    NORVALE_FAULT_CRT_VARARG_CALLS(NORVALE_FAULT_ID_VARARG)
#undef NORVALE_FAULT_ID_WITH_DLL
#undef NORVALE_FAULT_ID_CRT
#undef NORVALE_FAULT_ID_VARARG
    kCallCount
};

// Where a hooked call comes from and what it is called.
struct CallName {
    const char* dll;  // lower case, without ".dll"
    const char* name;
};

inline const CallName kCallNames[kCallCount] = {
#define NORVALE_FAULT_NAME_WITH_DLL(dll, name, ...) {#dll, #name},
#define NORVALE_FAULT_NAME_CRT(name, ...) {"msvcrt", #name},
#define NORVALE_FAULT_NAME_VARARG(name) {"msvcrt", #name},
    NORVALE_FAULT_WINAPI_CALLS(NORVALE_FAULT_NAME_WITH_DLL)
    NORVALE_FAULT_BOUND_CALLS(NORVALE_FAULT_NAME_WITH_DLL)
    NORVALE_FAULT_CRT_CALLS(NORVALE_FAULT_NAME_CRT)
    NORVALE_FAULT_CRT_VARARG_CALLS(NORVALE_FAULT_NAME_VARARG)
#undef NORVALE_FAULT_NAME_WITH_DLL
#undef NORVALE_FAULT_NAME_CRT
#undef NORVALE_FAULT_NAME_VARARG
};

// Calls bound at run time (GetProcAddress) come after the imported Windows
// calls; they are in no import table.
#define NORVALE_FAULT_ONE(...) +1
constexpr int kFirstBoundCall = 0 NORVALE_FAULT_WINAPI_CALLS(NORVALE_FAULT_ONE);
constexpr int kBoundCallCount = 0 NORVALE_FAULT_BOUND_CALLS(NORVALE_FAULT_ONE);
#undef NORVALE_FAULT_ONE

inline bool boundAtRunTime(int id) {
    return id >= kFirstBoundCall && id < kFirstBoundCall + kBoundCallCount;
}

// The environment variable that names the shared block for the injector.
constexpr char kControlVariable[] = "NORVALE_FAULT_CONTROL";
constexpr std::uint32_t kControlMagic = 0x4e465431;  // "NFT1"

// No call fails: the run only counts.
constexpr int kCountOnly = -1;

struct Control {
    std::uint32_t magic;
    std::uint32_t callCount;  // kCallCount of the test, checked by the injector
    std::int32_t target;      // CallId to fail, or kCountOnly
    std::uint32_t failAt;     // the 1-based number of the call of target that fails
    volatile long patched;    // import slots hooked; set once the injector is in place
    volatile long injected;   // 1 once the planned call has failed
    std::uint64_t failedFrom;  // return address of the failed call, relative to the program's base
    volatile long calls[kCallCount];
};

}  // namespace faults
