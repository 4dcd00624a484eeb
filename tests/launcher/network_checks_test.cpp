// The network health checks before the first proxy start: end to end with
// the real link checker and the redirector stand-in, the command lines and
// the exit-code table with a recording link checker, and the skips.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/child_process.h"
#include "common/log_file.h"
#include "common/messages.h"
#include "common/paths.h"
#include "launcher/network_checks.h"
#include "tests/launcher/launcher_bed.h"

namespace launcher_test {
namespace {

using norvale::testbed::IconKind;
using norvale::testbed::SeenBox;

const std::string kProblemLine = std::string("[!] ") + messageTable[31];
const std::string kGoOnLine = std::string("[I] ") + messageTable[32];

class LauncherNetwork : public LauncherBed {
protected:
    void SetUp() override {
        LauncherBed::SetUp();
        setFlag("yes");
    }

    std::string bindLine(const std::string& host = "127.0.0.1", int port = kListenPort) const {
        return std::string(kProbe) + " -bindcheck " + host + " " + std::to_string(port);
    }
    std::string lspLine(int portServer = kListenPort, const std::string& host = "127.0.0.1") const {
        return std::string(kProbe) + " -lspcheck " + std::to_string(kFirstPort) + " " +
               std::to_string(portServer) + " " + host;
    }
    std::string fusLine() const {
        return std::string(kProbe) + " -lspcheckfus 1.1.1.1 " + std::to_string(kFirstPort);
    }

    // Runs the launcher until it has started the proxy (true) or ended.
    bool runUntilProxyStarts(std::vector<SeenBox>& boxes, int& exitCode) {
        setControl(kMail, {});
        norvale::testbed::RunningChild& launcher = startLauncher("-registry");
        bool started = waitUntil(
            [&] { return !journal(kMail, "start").empty() || launcher.hasExited(); },
            kEventWaitMs);
        EXPECT_TRUE(started) << "the launcher neither started the proxy nor ended";
        boxes = this->boxes();
        exitCode = launcher.hasExited() ? launcher.exitCode() : 0;
        return !journal(kMail, "start").empty();
    }
};

void expectRedirectorBox(const std::vector<SeenBox>& boxes) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, kErrorCaption);
    EXPECT_EQ(boxes[0].text, messageTable[10]);
    EXPECT_EQ(boxes[0].icon, IconKind::Stop);
}

// The real link checker against a redirector that delivers the diverted
// connection: the proxy starts.
TEST_F(LauncherNetwork, HealthyRedirectorLetsTheProxyStart) {
    place(kProbe);
    Redirector redirector(kFirstPort, "127.0.0.1", kListenPort, "168");
    ASSERT_TRUE(redirector.ready());
    std::vector<SeenBox> boxes;
    int exitCode = 0;
    ASSERT_TRUE(runUntilProxyStarts(boxes, exitCode));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(missingInOrder(launcherLog(),
                             {"[I] Linkprober will be called with -bindcheck hostServer=127.0.0.1 "
                              "portServer=" + std::to_string(kListenPort),
                              "[I] Linkprober returned success => bind success => no running "
                              "moskar on that port",
                              "[I] Do the NORMAL LSP check!",
                              "[I] norvale-linkprobe.exe will be called with: -lspcheck "
                              "portClient=" + std::to_string(kFirstPort) + ", portServer=" +
                                  std::to_string(kListenPort) + ", hostServer=127.0.0.1.",
                              "[I] norvale-linkprobe.exe returned success: the LSP is doing OK.",
                              kGoOnLine}),
              "");
    EXPECT_EQ(missingInOrder(probeLog(),
                             {"[I] It's run from within the LauncherClient Bind check",
                              "[I] It's run from within the LauncherClient NORMAL LSP check",
                              "[I] Check the redirector with the following values portClient=" +
                                  std::to_string(kFirstPort) + ", portServer=" +
                                  std::to_string(kListenPort) + ", hostServer=127.0.0.1",
                              "[I] [check_LSP_network] SUCCESS."}),
              "");
}

// A redirector that delivers the wrong block: box 10 once, no proxy, exit 0.
TEST_F(LauncherNetwork, BrokenRedirectorShowsBox10AndNeverStartsTheProxy) {
    place(kProbe);
    Redirector redirector(kFirstPort, "127.0.0.1", kListenPort, "100");
    ASSERT_TRUE(redirector.ready());
    LauncherRun run = runLauncher("-registry");
    EXPECT_EQ(run.result.exitCode, 0);
    expectRedirectorBox(run.boxes);
    EXPECT_TRUE(commandLines(kMail).empty());
    EXPECT_TRUE(commandLines(kSup).empty());
    EXPECT_EQ(missingInOrder(launcherLog(),
                             {"[I] Do the NORMAL LSP check!",
                              "[!] norvale-linkprobe.exe returned failure: the LSP healthy check "
                              "failed.",
                              kProblemLine}),
              "");
    EXPECT_EQ(countOf(launcherLog(), kGoOnLine), 0u);
}

