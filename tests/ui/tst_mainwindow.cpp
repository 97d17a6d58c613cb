// The main window driven as a user would, on temporary directories, with every
// question answered by a scripted interface: start-up state, analysis, the comparison
// views and their restart, difference navigation, find, synchronization, settings,
// the contact-list tools and the application's exception handler.

#include "common/ScriptedUi.h"
#include "common/TestOptions.h"
#include "common/TestUtil.h"
#include "config/Settings.h"
#include "config/Setup.h"
#include "history/History.h"
#include "history/Model.h"
#include "history/TimeStamp.h"
#include "support/Errors.h"
#include "support/LogFile.h"
#include "ui/Application.h"
#include "ui/Comparison.h"
#include "ui/FindDialog.h"
#include "ui/Main.h"
#include "ui/MessageView.h"
#include "ui/Views.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>

using namespace vimosync;

namespace {

// Records the progress texts too.
class RecordingUi : public test::ScriptedUi {
public:
    QStringList ProgressHistory;
    void showProgress(const QString& text) override {
        ScriptedUi::showProgress(text);
        ProgressHistory << text;
    }
};

const double kBase = EncodeDateTime(QDate(2006, 3, 7), QTime(10, 0, 0));

struct M {
    int Minute;
    bool Out;
    const char* Text;
};

void WriteHistory(const QString& path, const char* uin, const char* nick,
                  const std::vector<M>& messages, int version = 0) {
    TZMTMessList list;
    list.UIN = uin;
    list.ContactNick = nick;
    list.FileName = path;
    list.Version = static_cast<std::uint8_t>(version);
    list.Scrambled = version >= 2;
    for (const M& m : messages) {
        TZMTMess& x = NewMessage(list);
        x.Time = kBase + m.Minute / 1440.0;
        x.Outgoing = m.Out;
        x.Nick = HText(m.Out ? "me" : nick);
        x.Text = HText(m.Text);
    }
    bool backedUp = false;
    SaveHistory(list, backedUp, false, test::ReadOptions(), test::SaveOptions());
}

int CountMessages(const QString& path) {
    TZMTMessList list;
    list.FileName = path;
    LoadHistory(list, LoadPlain, false, test::ReadOptions());
    return list.Count();
}

bool SetImmutable(const QString& path, bool on) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0) {
        return false;
    }
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

class Thrower : public QObject {
public:
    bool own = true;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            if (own) {
                throw Exception(QStringLiteral("boom"), "EBoom");
            }
            throw std::runtime_error("plain failure");
        }
        return QObject::event(e);
    }
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startupState();
    void actionTable_data();
    void actionTable();
    void toolBarsAndMenus();
    void analyseFillsContactList();
    void analyseInvalidSourceFile();
    void selectingContactFillsViews();
    void contactWithoutDestination();
    void progressEveryHundredMessages();
    void contactChangeDuringFillRestarts();
    void nextPreviousDifference();
    void navigationFollowsPage();
    void findTarget();
    void findInSourceView();
    void findInMergedList();
    void findWithoutTargetOrText();
    void synchronizeWritesAndReports();
    void settingsDialogRules();
    void selectionCommandsAndShowUnchecked();
    void checkBoxClickUpdatesControls();
    void copyUinAndNick();
    void spamFinder();
    void fullTextSearch();
    void deleteSourceFilesWithOneFailure();
    void exceptionHandlerLogs();
    void longHintsInStatusBar();
    void browseButtonsAndAbout();
    void examplesAnalyse();
    void errorWhileFillingIsLogged();
    void closingDuringFill();
    void analysisPutsPathsOnTop();

private:
    void WriteFixtures();
    void Analyse();
    void Select(const char* uin);
    QStringList ContactLines() const;
    QStringList MergedLines() const;
    QStringList SourceLines() const;
    QString S(const QString& name) const { return tmp_->filePath(QStringLiteral("src/") + name); }
    QString D(const QString& name) const { return tmp_->filePath(QStringLiteral("dst/") + name); }

    std::unique_ptr<QTemporaryDir> tmp_;
    std::unique_ptr<TForm1> form_;
    RecordingUi ui_;
    QString immutable_;
};

void TestMainWindow::init() {
    Setup() = TSettings{};
    QFile::remove(SettingsFilePath());
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    qputenv("XDG_DATA_HOME", tmp_->filePath(QStringLiteral("data")).toLocal8Bit());
    QDir(tmp_->path()).mkpath(QStringLiteral("src"));
    QDir(tmp_->path()).mkpath(QStringLiteral("dst"));
    ui_ = RecordingUi{};
    form_ = std::make_unique<TForm1>();
    form_->SetDialogs(&ui_);
    Setup().BackupToRecycleBin = false;
    form_->SrcPathCombo->setEditText(tmp_->filePath(QStringLiteral("src")));
    form_->DstPathCombo->setEditText(tmp_->filePath(QStringLiteral("dst")) + QLatin1Char('/'));
}

void TestMainWindow::cleanup() {
    if (!immutable_.isEmpty()) {
        SetImmutable(immutable_, false);
        immutable_.clear();
    }
    form_.reset();
    CloseLog();
    QFile::remove(SettingsFilePath());
    tmp_.reset();
    qunsetenv("XDG_DATA_HOME");
}

// alice: two source messages missing on the destination; bob: equal on both sides;
// carol: no destination file; dave: one message changed; eve: 250 equal messages.
void TestMainWindow::WriteFixtures() {
    WriteHistory(S("100.txt"), "100", "alice",
                 {{0, false, "abc one"},
                  {1, true, "hello there"},
                  {2, false, "abc two"},
                  {3, true, "see abc"},
                  {4, false, "bye"}});
    WriteHistory(D("100.txt"), "100", "alice",
                 {{0, false, "abc one"}, {1, true, "hello there"}, {2, false, "abc two"}});
    const std::vector<M> bob{{0, false, "hi"}, {1, true, "helloworld"}, {2, false, "ok"}};
    WriteHistory(S("200.txt"), "200", "bob", bob);
    WriteHistory(D("200.txt"), "200", "bob", bob);
    WriteHistory(S("300.txt"), "300", "carol",
                 {{0, false, "nothing"}, {1, false, "still nothing"}});
    WriteHistory(S("400.txt"), "400", "dave",
                 {{0, false, "x"}, {1, true, "y"}, {2, false, "HELLO"}, {3, true, "z"}});
    WriteHistory(D("400.txt"), "400", "dave",
                 {{0, false, "x"}, {1, true, "y"}, {2, false, "HELLO!"}, {3, true, "z"}});
    std::vector<M> eve;
    for (int i = 0; i < 250; ++i) {
        eve.push_back({i, i % 10 == 0, "number"});
    }
    WriteHistory(S("500.txt"), "500", "eve", eve);
    WriteHistory(D("500.txt"), "500", "eve", eve);
}

