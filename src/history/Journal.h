#pragma once

// The journal of a synchronization: one file per run that writes anything, under the
// program's data folder. It says when the run was, between which directories, with which
// settings, and for every file the run created, replaced or removed (archive parts too):
// the content it left (size and SHA-256), the content before, and where the old content
// went. Each line is a JSON object; a line is on the disk before the change it announces,
// so a run that is killed leaves a journal of everything it may have done. The undo of a
// run adds its own lines to the same file.

#include "support/Errors.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <vector>

namespace vimosync {

// The folder that holds the journals: the desktop program's data folder ("journal" in
// it), shared with the command-line tool.
QString JournalFolder();

// Whether a journal can be written in folder now: makes the folder, and a file in it
// that is written, flushed and removed again. False, with the reason, when it cannot.
bool CanWriteJournal(const QString& folder, QString& error);

// Removes the journals in folder of runs that started more than days before now, but
// always keeps the newest run of each destination, so that the last synchronization of
// a directory stays undoable however old it is. Journals that cannot be read are left
// alone. Returns how many journals were removed.
int PruneJournals(const QString& folder, int days, const QDateTime& now);

enum class TFileAction { Created, Replaced, Removed };

// One file a run changed.
struct TJournalFile {
    int Id = 0;
    int Set = 0;     // the files replaced as one step: a history and its archive parts
    QString Contact; // "UIN nick", for the reports
    QString Path;
    QString Name; // the history's name when Path is where its symbolic link points
    TFileAction Action = TFileAction::Created;
    qint64 NewSize = -1; // the content the run left (none for a removed file)
    QByteArray NewSha;
    qint64 OldSize = -1; // the content before (none for a created file)
    QByteArray OldSha;
    QString Kept;            // the old content beside the file while the save ran
    QString Trash;           // where the old content went in the trash; empty: not kept
    QString TrashInfo;       // the trash's record of it
    bool Finished = false;   // the save went through to its end
    bool RolledBack = false; // the save failed and put the old file back
    QString Undone;          // what an undo did with it; empty while nothing
};

// One run as its journal tells it.
struct TJournalRun {
    QString Id; // the journal's file name without its extension: sorts by time
    QString FilePath;
    QDateTime Started, Finished; // Finished is invalid when the run did not end
    QString Source, Destination;
    bool Backup = true;    // BackupToRecycleBin was on
    bool BothWays = false; // the run wrote into the source too
    QJsonObject Settings;
    QJsonObject Counts;  // what the run's report said
    QStringList Folders; // folders made for the run (the archive folder)
    std::vector<TJournalFile> Files;
    bool UndoStarted = false;
    bool Undone = false; // an undo went through to its end
};

// Reads one journal; a torn last line (the run killed while writing it) is left out.
// False, with the reason, when the file cannot be read or has no header. With
// headerOnly only the first line is read: when, between which directories, settings.
bool ReadJournal(const QString& path, TJournalRun& run, QString& error, bool headerOnly = false);

// Every run with a journal in folder, oldest first; journals that cannot be read are
// left out. With headerOnly only their first lines are read.
std::vector<TJournalRun> ReadJournals(const QString& folder, bool headerOnly = false);

// A journal file that lines are added to, each one flushed to the disk before the call
// returns. Safe to use from several threads.
class TJournalWriter {
public:
    TJournalWriter() = default;
    ~TJournalWriter();
    TJournalWriter(const TJournalWriter&) = delete;
    TJournalWriter& operator=(const TJournalWriter&) = delete;

    // Creates a new journal in folder, named by the time; throws Exception when it
    // cannot be written.
    void Create(const QString& folder, const QDateTime& when);
    // Opens an existing journal to add lines to; throws Exception when it cannot.
    void Open(const QString& path);
    bool IsOpen() const { return fd_ >= 0; }
    QString Path() const { return path_; }
    // Adds the lines (JSON objects) and, with flush, puts them on the disk with every line
    // before them; throws Exception when it cannot. A line not flushed survives a killed
    // process, not a power cut until the next flush.
    void Append(const std::vector<QJsonObject>& lines, bool flush = true);

private:
    mutable std::mutex mutex_;
    int fd_ = -1;
    QString path_;
};

// Thrown by TSyncJournal when the journal cannot be written: nothing more is saved, since
// a change the journal does not know of could not be undone.
class JournalUnwritable : public Exception {
public:
    explicit JournalUnwritable(const TText& message) : Exception(message, "EJournalError") {}
};

// What a synchronization notes as it goes. Nothing is written until the first change is
// noted: a run that writes nothing leaves no journal.
class TSyncJournal {
public:
    struct Header {
        QDateTime Started;
        QString Source, Destination;
        bool Backup = true;
        bool BothWays = false; // the run writes into the source too
        QJsonObject Settings;
        QStringList Folders; // folders made for this run before it started
    };
    TSyncJournal(QString folder, Header header);

    // Gives the files ids and notes them before the first of them changes. Throws
    // JournalUnwritable when the journal cannot be written: the save must not go on then.
    void Planned(std::vector<TJournalFile>& files);
    // The save of the files went through; their Trash and TrashInfo say where the old
    // contents went. The line reaches the disk with the next save's plan or the end.
    void Finished(const std::vector<TJournalFile>& files);
    // The save failed and put the files back as they were.
    void RolledBack(const std::vector<TJournalFile>& files) noexcept;
    // The run's end, with the counts of its report (only when it noted a change).
    void End(const QJsonObject& counts);

    bool Written() const;
    QString Path() const;

private:
    void ensureOpen(); // under mutex_
    QString folder_;
    Header header_;
    TJournalWriter writer_;
    mutable std::mutex mutex_;
    int nextId_ = 1;
    int nextSet_ = 1;
};

QString ActionName(TFileAction action);

// A seam for tests: the errno that adding lines to a journal fails with (0: it works), as
// a full disk would; called once for each Append.
struct JournalHooks {
    int (*fail)() = nullptr;
};
JournalHooks& JournalWriteHooks();

} // namespace vimosync
