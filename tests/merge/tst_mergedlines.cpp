#include "config/Setup.h"
#include "history/TimeStamp.h"
#include "merge/MergedLines.h"

#include <QtTest>

using namespace vimosync;

// The lines the comparison views show for one message.
class TestMergedLines : public QObject {
    Q_OBJECT

    static TZMTMess Message(bool outgoing, bool differs, const char* text) {
        TZMTMess m;
        m.Time = EncodeDateTime(QDate(2006, 3, 7), QTime(14, 5, 9));
        m.Outgoing = outgoing;
        m.Differs = differs;
        m.Text = text;
        return m;
    }

    const QString kFormat = QStringLiteral("hh:nn:ss d\"/\"mm\"/\"yyyy");

private slots:
    void mergedItem_data() {
        QTest::addColumn<bool>("outgoing");
        QTest::addColumn<bool>("differs");
        QTest::addColumn<bool>("numbers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("differing outgoing, numbered")
            << true << true << true << QStringLiteral("+ 12 >>>>  14:05:09 7/03/2006 Hi\r\nthere");
        QTest::newRow("differing outgoing, no numbers")
            << true << true << false << QStringLiteral("+ >>>>  14:05:09 7/03/2006 Hi\r\nthere");
        QTest::newRow("incoming, numbered")
            << false << false << true << QStringLiteral("12 <<<<  14:05:09 7/03/2006 Hi\r\nthere");
        QTest::newRow("incoming, no numbers")
            << false << false << false << QStringLiteral("<<<<  14:05:09 7/03/2006 Hi\r\nthere");
    }

    void mergedItem() {
        QFETCH(bool, outgoing);
        QFETCH(bool, differs);
        QFETCH(bool, numbers);
        QFETCH(QString, expected);
        const TZMTMess m = Message(outgoing, differs, "Hi\r\nthere");
        QCOMPARE(MergedItemText(m, 12, numbers, kFormat), expected);
    }

    void historyEntry() {
        QCOMPARE(HistoryEntryText(Message(false, true, "Hi\r\nthere"), kFormat),
                 QStringLiteral("<<<<  14:05:09 7/03/2006\r\n Hi\r\nthere\r\n"));
        QCOMPARE(HistoryEntryText(Message(true, false, ""), QStringLiteral("yyyy")),
                 QStringLiteral(">>>>  2006\r\n \r\n"));
    }

    void textsDecodedFromUtf8() {
        QCOMPARE(MergedItemText(Message(false, false, "Привет"), 1, false, QStringLiteral("d")),
                 QStringLiteral("<<<<  7 Привет"));
        // A byte that is no UTF-8 shows as the replacement character, the rest stays.
        QCOMPARE(MergedItemText(Message(false, false,
                                        "a\xFF"
                                        "b"),
                                1, false, QStringLiteral("d")),
                 QStringLiteral("<<<<  7 a\uFFFDb"));
    }
};

QTEST_GUILESS_MAIN(TestMergedLines)
#include "tst_mergedlines.moc"
