#include "core/convert.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/chars.h"
#include "core/platform_text.h"

namespace tessarin {
namespace {

int resolveCodePage(int codePage) {
    if (codePage == kCodePageSystem) return kCodePageAnsi;
    if (codePage == kCodePageUsAscii) return 1252;
    return codePage;
}

int32_t measure(const char* src, int32_t length) {
    if (!src || length <= 0) return 0;
    return length == kWholeLength ? static_cast<int32_t>(narrowTextLength(src)) : length;
}

int32_t measureWide(const char16_t* src, int32_t chars) {
    if (!src || chars <= 0) return 0;
    return chars == kWholeLength ? static_cast<int32_t>(wideTextLength(src)) : chars;
}

}  // namespace

bool toWide(const char* src, int32_t length, String& target, int codePage) {
    int32_t n = measure(src, length);
    if (n == 0) {
        target.clear();
        return true;
    }
    if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be) {
        String result(src, n & ~1);
        if (codePage == kCodePageUtf16Be) {
            char* d = result.data();
            for (int32_t i = 0; d && i + 1 < result.length(); i += 2) std::swap(d[i], d[i + 1]);
        }
        target = std::move(result);
        return true;
    }
    int cp = resolveCodePage(codePage);
    unsigned flags = kMbPrecomposed;
    int chars = multiByteToWide(cp, flags, src, n, nullptr, 0);
    if (chars == 0 && lastTextError() == kErrorInvalidFlags) {
        flags = 0;
        chars = multiByteToWide(cp, flags, src, n, nullptr, 0);
    }
    String result;
    if (chars > 0) {
        result.setWideLength(chars);
        if (multiByteToWide(cp, flags, src, n, result.wideData(), chars) == chars) {
            target = std::move(result);
            return true;
        }
    }
    target.clear();
    return false;
}

bool toNarrow(const char16_t* src, int32_t chars, String& target, int codePage,
              const char* defaultChar, unsigned options) {
    int32_t n = measureWide(src, chars);
    if (n == 0) {
        target.clear();
        return true;
    }
    if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be) {
        String result(reinterpret_cast<const char*>(src), n * 2);
        if (codePage == kCodePageUtf16Be) {
            char* d = result.data();
            for (int32_t i = 0; i + 1 < result.length(); i += 2) std::swap(d[i], d[i + 1]);
        }
        target = std::move(result);
        return true;
    }
    int cp = resolveCodePage(codePage);
    unsigned flags = 0;
    if (cp == kCodePageUtf8 || cp == kCodePageUtf7) {
        defaultChar = nullptr;
    } else {
        flags = kWcCompositeCheck | ((options & kNoBestFit) ? kWcNoBestFitChars : 0);
    }
    int bytes = wideToMultiByte(cp, flags, src, n, nullptr, 0, defaultChar);
    if (bytes == 0 && flags != 0 && lastTextError() == kErrorInvalidFlags) {
        flags = 0;
        bytes = wideToMultiByte(cp, flags, src, n, nullptr, 0, defaultChar);
    }
    String result;
    if (bytes > 0) {
        result.setLength(bytes);
        if (wideToMultiByte(cp, flags, src, n, result.data(), bytes, defaultChar) == bytes) {
            target = std::move(result);
            return true;
        }
    }
    target.clear();
    return false;
}

bool pathToWide(const char* src, int32_t length, String& target, int codePage) {
    int32_t n = measure(src, length);
    if (n > 0 && src[0] == '|') return toWide(src + 1, n - 1, target, kCodePageUtf8);
    return toWide(src, n, target, codePage);
}

void wideToPath(const char16_t* src, int32_t chars, String& target, int codePage) {
    int32_t n = measureWide(src, chars);
    bool ascii = true;
    for (int32_t i = 0; i < n && ascii; ++i) ascii = src[i] < 128;
    if (ascii) {
        String result;
        if (n > 0) {
            result.setLength(n);
            for (int32_t i = 0; i < n; ++i) result.data()[i] = static_cast<char>(src[i]);
        }
        target = std::move(result);
        return;
    }
    if (codePage != kCodePageSystem) {
        String narrow, back;
        if (toNarrow(src, n, narrow, codePage, "?") &&
            toWide(narrow.c_str(), narrow.length(), back, codePage) && back.wideLength() == n &&
            std::char_traits<char16_t>::compare(back.w_str(), src, static_cast<size_t>(n)) == 0) {
            target = std::move(narrow);
            return;
        }
    }
    String utf8;
    toNarrow(src, n, utf8, kCodePageUtf8);
    String result("|", 1);
    result.append(utf8);
    target = std::move(result);
}

