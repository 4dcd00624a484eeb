// Every function the five programs import, once: the calls that can fail,
// with the value and error they fail with on Windows, and the calls that
// cannot, with the reason. The fault injector hooks the first kind in a
// program's import address table; the coverage test fails when a program
// imports a function this catalog does not name, so the catalog cannot fall
// out of step with the programs.
//
// The lists are X-macros. Users define the macro they pass in; the failure
// columns name Win32, Winsock and C runtime constants, which only the
// injector itself expands.
#pragma once

// How a failing call reports its error.
//   LastError: SetLastError(code) (Winsock's WSASetLastError is the same);
//   Status:    the failure value is the error itself (registry, HRESULT);
//   Errno:     errno = code.
// ReturnsArgument: the call fails by handing its first argument back
// (LocalFree, FreeSid), with SetLastError(code).

// Windows functions, typed from their declarations in the system headers.
// X(dll, function, failure value, how the error is reported, error)
#define NORVALE_FAULT_WINAPI_CALLS(X)                                                          \
    X(advapi32, AllocateAndInitializeSid, FALSE, LastError, ERROR_NOT_ENOUGH_MEMORY)           \
    X(advapi32, CheckTokenMembership, FALSE, LastError, ERROR_ACCESS_DENIED)                   \
    X(advapi32, CryptAcquireContextA, FALSE, LastError, ERROR_NOT_ENOUGH_MEMORY)               \
    X(advapi32, CryptGenRandom, FALSE, LastError, NTE_FAIL)                                    \
    X(advapi32, CryptReleaseContext, FALSE, LastError, ERROR_INVALID_HANDLE)                   \
    X(advapi32, FreeSid, 0, ReturnsArgument, ERROR_INVALID_HANDLE)                             \
    X(advapi32, GetTokenInformation, FALSE, LastError, ERROR_ACCESS_DENIED)                    \
    X(advapi32, LookupAccountSidA, FALSE, LastError, ERROR_NONE_MAPPED)                        \
    X(advapi32, OpenProcessToken, FALSE, LastError, ERROR_ACCESS_DENIED)                       \
    X(advapi32, RegCloseKey, ERROR_INVALID_HANDLE, Status, 0)                                  \
    X(advapi32, RegCreateKeyExA, ERROR_ACCESS_DENIED, Status, 0)                               \
    X(advapi32, RegEnumKeyExA, ERROR_ACCESS_DENIED, Status, 0)                                 \
    X(advapi32, RegOpenKeyExA, ERROR_ACCESS_DENIED, Status, 0)                                 \
    X(advapi32, RegQueryInfoKeyA, ERROR_ACCESS_DENIED, Status, 0)                              \
    X(advapi32, RegQueryValueExA, ERROR_ACCESS_DENIED, Status, 0)                              \
    X(advapi32, RegSetValueExA, ERROR_ACCESS_DENIED, Status, 0)                                \
    X(advapi32, SystemFunction036, FALSE, LastError, ERROR_NOT_ENOUGH_MEMORY)                  \
    X(kernel32, AddVectoredExceptionHandler, nullptr, LastError, ERROR_NOT_ENOUGH_MEMORY)      \
    X(kernel32, CloseHandle, FALSE, LastError, ERROR_INVALID_HANDLE)                           \
    X(kernel32, CopyFileA, FALSE, LastError, ERROR_DISK_FULL)                                  \
    X(kernel32, CreateDirectoryA, FALSE, LastError, ERROR_ACCESS_DENIED)                       \
    X(kernel32, CreateDirectoryExA, FALSE, LastError, ERROR_ACCESS_DENIED)                     \
    X(kernel32, CreateEventA, nullptr, LastError, ERROR_NOT_ENOUGH_MEMORY)                     \
    X(kernel32, CreateFileA, INVALID_HANDLE_VALUE, LastError, ERROR_SHARING_VIOLATION)         \
    X(kernel32, CreateMutexA, nullptr, LastError, ERROR_ACCESS_DENIED)                         \
    X(kernel32, CreateProcessA, FALSE, LastError, ERROR_SHARING_VIOLATION)                     \
    X(kernel32, CreateSemaphoreA, nullptr, LastError, ERROR_NOT_ENOUGH_MEMORY)                 \
    X(kernel32, DeleteFileA, FALSE, LastError, ERROR_SHARING_VIOLATION)                        \
    X(kernel32, DuplicateHandle, FALSE, LastError, ERROR_ACCESS_DENIED)                        \
    X(kernel32, FindClose, FALSE, LastError, ERROR_INVALID_HANDLE)                             \
    X(kernel32, FindFirstFileA, INVALID_HANDLE_VALUE, LastError, ERROR_ACCESS_DENIED)          \
    X(kernel32, FindFirstFileW, INVALID_HANDLE_VALUE, LastError, ERROR_ACCESS_DENIED)          \
    X(kernel32, FindNextFileA, FALSE, LastError, ERROR_ACCESS_DENIED)                          \
    X(kernel32, FindNextFileW, FALSE, LastError, ERROR_ACCESS_DENIED)                          \
    X(kernel32, FormatMessageA, 0, LastError, ERROR_NOT_ENOUGH_MEMORY)                         \
    X(kernel32, FreeLibrary, FALSE, LastError, ERROR_INVALID_HANDLE)                           \
    X(kernel32, GetConsoleMode, FALSE, LastError, ERROR_INVALID_HANDLE)                        \
    X(kernel32, GetCurrentDirectoryA, 0, LastError, ERROR_ACCESS_DENIED)                       \
    X(kernel32, GetExitCodeProcess, FALSE, LastError, ERROR_ACCESS_DENIED)                     \
    X(kernel32, GetFileAttributesA, INVALID_FILE_ATTRIBUTES, LastError, ERROR_SHARING_VIOLATION) \
    X(kernel32, GetFullPathNameA, 0, LastError, ERROR_NOT_ENOUGH_MEMORY)                       \
    X(kernel32, GetHandleInformation, FALSE, LastError, ERROR_INVALID_HANDLE)                  \
    X(kernel32, GetModuleFileNameA, 0, LastError, ERROR_NOT_ENOUGH_MEMORY)                     \
    X(kernel32, GetModuleFileNameW, 0, LastError, ERROR_NOT_ENOUGH_MEMORY)                     \
    X(kernel32, GetModuleHandleA, nullptr, LastError, ERROR_MOD_NOT_FOUND)                     \
    X(kernel32, GetModuleHandleW, nullptr, LastError, ERROR_MOD_NOT_FOUND)                     \
    X(kernel32, GetProcAddress, nullptr, LastError, ERROR_PROC_NOT_FOUND)                      \
    X(kernel32, GetProcessAffinityMask, FALSE, LastError, ERROR_ACCESS_DENIED)                 \
    X(kernel32, GetShortPathNameW, 0, LastError, ERROR_ACCESS_DENIED)                          \
    X(kernel32, GetSystemDirectoryA, 0, LastError, ERROR_NOT_ENOUGH_MEMORY)                    \
    X(kernel32, GetThreadContext, FALSE, LastError, ERROR_ACCESS_DENIED)                       \
    X(kernel32, GetThreadPriority, THREAD_PRIORITY_ERROR_RETURN, LastError, ERROR_ACCESS_DENIED) \
    X(kernel32, GetVersionExA, FALSE, LastError, ERROR_INVALID_PARAMETER)                      \
    X(kernel32, LoadLibraryA, nullptr, LastError, ERROR_SHARING_VIOLATION)                     \
    X(kernel32, LoadLibraryExA, nullptr, LastError, ERROR_SHARING_VIOLATION)                   \
    X(kernel32, LoadLibraryW, nullptr, LastError, ERROR_SHARING_VIOLATION)                     \
    X(kernel32, LocalFree, 0, ReturnsArgument, ERROR_INVALID_HANDLE)                           \
    X(kernel32, LockFileEx, FALSE, LastError, ERROR_LOCK_VIOLATION)                            \
    X(kernel32, MultiByteToWideChar, 0, LastError, ERROR_NO_UNICODE_TRANSLATION)              \
    X(kernel32, OpenProcess, nullptr, LastError, ERROR_ACCESS_DENIED)                          \
    X(kernel32, ReadFile, FALSE, LastError, ERROR_READ_FAULT)                                  \
    X(kernel32, ReleaseMutex, FALSE, LastError, ERROR_NOT_OWNER)                               \
    X(kernel32, ReleaseSemaphore, FALSE, LastError, ERROR_TOO_MANY_POSTS)                      \
    X(kernel32, RemoveVectoredExceptionHandler, 0, LastError, ERROR_INVALID_PARAMETER)         \
    X(kernel32, ResetEvent, FALSE, LastError, ERROR_INVALID_HANDLE)                            \
    X(kernel32, ResumeThread, static_cast<DWORD>(-1), LastError, ERROR_ACCESS_DENIED)          \
    X(kernel32, SetCurrentDirectoryA, FALSE, LastError, ERROR_ACCESS_DENIED)                   \
    X(kernel32, SetDllDirectoryA, FALSE, LastError, ERROR_NOT_ENOUGH_MEMORY)                   \
    X(kernel32, SetEvent, FALSE, LastError, ERROR_INVALID_HANDLE)                              \
    X(kernel32, SetFileInformationByHandle, FALSE, LastError, ERROR_ACCESS_DENIED)             \
    X(kernel32, SetProcessAffinityMask, FALSE, LastError, ERROR_ACCESS_DENIED)                 \
    X(kernel32, SetThreadContext, FALSE, LastError, ERROR_ACCESS_DENIED)                       \
    X(kernel32, SetThreadPriority, FALSE, LastError, ERROR_ACCESS_DENIED)                      \
    X(kernel32, SuspendThread, static_cast<DWORD>(-1), LastError, ERROR_ACCESS_DENIED)         \
    X(kernel32, TerminateProcess, FALSE, LastError, ERROR_ACCESS_DENIED)                       \
    X(kernel32, TlsAlloc, TLS_OUT_OF_INDEXES, LastError, ERROR_NOT_ENOUGH_MEMORY)              \
    X(kernel32, TlsGetValue, nullptr, LastError, ERROR_INVALID_PARAMETER)                      \
    X(kernel32, TlsSetValue, FALSE, LastError, ERROR_NOT_ENOUGH_MEMORY)                        \
    X(kernel32, UnlockFileEx, FALSE, LastError, ERROR_NOT_LOCKED)                              \
    X(kernel32, VirtualProtect, FALSE, LastError, ERROR_NOT_ENOUGH_MEMORY)                     \
    X(kernel32, VirtualQuery, 0, LastError, ERROR_INVALID_PARAMETER)                           \
    X(kernel32, WaitForMultipleObjects, WAIT_FAILED, LastError, ERROR_ACCESS_DENIED)           \
    X(kernel32, WaitForSingleObject, WAIT_FAILED, LastError, ERROR_ACCESS_DENIED)              \
    X(kernel32, WideCharToMultiByte, 0, LastError, ERROR_NO_UNICODE_TRANSLATION)              \
    X(kernel32, WriteConsoleW, FALSE, LastError, ERROR_NO_DATA)                                \
    X(kernel32, WriteFile, FALSE, LastError, ERROR_DISK_FULL)                                  \
    X(ole32, OleInitialize, E_OUTOFMEMORY, Status, 0)                                          \
    X(shell32, SHGetFolderPathW, E_ACCESSDENIED, Status, 0)                                    \
    X(user32, EnumChildWindows, FALSE, LastError, ERROR_NOT_ENOUGH_MEMORY)                     \
    X(user32, EnumWindows, FALSE, LastError, ERROR_NOT_ENOUGH_MEMORY)                          \
    X(user32, FindWindowA, nullptr, LastError, ERROR_NOT_ENOUGH_MEMORY)                        \
    X(user32, FindWindowExA, nullptr, LastError, ERROR_NOT_ENOUGH_MEMORY)                      \
    X(user32, GetClientRect, FALSE, LastError, ERROR_INVALID_WINDOW_HANDLE)                    \
    X(user32, GetWindowThreadProcessId, 0, LastError, ERROR_INVALID_WINDOW_HANDLE)             \
    X(user32, MessageBoxA, 0, LastError, ERROR_NOT_ENOUGH_MEMORY)                              \
    X(user32, PostMessageA, FALSE, LastError, ERROR_NOT_ENOUGH_QUOTA)                          \
    X(user32, SendMessageTimeoutA, 0, LastError, ERROR_TIMEOUT)                                \
    X(ws2_32, WSACleanup, SOCKET_ERROR, LastError, WSAENETDOWN)                                \
    X(ws2_32, WSAStartup, WSASYSNOTREADY, Status, 0)                                           \
    X(ws2_32, accept, INVALID_SOCKET, LastError, WSAENETDOWN)                                  \
    X(ws2_32, bind, SOCKET_ERROR, LastError, WSAENETDOWN)                                      \
    X(ws2_32, closesocket, SOCKET_ERROR, LastError, WSAENETDOWN)                               \
    X(ws2_32, connect, SOCKET_ERROR, LastError, WSAENETDOWN)                                   \
    X(ws2_32, getaddrinfo, WSANO_RECOVERY, Status, 0)                                          \
    X(ws2_32, listen, SOCKET_ERROR, LastError, WSAENETDOWN)                                    \
    X(ws2_32, recv, SOCKET_ERROR, LastError, WSAENETDOWN)                                      \
    X(ws2_32, select, SOCKET_ERROR, LastError, WSAENETDOWN)                                    \
    X(ws2_32, send, SOCKET_ERROR, LastError, WSAENETDOWN)                                      \
    X(ws2_32, socket, INVALID_SOCKET, LastError, WSAENETDOWN)

