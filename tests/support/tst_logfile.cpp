// The debug log: the form of a line, appending across runs, the re-open entry, and
// that nothing is written or created while the log is closed.

#include "common/TestUtil.h"
#include "support/LogFile.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>

using namespace vimosync;

namespace {

QDateTime FixedClock() {
    return QDateTime(QDate(2026, 12, 6), QTime(20, 55, 1));
}

QStringList g_trace;
void CaptureTrace(QtMsgType, const QMessageLogContext&, const QString& msg) {
    g_trace << msg;
}

} // namespace

class TestLogFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void initTestCase() { SetLogClock(&FixedClock); }
    void cleanup() { CloseLog(); }
    void cleanupTestCase() { SetLogClock(nullptr); }

    void lineForm() {
        const QString path = dir_.filePath("form.log");
        QVERIFY(OpenLog(path));
        QVERIFY(LogIsOpen());
        QCOMPARE(LogFileName(), path);
        WriteLog("Start analyse -------");
        WriteLog("two\r\nlines");
        CloseLog();
        QCOMPARE(test::readAll(path), QByteArray("06.12.26 20:55:01 Start analyse -------\r\n"
                                                 "06.12.26 20:55:01 two\r\nlines\r\n"));
        QVERIFY(!LogIsOpen());
        QVERIFY(LogFileName().isEmpty());
    }

    void appendsAcrossOpens() {
        const QString path = dir_.filePath("append.log");
        test::writeAll(path, "earlier run\r\n");
        for (const char* text : {"first", "second"}) {
            QVERIFY(OpenLog(path, false));
            WriteLog(text);
            CloseLog();
        }
        QCOMPARE(test::readAll(path), QByteArray("earlier run\r\n06.12.26 20:55:01 first\r\n"
                                                 "06.12.26 20:55:01 second\r\n"));
    }

    void secondOpenOnlyLogsTheAttempt() {
        const QString path = dir_.filePath("reopen.log");
        const QString other = dir_.filePath("other.log");
        QVERIFY(OpenLog(path));
        QVERIFY(OpenLog(other));
        QCOMPARE(LogFileName(), path);
        CloseLog();
        QVERIFY(!QFile::exists(other));
        QCOMPARE(
            test::readAll(path),
            ("06.12.26 20:55:01 Trying to re-open log file. Name=\"" + other + "\"\r\n").toUtf8());
    }

    void closedLogWritesNothing() {
        const QString def = QCoreApplication::applicationDirPath() + "/tst_logfile.log";
        QFile::remove(def);
        WriteLog("nobody reads this");
        CloseLog();
        QVERIFY(!LogIsOpen());
        QVERIFY(!QFile::exists(def));
    }

    void defaultNameBesideExecutable() {
        const QString def = QCoreApplication::applicationDirPath() + "/tst_logfile.log";
        QFile::remove(def);
        QVERIFY(OpenLog());
        QCOMPARE(LogFileName(), def);
        WriteLog("x");
        CloseLog();
        QCOMPARE(test::readAll(def), QByteArray("06.12.26 20:55:01 x\r\n"));
        QFile::remove(def);
    }

    void openFailureLeavesLogClosed() {
        QVERIFY(!OpenLog(dir_.filePath("no/such/folder/x.log")));
        QVERIFY(!LogIsOpen());
        QVERIFY(LogFileName().isEmpty());
        WriteLog("lost");
        // The log can still be opened afterwards.
        QVERIFY(OpenLog(dir_.filePath("after.log")));
    }

    void traceGoesToMessageLog() {
        g_trace.clear();
        const QtMessageHandler old = qInstallMessageHandler(&CaptureTrace);
        TraceDebug("views filled");
        qInstallMessageHandler(old);
        QCOMPARE(g_trace.size(), 1);
        QVERIFY(g_trace[0].endsWith("> views filled"));
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
