#include "bench/measure.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>

namespace bench {

double nowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / ticksPerMs;
}

std::int64_t systemTimeMs(const SYSTEMTIME& time) {
    FILETIME file;
    if (!SystemTimeToFileTime(&time, &file)) return 0;
    ULARGE_INTEGER value;
    value.LowPart = file.dwLowDateTime;
    value.HighPart = file.dwHighDateTime;
    return static_cast<std::int64_t>(value.QuadPart / 10000u);
}

std::int64_t localTimeMs() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return systemTimeMs(now);
}

bool parseJournalTime(const std::string& text, std::int64_t& ms) {
    unsigned year, month, day, hour, minute, second, milli;
    char tail;
    if (std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u.%3u%c", &year, &month, &day, &hour,
                    &minute, &second, &milli, &tail) != 7) {
        return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 59 || milli > 999) {
        return false;
    }
    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    time.wMilliseconds = static_cast<WORD>(milli);
    FILETIME unused;
    if (!SystemTimeToFileTime(&time, &unused)) return false;
    ms = systemTimeMs(time);
    return true;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    std::size_t middle = values.size() / 2;
    if (values.size() % 2 == 1) return values[middle];
    return (values[middle - 1] + values[middle]) / 2.0;
}

Summary summarize(std::vector<double> values) {
    Summary summary;
    if (values.empty()) return summary;
    summary.count = values.size();
    summary.min = *std::min_element(values.begin(), values.end());
    summary.max = *std::max_element(values.begin(), values.end());
    summary.median = median(std::move(values));
    return summary;
}

namespace {

constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// An entry of the system's handle table as Wine lays it out.
struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

// Counts the handles of a process in the system's handle table: Wine
// answers GetProcessHandleCount with 0, but lists every handle here.
bool countHandlesInSystemTable(DWORD processId, DWORD& count) {
    auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return false;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        LONG status = query(kSystemHandleInformation, buffer.data(),
                            static_cast<ULONG>(buffer.size()), &needed);
        if (status == kStatusInfoLengthMismatch && buffer.size() < (1u << 28)) {
            buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed));
            continue;
        }
        if (status < 0) return false;
        break;
    }
    ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
    std::size_t first = sizeof(ULONG_PTR);
    if (first + entries * sizeof(SystemHandleEntry) > buffer.size()) return false;
    const auto* table = reinterpret_cast<const SystemHandleEntry*>(buffer.data() + first);
    count = 0;
    for (ULONG i = 0; i < entries; ++i) {
        if (table[i].ownerPid == processId) ++count;
    }
    return true;
}

}  // namespace

ProcessMetrics sampleProcess(HANDLE process) {
    ProcessMetrics metrics;
    if (!GetProcessHandleCount(process, &metrics.handles)) return metrics;
    // A live process always holds handles; zero means the count is not kept.
    if (metrics.handles == 0 &&
        !countHandlesInSystemTable(GetProcessId(process), metrics.handles)) {
        return metrics;
    }
    // The commit charge, which Windows also reports as the private bytes;
    // Wine fills only this one of the two (from the process's anonymous
    // resident and swapped memory).
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(process, &memory, sizeof memory)) return metrics;
    metrics.privateBytes = memory.PagefileUsage;
    metrics.ok = true;
    return metrics;
}

bool withinGrowth(const std::vector<ProcessMetrics>& series, GrowthLimit limit) {
    if (series.empty()) return false;
    const ProcessMetrics& first = series.front();
    for (const ProcessMetrics& sample : series) {
        if (!sample.ok) return false;
        if (sample.handles > first.handles + limit.handles) return false;
        if (sample.privateBytes > first.privateBytes + limit.privateBytes) return false;
    }
    return true;
}

}  // namespace bench
