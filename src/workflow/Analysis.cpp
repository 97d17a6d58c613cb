// The analysis: the listing of both directories, the pairing of the files by UIN and
// the merge of every contact, several contacts at once.

#include "workflow/Workflow.h"

#include "history/History.h"
#include "history/TimeStamp.h"
#include "support/Errors.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "workflow/Commands.h"
#include "workflow/Folders.h"
#include "workflow/Parallel.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <set>
#include <utility>

namespace vimosync {

using detail::FormatLabel;
using detail::kCrLf;
using detail::kSep;
using detail::Q;
using detail::TFinally;
using detail::TRunningGuard;

void TWorkflow::Analyse() {
    if (IsBusy()) {
        return;
    }
    ResetAll();
    if (!CheckDirectories()) {
        return;
    }
    ui_.updateControls();
    if (SameDirectory(State.SrcPath, State.DstPath)) {
        ui_.beep();
        ui_.information(Tr(LangText::SameDirectory));
        return;
    }
    HeadList.Clear();
    unreadable_.clear();
    RefreshOptions();
    ui_.pathsUsed(State.SrcPath, State.DstPath);
    {
        TBusyCursor busy(ui_);
        TRunningGuard running(commandRunning_);
        // The last "nick n of m" does not stay in the status bar once the work is over.
        TFinally cleared([this] {
            ShowProgress(QString());
            ui_.showCount(0, 0);
        });
        cancel_ = false;
        cancelled_ = false;
        analyseInner();
    }
    reportUnreadable();
    reportPendingNotice();
}

// Files that exist but could not be read would otherwise look missing or empty: the
// user is told which and why (the log has them all).
void TWorkflow::reportUnreadable() {
    unreadable_.removeDuplicates();
    if (unreadable_.isEmpty()) {
        return;
    }
    constexpr qsizetype kShown = 10;
    QStringList lines = unreadable_.mid(0, kShown);
    if (unreadable_.size() > kShown) {
        lines << Format(LangText::MoreNotRead, static_cast<int>(unreadable_.size() - kShown));
    }
    ui_.warning(Format(LangText::FilesNotRead, lines.join(kCrLf)));
}

bool TWorkflow::analyseInner() {
    const TWorkflowOptions& set = Options;
    const TReadOptions read = ReadOptions();
    TZMTHeadList& heads = HeadList;
    const TWorkflowState& st = State;

    StartMonitor();
    WriteLog(QString::fromLatin1(LangText::StartAnalyse) +
             QString::fromLatin1(LangText::LogFrameEnd));
    WriteLog(QString::fromLatin1(LangText::SrcPathLog) + QString::fromLatin1(LangText::LogEquals) +
             st.SrcPath);
    WriteLog(QString::fromLatin1(LangText::DstPathLog) + QString::fromLatin1(LangText::LogEquals) +
             st.DstPath);

    State.BothWays = set.BothWays;
    if (set.BothWays) {
        WriteLog(QString::fromLatin1(LangText::BothWaysLog));
    }
    // Source listing: the binary histories, or the plain-text ones when there are none.
    // Both ways, every history of the source is a contact's, as it is of the destination.
    QFileInfoList src = ListEntries(st.SrcPath, QStringLiteral("*.zmt"), QDir::Files | QDir::Dirs);
    if (src.isEmpty() || set.BothWays) {
        if (src.isEmpty()) {
            WriteLog(QString::fromLatin1(LangText::NoZmtFound));
        }
        src += ListEntries(st.SrcPath, QStringLiteral("*.txt"), QDir::Files | QDir::Dirs);
        if (src.isEmpty()) {
            WriteLog(QString::fromLatin1(LangText::NoTxtFound));
            if (!set.BothWays) {
                return false;
            }
        }
    }
    // A history whose name cannot be spelt back to open it: shown as a line without a
    // check box, so that it is not silently missing.
    QStringList srcExtensions;
    for (const QFileInfo& fi : src) {
        const QString extension = QStringLiteral(".") + fi.suffix().toLower();
        if (!srcExtensions.contains(extension)) {
            srcExtensions << extension;
        }
    }
    for (const QString& srcExtension : srcExtensions) {
        for (const QString& bad : NamesNotUtf8(st.SrcPath, srcExtension)) {
            WriteLog(Format(LangText::NameNotUtf8, st.SrcPath + kSep + bad));
            NewEntry(heads).SrcFile = bad;
        }
    }
    // The headers (the whole file of a plain-text history) are read side by side, and
    // entered and logged in the order of the names.
    {
        struct THeader {
            QString Name;
            bool Regular = false; // a regular file, or a link to one
            bool Special = false;
            TZMTHead Entry;
            QStringList Log;
            QString Unread;
        };
        std::vector<THeader> found;
        for (const QFileInfo& fi : src) {
            if (!fi.isDir()) {
                found.push_back({fi.fileName(), fi.isFile(), false, {}, {}, {}});
            }
        }
        RunInParallel(
            static_cast<int>(found.size()), jobsFor(static_cast<int>(found.size())),
            [&](int i) {
                THeader& h = found[static_cast<std::size_t>(i)];
                TLogCollector log;
                const QString path = st.SrcPath + kSep + h.Name;
                if (!h.Regular) {
                    // A FIFO or a device would block the read or never end.
                    h.Special = true;
                    WriteLog(Format(LangText::SpecialFileSkipped, path));
                } else {
                    try {
                        ReadEntryHeader(h.Entry, path, read);
                    } catch (const Exception& ex) {
                        h.Entry.Valid = false;
                        h.Entry.SrcFile = h.Name;
                        WriteLog(ex.message());
                        if (QLatin1String(ex.className()) == QLatin1String("EFileError")) {
                            h.Unread = ex.message();
                        }
                    }
                    WriteLog(Format(LangText::ReadSrc, h.Entry.SrcFile, h.Entry.UIN));
                }
                h.Log = log.Take();
            },
            [this](int) { ui_.processEvents(); });
        for (THeader& h : found) {
            WriteLogLines(h.Log);
            if (!h.Unread.isEmpty()) {
                unreadable_ << h.Unread;
            }
            if (!h.Special) {
                heads.Items.push_back(std::move(h.Entry));
            }
        }
    }

    // Varyon modes and archive folders.
    State.SrcVaryon = std::any_of(heads.Items.begin(), heads.Items.end(), [](const TZMTHead& e) {
        return e.Valid && (e.Version == 2 || e.Version == 3);
    });
    State.SrcArchiveExists = QFileInfo(st.SrcPath + kSep + read.ArchiveFolderName).isDir();
    State.DstArchiveExists = QFileInfo(st.DstPath + kSep + read.ArchiveFolderName).isDir();
    // Any readable Varyon history makes the destination Varyon, whatever the order of
    // the names: a handheld history that the last run created, and that sorts first,
    // must not turn a Varyon destination into one whose archives are passed over.
    const auto writtenVaryon = [&](const QString& folder, bool archiveExists) {
        bool varyon = false;
        bool anyV1 = false;
        for (const QFileInfo& fi : ListEntries(folder, QStringLiteral("*.zmt"), QDir::Files)) {
            if (!fi.isFile()) {
                continue;
            }
            TZMTHead scratch;
            try {
                ReadEntryHeader(scratch, fi.absoluteFilePath(), read);
            } catch (const Exception& ex) {
                WriteLog(ex.message());
                unreadable_ << ex.message();
                continue;
            }
            if (!scratch.Valid) {
                continue;
            }
            if (scratch.Version == 2 || scratch.Version == 3) {
                varyon = true;
                break;
            }
            anyV1 = true;
        }
        return varyon || (!anyV1 && archiveExists) || (anyV1 && set.CreateArchivesFolder);
    };
    State.DstVaryon = writtenVaryon(st.DstPath, st.DstArchiveExists);
    // Both ways the source is written too, and takes the rules of a destination for the
    // versions of its new files; its archive folder is used where it has one.
    State.SrcWriteVaryon =
        set.BothWays && (st.SrcVaryon || writtenVaryon(st.SrcPath, st.SrcArchiveExists));
    WriteLog(Format(LangText::VaryonMode, int(st.SrcVaryon), int(st.DstVaryon)));

    if (st.DstVaryon && !st.DstArchiveExists && set.CreateArchivesFolder) {
        const QString folder = st.DstPath + kSep + read.ArchiveFolderName;
        ui_.processEvents(); // a notice of a change before this point is kept
        StopMonitor();
        WriteLog(Format(LangText::CreatingArchiveFolder, folder));
        if (!DryRun) {
            QDir().mkpath(folder); // a failure shows as a missing folder below
            State.DstArchiveExists = QFileInfo(folder).isDir();
            if (State.DstArchiveExists) {
                ArchiveFolderMade = folder;
            }
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
    if (set.BothWays) {
        addDestinationOnly(dstEntries);
    }

    // Per-contact load and merge, several contacts at once: each keeps only its counts
    // and its log lines, which are applied and written in the order of the list.
    ui_.rebuildContactList();
    struct TOutcome {
        int SrcCount = 0;
        int DiffCount = 0;
        int Version = 0;
        bool HasDiff = false;
        int BackDiffCount = 0;
        int BackVersion = -1; // the source file's version as the way back writes it
        bool BackHasDiff = false;
        std::string DstNick;
        QStringList Log;
        QStringList Unread;
    };
    const std::vector<TZMTHead> entries = heads.Items; // the workers' own copy
    std::vector<TOutcome> outcomes(entries.size());
    const int total = static_cast<int>(entries.size());
    std::atomic<int> lastDone{-1}; // the contact the progress names

    RunInParallel(
        total, jobsFor(total),
        [&](int i) {
            const TZMTHead& e = entries[static_cast<std::size_t>(i)];
            if (!e.Valid) {
                return;
            }
            TOutcome& o = outcomes[static_cast<std::size_t>(i)];
            TLogCollector log;
            TContactMerge m;
            try {
                mergeContact(e, e.DstFile, LoadContactNick, m);
            } catch (const Exception& ex) {
                m.Skip = Format(LangText::ContactFailed, e.UIN, ex.message());
                if (QLatin1String(ex.className()) == QLatin1String("EFileError")) {
                    o.Unread << ex.message();
                }
            }
            for (const TZMTMessList* side : {&m.Source, &m.Destination}) {
                if (!side->ReadError.isEmpty() && !o.Unread.contains(side->ReadError)) {
                    o.Unread << side->ReadError;
                }
            }
            if (!m.Skip.isEmpty()) {
                WriteLog(m.Skip);
            }
            o.SrcCount = m.Source.Count();
            o.DiffCount = m.Result.DiffCount;
            o.Version = m.Result.Version;
            o.HasDiff = m.Result.HasDiff;
            o.DstNick = m.Destination.ContactNick;
            WriteLog(Format(LangText::UinParsed, e.UIN, m.Source.Count(), m.Destination.Count(),
                            m.Result.Count(), m.Result.DiffCount, int(m.Result.HasDiff)));
            if (st.BothWays && !e.DstFile.isEmpty()) {
                // The way back: what the source lacks of the destination's messages.
                const TZMTHead r = Reversed(e);
                TContactMerge b;
                try {
                    mergeContact(r, r.DstFile, LoadContactNick, b, true);
                } catch (const Exception& ex) {
                    b.Skip = Format(LangText::ContactFailed, e.UIN, ex.message());
                    if (QLatin1String(ex.className()) == QLatin1String("EFileError") &&
                        !o.Unread.contains(ex.message())) {
                        o.Unread << ex.message();
                    }
                }
                if (!b.Skip.isEmpty() && b.Skip != m.Skip) {
                    WriteLog(b.Skip);
                }
                o.BackDiffCount = b.Result.DiffCount;
                o.BackHasDiff = b.Result.HasDiff;
                if (!b.Created) {
                    o.BackVersion = b.Result.Version;
                }
                if (o.DstNick.empty()) {
                    o.DstNick = b.Source.ContactNick;
                }
                WriteLog(Format(LangText::UinParsedBack, e.UIN, b.Source.Count(),
                                b.Destination.Count(), b.Result.Count(), b.Result.DiffCount,
                                int(b.Result.HasDiff)));
            }
            o.Log = log.Take();
            lastDone = i;
        },
        [&](int done) {
            // The nick of a contact just done and the number done so far.
            const int last = lastDone.load();
            if (last >= 0) {
                ShowProgress(Q(entries[static_cast<std::size_t>(last)].Nick) + QLatin1Char(' ') +
                             Format(LangText::ProgressOf, done, total));
            }
            ui_.showCount(done, total);
            ui_.processEvents();
        },
        &cancel_);
    if (cancel_) {
        // A cancelled analysis leaves nothing half-analysed behind: the list goes.
        cancelled_ = true;
        WriteLog(QString::fromLatin1(LangText::AnalyseCancelled));
        heads.Clear();
        ui_.rebuildContactList();
        return false;
    }
    std::vector<std::pair<int, int>> versionCounts; // version -> count, first met first
    std::vector<std::pair<int, int>> backCounts;    // the same for the source, both ways
    const auto count = [](std::vector<std::pair<int, int>>& counts, int version) {
        auto it = std::find_if(counts.begin(), counts.end(),
                               [version](const auto& p) { return p.first == version; });
        if (it == counts.end()) {
            counts.emplace_back(version, 1);
        } else {
            ++it->second;
        }
    };
    int unnamed = 0;
    int unnamedBack = 0;
    for (int i = 0; i < heads.Count() && i < total; ++i) {
        TZMTHead& e = heads[i];
        const TOutcome& o = outcomes[static_cast<std::size_t>(i)];
        bool marked = true;
        if (e.Valid) {
            WriteLogLines(o.Log);
            unreadable_ << o.Unread;
            if (e.Nick.empty() && !o.DstNick.empty()) {
                e.Nick = o.DstNick;
            }
            if (e.DstFile.isEmpty()) {
                ++unnamed;
            } else {
                count(versionCounts, o.Version);
            }
            if (st.BothWays && e.SrcFile.isEmpty()) {
                ++unnamedBack;
            } else if (o.BackVersion >= 0) {
                count(backCounts, o.BackVersion);
            }
            e.DiffCount = o.DiffCount;
            e.HasDiff = o.HasDiff;
            e.BackDiffCount = o.BackDiffCount;
            e.BackHasDiff = o.BackHasDiff;
            marked = o.HasDiff || o.BackHasDiff;
        }
        e.Marked = marked;
        e.SrcCount = o.SrcCount;
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
    const auto mostFrequent = [](const std::vector<std::pair<int, int>>& counts, int none) {
        int best = none;
        int bestCount = 0;
        for (const auto& [version, n] : counts) {
            if (n > bestCount) {
                best = version;
                bestCount = n;
            }
        }
        return static_cast<std::uint8_t>(std::clamp(best, 0, 3));
    };
    DefaultFileVersion = mostFrequent(versionCounts, 0);
    if (unnamed > 0) {
        AskFileVersion();
        WriteLog(Format(LangText::UnnamedFiles, FormatLabel(DefaultFileVersion)));
    }
    // The source's own, and the destination's where the source has no history yet.
    BackFileVersion = mostFrequent(backCounts, DefaultFileVersion);
    if (unnamedBack > 0) {
        AskBackFileVersion();
        WriteLog(Format(LangText::UnnamedSourceFiles, FormatLabel(BackFileVersion)));
    }
    WriteLog(Format(LangText::CurrentPdaTimeOffset, FormatOffset(-set.Read.PdaOffset)));

    // Own nick from the plain-text histories, in display order.
    if (!st.NickEdited) {
        const std::string previous = OwnNick;
        for (const TContactLine& line : ContactList().Lines) {
            if (OwnNick != previous) {
                break;
            }
            const TZMTHead& e = heads[line.Index];
            if (!e.Valid) {
                continue;
            }
            for (const QString& path :
                 {e.SrcFile.isEmpty() ? QString() : st.SrcPath + kSep + e.SrcFile,
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
                    LoadHistory(scratch, LoadOwnNick, false, read);
                } catch (const Exception&) {
                    continue; // named when the contact was merged
                }
                if (!scratch.OwnNick.empty()) {
                    OwnNick = scratch.OwnNick;
                }
                if (OwnNick != previous) {
                    break;
                }
            }
        }
        if (OwnNick != previous) {
            WriteLog(Format(LangText::AutoFindNick, OwnNick));
        } else {
            WriteLog(QString::fromLatin1(LangText::AutoFindNickFailed) + QLatin1Char(' ') +
                     Format(LangText::CurrentNick, OwnNick));
        }
    }
    ui_.updateControls();
    WriteLog(QString::fromLatin1(LangText::AnalyseFinished) +
             QString::fromLatin1(LangText::LogFrameEnd));
    return true;
}

void TWorkflow::addDestinationOnly(const QFileInfoList& dstEntries) {
    const TReadOptions read = ReadOptions();
    QStringList paired;
    std::set<std::string> uins;
    for (const TZMTHead& e : HeadList.Items) {
        if (!e.DstFile.isEmpty()) {
            paired << e.DstFile;
        }
        if (e.Valid) {
            uins.insert(e.UIN);
        }
    }
    for (const QFileInfo& fi : dstEntries) {
        const QString name = fi.fileName();
        if (paired.contains(name) || !IsHistoryName(name)) {
            continue;
        }
        const QString path = State.DstPath + kSep + name;
        if (!fi.isFile()) {
            WriteLog(Format(LangText::SpecialFileSkipped, path));
            continue;
        }
        TZMTHead h;
        try {
            ReadEntryHeader(h, path, read);
        } catch (const Exception& ex) {
            WriteLog(ex.message());
            if (QLatin1String(ex.className()) == QLatin1String("EFileError")) {
                unreadable_ << ex.message();
            }
            continue;
        }
        if (!h.Valid || !uins.insert(h.UIN).second) {
            continue; // the contact is listed already, with the file its pairing found
        }
        WriteLog(Format(LangText::DstOnlyEntry, name, h.UIN));
        h.DstFile = name;
        h.SrcFile.clear();
        HeadList.Items.push_back(std::move(h));
    }
}

} // namespace vimosync
