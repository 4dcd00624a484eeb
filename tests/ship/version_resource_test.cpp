// Every shipped program carries a version resource and an application
// manifest, read back here the way Explorer and the loader read them, and
// still starts under Wine with that manifest in place.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "common/handles.h"
#include "tests/support/child_runner.h"
#include "tests/support/msgbox_watcher.h"
#include "tests/support/test_files.h"
#include "tests/support/user_state.h"

namespace {

using norvale::testbed::binPath;

struct Program {
    const char* file;
    const char* description;
    const char* internalName;
};

const Program kPrograms[] = {
    {"norvale-launcher.exe", "Norvale Launcher", "norvale-launcher"},
    {"norvale-linkprobe.exe", "Norvale Link Checker", "norvale-linkprobe"},
    {"norvale-taskctl.exe", "Norvale Process Control Tool", "norvale-taskctl"},
    {"ComEnrol++.exe", "ComEnrol++ DLL Registration Tool", "ComEnrol++"},
    {"NorvaleRemover.exe", "Norvale Remover", "NorvaleRemover"},
};

// Test names and failure messages show the file name, not the bytes.
void PrintTo(const Program& program, std::ostream* out) { *out << program.file; }

std::string programName(const testing::TestParamInfo<Program>& info) {
    std::string name;
    for (const char* c = info.param.internalName; *c != '\0'; ++c) {
        if ((*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9')) {
            name += *c;
        }
    }
    return name;
}

// The version block of a file, empty when it has none.
std::vector<char> versionBlock(const std::string& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, block.data())) block.clear();
    return block;
}

// One value of the US English, Windows-1252 string table; "<missing>" when
// the block has no such value.
std::string versionString(std::vector<char>& block, const char* name) {
    std::string query = std::string("\\StringFileInfo\\040904E4\\") + name;
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ||
        value == nullptr) {
        return "<missing>";
    }
    return std::string(value);
}

struct FourPartVersion {
    DWORD ms = 0;
    DWORD ls = 0;
};

FourPartVersion parseVersion(const char* dotted) {
    unsigned parts[4] = {0, 0, 0, 0};
    std::sscanf(dotted, "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]);
    return {MAKELONG(parts[1], parts[0]), MAKELONG(parts[3], parts[2])};
}

// The text of the manifest resource (id 1, RT_MANIFEST); empty when the
// file has none.
std::string manifestText(const std::string& path) {
    norvale::Module module(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return {};
    HRSRC found = FindResourceA(module.get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    if (found == nullptr) return {};
    DWORD size = SizeofResource(module.get(), found);
    HGLOBAL loaded = LoadResource(module.get(), found);
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, size) : std::string();
}

class ShippedProgram : public testing::TestWithParam<Program> {};

TEST_P(ShippedProgram, CarriesTheVersionResourceOfTheBuild) {
    const Program& program = GetParam();
    std::vector<char> block = versionBlock(binPath(program.file));
    ASSERT_FALSE(block.empty()) << program.file << " has no version resource";

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    FourPartVersion expected = parseVersion(NORVALE_EXPECTED_VERSION);
    EXPECT_EQ(fixed->dwFileVersionMS, expected.ms);
    EXPECT_EQ(fixed->dwFileVersionLS, expected.ls);
    EXPECT_EQ(fixed->dwProductVersionMS, expected.ms);
    EXPECT_EQ(fixed->dwProductVersionLS, expected.ls);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1252);

    const struct {
        const char* name;
        std::string expected;
    } strings[] = {
        {"CompanyName", NORVALE_EXPECTED_COMPANY},
        {"FileDescription", program.description},
        {"FileVersion", NORVALE_EXPECTED_VERSION},
        {"ProductVersion", NORVALE_EXPECTED_VERSION},
        {"InternalName", program.internalName},
        {"OriginalFilename", program.file},
        {"ProductName", NORVALE_EXPECTED_PRODUCT},
    };
    for (const auto& value : strings) {
        EXPECT_EQ(versionString(block, value.name), value.expected)
            << program.file << ": " << value.name;
    }
}

TEST_P(ShippedProgram, EmbedsAnAsInvokerManifestForWindows7To11) {
    const Program& program = GetParam();
    std::string manifest = manifestText(binPath(program.file));
    ASSERT_FALSE(manifest.empty()) << program.file << " has no manifest resource 1";

    const char* architecture = sizeof(void*) == 8 ? "processorArchitecture=\"amd64\""
                                                  : "processorArchitecture=\"x86\"";
    const std::string required[] = {
        "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
        architecture,
        std::string("version=\"") + NORVALE_EXPECTED_VERSION + "\"",
        std::string("<description>") + program.description + "</description>",
    };
    for (const std::string& text : required) {
        EXPECT_NE(manifest.find(text), std::string::npos) << program.file << " lacks " << text;
    }
    // A second manifest level would make the loader pick one at random.
    EXPECT_EQ(manifest.find("highestAvailable"), std::string::npos);
    EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Programs, ShippedProgram, testing::ValuesIn(kPrograms), programName);

// A manifest the loader cannot turn into an activation context makes
// CreateProcess fail for the whole program, so each program is started once
// on a path that ends quickly and without side effects beyond its log.
struct QuickRun {
    const char* file;
    const char* arguments;
    int exitCode;
    const char* boxText;  // the box it shows first, or null
};

const QuickRun kQuickRuns[] = {
    {"norvale-launcher.exe", "", -3, "Wrong parameters!"},
    {"norvale-linkprobe.exe", "", -1, "Wrong parameters!"},
    {"norvale-taskctl.exe", "-f 0", 0, nullptr},
    {"ComEnrol++.exe", "/s /f no-such-server.dll", -7, nullptr},
    {"NorvaleRemover.exe", "", static_cast<int>(0x80004005u), nullptr},
};

class ManifestedProgramStart : public norvale::testbed::FreshUserTest {};

TEST_F(ManifestedProgramStart, EveryProgramStartsAndEndsWithItsOwnExitCode) {
    for (const QuickRun& run : kQuickRuns) {
        SCOPED_TRACE(std::string(run.file) + " " + run.arguments);
        norvale::testbed::MsgBoxWatcher watcher(IDOK);
        norvale::testbed::ChildResult result = norvale::testbed::runChild(
            binPath(run.file), run.arguments, norvale::testbed::testBinFolder());
        ASSERT_TRUE(result.started) << "start error " << result.startError;
        ASSERT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitCode, run.exitCode);
        std::vector<norvale::testbed::SeenBox> boxes = watcher.boxes();
        if (run.boxText == nullptr) {
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, run.boxText);
        }
    }
}

}  // namespace
