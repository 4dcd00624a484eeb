// The launcher's start: its options, the single instance, and the path the
// installation flag and the user's answer choose.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "common/handles.h"
#include "common/messages.h"
#include "launcher/user_install.h"
#include "tests/launcher/launcher_bed.h"
#include "tests/support/double_byte.h"

namespace {

// While not 0, every allocation of at least this many bytes fails in this
// test program, as it would in a launcher short of memory. The runtime's
// operator delete frees with free().
std::size_t g_failAllocationsFrom = 0;

}  // namespace

void* operator new(std::size_t size) {
    if (g_failAllocationsFrom != 0 && size >= g_failAllocationsFrom) throw std::bad_alloc();
    if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
    throw std::bad_alloc();
}

namespace launcher_test {
namespace {

using norvale::testbed::IconKind;
using norvale::testbed::SeenBox;
using norvale::testbed::joinPath;
using norvale::testbed::pathExists;
using norvale::testbed::shortPathOf;
using norvale::testbed::readWholeFile;
using norvale::testbed::writeWholeFile;

class LauncherStartup : public LauncherBed {
protected:
    void SetUp() override {
        LauncherBed::SetUp();
        // The supervision that an installation leads to ends at its first
        // set-up processor run, so every run here ends by itself.
        setControl(kSup, {{standin::kKeyExitCodes, "-1"}});
    }
};

void expectErrorBox(const SeenBox& box, int number) {
    EXPECT_EQ(box.caption, kErrorCaption);
    EXPECT_EQ(box.text, messageTable[number]);
    EXPECT_EQ(box.icon, IconKind::Stop);
    EXPECT_TRUE(box.topMost);
    EXPECT_TRUE(box.hasButton(IDOK));
}

// The Yes/No question of a user who has not decided yet.
void expectQuestion(const SeenBox& box) {
    EXPECT_EQ(box.caption, kBoxCaption);
    EXPECT_EQ(box.text, messageTable[7]);
    EXPECT_EQ(box.icon, IconKind::Question);
    EXPECT_TRUE(box.topMost);
    EXPECT_TRUE(box.hasButton(IDYES));
    EXPECT_TRUE(box.hasButton(IDNO));
    EXPECT_FALSE(box.hasButton(IDCANCEL));
}

norvale::testbed::AnswerChooser answerQuestionWith(int answer) {
    return [answer](const SeenBox& box) { return box.hasButton(IDYES) ? answer : IDOK; };
}

TEST_F(LauncherStartup, WrongParametersEndWithBox3AndMinus3) {
    setFlag("yes");
    for (const char* arguments : {"", "-registry -startmenu", "-REGISTRY", "-startmenu -registry x",
                                  "registry"}) {
        SCOPED_TRACE(std::string("arguments: '") + arguments + "'");
        LauncherRun run = runLauncher(arguments);
        EXPECT_EQ(run.result.exitCode, -3);
        ASSERT_EQ(run.boxes.size(), 1u);
        expectErrorBox(run.boxes[0], 3);
    }
    EXPECT_TRUE(commandLines(kSup).empty());
    EXPECT_TRUE(commandLines(kMail).empty());
    EXPECT_EQ(countOf(launcherLog(), std::string("[I] ") + messageTable[15]), 0u);
}

TEST_F(LauncherStartup, SecondLauncherEndsWithMinus4WhileTheFirstSupervises) {
    setFlag("yes");
    setControl(kSup, {{standin::kKeyExitCodes, "0"}});
    norvale::testbed::RunningChild& first = startLauncher("-registry");
    ASSERT_TRUE(waitForJournal(kMail, "ready", 1)) << "the first launcher started no proxy";

    for (const char* arguments : {"-registry", "-startmenu"}) {
        SCOPED_TRACE(arguments);
        LauncherRun second = runLauncher(arguments);
        EXPECT_EQ(second.result.exitCode, -4);
        ASSERT_EQ(second.boxes.size(), 1u);
        expectErrorBox(second.boxes[0], 4);
    }
    EXPECT_FALSE(first.hasExited());
    EXPECT_TRUE(journal(kMail, "exit").empty()) << "the running proxy was disturbed";
    EXPECT_EQ(commandLines(kSup).size(), 1u) << "a second launcher ran the set-up processor";
    // Both wrote into the one log: each second launcher opened and closed it.
    EXPECT_EQ(countOf(launcherLog(), "[I] Logfile started."), 3u);
}

// A mutex of that name that this user may not open (another session's
// launcher made it): CreateMutexA gives no handle and ERROR_ACCESS_DENIED.
// That launcher runs, so this one ends as a second launcher does.
TEST_F(LauncherStartup, MutexThatCannotBeOpenedCountsAsAnotherLauncher) {
    setFlag("yes");
    SECURITY_DESCRIPTOR descriptor;
    ACL emptyAcl;  // grants nothing to anybody
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(InitializeAcl(&emptyAcl, sizeof emptyAcl, ACL_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, &emptyAcl, FALSE));
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    norvale::KernelHandle foreign(CreateMutexA(&attributes, FALSE, messageTable[11]));
    ASSERT_TRUE(foreign);
    SetLastError(0);
    ASSERT_EQ(CreateMutexA(nullptr, TRUE, messageTable[11]), nullptr);
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    LauncherRun run = runLauncher("-registry");
    EXPECT_EQ(run.result.exitCode, -4);
    ASSERT_EQ(run.boxes.size(), 1u);
    expectErrorBox(run.boxes[0], 4);
    EXPECT_TRUE(commandLines(kSup).empty()) << "the set-up processor ran";
}

TEST_F(LauncherStartup, StartMenuWithFlagYesEndsWithMinus18) {
    setFlag("YES");
    LauncherRun run = runLauncher("-startmenu");
    EXPECT_EQ(run.result.exitCode, -18);
    ASSERT_EQ(run.boxes.size(), 1u);
    expectErrorBox(run.boxes[0], 18);
    EXPECT_TRUE(commandLines(kSup).empty());
    EXPECT_TRUE(commandLines(kMail).empty());
    EXPECT_EQ(flag(), "YES");
    EXPECT_EQ(countOf(launcherLog(), std::string("[I] ") + messageTable[16]), 1u);
}

// Flag "no" at logon, as an administrator: one run of the set-up processor
// without the user check, whose -1 alone stops the launcher with 1.
TEST_F(LauncherStartup, FlagNoAsAdministratorRunsTheSetupProcessorOnly) {
    struct Row {
        const char* supCodes;  // nullptr: no set-up processor in the folder
        int exitCode;
        std::vector<std::string> lines;
    };
    const Row rows[] = {
        {"0", 0, {"[I] The returned code of the SUP process: 0", "[I] callSUP return = 0"}},
        {"-1",
         1,
         {"[I] The returned code of the SUP process: -1", "[I] callSUP return = -1",
          "[!] SUP returned -1, so just exit!"}},
        {"-10", 0, {"[I] callSUP return = -10"}},
        {nullptr,
         0,
         {"[?] The binary 'norvale-sup-processor.exe' was not found!", "[I] callSUP return = -3"}},
    };
    setFlag("no");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.supCodes ? row.supCodes : "no set-up processor");
        ASSERT_TRUE(norvale::testbed::resetUserState());
        setFlag("No");
        if (row.supCodes) {
            place(kSup, {}, {{standin::kKeyExitCodes, row.supCodes}});
            clearJournals();
        } else {
            removeProgram(kSup);
        }
        LauncherRun run = runLauncher("-registry");
        EXPECT_EQ(run.result.exitCode, row.exitCode);
        EXPECT_TRUE(run.boxes.empty());
        if (row.supCodes) {
            std::vector<std::string> lines = commandLines(kSup);
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(lines[0], supCommandLine(false));
            EXPECT_EQ(journal(kSup, "startup hidden").size(), 1u);
        }
        std::vector<std::string> expected = {
            "[I] Norvale Launcher run from registry.",
            "[I] do_registry -> reg flag 'no' -> User is Admin => call SUP", "[I] Call the SUP!",
            "[I] Final params: '" + supCommandLine(false) + "'"};
        expected.insert(expected.end(), row.lines.begin(), row.lines.end());
        EXPECT_EQ(missingInOrder(launcherLog(), expected), "");
        EXPECT_TRUE(commandLines(kMail).empty());
        EXPECT_EQ(flag(), "No");
    }
}

