// The one export of the plain DLL, declared once for the DLL that defines it
// and for the server that imports it, so that both agree on its calling
// convention. It is a C function (cdecl): its name in the import library is
// then the plain "PlainDllVersion" with every linker, where a stdcall
// function's name is decorated ("@0") by some linkers and not by others.
#pragma once

#include <windows.h>

extern "C" int PlainDllVersion();
