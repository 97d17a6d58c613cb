#include "ui/SpinEdit.h"

#include <QLineEdit>

#include <algorithm>
#include <limits>

namespace vimosync {

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent) {
    setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setValue(0);
}

void TSpinEdit::SetLimits(int min, int max) {
    limited_ = true;
    min_ = min;
    max_ = max;
    setRange(min, max);
}

int TSpinEdit::Clamp(qint64 v) const {
    const qint64 lo = limited_ ? min_ : std::numeric_limits<int>::min();
    const qint64 hi = limited_ ? max_ : std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(v, lo, hi));
}

int TSpinEdit::ReadValue() const {
    bool ok = false;
    const qint64 v = lineEdit()->text().trimmed().toLongLong(&ok);
    if (!ok) {
        return limited_ ? min_ : 0;
    }
    return Clamp(v);
}

QValidator::State TSpinEdit::validate(QString& input, int& /*pos*/) const {
    const QString t = input.trimmed();
    if (t.isEmpty() || t == QLatin1String("-") || t == QLatin1String("+")) {
        return QValidator::Intermediate;
    }
    bool ok = false;
    const qint64 v = t.toLongLong(&ok);
    if (!ok) {
        return QValidator::Invalid;
    }
    return Clamp(v) == v ? QValidator::Acceptable : QValidator::Intermediate;
}

void TSpinEdit::fixup(QString& input) const {
    bool ok = false;
    const qint64 v = input.trimmed().toLongLong(&ok);
    input = QString::number(ok ? Clamp(v) : (limited_ ? min_ : 0));
}

} // namespace vimosync
