// The general reader of "norvale.conf": lines that pair a key with a value,
// a comment string, and a marker line after which nothing is read. Callers
// register a handler per key they care about; values a handler refuses are
// collected as ConfError records and the reading goes on.
#pragma once

#include "common/crt_file.h"

#include <boost/function.hpp>

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Takes one value text and stores its converted value, or throws
// (std::logic_error or std::bad_cast to refuse the value).
using ConfHandler = boost::function<void(std::string)>;

// Keys compare byte by byte: exact and case-sensitive.
using ConfKeyTable = std::map<std::string, ConfHandler>;

// One refused value.
struct ConfError {
    std::string key;      // as found in the file, trimmed
    std::string value;    // exactly as passed to the handler
    std::string message;  // "#QUARLIN:..." text with the handler's reason
};

extern const char kConfFileCannotOpen[];
extern const char kConfFileNotOpen[];
extern const char kConfFileReadFailed[];
extern const char kConfParserLogicalError[];
extern const char kConfParserBadCastError[];

// The bytes of a text, read from its start in pieces.
class ConfSource {
public:
    virtual ~ConfSource() = default;
    // Copies the next bytes of the text, at most size, into buffer and says
    // how many; 0 at the end of the text. Throws when reading fails.
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

// A text in memory.
class ConfText : public ConfSource {
public:
    explicit ConfText(std::string text) : text_(std::move(text)) {}
    std::size_t read(char* buffer, std::size_t size) override;

private:
    std::string text_;
    std::size_t next_ = 0;
};

// The line syntax and the state of the end marker.
class ConfParser {
public:
    ConfParser(std::string endMarker, std::string separator, std::string comment);

    // Key and value of one line, and where its comment starts (npos when it
    // has none). Both stay empty for lines without separator, for the end
    // marker line and for every line after it. Only the key is trimmed.
    void splitLine(const std::string& line, std::string& key, std::string& value,
                   std::string::size_type& commentPos);
    // Sets endReached when the line begins with the marker.
    void checkEnd(const std::string& line);
    // Reads every line of the source up to the end marker and runs the
    // handlers. The file reader and in-memory texts share it. False when
    // reading the source failed part-way (it threw, or memory for a line ran
    // out): the lines before stay applied, the rest is not read.
    bool parseSource(ConfSource& source, const ConfKeyTable& table, std::vector<ConfError>& errors,
                     char delimiter);

    std::string separator;
    std::string comment;    // empty: lines have no comments
    std::string endMarker;  // empty: the whole file is read
    bool endReached;
};

// Runs the handler registered for the key with a copy of the value. Refused
// values are appended to errors; any other exception passes through.
void dispatchLine(const ConfKeyTable& table, const std::string& key, const std::string& value,
                  std::vector<ConfError>& errors);

// One read of one file through the C runtime, in text mode (a carriage
// return before a line feed is dropped, Ctrl-Z ends the file). The file is
// opened for reading only, sharing read and write with whoever else has it
// open.
class ConfFile : public ConfSource {
public:
    ConfFile(std::string filePath, std::string endMarker, std::string separator,
             std::string comment);

    // Reads every line up to the end marker and runs the handlers. Throws
    // orbexcept::runtime_error when the file cannot be opened or reading it
    // fails part-way.
    void parse(const ConfKeyTable& table, std::vector<ConfError>& errors, char delimiter);
    // Opens filePath for reading in text mode; throws when that fails, also
    // when the file is still open from an earlier call.
    void open();
    bool isOpen() const { return file_ != nullptr; }
    // The next bytes of the open file; throws orbexcept::runtime_error when
    // reading fails.
    std::size_t read(char* buffer, std::size_t size) override;

    ConfParser parser;
    std::string filePath;

private:
    norvale::CrtFile file_;
};
