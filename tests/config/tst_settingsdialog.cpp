#include "config/Settings.h"
#include "config/Setup.h"
#include "history/Model.h"
#include "history/TimeStamp.h"
#include "ui/SpinEdit.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <ctime>

using namespace vimosync;

// The machine's zone is fixed for this test: three hours east of UTC, no summer time.
class TestSettingsDialog : public QObject {
    Q_OBJECT

private slots:
    void init();
    void layoutAndHints();
    void offsetEntries();
    void selectsCurrentOffset_data();
    void selectsCurrentOffset();
    void offsetWithMinutesSurvivesOk();
    void updateThenCancel();
    void controlsFromSettings();
    void changedMark_data();
    void changedMark();
    void syncDirection();
    void mergeModeTwoIsKept();
    void archiveSizeLimits();
    void unlimitedFieldsTakeAnyInteger();
    void archiveDependency();
    void opensOnPage();

private:
    static TSettingsDialog* open(int page = 0) { return new TSettingsDialog(page); }
};

void TestSettingsDialog::init() {
    Setup() = TSettings{};
    Setup().PdaOffset = 0;
    Setup().ZoneName = QStringLiteral("Old");
    Setup().ZoneBias = 0;
}

void TestSettingsDialog::layoutAndHints() {
    std::unique_ptr<TSettingsDialog> d(open());
    QCOMPARE(d->windowTitle(), QStringLiteral("Settings"));
    QTabWidget* tabs = d->PageControl();
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->tabText(0), QStringLiteral("General"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Date/Time"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Spam"));
    QCOMPARE(tabs->tabText(3), QStringLiteral("Merge"));
    // A two-part hint: tool tip and status text; a one-part hint is both.
    auto* create = d->findChild<QCheckBox*>("CreateArchivesFolderCB");
    QCOMPARE(create->text(), QStringLiteral("Create Archives folder automatically"));
    QCOMPARE(create->toolTip(), QStringLiteral("Create Archives folder automatically"));
    QCOMPARE(create->statusTip(),
             QStringLiteral("If not checked then it will consider to use or not on folder exists"));
    auto* log = d->findChild<QCheckBox*>("UseLogCheckBox");
    QCOMPARE(log->toolTip(), QStringLiteral("Store some debug information to log text file"));
    QCOMPARE(log->statusTip(), log->toolTip());
    QCOMPARE(d->findChild<QComboBox*>("PDAOffsetCombo")->toolTip(),
             QStringLiteral("PDA timezone offset"));
    QCOMPARE(d->findChild<QRadioButton*>("MessMergeMode2")->text(),
             QStringLiteral("\"Smart\" mode. Look for groups, then merge groups separately"));
    QVERIFY(!d->findChild<QLineEdit*>("TimeZoneEdit")->isEnabled());
    QCOMPARE(d->minimumSize(), d->maximumSize());
}

void TestSettingsDialog::offsetEntries() {
    std::unique_ptr<TSettingsDialog> d(open());
    auto* combo = d->findChild<QComboBox*>("PDAOffsetCombo");
    QCOMPARE(combo->count(), 26);
    QCOMPARE(combo->itemText(0), QStringLiteral("GMT-12:00"));
    QCOMPARE(combo->itemText(12), QStringLiteral("GMT+00:00"));
    QCOMPARE(combo->itemText(25), QStringLiteral("GMT+13:00"));
    QCOMPARE(combo->currentText(), QStringLiteral("GMT+00:00"));
}

void TestSettingsDialog::selectsCurrentOffset_data() {
    QTest::addColumn<double>("pdaOffset");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("count");
    QTest::newRow("-3/24") << -3 / 24.0 << "GMT+03:00" << 26;
    QTest::newRow("+5/24") << 5 / 24.0 << "GMT-05:00" << 26;
    QTest::newRow("half hour appended") << 3.5 / 24.0 << "GMT-03:30" << 27;
}

void TestSettingsDialog::selectsCurrentOffset() {
    QFETCH(double, pdaOffset);
    QFETCH(QString, selected);
    QFETCH(int, count);
    Setup().PdaOffset = pdaOffset;
    std::unique_ptr<TSettingsDialog> d(open());
    auto* combo = d->findChild<QComboBox*>("PDAOffsetCombo");
    QCOMPARE(combo->currentText(), selected);
    QCOMPARE(combo->count(), count);
    QCOMPARE(combo->currentIndex(), combo->findText(selected));
}

