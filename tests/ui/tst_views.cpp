// The item models, delegates and the text view behind the comparison views and the
// contact list, and the file description of the Merged page.

#include "config/Setup.h"
#include "history/Model.h"
#include "history/TimeStamp.h"
#include "merge/MergedLines.h"
#include "ui/Comparison.h"
#include "ui/MessageView.h"
#include "ui/Views.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>

using namespace vimosync;

namespace {

TZMTMess Msg(double time, bool out, const char* text, bool differs = false) {
    TZMTMess m;
    m.Time = time;
    m.Outgoing = out;
    m.Text = HText(text);
    m.Differs = differs;
    return m;
}

const double kT0 = EncodeDateTime(QDate(2006, 3, 7), QTime(14, 5, 9));

std::shared_ptr<TZMTMessList> List(std::initializer_list<TZMTMess> items) {
    auto list = std::make_shared<TZMTMessList>();
    list->Items.assign(items);
    return list;
}

// Exposes the delegate's style option of one index.
class ContactDelegateProbe : public TContactDelegate {
public:
    using TContactDelegate::TContactDelegate;
    QStyleOptionViewItem Option(const QModelIndex& index) const {
        QStyleOptionViewItem o;
        initStyleOption(&o, index);
        return o;
    }
};

} // namespace

class TestViews : public QObject {
    Q_OBJECT

private slots:
    // The difference colours stay readable on the selection and on dark themes, and are
    // left as they are where they already stand out.
    void differenceColoursStayReadable() {
        const QColor white(255, 255, 255);
        QCOMPARE(ReadableOn(kMarkedColor, white), kMarkedColor);
        QCOMPARE(ReadableOn(kNoDestinationColor, white), kNoDestinationColor);
        const QList<QColor> backgrounds{QColor(48, 140, 198), QColor(0, 0, 128),
                                        QColor(61, 174, 233), QColor(35, 35, 35),
                                        QColor(0, 0, 0),      QColor(128, 128, 128)};
        for (const QColor& wanted : {kMarkedColor, kNoDestinationColor}) {
            for (const QColor& bg : backgrounds) {
                const QColor c = ReadableOn(wanted, bg);
                QVERIFY2(ContrastRatio(c, bg) >= 3.0 - 1e-9,
                         qPrintable(c.name() + QStringLiteral(" on ") + bg.name()));
                // Still a red where it is a colour at all.
                QVERIFY(c.red() >= c.green() && c.red() >= c.blue());
            }
        }

        // As drawn: a marked line of the merged view, selected on a blue selection.
        auto list = std::make_shared<TZMTMessList>();
        TZMTMess& m = NewMessage(*list);
        m.Time = 38783.5;
        m.Text = "a message only the source has";
        m.Differs = true;
        TMergedModel model;
        model.SetList(list, true, TSettings{}.DTFormatString);
        QVERIFY(model.IsMarked(0));
        TMergedDelegate delegate;
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 200, 20);
        option.state = QStyle::State_Selected | QStyle::State_Enabled;
        option.palette.setColor(QPalette::Active, QPalette::Highlight, QColor(48, 140, 198));
        option.palette.setColor(QPalette::Active, QPalette::HighlightedText, Qt::white);
        QImage image(200, 20, QImage::Format_RGB32);
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(0));
        painter.end();
        double best = 1;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height(); ++y) {
                best = std::max(best, ContrastRatio(image.pixelColor(x, y), QColor(48, 140, 198)));
            }
        }
        QVERIFY2(best >= 3.0, qPrintable(QString::number(best)));
    }

    void init() { Setup() = TSettings{}; }

    void mergedModel();
    void mergedModelChangesPassTheTester();
    void mergedDelegateRedAlsoWhenSelected();
    void contactModel();
    void contactDelegateLook_data();
    void contactDelegateLook();
    void historyLineCounts_data();
    void historyLineCounts();
    void historyLines();
    void historyLinesIndexAgreesWithEveryEntry_data();
    void historyLinesIndexAgreesWithEveryEntry();
    void messageViewSelection();
    void describeHistoryFile_data();
    void describeHistoryFile();
};

