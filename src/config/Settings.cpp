#include "config/Settings.h"

#include "config/Setup.h"
#include "history/Model.h"
#include "history/TimeStamp.h"
#include "support/LangText.h"
#include "support/Translation.h"
#include "ui/Hints.h"
#include "ui/SpinEdit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vimosync {

namespace {

constexpr int kMinArchiveSize = 300;
constexpr int kMaxArchiveSize = 300000;
constexpr int kPageCount = 4;
constexpr int kMaxJournalDays = 3650;

QCheckBox* NewCheckBox(QWidget* parent, const char* name, const char* caption, const char* hint) {
    auto* box = new QCheckBox(Tr(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    SetHint(box, hint);
    return box;
}

TSpinEdit* NewSpinEdit(QWidget* parent, const char* name, const char* hint) {
    auto* edit = new TSpinEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    SetHint(edit, hint);
    return edit;
}

QString OffsetEntry(double days) {
    return Tr(LangText::GmtPrefix) + FormatOffset(days);
}

} // namespace

TSettingsDialog::TSettingsDialog(int page, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      pages_(new QTabWidget(this)) {
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(Tr(LangText::SettingsCaption));
    pages_->setObjectName(QStringLiteral("PageControl1"));

    // General.
    auto* general = new QWidget;
    auto* misc = new QGroupBox(Tr(LangText::GroupMiscellaneous), general);
    UseLogCheckBox =
        NewCheckBox(misc, "UseLogCheckBox", LangText::UseLogCaption, LangText::UseLogHint);
    ShowMessNumbersCB = NewCheckBox(misc, "ShowMessNumbersCB", LangText::ShowNumbersCaption,
                                    LangText::ShowNumbersHint);
    BackupToRecycleBinCB =
        NewCheckBox(misc, "BackupToRecycleBinCB", LangText::BackupCaption, LangText::BackupHint);
    UseVaryonArchivesCB = NewCheckBox(misc, "UseVaryonArchivesCB", LangText::UseArchivesCaption,
                                      LangText::UseArchivesHint);
    NewArchiveSizeLabel = new QLabel(Tr(LangText::ArchiveSizeLabel), misc);
    NewArchiveSizeLabel->setObjectName(QStringLiteral("NewArchiveSizeLabel"));
    NewArchiveSizeSE = NewSpinEdit(misc, "NewArchiveSizeSE", LangText::ArchiveSizeHint);
    NewArchiveSizeSE->SetLimits(kMinArchiveSize, kMaxArchiveSize);
    NewArchiveSizeSE->setSingleStep(100);
    NewArchiveSizeLabel->setBuddy(NewArchiveSizeSE);
    CreateArchivesFolderCB =
        NewCheckBox(misc, "CreateArchivesFolderCB", LangText::CreateArchivesCaption,
                    LangText::CreateArchivesHint);
    JournalDaysLabel = new QLabel(Tr(LangText::JournalDaysLabel), misc);
    JournalDaysLabel->setObjectName(QStringLiteral("JournalDaysLabel"));
    JournalDaysSE = NewSpinEdit(misc, "JournalDaysSE", LangText::JournalDaysHint);
    JournalDaysSE->SetLimits(0, kMaxJournalDays);
    JournalDaysLabel->setBuddy(JournalDaysSE);
    SyncDirectionLabel = new QLabel(Tr(LangText::SyncDirectionLabel), misc);
    SyncDirectionLabel->setObjectName(QStringLiteral("SyncDirectionLabel"));
    SyncDirectionCombo = new QComboBox(misc);
    SyncDirectionCombo->setObjectName(QStringLiteral("SyncDirectionCombo"));
    SyncDirectionCombo->addItem(Tr(LangText::SyncDirectionOneWay));
    SyncDirectionCombo->addItem(Tr(LangText::SyncDirectionBothWays));
    SyncDirectionCombo->setToolTip(Tr(LangText::SyncDirectionHint));
    SyncDirectionLabel->setBuddy(SyncDirectionCombo);
    LanguageLabel = new QLabel(Tr(LangText::LanguageLabel), misc);
    LanguageLabel->setObjectName(QStringLiteral("LanguageLabel"));
    LanguageCombo = new QComboBox(misc);
    LanguageCombo->setObjectName(QStringLiteral("LanguageCombo"));
    LanguageCombo->addItem(Tr(LangText::LanguageSystem), QString());
    LanguageCombo->addItem(Tr(LangText::LanguageEnglish), QStringLiteral("en"));
    for (const QString& code : AvailableLanguages()) {
        // Each language by its own name, as a user of it looks for it.
        QString name = QLocale(code).nativeLanguageName();
        if (!name.isEmpty()) {
            name[0] = name[0].toUpper();
        }
        LanguageCombo->addItem(name.isEmpty() ? code : name, code);
    }
    SetHint(LanguageCombo, LangText::LanguageHint);
    LanguageLabel->setBuddy(LanguageCombo);
    {
        auto* l = new QVBoxLayout(misc);
        l->addWidget(UseLogCheckBox);
        l->addWidget(ShowMessNumbersCB);
        l->addWidget(BackupToRecycleBinCB);
        l->addWidget(UseVaryonArchivesCB);
        auto* row = new QHBoxLayout;
        row->setContentsMargins(20, 0, 0, 0);
        row->addWidget(NewArchiveSizeLabel);
        row->addWidget(NewArchiveSizeSE);
        row->addStretch(1);
        l->addLayout(row);
        auto* row2 = new QHBoxLayout;
        row2->setContentsMargins(20, 0, 0, 0);
        row2->addWidget(CreateArchivesFolderCB);
        l->addLayout(row2);
        auto* row3 = new QHBoxLayout;
        row3->addWidget(JournalDaysLabel);
        row3->addWidget(JournalDaysSE);
        row3->addStretch(1);
        l->addLayout(row3);
        auto* row4 = new QHBoxLayout;
        row4->addWidget(SyncDirectionLabel);
        row4->addWidget(SyncDirectionCombo);
        row4->addStretch(1);
        l->addLayout(row4);
        auto* row5 = new QHBoxLayout;
        row5->addWidget(LanguageLabel);
        row5->addWidget(LanguageCombo);
        row5->addStretch(1);
        l->addLayout(row5);
        auto* pl = new QVBoxLayout(general);
        pl->addWidget(misc);
        pl->addStretch(1);
    }
    pages_->addTab(general, Tr(LangText::TabGeneral));

    // Date/Time.
    auto* dateTime = new QWidget;
    auto* dtGroup = new QGroupBox(Tr(LangText::GroupDateTime), dateTime);
    TimeZoneEdit = new QLineEdit(dtGroup);
    TimeZoneEdit->setObjectName(QStringLiteral("TimeZoneEdit"));
    TimeZoneEdit->setReadOnly(true);
    TimeZoneEdit->setEnabled(false);
    SetHint(TimeZoneEdit, LangText::TimeZoneHint);
    PDAOffsetCombo = new QComboBox(dtGroup);
    PDAOffsetCombo->setObjectName(QStringLiteral("PDAOffsetCombo"));
    PDAOffsetCombo->setEditable(false);
    SetHint(PDAOffsetCombo, LangText::PdaOffsetHint);
    LabelDoUpdate = new QLabel(dtGroup);
    LabelDoUpdate->setObjectName(QStringLiteral("LabelDoUpdate"));
    LabelDoUpdate->setTextFormat(Qt::RichText);
    LabelDoUpdate->setText(
        QStringLiteral("<a href=\"update\">%1</a>").arg(Tr(LangText::UpdateLink).toHtmlEscaped()));
    LabelDoUpdate->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                           Qt::LinksAccessibleByKeyboard);
    LabelDoUpdate->setCursor(Qt::PointingHandCursor);
    SetHint(LabelDoUpdate, LangText::UpdateHint);
    connect(LabelDoUpdate, &QLabel::linkActivated, this, &TSettingsDialog::LabelDoUpdateClick);
    PermanentPDATimeOffset = NewCheckBox(dtGroup, "PermanentPDATimeOffset",
                                         LangText::PermanentCaption, LangText::PermanentHint);
    seZmtDateOffset = NewSpinEdit(dtGroup, "seZmtDateOffset", LangText::ZmtDateOffsetHint);
    {
        auto* l = new QFormLayout(dtGroup);
        l->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        l->addRow(Tr(LangText::TimeZoneLabel), TimeZoneEdit);
        auto* offsetRow = new QHBoxLayout;
        offsetRow->addWidget(PDAOffsetCombo, 1);
        offsetRow->addWidget(LabelDoUpdate);
        l->addRow(Tr(LangText::PdaOffsetLabel), offsetRow);
        l->addRow(PermanentPDATimeOffset);
        l->addRow(Tr(LangText::ZmtDateOffsetLabel), seZmtDateOffset);
        auto* pl = new QVBoxLayout(dateTime);
        pl->addWidget(dtGroup);
        pl->addStretch(1);
    }
    pages_->addTab(dateTime, Tr(LangText::TabDateTime));

    // Spam.
    auto* spam = new QWidget;
    auto* spamGroup = new QGroupBox(Tr(LangText::GroupSpam), spam);
    seSpamMinMessagesIn = NewSpinEdit(spamGroup, "seSpamMinMessagesIn", LangText::SpamInHint);
    seSpamMinMessagesOut = NewSpinEdit(spamGroup, "seSpamMinMessagesOut", LangText::SpamOutHint);
    {
        auto* l = new QFormLayout(spamGroup);
        l->addRow(Tr(LangText::SpamInLabel), seSpamMinMessagesIn);
        l->addRow(Tr(LangText::SpamOutLabel), seSpamMinMessagesOut);
        auto* pl = new QVBoxLayout(spam);
        pl->addWidget(spamGroup);
        pl->addStretch(1);
    }
    pages_->addTab(spam, Tr(LangText::TabSpam));

    // Merge.
    auto* merge = new QWidget;
    auto* modeGroup = new QGroupBox(Tr(LangText::MergeModeGroup), merge);
    modeGroup->setObjectName(QStringLiteral("MessMergeModeRG"));
    MessMergeModeRG = new QButtonGroup(this);
    {
        auto* l = new QVBoxLayout(modeGroup);
        const char* items[] = {LangText::MergeMode0, LangText::MergeMode1, LangText::MergeMode2};
        for (int i = 0; i < 3; ++i) {
            auto* item = new QRadioButton(Tr(items[i]), modeGroup);
            item->setObjectName(QStringLiteral("MessMergeMode%1").arg(i));
            MessMergeModeRG->addButton(item, i);
            l->addWidget(item);
        }
    }
    MergeIgnoreSpacesCB = NewCheckBox(merge, "MergeIgnoreSpacesCB", LangText::IgnoreSpacesCaption,
                                      LangText::IgnoreSpacesHint);
    CorrectCRLFCB = NewCheckBox(merge, "CorrectCRLFCB", LangText::CorrectCrLfCaption,
                                LangText::CorrectCrLfHint);
    {
        auto* pl = new QVBoxLayout(merge);
        pl->addWidget(modeGroup);
        pl->addWidget(MergeIgnoreSpacesCB);
        pl->addWidget(CorrectCRLFCB);
        pl->addStretch(1);
    }
    pages_->addTab(merge, Tr(LangText::TabMerge));

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(Tr(LangText::ButtonOk), QDialogButtonBox::AcceptRole);
    auto* cancel = buttons->addButton(Tr(LangText::ButtonCancel), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("ButtonOk"));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    cancel->setObjectName(QStringLiteral("ButtonCancel"));
    connect(ok, &QPushButton::clicked, this, &TSettingsDialog::ButtonOkClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(UseVaryonArchivesCB, &QCheckBox::clicked, this,
            &TSettingsDialog::UseVaryonArchivesCBClick);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addWidget(buttons);

    // Opening: the offsets of whole hours, the remembered page, the zone, the current
    // PDA offset and the values of the settings.
    changed_ = false;
    for (int h = -12; h <= 13; ++h) {
        PDAOffsetCombo->addItem(OffsetEntry(h / 24.0));
    }
    pages_->setCurrentIndex(page >= 0 && page < kPageCount ? page : 0);
    ShowZone();
    SelectPdaOffset();

    const TSettings& s = Setup();
    PermanentPDATimeOffset->setChecked(s.UsePermanentPDATimeOffset);
    UseLogCheckBox->setChecked(s.UseLog);
    ShowMessNumbersCB->setChecked(s.ShowMessNumbers);
    BackupToRecycleBinCB->setChecked(s.BackupToRecycleBin);
    seSpamMinMessagesIn->setValue(s.SpamMinMessagesIn);
    seSpamMinMessagesOut->setValue(s.SpamMinMessagesOut);
    UseVaryonArchivesCB->setChecked(s.UseVaryonArchives);
    NewArchiveSizeSE->setValue(qBound(kMinArchiveSize, s.NewArchiveSize, kMaxArchiveSize));
    JournalDaysSE->setValue(qBound(0, s.JournalDays, kMaxJournalDays));
    SyncDirectionCombo->setCurrentIndex(qBound(0, s.SyncDirection, 1));
    {
        // A code no translation stands for (one taken away since) is kept as it is.
        int index = LanguageCombo->findData(s.Language);
        if (index < 0) {
            LanguageCombo->addItem(s.Language, s.Language);
            index = LanguageCombo->count() - 1;
        }
        LanguageCombo->setCurrentIndex(index);
    }
    if (QAbstractButton* b = MessMergeModeRG->button(s.MessMergeMode)) {
        b->setChecked(true);
    }
    MergeIgnoreSpacesCB->setChecked(s.MergeIgnoreSpaces);
    CreateArchivesFolderCB->setChecked(s.CreateArchivesFolder);
    seZmtDateOffset->setValue(s.ZmtDateOffset);
    CorrectCRLFCB->setChecked(s.CorrectCRLF);
    UseVaryonArchivesCBClick();

    setFixedSize(sizeHint());
}

int TSettingsDialog::ActivePage() const {
    return pages_->currentIndex();
}

void TSettingsDialog::ShowZone() {
    const TSettings& s = Setup();
    const QString text =
        Format(LangText::TimeZoneText, s.ZoneName, FormatOffset(-s.ZoneBias / 1440.0));
    TimeZoneEdit->setText(text);
    // The field shows the zone's name whole from its start (a long name scrolled to its
    // end lost its first letters), and its tool tip has the name too.
    TimeZoneEdit->setCursorPosition(0);
    const QFontMetrics metrics(TimeZoneEdit->font());
    TimeZoneEdit->setMinimumWidth(
        std::min(metrics.horizontalAdvance(text) + 4 * metrics.averageCharWidth(), 480));
    TimeZoneEdit->setToolTip(text + QLatin1Char('\n') + Tr(LangText::TimeZoneHint));
}

void TSettingsDialog::SelectPdaOffset() {
    const QString entry = OffsetEntry(-Setup().PdaOffset);
    int index = PDAOffsetCombo->findText(entry, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        PDAOffsetCombo->addItem(entry);
        index = PDAOffsetCombo->count() - 1;
    }
    PDAOffsetCombo->setCurrentIndex(index);
}

void TSettingsDialog::LabelDoUpdateClick() {
    TSettings& s = Setup();
    ReadZone(s.ZoneName, s.ZoneBias);
    s.PdaOffset = s.ZoneBias / 1440.0;
    ShowZone();
    SelectPdaOffset();
}

void TSettingsDialog::UseVaryonArchivesCBClick() {
    const bool on = UseVaryonArchivesCB->isChecked();
    NewArchiveSizeSE->setEnabled(on);
    NewArchiveSizeLabel->setEnabled(on);
    CreateArchivesFolderCB->setEnabled(on);
}

void TSettingsDialog::ButtonOkClick() {
    TSettings& s = Setup();
    s.UsePermanentPDATimeOffset = PermanentPDATimeOffset->isChecked();

    // The whole offset after "GMT", minutes included, so that an entry such as
    // GMT-03:30 survives an OK without a change.
    const QString entry = PDAOffsetCombo->currentText();
    const QString prefix = Tr(LangText::GmtPrefix);
    if (entry.startsWith(prefix)) {
        s.PdaOffset = -ParseOffset(entry.mid(prefix.size()));
    }

    s.UseLog = UseLogCheckBox->isChecked();
    s.ShowMessNumbers = ShowMessNumbersCB->isChecked();
    s.BackupToRecycleBin = BackupToRecycleBinCB->isChecked();
    s.SpamMinMessagesIn = seSpamMinMessagesIn->ReadValue();
    s.SpamMinMessagesOut = seSpamMinMessagesOut->ReadValue();

    const auto mark = [this](bool differs) {
        if (differs) {
            changed_ = true;
        }
    };
    mark(UseVaryonArchivesCB->isChecked() != s.UseVaryonArchives);
    s.UseVaryonArchives = UseVaryonArchivesCB->isChecked();
    s.NewArchiveSize = NewArchiveSizeSE->ReadValue();
    s.JournalDays = JournalDaysSE->ReadValue();
    // The other direction lists other contacts: the analysis is out of date.
    mark(SyncDirectionCombo->currentIndex() != s.SyncDirection);
    s.SyncDirection = SyncDirectionCombo->currentIndex();
    const QString language = LanguageCombo->currentData().toString();
    languageChanged_ = language != s.Language;
    s.Language = language;

    // A mode from the file that no item stands for stays as it is.
    const int mode = MessMergeModeRG->checkedId();
    if (mode >= 0) {
        mark(mode != s.MessMergeMode);
        s.MessMergeMode = static_cast<std::uint8_t>(mode);
    }
    mark(MergeIgnoreSpacesCB->isChecked() != s.MergeIgnoreSpaces);
    s.MergeIgnoreSpaces = MergeIgnoreSpacesCB->isChecked();
    mark(CreateArchivesFolderCB->isChecked() != s.CreateArchivesFolder);
    s.CreateArchivesFolder = CreateArchivesFolderCB->isChecked();

    s.ZmtDateOffset = seZmtDateOffset->ReadValue();
    s.CorrectCRLF = CorrectCRLFCB->isChecked();
    accept();
}

} // namespace vimosync
