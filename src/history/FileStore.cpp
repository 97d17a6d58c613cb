#include "history/FileStore.h"

#include "history/BinaryFormat.h"
#include "support/Errors.h"
#include "support/HeapReuse.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "support/RecycleBin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

QString folderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

[[noreturn]] void Fail(const char* pattern, const QString& path, int err) {
    throw Exception(Format(pattern, nativePath(path), errnoText(err)), "EFileError");
}

[[noreturn]] void FailNotRegular(const QString& path) {
    throw Exception(Format(LangText::CannotReplaceFile, nativePath(path),
                           QString::fromUtf8(LangText::NotRegularFile)),
                    "EFileError");
}

// Opens path for reading only when it is a regular file, and without blocking: a FIFO
// named like a history would hang the open or the read, and opening a device may do
// something. -1, with the reason in error (and its number in err), otherwise. st is what
// stands at the path: the open file's status when it opened, st_mode 0 when nothing could
// be looked at.
int openRegular(const QString& path, QString& error, int& err, struct stat& st) {
    const QByteArray p = encoded(path);
    int fd = -1;
    err = 0;
    if (::stat(p.constData(), &st) != 0) {
        err = errno;
        st.st_mode = 0;
    } else if (!S_ISREG(st.st_mode)) {
        err = EINVAL;
    } else if ((fd = ::open(p.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) < 0) {
        err = errno;
    } else if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // The name changed between the two looks.
        ::close(fd);
        fd = -1;
        err = EINVAL;
    }
    if (fd < 0) {
        error = err == EINVAL ? QString::fromUtf8(LangText::NotRegularFile) : errnoText(err);
    }
    return fd;
}

// Reads up to n bytes at the end of buf; false on a read error.
bool readInto(int fd, std::string& buf, std::size_t n, int& err) {
    const std::size_t at = buf.size();
    buf.resize(at + n);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, buf.data() + at + got, n - got);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            err = errno;
            buf.resize(at + got);
            return false;
        }
        if (r == 0) {
            break; // the file ended (or shrank while being read)
        }
        got += static_cast<std::size_t>(r);
    }
    buf.resize(at + got);
    return true;
}

FileIdentity identityFrom(const struct stat& st) {
    FileIdentity id;
    id.exists = true;
    id.size = st.st_size;
    id.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.inode = st.st_ino;
    id.device = st.st_dev;
    return id;
}

// Reads the whole file with one read into a buffer the loader then owns; identity (when
// asked for) is the file's as it was opened, or what stands at the path when none opened.
bool ReadWholeFileImpl(const QString& path, std::string& out, QString& error,
                       FileIdentity* identity) {
    int err = 0;
    struct stat st;
    const int fd = openRegular(path, error, err, st);
    if (identity) {
        *identity = st.st_mode != 0 ? identityFrom(st) : FileIdentity{};
    }
    if (fd < 0) {
        return false;
    }
    out.clear();
    readInto(fd, out, static_cast<std::size_t>(st.st_size), err);
    ::close(fd);
    if (err) {
        error = errnoText(err);
        return false;
    }
    return true;
}

// The bytes read at once for a header: the fixed part and two texts of usual length.
constexpr std::size_t kHeaderChunk = 1024;

// Only the header of a binary file: the fixed part, then the two texts. One read takes
// the usual header whole; only longer texts need more.
std::string ReadBinaryHeaderBytesImpl(const QString& path) {
    QString error;
    int err = 0;
    struct stat st;
    const int fd = openRegular(path, error, err, st);
    if (fd < 0) {
        return {};
    }
    std::string buf;
    // True when the first n bytes are there, reading what is missing of them.
    auto have = [&](std::size_t n) {
        if (buf.size() < n) {
            readInto(fd, buf, n - buf.size(), err);
        }
        return buf.size() >= n;
    };
    readInto(fd, buf, kHeaderChunk, err);
    std::size_t end = kZmtFixedHeader;
    if (have(end)) {
        const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(buf[i]); };
        end += ((byteAt(44) << 8) | byteAt(45)) + 2;
        if (have(end)) {
            end += (byteAt(end - 2) << 8) | byteAt(end - 1);
            have(end);
        }
    }
    ::close(fd);
    if (buf.size() > end) {
        buf.resize(end);
    }
    return buf;
}

// The error a test makes the step fail with, or 0.
int injectedError(SaveStep step, const QString& target) {
    const SaveHooks& h = HistorySaveHooks();
    if (!h.fail || !h.fail(step, target)) {
        return 0;
    }
    return step == SaveStep::WriteTemp ? ENOSPC : EIO;
}

