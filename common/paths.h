// Folders the programs work in, and helpers that clean a path and create its
// folder chain. Paths are ANSI texts of at most 259 characters plus the NUL.
// Folders from the system come in a form that names the real folder: the
// exact ANSI name, or the short name where the ANSI name would be a
// look-alike (see real_folder.h).
#pragma once

#include <string>

#include "common/path_text.h"

// The user's product folder, "<application data>\Norvale\". Throws
// _com_error with the HRESULT when the system does not report the folder,
// or with 111 when the result would not fit in kMaxPath.
std::string userNorvalePath();
// The same without the final backslash.
std::string userNorvaleFolder();
// userNorvalePath() followed by baseName(name).
std::string userFilePath(const std::string& name);
// The text after the last backslash or slash, at most 255 bytes, never
// ending in half a character.
std::string baseName(const std::string& path);
// baseName(path) without its extension: a program's name in its box
// captions and log file, e.g. "norvale-launcher" for "C:\x\norvale-launcher.exe".
std::string fileStem(const std::string& path);
// fileStem(programPath) with the extension "log": the program's log file.
std::string logFileNameFor(const std::string& programPath);
// Folder of the running program without a trailing separator; empty when
// unknown.
std::string exeFolder();
// The Windows system folder; throws _com_error on failure.
std::string systemFolder();
// Makes the running program's folder the current directory.
bool setCurrentDir();

// Creates every missing folder on the way to the file the path names.
bool createPathDirectories(const char* path);
