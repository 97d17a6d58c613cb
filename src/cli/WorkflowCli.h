#pragma once

// What the analyse and sync commands share: parsing the two directories and
// describing the analysis.

#include "cli/Cli.h"
#include "workflow/Workflow.h"

#include <QJsonObject>

namespace vimosync::cli {

// The directory argument as the window would hold it: absolute, clean, without a
// trailing separator.
QString DirectoryArgument(const QString& arg);

// The analysis as one JSON object (flags, default version, own nick, contacts in
// display order).
QJsonObject AnalysisJson(const TWorkflow& wf);
// The analysis as text for the terminal.
void PrintAnalysis(const TWorkflow& wf, QTextStream& out);

} // namespace vimosync::cli
