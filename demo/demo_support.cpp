#include "demo/demo_support.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>

namespace demo {

namespace {

constexpr char kUserKey[] = "SOFTWARE\\Norvale";
constexpr char kFlagValue[] = "NorvaleUserInstalled";
constexpr char kBoxClass[] = "#32770";
// The static control that holds a message box's text.
constexpr int kBoxTextId = 0xFFFF;
constexpr DWORD kPipeBufferSize = 4096;

// Deletes the files of a folder and then the folder itself.
bool removeFolder(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    norvale::FindHandle search(FindFirstFileA(joinPath(folder, "*").c_str(), &entry));
    if (search) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = joinPath(folder, name);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeFolder(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search.get(), &entry));
    }
    search.reset();
    return RemoveDirectoryA(folder.c_str()) || GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// Quotes a program path for a command line when it holds a blank.
std::string quotedProgram(const std::string& program) {
    return program.find(' ') == std::string::npos ? program : "\"" + program + "\"";
}

std::string commandLineOf(const std::string& program, const std::string& arguments) {
    std::string line = quotedProgram(program);
    if (!arguments.empty()) line += " " + arguments;
    return line;
}

// Drains what is waiting in the pipe without blocking.
void drainPipe(HANDLE pipe, std::string& output) {
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buffer[kPipeBufferSize];
        DWORD read = 0;
        DWORD wanted = std::min<DWORD>(available, sizeof buffer);
        if (!ReadFile(pipe, buffer, wanted, &read, nullptr) || read == 0) return;
        output.append(buffer, read);
    }
}

// What a box must match: its process (0: any) and its caption (null: any).
struct BoxSearch {
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK matchBox(HWND window, LPARAM context) {
    BoxSearch* search = reinterpret_cast<BoxSearch*>(context);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, kBoxClass) != 0 || !IsWindowVisible(window)) return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->processId != 0 && owner != search->processId) return TRUE;
    if (search->caption != nullptr) {
        char caption[256] = {};
        GetWindowTextA(window, caption, sizeof caption);
        if (lstrcmpA(caption, search->caption) != 0) return TRUE;
    }
    search->found = window;
    return FALSE;
}

bool describeBox(HWND window, Box& box) {
    if (window == nullptr) return false;
    char caption[256] = {};
    char text[2048] = {};
    GetWindowTextA(window, caption, sizeof caption);
    GetDlgItemTextA(window, kBoxTextId, text, sizeof text);
    box.window = window;
    box.caption = caption;
    box.text = text;
    return true;
}

}  // namespace

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\') return folder + name;
    return folder + "\\" + name;
}

std::string ownFolder() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::string text(path, length);
    size_t cut = text.find_last_of('\\');
    return cut == std::string::npos ? std::string() : text.substr(0, cut);
}

std::string userProductFolder() {
    char appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) {
        return {};
    }
    return joinPath(appData, "Norvale");
}

bool resetUser() {
    LSTATUS deleted = RegDeleteTreeA(HKEY_CURRENT_USER, kUserKey);
    bool keyGone = deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
    std::string folder = userProductFolder();
    return keyGone && !folder.empty() && removeFolder(folder);
}

std::string installationFlag() {
    norvale::RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kUserKey, 0, KEY_QUERY_VALUE, key.receive()) !=
        ERROR_SUCCESS) {
        return {};
    }
    char value[64] = {};
    DWORD size = sizeof value - 1;
    if (RegQueryValueExA(key.get(), kFlagValue, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS) {
        return {};
    }
    return std::string(value);
}

bool fileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Child::~Child() { kill(); }

bool Child::start(const std::string& program, const std::string& arguments,
                  const std::string& folder) {
    std::string line = commandLineOf(program, arguments);
    std::vector<char> writable(line.begin(), line.end());
    writable.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        startError_ = GetLastError();
        return false;
    }
    process_.adopt(info);
    return true;
}

