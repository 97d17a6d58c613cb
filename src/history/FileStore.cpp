#include "history/FileStore.h"

#include "history/BinaryFormat.h"
#include "support/Errors.h"
#include "support/LogFile.h"
#include "support/RecycleBin.h"
#include "ui/LangText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vimosync {

namespace {

QString shortName(const QString& path) {
    return QFileInfo(path).fileName();
}

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString errnoText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

// Reads the whole file with one read into a buffer the loader then owns.
bool ReadWholeFileImpl(const QString& path, std::string& out, QString& error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error = f.errorString();
        return false;
    }
    const qint64 size = f.size();
    if (size < 0) {
        error = f.errorString();
        return false;
    }
    out.resize(static_cast<std::size_t>(size));
    qint64 got = 0;
    while (got < size) {
        const qint64 r = f.read(out.data() + got, size - got);
        if (r < 0) {
            error = f.errorString();
            return false;
        }
        if (r == 0) {
            break; // the file shrank while being read
        }
        got += r;
    }
    out.resize(static_cast<std::size_t>(got));
    return true;
}

// Only the header of a binary file: the fixed part, then the two texts.
std::string ReadBinaryHeaderBytesImpl(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    std::string buf(kZmtFixedHeader, '\0');
    auto readMore = [&](std::size_t n) {
        const std::size_t at = buf.size();
        buf.resize(at + n);
        const qint64 r = f.read(buf.data() + at, static_cast<qint64>(n));
        buf.resize(at + static_cast<std::size_t>(std::max<qint64>(r, 0)));
        return r == static_cast<qint64>(n);
    };
    buf.clear();
    if (!readMore(kZmtFixedHeader)) {
        return buf;
    }
    const std::size_t l1 =
        (static_cast<unsigned char>(buf[44]) << 8) | static_cast<unsigned char>(buf[45]);
    if (!readMore(l1 + 2)) {
        return buf;
    }
    const std::size_t l2 = (static_cast<unsigned char>(buf[kZmtFixedHeader + l1]) << 8) |
                           static_cast<unsigned char>(buf[kZmtFixedHeader + l1 + 1]);
    readMore(l2);
    return buf;
}

bool injectedFailure(SaveStep step, const QString& target) {
    const SaveHooks& h = HistorySaveHooks();
    return h.fail && h.fail(step, target);
}

// Tags of the hidden names beside a history while it is saved.
constexpr const char* kTempTag = ".tmp-";
constexpr const char* kKeepTag = ".keep-";
// Earlier versions gave a backup its name in a hidden folder named so before it went to
// the trash; one left behind (the process killed) holds a file still on its way there.
constexpr const char* kTrashStagingPrefix = ".vimosync-backup-";

// A name beside the target that no history mask matches.
QString besideName(const QString& target, const char* tag) {
    const QFileInfo fi(target);
    return fi.path() + QStringLiteral("/.") + fi.fileName() + QLatin1String(tag) +
           QString::number(QRandomGenerator::global()->generate64(), 36);
}

} // namespace

// Replaces a set of files as one step: every new content is first written completely to
// a temporary file beside its target; only then are the new files renamed into place (a
// rename replaces a name at once, so a history never goes missing, even when the process
// is killed), then the old archives removed, and last the replaced files backed up.
// Until the end a hard link beside each old file keeps its content, so that a failure
// half way puts every old file back; the backup moves that link to the trash.
class FileReplacement::Impl {
public:
    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() {
        if (!done_) {
            rollback();
        }
    }

    void stage(const QString& target, const std::string& bytes) {
        Staged s;
        s.name = target;
        // A history that is a symbolic link is written where the link points; the new
        // file would otherwise take the link's place and leave its target stale.
        const QFileInfo fi(target);
        const QString real = fi.isSymLink() ? fi.canonicalFilePath() : QString();
        s.target = real.isEmpty() ? target : real;
        s.temp = writeTemp(s.target, bytes);
        staged_.push_back(s);
    }
    void remove(const QString& path) { removals_.push_back({path, {}, -1, false, false}); }

