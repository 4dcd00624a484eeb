// The process control tool: reads the operation mask from its command line
// and stops, closes and restarts the product's programs in a fixed order.
#pragma once

#include <windows.h>

#include <cstdio>

namespace taskctl {

// Operation bits of the mask; only the low byte is looked at.
enum OperationBit : unsigned {
    kTerminateLauncher = 0x01,
    kCloseMailProxy = 0x02,
    kCloseMessageLog = 0x04,
    kCloseGraphicalClient = 0x08,
    kRestartLauncher = 0x10,
    kAnyLauncherOwner = 0x20,
};

// The mask value as a base-10 signed long: leading blanks and a sign
// accepted, stops at the first non-digit, clamped to the long range.
long parseMask(const char* text);

void printHelp(FILE* out);

// Runs the tool on its command line; argv is edited as options are taken
// out. Everything goes to out. Returns the exit status.
DWORD runTaskctl(int argc, char** argv, FILE* out);

}  // namespace taskctl
