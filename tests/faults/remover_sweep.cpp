// The remover's runs for the current user and for all users, with each of
// its calls failing in turn.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "tests/faults/sweep.h"
#include "tests/faults/sweep_bed.h"
#include "tests/standins/journal/control.h"
#include "tests/support/user_state.h"

namespace faults {
namespace {

using norvale::testbed::joinPath;

constexpr char kRemover[] = "NorvaleRemover.exe";
constexpr char kSup[] = "norvale-sup-processor.exe";
constexpr char kLogName[] = "NorvaleRemover.log";
constexpr char kRunOnce[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kLinkValue[] = "NorvaleHTTPLink";
constexpr int kEFail = static_cast<int>(0x80004005);
// The set-up processor runs a while, so that a remover that does not wait
// for its end is seen ending before it.
constexpr char kSupRunMs[] = "150";

std::string shellFolder(int csidl, DWORD flags = SHGFP_TYPE_CURRENT) {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, flags, path))) return {};
    return path;
}

bool feedbackLinkPresent() {
    norvale::RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnce, 0, KEY_QUERY_VALUE, key.receive()) !=
        ERROR_SUCCESS)
        return false;
    return RegQueryValueExA(key.get(), kLinkValue, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

void removeFeedbackLink() {
    norvale::RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnce, 0, KEY_SET_VALUE, key.receive()) ==
        ERROR_SUCCESS)
        RegDeleteValueA(key.get(), kLinkValue);
}

class RemoverScenario : public Scenario {
public:
    explicit RemoverScenario(bool allUsers) : allUsers_(allUsers) {}
    ~RemoverScenario() override {
        removeFeedbackLink();
        norvale::testbed::resetUserState();
    }

    std::string title() const override {
        return allUsers_ ? "Remover: --allusers" : "Remover: --currentuser";
    }
    std::string programPath() const override { return programs_.file(kRemover); }
    std::string arguments() const override { return allUsers_ ? "--allusers" : "--currentuser"; }
    std::vector<std::string> logs() const override { return {log()}; }

    void prepare() override {
        ASSERT_TRUE(programs_.valid());
        ASSERT_TRUE(norvale::testbed::resetUserState());
        removeFeedbackLink();
        ASSERT_TRUE(setInstallFlag("yes"));
        const std::string product = norvale::testbed::userProductFolder();
        ASSERT_TRUE(norvale::testbed::createFolders(product));
        ASSERT_TRUE(norvale::testbed::writeWholeFile(joinPath(product, "norvale.conf"),
                                                     "# the user's own settings\n"));
        programs_.clearJournal(kSup);
        ASSERT_TRUE(programs_.setControl(kSup, {{standin::kKeyRunMs, kSupRunMs}}));
        before_ = filesIn(product);
    }

    void cleanUp() override { programs_.endStandins({kSup}); }

    Verdict judge(const RunEnd& end) override {
        const auto starts = programs_.journal(kSup, "start");
        const auto exits = programs_.journal(kSup, "exit");
        const std::string changed =
            changedFile(before_, filesIn(norvale::testbed::userProductFolder()));
        if (!changed.empty()) return {Outcome::Lost, "the product folder's " + changed};
        if (installFlag() != "yes") return {Outcome::Lost, "the flag is " + installFlag()};
        for (const standin::JournalEntry& start : starts)
            if (!expectedLine(withLongPaths(start.commandLine)))
                return {Outcome::Lost, "the set-up processor got " + start.commandLine};
        if (exits.size() != starts.size())
            return {Outcome::FalseSuccess, "ended while the set-up processor still ran"};

        const bool allServed = starts.size() == expectedRuns();
        const bool linked = !allUsers_ || feedbackLinkPresent();
        if (end.exitCode == 0 && allServed && linked) return {Outcome::Unaffected, {}};
        if (end.exitCode == 0 && allServed && logHas(log(), "[?]", "Failed to set the http link"))
            return {Outcome::Prescribed, "the feedback link could not be written"};
        // A set-up processor that cannot be started counts as one that is
        // not there: the remover goes on and ends with 0.
        if (end.exitCode == 0 && logHas(log(), "[?]", "The 'norvale-sup-processor.exe' binary was not found"))
            return {Outcome::Prescribed, "the set-up processor could not be started"};
        if (end.exitCode == kEFail && logHas(log(), "[!]", "Unknown error"))
            return {Outcome::Prescribed, "Unknown error, 0x80004005"};
        if (end.exitCode != 0 && logHas(log(), "[!]", "Error: "))
            return {Outcome::Prescribed, "Error: ..., exit code " + std::to_string(end.exitCode)};
        if (end.exitCode != 0)
            return {Outcome::SoundError, "exit code " + std::to_string(end.exitCode)};
        return {Outcome::FalseSuccess, std::to_string(starts.size()) + " of " +
                                           std::to_string(expectedRuns()) +
                                           " set-up processor runs, exit code 0"};
    }

private:
    std::string log() const { return joinPath(norvale::testbed::userProductFolder(), kLogName); }

    // The folders the all-users run serves: every folder under the
    // profiles root.
    std::size_t expectedRuns() const {
        if (!allUsers_) return 1;
        const std::string profile = shellFolder(CSIDL_PROFILE);
        return norvale::testbed::folderNamesIn(profile.substr(0, profile.rfind('\\'))).size();
    }

    bool expectedLine(const std::string& line) const {
        const std::string tail = " --client-folder \"" + programs_.path() +
                                 "\" --system-folder \"" +
                                 shellFolder(CSIDL_SYSTEM, SHGFP_TYPE_DEFAULT) + "\"";
        if (!allUsers_)
            return line == std::string(kSup) +
                               " --user-delete --user-delete-currentuser --user-folder \"" +
                               norvale::testbed::userProductFolder() + "\"" + tail;
        const std::string head = std::string(kSup) + " --user-delete --user-folder \"";
        return line.compare(0, head.size(), head) == 0 && line.size() > tail.size() &&
               line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
    }

    bool allUsers_;
    ProgramFolder programs_{{kRemover, kSup}};
    FolderFiles before_;
};

// The remover's waits for the set-up processor, the read of its answer and
// its own path (the client folder the set-up processor gets).
const std::vector<int> kEveryCall = {call_WaitForSingleObject, call_GetExitCodeProcess,
                                     call_GetModuleFileNameW};

TEST(FaultSweep, RemoverForTheCurrentUser) {
    RemoverScenario scenario(false);
    expectNoFaults(sweep(scenario, sweepDepth(kEveryCall)));
}

// In make test, the writes of the feedback link and the waits; the run for
// the current user covers the other imports.
TEST(FaultSweep, RemoverForAllUsers) {
    RemoverScenario scenario(true);
    expectNoFaults(sweep(scenario, sweepImports({call_RegCreateKeyExA, call_RegSetValueExA},
                                                {call_WaitForSingleObject, call_GetExitCodeProcess})));
}

}  // namespace
}  // namespace faults