    // Puts each new file in place, removes the old files (logged as archives) and backs
    // up the files replaced, when backup is set. removedToTrash tells whether the last
    // old archive went to the trash, replacedToTrash whether a replaced file did.
    void commit(bool backup, bool& removedToTrash, bool& replacedToTrash) {
        for (Staged& s : staged_) {
            s.existed = QFileInfo(s.target).isFile();
            if (s.existed) {
                s.keep = keepLink(s.target);
            }
        }
        for (Removal& r : removals_) {
            // An old archive that a new part replaces under the same name.
            for (std::size_t i = 0; i < staged_.size(); ++i) {
                if (staged_[i].name == r.path) {
                    r.overwrittenBy = static_cast<int>(i);
                    staged_[i].oldArchive = true;
                }
            }
            if (r.overwrittenBy < 0) {
                r.keep = keepLink(r.path);
            }
        }
        for (Staged& s : staged_) {
            // Without a second link the old file can only reach the trash before the
            // new one takes its name.
            if (backup && s.existed && s.keep.isEmpty()) {
                backupReplaced(s, [&] { MoveToRecycleBin(s.target); });
            }
            int err = 0;
            if (injectedFailure(SaveStep::Replace, s.target)) {
                err = EIO;
            } else if (::rename(encoded(s.temp).constData(), encoded(s.target).constData()) != 0) {
                err = errno;
            }
            if (err) {
                throw Exception(
                    Format(LangText::CannotReplaceFile, nativePath(s.target), errnoText(err)),
                    "EFileError");
            }
            s.placed = true;
        }
        for (Removal& r : removals_) {
            WriteLog(Format(LangText::LogKillingArchive, shortName(r.path)));
            if (r.overwrittenBy >= 0) {
                continue; // its content is backed up below, as the part's old file
            }
            if (backup) {
                try {
                    MoveToRecycleBin(r.path);
                    r.trashed = true;
                } catch (const Exception& e) {
                    WriteLog(Format(LangText::LogBackupError, shortName(r.path), e.message()));
                }
            }
            // An archive left behind would be read again after the new ones.
            if (!r.trashed && ::unlink(encoded(r.path).constData()) != 0 && errno != ENOENT) {
                throw Exception(
                    Format(LangText::CannotRemoveFile, nativePath(r.path), errnoText(errno)),
                    "EFileError");
            }
            r.removed = true;
        }
        syncFolders();
        done_ = true;
        for (Staged& s : staged_) {
            if (backup && s.existed && !s.keep.isEmpty()) {
                backupReplaced(s, [&] { MoveToRecycleBinAs(s.keep, s.target); });
            }
            if (!s.trashed) {
                dropKeep(s.keep);
            }
        }
        for (Removal& r : removals_) {
            dropKeep(r.keep);
            if (r.overwrittenBy >= 0) {
                r.trashed = staged_[static_cast<std::size_t>(r.overwrittenBy)].trashed;
            }
        }
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
        bool existed = false, trashed = false, placed = false, oldArchive = false;
        bool backupTried = false;
    };
    struct Removal {
        QString path, keep;
        int overwrittenBy = -1;
        bool removed = false, trashed = false;
    };

    // The renames are on disk only once their folders are: a power cut right after a
    // save must not bring back the old names. Best effort: the data itself is synced.
    void syncFolders() const {
        QStringList folders;
        for (const Staged& s : staged_) {
            folders << QFileInfo(s.target).absolutePath();
        }
        for (const Removal& r : removals_) {
            folders << QFileInfo(r.path).absolutePath();
        }
        folders.removeDuplicates();
        for (const QString& f : folders) {
            const int fd = ::open(encoded(f).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd >= 0) {
                ::fsync(fd);
                ::close(fd);
            }
        }
    }

    template <typename Move> static void backupReplaced(Staged& s, Move move) {
        if (s.backupTried) {
            return;
        }
        s.backupTried = true;
        try {
            move();
            s.trashed = true;
        } catch (const Exception& e) {
            WriteLog(Format(LangText::LogBackupError, shortName(s.target), e.message()));
        }
    }

