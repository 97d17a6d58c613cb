#pragma once

// Small helpers shared by the tests.

#include <QByteArray>
#include <QString>

namespace vimosync::test {

// Path of a fixture under tests/data.
QString dataPath(const QString& name);
QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);

} // namespace vimosync::test
