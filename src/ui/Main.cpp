#include "ui/Main.h"

#include "Version.h"
#include "config/Settings.h"
#include "config/Setup.h"
#include "config/UnitVerDialog.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "ui/Application.h"
#include "ui/Comparison.h"
#include "ui/FindDialog.h"
#include "ui/Hints.h"
#include "ui/Icons.h"
#include "ui/MessageView.h"
#include "ui/UnitAbout.h"
#include "ui/Views.h"
#include "workflow/Folders.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace vimosync {

namespace {

constexpr int kPageSource = 0;
constexpr int kPageDestination = 1;
constexpr int kPageMerged = 2;
// Pending events are handled at most this often during long commands: often enough
// for the window to answer at once, rarely enough to cost next to nothing.
constexpr int kEventsIntervalMs = 10;
// The progress panel is redrawn at most this often.
constexpr int kProgressIntervalMs = 40;

QString Title() {
    return Tr(LangText::AppTitle);
}

} // namespace

QString VersionText() {
    return Format("v%d.%d.%d.%d ", VIMOSYNC_VERSION_MAJOR, VIMOSYNC_VERSION_MINOR,
                  VIMOSYNC_VERSION_PATCH, VIMOSYNC_VERSION_TWEAK);
}

// ---- TQtDialogs

void TQtDialogs::information(const QString& text) {
    QMessageBox::information(owner_, Title(), text, QMessageBox::Ok);
}

void TQtDialogs::warning(const QString& text) {
    QMessageBox::warning(owner_, Title(), text, QMessageBox::Ok);
}

bool TQtDialogs::confirm(const QString& text) {
    return QMessageBox::question(owner_, Title(), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

std::optional<int> TQtDialogs::askFileVersion(int current) {
    const int v = TFileVerDialog::Ask(current, owner_);
    if (v < 0) {
        return std::nullopt;
    }
    return v;
}

std::optional<QString> TQtDialogs::askNick(const QString& caption, const QString& prompt,
                                           const QString& current) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(owner_, caption, prompt, QLineEdit::Normal, current, &ok);
    if (!ok) {
        return std::nullopt;
    }
    return text;
}

void TQtDialogs::beep() {
    QApplication::beep();
}

// ---- Long commands

// While a long command runs, the window handles events; other commands refuse then.
class TCommandScope {
public:
    explicit TCommandScope(TForm1& form) : form_(form) { ++form_.commandDepth_; }
    ~TCommandScope() { --form_.commandDepth_; }
    TCommandScope(const TCommandScope&) = delete;
    TCommandScope& operator=(const TCommandScope&) = delete;

private:
    TForm1& form_;
};

std::function<void()> TForm1::Guarded(void (TForm1::*handler)()) {
    // Errors end the command here and go to the log, instead of travelling through
    // the toolkit's own code on their way to the application's handler.
    return [this, handler] {
        try {
            (this->*handler)();
        } catch (...) {
            LogCurrentException();
        }
    };
}

bool TForm1::BeginCommand() {
    if (commandDepth_ > 0) {
        beep();
        return false;
    }
    return true;
}

// ---- Creation

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), qtDialogs_(std::make_unique<TQtDialogs>(this)),
      dialogs_(qtDialogs_.get()), workflow_(std::make_unique<TWorkflow>(*this)) {
    ExecDialog = [](QDialog& d) { return d.exec(); };
    BrowseFolder = [this](const QString& caption, const QString& start) {
        return QFileDialog::getExistingDirectory(this, caption, start);
    };
    FormCreate();
}

TForm1::~TForm1() {
    // Nothing may reach the half-destroyed window: focus changes and the find dialog's
    // closing happen while the child widgets go.
    qApp->removeEventFilter(this);
    disconnect(qApp, nullptr, this, nullptr);
    delete findDialog_;
    findDialog_ = nullptr;
    delete comparison_;
    comparison_ = nullptr;
    if (!closed_) {
        workflow_->StopMonitor();
    }
}

void TForm1::SetDialogs(IUserInterface* dialogs) {
    dialogs_ = dialogs ? dialogs : qtDialogs_.get();
}

void TForm1::FormCreate() {
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(ApplicationIcon());
    setWindowTitle(Title() + QLatin1Char(' ') + VersionText());
    CreateActions();
    CreateLayout();
    CreateMenus();
    resize(543, 450);

    LoadSettings(SettingsFilePath());
    // Every command takes the settings in force when it starts.
    workflow_->OptionsSource = [] { return WorkflowOptions(Setup()); };
    workflow_->RefreshOptions();
    // The log follows the setting read now; a later change counts from the next start.
    if (Setup().UseLog) {
        OpenLog();
    }

    // The boxes show the most recent directory, or the program's folder.
    RefreshPathCombos();
    const TSettings& s = Setup();
    SrcPathCombo->setEditText(s.SrcPathMRU.isEmpty() ? s.SrcPath : s.SrcPathMRU.first());
    DstPathCombo->setEditText(s.DstPathMRU.isEmpty() ? s.DstPath : s.DstPathMRU.first());
    SrcPathEditChange();
    DstPathEditChange();

    // Long hints of every control go to status panel 1.
    qApp->installEventFilter(this);

    aResetAllExecute();
    UpdateControls();
}

