// Stand-in for the per-user set-up processor: journals its command line,
// runs for run_ms (default 0), waits while the hold_while file exists and
// exits with the code of this run.
#include <windows.h>

#include <string>

#include "tests/standins/journal/standin.h"

namespace {

// A hold ends by itself after this, so a test that never lets go fails on
// its own time-outs instead of leaving the stand-in behind.
constexpr DWORD kHoldLimitMs = 30000;
// How often a held run looks whether the file is still there.
constexpr DWORD kHoldPollMs = 10;

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void holdWhileFileExists(const std::string& path) {
    if (path.empty()) return;
    for (DWORD waited = 0; waited < kHoldLimitMs && fileExists(path); waited += kHoldPollMs)
        Sleep(kHoldPollMs);
}

}  // namespace

int main(int argc, char** argv) {
    if (standin::usageRequested(argc, argv, "norvale-sup-processor.exe, the set-up processor",
                                "It journals its command line and exits with the exit code "
                                "the control file gives for this run.")) {
        return 0;
    }
    standin::Run run;
    long runMs = run.runMs(0);
    if (runMs > 0) Sleep(static_cast<DWORD>(runMs));
    holdWhileFileExists(run.control().text(standin::kKeyHoldWhile, std::string()));
    return run.finish();
}
