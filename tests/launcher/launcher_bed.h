// The launcher as a user meets it: the real program in a program folder of
// its own (a path with a blank), beside copies of the product's stand-ins and
// a "user_default" template folder, answered through its message boxes and
// judged by its exit code, its log, the stand-ins' journals, the registry and
// the user's product folder.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/socket_handle.h"
#include "tests/standins/journal/control.h"
#include "tests/standins/journal/journal.h"
#include "tests/support/child_runner.h"
#include "tests/support/msgbox_watcher.h"
#include "tests/support/test_files.h"
#include "tests/support/test_network.h"
#include "tests/support/user_state.h"

namespace launcher_test {

constexpr char kLauncher[] = "norvale-launcher.exe";
constexpr char kSup[] = "norvale-sup-processor.exe";
constexpr char kMail[] = "norvale-mail.exe";
constexpr char kMsg[] = "norvale-msg.exe";
constexpr char kTaskbar[] = "standin-taskbar.exe";
constexpr char kProbe[] = "norvale-linkprobe.exe";
constexpr char kLogName[] = "norvale-launcher.log";
constexpr char kProbeLogName[] = "norvale-linkprobe.log";
constexpr char kAccountsKey[] = "Software\\Microsoft\\Internet Account Manager\\Accounts";
constexpr char kSmtpValue[] = "SMTP Email Address";

constexpr char kBoxCaption[] = "norvale-launcher";
constexpr char kErrorCaption[] = "norvale-launcher error: ";

// The mail proxy's address and the diverted ports of the default
// configuration; ports of their own, so no other program of the machine
// is in the way.
constexpr int kListenPort = 38870;
constexpr int kFirstPort = 38110;
constexpr int kSecondPort = 38025;

// Bounds for things that happen within a few child runs.
constexpr DWORD kEventWaitMs = 20000;
constexpr DWORD kBoxWaitMs = 10000;

// "TR_ADDRESS_TO_LISTEN=..." and "LSP_PORTS=..." with the values above.
std::string defaultConf();

// Log lines as "[I] text", "[?] text" or "[!] text", without time stamps.
std::vector<std::string> logLines(const std::string& content);
size_t countOf(const std::vector<std::string>& lines, const std::string& line);
// Empty when expected appear in this order (other lines may come between);
// otherwise the first one missing.
std::string missingInOrder(const std::vector<std::string>& lines,
                           const std::vector<std::string>& expected);

// Milliseconds since midnight of a journal time "YYYY-MM-DD HH:MM:SS.mmm".
long journalMs(const std::string& time);

// Waits until condition holds, polling; false after timeoutMs.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// The system folder as the set-up processor gets it.
std::string systemFolderPath();

using norvale::testbed::Listener;
using Redirector = norvale::testbed::RedirectorStandin;

// What a launcher run that ended by itself left.
struct LauncherRun {
    norvale::testbed::ChildResult result;
    std::vector<norvale::testbed::SeenBox> boxes;
};

class LauncherBed : public norvale::testbed::FreshUserTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string programFolder() const { return programs_.path(); }
    std::string program(const std::string& name) const { return programs_.file(name); }
    std::string userFolder() const { return norvale::testbed::userProductFolder(); }
    std::string userFile(const std::string& name) const;
    std::string templateFile(const std::string& name) const;

    // Copies a program of the build into the program folder (as fileName,
    // default the same name) and writes its control file when given.
    void place(const std::string& builtName, const std::string& fileName = {},
               const std::map<std::string, std::string>& control = {});
    void setControl(const std::string& fileName, const std::map<std::string, std::string>& control);
    void removeProgram(const std::string& fileName);
    // A copy of the set-up processor stand-in named norvale-linkprobe.exe:
    // journals its command lines and answers with exitCodes, one per run.
    void placeFakeProbe(const std::string& exitCodes);

    // The template folder's norvale.conf (the folder exists after SetUp).
    void writeTemplateConf(const std::string& text);
    void removeTemplateFolder();

    // HKCU\SOFTWARE\Norvale\NorvaleUserInstalled.
    void setFlag(const std::string& text);
    // The stored text; "<absent>" when there is no value.
    std::string flag() const;

    // An account key below the mail client's Accounts key with one value.
    void addAccount(const std::string& name, const std::string& valueName, DWORD type,
                    const std::string& data);

    // Journal entries of a program in the program folder.
    std::vector<standin::JournalEntry> journal(const std::string& fileName,
                                               const std::string& event) const;
    std::vector<std::string> commandLines(const std::string& fileName) const;
    // Forgets what every stand-in of the program folder journalled so far.
    void clearJournals();
    bool waitForJournal(const std::string& fileName, const std::string& event, size_t count,
                        DWORD timeoutMs = kEventWaitMs) const;

    std::vector<std::string> launcherLog() const;
    std::vector<std::string> probeLog() const;

    // The set-up processor's command line for this user and program folder.
    std::string supCommandLine(bool userCheck) const;
    std::string mailCommandLine() const;

    // Runs the launcher to its end; each box is answered by chooser (OK by
    // default).
    LauncherRun runLauncher(const std::string& arguments,
                            norvale::testbed::AnswerChooser chooser = {});

    // How the boxes shown from now on are answered (empty: OK).
    void answerWith(norvale::testbed::AnswerChooser chooser);

    // Starts the launcher and keeps it running; boxes are answered with OK.
    norvale::testbed::RunningChild& startLauncher(const std::string& arguments);
    // Every box seen since the test began.
    std::vector<norvale::testbed::SeenBox> boxes() const;

    // Starts a stand-in of the program folder itself (msg, taskbar) and
    // waits until it is ready.
    norvale::testbed::RunningChild& startStandin(const std::string& fileName);

    // Ends the launchers and stand-ins this test started or that are left
    // of the launcher's children.
    void endLeftoverProcesses();

private:
    int answerFor(const norvale::testbed::SeenBox& box);

    std::mutex chooserMutex_;
    norvale::testbed::AnswerChooser chooser_;

    norvale::testbed::TempFolder programs_{"norvale launcher"};
    std::vector<std::unique_ptr<norvale::testbed::RunningChild>> children_;
    std::unique_ptr<norvale::testbed::MsgBoxWatcher> watcher_;
};

}  // namespace launcher_test