void TestMainWindow::Analyse() {
    WriteFixtures();
    ui_.FileVersions = {0};
    form_->aAnalyseExecute();
    QVERIFY(form_->Workflow().State.Analysed);
}

void TestMainWindow::Select(const char* uin) {
    const auto& lines = form_->ContactModel()->Lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (form_->Workflow().HeadList[lines[i].Index].UIN == uin) {
            form_->LB1->setCurrentIndex(form_->ContactModel()->index(static_cast<int>(i)));
            return;
        }
    }
    QFAIL("no such contact line");
}

QStringList TestMainWindow::ContactLines() const {
    QStringList out;
    for (int r = 0; r < form_->ContactModel()->rowCount(); ++r) {
        out << form_->ContactModel()->index(r).data().toString();
    }
    return out;
}

QStringList TestMainWindow::MergedLines() const {
    QStringList out;
    for (int r = 0; r < form_->MergedModel()->rowCount(); ++r) {
        out << form_->MergedModel()->index(r).data().toString();
    }
    return out;
}

QStringList TestMainWindow::SourceLines() const {
    QStringList out;
    for (qsizetype i = 0; i < form_->LBS->LineCount(); ++i) {
        out << form_->LBS->Line(i);
    }
    return out;
}

void TestMainWindow::startupState() {
    QCOMPARE(form_->windowTitle(),
             QStringLiteral("Vimo PDA/Oskel/Varyon History Synchronizer ") + VersionText());
    QVERIFY(form_->windowTitle().endsWith(QLatin1Char(' ')));
    // The first start: at least the classic 543 pixels, and a list wide enough for a line.
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    QVERIFY(form_->width() >= 543);
    QVERIFY(form_->Splitter1->sizes().first() >=
            form_->LB1->fontMetrics().horizontalAdvance(QStringLiteral("night_owl (111111) 4 12")) +
                30);
    QCOMPARE(form_->PageControl1->currentIndex(), 2);
    QCOMPARE(form_->PageControl1->tabText(0), QStringLiteral("Source"));
    QCOMPARE(form_->PageControl1->tabText(1), QStringLiteral("Destination"));
    QCOMPARE(form_->PageControl1->tabText(2), QStringLiteral("Merged"));
    QCOMPARE(form_->FileInfoLabel->text(), QStringLiteral("<>"));
    QCOMPARE(form_->FileInfoLabel->toolTip(), QStringLiteral("Names of files and their versions"));
    QCOMPARE(form_->StatusText(0), QStringLiteral("<My Nick>"));
    QVERIFY(form_->SrcPathCombo->isEnabled());
    QVERIFY(form_->ButtonBrowseDst->isEnabled());
    QVERIFY(!form_->aResetAll->isEnabled());
    QVERIFY(!form_->aSync->isEnabled());
    QVERIFY(!form_->aDeleteSrcFiles->isEnabled());
    QVERIFY(!form_->aEditNick->isEnabled());
    QVERIFY(!form_->aLookForSpam->isEnabled());
    QVERIFY(!form_->aFullTextSearch->isEnabled());
    QVERIFY(!form_->Nextdifference1->isEnabled());
    QVERIFY(form_->aShowHideUnchecked->isChecked());
    QCOMPARE(form_->LB1->model()->rowCount(), 0);
    QCOMPARE(form_->FindTarget(), nullptr);
    // The boxes follow their text without a trailing separator.
    QCOMPARE(form_->Workflow().State.DstPath, tmp_->filePath(QStringLiteral("dst")));
    // A first start shows the program's folder.
    TForm1 fresh;
    QCOMPARE(fresh.SrcPathCombo->currentText(), Setup().SrcPath);
}

void TestMainWindow::actionTable_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<QString>("hint");
    QTest::newRow("aAnalyse") << "aAnalyse"
                              << "Analyse"
                              << "Ctrl+L"
                              << "Analyse|Analyse directories and compare content";
    QTest::newRow("aResetAll") << "aResetAll"
                               << "Reset All"
                               << "Ctrl+R"
                               << "Reset analyse results|Select new directories for work";
    QTest::newRow("aSync") << "aSync"
                           << "Synchronize"
                           << "Ctrl+S"
                           << "Synchronize|Start synchronization of checked items";
    QTest::newRow("aUndoSync") << "aUndoSync"
                               << "Undo last synchronization..."
                               << "Ctrl+Z"
                               << "Undo last synchronization|Put the destination's files back "
                                  "as they were before the last synchronization";
    QTest::newRow("aEditNick") << "aEditNick"
                               << "Edit Nick"
                               << "Ctrl+N"
                               << "Edit Nick|Edit own Nickname to insert to destination history";
    QTest::newRow("aFind") << "aFind"
                           << "Find.."
                           << "Ctrl+F"
                           << "Find text|Find text";
    QTest::newRow("aSelectAll") << "aSelectAll"
                                << "Select all"
                                << "Ctrl+A"
                                << "Select all|Select all items";
    QTest::newRow("aSelectAllDifferent") << "aSelectAllDifferent"
                                         << "Select different"
                                         << "Ctrl+I"
                                         << "Select different|Select all items that differs";
    QTest::newRow("aDeselectAll") << "aDeselectAll"
                                  << "Deselect all"
                                  << "Ctrl+D"
                                  << "Deselect all|Deselect all items";
    QTest::newRow("aCopyUIN") << "aCopyUIN"
                              << "Copy UIN"
                              << "Ctrl+U"
                              << "Copy UIN|Copy current UIN to clipboard";
    QTest::newRow("aSelectInverse") << "aSelectInverse"
                                    << "Select inverse"
                                    << "F8"
                                    << "Select inverse|Invert items selection";
    QTest::newRow("aCopyNick") << "aCopyNick"
                               << "Copy nick"
                               << "Shift+Ctrl+N"
                               << "Copy nick|Copy current Nickname to clipboard";
    QTest::newRow("aFindNext") << "aFindNext"
                               << "Find next"
                               << "F3"
                               << "Find next|Find next occurence in current direction";
    QTest::newRow("aFindForward")
        << "aFindForward"
        << "Find forward"
        << "Ctrl+F3"
        << "Find forward|Find next occurence forward from current position";
    QTest::newRow("aFindBack") << "aFindBack"
                               << "Find back"
                               << "Shift+F3"
                               << "Find back|Find next occurence back from current position";
    QTest::newRow("aSettings") << "aSettings"
                               << "Settings..."
                               << "Shift+Ctrl+S"
                               << "Settings|Bring up settings dialog";
    QTest::newRow("aDeleteSrcFiles") << "aDeleteSrcFiles"
                                     << "Delete source files"
                                     << "Shift+Ctrl+Del"
                                     << "Delete source files|Delete checked source files from disk";
    QTest::newRow("aLookForSpam")
        << "aLookForSpam"
        << "Look for spam"
        << ""
        << "Look for spam|Select files that match spam detection conditions";
    QTest::newRow("aShowHideUnchecked") << "aShowHideUnchecked"
                                        << "Show Unchecked"
                                        << "F7"
                                        << "Show Unchecked|Show / hide unchecked files";
    QTest::newRow("aFullTextSearch")
        << "aFullTextSearch"
        << "Full-text search"
        << ""
        << "Full-text search|Select source files containing text string";
    QTest::newRow("Next difference") << "Nextdifference1"
                                     << "Next difference"
                                     << "F5"
                                     << "Next difference|Go to next difference";
    QTest::newRow("Previous difference") << "Previousdifference1"
                                         << "Previous difference"
                                         << "F6"
                                         << "Previous difference|Go to previous difference";
    QTest::newRow("Exit") << "Exit1"
                          << "Exit"
                          << ""
                          << "Close application|Close application";
}

