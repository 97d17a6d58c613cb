#pragma once

// Every text the user can see, in one table, and the Format() that fills their
// "%s" and "%d" places. Depends on Qt Core only, so that the core can use it.
//
// The texts marked QT_TRANSLATE_NOOP (context "LangText") are translated (translations/,
// updated with lupdate); the others are lines of the debug log and fixed marks, which stay
// as they are in every language.
//
// Each subsystem keeps its texts in its own section below.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace vimosync {

// A text shown to the user, in the user's language, that keeps its English form beside
// it: the debug log writes the English one, so that logs read the same whatever the
// language. It is a QString (the shown text) wherever one is taken; one made from a plain
// QString has that text in both forms.
class TText : public QString {
public:
    TText() = default;
    TText(const QString& both) : QString(both), English(both) {}
    TText(QString shown, QString english)
        : QString(std::move(shown)), English(std::move(english)) {}
    QString English;

    // Texts joined keep both forms.
    TText& operator+=(const TText& more) {
        QString::operator+=(more);
        English += more.English;
        return *this;
    }
    TText& operator+=(const QString& more) {
        QString::operator+=(more);
        English += more;
        return *this;
    }
    friend TText operator+(TText a, const TText& b) { return a += b; }
    friend TText operator+(TText a, const QString& b) { return a += b; }
    friend TText operator+(const QString& a, const TText& b) {
        return TText(a + static_cast<const QString&>(b), a + b.English);
    }
};

namespace detail {
struct Arg {
    QString Shown;
    QString English;
};
TText formatArgs(const char* pattern, const std::vector<Arg>& args);
inline Arg toArg(const TText& s) {
    return {s, s.English};
}
inline Arg toArg(const QString& s) {
    return {s, s};
}
inline Arg toArg(const char* s) {
    const QString q = QString::fromUtf8(s);
    return {q, q};
}
inline Arg toArg(const std::string& s) {
    const QString q = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    return {q, q};
}
inline Arg toArg(std::string_view s) {
    const QString q = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    return {q, q};
}
template <class T>
requires std::is_arithmetic_v<T> Arg toArg(T v) {
    const QString q = QString::number(v);
    return {q, q};
}
} // namespace detail

// The text of the table in the user's language (the English text where no translation
// is installed or the text is not one to translate).
QString Tr(const char* text);

// Fills the "%s" and "%d" places of the pattern in order; "%%" is a percent sign. A "%n"
// place takes a count: the translation is chosen by it (plural forms). The shown text is
// the pattern's translation filled, its English the pattern filled with English arguments.
template <class... A> TText Format(const char* pattern, const A&... args) {
    return detail::formatArgs(pattern, std::vector<detail::Arg>{detail::toArg(args)...});
}

