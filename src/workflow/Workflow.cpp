#include "workflow/Workflow.h"

#include "config/Setup.h"
#include "history/History.h"
#include "history/TimeStamp.h"
#include "merge/Merge.h"
#include "support/Errors.h"
#include "support/LogFile.h"
#include "support/RecycleBin.h"
#include "ui/LangText.h"
#include "workflow/UnitMonitor.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace vimosync {

namespace {

const QString kSep = QStringLiteral("/");
const QString kCrLf = QStringLiteral("\r\n");

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool NickUnset() {
    return Globals().OwnNick == LangText::NickUnset;
}

// Runs the closing steps of a command on every way out, errors included.
template <class F> class TFinally {
public:
    explicit TFinally(F f) : f_(std::move(f)) {}
    ~TFinally() { f_(); }
    TFinally(const TFinally&) = delete;
    TFinally& operator=(const TFinally&) = delete;

private:
    F f_;
};

// The entries of a folder matching a wildcard pattern, ignoring case as the history
// directories' home platform does, sorted by name so that the order is stable.
QFileInfoList ListEntries(const QString& dir, const QString& pattern, QDir::Filters what) {
    QDir d(dir);
    d.setNameFilters({pattern});
    d.setFilter(what | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    d.setSorting(QDir::Name | QDir::IgnoreCase);
    return d.entryInfoList();
}

// A destination-name mask with the UIN filled in, split at its own wildcards: the UIN
// is matched literally, whatever characters it holds.
QStringList MaskParts(const char* mask, const QString& uin) {
    QStringList parts = QString::fromLatin1(mask).split(QLatin1Char('*'));
    for (QString& p : parts) {
        p.replace(QLatin1String("%s"), uin);
    }
    return parts;
}

bool WildMatch(const QString& name, const QStringList& parts) {
    if (parts.size() == 1) {
        return name.compare(parts.first(), Qt::CaseInsensitive) == 0;
    }
    const QString& first = parts.first();
    const QString& last = parts.last();
    if (name.size() < first.size() + last.size() || !name.startsWith(first, Qt::CaseInsensitive) ||
        !name.endsWith(last, Qt::CaseInsensitive)) {
        return false;
    }
    qsizetype pos = first.size();
    const qsizetype end = name.size() - last.size();
    for (qsizetype i = 1; i + 1 < parts.size(); ++i) {
        const qsizetype at = name.indexOf(parts[i], pos, Qt::CaseInsensitive);
        if (at < 0 || at + parts[i].size() > end) {
            return false;
        }
        pos = at + parts[i].size();
    }
    return true;
}

// The last search mask ("*%s.zmt") matches any name ending in the UIN, so UIN 123
// would match 4123.zmt, the history of another contact. A name found through it
// belongs to the contact only when no digit stands right before the UIN.
bool DigitBeforeUin(const QString& name, const QString& uin) {
    const qsizetype at = name.size() - uin.size() - 4; // 4 = ".zmt"
    return at > 0 && name[at - 1].isDigit();
}

QString OffsetText() {
    return FormatOffset(-Globals().PdaOffset);
}

QString FormatLabel(int version) {
    return QString::fromLatin1(
        FormatLabels[static_cast<std::size_t>(std::clamp(version, 0, kFormatVersionCount - 1))]);
}

QString ArchivesLine() {
    return QString::fromLatin1(Setup().UseVaryonArchives ? LangText::UseArchives
                                                         : LangText::NoArchives);
}

// Marks a command that processes window events as running, on every way out.
class TRunningGuard {
public:
    explicit TRunningGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~TRunningGuard() { flag_ = false; }
    TRunningGuard(const TRunningGuard&) = delete;
    TRunningGuard& operator=(const TRunningGuard&) = delete;

private:
    bool& flag_;
};

} // namespace

// ---- Pure parts: control state, contact list, recent-directory lists

TControlState UpdateControls(const TWorkflowState& state, const TZMTHeadList& heads,
                             const std::string& ownNick, const TSettings& settings,
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
    c.StatusNick = Q(ownNick);
    c.ListHint = Format(LangText::ListHint, checked, heads.Count(), heads.Count() - shownLines);
    return c;
}

QString ContactLineText(const TZMTHead& e) {
    return Q(e.Nick) + QStringLiteral(" (") + Q(e.UIN) + QStringLiteral(") ") +
           QString::number(e.DiffCount) + QLatin1Char(' ') + QString::number(e.SrcCount);
}

TContactList RebuildContactList(const TZMTHeadList& heads, bool showUnchecked, int selectedEntry) {
    TContactList list;
    list.Lines.reserve(heads.Items.size());
    for (int i = 0; i < heads.Count(); ++i) {
        const TZMTHead& e = heads[i];
        if (!e.Checked && !showUnchecked) {
            continue;
        }
        if (e.Valid) {
            if (i == selectedEntry) {
                list.Selected = static_cast<int>(list.Lines.size());
            }
            list.Lines.push_back({ContactLineText(e), true, e.Checked, i});
        } else {
            list.Lines.push_back({e.SrcFile, false, false, i});
        }
    }
    return list;
}

QString StripTrailingSeparator(const QString& path) {
    QString p = path;
    while (p.size() > 1 && (p.endsWith(QLatin1Char('/')) || p.endsWith(QLatin1Char('\\')))) {
        p.chop(1);
    }
    return p;
}

QString AddPathToMRU(QStringList& items, const QString& text, int depth) {
    const QString t = StripTrailingSeparator(text);
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items[i].compare(t, Qt::CaseInsensitive) == 0) {
            items.removeAt(i);
            break;
        }
    }
    items.prepend(t);
    while (items.size() > depth && !items.isEmpty()) {
        items.removeLast();
    }
    return t;
}

