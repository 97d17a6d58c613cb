#pragma once

// Errors are exceptions carrying the message text and the name of the kind of
// failure, which the application's error handler writes into the debug log. The message
// keeps its English form for the log beside the one shown.

#include "support/LangText.h"

#include <QString>

#include <exception>
#include <string>

namespace vimosync {

class Exception : public std::exception {
public:
    explicit Exception(TText message, const char* className = "Exception")
        : message_(std::move(message)), className_(className),
          what_(message_.English.toLocal8Bit().toStdString()) {}
    const TText& message() const noexcept { return message_; }
    const char* className() const noexcept { return className_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    TText message_;
    const char* className_;
    std::string what_;
};

} // namespace vimosync
