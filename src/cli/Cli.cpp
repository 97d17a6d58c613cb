#include "cli/Cli.h"

#include "Version.h"
#include "config/Setup.h"
#include "support/AppFiles.h"
#include "support/Errors.h"

#include <QFileInfo>

namespace vimosync::cli {

namespace {

const char* const kUsage =
    "Usage: vimosync-cli [--settings FILE] [--jobs N] COMMAND [OPTIONS] ARGS\n"
    "\n"
    "Compares and synchronizes Vimo message histories.\n"
    "\n"
    "Commands:\n"
    "  dump [--json] [--archives] FILE\n"
    "      One history file as the loader reads it.\n"
    "  merge [--json] [--mode N] [--ignore-spaces] SOURCE_FILE DESTINATION_FILE\n"
    "      The merged history of two files, differing messages marked \"+ \".\n"
    "  analyse [--json] [--both] SOURCE_DIR DESTINATION_DIR\n"
    "      The analysis of two history directories (writes nothing). --both (or\n"
    "      SyncDirection=1 in the settings) lists every contact of either side with\n"
    "      the messages each side lacks: \"+N → / +M ←\", N of the destination, M of\n"
    "      the source.\n"
    "  sync [--yes] [--dry-run] [--no-journal] [--both] [--default-version N]\n"
    "       [--nick NICK] SOURCE_DIR DESTINATION_DIR\n"
    "      Analysis, then synchronization of the checked contacts. Without --yes the\n"
    "      confirmation is asked on the terminal; with no terminal sync refuses.\n"
    "      --dry-run lists what would be written and writes nothing.\n"
    "      --no-journal writes no journal of the run, so that it cannot be undone (when\n"
    "      the journal cannot be written, sync refuses without it).\n"
    "      --default-version N answers the question for contacts without a destination\n"
    "      file (0 text, 1-3 binary); without it the terminal is asked, or, with no\n"
    "      terminal, the most frequent destination version is kept.\n"
    "      --nick NICK sets the own nick; without it the nick is detected from text\n"
    "      histories, and asked on the terminal when a non-Varyon destination needs it.\n"
    "      --both writes each side that lacks messages, so that both directories end\n"
    "      with the whole history; new source files take the source's most frequent\n"
    "      version (or --default-version N). One journal covers both directories.\n"
    "  undo [--list] [--yes] DESTINATION_DIR [RUN]\n"
    "      Undoes the last synchronization into the directory (or the run named RUN):\n"
    "      the files it created go to the trash, the files it replaced or removed get\n"
    "      their old content back from the trash. Files changed since are left alone\n"
    "      and named. --list lists the runs with a journal, their age and size.\n"
    "      Without --yes the confirmation is asked on the terminal; with no terminal\n"
    "      undo refuses. Journals older than JournalDays (30) days are removed after\n"
    "      each sync, except the newest run of each destination.\n"
    "\n"
    "Options:\n"
    "  --settings FILE  settings file to read (default: the one beside vimosync)\n"
    "  --jobs N         contacts analysed and synchronized at once (default: one per\n"
    "                   processor core)\n"
    "  -h, --help       this text\n"
    "  --version        the version\n";

} // namespace

int RunCli(const QStringList& argsIn, CliIo& io) {
    QStringList args = argsIn;
    QString settingsFile;
    int jobs = 0;
    while (!args.isEmpty() && args.first().startsWith(QLatin1Char('-'))) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            io.out << kUsage;
            return kExitOk;
        }
        if (a == QLatin1String("--version")) {
            io.out << "vimosync-cli " << VIMOSYNC_VERSION_STRING << "\n";
            return kExitOk;
        }
        if (a == QLatin1String("--settings")) {
            if (args.isEmpty()) {
                io.err << "vimosync-cli: --settings needs a file name\n";
                return kExitUsage;
            }
            settingsFile = args.takeFirst();
            continue;
        }
        if (a == QLatin1String("--jobs")) {
            bool ok = false;
            jobs = args.isEmpty() ? 0 : args.takeFirst().toInt(&ok);
            if (!ok || jobs < 1) {
                io.err << "vimosync-cli: --jobs needs a number of 1 or more\n";
                return kExitUsage;
            }
            continue;
        }
        io.err << "vimosync-cli: unknown option " << a << "\n" << kUsage;
        return kExitUsage;
    }
    if (args.isEmpty()) {
        io.err << kUsage;
        return kExitUsage;
    }
    const QString command = args.takeFirst();
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        io.out << kUsage;
        return kExitOk;
    }
    try {
        // The settings file beside the desktop program, read only: the tool never writes it.
        if (settingsFile.isEmpty()) {
            settingsFile = AppFilePath(QStringLiteral("vimosync"), QStringLiteral("ini"), false);
        } else if (!QFileInfo::exists(settingsFile)) {
            io.err << "vimosync-cli: settings file not found: " << settingsFile << "\n";
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
    io.err << "vimosync-cli: unknown command " << command << "\n" << kUsage;
    return kExitUsage;
}

} // namespace vimosync::cli
