#include "history/TimeStamp.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vimosync {

namespace {

// The whole seconds of an offset in days (the PDA offset is set in minutes or seconds).
long long OffsetSeconds(double days) {
    return std::isfinite(days) ? std::llround(days * 86400.0) : 0;
}

// Seconds added to a version 1 stamp to give local seconds since 1970.
long long PdaShiftSeconds(const TReadOptions& options) {
    return -OffsetSeconds(options.PdaOffset) +
           static_cast<long long>(options.ZmtDateOffset) * 86400LL;
}

} // namespace

long long StampShiftSeconds(int version, const TReadOptions& options) {
    return version == 1 ? PdaShiftSeconds(options) : 0;
}

double TimeOfSeconds(long long seconds) {
    // One rounding from the exact value, so that the same second gives the same value
    // whichever format or zone it came through.
    return static_cast<double>(static_cast<long double>(seconds) / 86400.0L + kUnixEpochDay);
}

bool SecondsOfTime(double t, long long& seconds) {
    if (!std::isfinite(t)) {
        return false;
    }
    // Most values are whole seconds made by TimeOfSeconds: a guess in double precision
    // that gives the value back is its second (the exact rounding below, with its slow
    // long double call, would find the same one).
    const double approx = (t - kUnixEpochDay) * 86400.0;
    if (std::fabs(approx) < 4.0e15) {
        const long long guess = std::llround(approx);
        if (TimeOfSeconds(guess) == t) {
            seconds = guess;
            return true;
        }
    }
    const long double s = std::nearbyintl((static_cast<long double>(t) - kUnixEpochDay) * 86400.0L);
    constexpr long double lim = 9.0e15L;
    if (s > lim || s < -lim) {
        return false;
    }
    seconds = static_cast<long long>(s);
    return true;
}

double StampToTime(std::int32_t stamp, int version, const TReadOptions& options) {
    long long s = stamp;
    if (version == 1) {
        s += PdaShiftSeconds(options);
    }
    return TimeOfSeconds(s);
}

bool StampOfTime(double t, int version, const TReadOptions& options, std::int32_t& stamp) {
    long long s = 0;
    if (!SecondsOfTime(t, s)) {
        return false;
    }
    if (version == 1) {
        s -= PdaShiftSeconds(options);
    }
    if (s < std::numeric_limits<std::int32_t>::min() ||
        s > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    stamp = static_cast<std::int32_t>(s);
    return true;
}

std::int32_t TimeToStamp(double t, int version, const TReadOptions& options) {
    long long s = 0;
    if (!SecondsOfTime(t, s)) {
        return 0;
    }
    if (version == 1) {
        s -= PdaShiftSeconds(options);
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(s)));
}

std::uint16_t SwapBytes16(std::uint32_t value) {
    const auto v = static_cast<std::uint16_t>(value & 0xFFFFu);
    return static_cast<std::uint16_t>((v >> 8) | ((v & 0xFFu) << 8));
}

std::uint32_t SwapBytes32(std::uint32_t value) {
    return ((value & 0xFFu) << 24) | ((value & 0xFF00u) << 8) | ((value >> 8) & 0xFF00u) |
           (value >> 24);
}

QString FormatOffset(double days, bool withSeconds) {
    // Formatted like a time of day: whole seconds, hours within one day.
    const long long ms = std::llround(std::fabs(days) * 86400000.0);
    const long long secs = (ms / 1000) % 86400;
    const int h = static_cast<int>(secs / 3600);
    const int n = static_cast<int>((secs / 60) % 60);
    const int s = static_cast<int>(secs % 60);
    QString text =
        QStringLiteral("%1:%2").arg(h, 2, 10, QLatin1Char('0')).arg(n, 2, 10, QLatin1Char('0'));
    if (withSeconds) {
        text += QStringLiteral(":%1").arg(s, 2, 10, QLatin1Char('0'));
    }
    return (days >= 0 ? QLatin1Char('+') : QLatin1Char('-')) + text;
}

double ParseOffset(const QString& text) {
    QString t = text.trimmed();
    if (t.isEmpty()) {
        return 0;
    }
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t.startsWith(QLatin1Char('-'));
        t = t.mid(1).trimmed();
    }
    const QStringList parts = t.split(QLatin1Char(':'));
    if (parts.size() > 3) {
        return 0;
    }
    static const int limits[3] = {24, 60, 60};
    long long seconds = 0;
    for (int i = 0; i < 3; ++i) {
        int v = 0;
        if (i < parts.size()) {
            const QString p = parts[i].trimmed();
            bool ok = false;
            v = p.toInt(&ok);
            if (!ok || p.isEmpty() || v < 0 || v >= limits[i]) {
                return 0;
            }
            for (QChar c : p) {
                if (!c.isDigit()) {
                    return 0;
                }
            }
        }
        seconds = seconds * 60 + v;
    }
    const double days = static_cast<double>(seconds) / 86400.0;
    return negative ? -days : days;
}

void ReadZone(QString& name, int& bias) {
    const QTimeZone tz = QTimeZone::systemTimeZone();
    if (!tz.isValid()) {
        name.clear();
        bias = 0;
        return;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // The base offset is the one outside summer time as the clock shows it: the smaller
    // of the offsets half a year apart. A zone whose rules call its winter time the
    // daylight time (a negative saving, as in Dublin) is read the same way.
    const int offsetNow = tz.offsetFromUtc(now);
    int base = offsetNow;
    if (tz.hasDaylightTime()) {
        base = std::min(offsetNow, tz.offsetFromUtc(now.addDays(182)));
    }
    const bool summer = offsetNow > base;
    name = tz.displayName(summer ? QTimeZone::DaylightTime : QTimeZone::StandardTime,
                          QTimeZone::LongName);
    bias = -base / 60;
}

double ZonePdaOffset() {
    QString name;
    int bias = 0;
    ReadZone(name, bias);
    return bias / 1440.0;
}

QDateTime ToDateTime(double t) {
    // The whole part counts days (towards zero); the fraction, taken without its
    // sign, is the time of day.
    const double whole = std::trunc(t);
    const double frac = std::fabs(t - whole);
    long long ms = std::llround(frac * 86400000.0);
    long long dayShift = 0;
    if (ms >= 86400000LL) {
        ms -= 86400000LL;
        dayShift = 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(whole) + dayShift);
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), Qt::UTC);
}

double EncodeDateTime(const QDate& date, const QTime& time) {
    const double days = static_cast<double>(QDate(1899, 12, 30).daysTo(date));
    const double frac = time.msecsSinceStartOfDay() / 86400000.0;
    return days >= 0 ? days + frac : days - frac;
}

double FromDateTime(const QDateTime& dt) {
    return EncodeDateTime(dt.date(), dt.time());
}

} // namespace vimosync
