#include "core/format.h"

#include <gtest/gtest.h>

#include <string>

namespace tessarin {
namespace {

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

}  // namespace
}  // namespace tessarin
