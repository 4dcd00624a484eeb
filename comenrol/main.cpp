#include "comenrol/comenrol.h"

// Exit code when something unforeseen escapes the main sequence (the
// number of the "Internal error." text, negated).
constexpr int kInternalErrorExitCode = -8;

int main(int argc, char** argv) {
    try {
        return runComEnrol(argc, argv);
    } catch (...) {
        return kInternalErrorExitCode;
    }
}
