// A second, plainly recursive recogniser of the host grammar, without the
// bookkeeping that keeps parseDomain linear on hostile input. Tests and the
// fuzzer compare the two on short texts.
#pragma once

#include <string>

namespace reference {

class Domain {
public:
    Domain(const std::string& text, bool skip) : s_(text), skip_(skip) {}

    bool parse(std::string& out) {
        if (s_.empty()) return false;
        std::size_t i = cfws(0);
        if (i == s_.size()) return false;
        bool ok = s_[i] == '[' ? literal(i, out) : dotAtom(i, out);
        return ok && i == s_.size();
    }

private:
    static bool wsp(unsigned char c) { return c == ' ' || c == '\t'; }
    static bool noWsCtl(unsigned char c) {
        return (c >= 1 && c <= 8) || c == 11 || c == 12 || (c >= 14 && c <= 31) || c == 127;
    }
    static bool atext(unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               (c != 0 && std::string("!#$%&'*+-/=?^_`{|}~").find(static_cast<char>(c)) != std::string::npos);
    }
    static bool dtext(unsigned char c) { return noWsCtl(c) || (c >= 33 && c <= 90) || (c >= 94 && c <= 126); }
    static bool ctext(unsigned char c) {
        return noWsCtl(c) || (c >= 33 && c <= 39) || (c >= 42 && c <= 91) || (c >= 93 && c <= 126);
    }
    static bool quotable(unsigned char c) { return c != 0 && c != 10 && c != 13 && c <= 127; }
    unsigned char at(std::size_t i) const { return i < s_.size() ? static_cast<unsigned char>(s_[i]) : 0; }

    std::size_t fws(std::size_t i) const {
        while (i < s_.size() && wsp(at(i))) ++i;
        if (i + 2 < s_.size() && at(i) == '\r' && at(i + 1) == '\n' && wsp(at(i + 2))) {
            i += 3;
            while (i < s_.size() && wsp(at(i))) ++i;
        }
        return i;
    }

    // Position after the comment at i, or npos.
    std::size_t comment(std::size_t i) const {
        ++i;
        for (;;) {
            i = fws(i);
            if (i >= s_.size()) return std::string::npos;
            unsigned char c = at(i);
            if (c == ')') return i + 1;
            if (c == '(') {
                i = comment(i);
                if (i == std::string::npos) return i;
            } else if (c == '\\' && i + 1 < s_.size() && quotable(at(i + 1))) {
                i += 2;
            } else if (ctext(c)) {
                ++i;
            } else {
                return std::string::npos;
            }
        }
    }

    std::size_t cfws(std::size_t i) const {
        if (!skip_) return i;
        for (;;) {
            i = fws(i);
            if (at(i) != '(' || i >= s_.size()) return i;
            std::size_t after = comment(i);
            if (after == std::string::npos) return i;
            i = after;
        }
    }

    void take(std::size_t& i, std::string& out) const {
        out += s_[i];
        i = cfws(i + 1);
    }

    bool dotAtom(std::size_t& i, std::string& out) const {
        if (i >= s_.size() || !atext(at(i))) return false;
        for (;;) {
            while (i < s_.size() && atext(at(i))) take(i, out);
            if (i >= s_.size() || at(i) != '.') return true;
            take(i, out);
            if (i >= s_.size() || !atext(at(i))) return false;
        }
    }

    bool literal(std::size_t& i, std::string& out) const {
        take(i, out);
        bool empty = true;
        for (;;) {
            if (i >= s_.size()) return false;
            unsigned char c = at(i);
            if (c == ']') {
                if (empty) return false;
                take(i, out);
                return true;
            }
            if (c == '\\') {
                if (i + 1 >= s_.size() || !quotable(at(i + 1))) return false;
                out += s_[i++];
            } else if (!dtext(c)) {
                return false;
            }
            take(i, out);
            empty = false;
        }
    }

    const std::string& s_;
    bool skip_;
};

}  // namespace reference
