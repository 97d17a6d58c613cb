#pragma once

#include <QString>

namespace vimosync {

// Where a file went in the trash: the entry that holds its content (in files/) and the
// record that names where it came from (in info/).
struct TrashEntry {
    QString file;
    QString info;
};

// Moves the file to the user's trash so that it can be restored: the home trash, or the
// trash of the file's own mount when it is on another one (a move never copies). A
// missing file is no error (and gives an empty entry). Throws Exception("<code> <message>"), the
// message naming the file and the reason, when the move fails; the file then stays where it was.
TrashEntry MoveToRecycleBin(const QString& path);

// Moves the file at path (a second link or a copy of a file that has since been
// replaced, in the same folder) to the trash under the name and folder of originalPath,
// as if originalPath had been moved there before it was replaced. Throws like
// MoveToRecycleBin; on failure the file stays at path.
TrashEntry MoveToRecycleBinAs(const QString& path, const QString& originalPath);

} // namespace vimosync
