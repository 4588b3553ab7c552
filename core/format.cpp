#include "core/format.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace tessarin {
namespace {

thread_local int g_passes = 0;

}  // namespace

// The text is formatted into a stack buffer first; only a result that does not fit is
// formatted a second time, directly into the String sized to its exact length.
void formatAppendV(String& s, const char* fmt, va_list args) {
    char buffer[kFormatBufferChars];
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
    g_passes = 1;
    if (n > 0 && n < kFormatBufferChars) {
        s.append(buffer, n);
    } else if (n >= kFormatBufferChars) {
        g_passes = 2;
        int32_t old = s.length();
        s.setLength(old + n);
        std::vsnprintf(s.data() + old, static_cast<size_t>(n) + 1, fmt, again);
    }
    va_end(again);
}

String format(const char* fmt, ...) {
    String s;
    va_list args;
    va_start(args, fmt);
    formatAppendV(s, fmt, args);
    va_end(args);
    return s;
}

void formatAssign(String& s, const char* fmt, ...) {
    s.clear();
    va_list args;
    va_start(args, fmt);
    formatAppendV(s, fmt, args);
    va_end(args);
}

void formatAppend(String& s, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    formatAppendV(s, fmt, args);
    va_end(args);
}

int lastFormatPasses() {
    return g_passes;
}

// Wide formatting walks the UTF-16 format itself: "%s" arguments are UTF-16 on every
// platform, which the C runtime's wide printf does not guarantee. Numbers are formatted by
// the 8-bit printf with the same conversion specification.
void formatAppendWideV(String& s, const char16_t* fmt, va_list args) {
    std::u16string out;
    for (const char16_t* p = fmt; p && *p; ++p) {
        if (*p != u'%') {
            out.push_back(*p);
            continue;
        }
        std::string spec = "%";
        ++p;
        while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0')
            spec.push_back(static_cast<char>(*p++));
        int width = -1, precision = -1;
        if (*p == u'*') {
            width = va_arg(args, int);
            ++p;
        }
        while (*p >= u'0' && *p <= u'9') spec.push_back(static_cast<char>(*p++));
        if (width >= 0) spec += std::to_string(width);
        if (*p == u'.') {
            spec.push_back('.');
            ++p;
            if (*p == u'*') {
                precision = va_arg(args, int);
                spec += std::to_string(precision);
                ++p;
            }
            while (*p >= u'0' && *p <= u'9') spec.push_back(static_cast<char>(*p++));
        }
        std::string length;
        while (*p == u'h' || *p == u'l' || *p == u'z' || *p == u'I' || *p == u'6' || *p == u'4' ||
               *p == u'L')
            length.push_back(static_cast<char>(*p++));
        char conv = static_cast<char>(*p);
        if (!*p) break;
        char piece[512];
        int n = 0;
        switch (conv) {
            case '%':
                out.push_back(u'%');
                continue;
            case 's': {
                if (length == "h") {
                    const char* a = va_arg(args, const char*);
                    spec += "s";
                    std::string tmp(static_cast<size_t>(
                                        std::snprintf(nullptr, 0, spec.c_str(), a ? a : "(null)")),
                                    '\0');
                    std::snprintf(tmp.data(), tmp.size() + 1, spec.c_str(), a ? a : "(null)");
                    for (unsigned char c : tmp) out.push_back(c);
                    continue;
                }
                const char16_t* a = va_arg(args, const char16_t*);
                std::u16string text = a ? std::u16string(a) : std::u16string(u"(null)");
                // Apply precision and width by hand.
                int prec = -1, wid = 0;
                bool left = spec.find('-') != std::string::npos;
                size_t dot = spec.find('.');
                std::string digits =
                    spec.substr(1, dot == std::string::npos ? std::string::npos : dot - 1);
                size_t firstDigit = digits.find_first_of("123456789");
                if (firstDigit != std::string::npos) wid = std::atoi(digits.c_str() + firstDigit);
                if (dot != std::string::npos) prec = std::atoi(spec.c_str() + dot + 1);
                if (prec >= 0 && text.size() > static_cast<size_t>(prec))
                    text.resize(static_cast<size_t>(prec));
                std::u16string pad(wid > static_cast<int>(text.size()) ? wid - text.size() : 0,
                                   u' ');
                out += left ? text + pad : pad + text;
                continue;
            }
            case 'c': {
                out.push_back(static_cast<char16_t>(va_arg(args, int)));
                continue;
            }
            case 'd':
            case 'i':
            case 'u':
            case 'x':
            case 'X':
            case 'o':
                spec += length == "I64" || length == "ll" ? "ll"
                        : length == "z"                   ? "z"
                        : length == "l"                   ? "l"
                                                          : "";
                spec.push_back(conv);
                if (length == "I64" || length == "ll")
                    n = std::snprintf(piece, sizeof piece, spec.c_str(), va_arg(args, long long));
                else if (length == "z")
                    n = std::snprintf(piece, sizeof piece, spec.c_str(), va_arg(args, size_t));
                else if (length == "l")
                    n = std::snprintf(piece, sizeof piece, spec.c_str(), va_arg(args, long));
                else
                    n = std::snprintf(piece, sizeof piece, spec.c_str(), va_arg(args, int));
                break;
            case 'f':
            case 'g':
            case 'e':
                spec.push_back(conv);
                n = std::snprintf(piece, sizeof piece, spec.c_str(), va_arg(args, double));
                break;
            default:
                out.push_back(u'%');
                out.push_back(*p);
                continue;
        }
        for (int i = 0; i < n && i < static_cast<int>(sizeof piece); ++i)
            out.push_back(static_cast<unsigned char>(piece[i]));
    }
    s.appendWide(out.data(), static_cast<int32_t>(out.size()));
}

String formatWide(const char16_t* fmt, ...) {
    String s;
    va_list args;
    va_start(args, fmt);
    formatAppendWideV(s, fmt, args);
    va_end(args);
    return s;
}

void formatAssignWide(String& s, const char16_t* fmt, ...) {
    s.clear();
    va_list args;
    va_start(args, fmt);
    formatAppendWideV(s, fmt, args);
    va_end(args);
}

void formatAppendWide(String& s, const char16_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    formatAppendWideV(s, fmt, args);
    va_end(args);
}

}  // namespace tessarin
