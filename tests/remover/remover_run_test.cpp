// The removal tool as a user runs it: the real program in a program folder
// of its own beside the set-up processor stand-in, which journals every
// command line it gets and exits with the codes its control file gives.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/standins/journal/control.h"
#include "tests/standins/journal/journal.h"
#include "tests/support/child_runner.h"
#include "tests/support/double_byte.h"
#include "tests/support/msgbox_watcher.h"
#include "tests/support/test_files.h"
#include "tests/support/user_state.h"

namespace {

using namespace norvale::testbed;

constexpr char kRemover[] = "NorvaleRemover.exe";
constexpr char kSup[] = "norvale-sup-processor.exe";
constexpr char kLogName[] = "NorvaleRemover.log";
constexpr int kEFail = static_cast<int>(0x80004005);
constexpr char kRunOnce[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kLinkValue[] = "NorvaleHTTPLink";
constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
// Time for a box to be recorded and answered.
constexpr DWORD kBoxWaitMs = 10000;

std::string shellFolder(int csidl, DWORD flags = SHGFP_TYPE_CURRENT) {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, flags, path))) return {};
    return path;
}

std::string profilesRootFolder() {
    std::string profile = shellFolder(CSIDL_PROFILE);
    return profile.substr(0, profile.rfind('\\') + 1);
}

// Where the application data lies below a profile, e.g. AppData\Roaming.
std::string offsetBelowProfile() {
    return shellFolder(CSIDL_APPDATA).substr(shellFolder(CSIDL_PROFILE).size() + 1);
}

bool setUserFlag(const char* text) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kUserKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LSTATUS status = RegSetValueExA(key, "NorvaleUserInstalled", 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(text),
                                    static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

struct RegistryText {
    bool present = false;
    DWORD type = 0;
    DWORD size = 0;
    std::string text;
};

RegistryText feedbackLink() {
    RegistryText value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnce, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return value;
    char data[1024] = {};
    value.size = sizeof data - 1;
    value.present = RegQueryValueExA(key, kLinkValue, nullptr, &value.type,
                                     reinterpret_cast<BYTE*>(data), &value.size) == ERROR_SUCCESS;
    RegCloseKey(key);
    value.text = data;
    return value;
}

void removeFeedbackLink() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnce, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, kLinkValue);
    RegCloseKey(key);
}

size_t countOf(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++count;
    return count;
}

class RemoverRun : public FreshUserTest {
protected:
    void SetUp() override {
        FreshUserTest::SetUp();
        ASSERT_TRUE(programs_.valid());
        ASSERT_TRUE(copyPrograms(programs_.path(), {kRemover, kSup}));
        removeFeedbackLink();
    }

    void TearDown() override {
        removeFeedbackLink();
        for (const std::string& folder : userFolders_) removeTree(folder);
        FreshUserTest::TearDown();
    }

    // Runs the tool from another current directory: it has to find the
    // set-up processor in its own folder.
    ChildResult runRemover(const std::string& arguments) {
        return runChild(programs_.file(kRemover), arguments, testBinFolder());
    }

    void supExitCodes(const std::string& codes) {
        ASSERT_TRUE(standin::writeControl(programs_.file("norvale-sup-processor.control"),
                                          {{standin::kKeyExitCodes, codes}}));
    }

    void removeSup() { ASSERT_TRUE(removeTree(programs_.file(kSup))); }

    std::vector<std::string> supCommandLines() const {
        std::vector<std::string> lines;
        for (const standin::JournalEntry& entry : standin::entriesFor(
                 standin::readJournal(programs_.file("norvale-sup-processor.journal")), "start"))
            lines.push_back(entry.commandLine);
        return lines;
    }

    std::string log(const std::string& productFolder = userProductFolder()) const {
        return readWholeFile(joinPath(productFolder, kLogName)).value_or("");
    }

    // The folder arguments every set-up processor run ends with.
    std::string clientAndSystem() const {
        return "--client-folder \"" + programs_.path() + "\" --system-folder \"" +
               shellFolder(CSIDL_SYSTEM, SHGFP_TYPE_DEFAULT) + "\"";
    }

