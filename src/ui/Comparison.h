#pragma once

// The comparison views of the selected contact: ShowSelectedContact loads the source
// and destination histories, merges them and fills the Source, Destination and Merged
// views; Next/Previous difference step through the marked items of the Merged view.
//
// Filling runs on the window's thread and lets the window handle its events every
// 100 messages; a contact change meanwhile only asks for a restart, and the running
// filling ends at its next check point and starts over for the new contact.

#include "history/Model.h"

#include <QObject>
#include <QString>

#include <functional>
#include <future>
#include <memory>

class QLabel;
class QListView;

namespace vimosync {

class IUserInterface;
class TMergedModel;
class TMessageView;
class TWorkflow;

// "name" [label] of one history file: its name, or the name synchronization would
// give a new file, and its format.
QString DescribeHistoryFile(const TZMTMessList& list, int defaultVersion);

class TComparison : public QObject {
    Q_OBJECT
public:
    TComparison(TWorkflow& workflow, IUserInterface& ui, TMessageView* lbs, TMessageView* lbd,
                QListView* lbm, TMergedModel* merged, QLabel* fileInfo, QObject* parent = nullptr);

    // The HeadList index of the contact list's current line, -1 for none.
    std::function<int()> CurrentEntry;
    // The window is closing: a filling ends at its next check point.
    std::function<bool()> ShuttingDown;
    // Called when a filling changed what the navigation commands may do.
    std::function<void()> UpdateControls;

    void ShowSelectedContact();
    // Next difference (F5) and previous difference (F6) in the Merged view.
    void NextDifference();
    void PreviousDifference();

    int ShownEntry() const { return shown_; }
    bool RestartRequested() const { return restart_; }
    // Fillings started since creation (restarts included).
    int Fillings() const { return fillings_; }

private:
    void FillOnce();
    // Empties the three views; what they showed is destroyed on another thread.
    void ReleaseShown();
    // Waits for work running on another thread, handling the window's events meanwhile.
    void Await(std::future<void>& work);
    // A fill loop's check point, every hundred messages, at message k of count: shows
    // the progress and handles the window's events; false: stop this loop.
    bool CheckPoint(int k, int count);
    void StepDifference(bool forward);

    TWorkflow& workflow_;
    IUserInterface& ui_;
    TMessageView* lbs_;
    TMessageView* lbd_;
    QListView* lbm_;
    TMergedModel* merged_;
    QLabel* fileInfo_;
    int shown_ = -1;
    bool restart_ = false;
    bool abort_ = false; // the window is closing
    int fillings_ = 0;
    std::future<void> releasing_; // the release of the histories shown before
};

} // namespace vimosync
