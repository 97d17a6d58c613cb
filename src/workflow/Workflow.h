#pragma once

// The workflow over two history directories: the analysis state that the main window
// carries from command to command, the small operations on it, the analysis, the
// synchronization run and the work of the contact-list tools. It reaches the user only
// through IUserInterface; the window's handlers (aAnalyseExecute, aSyncExecute, ...)
// call the operations of the same names here. It reads no settings: the caller gives
// it option values.

#include "history/Journal.h"
#include "history/Model.h"
#include "history/Options.h"
#include "merge/Merge.h"
#include "workflow/UserInterface.h"

#include <QFileInfoList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace vimosync {

class TMonitorTrd;

// What the commands of the workflow work with, taken from the settings by the caller.
struct TWorkflowOptions {
    TReadOptions Read; // its OwnNick is the workflow's own (TWorkflow::OwnNick)
    TMergeOptions Merge;
    TSaveOptions Save;
    bool UseVaryonArchives = false;
    bool CreateArchivesFolder = true;
    int SpamMinMessagesIn = 0;
    int SpamMinMessagesOut = 1;
    // Contacts worked on at once by the analysis and the synchronization; 0 or less:
    // one per processor core.
    int Jobs = 0;
    // Days the journals of synchronizations are kept (the newest run of each destination
    // always is).
    int JournalDays = 30;
    // Both directories end with the whole history: the analysis lists the contacts of
    // either side, and the synchronization writes each side that lacks messages.
    bool BothWays = false;
};

// The analysis state of the main window (the contact list and the nick are members of
// the workflow).
struct TWorkflowState {
    QString SrcPath; // without a trailing separator
    QString DstPath;
    bool NickEdited = false;
    bool Analysed = false;
    bool SrcVaryon = false;
    bool DstVaryon = false;
    bool SrcArchiveExists = false;
    bool DstArchiveExists = false;
    bool FileVersionChosen = false;
    bool ShowUnchecked = true;   // the check mark of "Show Unchecked"
    bool ViewsBusy = false;      // the comparison views are being filled (set by the window)
    bool UndoAvailable = false;  // a synchronization of DstPath can be undone
    bool BothWays = false;       // the analysis was made both ways
    bool SrcWriteVaryon = false; // the source as a directory written to (both ways)
    bool BackVersionChosen = false;
};

// Enabled state and texts of the window's controls, derived from the state.
struct TControlState {
    bool PathsEnabled = true; // SrcPathCombo, DstPathCombo and both browse buttons
    bool ResetAll = false;
    bool Sync = false;
    bool DeleteSrcFiles = false;
    bool EditNick = false;
    bool LookForSpam = false;
    bool FullTextSearch = false;
    bool DiffNavigation = false; // next/previous difference, menu items and tool buttons
    bool UndoSync = false;       // "Undo last synchronization..."
    QString StatusNick;          // status bar panel 0
    QString ListHint;            // long hint of LB1: "%d checked of %d (%d hidden)"
};

// UpdateControls as a function: shownLines is the number of lines in LB1.
TControlState UpdateControls(const TWorkflowState& state, const TZMTHeadList& heads,
                             const std::string& ownNick, const TWorkflowOptions& options,
                             bool mergedPageActive, int mergedItemCount, int shownLines);

// One line of the contact list LB1.
struct TContactLine {
    QString Text;     // "Nick (UIN) DiffCount SrcCount", or SrcFile for a header line
    bool HasCheckBox; // false: a header line (entry not Valid)
    bool Checked;     // the check box
    int Index;        // the entry in HeadList
};

struct TContactList {
    std::vector<TContactLine> Lines;
    int Selected = -1; // line to select again, -1 for none
};

// RebuildContactList as a function: the lines of every checked entry, and of the
// others while showUnchecked; selectedEntry is the HeadList index of the entry that
// was selected (-1 for none).
// bothWays: the counts of an analysis both ways, "+N → / +M ←".
TContactList RebuildContactList(const TZMTHeadList& heads, bool showUnchecked, int selectedEntry,
                                bool bothWays = false);
QString ContactLineText(const TZMTHead& entry, bool bothWays = false);

// The recent-directory list update: the text less a trailing separator moves (or is
// inserted) to the top, an equal item ignoring case is dropped, the list is cut to
// depth items. Returns the text that became the first item.
QString AddPathToMRU(QStringList& items, const QString& text, int depth);