void TForm1::CreateActions() {
    const auto make = [this](QAction*& action, const char* name, const char* caption,
                             const char* hint, const QKeySequence& key, const char* theme,
                             const char* own) {
        action = new QAction(ThemedIcon(theme, own), Tr(caption), this);
        action->setObjectName(QString::fromLatin1(name));
        SetHint(action, hint);
        if (!key.isEmpty()) {
            action->setShortcut(key);
        }
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    };
    make(aAnalyse, "aAnalyse", LangText::AnalyseCaption, LangText::AnalyseHint,
         QKeySequence(Qt::CTRL | Qt::Key_L), nullptr, "analyse");
    make(aResetAll, "aResetAll", LangText::ResetAllCaption, LangText::ResetAllHint,
         QKeySequence(Qt::CTRL | Qt::Key_R), "edit-clear", "resetall");
    make(aSync, "aSync", LangText::SyncCaption, LangText::SyncHint,
         QKeySequence(Qt::CTRL | Qt::Key_S), nullptr, "sync");
    make(aEditNick, "aEditNick", LangText::EditNickActionCaption, LangText::EditNickHint,
         QKeySequence(Qt::CTRL | Qt::Key_N), nullptr, "editnick");
    make(aFind, "aFind", LangText::FindCaption, LangText::FindHint,
         QKeySequence(Qt::CTRL | Qt::Key_F), "edit-find", "find");
    make(aSelectAll, "aSelectAll", LangText::SelectAllCaption, LangText::SelectAllHint,
         QKeySequence(Qt::CTRL | Qt::Key_A), nullptr, "selectall");
    make(aSelectAllDifferent, "aSelectAllDifferent", LangText::SelectDifferentCaption,
         LangText::SelectDifferentHint, QKeySequence(Qt::CTRL | Qt::Key_I), nullptr,
         "selectdifferent");
    make(aDeselectAll, "aDeselectAll", LangText::DeselectAllCaption, LangText::DeselectAllHint,
         QKeySequence(Qt::CTRL | Qt::Key_D), nullptr, "deselectall");
    make(aCopyUIN, "aCopyUIN", LangText::CopyUinCaption, LangText::CopyUinHint,
         QKeySequence(Qt::CTRL | Qt::Key_U), "edit-copy", "copy");
    make(aSelectInverse, "aSelectInverse", LangText::SelectInverseCaption,
         LangText::SelectInverseHint, QKeySequence(Qt::Key_F8), nullptr, "selectinverse");
    make(aCopyNick, "aCopyNick", LangText::CopyNickCaption, LangText::CopyNickHint,
         QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_N), "edit-copy", "copy");
    make(aFindNext, "aFindNext", LangText::FindNextCaption, LangText::FindNextHint,
         QKeySequence(Qt::Key_F3), nullptr, "findnext");
    make(aFindForward, "aFindForward", LangText::FindForwardCaption, LangText::FindForwardHint,
         QKeySequence(Qt::CTRL | Qt::Key_F3), nullptr, "findforward");
    make(aFindBack, "aFindBack", LangText::FindBackCaption, LangText::FindBackHint,
         QKeySequence(Qt::SHIFT | Qt::Key_F3), nullptr, "findback");
    make(aSettings, "aSettings", LangText::SettingsActionCaption, LangText::SettingsHint,
         QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_S), "preferences-system", "settings");
    make(aDeleteSrcFiles, "aDeleteSrcFiles", LangText::DeleteSrcCaption, LangText::DeleteSrcHint,
         QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Delete), nullptr, "deletesrc");
    make(aLookForSpam, "aLookForSpam", LangText::LookForSpamCaption, LangText::LookForSpamHint,
         QKeySequence(), nullptr, "spam");
    make(aShowHideUnchecked, "aShowHideUnchecked", LangText::ShowUncheckedCaption,
         LangText::ShowUncheckedHint, QKeySequence(Qt::Key_F7), nullptr, "showunchecked");
    make(aFullTextSearch, "aFullTextSearch", LangText::FullTextCaption, LangText::FullTextHint,
         QKeySequence(), nullptr, "fulltext");
    make(Nextdifference1, "Nextdifference1", LangText::NextDiffCaption, LangText::NextDiffHint,
         QKeySequence(Qt::Key_F5), nullptr, "nextdiff");
    make(Previousdifference1, "Previousdifference1", LangText::PrevDiffCaption,
         LangText::PrevDiffHint, QKeySequence(Qt::Key_F6), nullptr, "prevdiff");
    make(Exit1, "Exit1", LangText::ExitCaption, LangText::ExitHint, QKeySequence(),
         "application-exit", "exit");
    make(Aboutprogram1, "Aboutprogram1", LangText::AboutMenuCaption, LangText::AboutCaption,
         QKeySequence(), "help-about", "about");
    // "About.." has no hint of its own.
    Aboutprogram1->setToolTip(QString());
    Aboutprogram1->setStatusTip(QString());

    aShowHideUnchecked->setCheckable(true);
    aShowHideUnchecked->setChecked(true);

    connect(aAnalyse, &QAction::triggered, this, Guarded(&TForm1::aAnalyseExecute));
    connect(aResetAll, &QAction::triggered, this, Guarded(&TForm1::aResetAllExecute));
    connect(aSync, &QAction::triggered, this, Guarded(&TForm1::aSyncExecute));
    connect(aEditNick, &QAction::triggered, this, Guarded(&TForm1::aEditNickExecute));
    connect(aFind, &QAction::triggered, this, Guarded(&TForm1::aFindExecute));
    connect(aSelectAll, &QAction::triggered, this, Guarded(&TForm1::aSelectAllExecute));
    connect(aSelectAllDifferent, &QAction::triggered, this,
            Guarded(&TForm1::aSelectAllDifferentExecute));
    connect(aDeselectAll, &QAction::triggered, this, Guarded(&TForm1::aDeselectAllExecute));
    connect(aCopyUIN, &QAction::triggered, this, Guarded(&TForm1::aCopyUINExecute));
    connect(aSelectInverse, &QAction::triggered, this, Guarded(&TForm1::aSelectInverseExecute));
    connect(aCopyNick, &QAction::triggered, this, Guarded(&TForm1::aCopyNickExecute));
    connect(aFindNext, &QAction::triggered, this, Guarded(&TForm1::FindDialog1Find));
    connect(aFindForward, &QAction::triggered, this, Guarded(&TForm1::aFindForwardExecute));
    connect(aFindBack, &QAction::triggered, this, Guarded(&TForm1::aFindBackExecute));
    connect(aSettings, &QAction::triggered, this, Guarded(&TForm1::aSettingsExecute));
    connect(aDeleteSrcFiles, &QAction::triggered, this, Guarded(&TForm1::aDeleteSrcFilesExecute));
    connect(aLookForSpam, &QAction::triggered, this, Guarded(&TForm1::aLookForSpamExecute));
    connect(aShowHideUnchecked, &QAction::triggered, this,
            Guarded(&TForm1::aShowHideUncheckedExecute));
    connect(aFullTextSearch, &QAction::triggered, this, Guarded(&TForm1::aFullTextSearchExecute));
    connect(Nextdifference1, &QAction::triggered, this, Guarded(&TForm1::Nextdifference1Click));
    connect(Previousdifference1, &QAction::triggered, this,
            Guarded(&TForm1::Previousdifference1Click));
    connect(Exit1, &QAction::triggered, this, &QWidget::close);
    connect(Aboutprogram1, &QAction::triggered, this, Guarded(&TForm1::Aboutprogram1Click));
}

