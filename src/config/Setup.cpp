#include "config/Setup.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace vimosync {

TSettings& Setup() {
    static TSettings s;
    return s;
}

QString SettingsFilePath() {
    const QString exe = QCoreApplication::applicationFilePath();
    const QFileInfo fi(exe);
    return fi.absolutePath() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral(".ini");
}

// Loading and saving are filled in with the INI reader.
void LoadSettings(const QString&) {}
bool SaveSettings(const QString&) {
    return true;
}

} // namespace vimosync
