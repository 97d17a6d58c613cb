#include "support/RecycleBin.h"

#include "support/Errors.h"
#include "ui/LangText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>

namespace vimosync {

namespace {

[[noreturn]] void Fail(int code, const QString& message) {
    throw Exception(Format(LangText::TrashError, code, message));
}

// When no trash folder can be set up, Qt (6.4) takes the current folder for the
// trash and reports success: the file lands in "./files". Such a move is undone and
// reported as the failure it is.
void UndoMoveOutsideTrash(const QString& original, const QString& moved) {
    const QFileInfo mi(moved);
    QDir filesDir = mi.absoluteDir();
    QDir trashDir = filesDir;
    trashDir.cdUp();
    QFile::rename(mi.absoluteFilePath(), original);
    QFile::remove(
        trashDir.filePath(QStringLiteral("info/") + mi.fileName() + QStringLiteral(".trashinfo")));
    // Only empty folders go; rmdir leaves anything else alone.
    trashDir.rmdir(QStringLiteral("files"));
    trashDir.rmdir(QStringLiteral("info"));
    Fail(ENOENT, qt_error_string(ENOENT));
}

} // namespace

void MoveToRecycleBin(const QString& path) {
    const QFileInfo fi(path);
    // A dangling symbolic link is still a directory entry that can be moved.
    if (!fi.exists() && !fi.isSymLink()) {
        return;
    }
    // The home trash is made inside the user's data folder, which must exist for that.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty()) {
        QDir().mkpath(dataHome);
    }
    QFile file(fi.absoluteFilePath());
    errno = 0;
    if (!file.moveToTrash()) {
        // The trash reports the system's error number; when it failed for a reason of
        // its own, the file error code stands in.
        Fail(errno != 0 ? errno : static_cast<int>(file.error()), file.errorString());
    }
    if (QDir::isRelativePath(file.fileName())) {
        UndoMoveOutsideTrash(fi.absoluteFilePath(), file.fileName());
    }
}

} // namespace vimosync
