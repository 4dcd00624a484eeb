#include "common/log_file.h"

#include "common/handles.h"
#include "common/paths.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <io.h>
#include <memory>
#include <utility>

const char* const logTexts[13] = {
    "No error.",
    "File open error.",
    "File close error.",
    "fopen(\"nul\", \"wb\") failed.",
    "Memory allocation error.",
    "Argument evaluation error.",
    "String mismatch.",
    "fflush() failed.",
    "Directory creation error.",
    "Logfile started.",
    "[%04i-%02i-%02i %02i:%02i:%02i]",
    "Logfile closed.",
    "Filename exceeds _MAX_CHAR characters.",
};

namespace {

constexpr int kTextStarted = 9;
constexpr int kTextTimeStamp = 10;
constexpr int kTextClosed = 11;

const char* const kLevelMarks[3] = {"[I]", "[?]", "[!]"};

// Time stamp, level mark, message.
constexpr char kLineFormat[] = "%s %s %s\r\n";

// One byte far beyond any real end of a log. Every writer of the file locks
// it exclusively from its size check to the end of its write, so that the
// emptying at the limit and each line are done whole when several programs
// write one log at once: appending alone is not atomic under Wine, two
// writers can both seek to the same end and write over each other.
constexpr ULONGLONG kLineLockOffset = 0x7FFFFFFFFFFFFFFEull;
constexpr DWORD kLineLockLength = 1;
// A writer holds the line lock for one line, well under a millisecond. One
// that holds it longer than this has stopped (or the lock is stuck), and the
// line goes out without the lock: a log costs lines, never the run.
constexpr DWORD kLineLockWaitMs = 2000;

// Levels outside 0..2 are never meant to be passed; they are shown with the
// nearest mark instead of reading past the table.
const char* levelMark(int level) {
    if (level < LOG_INFO) return kLevelMarks[LOG_INFO];
    if (level > LOG_ERROR) return kLevelMarks[LOG_ERROR];
    return kLevelMarks[level];
}

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};
using TextBuffer = std::unique_ptr<char, FreeDeleter>;

// Formats into a heap buffer of exactly the needed size: measure, allocate,
// format again and check that both passes agree.
LOG_ERRS::ERR_ID formatText(TextBuffer& out, const char* format, va_list args) {
    va_list measureArgs;
    va_copy(measureArgs, args);
    int count = std::vsnprintf(nullptr, 0, format, measureArgs);
    va_end(measureArgs);
    if (count < 0) return LOG_ERRS::ERR_ARGUMENT;

    const std::size_t size = static_cast<std::size_t>(count) + 1;
    out.reset(static_cast<char*>(std::malloc(size)));
    if (!out) return LOG_ERRS::ERR_MEMORY;

    va_list formatArgs;
    va_copy(formatArgs, args);
    int written = std::vsnprintf(out.get(), size, format, formatArgs);
    va_end(formatArgs);
    if (written != count) {
        out.reset();
        return LOG_ERRS::ERR_MISMATCH;
    }
    return LOG_ERRS::ERR_NONE;
}

LOG_ERRS::ERR_ID formatTextf(TextBuffer& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LOG_ERRS::ERR_ID code = formatText(out, format, args);
    va_end(args);
    return code;
}

// "[YYYY-MM-DD hh:mm:ss]" in local time.
LOG_ERRS::ERR_ID formatTimeStamp(TextBuffer& out) {
    std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (!local) return LOG_ERRS::ERR_ARGUMENT;
    return formatTextf(out, logTexts[kTextTimeStamp], local->tm_year + 1900, local->tm_mon + 1,
                       local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec);
}

// The whole line in one buffer, so that it reaches the file in one write
// whatever its length.
LOG_ERRS::ERR_ID formatLine(TextBuffer& line, int level, const char* format, va_list args) {
    TextBuffer message;
    LOG_ERRS::ERR_ID code = formatText(message, format, args);
    if (code != LOG_ERRS::ERR_NONE) return code;
    TextBuffer timeStamp;
    code = formatTimeStamp(timeStamp);
    if (code != LOG_ERRS::ERR_NONE) return code;
    return formatTextf(line, kLineFormat, timeStamp.get(), levelMark(level), message.get());
}

// Takes the line lock on the stream's file, unless it is no longer usable.
// A file that cannot be locked is still written, without the lock: a log
// never stops a program.
norvale::FileRangeLock lockLines(std::FILE* stream, bool usable) {
    const HANDLE file = usable ? reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)))
                               : INVALID_HANDLE_VALUE;
    return norvale::FileRangeLock(file, kLineLockOffset, kLineLockLength, kLineLockWaitMs);
}

}  // namespace

LogFile::LogFile(int minLevel, bool keepOpen, unsigned maxSize, bool quiet)
    : fileName{}, stream(nullptr), minLevel(minLevel), keepOpen(keepOpen), quiet(quiet),
      maxSize(maxSize), lineLockUsable(true) {}

