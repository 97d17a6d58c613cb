// The main window in everyday use: directory names whose letter case differs, the
// views after an analysis, the list hint and the progress text after the work, the
// lines of deleted source files.

#include "common/HistoryFixtures.h"
#include "common/ScriptedUi.h"
#include "common/TestUtil.h"
#include "config/Setup.h"
#include "support/LogFile.h"
#include "ui/Main.h"
#include "ui/MessageView.h"
#include "ui/Views.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <functional>
#include <memory>

using namespace vimosync;
using vimosync::test::WriteHistory;

namespace {

// Runs a step when an information box comes up.
class HookedUi : public test::ScriptedUi {
public:
    std::function<void()> OnInformation;
    void information(const QString& text) override {
        if (OnInformation) {
            OnInformation();
        }
        ScriptedUi::information(text);
    }
};

} // namespace

class TestWindowUse : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    std::unique_ptr<TForm1> form_;
    HookedUi ui_;

    QString S(const QString& name) const { return tmp_->filePath(QStringLiteral("src/") + name); }
    QString D(const QString& name) const { return tmp_->filePath(QStringLiteral("dst/") + name); }

    QStringList ContactLines() const {
        QStringList out;
        for (int r = 0; r < form_->ContactModel()->rowCount(); ++r) {
            out << form_->ContactModel()->index(r).data().toString();
        }
        return out;
    }

    void Analyse() {
        WriteHistory(S("100.txt"), 0, "100", "alice", {{0, false, "one"}, {1, true, "two"}});
        WriteHistory(D("100.txt"), 0, "100", "alice", {{0, false, "one"}});
        WriteHistory(S("200.txt"), 0, "200", "bob", {{0, false, "same"}});
        WriteHistory(D("200.txt"), 0, "200", "bob", {{0, false, "same"}});
        WriteHistory(S("300.txt"), 0, "300", "carol", {{0, false, "only here"}});
        ui_.FileVersions = {0};
        form_->aAnalyseExecute();
        QVERIFY(form_->Workflow().State.Analysed);
    }

    // Types the text into a directory box and leaves the box.
    static void Type(QComboBox* box, const QString& text) {
        box->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), text);
        emit box->lineEdit()->editingFinished();
    }

