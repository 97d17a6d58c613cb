#include "history/DateTimeFormat.h"

#include <cmath>

namespace vimosync {

namespace {

constexpr const char* kDayShort[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kDayLong[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char* kMonthShort[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kMonthLong[12] = {"January",   "February", "March",    "April",
                                        "May",       "June",     "July",     "August",
                                        "September", "October",  "November", "December"};

// The separators written for ":" and "/" in a pattern.
constexpr char kTimeSeparator = ':';
constexpr char kDateSeparator = '/';

// Days since 1970-01-01 to a civil date (H. Hinnant's algorithm).
void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

void appendNumber(std::string& out, long long v, int width) {
    char buf[24];
    int n = 0;
    const bool negative = v < 0;
    unsigned long long u =
        negative ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    do {
        buf[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u && n < 20);
    while (n < width && n < 20) {
        buf[n++] = '0';
    }
    if (negative) {
        out.push_back('-');
    }
    while (n > 0) {
        out.push_back(buf[--n]);
    }
}

} // namespace

long long DaysFromCivil(int year, int month, int day) {
    const long long y = static_cast<long long>(year) - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long mp = month > 2 ? month - 3 : month + 9;
    const long long doy = (153 * mp + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569;
}

TDateParts DecodeDateParts(double t) {
    TDateParts p;
    if (!std::isfinite(t) || std::fabs(t) > 1e9) {
        return p;
    }
    const double whole = std::trunc(t);
    long long ms = std::llround(std::fabs(t - whole) * 86400000.0);
    long long days = static_cast<long long>(whole);
    if (ms >= 86400000LL) {
        ms -= 86400000LL;
        days += 1;
    }
    civilFromDays(days - 25569, p.Year, p.Month, p.Day);
    p.Hour = static_cast<int>(ms / 3600000);
    p.Minute = static_cast<int>(ms / 60000 % 60);
    p.Second = static_cast<int>(ms / 1000 % 60);
    p.Msec = static_cast<int>(ms % 1000);
    // 1899-12-30 was a Saturday.
    p.DayOfWeek = static_cast<int>(((days % 7) + 7 + 6) % 7) + 1;
    return p;
}

TDatePattern::TDatePattern(const QString& pattern) {
    auto literal = [this](const QString& s) {
        const QByteArray b = s.toUtf8();
        if (!items_.empty() && items_.back().kind == Kind::Literal) {
            items_.back().literal.append(b.constData(), static_cast<std::size_t>(b.size()));
        } else {
            items_.push_back({Kind::Literal, std::string(b.constData(), b.size())});
        }
    };
    auto item = [this](Kind k) { items_.push_back({k, {}}); };

    QChar lastToken;
    const qsizetype n = pattern.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = pattern[i];
        if (c == u'"' || c == u'\'') {
            qsizetype end = pattern.indexOf(c, i + 1);
            if (end < 0) {
                end = n;
            }
            literal(pattern.mid(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        if (c == u':') {
            literal(QString(QLatin1Char(kTimeSeparator)));
            ++i;
            continue;
        }
        if (c == u'/') {
            literal(QString(QLatin1Char(kDateSeparator)));
            ++i;
            continue;
        }
        const char16_t lc = c.toLower().unicode();
        if (!((lc >= u'a' && lc <= u'z'))) {
            literal(QString(c));
            ++i;
            continue;
        }
        qsizetype count = 1;
        while (i + count < n && pattern[i + count].toLower() == c.toLower()) {
            ++count;
        }
        char16_t token = lc;
        if (token == u'm' && lastToken == u'h') {
            token = u'n';
        }
        switch (token) {
        case u'd':
            item(count == 1   ? Kind::Day
                 : count == 2 ? Kind::Day2
                 : count == 3 ? Kind::DayShort
                              : Kind::DayLong);
            break;
        case u'm':
            item(count == 1   ? Kind::Month
                 : count == 2 ? Kind::Month2
                 : count == 3 ? Kind::MonthShort
                              : Kind::MonthLong);
            break;
        case u'y':
            item(count <= 2 ? Kind::Year2 : Kind::Year4);
            break;
        case u'h':
            item(count == 1 ? Kind::Hour : Kind::Hour2);
            break;
        case u'n':
            item(count == 1 ? Kind::Minute : Kind::Minute2);
            break;
        case u's':
            item(count == 1 ? Kind::Second : Kind::Second2);
            break;
        case u'z':
            item(count == 1 ? Kind::Msec : Kind::Msec3);
            break;
        default:
            literal(pattern.mid(i, count));
            break;
        }
        lastToken = QChar(token);
        i += count;
    }
}

void TDatePattern::AppendTo(std::string& out, double t) const {
    const TDateParts p = DecodeDateParts(t);
    for (const Item& it : items_) {
        switch (it.kind) {
        case Kind::Literal:
            out.append(it.literal);
            break;
        case Kind::Day:
            appendNumber(out, p.Day, 1);
            break;
        case Kind::Day2:
            appendNumber(out, p.Day, 2);
            break;
        case Kind::DayShort:
            out.append(kDayShort[p.DayOfWeek - 1]);
            break;
        case Kind::DayLong:
            out.append(kDayLong[p.DayOfWeek - 1]);
            break;
        case Kind::Month:
            appendNumber(out, p.Month, 1);
            break;
        case Kind::Month2:
            appendNumber(out, p.Month, 2);
            break;
        case Kind::MonthShort:
            out.append(kMonthShort[p.Month - 1]);
            break;
        case Kind::MonthLong:
            out.append(kMonthLong[p.Month - 1]);
            break;
        case Kind::Year2:
            appendNumber(out, ((p.Year % 100) + 100) % 100, 2);
            break;
        case Kind::Year4:
            appendNumber(out, p.Year, 4);
            break;
        case Kind::Hour:
            appendNumber(out, p.Hour, 1);
            break;
        case Kind::Hour2:
            appendNumber(out, p.Hour, 2);
            break;
        case Kind::Minute:
            appendNumber(out, p.Minute, 1);
            break;
        case Kind::Minute2:
            appendNumber(out, p.Minute, 2);
            break;
        case Kind::Second:
            appendNumber(out, p.Second, 1);
            break;
        case Kind::Second2:
            appendNumber(out, p.Second, 2);
            break;
        case Kind::Msec:
            appendNumber(out, p.Msec, 1);
            break;
        case Kind::Msec3:
            appendNumber(out, p.Msec, 3);
            break;
        }
    }
}

QString TDatePattern::Format(double t) const {
    std::string s;
    AppendTo(s, t);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString FormatDateTime(const QString& pattern, double t) {
    return TDatePattern(pattern).Format(t);
}

} // namespace vimosync
