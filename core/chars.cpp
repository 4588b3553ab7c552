#include "core/chars.h"

namespace tessarin {
namespace {

CharClassCallback g_callback = nullptr;

bool inRange(uint32_t c, uint32_t lo, uint32_t hi) {
    return c >= lo && c <= hi;
}

bool hooked(uint32_t c) {
    return g_callback != nullptr && c < 65536;
}

}  // namespace

bool isDigit(uint32_t c) {
    return inRange(c, '0', '9');
}
bool isHexDigit(uint32_t c) {
    return isDigit(c) || inRange(c, 'A', 'F') || inRange(c, 'a', 'f');
}
bool isAsciiLetter(uint32_t c) {
    return inRange(c, 'A', 'Z') || inRange(c, 'a', 'z');
}
bool isAsciiAlnum(uint32_t c) {
    return isDigit(c) || isAsciiLetter(c);
}
bool isIdentifierChar(uint32_t c) {
    return c == '_' || isDigit(c) || isLetter(c);
}
bool isWhiteSpace(uint32_t c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}
bool isLineBreak(uint32_t c) {
    return c == '\n' || c == '\r';
}

bool isCombiningMark(uint32_t c) {
    return inRange(c, 768, 879) || inRange(c, 6832, 6911) || inRange(c, 7616, 7679) ||
           inRange(c, 8400, 8447) || inRange(c, 65056, 65071);
}

bool isLetter(uint32_t c) {
    if (hooked(c)) return g_callback(CharClass::Letter, c) != 0;
    return isAsciiLetter(c);
}

bool isLower(uint32_t c) {
    if (hooked(c)) return g_callback(CharClass::Lower, c) != 0;
    return inRange(c, 'a', 'z') || inRange(c, 224, 246) || inRange(c, 248, 255);
}

bool isUpper(uint32_t c) {
    if (hooked(c)) return g_callback(CharClass::Upper, c) != 0;
    return inRange(c, 'A', 'Z') || inRange(c, 192, 214) || inRange(c, 216, 222) || c == 159;
}

uint32_t toLower(uint32_t c) {
    if (hooked(c)) return g_callback(CharClass::ToLower, c);
    if (inRange(c, 'A', 'Z') || inRange(c, 192, 214) || inRange(c, 216, 222)) return c + 32;
    if (c == 376) return 255;
    return c;
}

uint32_t toUpper(uint32_t c) {
    if (hooked(c)) return g_callback(CharClass::ToUpper, c);
    if (inRange(c, 'a', 'z') || inRange(c, 224, 246) || inRange(c, 248, 254)) return c - 32;
    if (c == 255) return 376;
    return c;
}

uint32_t toLowerAscii(uint32_t c) {
    return inRange(c, 'A', 'Z') ? c + 32 : c;
}
uint32_t toUpperAscii(uint32_t c) {
    return inRange(c, 'a', 'z') ? c - 32 : c;
}

void setCharClassCallback(CharClassCallback callback) {
    g_callback = callback;
}

}  // namespace tessarin
