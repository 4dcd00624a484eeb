#include "tests/support/test_files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <sstream>

#include "common/ansi_text.h"
#include "common/handles.h"

namespace norvale::testbed {

namespace {

// Win32 file functions without the "\\?\" prefix take at most MAX_PATH - 1
// characters; longer paths are refused here rather than cut.
bool fitsPath(const std::string& path) { return !path.empty() && path.size() < MAX_PATH; }

// Separators are found by whole characters, as the programs find them: on a
// double-byte code page a backslash byte may be half of a character.
std::string parentFolder(const std::string& path) {
    size_t slash = ansi::findLastOf(path, "\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool isDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool removeFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != 0;
}

// The Linux path of a path in the prefix, through Wine's own export.
std::string unixPathOf(const std::string& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    wchar_t wide[MAX_PATH] = {};
    if (toUnix == nullptr || MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0)
        return {};
    char* unixPath = toUnix(wide);
    if (unixPath == nullptr) return {};
    std::string text = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return text;
}

// Runs a Linux command. Wine starts it on its own and does not report its
// end, so the caller waits for the effect.
bool runUnixCommand(std::string commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

// Polls condition every 20 ms for up to timeoutMs.
bool pollFor(DWORD timeoutMs, const std::function<bool()>& condition) {
    for (DWORD waited = 0;; waited += 20) {
        if (condition()) return true;
        if (waited >= timeoutMs) return false;
        Sleep(20);
    }
}

// Polls condition for up to five seconds: the time a Linux command started
// through Wine is given to take effect.
bool pollUntil(const std::function<bool()>& condition) { return pollFor(5000, condition); }

bool waitForPresence(const std::string& path, bool present) {
    return pollUntil([&] {
        return (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present;
    });
}

bool removeLink(const std::string& path) {
    std::string unixPath = unixPathOf(path);
    return !unixPath.empty() && runUnixCommand("/bin/rm -f \"" + unixPath + "\"") &&
           waitForPresence(path, false);
}

// A folder that lists empty but cannot be removed holds what Wine does not
// list, such as a link that leads nowhere: the folder goes from the Linux
// side.
bool removeHiddenContent(const std::string& folder) {
    const std::string unixFolder = unixPathOf(folder);
    return !unixFolder.empty() && runUnixCommand("/bin/rm -rf \"" + unixFolder + "\"") &&
           waitForPresence(folder, false);
}

bool removeFolderContent(const std::string& folder) {
    std::string pattern = joinPath(folder, "*");
    if (!fitsPath(pattern)) return false;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(pattern.c_str(), &entry));
    if (!find) return GetLastError() == ERROR_FILE_NOT_FOUND;
    bool ok = true;
    do {
        if (isDotEntry(entry.cFileName)) continue;
        // A name the code page cannot hold lists as a look-alike; its short
        // name reaches it.
        std::string path = joinPath(folder, entry.cFileName);
        if (!pathExists(path) && entry.cAlternateFileName[0] != '\0')
            path = joinPath(folder, entry.cAlternateFileName);
        ok = removeTree(path) && ok;
    } while (FindNextFileA(find.get(), &entry));
    return ok;
}

}  // namespace

std::string testBinFolder() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return parentFolder(std::string(path, length));
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const bool separatorLast = ansi::findLastOf(folder, "\\/") == folder.size() - 1;
    return separatorLast ? folder + name : folder + "\\" + name;
}

std::string binPath(const std::string& name) { return joinPath(testBinFolder(), name); }

bool pathExists(const std::string& path) {
    return fitsPath(path) && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool folderExists(const std::string& path) {
    if (!fitsPath(path)) return false;
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> folderNamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    norvale::FindHandle search(FindFirstFileA(joinPath(folder, "*").c_str(), &entry));
    if (!search) return names;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !isDotEntry(entry.cFileName))
            names.push_back(entry.cFileName);
    } while (FindNextFileA(search.get(), &entry));
    return names;
}

bool createFolders(const std::string& path) {
    if (!fitsPath(path)) return false;
    if (folderExists(path)) return true;
    std::string parent = parentFolder(path);
    // Stop at a drive root ("C:") or a relative first component.
    if (!parent.empty() && parent.back() != ':' && !createFolders(parent)) return false;
    return CreateDirectoryA(path.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool removeTree(const std::string& path) {
    if (!fitsPath(path)) return false;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return removeLink(path);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return removeFile(path);
    if (!removeFolderContent(path)) return false;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (RemoveDirectoryA(path.c_str())) return true;
    return GetLastError() == ERROR_DIR_NOT_EMPTY && removeHiddenContent(path);
}

bool makeFolderLink(const std::string& link, const std::string& target) {
    std::string unixLink = unixPathOf(link);
    std::string unixTarget = unixPathOf(target);
    if (unixLink.empty() || unixTarget.empty()) return false;
    return runUnixCommand("/bin/ln -s \"" + unixTarget + "\" \"" + unixLink + "\"") &&
           waitForPresence(link, true);
}

std::string shortPathOf(const std::wstring& path) {
    wchar_t shortPath[MAX_PATH] = {};
    DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    char text[MAX_PATH] = {};
    if (WideCharToMultiByte(CP_ACP, 0, shortPath, -1, text, MAX_PATH, nullptr, nullptr) == 0)
        return {};
    return text;
}

std::wstring wide(const std::string& text) {
    int size = static_cast<int>(text.size());
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring converted(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, &converted[0], length);
    return converted;
}

bool writeWholeFile(const std::string& path, const std::string& bytes) {
    if (!fitsPath(path)) return false;
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

std::optional<std::string> readWholeFile(const std::string& path) {
    if (!fitsPath(path)) return std::nullopt;
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        content.append(buffer, got);
    return content;
}

bool copyPrograms(const std::string& folder, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        std::string from = binPath(name);
        std::string to = joinPath(folder, name);
        if (!fitsPath(from) || !fitsPath(to)) return false;
        if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) return false;
    }
    return true;
}

TempFolder::TempFolder(const std::string& label) {
    static std::atomic<unsigned> serial{0};
    char temp[MAX_PATH] = {};
    DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) return;
    std::string candidate = joinPath(temp, label + " " + std::to_string(GetCurrentProcessId()) +
                                               "-" + std::to_string(++serial));
    if (!fitsPath(candidate)) return;
    // A folder left over by an earlier run with the same process id is stale.
    if (!removeTree(candidate) || !CreateDirectoryA(candidate.c_str(), nullptr)) return;
    path_ = candidate;
}

TempFolder::~TempFolder() {
    if (valid()) removeTree(path_);
}

namespace {

// The name the tests' small volumes carry in the system's mount table.
constexpr char kSmallVolumeSource[] = "norvale-small-volume";
// An unmount is tried this often, each given this long to take effect,
// while something of the run may still hold the folder; then the volume is
// detached lazily.
constexpr int kUnmountTries = 3;
constexpr DWORD kUnmountEffectMs = 1000;

// The size of the volume that holds folder, as the system reports it.
ULONGLONG volumeBytes(const std::string& folder) {
    ULARGE_INTEGER total = {};
    if (!GetDiskFreeSpaceExA((folder + "\\").c_str(), nullptr, &total, nullptr)) return 0;
    return total.QuadPart;
}

bool waitForVolumeBytes(const std::string& folder, ULONGLONG bytes, bool equal) {
    return pollUntil([&] { return (volumeBytes(folder) == bytes) == equal; });
}

// A mount point as the mount table writes it: blanks and other special
// characters as three octal digits after a backslash.
std::string unescapeMountPoint(const std::string& text) {
    std::string point;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\\' && at + 3 < text.size()) {
            point += static_cast<char>(std::stoi(text.substr(at + 1, 3), nullptr, 8));
            at += 3;
        } else {
            point += text[at];
        }
    }
    return point;
}

