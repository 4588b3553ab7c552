// Dates against the system: file time stamps, the clock and the time zone of the test prefix.
//
// The prefix takes its zone from the host, UTC on the test machines, and a running prefix
// offers no way to change it (neither SetTimeZoneInformation nor a TZ variable handed to a
// child process takes effect in Wine). The expectations are therefore computed for whatever
// zone is in effect; in a UTC prefix they cannot tell local time from UTC. Wine does take TZ
// from the environment it is started in, so other zones can be checked by hand with
// "TZ=Europe/Berlin tests/harness/wine-run.sh build/cross/wine_tests.exe".
#include "core/date_time.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "core/handle_win.h"

namespace tessarin {
namespace {

constexpr int64_t kTicksPerSecond = 10000000;

uint64_t value(const FILETIME& ft) {
    return uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
}

FILETIME fileTime(uint64_t v) {
    return {static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

// Seconds since the day-number origin, for ordering clock readings.
int64_t secondsOf(int32_t year, int32_t month, int32_t day, int32_t h, int32_t m, int32_t s) {
    return int64_t(dayNumberOf(year, month, day)) * 86400 + h * 3600 + m * 60 + s;
}
int64_t secondsOf(const SYSTEMTIME& st) {
    return secondsOf(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}
int64_t secondsOf(const DateTime& t) {
    return secondsOf(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

class TempFile {
  public:
    TempFile() {
        wchar_t folder[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, folder);
        GetTempFileNameW(folder, L"tdt", 0, path_);
    }
    ~TempFile() { DeleteFileW(path_); }
    Handle open() const {
        return Handle(CreateFileW(path_, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    }

  private:
    wchar_t path_[MAX_PATH + 1] = {};
};

TEST(DateTimeWin, RecordRoundTripsThroughAFileTimeStamp) {
    TempFile file;
    const FileDateTime records[] = {{2019, 7, 14, 16, 45, 30}, {2003, 1, 2, 3, 4, 5}};
    for (const FileDateTime& r : records) {
        uint64_t stamp = 0;
        ASSERT_TRUE(recordToFileTime(r, stamp));
        // The stamp is the record's local time moved to UTC by the zone's current offset, the
        // same offset the way back applies.
        FILETIME utc = fileTime(stamp), local;
        ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
        SYSTEMTIME shown;
        ASSERT_TRUE(FileTimeToSystemTime(&local, &shown));
        EXPECT_EQ(shown.wHour, r.hour);
        EXPECT_EQ(shown.wDay, r.day);

        Handle h = file.open();
        ASSERT_TRUE(h.valid());
        FILETIME write = fileTime(stamp);
        ASSERT_TRUE(SetFileTime(h.get(), &write, nullptr, &write));
        h.reset();

        h = file.open();
        FILETIME created, written;
        ASSERT_TRUE(GetFileTime(h.get(), &created, nullptr, &written));
        EXPECT_EQ(value(written), stamp);
        FileDateTime back;
        ASSERT_TRUE(fileTimeToRecord(value(written), back));
        EXPECT_EQ(back.year, r.year);
        EXPECT_EQ(back.month, r.month);
        EXPECT_EQ(back.day, r.day);
        EXPECT_EQ(back.hour, r.hour);
        EXPECT_EQ(back.minute, r.minute);
        EXPECT_EQ(back.second, r.second);
    }
}

// A file written just now carries the local clock's time once it is read into a record.
TEST(DateTimeWin, FreshFileStampReadsAsTheLocalClock) {
    TempFile file;
    SYSTEMTIME before;
    GetLocalTime(&before);
    Handle h = file.open();
    ASSERT_TRUE(h.valid());
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(h.get(), "x", 1, &done, nullptr));
    h.reset();  // the write time is taken when the handle closes at the latest
    SYSTEMTIME after;
    GetLocalTime(&after);

    h = file.open();
    FILETIME written;
    ASSERT_TRUE(GetFileTime(h.get(), nullptr, nullptr, &written));
    FileDateTime record;
    ASSERT_TRUE(fileTimeToRecord(value(written), record));
    DateTime stamp = DateTime::fromRecord(record);
    ASSERT_FALSE(stamp.isInvalid());
    EXPECT_GE(secondsOf(stamp), secondsOf(before) - 2);  // file systems round their stamps
    EXPECT_LE(secondsOf(stamp), secondsOf(after) + 2);

    uint64_t back = 0;
    ASSERT_TRUE(recordToFileTime(record, back));
    EXPECT_EQ(back, value(written) / kTicksPerSecond * kTicksPerSecond);
}

TEST(DateTimeWin, ClockReadsTheSystemClock) {
    SYSTEMTIME localBefore, utcBefore, localAfter, utcAfter;
    GetLocalTime(&localBefore);
    GetSystemTime(&utcBefore);
    DateTime local = DateTime::now();
    DateTime utc = DateTime::nowUniversal();
    int32_t year = currentLocalYear();
    GetLocalTime(&localAfter);
    GetSystemTime(&utcAfter);

    ASSERT_FALSE(local.isInvalid());
    ASSERT_FALSE(utc.isInvalid());
    EXPECT_GE(secondsOf(local), secondsOf(localBefore));
    EXPECT_LE(secondsOf(local), secondsOf(localAfter));
    EXPECT_GE(secondsOf(utc), secondsOf(utcBefore));
    EXPECT_LE(secondsOf(utc), secondsOf(utcAfter));
    EXPECT_TRUE(year == localBefore.wYear || year == localAfter.wYear);
    EXPECT_EQ(local.dayOfWeek, localBefore.wDayOfWeek + 1);  // Windows counts from Sunday = 0
}

std::string offsetText(int minutes) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%c%02d%02d", minutes < 0 ? '-' : '+',
                  (minutes < 0 ? -minutes : minutes) / 60, (minutes < 0 ? -minutes : minutes) % 60);
    return buffer;
}

// Local minus UTC at a local time, through the local-to-UTC conversion.
int offsetAtLocal(const SYSTEMTIME& local) {
    SYSTEMTIME utc;
    FILETIME a, b;
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
        !SystemTimeToFileTime(&local, &a) || !SystemTimeToFileTime(&utc, &b)) {
        ADD_FAILURE() << "conversion failed: " << GetLastError();
        return 0;
    }
    return static_cast<int>((int64_t(value(a)) - int64_t(value(b))) / (60 * kTicksPerSecond));
}

TEST(DateTimeWin, ZoneTokenFollowsThePrefixZone) {
    TIME_ZONE_INFORMATION zone;
    GetTimeZoneInformation(&zone);
    RecordProperty("zone_bias_minutes", static_cast<int>(zone.Bias));

    // Both halves of the year, where summer time would differ, and the hours around the
    // European change in spring, where reading the local time as UTC gives the wrong offset.
    const struct {
        WORD year, month, day, hour, minute;
    } dates[] = {{2024, 1, 15, 12, 0}, {2024, 7, 15, 12, 0}, {1999, 12, 31, 23, 59},
                 {2024, 3, 31, 1, 30}, {2024, 3, 31, 3, 30}, {2024, 10, 27, 1, 30}};
    for (const auto& d : dates) {
        DateTime t;
        t.setDate(d.year, d.month, d.day);
        t.setTime(d.hour, d.minute, 0);
        SYSTEMTIME local = {};
        local.wYear = d.year;
        local.wMonth = d.month;
        local.wDay = d.day;
        local.wHour = d.hour;
        local.wMinute = d.minute;
        EXPECT_EQ(t.format("b").c_str(), offsetText(offsetAtLocal(local)))
            << d.year << "-" << d.month << "-" << d.day << " " << d.hour << ":" << d.minute;
        if (d.hour == 12) {  // without a time of day, noon counts
            t.setTime(-1, -1, -1);
            EXPECT_EQ(t.format("b").c_str(), offsetText(offsetAtLocal(local)));
        }
    }

    // Without a date: the offset in effect now, as the two clocks show it.
    SYSTEMTIME local, utc;
    GetLocalTime(&local);
    GetSystemTime(&utc);
    int64_t difference = (secondsOf(local) - secondsOf(utc)) / 60;
    int now = static_cast<int>((difference + (difference < 0 ? -7 : 7)) / 15 * 15);
    EXPECT_EQ(DateTime().format("b").c_str(), offsetText(now));
}

}  // namespace
}  // namespace tessarin