int writeAllOf(int fd, const char* p, std::size_t left) {
    while (left > 0) {
        const ssize_t w = ::write(fd, p, left);
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        p += w;
        left -= static_cast<std::size_t>(w);
    }
    return 0;
}

// Errors of link() that mean the file system has no hard links (a memory card).
bool noHardLinks(int err) {
    return err == EPERM || err == EOPNOTSUPP || err == ENOTSUP || err == EMLINK || err == ENOSYS;
}

// A rename that never replaces an entry; plain where the file system cannot promise it
// (the name was checked free just before).
int renameNew(const QString& from, const QString& to) {
    const QByteArray f = encoded(from);
    const QByteArray t = encoded(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    struct stat st;
    if (::lstat(t.constData(), &st) == 0) {
        return EEXIST;
    }
    return ::rename(f.constData(), t.constData()) == 0 ? 0 : errno;
}

// ---- Names of our own
//
// Beside a history only names of one fixed form are made: ".vimosync-", a letter for
// what the file holds, "-" and 16 random letters and digits. They are short whatever
// the history's name (one near the length limit still has room) and no user's file is
// named so by chance. A record in the same folder names the history of each.
constexpr const char* kOwnPrefix = ".vimosync-";
constexpr int kRandomLength = 16;
constexpr char kNewContent = 'n'; // a new content before it takes its history's name
constexpr char kKept = 'k';       // the old content of a replaced or removed file
constexpr char kRecord = 'r';     // the record of the leftovers' histories
constexpr const char* kRecordHeader = "vimosync leftovers 1\n";

// What a record says a leftover holds.
constexpr const char* kRoleNew = "new";         // a new content (complete or not)
constexpr const char* kRoleCopying = "copying"; // an old content being copied (not whole yet)
constexpr const char* kRoleOld = "old";         // the whole old content of a replaced file
constexpr const char* kRoleGone = "gone";       // an old archive that left its name

// Earlier versions gave a backup its name in a hidden folder named so before it went to
// the trash; one left behind (the process killed) holds a file still on its way there.
constexpr const char* kLegacyStagingPrefix = ".vimosync-backup-";

QString ownName(char kind) {
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString name = QLatin1String(kOwnPrefix) + QLatin1Char(kind) + QLatin1Char('-');
    for (int i = 0; i < kRandomLength; ++i) {
        name += QLatin1Char(digits[QRandomGenerator::global()->bounded(36)]);
    }
    return name;
}

// The kind letter of a name of exactly our form, else 0.
char ownKind(const QString& name) {
    const qsizetype prefix = qsizetype(std::strlen(kOwnPrefix));
    if (name.size() != prefix + 2 + kRandomLength || !name.startsWith(QLatin1String(kOwnPrefix)) ||
        name[prefix + 1] != QLatin1Char('-')) {
        return 0;
    }
    const char kind = name[prefix].toLatin1();
    if (kind != kNewContent && kind != kKept && kind != kRecord) {
        return 0;
    }
    for (qsizetype i = prefix + 2; i < name.size(); ++i) {
        const QChar c = name[i];
        if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
              (c >= QLatin1Char('0') && c <= QLatin1Char('9')))) {
            return 0;
        }
    }
    return kind;
}

bool isLegacyStaging(const QString& name) {
    const qsizetype prefix = qsizetype(std::strlen(kLegacyStagingPrefix));
    if (!name.startsWith(QLatin1String(kLegacyStagingPrefix)) || name.size() <= prefix ||
        name.size() > prefix + 13) {
        return false;
    }
    for (qsizetype i = prefix; i < name.size(); ++i) {
        const QChar c = name[i];
        if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
              (c >= QLatin1Char('0') && c <= QLatin1Char('9')))) {
            return false;
        }
    }
    return true;
}

// The record of one folder: a line "LEFTOVER ROLE HISTORY" (the history's file name
// percent-encoded) is written before the leftover it names is made, so that the next run
// knows each leftover's history whatever the length of the history's name. A killed
// process leaves its lines to the next run as written. After a power cut only lines that
// were flushed count, so the lines go to the disk (once for all the leftovers of a save)
// before the save's first rename: until then every history still has its name and its
// old content, and a leftover without its line is merely sent to the trash under its own
// name; from then on a history's name may be missing (on a file system whose rename is
// no single step) and its old content must be found by the record.
class Record {
public:
    explicit Record(QString folder) : folder_(std::move(folder)) {}
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    ~Record() { close(); }

