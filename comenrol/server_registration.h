// Calls the self-registration exports of a DLL server.
#pragma once

#include <windows.h>

// Loads the DLL at path (absolute; its own imports are searched beside it
// first, never in the current directory), calls its DllRegisterServer and
// unloads it again, with OLE initialised on the calling thread around it.
// E_FAIL when the DLL cannot be loaded or lacks the export, else the
// export's HRESULT.
HRESULT registerServer(const char* path);
// The same with DllUnregisterServer.
HRESULT unregisterServer(const char* path);