// A sending mail account decides without a question, whatever type its
// address value has: data without a terminating NUL is read no further
// than it goes.
TEST_F(LauncherStartup, SmtpAccountInstallsWithoutAQuestion) {
    struct Row {
        const char* name;
        DWORD type;
        std::string data;
        bool largestValue;  // no longer value beside it in the account's key
        const char* logged;
    };
    const Row rows[] = {
        {"string", REG_SZ, std::string("alice@example.org", 18), false, "alice@example.org"},
        {"binary without NUL", REG_BINARY, "bob@example.org", true, "bob@example.org"},
        {"string without NUL", REG_SZ, "carol@example.org", true, "carol@example.org"},
        {"binary without NUL beside a longer value", REG_BINARY, "dave@example.org", false,
         "dave@example.org"},
        {"empty binary", REG_BINARY, "", true, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(norvale::testbed::resetUserState());
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Account Manager");
        // An account without an address comes first and does not decide.
        addAccount("00000001", "Account Name", REG_SZ, std::string("News\0", 5));
        if (!row.largestValue)
            addAccount("00000002", "POP3 Server", REG_SZ, std::string(40, 'p') + '\0');
        addAccount("00000002", kSmtpValue, row.type, row.data);

        LauncherRun run = runLauncher("-registry");
        EXPECT_EQ(run.result.exitCode, 1) << "the supervision did not start";
        EXPECT_TRUE(run.boxes.empty()) << "the user was asked: " << run.boxes[0].text;
        EXPECT_EQ(flag(), "yes");
        EXPECT_TRUE(pathExists(userFile("norvale.conf")));
        EXPECT_EQ(missingInOrder(launcherLog(),
                                 {"[I] Found the subkey: 00000001 in the Accounts registry key.",
                                  "[I] The full subkey paths is: " + std::string(kAccountsKey) +
                                      "\\00000001",
                                  "[I] Found the subkey: 00000002 in the Accounts registry key.",
                                  std::string("[I] There is an 'SMTP Email Address': ") +
                                      row.logged + ".",
                                  "[I] The user part is installing.",
                                  "[I] Copied all files in the user dir."}),
                  "");
    }
}

// The application-data folder under a name the code page cannot hold: the
// per-user part, the log and the set-up processor's folder argument go to
// the real folder, by its short name, and no look-alike folder appears.
TEST_F(LauncherStartup, InstallsIntoTheRealApplicationDataFolder) {
    char profile[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile));
    wchar_t profileWide[MAX_PATH] = {};
    ASSERT_NE(0, MultiByteToWideChar(CP_ACP, 0, profile, -1, profileWide, MAX_PATH));
    const std::wstring appDataWide = std::wstring(profileWide) + L"\\norvale data \x0141ukasz";
    norvale::testbed::MovedAppData moved(appDataWide, true);
    ASSERT_TRUE(moved.active());
    const std::string product = joinPath(shortPathOf(appDataWide), "Norvale");
    char lookAlike[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, lookAlike));
    ASSERT_EQ(std::string::npos, product.find(lookAlike));
    addAccount("00000001", kSmtpValue, REG_SZ, std::string("alice@example.org", 18));

    LauncherRun run = runLauncher("-registry");
    EXPECT_EQ(run.result.exitCode, 1) << "the supervision did not start";
    EXPECT_TRUE(pathExists(joinPath(product, "norvale.conf")));
    EXPECT_TRUE(pathExists(joinPath(product, "norvale-launcher.log")));
    const std::vector<std::string> lines = commandLines(kSup);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("--user-folder \"" + product + "\""), std::string::npos) << lines[0];
    EXPECT_FALSE(pathExists(lookAlike));
}

