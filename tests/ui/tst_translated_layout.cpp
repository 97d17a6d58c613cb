// The window and every dialog in Russian: no control's text is cut off by its control, and
// no English word is left outside names and file formats.

#include "common/HistoryFixtures.h"
#include "common/ScriptedUi.h"
#include "config/Settings.h"
#include "config/Setup.h"
#include "config/UnitVerDialog.h"
#include "support/LangText.h"
#include "support/Translation.h"
#include "ui/FindDialog.h"
#include "ui/Main.h"
#include "ui/UnitAbout.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

using namespace vimosync;

namespace {

QString WithoutMnemonic(QString text) {
    static const QRegularExpression mark(QStringLiteral("&(?!&)"));
    return text.remove(mark).replace(QLatin1String("&&"), QLatin1String("&"));
}

// Latin words a Russian user may see: names, the labels of the file formats ("ZMTv2
// (Varyon,encrypted)", "TXT (Oskel,plain)"), units and the like.
bool AllowedLatin(const QString& word) {
    static const QRegularExpression allowed(QStringLiteral(
        "^(Vimo|PDA|Oskel|Varyon|ZMT|ZMTv|TXT|UIN|GMT|English|ahf|zmt|txt|Archive|plain|"
        "encrypted|KB|Qt|vimosync|src|dst|CR|LF)$"));
    return allowed.match(word).hasMatch();
}

// The texts of the widget and its children that are cut off by their control, and the
// English words among all its texts.
void Inspect(QWidget* top, QStringList& cut, QStringList& english, const QString& where) {
    static const QRegularExpression latinWord(QStringLiteral("[A-Za-z]{2,}"));
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    const auto look = [&](QString text, const QObject* owner) {
        text.remove(tag); // the markup of a rich text, not shown
        auto it = latinWord.globalMatch(WithoutMnemonic(text));
        while (it.hasNext()) {
            const QString w = it.next().captured();
            if (!AllowedLatin(w)) {
                english << QStringLiteral("%1 %2: \"%3\" in \"%4\"")
                               .arg(where, owner->objectName(), w, text);
            }
        }
    };
    const auto tooNarrow = [&](const QWidget* w, const QString& text, int need, int have) {
        if (need > have) {
            cut << QStringLiteral("%1 %2 (%3): \"%4\" needs %5 px, has %6")
                       .arg(where, w->objectName(), QLatin1String(w->metaObject()->className()),
                            text)
                       .arg(need)
                       .arg(have);
        }
    };
    QList<QWidget*> widgets = top->findChildren<QWidget*>();
    widgets.prepend(top);
    look(top->windowTitle(), top);
    for (QWidget* w : widgets) {
        if (!w->isVisibleTo(top) && w != top) {
            continue;
        }
        const QFontMetrics fm = w->fontMetrics();
        if (!w->toolTip().isEmpty()) {
            look(w->toolTip(), w);
        }
        if (auto* l = qobject_cast<QLabel*>(w)) {
            if (l->text().isEmpty() || !l->pixmap().isNull()) {
                continue;
            }
            look(l->text(), l);
            if (l->wordWrap() || l->textFormat() == Qt::RichText ||
                (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(l->text()))) {
                continue;
            }
            for (const QString& line : WithoutMnemonic(l->text()).split(QLatin1Char('\n'))) {
                tooNarrow(l, line, fm.horizontalAdvance(line), l->contentsRect().width());
            }
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->text().isEmpty()) {
                continue;
            }
            look(b->text(), b);
            tooNarrow(b, b->text(), b->sizeHint().width(), b->width());
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            look(g->title(), g);
            tooNarrow(g, g->title(), fm.horizontalAdvance(WithoutMnemonic(g->title())) + 12,
                      g->width());
        } else if (auto* t = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < t->count(); ++i) {
                look(t->tabText(i), t);
                tooNarrow(t, t->tabText(i), fm.horizontalAdvance(WithoutMnemonic(t->tabText(i))),
                          t->tabRect(i).width());
            }
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            if (c->isEditable()) {
                continue;
            }
            for (int i = 0; i < c->count(); ++i) {
                look(c->itemText(i), c);
                // The text area of a combo box: its width less the arrow and the frame.
                tooNarrow(c, c->itemText(i), fm.horizontalAdvance(c->itemText(i)) + 28, c->width());
            }
        } else if (auto* m = qobject_cast<QMenu*>(w)) {
            for (QAction* a : m->actions()) {
                look(a->text(), m);
                look(a->toolTip(), m);
                look(a->statusTip(), m);
            }
        }
    }
}

} // namespace