// The destination history of a contact among the names of the destination folder;
// empty when it has none.
QString FindDestinationFile(const TZMTHead& e, const QStringList& dstNames, bool bothVaryon);

// The entry as the way back sees it: its destination file is the source file, and the
// other way round.
TZMTHead Reversed(const TZMTHead& e);

// A path as the window keeps it: without trailing separators (the root stays "/").
QString StripTrailingSeparator(const QString& path);

// What the synchronization does with one contact; reported to an observer (the
// command-line tool's dry run lists these).
struct TSyncItem {
    std::string UIN;
    std::string Nick;
    QString FileName; // the destination file written (or that would be written)
    int Version = 0;
    bool Created = false;
    bool Back = false;    // written into the source (a synchronization both ways)
    bool Written = false; // the merge found a difference, so the file is (re)written
    bool Skipped = false; // the contact cannot be merged soundly and is left alone
    TText Reason;         // why it was skipped
    int Count = 0;        // messages of the merged history
    int DiffCount = 0;
};

class TWorkflow : public QObject {
    Q_OBJECT
public:
    explicit TWorkflow(IUserInterface& ui, QObject* parent = nullptr);
    ~TWorkflow() override;

    TWorkflowState State;
    // The analysed contacts, the nick of the outgoing messages (UTF-8) and the version
    // new destination files are written in.
    TZMTHeadList HeadList;
    std::string OwnNick = "<My Nick>";
    std::uint8_t DefaultFileVersion = 0;
    // The version new source files are written in by a synchronization both ways.
    std::uint8_t BackFileVersion = 0;

    // The options of the commands. When OptionsSource is set, every command starts by
    // taking its answer, so that the settings in force when it starts are the ones it
    // works with.
    TWorkflowOptions Options;
    std::function<TWorkflowOptions()> OptionsSource;
    void RefreshOptions();
    // The options a command would start with now (Options is left as it is: a command
    // that runs may be reading it).
    TWorkflowOptions CurrentOptions() const;
    // The read options with the workflow's own nick.
    TReadOptions ReadOptions() const;

    // False: StartMonitor does nothing (the command-line tool watches nothing).
    bool MonitorEnabled = true;
    // True: the synchronization and the analysis write nothing (no archive folder, no
    // history file); every step and count runs as if they had.
    bool DryRun = false;
    // False: the synchronization writes no journal, so it cannot be undone.
    bool WriteJournal = true;
    // False: when the journal cannot be written the synchronization ends before it
    // writes anything, without asking whether to go on without one (the command-line
    // tool with --yes, which would answer that question itself).
    bool AskWithoutJournal = true;
    // Told about every contact the synchronization merges.
    std::function<void(const TSyncItem&)> OnSyncItem;
    // Contacts the last synchronization skipped (damaged, refused or failed files).
    int LastSyncSkipped = 0;

    // The directory boxes' change handlers: the text less a trailing separator.
    void SrcPathEditChange(const QString& text);
    void DstPathEditChange(const QString& text);

    // Reset All; does nothing while HeadList is empty (the action is disabled then).
    void ResetAll();
    bool CheckDirectories();
    bool AnyChecked() const;
    bool AskFileVersion();
    // The same question for the new files of the source (both ways).
    bool AskBackFileVersion();
    void ShowProgress(const QString& text);
    bool IsBusy();
    // Asks the running analysis or synchronization to stop: the contacts being worked on
    // end whole, no other starts. Safe from any thread.
    void RequestCancel() { cancel_ = true; }
    bool CancelRequested() const { return cancel_; }
    // The last analysis or synchronization ended by RequestCancel.
    bool Cancelled() const { return cancelled_; }
    // Edit Nick (aEditNickExecute).
    void EditNick();

    // aAnalyseExecute: the analysis of SrcPath against DstPath.
    void Analyse();
    // aSyncExecute: the synchronization of the checked contacts. Returns true when the
    // run went through to its final report.
    bool Sync();

    TControlState Controls(bool mergedPageActive = false, int mergedItemCount = 0,
                           int shownLines = -1) const;
    TContactList ContactList(int selectedEntry = -1) const;

    // The directory monitor over SrcPath and DstPath.
    void StartMonitor();
    void StopMonitor();
    bool MonitorRunning() const { return monitor_ != nullptr; }

