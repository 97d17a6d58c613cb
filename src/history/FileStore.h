#pragma once

// The file-system side of histories: reading a whole file, replacing a set of files so
// that a history is never missing, and clearing what an interrupted save left behind.

#include <QString>

#include <memory>
#include <string>

namespace vimosync {

// Reads the whole file with one read into a buffer the loader then owns. False, with
// the reason in error, when it cannot be opened or read.
bool ReadWholeFile(const QString& path, std::string& out, QString& error);

// Only the header of a binary file: the fixed part, then the two texts. What could be
// read when the file is shorter; empty when it cannot be opened.
std::string ReadBinaryHeaderBytes(const QString& path);

// Replaces a set of files as one step: every new content is written completely beside
// its target first; only then do the new files take their names, the old archives go,
// and the replaced files are backed up. A failure half way puts every old file back.
class FileReplacement {
public:
    FileReplacement();
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Writes the new content of target beside it (throws Exception when it cannot).
    void stage(const QString& target, const std::string& bytes);
    // An old file (an archive) to remove when the new files are in place.
    void remove(const QString& path);
    // Puts each new file in place, removes the old files (logged as archives) and backs
    // up the files replaced, when backup is set. removedToTrash tells whether the last
    // old archive went to the trash, replacedToTrash whether a replaced file did.
    void commit(bool backup, bool& removedToTrash, bool& replacedToTrash);

private:
    class Impl;
    std::unique_ptr<Impl> d_;
};

// Clears the hidden leftovers of saves that were interrupted (the process killed) in the
// folder: new contents that never took their history's name, second links kept of
// replaced files, backups on their way to the trash. A new content while its history
// stands and a link to the history as it stands are removed; anything else may be the
// only copy of something and goes to the trash under the history's name. Returns how
// many were cleared.
int TidyInterruptedSaves(const QString& folder);

// A seam for tests of the save: a step for which `fail` returns true fails as a
// file-system error would (tests run as root, which no file permission stops).
enum class SaveStep { WriteTemp, Replace };
struct SaveHooks {
    bool (*fail)(SaveStep step, const QString& target) = nullptr;
};
SaveHooks& HistorySaveHooks();

} // namespace vimosync
