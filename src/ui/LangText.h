#pragma once

// Every text the user can see, in one table, and the Format() that fills their
// "%s" and "%d" places. Depends on Qt Core only, so that the core can use it.
//
// Each subsystem keeps its texts in its own section below.

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <type_traits>

namespace vimosync {

namespace detail {
QString formatArgs(const char* pattern, const QStringList& args);
inline QString toArg(const QString& s) {
    return s;
}
inline QString toArg(const char* s) {
    return QString::fromUtf8(s);
}
inline QString toArg(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
inline QString toArg(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
template <class T>
requires std::is_arithmetic_v<T> QString toArg(T v) {
    return QString::number(v);
}
} // namespace detail

// Fills the "%s" and "%d" places of the pattern in order; "%%" is a percent sign.
template <class... A> QString Format(const char* pattern, const A&... args) {
    return detail::formatArgs(pattern, QStringList{detail::toArg(args)...});
}

namespace LangText {

// ---- Application
inline constexpr const char* AppTitle = "Vimo PDA/Oskel/Varyon History Synchronizer";

// ---- History files
inline constexpr const char* InvalidZmtStructure = "Invalid ZMT file structure";
inline constexpr const char* UnsupportedZmtFormat = "Not supported ZMT file format %s";
inline constexpr const char* SaveEmptyFileName = "Trying to save file with empty filename";
inline constexpr const char* LogWritingRecords = "Writing %d records to file %s";
inline constexpr const char* LogBackupError = "Error while backuping file \"%s\". %s";
inline constexpr const char* LogKillingArchive = "Killing archive %s";
inline constexpr const char* TextTooLong = "Message text too long to store (%d bytes) in file %s";
inline constexpr const char* HeaderFieldTooLong =
    "Contact UIN or nick too long to store (%d bytes) in file %s";
inline constexpr const char* CannotReadFile = "Cannot read file %s: %s";
inline constexpr const char* CannotWriteFile = "Cannot write file %s: %s";
inline constexpr const char* CannotReplaceFile = "Cannot replace file %s: %s";
inline constexpr const char* CannotRemoveFile = "Cannot remove file %s: %s";
inline constexpr const char* UnknownCodePage =
    "Unknown code page \"%s\" (key CodePage of section ParseTXT in the settings file)";

// ---- Merge
// Lines of the comparison views: direction markers and the mark of a differing message.
inline constexpr const char* MarkerOutgoing = ">>>>";
inline constexpr const char* MarkerIncoming = "<<<<";
inline constexpr const char* DiffersMark = "+ ";

// ---- Workflow: analysis, synchronization, monitor, window state
inline constexpr const char* NickUnset = "<My Nick>";
inline constexpr const char* SelectSrcDir = "Select source directory";
inline constexpr const char* SelectDstDir = "Select destination directory";
inline constexpr const char* DirectoryAbsent = "Directory is absent: %s";
inline constexpr const char* SameDirectory = "You are about to synchronize the same directory!";
inline constexpr const char* ListHint = "%d checked of %d (%d hidden)";
inline constexpr const char* LogFrameEnd = " -------";
inline constexpr const char* LogSeparator = "-------";
inline constexpr const char* StartAnalyse = "Start analyse";
inline constexpr const char* SrcPathLog = "Src path";
inline constexpr const char* DstPathLog = "Dst path";
inline constexpr const char* LogEquals = " = ";
inline constexpr const char* NoZmtFound = "No ZMT found. Trying TXT";
inline constexpr const char* NoTxtFound = "No TXT found. Fail";
inline constexpr const char* ReadSrc = "Read Src %s (UIN=%s)";
inline constexpr const char* VaryonMode = "Varyon mode: Source=%d; Destination=%d";
inline constexpr const char* CreatingArchiveFolder = "Creating archive folder: %s";
inline constexpr const char* DstFileLog = "Dst file %s";
inline constexpr const char* DstFileOk = " Ok";
inline constexpr const char* DstFileNotFound = " not found";
inline constexpr const char* ProgressOf = "%d of %d";
inline constexpr const char* UinParsed = "UIN %s parsed. Src=%d Dst=%d Merged=%d Diff=%d Marked=%d";
inline constexpr const char* UnnamedFiles = "Unnamed files detected. Default format accepted: %s";
inline constexpr const char* CurrentPdaTimeOffset = "Current PDA time offset: %s";
inline constexpr const char* CurrentPdaDateOffset = "Current PDA date offset: %d";
inline constexpr const char* AutoFindNick = "Auto find Nick. Found \"%s\"";
inline constexpr const char* AutoFindNickFailed = "Failed to auto find Nick.";
inline constexpr const char* CurrentNick = "Current Nick is \"%s\"";
inline constexpr const char* AnalyseFinished = "Analyse finished";
inline constexpr const char* EnterNickFirst = "Enter Nick before synchronization execution";
inline constexpr const char* EditNickCaption = "Enter Your own nick";
inline constexpr const char* EditNickPrompt = "New Nick (if auto-detection failed):";
inline constexpr const char* ReallySync = "Really synchronize selected items?";
inline constexpr const char* CurrentDefaultVersion = "Current default file version: %s";
inline constexpr const char* UseArchives = "Also use archives files (*.ahf)";
inline constexpr const char* NoArchives = "Do not use archives";
inline constexpr const char* SyncStarted = "Synchronization started";
inline constexpr const char* SyncParameters = "Parameters:";
inline constexpr const char* Synchronizing = "Synchronizing";
inline constexpr const char* SyncFinishedProgress = "Synchronization finished";
inline constexpr const char* SyncFinished =
    "Synchronization finished.\r\nFiles updated: %d\r\nFiles created: %d";
inline constexpr const char* SyncBackedUp = "Files backuped: %d";
inline constexpr const char* SyncSkipped = "Files skipped: %d";
inline constexpr const char* DstDamaged = "Destination file %s is damaged; contact %s skipped";
inline constexpr const char* MonitorCreateError = "Can't create monitoring thread for %s";
inline constexpr const char* MonitorWaitFailed = "Fatal error. Wait failed";
inline constexpr const char* DirChanged =
    "%s directory content change detected.\r\nYou need to restart Analyse.";
inline constexpr const char* SourceName = "Source";
inline constexpr const char* DestinationName = "Destination";
inline constexpr const char* ClearSelection = "This will clear current selection. Continue?";
inline constexpr const char* ReallyDelete =
    "Do you really want to delete\r\n%d marked source files?";
inline constexpr const char* DeleteBackupFailed = "Error while backuping file \"%s\". %s";
inline constexpr const char* FileDeleted = "File %s deleted";
inline constexpr const char* FilesDeleted = "%d files was successfully deleted";

// ---- Settings store and dialogs

// ---- Support: log and trash
// Logged when the log is opened a second time; %s is the name given.
inline constexpr const char* LogReopen = "Trying to re-open log file. Name=\"%s\"";
// The error of a failed move to the trash: the error code and the system's message.
inline constexpr const char* TrashError = "%d %s";

// ---- Main window: views, list tools, find, about

// ---- Command-line tool
// analyse and sync
inline constexpr const char* CliAnalyseUsage =
    "Usage: vimosync-cli analyse [--json] SOURCE_DIR DESTINATION_DIR";
inline constexpr const char* CliSyncUsage = "Usage: vimosync-cli sync [--yes] [--dry-run] "
                                            "[--default-version N] [--nick NICK] SOURCE_DIR "
                                            "DESTINATION_DIR";
inline constexpr const char* CliSyncNeedsYes =
    "sync asks for confirmation, but standard input is not a terminal: add --yes (or "
    "--dry-run to see what would be written)";
inline constexpr const char* CliSyncStopped = "synchronization not run";
inline constexpr const char* CliNoHistories = "no history files (*.zmt, *.txt) in %s";
inline constexpr const char* CliNothingToSync = "Nothing to synchronize: no checked contact.";
inline constexpr const char* CliDryRun = "Dry run: nothing is written.";
inline constexpr const char* CliConfirmPrompt = "Synchronize? [y/N] ";
inline constexpr const char* CliVersionQuestion =
    "Select default file version for creating new history files in output directory:";
inline constexpr const char* CliVersionPrompt = "Version [%d]: ";
inline constexpr const char* CliSourceLine = "Source:      %s (Varyon: %s, archive folder: %s)";
inline constexpr const char* CliDestinationLine =
    "Destination: %s (Varyon: %s, archive folder: %s)";
inline constexpr const char* CliDefaultVersionLine = "Default file version: %d %s";
inline constexpr const char* CliOwnNickLine = "Own nick: %s";
inline constexpr const char* CliContactsLine = "Contacts: %d,";
inline constexpr const char* CliUnreadable = "(cannot be read)";
inline constexpr const char* CliItemLine = "%s %s [%s] %d messages, %d new (UIN %s)";
inline constexpr const char* CliItemUpdated = "updated";
inline constexpr const char* CliItemCreated = "created";
inline constexpr const char* CliItemWouldUpdate = "would update";
inline constexpr const char* CliItemWouldCreate = "would create";
inline constexpr const char* CliItemUnchanged = "unchanged";
inline constexpr const char* CliItemSkipped = "skipped (damaged)";


} // namespace LangText
} // namespace vimosync
