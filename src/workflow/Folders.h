#pragma once

// The folder side of the workflow: listings of the history directories, the names
// found in them, and the checks that keep every write inside the destination.

#include "history/Model.h"

#include <QDir>
#include <QFileInfoList>
#include <QString>
#include <QStringList>

#include <string>

namespace vimosync {

// The entries of a folder matching a wildcard pattern, ignoring case as the history
// directories' home platform does, sorted by name so that the order is stable.
QFileInfoList ListEntries(const QString& dir, const QString& pattern, QDir::Filters what);

// The names in the folder that are not valid UTF-8 and end in the extension (ignoring
// case), decoded with replacement characters. The folder listing leaves such names out,
// since it could not spell them back, so they are read here directly.
QStringList NamesNotUtf8(const QString& folder, const QString& extension);

// A name with an extension of the history files.
bool IsHistoryName(const QString& name);
// A regular file, or a symbolic link to one.
bool IsRegularFile(const QString& path);
// Something other than a regular file (or a link to one) stands at the path: a folder,
// a FIFO, a device or a socket.
bool IsSpecialEntry(const QString& path);
// A folder on a file system that is full or mounted read-only.
bool DestinationUnwritable(const QString& folder);

// A UIN goes into a file name only when it is a plain name: no separator, not "." or
// "..", no control character; anything else could name a file outside the folder.
bool IsPlainName(const std::string& uin);
// True when the path names an entry directly in the folder or in its archive folder.
bool InsideFolder(const QString& path, const QString& folder, const QString& archiveFolderName);
// The version a history file of this name is written in when its own content does not
// tell (an empty or missing file): plain text for a text name, else the fallback when
// it is a binary version.
int VersionForName(const QString& path, int fallback, bool varyon);

// The destination history of a contact among the names of the destination folder;
// empty when it has none.
QString FindDestinationFile(const TZMTHead& e, const QStringList& dstNames, bool bothVaryon);

// A path as the window keeps it: without trailing separators (the root stays "/").
QString StripTrailingSeparator(const QString& path);
// True when both names stand for one directory: the same name (letter case counts, as
// it does in the file system's names here), or two names of one existing directory
// (through a link, or letter case on a file system that ignores it).
bool SameDirectory(const QString& a, const QString& b);

// The recent-directory list update: the text less a trailing separator moves (or is
// inserted) to the top, an equal item (letter case counts) is dropped, the list is cut to
// depth items. Returns the text that became the first item.
QString AddPathToMRU(QStringList& items, const QString& text, int depth);

} // namespace vimosync
