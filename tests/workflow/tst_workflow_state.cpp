// The window state as plain data: enabled controls, the contact list lines and the
// recent-directory lists.

#include "config/Setup.h"
#include "workflow/Folders.h"
#include "workflow/Workflow.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vimosync;

namespace {

TZMTHead Entry(const char* uin, const char* nick, bool valid, bool marked, bool checked) {
    TZMTHead e;
    e.UIN = uin;
    e.Nick = nick;
    e.Valid = valid;
    e.Marked = marked;
    e.Checked = checked;
    e.SrcFile = QStringLiteral("%1.zmt").arg(QLatin1String(uin));
    e.DiffCount = 4;
    e.SrcCount = 212;
    return e;
}

TZMTHeadList Heads() {
    TZMTHeadList h;
    h.Items = {Entry("1", "ann", true, true, true), Entry("2", "bob", true, false, false),
               Entry("", "", false, true, false), Entry("4", "cid", true, true, true)};
    return h;
}

} // namespace

class TestWorkflowState : public QObject {
    Q_OBJECT

private slots:
    void controls_data() {
        QTest::addColumn<bool>("analysed");
        QTest::addColumn<bool>("anyChecked");
        QTest::addColumn<bool>("empty");
        QTest::addColumn<int>("spamIn");
        QTest::addColumn<int>("spamOut");
        QTest::addColumn<QString>("expected"); // paths reset sync delete nick spam fts
        QTest::newRow("start") << false << false << true << 0 << 1 << "1000000";
        QTest::newRow("analysed") << true << true << false << 0 << 1 << "0111111";
        QTest::newRow("nothing checked") << true << false << false << 0 << 1 << "0100111";
        QTest::newRow("notice cleared it") << false << true << false << 0 << 1 << "1100000";
        QTest::newRow("spam thresholds off") << true << true << false << 0 << 0 << "0111101";
        QTest::newRow("spam in only") << true << true << false << 3 << 0 << "0111111";
    }
    void controls() {
        QFETCH(bool, analysed);
        QFETCH(bool, anyChecked);
        QFETCH(bool, empty);
        QFETCH(int, spamIn);
        QFETCH(int, spamOut);
        QFETCH(QString, expected);
        TWorkflowState s;
        s.Analysed = analysed;
        TZMTHeadList heads;
        if (!empty) {
            heads = Heads();
            for (TZMTHead& e : heads.Items) {
                e.Checked = anyChecked && e.Valid;
            }
        }
        TWorkflowOptions set;
        set.SpamMinMessagesIn = spamIn;
        set.SpamMinMessagesOut = spamOut;
        const TControlState c = UpdateControls(s, heads, "me", set, false, 0, heads.Count());
        const auto bit = [](bool b) { return b ? QLatin1Char('1') : QLatin1Char('0'); };
        const QString got = QString() + bit(c.PathsEnabled) + bit(c.ResetAll) + bit(c.Sync) +
                            bit(c.DeleteSrcFiles) + bit(c.EditNick) + bit(c.LookForSpam) +
                            bit(c.FullTextSearch);
        QCOMPARE(got, expected);
        QCOMPARE(c.StatusNick, QStringLiteral("me"));
    }

    void diffNavigationAndHint() {
        const TZMTHeadList heads = Heads();
        TWorkflowState s;
        TWorkflowOptions set;
        QVERIFY(UpdateControls(s, heads, "", set, true, 3, 4).DiffNavigation);
        QVERIFY(!UpdateControls(s, heads, "", set, false, 3, 4).DiffNavigation);
        QVERIFY(!UpdateControls(s, heads, "", set, true, 0, 4).DiffNavigation);
        QCOMPARE(UpdateControls(s, heads, "", set, false, 0, 2).ListHint,
                 QStringLiteral("2 checked of 4 (2 hidden)"));
        QCOMPARE(UpdateControls(s, TZMTHeadList{}, "", set, false, 0, 0).ListHint,
                 QStringLiteral("0 checked of 0 (0 hidden)"));
    }

