#pragma once

// The date-time patterns of the plain-text format: "d dd m mm yy yyyy h hh n nn s ss",
// quoted text, ":" and "/" (as in DTFormatString "hh:nn:ss d\"/\"mm\"/\"yyyy").

#include <QString>

namespace vimosync {

// The date-time value formatted with the pattern.
QString FormatDateTime(const QString& pattern, double t);

} // namespace vimosync
