// ComEnrol++ run as a real program under Wine, against DLLs of our own that
// record what was done to them, with its message boxes watched and answered.
#include "common/handles.h"
#include "tests/support/child_runner.h"
#include "tests/support/msgbox_watcher.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace norvale::testbed;

namespace {

constexpr char kTool[] = "ComEnrol++.exe";
constexpr char kProbeServerDll[] = "comenrol_probe_server.dll";
constexpr char kPlainDll[] = "comenrol_plain_dll.dll";
// Imports kPlainDll under that name.
constexpr char kDependentServerDll[] = "comenrol_dependent_server.dll";
// Creates a COM object in both exports and returns that HRESULT.
constexpr char kComServerDll[] = "comenrol_com_server.dll";

constexpr char kHelpText[] =
    "ComEnrol++ registers and unregisters a DLL server. \n\n"
    "ComEnrol++ [/?] [/d] [/h] [/s] [/u] [/y] /f <DLL>\n"
    " /?, /h\tshow this help page\n"
    " /d\tset working directory to location of ComEnrol++.exe\n"
    " /s\tsilent operation: Suppress all dialogs\n"
    " /u\tunregister DLL sever\n"
    " /y\talways return \"success\" (error return value 0)\n"
    " /f <DLL>\tabsolute or relative path to DLL";

constexpr UINT kInformationBox = MB_OK | MB_ICONINFORMATION;
constexpr UINT kErrorBox = MB_OK | MB_ICONHAND;

// What a DLL's journal holds after one load, export call and FreeLibrary.
constexpr char kRegistered[] = "loaded\nDllRegisterServer\nunloaded\n";
constexpr char kUnregistered[] = "loaded\nDllUnregisterServer\nunloaded\n";
constexpr char kLoadedOnly[] = "loaded\nunloaded\n";

struct ExpectedBox {
    std::string caption;
    std::string text;
    UINT style;
};

const ExpectedBox kHelpBox{"ComEnrol++", kHelpText, kInformationBox};

ExpectedBox infoBox(const char* text) { return {"ComEnrol++", text, kInformationBox}; }
ExpectedBox errorBox(const char* text) { return {"Error: ComEnrol++", text, kErrorBox}; }

std::string hresultText(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

struct ToolRun {
    ChildResult child;
    std::vector<SeenBox> boxes;
};

// Runs the tool to its end with every box answered OK; a box blocks the
// tool until answered, so all boxes are recorded once it has ended.
ToolRun runTool(const std::string& toolPath, const std::string& arguments,
                const std::string& currentDir) {
    MsgBoxWatcher watcher(IDOK);
    ToolRun run;
    run.child = runChild(toolPath, arguments, currentDir);
    run.boxes = watcher.boxes();
    return run;
}

void expectBoxes(const std::vector<SeenBox>& seen, const std::optional<ExpectedBox>& expected) {
    if (!expected) {
        EXPECT_TRUE(seen.empty()) << "unexpected box: " << seen.front().text;
        return;
    }
    ASSERT_EQ(1u, seen.size());
    const SeenBox& box = seen.front();
    EXPECT_EQ(expected->caption, box.caption);
    EXPECT_EQ(expected->text, box.text);
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
    ASSERT_TRUE(box.styleKnown) << "style hook inactive";
    EXPECT_EQ(expected->style, box.style);
}

// A program folder holding the tool and a work folder to run it in, both
// with a blank in their names.
class ComEnrolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(toolFolder_.valid() && workFolder_.valid());
        ASSERT_TRUE(copyPrograms(toolFolder_.path(), {kTool}));
    }

    std::string toolPath() const { return toolFolder_.file(kTool); }

    // Copies one of our DLLs into folder under name, its exports set to
    // return result.
    static void placeDll(const std::string& folder, const std::string& name,
                         const char* builtDll, HRESULT result = S_OK) {
        ASSERT_TRUE(CopyFileA(binPath(builtDll).c_str(), joinPath(folder, name).c_str(), FALSE))
            << name << ": error " << GetLastError();
        ASSERT_TRUE(writeWholeFile(joinPath(folder, stem(name) + ".hresult"), hresultText(result)));
    }

    static std::string journal(const std::string& folder, const std::string& dllName) {
        return readWholeFile(joinPath(folder, stem(dllName) + ".journal")).value_or("");
    }

    static std::string stem(const std::string& name) { return name.substr(0, name.rfind('.')); }

    TempFolder toolFolder_{"comenrol tool"};
    TempFolder workFolder_{"comenrol work"};
};

