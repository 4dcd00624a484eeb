// Ends the way the launcher ends on a fatal error, for the tests of
// fatalExit: opens the process-wide log, takes the named mutex as its
// single-instance mutex and calls fatalExit.
//   fatal_exit_child <log path> <mutex name> <number>
#include "common/log_file.h"
#include "common/messages.h"

#include <windows.h>

#include <cstdlib>

namespace {
constexpr int kUsageError = 2;
constexpr int kMutexError = 3;
}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return kUsageError;
    g_log.open(argv[1]);
    g_log.log(LOG_INFO, "before the fatal exit");
    HANDLE mutex = CreateMutexA(nullptr, FALSE, argv[2]);
    if (!mutex || WaitForSingleObject(mutex, INFINITE) != WAIT_OBJECT_0) return kMutexError;
    g_instanceMutex = mutex;
    fatalExit(std::atoi(argv[3]), MB_OK, nullptr);
}
