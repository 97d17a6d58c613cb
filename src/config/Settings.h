#pragma once

// The settings dialog: edits the settings in memory (the store writes them when the
// program ends). OK stores every control and marks the settings as changed when one
// that decides the analysis results changed, so that the window can withdraw them.

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;

namespace vimosync {

class TSpinEdit;

class TSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // Opens on the given page (General 0, Date/Time 1, Spam 2, Merge 3), the controls
    // set from the settings.
    explicit TSettingsDialog(int page, QWidget* parent = nullptr);

    // OK changed UseVaryonArchives, MessMergeMode, MergeIgnoreSpaces or
    // CreateArchivesFolder.
    bool SettingsChangedMark() const { return changed_; }
    // The language was changed: it applies from the next start.
    bool LanguageChangedMark() const { return languageChanged_; }
    // The page to open on next time.
    int ActivePage() const;

    QTabWidget* PageControl() const { return pages_; }

public slots:
    // "Update": re-reads the system time zone, which sets the PDA offset at once.
    void LabelDoUpdateClick();
    // Stores the controls into the settings and closes with OK.
    void ButtonOkClick();
    // The archive size and folder controls follow the archives check box.
    void UseVaryonArchivesCBClick();

private:
    void ShowZone();
    void SelectPdaOffset();

    bool changed_ = false;
    bool languageChanged_ = false;
    QTabWidget* pages_;
    QCheckBox* UseLogCheckBox;
    QCheckBox* ShowMessNumbersCB;
    QCheckBox* BackupToRecycleBinCB;
    QCheckBox* UseVaryonArchivesCB;
    QLabel* NewArchiveSizeLabel;
    TSpinEdit* NewArchiveSizeSE;
    QCheckBox* CreateArchivesFolderCB;
    QLabel* JournalDaysLabel;
    TSpinEdit* JournalDaysSE;
    QLabel* SyncDirectionLabel;
    QComboBox* SyncDirectionCombo; // 0 from the source to the destination, 1 both ways
    QLabel* LanguageLabel;
    QComboBox* LanguageCombo; // item data: the language code, empty for the system's
    QLineEdit* TimeZoneEdit;
    QComboBox* PDAOffsetCombo;
    QLabel* LabelDoUpdate;
    QCheckBox* PermanentPDATimeOffset;
    TSpinEdit* seZmtDateOffset;
    TSpinEdit* seSpamMinMessagesIn;
    TSpinEdit* seSpamMinMessagesOut;
    QButtonGroup* MessMergeModeRG;
    QCheckBox* MergeIgnoreSpacesCB;
    QCheckBox* CorrectCRLFCB;
};

} // namespace vimosync
