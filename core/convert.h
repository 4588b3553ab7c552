// Conversions between 8-bit text, UTF-16 text and numbers, and the 8-bit path form.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

inline constexpr int kCodePageSystem = -1;  // the system ANSI code page
inline constexpr int kCodePageUtf16Le = 1200;
inline constexpr int kCodePageUtf16Be = 1201;
inline constexpr int kCodePageUsAscii = 20127;
inline constexpr unsigned kNoBestFit = 1;  // option bit of toNarrow

// 8-bit to UTF-16. All or nothing: on failure the target is cleared and the result is false.
bool toWide(const char* src, int32_t length, String& target, int codePage = kCodePageSystem);
// UTF-16 to 8-bit, same rule. defaultChar is ignored for UTF-8 and UTF-7.
bool toNarrow(const char16_t* src, int32_t chars, String& target, int codePage = kCodePageSystem,
              const char* defaultChar = nullptr, unsigned options = 0);

// Paths in 8-bit storage: ASCII as it is, anything else "|" followed by UTF-8 (unless a code
// page is given that holds the text exactly).
bool pathToWide(const char* src, int32_t length, String& target, int codePage = 0);
void wideToPath(const char16_t* src, int32_t chars, String& target, int codePage = kCodePageSystem);
inline String pathText(const String& wide) {
    String t;
    wideToPath(wide.w_str(), wide.wideLength(), t);
    return t;
}

// Zero-extends each byte to a UTF-16 character, in place.
void widenInPlace(String& s);
// A wide String of hex digit pairs becomes the bytes they denote; -1 for an odd count, -2 for
// a non-hex digit, otherwise the new byte count.
int narrowHex(String& s);

// Numbers. parseInt returns INT32_MIN when pos is outside the text; the position advances past
// what was read.
int32_t parseInt(const char* text, int32_t length, int32_t& pos);
int32_t parseIntWide(const char16_t* text, int32_t chars, int32_t& pos);
int64_t parseUnsigned64Wide(const char16_t* text, int32_t chars, int32_t& pos);
double parseDouble(const char* text, int32_t length, int32_t& pos);
// A whole text of decimal digits only (no sign, no blanks), at most max; false for anything else.
bool parseDecimal(const String& text, int64_t max, int64_t& value);
void appendDecimal(String& s, int64_t value);
void appendDecimalWide(String& s, int64_t value);

// "%d bytes", "%.2f KB", "%.2f MB", "%.2f GB", "%.2f TB" (units of 1024).
String sizeText(uint64_t bytes);

}  // namespace tessarin