void TestViews::mergedModel() {
    TMergedModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto list = List({Msg(kT0, false, "first"), Msg(kT0 + 1, true, "second\r\nline", true)});
    model.SetList(list, true, Setup().DTFormatString);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0).data().toString(), QStringLiteral("1 <<<<  14:05:09 7/03/2006 first"));
    QCOMPARE(model.index(1).data().toString(),
             QStringLiteral("+ 2 >>>>  14:05:09 8/03/2006 second\r\nline"));
    QVERIFY(!model.IsMarked(0));
    QVERIFY(model.IsMarked(1));
    QCOMPARE(model.index(1).data(MarkedRole).toBool(), true);
    QCOMPARE(model.index(1).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));

    // Without numbers; and only the first messages of a list that was cut short.
    model.SetList(list, false, Setup().DTFormatString, 1);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0).data().toString(), QStringLiteral("<<<<  14:05:09 7/03/2006 first"));
    model.SetList(list, false, Setup().DTFormatString);
    QCOMPARE(model.index(1).data().toString(),
             QStringLiteral("+ >>>>  14:05:09 8/03/2006 second\r\nline"));

    // The width: the longest text of the messages shown, and 40 for number and time;
    // a measure given by the caller is taken as it is; very long texts are capped.
    QCOMPARE(model.WidestLine(), 12 + 40);
    QCOMPARE(model.index(0).data(WidestLineRole).toInt(), 12 + 40);
    model.SetList(list, false, Setup().DTFormatString, 1);
    QCOMPARE(model.WidestLine(), 5 + 40);
    model.SetList(list, false, Setup().DTFormatString, -1, 7);
    QCOMPARE(model.WidestLine(), 7 + 40);
    QCOMPARE(TMergedModel::LongestText(*list, 0, 2), qsizetype(12));
    QCOMPARE(TMergedModel::LongestText(*list, 0, 1), qsizetype(5));
    QCOMPARE(TMergedModel::LongestText(*list, 1, 99), qsizetype(12));
    QCOMPARE(TMergedModel::LongestText(*list, 2, 2), qsizetype(0));
    const std::string huge(5000, 'h');
    model.SetList(List({Msg(kT0, false, huge.c_str())}), false, Setup().DTFormatString);
    QCOMPARE(model.WidestLine(), 2000);

    model.SetLines({QStringLiteral("< Invalid source file! >")});
    QCOMPARE(model.rowCount(), 1);
    QVERIFY(!model.IsMarked(0));
    model.Clear();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.IsMarked(0));
}

void TestViews::mergedModelChangesPassTheTester() {
    TMergedModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QListView view;
    view.setModel(&model);
    view.setUniformItemSizes(true);
    auto big = std::make_shared<TZMTMessList>();
    for (int i = 0; i < 100000; ++i) {
        big->Items.push_back(Msg(kT0 + i / 86400.0, i % 2 == 0, "x", i % 7 == 0));
    }
    model.SetList(big, true, Setup().DTFormatString);
    view.setCurrentIndex(model.index(99999));
    QCOMPARE(view.currentIndex().row(), 99999);
    // Lines wider than the list scroll sideways.
    view.setItemDelegate(new TMergedDelegate(&view));
    view.resize(200, 100);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(view.horizontalScrollBar()->maximum() > 0);
    model.SetLines({"a", "b"});
    QVERIFY(!view.currentIndex().isValid() || view.currentIndex().row() < 2);
    model.Clear();
}