    // The set-up processor's command line of the all-users run for one user.
    std::string allUsersLine(const std::string& productFolder) const {
        return std::string(kSup) + " --user-delete --user-folder \"" + productFolder + "\" " +
               clientAndSystem();
    }

    // A folder outside the profiles root that holds the folders of a profile
    // down to its product folder, for links to point to; empty when it
    // cannot be made.
    std::string linkTarget() const {
        const std::string target = programs_.file("elsewhere");
        return createFolders(joinPath(target, offsetBelowProfile() + "\\Norvale")) ? target : "";
    }

    void makeUserFolders(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            userFolders_.push_back(profilesRootFolder() + name);
            ASSERT_TRUE(createFolders(userFolders_.back()));
        }
    }

    TempFolder programs_{"norvale remover"};
    MsgBoxWatcher boxes_{IDOK};
    std::vector<std::string> userFolders_;
};

TEST_F(RemoverRun, WithoutAValidOptionFailsWithoutRemovingAnything) {
    const char* const arguments[] = {"", "--AllUsers", "--CurrentUser", "allusers", "--allusers=1"};
    for (const char* argument : arguments) {
        SCOPED_TRACE(argument);
        ChildResult run = runRemover(argument);
        EXPECT_EQ(kEFail, run.exitCode);
        EXPECT_NE(std::string::npos, log().find(" [!] Wrong params!\r\n"));
    }
    EXPECT_TRUE(supCommandLines().empty());
    EXPECT_EQ(0u, boxes_.count());
    EXPECT_FALSE(feedbackLink().present);
}

TEST_F(RemoverRun, ForAUserWithoutTheProductShowsOneBoxAndRunsNothing) {
    const char* const flags[] = {nullptr /* no key */, "", "no", "NO", "yes ", "1"};
    for (const char* flag : flags) {
        SCOPED_TRACE(flag ? std::string("flag '") + flag + "'" : "no key");
        ASSERT_TRUE(resetUserState());
        if (flag != nullptr) {
            ASSERT_TRUE(setUserFlag(flag));
        }
        size_t before = boxes_.count();

        ChildResult run = runRemover("--currentuser");
        EXPECT_EQ(0, run.exitCode);
        ASSERT_TRUE(boxes_.waitForBoxes(before + 1, kBoxWaitMs));
        SeenBox box = boxes_.boxes().back();
        EXPECT_EQ("The product is already disabled for the current user.", box.text);
        EXPECT_EQ("Norvale remover", box.caption);
        EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
        if (box.styleKnown) {
            EXPECT_EQ(0u, box.style);
        }

        std::string text = log();
        EXPECT_NE(std::string::npos, text.find(" [I] The tool was called for the current user\r\n"));
        EXPECT_NE(std::string::npos, text.find(" [I] The product is not enabled for the current user\r\n"));
    }
    EXPECT_EQ(std::size(flags), boxes_.count());
    EXPECT_TRUE(supCommandLines().empty());
}

TEST_F(RemoverRun, ForTheCurrentUserRunsTheSetUpProcessorOnce) {
    struct Case {
        const char* arguments;
        const char* flag;
        int supCode;
        int exitCode;
    };
    const Case cases[] = {
        {"--currentuser", "YES", 5, 0},
        {"--currentuser", "yes", -10, -10},
        {"--currentuser", "Yes", -1, 0},
        // Both options: the current user's run wins.
        {"--allusers --currentuser", "yes", 0, 0},
    };
    const std::string expectedLine =
        std::string(kSup) + " --user-delete --user-delete-currentuser --user-folder \"" +
        userProductFolder() + "\" " + clientAndSystem();
    size_t runs = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.arguments) + " with exit code " + std::to_string(c.supCode));
        ASSERT_TRUE(resetUserState());
        ASSERT_TRUE(setUserFlag(c.flag));
        supExitCodes(std::to_string(c.supCode));

        ChildResult run = runRemover(c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode);
        std::vector<std::string> lines = supCommandLines();
        ASSERT_EQ(++runs, lines.size());
        EXPECT_EQ(expectedLine, lines.back());

        std::string text = log();
        EXPECT_NE(std::string::npos,
                  text.find("User param: '--user-folder \"" + userProductFolder() + "\"'\r\n"));
        EXPECT_NE(std::string::npos,
                  text.find("Binary param: '--client-folder \"" + programs_.path() + "\"'\r\n"));
        EXPECT_NE(std::string::npos, text.find(" [I] Final params: '" + expectedLine + "'\r\n"));
        std::string code = std::to_string(c.supCode);
        EXPECT_NE(std::string::npos,
                  text.find(" [I] The code returned by '" + std::string(kSup) + "' binary is '" +
                            code + "'\r\n"));
        EXPECT_NE(std::string::npos, text.find(" [I] The sup tool returned: " + code + "\r\n"));
    }
    EXPECT_EQ(0u, boxes_.count());
    EXPECT_FALSE(feedbackLink().present);
}

