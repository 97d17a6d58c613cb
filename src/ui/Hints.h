#pragma once

// Hints of two parts, "tool tip|long text": the tool tip pops up over the control, the
// long text goes to the main window's status bar (through the status-tip events that
// the window's hint handler catches). A hint without "|" is both.

#include <QString>

class QAction;
class QWidget;

namespace vimosync {

QString ShortHint(const QString& hint);
QString LongHint(const QString& hint);

void SetHint(QWidget* widget, const QString& hint);
void SetHint(QAction* action, const QString& hint);
inline void SetHint(QWidget* widget, const char* hint) {
    SetHint(widget, QString::fromUtf8(hint));
}
inline void SetHint(QAction* action, const char* hint) {
    SetHint(action, QString::fromUtf8(hint));
}

// A user-visible text of the LangText table.
inline QString Tr(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace vimosync