void TForm1::CreateLayout() {
    // Tool bar.
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(32, 32));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->addActions({aAnalyse, aEditNick, aSync});
    ToolBar1->addSeparator();
    ToolBar1->addAction(aResetAll);
    ToolBar1->addSeparator();
    ToolBar1->addAction(aSettings);
    ToolBar1->addSeparator();
    ToolBar1->addActions({aFind, aFindNext, aFindBack, aFindForward});
    ToolBar1->addSeparator();
    ToolBar1->addAction(aDeleteSrcFiles);
    ToolBar1->toggleViewAction()->setEnabled(false);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 0);
    layout->setSpacing(2);

    // Directory panel.
    auto* dirs = new QGridLayout;
    dirs->setHorizontalSpacing(4);
    dirs->setVerticalSpacing(2);
    const auto makeCombo = [&](QComboBox*& combo, QToolButton*& button, const char* name,
                               const char* buttonName, const char* label, int row) {
        combo = new QComboBox(central);
        combo->setObjectName(QString::fromLatin1(name));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(10);
        button = new QToolButton(central);
        button->setObjectName(QString::fromLatin1(buttonName));
        button->setText(Tr(LangText::BrowseButton));
        auto* l = new QLabel(Tr(label), central);
        l->setBuddy(combo);
        dirs->addWidget(l, row, 0);
        dirs->addWidget(combo, row, 1);
        dirs->addWidget(button, row, 2);
    };
    makeCombo(SrcPathCombo, ButtonBrowseSrc, "SrcPathCombo", "ButtonBrowseSrc",
              LangText::SrcDirLabel, 0);
    makeCombo(DstPathCombo, ButtonBrowseDst, "DstPathCombo", "ButtonBrowseDst",
              LangText::DstDirLabel, 1);
    dirs->setColumnStretch(1, 1);
    layout->addLayout(dirs);
    connect(SrcPathCombo, &QComboBox::editTextChanged, this, &TForm1::SrcPathEditChange);
    connect(DstPathCombo, &QComboBox::editTextChanged, this, &TForm1::DstPathEditChange);
    connect(ButtonBrowseSrc, &QToolButton::clicked, this, Guarded(&TForm1::ButtonBrowseSrcClick));
    connect(ButtonBrowseDst, &QToolButton::clicked, this, Guarded(&TForm1::ButtonBrowseDstClick));

    // Contact list with its tool bar.
    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(4);
    Splitter1->setChildrenCollapsible(false);
    auto* left = new QWidget(Splitter1);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);
    LB1 = new QListView(left);
    LB1->setObjectName(QStringLiteral("LB1"));
    contactModel_ = new TContactModel(workflow_->HeadList, this);
    LB1->setModel(contactModel_);
    LB1->setItemDelegate(new TContactDelegate(LB1));
    LB1->setUniformItemSizes(true);
    LB1->setSelectionMode(QAbstractItemView::SingleSelection);
    LB1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LB1->setContextMenuPolicy(Qt::CustomContextMenu);
    LB1->viewport()->installEventFilter(this);
    leftLayout->addWidget(LB1, 1);
    ListToolBar = new QToolBar(left);
    ListToolBar->setObjectName(QStringLiteral("ListToolBar"));
    ListToolBar->setIconSize(QSize(16, 16));
    ListToolBar->addActions({aSelectAll, aSelectAllDifferent, aDeselectAll, aSelectInverse});
    ListToolBar->addSeparator();
    ListToolBar->addAction(aShowHideUnchecked);
    leftLayout->addWidget(ListToolBar);
    connect(LB1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (!rebuilding_) {
            Guarded (&TForm1::LB1Click)();
        }
    });
    connect(LB1, &QListView::clicked, this, [this](const QModelIndex& index) {
        // A click on the line that was already current fills the views again.
        if (index.row() == pressedRow_) {
            Guarded (&TForm1::LB1Click)();
        }
    });
    connect(contactModel_, &TContactModel::checkChanged, this, [this] { UpdateControls(); });

    // The three pages.
    PageControl1 = new QTabWidget(Splitter1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    LBS = new TMessageView;
    LBS->setObjectName(QStringLiteral("LBS"));
    LBD = new TMessageView;
    LBD->setObjectName(QStringLiteral("LBD"));
    PageControl1->addTab(LBS, Tr(LangText::PageSource));
    PageControl1->addTab(LBD, Tr(LangText::PageDestination));
    auto* merged = new QWidget;
    auto* mergedLayout = new QVBoxLayout(merged);
    mergedLayout->setContentsMargins(0, 0, 0, 0);
    mergedLayout->setSpacing(0);
    LBM = new QListView(merged);
    LBM->setObjectName(QStringLiteral("LBM"));
    mergedModel_ = new TMergedModel(this);
    LBM->setModel(mergedModel_);
    LBM->setItemDelegate(new TMergedDelegate(LBM));
    LBM->setUniformItemSizes(true);
    LBM->setSelectionMode(QAbstractItemView::SingleSelection);
    LBM->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LBM->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    LBM->setContextMenuPolicy(Qt::CustomContextMenu);
    mergedLayout->addWidget(LBM, 1);
    MergedToolBar = new QToolBar(merged);
    MergedToolBar->setObjectName(QStringLiteral("MergedToolBar"));
    MergedToolBar->setIconSize(QSize(16, 16));
    MergedToolBar->addAction(Previousdifference1);
    MergedToolBar->addAction(Nextdifference1);
    FileInfoLabel = new QLabel(Tr(LangText::FileInfoEmpty), merged);
    FileInfoLabel->setObjectName(QStringLiteral("FileInfoLabel"));
    FileInfoLabel->setTextFormat(Qt::PlainText);
    FileInfoLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    FileInfoLabel->setContentsMargins(6, 0, 2, 0);
    SetHint(FileInfoLabel, LangText::FileInfoHint);
    auto* mergedBar = new QHBoxLayout;
    mergedBar->setContentsMargins(0, 0, 0, 0);
    mergedBar->addWidget(MergedToolBar);
    mergedBar->addWidget(FileInfoLabel, 1);
    mergedLayout->addLayout(mergedBar);
    PageControl1->addTab(merged, Tr(LangText::PageMerged));
    PageControl1->setCurrentIndex(kPageMerged);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);

    Splitter1->addWidget(left);
    Splitter1->addWidget(PageControl1);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({185, 350});
    layout->addWidget(Splitter1, 1);
    setCentralWidget(central);

    // Status bar: the own nick, then hints and progress.
    StatusPanel0 = new QLabel(Tr(LangText::OwnNickEmptyPanel));
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(120);
    StatusPanel0->setTextFormat(Qt::PlainText);
    StatusPanel1 = new QLabel;
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setTextFormat(Qt::PlainText);
    StatusPanel1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(StatusPanel0);
    statusBar()->addWidget(StatusPanel1, 1);
    progressFlush_ = new QTimer(this);
    progressFlush_->setSingleShot(true);
    connect(progressFlush_, &QTimer::timeout, this, [this] {
        StatusPanel1->setText(progress_);
        progressTimer_.restart();
    });

    // The find dialog, kept for the whole run.
    findDialog_ = new TFindDialog(this);
    connect(findDialog_, &TFindDialog::find, this, Guarded(&TForm1::FindDialog1Find));
    connect(findDialog_, &TFindDialog::closed, this, &TForm1::FindDialog1Close);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { LBEnter(now); });

    comparison_ =
        new TComparison(*workflow_, *this, LBS, LBD, LBM, mergedModel_, FileInfoLabel, this);
    comparison_->CurrentEntry = [this] { return CurrentEntry(); };
    comparison_->ShuttingDown = [this] { return closing_ || QCoreApplication::closingDown(); };
    comparison_->UpdateControls = [this] { UpdateControls(); };
}

