#include "core/wildcard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tessarin {
namespace {

// The matched text, or "<none>".
std::string found(const char* text, const char* pattern, uint32_t options = 0, int32_t start = 0) {
    WildcardA_Occurrence m;
    int32_t n = static_cast<int32_t>(std::strlen(text));
    if (!findWildcard(text, n, start, pattern, options, m)) return "<none>";
    return std::to_string(m.start) + ":" +
           std::string(text + m.start, static_cast<size_t>(m.length));
}

TEST(Wildcard, SplitsAtSingleStarsAndKeepsDoubledOnesAsText) {
    Vector<WildcardA_Portion> p;
    splitWildcardPattern("a*b**c*", p);
    ASSERT_EQ(p.count(), 3);
    EXPECT_STREQ(p[0].text.c_str(), "a");
    EXPECT_STREQ(p[1].text.c_str(), "b*c");
    EXPECT_EQ(p[1].length, 3);
    EXPECT_EQ(p[2].length, 0);
    splitWildcardPattern("*x", p);
    ASSERT_EQ(p.count(), 2);
    EXPECT_EQ(p[0].length, 0);
}

TEST(Wildcard, PortionsInOrder) {
    EXPECT_EQ(found("xxab12cdyy", "ab*cd"), "2:ab12cd");
    EXPECT_EQ(found("xxab12cdyy", "ab*cd", 0, 3), "<none>");
    EXPECT_EQ(found("a*b axb", "a**b"), "0:a*b");
    EXPECT_EQ(found("axb", "a**b"), "<none>");
    EXPECT_EQ(found("ABC", "a*c", kWildcardIgnoreCase), "0:ABC");
    EXPECT_EQ(found("ABC", "a*c"), "<none>");
    EXPECT_EQ(found("abc", ""), "<none>");
}

TEST(Wildcard, AStarDoesNotCrossLineBreaksUnlessAllowed) {
    EXPECT_EQ(found("ab\ncd ab-cd", "ab*cd"), "6:ab-cd");
    EXPECT_EQ(found("ab\ncd ab-cd", "ab*cd", kWildcardAcrossLines), "0:ab\ncd");
    // The earlier portion is searched again further on.
    EXPECT_EQ(found("a\nabc", "a*c"), "2:abc");
    EXPECT_EQ(found("ab\ncd", "*cd"), "3:cd");
    // A final star reaches to the end of its line.
    EXPECT_EQ(found("set x=1\nset y", "set*"), "0:set x=1");
    EXPECT_EQ(found("set x=1\nset y", "set*", kWildcardAcrossLines), "0:set x=1\nset y");
}

TEST(Wildcard, WholeWordsAndWholeLines) {
    EXPECT_EQ(found("concatenate cat", "cat", kWildcardWholeWords), "12:cat");
    EXPECT_EQ(found("cat_1 cat", "cat", kWildcardWholeWords), "6:cat");
    EXPECT_EQ(found("\xe9"
                    "cat",
                    "cat", kWildcardWholeWords),
              "1:cat");
    EXPECT_EQ(found("\xe9"
                    "cat",
                    "cat", kWildcardWholeWords | kWildcardHighBytesInWords),
              "<none>");
    EXPECT_EQ(found("a key=1\n  key=2\t\nx", "key*", kWildcardWholeLines), "10:key=2\t");
    EXPECT_EQ(found("a key=1", "key*", kWildcardWholeLines), "<none>");
}

TEST(Wildcard, FindAllMatchesLeftToRightWithoutOverlap) {
    Vector<WildcardA_Occurrence> all;
    const char text[] = "ab ab\nab aab";
    EXPECT_EQ(findAllWildcard(text, static_cast<int32_t>(std::strlen(text)), "a*b", 0, all), 4);
    const int32_t starts[] = {0, 3, 6, 9};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(all[i].start, starts[i]);
    EXPECT_EQ(all[3].length, 3);  // the first "a" of "aab" opens the match
    EXPECT_EQ(findAllWildcard("x", 1, "*", 0, all), 1);
    EXPECT_EQ(findAllWildcard("x\n\ny", 4, "*", 0, all), 2);  // no empty match for the empty line
    EXPECT_EQ(findAllWildcard("", 0, "*", 0, all), 0);
}

TEST(Wildcard, LiteralPatternsAndUtf16Text) {
    EXPECT_EQ(found("a*b axb", "a*b", kWildcardLiteral), "0:a*b");
    EXPECT_EQ(found("x [RENAME]", "[rename]", kWildcardLiteral | kWildcardIgnoreCase),
              "2:[RENAME]");
    const char16_t text[] = u"\u00c4b\n\u00e4bc \u00e4xc";
    WildcardW_Occurrence m;
    ASSERT_TRUE(findWildcard(text, 10, 0, u"\u00c4*c", kWildcardIgnoreCase, m));
    EXPECT_EQ(m.start, 3);
    EXPECT_EQ(m.length, 3);
    Vector<WildcardW_Occurrence> all;
    EXPECT_EQ(findAllWildcard(text, 10, u"\u00e4*c", 0, all), 2);
    EXPECT_EQ(all[1].start, 7);
}

}  // namespace
}  // namespace tessarin
