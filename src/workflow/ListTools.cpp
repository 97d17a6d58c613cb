// The contact-list tools: the selection commands, the spam finder, the full-text
// search and the deletion of source files.

#include "workflow/Workflow.h"

#include "history/History.h"
#include "support/Errors.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "support/RecycleBin.h"
#include "workflow/Commands.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace vimosync {

using detail::kSep;
using detail::Q;
using detail::TFinally;
using detail::TRunningGuard;

namespace {

template <class F> void SetChecks(TZMTHeadList& heads, F rule) {
    for (TZMTHead& e : heads.Items) {
        if (e.Valid && !e.Removed) {
            e.Checked = rule(e);
        }
    }
}

} // namespace

void TWorkflow::SelectAll() {
    SetChecks(HeadList, [](const TZMTHead&) { return true; });
    ui_.rebuildContactList();
    ui_.updateControls();
}

void TWorkflow::SelectAllDifferent() {
    SetChecks(HeadList, [](const TZMTHead& e) { return e.Marked; });
    ui_.rebuildContactList();
    ui_.updateControls();
}

void TWorkflow::DeselectAll() {
    SetChecks(HeadList, [](const TZMTHead&) { return false; });
    ui_.rebuildContactList();
    ui_.updateControls();
}

void TWorkflow::SelectInverse() {
    SetChecks(HeadList, [](const TZMTHead& e) { return !e.Checked; });
    ui_.rebuildContactList();
    ui_.updateControls();
}

bool TWorkflow::ConfirmClearSelection() {
    return !AnyChecked() || ui_.confirm(Tr(LangText::ClearSelection));
}

void TWorkflow::loadContact(const TZMTHead& e, TZMTMessList& src, TZMTMessList& dst,
                            TLoadMode dstMode) const {
    loadSource(e, src);
    dst.UIN = e.UIN;
    dst.ContactNick = e.Nick;
    if (!e.DstFile.isEmpty()) {
        dst.FileName = State.DstPath + kSep + e.DstFile;
        loadOrEmpty(dst, dstMode,
                    Options.UseVaryonArchives && State.DstVaryon && State.DstArchiveExists);
    }
}

void TWorkflow::loadSource(const TZMTHead& e, TZMTMessList& src) const {
    src.UIN = e.UIN;
    src.ContactNick = e.Nick;
    if (e.SrcFile.isEmpty()) {
        return; // a contact that only the destination has (both ways)
    }
    src.FileName = State.SrcPath + kSep + e.SrcFile;
    loadOrEmpty(src, LoadPlain,
                Options.UseVaryonArchives && State.SrcVaryon && State.SrcArchiveExists);
}

// A file that cannot be read counts as an empty history for the list tools.
void TWorkflow::loadOrEmpty(TZMTMessList& list, TLoadMode mode, bool archives) const {
    try {
        LoadHistory(list, mode, archives, ReadOptions());
    } catch (const Exception&) {
        list.Clear();
        list.Valid = false;
    }
}

// The frame of the spam finder and the full-text search: every valid contact is
// unchecked, then checked by the rule; the list is rebuilt on every way out.
void TWorkflow::checkEachContact(const std::function<bool(const TZMTHead&)>& rule) {
    TFinally notice([this] { reportPendingNotice(); });
    TBusyCursor busy(ui_);
    TRunningGuard running(commandRunning_);
    TFinally closing([this] {
        ui_.rebuildContactList();
        ui_.updateControls();
        ShowProgress(QString());
        ui_.showCount(0, 0);
    });
    cancel_ = false;
    cancelled_ = false;
    const int total =
        static_cast<int>(std::count_if(HeadList.Items.begin(), HeadList.Items.end(),
                                       [](const TZMTHead& e) { return e.Valid && !e.Removed; }));
    int done = 0;
    for (TZMTHead& e : HeadList.Items) {
        if (!e.Valid || e.Removed) {
            continue;
        }
        e.Checked = false;
        // Cancelled: the contacts not looked at stay unchecked, as the search began.
        if (cancel_) {
            cancelled_ = true;
            continue;
        }
        ShowProgress(Q(e.Nick));
        ui_.showCount(done, total);
        e.Checked = rule(e);
        ++done;
        ui_.processEvents();
    }
}

bool TWorkflow::LookForSpam() {
    if (IsBusy()) {
        return false;
    }
    if (!ConfirmClearSelection()) {
        return false;
    }
    RefreshOptions();
    const TWorkflowOptions& set = Options;
    const TReadOptions read = ReadOptions();
    checkEachContact([&](const TZMTHead& e) {
        TZMTMessList src;
        TZMTMessList dst;
        loadContact(e, src, dst, LoadPlain);
        TZMTMessList result;
        MergeHistories(src, dst, result, set.Merge, read);
        int in = 0;
        int out = 0;
        for (const TZMTMess& m : result.Items) {
            ++(m.Outgoing ? out : in);
        }
        return (set.SpamMinMessagesIn > 0 && in < set.SpamMinMessagesIn) ||
               (set.SpamMinMessagesOut > 0 && out < set.SpamMinMessagesOut);
    });
    return true;
}

bool TWorkflow::FullTextSearch(const std::function<bool(const QString&)>& matches) {
    if (IsBusy()) {
        return false;
    }
    RefreshOptions();
    checkEachContact([&](const TZMTHead& e) {
        TZMTMessList src;
        loadSource(e, src);
        std::string all;
        std::size_t size = 0;
        for (const TZMTMess& m : src.Items) {
            size += m.Text.size() + 2;
        }
        all.reserve(size);
        for (const TZMTMess& m : src.Items) {
            all.append(m.Text.view());
            all.append("\r\n");
        }
        return matches(Q(all));
    });
    return true;
}

std::vector<int> TWorkflow::DeleteSrcFiles(const std::vector<int>& checkedLines) {
    std::vector<int> removed;
    if (IsBusy()) {
        return removed;
    }
    if (checkedLines.empty()) {
        ui_.beep();
        return removed;
    }
    if (!ui_.confirm(Format(LangText::ReallyDelete, static_cast<int>(checkedLines.size())))) {
        return removed;
    }
    RefreshOptions();
    StopMonitor();
    TZMTHeadList& heads = HeadList;
    int deleted = 0;
    for (const int index : checkedLines) {
        if (index < 0 || index >= heads.Count()) {
            continue;
        }
        TZMTHead& e = heads[index];
        if (e.SrcFile.isEmpty()) {
            continue; // only the destination has it: there is no source file to delete
        }
        const QString path = State.SrcPath + kSep + e.SrcFile;
        if (Options.Save.BackupToRecycleBin && QFileInfo::exists(path)) {
            try {
                MoveToRecycleBin(path);
            } catch (const Exception& ex) {
                WriteLog(Format(LangText::DeleteBackupFailed, e.SrcFile, ex.message()));
            }
        } else {
            QFile::remove(path);
        }
        if (!QFileInfo::exists(path)) {
            ++deleted;
            WriteLog(Format(LangText::FileDeleted, e.SrcFile));
        }
        // The line leaves the list whether or not the file went away, and stays away.
        e.Removed = true;
        e.Checked = false;
        removed.push_back(index);
    }
    // The lines leave before the message tells how many files went.
    ui_.rebuildContactList();
    ui_.updateControls();
    ui_.beep();
    StartMonitor();
    ui_.information(Format(LangText::FilesDeleted, deleted));
    return removed;
}

} // namespace vimosync
