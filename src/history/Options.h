#pragma once

// The option values the history code works with: how files are read (and how a write is
// checked by reading it back) and how they are saved. The caller fills them from its
// settings; nothing here reads a setting of its own, so two reads with different
// options can run side by side.

#include <QChar>
#include <QString>

#include <string>

namespace vimosync {

// Date-time reading of the plain-text format.
struct TTxtDateFormat {
    QChar DateSeparator = u'/';
    QChar TimeSeparator = u':';
    QString ShortDateFormat = QStringLiteral("d\"/\"mm\"/\"yyyy");
    QString ShortTimeFormat = QStringLiteral("hh:nn:ss");
};

// How the plain-text format marks its messages and writes its date-times.
struct TTextFormat {
    QString MsgInSeparator = QStringLiteral("--------------------------------------<-");
    QString MsgOutSeparator = QStringLiteral("-------------------------------------->-");
    QString DTFormatString = QStringLiteral("hh:nn:ss d\"/\"mm\"/\"yyyy");
    bool TimeBeforeDate = true;
    QChar DTLeftBracket = u'(';
    QChar DTRightBracket = u')';
    TTxtDateFormat Dates;
};

struct TReadOptions {
    // Code page of plain-text files; empty = the system's.
    QString CodePage;
    // Lone CR and LF of binary texts become CR LF.
    bool CorrectCRLF = true;
    // Days subtracted from version 1 (PDA) times, and whole days added to their dates.
    double PdaOffset = 0;
    int ZmtDateOffset = 0;
    // The nick of the outgoing messages of a binary history (UTF-8).
    std::string OwnNick = "<My Nick>";
    TTextFormat Text;
    // The folder beside the histories that holds their archive files.
    QString ArchiveFolderName = QStringLiteral("Archive");
};

class TSyncJournal;

struct TSaveOptions {
    // A replaced file goes to the trash rather than away.
    bool BackupToRecycleBin = true;
    // The size of a new archive file.
    int NewArchiveSize = 300; // KBytes
    // The journal of the synchronization that saves (none: the save is noted nowhere).
    TSyncJournal* Journal = nullptr;
};

} // namespace vimosync
