// The removal tool: has the set-up processor remove the product's per-user
// part for the current user or for every user folder of the machine.
#pragma once

#include <windows.h>

#include <string>

constexpr const char* kOptionCurrentUser = "--currentuser";
constexpr const char* kOptionAllUsers = "--allusers";

// Exit code of the set-up processor that stops the removal at once.
constexpr int kSupStop = -10;

constexpr const char* kDisabledText = "The product is already disabled for the current user.";
constexpr const char* kDisabledCaption = "Norvale remover";

constexpr const char* kRunOnceKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char* kFeedbackValue = "NorvaleHTTPLink";
// Opened once at the next logon, after the product was removed for everyone.
constexpr const char* kFeedbackAddress = "http://www.norvale.com/unifeedback";

// The whole run: opens the log, sets the current directory, picks the run
// from the options and maps every failure to the exit code.
int runRemover(int argc, char** argv);

int removeForCurrentUser();
int removeForAllUsers();