TEST_F(RemoverRun, ForTheCurrentUserWithoutTheSetUpProcessorEndsNormally) {
    ASSERT_TRUE(setUserFlag("yes"));
    removeSup();
    ChildResult run = runRemover("--currentuser");
    EXPECT_EQ(0, run.exitCode);
    std::string text = log();
    EXPECT_NE(std::string::npos,
              text.find(" [?] The 'norvale-sup-processor.exe' binary was not found\r\n"));
    EXPECT_NE(std::string::npos, text.find(" [I] The sup tool returned: -3\r\n"));
}

TEST_F(RemoverRun, ForAllUsersServesEveryFolderInListingOrderThenLinksTheFeedbackPage) {
    makeUserFolders({"norvale rm one", "norvale rm two", "norvale rm three"});
    const std::string root = profilesRootFolder();
    const std::vector<std::string> names = folderNamesIn(root);
    ASSERT_GE(names.size(), 3u);
    const std::string offset = offsetBelowProfile();
    supExitCodes("0, 5, -3, -1, 7");

    ChildResult run = runRemover("--allusers");
    EXPECT_EQ(0, run.exitCode);

    std::vector<std::string> expected;
    for (const std::string& name : names)
        expected.push_back(allUsersLine(root + name + "\\" + offset + "\\Norvale"));
    EXPECT_EQ(expected, supCommandLines());

    std::string text = log();
    EXPECT_NE(std::string::npos, text.find(" [I] The tool was called for all users\r\n"));
    size_t lastFound = 0;
    for (const std::string& name : names) {
        size_t at = text.find(" [I] Found user dir: '" + root + name + "\\" + offset + "\\Norvale'\r\n");
        EXPECT_NE(std::string::npos, at) << name;
        if (at != std::string::npos) lastFound = std::max(lastFound, at);
    }
    // Every folder is known before the first removal starts.
    EXPECT_LT(lastFound, text.find("Final params"));
    EXPECT_NE(std::string::npos,
              text.find(" [I] Do what is needed to run the norvale http link -> write it in RunOnce\r\n"));

    RegistryText link = feedbackLink();
    ASSERT_TRUE(link.present);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), link.type);
    EXPECT_EQ(link.text.size() + 1, link.size);
    ASSERT_GT(link.text.size(), std::string("/unifeedback").size());
    EXPECT_EQ("/unifeedback", link.text.substr(link.text.size() - 12));
    EXPECT_EQ(0u, link.text.find("http"));
}

TEST_F(RemoverRun, ForAllUsersStopsAtOnceWhenTheSetUpProcessorSaysSo) {
    makeUserFolders({"norvale rm one", "norvale rm two", "norvale rm three"});
    ASSERT_GE(folderNamesIn(profilesRootFolder()).size(), 3u);
    supExitCodes("0, -10, 0");

    ChildResult run = runRemover("--allusers");
    EXPECT_EQ(-10, run.exitCode);
    EXPECT_EQ(2u, supCommandLines().size());
    EXPECT_EQ(std::string::npos, log().find("RunOnce"));
    EXPECT_FALSE(feedbackLink().present);
}

TEST_F(RemoverRun, ForAllUsersWithoutTheSetUpProcessorGoesThroughEveryFolder) {
    makeUserFolders({"norvale rm one", "norvale rm two"});
    const size_t folders = folderNamesIn(profilesRootFolder()).size();
    removeSup();

    ChildResult run = runRemover("--allusers");
    EXPECT_EQ(0, run.exitCode);
    std::string text = log();
    EXPECT_EQ(folders, countOf(text, " [?] The 'norvale-sup-processor.exe' binary was not found\r\n"));
    EXPECT_EQ(folders, countOf(text, " [I] The sup tool returned: -3\r\n"));
    EXPECT_TRUE(feedbackLink().present);
}

