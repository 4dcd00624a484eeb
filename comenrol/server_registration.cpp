#include "comenrol/server_registration.h"

#include "common/handles.h"
#include "common/ole_apartment.h"

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

// Takes the current directory out of the DLL search, where any file of a
// DLL's name could lie: for the server's imports and for the DLLs that OLE
// loads while it starts.
void keepCurrentDirectoryOutOfDllSearch() { SetDllDirectoryA(""); }

// path is absolute. The DLL's own imports are searched in its folder first,
// as they are when the server is loaded for use.
HMODULE loadServer(const char* path) {
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The DLL stays loaded only while its export runs; the owner unloads it on
// every way out, including an exception unwinding through here. Servers
// create COM objects while they register (a registrar, the component
// categories manager), so OLE is set up before the DLL is loaded and torn
// down after it is unloaded (the owners go in reverse order). Where OLE
// cannot be set up, the export is still called: many servers need no COM.
HRESULT callServerExport(const char* path, const char* exportName) {
    keepCurrentDirectoryOutOfDllSearch();
    norvale::OleApartment ole;
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
