#include "history/TimeStamp.h"

#include "config/Setup.h"
#include "history/Globals.h"

#include <QTimeZone>

#include <cmath>
#include <limits>

namespace vimosync {

double StampToTime(std::int32_t stamp, int version) {
    const long double exact = static_cast<long double>(stamp) / 86400.0L + kUnixEpochDay;
    double t = static_cast<double>(exact);
    if (version == 1) {
        t = t - Globals().PdaOffset + Setup().ZmtDateOffset;
    }
    return t;
}

std::int32_t TimeToStamp(double t, int version) {
    long double s;
    if (version == 1) {
        s = (static_cast<long double>(t) + Globals().PdaOffset - Setup().ZmtDateOffset -
             kUnixEpochDay) *
            86400.0L;
    } else {
        s = (static_cast<long double>(t) - kUnixEpochDay) * 86400.0L;
    }
    if (!std::isfinite(s)) {
        return 0;
    }
    // Default rounding mode: to nearest, halves to the even neighbour.
    long double r = std::nearbyintl(s);
    constexpr long double lim = static_cast<long double>(std::numeric_limits<std::int64_t>::max());
    if (r > lim || r < -lim) {
        return 0;
    }
    const auto wide = static_cast<std::int64_t>(r);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(wide));
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
    const bool daylight = tz.hasDaylightTime() && tz.isDaylightTime(now);
    name = tz.displayName(daylight ? QTimeZone::DaylightTime : QTimeZone::StandardTime,
                          QTimeZone::LongName);
    bias = -tz.standardTimeOffset(now) / 60;
}

void RefreshZone(bool apply) {
    THistoryGlobals& g = Globals();
    ReadZone(g.ZoneName, g.ZoneBias);
    if (apply) {
        g.PdaOffset = g.ZoneBias / 1440.0;
    }
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
