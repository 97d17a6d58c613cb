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
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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

// A UIN goes into a file name only when it is a plain name: no separator, not "." or
// "..", no control character; anything else could name a file outside the folder.
bool IsPlainName(const std::string& uin) {
    if (uin.empty() || uin == "." || uin == "..") {
        return false;
    }
    return std::none_of(uin.begin(), uin.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || u < 32 || u == 127;
    });
}

// True when the path names an entry directly in the folder or in its archive folder.
bool InsideFolder(const QString& path, const QString& folder, const QString& archiveFolderName) {
    const QFileInfo fi(path);
    const QString name = fi.fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        return false;
    }
    const QString parent = QDir::cleanPath(fi.absolutePath());
    const QString base = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return parent == base || parent == QDir::cleanPath(base + kSep + archiveFolderName);
}

// The version a history file of this name is written in when its own content does not
// tell (an empty or missing file): plain text for a text name, else the fallback when
// it is a binary version.
int VersionForName(const QString& path, int fallback, bool varyon) {
    if (!IsBinaryPath(path)) {
        return 0;
    }
    if (fallback >= 1 && fallback <= 3) {
        return fallback;
    }
    return varyon ? 2 : 1;
}

// The names in the folder that are not valid UTF-8 and end in the extension (ignoring
// case), decoded with replacement characters. The folder listing leaves such names out,
// since it could not spell them back, so they are read here directly.
QStringList NamesNotUtf8(const QString& folder, const QString& extension) {
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        return names;
    }
    while (const dirent* d = ::readdir(dir)) {
        const QByteArray raw(d->d_name);
        const QString decoded = QString::fromUtf8(raw);
        if (decoded.toUtf8() != raw &&
            (extension.isEmpty() || decoded.endsWith(extension, Qt::CaseInsensitive))) {
            names << decoded;
        }
    }
    ::closedir(dir);
    names.sort();
    return names;
}

// A name with an extension of the history files.
bool IsHistoryName(const QString& name) {
    return IsBinaryPath(name) || name.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive);
}

// A regular file, or a symbolic link to one.
bool IsRegularFile(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// Something other than a regular file (or a link to one) stands at the path: a folder,
// a FIFO, a device or a socket.
bool IsSpecialEntry(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode);
}

// A folder on a file system that is full or mounted read-only.
bool DestinationUnwritable(const QString& folder) {
    struct statvfs fs;
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0) {
        return true;
    }
    return (fs.f_flag & ST_RDONLY) != 0 || fs.f_bavail == 0;
}

} // namespace

// The destination history of a contact among the names of the destination folder:
// between two Varyon directories the source file's own name first, then, and
// otherwise, the search masks in order. Empty when the contact has none.
QString FindDestinationFile(const TZMTHead& e, const QStringList& dstNames, bool bothVaryon) {
    const QString uin = Q(e.UIN);
    if (bothVaryon) {
        const QStringList exact{e.SrcFile};
        const auto it = std::find_if(dstNames.begin(), dstNames.end(),
                                     [&](const QString& n) { return WildMatch(n, exact); });
        if (it != dstNames.end()) {
            WriteLog(Format(LangText::DstFileLog, e.SrcFile) +
                     QString::fromLatin1(LangText::DstFileOk));
            return *it;
        }
    }
    if (IsPlainName(e.UIN)) {
        for (int m = 0; m < kFormatVersionCount; ++m) {
            const char* mask = SearchMasks[static_cast<std::size_t>(m)];
            const QStringList parts = MaskParts(mask, uin);
            const bool lastMask = m == kFormatVersionCount - 1;
            for (const QString& n : dstNames) {
                if (WildMatch(n, parts) && !(lastMask && DigitBeforeUin(n, uin))) {
                    WriteLog(Format(LangText::DstFileLog, FormatMask(mask, uin)) +
                             QString::fromLatin1(LangText::DstFileOk));
                    return n;
                }
            }
        }
    }
    WriteLog(Format(LangText::DstFileLog, e.UIN) + QString::fromLatin1(LangText::DstFileNotFound));
    return {};
}

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
    {
        TBusyCursor busy(ui_);
        TRunningGuard running(commandRunning_);
        analyseInner();
    }
    reportPendingNotice();
}

