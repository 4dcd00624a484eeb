#include "config/conf_file.h"

#include "config/conf_exceptions.h"
#include "config/conf_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <typeinfo>
#include <utility>

const char kConfFileCannotOpen[] = "#QUARLIN:CONFFILE_CANNOT_OPEN_FILE %s";
const char kConfFileNotOpen[] = "#QUARLIN:CONFFILE_FILE_NOT_OPEN %s";
const char kConfFileReadFailed[] = "#QUARLIN:CONFFILE_READ_FAILED %s";
const char kConfParserLogicalError[] = "#QUARLIN:CONFPARSER_LOGICAL_ERROR %s";
const char kConfParserBadCastError[] = "#QUARLIN:CONFPARSER_BAD_CAST_ERROR %s";

ConfParser::ConfParser(std::string endMarker, std::string separator, std::string comment)
    : separator(std::move(separator)),
      comment(std::move(comment)),
      endMarker(std::move(endMarker)),
      endReached(false) {}

void ConfParser::checkEnd(const std::string& line) {
    if (endMarker.empty()) return;
    endReached = line.compare(0, endMarker.size(), endMarker) == 0;
}

void ConfParser::splitLine(const std::string& line, std::string& key, std::string& value,
                           std::string::size_type& commentPos) {
    key.clear();
    value.clear();
    commentPos = std::string::npos;
    if (endReached) return;
    checkEnd(line);
    if (endReached) return;

    if (!comment.empty()) commentPos = line.find(comment);
    std::string::size_type usable = commentPos == std::string::npos ? line.size() : commentPos;
    std::string::size_type at = separator.empty() ? std::string::npos : line.find(separator);
    if (at == std::string::npos || at + separator.size() > usable) return;

    key = conftext::trim(line.substr(0, at));
    value = line.substr(at + separator.size(), usable - at - separator.size());
}

void dispatchLine(const ConfKeyTable& table, const std::string& key, const std::string& value,
                  std::vector<ConfError>& errors) {
    if (key.empty()) return;
    ConfKeyTable::const_iterator entry = table.find(key);
    if (entry == table.end()) return;
    try {
        entry->second(value);
    } catch (const std::logic_error& refusal) {
        errors.push_back(
            ConfError{key, value, conftext::fillPlaceholder(kConfParserLogicalError, refusal.what())});
    } catch (const std::bad_cast& refusal) {
        errors.push_back(
            ConfError{key, value, conftext::fillPlaceholder(kConfParserBadCastError, refusal.what())});
    }
}

std::size_t ConfText::read(char* buffer, std::size_t size) {
    const std::size_t count = std::min(size, text_.size() - next_);
    text_.copy(buffer, count, next_);
    next_ += count;
    return count;
}

namespace {

// Bytes asked of a source at a time.
const std::size_t kReadChunk = 4096;
// Text mode of the C runtime: "t" keeps the carriage return strip and the
// Ctrl-Z end whatever the program's default mode is.
const char kReadTextMode[] = "rt";

// The lines of a source, each without its delimiter. A failure of the source
// or of the memory for a line ends the lines, and failed() tells it apart
// from the end of the text.
class LineReader {
public:
    explicit LineReader(ConfSource& source) : source_(source) {}

    // The next line; false at the end of the text or once reading failed. A
    // last line without delimiter is still a line. A carriage return before
    // a line feed is dropped on every platform, not only where the text mode
    // of the runtime already does it.
    bool next(std::string& line, char delimiter) {
        line.clear();
        if (failed_) return false;
        try {
            if (!appendUpTo(line, delimiter)) return false;
        } catch (...) {
            failed_ = true;
            return false;
        }
        if (delimiter == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }

    bool failed() const { return failed_; }

private:
    // Appends the bytes up to the delimiter, which is consumed; false when
    // the text had none left.
    bool appendUpTo(std::string& line, char delimiter) {
        bool consumed = false;
        while (begin_ != end_ || refill()) {
            consumed = true;
            const char* start = buffer_ + begin_;
            const void* found = std::memchr(start, delimiter, end_ - begin_);
            const std::size_t length =
                found ? static_cast<std::size_t>(static_cast<const char*>(found) - start) : end_ - begin_;
            line.append(start, length);
            begin_ += length;
            if (found) {
                ++begin_;
                return true;
            }
        }
        return consumed;
    }

    bool refill() {
        if (ended_) return false;
        begin_ = 0;
        end_ = source_.read(buffer_, sizeof buffer_);
        ended_ = end_ == 0;
        return !ended_;
    }

    ConfSource& source_;
    char buffer_[kReadChunk];
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool ended_ = false;
    bool failed_ = false;
};

}  // namespace

bool ConfParser::parseSource(ConfSource& source, const ConfKeyTable& table,
                             std::vector<ConfError>& errors, char delimiter) {
    endReached = false;
    LineReader lines(source);
    std::string line;
    std::string key;
    std::string value;
    std::string::size_type commentPos;
    while (lines.next(line, delimiter)) {
        splitLine(line, key, value, commentPos);
        if (endReached) break;
        dispatchLine(table, key, value, errors);
    }
    return !lines.failed();
}

ConfFile::ConfFile(std::string filePath, std::string endMarker, std::string separator,
                   std::string comment)
    : parser(std::move(endMarker), std::move(separator), std::move(comment)),
      filePath(std::move(filePath)) {}

void ConfFile::open() {
    // Read-only text mode. The runtime opens it sharing read and write, so a
    // file that the mail proxy holds open can still be read. A file still
    // open from a read that an exception ended is not opened twice.
    const bool stillOpen = isOpen();
    if (!stillOpen) file_.reset(std::fopen(filePath.c_str(), kReadTextMode));
    if (stillOpen || !file_)
        throw orbexcept::runtime_error(conftext::fillPlaceholder(kConfFileCannotOpen, filePath));
}

std::size_t ConfFile::read(char* buffer, std::size_t size) {
    if (!file_) return 0;
    const std::size_t count = std::fread(buffer, 1, size, file_.get());
    if (count == 0 && std::ferror(file_.get()))
        throw orbexcept::runtime_error(conftext::fillPlaceholder(kConfFileReadFailed, filePath));
    return count;
}

void ConfFile::parse(const ConfKeyTable& table, std::vector<ConfError>& errors, char delimiter) {
    open();
    if (!isOpen()) throw orbexcept::runtime_error(conftext::fillPlaceholder(kConfFileNotOpen, filePath));
    // Reading that failed part-way (a read error, memory exhausted) has not
    // read the whole file.
    if (!parser.parseSource(*this, table, errors, delimiter))
        throw orbexcept::runtime_error(conftext::fillPlaceholder(kConfFileReadFailed, filePath));
    file_.reset();
}
