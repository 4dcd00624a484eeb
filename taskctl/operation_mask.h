// The process control tool's operation mask: its bits and the reading of
// the "-f" value. Text only (no system calls).
#pragma once

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

// The mask value as a base-10 signed number: leading blanks and a sign
// accepted, stops at the first non-digit, clamped to the signed 32-bit
// range (the tool's long).
long parseMask(const char* text);

// The bits of the mask that select operations: its low byte.
unsigned operationsOf(long mask);

}  // namespace taskctl
