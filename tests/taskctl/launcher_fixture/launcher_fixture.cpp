// Test fixture that plays the launcher for the process control tool's
// tests: copied into a test folder under the launcher's file name, it
// journals its start with its full command line and then just waits to be
// terminated. It is not the launcher.
#include <windows.h>

#include "tests/standins/journal/standin.h"

namespace {
// Ends by itself after this, so a failing test leaves nothing running for
// long.
constexpr long kDefaultLifetimeMs = 60000;
}  // namespace

int main(int argc, char** argv) {
    if (standin::usageRequested(argc, argv, "norvale-launcher.exe for the process control tool",
                                "It records its start in the journal and waits (run_ms, default "
                                "60000 ms) until it is terminated.")) {
        return 0;
    }
    standin::Run run;
    standin::runMessageLoop(run, run.runMs(kDefaultLifetimeMs));
    return run.finish();
}
