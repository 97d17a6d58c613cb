#include "config/UnitVerDialog.h"
#include "history/Model.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace vimosync;

class TestFileVerDialog : public QObject {
    Q_OBJECT

private slots:
    void opensOnCurrentVersion_data();
    void opensOnCurrentVersion();
    void answers_data();
    void answers();
};

void TestFileVerDialog::opensOnCurrentVersion_data() {
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("label");
    QTest::newRow("after a reset") << 0 << "TXT (Oskel,plain)";
    QTest::newRow("PDA") << 1 << "ZMTv1 (PDA)";
    QTest::newRow("most frequent destination version") << 2 << "ZMTv2 (Varyon,encrypted)";
    QTest::newRow("version 3") << 3 << "ZMTv3 (Varyon,encrypted)";
}

void TestFileVerDialog::opensOnCurrentVersion() {
    QFETCH(int, current);
    QFETCH(QString, label);
    TFileVerDialog d(current);
    QCOMPARE(d.windowTitle(), QStringLiteral("File version"));
    const auto items = d.findChildren<QRadioButton*>();
    QCOMPARE(items.size(), 4);
    for (int v = 0; v < 4; ++v) {
        QCOMPARE(items[v]->text(), QString::fromUtf8(FormatLabels[v]));
        QCOMPARE(items[v]->isChecked(), v == current);
    }
    QCOMPARE(d.SelectedVersion(), current);
    QVERIFY(d.width() >= 300 && d.height() >= 227);
    QCOMPARE(d.minimumSize(), d.maximumSize());
}

// How the dialog is closed decides the answer: OK gives the selected item, Cancel and
// Escape give none (-1).
void TestFileVerDialog::answers_data() {
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("pick");    // -1: no change
    QTest::addColumn<QString>("how"); // "ok", "cancel", "escape", "enter"
    QTest::addColumn<int>("expected");
    QTest::newRow("OK without a change keeps 2") << 2 << -1 << "ok" << 2;
    QTest::newRow("OK after choosing 3") << 0 << 3 << "ok" << 3;
    QTest::newRow("Enter is OK") << 1 << 0 << "enter" << 0;
    QTest::newRow("Cancel") << 2 << 3 << "cancel" << -1;
    QTest::newRow("Escape") << 2 << 3 << "escape" << -1;
}

void TestFileVerDialog::answers() {
    QFETCH(int, current);
    QFETCH(int, pick);
    QFETCH(QString, how);
    QFETCH(int, expected);
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<TFileVerDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        if (pick >= 0) {
            d->findChildren<QRadioButton*>()[pick]->click();
        }
        if (how == "ok") {
            d->findChild<QPushButton*>("OKButton")->click();
        } else if (how == "cancel") {
            d->findChild<QPushButton*>("CancelButton")->click();
        } else if (how == "escape") {
            QTest::keyClick(d, Qt::Key_Escape);
        } else {
            QTest::keyClick(d, Qt::Key_Return);
        }
    });
    QCOMPARE(TFileVerDialog::Ask(current, nullptr), expected);
}

QTEST_MAIN(TestFileVerDialog)
#include "tst_fileverdialog.moc"
