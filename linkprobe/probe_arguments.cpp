#include "linkprobe/probe_arguments.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kOptionInstaller = "-lspinstaller";
constexpr const char* kOptionRedirector = "-lspcheck";
constexpr const char* kOptionBind = "-bindcheck";
constexpr const char* kOptionFus = "-lspcheckfus";

}  // namespace

Mode modeOf(const char* option) {
    if (std::strcmp(option, kOptionInstaller) == 0) return Mode::Installer;
    if (std::strcmp(option, kOptionRedirector) == 0) return Mode::Redirector;
    if (std::strcmp(option, kOptionBind) == 0) return Mode::Bind;
    if (std::strcmp(option, kOptionFus) == 0) return Mode::Fus;
    return Mode::Unknown;
}

int argumentsNeeded(Mode mode) {
    switch (mode) {
        case Mode::Redirector: return 3;
        case Mode::Bind:
        case Mode::Fus: return 2;
        default: return -1;
    }
}

int portArgument(const char* text) {
    return std::atoi(text);
}

ProbeArguments readProbeArguments(int argc, char* argv[]) {
    ProbeArguments arguments;
    arguments.mode = argc > 1 ? modeOf(argv[1]) : Mode::Unknown;
    int needed = argumentsNeeded(arguments.mode);
    arguments.countFits = arguments.mode != Mode::Unknown && (needed < 0 || argc - 2 == needed);
    if (!arguments.countFits) return arguments;
    switch (arguments.mode) {
        case Mode::Redirector:
            arguments.portClient = portArgument(argv[2]);
            arguments.port = portArgument(argv[3]);
            arguments.host = argv[4];
            break;
        case Mode::Bind:
        case Mode::Fus:
            arguments.host = argv[2];
            arguments.port = portArgument(argv[3]);
            break;
        default: break;
    }
    return arguments;
}
