// The main window's commands: the directory boxes, the workflow commands and the contact-list
// tools.

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

void TForm1::aUndoSyncExecute() {
    if (!BeginCommand()) {
        return;
    }
    TCommandScope scope(*this);
    workflow_->UndoSync(workflow_->State.DstPath);
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
    bool language = false;
    {
        TSettingsDialog dialog(settingsPage_, this);
        result = ExecDialog(dialog);
        settingsPage_ = dialog.ActivePage();
        changed = dialog.SettingsChangedMark();
        language = dialog.LanguageChangedMark();
    }
    if (result == QDialog::Accepted && language) {
        information(Tr(LangText::LanguageChanged));
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
    SetFullTextMode(true);
    findDialog_->show();
    findDialog_->raise();
    findDialog_->activateWindow();
}

// The find dialog says in its caption when it searches all source files.
void TForm1::SetFullTextMode(bool on) {
    fullTextMode_ = on;
    findDialog_->setWindowTitle(
        Tr(on ? LangText::FullTextSearchCaption : LangText::FindDialogCaption));
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
    // The workflow takes the lines out of the list (a rebuild) before its message.
    workflow_->DeleteSrcFiles(checked);
    UpdateControls();
}

} // namespace vimosync
