#pragma once

// The undo of a synchronization from its journal: every file the run created goes to the
// trash, every file it replaced or removed gets its old content back from the trash.
// The files one save changed together (a history and its archive parts) come back
// together or not at all, so that no message is lost between the parts: a set of which
// some file changed since the run, or whose old content is gone, is left as it is and
// named. Each file is told by its content (SHA-256), so an undo that was interrupted can
// be run again and ends where an undisturbed one would.

#include "history/Journal.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace vimosync {

// Where a file the run changed stands now.
enum class TUndoState {
    AsRunLeftIt, // it holds what the run left: to be put back
    AsBefore,    // it holds what it held before the run (put back, or never changed)
    Changed,     // anything else: someone changed it since
};

// One path the run changed, maybe by several saves (the second source file of a contact
// merged into what the first one wrote): it goes back to what stood there before the
// first of them.
struct TUndoPath {
    QString Path;
    std::vector<std::size_t> Records; // the run's Files about it, in the order written
    TUndoState State = TUndoState::Changed;
    bool ExistedBefore = false;
    bool ExistsAfter = false;
    QString OldContent; // where the content before the run is now (empty: none)
};

// The files the saves of one contact changed together: a history and its archive parts.
struct TUndoSet {
    QString Contact;
    std::vector<TUndoPath> Paths;
    bool Undo = false;    // the set is put back
    QStringList Problems; // why it is left as it is
    int Restores = 0;     // files that get their old content back
    int Removals = 0;     // created files that go to the trash
};

struct TUndoPlan {
    std::vector<TUndoSet> Sets;
    int Restores = 0;
    int Removals = 0;
    int LeftFiles = 0;    // files of the sets left as they are
    QStringList Contacts; // the contacts put back
    QStringList Problems; // "path: why", for the sets left
    bool Nothing() const { return Restores == 0 && Removals == 0; }
};

// Looks at every file of the run and decides what the undo does.
TUndoPlan PlanUndo(const TJournalRun& run);

struct TUndoReport {
    int Restored = 0;
    int Removed = 0;
    int FoldersRemoved = 0;
    QStringList Problems; // files left as they are, and steps that failed
};

// Does what the plan says, noting each step in the run's journal (the lines of an undo)
// and the log. A step that fails is reported and the undo goes on with the next set.
TUndoReport RunUndo(const TJournalRun& run, const TUndoPlan& plan);

// A seam for tests: called after each file the undo puts back or takes away; returning
// true stops the undo there, as a killed process would (the journal gets no end line).
struct UndoHooks {
    bool (*stopAfterStep)(int step) = nullptr;
};
UndoHooks& HistoryUndoHooks();

} // namespace vimosync
