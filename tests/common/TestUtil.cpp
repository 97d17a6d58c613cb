#include "common/TestUtil.h"

#include <QFile>

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

} // namespace vimosync::test
