#include "cli/Cli.h"
#include "cli/TerminalUi.h"
#include "cli/WorkflowCli.h"
#include "support/LangText.h"

namespace vimosync::cli {

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

int CmdSync(const QStringList& argsIn, CliIo& io, const CliOptions& options) {
    QStringList args = argsIn;
    bool yes = false;
    bool dryRun = false;
    bool noJournal = false;
    bool both = false;
    std::optional<int> version;
    std::optional<QString> nick;
    QStringList dirs;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("--yes") || a == QLatin1String("-y")) {
            yes = true;
        } else if (a == QLatin1String("--dry-run") || a == QLatin1String("-n")) {
            dryRun = true;
        } else if (a == QLatin1String("--no-journal")) {
            noJournal = true;
        } else if (a == QLatin1String("--both")) {
            both = true;
        } else if (a == QLatin1String("--default-version")) {
            bool ok = false;
            const int v = args.isEmpty() ? -1 : args.takeFirst().toInt(&ok);
            if (!ok || v < 0 || v >= kFormatVersionCount) {
                io.err << "vimosync-cli: sync: " << Tr(LangText::CliDefaultVersionNeeds) << "\n";
                return kExitUsage;
            }
            version = v;
        } else if (a == QLatin1String("--nick")) {
            if (args.isEmpty()) {
                io.err << "vimosync-cli: sync: " << Tr(LangText::CliNickNeeds) << "\n";
                return kExitUsage;
            }
            nick = args.takeFirst();
        } else if (a.startsWith(QLatin1String("--"))) {
            io.err << "vimosync-cli: sync: " << Format(LangText::CliUnknownOption, a) << "\n";
            return kExitUsage;
        } else {
            dirs.append(a);
        }
    }
    if (dirs.size() != 2) {
        io.err << Tr(LangText::CliSyncUsage) << "\n";
        return kExitUsage;
    }
    // Nothing is written without a Yes: with no terminal to ask, only --yes gives it.
    if (!yes && !dryRun && !io.interactive) {
        io.err << "vimosync-cli: " << Tr(LangText::CliSyncNeedsYes) << "\n";
        return kExitError;
    }

    TerminalUi ui(io);
    ui.AssumeYes = yes || dryRun;
    ui.FileVersion = version;
    TWorkflow wf(ui);
    wf.Options = options.Workflow;
    wf.Options.BothWays = wf.Options.BothWays || both;
    wf.MonitorEnabled = false;
    wf.DryRun = dryRun;
    wf.WriteJournal = !noJournal;
    // --yes would answer the question about a journal that cannot be written as well:
    // going on without a way to undo the run takes --no-journal.
    wf.AskWithoutJournal = !yes;
    wf.SrcPathEditChange(DirectoryArgument(dirs[0]));
    wf.DstPathEditChange(DirectoryArgument(dirs[1]));
    if (nick) {
        wf.OwnNick = nick->toStdString();
        wf.State.NickEdited = true; // the analysis keeps it instead of detecting one
    }
    wf.OnSyncItem = [&](const TSyncItem& item) {
        const QString label = QString::fromLatin1(
            FormatLabels[static_cast<std::size_t>(std::clamp(item.Version, 0, 3))]);
        const QString what =
            Tr(item.Skipped    ? LangText::CliItemSkipped
               : !item.Written ? LangText::CliItemUnchanged
               : item.Created  ? (dryRun ? LangText::CliItemWouldCreate : LangText::CliItemCreated)
                              : (dryRun ? LangText::CliItemWouldUpdate : LangText::CliItemUpdated));
        io.out << Format(LangText::CliItemLine, what, item.FileName, label, item.Count,
                         item.DiffCount, Q(item.UIN))
               << "\n";
        if (item.Skipped) {
            io.err << "vimosync-cli: " << item.Reason << "\n";
        }
    };

    wf.Analyse();
    if (!wf.State.Analysed) {
        if (wf.HeadList.IsEmpty()) {
            io.err << "vimosync-cli: " << Format(LangText::CliNoHistories, wf.State.SrcPath)
                   << "\n";
        }
        return kExitError;
    }
    if (!wf.AnyChecked()) {
        io.out << Tr(LangText::CliNothingToSync) << "\n";
        return kExitOk;
    }
    if (dryRun) {
        io.out << Tr(LangText::CliDryRun) << "\n";
    }
    if (!wf.Sync()) {
        io.err << "vimosync-cli: " << Tr(LangText::CliSyncStopped) << "\n";
        return kExitError;
    }
    if (wf.LastSyncSkipped > 0) {
        // The others were written; the exit status still says that not all went through.
        io.err << "vimosync-cli: " << Format(LangText::CliSomeSkipped, wf.LastSyncSkipped) << "\n";
        return kExitError;
    }
    return kExitOk;
}

} // namespace vimosync::cli