// ---- The workflow

TWorkflow::TWorkflow(IUserInterface& ui, QObject* parent) : QObject(parent), ui_(ui) {}

TWorkflow::~TWorkflow() {
    StopMonitor();
}

void TWorkflow::SrcPathEditChange(const QString& text) {
    State.SrcPath = StripTrailingSeparator(text);
}

void TWorkflow::DstPathEditChange(const QString& text) {
    State.DstPath = StripTrailingSeparator(text);
}

void TWorkflow::ResetAll() {
    if (Globals().HeadList.IsEmpty()) {
        return; // the action is disabled while there is nothing to reset
    }
    State.Analysed = false;
    StopMonitor();
    State.FileVersionChosen = false;
    Globals().DefaultFileVersion = 0;
    Globals().HeadList.Clear();
    Globals().OwnNick = LangText::NickUnset;
    State.NickEdited = false;
    ui_.rebuildContactList();
    ui_.clearViews();
    ui_.updateControls();
}

void TWorkflow::AddPathsToMRU() {
    TSettings& s = Setup();
    AddPathToMRU(s.SrcPathMRU, State.SrcPath, s.MRU_Depth);
    AddPathToMRU(s.DstPathMRU, State.DstPath, s.MRU_Depth);
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
    const auto& items = Globals().HeadList.Items;
    return std::any_of(items.begin(), items.end(), [](const TZMTHead& e) { return e.Checked; });
}

bool TWorkflow::AskFileVersion() {
    const std::optional<int> v = ui_.askFileVersion(Globals().DefaultFileVersion);
    State.FileVersionChosen = v.has_value();
    if (v) {
        Globals().DefaultFileVersion =
            static_cast<std::uint8_t>(std::clamp(*v, 0, kFormatVersionCount - 1));
    }
    return State.FileVersionChosen;
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
        ui_.askNick(QString::fromLatin1(LangText::EditNickCaption),
                    QString::fromLatin1(LangText::EditNickPrompt), Q(Globals().OwnNick));
    if (nick) {
        Globals().OwnNick = nick->toStdString();
    }
    State.NickEdited = nick.has_value();
    ui_.updateControls();
}

