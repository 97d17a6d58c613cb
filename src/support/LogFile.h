#pragma once

// The debug log: one line per event, "dd.mm.yy hh:nn:ss text" and CR LF, appended to
// a file beside the executable and written through to the disk.

#include <QDateTime>
#include <QString>

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

// One line for the developer: the time, "> " and the text, to Qt's message log.
void TraceDebug(const QString& text);

} // namespace vimosync