void TestMainWindow::actionTable() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, shortcut);
    QFETCH(QString, hint);
    auto* action = form_->findChild<QAction*>(name);
    QVERIFY(action);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->shortcut(), QKeySequence(shortcut));
    QCOMPARE(action->toolTip() + QLatin1Char('|') + action->statusTip(), hint);
    QVERIFY(!action->icon().isNull());
}

void TestMainWindow::toolBarsAndMenus() {
    const auto names = [](const QList<QAction*>& actions) {
        QStringList out;
        for (QAction* a : actions) {
            out << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
        }
        return out;
    };
    QCOMPARE(
        names(form_->ToolBar1->actions()),
        (QStringList{"aAnalyse", "aEditNick", "aSync", "-", "aResetAll", "-", "aSettings", "-",
                     "aFind", "aFindNext", "aFindBack", "aFindForward", "-", "aDeleteSrcFiles"}));
    QCOMPARE(form_->ToolBar1->iconSize(), QSize(32, 32));
    QCOMPARE(names(form_->ListToolBar->actions()),
             (QStringList{"aSelectAll", "aSelectAllDifferent", "aDeselectAll", "aSelectInverse",
                          "-", "aShowHideUnchecked"}));
    QCOMPARE(names(form_->MergedToolBar->actions()),
             (QStringList{"Previousdifference1", "Nextdifference1"}));
    QCOMPARE(names(form_->ListPopup->actions()),
             (QStringList{"aSelectAll", "aSelectAllDifferent", "aDeselectAll", "aSelectInverse",
                          "-", "aFind", "aFindNext", "-", "aShowHideUnchecked", "-", "aCopyUIN",
                          "aCopyNick"}));
    QCOMPARE(names(form_->MergedPopup->actions()),
             (QStringList{"aFindNext", "aFindForward", "aFindBack", "aFind"}));
    QStringList menus;
    for (QAction* a : form_->menuBar()->actions()) {
        menus << a->text() + QLatin1Char(':') + names(a->menu()->actions()).join(QLatin1Char(','));
    }
    QCOMPARE(
        menus,
        (QStringList{
            "File:aAnalyse,aEditNick,aSync,aUndoSync,aResetAll,-,aSettings,-,Exit1",
            "&Edit:aSelectAll,aSelectAllDifferent,aDeselectAll,aSelectInverse,-,aDeleteSrcFiles,-,"
            "aFind,aFindNext,aFindBack,aFindForward,-,aCopyUIN,aCopyNick",
            "Navigate:Nextdifference1,Previousdifference1", "Tools:aLookForSpam,aFullTextSearch",
            "Help:Aboutprogram1"}));
    // Every tool button shows an icon.
    for (QToolBar* bar : {form_->ToolBar1, form_->ListToolBar, form_->MergedToolBar}) {
        for (QAction* a : bar->actions()) {
            if (!a->isSeparator()) {
                QVERIFY(!a->icon().pixmap(16, 16).isNull());
            }
        }
    }
}

void TestMainWindow::analyseFillsContactList() {
    Analyse();
    QCOMPARE(ContactLines(), (QStringList{"alice (100) 2 5", "carol (300) 2 2", "dave (400) 1 4",
                                          "bob (200) 0 3", "eve (500) 0 250"}));
    const auto* model = form_->LB1->model();
    const QList<int> checks{Qt::Checked, Qt::Checked, Qt::Checked, Qt::Unchecked, Qt::Unchecked};
    for (int r = 0; r < 5; ++r) {
        QCOMPARE(model->index(r, 0).data(Qt::CheckStateRole).toInt(), checks[r]);
        QCOMPARE(model->index(r, 0).data(MarkedRole).toBool(), r < 3);
        QCOMPARE(model->index(r, 0).data(NoDestinationRole).toBool(), r == 1);
    }
    QCOMPARE(ui_.FileVersionQuestions, 1);
    QVERIFY(!form_->SrcPathCombo->isEnabled());
    QVERIFY(!form_->ButtonBrowseSrc->isEnabled());
    QVERIFY(form_->aSync->isEnabled());
    QVERIFY(form_->aResetAll->isEnabled());
    QVERIFY(form_->aLookForSpam->isEnabled());
    QCOMPARE(form_->StatusText(0), QStringLiteral("me"));
    QCOMPARE(form_->LB1->statusTip(), QStringLiteral("3 checked of 5 (0 hidden)"));
    QVERIFY(form_->LB1->toolTip().isEmpty());
    // The analysed directories head their recent lists.
    QCOMPARE(form_->SrcPathCombo->itemText(0), tmp_->filePath(QStringLiteral("src")));
    QCOMPARE(form_->DstPathCombo->itemText(0), tmp_->filePath(QStringLiteral("dst")));

    // Reset All unlocks the boxes and forgets the nick.
    form_->aResetAllExecute();
    QCOMPARE(form_->LB1->model()->rowCount(), 0);
    QVERIFY(form_->SrcPathCombo->isEnabled());
    QCOMPARE(form_->StatusText(0), QStringLiteral("<My Nick>"));
    QVERIFY(!form_->aResetAll->isEnabled());
}

