// The fault injector: a DLL that a test loads into a program it started
// suspended. On load it hooks every call of the catalog in the program's
// import address table (and the calls the program binds with
// GetProcAddress), counts each call in the shared block the test named, and
// makes the one planned call fail as that call fails on Windows. Every
// other call goes to the real function unchanged.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <ntsecapi.h>
#include <ole2.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <vdmdbg.h>

#include <fcntl.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "tests/faults/fault_control.h"

namespace {

using faults::CallId;

faults::Control* g_control = nullptr;
ULONG_PTR g_programBase = 0;
void* g_real[faults::kCallCount] = {};

enum Reporting { LastError, Status, Errno, ReturnsArgument };

// Counts the call and tells whether it is the one that fails; the failing
// call's return address is kept, so a finding can be traced to its line.
bool failNow(int id, void* returnAddress) {
    if (g_control == nullptr) return false;
    const long number = InterlockedIncrement(&g_control->calls[id]);
    if (id != g_control->target || static_cast<unsigned long>(number) != g_control->failAt)
        return false;
    g_control->failedFrom = reinterpret_cast<ULONG_PTR>(returnAddress) - g_programBase;
    InterlockedExchange(&g_control->injected, 1);
    return true;
}

template <typename R, typename First, typename... Rest>
R firstArgument(First first, Rest...) {
    return (R)(first);
}

// The failure of one call: its value and how it reports its error.
template <int Id>
struct Failure;

#define NORVALE_FAULT_FAILURE(dll, name, failValue, how, code)                  \
    template <>                                                                \
    struct Failure<faults::call_##name> {                                      \
        template <typename R, typename... A>                                   \
        static R fail(A... args) {                                             \
            if constexpr (how == Errno) {                                      \
                errno = (code);                                                \
            } else if constexpr (how != Status) {                              \
                SetLastError(static_cast<DWORD>(code));                        \
            }                                                                  \
            if constexpr (how == ReturnsArgument) {                            \
                return firstArgument<R>(args...);                              \
            } else if constexpr (!std::is_void_v<R>) {                         \
                return (R)(failValue);                                         \
            }                                                                  \
        }                                                                      \
    };
#define NORVALE_FAULT_CRT_FAILURE(name, type, params, failValue, code) \
    NORVALE_FAULT_FAILURE(msvcrt, name, failValue, Errno, code)
NORVALE_FAULT_WINAPI_CALLS(NORVALE_FAULT_FAILURE)
NORVALE_FAULT_BOUND_CALLS(NORVALE_FAULT_FAILURE)
NORVALE_FAULT_CRT_CALLS(NORVALE_FAULT_CRT_FAILURE)
#undef NORVALE_FAULT_FAILURE
#undef NORVALE_FAULT_CRT_FAILURE

void* bindHandedOut(HMODULE module, LPCSTR name, void* real);

// The hook of a Windows call, typed from its declaration: the compiler
// passes the arguments on and, on 32-bit, pops them as the real function
// would (stdcall).
template <int Id, typename Fn>
struct WinapiHook;

template <int Id, typename R, typename... A>
struct WinapiHook<Id, R(WINAPI*)(A...)> {
    static R WINAPI call(A... args) {
        if (failNow(Id, __builtin_return_address(0)))
            return Failure<Id>::template fail<R>(args...);
        if constexpr (Id == faults::call_GetProcAddress) {
            R real = reinterpret_cast<R(WINAPI*)(A...)>(g_real[Id])(args...);
            return reinterpret_cast<R>(
                bindHandedOut(args..., reinterpret_cast<void*>(real)));
        } else {
            return reinterpret_cast<R(WINAPI*)(A...)>(g_real[Id])(args...);
        }
    }
};

// The hook of a C runtime call (cdecl: the caller pops).
template <int Id, typename Fn>
struct CrtHook;

template <int Id, typename R, typename... A>
struct CrtHook<Id, R(__cdecl*)(A...)> {
    static R __cdecl call(A... args) {
        if (failNow(Id, __builtin_return_address(0)))
            return Failure<Id>::template fail<R>(args...);
        return reinterpret_cast<R(__cdecl*)(A...)>(g_real[Id])(args...);
    }
};

// The runtime's va_list forms, taken from the runtime itself, so that a
// passed-on call reaches the same code the program would have called.
template <typename Fn>
Fn runtimeFunction(const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("msvcrt.dll"), name)));
}

int __cdecl hookOpen(const char* path, int flags, ...) {
    int mode = 0;
    if (flags & _O_CREAT) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, int);
        va_end(args);
    }
    if (failNow(faults::call__open, __builtin_return_address(0))) {
        errno = EACCES;
        return -1;
    }
    using OpenFn = int(__cdecl*)(const char*, int, ...);
    return reinterpret_cast<OpenFn>(g_real[faults::call__open])(path, flags, mode);
}

int __cdecl hookFprintf(FILE* stream, const char* format, ...) {
    if (failNow(faults::call_fprintf, __builtin_return_address(0))) {
        errno = ENOSPC;
        return -1;
    }
    static const auto print = runtimeFunction<int(__cdecl*)(FILE*, const char*, va_list)>("vfprintf");
    va_list args;
    va_start(args, format);
    const int written = print(stream, format, args);
    va_end(args);
    return written;
}