void TForm1::CreateMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(Tr(LangText::MenuFile));
    file->addActions({aAnalyse, aEditNick, aSync, aResetAll});
    file->addSeparator();
    file->addAction(aSettings);
    file->addSeparator();
    file->addAction(Exit1);

    QMenu* edit = bar->addMenu(Tr(LangText::MenuEdit));
    edit->addActions({aSelectAll, aSelectAllDifferent, aDeselectAll, aSelectInverse});
    edit->addSeparator();
    edit->addAction(aDeleteSrcFiles);
    edit->addSeparator();
    edit->addActions({aFind, aFindNext, aFindBack, aFindForward});
    edit->addSeparator();
    edit->addActions({aCopyUIN, aCopyNick});

    QMenu* navigate = bar->addMenu(Tr(LangText::MenuNavigate));
    navigate->addActions({Nextdifference1, Previousdifference1});

    QMenu* tools = bar->addMenu(Tr(LangText::MenuTools));
    tools->addActions({aLookForSpam, aFullTextSearch});

    QMenu* help = bar->addMenu(Tr(LangText::MenuHelp));
    help->addAction(Aboutprogram1);

    ListPopup = new QMenu(this);
    ListPopup->setObjectName(QStringLiteral("ListPopup"));
    ListPopup->addActions({aSelectAll, aSelectAllDifferent, aDeselectAll, aSelectInverse});
    ListPopup->addSeparator();
    ListPopup->addActions({aFind, aFindNext});
    ListPopup->addSeparator();
    ListPopup->addAction(aShowHideUnchecked);
    ListPopup->addSeparator();
    ListPopup->addActions({aCopyUIN, aCopyNick});
    connect(LB1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ListPopup->popup(LB1->viewport()->mapToGlobal(pos)); });

    MergedPopup = new QMenu(this);
    MergedPopup->setObjectName(QStringLiteral("MergedPopup"));
    MergedPopup->addActions({aFindNext, aFindForward, aFindBack, aFind});
    connect(LBM, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { MergedPopup->popup(LBM->viewport()->mapToGlobal(pos)); });
}

