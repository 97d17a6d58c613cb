#include "common/ScriptedUi.h"

#include <algorithm>

namespace vimosync::test {

void ScriptedUi::information(const QString& text) {
    Calls << QStringLiteral("information: ") + text;
    Infos << text;
}

void ScriptedUi::warning(const QString& text) {
    Calls << QStringLiteral("warning: ") + text;
    Warnings << text;
}

bool ScriptedUi::confirm(const QString& text) {
    Calls << QStringLiteral("confirm: ") + text;
    Questions << text;
    if (Confirms.empty()) {
        return DefaultConfirm;
    }
    const bool answer = Confirms.front();
    Confirms.pop_front();
    return answer;
}

std::optional<int> ScriptedUi::askFileVersion(int current, bool forSource) {
    Calls << (forSource ? QStringLiteral("askFileVersion source: %1")
                        : QStringLiteral("askFileVersion: %1"))
                 .arg(current);
    ++FileVersionQuestions;
    if (FileVersions.empty()) {
        return std::nullopt;
    }
    const std::optional<int> answer = FileVersions.front();
    FileVersions.pop_front();
    return answer;
}

std::optional<QString> ScriptedUi::askNick(const QString& caption, const QString& prompt,
                                           const QString& current) {
    Calls << QStringLiteral("askNick: %1|%2|%3").arg(caption, prompt, current);
    ++NickQuestions;
    if (Nicks.empty()) {
        return std::nullopt;
    }
    const std::optional<QString> answer = Nicks.front();
    Nicks.pop_front();
    return answer;
}

void ScriptedUi::beep() {
    Calls << QStringLiteral("beep");
    ++Beeps;
}

void ScriptedUi::setBusyCursor(bool busy) {
    BusyDepth += busy ? 1 : -1;
    MaxBusyDepth = std::max(MaxBusyDepth, BusyDepth);
}

} // namespace vimosync::test