void TestMainWindow::analyseInvalidSourceFile() {
    WriteHistory(S("Varyon_901.zmt"), "901", "zed", {{0, false, "fine"}}, 2);
    test::writeAll(S("1_900.zmt"), "not a history file at all");
    ui_.FileVersions = {2};
    form_->aAnalyseExecute();
    QCOMPARE(ContactLines(), (QStringList{"1_900.zmt", "zed (901) 1 1"}));
    QVERIFY(!form_->LB1->model()->index(0, 0).data(Qt::CheckStateRole).isValid());
    form_->LB1->setCurrentIndex(form_->LB1->model()->index(0, 0));
    QCOMPARE(SourceLines(), QStringList{"< Invalid source file! >"});
    QCOMPARE(form_->LBD->Line(0), QStringLiteral("< Invalid source file! >"));
    QCOMPARE(MergedLines(), QStringList{"< Invalid source file! >"});
    QVERIFY(!form_->MergedModel()->IsMarked(0));
    QCOMPARE(form_->FileInfoLabel->text(), QStringLiteral("<>"));
    QVERIFY(form_->LBS->statusTip().isEmpty());
    QVERIFY(form_->LBM->statusTip().isEmpty());
}

void TestMainWindow::selectingContactFillsViews() {
    Analyse();
    ui_.ProgressHistory.clear();
    Select("100");
    QCOMPARE(form_->Comparison().ShownEntry(), form_->CurrentEntry());
    QCOMPARE(SourceLines().mid(0, 7),
             (QStringList{"<<<<  10:00:00 7/03/2006", " abc one", "", ">>>>  10:01:00 7/03/2006",
                          " hello there", "", "<<<<  10:02:00 7/03/2006"}));
    QCOMPARE(form_->LBS->LineCount(), qsizetype(15));
    QCOMPARE(form_->LBD->LineCount(), qsizetype(9));
    QCOMPARE(
        MergedLines(),
        (QStringList{"1 <<<<  10:00:00 7/03/2006 abc one", "2 >>>>  10:01:00 7/03/2006 hello there",
                     "3 <<<<  10:02:00 7/03/2006 abc two", "+ 4 >>>>  10:03:00 7/03/2006 see abc",
                     "+ 5 <<<<  10:04:00 7/03/2006 bye"}));
    for (int r = 0; r < 5; ++r) {
        QCOMPARE(form_->MergedModel()->IsMarked(r), r >= 3);
    }
    QCOMPARE(form_->FileInfoLabel->text(),
             QStringLiteral("\"100.txt\" [TXT (Oskel,plain)] --> \"100.txt\" [TXT (Oskel,plain)]"));
    QCOMPARE(form_->LBS->statusTip(), QStringLiteral("5 messages"));
    QVERIFY(form_->LBS->toolTip().isEmpty());
    QCOMPARE(form_->LBD->statusTip(), QStringLiteral("3 messages"));
    QCOMPARE(form_->LBM->statusTip(), QStringLiteral("5 messages; 2 differences"));
    QCOMPARE(ui_.ProgressHistory, (QStringList{"0 of 5", "", "0 of 3", "", "0 of 5", ""}));
    QVERIFY(form_->Nextdifference1->isEnabled());
    QVERIFY(!form_->Workflow().State.ViewsBusy);

    // Without message numbers.
    Setup().ShowMessNumbers = false;
    Select("400");
    QCOMPARE(MergedLines(),
             (QStringList{"<<<<  10:00:00 7/03/2006 x", ">>>>  10:01:00 7/03/2006 y",
                          "<<<<  10:02:00 7/03/2006 HELLO!", "+ <<<<  10:02:00 7/03/2006 HELLO",
                          ">>>>  10:03:00 7/03/2006 z"}));

    // A click on the line already shown fills the views again once the filling is over.
    const int before = form_->Comparison().Fillings();
    const QRect r = form_->LB1->visualRect(form_->LB1->currentIndex());
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    QTest::mouseClick(form_->LB1->viewport(), Qt::LeftButton, {}, r.center() + QPoint(30, 0));
    QCOMPARE(form_->Comparison().Fillings(), before + 1);
}

void TestMainWindow::contactWithoutDestination() {
    Analyse();

    Select("300");
    QCOMPARE(form_->FileInfoLabel->text(),
             QStringLiteral("\"300.txt\" [TXT (Oskel,plain)] --> \"300.txt\" [TXT (Oskel,plain)]"));
    QCOMPARE(form_->LBD->LineCount(), qsizetype(0));
    const QStringList merged = MergedLines();
    QCOMPARE(merged.size(), 2);
    for (const QString& line : merged) {
        QVERIFY(line.startsWith(QStringLiteral("+ ")));
    }
    // The name a new file would get follows the default version.
    form_->Workflow().DefaultFileVersion = 1;
    Select("100");
    Select("300");
    QVERIFY(
        form_->FileInfoLabel->text().endsWith(QStringLiteral(" --> \"1_300.zmt\" [ZMTv1 (PDA)]")));
}

void TestMainWindow::progressEveryHundredMessages() {
    Analyse();
    ui_.ProgressHistory.clear();
    Select("500");
    const QStringList one{"0 of 250", "100 of 250", "200 of 250", ""};
    QCOMPARE(ui_.ProgressHistory, one + one + one);
    QCOMPARE(form_->StatusText(1), QString());
}

void TestMainWindow::contactChangeDuringFillRestarts() {
    Analyse();
    Select("100");
    const int before = form_->Comparison().Fillings();
    QTest::qWait(20); // let the window's event pacing come round
    // The user clicks dave while eve is being loaded: the running filling stops at its
    // next check point and starts over for dave.
    bool clicked = false;
    QTimer::singleShot(0, form_.get(), [&] {
        QVERIFY(form_->Workflow().State.ViewsBusy);
        clicked = true;
        Select("400");
        QVERIFY(form_->Comparison().RestartRequested());
    });
    Select("500");
    QVERIFY(clicked);
    QCOMPARE(form_->Comparison().Fillings(), before + 2);
    QCOMPARE(form_->MergedModel()->rowCount(), 5);
    QCOMPARE(form_->LBS->statusTip(), QStringLiteral("4 messages"));
    QCOMPARE(form_->Workflow().HeadList[form_->Comparison().ShownEntry()].UIN, std::string("400"));
    QVERIFY(!form_->Workflow().State.ViewsBusy);

    // While a filling runs, the commands that guard themselves only beep.
    const int beeps = ui_.Beeps;
    QTest::qWait(20);
    QTimer::singleShot(0, form_.get(), [&] {
        form_->aAnalyseExecute();
        form_->Nextdifference1Click();
        form_->aSettingsExecute();
        form_->aShowHideUnchecked->trigger();
    });
    Select("500");
    QCOMPARE(ui_.Beeps, beeps + 4);
    QVERIFY(form_->aShowHideUnchecked->isChecked());
    QVERIFY(form_->Workflow().State.Analysed);
}

