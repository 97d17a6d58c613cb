#include "ui/UnitAbout.h"

#include "support/LangText.h"
#include "ui/Hints.h"
#include "ui/Icons.h"
#include "ui/Main.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vimosync {

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(Tr(LangText::AboutCaption));

    auto* image = new QLabel(this);
    image->setPixmap(ApplicationIcon().pixmap(64, 64));
    image->setAlignment(Qt::AlignTop);
    auto* product = new QLabel(Tr(LangText::AppTitle), this);
    product->setObjectName(QStringLiteral("ProductName"));
    QFont bold = product->font();
    bold.setBold(true);
    product->setFont(bold);
    product->setWordWrap(true);
    auto* version = new QLabel(VersionText().trimmed(), this);
    version->setObjectName(QStringLiteral("Version"));
    auto* label = new QLabel(Tr(LangText::AboutLabel), this);
    label->setWordWrap(true);
    auto* agreement = new QPlainTextEdit(Tr(LangText::AboutAgreement), this);
    agreement->setObjectName(QStringLiteral("Agreement"));
    agreement->setReadOnly(true);
    agreement->setMinimumHeight(90);
    auto* ok = new QPushButton(Tr(LangText::ButtonOk), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);

    auto* head = new QHBoxLayout;
    head->addWidget(image);
    auto* texts = new QVBoxLayout;
    texts->addWidget(product);
    texts->addWidget(version);
    texts->addWidget(label);
    head->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(agreement, 1);
    layout->addLayout(buttons);
    resize(420, 300);
}

} // namespace vimosync
