#include "common/install_flag.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <vector>

#include "common/handles.h"
#include "common/log_file.h"
#include "common/messages.h"

using norvale::RegKey;

namespace {

constexpr int kMsgKeyFailed = 19;
constexpr int kMsgValueFailed = 20;
constexpr int kMsgValueIs = 21;
constexpr const char kUnknownText[] = "<unknown>";

struct FlagText {
    const char* text;
    int flag;
};

// The texts the flag is written as, and what they read as.
constexpr FlagText kFlagTexts[] = {{"yes", FLAG_YES}, {"no", FLAG_NO}};

// Reads the value into a buffer one byte larger than the data, terminated,
// so that data without a NUL is never read past. ERROR_SUCCESS, or the error
// of the step that failed (ERROR_FILE_NOT_FOUND: there is no value).
LSTATUS readFlagValue(HKEY key, std::vector<char>& data) {
    DWORD largest = 0;
    LSTATUS status = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, &largest, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    try {
        data.assign(static_cast<std::size_t>(largest) + 1, '\0');
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    DWORD size = largest;
    status = RegQueryValueExA(key, kFlagValue, nullptr, nullptr,
                              reinterpret_cast<BYTE*>(data.data()), &size);
    if (status != ERROR_SUCCESS) return status;
    data.resize(size + 1);
    data[size] = '\0';
    return ERROR_SUCCESS;
}

// What a failed read means: nothing stored (2), or an answer that is there
// but cannot be read (3), with the error kept for the caller.
int unreadFlag(LSTATUS status) {
    if (status == ERROR_FILE_NOT_FOUND) return FLAG_UNKNOWN;
    SetLastError(static_cast<DWORD>(status));
    return FLAG_UNREADABLE;
}

// Whatever the stored type, the text is the data's bytes up to the first NUL
// or to the end of the data, where readFlagValue put a NUL.
int flagFromData(const std::vector<char>& data) {
    for (const FlagText& entry : kFlagTexts) {
        if (_stricmp(data.data(), entry.text) == 0) return entry.flag;
    }
    return FLAG_UNKNOWN;
}

const char* flagText(int flag) {
    for (const FlagText& entry : kFlagTexts) {
        if (entry.flag == flag) return entry.text;
    }
    return kUnknownText;
}

}  // namespace

int getRegistryFlag() {
    RegKey key;
    LSTATUS status =
        RegOpenKeyExA(HKEY_CURRENT_USER, kFlagKey, 0, KEY_QUERY_VALUE, key.receive());
    if (status != ERROR_SUCCESS) {
        // A user who never ran the launcher has no key; one that is there
        // and cannot be opened is an error.
        g_log.log(status == ERROR_FILE_NOT_FOUND ? LOG_WARNING : LOG_ERROR,
                  messageTable[kMsgKeyFailed]);
        return unreadFlag(status);
    }
    std::vector<char> data;
    status = readFlagValue(key.get(), data);
    if (status != ERROR_SUCCESS) {
        g_log.log(LOG_ERROR, messageTable[kMsgValueFailed]);
        return unreadFlag(status);
    }
    int flag = flagFromData(data);
    g_log.logf(LOG_INFO, messageTable[kMsgValueIs], flagText(flag));
    return flag;
}

bool setRegistryFlag(bool installed) {
    const char* text = flagText(installed ? FLAG_YES : FLAG_NO);
    RegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kFlagKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, key.receive(), nullptr) != ERROR_SUCCESS) {
        g_log.log(LOG_ERROR, messageTable[kMsgKeyFailed]);
        return false;
    }
    DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
    if (RegSetValueExA(key.get(), kFlagValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       size) != ERROR_SUCCESS) {
        g_log.log(LOG_ERROR, messageTable[kMsgValueFailed]);
        return false;
    }
    key.reset();
    g_log.logf(LOG_INFO, messageTable[kMsgValueIs], text);
    return true;
}
