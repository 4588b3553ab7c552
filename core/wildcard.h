// Search inside text with "*" wildcards: the find and replace operations on texts use it. The
// pattern is cut at each single "*" into portions that must be found one after the other;
// "**" stands for a literal "*". Each operation comes in an 8-bit and a UTF-16 form; positions
// and lengths count characters of the text's own width.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"

namespace tessarin {

template <typename Ch>
struct WildcardPortion {
    String text;  // in the pattern's width
    int32_t length = 0;
    int32_t found = -1;  // where the portion was last found
};

template <typename Ch>
struct WildcardOccurrence {
    int32_t start = 0;
    int32_t length = 0;
};

using WildcardA_Portion = WildcardPortion<char>;
using WildcardW_Portion = WildcardPortion<char16_t>;
using WildcardA_Occurrence = WildcardOccurrence<char>;
using WildcardW_Occurrence = WildcardOccurrence<char16_t>;

template <>
struct TypeName<WildcardA_Portion> {
    static constexpr const char* value = "WildcardA_Portion";
};
template <>
struct TypeName<WildcardW_Portion> {
    static constexpr const char* value = "WildcardW_Portion";
};
template <>
struct TypeName<WildcardA_Occurrence> {
    static constexpr const char* value = "WildcardA_Occurrence";
};
template <>
struct TypeName<WildcardW_Occurrence> {
    static constexpr const char* value = "WildcardW_Occurrence";
};

enum WildcardOptions : uint32_t {
    // ASCII letters in 8-bit text; in UTF-16 text every letter the library's case mapping folds.
    kWildcardIgnoreCase = 0x1,
    kWildcardAcrossLines = 0x2,       // a "*" may match line breaks
    kWildcardWholeWords = 0x4,        // no letter, digit or "_" right before or after a match
    kWildcardHighBytesInWords = 0x8,  // with whole words: bytes from 128 up are word characters
    kWildcardWholeLines = 0x10,       // only spaces and tabs between a match and its line's ends
    kWildcardLiteral = 0x20,          // "*" is an ordinary character: one portion, the pattern
};

// The portions of a pattern; a pattern that ends with "*" has an empty last portion, one that
// begins with "*" an empty first portion.
void splitWildcardPattern(const char* pattern, Vector<WildcardA_Portion>& portions,
                          uint32_t options = 0);
void splitWildcardPattern(const char16_t* pattern, Vector<WildcardW_Portion>& portions,
                          uint32_t options = 0);

// Finds the first match of split portions at or after start. A final "*" reaches to the end of
// its line (of the text with kWildcardAcrossLines). Empty matches are not reported; portions of
// an empty pattern match nothing.
bool findPortions(const char* text, int32_t length, int32_t start,
                  Vector<WildcardA_Portion>& portions, uint32_t options,
                  WildcardA_Occurrence& match);
bool findPortions(const char16_t* text, int32_t chars, int32_t start,
                  Vector<WildcardW_Portion>& portions, uint32_t options,
                  WildcardW_Occurrence& match);

// Splits the pattern and finds its first match at or after start.
bool findWildcard(const char* text, int32_t length, int32_t start, const char* pattern,
                  uint32_t options, WildcardA_Occurrence& match);
bool findWildcard(const char16_t* text, int32_t chars, int32_t start, const char16_t* pattern,
                  uint32_t options, WildcardW_Occurrence& match);

// Every match, left to right, none overlapping; the number found.
int findAllWildcard(const char* text, int32_t length, const char* pattern, uint32_t options,
                    Vector<WildcardA_Occurrence>& matches);
int findAllWildcard(const char16_t* text, int32_t chars, const char16_t* pattern, uint32_t options,
                    Vector<WildcardW_Occurrence>& matches);

}  // namespace tessarin