// ---- Closing

void TForm1::closeEvent(QCloseEvent* event) {
    // A filling that runs ends at its next check point.
    closing_ = true;
    if (!closed_) {
        FormClose();
    }
    QMainWindow::closeEvent(event);
}

void TForm1::FormClose() {
    closed_ = true;
    findDialog_->hide();
    workflow_->StopMonitor();
    // A settings file that cannot be written is no reason to keep the program open.
    SaveSettings(SettingsFilePath());
    CloseLog();
}

// ---- IUserInterface

void TForm1::information(const QString& text) {
    dialogs_->information(text);
}

void TForm1::warning(const QString& text) {
    dialogs_->warning(text);
}

bool TForm1::confirm(const QString& text) {
    return dialogs_->confirm(text);
}

std::optional<int> TForm1::askFileVersion(int current) {
    return dialogs_->askFileVersion(current);
}

std::optional<QString> TForm1::askNick(const QString& caption, const QString& prompt,
                                       const QString& current) {
    return dialogs_->askNick(caption, prompt, current);
}

void TForm1::beep() {
    dialogs_->beep();
}

void TForm1::setBusyCursor(bool busy) {
    if (busy) {
        if (busyDepth_++ == 0) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    } else if (busyDepth_ > 0) {
        if (--busyDepth_ == 0) {
            QApplication::restoreOverrideCursor();
        }
    }
    dialogs_->setBusyCursor(busy);
}