// Wrong calls and help requests: the help box in information style, shown
// even in silent mode, exit code 1 even with "/y", and no DLL touched.
TEST_F(ComEnrolTest, HelpForEveryArgumentError) {
    const char* const argumentLists[] = {
        "",
        "/f",
        "/F server.dll",
        "/s /f",
        "/y /s /f",
        "/s",
        "/h /f server.dll",
        "/? /s /y /f server.dll",
        "-s /f",
        "/silent /f",
    };
    placeDll(workFolder_.path(), "server.dll", kProbeServerDll);
    for (const char* arguments : argumentLists) {
        SCOPED_TRACE(std::string("arguments: ") + arguments);
        ToolRun run = runTool(toolPath(), arguments, workFolder_.path());
        EXPECT_EQ(1, run.child.exitCode);
        expectBoxes(run.boxes, kHelpBox);
    }
    EXPECT_EQ("", journal(workFolder_.path(), "server.dll"));
}

struct OutcomeCase {
    const char* arguments;
    HRESULT serverResult;     // what server.dll's exports return
    int exitCode;
    std::optional<ExpectedBox> box;
    const char* serverJournal;
    const char* plainJournal;
};

// The outcome table: every export result, option and failure, checked for
// exit code, box and what happened to the DLLs.
TEST_F(ComEnrolTest, OutcomeOfEveryRun) {
    const std::string overlong(300, 'x');
    const OutcomeCase cases[] = {
        {"/f server.dll", S_OK, 0, infoBox("DllRegisterServer() succeeded."), kRegistered, ""},
        {"/f server.dll", S_FALSE, 1, infoBox("DllRegisterServer() succeeded."), kRegistered,
         ""},
        {"/u /f server.dll", S_OK, 0, infoBox("DllUnregisterServer() succeeded."),
         kUnregistered, ""},
        {"/f server.dll", E_ACCESSDENIED, static_cast<int>(E_ACCESSDENIED),
         errorBox("DllRegisterServer() failed."), kRegistered, ""},
        {"/u /f server.dll", E_UNEXPECTED, static_cast<int>(E_UNEXPECTED),
         errorBox("DllUnregisterServer() failed."), kUnregistered, ""},
        {"/s /f server.dll", E_ACCESSDENIED, static_cast<int>(E_ACCESSDENIED), std::nullopt,
         kRegistered, ""},
        {"/f server.dll /s", S_FALSE, 1, std::nullopt, kRegistered, ""},
        {"/f /s server.dll", S_OK, 0, std::nullopt, kRegistered, ""},
        {"/y /f server.dll", E_ACCESSDENIED, 0, errorBox("DllRegisterServer() failed."),
         kRegistered, ""},
        {"/f plain.dll", S_OK, static_cast<int>(E_FAIL), errorBox("DllRegisterServer() failed."),
         "", kLoadedOnly},
        {"/u /s /f plain.dll", S_OK, static_cast<int>(E_FAIL), std::nullopt, "", kLoadedOnly},
        {"/f notadll.dll", S_OK, static_cast<int>(E_FAIL), errorBox("DllRegisterServer() failed."),
         "", ""},
        {"/f missing.dll", S_OK, -7, errorBox("File open error."), "", ""},
        {"/s /f missing.dll", S_OK, -7, std::nullopt, "", ""},
        {"/s /y /f missing.dll", S_OK, 0, std::nullopt, "", ""},
    };
    for (const OutcomeCase& c : cases) {
        SCOPED_TRACE(std::string("arguments: ") + c.arguments + ", server returns " +
                     hresultText(c.serverResult));
        TempFolder work("comenrol work");
        placeDll(work.path(), "server.dll", kProbeServerDll, c.serverResult);
        placeDll(work.path(), "plain.dll", kPlainDll);
        ASSERT_TRUE(writeWholeFile(work.file("notadll.dll"), "this is no DLL"));

        ToolRun run = runTool(toolPath(), c.arguments, work.path());
        EXPECT_EQ(c.exitCode, run.child.exitCode);
        expectBoxes(run.boxes, c.box);
        EXPECT_EQ(c.serverJournal, journal(work.path(), "server.dll"));
        EXPECT_EQ(c.plainJournal, journal(work.path(), "plain.dll"));
    }
    ToolRun run = runTool(toolPath(), "/s /f " + overlong + ".dll", workFolder_.path());
    EXPECT_EQ(-7, run.child.exitCode) << "a path beyond 259 characters is refused";
}

// The caption names the tool by its own file name, whatever it is called.
TEST_F(ComEnrolTest, CaptionIsTheToolsOwnName) {
    const std::string renamed = toolFolder_.file("Enrol Tool.exe");
    ASSERT_TRUE(CopyFileA(toolPath().c_str(), renamed.c_str(), FALSE));
    placeDll(workFolder_.path(), "server.dll", kProbeServerDll, S_OK);

    ToolRun failure = runTool(renamed, "/f missing.dll", workFolder_.path());
    expectBoxes(failure.boxes, ExpectedBox{"Error: Enrol Tool", "File open error.", kErrorBox});
    ToolRun success = runTool(renamed, "/f server.dll", workFolder_.path());
    expectBoxes(success.boxes,
                ExpectedBox{"Enrol Tool", "DllRegisterServer() succeeded.", kInformationBox});
}

