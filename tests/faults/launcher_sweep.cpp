// The launcher's main runs with each of its calls failing in turn: the
// first logon with a mail account, with the question answered Yes and No,
// and the logon of an installed user who edited norvale.conf. A run that
// supervises is stopped once the mail proxy runs. Stand-ins play the link
// checker, the set-up processor and the mail proxy.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/messages.h"
#include "tests/faults/sweep.h"
#include "tests/faults/sweep_bed.h"
#include "tests/launcher/launcher_bed.h"
#include "tests/standins/journal/control.h"
#include "tests/support/user_state.h"

namespace faults {
namespace {

using launcher_test::kLauncher;
using launcher_test::kMail;
using launcher_test::kProbe;
using launcher_test::kSup;
using norvale::testbed::joinPath;
using norvale::testbed::SeenBox;

constexpr char kTemplateFolder[] = "user_default";
constexpr char kAccountManagerKey[] = "Software\\Microsoft\\Internet Account Manager";
// A template beside norvale.conf, so that a copy that stops half-way
// leaves something to see.
constexpr char kRulesFile[] = "norvale-rules.dat";
constexpr char kUserEdit[] = "# the user's own line\n";
// The set-up processor runs a while, so that a launcher that does not wait
// for its end is seen going on before it.
constexpr char kSupRunMs[] = "80";
// Once the proxy is ready, the time the launcher has to show that it took
// a failed wait for the proxy's end.
constexpr DWORD kSettleMs = 100;

enum class Logon { MailAccount, AnswerYes, AnswerNo, InstalledEditedConf };

const char* logonTitle(Logon logon) {
    switch (logon) {
    case Logon::MailAccount: return "Launcher: first logon with a mail account";
    case Logon::AnswerYes: return "Launcher: first logon, question answered Yes";
    case Logon::AnswerNo: return "Launcher: first logon, question answered No";
    case Logon::InstalledEditedConf: return "Launcher: logon of an installed user who edited norvale.conf";
    }
    return "";
}

std::string rulesTemplate() {
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes += static_cast<char>('a' + i % 26);
    return bytes;
}

bool addMailAccount() {
    norvale::RegKey key;
    const std::string path = std::string(launcher_test::kAccountsKey) + "\\faults";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.receive(), nullptr) != ERROR_SUCCESS)
        return false;
    const char address[] = "user@example.org";
    return RegSetValueExA(key.get(), launcher_test::kSmtpValue, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(address), sizeof address) == ERROR_SUCCESS;
}

class LauncherScenario : public Scenario {
public:
    explicit LauncherScenario(Logon logon) : logon_(logon) {}
    ~LauncherScenario() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kAccountManagerKey);
        norvale::testbed::resetUserState();
    }

    std::string title() const override { return logonTitle(logon_); }
    std::string programPath() const override { return programs_.file(kLauncher); }
    std::string arguments() const override { return "-registry"; }
    std::vector<std::string> logs() const override {
        return {userFile(launcher_test::kLogName), userFile(launcher_test::kProbeLogName)};
    }

    void prepare() override {
        ASSERT_TRUE(programs_.valid() && probePlaced_);
        ASSERT_TRUE(norvale::testbed::resetUserState());
        RegDeleteTreeA(HKEY_CURRENT_USER, kAccountManagerKey);
        ASSERT_TRUE(norvale::testbed::createFolders(templateFolder()));
        ASSERT_TRUE(norvale::testbed::writeWholeFile(templateFile("norvale.conf"),
                                                     launcher_test::defaultConf()));
        ASSERT_TRUE(norvale::testbed::writeWholeFile(templateFile(kRulesFile), rulesTemplate()));
        if (logon_ == Logon::MailAccount) {
            ASSERT_TRUE(addMailAccount());
        }
        if (logon_ == Logon::InstalledEditedConf) {
            ASSERT_TRUE(setInstallFlag("yes"));
            ASSERT_TRUE(norvale::testbed::createFolders(norvale::testbed::userProductFolder()));
            ASSERT_TRUE(norvale::testbed::writeWholeFile(
                userFile("norvale.conf"), launcher_test::defaultConf() + kUserEdit));
            ASSERT_TRUE(norvale::testbed::writeWholeFile(userFile(kRulesFile), rulesTemplate()));
        }
        for (const char* program : {kSup, kMail}) programs_.clearJournal(program);
        ASSERT_TRUE(programs_.setControl(kSup, {{standin::kKeyRunMs, kSupRunMs}}));
        flagBefore_ = installFlag();
        before_ = filesIn(norvale::testbed::userProductFolder());
        proxyReadyAt_ = 0;
    }

    int answer(const SeenBox& box) override {
        if (box.text != messageTable[7]) return IDOK;
        // A user with a mail account wants the product. An installed user
        // asked again is asked by mistake; No is what loses the most then.
        return logon_ == Logon::AnswerYes || logon_ == Logon::MailAccount ? IDYES : IDNO;
    }

    // The proxy runs, and the launcher has had the time to show whether it
    // waits for it.
    bool settled() override {
        if (programs_.journal(kMail, "ready").empty()) return false;
        if (proxyReadyAt_ == 0) proxyReadyAt_ = GetTickCount();
        return GetTickCount() - proxyReadyAt_ >= kSettleMs;
    }

    Verdict judge(const RunEnd& end) override {
        Verdict verdict;
        if (lost(verdict) || misread(verdict)) return verdict;
        if (logon_ == Logon::AnswerNo) return judgeDecline(end);
        return judgeSupervision(end);
    }