// Removes the folders it names when the test ends, whatever happened.
struct FoldersRemovedAtEnd {
    std::vector<std::string> paths;
    ~FoldersRemovedAtEnd() {
        for (const std::string& path : paths) norvale::testbed::removeTree(path);
    }
};

// On a Windows whose ANSI code page is 932, a user whose folder and mail
// account are named in Japanese, with backslash bytes as second bytes: the
// account decides without a question, the per-user part and the launcher's
// and link checker's logs go into the user's own folder, and no folder of a
// cut name ("x", "x表示") appears beside it.
TEST_F(LauncherStartup, DoubleByteUserFolderGetsThePerUserPartAndTheLogs) {
    using norvale::testbed::kHyouji;
    using norvale::testbed::kHyoujiSofuto;
    NORVALE_NEEDS_DOUBLE_BYTE();
    char profile[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile));
    const std::string users = std::string(profile, ansi::findLastChar(profile, '\\') + 1);
    const std::string name = std::string("x") + kHyoujiSofuto;
    const FoldersRemovedAtEnd cleanup{{users + name, users + "x", users + "x" + kHyouji}};
    ASSERT_TRUE(norvale::testbed::createFolders(users + name + "\\AppData"));
    const std::vector<std::string> folders = norvale::testbed::folderNamesIn(users);
    norvale::testbed::MovedAppData moved(norvale::testbed::wide(users + name + "\\AppData\\Roaming"), true);
    ASSERT_TRUE(moved.active());
    const std::string product = users + name + "\\AppData\\Roaming\\Norvale";
    addAccount(kHyoujiSofuto, kSmtpValue, REG_SZ, std::string("alice@example.org", 18));

    LauncherRun run = runLauncher("-registry");
    EXPECT_EQ(run.result.exitCode, 1) << "the supervision did not start";
    EXPECT_TRUE(run.boxes.empty()) << "the user was asked: " << run.boxes[0].text;
    const norvale::testbed::ChildResult probe = norvale::testbed::runChild(
        norvale::testbed::binPath(kProbe), "-bindcheck 127.0.0.1 " + std::to_string(kListenPort),
        norvale::testbed::testBinFolder());
    EXPECT_EQ(probe.exitCode, 0);
    for (const char* file : {"norvale.conf", kLogName, kProbeLogName})
        EXPECT_TRUE(pathExists(joinPath(product, file))) << file;
    EXPECT_EQ(missingInOrder(launcherLog(), {std::string("[I] Found the subkey: ") + kHyoujiSofuto +
                                             " in the Accounts registry key."}),
              "");
    EXPECT_EQ(folders, norvale::testbed::folderNamesIn(users));
}

