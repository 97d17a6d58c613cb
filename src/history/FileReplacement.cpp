// The replacement of a set of files as one step, with the old contents kept until the
// new ones stand and sent to the trash at the end.

#include "history/FileStore.h"

#include "history/FileParts.h"
#include "history/Journal.h"
#include "support/HeapReuse.h"
#include "support/LogFile.h"
#include "support/RecycleBin.h"
#include "support/Sha256.h"

#include <QDir>

#include <algorithm>
#include <optional>
#include <vector>

namespace vimosync {

namespace files {

// Copies the old content of from to a new file to (made with O_EXCL), with its mode and
// times, and flushes it to the disk; 0 or the error, the copy removed again.
int copyOld(const QString& from, const QString& to) {
    QString error;
    int err = 0;
    struct stat st;
    const int in = openRegular(from, error, err, st);
    if (in < 0) {
        return err;
    }
    const QByteArray t = encoded(to);
    const int out = ::open(t.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        err = errno;
        ::close(in);
        return err;
    }
    err = injectedError(SaveStep::Copy, from);
    std::vector<char> buf(1 << 16);
    while (!err) {
        const ssize_t r = ::read(in, buf.data(), buf.size());
        if (r < 0) {
            if (errno != EINTR) {
                err = errno;
            }
            continue;
        }
        if (r == 0) {
            break;
        }
        err = writeAllOf(out, buf.data(), static_cast<std::size_t>(r));
    }
    if (!err) {
        ::fchmod(out, st.st_mode & 07777);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
        if (::fsync(out) != 0) {
            err = errno;
        }
    }
    if (::close(out) != 0 && !err) {
        err = errno;
    }
    ::close(in);
    if (err) {
        ::unlink(t.constData());
    }
    return err;
}

} // namespace files

using namespace files;

ChangedMeanwhile::ChangedMeanwhile(const QString& path)
    : Exception(Format(LangText::FileChangedMeanwhile, nativePath(path)), "EChangedMeanwhile"),
      path_(path) {}

// Replaces a set of files as one step: every new content is first written completely to
// a file of ours beside its target; only then are the new files renamed into place (a
// rename replaces a name at once, so a history never goes missing, even when the process
// is killed), then the old archives leave their names, and last the replaced files are
// backed up. Until the end each old content is kept beside its file (a second link, or a
// copy where the file system has none: the old content keeps standing under its name
// until the new one takes it), so that a failure half way puts every old file back; the
// backup moves that kept content to the trash.
class FileReplacement::Impl {
public:
    Impl(TSyncJournal* journal, QString contact)
        : journal_(journal), contact_(std::move(contact)) {}
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() {
        if (!done_) {
            rollback();
        }
        dropRecords();
    }

    void stage(const QString& target, const std::string& bytes,
               const std::optional<FileIdentity>& expected) {
        Staged s;
        s.name = target;
        s.expected = expected;
        const Target t = realTarget(target);
        s.target = t.path;
        if (s.expected && t.identity != *s.expected) {
            throw ChangedMeanwhile(s.name);
        }
        s.temp = writeTemp(s.target, bytes, t.mode);
        if (journal_ != nullptr) {
            s.newSize = static_cast<qint64>(bytes.size());
            s.newSha = Sha256Hex(bytes);
        }
        staged_.push_back(s);
    }
    void remove(const QString& path, const std::optional<FileIdentity>& expected) {
        Removal r;
        r.path = path;
        r.expected = expected;
        removals_.push_back(r);
    }

    void knownContents(const std::vector<FileRead>& files) { known_ = files; }

