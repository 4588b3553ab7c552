// Calendar arithmetic, the file record and the format tokens. Expected day numbers come from
// an independent calculation (proleptic ordinals for Gregorian dates, the integer Julian-day
// formula for Julian ones).
#include "core/date_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace tessarin {
namespace {

DateTime at(int32_t year, int32_t month, int32_t day, int32_t hour = -1, int32_t minute = -1,
            int32_t second = -1) {
    DateTime t;
    t.setDate(year, month, day);
    t.setTime(hour, minute, second);
    return t;
}

std::string text(const DateTime& t, const char* pattern) {
    return t.format(pattern).c_str();
}

struct DayCase {
    int32_t year, month, day, dayNumber, dayOfWeek;
};

TEST(DateTime, DayNumbersAndWeekdaysOfKnownDates) {
    const DayCase cases[] = {
        {1582, 10, 15, 2299160, 6},  // first Gregorian day, a Friday
        {1582, 10, 4, 2299159, 5},   // last Julian day, the Thursday before
        {2000, 1, 1, 2451544, 7},   {2024, 3, 5, 2460374, 3}, {1970, 1, 1, 2440587, 5},
        {2000, 2, 29, 2451603, 3},  {1900, 3, 1, 2415079, 5}, {9999, 12, 31, 5373483, 6},
        {1500, 2, 29, 2268991, 7},  // a Julian leap day in a century year
        {1, 1, 1, 1721423, 7},      {-1, 12, 31, 1721422, 6},  // no year 0 in between
        {-44, 3, 15, 1705425, 4},   {-4713, 1, 1, -1, 2},      // before the count's origin
    };
    for (const DayCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
        DateTime t = at(c.year, c.month, c.day);
        EXPECT_EQ(t.dayNumber, c.dayNumber);
        EXPECT_EQ(t.dayOfWeek, c.dayOfWeek);
        EXPECT_FALSE(t.isInvalid());

        DateTime back;
        back.setTime(1, 2, 3);
        back.setDayNumber(c.dayNumber);
        EXPECT_EQ(back.year, c.year);
        EXPECT_EQ(back.month, c.month);
        EXPECT_EQ(back.day, c.day);
        EXPECT_EQ(back.dayOfWeek, c.dayOfWeek);
        EXPECT_EQ(back.hour, 1);  // the time of day is not touched
    }
}

// Walking the day numbers must produce consecutive calendar days that map back to the same
// numbers, with the one jump of the calendar reform and none at the change of era.
TEST(DateTime, ConsecutiveDayNumbersAreConsecutiveValidDates) {
    DateTime previous;
    previous.setDayNumber(dayNumberOf(-1000, 1, 1) - 1);
    ASSERT_EQ(previous.year, -1001);
    const int32_t last = dayNumberOf(2500, 12, 31);
    for (int32_t n = previous.dayNumber + 1; n <= last; ++n) {
        DateTime t;
        t.setDayNumber(n);
        ASSERT_FALSE(t.isInvalid()) << n;
        ASSERT_EQ(dayNumberOf(t.year, t.month, t.day), n) << n;
        ASSERT_EQ(t.dayOfWeek, previous.dayOfWeek % 7 + 1) << n;
        if (n == 2299160) {
            ASSERT_EQ(previous.day, 4);
            ASSERT_EQ(t.day, 15);
        } else if (t.day != 1) {
            ASSERT_EQ(t.day, previous.day + 1) << n;
        } else if (t.month != 1) {
            ASSERT_EQ(previous.day, daysInMonth(previous.month, previous.year)) << n;
            ASSERT_EQ(t.month, previous.month + 1) << n;
        } else {
            ASSERT_EQ(previous.month, 12) << n;
            ASSERT_EQ(previous.day, 31) << n;
            ASSERT_EQ(t.year, previous.year == -1 ? 1 : previous.year + 1) << n;
        }
        previous = t;
    }
}

TEST(DateTime, DayNumberZeroClearsTheDate) {
    DateTime t = at(2024, 3, 5, 10, 0, 0);
    t.setDayNumber(0);
    EXPECT_EQ(t.dayNumber, 0);
    EXPECT_EQ(t.month, 0);
    EXPECT_EQ(t.day, 0);
    EXPECT_EQ(t.year, kUnsetYear);
    EXPECT_EQ(t.dayOfWeek, 0);
    EXPECT_EQ(t.hour, 10);
    EXPECT_TRUE(t.isInvalid());
    EXPECT_EQ(dayOfWeekOf(0), 0);
}

TEST(DateTime, DaysInMonth) {
    const struct {
        int32_t month, year, days;
    } cases[] = {
        {2, 2000, 29}, {2, 1900, 28}, {2, 2024, 29},  {2, 2023, 28},
        {2, 1600, 29}, {2, 1500, 29},  // Julian: every fourth year
        {2, -1, 29},                   // 1 BC is a leap year of the Julian count
        {2, -2, 28},   {4, 2023, 30}, {12, 2023, 31}, {1, 2023, 31},
        {0, 2000, 0},  {13, 2000, 0}, {-1, 2000, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(daysInMonth(c.month, c.year), c.days) << c.month << "/" << c.year;
    }
}

TEST(DateTime, NewValueHasNoDateAndNoTime) {
    DateTime t;
    EXPECT_EQ(t.dayNumber, 0);
    EXPECT_EQ(t.month, 0);
    EXPECT_EQ(t.day, 0);
    EXPECT_EQ(t.year, int32_t(0x80000000));
    EXPECT_EQ(t.dayOfWeek, 0);
    EXPECT_EQ(t.hour, -1);
    EXPECT_EQ(t.minute, -1);
    EXPECT_EQ(t.second, -1);
    EXPECT_TRUE(t.isInvalid());
}

TEST(DateTime, IsInvalid) {
    DateTime badWeekday = at(2024, 3, 5);
    badWeekday.dayOfWeek = 8;
    const struct {
        const char* what;
        DateTime t;
        bool invalid;
    } cases[] = {
        {"ordinary date", at(2024, 3, 5), false},   {"leap day 2000", at(2000, 2, 29), false},
        {"leap day 1900", at(1900, 2, 29), true},   {"day 0", at(2024, 3, 0), true},
        {"day 32", at(2024, 1, 32), true},          {"31 April", at(2024, 4, 31), true},
        {"month 0", at(2024, 0, 10), true},         {"month 13", at(2024, 13, 10), true},
        {"year unset", at(kUnsetYear, 3, 5), true}, {"weekday 8", badWeekday, true},
        {"negative year", at(-44, 3, 15), false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.t.isInvalid(), c.invalid) << c.what;
}

TEST(DateTime, AbsurdFieldsGiveDefinedResults) {
    // Fields come from payload records; none may overflow the arithmetic.
    const int32_t extremes[] = {INT32_MIN, -1, 0, INT32_MAX};
    for (int32_t y : extremes) {
        for (int32_t m : extremes) {
            for (int32_t d : extremes) {
                DateTime t = at(y, m, d);
                EXPECT_TRUE(t.isInvalid());
                EXPECT_FALSE(t.format("yy y mm DD D YY Y MM W").empty());
            }
        }
    }
    for (int32_t n : {INT32_MIN, INT32_MIN + 1, -1, 1, INT32_MAX}) {
        DateTime t;
        t.setDayNumber(n);
        EXPECT_EQ(dayNumberOf(t.year, t.month, t.day), n) << n;
        EXPECT_FALSE(t.isInvalid()) << n;
    }
}

TEST(DateTime, CompareUsesTheDayOnly) {
    const DateTime none;
    DateTime badDay = at(2024, 2, 30);
    const struct {
        DateTime a, b;
        int expected;
    } cases[] = {
        {at(2024, 3, 5, 8, 0, 0), at(2024, 3, 5, 23, 59, 59), 0},  // same day, other times
        {at(2024, 3, 5, 23, 0, 0), at(2024, 3, 6, 0, 0, 0), -1},
        {at(2024, 3, 6), at(2024, 3, 5), 1},
        {at(-44, 3, 15), at(1, 1, 1), -1},
        {none, badDay, 0},  // two invalid values are equal
        {none, at(1, 1, 1), -1},
        {at(1, 1, 1), badDay, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateTime::compare(c.a, c.b), c.expected) << c.a.dayNumber << " " << c.b.dayNumber;
    }
}

// ---- File date-time record ----------------------------------------------------------------

TEST(FileDateTime, BytesAreSixLittleEndianFields) {
    const uint8_t bytes[kFileDateTimeSize] = {
        0xE8, 0x07, 0, 0, 3, 0, 0, 0, 5,    0,    0,    0,
        0x0E, 0,    0, 0, 7, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,  // second -1
    };
    FileDateTime r = FileDateTime::read(bytes);
    EXPECT_EQ(r.year, 2024);
    EXPECT_EQ(r.month, 3);
    EXPECT_EQ(r.day, 5);
    EXPECT_EQ(r.hour, 14);
    EXPECT_EQ(r.minute, 7);
    EXPECT_EQ(r.second, -1);
    uint8_t out[kFileDateTimeSize];
    r.write(out);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), sizeof out),
              std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

TEST(FileDateTime, UnsetRecordsGiveAnUnsetDateTime) {
    const struct {
        FileDateTime record;
        bool unset;
    } cases[] = {
        {{}, true},
        {{2024, 0, 5, 14, 7, 9}, true},
        {{2024, 3, 5, -1, 7, 9}, true},
        {{2024, 3, 5, 0, 0, 0}, false},
        {{0, 1, 1, 0, 0, 0}, false},  // year 0 is not "unset", merely invalid
    };
    const DateTime none;
    for (const auto& c : cases) {
        EXPECT_EQ(c.record.isUnset(), c.unset);
        DateTime t = DateTime::fromRecord(c.record);
        if (c.unset)
            EXPECT_EQ(std::memcmp(&t, &none, sizeof t), 0);
        else
            EXPECT_EQ(t.dayNumber, dayNumberOf(c.record.year, c.record.month, c.record.day));
    }
    DateTime t = DateTime::fromRecord({2024, 3, 5, 14, 7, 9});
    EXPECT_EQ(t.dayNumber, 2460374);
    EXPECT_EQ(t.dayOfWeek, 3);
    EXPECT_EQ(text(t, "yy-mm-dd HH:ii:ss"), "2024-03-05 14:07:09");
}

// The FILETIME conversions go through local time in both directions, so a record survives
// the round trip whatever the zone.
TEST(FileDateTime, FileTimeRoundTrip) {
    const FileDateTime records[] = {
        {2024, 3, 5, 14, 7, 9},  {2000, 2, 29, 0, 0, 0}, {1999, 12, 31, 23, 59, 59},
        {2038, 1, 19, 3, 14, 8}, {1700, 6, 1, 12, 0, 0},
    };
    for (const FileDateTime& r : records) {
        uint64_t ft = 0;
        ASSERT_TRUE(recordToFileTime(r, ft)) << r.year;
        FileDateTime back;
        ASSERT_TRUE(fileTimeToRecord(ft, back));
        EXPECT_EQ(std::memcmp(&back, &r, sizeof r), 0) << r.year << " " << back.hour;
        ASSERT_TRUE(fileTimeToRecord(ft + 9999999, back));  // fractions of a second drop
        EXPECT_EQ(back.second, r.second);
    }
}

TEST(FileDateTime, RecordsWithoutAFileTimeAreRefused) {
    const FileDateTime records[] = {
        {},                       // unset
        {1600, 12, 31, 0, 0, 0},  // before FILETIME's epoch
        {2023, 2, 29, 0, 0, 0},
        {2024, 13, 1, 0, 0, 0},
        {2024, 1, 1, 24, 0, 0},
        {2024, 1, 1, 0, 60, 0},
        {2024, 1, 1, 0, 0, 60},
        {65536 + 2024, 1, 1, 0, 0, 0},
    };
    for (const FileDateTime& r : records) {
        uint64_t ft = 12345;
        EXPECT_FALSE(recordToFileTime(r, ft)) << r.year << "-" << r.month << "-" << r.day;
        EXPECT_EQ(ft, 12345u);
    }
    // FILETIMEs from 2^63 on are no times, also where the zone's offset would bring them back
    // into range.
    for (uint64_t ft : {0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull}) {
        FileDateTime r{2024, 3, 5, 1, 2, 3};
        EXPECT_FALSE(fileTimeToRecord(ft, r)) << ft;
        EXPECT_TRUE(r.isUnset());
    }
}

// ---- The clock ----------------------------------------------------------------------------

TEST(DateTime, ClockAgreesWithTheRuntime) {
    DateTime before = DateTime::nowUniversal();
    int32_t expected = static_cast<int32_t>(std::time(nullptr) / 86400 + 2440587);
    DateTime after = DateTime::nowUniversal();
    ASSERT_FALSE(after.isInvalid());
    EXPECT_GE(expected, before.dayNumber);  // midnight may pass between the calls
    EXPECT_LE(expected, after.dayNumber);
    EXPECT_TRUE(after.hour >= 0 && after.hour <= 23 && after.second >= 0 && after.second <= 59);

    DateTime local = DateTime::now();
    ASSERT_FALSE(local.isInvalid());
    EXPECT_LE(std::abs(local.dayNumber - after.dayNumber), 1);  // zones are within a day
    int32_t year = currentLocalYear();
    EXPECT_TRUE(year == local.year || year == local.year + 1);
}

// ---- Formatting ---------------------------------------------------------------------------

TEST(DateTimeFormat, EveryToken) {
    const DateTime t = at(2024, 3, 5, 14, 7, 9);  // a Tuesday
    const struct {
        const char* pattern;
        const char* expected;
    } cases[] = {
        {"yy/mm/dd HH:ii:ss", "2024/03/05 14:07:09"},
        {"y", "24"},
        {"m d", "3 5"},
        {"ww w", "03 3"},
        {"HH H hh h", "14 14 02 2"},
        {"ii i ss s", "07 7 09 9"},
        {"AP ap", "p.m. p"},
        {"MM M", "March Mar"},
        {"WW W", "Tuesday Tue"},
        {"DD D", "Fifth Five"},
        {"YY", "Two Thousand Twenty-Four"},
        {"Y", "Twenty-Four"},
        {"W, d M yy", "Tue, 5 Mar 2024"},
        {"yyy mmm", "202424 033"},  // a doubled letter is one token, the rest starts anew
        {"A a Ap aP x-Z:", "A a Ap aP x-Z:"},  // no partner letter: copied as is
        {"<AP>", "<p.m.>"},
        {"", "2024-03-05 14:07:09"},  // the default pattern
    };
    for (const auto& c : cases) EXPECT_EQ(text(t, c.pattern), c.expected) << c.pattern;
    EXPECT_EQ(text(t, nullptr), text(t, defaultDateFormat()));
}

TEST(DateTimeFormat, TwelveHourClock) {
    const struct {
        int32_t hour;
        const char* expected;
    } cases[] = {{0, "12 a.m. a"},  {1, "01 a.m. a"},  {11, "11 a.m. a"},
                 {12, "12 p.m. p"}, {13, "01 p.m. p"}, {23, "11 p.m. p"}};
    for (const auto& c : cases) {
        EXPECT_EQ(text(at(2024, 3, 5, c.hour, 0, 0), "hh AP ap"), c.expected) << c.hour;
    }
}

TEST(DateTimeFormat, DaysInWords) {
    const struct {
        int32_t day;
        const char* ordinal;
        const char* cardinal;
    } cases[] = {
        {1, "First", "One"},
        {2, "Second", "Two"},
        {3, "Third", "Three"},
        {4, "Fourth", "Four"},
        {5, "Fifth", "Five"},
        {8, "Eighth", "Eight"},
        {9, "Ninth", "Nine"},
        {11, "Eleventh", "Eleven"},
        {12, "Twelfth", "Twelve"},
        {13, "Thirteenth", "Thirteen"},
        {20, "Twentieth", "Twenty"},
        {21, "Twenty-First", "Twenty-One"},
        {22, "Twenty-Second", "Twenty-Two"},
        {23, "Twenty-Third", "Twenty-Three"},
        {30, "Thirtieth", "Thirty"},
        {31, "Thirty-First", "Thirty-One"},
    };
    for (const auto& c : cases) {
        DateTime t = at(2024, 1, c.day);
        EXPECT_EQ(text(t, "DD"), c.ordinal);
        EXPECT_EQ(text(t, "D"), c.cardinal);
    }
}

TEST(DateTimeFormat, YearsInWords) {
    const struct {
        int32_t year;
        const char* full;
        const char* shortForm;
    } cases[] = {
        {1999, "Nineteen Ninety-Nine", "Ninety-Nine"},
        {1905, "Nineteen Oh Five", "Oh Five"},
        {1900, "Nineteen Hundred", "Oh Zero"},
        {2000, "Two Thousand", "Oh Zero"},
        {2005, "Two Thousand Five", "Oh Five"},
        {2010, "Two Thousand Ten", "Ten"},
        {2150, "Twenty-One Fifty", "Fifty"},
        {1066, "One Thousand Sixty-Six", "Sixty-Six"},
        {812, "Eight Hundred Twelve", "Twelve"},
        {10000, "Ten Thousand", "Oh Zero"},
        {-44, "Forty-Four BC", "Forty-Four"},
    };
    for (const auto& c : cases) {
        DateTime t = at(c.year, 6, 1);
        EXPECT_EQ(text(t, "YY"), c.full);
        EXPECT_EQ(text(t, "Y"), c.shortForm);
    }
}

TEST(DateTimeFormat, NamesOfEveryMonthAndWeekday) {
    const char* months[] = {"January", "February", "March",     "April",   "May",      "June",
                            "July",    "August",   "September", "October", "November", "December"};
    for (int m = 1; m <= 12; ++m) {
        DateTime t = at(2024, m, 1);
        EXPECT_EQ(text(t, "MM"), months[m - 1]);
        EXPECT_EQ(text(t, "M"), std::string(months[m - 1], 3));
    }
    const char* weekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                              "Thursday", "Friday", "Saturday"};
    for (int d = 0; d < 7; ++d) {
        DateTime t = at(2024, 3, 3 + d);  // 3 March 2024 is a Sunday
        EXPECT_EQ(text(t, "WW"), weekdays[d]);
        EXPECT_EQ(text(t, "W"), std::string(weekdays[d], 3));
    }
}

TEST(DateTimeFormat, UnsetFieldsPrintTheirStoredValues) {
    const DateTime none;
    EXPECT_EQ(text(none, "yy|mm|dd|w|HH|h|ii|ss|MM|W"), "-2147483648|00|00|0|-1|-1|-1|-1|0|0");
    EXPECT_EQ(text(none, "YY|Y|D"), "-2147483648|-2147483648|Zero");
}

bool looksLikeOffset(const std::string& s) {
    if (s.size() != 5 || (s[0] != '+' && s[0] != '-')) return false;
    for (size_t i = 1; i < 5; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
    }
    return (s[3] - '0') * 10 + (s[4] - '0') < 60;
}

TEST(DateTimeFormat, ZoneOffsetHasSignHoursAndMinutes) {
    EXPECT_TRUE(looksLikeOffset(text(at(2024, 1, 15, 12, 0, 0), "b")));
    EXPECT_TRUE(looksLikeOffset(text(DateTime(), "b")));
    EXPECT_EQ(text(at(2024, 1, 15), "[b]").size(), 7u);
}

#if !defined(_WIN32)
// The native clock follows TZ; under Windows the zone is the system's (see the Wine tests).
class ZoneOverride {
  public:
    explicit ZoneOverride(const char* zone) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneOverride() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    bool hadOld_ = false;
    std::string old_;
};

TEST(DateTimeFormat, ZoneOffsetInEffectOnTheDate) {
    {
        ZoneOverride zone("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(text(at(2024, 1, 15), "b"), "+0100");
        EXPECT_EQ(text(at(2024, 7, 15), "b"), "+0200");
        EXPECT_EQ(text(at(2024, 3, 31, 1, 30, 0), "b"), "+0100");  // the morning of the change
        EXPECT_EQ(text(at(2024, 3, 31, 3, 30, 0), "b"), "+0200");
    }
    {
        ZoneOverride zone("<-0330>3:30");
        EXPECT_EQ(text(at(2024, 7, 15), "b"), "-0330");
        EXPECT_EQ(text(DateTime(), "b"), "-0330");  // invalid: the current offset
    }
}

TEST(FileDateTime, FileTimeConversionUsesLocalTime) {
    ZoneOverride zone("<+0530>-5:30");
    const uint64_t midnight2000Utc = 125911584000000000ull;
    FileDateTime r;
    ASSERT_TRUE(fileTimeToRecord(midnight2000Utc, r));
    EXPECT_EQ(text(DateTime::fromRecord(r), "yy-mm-dd HH:ii:ss"), "2000-01-01 05:30:00");
    uint64_t ft = 0;
    ASSERT_TRUE(recordToFileTime(r, ft));
    EXPECT_EQ(ft, midnight2000Utc);
}
#endif

}  // namespace
}  // namespace tessarin
