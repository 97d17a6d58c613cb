#include "ui/Application.h"

#include "support/Errors.h"
#include "support/LangText.h"
#include "support/LogFile.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace vimosync {

namespace {

QString TypeName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    return QString::fromLatin1(status == 0 && name ? name.get() : type.name());
}

} // namespace

QString ExceptionLogLine(const std::exception& e) {
    if (const auto* own = dynamic_cast<const Exception*>(&e)) {
        return Format(LangText::AppException, own->className(), own->message());
    }
    return Format(LangText::AppException, TypeName(typeid(e)), QString::fromLocal8Bit(e.what()));
}

void LogCurrentException() {
    try {
        throw;
    } catch (const std::exception& e) {
        WriteLog(ExceptionLogLine(e));
    } catch (...) {
        WriteLog(Format(LangText::AppException, "unknown", ""));
    }
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        LogCurrentException();
    }
    return false;
}

} // namespace vimosync
