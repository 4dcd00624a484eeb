// The programs' log file: one text file per program in the user's product
// folder, a time-stamped line per event, emptied when it reaches its size
// limit. Logger failures are LOG_ERRS::ERR_ID codes, thrown by value unless
// the logger is quiet.
#pragma once

#include <cstdarg>
#include <cstdio>

namespace norvale {
class FileRangeLock;
}

namespace LOG_ERRS {
enum ERR_ID {
    ERR_NONE = 0,               // "No error."
    ERR_FILE_OPEN = 1,          // "File open error."
    ERR_FILE_CLOSE = 2,         // "File close error."
    ERR_NUL_OPEN = 3,           // "fopen(\"nul\", \"wb\") failed."
    ERR_MEMORY = 4,             // "Memory allocation error."
    ERR_ARGUMENT = 5,           // "Argument evaluation error."
    ERR_MISMATCH = 6,           // "String mismatch."
    ERR_FLUSH = 7,              // "fflush() failed."
    ERR_DIRECTORY = 8,          // "Directory creation error."
    ERR_FILENAME_TOO_LONG = 12  // "Filename exceeds _MAX_CHAR characters."
};
}  // namespace LOG_ERRS

// The logger's 13 texts: error texts and its fixed lines.
extern const char* const logTexts[13];

enum LogLevel { LOG_INFO = 0, LOG_WARNING = 1, LOG_ERROR = 2 };

class LogFile {
public:
    LogFile(int minLevel, bool keepOpen, unsigned maxSize, bool quiet);
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile();

    // Stores the path (absolute), creates its folders, writes "Logfile started.".
    void open(const char* path);
    // Returns the number of characters written, or 0 (below the level, or a
    // swallowed failure).
    // Formats with MinGW's C99 printf, so formats are checked against it.
    int logf(int level, const char* format, ...)
        __attribute__((format(__MINGW_PRINTF_FORMAT, 3, 4)));
    // The text is written as it is; a percent sign is not a directive.
    int log(int level, const char* text);
    // Writes "Logfile closed." and closes; throws its own failures always.
    void close();
    // Process exit: close, ignoring every failure.
    void shutdown();

    const char* name() const { return fileName; }

private:
    int vlogf(int level, const char* format, va_list args);
    void fail(LOG_ERRS::ERR_ID code) const;
    void checkSize();
    int writeLockedLine(int level, const char* format, va_list args);
    void openStream();
    void closeStream();
    void dropStream();
    void releaseLineLock(norvale::FileRangeLock& lock);

    char fileName[260];
    std::FILE* stream;
    int minLevel;
    bool keepOpen;
    bool quiet;
    unsigned maxSize;
    // False once the line lock could not be released: lines are then
    // written without it.
    bool lineLockUsable;
};

// The process-wide logger: level 0, not kept open, 102400 bytes, quiet.
// LogFile::shutdown runs for it at process exit.
extern LogFile g_log;