private:
    std::string templateFolder() const { return programs_.file(kTemplateFolder); }
    std::string templateFile(const std::string& name) const {
        return joinPath(templateFolder(), name);
    }
    static std::string userFile(const std::string& name) {
        return joinPath(norvale::testbed::userProductFolder(), name);
    }
    std::string log() const { return userFile(launcher_test::kLogName); }

    bool installed() const {
        const FolderFiles templates = filesIn(templateFolder());
        const FolderFiles user = filesIn(norvale::testbed::userProductFolder());
        for (const auto& [name, content] : templates) {
            const auto copy = user.find(name);
            if (copy == user.end()) return false;
            if (copy->second != content && !(logon_ == Logon::InstalledEditedConf &&
                                             name == "norvale.conf"))
                return false;
        }
        return true;
    }

    // Nothing that existed is changed or lost; no template is left cut off;
    // the flag never says "yes" for an installation that is not complete.
    bool lost(Verdict& verdict) const {
        const FolderFiles after = filesIn(norvale::testbed::userProductFolder());
        const std::string changed = changedFile(before_, after);
        if (!changed.empty()) {
            verdict = {Outcome::Lost, "the product folder's " + changed};
            return true;
        }
        const FolderFiles templates = filesIn(templateFolder());
        for (const auto& [name, content] : after) {
            const auto source = templates.find(name);
            if (source != templates.end() && source->second != content && !before_.count(name)) {
                verdict = {Outcome::Lost, name + " differs from its template"};
                return true;
            }
        }
        const std::string flag = installFlag();
        if (flagBefore_ == "yes" && flag != "yes") {
            verdict = {Outcome::Lost, "the flag went from yes to " + flag};
            return true;
        }
        if (flag == "yes" && !installed()) {
            verdict = {Outcome::Lost, "the flag says yes for an incomplete installation"};
            return true;
        }
        return false;
    }

    // The launcher logged an answer the set-up processor never gave, or an
    // end of the mail proxy that never came.
    bool misread(Verdict& verdict) const {
        const auto supStarts = programs_.journal(kSup, "start");
        const auto supExits = programs_.journal(kSup, "exit");
        const std::vector<std::string> answers =
            logTexts(log(), "[I]", "The returned code of the SUP process: ");
        for (std::size_t run = 0; run < answers.size(); ++run) {
            if (run < supExits.size() && "exit " + answers[run] == supExits[run].event) continue;
            verdict = {Outcome::FalseSuccess,
                       "the log has the set-up processor answer " + answers[run] +
                           (run < supExits.size() ? ", it gave " + supExits[run].event
                                                  : ", it never ended")};
            return true;
        }
        const auto mailStarts = programs_.journal(kMail, "start");
        if (!mailStarts.empty() && supExits.size() < supStarts.size()) {
            verdict = {Outcome::FalseSuccess, "the mail proxy started while the set-up processor ran"};
            return true;
        }
        if (programs_.journal(kMail, "exit").empty() &&
            logHas(log(), "[I]", "norvale-mail.exe returned value")) {
            verdict = {Outcome::FalseSuccess, "an end of the mail proxy that never came was logged"};
            return true;
        }
        if (mailStarts.size() > 1) {
            verdict = {Outcome::FalseSuccess, "a second mail proxy was started"};
            return true;
        }
        return false;
    }

    bool supRanWith(bool userCheck) const {
        const auto starts = programs_.journal(kSup, "start");
        return starts.size() == 1 &&
               withLongPaths(starts[0].commandLine) == supCommandLine(userCheck);
    }

    std::string supCommandLine(bool userCheck) const {
        return std::string(kSup) + " --user-folder \"" + norvale::testbed::userProductFolder() +
               "\" --client-folder \"" + programs_.path() + "\" --system-folder \"" +
               launcher_test::systemFolderPath() + "\" " + (userCheck ? "" : "--no-user-check");
    }

    Verdict judgeSupervision(const RunEnd& end) const {
        if (end.settled) {
            if (!installed()) return {Outcome::FalseSuccess, "supervising without the user files"};
            if (installFlag() != "yes") return {Outcome::FalseSuccess, "supervising with the flag " + installFlag()};
            const auto mail = programs_.journal(kMail, "start");
            if (mail.empty() || mail[0].commandLine != std::string(kMail) + " -c \"" +
                                                           userFile("norvale.conf") + "\"")
                return {Outcome::Lost, "the mail proxy got another command line"};
            if (programs_.journal(kSup, "start").empty())
                return {Outcome::Prescribed, "the set-up processor could not be started"};
            if (!supRanWith(true)) return {Outcome::Lost, "the set-up processor got another command line"};
            return {Outcome::Unaffected, {}};
        }
        return endedWithError(end);
    }

    Verdict judgeDecline(const RunEnd& end) const {
        if (!end.ended) return {Outcome::FalseSuccess, "the launcher went on after the user declined"};
        if (end.exitCode == 0 && installFlag() == "no") {
            if (supRanWith(false)) return {Outcome::Unaffected, {}};
            if (logHas(log(), "[?]", "The binary 'norvale-sup-processor.exe' was not found!"))
                return {Outcome::Prescribed, "the set-up processor could not be started"};
            if (logHas(log(), "[I]", "QueryUserForInstall -> User pressed 'no' -> User is NOT Admin"))
                return {Outcome::Prescribed, "the administrator test failed, taken as no administrator"};
        }
        return endedWithError(end);
    }

    // A run that ended: one of the launcher's error ends with its box, or
    // an error of its own with a box or log line and a non-zero exit code.
    Verdict endedWithError(const RunEnd& end) const {
        const int code = end.exitCode;
        if (code < 0 && -code < kMessageCount && boxShown(end, messageTable[-code]))
            return {Outcome::Prescribed, "box " + std::to_string(-code) + ", exit code " + std::to_string(code)};
        if (code == 0 && (boxShown(end, messageTable[10]) || boxShown(end, messageTable[38])))
            return {Outcome::Prescribed, boxShown(end, messageTable[10]) ? "box 10, exit code 0" : "box 38, exit code 0"};
        if (code != 0 && (logHas(log(), "[!]") || !end.boxes.empty()))
            return {Outcome::SoundError, "exit code " + std::to_string(code)};
        if (code != 0) return {Outcome::SoundError, "exit code " + std::to_string(code) + ", nothing logged"};
        return {Outcome::FalseSuccess, "ended with exit code 0 and no error shown"};
    }

    Logon logon_;
    ProgramFolder programs_{{kLauncher, kSup, kMail}};
    // The link checker is played by the set-up processor's stand-in, which
    // answers both checks with 0 at once: its own calls are swept on their
    // own, and the real one's pauses would double the time of every run.
    bool probePlaced_ = programs_.place(kSup, kProbe) &&
                        programs_.setControl(kProbe, {{standin::kKeyExitCodes, "0"}});
    std::string flagBefore_;
    FolderFiles before_;
    DWORD proxyReadyAt_ = 0;
};