// Another program on the proxy's address turns the check into the FUS
// check, a plain connection to 1.1.1.1 on the first diverted port.
TEST_F(LauncherNetwork, AddressInUseLeadsToTheFusCheck) {
    place(kProbe);
    Listener otherProxy("127.0.0.1", kListenPort);
    ASSERT_TRUE(otherProxy.listening());
    struct Row {
        const char* name;
        bool outsideListens;
    };
    for (const Row& row : {Row{"connection succeeds", true}, Row{"connection fails", false}}) {
        SCOPED_TRACE(row.name);
        endLeftoverProcesses();
        clearJournals();
        ASSERT_TRUE(norvale::testbed::resetUserState());
        setFlag("yes");
        std::unique_ptr<Listener> outside;
        if (row.outsideListens) {
            outside.reset(new Listener("1.1.1.1", kFirstPort));
            ASSERT_TRUE(outside->listening());
        }
        std::vector<SeenBox> boxes;
        int exitCode = 0;
        size_t boxesBefore = this->boxes().size();
        bool started = runUntilProxyStarts(boxes, exitCode);
        boxes.erase(boxes.begin(), boxes.begin() + static_cast<std::ptrdiff_t>(boxesBefore));
        std::vector<std::string> log = launcherLog();
        EXPECT_EQ(missingInOrder(log, {"[!] Linkprober returned failure: the bind failed with "
                                       "WSAEADDRINUSE => there is another moskar running",
                                       "[I] Do the FUS LSP check!",
                                       "[I] norvale-linkprobe.exe will be called with: "
                                       "-lspcheckfus hostConnect=1.1.1.1, portConnect=" +
                                           std::to_string(kFirstPort) + "."}),
                  "");
        EXPECT_EQ(missingInOrder(probeLog(),
                                 {"[I] It's run from within the LauncherClient FUS LSP check",
                                  "[I] Check the LSP -> FUS with the following values "
                                  "hostConnect=1.1.1.1, portConnect=" +
                                      std::to_string(kFirstPort)}),
                  "");
        EXPECT_EQ(countOf(log, "[I] Do the NORMAL LSP check!"), 0u);
        if (row.outsideListens) {
            EXPECT_TRUE(started);
            EXPECT_TRUE(boxes.empty());
            EXPECT_EQ(countOf(log, kGoOnLine), 1u);
        } else {
            EXPECT_FALSE(started);
            EXPECT_EQ(exitCode, 0);
            expectRedirectorBox(boxes);
            EXPECT_EQ(countOf(log, kProblemLine), 1u);
        }
    }
}

// No link checker in the folder: both checks report it and the proxy
// starts anyway.
TEST_F(LauncherNetwork, MissingLinkCheckerStillStartsTheProxy) {
    std::vector<SeenBox> boxes;
    int exitCode = 0;
    ASSERT_TRUE(runUntilProxyStarts(boxes, exitCode));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(missingInOrder(launcherLog(),
                             {"[!] Linkprober was not found.", "[I] Do the NORMAL LSP check!",
                              "[!] norvale-linkprobe.exe was not found.", kGoOnLine}),
              "");
}