// A server that creates a COM object while it registers or unregisters
// succeeds, silent and with the box: the tool has OLE set up around it.
TEST_F(ComEnrolTest, ServerThatUsesComWhileRegistering) {
    struct Case {
        const char* arguments;
        std::optional<ExpectedBox> box;
        const char* serverJournal;
    };
    const Case cases[] = {
        {"/f server.dll", infoBox("DllRegisterServer() succeeded."), kRegistered},
        {"/s /f server.dll", std::nullopt, kRegistered},
        {"/u /f server.dll", infoBox("DllUnregisterServer() succeeded."), kUnregistered},
        {"/u /s /f server.dll", std::nullopt, kUnregistered},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("arguments: ") + c.arguments);
        TempFolder work("comenrol work");
        placeDll(work.path(), "server.dll", kComServerDll);

        ToolRun run = runTool(toolPath(), c.arguments, work.path());
        EXPECT_EQ(0, run.child.exitCode) << hresultText(run.child.exitCode);
        expectBoxes(run.boxes, c.box);
        EXPECT_EQ(c.serverJournal, journal(work.path(), "server.dll"));
    }
}

// "/d": a relative DLL path names a file beside the tool, not one in the
// directory the tool was started in.
TEST_F(ComEnrolTest, ToolFolderOptionResolvesRelativePaths) {
    placeDll(toolFolder_.path(), "server.dll", kProbeServerDll, S_OK);

    ToolRun withoutOption = runTool(toolPath(), "/s /f server.dll", workFolder_.path());
    EXPECT_EQ(-7, withoutOption.child.exitCode);
    EXPECT_EQ("", journal(toolFolder_.path(), "server.dll"));

    ToolRun withOption = runTool(toolPath(), "/s /d /f server.dll", workFolder_.path());
    EXPECT_EQ(0, withOption.child.exitCode);
    EXPECT_EQ(kRegistered, journal(toolFolder_.path(), "server.dll"));
}

// The DLL whose existence was checked is the DLL loaded: a same-named DLL
// in the tool's folder, which the DLL search would find first, is left alone.
TEST_F(ComEnrolTest, LoadsTheCheckedFileNotASearchedNamesake) {
    placeDll(toolFolder_.path(), "server.dll", kProbeServerDll, E_ACCESSDENIED);
    placeDll(workFolder_.path(), "server.dll", kProbeServerDll, S_OK);

    ToolRun run = runTool(toolPath(), "/s /f server.dll", workFolder_.path());
    EXPECT_EQ(0, run.child.exitCode);
    EXPECT_EQ(kRegistered, journal(workFolder_.path(), "server.dll"));
    EXPECT_EQ("", journal(toolFolder_.path(), "server.dll"));
}

// A server whose import lies only in the server's own folder registers
// from anywhere: from the work folder by full path and by relative path,
// and with "/d" from the tool's folder.
TEST_F(ComEnrolTest, ServerFindsItsImportInItsOwnFolder) {
    TempFolder serverFolder("comenrol server");
    ASSERT_TRUE(serverFolder.valid());
    placeDll(serverFolder.path(), "server.dll", kDependentServerDll, S_OK);
    placeDll(serverFolder.path(), kPlainDll, kPlainDll);
    const std::string folderName =
        serverFolder.path().substr(serverFolder.path().find_last_of("\\/") + 1);
    const std::string fullPath = "\"" + serverFolder.file("server.dll") + "\"";
    const std::string argumentLists[] = {
        "/s /f " + fullPath,
        "/s /f \"..\\" + folderName + "\\server.dll\"",
        "/s /d /f " + fullPath,
    };
    for (const std::string& arguments : argumentLists) {
        SCOPED_TRACE(arguments);
        ASSERT_TRUE(DeleteFileA(serverFolder.file("server.journal").c_str()) ||
                    GetLastError() == ERROR_FILE_NOT_FOUND);
        ToolRun run = runTool(toolPath(), arguments, workFolder_.path());
        EXPECT_EQ(0, run.child.exitCode);
        EXPECT_EQ(kRegistered, journal(serverFolder.path(), "server.dll"));
    }
}

// A self-registering DLL that ships with Wine: its registration recreates
// the class key it owns.
TEST_F(ComEnrolTest, RegistersARealSystemServer) {
    constexpr char kClassKey[] = "Software\\Classes\\Scripting.FileSystemObject";
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    const std::string server = joinPath(system, "scrrun.dll");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kClassKey);

    ToolRun run = runTool(toolPath(), "/f \"" + server + "\"", workFolder_.path());
    EXPECT_EQ(0, run.child.exitCode);
    expectBoxes(run.boxes, infoBox("DllRegisterServer() succeeded."));
    norvale::RegKey key;
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClassKey, 0, KEY_READ, key.receive()));
}

}  // namespace