void TestMainWindow::nextPreviousDifference() {
    Analyse();
    Select("100"); // marked: rows 3 and 4
    QListView* lbm = form_->LBM;
    QVERIFY(!lbm->currentIndex().isValid());
    form_->Nextdifference1Click();
    QCOMPARE(lbm->currentIndex().row(), 3);
    form_->Nextdifference1Click();
    QCOMPARE(lbm->currentIndex().row(), 4);
    QCOMPARE(ui_.Beeps, 0);
    form_->Nextdifference1Click(); // wraps to the top with a beep
    QCOMPARE(lbm->currentIndex().row(), 3);
    QCOMPARE(ui_.Beeps, 1);
    form_->Previousdifference1Click(); // back over the top: beep, the last marked item
    QCOMPARE(lbm->currentIndex().row(), 4);
    QCOMPARE(ui_.Beeps, 2);

    // Without a current item Previous starts at the last item.
    Select("400"); // marked: row 3
    QVERIFY(!lbm->currentIndex().isValid());
    form_->Previousdifference1Click();
    QCOMPARE(lbm->currentIndex().row(), 3);
    QCOMPARE(ui_.Beeps, 2);
    // The only marked item is current: one beep, it stays.
    form_->Nextdifference1Click();
    QCOMPARE(lbm->currentIndex().row(), 3);
    QCOMPARE(ui_.Beeps, 3);

    // No marked item: item 0 becomes current and stays, with the beep of the wrap.
    Select("200");
    form_->Nextdifference1Click();
    QCOMPARE(lbm->currentIndex().row(), 0);
    QCOMPARE(ui_.Beeps, 4);
}

void TestMainWindow::navigationFollowsPage() {
    Analyse();
    QVERIFY(!form_->Nextdifference1->isEnabled()); // no contact shown
    Select("100");
    QVERIFY(form_->Nextdifference1->isEnabled());
    form_->PageControl1->setCurrentIndex(0);
    QVERIFY(!form_->Nextdifference1->isEnabled());
    QVERIFY(!form_->Previousdifference1->isEnabled());
    form_->PageControl1->setCurrentIndex(2);
    QVERIFY(form_->Nextdifference1->isEnabled());
    form_->aResetAllExecute();
    QVERIFY(!form_->Nextdifference1->isEnabled());
    QCOMPARE(form_->MergedModel()->rowCount(), 0);
    QCOMPARE(form_->FileInfoLabel->text(), QStringLiteral("<>"));
}

void TestMainWindow::findTarget() {
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    form_->PageControl1->setCurrentIndex(0);
    form_->LBS->setFocus();
    QCOMPARE(form_->FindTarget(), form_->LBS);
    form_->LB1->setFocus();
    QCOMPARE(form_->FindTarget(), form_->LB1);
    form_->PageControl1->setCurrentIndex(2);
    form_->LBM->setFocus();
    QCOMPARE(form_->FindTarget(), form_->LBM);
    // The tab bar stands for the view of the active page.
    form_->PageControl1->setCurrentIndex(1);
    form_->PageControl1->tabBar()->setFocus();
    QCOMPARE(form_->FindTarget(), form_->LBD);
    // Other controls leave the target as it was.
    form_->SrcPathCombo->setFocus();
    QCOMPARE(form_->FindTarget(), form_->LBD);
}

void TestMainWindow::findInSourceView() {
    Analyse();
    Select("100");
    TMessageView* lbs = form_->LBS;
    form_->SetFindTarget(lbs);
    form_->FindDialog1()->SetFindText(QStringLiteral("abc"));
    // Source lines: 1 " abc one", 7 " abc two", 10 " see abc"; select past the last one.
    lbs->SetSelection(TTextPos{12, 0}, TTextPos{12, 0});
    form_->FindDialog1Find();
    QCOMPARE(ui_.Beeps, 1);
    QCOMPARE(lbs->SelectionStart(), (TTextPos{12, 0}));
    form_->aFindBackExecute();
    QCOMPARE(lbs->SelectionStart(), (TTextPos{10, 5}));
    QCOMPARE(lbs->SelectionEnd(), (TTextPos{10, 8}));
    form_->FindDialog1Find(); // the direction stays up
    QCOMPARE(lbs->SelectionStart(), (TTextPos{7, 1}));
    form_->aFindForwardExecute();
    QCOMPARE(lbs->SelectionStart(), (TTextPos{10, 5}));
    QCOMPARE(lbs->SelectedText(), QStringLiteral("abc"));
    // Whole word and match case.
    form_->FindDialog1()->SetFindText(QStringLiteral("ABC"));
    form_->FindDialog1()->SetMatchCase(true);
    lbs->SetSelection(TTextPos{0, 0}, TTextPos{0, 0});
    form_->FindDialog1Find();
    QCOMPARE(ui_.Beeps, 2);
    form_->FindDialog1()->SetMatchCase(false);
    form_->FindDialog1()->SetWholeWord(true);
    form_->FindDialog1()->SetFindText(QStringLiteral("ab"));
    form_->FindDialog1Find();
    QCOMPARE(ui_.Beeps, 3);
}

void TestMainWindow::findInMergedList() {
    Analyse();
    Select("100");
    QListView* lbm = form_->LBM;
    form_->SetFindTarget(lbm);
    // Last line selected, text only in earlier lines: down beeps, up finds the nearest.
    lbm->setCurrentIndex(form_->MergedModel()->index(4));
    form_->FindDialog1()->SetFindText(QStringLiteral("abc"));
    form_->aFindForwardExecute();
    QCOMPARE(ui_.Beeps, 1);
    QCOMPARE(lbm->currentIndex().row(), 4);
    form_->aFindBackExecute();
    QCOMPARE(lbm->currentIndex().row(), 3);
    form_->FindDialog1Find();
    QCOMPARE(lbm->currentIndex().row(), 2);
    // No selected line: the first line is selected, the search starts at the second.
    lbm->selectionModel()->clearCurrentIndex();
    lbm->clearSelection();
    form_->FindDialog1()->SetFindText(QStringLiteral("abc one"));
    form_->aFindForwardExecute();
    QCOMPARE(ui_.Beeps, 2);
    QCOMPARE(lbm->currentIndex().row(), 0);
    // The contact list is searched the same way.
    form_->SetFindTarget(form_->LB1);
    form_->FindDialog1()->SetFindText(QStringLiteral("dave"));
    form_->FindDialog1Find();
    QCOMPARE(form_->Workflow().HeadList[form_->CurrentEntry()].UIN, std::string("400"));
    // An empty list does nothing, not even a beep.
    form_->aResetAllExecute();
    form_->SetFindTarget(lbm);
    form_->FindDialog1Find();
    QCOMPARE(ui_.Beeps, 2);
}

