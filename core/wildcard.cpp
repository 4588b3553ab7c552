#include "core/wildcard.h"

#include "core/chars.h"

namespace tessarin {
namespace {

struct Subject {
    const char* text;
    int32_t length;
    uint32_t options;
};

bool isBreak(char c) {
    return c == '\r' || c == '\n';
}

bool sameChar(char a, char b, uint32_t options) {
    if (a == b) return true;
    if (!(options & kWildcardIgnoreCase)) return false;
    return toLowerAscii(static_cast<unsigned char>(a)) ==
           toLowerAscii(static_cast<unsigned char>(b));
}

int32_t findPortion(const Subject& s, const WildcardA_Portion& p, int32_t from) {
    for (int32_t at = from; at + p.length <= s.length; ++at) {
        int32_t k = 0;
        while (k < p.length && sameChar(s.text[at + k], p.text.c_str()[k], s.options)) ++k;
        if (k == p.length) return at;
    }
    return -1;
}

bool hasBreak(const Subject& s, int32_t from, int32_t to) {
    for (int32_t i = from; i < to; ++i)
        if (isBreak(s.text[i])) return true;
    return false;
}

int32_t lineEnd(const Subject& s, int32_t from) {
    if (s.options & kWildcardAcrossLines) return s.length;
    while (from < s.length && !isBreak(s.text[from])) ++from;
    return from;
}

bool isWordChar(char c, uint32_t options) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 128) return (options & kWildcardHighBytesInWords) != 0;
    return u == '_' || isAsciiAlnum(u);
}

bool isSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

// The match [start, end) stands alone as the options ask.
bool acceptable(const Subject& s, int32_t start, int32_t end) {
    if (s.options & kWildcardWholeWords) {
        if (start > 0 && isWordChar(s.text[start - 1], s.options)) return false;
        if (end < s.length && isWordChar(s.text[end], s.options)) return false;
    }
    if (s.options & kWildcardWholeLines) {
        for (int32_t i = start - 1; i >= 0 && !isBreak(s.text[i]); --i)
            if (!isSpaceOrTab(s.text[i])) return false;
        for (int32_t i = end; i < s.length && !isBreak(s.text[i]); ++i)
            if (!isSpaceOrTab(s.text[i])) return false;
    }
    return true;
}

// Places every portion after the previous one. When the run a "*" would match crosses a line
// break, the earlier portion is searched again further on.
bool placePortions(const Subject& s, Vector<WildcardA_Portion>& portions, int32_t from) {
    int32_t n = portions.count();
    int32_t i = 0;
    int32_t pos = from;
    while (i < n) {
        WildcardA_Portion& p = portions[i];
        int32_t at = findPortion(s, p, pos);
        if (at < 0) return false;
        if (i > 0) {
            const WildcardA_Portion& before = portions[i - 1];
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

}  // namespace

void splitWildcardPattern(const char* pattern, Vector<WildcardA_Portion>& portions) {
    portions.clear();
    WildcardA_Portion current;
    for (const char* p = pattern ? pattern : ""; *p; ++p) {
        if (*p == '*' && p[1] == '*') {
            current.text.appendChar('*');
            ++p;
        } else if (*p == '*') {
            current.length = current.text.length();
            portions.append(current);
            current = WildcardA_Portion();
        } else {
            current.text.appendChar(*p);
        }
    }
    current.length = current.text.length();
    portions.append(current);
}

bool findWildcard(const char* text, int32_t length, int32_t start, const char* pattern,
                  uint32_t options, WildcardA_Occurrence& match) {
    if (text == nullptr || pattern == nullptr || pattern[0] == 0 || start < 0) return false;
    Subject s{text, length, options};
    Vector<WildcardA_Portion> portions;
    splitWildcardPattern(pattern, portions);
    const WildcardA_Portion& last = portions[portions.count() - 1];
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

int findAllWildcard(const char* text, int32_t length, const char* pattern, uint32_t options,
                    Vector<WildcardA_Occurrence>& matches) {
    matches.clear();
    WildcardA_Occurrence m;
    int32_t from = 0;
    while (from <= length && findWildcard(text, length, from, pattern, options, m)) {
        matches.append(m);
        from = m.start + m.length;
    }
    return matches.count();
}

}  // namespace tessarin
