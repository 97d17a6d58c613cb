#pragma once

// Errors are exceptions carrying the message text and the name of the kind of
// failure, which the application's error handler writes into the debug log.

#include <QString>

#include <exception>
#include <string>

namespace vimosync {

class Exception : public std::exception {
public:
    explicit Exception(QString message, const char* className = "Exception")
        : message_(std::move(message)), className_(className),
          what_(message_.toLocal8Bit().toStdString()) {}
    const QString& message() const noexcept { return message_; }
    const char* className() const noexcept { return className_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    QString message_;
    const char* className_;
    std::string what_;
};

} // namespace vimosync
