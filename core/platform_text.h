// The system services behind text conversion and comparison. On Windows they are the API
// (platform_text_win.cpp); the native build has equivalents for UTF-8, UTF-16 and 1252
// (platform_text_native.cpp) so that portable code can be tested on any machine.
#pragma once

#include <cstdint>

namespace tessarin {

inline constexpr int kCodePageAnsi = 0;  // CP_ACP
inline constexpr int kCodePageUtf7 = 65000;
inline constexpr int kCodePageUtf8 = 65001;
inline constexpr unsigned kMbPrecomposed = 0x1;       // MB_PRECOMPOSED
inline constexpr unsigned kWcCompositeCheck = 0x200;  // WC_COMPOSITECHECK
inline constexpr unsigned kWcNoBestFitChars = 0x400;  // WC_NO_BEST_FIT_CHARS
inline constexpr uint32_t kErrorInvalidFlags = 1004;  // ERROR_INVALID_FLAGS
inline constexpr uint32_t kErrorNoUnicodeTranslation = 1113;
inline constexpr uint32_t kErrorInvalidParameter = 87;

// Same contract as MultiByteToWideChar / WideCharToMultiByte with explicit lengths (> 0): a
// null target asks for the size; 0 means failure with the reason in lastTextError().
int multiByteToWide(int codePage, unsigned flags, const char* src, int srcLength, char16_t* dst,
                    int dstChars);
int wideToMultiByte(int codePage, unsigned flags, const char16_t* src, int srcChars, char* dst,
                    int dstBytes, const char* defaultChar);
uint32_t lastTextError();

// The system ANSI code page (1252 in the native build).
int systemAnsiCodePage();

// CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE | SORT_STRINGSORT) mapped to -1, 0, +1.
int compareInvariantNoCase(const char16_t* a, int aChars, const char16_t* b, int bChars);

}  // namespace tessarin