    static QString writeTemp(const QString& target, const std::string& bytes) {
        QString temp;
        int fd = -1;
        for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
            temp = besideName(target, kTempTag);
            fd = ::open(encoded(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) {
                break;
            }
        }
        int err = fd < 0 ? errno : 0;
        if (fd >= 0) {
            // A replaced file keeps its permissions.
            struct stat st;
            if (::stat(encoded(target).constData(), &st) == 0 && S_ISREG(st.st_mode)) {
                ::fchmod(fd, st.st_mode & 07777);
            }
            const char* p = bytes.data();
            std::size_t left = bytes.size();
            if (injectedFailure(SaveStep::WriteTemp, target)) {
                err = ENOSPC;
                left = 0;
            }
            while (left > 0) {
                const ssize_t w = ::write(fd, p, left);
                if (w < 0) {
                    if (errno == EINTR) {
                        continue;
                    }
                    err = errno;
                    break;
                }
                p += w;
                left -= static_cast<std::size_t>(w);
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
            throw Exception(Format(LangText::CannotWriteFile, nativePath(target), errnoText(err)),
                            "EFileError");
        }
        return temp;
    }

    // A second name for an old file, or empty where the file system has no hard links.
    static QString keepLink(const QString& path) {
        if (!QFileInfo(path).isFile()) {
            return {};
        }
        for (int attempt = 0; attempt < 10; ++attempt) {
            const QString keep = besideName(path, kKeepTag);
            if (::link(encoded(path).constData(), encoded(keep).constData()) == 0) {
                return keep;
            }
            if (errno != EEXIST) {
                break;
            }
        }
        return {};
    }

    static void dropKeep(const QString& keep) {
        if (!keep.isEmpty()) {
            ::unlink(encoded(keep).constData());
        }
    }

    static void restore(const QString& keep, const QString& path) {
        if (keep.isEmpty()) {
            return;
        }
        const QByteArray k = encoded(keep);
        const QByteArray p = encoded(path);
        ::rename(k.constData(), p.constData());
        // A rename between two links of one file does nothing; the spare link then goes.
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
                dropKeep(s.keep);
            }
        }
        for (Removal& r : removals_) {
            if (r.removed) {
                restore(r.keep, r.path);
            } else {
                dropKeep(r.keep);
            }
        }
    }

    std::vector<Staged> staged_;
    std::vector<Removal> removals_;
    bool done_ = false;
};

FileReplacement::FileReplacement() : d_(std::make_unique<Impl>()) {}
FileReplacement::~FileReplacement() = default;

void FileReplacement::stage(const QString& target, const std::string& bytes) {
    d_->stage(target, bytes);
}

void FileReplacement::remove(const QString& path) {
    d_->remove(path);
}

void FileReplacement::commit(bool backup, bool& removedToTrash, bool& replacedToTrash) {
    d_->commit(backup, removedToTrash, replacedToTrash);
}

bool ReadWholeFile(const QString& path, std::string& out, QString& error) {
    return ReadWholeFileImpl(path, out, error);
}

std::string ReadBinaryHeaderBytes(const QString& path) {
    return ReadBinaryHeaderBytesImpl(path);
}

int TidyInterruptedSaves(const QString& folder) {
    const QDir dir(folder);
    int cleared = 0;
    // ".NAME.tmp-XXXX" and ".NAME.keep-XXXX" beside the history NAME.
    const QStringList hidden = dir.entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
    for (const QString& n : hidden) {
        for (const char* tag : {kTempTag, kKeepTag}) {
            const qsizetype at = n.lastIndexOf(QLatin1String(tag));
            if (at <= 1) {
                continue;
            }
            const QString path = dir.filePath(n);
            const QString history = dir.filePath(n.mid(1, at - 1));
            const QByteArray p = encoded(path);
            struct stat ps, hs;
            const bool historyStands = ::stat(encoded(history).constData(), &hs) == 0;
            // A new content is not needed while its history stands (with its old or its
            // new content), nor is a second link to the history as it stands.
            const bool spare =
                historyStands &&
                (tag == kTempTag || (::stat(p.constData(), &ps) == 0 && ps.st_ino == hs.st_ino &&
                                     ps.st_dev == hs.st_dev));
            if (spare) {
                if (::unlink(p.constData()) == 0) {
                    ++cleared;
                }
            } else {
                try {
                    MoveToRecycleBinAs(path, history);
                    ++cleared;
                } catch (const Exception&) {
                }
            }
            break;
        }
    }
    const QStringList staging = dir.entryList({QLatin1String(kTrashStagingPrefix) + '*'},
                                              QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& s : staging) {
        const QDir stage(dir.filePath(s));
        for (const QString& n : stage.entryList(QDir::Files | QDir::Hidden)) {
            try {
                MoveToRecycleBinAs(stage.filePath(n), dir.filePath(n));
                ++cleared;
            } catch (const Exception&) {
            }
        }
        dir.rmdir(s);
    }
    return cleared;
}

SaveHooks& HistorySaveHooks() {
    static SaveHooks hooks;
    return hooks;
}

} // namespace vimosync