// An account whose address buffer cannot be allocated is skipped like one
// whose address cannot be read: a later account with an address decides.
TEST_F(LauncherStartup, AccountWhoseAddressCannotBeAllocatedIsSkipped) {
    const std::size_t kLargeAddress = 1 << 20;
    const struct {
        const char* name;
        bool laterAccount;
    } rows[] = {{"a later account decides", true}, {"no account decides", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Account Manager");
        addAccount("00000001", kSmtpValue, REG_BINARY, std::string(kLargeAddress, 'x'));
        if (row.laterAccount)
            addAccount("00000002", kSmtpValue, REG_SZ, std::string("alice@example.org", 18));

        bool found = false;
        g_failAllocationsFrom = kLargeAddress;
        try {
            found = hasSmtpAccount();
        } catch (const std::bad_alloc&) {
            ADD_FAILURE() << "the failed allocation ended the scan";
        }
        g_failAllocationsFrom = 0;
        EXPECT_EQ(row.laterAccount, found);
    }
}

// No account with an address: the user is asked. No is stored and, for an
// administrator, leads to one set-up processor run without the user check.
// A start from the Start menu asks again as long as the flag is not "yes".
TEST_F(LauncherStartup, QuestionAnsweredNoStoresNo) {
    addAccount("00000001", "Account Name", REG_SZ, std::string("News\0", 5));
    struct Row {
        const char* arguments;
        const char* flagBefore;  // nullptr: no flag
    };
    const Row rows[] = {{"-registry", nullptr}, {"-startmenu", "no"}, {"-startmenu", "maybe"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.arguments) + " " + (row.flagBefore ? row.flagBefore : "-"));
        ASSERT_TRUE(norvale::testbed::resetUserState());
        if (row.flagBefore) setFlag(row.flagBefore);
        setControl(kSup, {{standin::kKeyExitCodes, "0"}});
        size_t supRuns = commandLines(kSup).size();

        LauncherRun run = runLauncher(row.arguments, answerQuestionWith(IDNO));
        EXPECT_EQ(run.result.exitCode, 0);
        ASSERT_EQ(run.boxes.size(), 1u);
        expectQuestion(run.boxes[0]);
        EXPECT_EQ(flag(), "no");
        EXPECT_FALSE(pathExists(userFile("norvale.conf")));
        std::vector<std::string> lines = commandLines(kSup);
        ASSERT_EQ(lines.size(), supRuns + 1);
        EXPECT_EQ(lines.back(), supCommandLine(false));
        EXPECT_EQ(
            missingInOrder(launcherLog(),
                           {"[I] No 'SMTP Email Address' was found.",
                            "[I] The user doesn't want to install the user part.",
                            "[I] The HKCU\\SOFTWARE\\Norvale key NorvaleUserInstalled was set "
                            "to/contains value 'no'.",
                            "[I] QueryUserForInstall -> User pressed 'no' -> User is Admin => "
                            "call SUP",
                            "[I] callSUP return = 0"}),
            "");
    }
    EXPECT_TRUE(commandLines(kMail).empty());
}