TControlState TWorkflow::Controls(bool mergedPageActive, int mergedItemCount,
                                  int shownLines) const {
    if (shownLines < 0) {
        shownLines = static_cast<int>(ContactList().Lines.size());
    }
    return UpdateControls(State, Globals().HeadList, Globals().OwnNick, Setup(), mergedPageActive,
                          mergedItemCount, shownLines);
}

TContactList TWorkflow::ContactList(int selectedEntry) const {
    return RebuildContactList(Globals().HeadList, State.ShowUnchecked, selectedEntry);
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
    DirChanged(index);
}

void TWorkflow::DirChanged(int index) {
    State.Analysed = false;
    ui_.updateControls();
    const QString name = index == 0   ? QString::fromLatin1(LangText::SourceName)
                         : index == 1 ? QString::fromLatin1(LangText::DestinationName)
                                      : QString();
    ui_.beep();
    ui_.information(Format(LangText::DirChanged, name));
}

// ---- Analysis

void TWorkflow::Analyse() {
    if (IsBusy()) {
        return;
    }
    ResetAll();
    if (!CheckDirectories()) {
        return;
    }
    ui_.updateControls();
    if (State.SrcPath.compare(State.DstPath, Qt::CaseInsensitive) == 0) {
        ui_.beep();
        ui_.information(QString::fromLatin1(LangText::SameDirectory));
        return;
    }
    Globals().HeadList.Clear();
    AddPathsToMRU();
    TBusyCursor busy(ui_);
    TRunningGuard running(commandRunning_);
    analyseInner();
}

