#include "ui/Main.h"
#include "support/Errors.h"
#include "ui/LangText.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vimosync"));
    try {
        vimosync::TForm1 form;
        form.show();
        return QApplication::exec();
    } catch (const vimosync::Exception& e) {
        std::fprintf(stderr, "%s: %s\n", vimosync::LangText::AppTitle,
                     e.message().toLocal8Bit().constData());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", vimosync::LangText::AppTitle, e.what());
    }
    return 1;
}
