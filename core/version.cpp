#include "core/version.h"

#include <climits>
#include <vector>

#include "core/chars.h"

namespace tessarin {
namespace {

constexpr int kComparableWidth = 10;
// Digit runs saturate here instead of overflowing; no real version comes near it.
constexpr uint64_t kLargestNumber = UINT64_MAX / 10 - 10;

struct ParsedVersion {
    std::vector<uint64_t> numbers;
    int suffix = 0;  // the last letter seen, 0 for none
};

template <typename Ch>
bool isDecimal(Ch c) {
    return c >= Ch('0') && c <= Ch('9');
}

// Digit runs become numbers and take the character after them along (the dot of "1.2", the
// letter of "2.0b"); a dot before the first number stands for 0 (".5" is "0.5").
template <typename Ch>
ParsedVersion parse(const Ch* s) {
    ParsedVersion v;
    size_t i = 0;
    while (s[i]) {
        Ch c = s[i];
        if (isDecimal(c)) {
            uint64_t n = 0;
            for (; isDecimal(s[i]); ++i) {
                n = n * 10 + static_cast<uint64_t>(s[i] - Ch('0'));
                if (n > kLargestNumber) n = kLargestNumber;
            }
            v.numbers.push_back(n);
            if (s[i] == 0) break;
            c = s[i];
        } else if (c == Ch('.') && v.numbers.empty()) {
            v.numbers.push_back(0);
        }
        if (isAsciiLetter(c)) v.suffix = static_cast<int>(c);
        ++i;
    }
    return v;
}

int clampedDifference(uint64_t a, uint64_t b) {
    if (a >= b) return a - b > static_cast<uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(a - b);
    return b - a > static_cast<uint64_t>(INT_MAX) ? -INT_MAX : -static_cast<int>(b - a);
}

template <typename Ch>
int compare(const Ch* a, const Ch* b) {
    static const Ch empty[1] = {0};
    ParsedVersion x = parse(a ? a : empty);
    ParsedVersion y = parse(b ? b : empty);
    size_t common = x.numbers.size() < y.numbers.size() ? x.numbers.size() : y.numbers.size();
    for (size_t i = 0; i < common; ++i) {
        if (x.numbers[i] != y.numbers[i]) return clampedDifference(x.numbers[i], y.numbers[i]);
    }
    if (x.numbers.size() != y.numbers.size()) return x.numbers.size() > y.numbers.size() ? 1 : -1;
    return x.suffix - y.suffix;
}

void appendPadded(String& out, const char* component, int32_t length) {
    for (int32_t k = length; k < kComparableWidth; ++k) out.appendChar('0');
    out.append(component, length);
}

}  // namespace

int compareVersions(const char* a, const char* b) {
    return compare(a, b);
}

int compareVersionsWide(const char16_t* a, const char16_t* b) {
    return compare(a, b);
}

String cleanVersionText(const char* text) {
    String out;
    for (const char* p = text ? text : ""; *p; ++p) {
        char c = *p;
        if (c == ' ' || c == '\r' || c == '\n' || c == '\t') continue;
        out.appendChar(c == ',' ? '.' : c);
    }
    return out;
}

String comparableVersionText(const char* text) {
    String out;
    if (text == nullptr || text[0] == 0) return out;
    const char* start = text;
    for (const char* p = text;; ++p) {
        if (*p == '.' || *p == 0) {
            if (start != text) out.appendChar('.');
            appendPadded(out, start, static_cast<int32_t>(p - start));
            if (*p == 0) break;
            start = p + 1;
        }
    }
    return out;
}

}  // namespace tessarin
