#include "common/TestUtil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// vimosync-cli merge on plain-text histories written here: the Merged view's lines, the
// JSON form, the options that override the settings, and the usage errors.
class TestCliMerge : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    struct Run {
        int exitCode = -1;
        QString out;
        QString err;
    };

    QString path(const QString& name) const { return dir_.filePath(name); }

    // One message of a plain-text history as the writer puts it.
    static QByteArray Message(bool outgoing, const char* nick, const char* time,
                              const QByteArray& text) {
        QByteArray b = outgoing ? "-------------------------------------->-\r\n"
                                : "--------------------------------------<-\r\n";
        b += QByteArray(nick) + " (" + time + " 7/03/2006)\r\n";
        b += text + "\r\n\r\n";
        return b;
    }

    void writeSettings(const QByteArray& settingsSection) {
        vimosync::test::writeAll(path(QStringLiteral("settings.ini")),
                                 "[Settings]\r\n" + settingsSection);
    }

    Run cli(const QStringList& args) {
        QProcess p;
        p.start(qEnvironmentVariable("VIMOSYNC_CLI"),
                QStringList{QStringLiteral("--settings"), path(QStringLiteral("settings.ini")),
                            QStringLiteral("merge")} +
                    args);
        if (!p.waitForFinished(60000)) {
            p.kill();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(!qEnvironmentVariable("VIMOSYNC_CLI").isEmpty());
        vimosync::test::writeAll(path(QStringLiteral("src.txt")),
                                 Message(false, "Bob", "12:00:00", "Hello") +
                                     Message(true, "me", "12:00:05", "Привет  Bob") +
                                     Message(false, "Bob", "12:02:00", "Same time S"));
        vimosync::test::writeAll(path(QStringLiteral("dst.txt")),
                                 Message(false, "Bob", "12:00:00", "Hello") +
                                     Message(false, "Bob", "12:01:00", "Later") +
                                     Message(false, "Bob", "12:02:00", "Same time D"));
        // One conversation, the source's clock an hour behind the destination's.
        vimosync::test::writeAll(
            path(QStringLiteral("src-clock.txt")),
            Message(false, "Bob", "11:00:00", "Are you coming to the meeting?") +
                Message(true, "me", "11:00:30", "Yes, I will be there soon") +
                Message(false, "Bob", "11:01:00", "Great, see you there") +
                Message(true, "me", "11:02:00", "Only on the handheld"));
        vimosync::test::writeAll(
            path(QStringLiteral("dst-clock.txt")),
            Message(false, "Bob", "12:00:00", "Are you coming to the meeting?") +
                Message(true, "me", "12:00:30", "Yes, I will be there soon") +
                Message(false, "Bob", "12:01:00", "Great, see you there"));
        vimosync::test::writeAll(path(QStringLiteral("dst-spaces.txt")),
                                 Message(true, "me", "12:00:05", "привет bob"));
    }

    void init() { writeSettings(QByteArray()); }

    void lines_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("sorting mode, numbered")
            << QByteArray() << QStringList() << "dst.txt"
            << QStringList{"1 <<<<  12:00:00 7/03/2006 Hello",
                           "+ 2 >>>>  12:00:05 7/03/2006 Привет  Bob",
                           "3 <<<<  12:01:00 7/03/2006 Later",
                           "4 <<<<  12:02:00 7/03/2006 Same time D",
                           "+ 5 <<<<  12:02:00 7/03/2006 Same time S",
                           "5 messages; 2 differences"};
        QTest::newRow("without numbers")
            << QByteArray("ShowMessNumbers=0\r\n") << QStringList() << "dst.txt"
            << QStringList{"<<<<  12:00:00 7/03/2006 Hello",
                           "+ >>>>  12:00:05 7/03/2006 Привет  Bob",
                           "<<<<  12:01:00 7/03/2006 Later",
                           "<<<<  12:02:00 7/03/2006 Same time D",
                           "+ <<<<  12:02:00 7/03/2006 Same time S",
                           "5 messages; 2 differences"};
        QTest::newRow("--mode 0 overrides the settings: source first at equal times")
            << QByteArray("MessMergeMode=1\r\n") << QStringList{"--mode", "0"} << "dst.txt"
            << QStringList{"1 <<<<  12:00:00 7/03/2006 Hello",
                           "+ 2 >>>>  12:00:05 7/03/2006 Привет  Bob",
                           "3 <<<<  12:01:00 7/03/2006 Later",
                           "+ 4 <<<<  12:02:00 7/03/2006 Same time S",
                           "5 <<<<  12:02:00 7/03/2006 Same time D",
                           "5 messages; 2 differences"};
        QTest::newRow("mode from the settings")
            << QByteArray("MessMergeMode=0\r\n") << QStringList() << "dst.txt"
            << QStringList{"1 <<<<  12:00:00 7/03/2006 Hello",
                           "+ 2 >>>>  12:00:05 7/03/2006 Привет  Bob",
                           "3 <<<<  12:01:00 7/03/2006 Later",
                           "+ 4 <<<<  12:02:00 7/03/2006 Same time S",
                           "5 <<<<  12:02:00 7/03/2006 Same time D",
                           "5 messages; 2 differences"};
        QTest::newRow("mode without a procedure")
            << QByteArray() << QStringList{"--mode", "3"} << "dst.txt"
            << QStringList{"0 messages; 0 differences"};
        QTest::newRow("exact texts")
            << QByteArray() << QStringList() << "dst-spaces.txt"
            << QStringList{"+ 1 <<<<  12:00:00 7/03/2006 Hello",
                           "2 >>>>  12:00:05 7/03/2006 привет bob",
                           "+ 3 >>>>  12:00:05 7/03/2006 Привет  Bob",
                           "+ 4 <<<<  12:02:00 7/03/2006 Same time S", "4 messages; 3 differences"};
        QTest::newRow("--ignore-spaces")
            << QByteArray() << QStringList{"--ignore-spaces"} << "dst-spaces.txt"
            << QStringList{"+ 1 <<<<  12:00:00 7/03/2006 Hello",
                           "2 >>>>  12:00:05 7/03/2006 привет bob",
                           "+ 3 <<<<  12:02:00 7/03/2006 Same time S", "3 messages; 2 differences"};
        QTest::newRow("missing destination: everything differs")
            << QByteArray() << QStringList() << "absent.txt"
            << QStringList{"+ 1 <<<<  12:00:00 7/03/2006 Hello",
                           "+ 2 >>>>  12:00:05 7/03/2006 Привет  Bob",
                           "+ 3 <<<<  12:02:00 7/03/2006 Same time S", "3 messages; 3 differences"};
    }

    void lines() {
        QFETCH(QByteArray, settings);
        QFETCH(QStringList, options);
        QFETCH(QString, destination);
        QFETCH(QStringList, expected);
        writeSettings(settings);
        const Run r =
            cli(options + QStringList{path(QStringLiteral("src.txt")), path(destination)});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    }

    // The smart mode, from the option or the settings: one conversation with the source's
    // clock an hour behind is merged once, in the destination's clock.
    void smartModeMovesTheSourceClock() {
        const QStringList expected{"1 <<<<  12:00:00 7/03/2006 Are you coming to the meeting?",
                                   "2 >>>>  12:00:30 7/03/2006 Yes, I will be there soon",
                                   "3 <<<<  12:01:00 7/03/2006 Great, see you there",
                                   "+ 4 >>>>  12:02:00 7/03/2006 Only on the handheld",
                                   "4 messages; 1 differences"};
        const QStringList files{path(QStringLiteral("src-clock.txt")),
                                path(QStringLiteral("dst-clock.txt"))};
        const Run byOption = cli(QStringList{"--mode", "2"} + files);
        QCOMPARE(byOption.err, QString());
        QCOMPARE(byOption.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
        writeSettings("MessMergeMode=2\r\n");
        const Run bySettings = cli(files);
        QCOMPARE(bySettings.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
        // The sorting mode takes every message of the source a second time.
        const Run sorted = cli(QStringList{"--mode", "1"} + files);
        QVERIFY(sorted.out.endsWith(QStringLiteral("7 messages; 4 differences\n")));
    }

    void json() {
        const Run r = cli({QStringLiteral("--json"), path(QStringLiteral("src.txt")),
                           path(QStringLiteral("dst.txt"))});
        QCOMPARE(r.exitCode, 0);
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(o.value(QStringLiteral("count")).toInt(), 5);
        QCOMPARE(o.value(QStringLiteral("diffCount")).toInt(), 2);
        QCOMPARE(o.value(QStringLiteral("hasDiff")).toBool(), true);
        const QJsonArray messages = o.value(QStringLiteral("messages")).toArray();
        QCOMPARE(messages.size(), 5);
        const QJsonObject first = messages[0].toObject();
        QCOMPARE(first.value(QStringLiteral("differs")).toBool(), false);
        QCOMPARE(first.value(QStringLiteral("nick")).toString(), QStringLiteral("Bob"));
        const QJsonObject second = messages[1].toObject();
        QCOMPARE(second.value(QStringLiteral("local")).toString(),
                 QStringLiteral("2006-03-07T12:00:05"));
        QCOMPARE(second.value(QStringLiteral("time")).toDouble(), 38783.0 + 43205.0 / 86400.0);
        QCOMPARE(second.value(QStringLiteral("outgoing")).toBool(), true);
        QCOMPARE(second.value(QStringLiteral("nick")).toString(), QStringLiteral("me"));
        QCOMPARE(second.value(QStringLiteral("text")).toString(), QStringLiteral("Привет  Bob"));
        QCOMPARE(second.value(QStringLiteral("differs")).toBool(), true);
        QVERIFY(second.contains(QStringLiteral("stamp")));
        QCOMPARE(messages[4].toObject().value(QStringLiteral("text")).toString(),
                 QStringLiteral("Same time S"));
    }

    void errors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        const QString src = path(QStringLiteral("src.txt"));
        const QString dst = path(QStringLiteral("dst.txt"));
        QTest::newRow("no files") << QStringList() << 2;
        QTest::newRow("one file") << QStringList{src} << 2;
        QTest::newRow("three files") << QStringList{src, dst, dst} << 2;
        QTest::newRow("unknown option") << QStringList{"--bogus", src, dst} << 2;
        QTest::newRow("mode not a number") << QStringList{"--mode", "x", src, dst} << 2;
        QTest::newRow("mode out of range") << QStringList{"--mode", "256", src, dst} << 2;
        QTest::newRow("negative mode") << QStringList{"--mode", "-1", src, dst} << 2;
        QTest::newRow("mode without value") << QStringList{src, dst, "--mode"} << 2;
        QTest::newRow("missing source")
            << QStringList{path(QStringLiteral("absent.txt")), dst} << 1;
        QTest::newRow("source without messages")
            << QStringList{path(QStringLiteral("settings.ini")), dst} << 1;
    }

    void errors() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        const Run r = cli(args);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.out, QString());
        QVERIFY(!r.err.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliMerge)
#include "tst_cli_merge.moc"
