#include "common/real_folder.h"

#include <shlobj.h>

#include <cwchar>

namespace {

// Where the ANSI code page is UTF-8 every text converts exactly, and the
// conversion takes neither the best-fit flag nor the default-character flag.
bool ansiIsUtf8() { return GetACP() == CP_UTF8; }

// Converting back must give the very same text: this also catches double-
// byte code pages where a character maps without the default character.
bool convertsBack(const char* ansi, const wchar_t* wide) {
    wchar_t back[kMaxPath];
    int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, -1, back, kMaxPath);
    return length > 0 && std::wcscmp(back, wide) == 0;
}

}  // namespace

bool exactAnsiText(const wchar_t* wide, char (&out)[kMaxPath]) {
    BOOL usedDefault = FALSE;
    const bool utf8 = ansiIsUtf8();
    int length = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, out,
                                     kMaxPath, nullptr, utf8 ? nullptr : &usedDefault);
    if (length <= 0 || usedDefault || !convertsBack(out, wide)) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool realAnsiPath(const wchar_t* path, char (&out)[kMaxPath]) {
    if (exactAnsiText(path, out)) return true;
    wchar_t shortPath[kMaxPath] = {};
    DWORD length = GetShortPathNameW(path, shortPath, kMaxPath);
    if (length == 0 || length >= kMaxPath) return false;
    return exactAnsiText(shortPath, out);
}

HRESULT wideShellFolder(int csidl, DWORD flags, wchar_t (&out)[kMaxPath]) {
    std::wmemset(out, L'\0', kMaxPath);
    HRESULT hr = SHGetFolderPathW(nullptr, csidl, nullptr, flags, out);
    if (hr == S_OK) return S_OK;
    out[0] = L'\0';
    return FAILED(hr) ? hr : E_FAIL;
}

HRESULT realShellFolder(int csidl, DWORD flags, char (&out)[kMaxPath]) {
    out[0] = '\0';
    wchar_t folder[kMaxPath];
    HRESULT hr = wideShellFolder(csidl, flags, folder);
    if (hr != S_OK) return hr;
    if (!realAnsiPath(folder, out)) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    return S_OK;
}

bool realProgramFolder(char (&out)[kMaxPath]) {
    out[0] = '\0';
    wchar_t path[kMaxPath] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, kMaxPath);
    // A full buffer means the path was cut off and names some other file.
    if (length == 0 || length >= kMaxPath) return false;
    wchar_t* backslash = std::wcsrchr(path, L'\\');
    wchar_t* slash = std::wcsrchr(path, L'/');
    wchar_t* separator = backslash > slash ? backslash : slash;
    if (separator == nullptr) return false;
    *separator = L'\0';
    return realAnsiPath(path, out);
}
