#include "support/TextSearch.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

using namespace vimosync;

class TestTextSearch : public QObject {
    Q_OBJECT

private slots:
    void buffer_data();
    void buffer();
    void list_data();
    void list();
    void linesAgreeWithBuffer();
    void textPositions();
};

void TestTextSearch::buffer_data() {
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("find");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("down");
    QTest::addColumn<int>("expected");

    //                      0123456789012345678
    const QString abc = QStringLiteral("abc xx abc yy abc zz");
    QTest::newRow("down from start") << abc << 0 << 0 << "abc" << false << false << true << 0;
    QTest::newRow("down skips the selection")
        << abc << 0 << 3 << "abc" << false << false << true << 7;
    QTest::newRow("down after the last match")
        << abc << 14 << 3 << "abc" << false << false << true << -1;
    QTest::newRow("up finds the last before the selection")
        << abc << 14 << 3 << "abc" << false << false << false << 7;
    QTest::newRow("up: a match must end before the selection start")
        << abc << 9 << 0 << "abc" << false << false << false << 0;
    QTest::newRow("up from the buffer end")
        << abc << 20 << 0 << "abc" << false << false << false << 14;
    QTest::newRow("up from position 0") << abc << 0 << 3 << "abc" << false << false << false << -1;
    QTest::newRow("no wrap-around down") << abc << 15 << 0 << "abc" << false << false << true << -1;
    QTest::newRow("text fits only at the end")
        << "xxabc" << 0 << 0 << "abc" << false << false << true << 2;
    QTest::newRow("find longer than the buffer")
        << "ab" << 0 << 0 << "abc" << false << false << true << -1;

    QTest::newRow("ignore case: ABC finds abc")
        << "x abc" << 0 << 0 << "ABC" << false << false << true << 2;
    QTest::newRow("match case: ABC misses abc")
        << "x abc" << 0 << 0 << "ABC" << true << false << true << -1;
    QTest::newRow("match case: exact")
        << "x abc ABC" << 0 << 0 << "ABC" << true << false << true << 6;
    QTest::newRow("ignore case, Cyrillic")
        << QStringLiteral("да Привет") << 0 << 0 << QStringLiteral("пРИВЕТ") << false << false
        << true << 3;
    QTest::newRow("ignore case keeps positions after a sharp s")
        << QStringLiteral("straße abc") << 0 << 0 << "ABC" << false << false << true << 7;

    QTest::newRow("whole word: not inside abc")
        << "abc" << 0 << 0 << "ab" << false << true << true << -1;
    QTest::newRow("whole word: not inside cab")
        << "cab" << 0 << 0 << "ab" << false << true << true << -1;
    QTest::newRow("whole word: ab of ab-c")
        << "abc cab ab-c" << 0 << 0 << "ab" << false << true << true << 8;
    QTest::newRow("whole word: at the buffer end")
        << "x ab" << 0 << 0 << "ab" << false << true << true << 2;
    QTest::newRow("whole word: digits belong to words")
        << "ab1 ab" << 0 << 0 << "ab" << false << true << true << 4;
    QTest::newRow("whole word: underscore separates")
        << "x_ab_y" << 0 << 0 << "ab" << false << true << true << 2;
    QTest::newRow("whole word: non-ASCII letters separate")
        << QStringLiteral("жab") << 0 << 0 << "ab" << false << true << true << 1;
    QTest::newRow("whole word upwards")
        << "ab abc ab" << 9 << 0 << "ab" << false << true << false << 7;
    QTest::newRow("whole word hello vs helloworld")
        << "helloworld" << 0 << 0 << "hello" << false << true << true << -1;

    QTest::newRow("empty buffer") << "" << 0 << 0 << "a" << false << false << true << -1;
    QTest::newRow("empty find text") << "abc" << 0 << 0 << "" << false << false << true << -1;
    QTest::newRow("empty find text upwards")
        << "abc" << 3 << 0 << "" << false << false << false << -1;
    QTest::newRow("selection beyond the buffer")
        << "abc" << 10 << 5 << "abc" << false << false << false << 0;
}

void TestTextSearch::buffer() {
    QFETCH(QString, buffer);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, find);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(bool, down);
    QFETCH(int, expected);
    const TSearchOptions opt{matchCase, wholeWord, down};
    QCOMPARE(SearchBuffer(buffer, selStart, selLength, find, opt), qsizetype(expected));
}

