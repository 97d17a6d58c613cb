// The synchronization: the merged histories of the checked contacts written into the
// destination, several contacts at once, with one report in the order of the list.

#include "workflow/Workflow.h"

#include "history/History.h"
#include "history/Journal.h"
#include "history/TimeStamp.h"
#include "support/Errors.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "workflow/Commands.h"
#include "workflow/Folders.h"
#include "workflow/Parallel.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <map>
#include <numeric>
#include <set>

namespace vimosync {

using detail::FormatLabel;
using detail::kCrLf;
using detail::kSep;
using detail::Q;
using detail::TFinally;
using detail::TRunningGuard;

namespace {

// What the synchronization did with one contact, kept until the report is made.
struct TSyncOutcome {
    TSyncItem Item;
    bool BackedUp = false;
    bool Forward = true; // the destination was merged (both ways only where it lacks some)
    // The way back into the source (a synchronization both ways).
    TSyncItem BackItem;
    bool BackRan = false;
    bool BackBackedUp = false;
    QStringList Log;
};

// The checked contacts in groups that may touch the same destination file: the source
// files of one UIN, and entries whose destination names (found or to be made) are one
// name ignoring case. A group is worked on by one thread in the order of the list, so
// that the second source file of a contact merges with what the first one wrote.
std::vector<std::vector<int>> DestinationGroups(const std::vector<int>& entries,
                                                const std::vector<QStringList>& keys) {
    std::vector<int> parent(entries.size());
    std::iota(parent.begin(), parent.end(), 0);
    const auto find = [&parent](int x) {
        while (parent[static_cast<std::size_t>(x)] != x) {
            x = parent[static_cast<std::size_t>(x)] =
                parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(x)])];
        }
        return x;
    };
    std::map<QString, int> owner;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (const QString& key : keys[i]) {
            const auto [it, fresh] = owner.emplace(key, static_cast<int>(i));
            if (!fresh) {
                const int a = find(it->second);
                const int b = find(static_cast<int>(i));
                parent[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
            }
        }
    }
    std::vector<std::vector<int>> groups;
    std::vector<int> groupOf(entries.size(), -1);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto root = static_cast<std::size_t>(find(static_cast<int>(i)));
        if (groupOf[root] < 0) {
            groupOf[root] = static_cast<int>(groups.size());
            groups.emplace_back();
        }
        groups[static_cast<std::size_t>(groupOf[root])].push_back(static_cast<int>(i));
    }
    return groups;
}

} // namespace

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
    RefreshOptions();
    const TWorkflowOptions& set = Options;
    const TWorkflowState& st = State;
    TZMTHeadList& heads = HeadList;
    int updated = 0;
    int created = 0;
    int updatedBack = 0;
    int createdBack = 0;
    int backedUp = 0;
    int skipped = 0;
    QList<TText> skippedLines;
    LastSyncSkipped = 0;

    const auto nickUnset = [this] { return OwnNick == LangText::NickUnset; };
    if (!st.NickEdited && nickUnset() && (!st.DstVaryon || (st.BothWays && !st.SrcWriteVaryon))) {
        ui_.beep();
        ui_.information(Tr(LangText::EnterNickFirst));
        EditNick();
        if (!st.NickEdited && nickUnset()) {
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
    if (st.BothWays && !st.BackVersionChosen &&
        std::any_of(heads.Items.begin(), heads.Items.end(), [](const TZMTHead& e) {
            return e.Checked && e.Valid && e.SrcFile.isEmpty();
        })) {
        if (!AskBackFileVersion()) {
            return false;
        }
    }
    // Shown in the question, and written to the log in English.
    const TText versionLine =
        Format(LangText::CurrentDefaultVersion, FormatLabel(DefaultFileVersion));
    const TText offsetLine =
        Format(LangText::CurrentPdaTimeOffset, FormatOffset(-set.Read.PdaOffset));
    const TText nickLine = Format(LangText::CurrentNick, OwnNick);
    const TText archivesLine =
        Format(set.UseVaryonArchives ? LangText::UseArchives : LangText::NoArchives);
    const QStringList question{Tr(LangText::ReallySync),
                               versionLine,
                               offsetLine,
                               Format(LangText::CurrentPdaDateOffset, set.Read.ZmtDateOffset),
                               nickLine,
                               Format(LangText::VaryonMode, int(st.SrcVaryon), int(st.DstVaryon)),
                               archivesLine};
    QStringList asked = question;
    if (st.BothWays) {
        asked.insert(1, Tr(LangText::SyncBothWaysLine));
        asked.insert(3, Format(LangText::CurrentBackVersion, FormatLabel(BackFileVersion)));
    }
    if (!set.Save.BackupToRecycleBin && !DryRun) {
        asked.append(Tr(LangText::SyncNoFullUndo));
    }
    if (!ui_.confirm(asked.join(kCrLf))) {
        return false;
    }
    // The journal must be writable before the first file changes: a run that could not
    // note its changes could not be undone. Said once, here, rather than by every contact.
    bool journalled = WriteJournal && !DryRun;
    if (journalled) {
        QString why;
        if (!CanWriteJournal(JournalFolder(), why)) {
            const QString problem = Format(LangText::SyncJournalUnwritable, why);
            WriteLog(problem);
            if (!AskWithoutJournal) {
                ui_.warning(problem + kCrLf + Tr(LangText::CliSyncNoJournal));
                return false;
            }
            if (!ui_.confirm(problem + kCrLf + kCrLf + Tr(LangText::SyncWithoutJournal))) {
                return false;
            }
            journalled = false;
        }
    }

    cancel_ = false;
    cancelled_ = false;
    int contactsDone = 0;
    int contactsTotal = 0;
    {
        TBusyCursor busy(ui_);
        TRunningGuard running(commandRunning_);
        TFinally counted([this] { ui_.showCount(0, 0); });
        StopMonitor();
        WriteLog(QString::fromLatin1(LangText::SyncStarted) +
                 QString::fromLatin1(LangText::LogFrameEnd));
        WriteLog(QString::fromLatin1(LangText::SyncParameters) + QLatin1Char(' ') + versionLine +
                 kCrLf + offsetLine + QStringLiteral("; ") + nickLine + kCrLf + archivesLine);

        // The journal of the run, from its first write on, for an undo of the whole run.
        TSyncJournal::Header header;
        header.Started = QDateTime::currentDateTime();
        header.Source = st.SrcPath;
        header.Destination = st.DstPath;
        header.Backup = set.Save.BackupToRecycleBin;
        header.BothWays = st.BothWays;
        header.Settings = JournalSettings();
        if (!ArchiveFolderMade.isEmpty()) {
            header.Folders.append(ArchiveFolderMade);
        }
        TSyncJournal journal(JournalFolder(), header);
        TSaveOptions save = set.Save;
        if (journalled) {
            save.Journal = &journal;
        } else if (!DryRun) {
            WriteLog(QString::fromLatin1(LangText::LogNoJournal));
        }

        const QString archiveFolder = Options.Read.ArchiveFolderName;
        if (!DryRun) {
            // What an earlier run that was killed while saving left beside the histories.
            TidyInterruptedSaves(st.DstPath);
            TidyInterruptedSaves(st.DstPath + kSep + archiveFolder);
            if (st.BothWays) {
                TidyInterruptedSaves(st.SrcPath);
                TidyInterruptedSaves(st.SrcPath + kSep + archiveFolder);
            }
        }
        // The destination as it is now: a contact without a destination file in the
        // analysis may have one by now (written for another source file of the same UIN
        // earlier in this run, or since the analysis), and is merged with it then.
        const auto listNames = [&](const QString& folder) {
            QStringList names;
            for (const QFileInfo& fi : ListEntries(folder, QStringLiteral("*"), QDir::Files)) {
                names.append(fi.fileName());
            }
            for (const QString& bad : NamesNotUtf8(folder, QString())) {
                // It may be a contact's history that cannot be opened by its name: said,
                // and counted, since a new history may be made beside it.
                if (IsHistoryName(bad)) {
                    skippedLines.append(Format(LangText::NameNotUtf8, folder + kSep + bad));
                    WriteLog(skippedLines.last());
                    ++skipped;
                }
            }
            return names;
        };
        const QStringList dstNames = listNames(st.DstPath);
        // Both ways the source is written too, and is seen the same way.
        const QStringList srcNames = st.BothWays ? listNames(st.SrcPath) : QStringList();

        // The workers read their own copy of the entries, so that nothing the window
        // does meanwhile changes what they work on.
        std::vector<TZMTHead> entries;
        std::vector<QStringList> keys;
        for (const TZMTHead& e : heads.Items) {
            if (e.Checked && e.Valid) {
                entries.push_back(e);
                QStringList k{QStringLiteral("uin:") + Q(e.UIN),
                              QFileInfo(NewDestinationName(e)).fileName().toCaseFolded()};
                if (!e.DstFile.isEmpty()) {
                    k.append(e.DstFile.toCaseFolded());
                }
                if (st.BothWays) {
                    // The source's names, apart from the destination's.
                    const QString back = QStringLiteral("src:");
                    k.append(
                        back +
                        QFileInfo(NewDestinationName(Reversed(e), true)).fileName().toCaseFolded());
                    if (!e.SrcFile.isEmpty()) {
                        k.append(back + e.SrcFile.toCaseFolded());
                    }
                }
                keys.push_back(k);
            }
        }
        std::vector<int> order(entries.size());
        std::iota(order.begin(), order.end(), 0);
        const std::vector<std::vector<int>> groups = DestinationGroups(order, keys);
        std::vector<TSyncOutcome> outcomes(entries.size());
        std::vector<char> ran(entries.size(), 0);

        // One direction of one contact: merged, and written where the side it goes to
        // lacks messages. back: from the destination into the source, with the entry as
        // that way sees it.
        const auto syncSide = [&](const TZMTHead& e, bool back, QStringList& names, TSyncItem& item,
                                  bool& backedUp) {
            const TSide sd = side(back);
            item.UIN = e.UIN;
            item.Nick = e.Nick;
            item.Back = back;
            const QString dstFile =
                !e.DstFile.isEmpty() ? e.DstFile
                                     : FindDestinationFile(e, names, sd.SrcVaryon && sd.DstVaryon);
            TContactMerge m;
            // A run with a journal notes the digest of each old content as it is read.
            const bool digests = save.Journal != nullptr;
            m.Destination.KeepDigests = digests;
            try {
                mergeContact(e, dstFile, LoadPlain, m, back);
            } catch (const Exception& ex) {
                m.Skip = Format(LangText::ContactFailed, e.UIN, ex.message());
            }
            const TZMTMessList& result = m.Result;
            WriteLog(Format(back ? LangText::UinParsedBack : LangText::UinParsed, e.UIN,
                            m.Source.Count(), m.Destination.Count(), result.Count(),
                            result.DiffCount, int(result.HasDiff)));
            item.Created = m.Created;
            item.FileName = result.FileName;
            item.Version = result.Version;
            item.Count = result.Count();
            item.DiffCount = result.DiffCount;
            item.Skipped = !m.Skip.isEmpty();
            item.Written = result.HasDiff && !item.Skipped;
            if (item.Written && !DryRun) {
                try {
                    try {
                        SaveHistory(m.Result, backedUp, m.Archives && result.Version != 0,
                                    ReadOptions(), save);
                    } catch (const ChangedMeanwhile& changed) {
                        // Another program (the messenger) wrote the history while it was
                        // merged: merged again with what it holds now, once.
                        WriteLog(changed.message());
                        m = TContactMerge{};
                        m.Destination.KeepDigests = digests;
                        mergeContact(e, dstFile, LoadPlain, m, back);
                        if (m.Skip.isEmpty() && m.Result.HasDiff) {
                            SaveHistory(m.Result, backedUp, m.Archives && m.Result.Version != 0,
                                        ReadOptions(), save);
                        }
                        item.Skipped = !m.Skip.isEmpty();
                        item.Written = !item.Skipped && m.Result.HasDiff;
                        item.Count = m.Result.Count();
                        item.DiffCount = m.Result.DiffCount;
                    }
                } catch (const JournalUnwritable&) {
                    // Every later contact would fail alike, and what the journal does not
                    // know of could not be undone: the run ends here.
                    throw;
                } catch (const Exception& ex) {
                    // A directory that is full or read-only fails every contact alike:
                    // the run ends there. Anything else concerns this contact's files.
                    if (DestinationUnwritable(sd.DstPath)) {
                        throw;
                    }
                    m.Skip = Format(LangText::ContactFailed, e.UIN, ex.message());
                    item.Skipped = true;
                    item.Written = false;
                }
            }
            if (item.Written) {
                const QString name = QFileInfo(item.FileName).fileName();
                if (!names.contains(name)) {
                    names.append(name);
                }
            }
            if (item.Skipped) {
                WriteLog(m.Skip);
                item.Reason = m.Skip;
            }
        };

        // Both ways, a contact with several source files gets into the destination what
        // each of them adds, and each of them then gets everything the destination holds.
        std::map<std::string, int> filesOfUin;
        std::set<std::string> forwardOfUin;
        for (const TZMTHead& e : entries) {
            ++filesOfUin[e.UIN];
            if (e.HasDiff) {
                forwardOfUin.insert(e.UIN);
            }
        }
        // back: the way from the destination into the source, which follows the way into
        // the destination of every entry of the group.
        const auto syncOne = [&](int index, bool back, QStringList& names,
                                 const QStringList& dstNow) {
            const TZMTHead& e = entries[static_cast<std::size_t>(index)];
            TSyncOutcome& out = outcomes[static_cast<std::size_t>(index)];
            TLogCollector log;
            try {
                if (!back) {
                    // Both ways, each side is written only where the analysis found that
                    // it lacks messages: writing the one does not change what the other
                    // lacks (but for a contact of several source files, above).
                    out.Forward = !st.BothWays || (e.HasDiff && !e.SrcFile.isEmpty());
                    if (out.Forward) {
                        syncSide(e, false, names, out.Item, out.BackedUp);
                    }
                } else if (e.BackHasDiff ||
                           (filesOfUin.at(e.UIN) > 1 && forwardOfUin.count(e.UIN) > 0)) {
                    // The destination file as the way there left it (made by it, maybe).
                    TZMTHead r = Reversed(e);
                    if (r.SrcFile.isEmpty()) {
                        r.SrcFile = FindDestinationFile(e, dstNow, st.SrcVaryon && st.DstVaryon);
                    }
                    if (!r.SrcFile.isEmpty()) {
                        out.BackRan = true;
                        syncSide(r, true, names, out.BackItem, out.BackBackedUp);
                    }
                }
            } catch (...) {
                out.Log += log.Take();
                throw;
            }
            out.Log += log.Take();
        };

        const int total = static_cast<int>(entries.size());
        std::atomic<int> finished{0};
        std::atomic<int> lastDone{-1}; // the contact the progress names
        std::exception_ptr failure;
        try {
            RunInParallel(
                static_cast<int>(groups.size()), jobsFor(static_cast<int>(groups.size())),
                [&](int g) {
                    // Each group sees the destination as listed plus what it wrote itself.
                    QStringList names = dstNames;
                    QStringList backNames = srcNames;
                    const std::vector<int>& group = groups[static_cast<std::size_t>(g)];
                    for (const int index : group) {
                        ran[static_cast<std::size_t>(index)] = 1;
                        syncOne(index, false, names, names);
                        if (!st.BothWays) {
                            lastDone = index;
                            ++finished;
                        }
                    }
                    if (st.BothWays) {
                        for (const int index : group) {
                            syncOne(index, true, backNames, names);
                            lastDone = index;
                            ++finished;
                        }
                    }
                },
                [&](int) {
                    // The nick of a contact just written and the number done so far.
                    const int last = lastDone.load();
                    if (last >= 0) {
                        ShowProgress(Tr(LangText::Synchronizing) + QLatin1Char(' ') +
                                     Q(entries[static_cast<std::size_t>(last)].Nick) +
                                     QLatin1Char(' ') +
                                     Format(LangText::ProgressOf, finished.load(), total));
                    }
                    ui_.showCount(finished.load(), total);
                    ui_.processEvents();
                },
                &cancel_);
        } catch (...) {
            failure = std::current_exception();
        }
        contactsDone = finished.load();
        contactsTotal = total;
        // The report in the order of the list, for every contact that was worked on.
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (ran[i] == 0) {
                continue;
            }
            const TSyncOutcome& out = outcomes[i];
            WriteLogLines(out.Log);
            if (failure) {
                continue;
            }
            const auto report = [&](const TSyncItem& item, bool backed, int& upd, int& cre) {
                if (item.Written) {
                    ++(item.Created ? cre : upd);
                }
                if (backed) {
                    ++backedUp;
                }
                if (item.Skipped) {
                    skippedLines.append(item.Reason);
                    ++skipped;
                }
                if (OnSyncItem) {
                    OnSyncItem(item);
                }
            };
            if (out.Forward) {
                report(out.Item, out.BackedUp, updated, created);
            }
            if (out.BackRan) {
                report(out.BackItem, out.BackBackedUp, updatedBack, createdBack);
            }
        }
        if (journal.Written()) {
            // The folder made for the run now holds what the run wrote: an undo takes
            // it away once it is empty again.
            ArchiveFolderMade.clear();
            try {
                journal.End({{QStringLiteral("updated"), updated},
                             {QStringLiteral("created"), created},
                             {QStringLiteral("updatedSource"), updatedBack},
                             {QStringLiteral("createdSource"), createdBack},
                             {QStringLiteral("complete"), !failure && !cancel_}});
            } catch (const Exception& e) {
                WriteLog(e.message()); // the journal says what was done up to here
            }
            WriteLog(Format(LangText::LogJournal, journal.Path()));
        }
        if (!DryRun) {
            // The journals of old runs go; this destination's newest run stays.
            const int pruned =
                PruneJournals(JournalFolder(), set.JournalDays, QDateTime::currentDateTime());
            if (pruned > 0) {
                WriteLog(Format(LangText::LogJournalsPruned, pruned, set.JournalDays));
            }
        }
        if (failure) {
            StartMonitor();
            RefreshUndoAvailable();
            std::rethrow_exception(failure);
        }
        ShowProgress(Tr(LangText::SyncFinishedProgress));
        ui_.beep();
    }

    TText text = Format(LangText::SyncFinished, updated, created);
    if (st.BothWays) {
        text += kCrLf + Format(LangText::SyncFinishedBack, updatedBack, createdBack);
    }
    if (cancel_ && contactsDone < contactsTotal) {
        // What was written is whole; the contacts not started are as they were.
        cancelled_ = true;
        // The cancel line stands where "finished" would.
        const qsizetype firstBreak = text.indexOf(kCrLf);
        text = Format(LangText::SyncCancelled, contactsDone, contactsTotal) +
               (firstBreak >= 0
                    ? TText(text.mid(firstBreak), text.English.mid(text.English.indexOf(kCrLf)))
                    : kCrLf + text);
    }
    if (set.Save.BackupToRecycleBin) {
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
    RefreshUndoAvailable();
    ui_.information(text);
    return true;
}

} // namespace vimosync
