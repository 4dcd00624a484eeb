#include "comenrol/server_registration.h"

#include "common/handles.h"

namespace {

constexpr char kRegisterExport[] = "DllRegisterServer";
constexpr char kUnregisterExport[] = "DllUnregisterServer";

// Both exports take nothing and return an HRESULT.
using ServerExport = HRESULT(STDAPICALLTYPE*)();

ServerExport findServerExport(HMODULE module, const char* exportName) {
    FARPROC address = GetProcAddress(module, exportName);
    // Through the generic function pointer type: a direct cast between
    // unrelated function pointer types draws a warning.
    return reinterpret_cast<ServerExport>(reinterpret_cast<void (*)()>(address));
}

// path is absolute. The DLL's own imports are searched in its folder first,
// as they are when the server is loaded for use, and never in the current
// directory, where any file of a dependency's name could lie.
HMODULE loadServer(const char* path) {
    SetDllDirectoryA("");
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The DLL stays loaded only while its export runs; the owner unloads it on
// every way out, including an exception unwinding through here.
HRESULT callServerExport(const char* path, const char* exportName) {
    norvale::Module dll(loadServer(path));
    if (!dll) return E_FAIL;
    ServerExport serverExport = findServerExport(dll.get(), exportName);
    if (serverExport == nullptr) return E_FAIL;
    return serverExport();
}

}  // namespace

HRESULT registerServer(const char* path) { return callServerExport(path, kRegisterExport); }

HRESULT unregisterServer(const char* path) {
    return callServerExport(path, kUnregisterExport);
}