    // Notes leftover (a name in the folder) as holding role for history (a path in the
    // folder); the line reaches the disk with the next flush. Throws, naming the history,
    // when the record cannot be written.
    void note(const QString& leftover, const char* role, const QString& history) {
        QByteArray line = encoded(leftover) + ' ' + role + ' ' +
                          encoded(QFileInfo(history).fileName()).toPercentEncoding() + '\n';
        int err = injectedError(SaveStep::Record, history);
        if (!err && fd_ < 0) {
            err = create();
            line.prepend(kRecordHeader);
        }
        if (!err) {
            err = writeAllOf(fd_, line.constData(), std::size_t(line.size()));
        }
        if (err) {
            Fail(LangText::CannotWriteFile, history, err);
        }
        leftovers_.insert(leftover);
        unflushed_ = true;
    }

    // Puts the lines noted so far on the disk (nothing to do when they are). Throws,
    // naming the history, when they cannot be.
    void flush(const QString& history) {
        if (!unflushed_) {
            return;
        }
        int err = injectedError(SaveStep::Record, history);
        if (!err && ::fdatasync(fd_) != 0) {
            err = errno;
        }
        if (err) {
            Fail(LangText::CannotWriteFile, history, err);
        }
        unflushed_ = false;
    }

    // The leftover (a name in the folder) certainly left its name: drop needs no look.
    void gone(const QString& leftover) { leftovers_.erase(leftover); }

    // Removes the record once none of the leftovers it names is there any more.
    void drop() {
        close();
        if (path_.isEmpty()) {
            return;
        }
        for (const QString& l : leftovers_) {
            struct stat st;
            if (::lstat(encoded(folder_ + QLatin1Char('/') + l).constData(), &st) == 0) {
                return; // the next run's tidying needs it
            }
        }
        ::unlink(encoded(path_).constData());
        path_.clear();
    }

private:
    int create() {
        for (int attempt = 0; attempt < 10; ++attempt) {
            const QString path = folder_ + QLatin1Char('/') + ownName(kRecord);
            fd_ = ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd_ >= 0) {
                path_ = path;
                return 0;
            }
            if (errno != EEXIST) {
                break;
            }
        }
        return errno;
    }
    void close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    QString folder_, path_;
    int fd_ = -1;
    bool unflushed_ = false;
    std::set<QString> leftovers_;
};

struct Leftover {
    QString role, history;
};

// The leftovers a record names, the last line for each counting; false when the file
// is not a record of ours.
bool readRecord(const QString& path, std::map<QString, Leftover>& out, QStringList& named) {
    std::string bytes;
    QString error;
    if (!ReadWholeFileImpl(path, bytes, error, nullptr) || bytes.rfind(kRecordHeader, 0) != 0) {
        return false;
    }
    const QByteArray all = QByteArray::fromStdString(bytes).mid(qstrlen(kRecordHeader));
    const QList<QByteArray> lines = all.split('\n');
    // The last piece follows the last newline: a line cut short by a kill, if anything.
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].split(' ');
        if (f.size() != 3) {
            continue;
        }
        const QString leftover = QFile::decodeName(f[0]);
        const QString history = QFile::decodeName(QByteArray::fromPercentEncoding(f[2]));
        if (!ownKind(leftover) || history.isEmpty() || history.contains(QLatin1Char('/')) ||
            history == QLatin1String(".") || history == QLatin1String("..")) {
            continue;
        }
        out[leftover] = {QString::fromLatin1(f[1]), history};
        named << leftover;
    }
    return true;
}

bool sameBytes(const QString& a, const QString& b) {
    std::string x, y;
    QString error;
    return ReadWholeFileImpl(a, x, error, nullptr) && ReadWholeFileImpl(b, y, error, nullptr) &&
           x == y;
}

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

} // namespace