class TestTranslatedLayout : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp_;
    test::ScriptedUi ui_;
    QStringList cut_;
    QStringList english_;

    void check(QWidget* w, const QString& where) {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QApplication::processEvents();
        Inspect(w, cut_, english_, where);
    }

private slots:
    void initTestCase() {
        QVERIFY(AvailableLanguages().contains(QStringLiteral("ru")));
        QCOMPARE(InstallTranslations(QStringLiteral("ru")), QStringLiteral("ru"));
        QCOMPARE(Tr(LangText::LanguageLabel), QStringLiteral("Язык:"));
    }

    void init() {
        Setup() = TSettings{};
        QFile::remove(SettingsFilePath());
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        cut_.clear();
        english_.clear();
    }

    // The main window after an analysis (a contact with differences on each page), the
    // settings dialog on each page, the file version dialogs, the find dialog and the
    // about box.
    void everyWindowFitsItsTexts() {
        const QString src = tmp_->filePath(QStringLiteral("src"));
        const QString dst = tmp_->filePath(QStringLiteral("dst"));
        QVERIFY(QDir().mkpath(src) && QDir().mkpath(dst));
        test::WriteHistory(src + QStringLiteral("/1_10.zmt"), 1, "10", "Zed",
                           {{1, false, "hello"}, {2, true, "hi"}, {3, false, "bye"}});
        test::WriteHistory(dst + QStringLiteral("/10.txt"), 0, "10", "Zed", {{1, false, "hello"}});
        TForm1 form;
        form.SetDialogs(&ui_);
        ui_.DefaultConfirm = true;
        ui_.FileVersions = {0, 0};
        form.SrcPathCombo->setEditText(src);
        form.DstPathCombo->setEditText(dst);
        check(&form, QStringLiteral("main window"));
        form.aAnalyseExecute();
        for (int page = 0; page < form.PageControl1->count(); ++page) {
            form.PageControl1->setCurrentIndex(page);
            check(&form, QStringLiteral("main window, page %1").arg(page));
        }
        for (QMenu* m : form.menuBar()->findChildren<QMenu*>()) {
            Inspect(m, cut_, english_, QStringLiteral("menu"));
        }
        for (int page = 0; page < 4; ++page) {
            TSettingsDialog dialog(page, &form);
            check(&dialog, QStringLiteral("settings, page %1").arg(page));
        }
        {
            TFileVerDialog dialog(1, &form);
            check(&dialog, QStringLiteral("file version dialog"));
        }
        TFindDialog find(&form);
        check(&find, QStringLiteral("find dialog"));
        TAboutBox about(&form);
        check(&about, QStringLiteral("about box"));
        QVERIFY2(cut_.isEmpty(), qPrintable(cut_.join(QLatin1Char('\n'))));
        QVERIFY2(english_.isEmpty(), qPrintable(english_.join(QLatin1Char('\n'))));
    }

    // Qt's own texts, the standard buttons of message boxes, where Qt's translations are
    // installed.
    void standardButtons() {
        if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                               QStringLiteral("/qtbase_ru.qm"))) {
            QSKIP("Qt's Russian translations are not installed (qt6-translations-l10n)");
        }
        QMessageBox box(QMessageBox::Question, QStringLiteral("x"), QStringLiteral("x"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        for (QAbstractButton* b : box.buttons()) {
            QVERIFY2(!WithoutMnemonic(b->text()).contains(QRegularExpression("[A-Za-z]")),
                     qPrintable(b->text()));
        }
    }
};

QTEST_MAIN(TestTranslatedLayout)
#include "tst_translated_layout.moc"
