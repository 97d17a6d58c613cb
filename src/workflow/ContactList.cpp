// The pure parts of the window state: the enabled controls and the contact-list lines.

#include "workflow/Workflow.h"

#include "support/LangText.h"
#include "workflow/Commands.h"

#include <algorithm>

namespace vimosync {

using detail::Q;

TControlState UpdateControls(const TWorkflowState& state, const TZMTHeadList& heads,
                             const std::string& ownNick, const TWorkflowOptions& settings,
                             bool mergedPageActive, int mergedItemCount, int shownLines) {
    const bool anyChecked = std::any_of(heads.Items.begin(), heads.Items.end(),
                                        [](const TZMTHead& e) { return e.Checked; });
    const int checked = static_cast<int>(std::count_if(
        heads.Items.begin(), heads.Items.end(), [](const TZMTHead& e) { return e.Checked; }));
    TControlState c;
    c.PathsEnabled = !state.Analysed;
    c.ResetAll = !heads.IsEmpty();
    c.Sync = state.Analysed && anyChecked;
    c.DeleteSrcFiles = c.Sync;
    c.EditNick = state.Analysed;
    c.LookForSpam = state.Analysed && !heads.IsEmpty() &&
                    (settings.SpamMinMessagesIn > 0 || settings.SpamMinMessagesOut > 0);
    c.FullTextSearch = state.Analysed && !heads.IsEmpty();
    c.DiffNavigation = mergedItemCount > 0 && mergedPageActive;
    c.UndoSync = state.UndoAvailable;
    c.StatusNick = Q(ownNick);
    // Entries whose source file was deleted count no more.
    const int listed = static_cast<int>(std::count_if(
        heads.Items.begin(), heads.Items.end(), [](const TZMTHead& e) { return !e.Removed; }));
    c.ListHint = Format(LangText::ListHint, checked, listed, listed - shownLines);
    return c;
}

QString ContactLineText(const TZMTHead& e, bool bothWays) {
    const QString counts = bothWays ? Format(LangText::BothWaysCounts, e.DiffCount, e.BackDiffCount)
                                    : QString::number(e.DiffCount);
    return Q(e.Nick) + QStringLiteral(" (") + Q(e.UIN) + QStringLiteral(") ") + counts +
           QLatin1Char(' ') + QString::number(e.SrcCount);
}

TContactList RebuildContactList(const TZMTHeadList& heads, bool showUnchecked, int selectedEntry,
                                bool bothWays) {
    TContactList list;
    list.Lines.reserve(heads.Items.size());
    for (int i = 0; i < heads.Count(); ++i) {
        const TZMTHead& e = heads[i];
        if (e.Removed || (!e.Checked && !showUnchecked)) {
            continue;
        }
        if (e.Valid) {
            if (i == selectedEntry) {
                list.Selected = static_cast<int>(list.Lines.size());
            }
            list.Lines.push_back({ContactLineText(e, bothWays), true, e.Checked, i});
        } else {
            list.Lines.push_back({e.SrcFile, false, false, i});
        }
    }
    return list;
}

} // namespace vimosync
