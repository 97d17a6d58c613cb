#pragma once

// Where the program keeps its own files (settings, debug log): beside the executable, as
// a copy carried on a stick expects, unless that folder cannot be written (an installed
// program in /usr/bin); then in the user's configuration folder for the program.

#include <QString>

namespace vimosync {

// The path of baseName.extension for the running program. With forWriting the
// user's folder is made when it is the one chosen.
QString AppFilePath(const QString& baseName, const QString& extension, bool forWriting);

} // namespace vimosync
