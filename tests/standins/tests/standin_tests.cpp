// The stand-ins do what later tests rely on, and journal it.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/handles.h"
#include "common/socket_handle.h"
#include "tests/standins/journal/control.h"
#include "tests/standins/journal/journal.h"
#include "tests/support/child_runner.h"
#include "tests/support/test_files.h"

using namespace norvale::testbed;

namespace {

constexpr unsigned kReadyTimeoutMs = 10000;

// Copies of the stand-ins in a folder of their own, so that each test has
// fresh journals and control files.
class StandinTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.valid()); }

    void place(const std::string& program, const std::map<std::string, std::string>& control) {
        ASSERT_TRUE(copyPrograms(folder_.path(), {program}));
        ASSERT_TRUE(standin::writeControl(controlOf(program), control));
    }
    std::string pathOf(const std::string& program) const { return folder_.file(program); }
    std::string journalOf(const std::string& program) const {
        return standin::besideProgram(pathOf(program), "journal");
    }
    std::string controlOf(const std::string& program) const {
        return standin::besideProgram(pathOf(program), "control");
    }
    std::vector<std::string> events(const std::string& program, const std::string& event) const {
        std::vector<std::string> found;
        for (const auto& entry : standin::entriesFor(standin::readJournal(journalOf(program)), event))
            found.push_back(entry.event);
        return found;
    }
    // Starts the program and waits until it has its windows and sockets.
    void startReady(RunningChild& child, const std::string& program, const std::string& arguments) {
        ASSERT_TRUE(child.start(pathOf(program), arguments)) << child.startError();
        ASSERT_TRUE(standin::waitForEvent(journalOf(program), "ready", kReadyTimeoutMs))
            << program << " did not get ready";
    }

    TempFolder folder_{"stand ins"};
};