private slots:
    void init() {
        Setup() = TSettings{};
        Setup().BackupToRecycleBin = false;
        QFile::remove(SettingsFilePath());
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        qputenv("XDG_DATA_HOME", tmp_->filePath(QStringLiteral("data")).toLocal8Bit());
        QDir(tmp_->path()).mkpath(QStringLiteral("src"));
        QDir(tmp_->path()).mkpath(QStringLiteral("dst"));
        ui_ = HookedUi{};
        form_ = std::make_unique<TForm1>();
        form_->SetDialogs(&ui_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        form_->SrcPathCombo->setEditText(tmp_->filePath(QStringLiteral("src")));
        form_->DstPathCombo->setEditText(tmp_->filePath(QStringLiteral("dst")));
    }
    void cleanup() {
        form_.reset();
        CloseLog();
        QFile::remove(SettingsFilePath());
        tmp_.reset();
        qunsetenv("XDG_DATA_HOME");
    }

    // Long work shows the contacts done and a Cancel button (Escape), gone at its end.
    void progressBarAndCancel() {
        QVERIFY(!form_->WorkProgress->isVisible());
        form_->showCount(0, 40);
        QVERIFY(form_->WorkProgress->isVisible() && form_->CancelButton->isVisible());
        form_->showCount(10, 40);
        QCOMPARE(form_->WorkProgress->value(), 10);
        QCOMPARE(form_->WorkProgress->text(), QStringLiteral("10 of 40"));
        QTest::qWait(1100);
        form_->showCount(20, 40);
        QVERIFY2(form_->WorkProgress->text().startsWith(QStringLiteral("20 of 40, about ")),
                 qPrintable(form_->WorkProgress->text()));
        QVERIFY(!form_->Workflow().CancelRequested());
        QCOMPARE(form_->CancelButton->shortcut(), QKeySequence(Qt::Key_Escape));
        QTest::mouseClick(form_->CancelButton, Qt::LeftButton);
        QVERIFY(form_->Workflow().CancelRequested());
        form_->showCount(0, 0);
        QVERIFY(!form_->WorkProgress->isVisible() && !form_->CancelButton->isVisible());
        // The next analysis starts afresh and runs to its end.
        Analyse();
        QVERIFY(!form_->Workflow().Cancelled());
        QVERIFY(!form_->WorkProgress->isVisible());
    }

    // A folder dropped on a directory box sets it; a file or several items do not.
    void folderDroppedOnABox() {
        const QString folder = tmp_->filePath(QStringLiteral("dropped"));
        QVERIFY(QDir().mkpath(folder));
        const auto drop = [&](const QList<QUrl>& urls) {
            QMimeData data;
            data.setUrls(urls);
            QLineEdit* edit = form_->DstPathCombo->lineEdit();
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(edit, &enter);
            QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(edit, &dropped);
            return enter.isAccepted();
        };
        QVERIFY(!drop({QUrl::fromLocalFile(tmp_->filePath(QStringLiteral("src")) + "/none.txt")}));
        QVERIFY(!drop({QUrl::fromLocalFile(folder), QUrl::fromLocalFile(folder)}));
        QCOMPARE(form_->DstPathCombo->currentText(), tmp_->filePath(QStringLiteral("dst")));
        QVERIFY(drop({QUrl::fromLocalFile(folder + QLatin1Char('/'))}));
        QCOMPARE(form_->DstPathCombo->currentText(), folder);
        QCOMPARE(form_->Workflow().State.DstPath, folder);
    }

    // The window's size, list width and page come back at the next start; a first start
    // (no [Window] section) opens at its own size.
    void windowStateIsRemembered() {
        form_->resize(820, 610);
        form_->Splitter1->setSizes({300, 500});
        form_->PageControl1->setCurrentIndex(0);
        QCoreApplication::processEvents();
        const QList<int> sizes = form_->Splitter1->sizes();
        form_->close();
        QVERIFY(test::readAll(SettingsFilePath()).contains("[Window]"));
        form_.reset(); // the program ends; the next start reads the file
        form_ = std::make_unique<TForm1>();
        form_->SetDialogs(&ui_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCOMPARE(form_->size(), QSize(820, 610));
        QCOMPARE(form_->Splitter1->sizes(), sizes);
        QCOMPARE(form_->PageControl1->currentIndex(), 0);
    }

    // A typed directory stays as typed when a recent one differs from it only in letter
    // case: here those are two directories. A trailing separator goes on leaving the box.
    void typedDirectoryKeepsItsLetterCase() {
        const QString upper = tmp_->filePath(QStringLiteral("Data"));
        const QString lower = tmp_->filePath(QStringLiteral("data"));
        Setup().SrcPathMRU = {upper};
        form_->SrcPathCombo->addItem(upper);
        Type(form_->SrcPathCombo, lower);
        QCOMPARE(form_->SrcPathCombo->currentText(), lower);
        QCOMPARE(form_->Workflow().State.SrcPath, lower);

        Type(form_->SrcPathCombo, lower + QStringLiteral("/"));
        QCOMPARE(form_->SrcPathCombo->currentText(), lower);

        // Analysing both names keeps both in the recent list.
        QDir().mkpath(upper);
        QDir().mkpath(lower);
        form_->Workflow().State.SrcPath = lower;
        form_->pathsUsed(lower, form_->Workflow().State.DstPath);
        QCOMPARE(Setup().SrcPathMRU, (QStringList{lower, upper}));
    }

    // After an analysis nothing is shown until the user selects a contact, though the
    // list has the focus and a current line.
    void viewsStayEmptyUntilAContactIsSelected() {
        Analyse();
        form_->LB1->setFocus();
        QCoreApplication::processEvents();
        QCOMPARE(form_->MergedModel()->rowCount(), 0);
        QCOMPARE(form_->LBS->LineCount(), 0);
        QCOMPARE(form_->CurrentEntry(), -1);

        const QModelIndex first = form_->ContactModel()->index(0);
        QTest::mouseClick(form_->LB1->viewport(), Qt::LeftButton, {},
                          form_->LB1->visualRect(first).center());
        QTRY_VERIFY(form_->MergedModel()->rowCount() > 0);
        QVERIFY(form_->CurrentEntry() >= 0);
    }

    // The hint over the list follows the selection commands; the progress text of an
    // analysis is gone when it ends.
    void hintAndProgressFollowTheWork() {
        Analyse();
        QCOMPARE(form_->StatusText(1), QString());
        QStatusTipEvent over{QString()};
        QCoreApplication::sendEvent(form_->LB1->viewport(), &over);
        QCOMPARE(form_->StatusText(1), QStringLiteral("2 checked of 3 (0 hidden)"));
        form_->aDeselectAllExecute();
        QCOMPARE(form_->StatusText(1), QStringLiteral("0 checked of 3 (0 hidden)"));
        form_->aSelectAllExecute();
        QCOMPARE(form_->StatusText(1), QStringLiteral("3 checked of 3 (0 hidden)"));
    }

    // Deleted source files: their lines are gone when the message comes, and stay gone
    // through rebuilds and selection commands.
    void deletedContactsStayGone() {
        Analyse();
        form_->aDeselectAllExecute();
        const int carol =
            static_cast<int>(ContactLines().indexOf(QStringLiteral("carol (300) 1 1")));
        QVERIFY(carol >= 0);
        form_->ContactModel()->setData(form_->ContactModel()->index(carol), Qt::Checked,
                                       Qt::CheckStateRole);
        QStringList linesAtMessage;
        ui_.OnInformation = [&] { linesAtMessage = ContactLines(); };
        ui_.Confirms = {true};
        form_->aDeleteSrcFilesExecute();
        QCOMPARE(ui_.Infos.last(), QStringLiteral("1 files was successfully deleted"));
        const QStringList left{"alice (100) 1 2", "bob (200) 0 1"};
        QCOMPARE(linesAtMessage, left);
        QVERIFY(!QFileInfo::exists(S("300.txt")));

        form_->aSelectAllExecute();
        QCOMPARE(ContactLines(), left);
        form_->aShowHideUnchecked->trigger();
        form_->aShowHideUnchecked->trigger();
        QCOMPARE(ContactLines(), left);
        QStatusTipEvent over{QString()};
        QCoreApplication::sendEvent(form_->LB1->viewport(), &over);
        QCOMPARE(form_->StatusText(1), QStringLiteral("2 checked of 2 (0 hidden)"));
    }

    // "Undo last synchronization..." (Ctrl+Z) is there once a run into the destination
    // has a journal, puts the destination back and is gone again.
    void undoLastSynchronization() {
        Setup().BackupToRecycleBin = true;
        QVERIFY(!form_->aUndoSync->isEnabled());
        QCOMPARE(form_->aUndoSync->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        Analyse();
        const QByteArray before = test::FileBytes(D("100.txt"));
        ui_.Confirms = {true};
        ui_.Nicks = {QStringLiteral("me")};
        form_->aSyncExecute();
        QVERIFY(test::FileBytes(D("100.txt")) != before);
        QVERIFY(QFileInfo::exists(D("300.txt")));
        QVERIFY(form_->aUndoSync->isEnabled());
        ui_.Confirms = {true};
        form_->aUndoSync->trigger();
        QVERIFY2(ui_.Questions.last().startsWith(QLatin1String("Undo the synchronization of")),
                 qPrintable(ui_.Questions.last()));
        QCOMPARE(test::FileBytes(D("100.txt")), before);
        QVERIFY(!QFileInfo::exists(D("300.txt")));
        QVERIFY(!form_->aUndoSync->isEnabled());
        // The list told what the destination held before the undo: it is reset.
        QVERIFY(!form_->Workflow().State.Analysed);
        QVERIFY(ContactLines().isEmpty());
    }
};

QTEST_MAIN(TestWindowUse)
#include "tst_window_use.moc"