FileIdentity IdentityOf(const QString& path) {
    struct stat st;
    if (::stat(encoded(path).constData(), &st) != 0) {
        return {};
    }
    return identityFrom(st);
}

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
    Impl() = default;
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
        staged_.push_back(s);
    }
    void remove(const QString& path, const std::optional<FileIdentity>& expected) {
        Removal r;
        r.path = path;
        r.expected = expected;
        removals_.push_back(r);
    }

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
                s.trashed = toTrash(s.keep, s.target);
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
                r.trashed = toTrash(r.keep, r.path);
            }
            if (r.trashed || dropKept(r.keep)) {
                gone(r.keep);
            }
        }
        dropRecords();
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
    };
    struct Removal {
        QString path, keep;
        std::optional<FileIdentity> expected;
        int overwrittenBy = -1;
        bool trashed = false;
    };

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
    static bool toTrash(const QString& kept, const QString& file) {
        try {
            const int err = injectedError(SaveStep::Backup, file);
            if (err) {
                Fail(LangText::TrashMoveFailed, file, err);
            }
            MoveToRecycleBinAs(kept, file);
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
};

FileReplacement::FileReplacement() : d_(std::make_unique<Impl>()) {
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

void FileReplacement::commit(bool backup, bool& removedToTrash, bool& replacedToTrash) {
    d_->commit(backup, removedToTrash, replacedToTrash);
}

bool ReadWholeFile(const QString& path, std::string& out, QString& error) {
    KeepFreedMemoryForReuse();
    return ReadWholeFileImpl(path, out, error, nullptr);
}

bool ReadWholeFile(const QString& path, std::string& out, QString& error, FileIdentity& identity) {
    KeepFreedMemoryForReuse();
    return ReadWholeFileImpl(path, out, error, &identity);
}

std::string ReadBinaryHeaderBytes(const QString& path) {
    return ReadBinaryHeaderBytesImpl(path);
}

namespace {

// Moves a leftover to the trash as file; false (logged) when the trash cannot take it.
bool trashLeftover(const QString& leftover, const QString& file) {
    try {
        MoveToRecycleBinAs(leftover, file);
        return true;
    } catch (const Exception& e) {
        WriteLog(Format(LangText::LogBackupError, shortName(file), e.message()));
        return false;
    }
}

// Clears one leftover whose record names its history.
bool tidyLeftover(const QString& path, const Leftover& l, const QString& history) {
    const QByteArray p = encoded(path);
    const QByteArray h = encoded(history);
    struct stat ps, hs;
    const bool stands = ::stat(h.constData(), &hs) == 0 && S_ISREG(hs.st_mode);
    if (stands && ::lstat(p.constData(), &ps) == 0 &&
        ((ps.st_ino == hs.st_ino && ps.st_dev == hs.st_dev) ||
         (ps.st_size == hs.st_size && sameBytes(path, history)))) {
        // A spare copy of what stands under the history's name.
        return ::unlink(p.constData()) == 0;
    }
    if (l.role == QLatin1String(kRoleOld) && ::lstat(h.constData(), &hs) != 0 && errno == ENOENT &&
        renameNew(path, history) == 0) {
        // The only copy of a history whose name is missing: the next run merges with it
        // rather than rebuild the history from the source alone.
        WriteLog(Format(LangText::LogRestoredLeftover, shortName(history)));
        return true;
    }
    return trashLeftover(path, history);
}

} // namespace

int TidyInterruptedSaves(const QString& folder) {
    const QDir dir(folder);
    int cleared = 0;
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    std::map<QString, Leftover> known;
    std::vector<std::pair<QString, QStringList>> records;
    QStringList leftovers;
    for (const QString& n : names) {
        const char kind = ownKind(n);
        struct stat st;
        if (!kind || ::lstat(encoded(dir.filePath(n)).constData(), &st) != 0 ||
            !S_ISREG(st.st_mode)) {
            continue;
        }
        if (kind != kRecord) {
            leftovers << n;
            continue;
        }
        QStringList named;
        if (readRecord(dir.filePath(n), known, named)) {
            records.emplace_back(n, named);
        } else if (st.st_size == 0) {
            ::unlink(encoded(dir.filePath(n)).constData()); // made, then the process killed
        } else {
            leftovers << n;
        }
    }
    for (const QString& n : leftovers) {
        const QString path = dir.filePath(n);
        const auto it = known.find(n);
        // With no record of its history, a leftover goes to the trash under its own name.
        const bool done = it == known.end()
                              ? trashLeftover(path, path)
                              : tidyLeftover(path, it->second, dir.filePath(it->second.history));
        cleared += done ? 1 : 0;
    }
    for (const auto& [record, named] : records) {
        const bool left = std::any_of(named.begin(), named.end(), [&](const QString& l) {
            struct stat st;
            return ::lstat(encoded(dir.filePath(l)).constData(), &st) == 0;
        });
        if (!left) {
            ::unlink(encoded(dir.filePath(record)).constData());
        }
    }
    for (const QString& s : dir.entryList({QLatin1String(kLegacyStagingPrefix) + '*'},
                                          QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (!isLegacyStaging(s)) {
            continue;
        }
        const QDir stage(dir.filePath(s));
        for (const QString& n : stage.entryList(QDir::Files | QDir::Hidden)) {
            cleared += trashLeftover(stage.filePath(n), dir.filePath(n)) ? 1 : 0;
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
