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
inline constexpr const char* FilesNotRead = "Some files could not be read:\r\n%s";
inline constexpr const char* MoreNotRead = "and %d more (see the debug log)";
inline constexpr const char* CannotWriteFile = "Cannot write file %s: %s";
inline constexpr const char* CannotReplaceFile = "Cannot replace file %s: %s";
inline constexpr const char* CannotRemoveFile = "Cannot remove file %s: %s";
inline constexpr const char* TextLinesPassed = "%d lines could not be read as messages";
inline constexpr const char* BinaryCutShort = "a record is cut short";
inline constexpr const char* ArchivePartDamaged = "archive file %s could not be read whole";
inline constexpr const char* DateOutOfRange =
    "Message date %s lies outside the dates file %s can store";
inline constexpr const char* MessageNotReadBack =
    "A message of %s would not read back from file %s as it was written";
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
// Both ways: the log lines of the way back (from the destination into the source).
inline constexpr const char* BothWaysLog = "Direction: both ways";
// The counts of a contact line both ways: what the destination lacks, what the source
// lacks.
inline constexpr const char* BothWaysCounts = "+%d → / +%d ←";
inline constexpr const char* UinParsedBack =
    "UIN %s parsed back. Dst=%d Src=%d Merged=%d Diff=%d Marked=%d";
inline constexpr const char* UnnamedSourceFiles =
    "Contacts without a source file detected. Default source format accepted: %s";
inline constexpr const char* DstOnlyEntry = "Read destination file %s: UIN %s, not in the source";
inline constexpr const char* CurrentPdaTimeOffset = "Current PDA time offset: %s";
inline constexpr const char* CurrentPdaDateOffset = "Current PDA date offset: %d";
inline constexpr const char* AutoFindNick = "Auto find Nick. Found \"%s\"";
inline constexpr const char* AutoFindNickFailed = "Failed to auto find Nick.";
inline constexpr const char* CurrentNick = "Current Nick is \"%s\"";
inline constexpr const char* AnalyseFinished = "Analyse finished";
inline constexpr const char* AnalyseCancelled = "Analyse cancelled";
inline constexpr const char* SyncCancelled = "Synchronization cancelled after %d of %d contacts";
inline constexpr const char* CancelCaption = "Cancel";
inline constexpr const char* CancelHint = "Stop after the contacts being worked on";
inline constexpr const char* TimeLeft = "%d of %d, about %s left";
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
// The report of a synchronization both ways, after the destination's counts.
inline constexpr const char* SyncFinishedBack =
    "Source files updated: %d\r\nSource files created: %d";
// A line of the question before a synchronization both ways.
inline constexpr const char* SyncBothWaysLine =
    "Both ways: the source gets the messages of the destination too.";
inline constexpr const char* CurrentBackVersion = "Default source file version: %s";
inline constexpr const char* SyncNoFullUndo =
    "The backup to the trash is off: this synchronization cannot be undone in full (an undo "
    "can only take away the files it creates).";
inline constexpr const char* LogJournal = "Journal of the run: %s";
inline constexpr const char* SyncJournalUnwritable =
    "The journal of this synchronization cannot be written: %s. Without it the "
    "synchronization cannot be undone afterwards.";
inline constexpr const char* SyncWithoutJournal = "Synchronize without a way to undo it?";
inline constexpr const char* LogNoJournal =
    "No journal is written: this synchronization cannot be undone.";
inline constexpr const char* LogJournalsPruned =
    "Journals of %d earlier synchronizations, older than %d days, removed.";
inline constexpr const char* UndoChangedSince = "%s has changed since the synchronization";
inline constexpr const char* UndoChangedBetween =
    "%s was changed by another program during the synchronization";
inline constexpr const char* UndoOutside =
    "%s: the journal names a file outside the destination or the trash; it is not touched";
inline constexpr const char* UndoNotKept =
    "%s: its old content was not kept (the backup to the trash was off)";
inline constexpr const char* UndoTrashGone = "%s: its old content is no longer in the trash";
inline constexpr const char* LogUndoRestored = "Put back %s";
inline constexpr const char* LogUndoRemoved = "Taken away %s";
inline constexpr const char* LogUndoLeft = "Left as it is: %s";
inline constexpr const char* UndoStarted = "Undo started";
inline constexpr const char* UndoOfRun =
    "Undoing the synchronization of %s (%s into %s), journal %s";
inline constexpr const char* UndoNoRun = "There is no synchronization of %s to undo.";
inline constexpr const char* UndoNoSuchRun = "There is no synchronization %s of %s.";
inline constexpr const char* UndoDoneAlready =
    "The synchronization of %s was undone already: there is nothing more to do.";
