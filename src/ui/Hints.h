#pragma once

// Hints of two parts, "tool tip|long text": the tool tip pops up over the control, the
// long text goes to the main window's status bar (through the status-tip events that
// the window's hint handler catches). A hint without "|" is both.

#include "support/LangText.h"

#include <QString>

class QAction;
class QWidget;

namespace vimosync {

QString ShortHint(const QString& hint);
QString LongHint(const QString& hint);

void SetHint(QWidget* widget, const QString& hint);
void SetHint(QAction* action, const QString& hint);
inline void SetHint(QWidget* widget, const char* hint) {
    SetHint(widget, Tr(hint));
}
inline void SetHint(QAction* action, const char* hint) {
    SetHint(action, Tr(hint));
}

} // namespace vimosync