// Moves the current user's application data to another drive for one test;
// without the folder the system reports no application-data folder at all.
class AppDataElsewhere {
public:
    AppDataElsewhere(const std::string& folder, bool create) : folder_(folder) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                          &key) != ERROR_SUCCESS)
            return;
        char old[MAX_PATH] = {};
        DWORD size = sizeof old - 1;
        if (RegQueryValueExA(key, "AppData", nullptr, &oldType_, reinterpret_cast<BYTE*>(old),
                             &size) == ERROR_SUCCESS &&
            (!create || createFolders(folder_))) {
            old_ = old;
            saved_ = RegSetValueExA(key, "AppData", 0, REG_EXPAND_SZ,
                                    reinterpret_cast<const BYTE*>(folder_.c_str()),
                                    static_cast<DWORD>(folder_.size() + 1)) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }
    ~AppDataElsewhere() {
        HKEY key;
        if (saved_ && RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_SET_VALUE, &key) ==
                          ERROR_SUCCESS) {
            RegSetValueExA(key, "AppData", 0, oldType_, reinterpret_cast<const BYTE*>(old_.c_str()),
                           static_cast<DWORD>(old_.size() + 1));
            RegCloseKey(key);
        }
        removeTree(folder_);
    }
    bool active() const { return saved_; }

private:
    std::string folder_;
    std::string old_;
    DWORD oldType_ = REG_EXPAND_SZ;
    bool saved_ = false;
};

TEST_F(RemoverRun, ForAllUsersWithApplicationDataOnAnotherDriveRemovesNothing) {
    const std::string elsewhere = "Z:\\tmp\\norvale remover appdata " + std::to_string(GetCurrentProcessId());
    std::string text;
    {
        AppDataElsewhere moved(elsewhere, true);
        ASSERT_TRUE(moved.active());
        ASSERT_EQ(elsewhere, shellFolder(CSIDL_APPDATA));
        ChildResult run = runRemover("--allusers");
        EXPECT_EQ(static_cast<int>(ERROR_PATH_NOT_FOUND), run.exitCode);
        text = log(elsewhere + "\\Norvale");
    }
    char message[512] = {};
    ASSERT_NE(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 ERROR_PATH_NOT_FOUND, 0x400, message, sizeof message, nullptr));
    EXPECT_NE(std::string::npos, text.find(" [!] Error: " + std::string(message)));
    EXPECT_EQ(std::string::npos, text.find("Found user dir"));
    EXPECT_TRUE(supCommandLines().empty());
    EXPECT_FALSE(feedbackLink().present);
}

TEST_F(RemoverRun, WhenTheSystemReportsNoApplicationDataFolderFailsWithoutRemoving) {
    ASSERT_TRUE(setUserFlag("yes"));
    const std::string missing = "Z:\\tmp\\norvale remover missing " + std::to_string(GetCurrentProcessId());
    AppDataElsewhere moved(missing, false);
    ASSERT_TRUE(moved.active());
    ASSERT_EQ("", shellFolder(CSIDL_APPDATA));
    for (const char* option : {"--currentuser", "--allusers"}) {
        SCOPED_TRACE(option);
        EXPECT_EQ(kEFail, runRemover(option).exitCode);
    }
    EXPECT_TRUE(supCommandLines().empty());
    EXPECT_FALSE(feedbackLink().present);
}

