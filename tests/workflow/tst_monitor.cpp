// The directory monitor on real folders: one notice naming the changed directory for
// every kind of change anywhere below either tree, none for reading.

#include "common/ScriptedUi.h"
#include "config/Setup.h"
#include "support/Errors.h"
#include "workflow/UnitMonitor.h"
#include "workflow/Workflow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace vimosync;

namespace {

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestMonitor : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QStringList dirs_;
    std::vector<int> notices_;

    std::unique_ptr<TMonitorTrd> start() {
        return std::make_unique<TMonitorTrd>(dirs_, this,
                                             [this](int index) { notices_.push_back(index); });
    }

private slots:
    void init() {
        notices_.clear();
        tmp_ = std::make_unique<QTemporaryDir>();
        dirs_ = {tmp_->filePath(QStringLiteral("src")), tmp_->filePath(QStringLiteral("dst"))};
        for (const QString& d : dirs_) {
            QVERIFY(QDir().mkpath(d + QStringLiteral("/sub/deeper")));
            Write(d + QStringLiteral("/a.zmt"), "abc");
            Write(d + QStringLiteral("/sub/deeper/b.txt"), "def");
        }
    }

    void oneNoticePerChange_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("change");
        const QStringList changes{QStringLiteral("create"),     QStringLiteral("rename"),
                                  QStringLiteral("write"),      QStringLiteral("delete"),
                                  QStringLiteral("attrib"),     QStringLiteral("mkdir"),
                                  QStringLiteral("deep write"), QStringLiteral("deep delete"),
                                  QStringLiteral("truncate")};
        for (int index : {0, 1}) {
            for (const QString& c : changes) {
                QTest::addRow("%s in %d", qPrintable(c), index) << index << c;
            }
        }
    }
    void oneNoticePerChange() {
        QFETCH(int, index);
        QFETCH(QString, change);
        auto monitor = start();
        const QString d = dirs_[index];
        if (change == QLatin1String("create")) {
            Write(d + QStringLiteral("/new.zmt"), "x");
        } else if (change == QLatin1String("rename")) {
            QVERIFY(QFile::rename(d + QStringLiteral("/a.zmt"), d + QStringLiteral("/c.zmt")));
        } else if (change == QLatin1String("write")) {
            QFile f(d + QStringLiteral("/a.zmt"));
            QVERIFY(f.open(QIODevice::Append));
            f.write("more");
        } else if (change == QLatin1String("delete")) {
            QVERIFY(QFile::remove(d + QStringLiteral("/a.zmt")));
        } else if (change == QLatin1String("attrib")) {
            QVERIFY(::chmod(QFile::encodeName(d + QStringLiteral("/a.zmt")).constData(), 0400) ==
                    0);
        } else if (change == QLatin1String("mkdir")) {
            QVERIFY(QDir().mkdir(d + QStringLiteral("/Archive")));
        } else if (change == QLatin1String("deep write")) {
            Write(d + QStringLiteral("/sub/deeper/b.txt"), "changed");
        } else if (change == QLatin1String("deep delete")) {
            QVERIFY(QFile::remove(d + QStringLiteral("/sub/deeper/b.txt")));
        } else if (change == QLatin1String("truncate")) {
            QVERIFY(QFile::resize(d + QStringLiteral("/a.zmt"), 0));
        }
        QTRY_COMPARE(notices_.size(), std::size_t(1));
        QCOMPARE(notices_[0], index);
        // The monitor has ended: later changes say nothing.
        QTRY_VERIFY(monitor->isFinished());
        Write(dirs_[0] + QStringLiteral("/later.zmt"), "y");
        QTest::qWait(3 * TMonitorTrd::kWaitMs);
        QCOMPARE(notices_.size(), std::size_t(1));
    }

    void readingGivesNoNotice() {
        auto monitor = start();
        for (const QString& d : dirs_) {
            QFile f(d + QStringLiteral("/a.zmt"));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("abc"));
            f.close();
            QDir(d + QStringLiteral("/sub/deeper")).entryList();
            QFile g(d + QStringLiteral("/sub/deeper/b.txt"));
            QVERIFY(g.open(QIODevice::ReadOnly));
            g.readAll();
        }
        QTest::qWait(3 * TMonitorTrd::kWaitMs);
        QVERIFY(notices_.empty());
        QVERIFY(monitor->isRunning());
    }

    void missingFolderIsAnError() {
        dirs_[1] = tmp_->filePath(QStringLiteral("gone"));
        try {
            start();
            QFAIL("no error");
        } catch (const Exception& e) {
            QCOMPARE(e.message(), QStringLiteral("Can't create monitoring thread for ") + dirs_[1]);
        }
    }

    void stopsQuickly() {
        auto monitor = start();
        QTest::qWait(50);
        QElapsedTimer t;
        t.start();
        monitor.reset();
        QVERIFY2(t.elapsed() < 2 * TMonitorTrd::kWaitMs + 100,
                 qPrintable(QString::number(t.elapsed())));
    }

    // The workflow side: the notice withdraws the analysis and tells the user once.
    void workflowNotice() {
        test::ScriptedUi ui;
        TWorkflow wf(ui);
        wf.OptionsSource = [] { return WorkflowOptions(Setup()); };
        wf.SrcPathEditChange(dirs_[0]);
        wf.DstPathEditChange(dirs_[1]);
        wf.State.Analysed = true;
        wf.StartMonitor();
        Write(dirs_[0] + QStringLiteral("/sub/x.zmt"), "x");
        QTRY_VERIFY(!wf.State.Analysed);
        QCOMPARE(ui.Infos, QStringList{QStringLiteral(
                               "Source directory content change detected.\r\nYou need to "
                               "restart Analyse.")});
        QCOMPARE(ui.Beeps, 1);
        Write(dirs_[1] + QStringLiteral("/y.zmt"), "y");
        QTest::qWait(3 * TMonitorTrd::kWaitMs);
        QCOMPARE(ui.Infos.size(), 1);

        // A notice that a monitor posted before it was stopped is not shown: what follows
        // a stop is the program's own writing.
        wf.State.Analysed = true;
        wf.StartMonitor();
        Write(dirs_[1] + QStringLiteral("/z.zmt"), "z");
        QThread::msleep(3 * TMonitorTrd::kWaitMs); // the monitor posts its notice
        wf.StopMonitor();
        QTest::qWait(TMonitorTrd::kWaitMs);
        QVERIFY(wf.State.Analysed);
        QCOMPARE(ui.Infos.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestMonitor)
#include "tst_monitor.moc"