// Yes installs: the template files are copied, a file the user already has
// is kept as it is, subfolders are left out, and "yes" is stored.
TEST_F(LauncherStartup, QuestionAnsweredYesCopiesWithoutOverwriting) {
    ASSERT_TRUE(writeWholeFile(templateFile("norvale-global.conf"), "template global\r\n"));
    ASSERT_TRUE(writeWholeFile(templateFile("keys.dat"), std::string("\0\1\2key", 6)));
    ASSERT_TRUE(norvale::testbed::createFolders(templateFile("skins")));
    ASSERT_TRUE(writeWholeFile(templateFile("skins\\blue.css"), "body{}"));
    ASSERT_TRUE(norvale::testbed::createFolders(userFolder()));
    ASSERT_TRUE(writeWholeFile(userFile("norvale.conf"), "the user's own settings\n"));

    LauncherRun run = runLauncher("-startmenu", answerQuestionWith(IDYES));
    EXPECT_EQ(run.result.exitCode, 1) << "the supervision did not start";
    ASSERT_EQ(run.boxes.size(), 1u);
    expectQuestion(run.boxes[0]);
    EXPECT_EQ(flag(), "yes");
    EXPECT_EQ(readWholeFile(userFile("norvale.conf")).value_or(""), "the user's own settings\n");
    EXPECT_EQ(readWholeFile(userFile("norvale-global.conf")).value_or(""), "template global\r\n");
    EXPECT_EQ(readWholeFile(userFile("keys.dat")).value_or(""), std::string("\0\1\2key", 6));
    EXPECT_FALSE(pathExists(userFile("skins")));
    std::vector<std::string> log = launcherLog();
    EXPECT_EQ(missingInOrder(log, {"[I] The user part is installing.",
                                   "[?] The file '" + userFile("norvale.conf") +
                                       "' already exists.",
                                   "[I] Copied all files in the user dir.",
                                   "[I] The HKCU\\SOFTWARE\\Norvale key NorvaleUserInstalled was "
                                   "set to/contains value 'yes'.",
                                   // The supervision copies once more and keeps everything.
                                   "[?] The file '" + userFile("norvale-global.conf") +
                                       "' already exists.",
                                   "[I] Copied all files in the user dir.",
                                   "[I] Trying to start norvale-mail for the 1st time..."}),
              "");
}