// The mount points of the tests' small volumes in this process's view of
// the system's mount table.
std::vector<std::string> smallVolumePoints() {
    std::vector<std::string> points;
    std::istringstream table(readWholeFile("Z:\\proc\\self\\mounts").value_or(""));
    std::string source, point, rest;
    while (table >> source >> point && std::getline(table, rest)) {
        if (source == kSmallVolumeSource) points.push_back(unescapeMountPoint(point));
    }
    return points;
}

bool smallVolumeAt(const std::string& unixFolder) {
    for (const std::string& point : smallVolumePoints())
        if (point == unixFolder) return true;
    return false;
}

// Unmounts the small volume at unixFolder. Something of the run may still
// hold the folder for a moment (a process ending, a file the wineserver has
// not let go of yet): the unmount is tried again for a while, and then the
// volume is detached lazily, which the system finishes once the folder is
// released. True once the mount table no longer has it.
bool releaseSmallVolume(const std::string& unixFolder) {
    const auto gone = [&] { return !smallVolumeAt(unixFolder); };
    for (int tries = 0; tries < kUnmountTries; ++tries) {
        if (!runUnixCommand("/bin/umount \"" + unixFolder + "\"")) return false;
        if (pollFor(kUnmountEffectMs, gone)) return true;
    }
    return runUnixCommand("/bin/umount -l \"" + unixFolder + "\"") && pollUntil(gone);
}

}  // namespace

bool releaseSmallVolumes() {
    bool released = true;
    for (const std::string& point : smallVolumePoints())
        released = releaseSmallVolume(point) && released;
    return released;
}

SmallVolume::SmallVolume(const std::string& folder, unsigned kilobytes)
    : folder_(folder), unixFolder_(unixPathOf(folder)) {
    mounted_ = !unixFolder_.empty() && folderExists(folder) && remount("", kilobytes);
}

SmallVolume::~SmallVolume() {
    if (mounted_ && !releaseSmallVolume(unixFolder_))
        ADD_FAILURE() << "the small volume over " << folder_ << " cannot be released";
}

bool SmallVolume::resize(unsigned kilobytes) {
    return mounted_ && remount("remount,", kilobytes);
}

bool SmallVolume::remount(const std::string& options, unsigned kilobytes) {
    const std::string size = std::to_string(kilobytes) + "k";
    return runUnixCommand("/bin/mount -t tmpfs -o " + options + "size=" + size + " " +
                          kSmallVolumeSource + " \"" + unixFolder_ + "\"") &&
           waitForVolumeBytes(folder_, static_cast<ULONGLONG>(kilobytes) * 1024, true);
}

}  // namespace norvale::testbed
