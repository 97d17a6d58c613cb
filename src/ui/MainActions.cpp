// The main window's actions, layout and menus.

#include "ui/Main.h"
#include "ui/MainParts.h"

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
#include <QCompleter>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
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
    make(aUndoSync, "aUndoSync", LangText::UndoSyncCaption, LangText::UndoSyncHint,
         QKeySequence(Qt::CTRL | Qt::Key_Z), "edit-undo", "undo");
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
    connect(aUndoSync, &QAction::triggered, this, Guarded(&TForm1::aUndoSyncExecute));
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
        // Names that differ in letter case are other directories here: neither the
        // completion nor the match on leaving the box may take one for the other.
        combo->completer()->setCaseSensitivity(Qt::CaseSensitive);
        combo->setAcceptDrops(true);
        connect(combo->lineEdit(), &QLineEdit::editingFinished, combo, [combo] {
            const QString text = combo->currentText();
            const QString bare = StripTrailingSeparator(text);
            if (bare != text) {
                combo->setEditText(bare);
            }
        });
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
    // The views show the contact of the selected line. The list makes a line current
    // without selecting it when it gets the focus (after an analysis, say); that fills
    // nothing. A mouse press makes the line current before it selects it, so both
    // changes are followed, and a line is filled once.
    const auto followSelection = [this] {
        const QModelIndex current = LB1->currentIndex();
        if (rebuilding_ || !current.isValid() || !LB1->selectionModel()->isSelected(current) ||
            current.row() == filledRow_) {
            return;
        }
        filledRow_ = current.row();
        Guarded (&TForm1::LB1Click)();
    };
    connect(LB1->selectionModel(), &QItemSelectionModel::currentChanged, this, followSelection);
    connect(LB1->selectionModel(), &QItemSelectionModel::selectionChanged, this, followSelection);
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
    // Long work (analysis, synchronization): the contacts done, the time left, Cancel.
    WorkProgress = new QProgressBar;
    WorkProgress->setObjectName(QStringLiteral("WorkProgress"));
    WorkProgress->setMaximumWidth(260);
    WorkProgress->setMinimumWidth(180);
    WorkProgress->hide();
    CancelButton = new QToolButton;
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setText(Tr(LangText::CancelCaption));
    CancelButton->setToolTip(Tr(LangText::CancelHint));
    CancelButton->setShortcut(QKeySequence(Qt::Key_Escape));
    CancelButton->hide();
    connect(CancelButton, &QToolButton::clicked, this, [this] { workflow_->RequestCancel(); });
    statusBar()->addPermanentWidget(WorkProgress);
    statusBar()->addPermanentWidget(CancelButton);
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
    file->addActions({aAnalyse, aEditNick, aSync, aUndoSync, aResetAll});
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

} // namespace vimosync
