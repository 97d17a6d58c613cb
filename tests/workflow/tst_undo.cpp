// The undo of a whole synchronization from its journal, on real temporary directories:
// the destination comes back byte for byte, files changed since are left and named, an
// interrupted undo ends where a whole one would, and a second undo changes nothing.

#include "common/HistoryFixtures.h"
#include "common/ScriptedUi.h"
#include "common/TestOptions.h"
#include "common/TestUtil.h"
#include "config/Setup.h"
#include "history/FileStore.h"
#include "history/History.h"
#include "history/Journal.h"
#include "history/Undo.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "support/Sha256.h"
#include "workflow/Workflow.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

using namespace vimosync;
using vimosync::test::Msg;
using vimosync::test::ScriptedUi;
using vimosync::test::WriteHistory;

namespace {

// n messages from minute `from` on, long enough that a few fill an archive part of 1 KB.
std::vector<Msg> Messages(int from, int n, const char* tag) {
    static std::vector<std::unique_ptr<std::string>> texts;
    std::vector<Msg> out;
    for (int i = 0; i < n; ++i) {
        texts.push_back(std::make_unique<std::string>(
            std::string(tag) + " message " + std::to_string(from + i) + std::string(60, 'x')));
        out.push_back({from + i, i % 3 == 0, texts.back()->c_str()});
    }
    return out;
}

// Every file and folder below root (hidden ones too), with the bytes of the files.
QMap<QString, QByteArray> Tree(const QString& root) {
    QMap<QString, QByteArray> t;
    QDirIterator it(root, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        t.insert(QDir(root).relativeFilePath(p),
                 QFileInfo(p).isDir() ? QByteArray("<folder>") : test::FileBytes(p));
    }
    return t;
}

// The journal takes the lines of its header and of one contact's save (its plan and its
// end), then the disk is full.
int g_journalWrites = 0;
int JournalFullAfterOneSave() {
    return ++g_journalWrites > 3 ? ENOSPC : 0;
}

int g_stopAt = 0;
bool StopAt(int step) {
    return step == g_stopAt;
}

QString g_failing;
bool FailReplacing(SaveStep step, const QString& target) {
    return step == SaveStep::Replace && target.endsWith(g_failing);
}

// Whether the parts of history 1 in the archive folder have a gap (a part whose number
// is not reached from 1 on): the reader stops at a gap.
QString g_archive;
bool g_gap = false;
void LookForGap() {
    std::set<int> numbers;
    for (const QString& n : QDir(g_archive).entryList({QStringLiteral("Varyon_1_*.ahf")})) {
        numbers.insert(n.mid(9, n.size() - 13).toInt());
    }
    if (!numbers.empty() && *numbers.rbegin() != static_cast<int>(numbers.size())) {
        g_gap = true;
    }
}
bool GapBeforeRemoval(SaveStep step, const QString&) {
    if (step == SaveStep::RemoveOld) {
        LookForGap();
    }
    return false;
}
bool GapAfterUndoStep(int) {
    LookForGap();
    return false;
}

// Ends the process as a kill would, right before the backup of history 1 (its new content
// in place, the old one still kept beside it, the journal without the save's end).
bool KillBeforeBackup(SaveStep step, const QString& target) {
    if (step == SaveStep::Backup && target.endsWith(QLatin1String("Varyon_1.zmt"))) {
        ::_exit(9);
    }
    return false;
}

// The tree less the leftovers of a killed save (their own names), which the next
// synchronization clears.
QMap<QString, QByteArray> WithoutLeftovers(QMap<QString, QByteArray> t) {
    t.removeIf([](const auto& kv) {
        return QFileInfo(kv.key()).fileName().startsWith(QLatin1String(".vimosync-"));
    });
    return t;
}

} // namespace

