// The link checker's exit codes: what norvale-linkprobe answers and what the
// launcher reads back. Both sides include this one header.
#pragma once

// Exit codes besides the checks' own.
constexpr int kExitWrongArguments = -1;
constexpr int kExitCannotStart = -2;
// Exit codes of the check modes; 0 is success in every mode.
constexpr int kExitSuccess = 0;
constexpr int kExitLocalFailed = 1;      // "-lspinstaller": loop-back echo failed
constexpr int kExitOutsideFailed = 2;    // "-lspinstaller": outside connection failed
constexpr int kExitRedirectorFailed = 4; // "-lspcheck" and "-lspcheckfus"
// "-bindcheck" answers with the verdict of its bind.
constexpr int kExitBindFree = 0;
constexpr int kExitBindInUse = 1;        // another program listens on the address
constexpr int kExitBindOtherError = 2;
