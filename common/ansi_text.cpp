#include "common/ansi_text.h"

#include <cstring>

#if defined(_WIN32)
#include <mbctype.h>

bool ansi::isLeadByte(char byte) {
    return _ismbblead(static_cast<unsigned char>(byte)) != 0;
}
#endif
// The native build (tests only) defines isLeadByte itself, so that its fuzz
// targets can walk texts of a double-byte code page too.

namespace ansi {
namespace {

bool isDoubleByte(char first, char second) {
    return isLeadByte(first) && second != '\0';
}

// Bytes of the character at index at of text, which may hold NULs: like
// nextChar, a lead byte before a NUL, or before the end, is a character of
// its own.
std::size_t charLength(const std::string& text, std::size_t at) {
    return at + 1 < text.size() && isDoubleByte(text[at], text[at + 1]) ? 2 : 1;
}

}  // namespace

const char* nextChar(const char* text) {
    return isDoubleByte(text[0], text[1]) ? text + 2 : text + 1;
}

const char* findChar(const char* text, char c) {
    for (; *text != '\0'; text = nextChar(text)) {
        if (*text == c) return text;
    }
    return nullptr;
}

char* findChar(char* text, char c) {
    return const_cast<char*>(findChar(static_cast<const char*>(text), c));
}

const char* findLastChar(const char* text, char c) {
    const char* last = nullptr;
    for (; *text != '\0'; text = nextChar(text)) {
        if (*text == c) last = text;
    }
    return last;
}

char* findLastChar(char* text, char c) {
    return const_cast<char*>(findLastChar(static_cast<const char*>(text), c));
}

std::size_t findLastOf(const std::string& text, const char* set) {
    std::size_t last = std::string::npos;
    for (std::size_t at = 0; at < text.size(); at += charLength(text, at)) {
        if (text[at] != '\0' && std::strchr(set, text[at]) != nullptr) last = at;
    }
    return last;
}

std::size_t cutLength(const std::string& text, std::size_t limit) {
    std::size_t at = 0;
    while (at < text.size() && at + charLength(text, at) <= limit) at += charLength(text, at);
    return at;
}

void lowerAsciiLetters(std::string& text) {
    for (std::size_t at = 0; at < text.size(); at += charLength(text, at)) {
        if (text[at] >= 'A' && text[at] <= 'Z') text[at] = static_cast<char>(text[at] - 'A' + 'a');
    }
}

}  // namespace ansi