bool TWorkflow::analyseInner() {
    TSettings& set = Setup();
    TZMTHeadList& heads = Globals().HeadList;
    const TWorkflowState& st = State;

    StartMonitor();
    WriteLog(QString::fromLatin1(LangText::StartAnalyse) +
             QString::fromLatin1(LangText::LogFrameEnd));
    WriteLog(QString::fromLatin1(LangText::SrcPathLog) + QString::fromLatin1(LangText::LogEquals) +
             st.SrcPath);
    WriteLog(QString::fromLatin1(LangText::DstPathLog) + QString::fromLatin1(LangText::LogEquals) +
             st.DstPath);

    // Source listing: the binary histories, or the plain-text ones when there are none.
    QFileInfoList src = ListEntries(st.SrcPath, QStringLiteral("*.zmt"), QDir::Files | QDir::Dirs);
    if (src.isEmpty()) {
        WriteLog(QString::fromLatin1(LangText::NoZmtFound));
        src = ListEntries(st.SrcPath, QStringLiteral("*.txt"), QDir::Files | QDir::Dirs);
        if (src.isEmpty()) {
            WriteLog(QString::fromLatin1(LangText::NoTxtFound));
            return false;
        }
    }
    for (const QFileInfo& fi : src) {
        if (fi.isDir()) {
            continue;
        }
        TZMTHead& e = NewEntry(heads);
        ReadEntryHeader(e, st.SrcPath + kSep + fi.fileName());
        WriteLog(Format(LangText::ReadSrc, e.SrcFile, e.UIN));
    }

    // Varyon modes and archive folders.
    State.SrcVaryon = std::any_of(heads.Items.begin(), heads.Items.end(), [](const TZMTHead& e) {
        return e.Valid && (e.Version == 2 || e.Version == 3);
    });
    State.SrcArchiveExists = QFileInfo(st.SrcPath + kSep + set.ArchiveFolderName).isDir();
    State.DstArchiveExists = QFileInfo(st.DstPath + kSep + set.ArchiveFolderName).isDir();
    bool dstVaryon = false;
    int firstV1 = 0;
    for (const QFileInfo& fi : ListEntries(st.DstPath, QStringLiteral("*.zmt"), QDir::Files)) {
        TZMTHead scratch;
        ReadEntryHeader(scratch, fi.absoluteFilePath());
        if (!scratch.Valid) {
            continue;
        }
        if (scratch.Version == 2 || scratch.Version == 3) {
            dstVaryon = true;
        } else {
            firstV1 = 1;
        }
        break;
    }
    State.DstVaryon = dstVaryon || (firstV1 == 0 && st.DstArchiveExists) ||
                      (firstV1 == 1 && set.CreateArchivesFolder);
    WriteLog(Format(LangText::VaryonMode, int(st.SrcVaryon), int(st.DstVaryon)));

    if (st.DstVaryon && !st.DstArchiveExists && set.CreateArchivesFolder) {
        const QString folder = st.DstPath + kSep + set.ArchiveFolderName;
        StopMonitor();
        WriteLog(Format(LangText::CreatingArchiveFolder, folder));
        if (DryRun) {
            State.DstArchiveExists = true; // as it would be after the creation
        } else {
            QDir().mkpath(folder); // a failure shows as a missing folder below
            State.DstArchiveExists = QFileInfo(folder).isDir();
        }
        StartMonitor();
    }

    // Pairing by UIN against one listing of the destination files.
    const QFileInfoList dstEntries = ListEntries(st.DstPath, QStringLiteral("*"), QDir::Files);
    QStringList dstNames;
    dstNames.reserve(dstEntries.size());
    for (const QFileInfo& fi : dstEntries) {
        dstNames.append(fi.fileName());
    }
    for (TZMTHead& e : heads.Items) {
        if (!e.Valid) {
            continue;
        }
        const QString uin = Q(e.UIN);
        if (st.SrcVaryon && st.DstVaryon) {
            const QStringList exact{e.SrcFile};
            const auto it = std::find_if(dstNames.begin(), dstNames.end(),
                                         [&](const QString& n) { return WildMatch(n, exact); });
            if (it != dstNames.end()) {
                e.DstFile = *it;
                WriteLog(Format(LangText::DstFileLog, e.SrcFile) +
                         QString::fromLatin1(LangText::DstFileOk));
                continue;
            }
        } else {
            bool found = false;
            for (int m = 0; m < kFormatVersionCount && !found; ++m) {
                const char* mask = SearchMasks[static_cast<std::size_t>(m)];
                const QStringList parts = MaskParts(mask, uin);
                const bool lastMask = m == kFormatVersionCount - 1;
                for (const QString& n : dstNames) {
                    if (WildMatch(n, parts) && !(lastMask && DigitBeforeUin(n, uin))) {
                        e.DstFile = n;
                        WriteLog(Format(LangText::DstFileLog, FormatMask(mask, uin)) +
                                 QString::fromLatin1(LangText::DstFileOk));
                        found = true;
                        break;
                    }
                }
            }
            if (found) {
                continue;
            }
        }
        WriteLog(Format(LangText::DstFileLog, e.UIN) +
                 QString::fromLatin1(LangText::DstFileNotFound));
        e.DstFile.clear();
    }

    // Per-contact load and merge, one contact's histories at a time.
    ui_.rebuildContactList();
    std::vector<std::pair<int, int>> versionCounts; // version -> count, first met first
    int unnamed = 0;
    const bool srcArchives = set.UseVaryonArchives && st.SrcVaryon && st.SrcArchiveExists;
    const bool dstArchives = set.UseVaryonArchives && st.DstVaryon && st.DstArchiveExists;
    for (int i = 0; i < heads.Count(); ++i) {
        TZMTHead& e = heads[i];
        bool marked = true;
        int srcCount = 0;
        if (e.Valid) {
            ShowProgress(Q(e.Nick) + QLatin1Char(' ') +
                         Format(LangText::ProgressOf, i + 1, heads.Count()));
            TZMTMessList source;
            source.FileName = st.SrcPath + kSep + e.SrcFile;
            LoadHistory(source, LoadPlain, srcArchives);
            srcCount = source.Count();
            TZMTMessList dest;
            if (!e.DstFile.isEmpty()) {
                dest.FileName = st.DstPath + kSep + e.DstFile;
                LoadHistory(dest, LoadContactNick, dstArchives);
            }
            if (e.Nick.empty() && !dest.ContactNick.empty()) {
                e.Nick = dest.ContactNick;
            }
            if (e.DstFile.isEmpty()) {
                ++unnamed;
            } else {
                const int v = dest.Version;
                auto it = std::find_if(versionCounts.begin(), versionCounts.end(),
                                       [v](const auto& p) { return p.first == v; });
                if (it == versionCounts.end()) {
                    versionCounts.emplace_back(v, 1);
                } else {
                    ++it->second;
                }
            }
            TZMTMessList result;
            result.FileName = st.DstPath + kSep + e.DstFile;
            MergeHistories(source, dest, result);
            e.DiffCount = result.DiffCount;
            WriteLog(Format(LangText::UinParsed, e.UIN, source.Count(), dest.Count(),
                            result.Count(), result.DiffCount, int(result.HasDiff)));
            marked = result.HasDiff;
            ui_.processEvents();
        }
        e.Marked = marked;
        e.SrcCount = srcCount;
        e.Checked = e.Valid && e.Marked;
    }

    // Contacts with differences first, then by nick ignoring case.
    {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<std::pair<QString, std::size_t>> keys;
        keys.reserve(heads.Items.size());
        for (std::size_t i = 0; i < heads.Items.size(); ++i) {
            keys.emplace_back(Q(heads.Items[i].Nick), i);
        }
        std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
            const bool ma = heads.Items[a.second].Marked;
            const bool mb = heads.Items[b.second].Marked;
            if (ma != mb) {
                return ma;
            }
            return collator.compare(a.first, b.first) < 0;
        });
        std::vector<TZMTHead> sorted;
        sorted.reserve(heads.Items.size());
        for (const auto& k : keys) {
            sorted.push_back(std::move(heads.Items[k.second]));
        }
        heads.Items = std::move(sorted);
    }
    ui_.rebuildContactList();
    State.Analysed = true;

    // Default output version: the most frequent destination version, first met on ties.
    int best = 0;
    int bestCount = 0;
    for (const auto& [version, count] : versionCounts) {
        if (count > bestCount) {
            best = version;
            bestCount = count;
        }
    }
    Globals().DefaultFileVersion = static_cast<std::uint8_t>(std::clamp(best, 0, 3));
    if (unnamed > 0) {
        AskFileVersion();
        WriteLog(Format(LangText::UnnamedFiles, FormatLabel(Globals().DefaultFileVersion)));
    }
    WriteLog(Format(LangText::CurrentPdaTimeOffset, OffsetText()));

    // Own nick from the plain-text histories, in display order.
    if (!st.NickEdited) {
        const std::string previous = Globals().OwnNick;
        for (const TContactLine& line : ContactList().Lines) {
            if (Globals().OwnNick != previous) {
                break;
            }
            const TZMTHead& e = heads[line.Index];
            if (!e.Valid) {
                continue;
            }
            for (const QString& path :
                 {st.SrcPath + kSep + e.SrcFile,
                  e.DstFile.isEmpty() ? QString() : st.DstPath + kSep + e.DstFile}) {
                if (path.isEmpty() || IsBinaryPath(path)) {
                    continue;
                }
                TZMTMessList scratch;
                scratch.FileName = path;
                LoadHistory(scratch, LoadOwnNick, false);
                if (Globals().OwnNick != previous) {
                    break;
                }
            }
        }
        if (Globals().OwnNick != previous) {
            WriteLog(Format(LangText::AutoFindNick, Globals().OwnNick));
        } else {
            WriteLog(QString::fromLatin1(LangText::AutoFindNickFailed) + QLatin1Char(' ') +
                     Format(LangText::CurrentNick, Globals().OwnNick));
        }
    }
    ui_.updateControls();
    WriteLog(QString::fromLatin1(LangText::AnalyseFinished) +
             QString::fromLatin1(LangText::LogFrameEnd));
    return true;
}

