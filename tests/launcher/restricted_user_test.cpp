// The paths of a user who is not an administrator: the launcher runs with a
// token in which the built-in Administrators group is deny-only, as a
// standard user's filtered token has it.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "common/messages.h"
#include "tests/launcher/launcher_bed.h"

namespace launcher_test {
namespace {

using norvale::testbed::ChildResult;
using norvale::testbed::SeenBox;

// A primary token like the caller's, with BUILTIN\Administrators deny-only.
bool restrictedToken(norvale::KernelHandle& restricted) {
    norvale::KernelHandle own;
    if (!OpenProcessToken(GetCurrentProcess(),
                          TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY,
                          own.receive())) {
        return false;
    }
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    norvale::Sid administrators;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  administrators.receive())) {
        return false;
    }
    SID_AND_ATTRIBUTES denyOnly = {administrators.get(), 0};
    HANDLE token = nullptr;
    if (!CreateRestrictedToken(own.get(), 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &token))
        return false;
    restricted.reset(token);
    return true;
}

class RestrictedUser : public LauncherBed {
protected:
    // Runs the launcher to its end with the restricted token.
    ChildResult runRestricted(const std::string& arguments) {
        ChildResult result;
        norvale::KernelHandle token;
        if (!restrictedToken(token)) {
            ADD_FAILURE() << "no restricted token: error " << GetLastError();
            return result;
        }
        std::string commandLine = std::string(kLauncher) + " " + arguments;
        std::vector<char> writable(commandLine.begin(), commandLine.end());
        writable.push_back('\0');
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessAsUserA(token.get(), program(kLauncher).c_str(), writable.data(),
                                  nullptr, nullptr, FALSE, 0, nullptr,
                                  norvale::testbed::testBinFolder().c_str(), &startup, &info)) {
            ADD_FAILURE() << "CreateProcessAsUserA failed: error " << GetLastError();
            return result;
        }
        norvale::ProcessInfo process;
        process.adopt(info);
        result.started = true;
        if (WaitForSingleObject(process.process(), norvale::testbed::kChildTimeoutMs) !=
            WAIT_OBJECT_0) {
            result.timedOut = true;
            TerminateProcess(process.process(), norvale::testbed::kKilledExitCode);
            ADD_FAILURE() << "the launcher did not end";
            return result;
        }
        DWORD code = 0;
        GetExitCodeProcess(process.process(), &code);
        result.exitCode = static_cast<int>(code);
        return result;
    }
};

TEST_F(RestrictedUser, FlagNoRunsNothing) {
    setFlag("no");
    ChildResult result = runRestricted("-registry");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(commandLines(kSup).empty()) << "the set-up processor ran for a standard user";
    std::vector<std::string> log = launcherLog();
    EXPECT_EQ(missingInOrder(log, {"[I] Norvale Launcher run from registry.",
                                   "[I] do_registry -> reg flag 'no' -> User is NOT Admin => "
                                   "don't call SUP",
                                   "[I] Logfile closed."}),
              "");
    EXPECT_EQ(countOf(log, "[I] Call the SUP!"), 0u);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(RestrictedUser, QuestionAnsweredNoStoresNoAndRunsNothing) {
    setControl(kSup, {{standin::kKeyExitCodes, "0"}});
    answerWith([](const SeenBox& box) { return box.hasButton(IDNO) ? IDNO : IDOK; });
    ChildResult result = runRestricted("-registry");
    EXPECT_EQ(result.exitCode, 0);
    std::vector<SeenBox> seen = boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, messageTable[7]);
    EXPECT_EQ(flag(), "no");
    EXPECT_TRUE(commandLines(kSup).empty());
    EXPECT_EQ(missingInOrder(launcherLog(),
                             {"[I] The user doesn't want to install the user part.",
                              "[I] QueryUserForInstall -> User pressed 'no' -> User is NOT Admin "
                              "=> don't call SUP"}),
              "");
}

}  // namespace
}  // namespace launcher_test