void TWorkflow::reportPendingNotice() {
    if (pendingNotice_ >= 0) {
        const int index = pendingNotice_;
        pendingNotice_ = -1;
        DirChanged(index);
    }
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
    // A history whose name cannot be spelt back to open it: shown as a line without a
    // check box, so that it is not silently missing.
    const QString srcExtension =
        QStringLiteral(".") + QFileInfo(src.first().fileName()).suffix().toLower();
    for (const QString& bad : NamesNotUtf8(st.SrcPath, srcExtension)) {
        WriteLog(Format(LangText::NameNotUtf8, st.SrcPath + kSep + bad));
        NewEntry(heads).SrcFile = bad;
    }
    for (const QFileInfo& fi : src) {
        if (fi.isDir()) {
            continue;
        }
        const QString path = st.SrcPath + kSep + fi.fileName();
        if (!IsRegularFile(path)) {
            // A FIFO or a device would block the read or never end.
            WriteLog(Format(LangText::SpecialFileSkipped, path));
            continue;
        }
        TZMTHead& e = NewEntry(heads);
        try {
            ReadEntryHeader(e, path);
        } catch (const Exception& ex) {
            e.Valid = false;
            e.SrcFile = fi.fileName();
            WriteLog(ex.message());
        }
        WriteLog(Format(LangText::ReadSrc, e.SrcFile, e.UIN));
    }

    // Varyon modes and archive folders.
    State.SrcVaryon = std::any_of(heads.Items.begin(), heads.Items.end(), [](const TZMTHead& e) {
        return e.Valid && (e.Version == 2 || e.Version == 3);
    });
    State.SrcArchiveExists = QFileInfo(st.SrcPath + kSep + set.ArchiveFolderName).isDir();
    State.DstArchiveExists = QFileInfo(st.DstPath + kSep + set.ArchiveFolderName).isDir();
    // Any readable Varyon history makes the destination Varyon, whatever the order of
    // the names: a handheld history that the last run created, and that sorts first,
    // must not turn a Varyon destination into one whose archives are passed over.
    bool dstVaryon = false;
    bool anyV1 = false;
    for (const QFileInfo& fi : ListEntries(st.DstPath, QStringLiteral("*.zmt"), QDir::Files)) {
        if (!IsRegularFile(fi.absoluteFilePath())) {
            continue;
        }
        TZMTHead scratch;
        ReadEntryHeader(scratch, fi.absoluteFilePath());
        if (!scratch.Valid) {
            continue;
        }
        if (scratch.Version == 2 || scratch.Version == 3) {
            dstVaryon = true;
            break;
        }
        anyV1 = true;
    }
    State.DstVaryon =
        dstVaryon || (!anyV1 && st.DstArchiveExists) || (anyV1 && set.CreateArchivesFolder);
    WriteLog(Format(LangText::VaryonMode, int(st.SrcVaryon), int(st.DstVaryon)));

    if (st.DstVaryon && !st.DstArchiveExists && set.CreateArchivesFolder) {
        const QString folder = st.DstPath + kSep + set.ArchiveFolderName;
        ui_.processEvents(); // a notice of a change before this point is kept
        StopMonitor();
        WriteLog(Format(LangText::CreatingArchiveFolder, folder));
        if (!DryRun) {
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
    for (const QString& bad : NamesNotUtf8(st.DstPath, QString())) {
        WriteLog(Format(LangText::NameNotUtf8, st.DstPath + kSep + bad));
    }
    for (TZMTHead& e : heads.Items) {
        if (!e.Valid) {
            continue;
        }
        e.DstFile = FindDestinationFile(e, dstNames, st.SrcVaryon && st.DstVaryon);
    }

    // Per-contact load and merge, one contact's histories at a time.
    ui_.rebuildContactList();
    std::vector<std::pair<int, int>> versionCounts; // version -> count, first met first
    int unnamed = 0;
    for (int i = 0; i < heads.Count(); ++i) {
        TZMTHead& e = heads[i];
        bool marked = true;
        int srcCount = 0;
        if (e.Valid) {
            ShowProgress(Q(e.Nick) + QLatin1Char(' ') +
                         Format(LangText::ProgressOf, i + 1, heads.Count()));
            TContactMerge m;
            try {
                mergeContact(e, e.DstFile, LoadContactNick, m);
            } catch (const Exception& ex) {
                m.Skip = Format(LangText::ContactFailed, e.UIN, ex.message());
            }
            if (!m.Skip.isEmpty()) {
                WriteLog(m.Skip);
            }
            const TZMTMessList& source = m.Source;
            const TZMTMessList& dest = m.Destination;
            const TZMTMessList& result = m.Result;
            srcCount = source.Count();
            if (e.Nick.empty() && !dest.ContactNick.empty()) {
                e.Nick = dest.ContactNick;
            }
            if (e.DstFile.isEmpty()) {
                ++unnamed;
            } else {
                const int v = result.Version;
                auto it = std::find_if(versionCounts.begin(), versionCounts.end(),
                                       [v](const auto& p) { return p.first == v; });
                if (it == versionCounts.end()) {
                    versionCounts.emplace_back(v, 1);
                } else {
                    ++it->second;
                }
            }
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
                if (!IsRegularFile(path)) {
                    continue;
                }
                TZMTMessList scratch;
                scratch.FileName = path;
                try {
                    LoadHistory(scratch, LoadOwnNick, false);
                } catch (const Exception&) {
                    continue; // named when the contact was merged
                }
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

void TWorkflow::mergeContact(const TZMTHead& e, const QString& dstFile, TLoadMode dstMode,
                             TContactMerge& m) const {
    const TSettings& set = Setup();
    const TWorkflowState& st = State;
    const bool srcArchives = set.UseVaryonArchives && st.SrcVaryon && st.SrcArchiveExists;
    const bool varyonArchives = set.UseVaryonArchives && st.DstVaryon && st.DstArchiveExists;
    const auto skip = [&m](const QString& why) {
        if (m.Skip.isEmpty()) {
            m.Skip = why;
        }
    };

    m.Source.UIN = e.UIN;
    m.Source.ContactNick = e.Nick;
    m.Source.FileName = st.SrcPath + kSep + e.SrcFile;
    LoadHistory(m.Source, LoadPlain, srcArchives);
    if (m.Source.Damaged) {
        skip(Format(LangText::SrcDamaged, e.SrcFile, e.UIN, m.Source.Problem));
    }

    m.Created = dstFile.isEmpty();
    const QString newName = m.Created ? NewDestinationName(e) : QString();
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
         IsBinaryPath(m.Destination.FileName) && HasArchiveFiles(m.Destination.FileName));
    m.Archives = dstArchives;
    if (!m.Destination.FileName.isEmpty() && IsSpecialEntry(m.Destination.FileName)) {
        // Nothing is read from or written over a FIFO, a device or a folder.
        skip(
            Format(LangText::SpecialFileSkipped, QDir::toNativeSeparators(m.Destination.FileName)));
        m.Destination.FileName.clear();
    }
    LoadHistory(m.Destination, dstMode, dstArchives);

    TZMTMessList& r = m.Result;
    r.UIN = e.UIN;
    r.ContactNick = e.Nick;
    if (!m.Created) {
        r.FileName = m.Destination.FileName;
        // A file that holds nothing yet (empty, or gone since the analysis) is written in
        // the format its name says, not in the version of an empty list.
        r.Version = static_cast<std::uint8_t>(VersionForName(
            r.FileName, m.Destination.Valid ? m.Destination.Version : Globals().DefaultFileVersion,
            st.DstVaryon));
    } else {
        r.FileName = newName;
        const int v =
            (st.SrcVaryon && st.DstVaryon) ? m.Source.Version : Globals().DefaultFileVersion;
        r.Version = static_cast<std::uint8_t>(VersionForName(r.FileName, v, st.DstVaryon));
        if (!IsPlainName(e.UIN) && !(st.SrcVaryon && st.DstVaryon)) {
            skip(Format(LangText::UinNotPlain, e.UIN));
        }
    }
    r.Scrambled = (r.Version == 2 || r.Version == 3) ? 1 : 0;
    if (IsSpecialEntry(r.FileName)) {
        skip(Format(LangText::SpecialFileSkipped, QDir::toNativeSeparators(r.FileName)));
    }
    if (!InsideFolder(r.FileName, st.DstPath, set.ArchiveFolderName)) {
        skip(Format(LangText::OutsideDestination, QDir::toNativeSeparators(r.FileName), e.UIN));
    }

    // Saved only while the destination is still as it was read (or still absent).
    r.Identity =
        m.Destination.FileName == r.FileName ? m.Destination.Identity : IdentityOf(r.FileName);
    r.CheckIdentity = true;
    MergeHistories(m.Source, m.Destination, r);

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
    QStringList skippedLines;
    LastSyncSkipped = 0;

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

        if (!DryRun) {
            // What an earlier run that was killed while saving left beside the histories.
            TidyInterruptedSaves(st.DstPath);
            TidyInterruptedSaves(st.DstPath + kSep + set.ArchiveFolderName);
        }
        // The destination as it is now: a contact without a destination file in the
        // analysis may have one by now (written for another source file of the same UIN
        // earlier in this run, or since the analysis), and is merged with it then.
        QStringList dstNames;
        for (const QFileInfo& fi : ListEntries(st.DstPath, QStringLiteral("*"), QDir::Files)) {
            dstNames.append(fi.fileName());
        }
        for (const QString& bad : NamesNotUtf8(st.DstPath, QString())) {
            // It may be a contact's history that cannot be opened by its name: said, and
            // counted, since a new history may be made beside it.
            if (IsHistoryName(bad)) {
                skippedLines.append(Format(LangText::NameNotUtf8, st.DstPath + kSep + bad));
                WriteLog(skippedLines.last());
                ++skipped;
            }
        }
        for (const TZMTHead& e : heads.Items) {
            if (!e.Checked || !e.Valid) {
                continue;
            }
            TSyncItem item;
            item.UIN = e.UIN;
            item.Nick = e.Nick;
            ShowProgress(QString::fromLatin1(LangText::Synchronizing) + QLatin1Char(' ') +
                         Q(e.Nick));
            const QString dstFile =
                !e.DstFile.isEmpty()
                    ? e.DstFile
                    : FindDestinationFile(e, dstNames, st.SrcVaryon && st.DstVaryon);
            TContactMerge m;
            try {
                mergeContact(e, dstFile, LoadPlain, m);
            } catch (const Exception& ex) {
                m.Skip = Format(LangText::ContactFailed, e.UIN, ex.message());
            }
            const TZMTMessList& result = m.Result;
            WriteLog(Format(LangText::UinParsed, e.UIN, m.Source.Count(), m.Destination.Count(),
                            result.Count(), result.DiffCount, int(result.HasDiff)));
            item.Created = m.Created;
            item.FileName = result.FileName;
            item.Version = result.Version;
            item.Count = result.Count();
            item.DiffCount = result.DiffCount;
            item.Skipped = !m.Skip.isEmpty();
            item.Written = result.HasDiff && !item.Skipped;
            if (item.Written && !DryRun) {
                bool backup = false;
                try {
                    try {
                        SaveHistory(m.Result, backup, m.Archives && result.Version != 0);
                    } catch (const ChangedMeanwhile& changed) {
                        // Another program (the messenger) wrote the history while it was
                        // merged: merged again with what it holds now, once.
                        WriteLog(changed.message());
                        m = TContactMerge{};
                        mergeContact(e, dstFile, LoadPlain, m);
                        if (m.Skip.isEmpty() && m.Result.HasDiff) {
                            SaveHistory(m.Result, backup, m.Archives && m.Result.Version != 0);
                        }
                        item.Skipped = !m.Skip.isEmpty();
                        item.Written = !item.Skipped && m.Result.HasDiff;
                        item.Count = m.Result.Count();
                        item.DiffCount = m.Result.DiffCount;
                    }
                    if (backup) {
                        ++backedUp;
                    }
                } catch (const Exception& ex) {
                    // A destination that is full or read-only fails every contact alike:
                    // the run ends there. Anything else concerns this contact's files.
                    if (DestinationUnwritable(st.DstPath)) {
                        throw;
                    }
                    m.Skip = Format(LangText::ContactFailed, e.UIN, ex.message());
                    item.Skipped = true;
                    item.Written = false;
                }
            }
            if (item.Written) {
                ++(item.Created ? created : updated);
                const QString name = QFileInfo(result.FileName).fileName();
                if (!dstNames.contains(name)) {
                    dstNames.append(name);
                }
            }
            if (item.Skipped) {
                WriteLog(m.Skip);
                item.Reason = m.Skip;
                skippedLines.append(m.Skip);
                ++skipped;
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
    LastSyncSkipped = skipped;
    if (skipped > 0) {
        text += kCrLf + Format(LangText::SyncSkipped, skipped);
        constexpr int kShown = 20;
        for (int k = 0; k < skippedLines.size() && k < kShown; ++k) {
            text += kCrLf + Format(LangText::SyncSkippedLine, skippedLines[k]);
        }
        if (skippedLines.size() > kShown) {
            text += kCrLf + Format(LangText::SyncSkippedMore, int(skippedLines.size()) - kShown);
        }
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
    TFinally notice([this] { reportPendingNotice(); });
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