// A marked item keeps its red text on the selection's background, made light enough to
// read there.
void TestViews::mergedDelegateRedAlsoWhenSelected() {
    TMergedModel model;
    model.SetList(List({Msg(kT0, false, "WWWWWWWW", true), Msg(kT0, false, "WWWWWWWW", false)}),
                  true, Setup().DTFormatString);
    TMergedDelegate delegate;
    for (const bool selected : {false, true}) {
        for (int row = 0; row < 2; ++row) {
            QImage image(400, 20, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter p(&image);
            QStyleOptionViewItem option;
            option.rect = image.rect();
            option.palette = QApplication::palette();
            option.font = QApplication::font();
            option.state =
                QStyle::State_Enabled | (selected ? QStyle::State_Selected : QStyle::State_None);
            delegate.paint(&p, option, model.index(row));
            p.end();
            const QColor highlight = option.palette.color(QPalette::Active, QPalette::Highlight);
            const QColor expected =
                selected ? ReadableOn(QColor(255, 0, 0), highlight) : QColor(255, 0, 0);
            QVERIFY(expected.red() > expected.green() && expected.red() > expected.blue());
            int red = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    if (std::abs(c.red() - expected.red()) <= 1 &&
                        std::abs(c.green() - expected.green()) <= 1 &&
                        std::abs(c.blue() - expected.blue()) <= 1) {
                        ++red;
                    }
                }
            }
            QCOMPARE(red > 0, row == 0);
            if (selected) {
                QCOMPARE(image.pixelColor(399, 10),
                         option.palette.color(QPalette::Active, QPalette::Highlight));
            }
        }
    }
}

