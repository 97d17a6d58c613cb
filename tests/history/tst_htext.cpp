#include "history/Model.h"

#include <QtTest>

using namespace vimosync;

// Shared text storage: views stay valid after their owner goes, copies are
// independent, and arena texts never move when later texts are added.
class TestHText : public QObject {
    Q_OBJECT
private slots:
    void slicesOutliveTheirStore() {
        HText a;
        {
            HStore store(std::string("hello world"));
            a = store.slice(6, 5);
        }
        QCOMPARE(a.str(), std::string("world"));
    }

    void assignmentReplacesOnlyTheCopy() {
        TZMTMessList src;
        NewMessage(src).Text = "original";
        TZMTMessList dst;
        AppendCopies(dst, src, true);
        dst[0].Text = "changed";
        QCOMPARE(src[0].Text.str(), std::string("original"));
        QVERIFY(!src[0].Differs);
        QVERIFY(dst[0].Differs);
    }

    void arenaTextsStayPutAcrossChunks() {
        HArena arena(16);
        std::vector<HText> texts;
        for (int i = 0; i < 200; ++i) {
            arena.begin();
            arena.append(std::to_string(i));
            arena.append("-");
            arena.append(std::string(static_cast<std::size_t>(i % 23), 'x'));
            texts.push_back(arena.finish());
        }
        for (int i = 0; i < 200; ++i) {
            QCOMPARE(texts[static_cast<std::size_t>(i)].str(),
                     std::to_string(i) + "-" + std::string(static_cast<std::size_t>(i % 23), 'x'));
        }
        QVERIFY(arena.finish().empty());
    }

    void listOperations() {
        TZMTMessList l;
        for (const char* t : {"a", "b", "c"}) {
            NewMessage(l).Text = t;
        }
        DeleteMessage(l, 0);
        QCOMPARE(l.Count(), 2);
        QCOMPARE(l[0].Text.str(), std::string("b"));
        QCOMPARE(l[1].Text.str(), std::string("c"));
        AppendCopies(l, l, false);
        QCOMPARE(l.Count(), 4);
        QCOMPARE(l[3].Text.str(), std::string("c"));
    }

    void binaryPaths() {
        QVERIFY(IsBinaryPath(QStringLiteral("/h/Varyon_1.ZMT")));
        QVERIFY(IsBinaryPath(QStringLiteral("/h/Archive/Varyon_1_3.ahf")));
        QVERIFY(!IsBinaryPath(QStringLiteral("/h/1.txt")));
        QVERIFY(!IsBinaryPath(QStringLiteral("/h/noext")));
        TZMTMessList l;
        QVERIFY(IsBinaryList(l, 2));
        QVERIFY(!IsBinaryList(l, 0));
        l.FileName = QStringLiteral("x.zmt");
        QVERIFY(IsBinaryList(l, 0));
    }
};

QTEST_GUILESS_MAIN(TestHText)
#include "tst_htext.moc"
