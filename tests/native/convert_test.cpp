#include "core/convert.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace tessarin {
namespace {

TEST(Convert, CodePage1252AndUsAsciiDecodeAlike) {
    const char text[] = "\x80 caf\xe9 \x93q\x94 \x9f";
    String a, b;
    ASSERT_TRUE(toWide(text, kWholeLength, a, 1252));
    ASSERT_TRUE(toWide(text, kWholeLength, b, kCodePageUsAscii));
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a.equalsWide(u"\u20ac caf\u00e9 \u201cq\u201d \u0178"));
}

TEST(Convert, Utf8BothWaysIncludingSurrogatePairs) {
    const char utf8[] = "\xc3\x9c\xe2\x82\xac\xf0\x9f\x98\x80";  // Ü € 😀
    String wide, back;
    ASSERT_TRUE(toWide(utf8, kWholeLength, wide, 65001));
    EXPECT_TRUE(wide.equalsWide(u"\u00dc\u20ac\U0001F600"));
    ASSERT_TRUE(toNarrow(wide.w_str(), kWholeLength, back, 65001));
    EXPECT_STREQ(back.c_str(), utf8);
}

TEST(Convert, Utf16CodePagesCopyOrSwapBytes) {
    const char le[] = {'A', 0, 0x00, 0x4E};
    String w;
    ASSERT_TRUE(toWide(le, 4, w, 1200));
    EXPECT_TRUE(w.equalsWide(u"A\u4e00"));
    const char be[] = {0, 'A', 0x4E, 0x00};
    ASSERT_TRUE(toWide(be, 4, w, 1201));
    EXPECT_TRUE(w.equalsWide(u"A\u4e00"));
    String bytes;
    ASSERT_TRUE(toNarrow(u"A\u4e00", kWholeLength, bytes, 1201));
    ASSERT_EQ(bytes.length(), 4);
    EXPECT_EQ(std::memcmp(bytes.c_str(), be, 4), 0);
}

TEST(Convert, UnmappableCharactersTakeTheDefault) {
    String n;
    ASSERT_TRUE(toNarrow(u"a\u4e00b", kWholeLength, n, 1252, "?"));
    EXPECT_STREQ(n.c_str(), "a?b");
}

TEST(Convert, FailureClearsTheTarget) {
    String target("old");
    EXPECT_FALSE(toWide("abc", 3, target, 12345));  // no such code page
    EXPECT_TRUE(target.isNull());
    String empty("old");
    EXPECT_TRUE(toWide("", 0, empty, 1252));
    EXPECT_TRUE(empty.isNull());
}

TEST(Convert, NarrowPathFormKeepsAsciiAndMarksUtf8WithABar) {
    struct Case {
        const char16_t* wide;
        const char* narrow;
    } cases[] = {
        {u"C:\\Program Files\\App", "C:\\Program Files\\App"},
        {u"C:\\Produkt \u00dcbersicht",
         "|C:\\Produkt \xc3\x9c"
         "bersicht"},
        {u"C:\\\u65e5\u672c", "|C:\\\xe6\x97\xa5\xe6\x9c\xac"},
        {u"", ""},
    };
    for (const Case& c : cases) {
        String narrow, wide;
        wideToPath(c.wide, kWholeLength, narrow);
        EXPECT_STREQ(narrow.c_str(), c.narrow);
        ASSERT_TRUE(pathToWide(narrow.c_str(), narrow.length(), wide));
        EXPECT_TRUE(wide.equalsWide(c.wide));
    }
}

TEST(Convert, NarrowPathFormUsesAGivenCodePageWhenItRoundTrips) {
    String narrow;
    wideToPath(u"caf\u00e9", kWholeLength, narrow, 1252);
    EXPECT_STREQ(narrow.c_str(), "caf\xe9");
    wideToPath(u"\u65e5", kWholeLength, narrow, 1252);  // not in 1252: falls back to UTF-8
    EXPECT_STREQ(narrow.c_str(), "|\xe6\x97\xa5");
}

TEST(Convert, WidenInPlaceAndNarrowHex) {
    String s("AB\xe9");
    widenInPlace(s);
    EXPECT_TRUE(s.equalsWide(u"AB\u00e9"));
    String hex(u"00ff7A");
    EXPECT_EQ(narrowHex(hex), 3);
    EXPECT_EQ(std::memcmp(hex.c_str(), "\x00\xff\x7a", 3), 0);
    String odd(u"abc");
    EXPECT_EQ(narrowHex(odd), -1);
    String bad(u"0g");
    EXPECT_EQ(narrowHex(bad), -2);
}

TEST(Convert, ParsesNumbersAndAdvancesThePosition) {
    int32_t pos = 2;
    EXPECT_EQ(parseInt("x=-42,7", kWholeLength, pos), -42);
    EXPECT_EQ(pos, 5);
    pos = 0;
    EXPECT_EQ(parseInt("+17", kWholeLength, pos), 17);
    pos = 9;
    EXPECT_EQ(parseInt("1", kWholeLength, pos), INT32_MIN);
    pos = 0;
    EXPECT_EQ(parseUnsigned64Wide(u"18446744073709551615", kWholeLength, pos), -1);  // all ones
    pos = 5;
    EXPECT_EQ(parseUnsigned64Wide(u"12", kWholeLength, pos), -1);
    pos = 0;
    EXPECT_EQ(parseUnsigned64Wide(u"5000000000x", kWholeLength, pos), 5000000000LL);
    EXPECT_EQ(pos, 10);
    pos = 1;
    EXPECT_DOUBLE_EQ(parseDouble(" 2.5e1z", kWholeLength, pos), 25.0);
    EXPECT_EQ(pos, 6);
    String d("n=");
    appendDecimal(d, -123);
    EXPECT_STREQ(d.c_str(), "n=-123");
}

TEST(Convert, SizeTexts) {
    struct Case {
        uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 bytes"},
        {1023, "1023 bytes"},
        {1024, "1.00 KB"},
        {1536, "1.50 KB"},
        {1048576, "1.00 MB"},
        {5ull * 1024 * 1024 * 1024, "5.00 GB"},
        {1024ull * 1024 * 1024 * 1024 - 1, "1024.00 GB"},
        {1024ull * 1024 * 1024 * 1024, "1.00 TB"},
    };
    for (const Case& c : cases) EXPECT_STREQ(sizeText(c.bytes).c_str(), c.text) << c.bytes;
}

}  // namespace
}  // namespace tessarin
