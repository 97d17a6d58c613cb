#pragma once

// What the parts of the file layer share (internal to it): small helpers on paths and
// errors, the names of the files of our own beside the histories, and the record that
// names the history of each.

#include "history/FileStore.h"
#include "support/Errors.h"
#include "support/LangText.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vimosync::files {

QString shortName(const QString& path);
QString nativePath(const QString& path);
QString errnoText(int err);
QByteArray encoded(const QString& path);
QString folderOf(const QString& path);
[[noreturn]] void Fail(const char* pattern, const QString& path, int err);
[[noreturn]] void FailNotRegular(const QString& path);
int openRegular(const QString& path, QString& error, int& err, struct stat& st);
bool readInto(int fd, std::string& buf, std::size_t n, int& err);
FileIdentity identityFrom(const struct stat& st);
bool ReadWholeFileImpl(const QString& path, std::string& out, QString& error,
                       FileIdentity* identity);
std::string ReadBinaryHeaderBytesImpl(const QString& path);
int injectedError(SaveStep step, const QString& target);
int writeAllOf(int fd, const char* p, std::size_t left);
bool noHardLinks(int err);
int renameNew(const QString& from, const QString& to);
// Puts the names of the folder on the disk, where the file system can (no error: a
// rename done is only delayed, never undone, by a folder that cannot be flushed).
void flushFolder(const QString& folder);

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

QString ownName(char kind);
char ownKind(const QString& name);
bool isLegacyStaging(const QString& name);

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
bool readRecord(const QString& path, std::map<QString, Leftover>& out, QStringList& named);
bool sameBytes(const QString& a, const QString& b);
// Copies the old content of from to a new file to (made with O_EXCL), with its mode and
// times, and flushes it to the disk; 0 or the error, the copy removed again.
int copyOld(const QString& from, const QString& to);

} // namespace vimosync::files