void TestTextSearch::list_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("find");
    QTest::addColumn<bool>("down");
    QTest::addColumn<int>("expected");

    const QStringList lines{"alpha", "beta", "gamma", "beta two", "delta"};
    QTest::newRow("down starts at the next line") << lines << 1 << "beta" << true << 3;
    QTest::newRow("down: the selected line itself is skipped")
        << lines << 3 << "beta" << true << -1;
    QTest::newRow("up: nearest earlier line") << lines << 4 << "beta" << false << 3;
    QTest::newRow("up from the last line, text only earlier")
        << lines << 4 << "alpha" << false << 0;
    QTest::newRow("down from the last line, text only earlier")
        << lines << 4 << "alpha" << true << -1;
    QTest::newRow("first line selected: down misses a match in it")
        << lines << 0 << "alpha" << true << -1;
    QTest::newRow("up from the first line") << lines << 0 << "alpha" << false << -1;
    QTest::newRow("no match") << lines << 0 << "zeta" << true << -1;
    QTest::newRow("empty list") << QStringList{} << 0 << "a" << true << -1;
    QTest::newRow("find text with TAB never matches") << lines << 0 << "alpha\tbeta" << true << -1;
}

void TestTextSearch::list() {
    QFETCH(QStringList, lines);
    QFETCH(int, selected);
    QFETCH(QString, find);
    QFETCH(bool, down);
    QFETCH(int, expected);
    const auto line = [&](qsizetype i) { return lines.at(i); };
    QCOMPARE(SearchList(lines.size(), line, selected, find, TSearchOptions{false, false, down}),
             qsizetype(expected));
}

// The line-by-line search must agree with the rule over the joined buffer, for every
// selection and option. Random texts over a small alphabet give many near misses.
void TestTextSearch::linesAgreeWithBuffer() {
    QRandomGenerator rng(20240607);
    const QString alphabet = QStringLiteral("abAB -1");
    for (int round = 0; round < 400; ++round) {
        QStringList lines;
        const int count = 1 + int(rng.bounded(5));
        for (int i = 0; i < count; ++i) {
            QString s;
            const int len = int(rng.bounded(8));
            for (int k = 0; k < len; ++k) {
                s += alphabet[int(rng.bounded(alphabet.size()))];
            }
            lines << s;
        }
        QString find;
        const int flen = 1 + int(rng.bounded(3));
        for (int k = 0; k < flen; ++k) {
            find += alphabet[int(rng.bounded(alphabet.size()))];
        }
        const QString joined = lines.join(u'\n');
        // Map a buffer position to a line position.
        const auto toPos = [&](qsizetype p) {
            qsizetype l = 0;
            while (l < count && p > lines[l].size()) {
                p -= lines[l].size() + 1;
                ++l;
            }
            return TTextPos{l, p};
        };
        const auto line = [&](qsizetype i) { return lines.at(i); };
        for (int opt = 0; opt < 8; ++opt) {
            const TSearchOptions o{(opt & 1) != 0, (opt & 2) != 0, (opt & 4) != 0};
            const qsizetype a = rng.bounded(int(joined.size()) + 1);
            const qsizetype b = a + rng.bounded(int(joined.size() - a) + 1);
            const qsizetype expect = SearchBuffer(joined, a, b - a, find, o);
            const auto got = SearchLines(count, line, toPos(a), toPos(b), find, o);
            QVERIFY2((expect < 0) == !got.has_value(),
                     qPrintable(QStringLiteral("%1 | %2 [%3,%4)").arg(joined, find).arg(a).arg(b)));
            if (got) {
                QCOMPARE(*got, toPos(expect));
            }
        }
    }
}

void TestTextSearch::textPositions() {
    const QStringList lines{"one abc", "", "abc two"};
    const auto line = [&](qsizetype i) { return lines.at(i); };
    // From the end of the buffer upwards, then downwards from a selection's end.
    auto p = SearchLines(3, line, TTextPos{3, 0}, TTextPos{3, 0}, u"abc",
                         TSearchOptions{false, false, false});
    QVERIFY(p);
    QCOMPARE(*p, (TTextPos{2, 0}));
    p = SearchLines(3, line, TTextPos{0, 4}, TTextPos{0, 7}, u"abc", TSearchOptions{});
    QVERIFY(p);
    QCOMPARE(*p, (TTextPos{2, 0}));
    QVERIFY(!SearchLines(0, line, TTextPos{}, TTextPos{}, u"abc", TSearchOptions{}));
}

QTEST_APPLESS_MAIN(TestTextSearch)
#include "tst_textsearch.moc"
