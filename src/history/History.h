#pragma once

// Entry points for reading and writing one contact's history, whatever its format.

#include "history/FileStore.h"
#include "history/Model.h"
#include "history/Options.h"

#include <QString>

namespace vimosync {

// Fills the entry from the file's header (binary) or from the whole file (plain text).
// A file that cannot be read throws Exception (EFileError); a binary file without a
// readable header gives Valid false.
void ReadEntryHeader(TZMTHead& entry, const QString& path, const TReadOptions& options);

// Reads the file named by list.FileName into the list (Valid tells whether it was read
// whole). With withArchives the archive files come first. A missing file or an empty
// name gives an empty list. A plain-text file that exists but cannot be opened throws.
void LoadHistory(TZMTMessList& list, TLoadMode mode, bool withArchives,
                 const TReadOptions& options);

// What a history file of the version makes of the list's messages, as written by our
// writer and read back by our reader.
enum class TStoreCheck {
    AsIs,      // every message comes back as it is; out is not touched
    Changed,   // out holds the messages as they come back (same count and order)
    CannotHold // some message cannot be stored: problem says which and why
};
// The problem names the file targetName (the list's own file when empty).
TStoreCheck AsStoredIn(const TZMTMessList& list, int version, const TReadOptions& options,
                       TZMTMessList& out, QString& problem, const QString& targetName = QString());

// Appends the messages of the history's archive files (archive 1, 2, ... up to the first
// missing number, stopping at an invalid one) and sets list.ArchivesComplete.
void LoadArchives(TZMTMessList& list, const TReadOptions& options);

// True when the archive folder (folderName beside the history) holds an archive file of
// the history.
bool HasArchiveFiles(const QString& historyPath, const QString& folderName);

// The archive folder and archive n of a history file.
QString ArchiveFolder(const QString& historyPath, const QString& folderName);
QString ArchiveName(const QString& historyPath, const QString& folderName, int n);

// Writes the list to its FileName in its Version (split into archive files of
// NewArchiveSize when split is set). The new content is written completely beside the
// old file first; only then does it take the old file's name, and the old content goes
// to the trash (BackupToRecycleBin) or away. backedUp tells whether a replaced file went to the
// trash. Throws Exception on an empty file name, a text too long to store, or a file-system error;
// the old files are then still in place.
void SaveHistory(TZMTMessList& list, bool& backedUp, bool split, const TReadOptions& options,
                 const TSaveOptions& save);

} // namespace vimosync