// The link checker's answers and what the launcher makes of them. A
// recording link checker answers the bind check first, then the redirector
// check; the set-up processor's -1 ends a run that got past the checks.
TEST_F(LauncherNetwork, ExitCodesOfTheLinkCheckerDecideTheStart) {
    struct Row {
        int bindCode;
        int lspCode;
        const char* bindLog;
        bool fus;
        const char* lspLog;
        bool problem;
    };
    const Row rows[] = {
        {0, 0,
         "[I] Linkprober returned success => bind success => no running moskar on that port",
         false, "[I] norvale-linkprobe.exe returned success: the LSP is doing OK.", false},
        {1, 0,
         "[!] Linkprober returned failure: the bind failed with WSAEADDRINUSE => there is "
         "another moskar running",
         true, "[I] norvale-linkprobe.exe returned success: the LSP is doing OK.", false},
        {1, 4,
         "[!] Linkprober returned failure: the bind failed with WSAEADDRINUSE => there is "
         "another moskar running",
         true, "[!] norvale-linkprobe.exe returned failure: the LSP healthy check failed.", true},
        // Another bind error is no concern of this test: the normal check runs.
        {2, 4,
         "[!] Linkprober returned failure: the bind failed with another error => not important "
         "for this test",
         false, "[!] norvale-linkprobe.exe returned failure: the LSP healthy check failed.", true},
        {-1, -1, "[!] Wrong params for the linkprober!", false,
         "[!] norvale-linkprobe.exe returned 'Wrong params!',", false},
        {-2, -2, "[?] Linkprober returned other errors.", false,
         "[?] norvale-linkprobe.exe returned other errors.", false},
        // A link checker that really exits with -3 reads as one not found.
        {-3, -3, "[!] Linkprober was not found.", false,
         "[!] norvale-linkprobe.exe was not found.", false},
        {3, 3, "[?] Linkprober returned unknown value.", false,
         "[?] norvale-linkprobe.exe returned unknown value.", false},
        // Codes of the other modes are unknown values here.
        {4, 1, "[?] Linkprober returned unknown value.", false,
         "[?] norvale-linkprobe.exe returned unknown value.", false},
        {-4, 2, "[?] Linkprober returned unknown value.", false,
         "[?] norvale-linkprobe.exe returned unknown value.", false},
    };
    setControl(kSup, {{standin::kKeyExitCodes, "-1"}});
    for (const Row& row : rows) {
        SCOPED_TRACE("bind " + std::to_string(row.bindCode) + ", redirector " +
                     std::to_string(row.lspCode));
        ASSERT_TRUE(norvale::testbed::resetUserState());
        setFlag("yes");
        placeFakeProbe(std::to_string(row.bindCode) + "," + std::to_string(row.lspCode));
        clearJournals();

        LauncherRun run = runLauncher("-registry");
        std::vector<std::string> probes = commandLines(kProbe);
        ASSERT_EQ(probes.size(), 2u);
        EXPECT_EQ(probes[0], bindLine());
        EXPECT_EQ(probes[1], row.fus ? fusLine() : lspLine());
        EXPECT_EQ(journal(kProbe, "startup default").size(), 2u) << "not in its default window";
        std::vector<std::string> log = launcherLog();
        EXPECT_EQ(missingInOrder(log, {row.bindLog,
                                       row.fus ? "[I] Do the FUS LSP check!"
                                               : "[I] Do the NORMAL LSP check!",
                                       row.lspLog, row.problem ? kProblemLine : kGoOnLine}),
                  "");
        if (row.problem) {
            EXPECT_EQ(run.result.exitCode, 0);
            expectRedirectorBox(run.boxes);
            EXPECT_TRUE(commandLines(kSup).empty());
        } else {
            EXPECT_EQ(run.result.exitCode, 1) << "the supervision was not reached";
            EXPECT_TRUE(run.boxes.empty());
        }
    }
}

