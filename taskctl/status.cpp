#include "taskctl/status.h"

#include "common/handles.h"
#include "taskctl/console_text.h"

namespace taskctl {

namespace {

// The user's default language, as FormatMessage understands it.
constexpr DWORD kUserDefaultLanguage = 0x400;

}  // namespace

DWORD lastErrorOr(DWORD fallback) {
    DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

void printStatus(DWORD status, FILE* out) {
    norvale::LocalMemory text;
    char* buffer = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, status, kUserDefaultLanguage, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    text.reset(buffer);
    if (length != 0 && buffer != nullptr)
        printText(out, "[0x%08lX]: %s", static_cast<unsigned long>(status), buffer);
    else
        printText(out, "[0x%08lX]: Error\n", static_cast<unsigned long>(status));
}

}  // namespace taskctl
