#pragma once

// The find dialog: one non-modal dialog kept for the whole run, with the find text,
// Match case, Whole word and the direction. Its find button and its closing are
// reported to the window, which searches the current find target.

#include "support/TextSearch.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vimosync {

class TFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* parent = nullptr);

    QString FindText() const;
    void SetFindText(const QString& text);
    TSearchOptions Options() const;
    void SetMatchCase(bool on);
    void SetWholeWord(bool on);
    void SetDown(bool down);

signals:
    // The find button.
    void find();
    // The dialog was closed (by Cancel, Escape, the close box or the program).
    void closed();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QLineEdit* text_;
    QCheckBox* matchCase_;
    QCheckBox* wholeWord_;
    QRadioButton* up_;
    QRadioButton* down_;
    QPushButton* findButton_;
};

} // namespace vimosync
