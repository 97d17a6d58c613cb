#pragma once

// The application object of the desktop program. Every exception that no command
// handled ends up here: it is written to the debug log as
// "!App Exception: (class) message" and the program goes on; nothing is shown.

#include <QApplication>

#include <exception>

namespace vimosync {

// The log line of one exception (also used by code that catches on its own).
QString ExceptionLogLine(const std::exception& e);

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Writes the line of the exception being handled into the debug log.
void LogCurrentException();

} // namespace vimosync
