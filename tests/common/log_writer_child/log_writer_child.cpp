// One of many writers of one log, for the tests of concurrent logging:
// announces itself on the ready semaphore, waits for the go event so that all
// writers begin at the same moment, then opens the log, writes its numbered
// lines "writer <n> line <1..count>" and closes it, as a program's logger
// does (level 0, not kept open, quiet), with the given size limit.
//   log_writer_child <log path> <ready semaphore> <go event> <writer> <count> <limit>
#include "common/handles.h"
#include "common/log_file.h"

#include <windows.h>

#include <cstdlib>

namespace {
constexpr int kUsageError = 2;
constexpr int kGateError = 3;
}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) return kUsageError;
    norvale::KernelHandle ready(OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, argv[2]));
    norvale::KernelHandle go(OpenEventA(SYNCHRONIZE, FALSE, argv[3]));
    if (!ready || !go) return kGateError;
    const int writer = std::atoi(argv[4]);
    const int count = std::atoi(argv[5]);
    LogFile log(LOG_INFO, false, static_cast<unsigned>(std::strtoul(argv[6], nullptr, 10)), true);

    // The test that started the writers kills any that it stops waiting for.
    if (!ReleaseSemaphore(ready.get(), 1, nullptr) ||
        WaitForSingleObject(go.get(), INFINITE) != WAIT_OBJECT_0)
        return kGateError;
    log.open(argv[1]);
    for (int line = 1; line <= count; ++line) log.logf(LOG_INFO, "writer %d line %d", writer, line);
    log.shutdown();
    return 0;
}
