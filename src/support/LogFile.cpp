#include "support/LogFile.h"

#include <QDebug>
#include <QTime>

namespace vimosync {

bool OpenLog(const QString&, bool) {
    return false;
}
void WriteLog(const QString&) {}
void CloseLog() {}
bool LogIsOpen() {
    return false;
}
QString LogFileName() {
    return {};
}
void TraceDebug(const QString& text) {
    qDebug().noquote() << QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) +
                              QStringLiteral("> ") + text;
}

} // namespace vimosync
