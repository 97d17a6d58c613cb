#pragma once

// The file-system side of histories: reading a whole file, replacing a set of files so
// that a history is never missing, and clearing what an interrupted save left behind.

#include "support/Errors.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vimosync {

// Reads the whole file with one read into a buffer the loader then owns. False, with
// the reason in error, when it cannot be opened or read, or is no regular file (a FIFO
// or a device named like a history is never opened for reading).
bool ReadWholeFile(const QString& path, std::string& out, QString& error);

// Only the header of a binary file: the fixed part, then the two texts. What could be
// read when the file is shorter; empty when it cannot be opened or is no regular file.
// Throws when the file is there and cannot be read; a missing or special file gives no
// bytes.
std::string ReadBinaryHeaderBytes(const QString& path);

// What tells a file apart from the same name with other content: taken when a history
// is read, compared right before its new content takes the name.
struct FileIdentity {
    bool exists = false;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool operator==(const FileIdentity&) const = default;
};

// A file as a load read it: its identity then, and the size and SHA-256 of the bytes.
struct FileRead {
    QString path;
    FileIdentity identity;
    qint64 size = -1;
    QByteArray sha256;
};

// The identity of the file at path, through a symbolic link; exists is false when no
// file is there.
FileIdentity IdentityOf(const QString& path);

// ReadWholeFile, and the identity of the file read, taken from the open file: the same
// as IdentityOf right before, without looking at the path again. When the file cannot be
// read, the identity of what stands at the path (exists is false when nothing does).
bool ReadWholeFile(const QString& path, std::string& out, QString& error, FileIdentity& identity);

// Thrown by FileReplacement::commit when a file is no longer what was read: another
// program wrote it meanwhile. Every file is then left as it was.
class ChangedMeanwhile : public Exception {
public:
    explicit ChangedMeanwhile(const QString& path);
    const QString& path() const noexcept { return path_; }

private:
    QString path_;
};

// Replaces a set of files as one step: every new content is written completely beside
// its target first; only then do the new files take their names, the old archives go,
// and the replaced files are backed up. A failure half way puts every old file back.
// Only regular files (or symbolic links to one) are replaced or removed.
class TSyncJournal;

class FileReplacement {
public:
    FileReplacement();
    // Every file the replacement changes is noted in the journal (under the contact's
    // name) before it changes, and completed with where its old content went.
    FileReplacement(TSyncJournal* journal, const QString& contact);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Writes the new content of target beside it (throws Exception when it cannot).
    void stage(const QString& target, const std::string& bytes);
    // The same, and commit throws ChangedMeanwhile unless the target is still what was
    // read (expected, as IdentityOf gave it then) right before the new content takes
    // its name.
    void stage(const QString& target, const std::string& bytes, const FileIdentity& expected);
    // An old file (an archive) to remove when the new files are in place; with expected,
    // commit throws ChangedMeanwhile when the file is no longer what was read.
    void remove(const QString& path);
    void remove(const QString& path, const FileIdentity& expected);
    // The files as a load read them: the journal takes an old content's digest from
    // here while the file is still the one read, instead of reading it again.
    void knownContents(const std::vector<FileRead>& files);
    // Puts each new file in place, removes the old files (logged as archives) and backs
    // up the files replaced, when backup is set. removedToTrash tells whether the last
    // old archive went to the trash, replacedToTrash whether a replaced file did.
    void commit(bool backup, bool& removedToTrash, bool& replacedToTrash);

private:
    class Impl;
    std::unique_ptr<Impl> d_;
};

// Clears the hidden leftovers of saves that were interrupted (the process killed) in the
// folder: new contents that never took their history's name, old contents kept for a
// replaced or removed file, and the small records that name their histories. Only names
// of the exact form this program makes are touched. A leftover is deleted only when it
// certainly is a spare copy of what still stands under its history's name (the same
// file, or the same bytes); the old content of a history whose name is missing is put
// back under it; anything else goes to the trash under the history's name. Returns how
// many leftovers were cleared.
int TidyInterruptedSaves(const QString& folder);

// A seam for tests of the save: called once before each step of a save, and a step for
// which `fail` returns true fails as a file-system error would (ENOSPC for WriteTemp,
// EIO for the others; tests run as root, which no file permission stops).
enum class SaveStep {
    WriteTemp,  // writing a new content beside its target
    Replace,    // a new content taking its target's name
    OpenTemp,   // creating the file for a new content
    SyncTemp,   // flushing a new content to the disk
    Record,     // noting a leftover's history in the folder's record
    Link,       // a second name for an old content
    Copy,       // a copy of an old content, where no second name can be made
    RemoveOld,  // an old archive leaving its name
    SyncFolder, // flushing a folder's names to the disk
    Backup,     // an old content moving to the trash
};
struct SaveHooks {
    bool (*fail)(SaveStep step, const QString& target) = nullptr;
};
SaveHooks& HistorySaveHooks();

// A seam for tests of reading: the errno that opening a history file fails with (0: it
// opens), as a file that cannot be read would (tests run as root).
struct ReadHooks {
    int (*fail)(const QString& path) = nullptr;
};
ReadHooks& HistoryReadHooks();

} // namespace vimosync
