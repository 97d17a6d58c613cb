#include "support/RecycleBin.h"

#include "support/Errors.h"
#include "support/LangText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

// The freedesktop.org trash, written here rather than taken from QFile::moveToTrash:
// Qt 6.4's call retries for ever when the record in info/ cannot be created (a file
// where that folder should be, a name too long for the record's suffix, an unwritable
// folder), reports success when it could not write the record (a full disk leaves it
// empty) and names no file in its errors. Here every step that fails ends in an error
// that names the file and the reason, and the file then stays where it was.

namespace vimosync {

namespace {

// Longest file name the file systems take (NAME_MAX), and the record's suffix.
constexpr int kNameMax = 255;
constexpr const char* kInfoSuffix = ".trashinfo";
// Entries already in the trash under a name are counted past with "-0001", "-0002", ...
constexpr int kMaxNames = 10000;

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

QString reason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void Fail(int err, const QString& message) {
    throw Exception(Format(LangText::TrashError, err, message));
}

// The mount a folder is on. Two folders are on one mount when both the device and the
// mount id (where the kernel tells it) agree: a bind mount has the device of another,
// and a rename between them fails all the same.
struct Mount {
    quint64 device = 0;
    quint64 id = 0;
    bool operator==(const Mount&) const = default;
};

bool mountOf(const QString& path, Mount& m) {
    struct statx sx;
    if (::statx(AT_FDCWD, encoded(path).constData(), 0, STATX_INO | STATX_MNT_ID, &sx) != 0) {
        return false;
    }
    m.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    m.id = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
    return true;
}

// The mount of the nearest folder above path (or path itself) that exists.
bool mountOfNearest(QString path, Mount& m) {
    for (;;) {
        if (mountOf(path, m)) {
            return true;
        }
        const QString up = QFileInfo(path).path();
        if (up == path) {
            return false;
        }
        path = up;
    }
}

// The folder the mount of the canonical folder dir starts at.
QString topFolderOf(QString dir, const Mount& m) {
    while (dir != QLatin1String("/")) {
        const QString up = QFileInfo(dir).path();
        Mount um;
        if (!mountOf(up, um) || !(um == m)) {
            break;
        }
        dir = up;
    }
    return dir;
}

QString dataHome() {
    const QString x = qEnvironmentVariable("XDG_DATA_HOME");
    if (!x.isEmpty() && QDir::isAbsolutePath(x)) {
        return QDir::cleanPath(x);
    }
    return QDir::homePath() + QStringLiteral("/.local/share");
}

// Makes the folder unless it is there; 0 or the error (ENOTDIR for something else there).
int ensureFolder(const QString& dir) {
    const QByteArray d = encoded(dir);
    if (::mkdir(d.constData(), 0700) == 0) {
        return 0;
    }
    if (errno != EEXIST) {
        return errno;
    }
    struct stat st;
    if (::stat(d.constData(), &st) != 0) {
        return errno;
    }
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

// A trash folder of a top folder must be the user's own real folder, no symbolic link.
bool ownFolder(const QString& dir) {
    struct stat st;
    return ::lstat(encoded(dir).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid();
}

struct Trash {
    QString dir;      // holds files/ and info/
    QString top;      // the top folder for a trash of its own mount, else empty
    QString home;     // the data folder for the home trash, else empty
    QString original; // the original's path as the record names it
};

// The trash for a file in the folder: the home trash when it is on the same mount, else
// the trash of the folder's mount ($topdir/.Trash/$uid or $topdir/.Trash-$uid). The home
// trash's folders are made by makeFolders when the record finds them missing; a
// top folder's trash is chosen by what stands there, so it is looked at every time.
Trash trashFor(const QString& original) {
    const QFileInfo oi(original);
    const QString folderPath = oi.absolutePath();
    Mount m;
    if (!mountOf(folderPath, m)) {
        Fail(ENOENT, Format(LangText::TrashMoveFailed, native(original), reason(ENOENT)));
    }
    Trash t;
    const QString home = dataHome();
    Mount hm;
    if (mountOfNearest(home, hm) && hm == m) {
        t.home = home;
        t.dir = home + QStringLiteral("/Trash");
        t.original = QDir::cleanPath(oi.absoluteFilePath());
        return t;
    }
    // Paths in a top folder's trash are relative to it, so they follow the real folder.
    const QString folder = QFileInfo(folderPath).canonicalFilePath();
    if (folder.isEmpty()) {
        Fail(ENOENT, Format(LangText::TrashMoveFailed, native(original), reason(ENOENT)));
    }
    t.top = topFolderOf(folder, m);
    const QString base = t.top.endsWith(QLatin1Char('/')) ? t.top : t.top + QLatin1Char('/');
    const QString uid = QString::number(::getuid());
    // Paths in the trash of a top folder are relative to it: the mount may move.
    t.original = (folder + QLatin1Char('/') + oi.fileName()).mid(base.size());
    const QString shared = base + QStringLiteral(".Trash");
    struct stat st;
    if (::lstat(encoded(shared).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_ISVTX)) {
        t.dir = shared + QLatin1Char('/') + uid;
        if (ensureFolder(t.dir) == 0 && ownFolder(t.dir)) {
            return t;
        }
    }
    t.dir = base + QStringLiteral(".Trash-") + uid;
    int err = ensureFolder(t.dir);
    if (!err && !ownFolder(t.dir)) {
        err = EPERM;
    }
    if (err) {
        Fail(err,
             Format(LangText::TrashFolderFailed, native(original), native(t.dir), reason(err)));
    }
    return t;
}

// The name of the entry in the trash: the original's, counted past the names taken, and
// cut where the record's name would pass the length limit (the extension kept).
QByteArray entryName(const QByteArray& name, int n) {
    const QByteArray suffix = n ? '-' + QByteArray::number(n).rightJustified(4, '0') : "";
    const qsizetype room = kNameMax - qstrlen(kInfoSuffix) - 5;
    if (name.size() <= room) {
        return name + suffix;
    }
    qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0 || name.size() - dot > 16) {
        dot = name.size();
    }
    const QByteArray ext = name.mid(dot);
    qsizetype cut = room - ext.size();
    // Never inside a character of several bytes.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return name.left(cut) + ext + suffix;
}

int writeAllOf(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t w = ::write(fd, p, static_cast<std::size_t>(left));
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        p += w;
        left -= w;
    }
    return 0;
}

// A rename that never replaces an entry another program put there meanwhile.
int renameNew(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // The file system cannot promise it; the name was checked free just before.
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

// The local time now as a record's deletion date. The C library's clock, not QDateTime:
// that one looks at the system's time zone file again on every call.
QByteArray deletionDate() {
    const std::time_t now = std::time(nullptr);
    struct tm local;
    char text[32] = "";
    if (::localtime_r(&now, &local)) {
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    }
    return text;
}

// Makes the trash's folders that are missing; throws, naming the folder, when one cannot
// be made or something else stands where it should be.
void makeFolders(const Trash& t, const QString& original) {
    if (!t.home.isEmpty()) {
        QDir().mkpath(t.home); // a failure shows as a missing trash folder below
    }
    QStringList folders{t.dir + QStringLiteral("/files"), t.dir + QStringLiteral("/info")};
    if (!t.home.isEmpty()) {
        folders.prepend(t.dir);
    }
    for (const QString& d : folders) {
        const int err = ensureFolder(d);
        if (err) {
            Fail(err,
                 Format(LangText::TrashFolderFailed, native(original), native(d), reason(err)));
        }
    }
}

// Moves source into the trash as original: the record (written whole, with O_EXCL)
// comes first, then the move; a move that fails takes its record back. The trash's
// folders are made only when the record or the move finds one missing: once they stand,
// a move takes no more than writing the record and one rename.
TrashEntry moveIntoTrash(const QString& source, const QString& original) {
    const Trash t = trashFor(original);
    const QString files = t.dir + QStringLiteral("/files");
    const QString info = t.dir + QStringLiteral("/info");
    bool made = false;
    // Makes the folders once, when a step failed with err; false when that cannot help.
    const auto makeOnce = [&](int err) {
        if (made || (err != ENOENT && err != ENOTDIR)) {
            return false;
        }
        makeFolders(t, original);
        made = true;
        return true;
    };
    const QByteArray record = "[Trash Info]\nPath=" + encoded(t.original).toPercentEncoding("/") +
                              "\nDeletionDate=" + deletionDate() + '\n';
    const QByteArray name = encoded(QFileInfo(original).fileName());
    const QByteArray from = encoded(source);
    int n = 0;
    while (n < kMaxNames) {
        const QByteArray entry = entryName(name, n);
        const QByteArray filePath = encoded(files) + '/' + entry;
        const QByteArray infoPath = encoded(info) + '/' + entry + kInfoSuffix;
        struct stat st;
        if (::lstat(filePath.constData(), &st) == 0) {
            ++n;
            continue;
        }
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            const int err = errno;
            if (err == EEXIST) {
                ++n;
                continue;
            }
            if (makeOnce(err)) {
                continue; // the same name again, now that the folders stand
            }
            Fail(err, Format(LangText::TrashInfoFailed, native(QFile::decodeName(infoPath)),
                             native(original), reason(err)));
        }
        int err = writeAllOf(fd, record);
        if (!err && ::fsync(fd) != 0) {
            err = errno;
        }
        if (::close(fd) != 0 && !err) {
            err = errno;
        }
        if (err) {
            ::unlink(infoPath.constData());
            Fail(err, Format(LangText::TrashInfoFailed, native(QFile::decodeName(infoPath)),
                             native(original), reason(err)));
        }
        err = renameNew(from, filePath);
        if (err) {
            ::unlink(infoPath.constData());
            if (err == EEXIST) {
                ++n;
                continue;
            }
            // files/ missing (or something else in its place) while info/ stands.
            if (makeOnce(err)) {
                continue;
            }
            Fail(err,
                 Format(LangText::TrashFolderFailed, native(original), native(files), reason(err)));
        }
        return {QFile::decodeName(filePath), QFile::decodeName(infoPath)};
    }
    Fail(EEXIST, Format(LangText::TrashFolderFailed, native(original), native(files),
                        Format(LangText::TrashNoFreeName)));
}

} // namespace

TrashEntry MoveToRecycleBin(const QString& path) {
    const QString abs = QFileInfo(path).absoluteFilePath();
    struct stat st;
    // A dangling symbolic link is still a directory entry that can be moved.
    if (::lstat(encoded(abs).constData(), &st) != 0) {
        if (errno == ENOENT) {
            return {};
        }
        const int err = errno;
        Fail(err, Format(LangText::TrashMoveFailed, native(abs), reason(err)));
    }
    return moveIntoTrash(abs, abs);
}

TrashEntry MoveToRecycleBinAs(const QString& path, const QString& originalPath) {
    const QString abs = QFileInfo(path).absoluteFilePath();
    struct stat st;
    if (::lstat(encoded(abs).constData(), &st) != 0) {
        const int err = errno;
        Fail(err, Format(LangText::TrashMoveFailed, native(originalPath), reason(err)));
    }
    return moveIntoTrash(abs, QFileInfo(originalPath).absoluteFilePath());
}

} // namespace vimosync
