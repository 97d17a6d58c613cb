#include "common/TestUtil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace vimosync::test {

QString dataPath(const QString& name) {
    return QStringLiteral(VIMOSYNC_TEST_DATA "/") + name;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

QMap<QString, QByteArray> treeBytes(const QString& root) {
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        const bool regular = QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly);
        files.insert(QDir(root).relativeFilePath(path), regular ? f.readAll() : "special");
    }
    return files;
}

} // namespace vimosync::test
