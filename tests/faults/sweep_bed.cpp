#include "tests/faults/sweep_bed.h"

#include <windows.h>
#include <tlhelp32.h>

#include "common/handles.h"
#include "tests/standins/journal/control.h"
#include "tests/support/child_runner.h"
#include "tests/support/user_state.h"

namespace faults {

namespace {

constexpr char kFlagValue[] = "NorvaleUserInstalled";
constexpr char kAbsent[] = "<absent>";

bool isLog(const std::string& name) {
    return name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".log") == 0;
}

std::string processImage(HANDLE process) {
    char path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameA(process, 0, path, &size)) return {};
    return std::string(path, size);
}

}  // namespace

FolderFiles filesIn(const std::string& folder) {
    FolderFiles files;
    WIN32_FIND_DATAA entry;
    norvale::FindHandle search(
        FindFirstFileA(norvale::testbed::joinPath(folder, "*").c_str(), &entry));
    if (!search) return files;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY || isLog(entry.cFileName)) continue;
        files[entry.cFileName] = norvale::testbed::readWholeFile(
                                     norvale::testbed::joinPath(folder, entry.cFileName))
                                     .value_or("<unreadable>");
    } while (FindNextFileA(search.get(), &entry));
    return files;
}

std::string changedFile(const FolderFiles& before, const FolderFiles& after) {
    for (const auto& [name, content] : before) {
        const auto now = after.find(name);
        if (now == after.end()) return name + " (missing)";
        if (now->second != content) return name + " (changed)";
    }
    return {};
}

std::string withLongPaths(const std::string& commandLine) {
    std::string result;
    std::size_t at = 0;
    for (std::size_t open; (open = commandLine.find('"', at)) != std::string::npos;) {
        const std::size_t close = commandLine.find('"', open + 1);
        if (close == std::string::npos) break;
        const std::string path = commandLine.substr(open + 1, close - open - 1);
        char longPath[MAX_PATH] = {};
        const DWORD length = GetLongPathNameA(path.c_str(), longPath, MAX_PATH);
        result += commandLine.substr(at, open + 1 - at);
        result += length != 0 && length < MAX_PATH ? std::string(longPath) : path;
        result += '"';
        at = close + 1;
    }
    return result + commandLine.substr(at);
}

std::string installFlag() {
    norvale::RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, norvale::testbed::kUserKey, 0, KEY_QUERY_VALUE,
                      key.receive()) != ERROR_SUCCESS)
        return kAbsent;
    char data[256] = {};
    DWORD size = sizeof data - 1;
    if (RegQueryValueExA(key.get(), kFlagValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                         &size) != ERROR_SUCCESS)
        return kAbsent;
    return data;
}

bool setInstallFlag(const std::string& text) {
    norvale::RegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, norvale::testbed::kUserKey, 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.get(), kFlagValue, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

ProgramFolder::ProgramFolder(const std::vector<std::string>& programs) {
    valid_ = folder_.valid() && norvale::testbed::copyPrograms(folder_.path(), programs);
}

bool ProgramFolder::place(const std::string& builtName, const std::string& fileName) const {
    return CopyFileA(norvale::testbed::binPath(builtName).c_str(), file(fileName).c_str(), FALSE) !=
           FALSE;
}

std::vector<standin::JournalEntry> ProgramFolder::journal(const std::string& program,
                                                          const std::string& event) const {
    return standin::entriesFor(
        standin::readJournal(standin::besideProgram(file(program), "journal")), event);
}

void ProgramFolder::clearJournal(const std::string& program) const {
    norvale::testbed::removeTree(standin::besideProgram(file(program), "journal"));
}

bool ProgramFolder::setControl(const std::string& program,
                               const std::map<std::string, std::string>& values) const {
    return standin::writeControl(standin::besideProgram(file(program), "control"), values);
}

bool ProgramFolder::runs(const std::string& program) const {
    norvale::SnapshotHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        norvale::KernelHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        if (process && _stricmp(processImage(process.get()).c_str(), file(program).c_str()) == 0)
            return true;
    }
    return false;
}

void ProgramFolder::endStandins(const std::vector<std::string>& programs) const {
    for (const std::string& program : programs) {
        for (const standin::JournalEntry& entry : journal(program, "start")) {
            norvale::KernelHandle process(OpenProcess(
                PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                entry.processId));
            if (!process || WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) continue;
            if (_stricmp(processImage(process.get()).c_str(), file(program).c_str()) != 0)
                continue;
            TerminateProcess(process.get(), norvale::testbed::kKilledExitCode);
            WaitForSingleObject(process.get(), norvale::testbed::kChildTimeoutMs);
        }
    }
}

}  // namespace faults
