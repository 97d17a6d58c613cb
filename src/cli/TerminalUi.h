#pragma once

// The workflow's user interface for the command-line tool: answers from the command's
// flags, questions on the terminal when there is one, and no question at all when
// there is none.

#include "cli/Cli.h"
#include "workflow/UserInterface.h"

#include <optional>

namespace vimosync::cli {

class TerminalUi : public IUserInterface {
public:
    explicit TerminalUi(CliIo& io) : io_(io) {}

    bool AssumeYes = false;              // --yes: every confirmation is answered Yes
    std::optional<int> FileVersion;      // --default-version: the file-version answer
    bool NeverAskFileVersion = false;    // the analysis alone keeps the counted version
    bool InfoToErr = false;              // standard output carries a JSON document
    const char* ConfirmPrompt = nullptr; // the question's last line; none: the sync's

    void information(const QString& text) override;
    void warning(const QString& text) override;
    bool confirm(const QString& text) override;
    std::optional<int> askFileVersion(int current, bool forSource) override;
    std::optional<QString> askNick(const QString& caption, const QString& prompt,
                                   const QString& current) override;
    void beep() override {}
    void setBusyCursor(bool) override {}
    void showProgress(const QString& text) override;

private:
    QString readLine();
    void clearProgress();
    CliIo& io_;
    bool progressShown_ = false;
};

// A dialog text for the terminal: CR LF line breaks become the terminal's.
QString TerminalText(const QString& text);

} // namespace vimosync::cli
