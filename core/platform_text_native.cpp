// Native stand-ins for the system's code-page conversion and invariant comparison. They cover
// the code pages the portable code is tested with: 1252 (also as the "system" code page),
// UTF-8 and UTF-7's flag rule. They follow the Windows contract, including ERROR_INVALID_FLAGS
// for flags that UTF-8 does not accept.
#include <cstring>

#include "core/chars.h"
#include "core/platform_text.h"

namespace tessarin {
namespace {

thread_local uint32_t g_lastError = 0;

// Windows-1252 0x80..0x9F; the five undefined bytes map to the same C1 code point.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int fail(uint32_t error) {
    g_lastError = error;
    return 0;
}

bool isUtf(int cp) {
    return cp == kCodePageUtf8 || cp == kCodePageUtf7;
}

int resolve(int cp) {
    return cp == kCodePageAnsi ? 1252 : cp;
}

// Decodes UTF-8 into code units; invalid sequences become U+FFFD.
int decodeUtf8(const unsigned char* s, int n, char16_t* out, int cap) {
    int count = 0;
    auto put = [&](char16_t u) {
        if (out && count < cap) out[count] = u;
        ++count;
    };
    for (int i = 0; i < n;) {
        unsigned c = s[i];
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        uint32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 7);
        bool ok = extra >= 0 && i + extra < n;
        for (int k = 1; ok && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (ok &&
            ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) ||
             (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (!ok) {
            put(0xFFFD);
            ++i;
            continue;
        }
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (cp >> 10)));
            put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
    return count;
}

int encodeUtf8(const char16_t* s, int n, char* out, int cap) {
    int count = 0;
    auto put = [&](uint32_t b) {
        if (out && count < cap) out[count] = static_cast<char>(b);
        ++count;
    };
    for (int i = 0; i < n; ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            put(cp);
        } else if (cp < 0x800) {
            put(0xC0 | (cp >> 6));
            put(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            put(0xE0 | (cp >> 12));
            put(0x80 | ((cp >> 6) & 0x3F));
            put(0x80 | (cp & 0x3F));
        } else {
            put(0xF0 | (cp >> 18));
            put(0x80 | ((cp >> 12) & 0x3F));
            put(0x80 | ((cp >> 6) & 0x3F));
            put(0x80 | (cp & 0x3F));
        }
    }
    return count;
}

char16_t cp1252ToWide(unsigned char b) {
    return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
}

bool wideTo1252(char16_t c, char& out) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        out = static_cast<char>(c);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == c) {
            out = static_cast<char>(0x80 + i);
            return true;
        }
    }
    return false;
}

}  // namespace

int multiByteToWide(int codePage, unsigned flags, const char* src, int srcLength, char16_t* dst,
                    int dstChars) {
    codePage = resolve(codePage);
    if (!src || srcLength <= 0) return fail(kErrorInvalidParameter);
    if (isUtf(codePage) && flags != 0) return fail(kErrorInvalidFlags);
    int needed;
    if (codePage == kCodePageUtf8) {
        needed = decodeUtf8(reinterpret_cast<const unsigned char*>(src), srcLength, nullptr, 0);
        if (dst) {
            if (dstChars < needed) return fail(122);
            decodeUtf8(reinterpret_cast<const unsigned char*>(src), srcLength, dst, dstChars);
        }
        return needed;
    }
    if (codePage != 1252) return fail(kErrorInvalidParameter);
    needed = srcLength;
    if (dst) {
        if (dstChars < needed) return fail(122);
        for (int i = 0; i < srcLength; ++i)
            dst[i] = cp1252ToWide(static_cast<unsigned char>(src[i]));
    }
    return needed;
}

int wideToMultiByte(int codePage, unsigned flags, const char16_t* src, int srcChars, char* dst,
                    int dstBytes, const char* defaultChar) {
    codePage = resolve(codePage);
    if (!src || srcChars <= 0) return fail(kErrorInvalidParameter);
    if (isUtf(codePage) && (flags != 0 || defaultChar)) return fail(kErrorInvalidParameter);
    if (codePage == kCodePageUtf8) {
        int needed = encodeUtf8(src, srcChars, nullptr, 0);
        if (dst) {
            if (dstBytes < needed) return fail(122);
            encodeUtf8(src, srcChars, dst, dstBytes);
        }
        return needed;
    }
    if (codePage != 1252) return fail(kErrorInvalidParameter);
    if (dst && dstBytes < srcChars) return fail(122);
    for (int i = 0; dst && i < srcChars; ++i) {
        char c;
        dst[i] = wideTo1252(src[i], c) ? c : (defaultChar ? *defaultChar : '?');
    }
    return srcChars;
}

uint32_t lastTextError() {
    return g_lastError;
}

int systemAnsiCodePage() {
    return 1252;
}

int compareInvariantNoCase(const char16_t* a, int aChars, const char16_t* b, int bChars) {
    int n = aChars < bChars ? aChars : bChars;
    for (int i = 0; i < n; ++i) {
        uint32_t x = toLower(a[i]), y = toLower(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return aChars == bChars ? 0 : (aChars < bChars ? -1 : 1);
}

}  // namespace tessarin
