// Host names as the domain rule of RFC 2822 (section 3.4.1) writes them, in
// its two modern forms: a dot-atom ("mail.example") or a domain literal
// ("[127.0.0.1]"). Comments "( ... )" and folding white space may be skipped
// before, after and between any two characters; they are never copied.
//
// Every loop here is iterative and linear: input comes from a user-editable
// file, so deeply nested comments or megabytes of brackets must neither
// overflow the stack nor take quadratic time.
#include "config/conf_values.h"

#include <new>
#include <vector>

namespace {

// std::bad_alloc with the text the reader's callers log for a working buffer
// that could not be allocated.
class BadAllocation : public std::bad_alloc {
public:
    const char* what() const noexcept override { return "bad allocation"; }
};

using Byte = unsigned char;

bool isAlpha(Byte c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(Byte c) { return c >= '0' && c <= '9'; }
bool isWsp(Byte c) { return c == ' ' || c == '\t'; }

bool isAtext(Byte c) {
    if (isAlpha(c) || isDigit(c)) return true;
    switch (c) {
    case '!': case '#': case '$': case '%': case '&': case '\'': case '*': case '+':
    case '-': case '/': case '=': case '?': case '^': case '_': case '`': case '{':
    case '|': case '}': case '~':
        return true;
    default:
        return false;
    }
}

// NO-WS-CTL: control bytes other than tab, line feed and carriage return.
bool isNoWsCtl(Byte c) { return (c >= 1 && c <= 8) || c == 11 || c == 12 || (c >= 14 && c <= 31) || c == 127; }

bool isDtext(Byte c) { return isNoWsCtl(c) || (c >= 33 && c <= 90) || (c >= 94 && c <= 126); }

bool isCtext(Byte c) {
    return isNoWsCtl(c) || (c >= 33 && c <= 39) || (c >= 42 && c <= 91) || (c >= 93 && c <= 126);
}

// The byte after a backslash in a quoted pair.
bool isQuotable(Byte c) { return (c >= 1 && c <= 9) || c == 11 || c == 12 || (c >= 14 && c <= 127); }

class DomainParser {
public:
    DomainParser(const Byte* begin, const Byte* end, bool skipCfws)
        : pos_(begin), end_(end), skip_(skipCfws) {}

    bool parse(std::string& out) {
        if (pos_ == end_) return false;
        skipCfws();
        if (pos_ == end_) return false;
        bool recognised = *pos_ == '[' ? parseLiteral(out) : parseDotAtom(out);
        return recognised && pos_ == end_;
    }

private:
    bool at(Byte c) const { return pos_ != end_ && *pos_ == c; }

    // Copies the byte under the cursor and skips what may follow it.
    void take(std::string& out) {
        out += static_cast<char>(*pos_++);
        skipCfws();
    }

    bool parseDotAtom(std::string& out) {
        if (pos_ == end_ || !isAtext(*pos_)) return false;
        for (;;) {
            while (pos_ != end_ && isAtext(*pos_)) take(out);
            if (!at('.')) return true;
            take(out);
            if (pos_ == end_ || !isAtext(*pos_)) return false;
        }
    }

    bool parseLiteral(std::string& out) {
        take(out);  // "["
        bool empty = true;
        for (;;) {
            if (pos_ == end_) return false;
            Byte c = *pos_;
            if (c == ']') {
                if (empty) return false;
                take(out);
                return true;
            }
            if (c == '\\') {
                if (end_ - pos_ < 2 || !isQuotable(pos_[1])) return false;
                out += static_cast<char>(*pos_++);
            } else if (!isDtext(c)) {
                return false;
            }
            take(out);
            empty = false;
        }
    }

    // Comments and folding white space, as many as follow each other; two
    // runs of folding white space never stand side by side.
    void skipCfws() {
        if (!skip_) return;
        for (;;) {
            pos_ = afterFws(pos_);
            if (!at('(') || !skipComment()) return;
        }
    }

    // A run of blanks and tabs, which one CR LF may interrupt as long as a
    // blank or tab follows it.
    const Byte* afterFws(const Byte* p) const {
        while (p != end_ && isWsp(*p)) ++p;
        if (end_ - p >= 3 && p[0] == '\r' && p[1] == '\n' && isWsp(p[2])) {
            p += 3;
            while (p != end_ && isWsp(*p)) ++p;
        }
        return p;
    }

    // A comment at the cursor, nested comments included. On success the
    // cursor moves past it.
    //
    // Inside a domain literal a "(" that opens no complete comment is an
    // ordinary character, so a failed comment is met again at every "(" it
    // contains. The "(" still open where a scan failed are remembered: a
    // scan from any of them would fail at the same place, so it is not
    // repeated. A "(" not among them closes before that place.
    bool skipComment() {
        if (knownToFail()) return false;
        open_.clear();
        const Byte* p = pos_;
        for (;;) {
            if (p != end_ && *p == '(') {
                open_.push_back(p++);
            } else if (p != end_ && *p == ')') {
                open_.pop_back();
                ++p;
                if (open_.empty()) {
                    pos_ = p;
                    return true;
                }
            } else if (p != end_ && *p == '\\' && end_ - p >= 2 && isQuotable(p[1])) {
                p += 2;
            } else if (p != end_ && isCtext(*p)) {
                ++p;
            } else {
                failedAt_ = p;
                unclosed_.swap(open_);
                nextUnclosed_ = 0;
                return false;
            }
            p = afterFws(p);
        }
    }

    // The cursor only moves forward, so the "(" remembered from the last
    // failed scan are passed in order.
    bool knownToFail() {
        if (failedAt_ == nullptr || pos_ >= failedAt_) return false;
        while (nextUnclosed_ < unclosed_.size() && unclosed_[nextUnclosed_] < pos_) ++nextUnclosed_;
        return nextUnclosed_ < unclosed_.size() && unclosed_[nextUnclosed_] == pos_;
    }

    const Byte* pos_;
    const Byte* end_;
    bool skip_;
    std::vector<const Byte*> open_;
    std::vector<const Byte*> unclosed_;
    std::size_t nextUnclosed_ = 0;
    const Byte* failedAt_ = nullptr;
};

}  // namespace

bool parseDomain(std::string& out, const char* begin, const char* end, bool skipCfws) {
    std::string domain;
    try {
        domain.reserve(static_cast<std::size_t>(end - begin) + 1);
    } catch (const std::bad_alloc&) {
        throw BadAllocation();
    }
    DomainParser parser(reinterpret_cast<const Byte*>(begin), reinterpret_cast<const Byte*>(end), skipCfws);
    if (!parser.parse(domain)) return false;
    out.swap(domain);
    return true;
}
