#include "cli/Cli.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vimosync-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QTextStream in(stdin);
    vimosync::cli::CliIo io{out, err, in, isatty(STDIN_FILENO) != 0, isatty(STDERR_FILENO) != 0};
    const int rc = vimosync::cli::RunCli(QCoreApplication::arguments().mid(1), io);
    out.flush();
    err.flush();
    return rc;
}