    void commit(bool backup, bool& removedToTrash, bool& replacedToTrash) {
        // Another writer may have come between the reading and now.
        for (const Staged& s : staged_) {
            checkUnchanged(s.name, s.expected);
        }
        for (const Removal& r : removals_) {
            checkUnchanged(r.path, r.expected);
        }
        for (Removal& r : removals_) {
            // An old archive that a new part replaces under the same name.
            for (std::size_t i = 0; i < staged_.size(); ++i) {
                if (staged_[i].name == r.path) {
                    r.overwrittenBy = static_cast<int>(i);
                    staged_[i].oldArchive = true;
                }
            }
        }
        for (Staged& s : staged_) {
            struct stat st;
            if (::lstat(encoded(s.target).constData(), &st) == 0) {
                if (!S_ISREG(st.st_mode)) {
                    FailNotRegular(s.name);
                }
                s.existed = true;
                keepOld(s);
            } else if (errno != ENOENT) {
                Fail(LangText::CannotReplaceFile, s.target, errno);
            }
        }
        // Every leftover of the new files is noted: the record goes to the disk before
        // the first name changes.
        for (const Staged& s : staged_) {
            recordFor(s.target).flush(s.target);
        }
        // So is every change, in the run's journal.
        planJournal();
        for (Staged& s : staged_) {
            checkUnchanged(s.name, s.expected);
            int err = injectedError(SaveStep::Replace, s.target);
            if (!err && ::rename(encoded(s.temp).constData(), encoded(s.target).constData()) != 0) {
                err = errno;
            }
            if (err) {
                Fail(LangText::CannotReplaceFile, s.target, err);
            }
            s.placed = true;
            gone(s.temp);
        }
        for (Removal& r : removals_) {
            WriteLog(Format(LangText::LogKillingArchive, shortName(r.path)));
            if (r.overwrittenBy < 0) {
                checkUnchanged(r.path, r.expected);
                moveAside(r);
            }
        }
        syncFolders();
        done_ = true;
        for (Staged& s : staged_) {
            if (backup && !s.keep.isEmpty()) {
                s.trashed = toTrash(s.keep, s.target, s.trash);
            }
            if (s.trashed || dropKept(s.keep)) {
                gone(s.keep);
            }
        }
        for (Removal& r : removals_) {
            if (r.overwrittenBy >= 0) {
                // Its content is backed up as the part's old file.
                r.trashed = staged_[static_cast<std::size_t>(r.overwrittenBy)].trashed;
                continue;
            }
            if (backup && !r.keep.isEmpty()) {
                r.trashed = toTrash(r.keep, r.path, r.trash);
            }
            if (r.trashed || dropKept(r.keep)) {
                gone(r.keep);
            }
        }
        dropRecords();
        finishJournal();
        for (const Staged& s : staged_) {
            // An old archive's backup counts as a removed archive, not a replaced file.
            replacedToTrash = replacedToTrash || (s.trashed && !s.oldArchive);
        }
        removedToTrash = !removals_.empty() && removals_.back().trashed;
    }

private:
    struct Staged {
        QString name;   // the history's path as asked for
        QString target; // the file written: name, or where name links to
        QString temp, keep;
        std::optional<FileIdentity> expected;
        bool existed = false, trashed = false, placed = false, oldArchive = false;
        qint64 newSize = -1;
        QByteArray newSha;
        TrashEntry trash;
        int journalled = -1; // its line in journaled_
    };
    struct Removal {
        QString path, keep;
        std::optional<FileIdentity> expected;
        int overwrittenBy = -1;
        bool trashed = false;
        TrashEntry trash;
        int journalled = -1;
    };

    // Notes each file about to change, with its old content's digest, before the first
    // name changes. A file that cannot be read for its digest cannot be put back by an
    // undo; the save goes on, and the undo names it.
    void planJournal() {
        if (journal_ == nullptr) {
            return;
        }
        for (Staged& s : staged_) {
            TJournalFile f;
            f.Contact = contact_;
            f.Path = s.target;
            if (s.target != s.name) {
                f.Name = s.name;
            }
            f.Action = s.existed ? TFileAction::Replaced : TFileAction::Created;
            f.NewSize = s.newSize;
            f.NewSha = s.newSha;
            f.Kept = s.keep;
            FileDigest old;
            if (s.existed && oldDigest(s.name, s.keep, old)) {
                f.OldSize = old.size;
                f.OldSha = old.sha256;
            }
            s.journalled = static_cast<int>(journaled_.size());
            journaled_.push_back(f);
        }
        for (Removal& r : removals_) {
            FileDigest old;
            if (r.overwrittenBy >= 0 || !oldDigest(r.path, r.path, old)) {
                continue; // replaced by a part of the same name, or not there
            }
            TJournalFile f;
            f.Contact = contact_;
            f.Path = r.path;
            f.Action = TFileAction::Removed;
            f.OldSize = old.size;
            f.OldSha = old.sha256;
            r.journalled = static_cast<int>(journaled_.size());
            journaled_.push_back(f);
        }
        journal_->Planned(journaled_);
        journalPlanned_ = true;
    }

