#include "cli/Cli.h"

namespace vimosync::cli {

int CmdSync(const QStringList&, CliIo& io) {
    io.err << "vimosync-cli: this command is not available yet\n";
    return kExitError;
}

} // namespace vimosync::cli
