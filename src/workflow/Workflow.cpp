// The workflow object: its state, the small operations on it, the directory monitor,
// and the reading and merging of one contact that the analysis and the sync share.

#include "workflow/Workflow.h"

#include "history/History.h"
#include "support/Errors.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "workflow/Commands.h"
#include "workflow/Folders.h"
#include "workflow/UnitMonitor.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <thread>

namespace vimosync {

using detail::kSep;
using detail::Q;

namespace {

// The text form of each destination message: what a plain-text file would hold of it.
// The whole list is converted at once; where that fails (a message a text file cannot
// hold, such as a time out of its range), each message is converted alone, with a time
// any file holds, so that one such message leaves the others their text form. A message
// that has no text form keeps its own text.
std::vector<HText> PlainForms(const TZMTMessList& destination, const TReadOptions& read) {
    std::vector<HText> forms;
    forms.reserve(destination.Items.size());
    TZMTMessList plain;
    QString problem;
    const TStoreCheck whole = AsStoredIn(destination, 0, read, plain, problem);
    if (whole == TStoreCheck::AsIs) {
        return forms;
    }
    if (whole == TStoreCheck::Changed && plain.Items.size() == destination.Items.size()) {
        for (TZMTMess& m : plain.Items) {
            forms.push_back(std::move(m.Text));
        }
        return forms;
    }
    constexpr double kAnyDay = 45000.0; // 2023-03-15, held by every kind of file
    TZMTMessList one;
    one.UIN = destination.UIN;
    one.ContactNick = destination.ContactNick;
    one.FileName = destination.FileName;
    one.Items.resize(1);
    for (const TZMTMess& m : destination.Items) {
        one.Items[0] = m;
        one.Items[0].Time = kAnyDay;
        if (AsStoredIn(one, 0, read, plain, problem) == TStoreCheck::Changed &&
            plain.Items.size() == 1) {
            forms.push_back(std::move(plain.Items[0].Text));
        } else {
            forms.push_back(m.Text);
        }
    }
    return forms;
}

// A plain-text history holds a message of a binary one in a poorer form (in its code page,
// trimmed, with separators escaped), and hands it on in that form. Such a message of a
// plain-text source that the binary destination holds in its fuller form is that message
// again, not a new one: it is left out of the source's side (with its repeats in the same
// second, which the merge takes for one message), so that it is neither added a second
// time nor counted as new.
void DropPlainCopies(TZMTMessList& source, const TZMTMessList& destination,
                     const TReadOptions& read, bool ignoreSpaces) {
    if (source.Items.empty() || destination.Items.empty()) {
        return;
    }
    const std::vector<HText> forms = PlainForms(destination, read);
    if (forms.empty()) {
        return; // a text file holds every message as it is
    }
    std::vector<char> drop(source.Items.size(), 0);
    bool any = false;
    TZMTMess held;
    for (std::size_t i = 0; i < destination.Items.size(); ++i) {
        const TZMTMess& d = destination.Items[i];
        if (forms[i] == d.Text) {
            continue; // a text file holds it as it is: the merge compares it as it is
        }
        held = d;
        held.Text = forms[i];
        for (std::size_t j = 0; j < source.Items.size(); ++j) {
            const TZMTMess& s = source.Items[j];
            if (drop[j] == 0 && s.Outgoing == held.Outgoing &&
                std::abs(s.Time - held.Time) < SameTimeTolerance &&
                MessagesEqual(s, held, ignoreSpaces)) {
                drop[j] = 1;
                any = true;
            }
        }
    }
    if (!any) {
        return;
    }
    std::size_t kept = 0;
    for (std::size_t j = 0; j < source.Items.size(); ++j) {
        if (drop[j] == 0) {
            source.Items[kept++] = std::move(source.Items[j]);
        }
    }
    source.Items.resize(kept);
}

} // namespace

TWorkflow::TWorkflow(IUserInterface& ui, QObject* parent) : QObject(parent), ui_(ui) {}

TWorkflow::~TWorkflow() {
    StopMonitor();
}

void TWorkflow::RefreshOptions() {
    if (OptionsSource) {
        Options = OptionsSource();
    }
}

TWorkflowOptions TWorkflow::CurrentOptions() const {
    return OptionsSource ? OptionsSource() : Options;
}

TReadOptions TWorkflow::ReadOptions() const {
    TReadOptions read = Options.Read;
    read.OwnNick = OwnNick;
    return read;
}

int TWorkflow::jobsFor(int count) const {
    int jobs =
        Options.Jobs > 0 ? Options.Jobs : static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(jobs, 1, std::max(count, 1));
}

void TWorkflow::SrcPathEditChange(const QString& text) {
    State.SrcPath = StripTrailingSeparator(text);
}

void TWorkflow::DstPathEditChange(const QString& text) {
    const QString path = StripTrailingSeparator(text);
    if (path != State.DstPath) {
        ArchiveFolderMade.clear();
    }
    State.DstPath = path;
    RefreshUndoAvailable();
}

void TWorkflow::ResetAll() {
    if (HeadList.IsEmpty()) {
        return; // the action is disabled while there is nothing to reset
    }
    State.Analysed = false;
    StopMonitor();
    State.FileVersionChosen = false;
    State.BackVersionChosen = false;
    DefaultFileVersion = 0;
    BackFileVersion = 0;
    HeadList.Clear();
    OwnNick = LangText::NickUnset;
    State.NickEdited = false;
    ui_.rebuildContactList();
    ui_.clearViews();
    ui_.updateControls();
}

bool TWorkflow::CheckDirectories() {
    bool ok = true;
    for (const QString& p : {State.SrcPath, State.DstPath}) {
        if (!QFileInfo(p).isDir()) {
            ui_.warning(Format(LangText::DirectoryAbsent, p));
            ok = false;
        }
    }
    return ok;
}

bool TWorkflow::AnyChecked() const {
    const auto& items = HeadList.Items;
    return std::any_of(items.begin(), items.end(), [](const TZMTHead& e) { return e.Checked; });
}

// The version question for one side: the version is kept on Cancel, and chosen says
// whether it was answered.
bool TWorkflow::askVersion(std::uint8_t& version, bool& chosen, bool forSource) {
    const std::optional<int> v = ui_.askFileVersion(version, forSource);
    chosen = v.has_value();
    if (v) {
        version = static_cast<std::uint8_t>(std::clamp(*v, 0, kFormatVersionCount - 1));
    }
    return chosen;
}

bool TWorkflow::AskBackFileVersion() {
    return askVersion(BackFileVersion, State.BackVersionChosen, true);
}

bool TWorkflow::AskFileVersion() {
    return askVersion(DefaultFileVersion, State.FileVersionChosen, false);
}

void TWorkflow::ShowProgress(const QString& text) {
    ui_.showProgress(text);
}

bool TWorkflow::IsBusy() {
    if (State.ViewsBusy || commandRunning_) {
        ui_.beep();
        return true;
    }
    return false;
}

void TWorkflow::EditNick() {
    if (IsBusy()) {
        return;
    }
    const std::optional<QString> nick =
        ui_.askNick(Tr(LangText::EditNickCaption), Tr(LangText::EditNickPrompt), Q(OwnNick));
    if (nick) {
        OwnNick = nick->toStdString();
    }
    State.NickEdited = nick.has_value();
    ui_.updateControls();
}

TControlState TWorkflow::Controls(bool mergedPageActive, int mergedItemCount,
                                  int shownLines) const {
    if (shownLines < 0) {
        shownLines = static_cast<int>(ContactList().Lines.size());
    }
    // The settings may have changed since the last command.
    return UpdateControls(State, HeadList, OwnNick, CurrentOptions(), mergedPageActive,
                          mergedItemCount, shownLines);
}

TContactList TWorkflow::ContactList(int selectedEntry) const {
    return RebuildContactList(HeadList, State.ShowUnchecked, selectedEntry, State.BothWays);
}

// ---- Monitor

void TWorkflow::StartMonitor() {
    if (!MonitorEnabled) {
        return;
    }
    StopMonitor();
    // Each monitor gets a number; a notice that a stopped monitor posted before it was
    // stopped is dropped, so the program's own writes that follow a stop never count.
    const quint64 generation = ++monitorGeneration_;
    monitor_ = std::make_unique<TMonitorTrd>(
        QStringList{State.SrcPath, State.DstPath}, this,
        [this, generation](int index) { onMonitorNotice(index, generation); });
}

void TWorkflow::StopMonitor() {
    ++monitorGeneration_;
    monitor_.reset();
}

void TWorkflow::onMonitorNotice(int index, quint64 generation) {
    if (generation != monitorGeneration_ || !monitor_) {
        return;
    }
    if (commandRunning_) {
        // The command's result is out of date once it ends; it is told then, so that the
        // command does not end by declaring valid what the notice made stale.
        if (pendingNotice_ < 0) {
            pendingNotice_ = index;
        }
        return;
    }
    DirChanged(index);
}

void TWorkflow::DirChanged(int index) {
    State.Analysed = false;
    ui_.updateControls();
    const QString name = index == 0   ? Tr(LangText::SourceName)
                         : index == 1 ? Tr(LangText::DestinationName)
                                      : QString();
    ui_.beep();
    ui_.information(Format(LangText::DirChanged, name));
}

void TWorkflow::reportPendingNotice() {
    if (pendingNotice_ >= 0) {
        const int index = pendingNotice_;
        pendingNotice_ = -1;
        DirChanged(index);
    }
}

// ---- One contact

TZMTHead Reversed(const TZMTHead& e) {
    TZMTHead r = e;
    std::swap(r.SrcFile, r.DstFile);
    return r;
}

TWorkflow::TSide TWorkflow::side(bool back) const {
    const TWorkflowState& st = State;
    TSide s;
    s.Back = back;
    if (!back) {
        s = {st.SrcPath,          st.DstPath,          st.SrcVaryon,       st.DstVaryon,
             st.SrcArchiveExists, st.DstArchiveExists, DefaultFileVersion, false};
    } else {
        // The destination is read as it is written, and the source is written as a
        // destination would be.
        s = {st.DstPath,          st.SrcPath,          st.DstVaryon,    st.SrcWriteVaryon,
             st.DstArchiveExists, st.SrcArchiveExists, BackFileVersion, true};
    }
    return s;
}

// The file a contact without destination file gets: the source file's own name between
// two Varyon directories, else the default version's name for the UIN.
QString TWorkflow::NewDestinationName(const TZMTHead& e, bool back) const {
    const TSide sd = side(back);
    if (sd.SrcVaryon && sd.DstVaryon) {
        return sd.DstPath + kSep + e.SrcFile;
    }
    return sd.DstPath + kSep + FormatMask(SaveMasks[sd.DefaultVersion], Q(e.UIN));
}

void TWorkflow::mergeContact(const TZMTHead& e, const QString& dstFile, TLoadMode dstMode,
                             TContactMerge& m, bool back) const {
    const TWorkflowOptions& set = Options;
    const TReadOptions read = ReadOptions();
    const TSide st = side(back);
    const bool srcArchives =
        set.UseVaryonArchives && st.SrcArchiveExists &&
        (st.SrcVaryon || (back && IsBinaryPath(e.SrcFile) &&
                          HasArchiveFiles(st.SrcPath + kSep + e.SrcFile, read.ArchiveFolderName)));
    const bool varyonArchives = set.UseVaryonArchives && st.DstVaryon && st.DstArchiveExists;
    const auto skip = [&m](const TText& why) {
        if (m.Skip.isEmpty()) {
            m.Skip = why;
        }
    };

    m.Source.UIN = e.UIN;
    m.Source.ContactNick = e.Nick;
    // A contact that only the destination has merges with an empty source.
    if (!e.SrcFile.isEmpty()) {
        m.Source.FileName = st.SrcPath + kSep + e.SrcFile;
        LoadHistory(m.Source, LoadPlain, srcArchives, read);
    }
    if (m.Source.Damaged) {
        skip(Format(LangText::SrcDamaged, e.SrcFile, e.UIN, m.Source.Problem));
    }

    m.Created = dstFile.isEmpty();
    const QString newName = m.Created ? NewDestinationName(e, back) : QString();
    m.Destination.UIN = e.UIN;
    m.Destination.ContactNick = e.Nick;
    if (!m.Created) {
        m.Destination.FileName = st.DstPath + kSep + dstFile;
    } else if (varyonArchives) {
        // Archive files of the new file's name may already stand in the archive folder
        // without their history file; a split save removes them, so their messages are
        // read first.
        m.Destination.FileName = newName;
    }
    // A binary history that has archive files is read and written with them whenever
    // archives are in use, also where the destination does not count as Varyon: its
    // mode may change with the files a run creates, and a file rewritten without its
    // archives would hold their messages a second time once they are read again.
    const bool dstArchives =
        varyonArchives ||
        (set.UseVaryonArchives && st.DstArchiveExists && !m.Destination.FileName.isEmpty() &&
         IsBinaryPath(m.Destination.FileName) &&
         HasArchiveFiles(m.Destination.FileName, read.ArchiveFolderName));
    m.Archives = dstArchives;
    const QString lookedAt = m.Destination.FileName;
    const bool special = !lookedAt.isEmpty() && IsSpecialEntry(lookedAt);
    if (special) {
        // Nothing is read from or written over a FIFO, a device or a folder.
        skip(
            Format(LangText::SpecialFileSkipped, QDir::toNativeSeparators(m.Destination.FileName)));
        m.Destination.FileName.clear();
    }
    LoadHistory(m.Destination, dstMode, dstArchives, read);

    TZMTMessList& r = m.Result;
    r.UIN = e.UIN;
    r.ContactNick = e.Nick;
    if (!m.Created) {
        r.FileName = m.Destination.FileName;
        // A file that holds nothing yet (empty, or gone since the analysis) is written in
        // the format its name says, not in the version of an empty list.
        r.Version = static_cast<std::uint8_t>(VersionForName(
            r.FileName, m.Destination.Valid ? m.Destination.Version : st.DefaultVersion,
            st.DstVaryon));
    } else {
        r.FileName = newName;
        const int v = (st.SrcVaryon && st.DstVaryon) ? m.Source.Version : st.DefaultVersion;
        r.Version = static_cast<std::uint8_t>(VersionForName(r.FileName, v, st.DstVaryon));
        if (!IsPlainName(e.UIN) && !(st.SrcVaryon && st.DstVaryon)) {
            skip(Format(LangText::UinNotPlain, e.UIN));
        }
    }
    r.Scrambled = (r.Version == 2 || r.Version == 3) ? 1 : 0;
    if (r.FileName == lookedAt ? special : IsSpecialEntry(r.FileName)) {
        skip(Format(LangText::SpecialFileSkipped, QDir::toNativeSeparators(r.FileName)));
    }
    if (!InsideFolder(r.FileName, st.DstPath, read.ArchiveFolderName)) {
        skip(Format(LangText::OutsideDestination, QDir::toNativeSeparators(r.FileName), e.UIN));
    }

    // Saved only while the destination is still as it was read (or still absent).
    r.Identity =
        m.Destination.FileName == r.FileName ? m.Destination.Identity : IdentityOf(r.FileName);
    r.CheckIdentity = true;
    if (!m.Source.FileName.isEmpty() && !IsBinaryPath(m.Source.FileName) &&
        IsBinaryPath(r.FileName)) {
        DropPlainCopies(m.Source, m.Destination, read, set.Merge.MergeIgnoreSpaces);
    }
    MergeHistories(m.Source, m.Destination, r, set.Merge, read);
    // What the destination held as read, for the journal of a save.
    r.FilesRead = std::move(m.Destination.FilesRead);

    // A destination that did not load whole would be replaced by a merge that lacks its
    // unread messages, and a split would remove archives that were never read.
    const bool split = dstArchives && r.Version != 0;
    if (m.Destination.Damaged || (split && !m.Destination.ArchivesComplete)) {
        const QString name = QFileInfo(m.Destination.FileName).fileName();
        skip(Format(LangText::DstDamaged, name, e.UIN) +
             (m.Destination.Problem.isEmpty() ? QString()
                                              : QStringLiteral(": ") + m.Destination.Problem));
    }
    if (!r.StoreProblem.isEmpty()) {
        skip(Format(LangText::ContactNotStored, e.UIN, r.StoreProblem));
    }
}

} // namespace vimosync
