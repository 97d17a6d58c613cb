#include "ui/Main.h"

#include "Version.h"
#include "config/Setup.h"
#include "support/LogFile.h"
#include "ui/LangText.h"

#include <QCloseEvent>

namespace vimosync {

QString VersionText() {
    return Format("v%d.%d.%d.%d ", VIMOSYNC_VERSION_MAJOR, VIMOSYNC_VERSION_MINOR,
                  VIMOSYNC_VERSION_PATCH, VIMOSYNC_VERSION_TWEAK);
}

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
    setWindowTitle(QString::fromUtf8(LangText::AppTitle) + QLatin1Char(' ') + VersionText());
    LoadSettings(SettingsFilePath());
    // The log follows the setting read now; a later change counts from the next start.
    if (Setup().UseLog) {
        OpenLog();
    }
}

void TForm1::FormClose() {
    // A settings file that cannot be written is no reason to keep the program open.
    SaveSettings(SettingsFilePath());
    CloseLog();
}

void TForm1::closeEvent(QCloseEvent* event) {
    FormClose();
    QMainWindow::closeEvent(event);
}

} // namespace vimosync
