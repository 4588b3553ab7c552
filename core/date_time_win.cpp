#include <windows.h>

#include "core/date_time.h"

namespace tessarin {
namespace {

constexpr int64_t kTicksPerMinute = 600000000;  // FILETIME ticks are 100 ns

FILETIME toFileTime(uint64_t value) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(value);
    ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return ft;
}

uint64_t fromFileTime(const FILETIME& ft) {
    return uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
}

bool within(int32_t v, int32_t low, int32_t high) {
    return v >= low && v <= high;
}

// SYSTEMTIME's fields are 16 bits wide: a field outside its range must not wrap into another
// valid date, so the ranges are checked before the fields are narrowed. The day is checked
// against its month here too, because not every implementation of SystemTimeToFileTime does
// (Wine turns 29 February of a common year into 1 March).
bool toSystemTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                  int32_t second, SYSTEMTIME& st) {
    if (!within(year, 1601, 30827) || !within(month, 1, 12) ||
        !within(day, 1, daysInMonth(month, year)) || !within(hour, 0, 23) ||
        !within(minute, 0, 59) || !within(second, 0, 59)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    st = {};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    return true;
}

DateTime fromSystemTime(const SYSTEMTIME& st) {
    DateTime t;
    t.setDate(st.wYear, st.wMonth, st.wDay);
    t.setTime(st.wHour, st.wMinute, st.wSecond);
    return t;
}

int32_t currentOffsetMinutes() {
    TIME_ZONE_INFORMATION tz;
    DWORD zone = GetTimeZoneInformation(&tz);
    if (zone == TIME_ZONE_ID_INVALID) return 0;
    LONG bias = tz.Bias;
    if (zone == TIME_ZONE_ID_STANDARD) bias += tz.StandardBias;
    if (zone == TIME_ZONE_ID_DAYLIGHT) bias += tz.DaylightBias;
    return -bias;
}

// The offset of local time from UTC at a UTC instant.
bool offsetAt(int64_t utc, int32_t& minutes) {
    if (utc < 0) return false;
    FILETIME ft = toFileTime(static_cast<uint64_t>(utc)), localFt;
    SYSTEMTIME u, local;
    if (!FileTimeToSystemTime(&ft, &u) || !SystemTimeToTzSpecificLocalTime(nullptr, &u, &local) ||
        !SystemTimeToFileTime(&local, &localFt)) {
        return false;
    }
    minutes = static_cast<int32_t>((int64_t(fromFileTime(localFt)) - utc) / kTicksPerMinute);
    return true;
}

}  // namespace

// FILETIMEs from 2^63 on are no times; the local-time shift works on signed values and could
// wrap one of them round into a valid early date.
bool fileTimeToRecord(uint64_t fileTime, FileDateTime& record) {
    record = {};
    if (fileTime > 0x7FFFFFFFFFFFFFFFull) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    FILETIME utc = toFileTime(fileTime), local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return false;
    record = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
    return true;
}

// The record holds local time, so the way back goes through the local-time conversion too;
// without it every round trip would move the time stamp by the zone's offset.
bool recordToFileTime(const FileDateTime& record, uint64_t& fileTime) {
    SYSTEMTIME st;
    if (record.isUnset()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!toSystemTime(record.year, record.month, record.day, record.hour, record.minute,
                      record.second, st)) {
        return false;
    }
    FILETIME local, utc;
    if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc)) return false;
    fileTime = fromFileTime(utc);
    return true;
}

DateTime DateTime::now() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return fromSystemTime(st);
}

DateTime DateTime::nowUniversal() {
    SYSTEMTIME st;
    GetSystemTime(&st);
    return fromSystemTime(st);
}

int32_t currentLocalYear() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return st.wYear;
}

// The offset belongs to an instant, and the instant of a local time depends on the offset.
// Reading the local time as UTC gives an offset that can be wrong only within hours of a
// change to or from summer time; one more step from the instant that offset implies settles it.
int32_t localZoneOffsetMinutes(const DateTime& when) {
    if (when.isInvalid()) return currentOffsetMinutes();
    bool timed =
        within(when.hour, 0, 23) && within(when.minute, 0, 59) && within(when.second, 0, 59);
    SYSTEMTIME st;
    FILETIME ft;
    if (!toSystemTime(when.year, when.month, when.day, timed ? when.hour : 12,
                      timed ? when.minute : 0, timed ? when.second : 0, st) ||
        !SystemTimeToFileTime(&st, &ft)) {
        return currentOffsetMinutes();
    }
    int64_t local = static_cast<int64_t>(fromFileTime(ft));
    int32_t guess, settled;
    if (!offsetAt(local, guess)) return currentOffsetMinutes();
    return offsetAt(local - guess * kTicksPerMinute, settled) ? settled : guess;
}

// Sorts as text and reads the same in every locale, which suits log time stamps.
const char* defaultDateFormat() {
    return "yy-mm-dd HH:ii:ss";
}

}  // namespace tessarin
