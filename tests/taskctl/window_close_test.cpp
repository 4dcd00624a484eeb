// Bits 1 to 3: the tool closes the mail proxy, the message-log window and
// the graphical client through their windows, and terminates them when they
// do not go. The stand-ins journal the messages they get and end with exit
// code 7 when they end by themselves, so a termination (exit code 0) shows.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/taskctl/program_copy.h"
#include "tests/taskctl/taskctl_folder.h"

namespace taskctl_test {
namespace {

constexpr int kOwnExitCode = 7;
constexpr DWORD kMailProxyTimeoutMs = 20000;
// Wine's timers and scheduling may end a wait a little early or late.
constexpr DWORD kTimeoutSlackMs = 500;

const std::map<std::string, std::string> kObedient = {{"exit_codes", "7"}};
const std::map<std::string, std::string> kStubborn = {{"exit_codes", "7"}, {"ignore_close", "1"}};

class WindowCloseTest : public ToolFolderTest {
protected:
    norvale::testbed::TempFolder programs_{"taskctl product"};
};

TEST_F(WindowCloseTest, MailProxyEndsOnWmClose) {
    ProgramCopy mail(programs_.path(), "norvale-mail.exe", "norvale-mail.exe", kObedient);
    ASSERT_TRUE(mail.startAndWaitReady());

    ToolRun result = run("-f 2");
    EXPECT_EQ(result.exitCode, 0u) << result.standardError;
    EXPECT_EQ(statusCodes(result.standardError), (std::vector<DWORD>{0}));
    ASSERT_TRUE(mail.process().waitFor(kReadyTimeoutMs));
    EXPECT_EQ(mail.process().exitCode(), kOwnExitCode);
    EXPECT_EQ(mail.events("WM_CLOSE").size(), 1u);
    EXPECT_TRUE(mail.events("WM_DESTROY").empty());
    EXPECT_LT(result.elapsedMs, kMailProxyTimeoutMs);
}

TEST_F(WindowCloseTest, MailProxyIgnoringWmCloseIsTerminatedAfterItsTimeout) {
    ProgramCopy mail(programs_.path(), "norvale-mail.exe", "norvale-mail.exe", kStubborn);
    ASSERT_TRUE(mail.startAndWaitReady());

    ToolRun result = run("-f 2");
    EXPECT_EQ(result.exitCode, 0u) << result.standardError;
    EXPECT_EQ(statusCodes(result.standardError), (std::vector<DWORD>{0}));
    EXPECT_GE(result.elapsedMs, kMailProxyTimeoutMs - kTimeoutSlackMs);
    ASSERT_TRUE(mail.process().waitFor(kReadyTimeoutMs));
    EXPECT_EQ(mail.process().exitCode(), 0);
    EXPECT_EQ(mail.events("WM_CLOSE").size(), 1u);
    EXPECT_TRUE(mail.events("exit").empty()) << "it was terminated, not ended";
}

TEST_F(WindowCloseTest, MessageLogGetsWmDestroyAndIsTerminatedSoonWhenItStays) {
    {
        ProgramCopy log(programs_.path(), "norvale-msg.exe", "norvale-msg.exe", kObedient);
        ASSERT_TRUE(log.startAndWaitReady());
        ToolRun result = run("-f 4");
        EXPECT_EQ(result.exitCode, 0u) << result.standardError;
        ASSERT_TRUE(log.process().waitFor(kReadyTimeoutMs));
        EXPECT_EQ(log.process().exitCode(), kOwnExitCode);
        EXPECT_EQ(log.events("WM_DESTROY").size(), 1u);
        EXPECT_TRUE(log.events("WM_CLOSE").empty());
    }
    norvale::testbed::TempFolder stubbornFolder("taskctl msg");
    ProgramCopy log(stubbornFolder.path(), "norvale-msg.exe", "norvale-msg.exe", kStubborn);
    ASSERT_TRUE(log.startAndWaitReady());
    ToolRun result = run("-f 4");
    EXPECT_EQ(result.exitCode, 0u) << result.standardError;
    EXPECT_LT(result.elapsedMs, 2500u) << "the message-log window gets 500 ms";
    ASSERT_TRUE(log.process().waitFor(kReadyTimeoutMs));
    EXPECT_EQ(log.process().exitCode(), 0);
}

TEST_F(WindowCloseTest, GraphicalClientInExpertModeIsClosedBeforeSimpleMode) {
    norvale::testbed::TempFolder expertFolder("taskctl expert");
    norvale::testbed::TempFolder simpleFolder("taskctl simple");
    ProgramCopy expert(expertFolder.path(), "norvale-client.exe", "norvale-client.exe",
                       {{"exit_codes", "7"}, {"mode", "expert"}});
    ProgramCopy simple(simpleFolder.path(), "norvale-client.exe", "norvale-client.exe",
                       {{"exit_codes", "7"}, {"mode", "simple"}});
    // The simple one comes last, so it is the first one a plain window
    // search by class would meet.
    ASSERT_TRUE(expert.startAndWaitReady());
    ASSERT_TRUE(simple.startAndWaitReady());

    ToolRun first = run("-f 8");
    EXPECT_EQ(first.exitCode, 0u) << first.standardError;
    ASSERT_TRUE(expert.process().waitFor(kReadyTimeoutMs));
    EXPECT_EQ(expert.process().exitCode(), kOwnExitCode);
    EXPECT_EQ(expert.events("WM_DESTROY").size(), 1u);
    EXPECT_FALSE(simple.process().hasExited());
    EXPECT_TRUE(simple.events("WM_DESTROY").empty());

    ToolRun second = run("-f 8");
    EXPECT_EQ(second.exitCode, 0u) << second.standardError;
    ASSERT_TRUE(simple.process().waitFor(kReadyTimeoutMs));
    EXPECT_EQ(simple.events("WM_DESTROY").size(), 1u);
}

TEST_F(WindowCloseTest, LaterSuccessfulCloseClearsEarlierFailure) {
    // 9: no launcher runs (status 2), then the graphical client is closed.
    ProgramCopy client(programs_.path(), "norvale-client.exe", "norvale-client.exe", kObedient);
    ASSERT_TRUE(client.startAndWaitReady());
    ToolRun result = run("-f 9");
    EXPECT_EQ(statusCodes(result.standardError), (std::vector<DWORD>{2, 0}));
    EXPECT_EQ(result.exitCode, 0u);
    ASSERT_TRUE(client.process().waitFor(kReadyTimeoutMs));
}

}  // namespace
}  // namespace taskctl_test
