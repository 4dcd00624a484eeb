// A folder of its own holding a copy of the process control tool, so that
// the launcher it restarts is the one the test put beside it (or none).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_files.h"
#include "tests/taskctl/tool_run.h"

namespace taskctl_test {

constexpr const char kToolFileName[] = "norvale-taskctl.exe";

class ToolFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.valid());
        ASSERT_TRUE(norvale::testbed::copyPrograms(folder_.path(), {kToolFileName}));
    }

    ToolRun run(const std::string& arguments) {
        ToolRun result = runTool(folder_.file(kToolFileName), arguments);
        EXPECT_TRUE(result.finished) << "norvale-taskctl.exe " << arguments;
        EXPECT_EQ(result.standardOutput, "") << "everything belongs on standard error";
        return result;
    }

    norvale::testbed::TempFolder folder_{"taskctl test"};
};

}  // namespace taskctl_test
