#pragma once

// Small pieces the workflow's commands share: UTF-8 to text, the guards that close a
// command on every way out, and the lines its confirmation and log show.

#include "history/Model.h"

#include <QString>

#include <algorithm>
#include <string>
#include <utility>

namespace vimosync::detail {

inline const QString kSep = QStringLiteral("/");
inline const QString kCrLf = QStringLiteral("\r\n");

inline QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

inline QString FormatLabel(int version) {
    return QString::fromLatin1(
        FormatLabels[static_cast<std::size_t>(std::clamp(version, 0, kFormatVersionCount - 1))]);
}

// Runs the closing steps of a command on every way out, errors included.
template <class F> class TFinally {
public:
    explicit TFinally(F f) : f_(std::move(f)) {}
    ~TFinally() { f_(); }
    TFinally(const TFinally&) = delete;
    TFinally& operator=(const TFinally&) = delete;

private:
    F f_;
};

// Marks a command that processes window events as running, on every way out.
class TRunningGuard {
public:
    explicit TRunningGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~TRunningGuard() { flag_ = false; }
    TRunningGuard(const TRunningGuard&) = delete;
    TRunningGuard& operator=(const TRunningGuard&) = delete;

private:
    bool& flag_;
};

} // namespace vimosync::detail