    // The old content's digest of the file named name: the one of the bytes a load read
    // while the file is still that one (the same identity), else read from readPath.
    bool oldDigest(const QString& name, const QString& readPath, FileDigest& out) const {
        for (const FileRead& f : known_) {
            if (f.path == name) {
                if (f.identity.exists && IdentityOf(name) == f.identity) {
                    out.size = f.size;
                    out.sha256 = f.sha256;
                    return true;
                }
                break;
            }
        }
        return DigestOfFile(readPath, out);
    }

    // Completes the journal's lines with where each old content went.
    void finishJournal() {
        if (!journalPlanned_) {
            return;
        }
        for (const Staged& s : staged_) {
            if (s.journalled >= 0 && s.trashed) {
                journaled_[static_cast<std::size_t>(s.journalled)].Trash = s.trash.file;
                journaled_[static_cast<std::size_t>(s.journalled)].TrashInfo = s.trash.info;
            }
        }
        for (const Removal& r : removals_) {
            if (r.journalled >= 0 && r.trashed) {
                journaled_[static_cast<std::size_t>(r.journalled)].Trash = r.trash.file;
                journaled_[static_cast<std::size_t>(r.journalled)].TrashInfo = r.trash.info;
            }
        }
        try {
            journal_->Finished(journaled_);
        } catch (const Exception& e) {
            // Every file is saved; the undo finds the old contents missing from the journal.
            WriteLog(e.message());
        }
    }

    // The file a new content goes to, with its permissions and identity (none when the
    // file is new).
    struct Target {
        QString path;
        mode_t mode = 0;
        FileIdentity identity;
    };

