// A DLL without the self-registration exports; it only records its loading
// and unloading.
#include "journal.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return journalDllMain(instance, reason, reserved);
}

extern "C" int STDAPICALLTYPE PlainDllVersion() { return 1; }
