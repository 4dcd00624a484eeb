// What the test servers record: one line per event, appended to a journal
// file beside the DLL (its path with the extension ".journal"), so that a
// test can read what the tool did with the DLL after the tool has ended.
#pragma once

#include <windows.h>

// Remembered at load time: the DLL's own module.
void setJournalModule(HMODULE module);
void appendJournal(const char* line);
// The HRESULT that the DLL's exports return, read from the file with the
// extension ".hresult" beside the DLL (a number in C notation, for example
// 0x80070005); S_OK when the file is missing.
HRESULT chosenResult();
// Records loading and unloading; an unload by FreeLibrary is told apart
// from the end of the process.
BOOL journalDllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
