// Dates and times: the compact file date-time record that the payload stores for every file,
// and DateTime, the value used for comparisons, the clock and formatted output.
//
// The calendar arithmetic and the formatting are portable (date_time.cpp). The clock, the
// FILETIME conversions and the time zone come from the platform (date_time_win.cpp, with
// stand-ins built on the C library in date_time_native.cpp).
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

inline constexpr int32_t kFileDateTimeSize = 24;
inline constexpr int32_t kUnsetYear = INT32_MIN;  // 0x80000000

// The file date-time record: six signed 32-bit little-endian fields in this order. A
// zero-initialised record is unset.
struct FileDateTime {
    int32_t year = 0;
    int32_t month = 0;  // 1-12
    int32_t day = 0;    // 1-31
    int32_t hour = 0;   // 0-23
    int32_t minute = 0;
    int32_t second = 0;

    bool isUnset() const { return month == 0 || hour < 0; }

    static FileDateTime read(const uint8_t* bytes);  // kFileDateTimeSize bytes
    void write(uint8_t* bytes) const;
};
static_assert(sizeof(FileDateTime) == kFileDateTimeSize);

// FILETIME values (100-ns intervals since 1601, UTC) as 64-bit numbers, converted through
// local time. Both fail with the system's last error; a failed conversion to a record leaves
// it unset.
bool fileTimeToRecord(uint64_t fileTime, FileDateTime& record);
bool recordToFileTime(const FileDateTime& record, uint64_t& fileTime);

struct DateTime {
    int32_t dayNumber = 0;  // one less than the Julian day number; 0 when there is no date
    int32_t month = 0;
    int32_t day = 0;
    int32_t year = kUnsetYear;
    int32_t dayOfWeek = 0;  // 1 Sunday .. 7 Saturday
    int32_t hour = -1;
    int32_t minute = -1;
    int32_t second = -1;

    // Stores the date and derives the day number and the day of the week. Negative years are
    // years before Christ; there is no year 0.
    void setDate(int32_t year, int32_t month, int32_t day);
    // The reverse; day number 0 clears the date.
    void setDayNumber(int32_t dayNumber);
    void clearDate();
    void setTime(int32_t hour, int32_t minute, int32_t second);

    bool isInvalid() const;
    // Pattern tokens: yy y mm m dd d ww w HH H hh h ii i ss s AP ap MM M WW W DD D YY Y b; any
    // other character is copied. A null or empty pattern uses defaultDateFormat().
    String format(const char* pattern) const;

    static DateTime fromRecord(const FileDateTime& record);
    static DateTime now();           // local time
    static DateTime nowUniversal();  // UTC
    // -1, 0 or +1. Invalid values are equal to each other and below valid ones; valid values
    // compare by their day numbers only.
    static int compare(const DateTime& a, const DateTime& b);
};
static_assert(sizeof(DateTime) == 32);

int32_t dayNumberOf(int32_t year, int32_t month, int32_t day);
int32_t dayOfWeekOf(int32_t dayNumber);            // 0 for day number 0
int32_t daysInMonth(int32_t month, int32_t year);  // 0 for a month outside 1-12
int32_t currentLocalYear();

// Minutes to add to UTC to get the local time in effect on the value's date (at its time of
// day when it has one, otherwise at noon); the current offset when the value is invalid.
int32_t localZoneOffsetMinutes(const DateTime& when);
// The pattern of an empty format(): "yy-mm-dd HH:ii:ss".
const char* defaultDateFormat();

}  // namespace tessarin
