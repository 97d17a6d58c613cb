#pragma once

// The command-line tool: one history file, a merge, an analysis or a synchronization
// on the core, without the window. Exit status 0 success, 1 error, 2 usage error.

#include "workflow/Workflow.h"

#include <QStringList>
#include <QTextStream>

namespace vimosync::cli {

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

struct CliIo {
    QTextStream& out;
    QTextStream& err;
    QTextStream& in;
    bool interactive; // standard input is a terminal
    // Standard error is a terminal: long commands show their progress there, on one line.
    bool progressTerminal = false;
};

// Runs the tool with the arguments after the program name.
int RunCli(const QStringList& args, CliIo& io);

// What the commands work with: the option values of the settings file, the display
// settings of the merged lines, and --jobs.
struct CliOptions {
    TWorkflowOptions Workflow;
    bool ShowMessNumbers = true;
};

// The commands; args are those after the command's name.
int CmdDump(const QStringList& args, CliIo& io, const CliOptions& options);
int CmdMerge(const QStringList& args, CliIo& io, const CliOptions& options);
int CmdAnalyse(const QStringList& args, CliIo& io, const CliOptions& options);
int CmdSync(const QStringList& args, CliIo& io, const CliOptions& options);
int CmdUndo(const QStringList& args, CliIo& io, const CliOptions& options);

} // namespace vimosync::cli
