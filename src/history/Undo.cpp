#include "history/Undo.h"

#include "history/FileParts.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "support/RecycleBin.h"
#include "support/Sha256.h"

#include <QDir>
#include <QJsonObject>

#include <algorithm>
#include <map>

namespace vimosync {

using namespace files;

UndoHooks& HistoryUndoHooks() {
    static UndoHooks hooks;
    return hooks;
}

namespace {

bool missing(const QString& path) {
    struct stat st;
    return ::lstat(encoded(path).constData(), &st) != 0 && errno == ENOENT;
}

bool holds(const FileDigest& d, qint64 size, const QByteArray& sha) {
    return size >= 0 && !sha.isEmpty() && d.size == size && d.sha256 == sha;
}

// What stands at a path: nothing, or a file of this size and digest (an empty digest
// when it cannot be read).
struct Content {
    bool exists = false;
    FileDigest digest;
};

Content contentAt(const QString& path) {
    Content c;
    if (missing(path)) {
        return c;
    }
    c.exists = true;
    DigestOfFile(path, c.digest);
    return c;
}

// A journal names the files the undo renames and trashes: it may only name histories in
// the destination or its archive folder (the source too, for a run both ways; or where a
// history's symbolic link there points), their trash entries, and the copies kept beside
// them. Anything else (a journal written by hand, or damaged) is left alone.
bool inDestination(const TJournalRun& run, const TJournalFile& f) {
    const QString archives =
        run.Settings.value(QStringLiteral("ArchiveFolderName")).toString(QStringLiteral("Archive"));
    QStringList written{QDir::cleanPath(run.Destination)};
    if (run.BothWays && !run.Source.isEmpty()) {
        written << QDir::cleanPath(run.Source);
    }
    const auto inside = [&](const QString& path) {
        const QString folder = QDir::cleanPath(folderOf(path));
        if (!QDir::isAbsolutePath(path) || archives.contains(QLatin1Char('/'))) {
            return false;
        }
        return std::any_of(written.begin(), written.end(), [&](const QString& dst) {
            return folder == dst || folder == QDir::cleanPath(dst + QLatin1Char('/') + archives);
        });
    };
    return inside(f.Path) ||
           (!f.Name.isEmpty() && inside(f.Name) && QFileInfo(f.Name).canonicalFilePath() == f.Path);
}

bool soundSources(const TJournalFile& f) {
    if (!f.Kept.isEmpty() &&
        (folderOf(f.Kept) != folderOf(f.Path) ||
         !QFileInfo(f.Kept).fileName().startsWith(QLatin1String(kOwnPrefix)))) {
        return false;
    }
    if (f.Trash.isEmpty()) {
        return true;
    }
    const QFileInfo entry(f.Trash);
    const QString trash = QFileInfo(entry.path()).path();
    return QDir::isAbsolutePath(f.Trash) &&
           QFileInfo(entry.path()).fileName() == QLatin1String("files") &&
           f.TrashInfo ==
               trash + QStringLiteral("/info/") + entry.fileName() + QStringLiteral(".trashinfo");
}

// Where the old content of a file is now: its entry in the trash, or the copy the save
// kept beside it when the run was killed before the backup. Empty when neither holds it.
QString oldContentOf(const TJournalFile& f) {
    for (const QString& candidate : {f.Trash, f.Kept}) {
        FileDigest d;
        if (!candidate.isEmpty() && DigestOfFile(candidate, d) && holds(d, f.OldSize, f.OldSha)) {
            return candidate;
        }
    }
    return {};
}

QJsonObject undoneLine(const TJournalFile& f, const char* result) {
    return {{QStringLiteral("t"), QStringLiteral("undone")},
            {QStringLiteral("id"), f.Id},
            {QStringLiteral("result"), QLatin1String(result)}};
}

// Puts the old content at from (an entry in the trash or a kept copy, on the same file
// system) back under path, replacing what stands there in one step; where the rename
// cannot be made (another file system), through a whole copy beside path.
void putBack(const QString& from, const QString& path, bool mustBeFree) {
    const auto move = [&](const QString& source) {
        return mustBeFree ? renameNew(source, path)
                          : (::rename(encoded(source).constData(), encoded(path).constData()) == 0
                                 ? 0
                                 : errno);
    };
    int err = move(from);
    if (err == EXDEV) {
        const QString temp = folderOf(path) + QLatin1Char('/') + ownName(kNewContent);
        err = copyOld(from, temp);
        if (!err) {
            err = move(temp);
            if (err) {
                ::unlink(encoded(temp).constData());
            } else {
                ::unlink(encoded(from).constData());
            }
        }
    }
    if (err) {
        Fail(LangText::CannotReplaceFile, path, err);
    }
}

} // namespace

TUndoPlan PlanUndo(const TJournalRun& run) {
    TUndoPlan plan;
    // The paths, each with the saves that changed it, and the sets of paths that saves
    // changed together (joined through a path that two saves share).
    std::map<QString, std::size_t> pathIndex;
    std::vector<TUndoPath> paths;
    std::vector<std::size_t> parent;
    const auto find = [&parent](std::size_t x) {
        while (parent[x] != x) {
            x = parent[x] = parent[parent[x]];
        }
        return x;
    };
    std::map<int, std::size_t> setPath; // a path of each save
    for (std::size_t i = 0; i < run.Files.size(); ++i) {
        const TJournalFile& f = run.Files[i];
        if (f.RolledBack) {
            continue; // a failed save put its files back itself
        }
        auto [it, fresh] = pathIndex.emplace(f.Path, paths.size());
        if (fresh) {
            paths.push_back({});
            paths.back().Path = f.Path;
            parent.push_back(parent.size());
        }
        paths[it->second].Records.push_back(i);
        const auto [sp, first] = setPath.emplace(f.Set, it->second);
        if (!first) {
            parent[find(sp->second)] = find(it->second);
        }
    }
    std::map<std::size_t, std::size_t> setOf;
    for (std::size_t p = 0; p < paths.size(); ++p) {
        const auto [it, fresh] = setOf.emplace(find(p), plan.Sets.size());
        if (fresh) {
            plan.Sets.push_back({});
            plan.Sets.back().Contact = run.Files[paths[p].Records.front()].Contact;
        }
        plan.Sets[it->second].Paths.push_back(std::move(paths[p]));
    }

    for (TUndoSet& s : plan.Sets) {
        for (TUndoPath& p : s.Paths) {
            const TJournalFile& first = run.Files[p.Records.front()];
            const TJournalFile& last = run.Files[p.Records.back()];
            const QString shown = QDir::toNativeSeparators(p.Path);
            if (std::any_of(p.Records.begin(), p.Records.end(), [&](std::size_t i) {
                    return !inDestination(run, run.Files[i]) || !soundSources(run.Files[i]);
                })) {
                p.State = TUndoState::Changed;
                s.Problems.append(Format(LangText::UndoOutside, shown));
                continue;
            }
            p.ExistedBefore = first.Action != TFileAction::Created;
            p.ExistsAfter = last.Action != TFileAction::Removed;
            // Each save must have found what the one before it left: another program
            // that wrote between two saves of the run wrote messages of its own.
            bool chained = true;
            for (std::size_t k = 1; k < p.Records.size(); ++k) {
                const TJournalFile& a = run.Files[p.Records[k - 1]];
                const TJournalFile& b = run.Files[p.Records[k]];
                chained = chained && (a.Action == TFileAction::Removed
                                          ? b.Action == TFileAction::Created
                                          : b.Action != TFileAction::Created &&
                                                a.NewSize == b.OldSize && a.NewSha == b.OldSha);
            }
            const Content c = contentAt(p.Path);
            if (p.ExistsAfter ? c.exists && holds(c.digest, last.NewSize, last.NewSha)
                              : !c.exists) {
                p.State = TUndoState::AsRunLeftIt;
            } else if (p.ExistedBefore ? c.exists && holds(c.digest, first.OldSize, first.OldSha)
                                       : !c.exists) {
                p.State = TUndoState::AsBefore;
            } else {
                p.State = TUndoState::Changed;
                s.Problems.append(Format(LangText::UndoChangedSince, shown));
                continue;
            }
            if (p.State != TUndoState::AsRunLeftIt) {
                continue;
            }
            if (!chained) {
                s.Problems.append(Format(LangText::UndoChangedBetween, shown));
            } else if (!p.ExistedBefore) {
                ++s.Removals;
            } else if (!(p.OldContent = oldContentOf(first)).isEmpty()) {
                ++s.Restores;
            } else if (!run.Backup || (first.Finished && first.Trash.isEmpty())) {
                s.Problems.append(Format(LangText::UndoNotKept, shown));
            } else {
                s.Problems.append(Format(LangText::UndoTrashGone, shown));
            }
        }
        s.Undo = s.Problems.isEmpty() && (s.Restores > 0 || s.Removals > 0);
        if (s.Undo) {
            plan.Restores += s.Restores;
            plan.Removals += s.Removals;
            if (!plan.Contacts.contains(s.Contact)) {
                plan.Contacts.append(s.Contact);
            }
        } else if (!s.Problems.isEmpty()) {
            plan.LeftFiles += static_cast<int>(s.Paths.size());
            plan.Problems += s.Problems;
        }
    }
    return plan;
}

TUndoReport RunUndo(const TJournalRun& run, const TUndoPlan& plan) {
    TUndoReport report;
    TJournalWriter journal;
    journal.Open(run.FilePath);
    journal.Append({{{QStringLiteral("t"), QStringLiteral("undoStart")},
                     {QStringLiteral("at"), QDateTime::currentDateTime().toString(Qt::ISODate)}}});
    int step = 0;
    const auto stop = [&step] {
        ++step;
        const UndoHooks& hooks = HistoryUndoHooks();
        return hooks.stopAfterStep != nullptr && hooks.stopAfterStep(step);
    };
    const auto noted = [&](const TUndoPath& p, const char* result) {
        std::vector<QJsonObject> lines;
        for (const std::size_t i : p.Records) {
            lines.push_back(undoneLine(run.Files[i], result));
        }
        journal.Append(lines);
    };
    for (const TUndoSet& s : plan.Sets) {
        if (!s.Problems.isEmpty()) {
            for (const QString& p : s.Problems) {
                WriteLog(Format(LangText::LogUndoLeft, p));
            }
            continue;
        }
        try {
            // The order walks the saves back. First the files a save removed come back,
            // last removed first (the save removes parts from the highest down, so they
            // return from the lowest up): only files are added, the parts stay one
            // unbroken chain and no message goes missing. Then the files the saves placed,
            // last placed first (the history, then its parts from the highest down), as
            // the saves left them at each step, a message at most twice.
            std::vector<const TUndoPath*> order;
            for (const TUndoPath& p : s.Paths) {
                if (p.State == TUndoState::AsRunLeftIt) {
                    order.push_back(&p);
                }
            }
            const auto removed = [](const TUndoPath* p) { return !p->ExistsAfter; };
            std::stable_sort(order.begin(), order.end(),
                             [&](const TUndoPath* a, const TUndoPath* b) {
                                 if (removed(a) != removed(b)) {
                                     return removed(a);
                                 }
                                 return a->Records.back() > b->Records.back();
                             });
            for (const TUndoPath* p : order) {
                if (p->ExistedBefore) {
                    const TJournalFile& first = run.Files[p->Records.front()];
                    putBack(p->OldContent, p->Path, !p->ExistsAfter);
                    if (p->OldContent == first.Trash && !first.TrashInfo.isEmpty()) {
                        ::unlink(encoded(first.TrashInfo).constData());
                    }
                    flushFolder(folderOf(p->Path));
                    noted(*p, "restored");
                    WriteLog(Format(LangText::LogUndoRestored, QDir::toNativeSeparators(p->Path)));
                    ++report.Restored;
                } else {
                    MoveToRecycleBin(p->Path);
                    noted(*p, "removed");
                    WriteLog(Format(LangText::LogUndoRemoved, QDir::toNativeSeparators(p->Path)));
                    ++report.Removed;
                }
                if (stop()) {
                    return report;
                }
            }
            // What a later save of the same path sent to the trash is a content the run
            // itself made: it goes once the path holds what it held before the run.
            for (const TUndoPath& p : s.Paths) {
                for (std::size_t k = 1; k < p.Records.size(); ++k) {
                    const TJournalFile& f = run.Files[p.Records[k]];
                    FileDigest d;
                    if (!f.Trash.isEmpty() && DigestOfFile(f.Trash, d) &&
                        holds(d, f.OldSize, f.OldSha)) {
                        ::unlink(encoded(f.Trash).constData());
                        ::unlink(encoded(f.TrashInfo).constData());
                    }
                }
            }
        } catch (const Exception& e) {
            report.Problems.append(e.message());
            WriteLog(e.message());
        }
    }
    report.Problems = plan.Problems + report.Problems;
    // What an earlier interrupted undo may have left in the trash: a record whose entry
    // went back.
    for (const TJournalFile& f : run.Files) {
        if (!f.TrashInfo.isEmpty() && missing(f.Trash) && !missing(f.TrashInfo)) {
            ::unlink(encoded(f.TrashInfo).constData());
        }
    }
    for (auto it = run.Folders.rbegin(); it != run.Folders.rend(); ++it) {
        // Only an empty folder goes.
        if (::rmdir(encoded(*it).constData()) == 0) {
            ++report.FoldersRemoved;
            WriteLog(Format(LangText::LogUndoRemoved, QDir::toNativeSeparators(*it)));
        }
    }
    journal.Append({{{QStringLiteral("t"), QStringLiteral("undoEnd")},
                     {QStringLiteral("at"), QDateTime::currentDateTime().toString(Qt::ISODate)},
                     {QStringLiteral("restored"), report.Restored},
                     {QStringLiteral("removed"), report.Removed},
                     {QStringLiteral("left"), plan.LeftFiles}}});
    return report;
}

} // namespace vimosync