// Every call of these fails in turn: the waits for children and the reads
// of their exit codes decide what the launcher does next, and the question
// box decides what is stored.
const std::vector<int> kEveryCall = {call_WaitForSingleObject, call_GetExitCodeProcess,
                                     call_CreateProcessA, call_MessageBoxA};

void sweepLogon(Logon logon, const Depth& depth) {
    LauncherScenario scenario(logon);
    expectNoFaults(sweep(scenario, depth));
}

TEST(FaultSweep, LauncherFirstLogonAnsweredYes) {
    sweepLogon(Logon::AnswerYes, sweepDepth(kEveryCall));
}

// In make test, the reads of an installed user's flag, whose failure must
// neither ask again nor overwrite the flag, and the waits of the
// supervision; the first logon above covers the other imports.
TEST(FaultSweep, LauncherLogonOfAnInstalledUserWhoEditedTheConfiguration) {
    std::vector<int> calls = kEveryCall;
    calls.insert(calls.end(), {call_RegOpenKeyExA, call_RegQueryInfoKeyA, call_RegQueryValueExA});
    sweepLogon(Logon::InstalledEditedConf, sweepImports({}, calls));
}

TEST(FaultSweepMore, LauncherFirstLogonWithAMailAccount) {
    sweepLogon(Logon::MailAccount, sweepDepth(kEveryCall));
}

TEST(FaultSweepMore, LauncherFirstLogonAnsweredNo) {
    sweepLogon(Logon::AnswerNo, sweepDepth(kEveryCall));
}

}  // namespace
}  // namespace faults
