#include "support/RecycleBin.h"

#include "support/Errors.h"
#include "ui/LangText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

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

// The entry's record in the trash ("info/NAME.trashinfo" beside "files/NAME") names
// the folder it came from; a file moved in from a staging folder is recorded as coming
// from the folder above it. Best effort: the file itself is already safe in the trash.
void ForgetStagingFolder(const QString& pathInTrash, const QString& stagingName) {
    const QFileInfo ti(pathInTrash);
    QDir trashDir = ti.absoluteDir();
    if (!trashDir.cdUp()) {
        return;
    }
    const QString infoPath =
        trashDir.filePath(QStringLiteral("info/") + ti.fileName() + QStringLiteral(".trashinfo"));
    QFile in(infoPath);
    if (!in.open(QIODevice::ReadOnly)) {
        return;
    }
    QList<QByteArray> lines = in.readAll().split('\n');
    in.close();
    // The staging folder's name is plain ASCII, so it stands as it is in the recorded
    // path however the trash encodes the rest.
    const QByteArray key = "Path=";
    const QByteArray inside = stagingName.toLatin1() + '/';
    bool changed = false;
    for (QByteArray& line : lines) {
        if (!line.startsWith(key)) {
            continue;
        }
        QByteArray where = line.mid(key.size());
        if (where.startsWith(inside)) {
            where.remove(0, inside.size());
        } else {
            where.replace('/' + inside, "/");
        }
        line = key + where;
        changed = true;
        break;
    }
    if (!changed) {
        return;
    }
    QSaveFile out(infoPath);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(lines.join('\n'));
        out.commit();
    }
}

// Moves the file into the trash and returns where it went there.
QString MoveIntoTrash(const QString& path) {
    const QFileInfo fi(path);
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
    return file.fileName();
}

} // namespace

void MoveToRecycleBin(const QString& path) {
    const QFileInfo fi(path);
    // A dangling symbolic link is still a directory entry that can be moved.
    if (!fi.exists() && !fi.isSymLink()) {
        return;
    }
    MoveIntoTrash(path);
}

void MoveToRecycleBinAs(const QString& path, const QString& originalPath) {
    const QFileInfo orig(originalPath);
    const QDir dir = orig.absoluteDir();
    // The trash names an entry after the file, so the file first takes the original's
    // name, in a hidden folder of its own beside the original.
    QString stagingName;
    int err = EEXIST;
    for (int attempt = 0; attempt < 10 && err == EEXIST; ++attempt) {
        stagingName = QLatin1String(kTrashStagingPrefix) +
                      QString::number(QRandomGenerator::global()->generate64(), 36);
        err = ::mkdir(QFile::encodeName(dir.filePath(stagingName)).constData(), 0700) == 0 ? 0
                                                                                           : errno;
    }
    if (err) {
        Fail(err, qt_error_string(err));
    }
    const QString stagingDir = dir.filePath(stagingName);
    const QString staged = stagingDir + QLatin1Char('/') + orig.fileName();
    if (std::rename(QFile::encodeName(path).constData(), QFile::encodeName(staged).constData()) !=
        0) {
        err = errno;
        dir.rmdir(stagingName);
        Fail(err, qt_error_string(err));
    }
    QString inTrash;
    try {
        inTrash = MoveIntoTrash(staged);
    } catch (const Exception&) {
        std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(path).constData());
        dir.rmdir(stagingName);
        throw;
    }
    dir.rmdir(stagingName);
    ForgetStagingFolder(inTrash, stagingName);
}

} // namespace vimosync
