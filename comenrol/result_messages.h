// The tool's numbered texts. A positive number shows its text as
// information, a negative number shows text |n| as an error.
#pragma once

constexpr int kResultMessageCount = 10;
extern const char* const resultMessageTable[kResultMessageCount];

// Numbers of the texts the main sequence shows.
enum ResultMessage : int {
    kMsgOperationSucceeded = 0,
    kMsgHelp = 1,
    kMsgRegisterSucceeded = 2,
    kMsgRegisterFailed = 3,
    kMsgUnregisterSucceeded = 4,
    kMsgUnregisterFailed = 5,
    kMsgInvalidArguments = 6,
    kMsgFileOpenError = 7,
    kMsgInternalError = 8,
    kMsgChangeDirectoryFailed = 9,
};
