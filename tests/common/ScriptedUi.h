#pragma once

// A user interface for tests: records every call and answers questions from queues,
// so that a test scripts the user's clicks and checks what was shown.

#include "workflow/UserInterface.h"

#include <QStringList>

#include <deque>
#include <optional>

namespace vimosync::test {

class ScriptedUi : public IUserInterface {
public:
    // Answers, taken front first. An empty queue answers with the default below.
    std::deque<bool> Confirms;
    std::deque<std::optional<int>> FileVersions;
    std::deque<std::optional<QString>> Nicks;
    bool DefaultConfirm = false;

    // What was shown, in order: "information: ...", "warning: ...", "confirm: ...",
    // "askFileVersion: N", "askNick: caption|prompt|current", "beep".
    QStringList Calls;
    QStringList Infos;
    QStringList Warnings;
    QStringList Questions;
    int Beeps = 0;
    int FileVersionQuestions = 0;
    int NickQuestions = 0;
    int BusyDepth = 0; // the cursor is busy while above 0
    int MaxBusyDepth = 0;
    QString Progress;
    int ControlUpdates = 0;
    int ListRebuilds = 0;
    int ViewClears = 0;
    QStringList PathsUsed; // "src|dst" of every analysis started

    void information(const QString& text) override;
    void warning(const QString& text) override;
    bool confirm(const QString& text) override;
    std::optional<int> askFileVersion(int current, bool forSource) override;
    std::optional<QString> askNick(const QString& caption, const QString& prompt,
                                   const QString& current) override;
    void beep() override;
    void setBusyCursor(bool busy) override;
    void showProgress(const QString& text) override { Progress = text; }
    void updateControls() override { ++ControlUpdates; }
    void rebuildContactList() override { ++ListRebuilds; }
    void clearViews() override { ++ViewClears; }
    void pathsUsed(const QString& src, const QString& dst) override {
        PathsUsed << src + QLatin1Char('|') + dst;
    }
};

} // namespace vimosync::test