void TForm1::showProgress(const QString& text) {
    dialogs_->showProgress(text);
    progress_ = text;
    // Redrawing the panel for every step would cost more than the step itself.
    if (text.isEmpty() || !progressTimer_.isValid() ||
        progressTimer_.elapsed() >= kProgressIntervalMs) {
        progressFlush_->stop();
        StatusPanel1->setText(text);
        progressTimer_.restart();
    } else if (!progressFlush_->isActive()) {
        progressFlush_->start(kProgressIntervalMs);
    }
}

void TForm1::processEvents() {
    if (!eventsTimer_.isValid() || eventsTimer_.elapsed() >= kEventsIntervalMs) {
        QCoreApplication::processEvents();
        eventsTimer_.restart();
    }
}

void TForm1::pathsUsed(const QString& src, const QString& dst) {
    TSettings& s = Setup();
    AddPathToMRU(s.SrcPathMRU, src, s.MRU_Depth);
    AddPathToMRU(s.DstPathMRU, dst, s.MRU_Depth);
}

void TForm1::clearViews() {
    // With no current line the filling only empties the views.
    ShowSelectedContact();
}

QString TForm1::StatusText(int panel) const {
    return panel == 0 ? StatusPanel0->text() : StatusPanel1->text();
}

// ---- State and controls

void TForm1::UpdateControls() {
    const TControlState c =
        workflow_->Controls(PageControl1->currentIndex() == kPageMerged, mergedModel_->rowCount(),
                            contactModel_->rowCount());
    SrcPathCombo->setEnabled(c.PathsEnabled);
    DstPathCombo->setEnabled(c.PathsEnabled);
    ButtonBrowseSrc->setEnabled(c.PathsEnabled);
    ButtonBrowseDst->setEnabled(c.PathsEnabled);
    aResetAll->setEnabled(c.ResetAll);
    aSync->setEnabled(c.Sync);
    aDeleteSrcFiles->setEnabled(c.DeleteSrcFiles);
    aEditNick->setEnabled(c.EditNick);
    aLookForSpam->setEnabled(c.LookForSpam);
    aFullTextSearch->setEnabled(c.FullTextSearch);
    Nextdifference1->setEnabled(c.DiffNavigation);
    Previousdifference1->setEnabled(c.DiffNavigation);
    StatusPanel0->setText(c.StatusNick);
    SetHint(LB1, QLatin1Char('|') + c.ListHint);
    LB1->viewport()->setStatusTip(LB1->statusTip());
}

int TForm1::CurrentEntry() const {
    const QModelIndex current = LB1->currentIndex();
    return current.isValid() ? contactModel_->EntryOf(current.row()) : -1;
}

void TForm1::RebuildContactList() {
    TContactList list = workflow_->ContactList(CurrentEntry());
    const int selected = list.Selected;
    rebuilding_ = true;
    contactModel_->SetLines(std::move(list.Lines));
    if (selected >= 0) {
        LB1->setCurrentIndex(contactModel_->index(selected));
    } else {
        LB1->selectionModel()->clearCurrentIndex();
        LB1->clearSelection();
    }
    rebuilding_ = false;
}

void TForm1::RefreshPathCombos() {
    const auto refresh = [](QComboBox* combo, const QStringList& items) {
        const QString text = combo->currentText();
        const QSignalBlocker block(combo);
        combo->clear();
        combo->addItems(items);
        combo->setEditText(text);
    };
    refresh(SrcPathCombo, Setup().SrcPathMRU);
    refresh(DstPathCombo, Setup().DstPathMRU);
}

// ---- Directory boxes

void TForm1::SrcPathEditChange() {
    workflow_->SrcPathEditChange(SrcPathCombo->currentText());
}

void TForm1::DstPathEditChange() {
    workflow_->DstPathEditChange(DstPathCombo->currentText());
}

void TForm1::ButtonBrowseSrcClick() {
    const QString dir = BrowseFolder(Tr(LangText::SelectSrcDir), SrcPathCombo->currentText());
    if (!dir.isEmpty()) {
        SrcPathCombo->setEditText(QDir::toNativeSeparators(dir));
    }
    SrcPathEditChange();
}