// ---- Synchronization

// The file a contact without destination file gets: the source file's own name between
// two Varyon directories, else the default version's name for the UIN.
QString TWorkflow::NewDestinationName(const TZMTHead& e) const {
    if (State.SrcVaryon && State.DstVaryon) {
        return State.DstPath + kSep + e.SrcFile;
    }
    return State.DstPath + kSep + FormatMask(SaveMasks[Globals().DefaultFileVersion], Q(e.UIN));
}

bool TWorkflow::Sync() {
    if (IsBusy()) {
        return false;
    }
    if (!State.Analysed || !AnyChecked()) {
        ui_.beep(); // the action is disabled then
        return false;
    }
    if (!CheckDirectories()) {
        return false;
    }
    TSettings& set = Setup();
    const TWorkflowState& st = State;
    TZMTHeadList& heads = Globals().HeadList;
    int updated = 0;
    int created = 0;
    int backedUp = 0;
    int skipped = 0;

    if (!st.NickEdited && NickUnset() && !st.DstVaryon) {
        ui_.beep();
        ui_.information(QString::fromLatin1(LangText::EnterNickFirst));
        EditNick();
        if (!st.NickEdited && NickUnset()) {
            return false;
        }
    }
    if (!st.FileVersionChosen &&
        std::any_of(heads.Items.begin(), heads.Items.end(), [](const TZMTHead& e) {
            return e.Checked && e.Valid && e.DstFile.isEmpty();
        })) {
        if (!AskFileVersion()) {
            return false;
        }
    }
    const QString versionLine =
        Format(LangText::CurrentDefaultVersion, FormatLabel(Globals().DefaultFileVersion));
    const QString offsetLine = Format(LangText::CurrentPdaTimeOffset, OffsetText());
    const QString nickLine = Format(LangText::CurrentNick, Globals().OwnNick);
    const QStringList question{QString::fromLatin1(LangText::ReallySync),
                               versionLine,
                               offsetLine,
                               Format(LangText::CurrentPdaDateOffset, set.ZmtDateOffset),
                               nickLine,
                               Format(LangText::VaryonMode, int(st.SrcVaryon), int(st.DstVaryon)),
                               ArchivesLine()};
    if (!ui_.confirm(question.join(kCrLf))) {
        return false;
    }

    {
        TBusyCursor busy(ui_);
        StopMonitor();
        WriteLog(QString::fromLatin1(LangText::SyncStarted) +
                 QString::fromLatin1(LangText::LogFrameEnd));
        WriteLog(QString::fromLatin1(LangText::SyncParameters) + QLatin1Char(' ') + versionLine +
                 kCrLf + offsetLine + QStringLiteral("; ") + nickLine + kCrLf + ArchivesLine());

        const bool srcArchives = set.UseVaryonArchives && st.SrcVaryon && st.SrcArchiveExists;
        const bool dstArchives = set.UseVaryonArchives && st.DstVaryon && st.DstArchiveExists;
        if (!DryRun) {
            // What an earlier run that was killed while saving left beside the histories.
            TidyInterruptedSaves(st.DstPath);
            TidyInterruptedSaves(st.DstPath + kSep + set.ArchiveFolderName);
        }
        // Archive files are binary: a plain-text history split into them would lose
        // every message moved out of the text file, since a text file is read without
        // archives. Only binary histories are split.
        const auto splitFor = [dstArchives](const TZMTMessList& list) {
            return dstArchives && list.Version != 0;
        };
        for (const TZMTHead& e : heads.Items) {
            if (!e.Checked || !e.Valid) {
                continue;
            }
            TSyncItem item;
            item.UIN = e.UIN;
            item.Nick = e.Nick;
            TZMTMessList result;
            {
                TZMTMessList source;
                source.UIN = e.UIN;
                source.ContactNick = e.Nick;
                source.FileName = st.SrcPath + kSep + e.SrcFile;
                LoadHistory(source, LoadPlain, srcArchives);
                TZMTMessList dest;
                dest.UIN = e.UIN;
                dest.ContactNick = e.Nick;
                if (!e.DstFile.isEmpty()) {
                    dest.FileName = st.DstPath + kSep + e.DstFile;
                } else if (dstArchives) {
                    // Archive files of the new file's name may already stand in the
                    // archive folder without their history file; a split save removes
                    // them, so their messages are read first.
                    dest.FileName = NewDestinationName(e);
                }
                LoadHistory(dest, LoadPlain, dstArchives);

                result.UIN = e.UIN;
                result.ContactNick = e.Nick;
                if (!e.DstFile.isEmpty()) {
                    item.Created = false;
                    result.FileName = dest.FileName;
                    result.Version = dest.Version;
                    result.Scrambled = dest.Scrambled;
                } else {
                    item.Created = true;
                    result.FileName = NewDestinationName(e);
                    result.Version = (st.SrcVaryon && st.DstVaryon) ? source.Version
                                                                    : Globals().DefaultFileVersion;
                    result.Scrambled = (result.Version == 2 || result.Version == 3) ? 1 : 0;
                }
                ShowProgress(QString::fromLatin1(LangText::Synchronizing) + QLatin1Char(' ') +
                             Q(e.Nick));
                MergeHistories(source, dest, result);
                WriteLog(Format(LangText::UinParsed, e.UIN, source.Count(), dest.Count(),
                                result.Count(), result.DiffCount, int(result.HasDiff)));

                // A destination that did not load whole would be replaced by a merge that
                // lacks its unread messages, and a split would remove archives that were
                // never read: such a contact is left alone.
                if (!dest.FileName.isEmpty()) {
                    const QFileInfo dstInfo(dest.FileName);
                    const bool unreadable = !e.DstFile.isEmpty() && dstInfo.exists() &&
                                            dstInfo.size() > 0 && !dest.Valid;
                    const bool archivesUnread = splitFor(result) && !dest.ArchivesComplete;
                    if (unreadable || archivesUnread) {
                        WriteLog(Format(LangText::DstDamaged, dstInfo.fileName(), e.UIN));
                        item.Skipped = true;
                        ++skipped;
                    }
                }
            }
            item.FileName = result.FileName;
            item.Version = result.Version;
            item.Count = result.Count();
            item.DiffCount = result.DiffCount;
            item.Written = result.HasDiff && !item.Skipped;
            if (item.Written) {
                bool backup = false;
                if (!DryRun) {
                    SaveHistory(result, backup, splitFor(result));
                }
                ++(item.Created ? created : updated);
                if (backup) {
                    ++backedUp;
                }
            }
            if (OnSyncItem) {
                OnSyncItem(item);
            }
        }
        ShowProgress(QString::fromLatin1(LangText::SyncFinishedProgress));
        ui_.beep();
    }

    QString text = Format(LangText::SyncFinished, updated, created);
    if (set.BackupToRecycleBin) {
        text += kCrLf + Format(LangText::SyncBackedUp, backedUp);
    }
    if (skipped > 0) {
        text += kCrLf + Format(LangText::SyncSkipped, skipped);
    }
    WriteLog(text);
    WriteLog(QString::fromLatin1(LangText::LogSeparator));
    StartMonitor();
    ui_.information(text);
    return true;
}

