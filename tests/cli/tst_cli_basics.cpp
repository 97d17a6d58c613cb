// The command-line tool's own options, its answer to a command it does not know, and
// the language it speaks.

#include "Version.h"
#include "common/HistoryFixtures.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestCliBasics : public QObject {
    Q_OBJECT

    struct Run {
        int exitCode = -1;
        QString out;
        QString err;
    };

    static Run run(const QStringList& args, const QString& lang = QString()) {
        QProcess p;
        if (!lang.isEmpty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) {
                env.remove(QLatin1String(name));
            }
            env.insert(QStringLiteral("LANG"), lang);
            p.setProcessEnvironment(env);
        }
        p.start(qEnvironmentVariable("VIMOSYNC_CLI"), args);
        Run r;
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit) {
            return r;
        }
        r.exitCode = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("VIMOSYNC_CLI"), "VIMOSYNC_CLI is not set");
    }

    void help_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("--help") << QStringList{"--help"};
        QTest::newRow("-h") << QStringList{"-h"};
        QTest::newRow("after a command") << QStringList{"dump", "--help"};
    }
    void help() {
        QFETCH(QStringList, args);
        const Run r = run(args);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.startsWith("Usage: vimosync-cli"));
        for (const char* command : {"dump", "merge", "analyse", "sync"}) {
            QVERIFY2(r.out.contains(QStringLiteral("  ") + command), command);
        }
        QVERIFY(r.err.isEmpty());
    }

    void version() {
        const Run r = run({"--version"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.trimmed(), QStringLiteral("vimosync-cli " VIMOSYNC_VERSION_STRING));
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown command") << QStringList{"frobnicate"};
        QTest::newRow("unknown option") << QStringList{"--frobnicate"};
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("settings without file") << QStringList{"--settings"};
    }
    void usageErrors() {
        QFETCH(QStringList, args);
        const Run r = run(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY(!r.err.isEmpty());
    }

    // The environment's language: Russian texts under a Russian locale, English ones under
    // C, with the same exit codes; JSON is never translated.
    void languageOfTheEnvironment_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("json");
        QTest::newRow("help") << QStringList{"--help"} << false;
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << false;
        QTest::newRow("analyse") << QStringList{"analyse", "SRC", "DST"} << false;
        QTest::newRow("analyse --json") << QStringList{"analyse", "--json", "SRC", "DST"} << true;
        QTest::newRow("dry run") << QStringList{"sync", "--dry-run", "SRC", "DST"} << false;
        QTest::newRow("undo without a run") << QStringList{"undo", "--yes", "DST"} << false;
        QTest::newRow("dump --json") << QStringList{"dump", "--json", "SRC/1_10.zmt"} << true;
    }
    void languageOfTheEnvironment() {
        QFETCH(QStringList, args);
        QFETCH(bool, json);
        QTemporaryDir tmp;
        const QString src = tmp.filePath(QStringLiteral("src"));
        const QString dst = tmp.filePath(QStringLiteral("dst"));
        QVERIFY(QDir().mkpath(src) && QDir().mkpath(dst));
        vimosync::test::WriteHistory(src + QStringLiteral("/1_10.zmt"), 1, "10", "Zed",
                                     {{1, false, "hello"}, {2, true, "hi"}});
        vimosync::test::WriteHistory(dst + QStringLiteral("/10.txt"), 0, "10", "Zed",
                                     {{1, false, "hello"}});
        const QString ini = tmp.filePath(QStringLiteral("vimosync.ini"));
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Settings]\nBackupToRecycleBin=0\n");
        f.close();
        for (QString& a : args) {
            a.replace(QLatin1String("SRC"), src).replace(QLatin1String("DST"), dst);
        }
        if (args.first() != QLatin1String("--help")) {
            args = QStringList{"--settings", ini} + args;
        }
        const Run en = run(args, QStringLiteral("C"));
        const Run ru = run(args, QStringLiteral("ru_RU.UTF-8"));
        QVERIFY(en.exitCode >= 0);
        QCOMPARE(ru.exitCode, en.exitCode);
        static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
        if (json) {
            QCOMPARE(ru.out, en.out);
            QVERIFY(!en.out.isEmpty());
            return;
        }
        const QString enText = en.out + en.err;
        const QString ruText = ru.out + ru.err;
        QVERIFY2(!enText.contains(cyrillic), qPrintable(enText));
        QVERIFY2(ruText.contains(cyrillic), qPrintable(ruText));
        QVERIFY(ruText != enText);
    }

    void missingSettingsFileIsAnError() {
        const Run r = run({"--settings", "/nonexistent/vimosync.ini", "dump", "x.zmt"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains("/nonexistent/vimosync.ini"));
    }
};

QTEST_GUILESS_MAIN(TestCliBasics)
#include "tst_cli_basics.moc"