// A user folder whose name the code page cannot hold ("Łukasz" lists as the
// look-alike "Lukasz") is served by its short name; a user folder that is a
// link, or that reaches its product folder through one, is skipped with a
// warning, so the set-up processor never removes where a link points.
TEST_F(RemoverRun, ForAllUsersServesRealFoldersAndSkipsLinks) {
    enum Kind { PLAIN, NOT_ANSI, LINK, LINKED_OFFSET_FOLDER, LINKED_PRODUCT_FOLDER };
    struct Row {
        std::wstring name;
        Kind kind;
    };
    const Row rows[] = {
        {L"norvale rm plain", PLAIN},
        {L"norvale rm \x0141ukasz", NOT_ANSI},
        {L"norvale-rm-link", LINK},
        {L"norvale rm linked offset", LINKED_OFFSET_FOLDER},
        {L"norvale rm linked product", LINKED_PRODUCT_FOLDER},
    };
    const std::string root = profilesRootFolder();
    const std::string offset = offsetBelowProfile();
    const std::string firstOffsetFolder = offset.substr(0, offset.find('\\'));
    const std::string elsewhere = linkTarget();
    ASSERT_FALSE(elsewhere.empty());

    std::vector<std::string> served;   // product folders
    std::vector<std::string> skipped;  // user folders
    for (const Row& row : rows) {
        const std::wstring folder = wide(root) + row.name;
        if (row.kind == LINK) {
            const std::string link = root + "norvale-rm-link";
            userFolders_.push_back(link);
            ASSERT_TRUE(makeFolderLink(link, elsewhere));
            skipped.push_back(link);
            continue;
        }
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        // Names the code page holds are used as they are.
        const std::string reachable = row.kind == NOT_ANSI
                                          ? shortPathOf(folder)
                                          : root + std::string(row.name.begin(), row.name.end());
        ASSERT_TRUE(folderExists(reachable));
        userFolders_.push_back(reachable);
        if (row.kind == LINKED_OFFSET_FOLDER) {
            ASSERT_TRUE(makeFolderLink(joinPath(reachable, firstOffsetFolder),
                                       joinPath(elsewhere, firstOffsetFolder)));
        } else if (row.kind == LINKED_PRODUCT_FOLDER) {
            ASSERT_TRUE(createFolders(joinPath(reachable, offset)));
            ASSERT_TRUE(makeFolderLink(joinPath(reachable, offset + "\\Norvale"),
                                       joinPath(elsewhere, offset + "\\Norvale")));
        }
        if (row.kind == PLAIN || row.kind == NOT_ANSI) {
            served.push_back(reachable + "\\" + offset + "\\Norvale");
        } else {
            skipped.push_back(reachable);
        }
    }
    // The short name of a folder that is not exact in ANSI is no look-alike.
    ASSERT_NE(root + "norvale rm Lukasz", userFolders_[1]);

    ChildResult run = runRemover("--allusers");
    EXPECT_EQ(0, run.exitCode);
    const std::vector<std::string> lines = supCommandLines();
    const std::string text = log();
    for (const std::string& product : served) {
        SCOPED_TRACE(product);
        EXPECT_EQ(1, std::count(lines.begin(), lines.end(), allUsersLine(product)));
        EXPECT_EQ(1u, countOf(text, " [I] Found user dir: '" + product + "'\r\n"));
    }
    for (const std::string& folder : skipped) {
        SCOPED_TRACE(folder);
        for (const std::string& line : lines) EXPECT_EQ(std::string::npos, line.find(folder + "\\"));
        EXPECT_EQ(1u, countOf(text, " [?] Skipped user dir '" + folder + "': it or a folder on the "
                                    "way to its product folder is a link\r\n"));
    }
    EXPECT_EQ(std::string::npos, text.find("norvale rm Lukasz"));
    EXPECT_TRUE(feedbackLink().present);
}

