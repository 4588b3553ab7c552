#include "core/csv.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

TEST(Csv, QuotesExactlyTheFieldsThatNeedIt) {
    struct Case {
        const char* field;
        const char* written;
    } cases[] = {
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"tab\tx", "\"tab\tx\""},
        {"semi;", "\"semi;\""},
        {"pipe|", "\"pipe|\""},
        {" lead", "\" lead\""},
        {"trail ", "\"trail \""},
        {"'apos", "\"'apos\""},
        {"#hash", "\"#hash\""},
        {"mid#dle", "mid#dle"},
        {"", ""},
        {"line\r\nbreak", "\"line\r\nbreak\""},
    };
    for (const Case& c : cases) {
        String record;
        csvAppendField(record, String(c.field));
        EXPECT_STREQ(record.c_str(), c.written) << c.field;
    }
}

TEST(Csv, SplitReadsBackWhatJoinWrote) {
    Vector<String> fields;
    for (const char* f : {"C:\\a,b.exe", "", " x ", "q\"uote", "#1", "last"})
        fields.append(String(f));
    String record = csvJoin(fields);
    Vector<String> back = csvSplit(record.c_str(), record.length());
    ASSERT_EQ(back.count(), fields.count());
    for (int32_t i = 0; i < fields.count(); ++i) EXPECT_TRUE(back[i] == fields[i]) << i;
}

TEST(Csv, SplitEdgeCases) {
    EXPECT_EQ(csvSplit("").count(), 0);
    EXPECT_EQ(csvSplit("a,").count(), 2);
    EXPECT_EQ(csvSplit(",,").count(), 3);
    Vector<String> open = csvSplit("\"unterminated,still");
    ASSERT_EQ(open.count(), 1);
    EXPECT_STREQ(open[0].c_str(), "unterminated,still");
    Vector<String> after = csvSplit("\"a\"b,c");
    ASSERT_EQ(after.count(), 2);
    EXPECT_STREQ(after[0].c_str(), "ab");
}

}  // namespace
}  // namespace tessarin
