// A self-registering DLL server that imports a function of another DLL of
// ours, the plain DLL, which lies only in the server's own folder.
#include "journal.h"
#include "plain_dll.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return journalDllMain(instance, reason, reserved);
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    appendJournal(PlainDllVersion() == 1 ? "DllRegisterServer" : "DllRegisterServer: wrong import");
    return chosenResult();
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    appendJournal("DllUnregisterServer");
    return chosenResult();
}
