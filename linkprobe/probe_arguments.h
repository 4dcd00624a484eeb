// The link checker's command line: the mode its first argument asks for,
// whether the argument count fits that mode, and the host and ports the mode
// takes. Text only (no system calls).
#pragma once

#include <string>

enum class Mode { Unknown, Installer, Redirector, Bind, Fus };

struct ProbeArguments {
    Mode mode = Mode::Unknown;  // Unknown: no option, or not an option word
    bool countFits = false;     // exactly the arguments the mode takes
    // Read only when the mode and the count fit.
    std::string host;  // "-lspcheck", "-bindcheck": hostServer; "-lspcheckfus": hostConnect
    int port = 0;      // the same modes: portServer; "-lspcheckfus": portConnect
    int portClient = 0;  // "-lspcheck" only
};

// The mode of an option word; Unknown unless it equals one exactly.
Mode modeOf(const char* option);
// Arguments after the option that the mode needs; -1 for any number.
int argumentsNeeded(Mode mode);
// A port argument as a decimal number; text that is no number gives 0.
int portArgument(const char* text);

// Reads the argument vector (argv[0] is the program).
ProbeArguments readProbeArguments(int argc, char* argv[]);
