#include "config/UnitVerDialog.h"

#include "history/Model.h"
#include "support/LangText.h"
#include "ui/Hints.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vimosync {

TFileVerDialog::TFileVerDialog(int currentVersion, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      group_(new QButtonGroup(this)) {
    setObjectName(QStringLiteral("FileVerDialog"));
    setWindowTitle(Tr(LangText::FileVersionCaption));

    auto* prompt = new QLabel(Tr(LangText::FileVersionPrompt), this);
    prompt->setWordWrap(true);

    auto* box = new QGroupBox(Tr(LangText::FileVersionGroup), this);
    box->setObjectName(QStringLiteral("VersionRG"));
    auto* boxLayout = new QVBoxLayout(box);
    for (int v = 0; v < kFormatVersionCount; ++v) {
        auto* item = new QRadioButton(Tr(FormatLabels[static_cast<std::size_t>(v)]), box);
        group_->addButton(item, v);
        boxLayout->addWidget(item);
    }
    SelectVersion(currentVersion);

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(Tr(LangText::ButtonOk), QDialogButtonBox::AcceptRole);
    auto* cancel = buttons->addButton(Tr(LangText::ButtonCancel), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(box);
    layout->addStretch(1);
    layout->addWidget(buttons);

    // A fixed client area of 300 x 227, larger only when the fonts need it.
    const QSize hint = sizeHint().expandedTo(QSize(300, 227));
    setFixedSize(hint);
}

int TFileVerDialog::SelectedVersion() const {
    return group_->checkedId();
}

void TFileVerDialog::SelectVersion(int version) {
    if (QAbstractButton* b = group_->button(version)) {
        b->setChecked(true);
    }
}

int TFileVerDialog::Ask(int currentVersion, QWidget* parent, bool forSource) {
    TFileVerDialog dialog(currentVersion, parent);
    if (forSource) {
        dialog.setWindowTitle(Tr(LangText::BackFileVersionCaption));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return -1;
    }
    return dialog.SelectedVersion();
}

} // namespace vimosync
