#pragma once

// Small helpers shared by the tests.

#include <QByteArray>
#include <QMap>
#include <QString>

namespace vimosync::test {

// Path of a fixture under tests/data.
QString dataPath(const QString& name);
QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);
// Every file below the folder (hidden ones too), by its path relative to the folder,
// with its bytes; a special file stands as "special".
QMap<QString, QByteArray> treeBytes(const QString& root);

} // namespace vimosync::test
