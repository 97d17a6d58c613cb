#include "ui/LangText.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vimosync"));
    QMainWindow w;
    w.setWindowTitle(QString::fromUtf8(vimosync::LangText::AppTitle));
    w.show();
    return QApplication::exec();
}
