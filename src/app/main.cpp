#include "ui/Main.h"
#include "config/Setup.h"
#include "support/Errors.h"
#include "support/LangText.h"
#include "support/Translation.h"
#include "ui/Application.h"
#include "ui/Icons.h"
#include "ui/Screenshots.h"

#include <cstdio>

int main(int argc, char** argv) {
    vimosync::TApplication app(argc, argv);
    vimosync::TApplication::setApplicationName(QStringLiteral("vimosync"));
    vimosync::TApplication::setDesktopFileName(QStringLiteral("vimosync"));
    vimosync::TApplication::setWindowIcon(vimosync::ApplicationIcon());
    // The language is taken once, before the first window: a change in the settings
    // applies from the next start.
    vimosync::InstallTranslations(vimosync::LanguageSetting(vimosync::SettingsFilePath()));
    try {
        vimosync::TForm1 form;
        form.show();
        // Pictures of the window for the documentation (scripts/screenshot).
        const QString shots = qEnvironmentVariable("VIMOSYNC_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            vimosync::StartScreenshotTour(form, shots,
                                          qEnvironmentVariable("VIMOSYNC_SCREENSHOT_SRC"),
                                          qEnvironmentVariable("VIMOSYNC_SCREENSHOT_DST"));
        }
        return vimosync::TApplication::exec();
    } catch (const vimosync::Exception& e) {
        // Only the window's creation can get here (an unreadable settings file).
        std::fprintf(stderr, "%s: %s\n", qPrintable(vimosync::Tr(vimosync::LangText::AppTitle)),
                     e.message().toLocal8Bit().constData());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(vimosync::Tr(vimosync::LangText::AppTitle)),
                     e.what());
    }
    return 1;
}