// What the configuration says decides which checks run, with what values,
// and which skip with what text. The recording link checker answers 0, or
// 1 (address in use) to reach the FUS check.
TEST_F(LauncherNetwork, ConfigurationChoosesOrSkipsTheChecks) {
    const std::string end = "# -- End of configuration file -- Do not edit this file beyond this line\n";
    const std::string ports = "LSP_PORTS=" + std::to_string(kFirstPort) + ";" +
                              std::to_string(kSecondPort) + "\n";
    const std::string address = "TR_ADDRESS_TO_LISTEN=127.0.0.1:" + std::to_string(kListenPort) + "\n";
    const std::string ignored = std::string("[?] ") + messageTable[45];
    const std::string noPorts = std::string("[?] ") + messageTable[46];
    struct Row {
        const char* name;
        const char* probeCodes;
        std::string conf;  // empty: no norvale.conf at all
        std::vector<std::string> probeLines;
        std::vector<std::string> logLines;
    };
    const Row rows[] = {
        {"no configuration file", "0", "", {},
         {"[!] Error reading the config file: '" + userFile("norvale.conf") + "'.",
          "[I] The conf file doesn't exist, so don't test the bind.",
          "[I] The conf file doesn't exist, so don't test the LSP healthiness."}},
        {"no diverted ports", "0", address + end, {bindLine()},
         {"[I] Do the NORMAL LSP check!", noPorts}},
        {"no diverted ports, address in use", "1", address + end, {bindLine()},
         {"[I] Do the FUS LSP check!", noPorts}},
        {"link checker ignored in capitals", "0",
         address + ports + "LSP_IGNORE_APPLICATIONS=other.exe, NORVALE-LINKPROBE.EXE\n" + end,
         {bindLine()}, {"[I] Do the NORMAL LSP check!", ignored}},
        {"link checker ignored, address in use", "1",
         address + ports + "LSP_IGNORE_APPLICATIONS=Norvale-Linkprobe.exe\n" + end, {bindLine()},
         {"[I] Do the FUS LSP check!", ignored}},
        {"link checker not redirected", "0",
         address + ports + "LSP_NO_REDIRECTED_APPLICATIONS=norvale-linkprobe.exe\n" + end,
         {bindLine()}, {ignored}},
        {"link checker with a folder is another program", "0",
         address + ports + "LSP_IGNORE_APPLICATIONS=c:\\tools\\norvale-linkprobe.exe\n" + end,
         {bindLine(), lspLine()}, {"[I] norvale-linkprobe.exe returned success: the LSP is doing OK."}},
        {"host in capitals", "0",
         "TR_ADDRESS_TO_LISTEN=LOCALHOST:" + std::to_string(kListenPort) + "\n" + ports + end,
         {bindLine("LOCALHOST")},
         {"[?] The norvale-mail listen address is not '127.0.0.1' or 'localhost' (default) but "
          "'LOCALHOST', so don't test the LSP healthiness."}},
        {"another host", "0",
         "TR_ADDRESS_TO_LISTEN=1.1.2.2:" + std::to_string(kListenPort) + "\n" + ports + end,
         {bindLine("1.1.2.2")},
         {"[?] The norvale-mail listen address is not '127.0.0.1' or 'localhost' (default) but "
          "'1.1.2.2', so don't test the LSP healthiness."}},
        {"localhost", "0",
         "TR_ADDRESS_TO_LISTEN=localhost:" + std::to_string(kListenPort) + "\n" + ports + end,
         {bindLine("localhost"), lspLine(kListenPort, "localhost")}, {}},
        {"default address", "0", ports + end, {bindLine("127.0.0.1", 3887), lspLine(3887)}, {}},
        {"first port, not the smallest", "1", address + ports + end, {bindLine(), fusLine()},
         {"[I] norvale-linkprobe.exe will be called with: -lspcheckfus hostConnect=1.1.1.1, "
          "portConnect=" + std::to_string(kFirstPort) + "."}},
    };
    setControl(kSup, {{standin::kKeyExitCodes, "-1"}});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(norvale::testbed::resetUserState());
        setFlag("yes");
        placeFakeProbe(row.probeCodes);
        clearJournals();
        if (row.conf.empty()) {
            norvale::testbed::removeTree(templateFile("norvale.conf"));
        } else {
            writeTemplateConf(row.conf);
        }
        LauncherRun run = runLauncher("-registry");
        EXPECT_EQ(run.result.exitCode, 1) << "the supervision was not reached";
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_EQ(commandLines(kProbe), row.probeLines);
        std::vector<std::string> expected = row.logLines;
        expected.push_back(kGoOnLine);
        EXPECT_EQ(missingInOrder(launcherLog(), expected), "");
    }
}

// The flag is "yes" whenever the supervision runs, so the checks' own flag
// test is seen only when they are called directly.
TEST_F(LauncherNetwork, ChecksSkipWhenTheFlagIsNotYes) {
    placeFakeProbe("0");
    ASSERT_TRUE(norvale::testbed::createFolders(userFolder()));
    ASSERT_TRUE(norvale::testbed::writeWholeFile(userFile("norvale.conf"), defaultConf()));
    // The link checker is started from the program folder of the bed, as
    // the launcher starts it from its own.
    setSiblingFolderForTests(programFolder());
    g_log.open(userFilePath(kLogName).c_str());
    for (const char* flagText : {"no", "", "yes "}) {
        SCOPED_TRACE(std::string("flag '") + flagText + "'");
        setFlag(flagText);
        EXPECT_EQ(bindCheck(), kCheckSkipped);
        EXPECT_EQ(normalLspCheck(), kCheckSkipped);
        EXPECT_EQ(fusLspCheck(), kCheckSkipped);
    }
    // With "yes" the same call does reach the link checker.
    setFlag("yes");
    EXPECT_EQ(bindCheck(), kCheckOk);
    setSiblingFolderForTests(std::string());

    EXPECT_EQ(commandLines(kProbe), std::vector<std::string>{bindLine()});
    std::vector<std::string> log = launcherLog();
    EXPECT_EQ(countOf(log, "[I] The flag from registry is !=yes, so don't test the bind"), 3u);
    EXPECT_EQ(countOf(log, std::string("[I] ") + messageTable[40]), 6u);
}

}  // namespace
}  // namespace launcher_test