// The top-level window of class and title that belongs to processId.
struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* title;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    char title[128] = {};
    GetClassNameA(window, className, sizeof(className));
    GetWindowTextA(window, title, sizeof(title));
    if (owner == search->processId && strcmp(className, search->className) == 0 &&
        (search->title == nullptr || strcmp(title, search->title) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND windowOf(DWORD processId, const char* className, const char* title) {
    WindowSearch search = {processId, className, title, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs program --help with its standard output in a file; the text printed.
std::string usageText(const std::string& programPath, const std::string& outputPath) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    norvale::FileHandle output(CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                           &inheritable, CREATE_ALWAYS, 0, nullptr));
    if (!output) return "cannot create " + outputPath;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.get();
    startup.hStdError = output.get();
    std::string line = childCommandLine(programPath, "--help");
    std::vector<char> writable(line.begin(), line.end());
    writable.push_back('\0');
    PROCESS_INFORMATION created = {};
    if (!CreateProcessA(programPath.c_str(), writable.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &created)) {
        return "cannot start " + programPath;
    }
    norvale::ProcessInfo info;
    info.adopt(created);
    WaitForSingleObject(info.process(), kChildTimeoutMs);
    output.reset();
    return readWholeFile(outputPath).value_or("");
}

const char* const kStandins[] = {"norvale-sup-processor.exe", "norvale-mail.exe", "norvale-msg.exe",
                                 "norvale-client.exe", "standin-taskbar.exe"};

TEST_F(StandinTest, UsageTextSaysItIsATestFixture) {
    for (const char* program : kStandins) {
        SCOPED_TRACE(program);
        place(program, {});
        std::string text = usageText(pathOf(program), folder_.file("usage.txt"));
        EXPECT_NE(std::string::npos, text.find("Test fixture")) << text;
        EXPECT_NE(std::string::npos, text.find("NOT the product program")) << text;
        EXPECT_TRUE(standin::readJournal(journalOf(program)).empty());
    }
}

TEST_F(StandinTest, SetUpProcessorJournalsItsCommandLineAndExitsWithTheCodeOfEachRun) {
    place("norvale-sup-processor.exe", {{"exit_codes", "3, -1, 0xC0000005"}});
    const std::string arguments =
        "--user-folder \"C:\\users\\a b\\Norvale\" --client-folder \"C:\\p\" --no-user-check";
    const int expected[] = {3, -1, static_cast<int>(0xC0000005u), static_cast<int>(0xC0000005u)};
    for (int code : expected) {
        ChildResult result = runChild(pathOf("norvale-sup-processor.exe"), arguments);
        EXPECT_EQ(code, result.exitCode);
    }
    std::vector<standin::JournalEntry> journal =
        standin::readJournal(journalOf("norvale-sup-processor.exe"));
    std::vector<std::string> starts;
    for (const auto& entry : standin::entriesFor(journal, "start")) starts.push_back(entry.commandLine);
    EXPECT_EQ(std::vector<std::string>(4, "norvale-sup-processor.exe " + arguments), starts);
    EXPECT_EQ((std::vector<std::string>{"exit 3", "exit -1", "exit -1073741819", "exit -1073741819"}),
              events("norvale-sup-processor.exe", "exit"));
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(23u, journal.front().time.size()) << journal.front().time;  // YYYY-MM-DD HH:MM:SS.mmm
}

TEST_F(StandinTest, SetUpProcessorRunsForItsRunTime) {
    place("norvale-sup-processor.exe", {{"run_ms", "600"}, {"exit_codes", "2"}});
    ChildResult result = runChild(pathOf("norvale-sup-processor.exe"), "");
    EXPECT_EQ(2, result.exitCode);
    EXPECT_GE(result.elapsedMs, 550u);
}

TEST_F(StandinTest, MailProxyListensWithoutReuseAndOwnsItsHiddenWindow) {
    place("norvale-mail.exe", {{"exit_codes", "6"}});
    ASSERT_TRUE(writeWholeFile(folder_.file("norvale.conf"),
                               "# settings\nLSP_PORTS=110\nTR_ADDRESS_TO_LISTEN = 127.0.0.1:38871 "
                               "# mail proxy\n"));
    RunningChild mail;
    startReady(mail, "norvale-mail.exe", "-c \"" + folder_.file("norvale.conf") + "\"");
    EXPECT_EQ(std::vector<std::string>{"listen 127.0.0.1:38871"}, events("norvale-mail.exe", "listen"));

    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    {
        norvale::Socket second(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        ASSERT_TRUE(second.valid());
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(38871);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(SOCKET_ERROR,
                  bind(second.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)));
        EXPECT_EQ(WSAEADDRINUSE, WSAGetLastError());
    }
    WSACleanup();

    HWND window = FindWindowA("Win32NorvaleEncryptionEngine", "norvale-mail");
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, windowOf(mail.processId(), "Win32NorvaleEncryptionEngine", "norvale-mail"));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(nullptr, GetParent(window));

    ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
    ASSERT_TRUE(mail.waitFor(kChildTimeoutMs));
    EXPECT_EQ(6, mail.exitCode());
    EXPECT_EQ(std::vector<std::string>{"WM_CLOSE"}, events("norvale-mail.exe", "WM_CLOSE"));
}

TEST_F(StandinTest, SecondMailProxyOnTheDefaultAddressCannotListen) {
    place("norvale-mail.exe", {});
    RunningChild first;
    RunningChild second;
    startReady(first, "norvale-mail.exe", "");
    EXPECT_EQ(std::vector<std::string>{"listen 127.0.0.1:3887"}, events("norvale-mail.exe", "listen"));
    ASSERT_TRUE(second.start(pathOf("norvale-mail.exe"), "-c \"" + folder_.file("none.conf") + "\""));
    ASSERT_TRUE(standin::waitForEvent(journalOf("norvale-mail.exe"), "listen-failed",
                                      kReadyTimeoutMs));
    EXPECT_EQ(std::vector<std::string>{"listen-failed 127.0.0.1:3887 10048"},
              events("norvale-mail.exe", "listen-failed"));
}

TEST_F(StandinTest, MailProxyToldToIgnoreCloseRunsForItsRunTime) {
    place("norvale-mail.exe", {{"ignore_close", "1"}, {"run_ms", "2000"}, {"exit_codes", "4"}});
    RunningChild mail;
    startReady(mail, "norvale-mail.exe", "");
    HWND window = windowOf(mail.processId(), "Win32NorvaleEncryptionEngine", "norvale-mail");
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
    ASSERT_TRUE(standin::waitForEvent(journalOf("norvale-mail.exe"), "WM_CLOSE", kReadyTimeoutMs));
    EXPECT_FALSE(mail.waitFor(300));
    ASSERT_TRUE(mail.waitFor(kChildTimeoutMs));
    EXPECT_EQ(4, mail.exitCode());
}

TEST_F(StandinTest, WindowProgramsShowTheirTitlesAndEndOnTheirCloseMessage) {
    struct Case {
        const char* program;
        const char* mode;
        const char* title;
        UINT message;
        const char* event;
    };
    const Case cases[] = {
        {"norvale-msg.exe", "", "Norvale Message Log", WM_DESTROY, "WM_DESTROY"},
        {"norvale-msg.exe", "", "Norvale Message Log", WM_CLOSE, "WM_CLOSE"},
        {"norvale-client.exe", "expert", "Norvale (Expert Mode)", WM_DESTROY, "WM_DESTROY"},
        {"norvale-client.exe", "simple", "Norvale (Simple Mode)", WM_DESTROY, "WM_DESTROY"},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.title);
        ++run;
        place(c.program, {{"mode", c.mode}, {"exit_codes", std::to_string(run)}});
        DeleteFileA(journalOf(c.program).c_str());
        RunningChild child;
        startReady(child, c.program, "");
        HWND window = windowOf(child.processId(), "QWidget", c.title);
        ASSERT_NE(nullptr, window);
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(window, FindWindowA("QWidget", c.title));
        ASSERT_TRUE(PostMessageA(window, c.message, 0, 0));
        ASSERT_TRUE(child.waitFor(kChildTimeoutMs));
        EXPECT_EQ(run, child.exitCode());
        EXPECT_EQ(std::vector<std::string>{c.event}, events(c.program, c.event));
    }
}

