#include "core/string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fatal_capture.h"

namespace tessarin {
namespace {

TEST(String, EmptyStringHasNoBlockAndReadsEmptyInBothWidths) {
    String s;
    EXPECT_TRUE(s.isNull());
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_EQ(s.w_str()[0], u'\0');
    s.append("", 0);
    s.append(nullptr);
    s.appendWide(u"");
    EXPECT_TRUE(s.isNull());
    EXPECT_EQ(s.capacity(), 0);
}

TEST(String, TwoZeroBytesFollowThePayload) {
    String s("abc");
    ASSERT_GE(s.capacity(), s.length() + 2);
    EXPECT_EQ(s.data()[3], 0);
    EXPECT_EQ(s.data()[4], 0);
    s.appendWide(u"\u00e9");  // odd byte length: still terminated for both readings
    EXPECT_EQ(s.length(), 5);
    EXPECT_EQ(s.data()[5], 0);
    EXPECT_EQ(s.data()[6], 0);
}

struct GrowthCase {
    int32_t startCapacity;  // 0: start from an empty String
    int32_t newLength;
    int32_t expectedCapacity;
};

class StringGrowth : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(StringGrowth, FollowsTheSlackRule) {
    const GrowthCase& c = GetParam();
    String s;
    if (c.startCapacity > 0) {
        s.setExactLength(c.startCapacity - 2);
        ASSERT_EQ(s.capacity(), c.startCapacity);
    }
    s.setLength(c.newLength);
    EXPECT_EQ(s.length(), c.newLength);
    EXPECT_EQ(s.capacity(), c.expectedCapacity);
}

INSTANTIATE_TEST_SUITE_P(Cases, StringGrowth,
                         ::testing::Values(GrowthCase{0, 63, 65}, GrowthCase{0, 64, 104},
                                           GrowthCase{0, 16384, 17408}, GrowthCase{0, 16383, 16423},
                                           GrowthCase{2000, 900,
                                                      940},  // more than 1 KiB too large: shrinks
                                           GrowthCase{2000, 980, 2000},   // within 1 KiB: kept
                                           GrowthCase{2000, 1998, 2000},  // exactly fills the block
                                           GrowthCase{2000, 1999, 2039}),
                         [](const ::testing::TestParamInfo<GrowthCase>& info) {
                             return "from" + std::to_string(info.param.startCapacity) + "to" +
                                    std::to_string(info.param.newLength);
                         });

TEST(String, SettingLengthToZeroOrBelowReleasesTheBlock) {
    for (int32_t n : {0, -5}) {
        String s("hello");
        s.setLength(n);
        EXPECT_TRUE(s.isNull());
        EXPECT_EQ(s.length(), 0);
        EXPECT_EQ(s.capacity(), 0);
    }
}

TEST(String, MultiPieceAppendReallocatesOnceWithLargeSlack) {
    String s("ab");
    s.appendAll({"cd", "", nullptr, "efg"});
    EXPECT_STREQ(s.c_str(), "abcdefg");
    EXPECT_EQ(s.capacity(), 7 + 1024);
    int32_t cap = s.capacity();
    s.appendAll({"x", "y"});
    EXPECT_EQ(s.capacity(), cap);
    EXPECT_STREQ(s.c_str(), "abcdefgxy");
}

TEST(String, ReplaceIsThePrimitiveForInsertDeleteAppend) {
    String s("hello world");
    s.replace(0, 5, "goodbye", kWholeLength);
    EXPECT_STREQ(s.c_str(), "goodbye world");
    s.replace(7, kWholeLength, "!", 1);  // whole-length count: to the end
    EXPECT_STREQ(s.c_str(), "goodbye!");
    s.prepend(">> ");
    EXPECT_STREQ(s.c_str(), ">> goodbye!");
    s.replace(100, 0, "?", 1);  // position clamped to the end
    EXPECT_STREQ(s.c_str(), ">> goodbye!?");
    s.replace(0, kWholeLength, nullptr, 0);
    EXPECT_TRUE(s.isNull());
}

TEST(String, SourceInsideOwnBlockIsReadFromItsNewPlace) {
    String s("abcdef");
    s.replace(0, 0, s.c_str() + 3, 3);  // insert "def" before itself
    EXPECT_STREQ(s.c_str(), "defabcdef");
    s.append(s.c_str(), s.length());  // append to itself across a reallocation
    EXPECT_STREQ(s.c_str(), "defabcdefdefabcdef");
    s.assign(s.c_str() + 9, 3);
    EXPECT_STREQ(s.c_str(), "def");
}

// A piece taken from the String itself must be read before the old block goes away.
TEST(String, MultiPieceAppendOfItsOwnTextAcrossAReallocation) {
    String s("abc");
    ASSERT_LT(s.capacity(), 9);
    s.appendAll({s.c_str(), "-", s.c_str()});
    EXPECT_STREQ(s.c_str(), "abcabc-abc");
    String w(u"xy");
    w.appendAllWide({w.w_str(), w.w_str()});
    EXPECT_TRUE(w.equalsWide(u"xyxyxy"));
}

TEST(String, WideEditingCountsCharacters) {
    String s(u"Program Files");
    EXPECT_EQ(s.wideLength(), 13);
    EXPECT_EQ(s.length(), 26);
    s.replaceWide(0, 7, u"Common", kWholeLength);
    EXPECT_TRUE(s.equalsWide(u"Common Files"));
    String sub;
    s.substringWide(sub, 7, 100);
    EXPECT_TRUE(sub.equalsWide(u"Files"));
    s.substringWide(s, 0, 6);  // a String may be its own target
    EXPECT_TRUE(s.equalsWide(u"Common"));
    s.substringWide(sub, 3, 0);
    EXPECT_TRUE(sub.isNull());
}

TEST(String, EnclosingPairAndSingleCharacterEdits) {
    String q("\"");
    EXPECT_FALSE(q.stripEnclosing('"'));
    EXPECT_STREQ(q.c_str(), "\"");
    String v(u"\"C:\\Program Files\\X\"");
    EXPECT_TRUE(v.stripEnclosingWide(u'"'));
    EXPECT_TRUE(v.equalsWide(u"C:\\Program Files\\X"));
    String half(u"\"open");
    EXPECT_FALSE(half.stripEnclosingWide(u'"'));
    String t("x;");
    EXPECT_TRUE(t.removeBackChar(';'));
    EXPECT_FALSE(t.removeBackChar(';'));
    EXPECT_TRUE(t.removeFrontChar('x'));
    EXPECT_TRUE(t.isNull());
}

TEST(String, PrefixAndSuffixTests) {
    String s(u"D:c:\\dir");
    EXPECT_FALSE(s.startsWithWide(u"d:"));
    EXPECT_TRUE(s.startsWithNoCase(u"d:", true));
    EXPECT_TRUE(s.equalsWide(u"c:\\dir"));
    EXPECT_FALSE(s.startsWithNoCase(u"c:\\dir-longer"));
    String n("setup.exe");
    EXPECT_TRUE(n.endsWith(".exe", true));
    EXPECT_STREQ(n.c_str(), "setup");
    EXPECT_FALSE(n.endsWith(".exe"));
}

TEST(String, TrimUsesTheDefaultSetOrAGivenOne) {
    String s(" \r\n\tvalue \t\r\n");
    s.trim();
    EXPECT_STREQ(s.c_str(), "value");
    String w(u"--x--");
    w.trimWide(u"-");
    EXPECT_TRUE(w.equalsWide(u"x"));
    String blank("   ");
    blank.trim();
    EXPECT_TRUE(blank.isNull());
}

TEST(String, LineEndingsBecomeCrLf) {
    String s("a\nb\rc\r\nd\n\re");
    EXPECT_EQ(s.normalizeLineEndings(), 3);
    EXPECT_STREQ(s.c_str(), "a\r\nb\r\nc\r\nd\r\ne");

    String w(u"a\nb\rc\r\nd\n\re");
    EXPECT_EQ(w.normalizeLineEndingsWide(), 3);
    EXPECT_TRUE(w.equalsWide(u"a\r\nb\r\nc\r\nd\r\ne"));

    String clean("x\r\ny\r\n");
    const char* block = clean.c_str();
    EXPECT_EQ(clean.normalizeLineEndings(), 0);
    EXPECT_EQ(clean.c_str(), block);  // untouched, not even reallocated
    EXPECT_EQ(clean.trailingLineBreaks(), 2);
    EXPECT_EQ(String(u"z\n\r\n").trailingLineBreaksWide(), 3);
}

TEST(String, ReplaceAllWithLimitsFlagsAndQuery) {
    String s("a-b-c-d");
    EXPECT_EQ(s.replaceAll("-", "+", 0, 2), 2);
    EXPECT_STREQ(s.c_str(), "a+b+c-d");
    String c("Path PATH path");
    EXPECT_EQ(c.replaceAll("path", "X", 0, kWholeLength, kReplaceIgnoreCase), 3);
    EXPECT_STREQ(c.c_str(), "X X X");
    String from("aaaa");
    EXPECT_EQ(from.replaceAll("a", "b", 2), 2);
    EXPECT_STREQ(from.c_str(), "aabb");
    String wild("x=<one> y=<two>");
    EXPECT_EQ(wild.replaceAll("<*>", "?", 0, kWholeLength, kReplaceWildcard), 2);
    EXPECT_STREQ(wild.c_str(), "x=? y=?");
    String star("a*b");
    EXPECT_EQ(star.replaceAll("**", "+", 0, kWholeLength, kReplaceWildcard), 1);
    EXPECT_STREQ(star.c_str(), "a+b");
    String asked("1 1 1");
    auto skipSecond = [](void* ctx, int32_t) { return ++*static_cast<int*>(ctx) != 2; };
    int calls = 0;
    EXPECT_EQ(asked.replaceAll("1", "2", 0, kWholeLength, 0, skipSecond, &calls), 2);
    EXPECT_STREQ(asked.c_str(), "2 1 2");
    String w(u"`a` `b`");
    EXPECT_EQ(w.replaceAllWide(u"`", u"\""), 4);
    EXPECT_TRUE(w.equalsWide(u"\"a\" \"b\""));
}

// Search and replace use the portion search: a "*" stays within its line.
TEST(String, WildcardReplaceKeepsEachMatchWithinItsLine) {
    struct Case {
        const char* text;
        const char* search;
        unsigned flags;
        int count;
        const char* result;
    } cases[] = {
        {"a=1\nb a=2", "a=*", kReplaceWildcard, 2, "X\nb X"},
        {"<a\nb> <c>", "<*>", kReplaceWildcard, 1, "<a\nb> X"},
        {"set X\nSET y", "set*", kReplaceWildcard | kReplaceIgnoreCase, 2, "X\nX"},
        {"a*b a*b", "a*b", 0, 2, "X X"},  // without the wildcard flag a star is a star
    };
    for (const Case& c : cases) {
        String s(c.text);
        EXPECT_EQ(s.replaceAll(c.search, "X", 0, kWholeLength, c.flags), c.count) << c.search;
        EXPECT_STREQ(s.c_str(), c.result) << c.search;
    }
}

// However many stars a pattern has, a few passes over the text decide it.
TEST(String, WildcardReplaceWithManyStarsFinishes) {
    std::string many(60, 'a');
    String s(many.c_str());
    const char* noMatch = "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b";
    EXPECT_EQ(s.replaceAll(noMatch, "X", 0, kWholeLength, kReplaceWildcard), 0);
    // Each star takes the shortest run: sixteen letters make a match.
    const char* sixteen = "a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a";
    EXPECT_EQ(s.replaceAll(sixteen, "X", 0, kWholeLength, kReplaceWildcard), 3);
    EXPECT_EQ(std::string(s.c_str()), "XXX" + std::string(12, 'a'));
}

TEST(String, WideReplaceAllFoldsLettersAndTakesWildcards) {
    String s(u"\u00c4rger und \u00e4rger; <x>\n<y");
    EXPECT_EQ(s.replaceAllWide(u"\u00e4rger", u"Z", 0, kWholeLength, kReplaceIgnoreCase), 2);
    EXPECT_EQ(s.replaceAllWide(u"<*>", u"[]", 0, kWholeLength, kReplaceWildcard), 1);
    EXPECT_TRUE(s.equalsWide(u"Z und Z; []\n<y"));
}

TEST(String, EqualityByLengthFirstAndOrdering) {
    String a("abc"), b("abc"), c("abd"), shorter("ab");
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a == shorter);
    EXPECT_LT(a.compare(c), 0);
    EXPECT_GT(a.compare(shorter), 0);
    String withNul("ab\0", 3);
    EXPECT_FALSE(withNul == shorter);  // bytes after a zero still count
    EXPECT_EQ(String("HeLLo").compareNoCase(String("hello")), 0);
    EXPECT_EQ(String(u"Program Files").compareNoCaseWide(String(u"PROGRAM FILES")), 0);
    EXPECT_LT(String().compareNoCaseWide(String(u"a")), 0);
    EXPECT_TRUE(String(u"Silent").equalsNoCaseWide(u"SILENT"));
}

TEST(String, UncheckedAccessorsNeverFail) {
    String s("ab");
    EXPECT_EQ(s.get(-1), 0);
    EXPECT_EQ(s.get(2), 0);
    EXPECT_FALSE(s.set(2, 'x'));
    EXPECT_TRUE(s.set(1, 'x'));
    EXPECT_STREQ(s.c_str(), "ax");
    String w(u"q");
    EXPECT_EQ(w.getWide(1), 0);
    EXPECT_FALSE(w.setWide(1, u'z'));
}

TEST(String, ValidatedAccessOutsideTheTextIsAnInternalFatalError) {
    String s("ab");
    EXPECT_EQ(s.at(1), 'b');
    std::string report = testing::captureFatal([&] { (void)s.at(2); });
    EXPECT_EQ(report.rfind("Internal Fatal Error\r\nModule: c:\\g\\oq_core.h\r\nLine: ", 0), 0u)
        << report;
}

TEST(String, CopyDuplicatesAndMoveTakesOverTheBlock) {
    String a("payload");
    String b(a);
    EXPECT_NE(a.c_str(), b.c_str());
    EXPECT_TRUE(a == b);
    const char* block = a.c_str();
    String c(std::move(a));
    EXPECT_EQ(c.c_str(), block);
    EXPECT_TRUE(a.isNull());  // NOLINT(bugprone-use-after-move): the moved-from state is defined
}

TEST(String, AdoptTakesABlockAndTerminatesIt) {
    char* block = static_cast<char*>(std::malloc(3));
    std::memcpy(block, "xyz", 3);
    String s;
    s.adopt(block, 3);
    EXPECT_STREQ(s.c_str(), "xyz");
    EXPECT_EQ(s.capacity(), 5);
}

TEST(String, HashMatchesTheChecksumDefinition) {
    EXPECT_EQ(String().hash(), 0x79E2BC9Du);
    // "abcde": one little-endian word, one tail byte, then the length.
    uint32_t expected = 0x79E2BC9Du + 0x64636261u + 0x65u + 5u;
    EXPECT_EQ(String("abcde").hash(), expected);
    // Tail bytes of 128 and above add a negative value.
    const unsigned char tail[] = {1, 2, 3, 4, 0xFF, 0x80};
    uint32_t withNegatives = 0x79E2BC9Du + 0x04030201u + uint32_t(-1) + uint32_t(-128) + 6u;
    EXPECT_EQ(hashBytes(tail, 6), withNegatives);
    // Wrap-around of the 32-bit sum.
    const unsigned char ff[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(hashBytes(ff, 8), uint32_t(0x79E2BC9Du + 0xFFFFFFFFu + 0xFFFFFFFFu + 8u));
}

// Bytes added in pieces, cut anywhere (inside a word too), hash as the whole run does.
TEST(StringHash, AccumulatedPiecesHashAsTheWholeRun) {
    unsigned char bytes[23];
    for (int i = 0; i < 23; ++i) bytes[i] = static_cast<unsigned char>(0x7B + 37 * i);
    HashAccumulator none;
    EXPECT_EQ(none.value(), 0x79E2BC9Du);
    for (int length : {1, 3, 4, 5, 23}) {
        for (int a = 0; a <= length; ++a) {
            for (int b = a; b <= length; ++b) {
                HashAccumulator h;
                h.add(bytes, static_cast<size_t>(a));
                h.add(bytes + a, static_cast<size_t>(b - a));
                h.add(bytes + b, static_cast<size_t>(length - b));
                EXPECT_EQ(h.value(), hashBytes(bytes, length)) << length << ": " << a << ", " << b;
            }
        }
    }
}

}  // namespace
}  // namespace tessarin
