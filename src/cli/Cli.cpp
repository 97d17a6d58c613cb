#include "cli/Cli.h"

#include "Version.h"
#include "config/Setup.h"
#include "support/AppFiles.h"
#include "support/Errors.h"
#include "support/LangText.h"

#include <QFileInfo>

namespace vimosync::cli {

int RunCli(const QStringList& argsIn, CliIo& io) {
    QStringList args = argsIn;
    QString settingsFile;
    int jobs = 0;
    while (!args.isEmpty() && args.first().startsWith(QLatin1Char('-'))) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            io.out << Tr(LangText::CliUsage);
            return kExitOk;
        }
        if (a == QLatin1String("--version")) {
            io.out << "vimosync-cli " << VIMOSYNC_VERSION_STRING << "\n";
            return kExitOk;
        }
        if (a == QLatin1String("--settings")) {
            if (args.isEmpty()) {
                io.err << "vimosync-cli: " << Tr(LangText::CliSettingsNeedsFile) << "\n";
                return kExitUsage;
            }
            settingsFile = args.takeFirst();
            continue;
        }
        if (a == QLatin1String("--jobs")) {
            bool ok = false;
            jobs = args.isEmpty() ? 0 : args.takeFirst().toInt(&ok);
            if (!ok || jobs < 1) {
                io.err << "vimosync-cli: " << Tr(LangText::CliJobsNeedsNumber) << "\n";
                return kExitUsage;
            }
            continue;
        }
        io.err << "vimosync-cli: " << Format(LangText::CliUnknownOption, a) << "\n"
               << Tr(LangText::CliUsage);
        return kExitUsage;
    }
    if (args.isEmpty()) {
        io.err << Tr(LangText::CliUsage);
        return kExitUsage;
    }
    const QString command = args.takeFirst();
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        io.out << Tr(LangText::CliUsage);
        return kExitOk;
    }
    try {
        // The settings file beside the desktop program, read only: the tool never writes it.
        if (settingsFile.isEmpty()) {
            settingsFile = AppFilePath(QStringLiteral("vimosync"), QStringLiteral("ini"), false);
        } else if (!QFileInfo::exists(settingsFile)) {
            io.err << "vimosync-cli: " << Format(LangText::CliSettingsNotFound, settingsFile)
                   << "\n";
            return kExitError;
        }
        LoadSettings(settingsFile);
        CliOptions options;
        options.Workflow = WorkflowOptions(Setup());
        options.Workflow.Jobs = jobs;
        options.ShowMessNumbers = Setup().ShowMessNumbers;
        if (command == QLatin1String("dump")) {
            return CmdDump(args, io, options);
        }
        if (command == QLatin1String("merge")) {
            return CmdMerge(args, io, options);
        }
        if (command == QLatin1String("analyse") || command == QLatin1String("analyze")) {
            return CmdAnalyse(args, io, options);
        }
        if (command == QLatin1String("sync")) {
            return CmdSync(args, io, options);
        }
        if (command == QLatin1String("undo")) {
            return CmdUndo(args, io, options);
        }
    } catch (const Exception& e) {
        io.out.flush();
        io.err << "vimosync-cli: " << e.message() << "\n";
        return kExitError;
    } catch (const std::exception& e) {
        io.out.flush();
        io.err << "vimosync-cli: " << e.what() << "\n";
        return kExitError;
    }
    io.err << "vimosync-cli: " << Format(LangText::CliUnknownCommand, command) << "\n"
           << Tr(LangText::CliUsage);
    return kExitUsage;
}

} // namespace vimosync::cli
