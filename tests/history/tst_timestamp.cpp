// Stamps and date-time values for every format version, the PDA and date offsets,
// the offset texts, the byte swaps and the reading of the system zone.

#include "common/TestOptions.h"
#include "config/Setup.h"
#include "history/Model.h"
#include "history/TimeStamp.h"

#include <QTimeZone>
#include <QtTest>

#include <cmath>
#include <cstdint>
#include <ctime>
#include <limits>
#include <random>

using namespace vimosync;

namespace {

void UseZone(const char* tz) {
    qputenv("TZ", tz);
    tzset();
    Setup().PdaOffset = ZonePdaOffset();
}

constexpr double kEpoch = 25569.0;

} // namespace

class TestTimeStamp : public QObject {
    Q_OBJECT

private slots:
    void init() {
        Setup().ZmtDateOffset = 0;
        Setup().PdaOffset = 0;
    }
    void cleanupTestCase() { UseZone("UTC"); }

    void stampToTime_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<double>("pdaOffset");
        QTest::addColumn<int>("dateOffset");
        QTest::addColumn<int>("stamp");
        QTest::addColumn<double>("time");
        // Versions 0, 2 and 3 hold local time itself and ignore both offsets.
        for (int v : {0, 2, 3}) {
            const QByteArray n = "v" + QByteArray::number(v);
            QTest::newRow(n + " epoch") << v << 0.0 << 0 << 0 << kEpoch;
            QTest::newRow(n + " offsets ignored") << v << -0.125 << 1 << 0 << kEpoch;
            QTest::newRow(n + " noon") << v << 0.0 << 0 << 43200 << kEpoch + 0.5;
            QTest::newRow(n + " day before 1970") << v << 0.0 << 0 << -86400 << kEpoch - 1;
        }
        // Version 1 holds universal time: shown in the PDA's zone, plus the date offset.
        QTest::newRow("v1 no offsets") << 1 << 0.0 << 0 << 0 << kEpoch;
        QTest::newRow("v1 3h east") << 1 << -0.125 << 0 << 0 << kEpoch + 0.125;
        QTest::newRow("v1 6h west") << 1 << 0.25 << 0 << 0 << kEpoch - 0.25;
        QTest::newRow("v1 date offset") << 1 << 0.0 << 1 << 0 << kEpoch + 1;
        QTest::newRow("v1 both") << 1 << -0.125 << 1 << 3600 << kEpoch + 1 + 0.125 + 1.0 / 24;
        QTest::newRow("v1 negative date offset") << 1 << 0.0 << -2 << 0 << kEpoch - 2;
        QTest::newRow("v1 negative stamp") << 1 << -0.125 << 0 << -10800 << kEpoch;
        QTest::newRow("v2 oldest stamp")
            << 2 << 0.0 << 0 << std::numeric_limits<std::int32_t>::min()
            << kEpoch - 2147483648.0 / 86400;
        QTest::newRow("v2 newest stamp")
            << 2 << 0.0 << 0 << std::numeric_limits<std::int32_t>::max()
            << kEpoch + 2147483647.0 / 86400;
    }
    void stampToTime() {
        QFETCH(int, version);
        QFETCH(double, pdaOffset);
        QFETCH(int, dateOffset);
        QFETCH(int, stamp);
        QFETCH(double, time);
        Setup().PdaOffset = pdaOffset;
        Setup().ZmtDateOffset = dateOffset;
        const double t = StampToTime(stamp, version, test::ReadOptions());
        QVERIFY2(qAbs(t - time) < 1e-9, qPrintable(QString::number(t, 'f', 12)));
        // Writing the time back gives the stamp that was read.
        QCOMPARE(TimeToStamp(t, version, test::ReadOptions()), stamp);
    }

    // Exact halves of a second: t - 25569 = k/256 days = k * 337.5 seconds.
    void timeToStampRounding_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<double>("time");
        QTest::addColumn<int>("stamp");
        QTest::newRow("337.5 up to even") << 2 << kEpoch + 1.0 / 256 << 338;
        QTest::newRow("1012.5 down to even") << 2 << kEpoch + 3.0 / 256 << 1012;
        QTest::newRow("-337.5") << 2 << kEpoch - 1.0 / 256 << -338;
        QTest::newRow("-1012.5") << 2 << kEpoch - 3.0 / 256 << -1012;
        QTest::newRow("v0 like v2") << 0 << kEpoch + 3.0 / 256 << 1012;
        // 4294967287.5 s rounds to ...288 and is kept as 32 bits: -8.
        QTest::newRow("beyond 32 bits") << 3 << kEpoch + 49710 + 69.0 / 256 << -8;
        QTest::newRow("not a number") << 2 << std::numeric_limits<double>::quiet_NaN() << 0;
        QTest::newRow("infinite") << 2 << std::numeric_limits<double>::infinity() << 0;
    }
    void timeToStampRounding() {
        QFETCH(int, version);
        QFETCH(double, time);
        QFETCH(int, stamp);
        QCOMPARE(TimeToStamp(time, version, test::ReadOptions()), stamp);
    }

    void version1WritesWithBothOffsets() {
        Setup().PdaOffset = -0.125;
        Setup().ZmtDateOffset = 1;
        // 1970-01-02 03:00 local is 1970-01-01 00:00 UTC once the date offset is taken off.
        QCOMPARE(TimeToStamp(kEpoch + 1.125, 1, test::ReadOptions()), 0);
        QCOMPARE(TimeToStamp(kEpoch + 1.125, 2, test::ReadOptions()), 86400 + 10800);
    }

    void swapBytes() {
        QCOMPARE(SwapBytes16(0x1234u), std::uint16_t(0x3412u));
        QCOMPARE(SwapBytes16(0xABCD1234u), std::uint16_t(0x3412u));
        QCOMPARE(SwapBytes32(0x12345678u), 0x78563412u);
        QCOMPARE(SwapBytes32(0xFF000001u), 0x010000FFu);
        QCOMPARE(SwapBytes32(SwapBytes32(0xDEADBEEFu)), 0xDEADBEEFu);
    }

    void formatOffset_data() {
        QTest::addColumn<double>("days");
        QTest::addColumn<bool>("withSeconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("3h east") << 0.125 << false << "+03:00";
        QTest::newRow("3h west") << -0.125 << false << "-03:00";
        QTest::newRow("zero") << 0.0 << false << "+00:00";
        QTest::newRow("5:30") << 5.5 / 24 << false << "+05:30";
        QTest::newRow("minus 30 min") << -30.0 / 1440 << false << "-00:30";
        QTest::newRow("minus 3:30") << -3.5 / 24 << false << "-03:30";
        QTest::newRow("14h") << 14.0 / 24 << false << "+14:00";
        QTest::newRow("seconds") << 90.0 / 86400 << true << "+00:01:30";
        QTest::newRow("seconds dropped") << 90.0 / 86400 << false << "+00:01";
    }
    void formatOffset() {
        QFETCH(double, days);
        QFETCH(bool, withSeconds);
        QFETCH(QString, text);
        QCOMPARE(FormatOffset(days, withSeconds), text);
    }

    void parseOffset_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("days");
        QTest::newRow("minus 30 min") << "-00:30" << -30.0 / 1440;
        QTest::newRow("hours only") << "+03" << 0.125;
        QTest::newRow("no sign") << "05:30" << 5.5 / 24;
        QTest::newRow("seconds") << "-01:00:30" << -(3600.0 + 30) / 86400;
        QTest::newRow("spaces") << " +02:00 " << 2.0 / 24;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("sign only") << "-" << 0.0;
        QTest::newRow("hour 24") << "24:00" << 0.0;
        QTest::newRow("minute 60") << "01:60" << 0.0;
        QTest::newRow("four parts") << "1:2:3:4" << 0.0;
        QTest::newRow("double sign") << "--01:00" << 0.0;
        QTest::newRow("trailing letters") << "01:00x" << 0.0;
    }
    void parseOffset() {
        QFETCH(QString, text);
        QFETCH(double, days);
        QVERIFY2(qAbs(ParseOffset(text) - days) < 1e-12, qPrintable(text));
    }

    void offsetTextRoundTrip() {
        for (int minutes = -14 * 60; minutes <= 14 * 60; minutes += 15) {
            const double days = minutes / 1440.0;
            QVERIFY(qAbs(ParseOffset(FormatOffset(days)) - days) < 1e-12);
        }
    }

    // Every zone reports its name and its base bias, summer time or not, so that the
    // PDA offset matches the machine also where the zone has no daylight-saving rules.
    void readZone_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<int>("bias");
        QTest::newRow("fixed 3h east") << QByteArray("Etc/GMT-3") << -180;
        QTest::newRow("Moscow, no summer time") << QByteArray("Europe/Moscow") << -180;
        QTest::newRow("India, half hour") << QByteArray("Asia/Kolkata") << -330;
        QTest::newRow("UTC") << QByteArray("UTC") << 0;
        QTest::newRow("New York, summer time") << QByteArray("America/New_York") << 300;
        QTest::newRow("Berlin, summer time") << QByteArray("Europe/Berlin") << -60;
        // Its rules call the winter time the daylight time (a negative saving): the
        // base is still the offset outside summer time, as the clock shows it.
        QTest::newRow("Dublin, summer time in winter rules") << QByteArray("Europe/Dublin") << 0;
        QTest::newRow("Sydney, summer time in January") << QByteArray("Australia/Sydney") << -600;
    }
    void readZone() {
        QFETCH(QByteArray, zone);
        QFETCH(int, bias);
        UseZone(zone.constData());
        QString name;
        int b = 12345;
        ReadZone(name, b);
        QCOMPARE(b, bias);
        QVERIFY2(!name.isEmpty(), zone.constData());
        QCOMPARE(ZonePdaOffset(), bias / 1440.0);
        QCOMPARE(Setup().PdaOffset, bias / 1440.0);
    }

    // One second is one value, whether it came as a version 1 stamp (universal time
    // less the zone's bias) or as a version 2 stamp or a text date (local time): values
    // that miss each other by a rounding error would count as different messages.
    // The seconds of a value are its nearest second, whether it is a whole second or not.
    void secondsOfTimeIsTheNearestSecond() {
        std::mt19937_64 rng(20261209);
        const auto reference = [](double t) {
            return static_cast<long long>(
                std::nearbyintl((static_cast<long double>(t) - kUnixEpochDay) * 86400.0L));
        };
        for (int k = 0; k < 200000; ++k) {
            const long long whole = std::uniform_int_distribution<long long>(
                -4'000'000'000'000LL, 4'000'000'000'000LL)(rng);
            double t = TimeOfSeconds(whole);
            if (k % 2 == 1) {
                t += std::uniform_real_distribution<double>(-0.6, 0.6)(rng) / 86400.0;
            } else if (k % 4 == 2) {
                t = std::nextafter(t, k % 8 == 2 ? 1e9 : -1e9);
            }
            long long got = 0;
            QVERIFY(SecondsOfTime(t, got));
            QCOMPARE(got, reference(t));
        }
    }

    void oneSecondIsOneValueInEveryZone() {
        for (const char* zone : {"Europe/Berlin", "America/New_York", "Asia/Kolkata",
                                 "America/St_Johns", "Europe/Dublin", "Australia/Adelaide"}) {
            UseZone(zone);
            const long long shift = std::llround(Setup().PdaOffset * 86400);
            for (std::int32_t local = 1600000000; local < 1600000000 + 5000; local += 7) {
                const double v2 = StampToTime(local, 2, test::ReadOptions());
                const double v1 =
                    StampToTime(static_cast<std::int32_t>(local + shift), 1, test::ReadOptions());
                QCOMPARE(v1, v2);
                QCOMPARE(v2, TimeOfSeconds(local));
                QCOMPARE(TimeToStamp(v1, 1, test::ReadOptions()),
                         static_cast<std::int32_t>(local + shift));
                QCOMPARE(TimeToStamp(v2, 2, test::ReadOptions()), local);
            }
        }
    }

    void zoneOffsetFollowsTheSystemZone() {
        UseZone("Etc/GMT-3");
        QCOMPARE(ZonePdaOffset(), -180 / 1440.0);
        qputenv("TZ", "Etc/GMT+5");
        tzset();
        QCOMPARE(ZonePdaOffset(), 300 / 1440.0);
    }

    void pdaStampInZoneThreeHoursEast() {
        UseZone("Etc/GMT-3");
        QCOMPARE(Setup().PdaOffset, -0.125);
        QCOMPARE(StampToTime(0, 1, test::ReadOptions()), kEpoch + 0.125);
        QCOMPARE(TimeToStamp(kEpoch + 0.125, 1, test::ReadOptions()), 0);
        QCOMPARE(StampToTime(0, 2, test::ReadOptions()), kEpoch);
    }

    void dateTimeValues_data() {
        QTest::addColumn<double>("t");
        QTest::addColumn<QDateTime>("dt");
        auto utc = [](int y, int m, int d, int h, int n, int s) {
            return QDateTime(QDate(y, m, d), QTime(h, n, s), Qt::UTC);
        };
        QTest::newRow("epoch") << kEpoch << utc(1970, 1, 1, 0, 0, 0);
        QTest::newRow("3 am") << kEpoch + 0.125 << utc(1970, 1, 1, 3, 0, 0);
        QTest::newRow("day zero") << 0.0 << utc(1899, 12, 30, 0, 0, 0);
        // Before day zero the fraction still counts forward from midnight.
        QTest::newRow("before day zero") << -1.25 << utc(1899, 12, 29, 6, 0, 0);
        QTest::newRow("2026") << 46362.0 + (20 * 3600 + 55 * 60 + 1) / 86400.0
                              << utc(2026, 12, 6, 20, 55, 1);
    }
    void dateTimeValues() {
        QFETCH(double, t);
        QFETCH(QDateTime, dt);
        QCOMPARE(ToDateTime(t), dt);
        QVERIFY(qAbs(FromDateTime(dt) - t) < 1e-9);
        QVERIFY(qAbs(EncodeDateTime(dt.date(), dt.time()) - t) < 1e-9);
    }

    void almostMidnightRoundsToNextDay() {
        QCOMPARE(ToDateTime(kEpoch + 0.9999999999),
                 QDateTime(QDate(1970, 1, 2), QTime(0, 0), Qt::UTC));
    }
};

QTEST_GUILESS_MAIN(TestTimeStamp)
#include "tst_timestamp.moc"
