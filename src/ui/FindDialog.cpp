#include "ui/FindDialog.h"

#include "support/LangText.h"
#include "ui/Hints.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vimosync {

TFindDialog::TFindDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      text_(new QLineEdit(this)), matchCase_(new QCheckBox(Tr(LangText::FindMatchCase), this)),
      wholeWord_(new QCheckBox(Tr(LangText::FindWholeWord), this)),
      up_(new QRadioButton(Tr(LangText::FindUp))), down_(new QRadioButton(Tr(LangText::FindDown))),
      findButton_(new QPushButton(Tr(LangText::FindNextButton), this)) {
    setObjectName(QStringLiteral("FindDialog1"));
    setWindowTitle(Tr(LangText::FindDialogCaption));
    setModal(false);
    text_->setObjectName(QStringLiteral("FindText"));
    matchCase_->setObjectName(QStringLiteral("MatchCase"));
    wholeWord_->setObjectName(QStringLiteral("WholeWord"));
    up_->setObjectName(QStringLiteral("DirectionUp"));
    down_->setObjectName(QStringLiteral("DirectionDown"));
    findButton_->setObjectName(QStringLiteral("FindButton"));
    down_->setChecked(true);

    auto* label = new QLabel(Tr(LangText::FindWhat), this);
    label->setBuddy(text_);
    auto* cancel = new QPushButton(Tr(LangText::ButtonCancel), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    findButton_->setDefault(true);
    findButton_->setEnabled(false);

    auto* direction = new QGroupBox(Tr(LangText::FindDirection), this);
    auto* dl = new QHBoxLayout(direction);
    dl->addWidget(up_);
    dl->addWidget(down_);

    auto* left = new QVBoxLayout;
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(text_, 1);
    left->addLayout(row);
    auto* options = new QHBoxLayout;
    auto* checks = new QVBoxLayout;
    checks->addWidget(wholeWord_);
    checks->addWidget(matchCase_);
    options->addLayout(checks);
    options->addWidget(direction);
    left->addLayout(options);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findButton_);
    buttons->addWidget(cancel);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(text_, &QLineEdit::textChanged, this,
            [this](const QString& t) { findButton_->setEnabled(!t.isEmpty()); });
    connect(findButton_, &QPushButton::clicked, this, &TFindDialog::find);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFindDialog::FindText() const {
    return text_->text();
}

void TFindDialog::SetFindText(const QString& text) {
    text_->setText(text);
}

TSearchOptions TFindDialog::Options() const {
    return TSearchOptions{matchCase_->isChecked(), wholeWord_->isChecked(), down_->isChecked()};
}

void TFindDialog::SetMatchCase(bool on) {
    matchCase_->setChecked(on);
}

void TFindDialog::SetWholeWord(bool on) {
    wholeWord_->setChecked(on);
}

void TFindDialog::SetDown(bool down) {
    (down ? down_ : up_)->setChecked(true);
}

void TFindDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    emit closed();
}

} // namespace vimosync