inline constexpr const char* UndoNothing =
    "Nothing to undo: the files of the synchronization of %s hold what they held before it.";
inline constexpr const char* UndoQuestion = "Undo the synchronization of %s (%s into %s)?";
inline constexpr const char* UndoCounts =
    "%d files get their old content back from the trash, %d files it created go to the trash.";
inline constexpr const char* UndoContacts = "Contacts: %s";
inline constexpr const char* UndoNoBackupRun =
    "The backup to the trash was off for that synchronization: the undo can only take away the "
    "files it created.";
inline constexpr const char* UndoLeftHeader = "%d files will be left as they are:";
inline constexpr const char* UndoLine = "  %s";
inline constexpr const char* UndoMore = "  and %d more (see the debug log)";
inline constexpr const char* UndoFinished =
    "Undo finished: %d files put back, %d files taken away.";
inline constexpr const char* UndoLeftReport = "Left as they are:";
inline constexpr const char* SyncSkipped = "Files skipped: %d";
inline constexpr const char* DstDamaged = "Destination file %s is damaged; contact %s skipped";
inline constexpr const char* SrcDamaged = "Source file %s is damaged; contact %s skipped: %s";
inline constexpr const char* ContactNotStored = "Contact %s skipped: %s";
inline constexpr const char* UinNotPlain = "Contact %s skipped: its UIN is not a plain file name";
inline constexpr const char* OutsideDestination =
    "File %s lies outside the destination; contact %s skipped";
inline constexpr const char* ContactFailed = "Contact %s skipped: %s";
inline constexpr const char* SyncSkippedLine = "Skipped: %s";
inline constexpr const char* SyncSkippedMore = "... and %d more";
inline constexpr const char* SpecialFileSkipped = "Skipped %s: not a regular file";
inline constexpr const char* NameNotUtf8 = "Skipped %s: its name is not valid UTF-8";
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
// Main window: pages, views and file info.
inline constexpr const char* PageSource = "Source";
inline constexpr const char* PageDestination = "Destination";
inline constexpr const char* PageMerged = "Merged";
inline constexpr const char* FileInfoEmpty = "<>";
inline constexpr const char* FileInfoHint = "Names of files and their versions";
inline constexpr const char* FileInfoArrow = " --> ";
inline constexpr const char* InvalidSourceFile = "< Invalid source file! >";
inline constexpr const char* MessagesCount = "%d messages";
inline constexpr const char* DifferencesCount = "%d differences";
inline constexpr const char* CountsSeparator = "; ";
inline constexpr const char* TraceStartOutSrc = "Start out Src";
inline constexpr const char* AppException = "!App Exception: (%s) %s";
inline constexpr const char* OwnNickEmptyPanel = "<>";
inline constexpr const char* SrcDirLabel = "Source directory:";
inline constexpr const char* DstDirLabel = "Destination directory:";
inline constexpr const char* BrowseButton = "...";
// Main window: actions (caption, hint "tool tip|status bar text").
inline constexpr const char* AnalyseCaption = "Analyse";
inline constexpr const char* AnalyseHint = "Analyse|Analyse directories and compare content";
inline constexpr const char* ResetAllCaption = "Reset All";
inline constexpr const char* ResetAllHint = "Reset analyse results|Select new directories for work";
inline constexpr const char* SyncCaption = "Synchronize";
inline constexpr const char* SyncHint = "Synchronize|Start synchronization of checked items";
inline constexpr const char* UndoSyncCaption = "Undo last synchronization...";
inline constexpr const char* UndoSyncHint =
    "Undo last synchronization|Put the destination's files back as they were before the last "
    "synchronization";
inline constexpr const char* EditNickActionCaption = "Edit Nick";
inline constexpr const char* EditNickHint =
    "Edit Nick|Edit own Nickname to insert to destination history";
inline constexpr const char* FindCaption = "Find..";
inline constexpr const char* FindHint = "Find text";
inline constexpr const char* SelectAllCaption = "Select all";
inline constexpr const char* SelectAllHint = "Select all|Select all items";
inline constexpr const char* SelectDifferentCaption = "Select different";
inline constexpr const char* SelectDifferentHint = "Select different|Select all items that differs";
inline constexpr const char* DeselectAllCaption = "Deselect all";
inline constexpr const char* DeselectAllHint = "Deselect all|Deselect all items";
inline constexpr const char* CopyUinCaption = "Copy UIN";
inline constexpr const char* CopyUinHint = "Copy UIN|Copy current UIN to clipboard";
inline constexpr const char* SelectInverseCaption = "Select inverse";
inline constexpr const char* SelectInverseHint = "Select inverse|Invert items selection";
inline constexpr const char* CopyNickCaption = "Copy nick";
inline constexpr const char* CopyNickHint = "Copy nick|Copy current Nickname to clipboard";
inline constexpr const char* FindNextCaption = "Find next";
inline constexpr const char* FindNextHint = "Find next|Find next occurence in current direction";
inline constexpr const char* FindForwardCaption = "Find forward";
inline constexpr const char* FindForwardHint =
    "Find forward|Find next occurence forward from current position";
