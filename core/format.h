// printf-style formatting into Strings. The 8-bit forms follow the C runtime's conventions; the
// wide forms take a UTF-16 format and UTF-16 "%s" arguments ("%hs" takes an 8-bit text).
#pragma once

#include <cstdarg>
#include <initializer_list>

#include "core/string.h"

namespace tessarin {

inline constexpr int kFormatBufferChars = 16384;

#if defined(__MINGW32__)
#define TESSARIN_PRINTF(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define TESSARIN_PRINTF(f, a) __attribute__((format(printf, f, a)))
#endif

String format(const char* fmt, ...) TESSARIN_PRINTF(1, 2);
void formatAssign(String& s, const char* fmt, ...) TESSARIN_PRINTF(2, 3);
void formatAppend(String& s, const char* fmt, ...) TESSARIN_PRINTF(2, 3);
void formatAppendV(String& s, const char* fmt, va_list args);

String formatWide(const char16_t* fmt, ...);
void formatAssignWide(String& s, const char16_t* fmt, ...);
void formatAppendWide(String& s, const char16_t* fmt, ...);
void formatAppendWideV(String& s, const char16_t* fmt, va_list args);

// A text template of a message table filled safely: the first "%s" (UTF-16) becomes value; every
// other "%" stays as it is. For templates that come from a file rather than from the program.
String fillPlaceholder(const String& textTemplate, const String& value);
// The same for several placeholders in order: each "%s" takes the next value, each "%c" the first
// character of the next value.
String fillPlaceholders(const String& textTemplate, std::initializer_list<String> values);

// Number of times the last 8-bit format on this thread wrote its text (1, or 2 when the result
// did not fit the stack buffer).
int lastFormatPasses();

}  // namespace tessarin
