#include "comenrol/result_messages.h"

const char* const resultMessageTable[kResultMessageCount] = {
    "The operation succeeded.",
    "ComEnrol++ registers and unregisters a DLL server. \n"
    "\n"
    "ComEnrol++ [/?] [/d] [/h] [/s] [/u] [/y] /f <DLL>\n"
    " /?, /h\tshow this help page\n"
    " /d\tset working directory to location of ComEnrol++.exe\n"
    " /s\tsilent operation: Suppress all dialogs\n"
    " /u\tunregister DLL sever\n"
    " /y\talways return \"success\" (error return value 0)\n"
    " /f <DLL>\tabsolute or relative path to DLL",
    "DllRegisterServer() succeeded.",
    "DllRegisterServer() failed.",
    "DllUnregisterServer() succeeded.",
    "DllUnregisterServer() failed.",
    "Invalid or missing argument(s).",
    "File open error.",
    "Internal error.",
    "Unable to change current directory.",
};
