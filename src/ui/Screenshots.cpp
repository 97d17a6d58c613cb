#include "ui/Screenshots.h"

#include "config/Settings.h"
#include "config/Setup.h"
#include "history/Model.h"
#include "ui/FindDialog.h"
#include "ui/Main.h"
#include "ui/Views.h"

#include <QSplitter>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QListView>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

namespace vimosync {

namespace {

// Answers every question with its default and counts nothing.
class TDefaultAnswers : public IUserInterface {
public:
    void information(const QString&) override {}
    void warning(const QString& text) override {
        std::fprintf(stderr, "warning: %s\n", qPrintable(text));
    }
    bool confirm(const QString&) override { return true; }
    std::optional<int> askFileVersion(int current, bool) override { return current; }
    std::optional<QString> askNick(const QString&, const QString&,
                                   const QString& current) override {
        return current;
    }
    void beep() override {}
    void setBusyCursor(bool) override {}
    void showProgress(const QString&) override {}
};

void Settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

void Save(QWidget* w, const QString& path) {
    Settle(300);
    const QPixmap shot = w->grab();
    if (!shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    } else {
        std::printf("%s\n", qPrintable(path));
    }
}

} // namespace

void StartScreenshotTour(TForm1& form, const QString& outDir, const QString& srcDir,
                         const QString& dstDir) {
    QTimer::singleShot(500, &form, [&form, outDir, srcDir, dstDir] {
        static TDefaultAnswers answers;
        form.SetDialogs(&answers);
        QDir().mkpath(outDir);
        const QDir out(outDir);
        // Larger than the start size, so that the pictures show whole lines.
        form.resize(900, 620);
        form.Splitter1->setSizes({230, 670});
        form.SrcPathCombo->setEditText(srcDir);
        form.DstPathCombo->setEditText(dstDir);
        Save(&form, out.filePath(QStringLiteral("01-start.png")));

        form.aAnalyseExecute();
        // The first contact with differences and a destination file, else the first line.
        int row = 0;
        const auto& lines = form.ContactModel()->Lines();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const TZMTHead& e = form.Workflow().HeadList[lines[i].Index];
            if (e.Valid && e.Marked && !e.DstFile.isEmpty()) {
                row = static_cast<int>(i);
                break;
            }
        }
        if (!lines.empty()) {
            form.LB1->setCurrentIndex(form.ContactModel()->index(row));
        }
        form.PageControl1->setCurrentIndex(2);
        form.Nextdifference1Click();
        Save(&form, out.filePath(QStringLiteral("02-merged.png")));
        form.PageControl1->setCurrentIndex(0);
        Save(&form, out.filePath(QStringLiteral("03-source.png")));
        form.PageControl1->setCurrentIndex(1);
        Save(&form, out.filePath(QStringLiteral("04-destination.png")));
        form.PageControl1->setCurrentIndex(2);

        for (int page = 0; page < 4; ++page) {
            TSettingsDialog dialog(page, &form);
            dialog.show();
            Save(&dialog, out.filePath(QStringLiteral("05-settings-%1.png").arg(page)));
            dialog.reject();
        }
        form.FindDialog1()->SetFindText(QStringLiteral("hello"));
        form.aFindExecute();
        Save(form.FindDialog1(), out.filePath(QStringLiteral("06-find.png")));
        form.FindDialog1()->hide();

        // Both ways: the counts of each side in the list, and a contact whose source lacks
        // messages, drawn in their own colour in the Merged view.
        const int direction = Setup().SyncDirection;
        Setup().SyncDirection = 1;
        form.aAnalyseExecute();
        form.Splitter1->setSizes({320, 580}); // room for the counts of both sides
        int best = -1;
        const auto& both = form.ContactModel()->Lines();
        for (std::size_t i = 0; i < both.size(); ++i) {
            const TZMTHead& e = form.Workflow().HeadList[both[i].Index];
            if (e.Valid && e.BackHasDiff && (best < 0 || e.HasDiff)) {
                best = static_cast<int>(i);
                if (e.HasDiff) {
                    break;
                }
            }
        }
        if (best >= 0) {
            form.LB1->setCurrentIndex(form.ContactModel()->index(best));
        }
        form.PageControl1->setCurrentIndex(2);
        form.Nextdifference1Click();
        Save(&form, out.filePath(QStringLiteral("07-both-ways.png")));
        Setup().SyncDirection = direction;
        form.close();
        QApplication::quit();
    });
}

} // namespace vimosync