int __cdecl hookPrintf(const char* format, ...) {
    if (failNow(faults::call_printf, __builtin_return_address(0))) {
        errno = ENOSPC;
        return -1;
    }
    static const auto print = runtimeFunction<int(__cdecl*)(const char*, va_list)>("vprintf");
    va_list args;
    va_start(args, format);
    const int written = print(format, args);
    va_end(args);
    return written;
}

// The hook of each call, by CallId. On x86-64 the compiler notes that it
// drops attributes of some parameter types (va_list) from the template
// arguments; there is one calling convention there, so nothing is lost.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-attributes"
void* const kHooks[faults::kCallCount] = {
#define NORVALE_FAULT_WINAPI_HOOK(dll, name, ...) \
    reinterpret_cast<void*>(&WinapiHook<faults::call_##name, decltype(&::name)>::call),
#define NORVALE_FAULT_CRT_HOOK(name, type, params, ...) \
    reinterpret_cast<void*>(&CrtHook<faults::call_##name, type(__cdecl*) params>::call),
    NORVALE_FAULT_WINAPI_CALLS(NORVALE_FAULT_WINAPI_HOOK)
    NORVALE_FAULT_BOUND_CALLS(NORVALE_FAULT_WINAPI_HOOK)
    NORVALE_FAULT_CRT_CALLS(NORVALE_FAULT_CRT_HOOK)
    reinterpret_cast<void*>(&hookOpen),
    reinterpret_cast<void*>(&hookFprintf),
    reinterpret_cast<void*>(&hookPrintf),
#undef NORVALE_FAULT_WINAPI_HOOK
#undef NORVALE_FAULT_CRT_HOOK
};
#pragma GCC diagnostic pop

// "KERNEL32.dll" -> "kernel32".
void dllStem(const char* file, char* stem, std::size_t size) {
    std::size_t length = 0;
    for (; file[length] && file[length] != '.' && length + 1 < size; ++length)
        stem[length] = static_cast<char>(file[length] >= 'A' && file[length] <= 'Z'
                                             ? file[length] - 'A' + 'a'
                                             : file[length]);
    stem[length] = '\0';
}

int findCall(const char* dll, const char* name, bool bound) {
    for (int id = 0; id < faults::kCallCount; ++id) {
        if (faults::boundAtRunTime(id) != bound) continue;
        if (std::strcmp(faults::kCallNames[id].dll, dll) == 0 &&
            std::strcmp(faults::kCallNames[id].name, name) == 0)
            return id;
    }
    return -1;
}

// GetProcAddress handed out real for name: a call the catalog binds at run
// time gets its hook instead.
void* bindHandedOut(HMODULE module, LPCSTR name, void* real) {
    if (real == nullptr || HIWORD(reinterpret_cast<ULONG_PTR>(name)) == 0) return real;
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, sizeof path);
    if (length == 0 || length >= sizeof path) return real;
    const char* file = std::strrchr(path, '\\');
    char stem[32];
    dllStem(file ? file + 1 : path, stem, sizeof stem);
    const int id = findCall(stem, name, true);
    if (id < 0) return real;
    g_real[id] = real;
    return kHooks[id];
}

void hookSlot(ULONG_PTR* slot, int id) {
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return;
    g_real[id] = reinterpret_cast<void*>(*slot);
    *slot = reinterpret_cast<ULONG_PTR>(kHooks[id]);
    VirtualProtect(slot, sizeof *slot, old, &old);
    InterlockedIncrement(&g_control->patched);
}

// Hooks every import of the program that the catalog can fail.
void hookProgramImports() {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    g_programBase = reinterpret_cast<ULONG_PTR>(base);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return;
    for (auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
             base + directory.VirtualAddress);
         import->Name != 0; ++import) {
        char stem[32];
        dllStem(reinterpret_cast<const char*>(base + import->Name), stem, sizeof stem);
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
            base + (import->OriginalFirstThunk ? import->OriginalFirstThunk : import->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            const int id = findCall(stem, reinterpret_cast<const char*>(byName->Name), false);
            if (id >= 0) hookSlot(reinterpret_cast<ULONG_PTR*>(&slots->u1.Function), id);
        }
    }
}

bool attachControl() {
    char name[128];
    const DWORD length = GetEnvironmentVariableA(faults::kControlVariable, name, sizeof name);
    if (length == 0 || length >= sizeof name) return false;
    // The program's own children are started without the injector.
    SetEnvironmentVariableA(faults::kControlVariable, nullptr);
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (mapping == nullptr) return false;
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(faults::Control));
    CloseHandle(mapping);
    if (view == nullptr) return false;
    auto* control = static_cast<faults::Control*>(view);
    if (control->magic != faults::kControlMagic || control->callCount != faults::kCallCount) {
        UnmapViewOfFile(view);
        return false;
    }
    g_control = control;
    return true;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    DisableThreadLibraryCalls(instance);
    if (attachControl()) hookProgramImports();
    return TRUE;
}