// The toolbar found the way the housekeeping finds it: the first direct
// "ToolbarWindow32" child of any descendant of the taskbar window.
BOOL CALLBACK findToolbarChild(HWND descendant, LPARAM context) {
    HWND toolbar = FindWindowExA(descendant, nullptr, "ToolbarWindow32", nullptr);
    if (toolbar == nullptr) return TRUE;
    *reinterpret_cast<HWND*>(context) = toolbar;
    return FALSE;
}

TEST_F(StandinTest, TaskbarToolbarJournalsEachMouseMove) {
    place("standin-taskbar.exe", {{"toolbar_width", "100"}, {"toolbar_height", "30"}});
    RunningChild taskbar;
    startReady(taskbar, "standin-taskbar.exe", "");
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    ASSERT_NE(nullptr, tray);
    EXPECT_EQ(tray, windowOf(taskbar.processId(), "Shell_TrayWnd", nullptr))
        << "another Shell_TrayWnd is found first";
    HWND toolbar = nullptr;
    EnumChildWindows(tray, findToolbarChild, reinterpret_cast<LPARAM>(&toolbar));
    ASSERT_NE(nullptr, toolbar);
    RECT client = {};
    ASSERT_TRUE(GetClientRect(toolbar, &client));
    EXPECT_EQ(0, client.left);
    EXPECT_EQ(100, client.right);
    EXPECT_EQ(30, client.bottom);

    std::vector<std::string> expected;
    for (int x = client.left + 9; x < client.right; x += 18) {
        SendMessageA(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(x, 15));
        expected.push_back("WM_MOUSEMOVE " + std::to_string(x) + " 15");
    }
    EXPECT_EQ(expected, events("standin-taskbar.exe", "WM_MOUSEMOVE"));
    EXPECT_EQ(6u, expected.size());
}

TEST(StandinControl, ExitCodeListsAndValues) {
    struct Case {
        const char* text;
        std::vector<int> codes;
    };
    const Case cases[] = {
        {"", {}},
        {"5", {5}},
        {" 3, -1 ,0", {3, -1, 0}},
        {"0xC0000005,x,7", {static_cast<int>(0xC0000005u), 7}},
        {"-2147483648, 4294967295", {static_cast<int>(0x80000000u), -1}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.codes, standin::parseCodeList(c.text)) << c.text;

    standin::Control control;
    EXPECT_EQ(0, control.exitCodeForRun(1));
    control.set("exit_codes", "3,-1");
    EXPECT_EQ(3, control.exitCodeForRun(1));
    EXPECT_EQ(-1, control.exitCodeForRun(2));
    EXPECT_EQ(-1, control.exitCodeForRun(9));
    control.set("run_ms", "abc");
    EXPECT_EQ(-1, control.number("run_ms", -1));
    control.set("ignore_close", "yes");
    EXPECT_TRUE(control.flag("ignore_close"));
}

}  // namespace
