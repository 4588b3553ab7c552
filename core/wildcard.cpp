#include "core/wildcard.h"

#include "core/chars.h"

namespace tessarin {
namespace {

// The two widths differ only in how a String holds their characters and in case folding.
const char* unitsOf(const String& s, char) {
    return s.c_str();
}
const char16_t* unitsOf(const String& s, char16_t) {
    return s.w_str();
}
void appendUnit(String& s, char c) {
    s.appendChar(c);
}
void appendUnit(String& s, char16_t c) {
    s.appendWideChar(c);
}
int32_t unitCount(const String& s, char) {
    return s.length();
}
int32_t unitCount(const String& s, char16_t) {
    return s.wideLength();
}
uint32_t folded(char c) {
    return toLowerAscii(static_cast<unsigned char>(c));
}
uint32_t folded(char16_t c) {
    return toLower(c);
}
uint32_t codeOf(char c) {
    return static_cast<unsigned char>(c);
}
uint32_t codeOf(char16_t c) {
    return c;
}

template <typename Ch>
struct Subject {
    const Ch* text;
    int32_t length;
    uint32_t options;
};

template <typename Ch>
bool sameChar(Ch a, Ch b, uint32_t options) {
    if (a == b) return true;
    return (options & kWildcardIgnoreCase) && folded(a) == folded(b);
}

template <typename Ch>
int32_t findPortion(const Subject<Ch>& s, const WildcardPortion<Ch>& p, int32_t from) {
    const Ch* wanted = unitsOf(p.text, Ch());
    for (int32_t at = from; at + p.length <= s.length; ++at) {
        int32_t k = 0;
        while (k < p.length && sameChar(s.text[at + k], wanted[k], s.options)) ++k;
        if (k == p.length) return at;
    }
    return -1;
}

template <typename Ch>
bool hasBreak(const Subject<Ch>& s, int32_t from, int32_t to) {
    for (int32_t i = from; i < to; ++i)
        if (isLineBreak(codeOf(s.text[i]))) return true;
    return false;
}

template <typename Ch>
int32_t lineEnd(const Subject<Ch>& s, int32_t from) {
    if (s.options & kWildcardAcrossLines) return s.length;
    while (from < s.length && !isLineBreak(codeOf(s.text[from]))) ++from;
    return from;
}

bool isWordChar(uint32_t c, uint32_t options) {
    if (c >= 128) return (options & kWildcardHighBytesInWords) != 0;
    return c == '_' || isAsciiAlnum(c);
}

bool isSpaceOrTab(uint32_t c) {
    return c == ' ' || c == '\t';
}

// The match [start, end) stands alone as the options ask.
template <typename Ch>
bool acceptable(const Subject<Ch>& s, int32_t start, int32_t end) {
    if (s.options & kWildcardWholeWords) {
        if (start > 0 && isWordChar(codeOf(s.text[start - 1]), s.options)) return false;
        if (end < s.length && isWordChar(codeOf(s.text[end]), s.options)) return false;
    }
    if (s.options & kWildcardWholeLines) {
        for (int32_t i = start - 1; i >= 0 && !isLineBreak(codeOf(s.text[i])); --i)
            if (!isSpaceOrTab(codeOf(s.text[i]))) return false;
        for (int32_t i = end; i < s.length && !isLineBreak(codeOf(s.text[i])); ++i)
            if (!isSpaceOrTab(codeOf(s.text[i]))) return false;
    }
    return true;
}

// Places every portion after the previous one. When the run a "*" would match crosses a line
// break, the earlier portion is searched again further on. Every step moves a portion forward,
// so the work stays polynomial in the text's length whatever the number of stars.
template <typename Ch>
bool placePortions(const Subject<Ch>& s, Vector<WildcardPortion<Ch>>& portions, int32_t from) {
    int32_t n = portions.count();
    int32_t i = 0;
    int32_t pos = from;
    while (i < n) {
        WildcardPortion<Ch>& p = portions[i];
        int32_t at = findPortion(s, p, pos);
        if (at < 0) return false;
        if (i > 0) {
            const WildcardPortion<Ch>& before = portions[i - 1];
            int32_t gapStart = before.found + before.length;
            if (!(s.options & kWildcardAcrossLines) && hasBreak(s, gapStart, at)) {
                --i;
                pos = before.found + 1;
                continue;
            }
        }
        p.found = at;
        pos = at + p.length;
        ++i;
    }
    return true;
}

template <typename Ch>
void split(const Ch* pattern, Vector<WildcardPortion<Ch>>& portions, uint32_t options) {
    portions.clear();
    WildcardPortion<Ch> current;
    bool literal = (options & kWildcardLiteral) != 0;
    for (const Ch* p = pattern; p && *p; ++p) {
        if (!literal && *p == Ch('*') && p[1] == Ch('*')) {
            appendUnit(current.text, Ch('*'));
            ++p;
        } else if (!literal && *p == Ch('*')) {
            current.length = unitCount(current.text, Ch());
            portions.append(current);
            current = WildcardPortion<Ch>();
        } else {
            appendUnit(current.text, *p);
        }
    }
    current.length = unitCount(current.text, Ch());
    portions.append(current);
}

template <typename Ch>
bool find(const Ch* text, int32_t length, int32_t start, Vector<WildcardPortion<Ch>>& portions,
          uint32_t options, WildcardOccurrence<Ch>& match) {
    if (text == nullptr || start < 0 || portions.empty()) return false;
    const WildcardPortion<Ch>& last = portions[portions.count() - 1];
    if (portions.count() == 1 && last.length == 0) return false;  // the empty pattern
    Subject<Ch> s{text, length, options};
    bool openEnd = portions.count() > 1 && last.length == 0;
    for (int32_t from = start; from <= length; ++from) {
        if (!placePortions(s, portions, from)) return false;
        int32_t first = portions[0].found;
        int32_t end = openEnd ? lineEnd(s, last.found) : last.found + last.length;
        if (end > first && acceptable(s, first, end)) {
            match.start = first;
            match.length = end - first;
            return true;
        }
        from = first;
    }
    return false;
}

template <typename Ch>
bool findPattern(const Ch* text, int32_t length, int32_t start, const Ch* pattern, uint32_t options,
                 WildcardOccurrence<Ch>& match) {
    if (pattern == nullptr) return false;
    Vector<WildcardPortion<Ch>> portions;
    split(pattern, portions, options);
    return find(text, length, start, portions, options, match);
}

template <typename Ch>
int findAll(const Ch* text, int32_t length, const Ch* pattern, uint32_t options,
            Vector<WildcardOccurrence<Ch>>& matches) {
    matches.clear();
    if (pattern == nullptr) return 0;
    Vector<WildcardPortion<Ch>> portions;
    split(pattern, portions, options);
    WildcardOccurrence<Ch> m;
    int32_t from = 0;
    while (from <= length && find(text, length, from, portions, options, m)) {
        matches.append(m);
        from = m.start + m.length;
    }
    return matches.count();
}

}  // namespace

void splitWildcardPattern(const char* pattern, Vector<WildcardA_Portion>& portions,
                          uint32_t options) {
    split(pattern, portions, options);
}
void splitWildcardPattern(const char16_t* pattern, Vector<WildcardW_Portion>& portions,
                          uint32_t options) {
    split(pattern, portions, options);
}

bool findPortions(const char* text, int32_t length, int32_t start,
                  Vector<WildcardA_Portion>& portions, uint32_t options,
                  WildcardA_Occurrence& match) {
    return find(text, length, start, portions, options, match);
}
bool findPortions(const char16_t* text, int32_t chars, int32_t start,
                  Vector<WildcardW_Portion>& portions, uint32_t options,
                  WildcardW_Occurrence& match) {
    return find(text, chars, start, portions, options, match);
}

bool findWildcard(const char* text, int32_t length, int32_t start, const char* pattern,
                  uint32_t options, WildcardA_Occurrence& match) {
    return findPattern(text, length, start, pattern, options, match);
}
bool findWildcard(const char16_t* text, int32_t chars, int32_t start, const char16_t* pattern,
                  uint32_t options, WildcardW_Occurrence& match) {
    return findPattern(text, chars, start, pattern, options, match);
}

int findAllWildcard(const char* text, int32_t length, const char* pattern, uint32_t options,
                    Vector<WildcardA_Occurrence>& matches) {
    return findAll(text, length, pattern, options, matches);
}
int findAllWildcard(const char16_t* text, int32_t chars, const char16_t* pattern, uint32_t options,
                    Vector<WildcardW_Occurrence>& matches) {
    return findAll(text, chars, pattern, options, matches);
}

}  // namespace tessarin
