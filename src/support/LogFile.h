#pragma once

// The debug log: one line per event, "dd.mm.yy hh:nn:ss text" and CR LF, appended to
// a file beside the executable and written through to the disk.

#include "support/LangText.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace vimosync {

// The clock that dates log lines (local wall time). Replaceable so that a test can fix
// the time; returns the clock it replaces. nullptr restores the system clock.
using LogClock = QDateTime (*)();
LogClock SetLogClock(LogClock clock);

// Opens the log (empty name: the executable's path with ".log"); returns whether it is open.
bool OpenLog(const QString& fileName = QString(), bool writeThrough = true);
void WriteLog(const QString& text);
void CloseLog();
bool LogIsOpen();
QString LogFileName();

// While a collector lives, the lines its thread writes are kept in it instead of going
// to the log. A job that works on contacts side by side collects each contact's lines
// and writes them in contact order, so that the log reads the same however many run.
class TLogCollector {
public:
    TLogCollector();
    ~TLogCollector();
    TLogCollector(const TLogCollector&) = delete;
    TLogCollector& operator=(const TLogCollector&) = delete;
    // The lines collected so far; the collector is empty afterwards.
    QStringList Take();

private:
    TLogCollector* outer_;
    QStringList lines_;
    friend void WriteLog(const QString& text);
};
// A text of the table goes into the log in English, whatever the user's language.
inline void WriteLog(const TText& text) {
    WriteLog(text.English);
}
// Writes collected lines to the log (or to the collector of this thread, if any).
void WriteLogLines(const QStringList& lines);

// One line for the developer: the time, "> " and the text, to Qt's message log.
void TraceDebug(const QString& text);

} // namespace vimosync
