// The link checker as the launcher and the redirector's installer run it:
// the real program, its exit code, its message boxes and its log.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/linkprobe/probe_harness.h"
#include "tests/support/user_state.h"

namespace linkprobe_test {
namespace {

constexpr const char* kCaption = "Norvale Linkprobe";
constexpr UINT kBoxStyle = MB_OK | MB_TOPMOST;
// A check that waits ends after one 3-second wait plus start and clean-up;
// nothing may come near the launcher's patience of "for ever".
constexpr DWORD kOneWaitBoundMs = 8000;

// Each run starts from a user without product folder, so the log holds
// this run's lines only.
class ProbeProgram : public norvale::testbed::FreshUserTest {};

// ---------------------------------------------------------------------------
// Command lines that are refused: box, log line and exit code.

struct RefusedCase {
    const char* name;
    const char* arguments;
    const char* boxText;
    const char* logLine;
};

const RefusedCase kRefused[] = {
    {"NoArguments", "", "Wrong parameters!", "Wrong param!\n\n"},
    {"UnknownWord", "-check", "Wrong parameters!", "Wrong param!\n\n"},
    {"OptionInCapitals", "-LSPCHECK 25 26 127.0.0.1", "Wrong parameters!", "Wrong param!\n\n"},
    {"OptionWithSuffix", "-bindcheckx 127.0.0.1 25", "Wrong parameters!", "Wrong param!\n\n"},
    {"OptionNotFirst", "127.0.0.1 -bindcheck 25", "Wrong parameters!", "Wrong param!\n\n"},
    {"LspcheckTwoArguments", "-lspcheck 25 26", "Not enough parameters!", "Not enough params!\n\n"},
    {"LspcheckFourArguments", "-lspcheck 25 26 127.0.0.1 x", "Not enough parameters!",
     "Not enough params!\n\n"},
    {"BindcheckOneArgument", "-bindcheck 127.0.0.1", "Not enough parameters!",
     "Not enough params!\n\n"},
    {"BindcheckThreeArguments", "-bindcheck 127.0.0.1 25 26", "Not enough parameters!",
     "Not enough params!\n\n"},
    {"FusNoArguments", "-lspcheckfus", "Not enough parameters!", "Not enough params!\n\n"},
    {"LspcheckServerPortZero", "-lspcheck 25 0 127.0.0.1", "Wrong ports were given as parameters!",
     "Wrong param as ports!\n\n"},
    {"LspcheckClientPortLetters", "-lspcheck abc 25 127.0.0.1",
     "Wrong ports were given as parameters!", "Wrong param as ports!\n\n"},
    {"BindcheckPortZero", "-bindcheck 127.0.0.1 0", "Wrong ports were given as parameters!",
     "Wrong param as ports!\n\n"},
    {"FusPortLetters", "-lspcheckfus 1.1.1.1 port", "Wrong ports were given as parameters!",
     "Wrong param as ports!\n\n"},
};

void PrintTo(const RefusedCase& row, std::ostream* out) { *out << '"' << row.arguments << '"'; }

class RefusedCommandLine : public ProbeProgram,
                           public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedCommandLine, ShowsItsBoxLogsAndExitsMinusOne) {
    const RefusedCase& row = GetParam();
    ProbeRun run = runProbe(row.arguments);

    ASSERT_TRUE(run.result.started);
    EXPECT_EQ(-1, run.result.exitCode);
    ASSERT_EQ(1u, run.boxes.size());
    const norvale::testbed::SeenBox& box = run.boxes[0];
    EXPECT_EQ(kCaption, box.caption);
    EXPECT_EQ(row.boxText, box.text);
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
    ASSERT_TRUE(box.styleKnown);
    EXPECT_EQ(kBoxStyle, box.style);

    std::vector<LogRecord> log = readProbeLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ((LogRecord{"[I]", "Logfile started."}), log.front());
    EXPECT_TRUE(hasRecord(log, "[?]", row.logLine));
    EXPECT_FALSE(hasRecordStartingWith(log, "The returned value of main is"));
    EXPECT_EQ((LogRecord{"[I]", "Logfile closed."}), log.back());
}

INSTANTIATE_TEST_SUITE_P(Table, RefusedCommandLine, ::testing::ValuesIn(kRefused),
                         [](const ::testing::TestParamInfo<RefusedCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ProbeProgram, ZeroPortIsRefusedAfterTheValuesAreLogged) {
    ProbeRun run = runProbe("-lspcheck 25 0 127.0.0.1");
    EXPECT_EQ(-1, run.result.exitCode);
    std::vector<LogRecord> log = readProbeLog();
    std::vector<LogRecord> expected = {
        {"[I]", "Logfile started."},
        {"[I]", "It's run from within the LauncherClient NORMAL LSP check\n"},
        {"[I]",
         "Check the redirector with the following values portClient=25, portServer=0, "
         "hostServer=127.0.0.1\n"},
        {"[?]", "Wrong param as ports!\n\n"},
        {"[I]", "Logfile closed."},
    };
    EXPECT_EQ(expected, log);
}

// ---------------------------------------------------------------------------
// -lspcheck: what the redirector delivers decides the verdict.

struct RedirectorCase {
    const char* name;
    const char* action;  // the stand-in's action; nullptr: no redirector at all
    int listenPort;      // the diverted port on 1.1.2.2
    int proxyPort;       // the mail proxy's port on 127.0.0.1
    int exitCode;
    const char* telltale;  // start of the log line that tells why
};

constexpr const char* kSizeNotOk =
    "[check_LSP_network] the size of the data received by server is not ok!!!\n";

const RedirectorCase kRedirector[] = {
    {"Delivers168Bytes", "168", 47101, 47201, 0, "[check_LSP_network] SUCCESS."},
    {"Delivers100Bytes", "100", 47102, 47202, 4, kSizeNotOk},
    {"Delivers20000Bytes", "20000", 47103, 47203, 4, kSizeNotOk},
    {"DeliversNothing", "0", 47104, 47204, 4, "Catch: eXception c2s::12, reason::"},
    {"ClosesAtOnce", "close", 47105, 47205, 4, kSizeNotOk},
    // Accept ends after its bound: code 8 with WSAETIMEDOUT.
    {"NeverReachesTheProxy", "ignore", 47106, 47206, 4, "Catch: eXception c2s::8, reason::10060 ["},
    {"NoRedirector", nullptr, 47107, 47207, 4, "Catch: eXception c2s::7, reason::10061 ["},
};

void PrintTo(const RedirectorCase& row, std::ostream* out) {
    *out << (row.action ? row.action : "no redirector") << " -> " << row.exitCode;
}

class RedirectorCheck : public ProbeProgram,
                        public ::testing::WithParamInterface<RedirectorCase> {};

TEST_P(RedirectorCheck, ExitCodeFollowsTheDeliveredBlock) {
    const RedirectorCase& row = GetParam();
    std::unique_ptr<RedirectorStandin> redirector;
    if (row.action != nullptr) {
        redirector.reset(new RedirectorStandin(row.listenPort, "127.0.0.1", row.proxyPort, row.action));
        ASSERT_TRUE(redirector->ready());
    }
    ProbeRun run = runProbe("-lspcheck " + std::to_string(row.listenPort) + " " +
                            std::to_string(row.proxyPort) + " 127.0.0.1");

    ASSERT_TRUE(run.result.started);
    EXPECT_EQ(row.exitCode, run.result.exitCode);
    EXPECT_LT(run.result.elapsedMs, kOneWaitBoundMs);
    EXPECT_TRUE(run.boxes.empty()) << "a failing check shows no box";

    std::vector<LogRecord> log = readProbeLog();
    std::string verdict = row.exitCode == 0 ? "[check_LSP_network] SUCCESS.\n\n\n"
                                            : "[check_LSP_network] FAILED.\n\n\n";
    EXPECT_TRUE(hasRecord(log, row.exitCode == 0 ? "[I]" : "[!]", verdict));
    EXPECT_TRUE(hasRecordStartingWith(log, row.telltale));
    EXPECT_TRUE(hasRecord(log, "[I]",
                          "The returned value of main is " + std::to_string(row.exitCode) + "\n\n"));
}

INSTANTIATE_TEST_SUITE_P(Table, RedirectorCheck, ::testing::ValuesIn(kRedirector),
                         [](const ::testing::TestParamInfo<RedirectorCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ProbeProgram, FullRedirectorRunLogsEveryStepInOrder) {
    RedirectorStandin redirector(47112, "127.0.0.1", 47212, "168");
    ASSERT_TRUE(redirector.ready());
    ProbeRun run = runProbe("-lspcheck 47112 47212 127.0.0.1");
    ASSERT_EQ(0, run.result.exitCode);

    std::vector<LogRecord> expected = {
        {"[I]", "Logfile started."},
        {"[I]", "It's run from within the LauncherClient NORMAL LSP check\n"},
        {"[I]",
         "Check the redirector with the following values portClient=47112, portServer=47212, "
         "hostServer=127.0.0.1\n"},
        {"[I]",
         "[check_LSP_network] start portClient = 47112, portServer = 47212, hostServer = "
         "127.0.0.1...\n"},
        {"[I]", "[ServerSide] starting ...."},
        {"[I]", "[ServerSide] Attempt bind to: 127.0.0.1:47212\n"},
        {"[I]",
         "[ServerSide] Attempt bind (after getaddinfo) to: sin_family=2, sin_port=47212, "
         "sin_addr=127.0.0.1\n"},
        {"[I]", " done.\n"},
        {"[I]", "[ClientSide] Attempt connection to: 1.1.2.2:47112\n"},
        {"[I]",
         "[ClientSide] Attempt connect (after getaddinfo) to: sin_family=2, sin_port=47112, "
         "sin_addr=1.1.2.2\n"},
        {"[I]", "[ClientSide] Connection established.\n"},
        {"[I]", "[ServerSide] Waiting for a connection ...\n"},
        {"[I]", "[ServerSide] Connection accepted.\n"},
        {"[I]", "[ServerSide] check if there is any data pending ... 3 seconds..."},
        {"[I]", "done.\n"},
        {"[I]", "[ServerSide] read data ..."},
        {"[I]", " done.\n"},
        {"[I]", "[ClientSide] disconnect ...\n"},
        {"[I]", "[ClientSide] disconnect done.\n"},
        {"[I]", "[ServerSide] stopping ..."},
        {"[I]", "done.\n"},
        {"[I]", "[check_LSP_network] SUCCESS.\n\n\n"},
        {"[I]", "The returned value of main is 0\n\n"},
        {"[I]", "Logfile closed."},
    };
    EXPECT_EQ(expected, readProbeLog());
}

// ---------------------------------------------------------------------------
// -bindcheck: free, in use, unusable.

TEST_F(ProbeProgram, BindcheckOnAFreeAddressIsZero) {
    ProbeRun run = runProbe("-bindcheck 127.0.0.1 47301");
    EXPECT_EQ(0, run.result.exitCode);
    EXPECT_TRUE(hasRecord(readProbeLog(), "[I]", "The ret val of check_bind is 0 => bind success"));
}

TEST_F(ProbeProgram, BindcheckWhereAnotherProgramListensIsOne) {
    Listener other("127.0.0.1", 47302);
    ASSERT_TRUE(other.listening());
    ProbeRun run = runProbe("-bindcheck 127.0.0.1 47302");
    EXPECT_EQ(1, run.result.exitCode);
    EXPECT_TRUE(run.boxes.empty());

    std::vector<LogRecord> log = readProbeLog();
    EXPECT_TRUE(hasRecordStartingWith(log, "Catch: eXception c2s::4, reason::10048 ["));
    EXPECT_TRUE(hasRecord(log, "[!]", "[check_Bind_network] failed with the WSAEADDRINUSE.\n"));
    EXPECT_TRUE(hasRecord(log, "[!]", "[check_Bind_network] FAILED.\n\n\n"));
    EXPECT_TRUE(hasRecord(log, "[I]",
                          "The ret val of check_bind is 1 => bind fails with 'addr already in "
                          "use', so another moskar running"));
}

TEST_F(ProbeProgram, BindcheckOnAnUnresolvableHostIsTwo) {
    ProbeRun run = runProbe("-bindcheck no-such-host.invalid 47303");
    EXPECT_EQ(2, run.result.exitCode);
    std::vector<LogRecord> log = readProbeLog();
    EXPECT_TRUE(hasRecordStartingWith(log, "Catch: eXception c2s::6, reason::"));
    EXPECT_FALSE(hasRecord(log, "[!]", "[check_Bind_network] failed with the WSAEADDRINUSE.\n"));
    EXPECT_TRUE(hasRecord(log, "[I]",
                          "The ret val of check_bind is 2 => another error, not interested for "
                          "this test"));
}

TEST_F(ProbeProgram, BindcheckPortBeyondTheRangeIsTwoNotAnotherPort) {
    // 47304 + 65536: a resolver that wrapped would bind 47304, which is taken.
    Listener wrapped("127.0.0.1", 47304);
    ASSERT_TRUE(wrapped.listening());
    ProbeRun run = runProbe("-bindcheck 127.0.0.1 112840");
    EXPECT_EQ(2, run.result.exitCode);
}

// ---------------------------------------------------------------------------
// -lspcheckfus: a plain connection to the given address.

TEST_F(ProbeProgram, FusCheckConnectsToAListener) {
    Listener fus("1.1.1.1", 47401);
    ASSERT_TRUE(fus.listening());
    ProbeRun run = runProbe("-lspcheckfus 1.1.1.1 47401");
    EXPECT_EQ(0, run.result.exitCode);
    std::vector<LogRecord> log = readProbeLog();
    EXPECT_TRUE(hasRecord(log, "[I]", "[check_LSP_network_FUS] SUCCESS.\n\n\n"));
    EXPECT_TRUE(hasRecord(log, "[I]", "[ClientSide] disconnect done.\n"));
}

TEST_F(ProbeProgram, FusCheckWithoutListenerIsFour) {
    ProbeRun run = runProbe("-lspcheckfus 1.1.1.1 47402");
    EXPECT_EQ(4, run.result.exitCode);
    EXPECT_LT(run.result.elapsedMs, kOneWaitBoundMs);
    std::vector<LogRecord> log = readProbeLog();
    EXPECT_TRUE(hasRecordStartingWith(log, "Catch: eXception c2s::7, reason::10061 ["));
    EXPECT_TRUE(hasRecord(log, "[I]", "[ClientSide] already disconected.\n"));
    EXPECT_TRUE(hasRecord(log, "[!]", "[check_LSP_network_FUS] FAILED.\n\n\n"));
}

// ---------------------------------------------------------------------------
// -lspinstaller: bit 0 the loop-back echo, bit 1 the outside host (which
// does not resolve here: the test network has no DNS).

TEST_F(ProbeProgram, InstallerWithWorkingLoopbackAndNoOutsideIsTwo) {
    ProbeRun run = runProbe("-lspinstaller");
    EXPECT_EQ(2, run.result.exitCode);
    EXPECT_TRUE(run.boxes.empty());
    std::vector<LogRecord> log = readProbeLog();
    EXPECT_TRUE(hasRecord(log, "[I]", "It's run from within the ShimInstaller\n"));
    EXPECT_TRUE(hasRecord(log, "[I]", "[check_local_network] SUCCESS.\n\n\n"));
    EXPECT_TRUE(hasRecordStartingWith(log, "Catch: eXception c2s::6, reason::"));
    EXPECT_TRUE(hasRecord(log, "[!]", "[check_out_network] FAILED.\n\n\n"));
    EXPECT_TRUE(hasRecord(log, "[I]", "The returned value of main is 2\n\n"));
}

TEST_F(ProbeProgram, InstallerIgnoresExtraWords) {
    ProbeRun run = runProbe("-lspinstaller /quiet 25 extra");
    EXPECT_EQ(2, run.result.exitCode);
    EXPECT_TRUE(run.boxes.empty());
}

TEST_F(ProbeProgram, InstallerWithLoopbackPortTakenSetsBitZero) {
    Listener taken("127.0.0.1", 3887);
    ASSERT_TRUE(taken.listening());
    ProbeRun run = runProbe("-lspinstaller");
    EXPECT_EQ(3, run.result.exitCode);
    std::vector<LogRecord> log = readProbeLog();
    EXPECT_TRUE(hasRecordStartingWith(log, "Catch: eXception c2s::4, reason::10048 ["));
    EXPECT_TRUE(hasRecord(log, "[!]", "[check_local_network] FAILED.\n\n\n"));
    // The outside check still runs after the local one failed.
    EXPECT_TRUE(hasRecord(log, "[I]", "[check_out_network] start ...\n"));
}

}  // namespace
}  // namespace linkprobe_test