inline constexpr const char* FindBackCaption = "Find back";
inline constexpr const char* FindBackHint =
    "Find back|Find next occurence back from current position";
inline constexpr const char* SettingsActionCaption = "Settings...";
inline constexpr const char* SettingsHint = "Settings|Bring up settings dialog";
inline constexpr const char* DeleteSrcCaption = "Delete source files";
inline constexpr const char* DeleteSrcHint =
    "Delete source files|Delete checked source files from disk";
inline constexpr const char* LookForSpamCaption = "Look for spam";
inline constexpr const char* LookForSpamHint =
    "Look for spam|Select files that match spam detection conditions";
inline constexpr const char* ShowUncheckedCaption = "Show Unchecked";
inline constexpr const char* ShowUncheckedHint = "Show Unchecked|Show / hide unchecked files";
inline constexpr const char* FullTextCaption = "Full-text search";
inline constexpr const char* FullTextHint =
    "Full-text search|Select source files containing text string";
inline constexpr const char* NextDiffCaption = "Next difference";
inline constexpr const char* NextDiffHint = "Next difference|Go to next difference";
inline constexpr const char* PrevDiffCaption = "Previous difference";
inline constexpr const char* PrevDiffHint = "Previous difference|Go to previous difference";
inline constexpr const char* ExitCaption = "Exit";
inline constexpr const char* ExitHint = "Close application";
inline constexpr const char* AboutMenuCaption = "About..";
// Main window: menus.
inline constexpr const char* MenuFile = "File";
inline constexpr const char* MenuEdit = "&Edit";
inline constexpr const char* MenuNavigate = "Navigate";
inline constexpr const char* MenuTools = "Tools";
inline constexpr const char* MenuHelp = "Help";
// Find dialog.
inline constexpr const char* FindDialogCaption = "Find";
inline constexpr const char* FullTextSearchCaption = "Full-text search in all source files";
inline constexpr const char* FindWhat = "Find what:";
inline constexpr const char* FindMatchCase = "Match case";
inline constexpr const char* FindWholeWord = "Whole word";
inline constexpr const char* FindDirection = "Direction";
inline constexpr const char* FindUp = "Up";
inline constexpr const char* FindDown = "Down";
inline constexpr const char* FindNextButton = "Find Next";
// About box.
inline constexpr const char* AboutCaption = "About";
inline constexpr const char* AboutLabel =
    "Compares and merges message histories of two directories.";
inline constexpr const char* AboutAgreement =
    "This program is provided as is, without warranty of any kind. Keep a copy of your "
    "history directories before you synchronize them: the program replaces history files "
    "in the destination directory and moves the replaced files to the trash only when "
    "\"Backup changed files to Recycle Bin\" is on.";
// Dialog buttons.
inline constexpr const char* ButtonOk = "OK";
inline constexpr const char* ButtonCancel = "Cancel";
// Settings dialog.
inline constexpr const char* SettingsCaption = "Settings";
inline constexpr const char* TabGeneral = "General";
inline constexpr const char* TabDateTime = "Date/Time";
inline constexpr const char* TabSpam = "Spam";
inline constexpr const char* TabMerge = "Merge";
inline constexpr const char* GroupMiscellaneous = "Miscellaneous";
inline constexpr const char* UseLogCaption = "Use debug logging (after restart)";
inline constexpr const char* UseLogHint = "Store some debug information to log text file";
inline constexpr const char* ShowNumbersCaption = "Show message numbers (Merged tab only)";
inline constexpr const char* ShowNumbersHint = "Show message number prior to message itself";
inline constexpr const char* BackupCaption = "Backup changed files to Recycle Bin";
inline constexpr const char* BackupHint = "Backup changed files in system Recycle Bin";
inline constexpr const char* UseArchivesCaption = "Use Varyon's archives (Varyon only)";
inline constexpr const char* UseArchivesHint = "Use archive files (ahf) for synchronization";
inline constexpr const char* ArchiveSizeLabel = "Split archive files with size (KBytes)";
inline constexpr const char* ArchiveSizeHint = "Split archive files with this size";
inline constexpr const char* JournalDaysLabel = "Keep the undo journals of synchronizations (days)";
inline constexpr const char* SyncDirectionLabel = "Synchronize:";
inline constexpr const char* SyncDirectionOneWay = "From the source to the destination";
inline constexpr const char* SyncDirectionBothWays = "Both ways";
inline constexpr const char* SyncDirectionHint =
    "Both ways: every contact of either directory is listed, and each directory gets the "
    "messages it lacks";