// The user folders are checked for links again right before each user's
// run: while the first run is held, a later user's folder, or a folder on
// the way to its product folder, becomes a link, as a user logged on
// meanwhile could do. That user is skipped with the warning; the others are
// served and the feedback page is still linked.
TEST_F(RemoverRun, ForAllUsersChecksForLinksAgainRightBeforeEachRun) {
    enum Turned { USER_FOLDER, OFFSET_FOLDER };
    const Turned rows[] = {USER_FOLDER, OFFSET_FOLDER};
    const std::string root = profilesRootFolder();
    const std::string offset = offsetBelowProfile();
    const std::string firstOffsetFolder = offset.substr(0, offset.find('\\'));
    const std::string elsewhere = linkTarget();
    ASSERT_FALSE(elsewhere.empty());
    const std::string hold = programs_.file("hold");
    ASSERT_TRUE(standin::writeControl(programs_.file("norvale-sup-processor.control"),
                                      {{standin::kKeyHoldWhile, hold}}));
    const std::string supJournal = programs_.file("norvale-sup-processor.journal");

    for (Turned row : rows) {
        SCOPED_TRACE(row == USER_FOLDER ? "the user folder" : "a folder on the way");
        ASSERT_TRUE(resetUserState());
        ASSERT_TRUE(removeTree(supJournal));
        makeUserFolders({"norvale rm race one", "norvale rm race two"});
        for (const std::string& folder : userFolders_)
            ASSERT_TRUE(createFolders(joinPath(folder, offset)));
        // The later of the two in listing order is served after another run.
        const std::vector<std::string> names = folderNamesIn(root);
        const auto first = std::find(names.begin(), names.end(), "norvale rm race one");
        const auto second = std::find(names.begin(), names.end(), "norvale rm race two");
        ASSERT_TRUE(first != names.end() && second != names.end());
        const std::string served = root + *std::min(first, second);
        const std::string turned = root + *std::max(first, second);
        ASSERT_TRUE(writeWholeFile(hold, "held"));

        RunningChild remover;
        ASSERT_TRUE(remover.start(programs_.file(kRemover), "--allusers", testBinFolder()));
        ASSERT_TRUE(standin::waitForEvent(supJournal, "start", kChildTimeoutMs));
        if (row == USER_FOLDER) {
            ASSERT_TRUE(removeTree(turned));
            ASSERT_TRUE(makeFolderLink(turned, elsewhere));
        } else {
            const std::string onTheWay = joinPath(turned, firstOffsetFolder);
            ASSERT_TRUE(removeTree(onTheWay));
            ASSERT_TRUE(makeFolderLink(onTheWay, joinPath(elsewhere, firstOffsetFolder)));
        }
        ASSERT_TRUE(removeTree(hold));
        ASSERT_TRUE(remover.waitFor(kChildTimeoutMs));
        EXPECT_EQ(0, remover.exitCode());

        const std::vector<std::string> lines = supCommandLines();
        for (const std::string& line : lines)
            EXPECT_EQ(std::string::npos, line.find(turned + "\\"));
        const std::string servedLine = allUsersLine(served + "\\" + offset + "\\Norvale");
        EXPECT_EQ(1, std::count(lines.begin(), lines.end(), servedLine));
        const std::string text = log();
        EXPECT_EQ(1u, countOf(text, " [I] Found user dir: '" + turned + "\\" + offset +
                                        "\\Norvale'\r\n"));
        const std::string skippedLine = " [?] Skipped user dir '" + turned +
                                        "': it or a folder on the way to its product folder "
                                        "is a link\r\n";
        EXPECT_EQ(1u, countOf(text, skippedLine));
        EXPECT_LT(text.find("Final params"), text.find(skippedLine));
        EXPECT_TRUE(feedbackLink().present);

        for (const std::string& folder : userFolders_) ASSERT_TRUE(removeTree(folder));
        userFolders_.clear();
        removeFeedbackLink();
    }
}

// Where the current user's application data lies below the profile in a
// folder the code page cannot name, the other users' folders cannot be
// worked out: a short name belongs to one user's folder, and the ANSI name
// is a look-alike. Nothing is removed.
TEST_F(RemoverRun, ForAllUsersWithApplicationDataUnderALookAlikeNameRemovesNothing) {
    makeUserFolders({"norvale rm one"});
    const std::wstring appDataWide = wide(shellFolder(CSIDL_PROFILE)) + L"\\norvale data \x0141ukasz";
    MovedAppData moved(appDataWide, true);
    ASSERT_TRUE(moved.active());
    const std::string lookAlike = shellFolder(CSIDL_APPDATA);

    ChildResult run = runRemover("--allusers");
    EXPECT_EQ(static_cast<int>(ERROR_PATH_NOT_FOUND), run.exitCode);
    const std::string text = log(shortPathOf(appDataWide) + "\\Norvale");
    EXPECT_NE(std::string::npos, text.find(" [!] Error: "));
    EXPECT_EQ(std::string::npos, text.find("Found user dir"));
    EXPECT_TRUE(supCommandLines().empty());
    EXPECT_FALSE(pathExists(lookAlike));
}