    // The file a new content goes to: the target, or where it links to. A history that
    // is a symbolic link is written where the link points; the new file would otherwise
    // take the link's place and leave its target stale. Anything but a regular file (a
    // folder, FIFO, socket or device, or a link to one or to nothing) is never replaced.
    static Target realTarget(const QString& target) {
        const QByteArray t = encoded(target);
        struct stat st;
        if (::lstat(t.constData(), &st) != 0) {
            if (errno != ENOENT) {
                Fail(LangText::CannotWriteFile, target, errno);
            }
            return {target, 0, {}};
        }
        if (S_ISLNK(st.st_mode)) {
            if (::stat(t.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
                FailNotRegular(target);
            }
            return {QFileInfo(target).canonicalFilePath(), st.st_mode, identityFrom(st)};
        }
        if (!S_ISREG(st.st_mode)) {
            FailNotRegular(target);
        }
        return {target, st.st_mode, identityFrom(st)};
    }

    static void checkUnchanged(const QString& path, const std::optional<FileIdentity>& expected) {
        if (expected && IdentityOf(path) != *expected) {
            throw ChangedMeanwhile(path);
        }
    }

    Record& recordFor(const QString& path) {
        const QString folder = folderOf(path);
        auto it = records_.find(folder);
        if (it == records_.end()) {
            it = records_.emplace(folder, std::make_unique<Record>(folder)).first;
        }
        return *it->second;
    }

    // Writes the new content of target (a file of the given mode, 0 when there is none
    // yet) to a new file of ours beside it and flushes it to the disk.
    QString writeTemp(const QString& target, const std::string& bytes, mode_t mode) {
        Record& record = recordFor(target);
        const QString folder = folderOf(target);
        QString temp;
        int fd = -1;
        int err = 0;
        for (int attempt = 0; attempt < 10 && fd < 0; ++attempt) {
            const QString name = ownName(kNewContent);
            temp = folder + QLatin1Char('/') + name;
            record.note(name, kRoleNew, target);
            err = injectedError(SaveStep::OpenTemp, target);
            if (err) {
                break;
            }
            fd = ::open(encoded(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            err = fd < 0 ? errno : 0;
            if (err != EEXIST) {
                break;
            }
        }
        if (fd >= 0) {
            // A replaced file keeps its permissions.
            if (mode != 0) {
                ::fchmod(fd, mode & 07777);
            }
            err = injectedError(SaveStep::WriteTemp, target);
            if (!err) {
                err = writeAllOf(fd, bytes.data(), bytes.size());
            }
            if (!err) {
                err = injectedError(SaveStep::SyncTemp, target);
            }
            if (!err && ::fsync(fd) != 0) {
                err = errno;
            }
            if (::close(fd) != 0 && !err) {
                err = errno;
            }
            if (err) {
                ::unlink(encoded(temp).constData());
            }
        }
        if (err) {
            Fail(LangText::CannotWriteFile, target, err);
        }
        return temp;
    }

    // Keeps the old content of a file about to be replaced beside it: a second link, or
    // a copy where the file system has no hard links. Either way the old content still
    // stands under its name until the new one takes it.
    void keepOld(Staged& s) {
        Record& record = recordFor(s.target);
        const QString folder = folderOf(s.target);
        int err = EEXIST;
        for (int attempt = 0; attempt < 10 && err == EEXIST; ++attempt) {
            const QString name = ownName(kKept);
            const QString keep = folder + QLatin1Char('/') + name;
            record.note(name, kRoleOld, s.target);
            err = injectedError(SaveStep::Link, s.target);
            if (!err && ::link(encoded(s.target).constData(), encoded(keep).constData()) != 0) {
                err = errno;
            }
            if (!err) {
                s.keep = keep;
                return;
            }
            if (noHardLinks(err)) {
                record.note(name, kRoleCopying, s.target);
                err = copyOld(s.target, keep);
                if (!err) {
                    s.keep = keep;
                    record.note(name, kRoleOld, s.target);
                    return;
                }
            }
        }
        Fail(LangText::CannotKeepOldContent, s.target, err);
    }

    // An old archive leaves its name for one of ours: put back when a later step fails,
    // sent to the trash or away at the end.
    void moveAside(Removal& r) {
        struct stat st;
        if (::lstat(encoded(r.path).constData(), &st) != 0) {
            if (errno == ENOENT) {
                return; // nothing to remove
            }
            Fail(LangText::CannotRemoveFile, r.path, errno);
        }
        // A link goes itself, but only one to a regular file, as a replaced one would.
        struct stat to;
        if (!S_ISREG(st.st_mode) &&
            !(S_ISLNK(st.st_mode) && ::stat(encoded(r.path).constData(), &to) == 0 &&
              S_ISREG(to.st_mode))) {
            FailNotRegular(r.path);
        }
        Record& record = recordFor(r.path);
        int err = EEXIST;
        for (int attempt = 0; attempt < 10 && err == EEXIST; ++attempt) {
            const QString name = ownName(kKept);
            const QString keep = folderOf(r.path) + QLatin1Char('/') + name;
            record.note(name, kRoleGone, r.path);
            record.flush(r.path);
            err = injectedError(SaveStep::RemoveOld, r.path);
            if (!err) {
                err = renameNew(r.path, keep);
            }
            if (!err) {
                r.keep = keep;
                return;
            }
        }
        Fail(LangText::CannotRemoveFile, r.path, err);
    }

    // The renames are on disk only once their folders are: a power cut right after a
    // save must not bring back the old names.
    void syncFolders() const {
        QStringList folders;
        for (const Staged& s : staged_) {
            folders << folderOf(s.target);
        }
        for (const Removal& r : removals_) {
            folders << folderOf(r.path);
        }
        folders.removeDuplicates();
        for (const QString& f : folders) {
            int err = injectedError(SaveStep::SyncFolder, f);
            const int fd =
                err ? -1 : ::open(encoded(f).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd >= 0) {
                // Some file systems cannot flush a folder; their renames are written anyway.
                if (::fsync(fd) != 0 && errno != EINVAL && errno != EOPNOTSUPP &&
                    errno != ENOTSUP) {
                    err = errno;
                }
                ::close(fd);
            }
            if (err) {
                Fail(LangText::CannotSyncFolder, f, err);
            }
        }
    }

    // Backs up the kept old content of file; a failure is logged and counts no backup.
    static bool toTrash(const QString& kept, const QString& file, TrashEntry& entry) {
        try {
            const int err = injectedError(SaveStep::Backup, file);
            if (err) {
                Fail(LangText::TrashMoveFailed, file, err);
            }
            entry = MoveToRecycleBinAs(kept, file);
            return true;
        } catch (const Exception& e) {
            WriteLog(Format(LangText::LogBackupError, shortName(file), e.message()));
            return false;
        }
    }

    // True when the kept content left its name (or there was none).
    static bool dropKept(const QString& keep) {
        return keep.isEmpty() || ::unlink(encoded(keep).constData()) == 0;
    }

    // A leftover of ours (a path) that left its name: its record needs no look for it.
    void gone(const QString& leftover) {
        if (leftover.isEmpty()) {
            return;
        }
        const auto it = records_.find(folderOf(leftover));
        if (it != records_.end()) {
            it->second->gone(QFileInfo(leftover).fileName());
        }
    }

    // Puts the kept old content back under its name. A rename between two links of one
    // file does nothing; the spare link then goes.
    static void restore(const QString& keep, const QString& path) {
        const QByteArray k = encoded(keep);
        const QByteArray p = encoded(path);
        ::rename(k.constData(), p.constData());
        struct stat ks, ps;
        if (::stat(k.constData(), &ks) == 0 && ::stat(p.constData(), &ps) == 0 &&
            ks.st_ino == ps.st_ino && ks.st_dev == ps.st_dev) {
            ::unlink(k.constData());
        }
    }

    void rollback() noexcept {
        for (auto it = staged_.rbegin(); it != staged_.rend(); ++it) {
            Staged& s = *it;
            if (!s.placed) {
                ::unlink(encoded(s.temp).constData());
            }
            if (s.placed && !s.keep.isEmpty()) {
                restore(s.keep, s.target);
            } else {
                if (s.placed && !s.existed) {
                    ::unlink(encoded(s.target).constData());
                }
                dropKept(s.keep);
            }
        }
        for (Removal& r : removals_) {
            if (!r.keep.isEmpty()) {
                ::rename(encoded(r.keep).constData(), encoded(r.path).constData());
            }
        }
        if (journalPlanned_) {
            journal_->RolledBack(journaled_);
        }
    }

    void dropRecords() noexcept {
        for (auto& [folder, record] : records_) {
            record->drop();
        }
    }

    std::vector<Staged> staged_;
    std::vector<Removal> removals_;
    std::map<QString, std::unique_ptr<Record>> records_;
    bool done_ = false;
    TSyncJournal* journal_ = nullptr;
    QString contact_;
    std::vector<TJournalFile> journaled_;
    std::vector<FileRead> known_;
    bool journalPlanned_ = false;
};

FileReplacement::FileReplacement() : FileReplacement(nullptr, QString()) {}

FileReplacement::FileReplacement(TSyncJournal* journal, const QString& contact)
    : d_(std::make_unique<Impl>(journal, contact)) {
    KeepFreedMemoryForReuse();
}
FileReplacement::~FileReplacement() = default;

void FileReplacement::stage(const QString& target, const std::string& bytes) {
    d_->stage(target, bytes, std::nullopt);
}

void FileReplacement::stage(const QString& target, const std::string& bytes,
                            const FileIdentity& expected) {
    d_->stage(target, bytes, expected);
}

void FileReplacement::remove(const QString& path) {
    d_->remove(path, std::nullopt);
}

void FileReplacement::remove(const QString& path, const FileIdentity& expected) {
    d_->remove(path, expected);
}

void FileReplacement::knownContents(const std::vector<FileRead>& files) {
    d_->knownContents(files);
}

void FileReplacement::commit(bool backup, bool& removedToTrash, bool& replacedToTrash) {
    d_->commit(backup, removedToTrash, replacedToTrash);
}

} // namespace vimosync
