// Native stand-ins for the clock and the time zone, built on the C library. Like the Windows
// conversions they shift FILETIMEs by the offset in effect now, not by the one of the date.
#include <ctime>

#include "core/date_time.h"

namespace tessarin {
namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
constexpr uint64_t kLargestFileTime = 0x7FFFFFFFFFFFFFFF;

bool within(int32_t v, int32_t low, int32_t high) {
    return v >= low && v <= high;
}

int32_t currentOffsetSeconds() {
    time_t now = time(nullptr);
    tm local;
    if (!localtime_r(&now, &local)) return 0;
    return static_cast<int32_t>(local.tm_gmtoff);
}

DateTime fromTm(const tm& t) {
    DateTime d;
    d.setDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    d.setTime(t.tm_hour, t.tm_min, t.tm_sec);
    return d;
}

}  // namespace

bool fileTimeToRecord(uint64_t fileTime, FileDateTime& record) {
    record = {};
    if (fileTime > kLargestFileTime) return false;
    time_t local = static_cast<time_t>(int64_t(fileTime) / kTicksPerSecond - kUnixEpochSeconds +
                                       currentOffsetSeconds());
    tm t;
    if (!gmtime_r(&local, &t)) return false;
    record = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
    return true;
}

bool recordToFileTime(const FileDateTime& record, uint64_t& fileTime) {
    if (record.isUnset() || !within(record.year, 1601, 30827) || !within(record.month, 1, 12) ||
        !within(record.day, 1, daysInMonth(record.month, record.year)) ||
        !within(record.hour, 0, 23) || !within(record.minute, 0, 59) ||
        !within(record.second, 0, 59)) {
        return false;
    }
    tm t = {};
    t.tm_year = record.year - 1900;
    t.tm_mon = record.month - 1;
    t.tm_mday = record.day;
    t.tm_hour = record.hour;
    t.tm_min = record.minute;
    t.tm_sec = record.second;
    int64_t seconds = int64_t(timegm(&t)) - currentOffsetSeconds() + kUnixEpochSeconds;
    if (seconds < 0) return false;
    fileTime = static_cast<uint64_t>(seconds * kTicksPerSecond);
    return true;
}

DateTime DateTime::now() {
    time_t now = time(nullptr);
    tm t;
    return localtime_r(&now, &t) ? fromTm(t) : DateTime();
}

DateTime DateTime::nowUniversal() {
    time_t now = time(nullptr);
    tm t;
    return gmtime_r(&now, &t) ? fromTm(t) : DateTime();
}

int32_t currentLocalYear() {
    return DateTime::now().year;
}

int32_t localZoneOffsetMinutes(const DateTime& when) {
    if (when.isInvalid() || !within(when.year, -100000, 100000)) {
        return currentOffsetSeconds() / 60;
    }
    bool timed =
        within(when.hour, 0, 23) && within(when.minute, 0, 59) && within(when.second, 0, 59);
    tm t = {};
    t.tm_year = when.year - 1900;
    t.tm_mon = when.month - 1;
    t.tm_mday = when.day;
    t.tm_hour = timed ? when.hour : 12;
    t.tm_min = timed ? when.minute : 0;
    t.tm_sec = timed ? when.second : 0;
    t.tm_isdst = -1;
    time_t instant = mktime(&t);
    tm local;
    if (instant == time_t(-1) || !localtime_r(&instant, &local)) {
        return currentOffsetSeconds() / 60;
    }
    return static_cast<int32_t>(local.tm_gmtoff / 60);
}

const char* defaultDateFormat() {
    return "yy-mm-dd HH:ii:ss";
}

}  // namespace tessarin
