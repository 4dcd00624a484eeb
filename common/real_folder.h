// Folders as the system reports them, in an ANSI form that names the real
// folder. The ANSI interface hands out a best-fit look-alike for a name the
// code page cannot hold ("Lukasz" for "Łukasz"): a folder that does not
// exist, or worse, someone else's. Such a folder is used by its short (8.3)
// name instead, which is plain ASCII and names the same folder.
#pragma once

#include <windows.h>

#include "common/paths.h"

// The ANSI text of wide when it converts exactly: every character held by
// the code page, no best-fit mapping. False otherwise or when it does not
// fit a path buffer.
bool exactAnsiText(const wchar_t* wide, char (&out)[kMaxPath]);

// The ANSI form of an existing folder or file that names it: its exact ANSI
// text, or else its short form. False when it has neither (no short name,
// or the path does not exist).
bool realAnsiPath(const wchar_t* path, char (&out)[kMaxPath]);

// The shell folder csidl as the system reports it, with the buffer zeroed
// before the call. S_OK only when the system answered S_OK; otherwise the
// failure, never S_FALSE.
HRESULT wideShellFolder(int csidl, DWORD flags, wchar_t (&out)[kMaxPath]);

// The shell folder csidl in its real ANSI form. S_OK only when the system
// reported the folder (S_OK) and a real form exists; otherwise the failure,
// never S_FALSE.
HRESULT realShellFolder(int csidl, DWORD flags, char (&out)[kMaxPath]);

// The running program's folder without a trailing separator, in its real
// ANSI form. False when the path cannot be read whole or has no real form.
bool realProgramFolder(char (&out)[kMaxPath]);
