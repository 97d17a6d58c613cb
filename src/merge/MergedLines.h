#pragma once

// The text lines the comparison views show for one message, shared by the window and the
// command-line tool.

#include "history/Model.h"

#include <QString>

namespace vimosync {

// ">>>>" for an outgoing message, "<<<<" for an incoming one.
QString DirectionMarker(const TZMTMess& m);

// One item of the Merged view: "+ " when the message differs, its position (from 1)
// and a space when showNumbers, the direction marker, two spaces, the time in
// dtFormat, a space and the text. Line breaks of the text stay inside the one item.
QString MergedItemText(const TZMTMess& m, int position, bool showNumbers, const QString& dtFormat);

// One entry of the Source or Destination view: the direction marker, two spaces and the
// time, CR LF, a space and the text, CR LF.
QString HistoryEntryText(const TZMTMess& m, const QString& dtFormat);

} // namespace vimosync
