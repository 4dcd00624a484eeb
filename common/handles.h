// Owners for Win32 handles, one type per kind, each knowing the value its
// API returns on failure, so "closed on every path" holds by construction.
// The owner of a C runtime stream (FILE*) is in crt_file.h.
#pragma once

#include <windows.h>

#include <utility>

namespace norvale {

// Closes (or frees) a handle when it goes out of scope. Closing keeps the
// caller's last error intact, so an error read after a failed call that made
// an owner go out of scope is still the error of that call.
template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept : value_(Traits::invalid()) {}
    explicit UniqueHandle(Type value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    bool valid() const noexcept { return value_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }
    Type get() const noexcept { return value_; }

    // For APIs that return the handle through an out parameter; the owner
    // must be empty.
    Type* receive() noexcept {
        reset();
        return &value_;
    }

    Type release() noexcept { return std::exchange(value_, Traits::invalid()); }

    void reset(Type value = Traits::invalid()) noexcept {
        if (valid()) {
            DWORD lastError = GetLastError();
            Traits::close(value_);
            SetLastError(lastError);
        }
        value_ = value;
    }

private:
    Type value_;
};

// Handles that are NULL on failure: processes, threads, mutexes, events,
// OpenProcess, CreateProcess, CreateMutex.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { CloseHandle(h); }
};

// Handles that are INVALID_HANDLE_VALUE on failure: CreateFile,
// CreateToolhelp32Snapshot.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Type h) noexcept { CloseHandle(h); }
};

// FindFirstFile: INVALID_HANDLE_VALUE on failure, closed with FindClose.
struct FindHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Type h) noexcept { FindClose(h); }
};

struct RegKeyTraits {
    using Type = HKEY;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { RegCloseKey(h); }
};

struct ModuleTraits {
    using Type = HMODULE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { FreeLibrary(h); }
};

// Buffers the system allocates with LocalAlloc (FormatMessage).
struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { LocalFree(h); }
};

// SIDs built with AllocateAndInitializeSid.
struct SidTraits {
    using Type = PSID;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { FreeSid(h); }
};

// SetWindowsHookEx: NULL on failure, removed with UnhookWindowsHookEx.
struct WindowsHookTraits {
    using Type = HHOOK;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { UnhookWindowsHookEx(h); }
};

using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using SnapshotHandle = UniqueHandle<FileHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using Module = UniqueHandle<ModuleTraits>;
using LocalMemory = UniqueHandle<LocalMemoryTraits>;
using Sid = UniqueHandle<SidTraits>;
using WindowsHook = UniqueHandle<WindowsHookTraits>;

// An exclusive lock on a byte range of an open file, released when it goes
// out of scope (or by release()). The file handle stays with its owner and
// must outlive the lock. Taking it waits up to waitMs for another holder of
// the range to let go; a lock that cannot be had in that time, or at all (an
// error, a file system without locks), leaves the owner empty, and the
// caller decides whether to go on without it.
class FileRangeLock {
public:
    FileRangeLock(HANDLE file, ULONGLONG offset, DWORD length, DWORD waitMs) noexcept
        : file_(file), length_(length) {
        range_.Offset = static_cast<DWORD>(offset);
        range_.OffsetHigh = static_cast<DWORD>(offset >> 32);
        if (file_ == INVALID_HANDLE_VALUE || !take(waitMs)) file_ = INVALID_HANDLE_VALUE;
    }
    FileRangeLock(const FileRangeLock&) = delete;
    FileRangeLock& operator=(const FileRangeLock&) = delete;
    ~FileRangeLock() { release(); }

    bool locked() const noexcept { return file_ != INVALID_HANDLE_VALUE; }

    // Lets the range go now; false when the system refused twice, so that
    // the range may stay locked for as long as the file is open, or longer.
    bool release() noexcept {
        if (!locked()) return true;
        DWORD lastError = GetLastError();
        bool unlocked = UnlockFileEx(file_, 0, length_, 0, &range_) ||
                        UnlockFileEx(file_, 0, length_, 0, &range_);
        file_ = INVALID_HANDLE_VALUE;
        SetLastError(lastError);
        return unlocked;
    }

private:
    // Pause between two tries while another holder has the range.
    static constexpr DWORD kRetryMs = 2;

    bool take(DWORD waitMs) noexcept {
        const DWORD start = GetTickCount();
        for (;;) {
            if (LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, length_, 0,
                           &range_))
                return true;
            if (GetLastError() != ERROR_LOCK_VIOLATION || GetTickCount() - start >= waitMs)
                return false;
            Sleep(kRetryMs);
        }
    }

    HANDLE file_;
    DWORD length_;
    OVERLAPPED range_ = {};
};

// Both handles of a started process, closed together: a leaked thread handle
// per child start is the classic leak of a program that supervises for days.
class ProcessInfo {
public:
    ProcessInfo() noexcept = default;
    ProcessInfo(const ProcessInfo&) = delete;
    ProcessInfo& operator=(const ProcessInfo&) = delete;

    // Takes ownership of what CreateProcess filled in.
    void adopt(const PROCESS_INFORMATION& info) noexcept {
        process_.reset(info.hProcess);
        thread_.reset(info.hThread);
        processId_ = info.dwProcessId;
    }
    HANDLE process() const noexcept { return process_.get(); }
    HANDLE thread() const noexcept { return thread_.get(); }
    DWORD processId() const noexcept { return processId_; }
    bool valid() const noexcept { return process_.valid(); }
    void reset() noexcept {
        process_.reset();
        thread_.reset();
        processId_ = 0;
    }

private:
    KernelHandle process_;
    KernelHandle thread_;
    DWORD processId_ = 0;
};

}  // namespace norvale