void TForm1::ButtonBrowseDstClick() {
    const QString dir = BrowseFolder(Tr(LangText::SelectDstDir), DstPathCombo->currentText());
    if (!dir.isEmpty()) {
        DstPathCombo->setEditText(QDir::toNativeSeparators(dir));
    }
    DstPathEditChange();
}

// ---- Workflow commands

void TForm1::aAnalyseExecute() {
    if (!BeginCommand()) {
        return;
    }
    TCommandScope scope(*this);
    workflow_->Analyse();
    // The analysis put both directories at the top of their recent lists.
    RefreshPathCombos();
    UpdateControls();
}

void TForm1::aResetAllExecute() {
    if (!BeginCommand()) {
        return;
    }
    workflow_->ResetAll();
    UpdateControls();
}

void TForm1::aSyncExecute() {
    if (!BeginCommand()) {
        return;
    }
    TCommandScope scope(*this);
    workflow_->Sync();
    UpdateControls();
}

void TForm1::aEditNickExecute() {
    if (!BeginCommand()) {
        return;
    }
    workflow_->EditNick();
}

void TForm1::aSettingsExecute() {
    if (!BeginCommand() || IsBusy()) {
        return;
    }
    TCommandScope scope(*this);
    int result = QDialog::Rejected;
    bool changed = false;
    {
        TSettingsDialog dialog(settingsPage_, this);
        result = ExecDialog(dialog);
        settingsPage_ = dialog.ActivePage();
        changed = dialog.SettingsChangedMark();
    }
    if (result == QDialog::Accepted && workflow_->State.Analysed && changed) {
        workflow_->State.Analysed = false;
        UpdateControls();
        beep();
        information(Tr(LangText::SettingsChanged));
    }
    UpdateControls();
}

void TForm1::Aboutprogram1Click() {
    TAboutBox box(this);
    ExecDialog(box);
}

// ---- Comparison views

void TForm1::LB1Click() {
    ShowSelectedContact();
    UpdateControls();
}

void TForm1::ShowSelectedContact() {
    comparison_->ShowSelectedContact();
}

void TForm1::PageControl1Change() {
    UpdateControls();
}

void TForm1::Nextdifference1Click() {
    comparison_->NextDifference();
}

void TForm1::Previousdifference1Click() {
    comparison_->PreviousDifference();
}

// ---- Contact list tools

void TForm1::aSelectAllExecute() {
    if (BeginCommand()) {
        workflow_->SelectAll();
    }
}

void TForm1::aSelectAllDifferentExecute() {
    if (BeginCommand()) {
        workflow_->SelectAllDifferent();
    }
}

void TForm1::aDeselectAllExecute() {
    if (BeginCommand()) {
        workflow_->DeselectAll();
    }
}

void TForm1::aSelectInverseExecute() {
    if (BeginCommand()) {
        workflow_->SelectInverse();
    }
}

void TForm1::aShowHideUncheckedExecute() {
    // The action has already flipped its check mark; a refusal flips it back.
    if (commandDepth_ > 0 || workflow_->State.ViewsBusy) {
        const QSignalBlocker block(aShowHideUnchecked);
        aShowHideUnchecked->setChecked(!aShowHideUnchecked->isChecked());
        beep();
        return;
    }
    workflow_->State.ShowUnchecked = aShowHideUnchecked->isChecked();
    RebuildContactList();
    UpdateControls();
}

void TForm1::aCopyUINExecute() {
    const int e = CurrentEntry();
    if (e < 0 || !LB1->selectionModel()->isSelected(LB1->currentIndex())) {
        beep();
        return;
    }
    QApplication::clipboard()->setText(QString::fromStdString(workflow_->HeadList[e].UIN));
}

void TForm1::aCopyNickExecute() {
    const int e = CurrentEntry();
    if (e < 0 || !LB1->selectionModel()->isSelected(LB1->currentIndex())) {
        beep();
        return;
    }
    QApplication::clipboard()->setText(QString::fromStdString(workflow_->HeadList[e].Nick));
}

void TForm1::aLookForSpamExecute() {
    if (!BeginCommand()) {
        return;
    }
    TCommandScope scope(*this);
    workflow_->LookForSpam();
}

void TForm1::aFullTextSearchExecute() {
    if (!BeginCommand() || IsBusy() || fullTextMode_) {
        return;
    }
    if (!workflow_->ConfirmClearSelection()) {
        return;
    }
    findDialog_->show();
    findDialog_->raise();
    findDialog_->activateWindow();
    fullTextMode_ = true;
}