class TestUndo : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    QString src_, dst_, trash_;
    QByteArray oldDataHome_;
    std::unique_ptr<ScriptedUi> ui_;
    std::unique_ptr<TWorkflow> wf_;

    QString S(const QString& n) const { return src_ + QLatin1Char('/') + n; }
    QString D(const QString& n) const { return dst_ + QLatin1Char('/') + n; }

    // Contacts of every kind a run meets: one replaced with its archive parts, one whose
    // part set grows, one created, one already equal, and one created from two source
    // files (the second save replaces what the first made).
    void writePair() {
        WriteHistory(S("Varyon_1.zmt"), 2, "1", "one", Messages(0, 40, "a"));
        WriteHistory(D("Varyon_1.zmt"), 2, "1", "one", Messages(5, 30, "a"));
        WriteHistory(S("Varyon_2.zmt"), 3, "2", "two", Messages(0, 12, "b"));
        WriteHistory(S("Varyon_3.zmt"), 2, "3", "three", Messages(0, 25, "c"));
        WriteHistory(D("Varyon_3.zmt"), 2, "3", "three", Messages(0, 20, "c"));
        WriteHistory(S("Varyon_4.zmt"), 2, "4", "four", Messages(0, 3, "d"));
        WriteHistory(D("Varyon_4.zmt"), 2, "4", "four", Messages(0, 3, "d"));
        WriteHistory(S("1_5.zmt"), 1, "5", "five", Messages(0, 4, "e"));
        WriteHistory(S("Varyon_5.zmt"), 2, "5", "five", Messages(2, 4, "e"));
    }
    QStringList analysisLines() {
        wf_->Analyse();
        QStringList lines;
        for (const TZMTHead& e : wf_->HeadList.Items) {
            lines << ContactLineText(e) + QLatin1Char(' ') + e.DstFile;
        }
        return lines;
    }
    void sync() {
        ui_->FileVersions.assign(4, 2); // new histories are written as version 2
        wf_->Analyse();
        QVERIFY(wf_->State.Analysed);
        wf_->SelectAll();
        QVERIFY2(wf_->Sync(), qPrintable(ui_->Calls.join(QLatin1Char('\n'))));
    }
    QString logText() {
        CloseLog();
        const QString text =
            QString::fromUtf8(test::FileBytes(tmp_->filePath(QStringLiteral("undo.log"))));
        OpenLog(tmp_->filePath(QStringLiteral("undo.log")), false);
        return text;
    }
    QStringList trashFiles() const {
        return QDir(trash_ + QStringLiteral("/files")).entryList(QDir::Files | QDir::Hidden);
    }