namespace LangText {

// ---- Application
inline constexpr const char* AppTitle =
    QT_TRANSLATE_NOOP("LangText", "Vimo PDA/Oskel/Varyon History Synchronizer");

// ---- History files
inline constexpr const char* InvalidZmtStructure =
    QT_TRANSLATE_NOOP("LangText", "Invalid ZMT file structure");
inline constexpr const char* UnsupportedZmtFormat =
    QT_TRANSLATE_NOOP("LangText", "Not supported ZMT file format %s");
inline constexpr const char* SaveEmptyFileName =
    QT_TRANSLATE_NOOP("LangText", "Trying to save file with empty filename");
inline constexpr const char* LogWritingRecords = "Writing %d records to file %s";
inline constexpr const char* LogBackupError = "Error while backuping file \"%s\". %s";
inline constexpr const char* LogKillingArchive = "Killing archive %s";
inline constexpr const char* TextTooLong =
    QT_TRANSLATE_NOOP("LangText", "Message text too long to store (%d bytes) in file %s");
inline constexpr const char* HeaderFieldTooLong =
    QT_TRANSLATE_NOOP("LangText", "Contact UIN or nick too long to store (%d bytes) in file %s");
inline constexpr const char* CannotReadFile =
    QT_TRANSLATE_NOOP("LangText", "Cannot read file %s: %s");
inline constexpr const char* FilesNotRead =
    QT_TRANSLATE_NOOP("LangText", "Some files could not be read:\r\n%s");
inline constexpr const char* MoreNotRead =
    QT_TRANSLATE_N_NOOP("LangText", "and %n more (see the debug log)");
inline constexpr const char* CannotWriteFile =
    QT_TRANSLATE_NOOP("LangText", "Cannot write file %s: %s");
inline constexpr const char* CannotReplaceFile =
    QT_TRANSLATE_NOOP("LangText", "Cannot replace file %s: %s");
inline constexpr const char* CannotRemoveFile =
    QT_TRANSLATE_NOOP("LangText", "Cannot remove file %s: %s");
inline constexpr const char* TextLinesPassed =
    QT_TRANSLATE_N_NOOP("LangText", "%n lines could not be read as messages");
inline constexpr const char* BinaryCutShort =
    QT_TRANSLATE_NOOP("LangText", "a record is cut short");
inline constexpr const char* ArchivePartDamaged =
    QT_TRANSLATE_NOOP("LangText", "archive file %s could not be read whole");
//: The message's date and time, then the file name.
inline constexpr const char* DateOutOfRange =
    QT_TRANSLATE_NOOP("LangText", "Message date %s lies outside the dates file %s can store");
//: The contact's UIN, then the file name.
inline constexpr const char* MessageNotReadBack = QT_TRANSLATE_NOOP(
    "LangText", "A message of %s would not read back from file %s as it was written");
inline constexpr const char* UnknownCodePage = QT_TRANSLATE_NOOP(
    "LangText", "Unknown code page \"%s\" (key CodePage of section ParseTXT in the settings file)");

// ---- Merge
// Lines of the comparison views: direction markers and the mark of a differing message.
inline constexpr const char* MarkerOutgoing = ">>>>";
inline constexpr const char* MarkerIncoming = "<<<<";
inline constexpr const char* DiffersMark = "+ ";

// ---- Workflow: analysis, synchronization, monitor, window state
inline constexpr const char* NickUnset = "<My Nick>";
// The same, as the status bar shows it to the user (the stored mark above stays English).
inline constexpr const char* NickUnsetShown = QT_TRANSLATE_NOOP("LangText", "<My Nick>");
inline constexpr const char* SelectSrcDir =
    QT_TRANSLATE_NOOP("LangText", "Select source directory");
inline constexpr const char* SelectDstDir =
    QT_TRANSLATE_NOOP("LangText", "Select destination directory");
inline constexpr const char* DirectoryAbsent =
    QT_TRANSLATE_NOOP("LangText", "Directory is absent: %s");
inline constexpr const char* SameDirectory =
    QT_TRANSLATE_NOOP("LangText", "You are about to synchronize the same directory!");
//: Checked contacts, all contacts, hidden contacts.
inline constexpr const char* ListHint =
    QT_TRANSLATE_NOOP("LangText", "%d checked of %d (%d hidden)");
inline constexpr const char* LogFrameEnd = " -------";
inline constexpr const char* LogSeparator = "-------";
inline constexpr const char* StartAnalyse = "Start analyse";
inline constexpr const char* SrcPathLog = "Src path";
inline constexpr const char* DstPathLog = "Dst path";
inline constexpr const char* LogEquals = " = ";
inline constexpr const char* NoZmtFound = "No ZMT found. Trying TXT";
inline constexpr const char* NoTxtFound = "No TXT found. Fail";
inline constexpr const char* ReadSrc = "Read Src %s (UIN=%s)";
inline constexpr const char* VaryonMode =
    QT_TRANSLATE_NOOP("LangText", "Varyon mode: Source=%d; Destination=%d");
inline constexpr const char* CreatingArchiveFolder = "Creating archive folder: %s";
inline constexpr const char* DstFileLog = "Dst file %s";
inline constexpr const char* DstFileOk = " Ok";
inline constexpr const char* DstFileNotFound = " not found";
//: Contacts done, then contacts in all.
inline constexpr const char* ProgressOf = QT_TRANSLATE_NOOP("LangText", "%d of %d");
inline constexpr const char* UinParsed = "UIN %s parsed. Src=%d Dst=%d Merged=%d Diff=%d Marked=%d";
inline constexpr const char* UnnamedFiles = "Unnamed files detected. Default format accepted: %s";
// Both ways: the log lines of the way back (from the destination into the source).
inline constexpr const char* BothWaysLog = "Direction: both ways";
// The counts of a contact line both ways: what the destination lacks, what the source
// lacks.
//: Messages the destination lacks, then messages the source lacks.
inline constexpr const char* BothWaysCounts = QT_TRANSLATE_NOOP("LangText", "+%d → / +%d ←");
inline constexpr const char* UinParsedBack =
    "UIN %s parsed back. Dst=%d Src=%d Merged=%d Diff=%d Marked=%d";
inline constexpr const char* UnnamedSourceFiles =
    "Contacts without a source file detected. Default source format accepted: %s";
inline constexpr const char* DstOnlyEntry = "Read destination file %s: UIN %s, not in the source";
inline constexpr const char* CurrentPdaTimeOffset =
    QT_TRANSLATE_NOOP("LangText", "Current PDA time offset: %s");
inline constexpr const char* CurrentPdaDateOffset =
    QT_TRANSLATE_NOOP("LangText", "Current PDA date offset: %d");
inline constexpr const char* AutoFindNick = "Auto find Nick. Found \"%s\"";
inline constexpr const char* AutoFindNickFailed = "Failed to auto find Nick.";
inline constexpr const char* CurrentNick = QT_TRANSLATE_NOOP("LangText", "Current Nick is \"%s\"");
inline constexpr const char* AnalyseFinished = "Analyse finished";
inline constexpr const char* AnalyseCancelled = "Analyse cancelled";
//: Contacts done, then contacts in all.
inline constexpr const char* SyncCancelled =
    QT_TRANSLATE_NOOP("LangText", "Synchronization cancelled after %d of %d contacts");
inline constexpr const char* CancelCaption = QT_TRANSLATE_NOOP("LangText", "Cancel");
inline constexpr const char* CancelHint =
    QT_TRANSLATE_NOOP("LangText", "Stop after the contacts being worked on");
//: The time left in the progress bar, in whole minutes.
inline constexpr const char* MinutesLeft = QT_TRANSLATE_NOOP("LangText", "%d min");
//: The time left in the progress bar, in seconds.
inline constexpr const char* SecondsLeft = QT_TRANSLATE_NOOP("LangText", "%d s");
//: Contacts done, contacts in all, then the time left ("3 min").
inline constexpr const char* TimeLeft = QT_TRANSLATE_NOOP("LangText", "%d of %d, about %s left");
inline constexpr const char* EnterNickFirst =
    QT_TRANSLATE_NOOP("LangText", "Enter Nick before synchronization execution");
inline constexpr const char* EditNickCaption = QT_TRANSLATE_NOOP("LangText", "Enter Your own nick");
inline constexpr const char* EditNickPrompt =
    QT_TRANSLATE_NOOP("LangText", "New Nick (if auto-detection failed):");
inline constexpr const char* ReallySync =
    QT_TRANSLATE_NOOP("LangText", "Really synchronize selected items?");
inline constexpr const char* CurrentDefaultVersion =
    QT_TRANSLATE_NOOP("LangText", "Current default file version: %s");
inline constexpr const char* UseArchives =
    QT_TRANSLATE_NOOP("LangText", "Also use archives files (*.ahf)");
inline constexpr const char* NoArchives = QT_TRANSLATE_NOOP("LangText", "Do not use archives");
inline constexpr const char* SyncStarted = "Synchronization started";
inline constexpr const char* SyncParameters = "Parameters:";
inline constexpr const char* Synchronizing = QT_TRANSLATE_NOOP("LangText", "Synchronizing");
inline constexpr const char* SyncFinishedProgress =
    QT_TRANSLATE_NOOP("LangText", "Synchronization finished");
inline constexpr const char* SyncFinished = QT_TRANSLATE_NOOP(
    "LangText", "Synchronization finished.\r\nFiles updated: %d\r\nFiles created: %d");
inline constexpr const char* SyncBackedUp = QT_TRANSLATE_NOOP("LangText", "Files backuped: %d");
// The report of a synchronization both ways, after the destination's counts.
inline constexpr const char* SyncFinishedBack =
    QT_TRANSLATE_NOOP("LangText", "Source files updated: %d\r\nSource files created: %d");
// A line of the question before a synchronization both ways.
inline constexpr const char* SyncBothWaysLine = QT_TRANSLATE_NOOP(
    "LangText", "Both ways: the source gets the messages of the destination too.");
inline constexpr const char* CurrentBackVersion =
    QT_TRANSLATE_NOOP("LangText", "Default source file version: %s");
inline constexpr const char* SyncNoFullUndo = QT_TRANSLATE_NOOP(
    "LangText",
    "The backup to the trash is off: this synchronization cannot be undone in full (an undo "
    "can only take away the files it creates).");
inline constexpr const char* LogJournal = "Journal of the run: %s";
inline constexpr const char* SyncJournalUnwritable = QT_TRANSLATE_NOOP(
    "LangText", "The journal of this synchronization cannot be written: %s. Without it the "
                "synchronization cannot be undone afterwards.");
inline constexpr const char* SyncWithoutJournal =
    QT_TRANSLATE_NOOP("LangText", "Synchronize without a way to undo it?");
inline constexpr const char* LogNoJournal =
    "No journal is written: this synchronization cannot be undone.";
inline constexpr const char* LogJournalsPruned =
    "Journals of %d earlier synchronizations, older than %d days, removed.";
//: A file name.
inline constexpr const char* UndoChangedSince =
    QT_TRANSLATE_NOOP("LangText", "%s has changed since the synchronization");
inline constexpr const char* UndoChangedBetween =
    QT_TRANSLATE_NOOP("LangText", "%s was changed by another program during the synchronization");
inline constexpr const char* UndoOutside = QT_TRANSLATE_NOOP(
    "LangText",
    "%s: the journal names a file outside the destination or the trash; it is not touched");
inline constexpr const char* UndoNotKept = QT_TRANSLATE_NOOP(
    "LangText", "%s: its old content was not kept (the backup to the trash was off)");
inline constexpr const char* UndoTrashGone =
    QT_TRANSLATE_NOOP("LangText", "%s: its old content is no longer in the trash");
inline constexpr const char* LogUndoRestored = "Put back %s";
inline constexpr const char* LogUndoRemoved = "Taken away %s";
inline constexpr const char* LogUndoLeft = "Left as it is: %s";
inline constexpr const char* UndoStarted = "Undo started";
inline constexpr const char* UndoOfRun =
    "Undoing the synchronization of %s (%s into %s), journal %s";
inline constexpr const char* UndoNoRun =
    QT_TRANSLATE_NOOP("LangText", "There is no synchronization of %s to undo.");
//: The run's name (its start time), then the destination folder.
inline constexpr const char* UndoNoSuchRun =
    QT_TRANSLATE_NOOP("LangText", "There is no synchronization %s of %s.");
inline constexpr const char* UndoDoneAlready = QT_TRANSLATE_NOOP(
    "LangText", "The synchronization of %s was undone already: there is nothing more to do.");
inline constexpr const char* UndoNothing = QT_TRANSLATE_NOOP(
    "LangText",
    "Nothing to undo: the files of the synchronization of %s hold what they held before it.");
//: The run's start date, then the source and the destination folders.
inline constexpr const char* UndoQuestion =
    QT_TRANSLATE_NOOP("LangText", "Undo the synchronization of %s (%s into %s)?");
//: Files put back, then files taken away.
inline constexpr const char* UndoCounts = QT_TRANSLATE_NOOP(
    "LangText",
    "%d files get their old content back from the trash, %d files it created go to the trash.");
inline constexpr const char* UndoContacts = QT_TRANSLATE_NOOP("LangText", "Contacts: %s");
inline constexpr const char* UndoNoBackupRun = QT_TRANSLATE_NOOP(
    "LangText",
    "The backup to the trash was off for that synchronization: the undo can only take away the "
    "files it created.");
inline constexpr const char* UndoLeftHeader =
    QT_TRANSLATE_N_NOOP("LangText", "%n files will be left as they are:");
//: One file or contact of a list, indented under its heading.
inline constexpr const char* UndoLine = QT_TRANSLATE_NOOP("LangText", "  %s");
inline constexpr const char* UndoMore =
    QT_TRANSLATE_N_NOOP("LangText", "  and %n more (see the debug log)");
//: Files put back, then files taken away.
inline constexpr const char* UndoFinished =
    QT_TRANSLATE_NOOP("LangText", "Undo finished: %d files put back, %d files taken away.");
inline constexpr const char* UndoLeftReport = QT_TRANSLATE_NOOP("LangText", "Left as they are:");
inline constexpr const char* SyncSkipped = QT_TRANSLATE_NOOP("LangText", "Files skipped: %d");
inline constexpr const char* DstDamaged =
    QT_TRANSLATE_NOOP("LangText", "Destination file %s is damaged; contact %s skipped");
//: The file name, the contact's UIN, then what is wrong.
inline constexpr const char* SrcDamaged =
    QT_TRANSLATE_NOOP("LangText", "Source file %s is damaged; contact %s skipped: %s");
inline constexpr const char* ContactNotStored =
    QT_TRANSLATE_NOOP("LangText", "Contact %s skipped: %s");
inline constexpr const char* UinNotPlain =
    QT_TRANSLATE_NOOP("LangText", "Contact %s skipped: its UIN is not a plain file name");
inline constexpr const char* OutsideDestination =
    QT_TRANSLATE_NOOP("LangText", "File %s lies outside the destination; contact %s skipped");
//: The contact's UIN, then the error.
inline constexpr const char* ContactFailed =
    QT_TRANSLATE_NOOP("LangText", "Contact %s skipped: %s");
inline constexpr const char* SyncSkippedLine = QT_TRANSLATE_NOOP("LangText", "Skipped: %s");
inline constexpr const char* SyncSkippedMore = QT_TRANSLATE_NOOP("LangText", "... and %d more");
inline constexpr const char* SpecialFileSkipped =
    QT_TRANSLATE_NOOP("LangText", "Skipped %s: not a regular file");
inline constexpr const char* NameNotUtf8 =
    QT_TRANSLATE_NOOP("LangText", "Skipped %s: its name is not valid UTF-8");
inline constexpr const char* MonitorCreateError =
    QT_TRANSLATE_NOOP("LangText", "Can't create monitoring thread for %s");
inline constexpr const char* MonitorWaitFailed =
    QT_TRANSLATE_NOOP("LangText", "Fatal error. Wait failed");
//: "Source" or "Destination" (the name of the tab).
inline constexpr const char* DirChanged = QT_TRANSLATE_NOOP(
    "LangText", "%s directory content change detected.\r\nYou need to restart Analyse.");
inline constexpr const char* SourceName = QT_TRANSLATE_NOOP("LangText", "Source");
inline constexpr const char* DestinationName = QT_TRANSLATE_NOOP("LangText", "Destination");
inline constexpr const char* ClearSelection =
    QT_TRANSLATE_NOOP("LangText", "This will clear current selection. Continue?");
inline constexpr const char* ReallyDelete =
    QT_TRANSLATE_N_NOOP("LangText", "Do you really want to delete\r\n%n marked source files?");
inline constexpr const char* DeleteBackupFailed = "Error while backuping file \"%s\". %s";
inline constexpr const char* FileDeleted = "File %s deleted";
inline constexpr const char* FilesDeleted =
    QT_TRANSLATE_N_NOOP("LangText", "%n files was successfully deleted");

// ---- Settings store and dialogs

// ---- Support: log and trash
// Logged when the log is opened a second time; %s is the name given.
inline constexpr const char* LogReopen = "Trying to re-open log file. Name=\"%s\"";
// The error of a failed move to the trash: the error code and the system's message.
//: An error number, then its text.
inline constexpr const char* TrashError = QT_TRANSLATE_NOOP("LangText", "%d %s");

// ---- Main window: views, list tools, find, about
// Main window: pages, views and file info.
inline constexpr const char* PageSource = QT_TRANSLATE_NOOP("LangText", "Source");
inline constexpr const char* PageDestination = QT_TRANSLATE_NOOP("LangText", "Destination");
inline constexpr const char* PageMerged = QT_TRANSLATE_NOOP("LangText", "Merged");
inline constexpr const char* FileInfoEmpty = QT_TRANSLATE_NOOP("LangText", "<>");
inline constexpr const char* FileInfoHint =
    QT_TRANSLATE_NOOP("LangText", "Names of files and their versions");
inline constexpr const char* FileInfoArrow = QT_TRANSLATE_NOOP("LangText", " --> ");
inline constexpr const char* InvalidSourceFile =
    QT_TRANSLATE_NOOP("LangText", "< Invalid source file! >");
inline constexpr const char* MessagesCount = QT_TRANSLATE_N_NOOP("LangText", "%n messages");
inline constexpr const char* DifferencesCount = QT_TRANSLATE_N_NOOP("LangText", "%n differences");
inline constexpr const char* CountsSeparator = QT_TRANSLATE_NOOP("LangText", "; ");
inline constexpr const char* TraceStartOutSrc = QT_TRANSLATE_NOOP("LangText", "Start out Src");
//: The kind of error, then its message.
inline constexpr const char* AppException =
    QT_TRANSLATE_NOOP("LangText", "!App Exception: (%s) %s");
inline constexpr const char* OwnNickEmptyPanel = QT_TRANSLATE_NOOP("LangText", "<>");
inline constexpr const char* SrcDirLabel = QT_TRANSLATE_NOOP("LangText", "Source directory:");
inline constexpr const char* DstDirLabel = QT_TRANSLATE_NOOP("LangText", "Destination directory:");
inline constexpr const char* BrowseButton = QT_TRANSLATE_NOOP("LangText", "...");
// Main window: actions (caption, hint "tool tip|status bar text").
inline constexpr const char* AnalyseCaption = QT_TRANSLATE_NOOP("LangText", "Analyse");
inline constexpr const char* AnalyseHint =
    QT_TRANSLATE_NOOP("LangText", "Analyse|Analyse directories and compare content");
inline constexpr const char* ResetAllCaption = QT_TRANSLATE_NOOP("LangText", "Reset All");
inline constexpr const char* ResetAllHint =
    QT_TRANSLATE_NOOP("LangText", "Reset analyse results|Select new directories for work");
inline constexpr const char* SyncCaption = QT_TRANSLATE_NOOP("LangText", "Synchronize");
inline constexpr const char* SyncHint =
    QT_TRANSLATE_NOOP("LangText", "Synchronize|Start synchronization of checked items");
inline constexpr const char* UndoSyncCaption =
    QT_TRANSLATE_NOOP("LangText", "Undo last synchronization...");
inline constexpr const char* UndoSyncHint = QT_TRANSLATE_NOOP(
    "LangText",
    "Undo last synchronization|Put the destination's files back as they were before the last "
    "synchronization");
inline constexpr const char* EditNickActionCaption = QT_TRANSLATE_NOOP("LangText", "Edit Nick");
inline constexpr const char* EditNickHint =
    QT_TRANSLATE_NOOP("LangText", "Edit Nick|Edit own Nickname to insert to destination history");
inline constexpr const char* FindCaption = QT_TRANSLATE_NOOP("LangText", "Find..");
inline constexpr const char* FindHint = QT_TRANSLATE_NOOP("LangText", "Find text");
inline constexpr const char* SelectAllCaption = QT_TRANSLATE_NOOP("LangText", "Select all");
inline constexpr const char* SelectAllHint =
    QT_TRANSLATE_NOOP("LangText", "Select all|Select all items");
inline constexpr const char* SelectDifferentCaption =
    QT_TRANSLATE_NOOP("LangText", "Select different");
inline constexpr const char* SelectDifferentHint =
    QT_TRANSLATE_NOOP("LangText", "Select different|Select all items that differs");
inline constexpr const char* DeselectAllCaption = QT_TRANSLATE_NOOP("LangText", "Deselect all");
inline constexpr const char* DeselectAllHint =
    QT_TRANSLATE_NOOP("LangText", "Deselect all|Deselect all items");
inline constexpr const char* CopyUinCaption = QT_TRANSLATE_NOOP("LangText", "Copy UIN");
inline constexpr const char* CopyUinHint =
    QT_TRANSLATE_NOOP("LangText", "Copy UIN|Copy current UIN to clipboard");
inline constexpr const char* SelectInverseCaption = QT_TRANSLATE_NOOP("LangText", "Select inverse");
inline constexpr const char* SelectInverseHint =
    QT_TRANSLATE_NOOP("LangText", "Select inverse|Invert items selection");
inline constexpr const char* CopyNickCaption = QT_TRANSLATE_NOOP("LangText", "Copy nick");
inline constexpr const char* CopyNickHint =
    QT_TRANSLATE_NOOP("LangText", "Copy nick|Copy current Nickname to clipboard");
inline constexpr const char* FindNextCaption = QT_TRANSLATE_NOOP("LangText", "Find next");
inline constexpr const char* FindNextHint =
    QT_TRANSLATE_NOOP("LangText", "Find next|Find next occurence in current direction");
inline constexpr const char* FindForwardCaption = QT_TRANSLATE_NOOP("LangText", "Find forward");
inline constexpr const char* FindForwardHint =
    QT_TRANSLATE_NOOP("LangText", "Find forward|Find next occurence forward from current position");
inline constexpr const char* FindBackCaption = QT_TRANSLATE_NOOP("LangText", "Find back");
inline constexpr const char* FindBackHint =
    QT_TRANSLATE_NOOP("LangText", "Find back|Find next occurence back from current position");
inline constexpr const char* SettingsActionCaption = QT_TRANSLATE_NOOP("LangText", "Settings...");
inline constexpr const char* SettingsHint =
    QT_TRANSLATE_NOOP("LangText", "Settings|Bring up settings dialog");
inline constexpr const char* DeleteSrcCaption =
    QT_TRANSLATE_NOOP("LangText", "Delete source files");
inline constexpr const char* DeleteSrcHint =
    QT_TRANSLATE_NOOP("LangText", "Delete source files|Delete checked source files from disk");
inline constexpr const char* LookForSpamCaption = QT_TRANSLATE_NOOP("LangText", "Look for spam");
inline constexpr const char* LookForSpamHint = QT_TRANSLATE_NOOP(
    "LangText", "Look for spam|Select files that match spam detection conditions");
inline constexpr const char* ShowUncheckedCaption = QT_TRANSLATE_NOOP("LangText", "Show Unchecked");
inline constexpr const char* ShowUncheckedHint =
    QT_TRANSLATE_NOOP("LangText", "Show Unchecked|Show / hide unchecked files");
inline constexpr const char* FullTextCaption = QT_TRANSLATE_NOOP("LangText", "Full-text search");
inline constexpr const char* FullTextHint =
    QT_TRANSLATE_NOOP("LangText", "Full-text search|Select source files containing text string");
inline constexpr const char* NextDiffCaption = QT_TRANSLATE_NOOP("LangText", "Next difference");
inline constexpr const char* NextDiffHint =
    QT_TRANSLATE_NOOP("LangText", "Next difference|Go to next difference");
inline constexpr const char* PrevDiffCaption = QT_TRANSLATE_NOOP("LangText", "Previous difference");
inline constexpr const char* PrevDiffHint =
    QT_TRANSLATE_NOOP("LangText", "Previous difference|Go to previous difference");
inline constexpr const char* ExitCaption = QT_TRANSLATE_NOOP("LangText", "Exit");
inline constexpr const char* ExitHint = QT_TRANSLATE_NOOP("LangText", "Close application");
inline constexpr const char* AboutMenuCaption = QT_TRANSLATE_NOOP("LangText", "About..");
// Main window: menus.
inline constexpr const char* MenuFile = QT_TRANSLATE_NOOP("LangText", "File");
inline constexpr const char* MenuEdit = QT_TRANSLATE_NOOP("LangText", "&Edit");
inline constexpr const char* MenuNavigate = QT_TRANSLATE_NOOP("LangText", "Navigate");
inline constexpr const char* MenuTools = QT_TRANSLATE_NOOP("LangText", "Tools");
inline constexpr const char* MenuHelp = QT_TRANSLATE_NOOP("LangText", "Help");
// Find dialog.
inline constexpr const char* FindDialogCaption = QT_TRANSLATE_NOOP("LangText", "Find");
inline constexpr const char* FullTextSearchCaption =
    QT_TRANSLATE_NOOP("LangText", "Full-text search in all source files");
inline constexpr const char* FindWhat = QT_TRANSLATE_NOOP("LangText", "Find what:");
inline constexpr const char* FindMatchCase = QT_TRANSLATE_NOOP("LangText", "Match case");
inline constexpr const char* FindWholeWord = QT_TRANSLATE_NOOP("LangText", "Whole word");
inline constexpr const char* FindDirection = QT_TRANSLATE_NOOP("LangText", "Direction");
inline constexpr const char* FindUp = QT_TRANSLATE_NOOP("LangText", "Up");
inline constexpr const char* FindDown = QT_TRANSLATE_NOOP("LangText", "Down");
inline constexpr const char* FindNextButton = QT_TRANSLATE_NOOP("LangText", "Find Next");
// About box.
inline constexpr const char* AboutCaption = QT_TRANSLATE_NOOP("LangText", "About");
inline constexpr const char* AboutLabel =
    QT_TRANSLATE_NOOP("LangText", "Compares and merges message histories of two directories.");
inline constexpr const char* AboutAgreement = QT_TRANSLATE_NOOP(
    "LangText",
    "This program is provided as is, without warranty of any kind. Keep a copy of your "
    "history directories before you synchronize them: the program replaces history files "
    "in the destination directory and moves the replaced files to the trash only when "
    "\"Backup changed files to Recycle Bin\" is on.");
// Dialog buttons.
inline constexpr const char* ButtonOk = QT_TRANSLATE_NOOP("LangText", "OK");
inline constexpr const char* ButtonCancel = QT_TRANSLATE_NOOP("LangText", "Cancel");
// Settings dialog.
inline constexpr const char* SettingsCaption = QT_TRANSLATE_NOOP("LangText", "Settings");
inline constexpr const char* TabGeneral = QT_TRANSLATE_NOOP("LangText", "General");
inline constexpr const char* TabDateTime = QT_TRANSLATE_NOOP("LangText", "Date/Time");
inline constexpr const char* TabSpam = QT_TRANSLATE_NOOP("LangText", "Spam");
inline constexpr const char* TabMerge = QT_TRANSLATE_NOOP("LangText", "Merge");
inline constexpr const char* GroupMiscellaneous = QT_TRANSLATE_NOOP("LangText", "Miscellaneous");
inline constexpr const char* UseLogCaption =
    QT_TRANSLATE_NOOP("LangText", "Use debug logging (after restart)");
inline constexpr const char* UseLogHint =
    QT_TRANSLATE_NOOP("LangText", "Store some debug information to log text file");
inline constexpr const char* ShowNumbersCaption =
    QT_TRANSLATE_NOOP("LangText", "Show message numbers (Merged tab only)");
inline constexpr const char* ShowNumbersHint =
    QT_TRANSLATE_NOOP("LangText", "Show message number prior to message itself");
inline constexpr const char* BackupCaption =
    QT_TRANSLATE_NOOP("LangText", "Backup changed files to Recycle Bin");
inline constexpr const char* BackupHint =
    QT_TRANSLATE_NOOP("LangText", "Backup changed files in system Recycle Bin");
inline constexpr const char* UseArchivesCaption =
    QT_TRANSLATE_NOOP("LangText", "Use Varyon's archives (Varyon only)");
inline constexpr const char* UseArchivesHint =
    QT_TRANSLATE_NOOP("LangText", "Use archive files (ahf) for synchronization");
inline constexpr const char* ArchiveSizeLabel =
    QT_TRANSLATE_NOOP("LangText", "Split archive files with size (KBytes)");
inline constexpr const char* ArchiveSizeHint =
    QT_TRANSLATE_NOOP("LangText", "Split archive files with this size");
inline constexpr const char* JournalDaysLabel =
    QT_TRANSLATE_NOOP("LangText", "Keep the undo journals of synchronizations (days)");
inline constexpr const char* SyncDirectionLabel = QT_TRANSLATE_NOOP("LangText", "Synchronize:");
inline constexpr const char* SyncDirectionOneWay =
    QT_TRANSLATE_NOOP("LangText", "From the source to the destination");
inline constexpr const char* SyncDirectionBothWays = QT_TRANSLATE_NOOP("LangText", "Both ways");
inline constexpr const char* LanguageLabel = QT_TRANSLATE_NOOP("LangText", "Language:");
//: The language item that follows the desktop's language.
inline constexpr const char* LanguageSystem = QT_TRANSLATE_NOOP("LangText", "System");
inline constexpr const char* LanguageEnglish = QT_TRANSLATE_NOOP("LangText", "English");
inline constexpr const char* LanguageHint = QT_TRANSLATE_NOOP(
    "LangText", "The language of the program; it changes when the program starts again");
inline constexpr const char* LanguageChanged =
    QT_TRANSLATE_NOOP("LangText", "The new language is used from the next start of the program.");
inline constexpr const char* SyncDirectionHint = QT_TRANSLATE_NOOP(
    "LangText",
    "Both ways: every contact of either directory is listed, and each directory gets the "
    "messages it lacks");
inline constexpr const char* JournalDaysHint = QT_TRANSLATE_NOOP(
    "LangText",
    "Journals older than this go after each synchronization; the last synchronization of "
    "each directory can always be undone");
inline constexpr const char* CreateArchivesCaption =
    QT_TRANSLATE_NOOP("LangText", "Create Archives folder automatically");
inline constexpr const char* CreateArchivesHint = QT_TRANSLATE_NOOP(
    "LangText",
    "Create Archives folder automatically|If not checked then it will consider to use or not on "
    "folder exists");
inline constexpr const char* GroupDateTime =
    QT_TRANSLATE_NOOP("LangText", "Date/Time conversion settings");
inline constexpr const char* TimeZoneLabel =
    QT_TRANSLATE_NOOP("LangText", "Current system time zone and bias:");
inline constexpr const char* TimeZoneHint =
    QT_TRANSLATE_NOOP("LangText", "Last seen on this computer");
//: The zone's name, then its offset such as "+03:00".
inline constexpr const char* TimeZoneText = QT_TRANSLATE_NOOP("LangText", "%s (GMT%s)");
inline constexpr const char* PdaOffsetLabel =
    QT_TRANSLATE_NOOP("LangText", "PDA device time zone offset:");
inline constexpr const char* PdaOffsetHint = QT_TRANSLATE_NOOP(
    "LangText", "PDA timezone offset|Time offset of timezone set on your PDA device");
inline constexpr const char* GmtPrefix = QT_TRANSLATE_NOOP("LangText", "GMT");
inline constexpr const char* UpdateLink = QT_TRANSLATE_NOOP("LangText", "Update");
inline constexpr const char* UpdateHint = QT_TRANSLATE_NOOP("LangText", "Re-read from system");
inline constexpr const char* PermanentCaption =
    QT_TRANSLATE_NOOP("LangText", "Make permanent (do not update to system on each start)");
inline constexpr const char* PermanentHint =
    QT_TRANSLATE_NOOP("LangText", "Store value for future use vs updating on each program start");
inline constexpr const char* ZmtDateOffsetLabel =
    QT_TRANSLATE_NOOP("LangText", "Date offset of source ZMT PDA:");
inline constexpr const char* ZmtDateOffsetHint =
    QT_TRANSLATE_NOOP("LangText", "PDA's Date offset|This value will be added to all PDA's dates");
inline constexpr const char* GroupSpam = QT_TRANSLATE_NOOP("LangText", "Spam detection conditions");
inline constexpr const char* SpamInLabel =
    QT_TRANSLATE_NOOP("LangText", "Incoming messages, min (0-not used):");
inline constexpr const char* SpamInHint =
    QT_TRANSLATE_NOOP("LangText", "Minimal count of incoming messages");
inline constexpr const char* SpamOutLabel =
    QT_TRANSLATE_NOOP("LangText", "Outgoing messages, min (0-not used):");
inline constexpr const char* SpamOutHint =
    QT_TRANSLATE_NOOP("LangText", "Minimal count of outgoing messages");
inline constexpr const char* MergeModeGroup = QT_TRANSLATE_NOOP("LangText", "Merge mode");
inline constexpr const char* MergeMode0 =
    QT_TRANSLATE_NOOP("LangText", "Sequental parsing with the original order of messages");
inline constexpr const char* MergeMode1 =
    QT_TRANSLATE_NOOP("LangText", "Sort both files with timestamps, then kill duplicates");
inline constexpr const char* MergeMode2 =
    QT_TRANSLATE_NOOP("LangText", "\"Smart\" mode. Look for groups, then merge groups separately");
inline constexpr const char* IgnoreSpacesCaption =
    QT_TRANSLATE_NOOP("LangText", "Ignore spaces while comparing messages");
inline constexpr const char* IgnoreSpacesHint = QT_TRANSLATE_NOOP(
    "LangText", "Consider two messages are equal if they differ with spaces only");
inline constexpr const char* CorrectCrLfCaption =
    QT_TRANSLATE_NOOP("LangText", "Correct CR/LF pairs");
inline constexpr const char* CorrectCrLfHint =
    QT_TRANSLATE_NOOP("LangText", "Correct CR/LF pairs in message text");
inline constexpr const char* SettingsChanged =
    QT_TRANSLATE_NOOP("LangText", "Settings changed. You need to restart Analyse.");
// File-version dialog.
inline constexpr const char* FileVersionCaption = QT_TRANSLATE_NOOP("LangText", "File version");
// The same dialog for the new histories of the source (a synchronization both ways).
inline constexpr const char* BackFileVersionCaption =
    QT_TRANSLATE_NOOP("LangText", "File version of new source histories");
inline constexpr const char* FileVersionPrompt = QT_TRANSLATE_NOOP(
    "LangText", "Select default file version for creating new history files in output directory");
inline constexpr const char* FileVersionGroup =
    QT_TRANSLATE_NOOP("LangText", "Default file version for output");

// ---- Command-line tool
// -- dump (history files helper)
inline constexpr const char* CliDumpUsage =
    QT_TRANSLATE_NOOP("LangText", "Usage: vimosync-cli dump [--json] [--archives] FILE");
inline constexpr const char* CliDumpBadOption =
    QT_TRANSLATE_NOOP("LangText", "dump: unknown option %s");
inline constexpr const char* CliDumpNotFound =
    QT_TRANSLATE_NOOP("LangText", "history file not found: %s");
inline constexpr const char* CliDumpFile = QT_TRANSLATE_NOOP("LangText", "File:         %s");
inline constexpr const char* CliDumpUin = QT_TRANSLATE_NOOP("LangText", "UIN:          %s");
inline constexpr const char* CliDumpNick = QT_TRANSLATE_NOOP("LangText", "Contact nick: %s");
inline constexpr const char* CliDumpVersion = QT_TRANSLATE_NOOP("LangText", "Version:      %d %s");
inline constexpr const char* CliDumpScrambled = QT_TRANSLATE_NOOP("LangText", "Scrambled:    %d");
inline constexpr const char* CliDumpValid = QT_TRANSLATE_NOOP("LangText", "Valid:        %s");
inline constexpr const char* CliDumpArchives = QT_TRANSLATE_NOOP("LangText", "Archives:     %s");
inline constexpr const char* CliDumpCount = QT_TRANSLATE_NOOP("LangText", "Messages:     %d");
inline constexpr const char* CliDumpLine = "%d %s %s %s: %s"; // number, time, direction, nick, text
inline constexpr const char* CliDumpIncoming = QT_TRANSLATE_NOOP("LangText", "<-");
inline constexpr const char* CliDumpOutgoing = QT_TRANSLATE_NOOP("LangText", "->");
inline constexpr const char* CliDumpYes = QT_TRANSLATE_NOOP("LangText", "yes");
inline constexpr const char* CliDumpNo = QT_TRANSLATE_NOOP("LangText", "no");
inline constexpr const char* CliDumpAllArchives = QT_TRANSLATE_NOOP("LangText", "all read");
inline constexpr const char* CliDumpSomeArchives =
    QT_TRANSLATE_NOOP("LangText", "not all read (invalid or beyond a missing number)");
// -- end dump
// analyse and sync
inline constexpr const char* CliAnalyseUsage = QT_TRANSLATE_NOOP(
    "LangText", "Usage: vimosync-cli analyse [--json] [--both] SOURCE_DIR DESTINATION_DIR");
inline constexpr const char* CliSyncUsage = QT_TRANSLATE_NOOP(
    "LangText",
    "Usage: vimosync-cli sync [--yes] [--dry-run] [--no-journal] [--both] [--default-version N] "
    "[--nick NICK] SOURCE_DIR DESTINATION_DIR");
inline constexpr const char* CliUndoUsage = QT_TRANSLATE_NOOP(
    "LangText", "Usage: vimosync-cli undo [--list] [--yes] DESTINATION_DIR [RUN]");
inline constexpr const char* CliSyncNoJournal = QT_TRANSLATE_NOOP(
    "LangText", "nothing was written; add --no-journal to synchronize without a way to undo it");
inline constexpr const char* CliUndoNeedsYes = QT_TRANSLATE_NOOP(
    "LangText", "undo asks for confirmation, but standard input is not a terminal: add --yes");
// Run id, when, (its age, the journal's size), source, files changed, state.
//: Run name, start time, age, journal size, source folder, number of files, state.
inline constexpr const char* CliRunLine =
    QT_TRANSLATE_NOOP("LangText", "%s  %s (%s ago, journal %s)  from %s  %d files  %s");
inline constexpr const char* CliAgeMinutes = QT_TRANSLATE_NOOP("LangText", "%d min");
inline constexpr const char* CliAgeHours = QT_TRANSLATE_NOOP("LangText", "%d h");
inline constexpr const char* CliAgeDays = QT_TRANSLATE_N_NOOP("LangText", "%n days");
inline constexpr const char* CliSizeBytes = QT_TRANSLATE_N_NOOP("LangText", "%n bytes");
inline constexpr const char* CliSizeKB = QT_TRANSLATE_NOOP("LangText", "%d KB");
inline constexpr const char* CliRunUndone = QT_TRANSLATE_NOOP("LangText", "undone");
inline constexpr const char* CliRunUndoInterrupted =
    QT_TRANSLATE_NOOP("LangText", "undo interrupted: can be run again");
inline constexpr const char* CliRunCanUndo = QT_TRANSLATE_NOOP("LangText", "can be undone");
inline constexpr const char* CliRunInterrupted =
    QT_TRANSLATE_NOOP("LangText", "interrupted run: can be undone");
inline constexpr const char* CliSyncNeedsYes = QT_TRANSLATE_NOOP(
    "LangText", "sync asks for confirmation, but standard input is not a terminal: add --yes (or "
                "--dry-run to see what would be written)");
inline constexpr const char* CliSyncStopped =
    QT_TRANSLATE_NOOP("LangText", "synchronization not run");
inline constexpr const char* CliNoHistories =
    QT_TRANSLATE_NOOP("LangText", "no history files (*.zmt, *.txt) in %s");
inline constexpr const char* CliNothingToSync =
    QT_TRANSLATE_NOOP("LangText", "Nothing to synchronize: no checked contact.");
inline constexpr const char* CliDryRun =
    QT_TRANSLATE_NOOP("LangText", "Dry run: nothing is written.");
inline constexpr const char* CliConfirmPrompt =
    QT_TRANSLATE_NOOP("LangText", "Synchronize? [y/N] ");
inline constexpr const char* CliUndoPrompt = QT_TRANSLATE_NOOP("LangText", "Undo? [y/N] ");
inline constexpr const char* CliBackVersionQuestion = QT_TRANSLATE_NOOP(
    "LangText", "Select default file version for creating new history files in source directory:");
inline constexpr const char* CliVersionQuestion = QT_TRANSLATE_NOOP(
    "LangText", "Select default file version for creating new history files in output directory:");
inline constexpr const char* CliVersionPrompt = QT_TRANSLATE_NOOP("LangText", "Version [%d]: ");
//: The folder, then "yes" or "no" twice.
inline constexpr const char* CliSourceLine =
    QT_TRANSLATE_NOOP("LangText", "Source:      %s (Varyon: %s, archive folder: %s)");
//: The folder, then "yes" or "no" twice.
inline constexpr const char* CliDestinationLine =
    QT_TRANSLATE_NOOP("LangText", "Destination: %s (Varyon: %s, archive folder: %s)");
//: The version number, then its format label such as "ZMTv2 (Varyon,encrypted)".
inline constexpr const char* CliDefaultVersionLine =
    QT_TRANSLATE_NOOP("LangText", "Default file version: %d %s");
inline constexpr const char* CliOwnNickLine = QT_TRANSLATE_NOOP("LangText", "Own nick: %s");
inline constexpr const char* CliContactsLine = QT_TRANSLATE_NOOP("LangText", "Contacts: %d,");
inline constexpr const char* CliUnreadable = QT_TRANSLATE_NOOP("LangText", "(cannot be read)");
//: What was done (updated, created…), file name, format label, message count, new count, UIN.
inline constexpr const char* CliItemLine =
    QT_TRANSLATE_NOOP("LangText", "%s %s [%s] %d messages, %d new (UIN %s)");
inline constexpr const char* CliItemUpdated = QT_TRANSLATE_NOOP("LangText", "updated");
inline constexpr const char* CliItemCreated = QT_TRANSLATE_NOOP("LangText", "created");
inline constexpr const char* CliItemWouldUpdate = QT_TRANSLATE_NOOP("LangText", "would update");
inline constexpr const char* CliItemWouldCreate = QT_TRANSLATE_NOOP("LangText", "would create");
inline constexpr const char* CliItemUnchanged = QT_TRANSLATE_NOOP("LangText", "unchanged");
inline constexpr const char* CliItemSkipped = QT_TRANSLATE_NOOP("LangText", "skipped");
inline constexpr const char* CliSomeSkipped =
    QT_TRANSLATE_N_NOOP("LangText", "%n contacts skipped; see the report");

// The whole help text of the tool ("%%" would be a percent sign).
inline constexpr const char* CliUsage = QT_TRANSLATE_NOOP(
    "LangText",
    "Usage: vimosync-cli [--settings FILE] [--jobs N] COMMAND [OPTIONS] ARGS\n"
    "\n"
    "Compares and synchronizes Vimo message histories.\n"
    "\n"
    "Commands:\n"
    "  dump [--json] [--archives] FILE\n"
    "      One history file as the loader reads it.\n"
    "  merge [--json] [--mode N] [--ignore-spaces] SOURCE_FILE DESTINATION_FILE\n"
    "      The merged history of two files, differing messages marked \"+ \".\n"
    "  analyse [--json] [--both] SOURCE_DIR DESTINATION_DIR\n"
    "      The analysis of two history directories (writes nothing). --both (or\n"
    "      SyncDirection=1 in the settings) lists every contact of either side with\n"
    "      the messages each side lacks: \"+N → / +M ←\", N of the destination, M of\n"
    "      the source.\n"
    "  sync [--yes] [--dry-run] [--no-journal] [--both] [--default-version N]\n"
    "       [--nick NICK] SOURCE_DIR DESTINATION_DIR\n"
    "      Analysis, then synchronization of the checked contacts. Without --yes the\n"
    "      confirmation is asked on the terminal; with no terminal sync refuses.\n"
    "      --dry-run lists what would be written and writes nothing.\n"
    "      --no-journal writes no journal of the run, so that it cannot be undone (when\n"
    "      the journal cannot be written, sync refuses without it).\n"
    "      --default-version N answers the question for contacts without a destination\n"
    "      file (0 text, 1-3 binary); without it the terminal is asked, or, with no\n"
    "      terminal, the most frequent destination version is kept.\n"
    "      --nick NICK sets the own nick; without it the nick is detected from text\n"
    "      histories, and asked on the terminal when a non-Varyon destination needs it.\n"
    "      --both writes each side that lacks messages, so that both directories end\n"
    "      with the whole history; new source files take the source's most frequent\n"
    "      version (or --default-version N). One journal covers both directories.\n"
    "  undo [--list] [--yes] DESTINATION_DIR [RUN]\n"
    "      Undoes the last synchronization into the directory (or the run named RUN):\n"
    "      the files it created go to the trash, the files it replaced or removed get\n"
    "      their old content back from the trash. Files changed since are left alone\n"
    "      and named. --list lists the runs with a journal, their age and size.\n"
    "      Without --yes the confirmation is asked on the terminal; with no terminal\n"
    "      undo refuses. Journals older than JournalDays (30) days are removed after\n"
    "      each sync, except the newest run of each destination.\n"
    "\n"
    "Options:\n"
    "  --settings FILE  settings file to read (default: the one beside vimosync)\n"
    "  --jobs N         contacts analysed and synchronized at once (default: one per\n"
    "                   processor core)\n"
    "  -h, --help       this text\n"
    "  --version        the version\n");
inline constexpr const char* CliSettingsNeedsFile =
    QT_TRANSLATE_NOOP("LangText", "--settings needs a file name");
inline constexpr const char* CliJobsNeedsNumber =
    QT_TRANSLATE_NOOP("LangText", "--jobs needs a number of 1 or more");
inline constexpr const char* CliSettingsNotFound =
    QT_TRANSLATE_NOOP("LangText", "settings file not found: %s");
inline constexpr const char* CliUnknownCommand =
    QT_TRANSLATE_NOOP("LangText", "unknown command %s");
inline constexpr const char* CliDefaultVersionNeeds =
    QT_TRANSLATE_NOOP("LangText", "--default-version needs 0, 1, 2 or 3");
inline constexpr const char* CliNickNeeds = QT_TRANSLATE_NOOP("LangText", "--nick needs a nick");

// merge
inline constexpr const char* CliMergeUsage =
    QT_TRANSLATE_NOOP("LangText", "Usage: vimosync-cli merge [--json] [--mode N] "
                                  "[--ignore-spaces] SOURCE_FILE DESTINATION_FILE");
inline constexpr const char* CliMergeBadMode =
    QT_TRANSLATE_NOOP("LangText", "--mode needs a number from 0 to 255");
inline constexpr const char* CliUnknownOption = QT_TRANSLATE_NOOP("LangText", "unknown option %s");
inline constexpr const char* CliFileNotFound = QT_TRANSLATE_NOOP("LangText", "file not found: %s");
inline constexpr const char* CliInvalidSource =
    QT_TRANSLATE_NOOP("LangText", "Invalid source file: %s");
inline constexpr const char* CliDamagedDestination = QT_TRANSLATE_NOOP(
    "LangText", "destination file %s could not be read whole; merging what was read");
//: Messages, then differences.
inline constexpr const char* CliMergeCounts =
    QT_TRANSLATE_NOOP("LangText", "%d messages; %d differences");

// File store and trash
inline constexpr const char* TrashMoveFailed =
    QT_TRANSLATE_NOOP("LangText", "Cannot move %s to the trash: %s");
inline constexpr const char* TrashFolderFailed =
    QT_TRANSLATE_NOOP("LangText", "Cannot move %s to the trash in %s: %s");
inline constexpr const char* TrashInfoFailed =
    QT_TRANSLATE_NOOP("LangText", "Cannot write the trash record %s of %s: %s");
inline constexpr const char* TrashNoFreeName =
    QT_TRANSLATE_NOOP("LangText", "every name there is taken");
inline constexpr const char* NotRegularFile = QT_TRANSLATE_NOOP("LangText", "not a regular file");
inline constexpr const char* CannotKeepOldContent =
    QT_TRANSLATE_NOOP("LangText", "Cannot keep the old content of %s: %s");
inline constexpr const char* FileChangedMeanwhile = QT_TRANSLATE_NOOP(
    "LangText", "File %s was changed by another program while it was being saved");
inline constexpr const char* CannotSyncFolder =
    QT_TRANSLATE_NOOP("LangText", "Cannot write folder %s to the disk: %s");
inline constexpr const char* LogRestoredLeftover = "Restored %s from what an interrupted save left";

} // namespace LangText
} // namespace vimosync
