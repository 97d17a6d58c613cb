// The main window: its creation and closing, the user interface the workflow talks to, and the
// state of its controls.

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
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace vimosync {

namespace {

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

std::optional<int> TQtDialogs::askFileVersion(int current, bool forSource) {
    const int v = TFileVerDialog::Ask(current, owner_, forSource);
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
    // The boxes lose the focus as they go and would report it to a workflow that is gone.
    for (QComboBox* box : {SrcPathCombo, DstPathCombo}) {
        box->blockSignals(true);
        box->lineEdit()->blockSignals(true);
    }
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

    LoadSettings(SettingsFilePath());
    // Every command takes the settings in force when it starts.
    workflow_->OptionsSource = [] { return WorkflowOptions(Setup()); };
    workflow_->RefreshOptions();
    // The log follows the setting read now; a later change counts from the next start.
    if (Setup().UseLog) {
        OpenLog();
    }

    RestoreWindowState();

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

// ---- Size, place and page between runs

void TForm1::RestoreWindowState() {
    const TSettings& s = Setup();
    // The first start: wide enough for a contact line such as "night_owl (111111) 4 12"
    // beside the pages.
    const QFontMetrics metrics(LB1->font());
    const int listWidth = std::max(
        185, metrics.horizontalAdvance(QStringLiteral("night_owl_long (1234567890) 999 99999")) +
                 4 * metrics.averageCharWidth() + 24);
    if (s.WindowGeometry.isEmpty() ||
        !restoreGeometry(QByteArray::fromBase64(s.WindowGeometry.toLatin1()))) {
        resize(std::max(543, listWidth + 480), 480);
    }
    if (s.SplitterSizes.size() == 2 && s.SplitterSizes[0] > 0) {
        Splitter1->setSizes(s.SplitterSizes);
    } else {
        Splitter1->setSizes({listWidth, std::max(200, width() - listWidth)});
    }
    if (s.LastPage >= 0 && s.LastPage < PageControl1->count()) {
        PageControl1->setCurrentIndex(s.LastPage);
    }
}

void TForm1::KeepWindowState() {
    TSettings& s = Setup();
    s.WindowGeometry = QString::fromLatin1(saveGeometry().toBase64());
    s.SplitterSizes = Splitter1->sizes();
    s.LastPage = PageControl1->currentIndex();
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
    KeepWindowState();
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

std::optional<int> TForm1::askFileVersion(int current, bool forSource) {
    return dialogs_->askFileVersion(current, forSource);
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

void TForm1::showCount(int done, int total) {
    dialogs_->showCount(done, total);
    if (total <= 0) {
        WorkProgress->hide();
        CancelButton->hide();
        workTimer_.invalidate();
        return;
    }
    if (!workTimer_.isValid()) {
        workTimer_.start();
        WorkProgress->show();
        CancelButton->show();
    }
    WorkProgress->setRange(0, total);
    WorkProgress->setValue(done);
    // The time left as the contacts done so far took it, once there is something to go by.
    const qint64 elapsed = workTimer_.elapsed();
    if (done > 0 && done < total && elapsed >= 1000) {
        const qint64 left = (elapsed * (total - done) / done + 999) / 1000;
        const QString time = left >= 60 ? Format(LangText::MinutesLeft, (left + 59) / 60)
                                        : Format(LangText::SecondsLeft, left);
        WorkProgress->setFormat(Format(LangText::TimeLeft, done, total, time));
    } else {
        WorkProgress->setFormat(Format(LangText::ProgressOf, done, total));
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
    aUndoSync->setEnabled(c.UndoSync);
    aDeleteSrcFiles->setEnabled(c.DeleteSrcFiles);
    aEditNick->setEnabled(c.EditNick);
    aLookForSpam->setEnabled(c.LookForSpam);
    aFullTextSearch->setEnabled(c.FullTextSearch);
    Nextdifference1->setEnabled(c.DiffNavigation);
    Previousdifference1->setEnabled(c.DiffNavigation);
    StatusPanel0->setText(c.StatusNick == QLatin1String(LangText::NickUnset)
                              ? Tr(LangText::NickUnsetShown)
                              : c.StatusNick);
    SetHint(LB1, QLatin1Char('|') + c.ListHint);
    // While the pointer rests on the list the panel shows the hint: keep it current.
    if (!listHint_.isEmpty() && StatusPanel1->text() == listHint_) {
        StatusPanel1->setText(c.ListHint);
    }
    listHint_ = c.ListHint;
    LB1->viewport()->setStatusTip(LB1->statusTip());
}

int TForm1::CurrentEntry() const {
    // A line made current without being selected (by the focus) stands for no contact.
    const QModelIndex current = LB1->currentIndex();
    return current.isValid() && LB1->selectionModel()->isSelected(current)
               ? contactModel_->EntryOf(current.row())
               : -1;
}

void TForm1::RebuildContactList() {
    TContactList list = workflow_->ContactList(CurrentEntry());
    const int selected = list.Selected;
    rebuilding_ = true;
    contactModel_->SetLines(std::move(list.Lines));
    // The selected contact keeps its views; the line it is on now counts as filled.
    filledRow_ = selected;
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

// ---- Hints

// A folder dragged from a file manager onto a directory box: the box takes its path.
bool TForm1::DropFolder(QObject* watched, QEvent* event) {
    QComboBox* box = nullptr;
    for (QComboBox* b : {SrcPathCombo, DstPathCombo}) {
        if (watched == b || watched == b->lineEdit()) {
            box = b;
        }
    }
    const auto type = event->type();
    if (!box || (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)) {
        return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    const QList<QUrl> urls = drop->mimeData()->urls();
    const QString folder =
        urls.size() == 1 && urls.first().isLocalFile() ? urls.first().toLocalFile() : QString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir() || !box->isEnabled()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        box->setEditText(StripTrailingSeparator(QDir::toNativeSeparators(folder)));
    }
    return true;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (DropFolder(watched, event)) {
        return true;
    }
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
        // Only a line whose contact the views already show is filled again by a click.
        const QModelIndex current = LB1->currentIndex();
        pressedRow_ = current.isValid() && current.row() == filledRow_ ? current.row() : -1;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace vimosync
