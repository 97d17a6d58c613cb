// The main window's comparison views and the find in them.

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
        SetFullTextMode(false);
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
    SetFullTextMode(false);
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

} // namespace vimosync
