#pragma once

// The debug log: one line per event, "dd.mm.yy hh:nn:ss text" and CR LF, appended to
// a file beside the executable and written through to the disk.

#include <QString>

namespace vimosync {

// Opens the log (empty name: the executable's path with ".log"); returns whether it is open.
bool OpenLog(const QString& fileName = QString(), bool writeThrough = true);
void WriteLog(const QString& text);
void CloseLog();
bool LogIsOpen();
QString LogFileName();

// One line for the developer: the time, "> " and the text, to Qt's message log.
void TraceDebug(const QString& text);

} // namespace vimosync
