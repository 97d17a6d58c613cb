#pragma once

// The main window: the directory boxes, the contact list, the three comparison views
// and the status bar, with every command reachable from the menu bar, the tool bars,
// the context menus and the keyboard. The work behind the commands lives in the
// workflow; the window shows its state and answers its questions.
//
// Creating the window loads the settings and opens the debug log when asked for;
// closing it stops the directory monitor, saves the settings and closes the log.

#include "support/TextSearch.h"
#include "workflow/UserInterface.h"
#include "workflow/Workflow.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QCloseEvent;
class QComboBox;
class QDialog;
class QLabel;
class QProgressBar;
class QListView;
class QMenu;
class QSplitter;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;

namespace vimosync {

class TComparison;
class TContactModel;
class TFindDialog;
class TMergedModel;
class TMessageView;

// "v", the four numbers of the program's version joined by ".", and a space.
QString VersionText();

// The message boxes, the input box and the file-version dialog shown with Qt.
class TQtDialogs : public IUserInterface {
public:
    explicit TQtDialogs(QWidget* owner) : owner_(owner) {}
    void information(const QString& text) override;
    void warning(const QString& text) override;
    bool confirm(const QString& text) override;
    std::optional<int> askFileVersion(int current, bool forSource) override;
    std::optional<QString> askNick(const QString& caption, const QString& prompt,
                                   const QString& current) override;
    void beep() override;
    void setBusyCursor(bool) override {}
    void showProgress(const QString&) override {}

private:
    QWidget* owner_;
};

class TForm1 : public QMainWindow, public IUserInterface {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    TWorkflow& Workflow() { return *workflow_; }

    // Every message box, question, input box, file-version question and beep goes
    // through this interface (the Qt dialogs unless tests put a scripted one here);
    // it is also told of the progress texts and the busy cursor.
    void SetDialogs(IUserInterface* dialogs);
    // Runs a modal dialog of the window (settings, about); returns its result.
    std::function<int(QDialog&)> ExecDialog;
    // The folder picker: the chosen folder, or an empty text when cancelled.
    std::function<QString(const QString& caption, const QString& start)> BrowseFolder;

    // IUserInterface, for the workflow.
    void information(const QString& text) override;
    void warning(const QString& text) override;
    bool confirm(const QString& text) override;
    std::optional<int> askFileVersion(int current, bool forSource) override;
    std::optional<QString> askNick(const QString& caption, const QString& prompt,
                                   const QString& current) override;
    void beep() override;
    void setBusyCursor(bool busy) override;
    void showProgress(const QString& text) override;
    void processEvents() override;
    void showCount(int done, int total) override;
    void updateControls() override { UpdateControls(); }
    void rebuildContactList() override { RebuildContactList(); }
    void clearViews() override;
    void pathsUsed(const QString& src, const QString& dst) override;

    // Window operations.
    void UpdateControls();
    void RebuildContactList();
    bool IsBusy() { return workflow_->IsBusy(); }
    // The text of status bar panel 0 (own nick) and panel 1 (hints, progress).
    QString StatusText(int panel) const;
    // The HeadList index of LB1's current line, -1 for none.
    int CurrentEntry() const;
    // The view text search works on, null before any had the focus.
    QWidget* FindTarget() const { return findTarget_; }
    void SetFindTarget(QWidget* view) { findTarget_ = view; }
    TFindDialog* FindDialog1() const { return findDialog_; }
    bool FullTextSearchMode() const { return fullTextMode_; }
    TComparison& Comparison() { return *comparison_; }
    TContactModel* ContactModel() const { return contactModel_; }
    TMergedModel* MergedModel() const { return mergedModel_; }
    int RememberedSettingsPage() const { return settingsPage_; }

    // Controls.
    QComboBox* SrcPathCombo;
    QComboBox* DstPathCombo;
    QToolButton* ButtonBrowseSrc;
    QToolButton* ButtonBrowseDst;
    QListView* LB1;
    QTabWidget* PageControl1;
    TMessageView* LBS;
    TMessageView* LBD;
    QListView* LBM;
    QLabel* FileInfoLabel;
    QSplitter* Splitter1;
    QLabel* StatusPanel0;
    QLabel* StatusPanel1;
    QProgressBar* WorkProgress;
    QToolButton* CancelButton;
    QToolBar* ToolBar1;
    QToolBar* ListToolBar;
    QToolBar* MergedToolBar;
    QMenu* ListPopup;
    QMenu* MergedPopup;

