// Walks over ANSI text by whole characters of the ANSI code page. On a
// double-byte code page (932, 936, 949, 950) a character is one byte or two:
// a lead byte together with the byte after it, whatever that byte is, unless
// it ends the text. That is how the system reads text (CharNextA, the C
// runtime's _mbsinc, the conversion to Unicode), also where the code page
// has no character for the pair: 932 has none for 81 2F, yet the system
// takes the two bytes together and the slash separates nothing. The second
// byte may thus be the byte of a backslash (Japanese "表" is 95 5C). A walk
// that looks at single bytes would find a separator inside such a character
// and cut the name in two; these routines only ever stop at a character
// boundary. On single-byte code pages every byte is a character and they
// behave like their byte-wise C runtime counterparts.
#pragma once

#include <cstddef>
#include <string>

namespace ansi {

// Whether byte begins a two-byte character of the ANSI code page (the C
// runtime's multibyte code page, which is the ANSI code page from the start).
bool isLeadByte(char byte);

// The character boundary after the character at text. A lead byte before
// the terminating NUL is a character of its own.
const char* nextChar(const char* text);

// The first and the last occurrence of the single-byte character c in text
// at a character boundary, or nullptr; like strchr and strrchr.
const char* findChar(const char* text, char c);
char* findChar(char* text, char c);
const char* findLastChar(const char* text, char c);
char* findLastChar(char* text, char c);

// The index of the last character of text that is one of the single-byte
// characters in set, or npos; like std::string::find_last_of.
std::size_t findLastOf(const std::string& text, const char* set);

// The longest length of at most limit bytes at which text can be cut
// without cutting a character in two.
std::size_t cutLength(const std::string& text, std::size_t limit);

// Turns the single-byte letters A to Z into a to z; the bytes of double-byte
// characters are left as they are.
void lowerAsciiLetters(std::string& text);

}  // namespace ansi
