#include "journal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kPathSize = MAX_PATH;
HMODULE g_module = nullptr;

// The DLL's path with its extension replaced; false when it does not fit.
bool siblingPath(const char* extension, char (&path)[kPathSize]) {
    DWORD length = GetModuleFileNameA(g_module, path, kPathSize);
    if (length == 0 || length >= kPathSize) return false;
    char* dot = std::strrchr(path, '.');
    if (dot == nullptr) return false;
    *dot = '\0';
    std::size_t stem = static_cast<std::size_t>(dot - path);
    return std::snprintf(dot, kPathSize - stem, "%s", extension) <
           static_cast<int>(kPathSize - stem);
}

}  // namespace

void setJournalModule(HMODULE module) { g_module = module; }

void appendJournal(const char* line) {
    char path[kPathSize];
    if (!siblingPath(".journal", path)) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
}

HRESULT chosenResult() {
    char path[kPathSize];
    if (!siblingPath(".hresult", path)) return S_OK;
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) return S_OK;
    char text[64] = {};
    bool read = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    if (!read) return S_OK;
    return static_cast<HRESULT>(std::strtoul(text, nullptr, 0));
}

BOOL journalDllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        setJournalModule(instance);
        appendJournal("loaded");
    } else if (reason == DLL_PROCESS_DETACH) {
        // reserved is null for FreeLibrary and non-null at process end.
        appendJournal(reserved == nullptr ? "unloaded" : "process end");
    }
    return TRUE;
}
