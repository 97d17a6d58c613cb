// Directories that real machines have: a header that names a path, special files where
// histories stand, an empty or vanished destination, names that are not UTF-8. Nothing
// is written outside the destination, nothing hangs, nothing is silent.

#include "common/HistoryFixtures.h"
#include "common/ScriptedUi.h"
#include "common/TestUtil.h"
#include "config/Setup.h"
#include "history/History.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "workflow/Workflow.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vimosync;
using vimosync::test::ScriptedUi;
using vimosync::test::WriteHistory;

namespace {

// Another program's write at the first step of the next save: the messenger appending
// to a history while it is being synchronized.
QString gAppendTo;
QByteArray gAppended;
bool AppendWhileSaving(SaveStep, const QString& target) {
    if (!gAppendTo.isEmpty() && target == gAppendTo) {
        test::writeAll(gAppendTo, gAppended);
        gAppendTo.clear();
    }
    return false;
}

} // namespace

class TestSyncHostile : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QString src_;
    QString dst_;
    std::unique_ptr<ScriptedUi> ui_;
    std::unique_ptr<TWorkflow> wf_;

    QString S(const QString& name) const { return src_ + QLatin1Char('/') + name; }
    QString D(const QString& name) const { return dst_ + QLatin1Char('/') + name; }

    QString sync(int defaultVersion) {
        ui_->FileVersions = {defaultVersion, defaultVersion};
        wf_->Analyse();
        if (!wf_->State.Analysed) {
            return QStringLiteral("not analysed");
        }
        ui_->Confirms = {true};
        if (!wf_->Sync()) {
            return QStringLiteral("not run");
        }
        return ui_->Infos.last();
    }

