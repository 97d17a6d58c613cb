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
        ui_.information(QString::fromLatin1(LangText::SameDirectory));
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
    bool dstVaryon = false;
    bool anyV1 = false;
    for (const QFileInfo& fi : ListEntries(st.DstPath, QStringLiteral("*.zmt"), QDir::Files)) {
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
            dstVaryon = true;
            break;
        }
        anyV1 = true;
    }
    State.DstVaryon =
        dstVaryon || (!anyV1 && st.DstArchiveExists) || (anyV1 && set.CreateArchivesFolder);
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

    // Per-contact load and merge, several contacts at once: each keeps only its counts
    // and its log lines, which are applied and written in the order of the list.
    ui_.rebuildContactList();
    struct TOutcome {
        int SrcCount = 0;
        int DiffCount = 0;
        int Version = 0;
        bool HasDiff = false;
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
    int unnamed = 0;
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
                auto it = std::find_if(versionCounts.begin(), versionCounts.end(),
                                       [&o](const auto& p) { return p.first == o.Version; });
                if (it == versionCounts.end()) {
                    versionCounts.emplace_back(o.Version, 1);
                } else {
                    ++it->second;
                }
            }
            e.DiffCount = o.DiffCount;
            marked = o.HasDiff;
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
    int best = 0;
    int bestCount = 0;
    for (const auto& [version, count] : versionCounts) {
        if (count > bestCount) {
            best = version;
            bestCount = count;
        }
    }
    DefaultFileVersion = static_cast<std::uint8_t>(std::clamp(best, 0, 3));
    if (unnamed > 0) {
        AskFileVersion();
        WriteLog(Format(LangText::UnnamedFiles, FormatLabel(DefaultFileVersion)));
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

} // namespace vimosync
