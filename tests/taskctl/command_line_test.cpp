// The tool's command line: help, the missing mask, the mask conversion and
// which operations a mask selects, seen through the real program's output
// and exit code. No product program runs here, and the tool's folder holds
// no launcher, so every selected operation fails in its own known way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/taskctl/taskctl_folder.h"

namespace taskctl_test {
namespace {

constexpr DWORD kHelpShown = 0x80004005;
constexpr DWORD kMissingMask = 0x80070057;
constexpr DWORD kNotFound = 2;
constexpr DWORD kLauncherFileMissing = 5;
constexpr DWORD kNoWindow = 1400;

const char kExpectedHelp[] =
    "norvale-taskctl.exe -f <bitmask>\n"
    "performs operations on the running Norvale applications:\n"
    " -?, -h       : Show this help page.\n"
    " -f <bitmask> : Select operations to perform.\n"
    " <bitmask>    : Bit 0 - close/terminate norvale-launcher.exe\n"
    "                Bit 1 - close/terminate norvale-mail.exe\n"
    "                Bit 2 - close/terminate norvale-msg.exe\n"
    "                Bit 3 - close/terminate Norvale (Expert Mode) / Norvale (Simple Mode) \n"
    "                Bit 4 - (re)start norvale-launcher.exe\n"
    "                Bit 5 - ignore process owner\n"
    "Example: \"norvale-taskctl.exe -f 31\" closes and restarts all Norvale\n"
    "          processes.\n";

using CommandLineTest = ToolFolderTest;

TEST_F(CommandLineTest, WrongArgumentCountOrHelpOptionPrintsHelpOnly) {
    const std::vector<std::string> cases = {
        "", "-f", "-f 3 x", "-f 3 -f 4", "-h x", "x -?", "-? -f", "-f -h",
    };
    for (const std::string& arguments : cases) {
        ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, kHelpShown) << "arguments: " << arguments;
        EXPECT_EQ(result.standardError, kExpectedHelp) << "arguments: " << arguments;
    }
}

TEST_F(CommandLineTest, MissingMaskEndsWithInvalidArgument) {
    // Options are whole and case-sensitive; a last "-f" has no value.
    for (const std::string arguments : {"-F 3", "/f 3", "x -f", "--f 3"}) {
        ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, kMissingMask) << "arguments: " << arguments;
        EXPECT_EQ(result.standardError, statusLine(kMissingMask)) << "arguments: " << arguments;
    }
}

TEST_F(CommandLineTest, ZeroMaskPrintsStartAndSuccessLines) {
    ToolRun result = run("-f 0");
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.standardError,
              "Starting norvale-taskctl.exe with parameter -f 0...\n" + statusLine(0));
}

// What a mask selects, told apart by the status lines: bit 0 finds no
// launcher (2), bits 1-3 find no window (1400 each), bit 4 finds no
// launcher file (5, printed by the step and again as the final status).
struct MaskCase {
    const char* value;
    const char* printed;
    std::vector<DWORD> statusLines;
    DWORD exitCode;
};

TEST_F(CommandLineTest, MaskIsConvertedAsSignedLongAndOnlyLowBitsSelect) {
    const std::vector<MaskCase> cases = {
        {"abc", "0", {0}, 0},
        {"3x", "3", {kNotFound, kNoWindow, kNotFound}, kNotFound},
        // Missing windows of bits 2 and 3 keep the status of bit 0.
        {"13", "13", {kNotFound, kNoWindow, kNoWindow, kNotFound}, kNotFound},
        {"\" +4\"", "4", {kNoWindow, 0}, 0},
        {"64", "64", {0}, 0},
        {"0x10", "0", {0}, 0},
        {"-1", "4294967295",
         {kNotFound, kNoWindow, kNoWindow, kNoWindow, kLauncherFileMissing, kLauncherFileMissing},
         kLauncherFileMissing},
        {"99999999999", "2147483647",
         {kNotFound, kNoWindow, kNoWindow, kNoWindow, kLauncherFileMissing, kLauncherFileMissing},
         kLauncherFileMissing},
        {"-99999999999", "2147483648", {0}, 0},
        {"305", "305", {kNotFound, kLauncherFileMissing, kLauncherFileMissing},
         kLauncherFileMissing},
    };
    for (const MaskCase& mask : cases) {
        ToolRun result = run(std::string("-f ") + mask.value);
        std::string startLine =
            std::string("Starting norvale-taskctl.exe with parameter -f ") + mask.printed + "...\n";
        EXPECT_EQ(result.standardError.rfind(startLine, 0), 0u)
            << "mask " << mask.value << ":\n" << result.standardError;
        EXPECT_EQ(statusCodes(result.standardError), mask.statusLines)
            << "mask " << mask.value << ":\n" << result.standardError;
        EXPECT_EQ(result.exitCode, mask.exitCode) << "mask " << mask.value;
    }
}

}  // namespace
}  // namespace taskctl_test