void widenInPlace(String& s) {
    int32_t n = s.length();
    if (n <= 0) return;
    s.setLength(n * 2);
    char* d = s.data();
    for (int32_t i = n - 1; i >= 0; --i) {
        d[2 * i] = d[i];
        d[2 * i + 1] = 0;
    }
}

int narrowHex(String& s) {
    int32_t chars = s.wideLength();
    if (chars % 2 != 0) return -1;
    std::string bytes;
    const char16_t* w = s.w_str();
    auto value = [](char16_t c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    for (int32_t i = 0; i < chars; i += 2) {
        if (!isHexDigit(w[i]) || !isHexDigit(w[i + 1])) return -2;
        bytes.push_back(static_cast<char>(value(w[i]) * 16 + value(w[i + 1])));
    }
    s.assign(bytes.data(), static_cast<int32_t>(bytes.size()));
    return static_cast<int>(bytes.size());
}

namespace {

template <typename Ch>
int32_t parseIntImpl(const Ch* text, int32_t n, int32_t& pos) {
    if (pos < 0 || pos >= n) return INT32_MIN;
    bool negative = false;
    if (text[pos] == Ch('+') || text[pos] == Ch('-')) negative = text[pos++] == Ch('-');
    uint32_t value = 0;
    while (pos < n && isDigit(text[pos]))
        value = value * 10 + static_cast<uint32_t>(text[pos++] - Ch('0'));
    return static_cast<int32_t>(negative ? 0u - value : value);
}

}  // namespace

int32_t parseInt(const char* text, int32_t length, int32_t& pos) {
    return parseIntImpl(text, measure(text, length), pos);
}

int32_t parseIntWide(const char16_t* text, int32_t chars, int32_t& pos) {
    return parseIntImpl(text, measureWide(text, chars), pos);
}

int64_t parseUnsigned64Wide(const char16_t* text, int32_t chars, int32_t& pos) {
    int32_t n = measureWide(text, chars);
    if (pos < 0 || pos >= n) return -1;
    uint64_t value = 0;
    while (pos < n && isDigit(text[pos]))
        value = value * 10 + static_cast<uint64_t>(text[pos++] - u'0');
    return static_cast<int64_t>(value);
}

double parseDouble(const char* text, int32_t length, int32_t& pos) {
    int32_t n = measure(text, length);
    if (pos < 0 || pos >= n) return 0.0;
    std::string piece(text + pos, static_cast<size_t>(n - pos));
    char* end = nullptr;
    double v = std::strtod(piece.c_str(), &end);
    pos += static_cast<int32_t>(end - piece.c_str());
    return v;
}

bool parseDecimal(const String& text, int64_t max, int64_t& value) {
    if (text.empty() || text.length() > 10) return false;
    value = 0;
    for (int32_t i = 0; i < text.length(); ++i) {
        char c = text.get(i);
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value <= max;
}

void appendDecimal(String& s, int64_t value) {
    char buf[32];
    int n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
    s.append(buf, n);
}

void appendDecimalWide(String& s, int64_t value) {
    char buf[32];
    int n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
    for (int i = 0; i < n; ++i) s.appendWideChar(static_cast<char16_t>(buf[i]));
}

String sizeText(uint64_t bytes) {
    char buf[64];
    const double kib = 1024.0;
    if (bytes < 1024)
        std::snprintf(buf, sizeof buf, "%d bytes", static_cast<int>(bytes));
    else if (bytes < 1024ull * 1024)
        std::snprintf(buf, sizeof buf, "%.2f KB", static_cast<double>(bytes) / kib);
    else if (bytes < 1024ull * 1024 * 1024)
        std::snprintf(buf, sizeof buf, "%.2f MB", static_cast<double>(bytes) / (kib * kib));
    else if ((bytes >> 32) < 256)
        std::snprintf(buf, sizeof buf, "%.2f GB", static_cast<double>(bytes) / (kib * kib * kib));
    else
        std::snprintf(buf, sizeof buf, "%.2f TB",
                      static_cast<double>(bytes) / (kib * kib * kib * kib));
    return String(buf);
}

}  // namespace tessarin
