#include "launcher/user_install.h"

#include "common/handles.h"
#include "common/log_file.h"
#include "common/messages.h"
#include "common/paths.h"

#include <new>
#include <vector>

namespace {

const char kAccountsKey[] = "Software\\Microsoft\\Internet Account Manager\\Accounts";
const char kSmtpValue[] = "SMTP Email Address";
// Name length used when the key cannot tell its longest subkey name.
constexpr DWORD kDefaultSubkeyLength = 260;
// The account path is the Accounts key path, a backslash and the name.
constexpr DWORD kAccountPathExtra = 55;
// A subkey name has at most 255 UTF-16 characters, which the ANSI code page
// turns into at most 765 bytes (three per character in UTF-8); the name
// buffer never grows beyond this.
constexpr std::size_t kLongestNameBytes = 1024;

enum CopyResult { COPIED, SKIPPED, COPY_FAILED };

// A template is read and written in pieces of this size.
constexpr DWORD kCopyPieceSize = 16 * 1024;

// Writes the whole content of source into copy; ERROR_SUCCESS, or the error
// of the step that failed.
DWORD copyContent(const std::string& source, HANDLE copy) {
    norvale::FileHandle from(CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!from) return GetLastError();
    std::vector<char> piece;
    try {
        piece.resize(kCopyPieceSize);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(from.get(), piece.data(), kCopyPieceSize, &read, nullptr))
            return GetLastError();
        if (read == 0) return ERROR_SUCCESS;
        DWORD written = 0;
        if (!WriteFile(copy, piece.data(), read, &written, nullptr)) return GetLastError();
        if (written != read) return ERROR_WRITE_FAULT;
    }
}

// Removes the file this copy made, through its own handle, so that no other
// file of that name can be hit. A removal the system refuses is logged: the
// cut-off file then stays, and later logons would keep it.
void removeOwnCopy(HANDLE copy, const std::string& target) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (!SetFileInformationByHandle(copy, FileDispositionInfo, &disposition, sizeof disposition))
        g_log.logf(LOG_ERROR, "The cut-off copy '%s' could not be deleted: error %d.",
                   target.c_str(), static_cast<int>(GetLastError()));
}

// Copies one template into the user's folder into a file that the copy
// creates and so owns: a file that exists under that name, even a link that
// leads nowhere, is never opened, overwritten or removed. A copy that fails
// part-way (a full volume, a quota, an unreadable template) removes only the
// file it made, so that no cut-off copy is left for later logons to keep.
CopyResult copyOneFile(const std::string& targetFolder, const char* name) {
    std::string target = targetFolder + name;
    std::string source = std::string(messageTable[6]) + name;
    if (target.size() >= kMaxPath || source.size() >= kMaxPath) {
        g_log.logf(LOG_ERROR, messageTable[25], target.c_str(), ERROR_FILENAME_EXCED_RANGE);
        return COPY_FAILED;
    }
    norvale::FileHandle copy(CreateFileA(target.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!copy) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
            g_log.logf(LOG_WARNING, messageTable[24], target.c_str());
            return SKIPPED;
        }
        g_log.logf(LOG_ERROR, messageTable[25], target.c_str(), static_cast<int>(error));
        return COPY_FAILED;
    }
    const DWORD error = copyContent(source, copy.get());
    if (error == ERROR_SUCCESS) return COPIED;
    removeOwnCopy(copy.get(), target);
    g_log.logf(LOG_ERROR, messageTable[25], target.c_str(), static_cast<int>(error));
    return COPY_FAILED;
}

// Reads a string value whatever its stored type; the data need not end in a
// NUL, so the buffer gets one more byte that is always zero. A buffer that
// cannot be allocated fails the read like any other read failure.
bool readStringValue(HKEY key, const char* name, std::string& text) {
    DWORD largest = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, &largest, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    std::vector<char> data;
    try {
        data.assign(static_cast<std::size_t>(largest) + 1, '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    DWORD size = largest;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS) {
        return false;
    }
    data[size < largest ? size : largest] = '\0';
    text = data.data();
    return true;
}

DWORD longestSubkeyLength(HKEY key) {
    DWORD longest = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return kDefaultSubkeyLength;
    }
    return longest + 1;
}

bool accountHasSmtpAddress(const char* name) {
    g_log.logf(LOG_INFO, messageTable[75], name);
    std::string path = std::string(kAccountsKey) + "\\" + name;
    g_log.logf(LOG_INFO, messageTable[76], path.c_str());
    norvale::RegKey account;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, account.receive()) !=
        ERROR_SUCCESS) {
        return false;
    }
    std::string address;
    if (!readStringValue(account.get(), kSmtpValue, address)) return false;
    g_log.logf(LOG_INFO, messageTable[77], address.c_str());
    return true;
}

// Reads the name of the subkey at index into name. The longest-name count
// the key reports is in UTF-16 characters, and on a double-byte code page a
// name takes up to two bytes a character, so a name that does not fit makes
// the buffer grow and is read again. Throws std::bad_alloc.
LSTATUS readSubkeyName(HKEY key, DWORD index, std::vector<char>& name) {
    for (;;) {
        DWORD length = static_cast<DWORD>(name.size() - 1);
        LSTATUS status =
            RegEnumKeyExA(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_MORE_DATA || name.size() >= kLongestNameBytes) return status;
        name.assign(name.size() * 2, '\0');
    }
}

}  // namespace

bool createUserDir(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr)) return true;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        g_log.logf(LOG_WARNING, messageTable[28], path.c_str());
        return true;
    }
    g_log.logf(LOG_WARNING, messageTable[29], path.c_str(), static_cast<int>(error));
    return false;
}

bool copyUserFiles() {
    std::string targetFolder = userNorvalePath();
    if (!createUserDir(targetFolder)) {
        g_log.log(LOG_ERROR, messageTable[22]);
        return false;
    }
    WIN32_FIND_DATAA entry;
    norvale::FindHandle search(FindFirstFileA(messageTable[5], &entry));
    if (!search) {
        g_log.log(LOG_ERROR, messageTable[23]);
        showMessage(-23, 0, nullptr);
        return false;
    }
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (copyOneFile(targetFolder, entry.cFileName) == COPY_FAILED) return false;
    } while (FindNextFileA(search.get(), &entry));
    DWORD end = GetLastError();
    if (end != ERROR_NO_MORE_FILES) {
        g_log.logf(LOG_ERROR, messageTable[27], static_cast<int>(end));
        return false;
    }
    g_log.log(LOG_INFO, messageTable[26]);
    return true;
}

bool hasSmtpAccount() {
    norvale::RegKey accounts;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kAccountsKey, 0,
                      KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE,
                      accounts.receive()) != ERROR_SUCCESS) {
        g_log.log(LOG_INFO, messageTable[73]);
        return false;
    }
    DWORD nameLength = longestSubkeyLength(accounts.get());
    g_log.logf(LOG_INFO, messageTable[74], static_cast<int>(nameLength));
    std::vector<char> name;
    try {
        name.assign(nameLength + 1, '\0');
    } catch (const std::bad_alloc&) {
        g_log.log(LOG_ERROR, messageTable[80]);
        return false;
    }
    for (DWORD index = 0;; ++index) {
        LSTATUS status = ERROR_SUCCESS;
        try {
            status = readSubkeyName(accounts.get(), index, name);
        } catch (const std::bad_alloc&) {
            g_log.log(LOG_ERROR, messageTable[80]);
            return false;
        }
        if (status != ERROR_SUCCESS) break;
        if (accountHasSmtpAddress(name.data())) return true;
    }
    g_log.log(LOG_INFO, messageTable[81]);
    return false;
}
