// A Windows program that does nothing but carries the same system libraries
// as the link checker and the launcher (user interface, shell, registry,
// COM, Winsock). Their loading is part of every start under Wine; measured
// beside bench-idle it shows how much of a program's start is that loading.
#include <winsock2.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

int main(int argc, char**) {
    // Never true: the calls only make the program import the libraries.
    if (argc > 1000) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        MessageBoxA(nullptr, "", "", MB_OK);
        char path[MAX_PATH];
        SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path);
        HKEY key;
        RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &key);
        CoInitialize(nullptr);
    }
    return 0;
}