// ---- Contact-list tools

namespace {

template <class F> void SetChecks(TZMTHeadList& heads, F rule) {
    for (TZMTHead& e : heads.Items) {
        if (e.Valid) {
            e.Checked = rule(e);
        }
    }
}

} // namespace

void TWorkflow::SelectAll() {
    SetChecks(Globals().HeadList, [](const TZMTHead&) { return true; });
    ui_.rebuildContactList();
    ui_.updateControls();
}

void TWorkflow::SelectAllDifferent() {
    SetChecks(Globals().HeadList, [](const TZMTHead& e) { return e.Marked; });
    ui_.rebuildContactList();
    ui_.updateControls();
}

void TWorkflow::DeselectAll() {
    SetChecks(Globals().HeadList, [](const TZMTHead&) { return false; });
    ui_.rebuildContactList();
    ui_.updateControls();
}

void TWorkflow::SelectInverse() {
    SetChecks(Globals().HeadList, [](const TZMTHead& e) { return !e.Checked; });
    ui_.rebuildContactList();
    ui_.updateControls();
}

bool TWorkflow::ConfirmClearSelection() {
    return !AnyChecked() || ui_.confirm(QString::fromLatin1(LangText::ClearSelection));
}

void TWorkflow::loadContact(const TZMTHead& e, TZMTMessList& src, TZMTMessList& dst,
                            TLoadMode dstMode) const {
    loadSource(e, src);
    dst.UIN = e.UIN;
    dst.ContactNick = e.Nick;
    if (!e.DstFile.isEmpty()) {
        dst.FileName = State.DstPath + kSep + e.DstFile;
        const TSettings& set = Setup();
        loadOrEmpty(dst, dstMode,
                    set.UseVaryonArchives && State.DstVaryon && State.DstArchiveExists);
    }
}