private slots:
    void init() {
        Setup() = TSettings{};
        Setup().BackupToRecycleBin = true;
        Setup().UseVaryonArchives = true;
        Setup().CreateArchivesFolder = true;
        Setup().NewArchiveSize = 1;
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        oldDataHome_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", tmp_->filePath(QStringLiteral("data")).toLocal8Bit());
        trash_ = tmp_->filePath(QStringLiteral("data/Trash"));
        src_ = tmp_->filePath(QStringLiteral("src"));
        dst_ = tmp_->filePath(QStringLiteral("dst"));
        QVERIFY(QDir().mkpath(src_) && QDir().mkpath(dst_));
        ui_ = std::make_unique<ScriptedUi>();
        ui_->DefaultConfirm = true;
        wf_ = std::make_unique<TWorkflow>(*ui_);
        wf_->OptionsSource = [] { return WorkflowOptions(Setup()); };
        wf_->MonitorEnabled = false;
        wf_->SrcPathEditChange(src_);
        wf_->DstPathEditChange(dst_);
        OpenLog(tmp_->filePath(QStringLiteral("undo.log")), false);
    }
    void cleanup() {
        HistoryUndoHooks().stopAfterStep = nullptr;
        HistorySaveHooks().fail = nullptr;
        JournalWriteHooks().fail = nullptr;
        CloseLog();
        wf_.reset();
        ui_.reset();
        tmp_.reset();
        qputenv("XDG_DATA_HOME", oldDataHome_);
    }

    // Sync and undo give back the destination byte for byte (the archive folder the
    // analysis made for the run goes too), take out of the trash what the run put there,
    // and the analysis shows what it showed before. A second undo changes nothing.
    void undoGivesBackTheDestination() {
        writePair();
        const QMap<QString, QByteArray> before = Tree(dst_);
        QVERIFY(!wf_->State.UndoAvailable);
        const QStringList analysed = analysisLines();
        QVERIFY(QFileInfo(D("Archive")).isDir()); // made by the analysis
        sync();
        QVERIFY(Tree(dst_) != before);
        QVERIFY(!trashFiles().isEmpty());
        QVERIFY(wf_->State.UndoAvailable);
        QVERIFY(wf_->Controls().UndoSync);

        ui_->Questions.clear();
        QVERIFY(wf_->UndoSync(dst_));
        QCOMPARE(Tree(dst_), before);
        QCOMPARE(ui_->Questions.size(), 1);
        QVERIFY2(ui_->Questions[0].contains(QLatin1String("2 files get their old content back")),
                 qPrintable(ui_->Questions[0]));
        QVERIFY(ui_->Questions[0].contains(QLatin1String("1 one")));
        QVERIFY(ui_->Questions[0].contains(QLatin1String("2 two")));
        QVERIFY(!ui_->Questions[0].contains(QLatin1String("4 four"))); // not written
        // Only what the run created is in the trash now (sent by the undo), not what
        // the run sent there: old contents, or the first save's file of contact 5.
        QVERIFY(!trashFiles().contains(QStringLiteral("1_5.zmt")));
        for (const QString& name : trashFiles()) {
            QVERIFY2(name.startsWith(QLatin1String("Varyon_2")) ||
                         name.startsWith(QLatin1String("1_5.zmt")) || name.endsWith(".ahf"),
                     qPrintable(name));
        }
        QVERIFY(!wf_->State.UndoAvailable);
        QCOMPARE(wf_->LastUndoLeft, 0);
        const QString log = logText();
        QVERIFY(log.contains(QLatin1String("Undo started -------")));
        QVERIFY(
            log.contains(QLatin1String("Put back ") + QDir::toNativeSeparators(D("Varyon_1.zmt"))));
        QVERIFY(log.contains(QLatin1String("Taken away ") +
                             QDir::toNativeSeparators(D("Varyon_2.zmt"))));
        QVERIFY(log.contains(QLatin1String("Undo finished: ")));

        // A second undo finds the run undone and changes nothing.
        ui_->Questions.clear();
        QVERIFY(wf_->UndoSync(dst_));
        QVERIFY(ui_->Questions.isEmpty());
        QVERIFY(ui_->Infos.last().contains(QLatin1String("undone already")));
        QCOMPARE(Tree(dst_), before);
        QCOMPARE(analysisLines(), analysed);
    }

    // A history changed by hand after the run stays as the user left it, with the rest
    // of its set (its archive parts), and the report names it; the others come back.
    void changedFileIsLeftAndNamed() {
        writePair();
        const QMap<QString, QByteArray> before = Tree(dst_);
        sync();
        const QMap<QString, QByteArray> synced = Tree(dst_);
        WriteHistory(D("Varyon_3.zmt"), 2, "3", "three", Messages(0, 26, "c"));
        const QByteArray byHand = test::FileBytes(D("Varyon_3.zmt"));
        QVERIFY(wf_->UndoSync(dst_));
        QCOMPARE(test::FileBytes(D("Varyon_3.zmt")), byHand);
        for (auto it = synced.begin(); it != synced.end(); ++it) {
            if (it.key().startsWith(QLatin1String("Archive/Varyon_3"))) {
                QCOMPARE(test::FileBytes(D(it.key())), it.value()); // the set stays whole
            }
        }
        QCOMPARE(test::FileBytes(D("Varyon_1.zmt")), before[QStringLiteral("Varyon_1.zmt")]);
        QVERIFY(!QFile::exists(D("Varyon_2.zmt")));
        QVERIFY(wf_->LastUndoLeft > 0);
        QVERIFY2(ui_->Infos.last().contains(QDir::toNativeSeparators(D("Varyon_3.zmt")) +
                                            QLatin1String(" has changed since")),
                 qPrintable(ui_->Infos.last()));
    }

    // Without the backup the synchronization warns that it cannot be undone in full; the
    // undo takes away what it created, says why the replaced files stay, and leaves them.
    void withoutBackupOnlyCreatedFilesGo() {
        Setup().BackupToRecycleBin = false;
        writePair();
        sync();
        QVERIFY(!ui_->Questions.isEmpty());
        QVERIFY(ui_->Questions.last().contains(QLatin1String("cannot be undone in full")));
        const QByteArray synced = test::FileBytes(D("Varyon_1.zmt"));
        QVERIFY(wf_->UndoSync(dst_));
        QVERIFY(ui_->Questions.last().contains(QLatin1String("can only take away the files")));
        QVERIFY(!QFile::exists(D("Varyon_2.zmt")));
        QVERIFY(QDir(dst_).entryList({QStringLiteral("*5*")}).isEmpty());
        QCOMPARE(test::FileBytes(D("Varyon_1.zmt")), synced);
        QVERIFY(ui_->Infos.last().contains(QLatin1String("its old content was not kept")));
    }

    // An undo stopped after any number of files, as a killed one is, leaves every
    // history there (a message may stand twice, none is missing) and, run again, ends
    // with the destination as it was before the run.
    void interruptedUndoRunsAgain() {
        writePair();
        const QString pristine = tmp_->filePath(QStringLiteral("pristine"));
        QVERIFY(QDir().mkpath(pristine));
        for (const QString& n : QDir(dst_).entryList(QDir::Files)) {
            QVERIFY(QFile::copy(D(n), pristine + QLatin1Char('/') + n));
        }
        const QMap<QString, QByteArray> before = Tree(dst_);
        const auto messages = [this](const char* name) {
            TZMTMessList back;
            back.FileName = D(QLatin1String(name));
            LoadHistory(back, LoadPlain, true, test::ReadOptions());
            return back.Damaged || !back.ArchivesComplete ? -1 : back.Count();
        };
        const std::vector<const char*> histories{"Varyon_1.zmt", "Varyon_3.zmt", "Varyon_4.zmt"};
        std::vector<int> counts;
        for (const char* name : histories) {
            counts.push_back(messages(name));
        }
        for (g_stopAt = 1; g_stopAt <= 40; ++g_stopAt) {
            QVERIFY(QDir(dst_).removeRecursively());
            QVERIFY(QDir().mkpath(dst_));
            for (const QString& n : QDir(pristine).entryList(QDir::Files)) {
                QVERIFY(QFile::copy(pristine + QLatin1Char('/') + n, D(n)));
            }
            wf_->DstPathEditChange(QString());
            wf_->DstPathEditChange(dst_);
            sync();
            HistoryUndoHooks().stopAfterStep = StopAt;
            QVERIFY(wf_->UndoSync(dst_));
            HistoryUndoHooks().stopAfterStep = nullptr;
            for (std::size_t h = 0; h < histories.size(); ++h) {
                QVERIFY2(messages(histories[h]) >= counts[h],
                         qPrintable(QStringLiteral("stopped after %1 files: %2")
                                        .arg(g_stopAt)
                                        .arg(QLatin1String(histories[h]))));
            }
            if (!wf_->State.UndoAvailable) {
                // It went through before the step: every step was stopped after once.
                QCOMPARE(Tree(dst_), before);
                QVERIFY(g_stopAt > 5);
                break;
            }
            QVERIFY(wf_->UndoSync(dst_));
            QVERIFY2(Tree(dst_) == before,
                     qPrintable(QStringLiteral("stopped after %1").arg(g_stopAt)));
        }
    }

    // A save that fails puts its files back and notes it: the undo leaves that contact
    // alone and gives back the others.
    void failedSaveIsNotUndoneAgain() {
        writePair();
        const QMap<QString, QByteArray> before = Tree(dst_);
        g_failing = QStringLiteral("Varyon_3.zmt");
        HistorySaveHooks().fail = FailReplacing;
        sync();
        HistorySaveHooks().fail = nullptr;
        QCOMPARE(test::FileBytes(D("Varyon_3.zmt")), before[QStringLiteral("Varyon_3.zmt")]);
        TJournalRun run;
        QVERIFY(TWorkflow::RunToUndo(dst_, QString(), run));
        QVERIFY(std::any_of(run.Files.begin(), run.Files.end(),
                            [](const TJournalFile& f) { return f.RolledBack; }));
        QVERIFY(wf_->UndoSync(dst_));
        QCOMPARE(wf_->LastUndoLeft, 0);
        QCOMPARE(Tree(dst_), before);
    }

    // The journal: a torn last line (a killed run) is left out, the rest read; an old
    // content that left the trash is named and its set left as the run left it.
    void journalAndTrashGone() {
        writePair();
        sync();
        TJournalRun run;
        QVERIFY(TWorkflow::RunToUndo(dst_, QString(), run));
        QVERIFY(run.Finished.isValid());
        QCOMPARE(QDir::cleanPath(run.Source), QDir::cleanPath(src_));
        QCOMPARE(run.Settings.value(QStringLiteral("NewArchiveSize")).toInt(), 1);
        {
            QFile f(run.FilePath);
            QVERIFY(f.open(QIODevice::Append));
            f.write("{\"t\":\"undoEnd\",\"at\":\"20");
        }
        TJournalRun torn;
        QString error;
        QVERIFY(ReadJournal(run.FilePath, torn, error));
        QVERIFY(!torn.Undone);
        QCOMPARE(torn.Files.size(), run.Files.size());

        const auto replaced = std::find_if(run.Files.begin(), run.Files.end(), [](const auto& f) {
            return f.Action == TFileAction::Replaced && f.Path.endsWith("Varyon_1.zmt");
        });
        QVERIFY(replaced != run.Files.end() && !replaced->Trash.isEmpty());
        QVERIFY(QFile::remove(replaced->Trash));
        const QByteArray synced = test::FileBytes(D("Varyon_1.zmt"));
        QVERIFY(wf_->UndoSync(dst_));
        QCOMPARE(test::FileBytes(D("Varyon_1.zmt")), synced);
        QVERIFY(ui_->Infos.last().contains(QLatin1String("no longer in the trash")));
        QVERIFY(!QFile::exists(D("Varyon_2.zmt")));
    }

    // A journal that names a file outside the destination (written by hand, or damaged)
    // gets that file left alone.
    void journalNamingAFileOutsideIsRefused() {
        writePair();
        sync();
        TJournalRun run;
        QVERIFY(TWorkflow::RunToUndo(dst_, QString(), run));
        const QString outside = tmp_->filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside));
        QVERIFY(QFile::copy(D("Varyon_2.zmt"), outside + QStringLiteral("/Varyon_2.zmt")));
        QFile f(run.FilePath);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        text.replace(D("Varyon_2.zmt").toUtf8(),
                     (outside + QStringLiteral("/Varyon_2.zmt")).toUtf8());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        QVERIFY(wf_->UndoSync(dst_));
        QVERIFY(QFile::exists(outside + QStringLiteral("/Varyon_2.zmt")));
        QVERIFY(ui_->Infos.last().contains(QLatin1String("outside the destination")));
    }

    // A save that needs fewer parts removes the old ones from the highest down, and the
    // undo brings them back from the lowest up: at no step do the parts have a gap.
    void partsNeverHaveAGap() {
        WriteHistory(S("Varyon_1.zmt"), 2, "1", "one", Messages(0, 40, "a"));
        WriteHistory(D("Varyon_1.zmt"), 2, "1", "one", Messages(0, 2, "a"));
        sync();
        QVERIFY2(QFile::exists(D("Archive/Varyon_1_3.ahf")),
                 qPrintable(QDir(D("Archive")).entryList().join(" ")));
        const QMap<QString, QByteArray> before = Tree(dst_);
        WriteHistory(S("Varyon_1.zmt"), 2, "1", "one", Messages(0, 41, "a"));
        Setup().NewArchiveSize = 100;
        g_archive = D("Archive");
        g_gap = false;
        HistorySaveHooks().fail = GapBeforeRemoval;
        sync();
        HistorySaveHooks().fail = nullptr;
        QVERIFY(!QFile::exists(D("Archive/Varyon_1_1.ahf")));
        HistoryUndoHooks().stopAfterStep = GapAfterUndoStep;
        QVERIFY(wf_->UndoSync(dst_));
        QVERIFY(!g_gap);
        QCOMPARE(Tree(dst_), before);
    }

    // A synchronization killed in the middle leaves a journal of what it did up to there:
    // its undo puts back the contacts done before, and the one being saved from the copy
    // kept beside it.
    void killedSynchronizationIsUndone() {
#ifdef __SANITIZE_THREAD__
        QSKIP("the thread sanitizer cannot start threads in a child of a threaded process");
#endif
        writePair();
        const QMap<QString, QByteArray> before = Tree(dst_);
        wf_->OptionsSource = [] {
            TWorkflowOptions o = WorkflowOptions(Setup());
            o.Jobs = 1; // the contacts in the order of the list, in this thread
            return o;
        };
        ui_->FileVersions.assign(4, 2);
        const pid_t child = ::fork();
        if (child == 0) {
            HistorySaveHooks().fail = KillBeforeBackup;
            wf_->Analyse();
            wf_->SelectAll();
            wf_->Sync();
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 9);
        QVERIFY(WithoutLeftovers(Tree(dst_)) != before);
        TJournalRun run;
        QVERIFY(TWorkflow::RunToUndo(dst_, QString(), run));
        QVERIFY(!run.Finished.isValid());
        QVERIFY(wf_->UndoSync(dst_));
        QCOMPARE(wf_->LastUndoLeft, 0);
        // The archive folder made for the run stays while the killed save's leftovers
        // are in it; the next synchronization clears them.
        auto now = WithoutLeftovers(Tree(dst_));
        for (const QString& n :
             QDir(D("Archive")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            QVERIFY2(n.startsWith(QLatin1String(".vimosync-")), qPrintable(n));
        }
        now.remove(QStringLiteral("Archive"));
        QCOMPARE(now, before);
    }

    // A journal that cannot be written is one question before anything is written: No
    // leaves the destination as it was; Yes synchronizes without a journal. Where the
    // question may not be asked (the tool's --yes), nothing is written either.
    void unwritableJournalIsAskedOnce() {
        writePair();
        // A file where the journal folder would be: no journal can be made in it.
        QVERIFY(QDir().mkpath(tmp_->filePath(QStringLiteral("data/vimosync"))));
        QFile blocker(JournalFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly) && blocker.write("x") == 1);
        blocker.close();
        ui_->FileVersions.assign(4, 2);
        wf_->Analyse();
        wf_->SelectAll();
        const QMap<QString, QByteArray> before = Tree(dst_);

        ui_->Confirms = {true, false};
        QVERIFY(!wf_->Sync());
        QCOMPARE(Tree(dst_), before);
        QCOMPARE(ui_->Questions.size(), 2);
        QVERIFY2(ui_->Questions[1].contains(QLatin1String(LangText::SyncWithoutJournal)) &&
                     ui_->Questions[1].contains(JournalFolder()),
                 qPrintable(ui_->Questions[1]));

        wf_->AskWithoutJournal = false;
        ui_->Questions.clear();
        ui_->Confirms = {true};
        QVERIFY(!wf_->Sync());
        QCOMPARE(Tree(dst_), before);
        QCOMPARE(ui_->Questions.size(), 1);
        QVERIFY(ui_->Warnings.last().contains(QLatin1String("--no-journal")));

        wf_->AskWithoutJournal = true;
        ui_->Questions.clear();
        ui_->Confirms = {true, true};
        QVERIFY(wf_->Sync());
        QCOMPARE(ui_->Questions.size(), 2);
        QVERIFY(Tree(dst_) != before);
        QVERIFY(QFileInfo(JournalFolder()).isFile());
        QVERIFY(!wf_->State.UndoAvailable);
        QVERIFY(logText().contains(QLatin1String(LangText::LogNoJournal)));
    }

    // A journal that fails in the middle of a run ends the run with its message: the
    // contact saved before stays undoable, no other is written.
    void journalFailingMidRunEndsTheRun() {
        writePair();
        const QMap<QString, QByteArray> before = Tree(dst_);
        wf_->OptionsSource = [] {
            TWorkflowOptions o = WorkflowOptions(Setup());
            o.Jobs = 1; // contacts one after another, in the order of the list
            return o;
        };
        ui_->FileVersions.assign(4, 2);
        wf_->Analyse();
        wf_->SelectAll();
        g_journalWrites = 0;
        JournalWriteHooks().fail = JournalFullAfterOneSave;
        bool failed = false;
        try {
            wf_->Sync();
        } catch (const JournalUnwritable& e) {
            failed = e.message().contains(QLatin1String("Cannot write file"));
        }
        JournalWriteHooks().fail = nullptr;
        QVERIFY(failed);
        QVERIFY(Tree(dst_) != before);
        TJournalRun run;
        QVERIFY(TWorkflow::RunToUndo(dst_, QString(), run));
        QSet<QString> contacts;
        for (const TJournalFile& f : run.Files) {
            contacts.insert(f.Contact);
        }
        QCOMPARE(contacts.size(), 1);
        QVERIFY(wf_->UndoSync(dst_));
        QCOMPARE(wf_->LastUndoLeft, 0);
        QCOMPARE(WithoutLeftovers(Tree(dst_)), before);
    }

    // Journals older than the days kept go, except the newest run of each destination;
    // journals that are no journal are left alone. A synchronization prunes by its setting.
    void journalsArePruned() {
        const QString folder = tmp_->filePath(QStringLiteral("journals"));
        const QDateTime now = QDateTime::currentDateTime();
        const auto run = [&](const QString& destination, int daysAgo) {
            TSyncJournal::Header h;
            h.Started = now.addDays(-daysAgo);
            h.Source = src_;
            h.Destination = destination;
            TSyncJournal j(folder, h);
            std::vector<TJournalFile> files(1);
            files[0].Path = destination + QStringLiteral("/x.zmt");
            j.Planned(files);
            j.End({});
            return QFileInfo(j.Path()).fileName();
        };
        const QString a40 = run(QStringLiteral("/a"), 40);
        const QString a35 = run(QStringLiteral("/a/"), 35);
        const QString a10 = run(QStringLiteral("/a"), 10);
        const QString a1 = run(QStringLiteral("/a"), 1);
        const QString b50 = run(QStringLiteral("/b"), 50);
        const QString c31 = run(QStringLiteral("/c"), 31);
        const QString c20 = run(QStringLiteral("/c"), 20);
        QFile other(folder + QStringLiteral("/notes.jsonl"));
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write("not a journal\n") > 0);
        other.close();
        const auto left = [&] {
            QStringList names = QDir(folder).entryList(QDir::Files);
            names.removeAll(QStringLiteral("notes.jsonl"));
            names.sort();
            return names;
        };
        QCOMPARE(PruneJournals(folder, 30, now), 3);
        QStringList kept{a10, a1, b50, c20};
        kept.sort();
        QCOMPARE(left(), kept);
        QCOMPARE(PruneJournals(folder, 0, now), 1); // a10: not the newest of /a
        kept.removeAll(a10);
        QCOMPARE(left(), kept);
        QVERIFY(other.exists());
        (void)a40, (void)a35, (void)c31;

        // Through the synchronization: with no days kept, only its own run stays.
        Setup().JournalDays = 0;
        writePair();
        sync();
        WriteHistory(S("Varyon_4.zmt"), 2, "4", "four", Messages(0, 6, "d"));
        sync();
        QCOMPARE(TWorkflow::SyncRuns(dst_).size(), std::size_t(1));
        QVERIFY(logText().contains(QLatin1String("Journals of 1 earlier synchronizations")));
        QVERIFY(wf_->UndoSync(dst_));
        QCOMPARE(test::LoadFile(D("Varyon_4.zmt")).Count(), 3);
    }

    // The old content's digest in the journal is the one of the bytes the load read:
    // content changed in place under the same identity (size, time, inode) is not read
    // again. Once the file is another one, its digest is taken anew.
    void journalDigestIsTheRead() {
        const QString path = D("Varyon_9.zmt");
        WriteHistory(path, 2, "9", "nine", Messages(0, 10, "n"));
        const QByteArray original = test::FileBytes(path);
        const auto save = [&](bool sameIdentity) {
            TZMTMessList read;
            read.FileName = path;
            read.KeepDigests = true;
            LoadHistory(read, LoadPlain, false, TReadOptions{});
            QCOMPARE(read.FilesRead.size(), std::size_t(1));
            QCOMPARE(read.FilesRead[0].sha256,
                     Sha256Hex(original.constData(), std::size_t(original.size())));
            // The last byte of the last text changes; its time stays what it was.
            struct stat st;
            QCOMPARE(::stat(path.toLocal8Bit().constData(), &st), 0);
            const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY);
            QVERIFY(fd >= 0);
            QCOMPARE(::pwrite(fd, "y", 1, original.size() - 1), ssize_t(1));
            ::close(fd);
            const struct timespec times[2] = {st.st_atim, st.st_mtim};
            if (sameIdentity) {
                QCOMPARE(::utimensat(AT_FDCWD, path.toLocal8Bit().constData(), times, 0), 0);
            }
            const QByteArray now = test::FileBytes(path);

            TZMTMessList result = read;
            result.Items.pop_back();
            TSyncJournal::Header h;
            h.Started = QDateTime::currentDateTime();
            h.Destination = dst_;
            TSyncJournal journal(tmp_->filePath(QStringLiteral("digests")), h);
            TSaveOptions options;
            options.Journal = &journal;
            bool backedUp = false;
            SaveHistory(result, backedUp, false, TReadOptions{}, options);
            TJournalRun run;
            QString error;
            QVERIFY(ReadJournal(journal.Path(), run, error));
            QCOMPARE(run.Files.size(), std::size_t(1));
            const QByteArray& expected = sameIdentity ? original : now;
            QCOMPARE(run.Files[0].OldSha,
                     Sha256Hex(expected.constData(), std::size_t(expected.size())));
            QCOMPARE(run.Files[0].OldSize, qint64(expected.size()));
        };
        save(true);
        WriteHistory(path, 2, "9", "nine", Messages(0, 10, "n"));
        save(false);
    }
};

QTEST_GUILESS_MAIN(TestUndo)
#include "tst_undo.moc"