void TestMainWindow::findWithoutTargetOrText() {
    Analyse();
    Select("100");
    // F3 before any view had the focus does nothing and does not beep.
    form_->FindDialog1()->SetFindText(QStringLiteral("abc"));
    form_->FindDialog1Find();
    QCOMPARE(ui_.Beeps, 0);
    // An empty find text finds nothing and beeps.
    form_->SetFindTarget(form_->LBS);
    form_->FindDialog1()->SetFindText(QString());
    form_->FindDialog1Find();
    form_->aFindBackExecute();
    QCOMPARE(ui_.Beeps, 2);
}

void TestMainWindow::synchronizeWritesAndReports() {
    Analyse();
    Setup().BackupToRecycleBin = true;
    ui_.Confirms = {true};
    form_->aSyncExecute();
    QCOMPARE(ui_.Infos.last(), QStringLiteral("Synchronization finished.\r\nFiles updated: "
                                              "2\r\nFiles created: 1\r\nFiles backuped: 2"));
    QCOMPARE(CountMessages(D("100.txt")), 5);
    QCOMPARE(CountMessages(D("300.txt")), 2);
    QCOMPARE(CountMessages(D("400.txt")), 5);
    QVERIFY(QFileInfo::exists(tmp_->filePath(QStringLiteral("data/Trash/files/100.txt"))));
    QCOMPARE(ui_.BusyDepth, 0);
    // The results stay on screen; the list is unchanged.
    QCOMPARE(form_->LB1->model()->rowCount(), 5);

    // A No to the confirmation writes nothing.
    QFile::remove(D("300.txt"));
    ui_.Confirms = {false};
    form_->aSyncExecute();
    QVERIFY(!QFileInfo::exists(D("300.txt")));
}

void TestMainWindow::settingsDialogRules() {
    // Before any analysis: a changed merge mode gives no message.
    form_->ExecDialog = [](QDialog& d) {
        auto& dialog = static_cast<TSettingsDialog&>(d);
        dialog.findChild<QRadioButton*>(QStringLiteral("MessMergeMode0"))->setChecked(true);
        dialog.PageControl()->setCurrentIndex(3);
        dialog.ButtonOkClick();
        return dialog.result();
    };
    form_->aSettingsExecute();
    QCOMPARE(int(Setup().MessMergeMode), 0);
    QVERIFY(ui_.Infos.isEmpty());
    QCOMPARE(form_->RememberedSettingsPage(), 3);

    Analyse();
    // Only CorrectCRLF: no message, the analysis stays current.
    int openedOn = -1;
    form_->ExecDialog = [&](QDialog& d) {
        auto& dialog = static_cast<TSettingsDialog&>(d);
        openedOn = dialog.ActivePage();
        auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("CorrectCRLFCB"));
        box->setChecked(!box->isChecked());
        dialog.PageControl()->setCurrentIndex(1);
        dialog.ButtonOkClick();
        return dialog.result();
    };
    form_->aSettingsExecute();
    QCOMPARE(openedOn, 3);
    QVERIFY(ui_.Infos.isEmpty());
    QVERIFY(form_->Workflow().State.Analysed);
    QCOMPARE(form_->RememberedSettingsPage(), 1);

    // Cancel after changing the mode: nothing stored, no message; the page is remembered.
    form_->ExecDialog = [](QDialog& d) {
        auto& dialog = static_cast<TSettingsDialog&>(d);
        dialog.findChild<QRadioButton*>(QStringLiteral("MessMergeMode1"))->setChecked(true);
        dialog.PageControl()->setCurrentIndex(2);
        dialog.reject();
        return dialog.result();
    };
    form_->aSettingsExecute();
    QCOMPARE(int(Setup().MessMergeMode), 0);
    QVERIFY(ui_.Infos.isEmpty());
    QCOMPARE(form_->RememberedSettingsPage(), 2);

    // The merge mode with results shown: message, beep, Synchronize disabled.
    form_->ExecDialog = [](QDialog& d) {
        auto& dialog = static_cast<TSettingsDialog&>(d);
        dialog.findChild<QRadioButton*>(QStringLiteral("MessMergeMode1"))->setChecked(true);
        dialog.ButtonOkClick();
        return dialog.result();
    };
    const int beeps = ui_.Beeps;
    form_->aSettingsExecute();
    QCOMPARE(ui_.Infos, QStringList{"Settings changed. You need to restart Analyse."});
    QCOMPARE(ui_.Beeps, beeps + 1);
    QVERIFY(!form_->Workflow().State.Analysed);
    QVERIFY(!form_->aSync->isEnabled());
    QCOMPARE(form_->LB1->model()->rowCount(), 5); // the list stays
}

void TestMainWindow::selectionCommandsAndShowUnchecked() {
    Analyse();
    Select("100");
    form_->aShowHideUnchecked->trigger(); // hide unchecked
    QVERIFY(!form_->aShowHideUnchecked->isChecked());
    QCOMPARE(ContactLines().size(), 3);
    QCOMPARE(form_->Workflow().HeadList[form_->CurrentEntry()].UIN,
             std::string("100")); // still selected
    form_->aDeselectAllExecute();
    QCOMPARE(ContactLines().size(), 0);
    QCOMPARE(form_->LB1->statusTip(), QStringLiteral("0 checked of 5 (5 hidden)"));
    QVERIFY(!form_->aSync->isEnabled());
    form_->aSelectAllDifferentExecute();
    QCOMPARE(ContactLines(), (QStringList{"alice (100) 2 5", "carol (300) 2 2", "dave (400) 1 4"}));
    form_->aSelectInverseExecute();
    QCOMPARE(ContactLines(), (QStringList{"bob (200) 0 3", "eve (500) 0 250"}));
    form_->aSelectInverseExecute();
    form_->aShowHideUnchecked->trigger();
    QCOMPARE(ContactLines().size(), 5);
    form_->aSelectAllExecute();
    QCOMPARE(form_->LB1->statusTip(), QStringLiteral("5 checked of 5 (0 hidden)"));
}

void TestMainWindow::checkBoxClickUpdatesControls() {
    Analyse();
    QAbstractItemModel* model = form_->LB1->model();
    for (int r = 0; r < 3; ++r) {
        model->setData(model->index(r, 0), Qt::Unchecked, Qt::CheckStateRole);
    }
    QVERIFY(!form_->aSync->isEnabled());
    QVERIFY(!form_->Workflow().AnyChecked());
    QCOMPARE(form_->LB1->statusTip(), QStringLiteral("0 checked of 5 (0 hidden)"));
    // The Space key flips the current line's check box.
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    Select("200");
    form_->LB1->setFocus();
    QTest::keyClick(form_->LB1, Qt::Key_Space);
    QVERIFY(form_->aSync->isEnabled());
    QVERIFY(form_->Workflow().HeadList[form_->CurrentEntry()].Checked);
}

