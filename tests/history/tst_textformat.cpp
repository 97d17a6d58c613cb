#include "common/TestOptions.h"
#include "common/TestUtil.h"
#include "config/Setup.h"
#include "history/DateTimeFormat.h"
#include "history/History.h"
#include "history/TextFormat.h"
#include "history/TimeStamp.h"
#include "support/CodePage.h"
#include "support/Errors.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace vimosync;
using namespace vimosync::test;

namespace {

const char* const kIn = "--------------------------------------<-";
const char* const kOut = "-------------------------------------->-";

std::string crlf(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) {
        s += l;
        s += "\r\n";
    }
    return s;
}

TZMTMessList parse(std::string bytes, TLoadMode mode = LoadPlain) {
    TZMTMessList list;
    ParsePlainText(list, std::move(bytes), mode, test::ReadOptions().Text);
    return list;
}

double at(int y, int mo, int d, int h, int mi, int s) {
    return EncodeDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

} // namespace

class TestTextFormat : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Setup() = TSettings{};
        test::OwnNick() = "<My Nick>";
    }

    void defaultHeaderLine() {
        const TZMTMessList list =
            parse(crlf({kIn, "Bob (12:34:56 1/02/2007)", "first line", "second line", ""}));
        QVERIFY(list.Valid);
        QCOMPARE(list.Count(), 1);
        QCOMPARE(list[0].Nick.str(), std::string("Bob"));
        QCOMPARE(list[0].Time, at(2007, 2, 1, 12, 34, 56));
        QCOMPARE(list[0].Stamp, TimeToStamp(list[0].Time, 0, test::ReadOptions()));
        QVERIFY(!list[0].Outgoing);
        QCOMPARE(list[0].Text.str(), std::string("first line\r\nsecond line"));
    }

    // A header that cannot be read drops its message together with the body.
    void unreadableHeadersSkipTheMessage_data() {
        QTest::addColumn<QString>("header");
        QTest::addColumn<bool>("kept");
        QTest::newRow("16 characters") << "Bob (1:34:5 1/02/2007)" << true;
        QTest::newRow("15 characters") << "Bob (1:34:5 1/2/2007)" << false;
        QTest::newRow("date only") << "Bob (1/02/2007)" << false;
        QTest::newRow("no right bracket") << "Bob (12:34:56 1/02/2007" << false;
        QTest::newRow("no left bracket") << "Bob 12:34:56 1/02/2007)" << false;
        QTest::newRow("no such date") << "Bob (12:34:56 31/02/2007)" << false;
        QTest::newRow("hour 24") << "Bob (24:00:00 1/02/2007)" << false;
        QTest::newRow("letters") << "Bob (twelve o'clock, noon)" << false;
        QTest::newRow("blanks inside brackets") << "Bob (  12:34:56 1/02/2007  )" << true;
    }
    void unreadableHeadersSkipTheMessage() {
        QFETCH(QString, header);
        QFETCH(bool, kept);
        const std::string h = header.toStdString();
        const TZMTMessList list = parse(
            crlf({kOut, h.c_str(), "skipped body", kIn, "Ann (10:00:00 2/02/2007)", "kept body"}));
        QCOMPARE(list.Count(), kept ? 2 : 1);
        QCOMPARE(list[list.Count() - 1].Text.str(), std::string("kept body"));
        if (kept) {
            QCOMPARE(list[0].Text.str(), std::string("skipped body"));
            QVERIFY(list[0].Outgoing);
        }
    }

    void nickKeepsItsOwnBrackets() {
        const TZMTMessList list = parse(crlf({kIn, "  Bob (the) builder  (12:34:56 1/02/2007)"}));
        QCOMPARE(list.Count(), 1);
        QCOMPARE(list[0].Nick.str(), std::string("Bob (the) builder"));
        QCOMPARE(list[0].Text.str(), std::string());
    }

    void separatorInsideABodyStartsTheNextMessage() {
        const std::string in = std::string("quoted: ") + kOut + " here";
        const TZMTMessList list = parse(crlf({kIn, "Bob (12:34:56 1/02/2007)", "one", in.c_str(),
                                              "Me (12:35:00 1/02/2007)", "two"}));
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list[0].Text.str(), std::string("one"));
        QVERIFY(list[1].Outgoing);
        QCOMPARE(list[1].Text.str(), std::string("two"));
    }

    void linesBreakAtLoneCrAndLf() {
        const std::string file = std::string(kIn) +
                                 "\nBob (12:34:56 1/02/2007)\na\rb\n\nc \r\n\r\n" + kOut +
                                 "\rMe (12:34:57 1/02/2007)\rx\r\ny";
        const TZMTMessList list = parse(file);
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list[0].Text.str(), std::string("a\r\nb\r\n\r\nc"));
        QCOMPARE(list[1].Text.str(), std::string("x\r\ny"));
        QVERIFY(list[1].Outgoing);
    }

    void noSeparatorGivesAnEmptyInvalidList() {
        TZMTMessList list;
        NewMessage(list);
        ParsePlainText(list, crlf({"Bob (12:34:56 1/02/2007)", "text"}), LoadPlain,
                       test::ReadOptions().Text);
        QVERIFY(!list.Valid);
        QCOMPARE(list.Count(), 0);
        QVERIFY(!parse(crlf({kIn})).Valid); // separator at the very end
        QVERIFY(!parse("").Valid);
    }

    void emptySeparatorSettingMarksNoLine() {
        Setup().MsgInSeparator.clear();
        const TZMTMessList list =
            parse(crlf({kOut, "Me (12:34:56 1/02/2007)", "body", "plain line"}));
        QCOMPARE(list.Count(), 1);
        QCOMPARE(list[0].Text.str(), std::string("body\r\nplain line"));
    }

    void nickDetection() {
        const std::string file =
            crlf({kOut, "me (10:00:00 1/02/2007)",  "1", kOut, "other (10:00:01 1/02/2007)", "2",
                  kOut, "Me (10:00:02 1/02/2007)",  "3", kOut, "other (10:00:03 1/02/2007)", "4",
                  kOut, "me (10:00:04 1/02/2007)",  "5", kOut, "other (10:00:05 1/02/2007)", "6",
                  kOut, "me (10:00:06 1/02/2007)",  "7", kIn,  "Bob (10:00:07 1/02/2007)",   "8",
                  kIn,  "bob (10:00:08 1/02/2007)", "9", kIn,  "Ann (10:00:09 1/02/2007)",   "10"});
        QCOMPARE(parse(file, LoadOwnNick).OwnNick, std::string("me"));

        TZMTMessList list;
        list.ContactNick = "old";
        ParsePlainText(list, std::string(file), LoadContactNick, test::ReadOptions().Text);
        QCOMPARE(list.ContactNick, std::string("Bob"));

        // Plain loading and an empty tally change nothing.
        QCOMPARE(parse(file, LoadPlain).OwnNick, std::string());
        QCOMPARE(parse(crlf({kIn, "Bob (10:00:07 1/02/2007)"}), LoadOwnNick).OwnNick,
                 std::string());
    }

    void equalCountsGoToTheNickMetFirst() {
        const std::string file =
            crlf({kIn, "Zed (10:00:00 1/02/2007)", kIn, "Amy (10:00:01 1/02/2007)", kIn,
                  "AMY (10:00:02 1/02/2007)", kIn, "zed (10:00:03 1/02/2007)"});
        TZMTMessList list;
        ParsePlainText(list, std::string(file), LoadContactNick, test::ReadOptions().Text);
        QCOMPARE(list.ContactNick, std::string("Zed"));
    }

    void writtenFileReadsBackTheSameMessages() {
        TZMTMessList list;
        list.Version = 0;
        const char* texts[] = {"hello", "two\r\nlines", "", "\xD0\x9F\xD1\x80\xD0\xB8", "\xFF bad"};
        for (int i = 0; i < 5; ++i) {
            TZMTMess& m = NewMessage(list);
            m.Outgoing = i % 2 == 1;
            m.Nick = i % 2 ? "me" : "Bob (x)";
            m.Text = texts[i];
            m.Time = at(1999 + i * 10, 12 - i, 31 - i, 23 - i, 59, 58 - i);
        }
        const std::string written = BuildPlainText(list, test::ReadOptions().Text);
        QVERIFY(written.starts_with(std::string(kIn) +
                                    "\r\nBob (x) (23:59:58 31/12/1999)\r\n"
                                    "hello\r\n\r\n" +
                                    kOut + "\r\n"));
        const TZMTMessList back = parse(written);
        QCOMPARE(back.Count(), list.Count());
        for (int i = 0; i < list.Count(); ++i) {
            QCOMPARE(back[i].Outgoing, list[i].Outgoing);
            QCOMPARE(back[i].Nick, list[i].Nick);
            QCOMPARE(back[i].Text, list[i].Text);
            QCOMPARE(back[i].Time, list[i].Time);
        }
        // Trailing blanks and empty lines of a text are not kept by the reader.
        list[0].Text = "trailing  \r\n\r\n";
        QCOMPARE(parse(BuildPlainText(list, test::ReadOptions().Text))[0].Text.str(),
                 std::string("trailing"));
    }

    void writerIgnoresTheReadingSettings() {
        Setup().DTLeftBracket = u'[';
        Setup().DTRightBracket = u']';
        Setup().TimeBeforeDate = false;
        TZMTMessList list;
        TZMTMess& m = NewMessage(list);
        m.Nick = "Bob";
        m.Time = at(2007, 2, 1, 12, 34, 56);
        QVERIFY(
            BuildPlainText(list, test::ReadOptions().Text).find("Bob (12:34:56 1/02/2007)\r\n") !=
            std::string::npos);
    }

    void readingFollowsTheDateSettings_data() {
        QTest::addColumn<QString>("dateFormat");
        QTest::addColumn<QString>("separators"); // date, then time separator
        QTest::addColumn<bool>("timeFirst");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected");
        const QDateTime t(QDate(2007, 2, 1), QTime(12, 34, 56), Qt::UTC);
        QTest::newRow("default") << "d/mm/yyyy"
                                 << "/:" << true << "12:34:56 1/02/2007" << t;
        QTest::newRow("month first") << "mm/dd/yyyy"
                                     << "/:" << true << "12:34:56 02/01/2007" << t;
        QTest::newRow("year first, dots") << "yyyy.mm.dd"
                                          << ".-" << true << "12-34-56 2007.02.01" << t;
        QTest::newRow("date first") << "d/m/y"
                                    << "/:" << false << "1/2/2007 12:34:56" << t;
        QTest::newRow("two-digit year") << "d/m/yy"
                                        << "/:" << true << "12:34:56 01/02/07" << t;
        QTest::newRow("year 99") << "d/m/yy"
                                 << "/:" << true << "12:34:56 01/02/99"
                                 << QDateTime(QDate(1999, 2, 1), QTime(12, 34, 56), Qt::UTC);
        QTest::newRow("no seconds") << "d/m/y"
                                    << "/:" << true << "12:34 01/02/2007"
                                    << QDateTime(QDate(2007, 2, 1), QTime(12, 34), Qt::UTC);
        QTest::newRow("pm") << "d/m/y"
                            << "/:" << false << "1/2/2007 12:34:56 PM" << t;
        QTest::newRow("am midnight") << "d/m/y"
                                     << "/:" << false << "1/2/2007 12:00:00 am"
                                     << QDateTime(QDate(2007, 2, 1), QTime(0, 0), Qt::UTC);
        QTest::newRow("before 1899-12-30")
            << "d/m/y"
            << "/:" << true << "13:14:15 2/03/1850"
            << QDateTime(QDate(1850, 3, 2), QTime(13, 14, 15), Qt::UTC);
        QTest::newRow("beyond 32-bit stamps")
            << "d/m/y"
            << "/:" << true << "23:59:59 31/12/2999"
            << QDateTime(QDate(2999, 12, 31), QTime(23, 59, 59), Qt::UTC);
        QTest::newRow("leap day") << "d/m/y"
                                  << "/:" << true << "00:00:01 29/02/2008"
                                  << QDateTime(QDate(2008, 2, 29), QTime(0, 0, 1), Qt::UTC);
        QTest::newRow("no leap day") << "d/m/y"
                                     << "/:" << true << "00:00:01 29/02/2007" << QDateTime();
        QTest::newRow("month 13") << "d/m/y"
                                  << "/:" << true << "00:00:01 1/13/2007" << QDateTime();
        QTest::newRow("trailing junk") << "d/m/y"
                                       << "/:" << true << "00:00:01 1/1/2007 x" << QDateTime();
        QTest::newRow("minute 60") << "d/m/y"
                                   << "/:" << true << "00:60:01 1/1/2007" << QDateTime();
    }
    void readingFollowsTheDateSettings() {
        QFETCH(QString, dateFormat);
        QFETCH(QString, separators);
        QFETCH(bool, timeFirst);
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        Setup().DateFormatString = dateFormat;
        Setup().DateSeparator = separators[0];
        Setup().TimeSeparator = separators[1];
        Setup().TimeBeforeDate = timeFirst;
        const std::string header = "Bob (" + text.toStdString() + ")";
        const TZMTMessList list = parse(crlf({kIn, header.c_str(), "x"}));
        QCOMPARE(list.Count(), expected.isValid() ? 1 : 0);
        if (expected.isValid()) {
            QCOMPARE(ToDateTime(list[0].Time), expected);
            QCOMPARE(list[0].Stamp, TimeToStamp(list[0].Time, 0, test::ReadOptions()));
        }
    }

    void formatPatterns_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");
        // Wednesday, 7 March 2007 08:05:09.042
        QTest::newRow("default") << "hh:nn:ss d\"/\"mm\"/\"yyyy"
                                 << "08:05:09 7/03/2007";
        QTest::newRow("short items") << "h:n:s d/m/yy"
                                     << "8:5:9 7/3/07";
        QTest::newRow("m after h is minutes") << "hh:mm dd.mm"
                                              << "08:05 07.03";
        QTest::newRow("m after h with quotes between") << "h 'at' m"
                                                       << "8 at 5";
        QTest::newRow("m after another item is the month") << "h s m"
                                                           << "8 9 3";
        QTest::newRow("names") << "ddd dddd mmm mmmm"
                               << "Wed Wednesday Mar March";
        QTest::newRow("milliseconds") << "ss.zzz z"
                                      << "09.042 42";
        QTest::newRow("upper case") << "HH:NN DD/MM/YYYY"
                                    << "08:05 07/03/2007";
        QTest::newRow("unknown letters copied") << "x q"
                                                << "x q";
        QTest::newRow("unterminated quote") << "yyyy\"/mm"
                                            << "2007/mm";
    }
    void formatPatterns() {
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        const double t = EncodeDateTime(QDate(2007, 3, 7), QTime(8, 5, 9, 42));
        QCOMPARE(FormatDateTime(pattern, t), expected);
    }

    void decodingAgreesWithTheCalendar() {
        QRandomGenerator rng(11);
        for (int i = 0; i < 2000; ++i) {
            const double t = (rng.generateDouble() - 0.3) * 80000.0;
            const QDateTime dt = ToDateTime(t);
            const TDateParts p = DecodeDateParts(t);
            QCOMPARE(QDate(p.Year, p.Month, p.Day), dt.date());
            QCOMPARE(QTime(p.Hour, p.Minute, p.Second, p.Msec), dt.time());
            QCOMPARE(p.DayOfWeek, dt.date().dayOfWeek() % 7 + 1);
            QCOMPARE(static_cast<double>(DaysFromCivil(p.Year, p.Month, p.Day)),
                     EncodeDateTime(dt.date(), QTime(0, 0)));
        }
    }

    void codePages() {
        QVERIFY(IsUtf8CodePage(QString()));
        QVERIFY(IsUtf8CodePage(QStringLiteral("utf8")));
        ValidateCodePage(QStringLiteral("windows-1251"));
        QVERIFY_THROWS_EXCEPTION(Exception, ValidateCodePage(QStringLiteral("no-such-page")));
        const std::string privet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
        const QString cp = QStringLiteral("windows-1251");
        QCOMPARE(Utf8ToCodePage(privet, cp), std::string("\xCF\xF0\xE8\xE2\xE5\xF2"));
        QCOMPARE(CodePageToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2", cp), privet);
        // What the page cannot hold, and broken UTF-8, become "?".
        QCOMPARE(Utf8ToCodePage("a\xE2\x82\xAC\xC3\xA9z\xFF", QStringLiteral("ISO-8859-5")),
                 std::string("a??z?"));
        QCOMPARE(CodePageToUtf8("a\x98z", cp), std::string("a\xEF\xBF\xBDz"));
    }

    void plainTextFilesInAnotherCodePage() {
        QTemporaryDir dir;
        Setup().CodePage = QStringLiteral("windows-1251");
        const QString path = dir.filePath(QStringLiteral("123.txt"));
        writeAll(path, QByteArray(kIn) + "\r\n\xC1\xEE\xF0\xE8\xF1 (12:34:56 1/02/2007)\r\n"
                                         "\xEF\xF0\xE8\xE2\xE5\xF2\r\n");
        TZMTHead head;
        ReadEntryHeader(head, path, test::ReadOptions());
        QVERIFY(head.Valid);
        QCOMPARE(head.UIN, std::string("123"));
        QCOMPARE(head.Nick, std::string("\xD0\x91\xD0\xBE\xD1\x80\xD0\xB8\xD1\x81"));
        QCOMPARE(head.DiffCount, 1);
        QCOMPARE(head.Version, std::uint8_t(0));
        QCOMPARE(head.SrcFile, QStringLiteral("123.txt"));

        TZMTMessList list;
        list.FileName = path;
        LoadHistory(list, LoadPlain, false, test::ReadOptions());
        QCOMPARE(list[0].Text.str(),
                 std::string("\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"));
        bool backedUp = true;
        Setup().BackupToRecycleBin = false;
        SaveHistory(list, backedUp, false, test::ReadOptions(), test::SaveOptions());
        QVERIFY(!backedUp);
        QVERIFY(readAll(path).contains("\r\n\xEF\xF0\xE8\xE2\xE5\xF2\r\n"));
    }

    void unreadablePlainTextFileIsAnError() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("5.txt"));
        QVERIFY(QDir().mkpath(path)); // a folder where the file should be
        TZMTMessList list;
        list.FileName = path;
        QVERIFY_THROWS_EXCEPTION(Exception,
                                 LoadHistory(list, LoadPlain, false, test::ReadOptions()));
        list.FileName = dir.filePath(QStringLiteral("missing.txt"));
        LoadHistory(list, LoadPlain, false, test::ReadOptions());
        QVERIFY(!list.Valid);
    }
};

QTEST_GUILESS_MAIN(TestTextFormat)
#include "tst_textformat.moc"
