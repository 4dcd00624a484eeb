// A small program the test-bed helpers are tested with. One job per run,
// chosen by the first argument:
//   box STYLE CAPTION TEXT [STYLE CAPTION TEXT ...]
//       shows the message boxes one after the other and exits with the
//       result of the last (0 when MessageBoxA failed); STYLE is a number
//       in C notation (0x40024).
//   exit CODE      exits with CODE (signed or 0x notation, all 32 bits).
//   sleep MS       sleeps, then exits with 0.
//   record FILE    writes its command line into FILE (relative to its
//                  current directory) and exits with 0.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "common/handles.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kRecordFailed = 3;
constexpr int kArgumentsPerBox = 3;

UINT numberArgument(const char* text) {
    return static_cast<UINT>(std::strtoull(text, nullptr, 0));
}

int exitWithCode(const char* code) {
    long long value = std::strtoll(code, nullptr, 0);
    return static_cast<int>(static_cast<UINT>(value));
}

int showBoxes(int count, char** boxArguments) {
    if (count == 0 || count % kArgumentsPerBox != 0) return kUsageError;
    int result = 0;
    for (int i = 0; i < count; i += kArgumentsPerBox) {
        UINT style = numberArgument(boxArguments[i]);
        result = MessageBoxA(nullptr, boxArguments[i + 2], boxArguments[i + 1], style);
    }
    return result;
}

int recordCommandLine(const char* file) {
    norvale::FileHandle out(CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return kRecordFailed;
    const char* line = GetCommandLineA();
    DWORD length = static_cast<DWORD>(std::strlen(line));
    DWORD written = 0;
    bool ok = WriteFile(out.get(), line, length, &written, nullptr) && written == length;
    return ok ? 0 : kRecordFailed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return kUsageError;
    const char* job = argv[1];
    if (std::strcmp(job, "box") == 0) return showBoxes(argc - 2, argv + 2);
    if (argc != 3) return kUsageError;
    if (std::strcmp(job, "exit") == 0) return exitWithCode(argv[2]);
    if (std::strcmp(job, "sleep") == 0) {
        Sleep(numberArgument(argv[2]));
        return 0;
    }
    if (std::strcmp(job, "record") == 0) return recordCommandLine(argv[2]);
    return kUsageError;
}
