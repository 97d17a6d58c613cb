#include "common/TestOptions.h"
#include "common/TestUtil.h"
#include "config/Setup.h"
#include "history/BinaryFormat.h"
#include "history/GoldenZmt.h"
#include "history/History.h"
#include "history/TimeStamp.h"
#include "support/Errors.h"

#include <QTemporaryDir>
#include <QtTest>

#include <QtTest>
#include <limits>

using namespace vimosync;
using namespace vimosync::test;

namespace {

std::string bytesOf(const QByteArray& b) {
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

QByteArray qbytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

TZMTMessList parse(const QByteArray& file, TLoadMode mode = LoadPlain) {
    TZMTMessList list;
    ParseBinaryHistory(list, bytesOf(file), mode, test::ReadOptions());
    return list;
}

// Stamps of 2007-02-01 12:34:56, before 1970, the epoch and a late one.
const std::vector<GoldenRecord> kRecords = {
    {1170333296, false, QByteArray("abc")},
    {-86400, true, QByteArray("")},
    {0, false, QByteArray("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\r\nworld")},
    {2000000000, true, QByteArray("\xFF\xFE invalid UTF-8 stays")},
};

} // namespace

class TestBinaryFormat : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Setup() = TSettings{};
        Setup().PdaOffset = -0.125; // three hours east of UTC
        test::OwnNick() = "me";
    }

    void headerBytesFollowTheTables_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QByteArray>("expected");
        // Built by hand: magic, version, size, 26 zeros, count twice, 42: 0/1, L1, UIN, L2, nick.
        QByteArray v1("ZMT\x01", 4);
        v1 += QByteArray(4, '\0') + QByteArray(26, '\0') + QByteArray(8, '\0');
        v1 += QByteArray("\x00\x01\x00\x04"
                         "123\x00"
                         "\x00\x04"
                         "Bob\x00",
                         14);
        QByteArray v2("ZMT\x02\x00\x00\x00\x2E", 8);
        v2 += QByteArray(26, '\0') + QByteArray(8, '\0');
        v2 += QByteArray("\x00\x00\x00\x03"
                         "123"
                         "\x00\x03"
                         "Bob",
                         12);
        QTest::newRow("version 1: 56 bytes") << 1 << v1;
        QTest::newRow("version 2: 54 bytes, 46 at offset 4") << 2 << v2;
    }
    void headerBytesFollowTheTables() {
        QFETCH(int, version);
        QFETCH(QByteArray, expected);
        TZMTMessList list;
        list.UIN = "123";
        list.ContactNick = "Bob";
        list.Version = static_cast<std::uint8_t>(version);
        list.Scrambled = version == 1 ? 0 : 1;
        const QByteArray written = qbytes(BuildBinaryFile(list, test::ReadOptions()));
        QCOMPARE(written.size(), version == 1 ? 56 : 54);
        QCOMPARE(written, expected);

        TZMTHead head;
        ParseBinaryHeader(bytesOf(written), head);
        QVERIFY(head.Valid);
        QCOMPARE(head.DataOffset, written.size());
        QCOMPARE(head.UIN, std::string("123"));
        QCOMPARE(head.Nick, std::string("Bob"));
        QCOMPARE(int(head.Scrambled), version == 1 ? 0 : 1);
    }

    void scramblingExample() {
        QCOMPARE(ScrambleText("abc"), std::string("\x9D\x9B\x99"));
        const std::string all = [] {
            std::string s;
            for (int i = 0; i < 600; ++i) {
                s.push_back(static_cast<char>(i * 7));
            }
            return s;
        }();
        QCOMPARE(ScrambleText(ScrambleText(all)), all);
        // Every length and every position, against the byte-by-byte rule.
        for (std::size_t len = 0; len < 600; len += len < 40 ? 1 : 37) {
            const std::string part = all.substr(0, len);
            QCOMPARE(qbytes(ScrambleText(part)), goldenScramble(qbytes(part)));
        }
    }

    void versionThreeRecordKeepsItsLengthAtOffset33() {
        TZMTMessList list;
        list.UIN = "123";
        list.ContactNick = "Bob";
        list.Version = 3;
        list.Scrambled = 1;
        NewMessage(list).Text = "hello";
        list[0].Time = kUnixEpochDay;
        std::string rec;
        WriteRecord(list, 0, test::ReadOptions(), rec);
        QCOMPARE(rec.size(), std::size_t(35 + 5));
        QCOMPARE(int(rec[31]), 0);
        QCOMPARE(int(rec[32]), 0);
        QCOMPARE(int(rec[33]), 0);
        QCOMPARE(int(rec[34]), 5);
        QCOMPARE(int(rec[5]), 29 + 5);
        QCOMPARE(RecordSize(list, 0), std::size_t(40));
        list.Version = 2;
        QCOMPARE(RecordSize(list, 0), std::size_t(38));
        list.Version = 0;
        QCOMPARE(RecordSize(list, 0), std::size_t(5));
        rec.clear();
        WriteRecord(list, 0, test::ReadOptions(), rec);
        QCOMPARE(rec, std::string("hello"));
    }

    // Files built from the tables are read as the tables say and written back unchanged.
    void readAndWriteBackIsByteIdentical_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("v1") << 1;
        QTest::newRow("v2") << 2;
        QTest::newRow("v3") << 3;
    }
    void readAndWriteBackIsByteIdentical() {
        QFETCH(int, version);
        Setup().CorrectCRLF = false;
        const QByteArray file = goldenFile(version, "123", "Bob", kRecords);
        TZMTMessList list;
        list.ContactNick = "Bob";
        ParseBinaryHistory(list, bytesOf(file), LoadPlain, test::ReadOptions());
        QVERIFY(list.Valid);
        QCOMPARE(list.Version, std::uint8_t(version));
        QCOMPARE(list.UIN, std::string("123"));
        QCOMPARE(list.Count(), int(kRecords.size()));
        for (int i = 0; i < list.Count(); ++i) {
            const GoldenRecord& r = kRecords[static_cast<std::size_t>(i)];
            QCOMPARE(list[i].Stamp, r.stamp);
            QCOMPARE(list[i].Outgoing, r.outgoing);
            QCOMPARE(qbytes(list[i].Text.str()), r.text);
            QCOMPARE(list[i].Nick.str(), std::string(r.outgoing ? "me" : "Bob"));
            QCOMPARE(list[i].Time, StampToTime(r.stamp, version, test::ReadOptions()));
        }
        QCOMPARE(qbytes(BuildBinaryFile(list, test::ReadOptions())), file);
    }

    void versionOneTimesFollowTheOffsets() {
        const QByteArray file = goldenFile(1, "1", "x", {{0, false, "a"}});
        QCOMPARE(parse(file)[0].Time, 25569.125);
        Setup().ZmtDateOffset = 1;
        TZMTMessList list = parse(file, LoadContactNick);
        QCOMPARE(list[0].Time, 25570.125);
        QCOMPARE(qbytes(BuildBinaryFile(list, test::ReadOptions())), file);
    }

    void stampsSurviveTheRoundTrip() {
        QRandomGenerator rng(7);
        for (int version = 1; version <= 3; ++version) {
            std::vector<GoldenRecord> recs;
            for (int i = 0; i < 500; ++i) {
                recs.push_back({static_cast<std::int32_t>(rng.generate()), (i % 2) == 0, "t"});
            }
            const QByteArray file = goldenFile(version, "9", "n", recs);
            QCOMPARE(qbytes(BuildBinaryFile(parse(file, LoadContactNick), test::ReadOptions())),
                     file);
        }
    }

    void contactNickModeAndOwnNick() {
        const QByteArray file = goldenFile(2, "123", "Bob", kRecords);
        TZMTMessList list;
        list.ContactNick = "before";
        ParseBinaryHistory(list, bytesOf(file), LoadContactNick, test::ReadOptions());
        QCOMPARE(list.ContactNick, std::string("Bob"));
        // Incoming messages got the nick the list had when the load began.
        QCOMPARE(list[0].Nick.str(), std::string("before"));
        QCOMPARE(list[1].Nick.str(), std::string("me"));
        test::OwnNick() = "changed";
        ParseBinaryHistory(list, bytesOf(file), LoadOwnNick, test::ReadOptions());
        QCOMPARE(list.OwnNick, std::string());
        QCOMPARE(list.ContactNick, std::string("Bob"));
    }

    void messagesAreAppendedToTheList() {
        TZMTMessList list;
        NewMessage(list).Text = "from an archive";
        ParseBinaryHistory(list, bytesOf(goldenFile(2, "1", "a", kRecords)), LoadPlain,
                           test::ReadOptions());
        QCOMPARE(list.Count(), int(kRecords.size()) + 1);
        QCOMPARE(list[0].Text.str(), std::string("from an archive"));
    }

    void badHeadersGiveInvalidLists_data() {
        QTest::addColumn<QByteArray>("file");
        const QByteArray good = goldenFile(2, "123", "Bob", kRecords);
        QByteArray v4 = good;
        v4[3] = 4;
        QByteArray v0 = good;
        v0[3] = 0;
        QByteArray magic = good;
        magic[0] = 'X';
        QTest::newRow("version byte 4") << v4;
        QTest::newRow("version byte 0") << v0;
        QTest::newRow("wrong magic") << magic;
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("cut in the fixed header") << good.left(45);
        QTest::newRow("cut in the UIN") << good.left(47);
        QTest::newRow("cut in the nick") << good.left(52);
    }
    void badHeadersGiveInvalidLists() {
        QFETCH(QByteArray, file);
        const TZMTMessList list = parse(file);
        QVERIFY(!list.Valid);
        QCOMPARE(list.Count(), 0);
        TZMTHead head;
        QVERIFY_THROWS_EXCEPTION(Exception, ParseBinaryHeader(bytesOf(file), head));
        QVERIFY(!head.Valid);
    }

    void unsupportedVersionNamesTheByte() {
        QByteArray file = goldenFile(2, "1", "a", {});
        file[3] = '\x1b';
        TZMTHead head;
        try {
            ParseBinaryHeader(bytesOf(file), head);
            QFAIL("no error");
        } catch (const Exception& e) {
            QCOMPARE(e.message(), QStringLiteral("Not supported ZMT file format 1B"));
        }
    }

    void fileCutInARecordKeepsTheRecordsBefore_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("cut");
        QTest::addColumn<int>("kept");
        const int header = 54;
        const int first = 35 + 3; // version 3 record of "abc"
        QTest::newRow("v3 cut in the second fixed part") << 3 << header + first + 10 << 1;
        QTest::newRow("v3 cut in the first text") << 3 << header + 36 << 0;
        QTest::newRow("v2 cut one byte short") << 2 << -1 << 3;
        QTest::newRow("v1 cut right after a record") << 1 << 56 + 33 + 3 << 1;
    }
    void fileCutInARecordKeepsTheRecordsBefore() {
        QFETCH(int, version);
        QFETCH(int, cut);
        QFETCH(int, kept);
        const QByteArray file = goldenFile(version, "123", "Bob", kRecords);
        const QByteArray shortened = cut < 0 ? file.left(file.size() + cut) : file.left(cut);
        const TZMTMessList list = parse(shortened);
        QCOMPARE(list.Count(), kept);
        // A cut exactly at a record boundary is a shorter but whole file.
        const bool atBoundary = version == 1 && cut == 56 + 33 + 3;
        QCOMPARE(list.Valid, atBoundary);
    }

    void lineBreakRepair_data() {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("lone LF") << QByteArray("a\nb") << QByteArray("a\r\nb");
        QTest::newRow("LF first") << QByteArray("\nb") << QByteArray("\r\nb");
        QTest::newRow("CR last") << QByteArray("a\r") << QByteArray("a\r\n");
        QTest::newRow("lone CR inside") << QByteArray("a\rb") << QByteArray("a\r\nb");
        QTest::newRow("pairs kept") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\nb\r\n");
        QTest::newRow("LF CR") << QByteArray("a\n\rb") << QByteArray("a\r\n\r\nb");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void lineBreakRepair() {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, out);
        QCOMPARE(qbytes(FixLineBreaks(bytesOf(in))), out);
        QCOMPARE(NeedsLineBreakFix(bytesOf(in)), in != out);
        // The loader repairs only with CorrectCRLF on.
        const QByteArray file = goldenFile(2, "1", "a", {{0, false, in}});
        QCOMPARE(qbytes(parse(file)[0].Text.str()), out);
        Setup().CorrectCRLF = false;
        QCOMPARE(qbytes(parse(file)[0].Text.str()), in);
    }

    void textsBeyondTheLengthFieldAreRefused() {
        TZMTMessList list;
        list.UIN = "1";
        list.Version = 2;
        list.Scrambled = 1;
        list.FileName = QStringLiteral("/somewhere/Varyon_1.zmt");
        NewMessage(list).Text = std::string(65535, 'x');
        list[0].Time = kUnixEpochDay;
        const std::string fits = BuildBinaryFile(list, test::ReadOptions());
        QCOMPARE(parse(qbytes(fits))[0].Text.size(), std::size_t(65535));
        NewMessage(list).Text = std::string(65536, 'y');
        list[1].Time = kUnixEpochDay;
        try {
            BuildBinaryFile(list, test::ReadOptions());
            QFAIL("no error");
        } catch (const Exception& e) {
            QCOMPARE(e.message(), QStringLiteral("Message text too long to store (65536 bytes) "
                                                 "in file Varyon_1.zmt"));
        }
    }

    // A date whose stamp does not fit 32 bits is refused, never stored wrapped into
    // another century; the last seconds of the range are stored as they are.
    void datesOutsideTheStampRangeAreRefused() {
        for (int version : {1, 2, 3}) {
            TZMTMessList list;
            list.UIN = "1";
            list.Version = static_cast<std::uint8_t>(version);
            list.FileName = QStringLiteral("/somewhere/x.zmt");
            NewMessage(list).Time =
                StampToTime(std::numeric_limits<std::int32_t>::max(), version, test::ReadOptions());
            NewMessage(list).Time =
                StampToTime(std::numeric_limits<std::int32_t>::min(), version, test::ReadOptions());
            const TZMTMessList back = parse(qbytes(BuildBinaryFile(list, test::ReadOptions())));
            QCOMPARE(back.Count(), 2);
            QCOMPARE(back[0].Time, list[0].Time);
            QCOMPARE(back[1].Time, list[1].Time);
            NewMessage(list).Time = list[0].Time + 1.0 / 86400;
            QVERIFY_THROWS_EXCEPTION(Exception, BuildBinaryFile(list, test::ReadOptions()));
            list[2].Time = list[1].Time - 1.0 / 86400;
            QVERIFY_THROWS_EXCEPTION(Exception, BuildBinaryFile(list, test::ReadOptions()));
        }
    }

    void readEntryHeaderReadsOnlyTheHeader() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("1_123.zmt"));
        const QByteArray file = goldenFile(1, "123", "Bob", kRecords);
        writeAll(path, file);
        TZMTHead head;
        head.Checked = true;
        ReadEntryHeader(head, path, test::ReadOptions());
        QVERIFY(head.Valid);
        QVERIFY(!head.Checked);
        QCOMPARE(head.Version, std::uint8_t(1));
        QCOMPARE(head.Scrambled, std::uint8_t(0));
        QCOMPARE(head.UIN, std::string("123"));
        QCOMPARE(head.Nick, std::string("Bob"));
        QCOMPARE(head.DataOffset, 56);
        QCOMPARE(head.SrcFile, QStringLiteral("1_123.zmt"));

        writeAll(path, file.left(50));
        ReadEntryHeader(head, path, test::ReadOptions());
        QVERIFY(!head.Valid);
        ReadEntryHeader(head, dir.filePath(QStringLiteral("missing.zmt")), test::ReadOptions());
        QVERIFY(!head.Valid);
        QCOMPARE(head.SrcFile, QStringLiteral("missing.zmt"));
    }
};

QTEST_GUILESS_MAIN(TestBinaryFormat)
#include "tst_binaryformat.moc"