    // Actions.
    QAction* aAnalyse;
    QAction* aResetAll;
    QAction* aSync;
    QAction* aUndoSync;
    QAction* aEditNick;
    QAction* aFind;
    QAction* aSelectAll;
    QAction* aSelectAllDifferent;
    QAction* aDeselectAll;
    QAction* aCopyUIN;
    QAction* aSelectInverse;
    QAction* aCopyNick;
    QAction* aFindNext;
    QAction* aFindForward;
    QAction* aFindBack;
    QAction* aSettings;
    QAction* aDeleteSrcFiles;
    QAction* aLookForSpam;
    QAction* aShowHideUnchecked;
    QAction* aFullTextSearch;
    QAction* Nextdifference1;
    QAction* Previousdifference1;
    QAction* Exit1;
    QAction* Aboutprogram1;

public slots:
    void aAnalyseExecute();
    void aResetAllExecute();
    void aSyncExecute();
    void aEditNickExecute();
    void aFindExecute();
    void FindDialog1Find();
    void aFindForwardExecute();
    void aFindBackExecute();
    void FindDialog1Close();
    void aSelectAllExecute();
    void aSelectAllDifferentExecute();
    void aDeselectAllExecute();
    void aSelectInverseExecute();
    void aShowHideUncheckedExecute();
    void aCopyUINExecute();
    void aCopyNickExecute();
    void aLookForSpamExecute();
    void aFullTextSearchExecute();
    void aDeleteSrcFilesExecute();
    void aUndoSyncExecute();
    void aSettingsExecute();
    void Nextdifference1Click();
    void Previousdifference1Click();
    void Aboutprogram1Click();
    void ButtonBrowseSrcClick();
    void ButtonBrowseDstClick();
    void SrcPathEditChange();
    void DstPathEditChange();
    void LB1Click();
    void PageControl1Change();
    void ShowSelectedContact();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void CreateActions();
    void CreateMenus();
    void CreateLayout();
    void LBEnter(QWidget* now);
    void SearchTextView(TMessageView* view, const QString& find, const TSearchOptions& options);
    void SearchListView(QListView* view, const QString& find, const TSearchOptions& options);
    void RefreshPathCombos();
    // The window's size, place, list width and page as the last run left them.
    void RestoreWindowState();
    bool DropFolder(QObject* watched, QEvent* event);
    void SetFullTextMode(bool on);
    void KeepWindowState();
    // Runs a long command: other commands refuse with a beep meanwhile.
    bool BeginCommand();
    // The handler as a slot that logs the errors it lets through.
    std::function<void()> Guarded(void (TForm1::*handler)());

    std::unique_ptr<TQtDialogs> qtDialogs_;
    IUserInterface* dialogs_ = nullptr;
    std::unique_ptr<TWorkflow> workflow_;
    TContactModel* contactModel_ = nullptr;
    TMergedModel* mergedModel_ = nullptr;
    TComparison* comparison_ = nullptr;
    TFindDialog* findDialog_ = nullptr;
    QWidget* findTarget_ = nullptr;
    bool fullTextMode_ = false;
    bool rebuilding_ = false;
    bool closing_ = false;
    bool closed_ = false;
    int commandDepth_ = 0;
    int busyDepth_ = 0;
    int settingsPage_ = 0;
    int pressedRow_ = -1;
    int filledRow_ = -1; // the list line whose contact the views were last filled for
    QElapsedTimer eventsTimer_;
    QElapsedTimer progressTimer_;
    QElapsedTimer workTimer_; // since the long work shown in WorkProgress began
    QString progress_;
    QString listHint_; // the contact list's hint as UpdateControls last set it
    QTimer* progressFlush_ = nullptr;

    friend class TCommandScope;
};

} // namespace vimosync