// OK reads the whole entry, minutes included: confirming the dialog unchanged must not
// move a GMT-03:30 device to GMT-03:00.
void TestSettingsDialog::offsetWithMinutesSurvivesOk() {
    Setup().PdaOffset = 3.5 / 24.0;
    std::unique_ptr<TSettingsDialog> d(open());
    d->ButtonOkClick();
    QCOMPARE(d->result(), int(QDialog::Accepted));
    QVERIFY(qAbs(Setup().PdaOffset - 3.5 / 24.0) < 1e-12);

    std::unique_ptr<TSettingsDialog> d2(open());
    d2->findChild<QComboBox*>("PDAOffsetCombo")->setCurrentText(QStringLiteral("GMT+02:00"));
    d2->ButtonOkClick();
    QVERIFY(qAbs(Setup().PdaOffset - -2 / 24.0) < 1e-12);
}

void TestSettingsDialog::updateThenCancel() {
    Setup().PdaOffset = 5 / 24.0;
    std::unique_ptr<TSettingsDialog> d(open());
    auto* zone = d->findChild<QLineEdit*>("TimeZoneEdit");
    QCOMPARE(zone->text(), QStringLiteral("Old (GMT+00:00)"));
    d->LabelDoUpdateClick();
    // The system zone is 3 hours east: bias -180 minutes.
    QCOMPARE(Setup().ZoneBias, -180);
    QVERIFY(qAbs(Setup().PdaOffset - -3 / 24.0) < 1e-12);
    QVERIFY(zone->text().endsWith(QStringLiteral(" (GMT+03:00)")));
    QCOMPARE(d->findChild<QComboBox*>("PDAOffsetCombo")->currentText(),
             QStringLiteral("GMT+03:00"));
    d->reject();
    QVERIFY(qAbs(Setup().PdaOffset - -3 / 24.0) < 1e-12);

    // A long zone name shows whole from its first letter, and in the tool tip.
    Setup().ZoneName = QStringLiteral("Newfoundland Standard Time");
    Setup().ZoneBias = 210;
    std::unique_ptr<TSettingsDialog> d2(open());
    d2->show();
    QVERIFY(QTest::qWaitForWindowExposed(d2.get()));
    auto* longZone = d2->findChild<QLineEdit*>("TimeZoneEdit");
    const QString text = QStringLiteral("Newfoundland Standard Time (GMT-03:30)");
    QCOMPARE(longZone->text(), text);
    QCOMPARE(longZone->cursorPosition(), 0);
    QVERIFY(longZone->toolTip().startsWith(text));
    QVERIFY(longZone->width() >= longZone->fontMetrics().horizontalAdvance(text));
}

void TestSettingsDialog::controlsFromSettings() {
    TSettings& s = Setup();
    s.UseLog = true;
    s.ShowMessNumbers = false;
    s.BackupToRecycleBin = false;
    s.SpamMinMessagesIn = 7;
    s.SpamMinMessagesOut = -2;
    s.UseVaryonArchives = true;
    s.NewArchiveSize = 50; // shown at the nearer limit
    s.MessMergeMode = 0;
    s.MergeIgnoreSpaces = true;
    s.CreateArchivesFolder = false;
    s.ZmtDateOffset = -3;
    s.CorrectCRLF = false;
    s.UsePermanentPDATimeOffset = true;
    s.JournalDays = 7;
    std::unique_ptr<TSettingsDialog> d(open());
    QVERIFY(d->findChild<QCheckBox*>("UseLogCheckBox")->isChecked());
    QVERIFY(!d->findChild<QCheckBox*>("ShowMessNumbersCB")->isChecked());
    QVERIFY(!d->findChild<QCheckBox*>("BackupToRecycleBinCB")->isChecked());
    QCOMPARE(d->findChild<TSpinEdit*>("seSpamMinMessagesIn")->value(), 7);
    QCOMPARE(d->findChild<TSpinEdit*>("seSpamMinMessagesOut")->value(), -2);
    QVERIFY(d->findChild<QCheckBox*>("UseVaryonArchivesCB")->isChecked());
    QCOMPARE(d->findChild<TSpinEdit*>("NewArchiveSizeSE")->value(), 300);
    QVERIFY(d->findChild<QRadioButton*>("MessMergeMode0")->isChecked());
    QVERIFY(d->findChild<QCheckBox*>("MergeIgnoreSpacesCB")->isChecked());
    QVERIFY(!d->findChild<QCheckBox*>("CreateArchivesFolderCB")->isChecked());
    QCOMPARE(d->findChild<TSpinEdit*>("seZmtDateOffset")->value(), -3);
    QVERIFY(!d->findChild<QCheckBox*>("CorrectCRLFCB")->isChecked());
    QVERIFY(d->findChild<QCheckBox*>("PermanentPDATimeOffset")->isChecked());
    auto* journalDays = d->findChild<TSpinEdit*>("JournalDaysSE");
    QCOMPARE(journalDays->value(), 7);
    journalDays->setValue(90);

    // OK writes every value back as shown.
    d->ButtonOkClick();
    QCOMPARE(s.JournalDays, 90);
    QCOMPARE(s.NewArchiveSize, 300);
    QCOMPARE(s.SpamMinMessagesOut, -2);
    QCOMPARE(s.ZmtDateOffset, -3);
    QVERIFY(s.UseLog && !s.ShowMessNumbers && !s.BackupToRecycleBin && s.UsePermanentPDATimeOffset);
    QVERIFY(!d->SettingsChangedMark());
}

