#pragma once

// A number field: an integer typed in or stepped with the up/down buttons. A field
// with limits brings a value outside them to the nearer limit when it is set and when
// the field loses the focus; a field without limits takes any integer. Text that is not
// an integer reads as the field's minimum (0 for a field without limits).

#include <QLineEdit>
#include <QSpinBox>

namespace vimosync {

class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    // Limits min..max; a field made without them takes any integer.
    void SetLimits(int min, int max);
    bool HasLimits() const { return limited_; }

    // The value the field's text stands for now (also while it is being edited).
    int ReadValue() const;
    // The text field inside.
    QLineEdit* Editor() const { return lineEdit(); }

protected:
    // Any integer may be typed; one outside the limits is brought to the nearer limit
    // when the field loses the focus (QSpinBox would refuse the digit that crosses the
    // maximum, so that 400000 typed under a maximum of 300000 left 40000).
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

private:
    int Clamp(qint64 v) const;
    bool limited_ = false;
    int min_ = 0;
    int max_ = 0;
};

} // namespace vimosync