void TWorkflow::loadSource(const TZMTHead& e, TZMTMessList& src) const {
    const TSettings& set = Setup();
    src.UIN = e.UIN;
    src.ContactNick = e.Nick;
    src.FileName = State.SrcPath + kSep + e.SrcFile;
    loadOrEmpty(src, LoadPlain, set.UseVaryonArchives && State.SrcVaryon && State.SrcArchiveExists);
}

// A file that cannot be read counts as an empty history for the list tools.
void TWorkflow::loadOrEmpty(TZMTMessList& list, TLoadMode mode, bool archives) {
    try {
        LoadHistory(list, mode, archives);
    } catch (const Exception&) {
        list.Clear();
        list.Valid = false;
    }
}

// The frame of the spam finder and the full-text search: every valid contact is
// unchecked, then checked by the rule; the list is rebuilt on every way out.
void TWorkflow::checkEachContact(const std::function<bool(const TZMTHead&)>& rule) {
    TBusyCursor busy(ui_);
    TRunningGuard running(commandRunning_);
    TFinally closing([this] {
        ui_.rebuildContactList();
        ui_.updateControls();
        ShowProgress(QString());
    });
    for (TZMTHead& e : Globals().HeadList.Items) {
        if (!e.Valid) {
            continue;
        }
        e.Checked = false;
        ShowProgress(Q(e.Nick));
        e.Checked = rule(e);
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
    const TSettings& set = Setup();
    checkEachContact([&](const TZMTHead& e) {
        TZMTMessList src;
        TZMTMessList dst;
        loadContact(e, src, dst, LoadPlain);
        TZMTMessList result;
        MergeHistories(src, dst, result);
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
    StopMonitor();
    const TZMTHeadList& heads = Globals().HeadList;
    int deleted = 0;
    for (const int index : checkedLines) {
        if (index < 0 || index >= heads.Count()) {
            continue;
        }
        const TZMTHead& e = heads[index];
        const QString path = State.SrcPath + kSep + e.SrcFile;
        if (Setup().BackupToRecycleBin && QFileInfo::exists(path)) {
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
        removed.push_back(index);
    }
    ui_.beep();
    StartMonitor();
    ui_.information(Format(LangText::FilesDeleted, deleted));
    return removed;
}

} // namespace vimosync
