#include "cli/Cli.h"

namespace vimosync::cli {

int CmdAnalyse(const QStringList&, CliIo& io) {
    io.err << "vimosync-cli: this command is not available yet\n";
    return kExitError;
}

} // namespace vimosync::cli
