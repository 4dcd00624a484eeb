// The per-user installation flag: HKCU\SOFTWARE\Norvale, value
// NorvaleUserInstalled, "yes" or "no".
#pragma once

constexpr const char kFlagKey[] = "SOFTWARE\\Norvale";
constexpr const char kFlagValue[] = "NorvaleUserInstalled";

enum RegistryFlag { FLAG_NO = 0, FLAG_YES = 1, FLAG_UNKNOWN = 2, FLAG_UNREADABLE = 3 };

// 1 for "yes", 0 for "no" (either case), 2 for anything else: a missing key
// or value, other text. The text is the value's data up to its first NUL or
// its end, whatever the value's type. A key or value that is there but cannot
// be read (access denied, no memory) is 3: the user's answer is unknown and
// must not be asked for, or written, again; GetLastError() then tells why.
int getRegistryFlag();

// Writes "yes" (installed) or "no" as REG_SZ with its NUL; false when the
// key could not be created or the value not written.
bool setRegistryFlag(bool installed);
