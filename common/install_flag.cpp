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
// so that data without a NUL is never read past. False on any failure.
bool readFlagValue(HKEY key, std::vector<char>& data) {
    DWORD largest = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, &largest, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    try {
        data.assign(static_cast<std::size_t>(largest) + 1, '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    DWORD size = largest;
    if (RegQueryValueExA(key, kFlagValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS) {
        return false;
    }
    data.resize(size + 1);
    data[size] = '\0';
    return true;
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
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kFlagKey, 0, KEY_QUERY_VALUE, key.receive()) !=
        ERROR_SUCCESS) {
        g_log.log(LOG_WARNING, messageTable[kMsgKeyFailed]);
        return FLAG_UNKNOWN;
    }
    std::vector<char> data;
    if (!readFlagValue(key.get(), data)) {
        g_log.log(LOG_ERROR, messageTable[kMsgValueFailed]);
        return FLAG_UNKNOWN;
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
