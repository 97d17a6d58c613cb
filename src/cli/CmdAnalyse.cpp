#include "cli/Cli.h"
#include "cli/TerminalUi.h"
#include "cli/WorkflowCli.h"
#include "support/LangText.h"
#include "workflow/Folders.h"

#include <QFileInfo>
#include <QJsonDocument>

namespace vimosync::cli {

int CmdAnalyse(const QStringList& args, CliIo& io, const CliOptions& options) {
    bool json = false;
    bool both = false;
    QStringList dirs;
    for (const QString& a : args) {
        if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--both")) {
            both = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            io.err << "vimosync-cli: analyse: " << Format(LangText::CliUnknownOption, a) << "\n";
            return kExitUsage;
        } else {
            dirs.append(a);
        }
    }
    if (dirs.size() != 2) {
        io.err << Tr(LangText::CliAnalyseUsage) << "\n";
        return kExitUsage;
    }

    TerminalUi ui(io);
    ui.NeverAskFileVersion = true; // the analysis alone keeps the counted version
    ui.InfoToErr = json;
    TWorkflow wf(ui);
    wf.Options = options.Workflow;
    wf.Options.BothWays = wf.Options.BothWays || both;
    wf.MonitorEnabled = false;
    wf.DryRun = true; // analysing writes nothing, not even the archive folder
    wf.SrcPathEditChange(DirectoryArgument(dirs[0]));
    wf.DstPathEditChange(DirectoryArgument(dirs[1]));
    wf.Analyse();
    if (!wf.State.Analysed) {
        if (wf.HeadList.IsEmpty() && QFileInfo(wf.State.SrcPath).isDir() &&
            QFileInfo(wf.State.DstPath).isDir() &&
            !SameDirectory(wf.State.SrcPath, wf.State.DstPath)) {
            io.err << "vimosync-cli: " << Format(LangText::CliNoHistories, wf.State.SrcPath)
                   << "\n";
        }
        return kExitError;
    }
    if (json) {
        io.out << QJsonDocument(AnalysisJson(wf)).toJson(QJsonDocument::Indented);
    } else {
        PrintAnalysis(wf, io.out);
    }
    return kExitOk;
}

} // namespace vimosync::cli
