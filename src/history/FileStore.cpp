// Reading history files: a whole file or a header in one read, never blocking on what is
// no regular file, and the identity of what was read; the hooks that tests fail saves by.

#include "history/FileStore.h"

#include "history/BinaryFormat.h"
#include "history/FileParts.h"
#include "support/HeapReuse.h"

#include <QDir>

#include <cstring>

namespace vimosync {

namespace files {

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
    throw Exception(
        Format(LangText::CannotReplaceFile, nativePath(path), Format(LangText::NotRegularFile)),
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
    } else if (HistoryReadHooks().fail && (err = HistoryReadHooks().fail(path)) != 0) {
        // a test's unreadable file
    } else if ((fd = ::open(p.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) < 0) {
        err = errno;
    } else if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // The name changed between the two looks.
        ::close(fd);
        fd = -1;
        err = EINVAL;
    }
    if (fd < 0) {
        error = err == EINVAL ? Format(LangText::NotRegularFile) : errnoText(err);
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
    if (out.capacity() < static_cast<std::size_t>(st.st_size)) {
        TSpareBuffers<std::string>::Instance().Take(out, static_cast<std::size_t>(st.st_size));
    }
    out.reserve(static_cast<std::size_t>(st.st_size));
    PreferLargePages(out.data(), out.capacity());
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
        // A file gone meanwhile or not a regular file holds no header; one that is there
        // and cannot be read is an error to report.
        if (err == ENOENT || err == ENOTDIR || err == EINVAL) {
            return {};
        }
        throw Exception(Format(LangText::CannotReadFile, nativePath(path), error), "EFileError");
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
void flushFolder(const QString& folder) {
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

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

} // namespace files

using namespace files;

FileIdentity IdentityOf(const QString& path) {
    struct stat st;
    if (::stat(encoded(path).constData(), &st) != 0) {
        return {};
    }
    return identityFrom(st);
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

ReadHooks& HistoryReadHooks() {
    static ReadHooks hooks;
    return hooks;
}

SaveHooks& HistorySaveHooks() {
    static SaveHooks hooks;
    return hooks;
}

} // namespace vimosync