void TestViews::contactModel() {
    TZMTHeadList heads;
    for (int i = 0; i < 3; ++i) {
        TZMTHead& e = NewEntry(heads);
        e.UIN = std::to_string(100 + i);
        e.Valid = i != 2;
        e.Checked = i == 0;
        e.SrcFile = QStringLiteral("f%1.txt").arg(i);
    }
    TContactModel model(heads);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy changed(&model, &TContactModel::checkChanged);
    model.SetLines({{"a (100) 0 0", true, true, 0},
                    {"b (101) 0 0", true, false, 1},
                    {"f2.txt", false, false, 2}});
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(model.index(1).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(!model.index(2).data(Qt::CheckStateRole).isValid()); // a header line
    QVERIFY(model.flags(model.index(1)) & Qt::ItemIsUserCheckable);
    QVERIFY(!(model.flags(model.index(2)) & Qt::ItemIsUserCheckable));

    // A check box click reaches the entry.
    QVERIFY(model.setData(model.index(1), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(heads[1].Checked);
    QCOMPARE(changed.size(), 1);
    QVERIFY(!model.setData(model.index(2), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(!heads[2].Checked);

    QCOMPARE(model.EntryOf(2), 2);
    QCOMPARE(model.EntryOf(3), -1);
    QCOMPARE(model.RowOf(1), 1);
    model.RemoveLine(0);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.RowOf(0), -1);
    QCOMPARE(heads.Count(), 3); // the entry stays
    model.RemoveLine(7);
    QCOMPARE(model.rowCount(), 2);
}

void TestViews::contactDelegateLook_data() {
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("marked");
    QTest::addColumn<QString>("dstFile");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("darkRed");
    QTest::newRow("differences, with destination") << true << true << "d.txt" << true << false;
    QTest::newRow("no differences") << true << false << "d.txt" << false << false;
    QTest::newRow("no destination, differences") << true << true << "" << true << true;
    QTest::newRow("no destination, no differences") << true << false << "" << false << true;
    QTest::newRow("invalid: regular, list colours") << false << true << "" << false << false;
}

void TestViews::contactDelegateLook() {
    QFETCH(bool, valid);
    QFETCH(bool, marked);
    QFETCH(QString, dstFile);
    QFETCH(bool, bold);
    QFETCH(bool, darkRed);
    TZMTHeadList heads;
    TZMTHead& e = NewEntry(heads);
    e.Valid = valid;
    e.Marked = marked;
    e.DstFile = dstFile;
    TContactModel model(heads);
    model.SetLines({{"line", valid, false, 0}});
    ContactDelegateProbe delegate;
    const QStyleOptionViewItem o = delegate.Option(model.index(0));
    QCOMPARE(o.font.bold(), bold);
    const QColor darkRedColor(128, 0, 0);
    // Dark red on the list's background; on the selection as light as it needs to be read.
    const QColor onSelection =
        ReadableOn(darkRedColor, o.palette.color(QPalette::Active, QPalette::Highlight));
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        QCOMPARE(o.palette.color(group, QPalette::Text) == darkRedColor, darkRed);
        QCOMPARE(o.palette.color(group, QPalette::HighlightedText) == onSelection, darkRed);
    }
}

void TestViews::historyLineCounts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::newRow("one line") << "hello" << 3;
    QTest::newRow("empty text") << "" << 3;
    QTest::newRow("CR LF") << "a\r\nb" << 4;
    QTest::newRow("lone LF and lone CR") << "a\nb\rc" << 5;
    QTest::newRow("trailing CR LF") << "a\r\n" << 4;
    QTest::newRow("CR CR LF") << "a\r\r\nb" << 5;
}

// The count made from the bytes must match the lines the view shows for the entry.
void TestViews::historyLineCounts() {
    QFETCH(QString, text);
    QFETCH(int, lines);
    const QByteArray utf8 = text.toUtf8();
    auto list = List({Msg(kT0, true, utf8.constData()), Msg(kT0, false, "next")});
    QCOMPARE(THistoryLines::LinesOf((*list)[0]), qsizetype(lines));
    THistoryLines h(list, Setup().DTFormatString);
    QVERIFY(h.AppendNext());
    QVERIFY(h.AppendNext());
    QVERIFY(!h.AppendNext());
    QCOMPARE(h.LineCount(), qsizetype(lines + 3));
    QCOMPARE(h.Line(0), QStringLiteral(">>>>  14:05:09 7/03/2006"));
    QCOMPARE(h.Line(lines - 1), QString()); // the empty line after the entry
    QCOMPARE(h.Line(lines), QStringLiteral("<<<<  14:05:09 7/03/2006"));
    QCOMPARE(h.Line(lines + 1), QStringLiteral(" next"));
}

void TestViews::historyLines() {
    auto list = List({Msg(kT0, false, "one\r\ntwo"), Msg(kT0 + 1, true, "three")});
    THistoryLines h(list, Setup().DTFormatString);
    QCOMPARE(h.LineCount(), qsizetype(0));
    h.AppendNext();
    QCOMPARE(h.Messages(), 1);
    QStringList shown;
    h.AppendNext();
    for (qsizetype i = 0; i < h.LineCount(); ++i) {
        shown << h.Line(i);
    }
    QCOMPARE(shown, (QStringList{"<<<<  14:05:09 7/03/2006", " one", "two", "",
                                 ">>>>  14:05:09 8/03/2006", " three", ""}));
    QCOMPARE(h.Line(99), QString());
}

void TestViews::historyLinesIndexAgreesWithEveryEntry_data() {
    QTest::addColumn<QString>("pattern"); // per message: s short, l long, e empty text
    QTest::newRow("only short entries") << "sssssssss";
    QTest::newRow("only long entries") << "lllllll";
    QTest::newRow("long first and last") << "lssssslsssl";
    QTest::newRow("long runs between short runs") << "ssslllsslsllllssse";
    QTest::newRow("one long message") << "l";
    QTest::newRow("random") << QString();
}

// Every line of every entry is found where the entries, laid end to end, put it: at
// the edges of long entries, after runs of them, whatever the chunks of the filling.
void TestViews::historyLinesIndexAgreesWithEveryEntry() {
    QFETCH(QString, pattern);
    QRandomGenerator random(7);
    if (pattern.isEmpty()) {
        for (int i = 0; i < 3000; ++i) {
            const quint32 r = random.bounded(10);
            pattern += r < 7 ? u's' : r < 9 ? u'l' : u'e';
        }
    }
    static const char* const kLong[] = {"one\r\ntwo", "a\nb\rc", "trailing\r\n", "x\r\r\ny\r\nz",
                                        "\r\n"};
    auto list = std::make_shared<TZMTMessList>();
    QStringList expected;
    for (int i = 0; i < pattern.size(); ++i) {
        const char* text = pattern[i] == u's'   ? "single line"
                           : pattern[i] == u'e' ? ""
                                                : kLong[random.bounded(int(std::size(kLong)))];
        list->Items.push_back(Msg(kT0 + i, i % 3 == 0, text));
        const QString entry = HistoryEntryText(list->Items.back(), Setup().DTFormatString);
        expected += entry.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    }

    THistoryLines h(list, Setup().DTFormatString);
    int messages = 0;
    for (int chunk : {1, 7, 100, 1000000}) {
        messages += h.Append(chunk);
        QCOMPARE(h.Messages(), std::min(messages, list->Count()));
    }
    QCOMPARE(h.Append(100), 0);
    QVERIFY(!h.AppendNext());
    QCOMPARE(h.LineCount(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(h.Line(i), expected.at(i));
    }
    // Backwards and at random, so that no line comes from the entry looked at before.
    for (qsizetype i = expected.size(); i-- > 0;) {
        QCOMPARE(h.Line(i), expected.at(i));
    }
    for (int k = 0; k < 500; ++k) {
        const qsizetype i = random.bounded(int(expected.size()));
        QCOMPARE(h.Line(i), expected.at(i));
    }
    QCOMPARE(h.Line(-1), QString());
    QCOMPARE(h.Line(expected.size()), QString());
}

void TestViews::messageViewSelection() {
    TMessageView view;
    view.resize(300, 200);
    view.SetLines(std::make_unique<TPlainLines>(QStringList{"alpha beta", "", "gamma"}));
    QCOMPARE(view.LineCount(), qsizetype(3));
    view.SetSelection(TTextPos{0, 6}, TTextPos{2, 3});
    QCOMPARE(view.SelectionStart(), (TTextPos{0, 6}));
    QCOMPARE(view.SelectedText(), QStringLiteral("beta\n\ngam"));
    // Out of range positions are brought into the text.
    view.SetSelection(TTextPos{5, 0}, TTextPos{9, 99});
    QCOMPARE(view.SelectionStart(), (TTextPos{2, 0}));
    QCOMPARE(view.SelectionEnd(), (TTextPos{2, 5}));
    view.selectAll();
    QCOMPARE(view.SelectedText(), QStringLiteral("alpha beta\n\ngamma"));
    // Scrolling the selection into view on a long text.
    QStringList many;
    for (int i = 0; i < 5000; ++i) {
        many << QStringLiteral("line %1").arg(i);
    }
    view.SetLines(std::make_unique<TPlainLines>(many));
    QCOMPARE(view.TopLine(), qsizetype(0));
    view.SetSelection(TTextPos{4000, 0}, TTextPos{4000, 4});
    QVERIFY(view.TopLine() <= 4000 && view.TopLine() > 3900);
    view.Clear();
    QCOMPARE(view.LineCount(), qsizetype(0));
    QCOMPARE(view.SelectedText(), QString());
}

void TestViews::describeHistoryFile_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("defaultVersion");
    QTest::addColumn<QString>("expected");
    QTest::newRow("binary v2") << "/d/Varyon_123.zmt" << 2 << 0
                               << "\"Varyon_123.zmt\" [ZMTv2 (Varyon,encrypted)]";
    QTest::newRow("binary v1") << "/d/1_123.zmt" << 1 << 3 << "\"1_123.zmt\" [ZMTv1 (PDA)]";
    QTest::newRow("plain text") << "/d/123.txt" << 0 << 2 << "\"123.txt\" [TXT (Oskel,plain)]";
    QTest::newRow("text name, binary version")
        << "/d/123.txt" << 2 << 2 << "\"123.txt\" [TXT (Oskel,plain)]";
    QTest::newRow("new file, text") << "" << 0 << 0 << "\"123.txt\" [TXT (Oskel,plain)]";
    QTest::newRow("new file, PDA") << "" << 0 << 1 << "\"1_123.zmt\" [ZMTv1 (PDA)]";
    QTest::newRow("new file, v3") << "" << 0 << 3
                                  << "\"Varyon_123.zmt\" [ZMTv3 (Varyon,encrypted)]";
}

void TestViews::describeHistoryFile() {
    QFETCH(QString, fileName);
    QFETCH(int, version);
    QFETCH(int, defaultVersion);
    QFETCH(QString, expected);
    TZMTMessList list;
    list.UIN = "123";
    list.FileName = fileName;
    list.Version = static_cast<std::uint8_t>(version);
    QCOMPARE(DescribeHistoryFile(list, defaultVersion), expected);
}

QTEST_MAIN(TestViews)
#include "tst_views.moc"
