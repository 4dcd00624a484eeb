#include "common/handles.h"

#include <gtest/gtest.h>

using norvale::FileHandle;
using norvale::KernelHandle;

TEST(Handles, ClosingKeepsTheCallersLastError) {
    KernelHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event.valid());
    SetLastError(ERROR_FILE_NOT_FOUND);
    event.reset();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(event.valid());
}

TEST(Handles, FailureValueIsPerKind) {
    FileHandle missing(CreateFileA("Z:\\no\\such\\file", GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing.valid());
    KernelHandle noProcess(OpenProcess(SYNCHRONIZE, FALSE, 0xFFFFFFF0u));
    EXPECT_FALSE(noProcess.valid());
}
