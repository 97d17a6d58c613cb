#include "common/TestOptions.h"
#include "common/TestUtil.h"
#include "history/GoldenZmt.h"
#include "history/History.h"
#include "history/TimeStamp.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace vimosync;
using namespace vimosync::test;

namespace {

struct Run {
    int code;
    QByteArray out, err;
};

Run cli(const QStringList& args, const QString& ini) {
    QProcess p;
    p.start(qEnvironmentVariable("VIMOSYNC_CLI"),
            QStringList{QStringLiteral("--settings"), ini} + args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

const std::vector<GoldenRecord> kRecords = {
    {1170333296, false, QByteArray("abc")},
    {1170333300, true, QByteArray("two\nlines")},
    {0, false, QByteArray("\xD0\x9F\xD1\x80\xD0\xB8 \xFF")},
};

} // namespace

class TestCliDump : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString ini_;

private slots:
    void initTestCase() {
        QVERIFY(!qEnvironmentVariable("VIMOSYNC_CLI").isEmpty());
        ini_ = dir_.filePath(QStringLiteral("test.ini"));
        writeAll(ini_, "[Settings]\r\nCorrectCRLF=1\r\n");
    }

    // The JSON holds what the loader reads from each format.
    void jsonShowsWhatTheLoaderReads_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("version");
        QTest::newRow("v1") << "1_123.zmt" << goldenFile(1, "123", "Bob", kRecords) << 1;
        QTest::newRow("v2") << "Varyon_123.zmt" << goldenFile(2, "123", "Bob", kRecords) << 2;
        QTest::newRow("v3") << "Varyon3_123.zmt" << goldenFile(3, "123", "Bob", kRecords) << 3;
        QTest::newRow("plain text") << "123.txt"
                                    << QByteArray("--------------------------------------<-\r\n"
                                                  "Bob (12:34:56 1/02/2007)\r\nabc\r\n\r\n"
                                                  "-------------------------------------->-\r\n"
                                                  "Me (12:35:00 1/02/2007)\r\ntwo\r\nlines\r\n")
                                    << 0;
    }
    void jsonShowsWhatTheLoaderReads() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, version);
        const QString path = dir_.filePath(name);
        writeAll(path, bytes);
        const Run r = cli({QStringLiteral("dump"), QStringLiteral("--json"), path}, ini_);
        QCOMPARE(r.code, 0);
        QJsonParseError pe;
        const QJsonObject o = QJsonDocument::fromJson(r.out, &pe).object();
        QCOMPARE(pe.error, QJsonParseError::NoError);
        QCOMPARE(o[QStringLiteral("file")].toString(), QFileInfo(path).absoluteFilePath());
        QCOMPARE(o[QStringLiteral("uin")].toString(), QStringLiteral("123"));
        QCOMPARE(o[QStringLiteral("contactNick")].toString(), QStringLiteral("Bob"));
        QCOMPARE(o[QStringLiteral("version")].toInt(), version);
        QCOMPARE(o[QStringLiteral("scrambled")].toInt(), version >= 2 ? 1 : 0);
        QVERIFY(o[QStringLiteral("valid")].toBool());
        const QJsonArray msgs = o[QStringLiteral("messages")].toArray();

        // The same file loaded here, with the same settings.
        TZMTMessList list;
        list.FileName = path;
        list.ContactNick = "Bob";
        LoadHistory(list, LoadContactNick, false, test::ReadOptions());
        QCOMPARE(msgs.size(), list.Count());
        for (int i = 0; i < list.Count(); ++i) {
            const QJsonObject m = msgs[i].toObject();
            QCOMPARE(m[QStringLiteral("time")].toDouble(), list[i].Time);
            QCOMPARE(m[QStringLiteral("stamp")].toInt(), list[i].Stamp);
            QCOMPARE(m[QStringLiteral("outgoing")].toBool(), list[i].Outgoing);
            QCOMPARE(m[QStringLiteral("local")].toString(),
                     ToDateTime(list[i].Time).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
            QCOMPARE(m[QStringLiteral("text")].toString(),
                     QString::fromUtf8(list[i].Text.data(), qsizetype(list[i].Text.size())));
        }
        QCOMPARE(msgs[0].toObject()[QStringLiteral("nick")].toString(), QStringLiteral("Bob"));
        QCOMPARE(msgs[0].toObject()[QStringLiteral("text")].toString(), QStringLiteral("abc"));
        QCOMPARE(msgs[1].toObject()[QStringLiteral("text")].toString(),
                 QStringLiteral("two\r\nlines"));
        if (version == 2) {
            QCOMPARE(msgs[0].toObject()[QStringLiteral("local")].toString(),
                     QStringLiteral("2007-02-01T12:34:56"));
            // Bytes that are not UTF-8 are shown as the replacement character.
            QCOMPARE(msgs[2].toObject()[QStringLiteral("text")].toString(),
                     QStringLiteral(u"\u041F\u0440\u0438 \uFFFD"));
        }
    }

    void textOutputAndArchives() {
        const QString path = dir_.filePath(QStringLiteral("Varyon_77.zmt"));
        writeAll(path, goldenFile(2, "77", "Ann", kRecords));
        QVERIFY(QDir().mkpath(dir_.filePath(QStringLiteral("Archive"))));
        writeAll(dir_.filePath(QStringLiteral("Archive/Varyon_77_1.ahf")),
                 goldenFile(2, "77", "Ann", {{5, true, "archived"}}));
        Run r = cli({QStringLiteral("dump"), path}, ini_);
        QCOMPARE(r.code, 0);
        const QString text = QString::fromUtf8(r.out);
        QVERIFY2(text.contains(QStringLiteral("UIN:          77\n")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Messages:     3\n")));
        QVERIFY(text.contains(QStringLiteral("1 2007-02-01T12:34:56 <- Ann: abc\n")));
        QVERIFY(text.contains(QStringLiteral(": two\\r\\nlines\n")));

        r = cli(
            {QStringLiteral("dump"), QStringLiteral("--json"), QStringLiteral("--archives"), path},
            ini_);
        const QJsonObject o = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(o[QStringLiteral("messages")].toArray().size(), 4);
        QCOMPARE(o[QStringLiteral("messages")].toArray()[0].toObject()[QStringLiteral("text")],
                 QJsonValue(QStringLiteral("archived")));
        QVERIFY(o[QStringLiteral("archivesComplete")].toBool());
    }

    void errors() {
        Run r = cli({QStringLiteral("dump")}, ini_);
        QCOMPARE(r.code, 2);
        r = cli({QStringLiteral("dump"), QStringLiteral("--bogus"), QStringLiteral("x.zmt")}, ini_);
        QCOMPARE(r.code, 2);
        r = cli({QStringLiteral("dump"), dir_.filePath(QStringLiteral("none.zmt"))}, ini_);
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("not found"));
        // A damaged file is dumped as far as it reads, marked invalid.
        const QString bad = dir_.filePath(QStringLiteral("bad.zmt"));
        writeAll(bad, goldenFile(2, "1", "x", kRecords).chopped(2));
        r = cli({QStringLiteral("dump"), QStringLiteral("--json"), bad}, ini_);
        QCOMPARE(r.code, 0);
        const QJsonObject o = QJsonDocument::fromJson(r.out).object();
        QVERIFY(!o[QStringLiteral("valid")].toBool());
        QCOMPARE(o[QStringLiteral("messages")].toArray().size(), 2);
        // An unknown code page in the settings is a clear error.
        const QString ini = dir_.filePath(QStringLiteral("cp.ini"));
        writeAll(ini, "[ParseTXT]\r\nCodePage=no-such-page\r\n");
        r = cli({QStringLiteral("dump"), bad}, ini);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Unknown code page \"no-such-page\""), r.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestCliDump)
#include "tst_cli_dump.moc"
