#pragma once

// The date-time patterns of the plain-text format: "d dd m mm yy yyyy h hh n nn s ss",
// quoted text, ":" and "/" (as in DTFormatString "hh:nn:ss d\"/\"mm\"/\"yyyy").

#include <QString>

#include <string>
#include <vector>

namespace vimosync {

// The date-time value formatted with the pattern.
QString FormatDateTime(const QString& pattern, double t);

// The parts of a date-time value: the whole part counts days since 1899-12-30, the
// fraction (without its sign) is the time of day, rounded to the millisecond.
struct TDateParts {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, Msec = 0;
    int DayOfWeek = 7; // 1 = Sunday ... 7 = Saturday
};
TDateParts DecodeDateParts(double t);
// Days since 1899-12-30 of a calendar date (proleptic Gregorian).
long long DaysFromCivil(int year, int month, int day);

// A pattern taken apart once, for formatting many values (the plain-text writer, the
// views). Items: d dd ddd dddd, m mm mmm mmmm (minutes right after an hour item, with
// only non-letters between), yy yyyy, h hh, n nn, s ss, z zzz, "..." and '...' copied,
// ":" the time separator, "/" the date separator; other characters are copied.
class TDatePattern {
public:
    explicit TDatePattern(const QString& pattern);
    // Appends the formatted value as UTF-8.
    void AppendTo(std::string& out, double t) const;
    QString Format(double t) const;

private:
    enum class Kind : unsigned char {
        Literal,
        Day,
        Day2,
        DayShort,
        DayLong,
        Month,
        Month2,
        MonthShort,
        MonthLong,
        Year2,
        Year4,
        Hour,
        Hour2,
        Minute,
        Minute2,
        Second,
        Second2,
        Msec,
        Msec3
    };
    struct Item {
        Kind kind;
        std::string literal; // UTF-8, for Literal
    };
    std::vector<Item> items_;
};

} // namespace vimosync
