#include "core/containers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "fatal_capture.h"

namespace tessarin {
namespace {

std::string joined(const Array<int>& a) {
    std::string s;
    for (int32_t i = 0; i < a.count(); ++i)
        s += std::to_string(a[i]) + (i + 1 < a.count() ? "," : "");
    return s;
}

TEST(Array, InsertRemoveAndCapacityRule) {
    Array<int> a;
    for (int i = 0; i < 5; ++i) a.append(i);
    a.insert(0, -1);
    a.insert(3, 99);
    EXPECT_EQ(joined(a), "-1,0,1,99,2,3,4");
    a.remove(3);
    a.remove(0);
    EXPECT_EQ(joined(a), "0,1,2,3,4");
    Array<int> b;
    b.reserve(8);  // n + n/2 slots, start n/4
    EXPECT_EQ(b.capacity(), 12);
    EXPECT_EQ(b.start(), 2);
}

// Asking for less room than the elements take keeps every element.
TEST(Array, ReservingFewerThanTheCountKeepsTheElements) {
    Array<String> a;
    for (int i = 0; i < 1000; ++i) a.append(String(std::to_string(i).c_str()));
    a.reserve(3000);
    a.reserve(600);  // large and more than four times too big: the block shrinks
    ASSERT_EQ(a.count(), 1000);
    EXPECT_GE(a.capacity(), 1000);
    for (int i = 0; i < 1000; ++i) ASSERT_STREQ(a[i].c_str(), std::to_string(i).c_str());
    a.append(String("last"));
    EXPECT_STREQ(a[1000].c_str(), "last");
}

TEST(Array, CopyGetsItsOwnElementsAndTheCopyLayout) {
    Array<String> a;
    a.append(String("one"));
    a.append(String("two"));
    a.append(String("three"));
    a.append(String("four"));
    Array<String> b(a);
    EXPECT_EQ(b.capacity(), 6);
    EXPECT_EQ(b.start(), 1);
    b[0] = String("changed");
    EXPECT_STREQ(a[0].c_str(), "one");
    EXPECT_STREQ(b[3].c_str(), "four");
}

TEST(Array, RotateAndMove) {
    Array<int> a;
    for (int i = 0; i < 5; ++i) a.append(i);
    a.rotateLeft(7);  // modulo the count: 2
    EXPECT_EQ(joined(a), "2,3,4,0,1");
    a.rotateRight(2);
    EXPECT_EQ(joined(a), "0,1,2,3,4");
    a.move(0, 3);
    EXPECT_EQ(joined(a), "1,2,3,0,4");
    a.move(4, 1);
    EXPECT_EQ(joined(a), "1,4,2,3,0");
    Array<int> one;
    one.append(1);
    one.rotateLeft(1);
    EXPECT_EQ(joined(one), "1");
}

TEST(Array, SetCountAppendCopiesAndCursor) {
    Array<String> a;
    a.setCount(3);
    EXPECT_TRUE(a[2].isNull());
    a.appendCopies(2, String("x"));
    a.setCount(4);
    EXPECT_EQ(a.count(), 4);
    a.appendAll(a);
    EXPECT_EQ(a.count(), 8);
    int32_t cursor;
    int seen = 0;
    for (String* s = a.first(cursor); s; s = a.next(cursor)) ++seen;
    EXPECT_EQ(seen, 8);
}

TEST(Array, ManyFrontInsertionsKeepOrder) {
    Array<int> a;
    for (int i = 0; i < 1000; ++i) a.insert(0, i);
    ASSERT_EQ(a.count(), 1000);
    EXPECT_EQ(a[0], 999);
    EXPECT_EQ(a[999], 0);
}

TEST(Vector, BadIndexIsAFatalReportWithTypeIndexAndMaximum) {
    Vector<String> v;
    v.append(String("a"));
    v.append(String("b"));
    EXPECT_EQ(testing::captureFatal([&] { (void)v[2]; }), "Vector<String>[2]\r\nmax_index = 1");
    EXPECT_EQ(testing::captureFatal([&] { (void)v[-1]; }), "Vector<String>[-1]\r\nmax_index = 1");
    EXPECT_EQ(testing::captureFatal([&] { (void)v[1]; }), "");
}

TEST(List, BucketCountsFollowExpectedEntries) {
    using Table = List<String, String>;
    EXPECT_EQ(Table(7).bucketCount(), 10);
    EXPECT_EQ(Table(0).bucketCount(), 1);
    EXPECT_EQ(Table(-1).bucketCount(), 0);
    Table none(-1);
    EXPECT_EQ(none.bucketIndex(String("k")), 0x80000000u);
}

TEST(List, InsertOrAssignFindAndRemove) {
    List<String, String> list(4);
    EXPECT_TRUE(list.set(String("InstallDir"), String("C:\\A")));
    EXPECT_TRUE(list.set(String("SharedDir"), String("C:\\S")));
    EXPECT_FALSE(list.set(String("InstallDir"), String("C:\\B")));
    EXPECT_EQ(list.count(), 2);
    ASSERT_NE(list.findValue(String("InstallDir")), nullptr);
    EXPECT_STREQ(list.findValue(String("InstallDir"))->c_str(), "C:\\B");
    EXPECT_EQ(list.find(String("installdir")), nullptr);  // keys are case-sensitive
    list.remove(list.find(String("SharedDir")));
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.find(String("SharedDir")), nullptr);
}

TEST(List, OrderListRunsNewestFirstAndSurvivesRebuilds) {
    List<bool, unsigned> list(1);
    for (unsigned k = 0; k < 100; ++k) list.insert(k, true);
    list.rebuild(0);  // automatic: 100 entries in 2 buckets → rebuilt for 160
    EXPECT_EQ(list.bucketCount(), bucketCountFor(160));
    unsigned expected = 99;
    int seen = 0;
    for (auto* e = list.first(); e; e = list.next(e), ++seen) EXPECT_EQ(e->key, expected--);
    EXPECT_EQ(seen, 100);
    for (unsigned k = 0; k < 100; ++k) EXPECT_NE(list.find(k), nullptr);
    EXPECT_FALSE(list.growByLoad(1.0, 2.0));
    List<bool, unsigned> small(0);
    for (unsigned k = 0; k < 3; ++k) small.insert(k, true);
    EXPECT_TRUE(small.growByLoad(1.0, 2.0));  // 1 bucket × 1.0 < 3 → rebuilt for 6
    EXPECT_EQ(small.bucketCount(), bucketCountFor(6));
}

// Records land in one piece each, whatever their size; the pieces give back every byte in order.
TEST(PieceBuffer, RecordsStayWholeAndComeBackInOrder) {
    PieceBuffer buffer;
    EXPECT_TRUE(buffer.empty());
    std::string expected;
    const size_t sizes[] = {10, PieceBuffer::kPieceSize - 20, 30, 3 * PieceBuffer::kPieceSize, 1,
                            0};
    char fill = 'a';
    for (size_t n : sizes) {
        std::string record(n, fill++);
        char* room = buffer.appendRoom(n);
        if (n > 0) std::memcpy(room, record.data(), n);
        expected += record;
    }
    buffer.append("end", 3);
    expected += "end";
    EXPECT_EQ(buffer.size(), expected.size());
    std::string back;
    int pieces = 0;
    buffer.forEachPiece([&](const char* bytes, size_t n) {
        back.append(bytes, n);
        ++pieces;
    });
    EXPECT_EQ(back, expected);
    // 10 and 65,516 bytes fill the first piece; 30 does not fit after them, the large record has
    // a piece of its own, and the last ones a new piece.
    EXPECT_EQ(pieces, 4);
    buffer.clear();
    EXPECT_TRUE(buffer.empty());
    buffer.forEachPiece([&](const char*, size_t) { ADD_FAILURE() << "a piece after clear"; });
}

// Strings of any bytes come back as added: zero bytes, empty strings, one string the prefix of
// the next and the other way round, and lengths whose counts take several bytes.
TEST(PrefixList, GivesBackEveryStringInOrder) {
    const std::string strings[] = {
        std::string("C:\\App\\a.txt"),
        std::string("C:\\App\\a.txt"),
        std::string("C:\\App"),
        std::string("C:\\App\\b\0c", 10),
        std::string(),
        std::string("~C:\\App"),
        std::string(70000, 'x'),
        std::string(70000, 'x') + "y",
        std::string(300, 'x'),
    };
    PrefixList list;
    size_t total = 0;
    for (const std::string& text : strings) {
        list.add(text.data(), static_cast<int32_t>(text.size()));
        total += text.size();
    }
    EXPECT_EQ(list.count(), 9);
    EXPECT_EQ(list.totalLength(), total);
    std::vector<std::string> back;
    list.forEach([&](const String& text) {
        back.emplace_back(text.c_str(), static_cast<size_t>(text.length()));
    });
    ASSERT_EQ(back.size(), std::size(strings));
    for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(back[i], strings[i]) << "string " << i;
    list.clear();
    EXPECT_EQ(list.count(), 0);
    list.forEach([](const String&) { ADD_FAILURE() << "a string after clear"; });
}

}  // namespace
}  // namespace tessarin
