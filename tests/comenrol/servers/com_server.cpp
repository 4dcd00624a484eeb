// A self-registering DLL server that uses COM while it registers and
// unregisters, as many real ones do: both exports record their call, ask the
// component categories manager for ICatRegister and return the HRESULT of
// that request (CO_E_NOTINITIALIZED in a thread without COM).
#include "journal.h"

#include <objbase.h>
#include <comcat.h>

namespace {

HRESULT useCategoriesManager() {
    ICatRegister* categories = nullptr;
    HRESULT result = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr,
                                      CLSCTX_INPROC_SERVER, IID_ICatRegister,
                                      reinterpret_cast<void**>(&categories));
    if (SUCCEEDED(result)) categories->Release();
    return result;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return journalDllMain(instance, reason, reserved);
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    appendJournal("DllRegisterServer");
    return useCategoriesManager();
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    appendJournal("DllUnregisterServer");
    return useCategoriesManager();
}