// Only the four settings that decide the analysis results set the mark.
void TestSettingsDialog::changedMark_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("marks");
    QTest::newRow("UseVaryonArchives") << "UseVaryonArchivesCB" << true;
    QTest::newRow("MergeIgnoreSpaces") << "MergeIgnoreSpacesCB" << true;
    QTest::newRow("CreateArchivesFolder") << "CreateArchivesFolderCB" << true;
    QTest::newRow("merge mode 1 to 0") << "MessMergeMode0" << true;
    QTest::newRow("merge mode unchanged") << "MessMergeMode1" << false;
    QTest::newRow("CorrectCRLF") << "CorrectCRLFCB" << false;
    QTest::newRow("UseLog") << "UseLogCheckBox" << false;
    QTest::newRow("ShowMessNumbers") << "ShowMessNumbersCB" << false;
    QTest::newRow("BackupToRecycleBin") << "BackupToRecycleBinCB" << false;
    QTest::newRow("PermanentPDATimeOffset") << "PermanentPDATimeOffset" << false;
    QTest::newRow("PDA offset") << "PDAOffsetCombo" << false;
    QTest::newRow("ZmtDateOffset") << "seZmtDateOffset" << false;
    QTest::newRow("spam threshold") << "seSpamMinMessagesIn" << false;
    QTest::newRow("archive size") << "NewArchiveSizeSE" << false;
    QTest::newRow("journal days") << "JournalDaysSE" << false;
}

void TestSettingsDialog::changedMark() {
    QFETCH(QString, control);
    QFETCH(bool, marks);
    Setup().UseVaryonArchives = true; // the archive controls are enabled
    std::unique_ptr<TSettingsDialog> d(open());
    QObject* c = d->findChild<QObject*>(control);
    QVERIFY(c);
    if (auto* radio = qobject_cast<QRadioButton*>(c)) {
        radio->setChecked(true);
    } else if (auto* box = qobject_cast<QCheckBox*>(c)) {
        box->setChecked(!box->isChecked());
    } else if (auto* combo = qobject_cast<QComboBox*>(c)) {
        combo->setCurrentIndex(0);
    } else if (auto* spin = qobject_cast<TSpinEdit*>(c)) {
        spin->setValue(spin->value() + 1000);
    }
    d->ButtonOkClick();
    QCOMPARE(d->SettingsChangedMark(), marks);
}

// The direction is shown, stored, and marks the analysis as out of date when it changes.
void TestSettingsDialog::syncDirection() {
    Setup().SyncDirection = 1;
    std::unique_ptr<TSettingsDialog> d(open());
    auto* combo = d->findChild<QComboBox*>("SyncDirectionCombo");
    QVERIFY(combo);
    QCOMPARE(combo->currentIndex(), 1);
    d->ButtonOkClick();
    QVERIFY(!d->SettingsChangedMark());
    combo->setCurrentIndex(0);
    d->ButtonOkClick();
    QCOMPARE(Setup().SyncDirection, 0);
    QVERIFY(d->SettingsChangedMark());
    QVERIFY(!WorkflowOptions(Setup()).BothWays);
    Setup().SyncDirection = 1;
    QVERIFY(WorkflowOptions(Setup()).BothWays);
    Setup().SyncDirection = 0;
}

void TestSettingsDialog::mergeModeTwoIsKept() {
    Setup().MessMergeMode = 2;
    std::unique_ptr<TSettingsDialog> d(open());
    auto* two = d->findChild<QRadioButton*>("MessMergeMode2");
    QVERIFY(two->isChecked());
    QVERIFY(two->isEnabled());
    d->ButtonOkClick();
    QCOMPARE(int(Setup().MessMergeMode), 2);
    QVERIFY(!d->SettingsChangedMark());

    // The smart mode is chosen like the others, and the change asks for a new analysis.
    Setup().MessMergeMode = 1;
    std::unique_ptr<TSettingsDialog> d1(open());
    d1->findChild<QRadioButton*>("MessMergeMode2")->click();
    d1->ButtonOkClick();
    QCOMPARE(int(Setup().MessMergeMode), 2);
    QVERIFY(d1->SettingsChangedMark());

    // A mode no item stands for is kept as well.
    Setup().MessMergeMode = 7;
    std::unique_ptr<TSettingsDialog> d2(open());
    d2->ButtonOkClick();
    QCOMPARE(int(Setup().MessMergeMode), 7);
}