void TForm1::aDeleteSrcFilesExecute() {
    if (!BeginCommand()) {
        return;
    }
    TCommandScope scope(*this);
    std::vector<int> checked;
    for (const TContactLine& line : contactModel_->Lines()) {
        if (line.HasCheckBox && line.Checked) {
            checked.push_back(line.Index);
        }
    }
    const std::vector<int> removed = workflow_->DeleteSrcFiles(checked);
    for (const int entry : removed) {
        const int row = contactModel_->RowOf(entry);
        if (row >= 0) {
            rebuilding_ = true;
            contactModel_->RemoveLine(row);
            rebuilding_ = false;
        }
    }
    UpdateControls();
}

// ---- Find

void TForm1::LBEnter(QWidget* now) {
    for (QWidget* w = now; w; w = w->parentWidget()) {
        if (w == LB1 || w == LBS || w == LBD || w == LBM) {
            findTarget_ = w;
            return;
        }
        if (w == PageControl1) {
            // The tab bar itself: the view of the active page.
            if (now == PageControl1 || now == PageControl1->tabBar()) {
                const int page = PageControl1->currentIndex();
                findTarget_ = page == kPageSource        ? static_cast<QWidget*>(LBS)
                              : page == kPageDestination ? static_cast<QWidget*>(LBD)
                                                         : static_cast<QWidget*>(LBM);
            }
            return;
        }
        if (w->isWindow()) {
            return;
        }
    }
}

void TForm1::aFindExecute() {
    if (IsBusy()) {
        return;
    }
    findDialog_->show();
    findDialog_->raise();
    findDialog_->activateWindow();
}

void TForm1::FindDialog1Find() {
    if (IsBusy()) {
        return;
    }
    const QString text = findDialog_->FindText();
    const TSearchOptions options = findDialog_->Options();
    if (fullTextMode_) {
        if (!BeginCommand()) {
            return;
        }
        {
            TCommandScope scope(*this);
            workflow_->FullTextSearch([&](const QString& all) {
                return SearchBuffer(all, 0, 0, text,
                                    TSearchOptions{options.MatchCase, options.WholeWord, true}) >=
                       0;
            });
        }
        findDialog_->hide();
        fullTextMode_ = false;
        UpdateControls();
        return;
    }
    if (findTarget_ == LBS || findTarget_ == LBD) {
        SearchTextView(static_cast<TMessageView*>(findTarget_), text, options);
    } else if (findTarget_ == LB1 || findTarget_ == LBM) {
        SearchListView(static_cast<QListView*>(findTarget_), text, options);
    }
}

void TForm1::aFindForwardExecute() {
    if (IsBusy()) {
        return;
    }
    findDialog_->SetDown(true);
    FindDialog1Find();
}

void TForm1::aFindBackExecute() {
    if (IsBusy()) {
        return;
    }
    findDialog_->SetDown(false);
    FindDialog1Find();
}

void TForm1::FindDialog1Close() {
    fullTextMode_ = false;
}

void TForm1::SearchTextView(TMessageView* view, const QString& find,
                            const TSearchOptions& options) {
    const auto line = [view](qsizetype i) { return view->Line(i); };
    const auto match = SearchLines(view->LineCount(), line, view->SelectionStart(),
                                   view->SelectionEnd(), find, options);
    if (!match) {
        beep();
        return;
    }
    view->SetSelection(*match, TTextPos{match->Line, match->Column + find.size()});
}

void TForm1::SearchListView(QListView* view, const QString& find, const TSearchOptions& options) {
    QAbstractItemModel* model = view->model();
    const int count = model->rowCount();
    if (count == 0) {
        return;
    }
    if (!view->currentIndex().isValid() ||
        !view->selectionModel()->isSelected(view->currentIndex())) {
        view->setCurrentIndex(model->index(0, 0));
    }
    const auto line = [model](qsizetype i) {
        return model->index(static_cast<int>(i), 0).data().toString();
    };
    const qsizetype row = SearchList(count, line, view->currentIndex().row(), find, options);
    if (row < 0) {
        beep();
        return;
    }
    view->setCurrentIndex(model->index(static_cast<int>(row), 0));
    view->scrollTo(view->currentIndex());
}

// ---- Hints

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        // The long hint of whatever is under the pointer goes to status panel 1. Items of
        // a list have no hint of their own: the list's hint stands for them.
        QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (tip.isEmpty()) {
            for (QObject* o = watched; o; o = o->parent()) {
                auto* w = qobject_cast<QWidget*>(o);
                if (!w || w->isWindow()) {
                    break;
                }
                if (qobject_cast<QAbstractItemView*>(w)) {
                    tip = w->statusTip();
                    break;
                }
            }
        }
        StatusPanel1->setText(tip);
        return true;
    }
    if (watched == LB1->viewport() && event->type() == QEvent::MouseButtonPress) {
        pressedRow_ = LB1->currentIndex().isValid() ? LB1->currentIndex().row() : -1;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace vimosync