// The current user's application data and the remover's own folder with
// names the code page cannot hold: the log, the set-up processor's start and
// its folder arguments all use the real folders, by their short names.
TEST_F(RemoverRun, ForTheCurrentUserUsesTheRealFoldersByTheirShortNames) {
    ASSERT_TRUE(setUserFlag("yes"));
    const std::wstring programsWide = wide(programs_.path()) + L"\\programs \x0141ukasz";
    ASSERT_TRUE(CreateDirectoryW(programsWide.c_str(), nullptr));
    const std::string programs = shortPathOf(programsWide);
    ASSERT_FALSE(programs.empty());
    ASSERT_TRUE(copyPrograms(programs, {kRemover, kSup}));

    const std::wstring appDataWide =
        wide(shellFolder(CSIDL_PROFILE)) + L"\\norvale data \x0141ukasz " +
        std::to_wstring(GetCurrentProcessId());
    MovedAppData moved(appDataWide, true);
    ASSERT_TRUE(moved.active());
    const std::string appData = shortPathOf(appDataWide);
    ASSERT_FALSE(appData.empty());
    const std::string lookAlike = shellFolder(CSIDL_APPDATA);
    ASSERT_NE(appData, lookAlike);

    ChildResult run = runChild(joinPath(programs, kRemover), "--currentuser", testBinFolder());
    EXPECT_EQ(0, run.exitCode);
    const std::string line =
        std::string(kSup) + " --user-delete --user-delete-currentuser --user-folder \"" + appData +
        "\\Norvale\" --client-folder \"" + programs + "\" --system-folder \"" +
        shellFolder(CSIDL_SYSTEM, SHGFP_TYPE_DEFAULT) + "\"";
    std::vector<std::string> lines;
    for (const standin::JournalEntry& entry : standin::entriesFor(
             standin::readJournal(joinPath(programs, "norvale-sup-processor.journal")), "start"))
        lines.push_back(entry.commandLine);
    EXPECT_EQ(std::vector<std::string>{line}, lines);
    EXPECT_NE(std::string::npos, log(appData + "\\Norvale").find(" [I] Final params: '" + line + "'\r\n"));
    EXPECT_FALSE(pathExists(lookAlike));
}

// On a Windows whose ANSI code page is 932, a user folder named in Japanese
// with backslash bytes as second bytes: the all-users run serves it by its
// real product folder, the current user's run with the application data in
// it logs there, and no folder of a cut name appears beside it.
TEST_F(RemoverRun, DoubleByteUserFolderIsServedByItsRealName) {
    NORVALE_NEEDS_DOUBLE_BYTE();
    const std::string root = profilesRootFolder();
    const std::string name = std::string("x") + kHyoujiSofuto;
    // Folders of a cut name, should any appear, go with the test.
    userFolders_.push_back(root + "x");
    userFolders_.push_back(root + "x" + kHyouji);
    makeUserFolders({name});
    const std::vector<std::string> folders = folderNamesIn(root);

    ChildResult all = runRemover("--allusers");
    EXPECT_EQ(0, all.exitCode);
    const std::vector<std::string> allLines = supCommandLines();
    const std::string allLine = allUsersLine(root + name + "\\" + offsetBelowProfile() + "\\Norvale");
    EXPECT_NE(allLines.end(), std::find(allLines.begin(), allLines.end(), allLine));

    ASSERT_TRUE(setUserFlag("yes"));
    const std::string product = root + name + "\\AppData\\Norvale";
    {
        MovedAppData moved(wide(root + name + "\\AppData"), true);
        ASSERT_TRUE(moved.active());
        ChildResult current = runRemover("--currentuser");
        EXPECT_EQ(0, current.exitCode);
        EXPECT_EQ(std::string(kSup) + " --user-delete --user-delete-currentuser --user-folder \"" +
                      product + "\" " + clientAndSystem(),
                  supCommandLines().back());
        EXPECT_NE(std::string::npos, log(product).find(" [I] The sup tool returned: 0\r\n"));
    }
    EXPECT_EQ(folders, folderNamesIn(root));
}

}  // namespace