    void contactList() {
        const TZMTHeadList heads = Heads();
        TContactList all = RebuildContactList(heads, true, 3);
        QCOMPARE(all.Lines.size(), std::size_t(4));
        QCOMPARE(all.Lines[0].Text, QStringLiteral("ann (1) 4 212"));
        QVERIFY(all.Lines[0].HasCheckBox && all.Lines[0].Checked);
        QVERIFY(!all.Lines[1].Checked);
        QCOMPARE(all.Lines[2].Text, QStringLiteral(".zmt")); // a header line: the file name
        QVERIFY(!all.Lines[2].HasCheckBox);
        QCOMPARE(all.Selected, 3);

        // Unchecked entries hidden: the selection follows its entry or goes away.
        TContactList shown = RebuildContactList(heads, false, 3);
        QCOMPARE(shown.Lines.size(), std::size_t(2));
        QCOMPARE(shown.Lines[1].Index, 3);
        QCOMPARE(shown.Selected, 1);
        QCOMPARE(RebuildContactList(heads, false, 1).Selected, -1);
        // A header line is never selected again.
        QCOMPARE(RebuildContactList(heads, true, 2).Selected, -1);
    }

    void recentPaths_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("depth");
        QTest::addColumn<QStringList>("after");
        QStringList sixteen;
        for (int i = 0; i < 16; ++i) {
            sixteen << QStringLiteral("/d%1").arg(i);
        }
        QStringList newFirst = QStringList{QStringLiteral("/new")} + sixteen.mid(0, 15);
        QTest::newRow("new drops the oldest") << sixteen << "/new/" << 16 << newFirst;
        QStringList moved = sixteen;
        moved.removeAt(7);
        moved.prepend(QStringLiteral("/d7"));
        QTest::newRow("known moves up") << sixteen << "/d7/" << 16 << moved;
        // Letter case makes another directory here: both names stay.
        QTest::newRow("other case is another directory")
            << QStringList{"/a", "/Data"} << "/data" << 16 << QStringList{"/data", "/a", "/Data"};
        QTest::newRow("empty list") << QStringList{} << "/x" << 16 << QStringList{"/x"};
        QTest::newRow("depth shrank")
            << QStringList{"/a", "/b", "/c"} << "/d" << 2 << QStringList{"/d", "/a"};
    }
    void recentPaths() {
        QFETCH(QStringList, before);
        QFETCH(QString, text);
        QFETCH(int, depth);
        QFETCH(QStringList, after);
        QStringList items = before;
        AddPathToMRU(items, text, depth);
        QCOMPARE(items, after);
    }

    // One directory by name, link or identity; letter case tells two apart here.
    void sameDirectory() {
        QTemporaryDir tmp;
        const QString a = tmp.filePath(QStringLiteral("Data"));
        const QString b = tmp.filePath(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(a) && QDir().mkpath(b));
        QVERIFY(QFile::link(a, tmp.filePath(QStringLiteral("link"))));
        QVERIFY(SameDirectory(a, a + QLatin1Char('/')));
        QVERIFY(!SameDirectory(a, b));
        QVERIFY(SameDirectory(a, tmp.filePath(QStringLiteral("link"))));
        QVERIFY(SameDirectory(tmp.filePath(QStringLiteral("Data/../Data")), a));
        // Names of no directory are the same only when they are equal.
        QVERIFY(SameDirectory(tmp.filePath(QStringLiteral("none")),
                              tmp.filePath(QStringLiteral("none"))));
        QVERIFY(!SameDirectory(tmp.filePath(QStringLiteral("none")),
                               tmp.filePath(QStringLiteral("None"))));
    }

    void trailingSeparator() {
        QCOMPARE(StripTrailingSeparator(QStringLiteral("/a/b/")), QStringLiteral("/a/b"));
        QCOMPARE(StripTrailingSeparator(QStringLiteral("/a/b\\")), QStringLiteral("/a/b"));
        QCOMPARE(StripTrailingSeparator(QStringLiteral("/")), QStringLiteral("/"));
    }
};

QTEST_GUILESS_MAIN(TestWorkflowState)
#include "tst_workflow_state.moc"