    // The contact-list tools' work (selection commands skip entries without Valid).
    void SelectAll();
    void SelectAllDifferent();
    void DeselectAll();
    void SelectInverse();
    // The spam finder: checks the contacts with too few incoming or outgoing merged
    // messages. Returns false when refused or not confirmed.
    bool LookForSpam();
    // The full-text search over the source files with the given matcher (true: the
    // text of all messages holds what is looked for). Returns false when not confirmed.
    bool FullTextSearch(const std::function<bool(const QString& text)>& matches);
    // Asks whether the selection may be cleared (when some entry is checked).
    bool ConfirmClearSelection();
    // Deletes the source files of the given shown checked lines (HeadList indices in
    // line order). Returns the indices whose lines leave LB1; empty when refused.
    std::vector<int> DeleteSrcFiles(const std::vector<int>& checkedLines);

    // The change notice of the monitor with index generation (see StartMonitor).
    void DirChanged(int index);

    // The archive folder the analysis made in the destination (empty for none): the
    // next synchronization's journal names it, so that its undo takes it away again.
    QString ArchiveFolderMade;
    // The settings that shape what a synchronization writes, as its journal keeps them.
    QJsonObject JournalSettings() const;
    // The runs with a journal on the destination, oldest first.
    static std::vector<TJournalRun> SyncRuns(const QString& destination);
    // The run an undo on the destination would take: the newest (or the one named by
    // runId); false when there is none.
    static bool RunToUndo(const QString& destination, const QString& runId, TJournalRun& run);
    // Looks again whether the newest run on DstPath can be undone (State.UndoAvailable).
    void RefreshUndoAvailable();
    // "Undo last synchronization...": shows what the undo of the run (the newest on
    // destination when runId is empty) puts back, asks, and does it. True when it ran or
    // had been done already; false when there is no such run or the user said No.
    bool UndoSync(const QString& destination, const QString& runId = QString());
    // Files the last undo left as they were (changed since, or their old content gone).
    int LastUndoLeft = 0;

private:
    // One contact's histories read and merged as the synchronization stores them.
    struct TContactMerge {
        TZMTMessList Source, Destination, Result;
        bool Created = false;  // the result is a new file
        bool Archives = false; // the destination is read and written with archive files
        TText Skip;            // why the contact cannot be merged soundly; empty: it can
    };
    // The two directories as one direction of a run sees them: back is the way from the
    // destination into the source.
    struct TSide {
        QString SrcPath, DstPath;
        bool SrcVaryon = false, DstVaryon = false;
        bool SrcArchiveExists = false, DstArchiveExists = false;
        std::uint8_t DefaultVersion = 0;
        bool Back = false;
    };
    TSide side(bool back) const;
    // dstFile: the contact's destination file name in DstPath, empty for none. With back,
    // e is the entry as the other direction sees it (Reversed).
    void mergeContact(const TZMTHead& e, const QString& dstFile, TLoadMode dstMode,
                      TContactMerge& m, bool back = false) const;
    bool askVersion(std::uint8_t& version, bool& chosen, bool forSource);
    void onMonitorNotice(int index, quint64 generation);
    // Tells the user of a change notice that came while a command ran.
    void reportPendingNotice();
    bool analyseInner();
    // Both ways: the destination's histories that no entry pairs with become entries
    // without a source file, one for each contact the source does not have.
    void addDestinationOnly(const QFileInfoList& dstEntries);
    QString NewDestinationName(const TZMTHead& e, bool back = false) const;
    // The number of workers for a run over count contacts.
    int jobsFor(int count) const;
    void loadContact(const TZMTHead& e, TZMTMessList& src, TZMTMessList& dst,
                     TLoadMode dstMode) const;
    void loadSource(const TZMTHead& e, TZMTMessList& src) const;
    void loadOrEmpty(TZMTMessList& list, TLoadMode mode, bool archives) const;
    void checkEachContact(const std::function<bool(const TZMTHead&)>& rule);

    IUserInterface& ui_;
    // A command that lets the window process events (analysis, spam finder, full-text
    // search) is running: the same or another such command must not start inside it.
    bool commandRunning_ = false;
    std::unique_ptr<TMonitorTrd> monitor_;
    quint64 monitorGeneration_ = 0;
    int pendingNotice_ = -1; // a notice that came while a command ran, -1 for none
    QStringList unreadable_; // why files could not be read, gathered by an analysis
    std::atomic<bool> cancel_{false};
    bool cancelled_ = false;
    void reportUnreadable();
};

} // namespace vimosync