void TestMainWindow::copyUinAndNick() {
    Analyse();
    QApplication::clipboard()->setText(QStringLiteral("before"));
    form_->aCopyUINExecute();
    QCOMPARE(ui_.Beeps, 1);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    Select("400");
    form_->aCopyUINExecute();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("400"));
    form_->aCopyNickExecute();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("dave"));
    QCOMPARE(ui_.Beeps, 1);
}

void TestMainWindow::spamFinder() {
    Analyse();
    QStringList checked;
    const auto checks = [&] {
        QString s;
        for (int r = 0; r < form_->LB1->model()->rowCount(); ++r) {
            s += form_->LB1->model()->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked
                     ? 'x'
                     : '-';
        }
        return s;
    };
    // The defaults check the contacts the user never wrote to; the selection is asked for.
    ui_.Confirms = {true};
    form_->aLookForSpamExecute();
    QCOMPARE(ui_.Questions.last(), QStringLiteral("This will clear current selection. Continue?"));
    QCOMPARE(checks(), QStringLiteral("-x---"));
    // Fewer than 3 incoming: bob (2) and carol (2); alice has 3.
    Setup().SpamMinMessagesIn = 3;
    Setup().SpamMinMessagesOut = 0;
    ui_.Confirms = {true};
    form_->aLookForSpamExecute();
    QCOMPARE(checks(), QStringLiteral("-x-x-"));
    QCOMPARE(form_->StatusText(1), QString());
    // No: nothing changes.
    Setup().SpamMinMessagesIn = 100;
    ui_.Confirms = {false};
    form_->aLookForSpamExecute();
    QCOMPARE(checks(), QStringLiteral("-x-x-"));
    // Both thresholds off: the command is disabled.
    Setup().SpamMinMessagesIn = 0;
    form_->UpdateControls();
    QVERIFY(!form_->aLookForSpam->isEnabled());
}

void TestMainWindow::fullTextSearch() {
    Analyse();
    ui_.Confirms = {true};
    form_->aFullTextSearchExecute();
    QVERIFY(form_->FullTextSearchMode());
    QVERIFY(form_->FindDialog1()->isVisible());
    QCOMPARE(form_->FindDialog1()->windowTitle(),
             QStringLiteral("Full-text search in all source files"));
    form_->FindDialog1()->SetFindText(QStringLiteral("hello"));
    form_->FindDialog1()->SetWholeWord(true);
    form_->FindDialog1()->SetDown(false); // the direction does not apply
    form_->FindDialog1Find();
    QVERIFY(!form_->FullTextSearchMode());
    QVERIFY(!form_->FindDialog1()->isVisible());
    QCOMPARE(form_->FindDialog1()->windowTitle(), QStringLiteral("Find"));
    QString s;
    for (const TZMTHead& e : form_->Workflow().HeadList.Items) {
        s += QString::fromStdString(e.UIN) +
             (e.Checked ? QStringLiteral("x ") : QStringLiteral("- "));
    }
    // alice "hello there" and dave "HELLO" (case ignored); not bob's "helloworld".
    QCOMPARE(s, QStringLiteral("100x 300- 400x 200- 500- "));

    // Closing the dialog without a search leaves the selection and the mode off.
    ui_.Confirms = {true};
    form_->aFullTextSearchExecute();
    QVERIFY(form_->FullTextSearchMode());
    form_->FindDialog1()->reject();
    QVERIFY(!form_->FullTextSearchMode());
    QVERIFY(form_->Workflow().HeadList[0].Checked);
}

void TestMainWindow::deleteSourceFilesWithOneFailure() {
    Analyse();
    QVERIFY(OpenLog(tmp_->filePath(QStringLiteral("run.log"))));
    Setup().BackupToRecycleBin = true;
    // carol's file cannot be moved to the trash.
    if (!SetImmutable(S("300.txt"), true)) {
        QSKIP("the file system cannot make a file immutable here");
    }
    immutable_ = S("300.txt");
    ui_.Confirms = {true};
    form_->aDeleteSrcFilesExecute();
    QCOMPARE(ui_.Questions.last(),
             QStringLiteral("Do you really want to delete\r\n3 marked source files?"));
    QCOMPARE(ui_.Infos.last(), QStringLiteral("2 files was successfully deleted"));
    QCOMPARE(ContactLines(), (QStringList{"bob (200) 0 3", "eve (500) 0 250"}));
    QVERIFY(!QFileInfo::exists(S("100.txt")));
    QVERIFY(QFileInfo::exists(S("300.txt")));
    QVERIFY(!QFileInfo::exists(S("400.txt")));
    CloseLog();
    const QString log = QString::fromUtf8(test::readAll(tmp_->filePath(QStringLiteral("run.log"))));
    QCOMPARE(log.count(QStringLiteral("Error while backuping file \"300.txt\". ")), 1);
    QCOMPARE(log.count(QStringLiteral(" File 100.txt deleted\r\n")), 1);
    QCOMPARE(log.count(QStringLiteral(" File 400.txt deleted\r\n")), 1);
}

void TestMainWindow::exceptionHandlerLogs() {
    QVERIFY(qobject_cast<TApplication*>(qApp));
    QVERIFY(OpenLog(tmp_->filePath(QStringLiteral("app.log"))));
    Thrower thrower;
    QEvent e(QEvent::User);
    QCOMPARE(QCoreApplication::sendEvent(&thrower, &e), false);
    thrower.own = false;
    QCoreApplication::sendEvent(&thrower, &e);
    CloseLog();
    const QString log = QString::fromUtf8(test::readAll(tmp_->filePath(QStringLiteral("app.log"))));
    QVERIFY2(log.contains(QStringLiteral(" !App Exception: (EBoom) boom\r\n")), qPrintable(log));
    QVERIFY2(
        log.contains(QStringLiteral(" !App Exception: (std::runtime_error) plain failure\r\n")),
        qPrintable(log));
    // With the log closed the exception is dropped and the program goes on.
    QCoreApplication::sendEvent(&thrower, &e);
}

void TestMainWindow::longHintsInStatusBar() {
    Analyse();
    // A two-part hint shows its long part; an item of a list stands for the list.
    QStatusTipEvent tip(QStringLiteral("Start synchronization of checked items"));
    QCoreApplication::sendEvent(form_->ToolBar1, &tip);
    QCOMPARE(form_->StatusText(1), QStringLiteral("Start synchronization of checked items"));
    QStatusTipEvent item{QString()};
    QCoreApplication::sendEvent(form_->LB1->viewport(), &item);
    QCOMPARE(form_->StatusText(1), QStringLiteral("3 checked of 5 (0 hidden)"));
    Select("100");
    QCoreApplication::sendEvent(form_->LBM->viewport(), &item);
    QCOMPARE(form_->StatusText(1), QStringLiteral("5 messages; 2 differences"));
    // Leaving a control clears the panel.
    QCoreApplication::sendEvent(form_->ToolBar1, &item);
    QCOMPARE(form_->StatusText(1), QString());
}

