// The comparison views of the main window filled from real files: every line of the
// Source and Destination views and the width of the Merged list across the fill loop's
// steps, the way to a difference, the previous contact's histories let go, and a
// destination that cannot be read.

#include "common/HistoryFixtures.h"
#include "common/ScriptedUi.h"
#include "common/TestUtil.h"
#include "config/Settings.h"
#include "config/Setup.h"
#include "merge/MergedLines.h"
#include "support/LogFile.h"
#include "ui/Application.h"
#include "ui/Comparison.h"
#include "ui/Main.h"
#include "ui/MessageView.h"
#include "ui/Views.h"

#include <QComboBox>
#include <QListView>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

using namespace vimosync;

namespace {

// The lines of a history as the text views show them: each message's entry, split
// at every kind of line break.
QStringList EntryLines(const TZMTMessList& list) {
    QStringList out;
    for (const TZMTMess& m : list.Items) {
        out += HistoryEntryText(m, Setup().DTFormatString)
                   .split(QRegularExpression(QStringLiteral("\\r\\n|\\r|\\n")));
    }
    return out;
}

QStringList ViewLines(const TMessageView* view) {
    QStringList out;
    for (qsizetype i = 0; i < view->LineCount(); ++i) {
        out << view->Line(i);
    }
    return out;
}

} // namespace

class TestMainWindowViews : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fillCrossesStepsWithLongEntriesAndTheWidestLine();
    void differencesAreSelectedAndScrolledTo();
    void previousContactIsLetGo();
    void unreadableDestinationIsReported();
    void bothWaysMarksEachSide();

private:
    // 700: 350 messages, the destination without the last 50; long entries at the
    // edges of the fill loop's steps and the longest text first in its third step.
    // 800: three messages on both sides.
    void WriteAndAnalyse();
    void Select(const char* uin);
    QString S(const QString& name) const { return tmp_->filePath(QStringLiteral("src/") + name); }
    QString D(const QString& name) const { return tmp_->filePath(QStringLiteral("dst/") + name); }

    std::unique_ptr<QTemporaryDir> tmp_;
    std::unique_ptr<TForm1> form_;
    test::ScriptedUi ui_;
    std::vector<std::string> texts_; // the texts of contact 700
};

void TestMainWindowViews::init() {
    Setup() = TSettings{};
    QFile::remove(SettingsFilePath());
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    QDir(tmp_->path()).mkpath(QStringLiteral("src"));
    QDir(tmp_->path()).mkpath(QStringLiteral("dst"));
    ui_ = test::ScriptedUi{};
    form_ = std::make_unique<TForm1>();
    form_->SetDialogs(&ui_);
    Setup().BackupToRecycleBin = false;
    form_->SrcPathCombo->setEditText(tmp_->filePath(QStringLiteral("src")));
    form_->DstPathCombo->setEditText(tmp_->filePath(QStringLiteral("dst")));
}

void TestMainWindowViews::cleanup() {
    form_.reset();
    CloseLog();
    QFile::remove(SettingsFilePath());
    tmp_.reset();
}

void TestMainWindowViews::WriteAndAnalyse() {
    texts_.clear();
    for (int i = 0; i < 350; ++i) {
        std::string text = "message " + std::to_string(i);
        if (i == 0 || i == 99 || i == 100 || i == 101 || i == 199 || i == 349) {
            text += "\r\nsecond line\r\nthird line";
        }
        if (i == 200) {
            text = std::string(300, 'w');
        }
        texts_.push_back(text);
    }
    std::vector<test::Msg> source;
    for (int i = 0; i < 350; ++i) {
        source.push_back({i, i % 4 == 0, texts_[static_cast<std::size_t>(i)].c_str()});
    }
    const std::vector<test::Msg> destination(source.begin(), source.begin() + 300);
    test::WriteHistory(S("700.txt"), 0, "700", "grace", source);
    test::WriteHistory(D("700.txt"), 0, "700", "grace", destination);
    const std::vector<test::Msg> small{{0, false, "a"}, {1, true, "b"}, {2, false, "c"}};
    test::WriteHistory(S("800.txt"), 0, "800", "heidi", small);
    test::WriteHistory(D("800.txt"), 0, "800", "heidi", small);
    ui_.FileVersions = {0};
    form_->aAnalyseExecute();
    QVERIFY(form_->Workflow().State.Analysed);
}

void TestMainWindowViews::Select(const char* uin) {
    const auto& lines = form_->ContactModel()->Lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (form_->Workflow().HeadList[lines[i].Index].UIN == uin) {
            form_->LB1->setCurrentIndex(form_->ContactModel()->index(static_cast<int>(i)));
            return;
        }
    }
    QFAIL("no such contact line");
}

void TestMainWindowViews::fillCrossesStepsWithLongEntriesAndTheWidestLine() {
    WriteAndAnalyse();
    Select("700");
    const TZMTMessList src = test::LoadFile(S("700.txt"));
    const TZMTMessList dst = test::LoadFile(D("700.txt"));
    QCOMPARE(src.Count(), 350);
    QCOMPARE(ViewLines(form_->LBS), EntryLines(src));
    QCOMPARE(ViewLines(form_->LBD), EntryLines(dst));
    QCOMPARE(form_->LBS->Line(0), EntryLines(src).at(0));

    TMergedModel* merged = form_->MergedModel();
    QCOMPARE(merged->rowCount(), 350);
    QCOMPARE(merged->WidestLine(), 300 + 40);
    // The same as the model measures on its own.
    TMergedModel alone;
    alone.SetList(merged->List(), true, Setup().DTFormatString);
    QCOMPARE(merged->WidestLine(), alone.WidestLine());
    for (int row : {0, 99, 100, 200, 349}) {
        QCOMPARE(merged->index(row).data().toString(), alone.index(row).data().toString());
    }
    QVERIFY(!merged->index(350).isValid());
    QVERIFY(!merged->index(-1).isValid());
    QVERIFY(!merged->index(0, 1).isValid());
}

