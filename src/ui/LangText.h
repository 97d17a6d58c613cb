#pragma once

// Every text the user can see, in one table, and the Format() that fills their
// "%s" and "%d" places. Depends on Qt Core only, so that the core can use it.
//
// Each subsystem keeps its texts in its own section below.

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <type_traits>

namespace vimosync {

namespace detail {
QString formatArgs(const char* pattern, const QStringList& args);
inline QString toArg(const QString& s) {
    return s;
}
inline QString toArg(const char* s) {
    return QString::fromUtf8(s);
}
inline QString toArg(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
inline QString toArg(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
template <class T>
requires std::is_arithmetic_v<T> QString toArg(T v) {
    return QString::number(v);
}
} // namespace detail

// Fills the "%s" and "%d" places of the pattern in order; "%%" is a percent sign.
template <class... A> QString Format(const char* pattern, const A&... args) {
    return detail::formatArgs(pattern, QStringList{detail::toArg(args)...});
}

namespace LangText {

// ---- Application
inline constexpr const char* AppTitle = "Vimo PDA/Oskel/Varyon History Synchronizer";

// ---- History files

// ---- Merge

// ---- Workflow: analysis, synchronization, monitor, window state

// ---- Settings store and dialogs

// ---- Support: log and trash

// ---- Main window: views, list tools, find, about

// ---- Command-line tool

} // namespace LangText
} // namespace vimosync
