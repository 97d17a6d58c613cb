#pragma once

#include <QString>

namespace vimosync {

// Moves the file to the user's trash so that it can be restored: the home trash, or the
// trash of the file's own mount when it is on another one (a move never copies). A
// missing file is no error. Throws Exception("<code> <message>"), the message naming the
// file and the reason, when the move fails; the file then stays where it was.
void MoveToRecycleBin(const QString& path);

// Moves the file at path (a second link or a copy of a file that has since been
// replaced, in the same folder) to the trash under the name and folder of originalPath,
// as if originalPath had been moved there before it was replaced. Throws like
// MoveToRecycleBin; on failure the file stays at path.
void MoveToRecycleBinAs(const QString& path, const QString& originalPath);

} // namespace vimosync
