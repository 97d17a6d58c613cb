#pragma once

// The user's settings: built-in defaults, loaded once from the INI file beside the
// executable when the main window is created and saved once when it closes.

#include "history/TimeStamp.h"
#include "workflow/Workflow.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace vimosync {

struct TSettings {
    // [PathesMRU]: the recent source and destination directories, most recent first.
    QStringList SrcPathMRU;
    QStringList DstPathMRU;

    // [Settings]
    int MRU_Depth = 16;
    int SpamMinMessagesIn = 0;
    int SpamMinMessagesOut = 1;
    int NewArchiveSize = 300; // KBytes
    int ZmtDateOffset = 0;    // whole days added to version 1 dates
    std::uint8_t MessMergeMode = 1;
    bool MergeIgnoreSpaces = false;
    bool CreateArchivesFolder = true;
    bool CorrectCRLF = true;
    bool UseLog = false;
    bool BackupToRecycleBin = true;
    bool ShowMessNumbers = true;
    bool UseVaryonArchives = false;
    bool UsePermanentPDATimeOffset = false;
    QString ArchiveFolderName = QStringLiteral("Archive");
    // Days a synchronization's journal is kept (the newest run of each destination
    // stays however old it is).
    int JournalDays = 30;
    // The direction of the analysis and the synchronization: 0 from the source to the
    // destination, 1 both ways.
    int SyncDirection = 0;
    // The language of the window: empty for the system's, else a language code ("en",
    // "ru"). Taken when the program starts.
    QString Language;
    // Days subtracted from version 1 times ("PDA_Time_Offset", stored negated): the
    // system zone's base bias unless a permanent offset is set.
    double PdaOffset = ZonePdaOffset();

    // [ParseTXT], with the plain-text format's own defaults.
    QString MsgInSeparator = TTextFormat{}.MsgInSeparator;
    QString MsgOutSeparator = TTextFormat{}.MsgOutSeparator;
    QString DTFormatString = TTextFormat{}.DTFormatString;
    QString DateFormatString = TTxtDateFormat{}.ShortDateFormat;
    QString TimeFormatString = TTxtDateFormat{}.ShortTimeFormat;
    bool TimeBeforeDate = TTextFormat{}.TimeBeforeDate;
    QChar DateSeparator = TTxtDateFormat{}.DateSeparator;
    QChar TimeSeparator = TTxtDateFormat{}.TimeSeparator;
    QChar DTLeftBracket = TTextFormat{}.DTLeftBracket;
    QChar DTRightBracket = TTextFormat{}.DTRightBracket;
    // Code page of plain-text files; empty = the system's. Written only when set.
    QString CodePage;

    // [Window]: the main window as it was closed (empty or -1 before the first close):
    // its geometry (as the window saves it, Base64), the widths of the contact list and
    // the pages, the page shown.
    QString WindowGeometry;
    QList<int> SplitterSizes;
    int LastPage = -1;

    // Not stored: the directories the loader starts the directory boxes with (the
    // executable's folder, with a trailing separator).
    QString SrcPath;
    QString DstPath;
    // Not stored: the system zone as read at start or at the last update in the
    // settings dialog (its name and base bias in minutes, UTC = local time + bias).
    QString ZoneName;
    int ZoneBias = 0;
};

// The settings of the program, loaded once at start.
TSettings& Setup();

// The option values the workflow's commands take from the settings (Jobs stays 0: one
// contact per processor core).
TWorkflowOptions WorkflowOptions(const TSettings& settings);
// The plain-text format of the settings ([ParseTXT]).
TTextFormat TextFormat(const TSettings& settings);

// The settings file: the executable's path with the extension ".ini", or the same name in
// the user's configuration folder when the executable's folder cannot be written.
QString SettingsFilePath();

// The Language key of the settings file alone (empty where it is missing), for the
// translations that must be in place before any window is made.
QString LanguageSetting(const QString& iniPath);

// Reads the file into Setup() (a missing or unreadable file, key or value leaves the
// defaults) and applies the PDA offset rule.
void LoadSettings(const QString& iniPath);
// Writes every value back; returns false when the file could not be written.
bool SaveSettings(const QString& iniPath);

} // namespace vimosync