inline constexpr const char* JournalDaysHint =
    "Journals older than this go after each synchronization; the last synchronization of "
    "each directory can always be undone";
inline constexpr const char* CreateArchivesCaption = "Create Archives folder automatically";
inline constexpr const char* CreateArchivesHint =
    "Create Archives folder automatically|If not checked then it will consider to use or not on "
    "folder exists";
inline constexpr const char* GroupDateTime = "Date/Time conversion settings";
inline constexpr const char* TimeZoneLabel = "Current system time zone and bias:";
inline constexpr const char* TimeZoneHint = "Last seen on this computer";
inline constexpr const char* TimeZoneText = "%s (GMT%s)";
inline constexpr const char* PdaOffsetLabel = "PDA device time zone offset:";
inline constexpr const char* PdaOffsetHint =
    "PDA timezone offset|Time offset of timezone set on your PDA device";
inline constexpr const char* GmtPrefix = "GMT";
inline constexpr const char* UpdateLink = "Update";
inline constexpr const char* UpdateHint = "Re-read from system";
inline constexpr const char* PermanentCaption =
    "Make permanent (do not update to system on each start)";
inline constexpr const char* PermanentHint =
    "Store value for future use vs updating on each program start";
inline constexpr const char* ZmtDateOffsetLabel = "Date offset of source ZMT PDA:";
inline constexpr const char* ZmtDateOffsetHint =
    "PDA's Date offset|This value will be added to all PDA's dates";
inline constexpr const char* GroupSpam = "Spam detection conditions";
inline constexpr const char* SpamInLabel = "Incoming messages, min (0-not used):";
inline constexpr const char* SpamInHint = "Minimal count of incoming messages";
inline constexpr const char* SpamOutLabel = "Outgoing messages, min (0-not used):";
inline constexpr const char* SpamOutHint = "Minimal count of outgoing messages";
inline constexpr const char* MergeModeGroup = "Merge mode";
inline constexpr const char* MergeMode0 = "Sequental parsing with the original order of messages";
inline constexpr const char* MergeMode1 = "Sort both files with timestamps, then kill duplicates";
inline constexpr const char* MergeMode2 =
    "\"Smart\" mode. Look for groups, then merge groups separately";
inline constexpr const char* IgnoreSpacesCaption = "Ignore spaces while comparing messages";
inline constexpr const char* IgnoreSpacesHint =
    "Consider two messages are equal if they differ with spaces only";
inline constexpr const char* CorrectCrLfCaption = "Correct CR/LF pairs";
inline constexpr const char* CorrectCrLfHint = "Correct CR/LF pairs in message text";
inline constexpr const char* SettingsChanged = "Settings changed. You need to restart Analyse.";
// File-version dialog.
inline constexpr const char* FileVersionCaption = "File version";
// The same dialog for the new histories of the source (a synchronization both ways).
inline constexpr const char* BackFileVersionCaption = "File version of new source histories";
inline constexpr const char* FileVersionPrompt =
    "Select default file version for creating new history files in output directory";
inline constexpr const char* FileVersionGroup = "Default file version for output";

// ---- Command-line tool
// -- dump (history files helper)
inline constexpr const char* CliDumpUsage = "Usage: vimosync-cli dump [--json] [--archives] FILE";
inline constexpr const char* CliDumpBadOption = "dump: unknown option %s";
inline constexpr const char* CliDumpNotFound = "history file not found: %s";
inline constexpr const char* CliDumpFile = "File:         %s";
inline constexpr const char* CliDumpUin = "UIN:          %s";
inline constexpr const char* CliDumpNick = "Contact nick: %s";
inline constexpr const char* CliDumpVersion = "Version:      %d %s";
inline constexpr const char* CliDumpScrambled = "Scrambled:    %d";
inline constexpr const char* CliDumpValid = "Valid:        %s";
inline constexpr const char* CliDumpArchives = "Archives:     %s";
inline constexpr const char* CliDumpCount = "Messages:     %d";
inline constexpr const char* CliDumpLine = "%d %s %s %s: %s"; // number, time, direction, nick, text
inline constexpr const char* CliDumpIncoming = "<-";
inline constexpr const char* CliDumpOutgoing = "->";
inline constexpr const char* CliDumpYes = "yes";
inline constexpr const char* CliDumpNo = "no";
inline constexpr const char* CliDumpAllArchives = "all read";
inline constexpr const char* CliDumpSomeArchives =
    "not all read (invalid or beyond a missing number)";