// A volume too small for a template: the first logon ends with box 8 and
// -8 and leaves no cut-off copy behind, so the next logon, with room again,
// copies every template whole. The file the user already had is never
// touched.
TEST_F(LauncherStartup, FullVolumeLeavesNoCutOffTemplateForLaterLogons) {
    const std::string large(64 * 1024, 'k');
    const std::string own = "the user's own settings\n";
    ASSERT_TRUE(writeWholeFile(templateFile("keys.dat"), large));
    ASSERT_TRUE(norvale::testbed::createFolders(userFolder()));
    norvale::testbed::SmallVolume volume(userFolder(), 16);
    ASSERT_TRUE(volume.mounted());
    ASSERT_TRUE(writeWholeFile(userFile("norvale.conf"), own));
    addAccount("00000001", kSmtpValue, REG_SZ, std::string("alice@example.org", 18));

    LauncherRun full = runLauncher("-registry");
    EXPECT_EQ(full.result.exitCode, -8);
    ASSERT_EQ(full.boxes.size(), 1u);
    expectErrorBox(full.boxes[0], 8);
    EXPECT_FALSE(pathExists(userFile("keys.dat")));
    EXPECT_EQ(readWholeFile(userFile("norvale.conf")).value_or(""), own);

    ASSERT_TRUE(volume.resize(1024));
    LauncherRun roomy = runLauncher("-registry");
    EXPECT_EQ(roomy.result.exitCode, 1) << "the supervision did not start";
    EXPECT_TRUE(roomy.boxes.empty());
    const std::string copied = readWholeFile(userFile("keys.dat")).value_or("");
    EXPECT_TRUE(copied == large) << "a copy of " << copied.size() << " bytes";
    EXPECT_EQ(readWholeFile(userFile("norvale.conf")).value_or(""), own);
    // Nothing of the runs may hold the volume when it goes.
    endLeftoverProcesses();
}

// A name in the user's folder that is taken, even by a link that leads
// nowhere, is left alone, also when its template cannot be read: the copy
// never opens or removes a file it did not make, and the installation goes
// on. (Before, the failed copy took the link for a file it had made and
// removed it.) A copy that fails part-way removes only its own file.
TEST_F(LauncherStartup, CopyNeverRemovesAFileItDidNotMake) {
    norvale::testbed::TempFolder elsewhere("link target");
    ASSERT_TRUE(writeWholeFile(elsewhere.file("gone.conf"), "moved away\n"));
    ASSERT_TRUE(norvale::testbed::createFolders(userFolder()));
    ASSERT_TRUE(norvale::testbed::makeFolderLink(userFile("norvale.conf"), elsewhere.file("gone.conf")));
    ASSERT_TRUE(DeleteFileA(elsewhere.file("gone.conf").c_str()));
    const norvale::FileHandle unreadable(CreateFileA(templateFile("norvale.conf").c_str(),
                                                     GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(unreadable.valid());
    addAccount("00000001", kSmtpValue, REG_SZ, std::string("alice@example.org", 18));

    LauncherRun run = runLauncher("-registry");
    EXPECT_EQ(run.result.exitCode, 1) << "the supervision did not start";
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(flag(), "yes");
    // The link still takes the name: a new file of that name cannot be made.
    const norvale::FileHandle taken(CreateFileA(userFile("norvale.conf").c_str(), GENERIC_WRITE, 0,
                                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(taken.valid()) << "the link was removed";
    EXPECT_EQ(countOf(launcherLog(),
                      "[?] The file '" + userFile("norvale.conf") + "' already exists."),
              2u);
}

// Without a template folder nothing can be installed: box 23 reports it,
// box 8 ends the launcher, and nothing is stored.
TEST_F(LauncherStartup, MissingTemplateFolderEndsWithBox23ThenBox8) {
    removeTemplateFolder();
    struct Row {
        const char* arguments;
        const char* flagBefore;
        size_t questions;
    };
    const Row rows[] = {{"-startmenu", nullptr, 1}, {"-registry", "yes", 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        ASSERT_TRUE(norvale::testbed::resetUserState());
        if (row.flagBefore) setFlag(row.flagBefore);
        LauncherRun run = runLauncher(row.arguments, answerQuestionWith(IDYES));
        EXPECT_EQ(run.result.exitCode, -8);
        ASSERT_EQ(run.boxes.size(), row.questions + 2);
        if (row.questions) expectQuestion(run.boxes[0]);
        expectErrorBox(run.boxes[row.questions], 23);
        expectErrorBox(run.boxes[row.questions + 1], 8);
        EXPECT_EQ(flag(), row.flagBefore ? row.flagBefore : "<absent>");
        EXPECT_EQ(missingInOrder(launcherLog(),
                                 {"[!] No files to be copied were found in user_default dir.",
                                  "[!] There was an error while trying to copy the user files, "
                                  "so abort!"}),
                  "");
        EXPECT_TRUE(commandLines(kSup).empty());
    }
}

}  // namespace
}  // namespace launcher_test
