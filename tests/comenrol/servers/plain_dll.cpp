// A DLL without the self-registration exports; it only records its loading
// and unloading.
#include "journal.h"
#include "plain_dll.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return journalDllMain(instance, reason, reserved);
}

extern "C" int PlainDllVersion() { return 1; }
