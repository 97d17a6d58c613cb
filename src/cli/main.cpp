#include "cli/Cli.h"
#include "support/Translation.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vimosync-cli"));
    // The tool speaks the language of its environment (LANGUAGE, LC_ALL, LC_MESSAGES,
    // LANG); its JSON output is the same in every language.
    vimosync::InstallTranslations(QString());
    QTextStream out(stdout);
    QTextStream err(stderr);
    QTextStream in(stdin);
    vimosync::cli::CliIo io{out, err, in, isatty(STDIN_FILENO) != 0, isatty(STDERR_FILENO) != 0};
    const int rc = vimosync::cli::RunCli(QCoreApplication::arguments().mid(1), io);
    out.flush();
    err.flush();
    return rc;
}