bool Child::running() const { return process_.valid() && !waitFor(0); }

bool Child::waitFor(DWORD timeoutMs) const {
    return process_.valid() && WaitForSingleObject(process_.process(), timeoutMs) == WAIT_OBJECT_0;
}

int Child::exitCode() const {
    DWORD code = 0;
    if (!process_.valid() || !GetExitCodeProcess(process_.process(), &code)) return 0;
    return static_cast<int>(code);
}

void Child::kill() {
    if (running()) {
        TerminateProcess(process_.process(), 1);
        WaitForSingleObject(process_.process(), INFINITE);
    }
}

RunResult runCaptured(const std::string& program, const std::string& arguments,
                      const std::string& folder, DWORD timeoutMs) {
    RunResult result;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    norvale::KernelHandle readEnd;
    norvale::KernelHandle writeEnd;
    if (!CreatePipe(readEnd.receive(), writeEnd.receive(), &inheritable, 0)) {
        result.startError = GetLastError();
        return result;
    }
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    std::string line = commandLineOf(program, arguments);
    std::vector<char> writable(line.begin(), line.end());
    writable.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program.c_str(), writable.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        result.startError = GetLastError();
        return result;
    }
    norvale::ProcessInfo process;
    process.adopt(info);
    writeEnd.reset();  // only the child writes now
    result.started = true;

    const DWORD kPollMs = 50;
    DWORD begin = GetTickCount();
    for (;;) {
        drainPipe(readEnd.get(), result.output);
        if (WaitForSingleObject(process.process(), kPollMs) == WAIT_OBJECT_0) {
            drainPipe(readEnd.get(), result.output);
            DWORD code = 0;
            GetExitCodeProcess(process.process(), &code);
            result.ended = true;
            result.exitCode = static_cast<int>(code);
            return result;
        }
        if (GetTickCount() - begin >= timeoutMs) {
            TerminateProcess(process.process(), 1);
            WaitForSingleObject(process.process(), INFINITE);
            return result;
        }
    }
}

bool findBox(DWORD processId, Box& box) {
    BoxSearch search = {processId, nullptr, nullptr};
    EnumWindows(matchBox, reinterpret_cast<LPARAM>(&search));
    return describeBox(search.found, box);
}

bool findBoxByCaption(const std::string& caption, Box& box) {
    BoxSearch search = {0, caption.c_str(), nullptr};
    EnumWindows(matchBox, reinterpret_cast<LPARAM>(&search));
    return describeBox(search.found, box);
}

bool pressButton(const Box& box, int buttonId) {
    HWND button = GetDlgItem(box.window, buttonId);
    if (button == nullptr) return false;
    return PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != FALSE;
}

std::vector<std::string> FileTail::newLines() {
    std::vector<std::string> lines;
    norvale::FileHandle file(CreateFileA(path_.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return lines;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) return lines;
    if (size.QuadPart < offset_) {  // the log was cut back to its start
        offset_ = 0;
        partial_.clear();
    }
    LARGE_INTEGER from = {};
    from.QuadPart = offset_;
    SetFilePointerEx(file.get(), from, nullptr, FILE_BEGIN);
    char buffer[kPipeBufferSize];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        offset_ += read;
        partial_.append(buffer, read);
    }
    size_t end;
    while ((end = partial_.find('\n')) != std::string::npos) {
        std::string line = partial_.substr(0, end);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        lines.push_back(line);
        partial_.erase(0, end + 1);
    }
    return lines;
}

std::vector<std::string> runningProgramsAmong(const std::vector<std::string>& names) {
    std::vector<std::string> found;
    norvale::SnapshotHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return found;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        for (const std::string& name : names) {
            if (lstrcmpiA(entry.szExeFile, name.c_str()) == 0) found.push_back(entry.szExeFile);
        }
    }
    return found;
}

std::string oneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        line += c == '\n' ? ' ' : c;
    }
    return line;
}

}  // namespace demo
