#include "config/conf_file.h"

#include "config/conf_exceptions.h"
#include "config/conf_text.h"

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

namespace {

// One line without its delimiter; false at the end of the text. A carriage
// return before a line feed is dropped on every platform, not only where the
// text mode of the runtime already does it.
bool readLine(std::istream& in, std::string& line, char delimiter) {
    if (!std::getline(in, line, delimiter)) return false;
    if (delimiter == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

}  // namespace

void ConfParser::parseStream(std::istream& in, const ConfKeyTable& table,
                             std::vector<ConfError>& errors, char delimiter) {
    endReached = false;
    std::string line;
    std::string key;
    std::string value;
    std::string::size_type commentPos;
    while (readLine(in, line, delimiter)) {
        splitLine(line, key, value, commentPos);
        if (endReached) break;
        dispatchLine(table, key, value, errors);
    }
}

ConfFile::ConfFile(std::string filePath, std::string endMarker, std::string separator,
                   std::string comment)
    : parser(std::move(endMarker), std::move(separator), std::move(comment)),
      filePath(std::move(filePath)) {}

void ConfFile::open() {
    clear();
    // Read-only text mode. The runtime opens it sharing read and write, so a
    // file that the mail proxy holds open can still be read.
    std::fstream::open(filePath, std::ios::in);
    if (fail()) throw orbexcept::runtime_error(conftext::fillPlaceholder(kConfFileCannotOpen, filePath));
}

void ConfFile::parse(const ConfKeyTable& table, std::vector<ConfError>& errors, char delimiter) {
    open();
    if (!is_open()) throw orbexcept::runtime_error(conftext::fillPlaceholder(kConfFileNotOpen, filePath));
    parser.parseStream(*this, table, errors, delimiter);
    // The line reader sets the bad bit when reading itself failed (memory
    // exhausted, a read error): what was read is not the whole file.
    if (bad()) throw orbexcept::runtime_error(conftext::fillPlaceholder(kConfFileReadFailed, filePath));
    close();
}