private slots:
    void init() {
        Setup() = TSettings{};
        Setup().BackupToRecycleBin = false;
        Setup().CreateArchivesFolder = false;
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        src_ = tmp_->filePath(QStringLiteral("a/src"));
        dst_ = tmp_->filePath(QStringLiteral("a/dst"));
        QVERIFY(QDir().mkpath(src_));
        QVERIFY(QDir().mkpath(dst_));
        ui_ = std::make_unique<ScriptedUi>();
        wf_ = std::make_unique<TWorkflow>(*ui_);
        wf_->OptionsSource = [] { return WorkflowOptions(Setup()); };
        wf_->HeadList.Clear();
        wf_->OwnNick = "me";
        wf_->DefaultFileVersion = 0;
        wf_->MonitorEnabled = false;
        wf_->SrcPathEditChange(src_);
        wf_->DstPathEditChange(dst_);
        wf_->State.NickEdited = true;
        OpenLog(tmp_->filePath(QStringLiteral("wf.log")), false);
    }
    void cleanup() {
        CloseLog();
        wf_.reset();
        ui_.reset();
        tmp_.reset();
    }

    // A UIN read from a header goes into a file name only when it is a plain name.
    void uinThatNamesAPathIsRefused_data() {
        QTest::addColumn<QByteArray>("uin");
        QTest::newRow("parent folder") << QByteArray("../precious");
        QTest::newRow("two up") << QByteArray("../../x");
        QTest::newRow("dot dot") << QByteArray("..");
        QTest::newRow("control character") << QByteArray("12\n34");
    }
    void uinThatNamesAPathIsRefused() {
        QFETCH(QByteArray, uin);
        const QString precious = tmp_->filePath(QStringLiteral("a/precious.txt"));
        test::writeAll(precious, "mine");
        WriteHistory(S("1_1.zmt"), 1, uin.toStdString(), "evil", {{1, false, "overwrite"}});
        WriteHistory(S("1_2.zmt"), 1, "2", "fine", {{1, false, "hello"}});
        const auto outside = test::treeBytes(tmp_->path());
        const QString report = sync(0);
        QVERIFY2(report.contains(QLatin1String("Files created: 1")), qPrintable(report));
        QVERIFY(report.contains(QLatin1String("Files skipped: 1")));
        QVERIFY(report.contains(QLatin1String("its UIN is not a plain file name")));
        QCOMPARE(test::FileBytes(precious), QByteArray("mine"));
        // Only the fine contact's new file and the log have come.
        auto after = test::treeBytes(tmp_->path());
        after.remove(QStringLiteral("a/dst/2.txt"));
        after.remove(QStringLiteral("wf.log"));
        auto before = outside;
        before.remove(QStringLiteral("wf.log"));
        QCOMPARE(after.keys(), before.keys());
        QCOMPARE(test::LoadFile(D("2.txt")).Count(), 1);
    }

    // A FIFO named like a history is never opened (a read would wait for a writer for
    // ever): skipped with a line that names it, in every place a history can stand.
    void specialFilesAreNotOpened() {
        QCOMPARE(::mkfifo(QFile::encodeName(S("1_5.zmt")).constData(), 0600), 0);
        WriteHistory(S("1_6.zmt"), 1, "6", "f", {{1, false, "a"}, {2, true, "b"}});
        QCOMPARE(::mkfifo(QFile::encodeName(D("1_6.zmt")).constData(), 0600), 0);
        QCOMPARE(::mkfifo(QFile::encodeName(D("0_fifo.zmt")).constData(), 0600), 0);
        WriteHistory(S("1_7.zmt"), 1, "7", "g", {{1, false, "c"}});
        WriteHistory(D("1_7.zmt"), 1, "7", "g", {{2, false, "d"}});
        const QString report = sync(1);
        QVERIFY2(report.contains(QLatin1String("Files updated: 1")), qPrintable(report));
        QVERIFY(report.contains(QLatin1String("Files skipped: 1")));
        QVERIFY(report.contains(QLatin1String("1_6.zmt: not a regular file")));
        QCOMPARE(test::LoadFile(D("1_7.zmt")).Count(), 2);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(D("1_6.zmt")).constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
        CloseLog();
        const QString log =
            QString::fromUtf8(test::FileBytes(tmp_->filePath(QStringLiteral("wf.log"))));
        QVERIFY(log.contains(QLatin1String("1_5.zmt: not a regular file")));
    }

    // A destination that holds nothing yet, or went away since the analysis, is written
    // in the format its name says; a dangling link where it stands is not replaced.
    void emptyOrVanishedDestinationKeepsItsFormat() {
        WriteHistory(S("1_3.zmt"), 1, "3", "c", {{1, false, "a"}});
        test::writeAll(D("1_3.zmt"), QByteArray());
        WriteHistory(S("1_4.zmt"), 1, "4", "d", {{1, false, "b"}});
        QVERIFY(QFile::link(D("gone.zmt"), D("1_4.zmt"))); // a dangling link
        WriteHistory(S("1_8.zmt"), 1, "8", "h", {{1, false, "c"}, {2, false, "e"}});
        WriteHistory(D("1_8.zmt"), 1, "8", "h", {{1, false, "c"}});
        ui_->FileVersions = {0};
        wf_->Analyse();
        QVERIFY(wf_->State.Analysed);
        QVERIFY(QFile::remove(D("1_8.zmt"))); // between the analysis and the write
        ui_->Confirms = {true};
        QVERIFY(wf_->Sync());
        // A link that leads nowhere is not a file to replace: left as it is, and said.
        QVERIFY(QFileInfo(D("1_4.zmt")).isSymLink());
        QVERIFY(ui_->Infos.last().contains(QLatin1String("Files skipped: 1")));
        QVERIFY(ui_->Infos.last().contains(QLatin1String("1_4.zmt")));
        for (const char* name : {"1_3.zmt", "1_8.zmt"}) {
            const QString path = D(QString::fromLatin1(name));
            QVERIFY2(test::FileBytes(path).startsWith("ZMT"), name);
            const TZMTMessList back = test::LoadFile(path);
            QVERIFY2(back.Valid && back.Version == 1, name);
        }
        QCOMPARE(test::LoadFile(D("1_8.zmt")).Count(), 2);
    }

    // A message the messenger appends while the synchronization works on the history
    // is kept: the contact is merged again with what the file holds now.
    void anotherWriterIsNotOverwritten() {
        WriteHistory(S("1_1.zmt"), 1, "1", "a", {{1, false, "old"}, {3, true, "from source"}});
        WriteHistory(D("1_1.zmt"), 1, "1", "a", {{1, false, "old"}});
        WriteHistory(tmp_->filePath(QStringLiteral("appended.zmt")), 1, "1", "a",
                     {{1, false, "old"}, {5, false, "appended meanwhile"}});
        gAppended = test::FileBytes(tmp_->filePath(QStringLiteral("appended.zmt")));
        ui_->FileVersions = {1};
        wf_->Analyse();
        QVERIFY(wf_->State.Analysed);
        gAppendTo = D("1_1.zmt");
        HistorySaveHooks().fail = AppendWhileSaving;
        ui_->Confirms = {true};
        const bool ran = wf_->Sync();
        HistorySaveHooks().fail = nullptr;
        QVERIFY(ran);
        QVERIFY(gAppendTo.isEmpty()); // the other writer did write
        const TZMTMessList back = test::LoadFile(D("1_1.zmt"));
        QStringList texts;
        for (const TZMTMess& m : back.Items) {
            texts << QString::fromStdString(m.Text.str());
        }
        QCOMPARE(texts, (QStringList{QStringLiteral("old"), QStringLiteral("from source"),
                                     QStringLiteral("appended meanwhile")}));
        QVERIFY(ui_->Infos.last().contains(QLatin1String("Files updated: 1")));
    }

    // A name that is not UTF-8 cannot be opened by its decoded name: the source file
    // shows as a line of its own, and the destination's is named in the report.
    void namesThatAreNotUtf8AreNamed() {
        const QByteArray badSrc = QFile::encodeName(src_) + "/1_\xff\xfe.zmt";
        const QByteArray badDst = QFile::encodeName(dst_) + "/1_9\xff.zmt";
        for (const QByteArray& p : {badSrc, badDst}) {
            const int fd = ::open(p.constData(), O_WRONLY | O_CREAT, 0644);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, "ZMT", 3), ssize_t(3));
            ::close(fd);
        }
        WriteHistory(S("1_9.zmt"), 1, "9", "i", {{1, false, "a"}});
        const QString report = sync(1);
        bool shown = false;
        for (const TZMTHead& e : wf_->HeadList.Items) {
            shown = shown || (!e.Valid && e.SrcFile.contains(QChar(QChar::ReplacementCharacter)));
        }
        QVERIFY(shown);
        QVERIFY2(report.contains(QLatin1String("its name is not valid UTF-8")), qPrintable(report));
        QCOMPARE(wf_->LastSyncSkipped, 1);
        ::unlink(badSrc.constData()); // the temporary folder cannot see them either
        ::unlink(badDst.constData());
    }
};

QTEST_GUILESS_MAIN(TestSyncHostile)
#include "tst_sync_hostile.moc"
