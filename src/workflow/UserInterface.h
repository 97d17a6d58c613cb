#pragma once

// The one way the workflow reaches the user. The workflow never shows anything
// itself: the main window implements this with dialogs, the command-line tool with
// flags and the terminal, the tests with a scripted answerer.

#include <QString>

#include <optional>

namespace vimosync {

class IUserInterface {
public:
    virtual ~IUserInterface() = default;

    // An information box with OK.
    virtual void information(const QString& text) = 0;
    // A warning box with OK.
    virtual void warning(const QString& text) = 0;
    // A confirmation box with Yes and No; true only for Yes.
    virtual bool confirm(const QString& text) = 0;
    // The file-version dialog opened on the current version: the chosen version
    // (0..3) on OK, nothing on Cancel. forSource: the version of the new files of the
    // source (a synchronization both ways), else of the destination.
    virtual std::optional<int> askFileVersion(int current, bool forSource) = 0;
    // The one-line input box: the entered text on OK, nothing on Cancel.
    virtual std::optional<QString> askNick(const QString& caption, const QString& prompt,
                                           const QString& current) = 0;
    // The short refusal or attention sound.
    virtual void beep() = 0;
    // The hourglass cursor on or off (use TBusyCursor, which restores it on every way out).
    virtual void setBusyCursor(bool busy) = 0;
    // The progress text of the status bar (panel 1); empty clears it.
    virtual void showProgress(const QString& text) = 0;
    // Lets the window handle pending events during a long command; others do nothing.
    virtual void processEvents() {}
    // How far a long command that can be cancelled is: done of total contacts; a total
    // of 0 says that it ended.
    virtual void showCount(int /*done*/, int /*total*/) {}

    // The state changed: the window applies UpdateControls again.
    virtual void updateControls() {}
    // The contact entries or their check marks changed: the window applies
    // RebuildContactList again.
    virtual void rebuildContactList() {}
    // Reset All: the window empties the comparison views and their hints.
    virtual void clearViews() {}
    // An analysis starts on these directories: the window puts them at the top of its
    // recent-directory lists.
    virtual void pathsUsed(const QString& /*src*/, const QString& /*dst*/) {}
};

// Shows the hourglass while it lives, so that every way out (errors included)
// restores the cursor.
class TBusyCursor {
public:
    explicit TBusyCursor(IUserInterface& ui) : ui_(ui) { ui_.setBusyCursor(true); }
    ~TBusyCursor() { ui_.setBusyCursor(false); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    IUserInterface& ui_;
};

} // namespace vimosync
