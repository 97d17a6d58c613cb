// The undo of a whole synchronization, from its journal: what will be put back is shown
// and asked, then done, with its lines in the debug log.

#include "workflow/Workflow.h"

#include "history/Undo.h"
#include "support/Errors.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "support/Translation.h"
#include "workflow/Commands.h"
#include "workflow/Folders.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>

namespace vimosync {

using detail::kCrLf;
using detail::TFinally;
using detail::TRunningGuard;

namespace {

constexpr int kShownLines = 20;

QString when(const TJournalRun& run) {
    return ShownDateTime(run.Started);
}

// Up to kShownLines of the lines, each on its own line, and how many more there are.
TText listed(const QStringList& lines) {
    TText text;
    for (int i = 0; i < lines.size() && i < kShownLines; ++i) {
        text += kCrLf + Format(LangText::UndoLine, lines[i]);
    }
    if (lines.size() > kShownLines) {
        text += kCrLf + Format(LangText::UndoMore, int(lines.size()) - kShownLines);
    }
    return text;
}

} // namespace

QJsonObject TWorkflow::JournalSettings() const {
    const TWorkflowOptions& o = Options;
    return {{QStringLiteral("MessMergeMode"), int(o.Merge.MessMergeMode)},
            {QStringLiteral("MergeIgnoreSpaces"), o.Merge.MergeIgnoreSpaces},
            {QStringLiteral("BackupToRecycleBin"), o.Save.BackupToRecycleBin},
            {QStringLiteral("NewArchiveSize"), o.Save.NewArchiveSize},
            {QStringLiteral("UseVaryonArchives"), o.UseVaryonArchives},
            {QStringLiteral("ArchiveFolderName"), o.Read.ArchiveFolderName},
            {QStringLiteral("PdaOffset"), o.Read.PdaOffset},
            {QStringLiteral("ZmtDateOffset"), o.Read.ZmtDateOffset},
            {QStringLiteral("CodePage"), o.Read.CodePage},
            {QStringLiteral("CorrectCRLF"), o.Read.CorrectCRLF},
            {QStringLiteral("OwnNick"), QString::fromUtf8(OwnNick.c_str())},
            {QStringLiteral("DefaultFileVersion"), int(DefaultFileVersion)},
            {QStringLiteral("SrcVaryon"), State.SrcVaryon},
            {QStringLiteral("DstVaryon"), State.DstVaryon}};
}

std::vector<TJournalRun> TWorkflow::SyncRuns(const QString& destination) {
    std::vector<TJournalRun> runs;
    if (destination.isEmpty()) {
        return runs;
    }
    for (const TJournalRun& head : ReadJournals(JournalFolder(), true)) {
        TJournalRun run;
        QString error;
        if (SameDirectory(head.Destination, destination) &&
            ReadJournal(head.FilePath, run, error)) {
            runs.push_back(std::move(run));
        }
    }
    return runs;
}

bool TWorkflow::RunToUndo(const QString& destination, const QString& runId, TJournalRun& run) {
    if (destination.isEmpty()) {
        return false;
    }
    // The headers alone tell the runs on the destination; only the one taken is read.
    const std::vector<TJournalRun> heads = ReadJournals(JournalFolder(), true);
    for (auto it = heads.rbegin(); it != heads.rend(); ++it) {
        QString error;
        if ((runId.isEmpty() || it->Id == runId) && SameDirectory(it->Destination, destination) &&
            ReadJournal(it->FilePath, run, error)) {
            return true;
        }
    }
    return false;
}

void TWorkflow::RefreshUndoAvailable() {
    TJournalRun run;
    State.UndoAvailable = RunToUndo(State.DstPath, QString(), run) && !run.Undone;
}

bool TWorkflow::UndoSync(const QString& destination, const QString& runId) {
    LastUndoLeft = 0;
    if (IsBusy()) {
        return false;
    }
    const QString dst = QDir::toNativeSeparators(destination);
    TJournalRun run;
    if (!RunToUndo(destination, runId, run)) {
        ui_.information(runId.isEmpty() ? Format(LangText::UndoNoRun, dst)
                                        : Format(LangText::UndoNoSuchRun, runId, dst));
        return false;
    }
    if (run.Undone) {
        ui_.information(Format(LangText::UndoDoneAlready, when(run)));
        return true; // nothing is left to do: a second undo changes nothing
    }
    const TUndoPlan plan = PlanUndo(run);
    QString question =
        Format(LangText::UndoQuestion, when(run), QDir::toNativeSeparators(run.Source),
               QDir::toNativeSeparators(run.Destination));
    question += kCrLf + Format(LangText::UndoCounts, plan.Restores, plan.Removals);
    if (!plan.Contacts.isEmpty()) {
        QStringList shown = plan.Contacts.mid(0, kShownLines);
        QString contacts = shown.join(QStringLiteral(", "));
        if (plan.Contacts.size() > kShownLines) {
            contacts += QStringLiteral(", ...");
        }
        question += kCrLf + Format(LangText::UndoContacts, contacts);
    }
    if (!run.Backup) {
        question += kCrLf + Tr(LangText::UndoNoBackupRun);
    }
    if (!plan.Problems.isEmpty()) {
        question +=
            kCrLf + Format(LangText::UndoLeftHeader, plan.LeftFiles) + listed(plan.Problems);
    }
    if (plan.Nothing() && plan.Problems.isEmpty()) {
        // Nothing stands as the run left it: the undo only takes its note.
        ui_.information(Format(LangText::UndoNothing, when(run)));
    } else if (!ui_.confirm(question)) {
        return false;
    }

    TUndoReport report;
    {
        TBusyCursor busy(ui_);
        TRunningGuard running(commandRunning_);
        StopMonitor();
        TFinally restart([this] {
            StartMonitor();
            RefreshUndoAvailable();
        });
        WriteLog(QString::fromLatin1(LangText::UndoStarted) +
                 QString::fromLatin1(LangText::LogFrameEnd));
        WriteLog(Format(LangText::UndoOfRun, when(run), QDir::toNativeSeparators(run.Source),
                        QDir::toNativeSeparators(run.Destination),
                        QDir::toNativeSeparators(run.FilePath)));
        report = RunUndo(run, plan);
        // An archive folder made by an analysis since goes too while it is empty: the
        // next analysis makes it again when it is needed.
        if (!ArchiveFolderMade.isEmpty() &&
            SameDirectory(QFileInfo(ArchiveFolderMade).path(), destination) &&
            QDir().rmdir(ArchiveFolderMade)) {
            WriteLog(Format(LangText::LogUndoRemoved, QDir::toNativeSeparators(ArchiveFolderMade)));
            ArchiveFolderMade.clear();
        }
    }
    LastUndoLeft = static_cast<int>(report.Problems.size());
    if (report.Restored + report.Removed > 0 && !HeadList.IsEmpty()) {
        // The analysis no longer tells what the destination holds.
        ResetAll();
    }
    TText text = Format(LangText::UndoFinished, report.Restored, report.Removed);
    if (!report.Problems.isEmpty()) {
        text += kCrLf + Format(LangText::UndoLeftReport) + listed(report.Problems);
    }
    WriteLog(text);
    WriteLog(QString::fromLatin1(LangText::LogSeparator));
    if (!(plan.Nothing() && plan.Problems.isEmpty())) {
        ui_.information(text);
    }
    return true;
}

} // namespace vimosync
