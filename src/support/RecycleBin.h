#pragma once

#include <QString>

namespace vimosync {

// Moves the file to the user's trash so that it can be restored. A missing file is
// no error. Throws Exception("<code> <message>") when the move fails.
void MoveToRecycleBin(const QString& path);

// Moves the file at path (a second link to a file that has since been replaced, beside
// it) to the trash under the name and folder of originalPath, as if originalPath had
// been moved there before it was replaced. Throws like MoveToRecycleBin; on failure the
// file stays at path.
void MoveToRecycleBinAs(const QString& path, const QString& originalPath);

// The hidden folder that MoveToRecycleBinAs gives a file its name in starts so; one
// left behind (the process killed) holds a file still on its way to the trash.
inline constexpr const char* kTrashStagingPrefix = ".vimosync-backup-";

} // namespace vimosync
