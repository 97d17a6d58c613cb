#include "cli/TerminalUi.h"

#include "history/Model.h"
#include "support/LangText.h"

namespace vimosync::cli {

QString TerminalText(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return t;
}

void TerminalUi::information(const QString& text) {
    clearProgress();
    (InfoToErr ? io_.err : io_.out) << TerminalText(text) << "\n";
    (InfoToErr ? io_.err : io_.out).flush();
}

void TerminalUi::warning(const QString& text) {
    clearProgress();
    io_.err << "vimosync-cli: " << TerminalText(text) << "\n";
    io_.err.flush();
}

QString TerminalUi::readLine() {
    clearProgress();
    io_.err.flush();
    io_.out.flush();
    return io_.in.readLine().trimmed();
}

void TerminalUi::showProgress(const QString& text) {
    if (!io_.progressTerminal) {
        return;
    }
    // One line, written over each time, and cleared when the work ends or a message
    // comes.
    io_.err << '\r' << text << "\x1b[K";
    io_.err.flush();
    progressShown_ = !text.isEmpty();
}

void TerminalUi::clearProgress() {
    if (progressShown_) {
        io_.err << "\r\x1b[K";
        io_.err.flush();
        progressShown_ = false;
    }
}

bool TerminalUi::confirm(const QString& text) {
    if (AssumeYes) {
        return true;
    }
    if (!io_.interactive) {
        return false; // nobody to ask: the command refuses
    }
    io_.err << TerminalText(text) << "\n"
            << Tr(ConfirmPrompt != nullptr ? ConfirmPrompt : LangText::CliConfirmPrompt);
    const QString answer = readLine();
    // "y" and "yes" in every language, and the word for yes (or its first letter) in the
    // user's own ("да", "д").
    const QString yes = Tr(LangText::CliDumpYes);
    return answer.compare(QLatin1String("y"), Qt::CaseInsensitive) == 0 ||
           answer.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0 ||
           (!yes.isEmpty() && (answer.compare(yes, Qt::CaseInsensitive) == 0 ||
                               answer.compare(yes.left(1), Qt::CaseInsensitive) == 0));
}

std::optional<int> TerminalUi::askFileVersion(int current, bool forSource) {
    if (FileVersion) {
        return FileVersion;
    }
    if (NeverAskFileVersion) {
        return std::nullopt;
    }
    if (!io_.interactive) {
        return current; // the version counted by the analysis
    }
    io_.err << Tr(forSource ? LangText::CliBackVersionQuestion : LangText::CliVersionQuestion)
            << "\n";
    for (int v = 0; v < kFormatVersionCount; ++v) {
        io_.err << "  " << v << "  " << FormatLabels[static_cast<std::size_t>(v)] << "\n";
    }
    io_.err << Format(LangText::CliVersionPrompt, current);
    const QString answer = readLine();
    if (answer.isEmpty()) {
        return current;
    }
    bool ok = false;
    const int v = answer.toInt(&ok);
    if (!ok || v < 0 || v >= kFormatVersionCount) {
        return std::nullopt;
    }
    return v;
}

std::optional<QString> TerminalUi::askNick(const QString& caption, const QString& prompt,
                                           const QString& current) {
    if (!io_.interactive) {
        return std::nullopt;
    }
    io_.err << caption << "\n" << prompt << " [" << current << "] ";
    const QString answer = readLine();
    return answer.isEmpty() ? current : answer;
}

} // namespace vimosync::cli
