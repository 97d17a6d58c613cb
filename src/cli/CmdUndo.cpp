#include "cli/Cli.h"
#include "cli/TerminalUi.h"
#include "cli/WorkflowCli.h"
#include "support/LangText.h"
#include "support/Translation.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace vimosync::cli {

namespace {

// How long ago a run started, in its largest whole unit.
QString Age(const QDateTime& started, const QDateTime& now) {
    const qint64 minutes = std::max<qint64>(started.secsTo(now), 0) / 60;
    if (minutes < 60) {
        return Format(LangText::CliAgeMinutes, int(minutes));
    }
    if (minutes < 48 * 60) {
        return Format(LangText::CliAgeHours, int(minutes / 60));
    }
    return Format(LangText::CliAgeDays, int(minutes / (24 * 60)));
}

// A journal's size: bytes below a KB, else whole KB rounded up.
QString Size(qint64 bytes) {
    if (bytes < 1024) {
        return Format(LangText::CliSizeBytes, int(bytes));
    }
    return Format(LangText::CliSizeKB, int((bytes + 1023) / 1024));
}

// One line per run: its name, when and how long ago, the journal's size, between which
// directories, how many files it changed and whether it can still be undone.
void ListRuns(const QString& destination, QTextStream& out) {
    const QDateTime now = QDateTime::currentDateTime();
    const std::vector<TJournalRun> runs = TWorkflow::SyncRuns(destination);
    if (runs.empty()) {
        out << Format(LangText::UndoNoRun, QDir::toNativeSeparators(destination)) << "\n";
        return;
    }
    for (const TJournalRun& run : runs) {
        const QString state = Tr(run.Undone               ? LangText::CliRunUndone
                                 : run.UndoStarted        ? LangText::CliRunUndoInterrupted
                                 : run.Finished.isValid() ? LangText::CliRunCanUndo
                                                          : LangText::CliRunInterrupted);
        out << Format(LangText::CliRunLine, run.Id, ShownDateTime(run.Started),
                      Age(run.Started, now), Size(QFileInfo(run.FilePath).size()),
                      QDir::toNativeSeparators(run.Source), int(run.Files.size()), state)
            << "\n";
    }
}

} // namespace

int CmdUndo(const QStringList& argsIn, CliIo& io, const CliOptions& options) {
    QStringList args = argsIn;
    bool yes = false;
    bool list = false;
    QStringList rest;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("--yes") || a == QLatin1String("-y")) {
            yes = true;
        } else if (a == QLatin1String("--list") || a == QLatin1String("-l")) {
            list = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            io.err << "vimosync-cli: undo: " << Format(LangText::CliUnknownOption, a) << "\n";
            return kExitUsage;
        } else {
            rest.append(a);
        }
    }
    if (rest.isEmpty() || rest.size() > 2 || (list && rest.size() > 1)) {
        io.err << Tr(LangText::CliUndoUsage) << "\n";
        return kExitUsage;
    }
    const QString destination = DirectoryArgument(rest[0]);
    if (list) {
        ListRuns(destination, io.out);
        return kExitOk;
    }
    const QString runId = rest.size() > 1 ? rest[1] : QString();
    if (!yes && !io.interactive) {
        io.err << "vimosync-cli: " << Tr(LangText::CliUndoNeedsYes) << "\n";
        return kExitError;
    }
    TerminalUi ui(io);
    ui.AssumeYes = yes;
    ui.ConfirmPrompt = LangText::CliUndoPrompt;
    TWorkflow wf(ui);
    wf.Options = options.Workflow;
    wf.MonitorEnabled = false;
    if (!wf.UndoSync(destination, runId)) {
        return kExitError;
    }
    return wf.LastUndoLeft > 0 ? kExitError : kExitOk;
}

} // namespace vimosync::cli