LogFile::~LogFile() {
    if (stream) std::fclose(stream);
}

void LogFile::fail(LOG_ERRS::ERR_ID code) const {
    if (!quiet) throw code;
}

void LogFile::openStream() {
    stream = std::fopen(fileName, "ab");
    if (!stream) throw LOG_ERRS::ERR_FILE_OPEN;
}

void LogFile::closeStream() {
    std::FILE* closing = stream;
    stream = nullptr;
    if (std::fclose(closing) != 0) throw LOG_ERRS::ERR_FILE_CLOSE;
}

// After a failure, whose code is the one reported: a stream that is not kept
// open holds no handle on the file between lines.
void LogFile::dropStream() {
    if (!keepOpen && stream) std::fclose(std::exchange(stream, nullptr));
}

// Empties the open stream's file once it has reached maxSize; the log is
// never rotated. The caller holds the line lock.
void LogFile::checkSize() {
    if (maxSize == 0) return;
    const int fd = _fileno(stream);
    const __int64 length = _filelengthi64(fd);
    if (length < 0) throw LOG_ERRS::ERR_FILE_OPEN;
    if (static_cast<unsigned __int64>(length) >= maxSize && _chsize(fd, 0) != 0)
        throw LOG_ERRS::ERR_FILE_OPEN;
}

// Under the line lock: the size check, then the whole line in one _write
// past the stream's buffer (which would split a line longer than itself into
// several writes), and the flush. Returns the line's length, or -1 when the
// write or the flush failed.
int LogFile::writeLockedLine(int level, const char* format, va_list args) {
    norvale::FileRangeLock lock = lockLines(stream, lineLockUsable);
    checkSize();
    TextBuffer line;
    const LOG_ERRS::ERR_ID code = formatLine(line, level, format, args);
    if (code != LOG_ERRS::ERR_NONE) throw code;
    const unsigned length = static_cast<unsigned>(std::strlen(line.get()));
    const int written = _write(_fileno(stream), line.get(), length);
    const bool flushed = std::fflush(stream) == 0;
    releaseLineLock(lock);
    return flushed && written == static_cast<int>(length) ? written : -1;
}

// A line lock the system will not release may stay with this program (under
// Wine for as long as the program runs); waiting for it again before every
// line would cost the run, so the lines that follow go out without it.
void LogFile::releaseLineLock(norvale::FileRangeLock& lock) {
    if (!lock.release()) lineLockUsable = false;
}

void LogFile::open(const char* path) {
    try {
        if (std::strlen(path) >= sizeof fileName) throw LOG_ERRS::ERR_FILENAME_TOO_LONG;
        std::strcpy(fileName, path);
        if (!createPathDirectories(fileName)) throw LOG_ERRS::ERR_DIRECTORY;
        if (!stream) openStream();
        {
            norvale::FileRangeLock lock = lockLines(stream, lineLockUsable);
            checkSize();
            releaseLineLock(lock);
        }
        log(LOG_INFO, logTexts[kTextStarted]);
        if (!keepOpen && stream) closeStream();
    } catch (LOG_ERRS::ERR_ID code) {
        dropStream();
        fail(code);
    }
}

int LogFile::logf(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int written = vlogf(level, format, args);
    va_end(args);
    return written;
}

int LogFile::log(int level, const char* text) {
    return logf(level, "%s", text);
}

int LogFile::vlogf(int level, const char* format, va_list args) {
    if (level < minLevel) return 0;
    try {
        // A stream kept open is closed and opened again around the size
        // check; the check runs on the stream that writes the line.
        if (keepOpen && stream) closeStream();
        if (!stream) openStream();
        const int written = writeLockedLine(level, format, args);
        if (!keepOpen) closeStream();
        // A write that failed outright is reported like a failed flush, so a
        // caller never sees a negative count.
        if (written < 0) throw LOG_ERRS::ERR_FLUSH;
        return written;
    } catch (LOG_ERRS::ERR_ID code) {
        dropStream();
        fail(code);
        return 0;
    }
}

void LogFile::close() {
    if (!keepOpen && !stream) openStream();
    log(LOG_INFO, logTexts[kTextClosed]);
    if (stream) closeStream();
}

void LogFile::shutdown() {
    // A program that never opened its log (the process control tool and the
    // DLL registration tool have none) has no closing line to write.
    if (fileName[0] == '\0') return;
    if (keepOpen && !stream) return;
    try {
        close();
    } catch (LOG_ERRS::ERR_ID) {
    }
}

LogFile g_log(LOG_INFO, false, 102400, true);

namespace {

// Defined after g_log in this file, so it is destroyed first: the process-
// wide log gets its closing line on a normal return and on exit().
struct LogShutdown {
    ~LogShutdown() { g_log.shutdown(); }
} logShutdown;

}  // namespace
