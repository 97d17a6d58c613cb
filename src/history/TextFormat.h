#pragma once

// The plain-text history format: per message a separator line (incoming or outgoing),
// a header line "Nick (date-time)" and the body lines, tuned by the ParseTXT settings.
// The functions here work on UTF-8 bytes; the conversion from and to the file's code
// page happens when the file is read or written.

#include "history/Model.h"
#include "history/Options.h"

#include <string>
#include <string_view>

namespace vimosync {

// Reads a date-time text as the header lines hold it (after TimeBeforeDate has put the
// date first): day, month and year separated by the date separator in the order the
// date pattern names them, then blanks, then hours, minutes and optional seconds
// separated by the time separator, optionally followed by AM or PM. A year written with
// one or two digits is taken as 2000-2049 (00-49) or 1950-1999 (50-99).
bool ParseTxtDateTime(std::string_view text, const TTxtDateFormat& format, double& t);

// Reads a whole plain-text history held in bytes (UTF-8) into the list, which is emptied
// first, and sets Valid (at least one message read). The nick modes detect the list's
// OwnNick or ContactNick. Bodies and nicks point into the buffer where they can.
void ParsePlainText(TZMTMessList& list, std::string&& bytes, TLoadMode mode,
                    const TTextFormat& format);

// The plain-text file of the list (UTF-8), built in memory.
std::string BuildPlainText(const TZMTMessList& list, const TTextFormat& format);

} // namespace vimosync
