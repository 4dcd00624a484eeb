#include "tests/native/native_code_page.h"

#include "common/ansi_text.h"

namespace {

bool g_doubleByte = false;

}  // namespace

void native_code_page::useDoubleByte(bool doubleByte) { g_doubleByte = doubleByte; }

bool native_code_page::endsWithHalfCharacter(const std::string& text) {
    const char* last = nullptr;
    for (const char* at = text.c_str(); *at != '\0'; at = ansi::nextChar(at)) last = at;
    return last != nullptr && last[1] == '\0' && ansi::isLeadByte(*last);
}

bool ansi::isLeadByte(char byte) {
    const unsigned char b = static_cast<unsigned char>(byte);
    return g_doubleByte && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
}
