#pragma once

// The question which format new destination files get: one radio item per format
// version, opened on the current default version.

#include <QDialog>

class QButtonGroup;

namespace vimosync {

class TFileVerDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFileVerDialog(int currentVersion, QWidget* parent = nullptr);

    // The version of the selected radio item (0..3).
    int SelectedVersion() const;
    void SelectVersion(int version);

    // Shows the dialog modally: the chosen version on OK, -1 on Cancel.
    static int Ask(int currentVersion, QWidget* parent, bool forSource = false);

private:
    QButtonGroup* group_;
};

} // namespace vimosync
