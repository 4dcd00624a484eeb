// The link checker's entry: its log, its command line, the check each mode
// runs and the exit code that reports it.
#pragma once

// Exit codes besides the checks' own.
constexpr int kExitWrongArguments = -1;
constexpr int kExitCannotStart = -2;
// Exit codes of the check modes.
constexpr int kExitLocalFailed = 1;      // "-lspinstaller": loop-back echo failed
constexpr int kExitOutsideFailed = 2;    // "-lspinstaller": outside connection failed
constexpr int kExitRedirectorFailed = 4; // "-lspcheck" and "-lspcheckfus"

// Runs the program for its argument vector (argv[0] is the program) and
// returns its exit code.
int linkprobeMain(int argc, char* argv[]);