void TestMainWindowViews::differencesAreSelectedAndScrolledTo() {
    WriteAndAnalyse();
    form_->resize(500, 400);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    Select("700");
    QListView* lbm = form_->LBM;
    QVERIFY(!lbm->currentIndex().isValid());
    form_->Nextdifference1Click();
    QCOMPARE(lbm->currentIndex().row(), 300);
    QVERIFY(lbm->selectionModel()->isSelected(lbm->currentIndex()));
    QVERIFY(lbm->viewport()->rect().intersects(lbm->visualRect(lbm->currentIndex())));
    form_->Previousdifference1Click(); // wraps to the end with a beep
    QCOMPARE(lbm->currentIndex().row(), 349);
    QCOMPARE(ui_.Beeps, 1);
    QVERIFY(lbm->viewport()->rect().intersects(lbm->visualRect(lbm->currentIndex())));
}

void TestMainWindowViews::previousContactIsLetGo() {
    WriteAndAnalyse();
    Select("700");
    const auto* lines = dynamic_cast<const THistoryLines*>(form_->LBS->Lines());
    QVERIFY(lines);
    std::weak_ptr<const TZMTMessList> source = lines->List();
    std::weak_ptr<const TZMTMessList> merged = form_->MergedModel()->List();
    QVERIFY(!source.expired());
    QVERIFY(!merged.expired());
    Select("800");
    QCOMPARE(form_->MergedModel()->rowCount(), 3);
    QTRY_VERIFY(source.expired());
    QTRY_VERIFY(merged.expired());
    QCOMPARE(form_->LBS->LineCount(), qsizetype(9));
}

// Both ways the Merged view tells the messages the destination lacks (red) from those
// the source lacks (a colour of their own, readable on the selection too), and a contact
// that only the destination has shows an empty source.
void TestMainWindowViews::bothWaysMarksEachSide() {
    const std::vector<test::Msg> src{{0, false, "a"}, {1, true, "only source"}, {2, false, "c"}};
    const std::vector<test::Msg> dst{{0, false, "a"}, {2, false, "c"}, {3, true, "only dest"}};
    test::WriteHistory(S("800.txt"), 0, "800", "heidi", src);
    test::WriteHistory(D("800.txt"), 0, "800", "heidi", dst);
    test::WriteHistory(D("900.txt"), 0, "900", "ivan", dst);
    Setup().SyncDirection = 1;
    ui_.FileVersions = {0, 0};
    form_->aAnalyseExecute();
    QVERIFY(form_->Workflow().State.Analysed);
    Select("800");
    TMergedModel* merged = form_->MergedModel();
    QCOMPARE(merged->rowCount(), 4);
    const auto marks = [merged] {
        QString s;
        for (int row = 0; row < merged->rowCount(); ++row) {
            const QModelIndex i = merged->index(row);
            s += i.data(ToSourceRole).toBool() ? QLatin1Char('<')
                 : i.data(MarkedRole).toBool() ? QLatin1Char('>')
                                               : QLatin1Char('=');
        }
        return s;
    };
    QCOMPARE(marks(), QStringLiteral("=>=<"));
    QCOMPARE(merged->index(3).data(Qt::ForegroundRole).value<QColor>(), kToSourceColor);
    QVERIFY(ContrastRatio(ReadableOn(kToSourceColor, QColor(0, 120, 215)), QColor(0, 120, 215)) >=
            3);
    QVERIFY(ContrastRatio(ReadableOn(kToSourceColor, QColor(30, 30, 30)), QColor(30, 30, 30)) >= 3);
    const QString line = form_->ContactModel()->index(0).data().toString();
    QVERIFY2(line.contains(QString::fromUtf8("→ / +")), qPrintable(line));

    Select("900");
    QCOMPARE(form_->LBS->LineCount(), qsizetype(0));
    QCOMPARE(marks(), QStringLiteral("<<<"));
    Setup().SyncDirection = 0;
}

void TestMainWindowViews::unreadableDestinationIsReported() {
    WriteAndAnalyse();
    QVERIFY(OpenLog(tmp_->filePath(QStringLiteral("run.log"))));
    QVERIFY(QFile::remove(D("700.txt")));
    QVERIFY(QDir().mkpath(D("700.txt"))); // exists, but cannot be read as a file
    Select("700");
    QVERIFY(!form_->Workflow().State.ViewsBusy);
    QCOMPARE(form_->MergedModel()->rowCount(), 0);
    CloseLog();
    const QString log = QString::fromUtf8(test::readAll(tmp_->filePath(QStringLiteral("run.log"))));
    QVERIFY2(log.contains(QStringLiteral(" !App Exception: (")), qPrintable(log));
    Select("800");
    QCOMPARE(form_->MergedModel()->rowCount(), 3);
}

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TestMainWindowViews t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_mainwindow_views.moc"