// Windows functions a program binds at run time with GetProcAddress instead
// of importing them; the injector hooks them when GetProcAddress hands them
// out. X(dll, function, failure value, how the error is reported, error)
#define NORVALE_FAULT_BOUND_CALLS(X)                                                           \
    X(kernel32, CreateToolhelp32Snapshot, INVALID_HANDLE_VALUE, LastError,                     \
      ERROR_NOT_ENOUGH_MEMORY)                                                                 \
    X(kernel32, Process32First, FALSE, LastError, ERROR_ACCESS_DENIED)                         \
    X(kernel32, Process32Next, FALSE, LastError, ERROR_ACCESS_DENIED)                          \
    X(vdmdbg, VDMEnumTaskWOWEx, 0, LastError, ERROR_ACCESS_DENIED)

// C runtime functions (msvcrt.dll), typed here: the headers declare some of
// them as inline wrappers of other names.
// X(function, return type, parameter types, failure value, errno)
#define NORVALE_FAULT_CRT_CALLS(X)                                                             \
    X(__getmainargs, int, (int*, char***, char***, int, void*), -1, ENOMEM)                    \
    X(_access, int, (const char*, int), -1, EACCES)                                            \
    X(_beginthreadex, uintptr_t,                                                               \
      (void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned, unsigned*), 0, EAGAIN)   \
    X(_chsize, int, (int, long), -1, ENOSPC)                                                   \
    X(_close, int, (int), -1, EIO)                                                             \
    X(_filelengthi64, long long, (int), -1, EBADF)                                             \
    X(_get_osfhandle, intptr_t, (int), -1, EBADF)                                              \
    X(_localtime64, void*, (const void*), nullptr, EINVAL)                                     \
    X(_onexit, void*, (void*), nullptr, ENOMEM)                                                \
    X(_read, int, (int, void*, unsigned), -1, EIO)                                             \
    X(_setmode, int, (int, int), -1, EINVAL)                                                   \
    X(_strdup, char*, (const char*), nullptr, ENOMEM)                                          \
    X(_write, int, (int, const void*, unsigned), -1, ENOSPC)                                   \
    X(calloc, void*, (size_t, size_t), nullptr, ENOMEM)                                        \
    X(fclose, int, (void*), -1, ENOSPC)                                                        \
    X(fflush, int, (void*), -1, ENOSPC)                                                        \
    X(fopen, void*, (const char*, const char*), nullptr, EACCES)                               \
    X(fputc, int, (int, void*), -1, ENOSPC)                                                    \
    X(fread, size_t, (void*, size_t, size_t, void*), 0, EIO)                                   \
    X(fwrite, size_t, (const void*, size_t, size_t, void*), 0, ENOSPC)                         \
    X(localtime, void*, (const void*), nullptr, EINVAL)                                        \
    X(malloc, void*, (size_t), nullptr, ENOMEM)                                                \
    X(realloc, void*, (void*, size_t), nullptr, ENOMEM)                                        \
    X(setlocale, char*, (int, const char*), nullptr, EINVAL)                                   \
    X(signal, void*, (int, void*), reinterpret_cast<void*>(-1), EINVAL)                        \
    X(vfprintf, int, (void*, const char*, va_list), -1, ENOSPC)

