// Search inside 8-bit text with "*" wildcards, for the find and replace operations on texts.
// The pattern is cut at each single "*" into portions that must be found one after the other;
// "**" stands for a literal "*".
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"

namespace tessarin {

struct WildcardA_Portion {
    String text;
    int32_t length = 0;
    int32_t found = -1;  // where the portion was last found
};

struct WildcardA_Occurrence {
    int32_t start = 0;
    int32_t length = 0;
};

template <>
struct TypeName<WildcardA_Portion> {
    static constexpr const char* value = "WildcardA_Portion";
};
template <>
struct TypeName<WildcardA_Occurrence> {
    static constexpr const char* value = "WildcardA_Occurrence";
};

enum WildcardOptions : uint32_t {
    kWildcardIgnoreCase = 0x1,        // ASCII letters
    kWildcardAcrossLines = 0x2,       // a "*" may match line breaks
    kWildcardWholeWords = 0x4,        // no letter, digit or "_" right before or after a match
    kWildcardHighBytesInWords = 0x8,  // with whole words: bytes from 128 up are word characters
    kWildcardWholeLines = 0x10,       // only spaces and tabs between a match and its line's ends
};

// The portions of a pattern; a pattern that ends with "*" has an empty last portion, one that
// begins with "*" an empty first portion.
void splitWildcardPattern(const char* pattern, Vector<WildcardA_Portion>& portions);

// Finds the first match at or after start. A final "*" reaches to the end of its line (of the
// text with kWildcardAcrossLines). Empty matches are not reported; an empty pattern matches
// nothing.
bool findWildcard(const char* text, int32_t length, int32_t start, const char* pattern,
                  uint32_t options, WildcardA_Occurrence& match);
// Every match, left to right, none overlapping; the number found.
int findAllWildcard(const char* text, int32_t length, const char* pattern, uint32_t options,
                    Vector<WildcardA_Occurrence>& matches);

}  // namespace tessarin
