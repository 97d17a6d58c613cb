#pragma once

// The About box: the program's picture, name and version, and the terms of use.

#include <QDialog>

namespace vimosync {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

public slots:
    void OKButtonClick() { accept(); }
};

} // namespace vimosync
