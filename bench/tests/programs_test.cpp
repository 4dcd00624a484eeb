// The benchmark's own starting and peers: a baseline started another way
// than the program it is compared with, or a peer that stops accepting after
// a few connections, would make the figures meaningless.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <ws2tcpip.h>

#include <string>
#include <vector>

#include "bench/launcher_setup.h"
#include "bench/programs.h"
#include "tests/standins/journal/control.h"
#include "tests/standins/journal/journal.h"
#include "tests/support/test_files.h"
#include "tests/support/user_state.h"

namespace {

using norvale::testbed::TempFolder;

constexpr char kSup[] = "norvale-sup-processor.exe";

std::string journalOf(const TempFolder& folder, const char* program) {
    return standin::besideProgram(folder.file(program), "journal");
}

TEST(BenchPrograms, RunTimedReportsExitCodeAndStartFailure) {
    TempFolder folder("norvale bench run");
    ASSERT_TRUE(norvale::testbed::copyPrograms(folder.path(), {kSup}));
    ASSERT_TRUE(standin::writeControl(standin::besideProgram(folder.file(kSup), "control"),
                                      {{"exit_codes", "-7"}}));
    bench::TimedRun run = bench::runTimed(folder.path(), kSup, "x");
    EXPECT_TRUE(run.started && run.finished);
    EXPECT_EQ(run.exitCode, -7);
    EXPECT_GT(run.wallMs, 0);

    bench::TimedRun missing = bench::runTimed(folder.path(), "no-such-program.exe", "");
    EXPECT_FALSE(missing.started);
}

// The launcher starts the set-up processor hidden and the link checker in
// its default window; the benchmark must do the same for a fair baseline.
TEST(BenchPrograms, WindowModeAndCommandLineReachTheChild) {
    TempFolder folder("norvale bench show");
    ASSERT_TRUE(norvale::testbed::copyPrograms(folder.path(), {kSup}));
    ASSERT_TRUE(bench::runTimed(folder.path(), kSup, "-a 1", true).finished);
    ASSERT_TRUE(bench::runTimed(folder.path(), kSup, "-b 2", false).finished);
    auto journal = standin::readJournal(journalOf(folder, kSup));
    auto hidden = standin::entriesFor(journal, "startup hidden");
    auto shown = standin::entriesFor(journal, "startup default");
    ASSERT_EQ(hidden.size(), 1u);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(hidden[0].commandLine, std::string(kSup) + " -a 1");
    EXPECT_EQ(shown[0].commandLine, std::string(kSup) + " -b 2");
}

TEST(BenchPrograms, StarterRunsItsListInOrderWithPauses) {
    TempFolder folder("norvale bench starter");
    ASSERT_TRUE(norvale::testbed::copyPrograms(folder.path(), {kSup, bench::kStarterExe}));
    bench::TimedRun run =
        bench::runTimed(folder.path(), bench::kStarterExe, "--repeat 2 --pause 300 " + std::string(kSup));
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    std::vector<std::int64_t> starts = bench::journalTimes(journalOf(folder, kSup), "start");
    std::vector<std::int64_t> exits = bench::journalTimes(journalOf(folder, kSup), "exit");
    ASSERT_EQ(starts.size(), 2u);
    ASSERT_EQ(exits.size(), 2u);
    EXPECT_GE(starts[1] - exits[0], 300);  // the pause lies between the runs

    bench::TimedRun missing =
        bench::runTimed(folder.path(), bench::kStarterExe, "no-such-program.exe");
    EXPECT_EQ(missing.exitCode, 1);
}

// The soaks connect a thousand times to one peer; a listen backlog that is
// never drained would refuse them after a few.
TEST(BenchPrograms, AcceptorTakesManyMoreConnectionsThanItsBacklog) {
    constexpr int kPort = 39401;
    constexpr int kConnections = 400;
    bench::Acceptor acceptor("127.0.0.1", kPort);
    ASSERT_TRUE(acceptor.listening());
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(kPort);
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    int connected = 0;
    for (int i = 0; i < kConnections; ++i) {
        norvale::Socket client(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        if (client &&
            connect(client.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            ++connected;
        }
    }
    EXPECT_EQ(connected, kConnections);
}

TEST(BenchPrograms, PeriodsAreConsecutiveDifferences) {
    EXPECT_EQ(bench::periods({}), std::vector<double>{});
    EXPECT_EQ(bench::periods({5}), std::vector<double>{});
    EXPECT_EQ(bench::periods({100, 3300, 6650}), (std::vector<double>{3200, 3350}));
}

// The launcher benchmark's scene: the real launcher must get through its
// checks to the mail proxy, or the benchmark times a launcher that stopped.
TEST(BenchLauncherWorld, LauncherReachesTheProxyAgainAndAgain) {
    bench::LauncherWorld world;
    ASSERT_TRUE(world.ready());
    world.clearJournals();
    norvale::ProcessInfo launcher;
    std::int64_t startedAt = 0;
    ASSERT_TRUE(world.startLauncher(launcher, startedAt));
    bool twice = bench::waitForEntries(world.journal("norvale-mail.exe"), "start", 2, 30000);
    world.stopLauncher(launcher);
    ASSERT_TRUE(twice);
    std::vector<std::int64_t> starts = world.mailStarts();
    EXPECT_GE(starts.front(), startedAt);
    EXPECT_EQ(standin::entriesFor(standin::readJournal(world.journal("norvale-linkprobe.exe")),
                                  "start")
                  .size(),
              2u);  // the bind check and the normal redirector check
    EXPECT_EQ(world.mailExits(), starts.size());
}

}  // namespace
