#pragma once

#include <QString>

namespace vimosync {

// Moves the file to the user's trash so that it can be restored. A missing file is
// no error. Throws Exception("<code> <message>") when the move fails.
void MoveToRecycleBin(const QString& path);

} // namespace vimosync
