#include "comenrol/result_box.h"

#include "comenrol/result_messages.h"
#include "common/paths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kErrorCaptionPrefix[] = "Error: ";

// The running program's file name without folder and extension, e.g.
// "ComEnrol++". False when the module path cannot be read whole.
bool readToolName(char (&name)[kMaxPath]) {
    char path[kMaxPath];
    DWORD length = GetModuleFileNameA(nullptr, path, kMaxPath);
    if (length == 0 || length >= kMaxPath) return false;  // failed or cut short
    std::snprintf(name, sizeof name, "%s", fileStem(path).c_str());
    return true;
}

UINT errorStyle(UINT style) {
    return (style & ~static_cast<UINT>(MB_ICONINFORMATION)) | MB_ICONHAND;
}

}  // namespace

int showResultMessage(int number, UINT style, HWND owner) {
    char toolName[kMaxPath];
    if (!readToolName(toolName)) return kUnknownModulePath;

    // A number outside the table has no text: nothing to show.
    if (number <= -kResultMessageCount || number >= kResultMessageCount) return 0;
    const bool isError = number < 0;
    const int index = std::abs(number);

    char caption[sizeof kErrorCaptionPrefix + kMaxPath];
    std::snprintf(caption, sizeof caption, "%s%s", isError ? kErrorCaptionPrefix : "",
                  toolName);
    return MessageBoxA(owner, resultMessageTable[index], caption,
                       isError ? errorStyle(style) : style);
}

int finishRun(int exitCode, int messageNumber, bool silent, bool alwaysSuccess) {
    if (!silent) showResultMessage(messageNumber, kResultBoxStyle, nullptr);
    return alwaysSuccess ? 0 : exitCode;
}