// C runtime functions with a variable argument list: their hooks pass the
// call on through the runtime's va_list form. X(function)
#define NORVALE_FAULT_CRT_VARARG_CALLS(X) X(_open) X(fprintf) X(printf)

// Imports that cannot fail, and why. X(dll, function, reason)
//   Answer:     a query that always answers (a count, an id, a test);
//   NoFailure:  does its work or, by its contract, never reports a failure;
//   NoReturn:   ends the process or jumps away;
//   Data:       a variable of the runtime, not a function;
//   Unwinding:  the exception machinery itself, which must never be wrapped.
#define NORVALE_FAULT_NEVER_FAILING(X)                                                         \
    X(kernel32, DeleteCriticalSection, NoFailure)                                              \
    X(kernel32, EnterCriticalSection, NoFailure)                                               \
    X(kernel32, GetACP, Answer)                                                                \
    X(kernel32, GetCurrentProcess, Answer)                                                     \
    X(kernel32, GetCurrentProcessId, Answer)                                                   \
    X(kernel32, GetCurrentThread, Answer)                                                      \
    X(kernel32, GetCurrentThreadId, Answer)                                                    \
    X(kernel32, GetLastError, Answer)                                                          \
    X(kernel32, GetStartupInfoA, Answer)                                                       \
    X(kernel32, GetSystemTimeAsFileTime, Answer)                                               \
    X(kernel32, GetTickCount, Answer)                                                          \
    X(kernel32, GetTickCount64, Answer)                                                        \
    X(kernel32, InitializeCriticalSection, NoFailure)                                          \
    X(kernel32, IsDBCSLeadByteEx, Answer)                                                      \
    X(kernel32, IsDebuggerPresent, Answer)                                                     \
    X(kernel32, LeaveCriticalSection, NoFailure)                                               \
    X(kernel32, OutputDebugStringA, NoFailure)                                                 \
    X(kernel32, QueryPerformanceCounter, Answer)                                               \
    X(kernel32, QueryPerformanceFrequency, Answer)                                             \
    X(kernel32, RaiseException, NoReturn)                                                      \
    X(kernel32, RtlCaptureContext, Unwinding)                                                  \
    X(kernel32, RtlLookupFunctionEntry, Unwinding)                                             \
    X(kernel32, RtlUnwindEx, Unwinding)                                                        \
    X(kernel32, RtlVirtualUnwind, Unwinding)                                                   \
    X(kernel32, SetLastError, NoFailure)                                                       \
    X(kernel32, SetUnhandledExceptionFilter, Answer)                                           \
    X(kernel32, Sleep, NoFailure)                                                              \
    X(kernel32, TryEnterCriticalSection, Answer)                                               \
    X(kernel32, __C_specific_handler, Unwinding)                                               \
    X(msvcrt, ___lc_codepage_func, Answer)                                                     \
    X(msvcrt, ___mb_cur_max_func, Answer)                                                      \
    X(msvcrt, __initenv, Data)                                                                 \
    X(msvcrt, __iob_func, Answer)                                                              \
    X(msvcrt, __mb_cur_max, Data)                                                              \
    X(msvcrt, __p__acmdln, Answer)                                                             \
    X(msvcrt, __p__commode, Answer)                                                            \
    X(msvcrt, __p__fmode, Answer)                                                              \
    X(msvcrt, __set_app_type, NoFailure)                                                       \
    X(msvcrt, __setusermatherr, NoFailure)                                                     \
    X(msvcrt, _acmdln, Data)                                                                   \
    X(msvcrt, _amsg_exit, NoReturn)                                                            \
    X(msvcrt, _cexit, NoFailure)                                                               \
    X(msvcrt, _commode, Data)                                                                  \
    X(msvcrt, _endthreadex, NoReturn)                                                          \
    X(msvcrt, _errno, Answer)                                                                  \
    X(msvcrt, _exit, NoReturn)                                                                 \
    X(msvcrt, _fileno, Answer)                                                                 \
    X(msvcrt, _fmode, Data)                                                                    \
    X(msvcrt, _initterm, NoFailure)                                                            \
    X(msvcrt, _iob, Data)                                                                      \
    X(msvcrt, _ismbblead, Answer)                                                              \
    X(msvcrt, _ismbbtrail, Answer)                                                             \
    X(msvcrt, _mbscmp, Answer)                                                                 \
    X(msvcrt, _mbsicmp, Answer)                                                                \
    X(msvcrt, _mbsnbcmp, Answer)                                                               \
    X(msvcrt, _mbsnicmp, Answer)                                                               \
    X(msvcrt, _setjmp, Unwinding)                                                              \
    X(msvcrt, _setjmp3, Unwinding)                                                             \
    X(msvcrt, _stricmp, Answer)                                                                \
    X(msvcrt, _strtoi64, Answer)                                                               \
    X(msvcrt, _time64, Answer)                                                                 \
    X(msvcrt, _ultoa, NoFailure)                                                               \
    X(msvcrt, _vscprintf, Answer)                                                              \
    X(msvcrt, _vsnprintf, Answer)                                                              \
    X(msvcrt, abort, NoReturn)                                                                 \
    X(msvcrt, atoi, Answer)                                                                    \
    X(msvcrt, exit, NoReturn)                                                                  \
    X(msvcrt, ferror, Answer)                                                                  \
    X(msvcrt, getenv, Answer)                                                                  \
    X(msvcrt, free, NoFailure)                                                                 \
    X(msvcrt, islower, Answer)                                                                 \
    X(msvcrt, ispunct, Answer)                                                                 \
    X(msvcrt, isspace, Answer)                                                                 \
    X(msvcrt, isupper, Answer)                                                                 \
    X(msvcrt, localeconv, Answer)                                                              \
    X(msvcrt, longjmp, Unwinding)                                                              \
    X(msvcrt, memchr, Answer)                                                                  \
    X(msvcrt, memcmp, Answer)                                                                  \
    X(msvcrt, memcpy, NoFailure)                                                               \
    X(msvcrt, memmove, NoFailure)                                                              \
    X(msvcrt, memset, NoFailure)                                                               \
    X(msvcrt, strcat, NoFailure)                                                               \
    X(msvcrt, strchr, Answer)                                                                  \
    X(msvcrt, strcmp, Answer)                                                                  \
    X(msvcrt, strcpy, NoFailure)                                                               \
    X(msvcrt, strerror, Answer)                                                                \
    X(msvcrt, strlen, Answer)                                                                  \
    X(msvcrt, strncmp, Answer)                                                                 \
    X(msvcrt, strtoul, Answer)                                                                 \
    X(msvcrt, time, Answer)                                                                    \
    X(msvcrt, wcscmp, Answer)                                                                  \
    X(msvcrt, wcslen, Answer)                                                                  \
    X(msvcrt, wcsncmp, Answer)                                                                 \
    X(msvcrt, wcsrchr, Answer)                                                                 \
    X(ole32, OleUninitialize, NoFailure)                                                       \
    X(ws2_32, WSAGetLastError, Answer)                                                         \
    X(ws2_32, __WSAFDIsSet, Answer)                                                            \
    X(ws2_32, freeaddrinfo, NoFailure)                                                         \
    X(ws2_32, ntohs, Answer)
