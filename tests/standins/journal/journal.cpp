#include "tests/standins/journal/journal.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <fstream>

#include "common/handles.h"

namespace standin {

namespace {

std::string timeStamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

bool splitLine(const std::string& line, JournalEntry& entry) {
    std::size_t first = line.find('\t');
    if (first == std::string::npos) return false;
    std::size_t second = line.find('\t', first + 1);
    if (second == std::string::npos) return false;
    std::size_t third = line.find('\t', second + 1);
    if (third == std::string::npos) return false;
    entry.time = line.substr(0, first);
    entry.processId = std::strtoul(line.substr(first + 1, second - first - 1).c_str(), nullptr, 10);
    entry.event = line.substr(second + 1, third - second - 1);
    entry.commandLine = line.substr(third + 1);
    return true;
}

}  // namespace

std::string besideProgram(const std::string& exePath, const char* extension) {
    std::size_t slash = exePath.find_last_of("\\/");
    std::size_t dot = exePath.rfind('.');
    std::string stem = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                           ? exePath.substr(0, dot)
                           : exePath;
    return stem + "." + extension;
}

// The path by which the ANSI interface reaches the program: a folder name
// the code page cannot hold is taken by its short name. Wine reports the
// module of a program started by a short path with a short file name too;
// the journal is named after the program's long file name all the same.
std::string ownProgramPath() {
    wchar_t module[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    wchar_t wide[MAX_PATH];
    length = GetLongPathNameW(module, wide, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    char path[MAX_PATH];
    BOOL lossy = FALSE;
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, path, MAX_PATH, nullptr,
                            &lossy) == 0)
        return std::string();
    if (!lossy) return path;
    // The stand-ins' own file names are plain ASCII: only the folder needs
    // its short name.
    wchar_t* name = wcsrchr(wide, L'\\');
    if (name == nullptr) return std::string();
    *name++ = L'\0';
    wchar_t shortFolder[MAX_PATH];
    char ansiName[MAX_PATH];
    length = GetShortPathNameW(wide, shortFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH ||
        WideCharToMultiByte(CP_ACP, 0, shortFolder, -1, path, MAX_PATH, nullptr, nullptr) == 0 ||
        WideCharToMultiByte(CP_ACP, 0, name, -1, ansiName, MAX_PATH, nullptr, nullptr) == 0)
        return std::string();
    std::string full = std::string(path) + "\\" + ansiName;
    return full.size() < MAX_PATH ? full : std::string();
}

bool appendJournal(const std::string& journalPath, const std::string& event,
                   const std::string& commandLine) {
    norvale::FileHandle file(CreateFileA(journalPath.c_str(), FILE_APPEND_DATA,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string line = timeStamp() + "\t" + std::to_string(GetCurrentProcessId()) + "\t" + event +
                       "\t" + commandLine + "\r\n";
    DWORD written = 0;
    BOOL ok =
        WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return ok && written == line.size();
}

std::vector<JournalEntry> readJournal(const std::string& journalPath) {
    std::vector<JournalEntry> entries;
    std::ifstream in(journalPath, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line.back() != '\r') continue;  // a line still being written
        line.pop_back();
        JournalEntry entry;
        if (splitLine(line, entry)) entries.push_back(entry);
    }
    return entries;
}

std::vector<JournalEntry> entriesFor(const std::vector<JournalEntry>& journal,
                                     const std::string& event) {
    std::vector<JournalEntry> found;
    for (const JournalEntry& entry : journal) {
        if (entry.event == event || entry.event.rfind(event + " ", 0) == 0) found.push_back(entry);
    }
    return found;
}

bool waitForEvent(const std::string& journalPath, const std::string& event, unsigned timeoutMs) {
    const DWORD kPollMs = 20;
    DWORD start = GetTickCount();
    for (;;) {
        if (!entriesFor(readJournal(journalPath), event).empty()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(kPollMs);
    }
}

}  // namespace standin
