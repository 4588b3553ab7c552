#include "core/version.h"

#include <gtest/gtest.h>

#include <climits>

namespace tessarin {
namespace {

int sign(int v) {
    return (v > 0) - (v < 0);
}

struct CompareCase {
    const char* a;
    const char* b;
    int expected;  // sign of the result
};

TEST(Version, CompareTable) {
    const CompareCase cases[] = {
        {"1.2", "1.2", 0},
        {"1.2", "1.2.0", -1},  // the longer list is the greater
        {"1.10", "1.9", 1},    // numbers, not text
        {"2.0b", "2.0a", 1},
        {"2.0a", "2.0", 1},
        {"2.0", "2.0a", -1},
        {"2.0a", "2.0a", 0},
        {"2.1", "2.0z", 1},  // numbers decide before letters
        {"v1.5", "1.5", 1},  // a letter anywhere is the suffix
        {"1.5 beta", "1.5", 1},
        {"1.2b3", "1.2.3", 1},     // the letter after a digit run is taken with it: same numbers
        {"1.2a.3b", "1.2.3a", 1},  // a later letter replaces an earlier one
        {".5", "0.5", 0},          // a dot before any number stands for 0
        {"1, 2, 0", "1.2.0", 0},
        {"", "", 0},
        {"", "0", -1},
        {"007", "7", 0},
        {"99999999999999999999999", "1", 1},  // huge numbers saturate, never wrap
    };
    for (const CompareCase& c : cases) {
        EXPECT_EQ(sign(compareVersions(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(compareVersions(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(Version, ResultIsTheDifferenceOfTheFirstDifferingNumberOrOfTheLetters) {
    EXPECT_EQ(compareVersions("1.7", "1.2"), 5);
    EXPECT_EQ(compareVersions("2.0c", "2.0a"), 2);
    EXPECT_EQ(compareVersions("2.0a", "2.0"), 'a');
    EXPECT_EQ(compareVersions("4000000000", "0"), INT_MAX);
    EXPECT_EQ(compareVersions("0", "4000000000"), -INT_MAX);
    EXPECT_EQ(compareVersions(nullptr, "1"), -1);
}

TEST(Version, WideFormAgrees) {
    EXPECT_LT(compareVersionsWide(u"1.2", u"1.2.0"), 0);
    EXPECT_GT(compareVersionsWide(u"2.0b", u"2.0a"), 0);
    EXPECT_EQ(compareVersionsWide(u"3.1", u"3.1"), 0);
}

TEST(Version, CleanAndComparableTexts) {
    EXPECT_STREQ(cleanVersionText("1, 2, 0, 4").c_str(), "1.2.0.4");
    EXPECT_STREQ(cleanVersionText(" 6.1.7601.17514\r\n\t").c_str(), "6.1.7601.17514");
    EXPECT_STREQ(comparableVersionText("1.2.0.4").c_str(),
                 "0000000001.0000000002.0000000000.0000000004");
    EXPECT_STREQ(comparableVersionText("12345678901.2").c_str(), "12345678901.0000000002");
    EXPECT_STREQ(comparableVersionText("").c_str(), "");
    EXPECT_STREQ(comparableVersionText("1..2").c_str(), "0000000001.0000000000.0000000002");

    // Padded texts order like their versions.
    const char* ordered[] = {"1.2.9", "1.2.10", "1.10.0", "9.0", "10.0"};
    for (size_t i = 1; i < sizeof ordered / sizeof ordered[0]; ++i) {
        String lower = comparableVersionText(ordered[i - 1]);
        String higher = comparableVersionText(ordered[i]);
        EXPECT_LT(lower.compare(higher), 0) << ordered[i - 1] << " vs " << ordered[i];
    }
}

}  // namespace
}  // namespace tessarin