void TestMainWindow::browseButtonsAndAbout() {
    QString asked;
    form_->BrowseFolder = [&](const QString& caption, const QString& start) {
        asked = caption + QLatin1Char('|') + start;
        return tmp_->filePath(QStringLiteral("dst"));
    };
    form_->ButtonBrowseSrcClick();
    QCOMPARE(asked,
             QStringLiteral("Select source directory|") + tmp_->filePath(QStringLiteral("src")));
    QCOMPARE(form_->Workflow().State.SrcPath, tmp_->filePath(QStringLiteral("dst")));
    // Cancel keeps the text.
    form_->BrowseFolder = [&](const QString& caption, const QString&) {
        asked = caption;
        return QString();
    };
    form_->ButtonBrowseDstClick();
    QCOMPARE(asked, QStringLiteral("Select destination directory"));
    QCOMPARE(form_->Workflow().State.DstPath, tmp_->filePath(QStringLiteral("dst")));
    // Same directory on both sides: a beep and a notice, no analysis.
    WriteFixtures();
    form_->aAnalyseExecute();
    QCOMPARE(ui_.Infos, QStringList{"You are about to synchronize the same directory!"});
    QVERIFY(!form_->Workflow().State.Analysed);

    QString caption;
    QString product;
    form_->ExecDialog = [&](QDialog& d) {
        caption = d.windowTitle();
        product = d.findChild<QLabel*>(QStringLiteral("ProductName"))->text();
        return int(QDialog::Accepted);
    };
    form_->Aboutprogram1Click();
    QCOMPARE(caption, QStringLiteral("About"));
    QCOMPARE(product, QStringLiteral("Vimo PDA/Oskel/Varyon History Synchronizer"));

    // Exit closes the window and writes the settings.
    form_->show();
    form_->Exit1->trigger();
    QVERIFY(!form_->isVisible());
    QVERIFY(QFileInfo::exists(SettingsFilePath()));
}

// The example directories of the README analyse as described there.
void TestMainWindow::examplesAnalyse() {
    const QString examples = QDir::cleanPath(QStringLiteral(VIMOSYNC_TEST_DATA "/../../examples"));
    for (const char* side : {"source", "destination"}) {
        const QDir from(examples + QLatin1Char('/') + QLatin1String(side));
        QVERIFY(from.exists());
        const QString to = tmp_->filePath(QLatin1String(side));
        QDir().mkpath(to + QStringLiteral("/Archive"));
        QDirIterator it(from.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QVERIFY(QFile::copy(file, to + QLatin1Char('/') + from.relativeFilePath(file)));
        }
    }
    form_->SrcPathCombo->setEditText(tmp_->filePath(QStringLiteral("source")));
    form_->DstPathCombo->setEditText(tmp_->filePath(QStringLiteral("destination")));
    ui_.FileVersions = {std::nullopt};
    form_->aAnalyseExecute();
    QCOMPARE(ContactLines(),
             (QStringList{"bookclub (444444) 3 3", "marina (222222) 8 12",
                          "night_owl (111111) 4 12", "work_chat (666666) 1 4",
                          QStringLiteral("Дмитрий (333333) 4 4"), "old_friend (555555) 0 3"}));
    QCOMPARE(int(form_->Workflow().DefaultFileVersion), 2);
    QCOMPARE(form_->StatusText(0), QStringLiteral("alex_k"));
    // With the archives, marina's older messages are found in the archive folder.
    Setup().UseVaryonArchives = true;
    form_->aAnalyseExecute();
    QVERIFY(ContactLines().contains(QStringLiteral("marina (222222) 1 12")));
    // Ignoring spaces makes work_chat's two copies equal.
    Setup().MergeIgnoreSpaces = true;
    form_->aAnalyseExecute();
    QVERIFY(ContactLines().contains(QStringLiteral("work_chat (666666) 0 4")));
}

// An error while the views are filled ends the filling, goes to the log, and leaves
// the window usable: not busy, the pointer restored.
void TestMainWindow::errorWhileFillingIsLogged() {
    Analyse();
    QVERIFY(OpenLog(tmp_->filePath(QStringLiteral("run.log"))));
    QVERIFY(QFile::remove(S("100.txt")));
    QVERIFY(QDir().mkpath(S("100.txt"))); // exists, but cannot be read as a file
    Select("100");
    QVERIFY(!form_->Workflow().State.ViewsBusy);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    CloseLog();
    const QString log = QString::fromUtf8(test::readAll(tmp_->filePath(QStringLiteral("run.log"))));
    QVERIFY2(log.contains(QStringLiteral(" !App Exception: (")), qPrintable(log));
    Select("400");
    QCOMPARE(form_->MergedModel()->rowCount(), 5);
}

// Closing the window while a contact is being shown ends the filling at its next check
// point; the settings are written as on every close.
void TestMainWindow::closingDuringFill() {
    // Long enough that the filling hands events over many times, however busy the machine.
    std::vector<M> many;
    for (int i = 0; i < 20000; ++i) {
        many.push_back({i, i % 3 == 0, "message"});
    }
    WriteHistory(S("600.txt"), "600", "frank", many);
    Analyse();
    form_->show();
    QTest::qWait(20);
    QTimer::singleShot(0, form_.get(), [&] { form_->close(); });
    Select("600");
    QVERIFY(!form_->isVisible());
    QVERIFY(!form_->Workflow().State.ViewsBusy);
    QCOMPARE(form_->MergedModel()->rowCount(), 0);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(QFileInfo::exists(SettingsFilePath()));
}

void TestMainWindow::analysisPutsPathsOnTop() {
    Setup().MRU_Depth = 3;
    const QString src = tmp_->filePath(QStringLiteral("src"));
    Setup().SrcPathMRU = {QStringLiteral("/a"), QStringLiteral("/b"), src.toUpper()};
    Analyse();
    QCOMPARE(Setup().SrcPathMRU, (QStringList{src, QStringLiteral("/a"), QStringLiteral("/b")}));
    QCOMPARE(Setup().DstPathMRU, QStringList{tmp_->filePath(QStringLiteral("dst"))});
    QCOMPARE(form_->SrcPathCombo->itemText(0), src);
}

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TestMainWindow t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_mainwindow.moc"
