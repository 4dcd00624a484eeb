#include "common/options.h"

#include <mbstring.h>

namespace {

// Removes count arguments starting at index by shifting the rest down; the
// freed slots at the end become null so the vector stays terminated.
void removeArguments(int& argc, char** argv, int index, int count) {
    for (int i = index; i + count < argc; ++i) argv[i] = argv[i + count];
    for (int i = argc - count; i < argc; ++i) argv[i] = nullptr;
    argc -= count;
}

int findArgument(int argc, char** argv, const char* option) {
    const auto* word = reinterpret_cast<const unsigned char*>(option);
    for (int i = 0; i < argc; ++i) {
        if (argv[i] && _mbscmp(reinterpret_cast<const unsigned char*>(argv[i]), word) == 0)
            return i;
    }
    return -1;
}

}  // namespace

// Not found: false, nothing changes. Found without a value place: the option
// is removed, true. Found with a value place: the option and the argument
// after it are removed and that argument becomes the value, true; when the
// option is the last argument it is removed alone, the value is null and
// the result is false.
bool findOption(int& argc, char** argv, const char* option, char** value) {
    if (!option || !argv || argc <= 0) return false;
    const int index = findArgument(argc, argv, option);
    if (index < 0) return false;
    if (!value) {
        removeArguments(argc, argv, index, 1);
        return true;
    }
    if (index + 1 >= argc) {
        removeArguments(argc, argv, index, 1);
        *value = nullptr;
        return false;
    }
    *value = argv[index + 1];
    removeArguments(argc, argv, index, 2);
    return true;
}
