#include "core/format.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/native/test_text.h"

namespace tessarin {
namespace {

using testing::S;
using testing::U;

TEST(Format, EightBitConventions) {
    String s = format("%s %d %u %X %08X %zu %.2f", "x", -3, 7u, 0xABu, 0x1Fu, size_t(9), 1.005);
    EXPECT_STREQ(s.c_str(), "x -3 7 AB 0000001F 9 1.00");
    formatAppend(s, "|%s", "tail");
    EXPECT_STREQ(s.c_str(), "x -3 7 AB 0000001F 9 1.00|tail");
    formatAssign(s, "%d", 5);
    EXPECT_STREQ(s.c_str(), "5");
}

TEST(Format, ResultOfExactlyTheBufferSizeIsFormattedTwiceAndComplete) {
    std::string big(kFormatBufferChars, 'a');
    big.back() = 'z';
    String s = format("%s", big.c_str());
    EXPECT_EQ(lastFormatPasses(), 2);
    ASSERT_EQ(s.length(), kFormatBufferChars);
    EXPECT_EQ(s.c_str()[kFormatBufferChars - 1], 'z');
    String small = format("%s", big.c_str() + 1);  // one below: fits the stack buffer
    EXPECT_EQ(lastFormatPasses(), 1);
    EXPECT_EQ(small.length(), kFormatBufferChars - 1);
}

TEST(Format, WideFormsTakeUtf16Arguments) {
    String s = formatWide(u"%s: %d (%hs) %08X %-4s| %.2f %%", u"Fehler \u00dc", 42, "ok", 0xBEEFu,
                          u"ab", 2.5);
    EXPECT_TRUE(s.equalsWide(u"Fehler \u00dc: 42 (ok) 0000BEEF ab  | 2.50 %")) << s.wideLength();
    formatAppendWide(s, u"%5s", u"x");
    EXPECT_TRUE(s.equalsWide(u"Fehler \u00dc: 42 (ok) 0000BEEF ab  | 2.50 %    x"));
}

// Arguments that point into the target are read before the target changes.
TEST(Format, ArgumentsMayPointIntoTheTarget) {
    String s("abc");
    formatAssign(s, "%s-%s", s.c_str(), s.c_str());
    EXPECT_STREQ(s.c_str(), "abc-abc");
    String w(u"xyz");
    formatAssignWide(w, u"%s/%s", w.w_str(), w.w_str());
    EXPECT_TRUE(w.equalsWide(u"xyz/xyz"));
    // The second pass of a long result, appended to the text it quotes.
    std::string big(kFormatBufferChars, 'q');
    String t(big.c_str());
    formatAppend(t, "%s!", t.c_str());
    EXPECT_EQ(lastFormatPasses(), 2);
    ASSERT_EQ(t.length(), 2 * kFormatBufferChars + 1);
    EXPECT_EQ(std::string(t.c_str() + kFormatBufferChars), big + "!");
}

// Every conversion takes exactly its own arguments, so the ones after it are read right.
TEST(Format, WideConversionsTakeTheirOwnArguments) {
    int notWritten = 7;
    int marker = 0;
    String s = formatWide(u"%p|%E|%n%c%C|%S|%Lf|%lld|%hhd|%*d|%-*d|%.*s|%s", &marker, 1.5,
                          &notWritten, u'\u00e4', 'b', "narrow", 2.25L, -5000000000LL, 257, 3, 7,
                          -3, 8, 2, u"wide", u"end");
    std::u16string text(s.w_str(), static_cast<size_t>(s.wideLength()));
    size_t bar = text.find(u'|');
    ASSERT_NE(bar, std::u16string::npos);
    EXPECT_EQ(text.substr(bar),
              u"|1.500000E+00|\u00e4b|narrow|2.250000|-5000000000|1|  7|8  |wi|end");
    EXPECT_EQ(notWritten, 7);
    String sizes = formatWide(u"%hd %hu %zd %x %lu %jd", -2, 65537, ptrdiff_t(-3), -2, 4000000000ul,
                              intmax_t(-1));
    EXPECT_TRUE(sizes.equalsWide(u"-2 1 -3 fffffffe 4000000000 -1"));
    // A conversion the formatter does not know ends the reading of arguments.
    String rest = formatWide(u"%d %y %s", 1, u"never read");
    EXPECT_TRUE(rest.equalsWide(u"1 %y %s"));
}

// Templates from a file are filled without the C runtime: only "%s" and "%c" take values, in
// order, and a value's own "%s" is never filled again.
TEST(Format, PlaceholdersFromAFileAreFilledInOrderAndNothingElse) {
    struct Case {
        const char16_t* textTemplate;
        std::initializer_list<String> values;
        const char16_t* expected;
    } cases[] = {
        {u"Drive %c: is missing", {S(u"Q:\\x")}, u"Drive Q: is missing"},
        {u"Need %s on %c: (%s free)",
         {S(u"2 MB"), S(u"C"), S(u"1 MB")},
         u"Need 2 MB on C: (1 MB free)"},
        {u"%n %d %x stay, %s goes", {S(u"%s")}, u"%n %d %x stay, %s goes"},
        {u"%s and %s", {S(u"one")}, u"one and %s"},
        {u"empty %s here", {S(u"")}, u"empty  here"},
        {u"100%", {S(u"x")}, u"100%"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(U(fillPlaceholders(S(c.textTemplate), c.values)), c.expected);
}

}  // namespace
}  // namespace tessarin