void TestSettingsDialog::archiveSizeLimits() {
    Setup().UseVaryonArchives = true;
    std::unique_ptr<TSettingsDialog> d(open());
    d->show();
    QVERIFY(QTest::qWaitForWindowExposed(d.get()));
    auto* size = d->findChild<TSpinEdit*>("NewArchiveSizeSE");
    QCOMPARE(size->singleStep(), 100);
    size->setFocus();
    size->selectAll();
    QTest::keyClicks(size, "50");
    QCOMPARE(size->Editor()->text(), QStringLiteral("50"));
    d->findChild<QCheckBox*>("UseLogCheckBox")->setFocus(); // leave the field
    QCOMPARE(size->Editor()->text(), QStringLiteral("300"));

    // Letters cannot be typed: the text stays as it was.
    size->setFocus();
    size->selectAll();
    QTest::keyClicks(size, "abc");
    QCOMPARE(size->Editor()->text(), QStringLiteral("300"));

    // A number past the upper limit is typed whole and comes to the limit when the field
    // loses the focus, or when OK reads it while the field is still being edited.
    size->setFocus();
    size->selectAll();
    QTest::keyClicks(size, "400000");
    QCOMPARE(size->Editor()->text(), QStringLiteral("400000"));
    d->findChild<QCheckBox*>("UseLogCheckBox")->setFocus();
    QCOMPARE(size->Editor()->text(), QStringLiteral("300000"));
    QCOMPARE(size->value(), 300000);
    size->setFocus();
    size->selectAll();
    QTest::keyClicks(size, "400000");
    d->ButtonOkClick();
    QCOMPARE(Setup().NewArchiveSize, 300000);

    size->setValue(1000);
    size->stepBy(1);
    QCOMPARE(size->value(), 1100);
}

void TestSettingsDialog::unlimitedFieldsTakeAnyInteger() {
    std::unique_ptr<TSettingsDialog> d(open());
    auto* offset = d->findChild<TSpinEdit*>("seZmtDateOffset");
    QVERIFY(!offset->HasLimits());
    offset->setValue(-123456);
    QCOMPARE(offset->value(), -123456);
    offset->Editor()->setText(QString());
    QCOMPARE(offset->ReadValue(), 0);
    offset->setValue(2000000000);
    QCOMPARE(offset->ReadValue(), 2000000000);
}

void TestSettingsDialog::archiveDependency() {
    Setup().UseVaryonArchives = true;
    Setup().NewArchiveSize = 700;
    Setup().CreateArchivesFolder = true;
    std::unique_ptr<TSettingsDialog> d(open());
    auto* use = d->findChild<QCheckBox*>("UseVaryonArchivesCB");
    auto* size = d->findChild<TSpinEdit*>("NewArchiveSizeSE");
    auto* label = d->findChild<QLabel*>("NewArchiveSizeLabel");
    auto* create = d->findChild<QCheckBox*>("CreateArchivesFolderCB");
    QVERIFY(size->isEnabled() && label->isEnabled() && create->isEnabled());
    use->click();
    QVERIFY(!size->isEnabled() && !label->isEnabled() && !create->isEnabled());
    size->setValue(900);
    create->setChecked(false);
    d->ButtonOkClick();
    QCOMPARE(Setup().NewArchiveSize, 900);
    QVERIFY(!Setup().CreateArchivesFolder);
    QVERIFY(!Setup().UseVaryonArchives);
    use->click();
    QVERIFY(size->isEnabled() && label->isEnabled() && create->isEnabled());

    // Opening with the archives off starts with the controls disabled.
    std::unique_ptr<TSettingsDialog> d2(open());
    QVERIFY(!d2->findChild<TSpinEdit*>("NewArchiveSizeSE")->isEnabled());
}

void TestSettingsDialog::opensOnPage() {
    for (int page = 0; page < 4; ++page) {
        std::unique_ptr<TSettingsDialog> d(open(page));
        QCOMPARE(d->ActivePage(), page);
        d->PageControl()->setCurrentIndex((page + 1) % 4);
        QCOMPARE(d->ActivePage(), (page + 1) % 4);
    }
    std::unique_ptr<TSettingsDialog> d(open(9));
    QCOMPARE(d->ActivePage(), 0);
}

int main(int argc, char** argv) {
    qputenv("TZ", "Etc/GMT-3");
    tzset();
    QApplication app(argc, argv);
    TestSettingsDialog t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_settingsdialog.moc"
