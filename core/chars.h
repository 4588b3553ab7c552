// Character classes on code points. The locale-sensitive ones (letter, lower, upper and the
// case mappings) can be replaced at run time by a registered callback, used for code points
// below 65536.
#pragma once

#include <cstdint>

namespace tessarin {

bool isDigit(uint32_t c);
bool isHexDigit(uint32_t c);
bool isAsciiLetter(uint32_t c);
bool isAsciiAlnum(uint32_t c);
bool isIdentifierChar(uint32_t c);
bool isWhiteSpace(uint32_t c);
bool isLineBreak(uint32_t c);
bool isCombiningMark(uint32_t c);

bool isLetter(uint32_t c);
bool isLower(uint32_t c);
bool isUpper(uint32_t c);
uint32_t toLower(uint32_t c);
uint32_t toUpper(uint32_t c);
uint32_t toLowerAscii(uint32_t c);
uint32_t toUpperAscii(uint32_t c);

enum class CharClass { Letter, Lower, Upper, ToLower, ToUpper };
// The callback returns a truth value for the classes and the mapped code point for the
// mappings. Null restores the default.
using CharClassCallback = uint32_t (*)(CharClass what, uint32_t c);
void setCharClassCallback(CharClassCallback callback);

}  // namespace tessarin
