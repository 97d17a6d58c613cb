// The command-line tool's own options and its answer to a command it does not know.

#include "Version.h"

#include <QProcess>
#include <QtTest>

class TestCliBasics : public QObject {
    Q_OBJECT

    struct Run {
        int exitCode = -1;
        QString out;
        QString err;
    };

    static Run run(const QStringList& args) {
        QProcess p;
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

    void missingSettingsFileIsAnError() {
        const Run r = run({"--settings", "/nonexistent/vimosync.ini", "dump", "x.zmt"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains("/nonexistent/vimosync.ini"));
    }
};

QTEST_GUILESS_MAIN(TestCliBasics)
#include "tst_cli_basics.moc"
