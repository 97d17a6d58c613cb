#pragma once

// The main window. Creating it loads the settings and opens the debug log when asked
// for; closing it saves the settings and closes the log.

#include <QMainWindow>
#include <QString>

class QCloseEvent;

namespace vimosync {

// "v", the four numbers of the program's version joined by ".", and a space.
QString VersionText();

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormClose();
};

} // namespace vimosync