// -- end dump
// analyse and sync
inline constexpr const char* CliAnalyseUsage =
    "Usage: vimosync-cli analyse [--json] [--both] SOURCE_DIR DESTINATION_DIR";
inline constexpr const char* CliSyncUsage =
    "Usage: vimosync-cli sync [--yes] [--dry-run] [--no-journal] [--both] [--default-version N] "
    "[--nick NICK] SOURCE_DIR DESTINATION_DIR";
inline constexpr const char* CliUndoUsage =
    "Usage: vimosync-cli undo [--list] [--yes] DESTINATION_DIR [RUN]";
inline constexpr const char* CliSyncNoJournal =
    "nothing was written; add --no-journal to synchronize without a way to undo it";
inline constexpr const char* CliUndoNeedsYes =
    "undo asks for confirmation, but standard input is not a terminal: add --yes";
// Run id, when, (its age, the journal's size), source, files changed, state.
inline constexpr const char* CliRunLine = "%s  %s (%s ago, journal %s)  from %s  %d files  %s";
inline constexpr const char* CliAgeMinutes = "%d min";
inline constexpr const char* CliAgeHours = "%d h";
inline constexpr const char* CliAgeDays = "%d days";
inline constexpr const char* CliSizeBytes = "%d bytes";
inline constexpr const char* CliSizeKB = "%d KB";
inline constexpr const char* CliRunUndone = "undone";
inline constexpr const char* CliRunUndoInterrupted = "undo interrupted: can be run again";
inline constexpr const char* CliRunCanUndo = "can be undone";
inline constexpr const char* CliRunInterrupted = "interrupted run: can be undone";
inline constexpr const char* CliSyncNeedsYes =
    "sync asks for confirmation, but standard input is not a terminal: add --yes (or "
    "--dry-run to see what would be written)";
inline constexpr const char* CliSyncStopped = "synchronization not run";
inline constexpr const char* CliNoHistories = "no history files (*.zmt, *.txt) in %s";
inline constexpr const char* CliNothingToSync = "Nothing to synchronize: no checked contact.";
inline constexpr const char* CliDryRun = "Dry run: nothing is written.";
inline constexpr const char* CliConfirmPrompt = "Synchronize? [y/N] ";
inline constexpr const char* CliUndoPrompt = "Undo? [y/N] ";
inline constexpr const char* CliBackVersionQuestion =
    "Select default file version for creating new history files in source directory:";
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
inline constexpr const char* CliItemSkipped = "skipped";
inline constexpr const char* CliSomeSkipped = "%d contacts skipped; see the report";

// merge
inline constexpr const char* CliMergeUsage = "Usage: vimosync-cli merge [--json] [--mode N] "
                                             "[--ignore-spaces] SOURCE_FILE DESTINATION_FILE";
inline constexpr const char* CliMergeBadMode = "--mode needs a number from 0 to 255";
inline constexpr const char* CliUnknownOption = "unknown option %s";
inline constexpr const char* CliFileNotFound = "file not found: %s";
inline constexpr const char* CliInvalidSource = "Invalid source file: %s";
inline constexpr const char* CliDamagedDestination =
    "destination file %s could not be read whole; merging what was read";
inline constexpr const char* CliMergeCounts = "%d messages; %d differences";

// File store and trash
inline constexpr const char* TrashMoveFailed = "Cannot move %s to the trash: %s";
inline constexpr const char* TrashFolderFailed = "Cannot move %s to the trash in %s: %s";
inline constexpr const char* TrashInfoFailed = "Cannot write the trash record %s of %s: %s";
inline constexpr const char* TrashNoFreeName = "every name there is taken";
inline constexpr const char* NotRegularFile = "not a regular file";
inline constexpr const char* CannotKeepOldContent = "Cannot keep the old content of %s: %s";
inline constexpr const char* FileChangedMeanwhile =
    "File %s was changed by another program while it was being saved";
inline constexpr const char* CannotSyncFolder = "Cannot write folder %s to the disk: %s";
inline constexpr const char* LogRestoredLeftover = "Restored %s from what an interrupted save left";

} // namespace LangText
} // namespace vimosync
