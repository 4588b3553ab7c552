#include "core/date_time.h"

#include <cmath>
#include <cstring>

#include "core/byte_order.h"
#include "core/format.h"

namespace tessarin {
namespace {

// Dates before this calendar value (year * 10000 + month * 100 + day) are Julian.
constexpr int64_t kGregorianStart = 15821015;
constexpr int32_t kFirstGregorianDay = 2299160;  // the day number of 15 October 1582

int64_t floorOf(double x) {
    return static_cast<int64_t>(std::floor(x));
}

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The calendar of the day-number arithmetic: Julian before 1582, Gregorian from then on, so
// that every date produced from a day number is also a valid date.
bool isLeapYear(int32_t year) {
    int64_t y = year < 0 ? int64_t(year) + 1 : year;  // 1 BC is year 0 of the arithmetic
    if (year < 1582) return y % 4 == 0;
    return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

constexpr const char* kMonthNames[12] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};
constexpr const char* kWeekdayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};

// ---- Numbers in words ---------------------------------------------------------------------

constexpr const char* kUnitWords[20] = {"Zero",    "One",     "Two",       "Three",    "Four",
                                        "Five",    "Six",     "Seven",     "Eight",    "Nine",
                                        "Ten",     "Eleven",  "Twelve",    "Thirteen", "Fourteen",
                                        "Fifteen", "Sixteen", "Seventeen", "Eighteen", "Nineteen"};
constexpr const char* kTensWords[10] = {"",      "",      "Twenty",  "Thirty", "Forty",
                                        "Fifty", "Sixty", "Seventy", "Eighty", "Ninety"};

void appendBelowHundred(String& s, int64_t n) {
    if (n < 20) {
        s.append(kUnitWords[n]);
        return;
    }
    s.append(kTensWords[n / 10]);
    if (n % 10 != 0) {
        s.appendChar('-');
        s.append(kUnitWords[n % 10]);
    }
}

void appendBelowThousand(String& s, int64_t n) {
    if (n >= 100) {
        s.append(kUnitWords[n / 100]);
        s.append(" Hundred");
        n %= 100;
        if (n == 0) return;
        s.appendChar(' ');
    }
    appendBelowHundred(s, n);
}

void appendCardinalWords(String& s, int64_t n) {
    if (n < 0) {
        s.append("Minus ");
        n = -n;
    }
    if (n == 0) {
        s.append(kUnitWords[0]);
        return;
    }
    static constexpr struct {
        int64_t value;
        const char* name;
    } kScales[] = {{1000000000, " Billion"}, {1000000, " Million"}, {1000, " Thousand"}, {1, ""}};
    bool first = true;
    for (const auto& scale : kScales) {
        int64_t group = n / scale.value;
        if (group == 0) continue;
        if (!first) s.appendChar(' ');
        first = false;
        appendBelowThousand(s, group);
        s.append(scale.name);
        n %= scale.value;
    }
}

// The ordinal is the cardinal with its last word changed: "Twenty-One" -> "Twenty-First".
void appendOrdinalWords(String& s, int64_t n) {
    int32_t start = s.length();
    appendCardinalWords(s, n);
    int32_t last = s.length();
    while (last > start && s.get(last - 1) != ' ' && s.get(last - 1) != '-') --last;
    static constexpr struct {
        const char* cardinal;
        const char* ordinal;
    } kIrregular[] = {{"One", "First"},     {"Two", "Second"},   {"Three", "Third"},
                      {"Five", "Fifth"},    {"Eight", "Eighth"}, {"Nine", "Ninth"},
                      {"Twelve", "Twelfth"}};
    const char* word = s.c_str() + last;
    for (const auto& irregular : kIrregular) {
        if (std::strcmp(word, irregular.cardinal) == 0) {
            s.setLength(last);
            s.append(irregular.ordinal);
            return;
        }
    }
    if (s.get(s.length() - 1) == 'y') {
        s.setLength(s.length() - 1);
        s.append("ieth");
    } else {
        s.append("th");
    }
}

// Years are read the way they are spoken: "Nineteen Ninety-Nine", "Nineteen Oh Five",
// "Nineteen Hundred", but "Two Thousand Twenty-Four" and "One Thousand Sixty-Six" where the
// hundreds would read as a round thousand.
void appendYearWords(String& s, int32_t year) {
    int64_t y = year < 0 ? -int64_t(year) : year;
    int64_t high = y / 100, low = y % 100;
    if (y >= 1100 && y <= 9999 && high % 10 != 0) {
        appendBelowHundred(s, high);
        if (low == 0) {
            s.append(" Hundred");
        } else {
            s.append(low < 10 ? " Oh " : " ");
            appendBelowHundred(s, low);
        }
    } else {
        appendCardinalWords(s, y);
    }
    if (year < 0) s.append(" BC");
}

void appendShortYearWords(String& s, int32_t year) {
    int64_t low = (year < 0 ? -int64_t(year) : year) % 100;
    if (low < 10) s.append("Oh ");
    appendBelowHundred(s, low);
}

// ---- Format tokens ------------------------------------------------------------------------

void appendNumber(String& s, int32_t value, bool twoDigits) {
    formatAppend(s, twoDigits ? "%02d" : "%d", value);
}

void appendName(String& s, const char* const* names, int32_t count, int32_t index, bool full) {
    if (index < 1 || index > count) {
        appendNumber(s, index, false);  // no name: the stored value shows instead
        return;
    }
    s.append(names[index - 1], full ? kWholeLength : 3);
}

int32_t twelveHourClock(int32_t hour) {
    if (hour < 0 || hour > 23) return hour;
    return hour % 12 == 0 ? 12 : hour % 12;
}

void appendZoneOffset(String& s, int32_t minutes) {
    int32_t magnitude = minutes < 0 ? -minutes : minutes;
    formatAppend(s, "%c%02d%02d", minutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
}

// Appends the token for letter c (doubled or not); false when c starts no token.
bool appendToken(String& s, const DateTime& t, char c, bool doubled) {
    switch (c) {
        case 'y':
            if (doubled)
                formatAppend(s, "%04d", t.year);
            else
                appendNumber(s, t.year % 100, true);
            return true;
        case 'm':
            appendNumber(s, t.month, doubled);
            return true;
        case 'd':
            appendNumber(s, t.day, doubled);
            return true;
        case 'w':
            appendNumber(s, t.dayOfWeek, doubled);
            return true;
        case 'H':
            appendNumber(s, t.hour, doubled);
            return true;
        case 'h':
            appendNumber(s, twelveHourClock(t.hour), doubled);
            return true;
        case 'i':
            appendNumber(s, t.minute, doubled);
            return true;
        case 's':
            appendNumber(s, t.second, doubled);
            return true;
        case 'M':
            appendName(s, kMonthNames, 12, t.month, doubled);
            return true;
        case 'W':
            appendName(s, kWeekdayNames, 7, t.dayOfWeek, doubled);
            return true;
        case 'D':
            if (doubled)
                appendOrdinalWords(s, t.day);
            else
                appendCardinalWords(s, t.day);
            return true;
        case 'Y':
            if (t.year == kUnsetYear)
                appendNumber(s, t.year, false);
            else if (doubled)
                appendYearWords(s, t.year);
            else
                appendShortYearWords(s, t.year);
            return true;
        default:
            return false;
    }
}

}  // namespace

// ---- File date-time record ----------------------------------------------------------------

FileDateTime FileDateTime::read(const uint8_t* bytes) {
    int32_t f[6];
    for (int i = 0; i < 6; ++i) f[i] = static_cast<int32_t>(loadLe32(bytes + 4 * i));
    return {f[0], f[1], f[2], f[3], f[4], f[5]};
}

void FileDateTime::write(uint8_t* bytes) const {
    const int32_t f[6] = {year, month, day, hour, minute, second};
    for (int i = 0; i < 6; ++i) storeLe32(bytes + 4 * i, static_cast<uint32_t>(f[i]));
}

// ---- Calendar -----------------------------------------------------------------------------

// Computed in 64 bits so that any field values, however absurd, give a defined result.
int32_t dayNumberOf(int32_t year, int32_t month, int32_t day) {
    int64_t calendar = int64_t(year) * 10000 + int64_t(month) * 100 + day;
    int64_t y = year < 0 ? int64_t(year) + 1 : year;
    int64_t m = month;
    if (m < 3) {
        y -= 1;
        m += 12;
    }
    int64_t n = floorOf(365.25 * double(y)) + floorOf(30.6001 * double(m + 1)) + day + 1720994;
    if (calendar >= kGregorianStart) n += 2 - floorDiv(y, 100) + floorDiv(y, 400);
    return static_cast<int32_t>(n);
}

int32_t dayOfWeekOf(int32_t dayNumber) {
    if (dayNumber == 0) return 0;
    int64_t r = (int64_t(dayNumber) + 2) % 7;
    return static_cast<int32_t>(r < 0 ? r + 7 : r) + 1;
}

int32_t daysInMonth(int32_t month, int32_t year) {
    static constexpr int32_t kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return kLengths[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0);
}

void DateTime::setDate(int32_t y, int32_t m, int32_t d) {
    year = y;
    month = m;
    day = d;
    dayNumber = dayNumberOf(y, m, d);
    dayOfWeek = dayOfWeekOf(dayNumber);
}

// The arithmetic yields year 0 for 1 BC; years of the arithmetic up to 0 are therefore moved
// one down at the end. (Offsetting the day count for dates before 1 AD instead, by 366 days
// in place of a whole year of varying length, lands a day early on most such dates.)
void DateTime::setDayNumber(int32_t d) {
    if (d == 0) {
        clearDate();
        return;
    }
    double a = double(d) + 1;
    if (a > kFirstGregorianDay) {
        double c = std::floor((a - 1867216.25) / 36524.25);
        a = double(d) + c - std::floor(c / 4) + 2;
    }
    double b = a + 1524;
    double c = std::floor((b - 122.1) / 365.25);
    double e = std::floor(365.25 * c);
    double f = std::floor((b - e) / 30.6001);
    dayNumber = d;
    day = static_cast<int32_t>(b - e - std::floor(30.6001 * f));
    month = static_cast<int32_t>(f < 14 ? f - 1 : f - 13);
    year = static_cast<int32_t>(month >= 3 ? c - 4716 : c - 4715);
    if (year <= 0) --year;
    dayOfWeek = dayOfWeekOf(d);
}

void DateTime::clearDate() {
    dayNumber = 0;
    month = 0;
    day = 0;
    year = kUnsetYear;
    dayOfWeek = 0;
}

void DateTime::setTime(int32_t h, int32_t m, int32_t s) {
    hour = h;
    minute = m;
    second = s;
}

bool DateTime::isInvalid() const {
    return year == kUnsetYear || month < 1 || month > 12 || dayOfWeek < 1 || dayOfWeek > 7 ||
           day < 1 || day > daysInMonth(month, year);
}

int DateTime::compare(const DateTime& a, const DateTime& b) {
    bool aInvalid = a.isInvalid(), bInvalid = b.isInvalid();
    if (aInvalid || bInvalid) return aInvalid == bInvalid ? 0 : (aInvalid ? -1 : 1);
    return a.dayNumber < b.dayNumber ? -1 : (a.dayNumber > b.dayNumber ? 1 : 0);
}

DateTime DateTime::fromRecord(const FileDateTime& record) {
    DateTime t;
    if (record.isUnset()) return t;
    t.setDate(record.year, record.month, record.day);
    t.setTime(record.hour, record.minute, record.second);
    return t;
}

// ---- Formatting ---------------------------------------------------------------------------

String DateTime::format(const char* pattern) const {
    if (!pattern || !*pattern) pattern = defaultDateFormat();
    String s;
    for (const char* p = pattern; *p;) {
        char c = *p;
        bool doubled = p[1] == c;
        if (appendToken(s, *this, c, doubled)) {
            p += doubled ? 2 : 1;
        } else if ((c == 'A' && p[1] == 'P') || (c == 'a' && p[1] == 'p')) {
            bool morning = hour < 12;
            if (c == 'A')
                s.append(morning ? "a.m." : "p.m.");
            else
                s.appendChar(morning ? 'a' : 'p');
            p += 2;
        } else if (c == 'b') {
            appendZoneOffset(s, localZoneOffsetMinutes(*this));
            ++p;
        } else {
            s.appendChar(c);
            ++p;
        }
    }
    return s;
}

}  // namespace tessarin
