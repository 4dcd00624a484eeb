// Stand-in for the per-user set-up processor: journals its command line,
// runs for run_ms (default 0) and exits with the code of this run.
#include <windows.h>

#include "tests/standins/journal/standin.h"

int main(int argc, char** argv) {
    if (standin::usageRequested(argc, argv, "norvale-sup-processor.exe, the set-up processor",
                                "It journals its command line and exits with the exit code "
                                "the control file gives for this run.")) {
        return 0;
    }
    standin::Run run;
    long runMs = run.runMs(0);
    if (runMs > 0) Sleep(static_cast<DWORD>(runMs));
    return run.finish();
}
