// A self-registering DLL server whose exports record their call and return
// the HRESULT the test chose.
#include "journal.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return journalDllMain(instance, reason, reserved);
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    appendJournal("DllRegisterServer");
    return chosenResult();
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    appendJournal("DllUnregisterServer");
    return chosenResult();
}
