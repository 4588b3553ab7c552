#include "core/chars.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

TEST(Chars, DefaultCaseMappingsCoverLatin1AndYDiaeresis) {
    EXPECT_EQ(toLower('A'), uint32_t('a'));
    EXPECT_EQ(toLower(0xC0), 0xE0u);
    EXPECT_EQ(toLower(0xD7), 0xD7u);  // multiplication sign is not a letter
    EXPECT_EQ(toLower(376), 255u);
    EXPECT_EQ(toUpper(255), 376u);
    EXPECT_EQ(toUpper(0xF7), 0xF7u);  // division sign
    EXPECT_TRUE(isUpper(159));
    EXPECT_TRUE(isLower(0xFF));
    EXPECT_FALSE(isLetter(0xE9));  // the default letter class is ASCII
    EXPECT_EQ(toUpperAscii(0xE9), 0xE9u);
}

TEST(Chars, FixedClasses) {
    EXPECT_TRUE(isHexDigit('f') && isHexDigit('F') && !isHexDigit('g'));
    EXPECT_TRUE(isIdentifierChar('_') && !isIdentifierChar('-'));
    EXPECT_TRUE(isWhiteSpace('\t') && !isWhiteSpace('\v'));
    EXPECT_TRUE(isLineBreak('\r') && !isLineBreak(' '));
    for (uint32_t c : {768u, 879u, 6832u, 7616u, 8447u, 65056u})
        EXPECT_TRUE(isCombiningMark(c)) << c;
    for (uint32_t c : {767u, 880u, 8448u, 65072u}) EXPECT_FALSE(isCombiningMark(c)) << c;
}

TEST(Chars, RegisteredCallbackReplacesLocaleClassesBelow65536) {
    setCharClassCallback([](CharClass what, uint32_t c) -> uint32_t {
        if (what == CharClass::Letter) return c == 0x3B1;  // Greek alpha
        if (what == CharClass::ToUpper) return c == 0x3B1 ? 0x391 : c;
        return 0;
    });
    EXPECT_TRUE(isLetter(0x3B1));
    EXPECT_FALSE(isLetter('a'));
    EXPECT_EQ(toUpper(0x3B1), 0x391u);
    EXPECT_TRUE(isLetter(0x10000) == false);  // above the range: default rule
    setCharClassCallback(nullptr);
    EXPECT_TRUE(isLetter('a'));
}

}  // namespace
}  // namespace tessarin
