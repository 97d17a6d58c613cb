#include "support/AppFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vimosync {

QString AppFilePath(const QString& baseName, const QString& extension, bool forWriting) {
    const QString name = baseName + QLatin1Char('.') + extension;
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (!exeDir.isEmpty() && QFileInfo(exeDir).isWritable()) {
        return exeDir + QLatin1Char('/') + name;
    }
    const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (userDir.isEmpty()) {
        return exeDir + QLatin1Char('/') + name;
    }
    if (forWriting) {
        QDir().mkpath(userDir);
    }
    return userDir + QLatin1Char('/') + name;
}

} // namespace vimosync
