#include "core/format.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/fatal.h"

namespace tessarin {
namespace {

thread_local int g_passes = 0;

}  // namespace

// The text is formatted into a stack buffer first; only a result that does not fit is
// formatted a second time, into a block sized to its exact length. An argument may point into
// the target itself, so that block is a new one and replaces the target only when it is full.
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
        if (int64_t(old) + n > kWholeLength - 1100) internalFatalError(kModuleCore, __LINE__);
        String result;
        result.setExactLength(old + n);
        if (old > 0) std::memcpy(result.data(), s.c_str(), static_cast<size_t>(old));
        std::vsnprintf(result.data() + old, static_cast<size_t>(n) + 1, fmt, again);
        s = std::move(result);
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

// The arguments are read before the target changes: they may point into it.
void formatAssign(String& s, const char* fmt, ...) {
    String result;
    va_list args;
    va_start(args, fmt);
    formatAppendV(result, fmt, args);
    va_end(args);
    s = std::move(result);
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

namespace {

// Argument sizes given between the precision and the conversion letter.
enum class ArgSize {
    Default,
    Char,
    Short,
    Long,
    LongLong,
    SizeT,
    IntMax,
    PtrDiff,
    LongDouble,
    Wide
};

struct Conversion {
    std::string flags;  // of "-+ #0"
    int width = -1;     // -1: none
    int precision = -1;
    ArgSize size = ArgSize::Default;
    char16_t letter = 0;
};

bool startsWith(const char16_t* p, const char16_t* prefix) {
    for (; *prefix; ++p, ++prefix)
        if (*p != *prefix) return false;
    return true;
}

int readNumber(const char16_t*& p) {
    int n = 0;
    while (*p >= u'0' && *p <= u'9' && n < 100000) n = n * 10 + (*p++ - u'0');
    while (*p >= u'0' && *p <= u'9') ++p;
    return n;
}

ArgSize readSize(const char16_t*& p) {
    static const struct {
        const char16_t* text;
        ArgSize size;
    } kSizes[] = {
        {u"hh", ArgSize::Char},      {u"h", ArgSize::Short},      {u"ll", ArgSize::LongLong},
        {u"l", ArgSize::Long},       {u"L", ArgSize::LongDouble}, {u"z", ArgSize::SizeT},
        {u"j", ArgSize::IntMax},     {u"t", ArgSize::PtrDiff},    {u"w", ArgSize::Wide},
        {u"I64", ArgSize::LongLong}, {u"I32", ArgSize::Default},  {u"I", ArgSize::SizeT}};
    for (const auto& s : kSizes) {
        if (startsWith(p, s.text)) {
            p += wideTextLength(s.text);
            return s.size;
        }
    }
    return ArgSize::Default;
}

// Reads one conversion after its "%"; p is left on the conversion letter. "*" takes the width
// or precision from the arguments.
Conversion readConversion(const char16_t*& p, va_list& args) {
    Conversion c;
    while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0')
        c.flags.push_back(static_cast<char>(*p++));
    if (*p == u'*') {
        ++p;
        c.width = va_arg(args, int);
        if (c.width < 0) {  // a negative width asks for left alignment
            c.flags.push_back('-');
            c.width = c.width == INT_MIN ? INT_MAX : -c.width;
        }
    } else if (*p >= u'0' && *p <= u'9') {
        c.width = readNumber(p);
    }
    if (*p == u'.') {
        ++p;
        if (*p == u'*') {
            ++p;
            int precision = va_arg(args, int);
            c.precision = precision < 0 ? -1 : precision;  // negative: as if none was given
        } else {
            c.precision = readNumber(p);
        }
    }
    c.size = readSize(p);
    c.letter = *p;
    return c;
}

// The C runtime's formatting of one value under the conversion's flags, width and precision.
template <typename T>
void appendPrinted(std::u16string& out, const Conversion& c, const char* size, char letter,
                   T value) {
    std::string spec = "%" + c.flags;
    if (c.width >= 0) spec += std::to_string(c.width);
    if (c.precision >= 0) spec += "." + std::to_string(c.precision);
    spec += size;
    spec.push_back(letter);
    int n = std::snprintf(nullptr, 0, spec.c_str(), value);
    if (n <= 0) return;
    std::string text(static_cast<size_t>(n), '\0');
    std::snprintf(text.data(), text.size() + 1, spec.c_str(), value);
    for (unsigned char ch : text) out.push_back(ch);
}

// Text arguments keep their own width: precision cuts, width pads with spaces.
void appendPadded(std::u16string& out, const Conversion& c, std::u16string text) {
    if (c.precision >= 0 && text.size() > static_cast<size_t>(c.precision))
        text.resize(static_cast<size_t>(c.precision));
    size_t pad = c.width > static_cast<int>(text.size()) ? c.width - text.size() : 0;
    bool left = c.flags.find('-') != std::string::npos;
    if (!left) out.append(pad, u' ');
    out += text;
    if (left) out.append(pad, u' ');
}

std::u16string widened(const char* text) {
    std::u16string wide;
    for (const char* p = text ? text : "(null)"; *p; ++p)
        wide.push_back(static_cast<unsigned char>(*p));
    return wide;
}

// An integer argument as its 64 bits, and its width in bits before promotion.
uint64_t integerArgument(ArgSize size, va_list& args, int& bits) {
    switch (size) {
        case ArgSize::Char:
            bits = 8;
            return va_arg(args, unsigned);
        case ArgSize::Short:
            bits = 16;
            return va_arg(args, unsigned);
        case ArgSize::Long:
            bits = static_cast<int>(sizeof(unsigned long) * 8);
            return va_arg(args, unsigned long);
        case ArgSize::LongLong:
            bits = 64;
            return va_arg(args, unsigned long long);
        case ArgSize::SizeT:
        case ArgSize::PtrDiff:
            bits = static_cast<int>(sizeof(size_t) * 8);
            return va_arg(args, size_t);
        case ArgSize::IntMax:
            bits = 64;
            return va_arg(args, uintmax_t);
        default:
            bits = static_cast<int>(sizeof(unsigned) * 8);
            return va_arg(args, unsigned);
    }
}

void appendInteger(std::u16string& out, const Conversion& c, va_list& args, bool isSigned) {
    int bits = 64;
    uint64_t v = integerArgument(c.size, args, bits);
    int unused = 64 - bits;
    if (unused > 0) v &= ~uint64_t{0} >> unused;
    char letter = static_cast<char>(c.letter);
    if (!isSigned) {
        appendPrinted(out, c, "ll", letter, static_cast<unsigned long long>(v));
        return;
    }
    // The sign bit of the argument's own width spreads over the upper bits.
    if (unused > 0 && (v >> (bits - 1)) & 1) v |= ~uint64_t{0} << bits;
    appendPrinted(out, c, "ll", letter, static_cast<long long>(v));
}

void appendFloating(std::u16string& out, const Conversion& c, va_list& args) {
    if (c.size == ArgSize::LongDouble)
        appendPrinted(out, c, "L", static_cast<char>(c.letter), va_arg(args, long double));
    else
        appendPrinted(out, c, "", static_cast<char>(c.letter), va_arg(args, double));
}

// Formats one conversion, taking exactly the arguments it names. False for a conversion
// letter it does not know: the type of its argument is unknown, so no further argument can be
// read safely.
bool appendConversion(std::u16string& out, const Conversion& c, va_list& args) {
    switch (c.letter) {
        case u'%':
            out.push_back(u'%');
            return true;
        case u's':
        case u'S': {
            if (c.letter == u'S' || c.size == ArgSize::Short) {
                appendPadded(out, c, widened(va_arg(args, const char*)));
            } else {
                const char16_t* a = va_arg(args, const char16_t*);
                appendPadded(out, c, a ? std::u16string(a) : std::u16string(u"(null)"));
            }
            return true;
        }
        case u'c':
        case u'C': {
            int ch = va_arg(args, int);
            bool narrow = c.letter == u'C' || c.size == ArgSize::Short;
            char16_t unit = narrow ? static_cast<unsigned char>(ch) : static_cast<char16_t>(ch);
            appendPadded(out, c, std::u16string(1, unit));
            return true;
        }
        case u'd':
        case u'i':
            appendInteger(out, c, args, true);
            return true;
        case u'u':
        case u'x':
        case u'X':
        case u'o':
            appendInteger(out, c, args, false);
            return true;
        case u'f':
        case u'F':
        case u'e':
        case u'E':
        case u'g':
        case u'G':
        case u'a':
        case u'A':
            appendFloating(out, c, args);
            return true;
        case u'p':
            appendPrinted(out, c, "", 'p', va_arg(args, void*));
            return true;
        case u'n':
            va_arg(args, void*);  // the count is never written back
            return true;
        default:
            return false;
    }
}

}  // namespace

// Wide formatting walks the UTF-16 format itself: "%s" arguments are UTF-16 on every
// platform, which the C runtime's wide printf does not guarantee ("%hs" and "%S" take 8-bit
// text). Numbers are formatted by the 8-bit printf with the same flags, width and precision.
void formatAppendWideV(String& s, const char16_t* fmt, va_list args) {
    std::u16string out;
    va_list walk;
    va_copy(walk, args);
    for (const char16_t* p = fmt; p && *p; ++p) {
        if (*p != u'%') {
            out.push_back(*p);
            continue;
        }
        const char16_t* opening = p++;
        Conversion c = readConversion(p, walk);
        if (*p == 0 || !appendConversion(out, c, walk)) {
            out.append(opening);  // the rest stays as written
            break;
        }
    }
    va_end(walk);
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
    String result;
    va_list args;
    va_start(args, fmt);
    formatAppendWideV(result, fmt, args);
    va_end(args);
    s = std::move(result);
}

void formatAppendWide(String& s, const char16_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    formatAppendWideV(s, fmt, args);
    va_end(args);
}

String fillPlaceholders(const String& textTemplate, std::initializer_list<String> values) {
    String text = textTemplate;
    const String* next = values.begin();
    for (int32_t i = 0; next != values.end() && i + 1 < text.wideLength(); ++i) {
        char16_t kind = text.w_str()[i + 1];
        if (text.w_str()[i] != u'%' || (kind != u's' && kind != u'c')) continue;
        // A "%c" takes the first character of its value.
        int32_t chars = kind == u'c' ? (next->wideLength() > 0 ? 1 : 0) : next->wideLength();
        text.replaceWide(i, 2, next->w_str(), chars);
        i += chars - 1;
        ++next;
    }
    return text;
}

String fillPlaceholder(const String& textTemplate, const String& value) {
    return fillPlaceholders(textTemplate, {value});
}

}  // namespace tessarin
