// Reads argument vectors made from the input (arguments separated by NUL
// bytes, the first is the program) as the link checker's command line. Each
// argument lies in its own heap block and the vector ends after argc slots
// and a null pointer, so a read beyond either stops the run. Properties:
// - a mode is found exactly when the first argument is one of the four
//   option words, whole and in its case;
// - the count fits exactly when the mode takes that many arguments (any
//   number for "-lspinstaller");
// - a fitting command's host is the argument at the host's place, and each
//   port is the decimal number its argument begins with (0 when it begins
//   with no number).
#include "linkprobe/probe_arguments.h"
#include "tests/native/fuzz_input.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using fuzz::require;

struct Option {
    const char* word;
    Mode mode;
    int needed;  // -1: any number
};

const Option kOptions[] = {
    {"-lspinstaller", Mode::Installer, -1},
    {"-lspcheck", Mode::Redirector, 3},
    {"-bindcheck", Mode::Bind, 2},
    {"-lspcheckfus", Mode::Fus, 2},
};

const Option* optionOf(const char* word) {
    for (const Option& option : kOptions)
        if (std::strcmp(option.word, word) == 0) return &option;
    return nullptr;
}

// Blanks, a sign and the digits that follow, as a decimal number; false
// when the number lies outside int, where the runtimes differ.
bool decimalOf(const char* text, int& value) {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    long long number = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
        number = number * 10 + (*text - '0');
        if (number > 1LL << 32) return false;
    }
    if (negative) number = -number;
    if (number < INT32_MIN || number > INT32_MAX) return false;
    value = static_cast<int>(number);
    return true;
}

void checkPort(int port, const char* text) {
    int expected = 0;
    if (decimalOf(text, expected)) require(port == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::unique_ptr<char[]>> storage;
    const char* at = reinterpret_cast<const char*>(data);
    const char* end = at + size;
    // Empty input: no arguments at all; otherwise n NUL bytes make n + 1.
    while (size > 0 && at <= end) {
        const char* stop = static_cast<const char*>(std::memchr(at, '\0', end - at));
        if (!stop) stop = end;
        std::unique_ptr<char[]> argument(new char[stop - at + 1]);
        std::memcpy(argument.get(), at, stop - at);
        argument[stop - at] = '\0';
        storage.push_back(std::move(argument));
        at = stop + 1;
    }
    const int argc = static_cast<int>(storage.size());
    std::unique_ptr<char*[]> argv(new char*[argc + 1]);
    for (int i = 0; i < argc; ++i) argv[i] = storage[i].get();
    argv[argc] = nullptr;

    const ProbeArguments read = readProbeArguments(argc, argv.get());
    const Option* option = argc > 1 ? optionOf(argv[1]) : nullptr;
    require(read.mode == (option ? option->mode : Mode::Unknown));
    const bool fits = option && (option->needed < 0 || argc - 2 == option->needed);
    require(read.countFits == fits);
    if (!fits) return 0;
    switch (read.mode) {
    case Mode::Redirector:
        checkPort(read.portClient, argv[2]);
        checkPort(read.port, argv[3]);
        require(read.host == argv[4]);
        break;
    case Mode::Bind:
    case Mode::Fus:
        require(read.host == argv[2]);
        checkPort(read.port, argv[3]);
        break;
    default:
        require(read.host.empty() && read.port == 0 && read.portClient == 0);
        break;
    }
    return 0;
}
