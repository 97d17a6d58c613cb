#include "common/TestOptions.h"
#include "config/Setup.h"
#include "merge/Merge.h"

#include <QtTest>

#include <algorithm>
#include <climits>
#include <random>

using namespace vimosync;

namespace {

// 7 March 2006, 00:00; message times are given in seconds after it.
constexpr double kDay = 38783.0;
double AtSec(double s) {
    return kDay + s / 86400.0;
}

struct Msg {
    double sec = 0;
    QByteArray text;
    bool outgoing = false;
};
using Msgs = QList<Msg>;

// A merged message as the tests expect it: time, text and mark.
struct Out {
    double sec = 0;
    QByteArray text;
    bool differs = false;
};
using Outs = QList<Out>;

TZMTMessList MakeList(const Msgs& msgs) {
    TZMTMessList l;
    for (const Msg& m : msgs) {
        TZMTMess& r = NewMessage(l);
        r.Time = AtSec(m.sec);
        r.Stamp = static_cast<std::int32_t>(m.sec);
        r.Outgoing = m.outgoing;
        r.Nick = m.outgoing ? "me" : "them";
        r.Text = std::string_view(m.text.constData(), static_cast<std::size_t>(m.text.size()));
    }
    return l;
}

QString Describe(const TZMTMessList& l) {
    QStringList parts;
    for (const TZMTMess& m : l.Items) {
        parts << QStringLiteral("%1:%2%3")
                     .arg((m.Time - kDay) * 86400.0, 0, 'f', 3)
                     .arg(QString::fromUtf8(m.Text.data(), static_cast<qsizetype>(m.Text.size())))
                     .arg(m.Differs ? QStringLiteral("+") : QString());
    }
    return parts.join(QStringLiteral(" | "));
}

QString Describe(const Outs& outs) {
    TZMTMessList l;
    for (const Out& o : outs) {
        TZMTMess& r = NewMessage(l);
        r.Time = AtSec(o.sec);
        r.Text = std::string_view(o.text.constData(), static_cast<std::size_t>(o.text.size()));
        r.Differs = o.differs;
    }
    return Describe(l);
}

// Every field of a message except Seq, which the sorting mode is allowed to write.
bool SameButSeq(const TZMTMess& a, const TZMTMess& b) {
    return a.Time == b.Time && a.Stamp == b.Stamp && a.Outgoing == b.Outgoing &&
           a.Differs == b.Differs && a.Nick == b.Nick && a.Text == b.Text;
}

// The sorting mode done literally: copy both sides, stable-sort the copies by
// CompareTimeSeq, remove duplicates from the back with DeleteMessage, count the marks.
void ReferenceSortedMerge(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result) {
    result.Clear();
    for (int k = 0; k < destination.Count(); ++k) {
        destination[k].Seq = k;
    }
    for (int k = 0; k < source.Count(); ++k) {
        source[k].Seq = destination.Count() + k;
    }
    AppendCopies(result, destination, false);
    AppendCopies(result, source, true);
    std::stable_sort(result.Items.begin(), result.Items.end(),
                     [](const TZMTMess& a, const TZMTMess& b) { return CompareTimeSeq(a, b) < 0; });
    for (int i = result.Count() - 1; i >= 1; --i) {
        for (int j = i - 1; j >= 0; --j) {
            if (std::fabs(result[j].Time - result[i].Time) >= SameTimeTolerance) {
                break;
            }
            if (MessagesEqual(result[j], result[i], Setup().MergeIgnoreSpaces)) {
                DeleteMessage(result, i);
                break;
            }
        }
    }
    result.DiffCount = static_cast<int>(std::count_if(result.Items.begin(), result.Items.end(),
                                                      [](const TZMTMess& m) { return m.Differs; }));
    result.HasDiff = result.DiffCount > 0;
}

// The sequential mode in its plainest form: both sides stable-sorted by time, a walk that
// takes the earlier head, matches equal messages of one time, passes a source message by
// when the destination holds it later in that time, and scans the result's tail for an
// equal message before storing each one.
void ReferenceSequentialMerge(const TZMTMessList& source, const TZMTMessList& destination,
                              bool ignoreSpaces, TZMTMessList& result) {
    const auto byTime = [](const TZMTMessList& l) {
        std::vector<TZMTMess> v = l.Items;
        std::stable_sort(v.begin(), v.end(), [](const TZMTMess& a, const TZMTMess& b) {
            return CompareTimes(a, b) < 0;
        });
        return v;
    };
    const std::vector<TZMTMess> s = byTime(source);
    const std::vector<TZMTMess> d = byTime(destination);
    result.Clear();
    result.DiffCount = 0;
    const auto take = [&](const TZMTMess& m, bool fromSource) {
        for (int k = result.Count() - 1; k >= 0; --k) {
            if (std::fabs(result[k].Time - m.Time) >= SameTimeTolerance) {
                break;
            }
            if (MessagesEqual(result[k], m, ignoreSpaces)) {
                return;
            }
        }
        result.Items.push_back(m);
        result.Items.back().Differs = fromSource;
        result.DiffCount += fromSource ? 1 : 0;
    };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < s.size() || j < d.size()) {
        const int order = i == s.size() ? 1 : j == d.size() ? -1 : CompareTimes(s[i], d[j]);
        if (order > 0) {
            take(d[j++], false);
        } else if (order < 0) {
            take(s[i++], true);
        } else if (MessagesEqual(s[i], d[j], ignoreSpaces)) {
            take(d[j++], false);
            ++i;
        } else {
            bool later = false;
            for (std::size_t k = j + 1; k < d.size() && CompareTimes(s[i], d[k]) == 0; ++k) {
                later = later || MessagesEqual(s[i], d[k], ignoreSpaces);
            }
            if (!later) {
                take(s[i], true);
            }
            ++i;
        }
    }
    result.HasDiff = result.DiffCount > 0;
}

} // namespace

Q_DECLARE_METATYPE(Msgs)
Q_DECLARE_METATYPE(Outs)

class TestMerge : public QObject {
    Q_OBJECT

    TSettings saved_;

    static void addBoth(const char* name, const Msgs& src, const Msgs& dst, const Outs& out,
                        int diffCount) {
        // Mode 2 on one clock gives what mode 1 gives.
        for (int mode : {0, 1, 2}) {
            QTest::addRow("mode%d: %s", mode, name) << mode << src << dst << out << diffCount;
        }
    }

private slots:
    void init() {
        saved_ = Setup();
        Setup().MergeIgnoreSpaces = false;
    }
    void cleanup() { Setup() = saved_; }

    void merge_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<Msgs>("source");
        QTest::addColumn<Msgs>("destination");
        QTest::addColumn<Outs>("expected");
        QTest::addColumn<int>("diffCount");

        addBoth("both empty", {}, {}, {}, 0);
        addBoth("source empty, repeats within the destination kept once", {},
                {{0, "A"}, {0, "A"}, {0.5, "A"}, {3, "B"}}, {{0, "A"}, {3, "B"}}, 0);
        addBoth("destination empty, repeats within the source kept once",
                {{0, "A"}, {0.9, "A"}, {5, "B"}}, {}, {{0, "A", true}, {5, "B", true}}, 2);
        addBoth("identical sides", {{0, "A"}, {1, "B"}, {2, "C"}}, {{0, "A"}, {1, "B"}, {2, "C"}},
                {{0, "A"}, {1, "B"}, {2, "C"}}, 0);
        addBoth("equal texts one whole second apart", {{1, "A"}}, {{0, "A"}},
                {{0, "A"}, {1, "A", true}}, 1);
        addBoth("equal texts one second apart within one side", {}, {{0, "A"}, {1, "A"}},
                {{0, "A"}, {1, "A"}}, 0);
        addBoth("source copy half a second earlier", {{0, "A"}}, {{0.5, "A"}}, {{0, "A", true}}, 1);
        addBoth("destination copy half a second earlier", {{0.5, "A"}}, {{0, "A"}}, {{0, "A"}}, 0);
        addBoth("A B C: the source adds B between A and C", {{1, "A"}, {2, "B"}},
                {{1, "A"}, {3, "C"}}, {{1, "A"}, {2, "B", true}, {3, "C"}}, 1);
        addBoth("source later than everything", {{1, "A"}, {9, "Z"}}, {{1, "A"}},
                {{1, "A"}, {9, "Z", true}}, 1);
        // An incoming and an outgoing "A" in one second are two messages: matched, one
        // of them would be lost.
        QTest::newRow("mode0: the direction tells messages apart")
            << 0 << Msgs{{0, "A", true}} << Msgs{{0, "A", false}} << Outs{{0, "A", true}, {0, "A"}}
            << 1;
        QTest::newRow("mode1: the direction tells messages apart")
            << 1 << Msgs{{0, "A", true}} << Msgs{{0, "A", false}} << Outs{{0, "A"}, {0, "A", true}}
            << 1;

        // At the same time with different texts the sequential walk takes the source
        // first, the sorting mode the destination.
        QTest::newRow("mode0: same time, different texts")
            << 0 << Msgs{{0, "X"}} << Msgs{{0, "Y"}} << Outs{{0, "X", true}, {0, "Y"}} << 1;
        QTest::newRow("mode1: same time, different texts")
            << 1 << Msgs{{0, "X"}} << Msgs{{0, "Y"}} << Outs{{0, "Y"}, {0, "X", true}} << 1;
        // Both modes find a duplicate whatever the stored order: the sequential walk takes
        // a side that is not in time order as a sorted copy.
        QTest::newRow("mode1: unordered destination")
            << 1 << Msgs{{5, "B"}, {1, "A"}} << Msgs{{1, "A"}, {9, "C"}, {5, "B"}}
            << Outs{{1, "A"}, {5, "B"}, {9, "C"}} << 0;
        QTest::newRow("mode0: unordered destination")
            << 0 << Msgs{{5, "B"}, {1, "A"}} << Msgs{{1, "A"}, {9, "C"}, {5, "B"}}
            << Outs{{1, "A"}, {5, "B"}, {9, "C"}} << 0;
    }

    void merge() {
        QFETCH(int, mode);
        QFETCH(Msgs, source);
        QFETCH(Msgs, destination);
        QFETCH(Outs, expected);
        QFETCH(int, diffCount);
        Setup().MessMergeMode = static_cast<std::uint8_t>(mode);

        TZMTMessList src = MakeList(source);
        TZMTMessList dst = MakeList(destination);
        TZMTMessList result;
        MergeHistories(src, dst, result, test::MergeOptions(), test::ReadOptions());

        QCOMPARE(Describe(result), Describe(expected));
        QCOMPARE(result.DiffCount, diffCount);
        QCOMPARE(result.HasDiff, diffCount > 0);
        const auto marked = std::count_if(result.Items.begin(), result.Items.end(),
                                          [](const TZMTMess& m) { return m.Differs; });
        QCOMPARE(int(marked), diffCount);
    }

    void equality_data() {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<double>("secondsApart");
        QTest::addColumn<bool>("exactEqual");
        QTest::addColumn<bool>("relaxedEqual");

        QTest::newRow("same text")
            << QByteArray("hello") << QByteArray("hello") << 0.0 << true << true;
        QTest::newRow("half a second apart")
            << QByteArray("hi") << QByteArray("hi") << 0.5 << true << true;
        QTest::newRow("one second apart")
            << QByteArray("hi") << QByteArray("hi") << 1.0 << false << false;
        QTest::newRow("two spaces against one")
            << QByteArray("two  words") << QByteArray("two words") << 0.0 << false << true;
        QTest::newRow("spaces removed everywhere")
            << QByteArray(" a b c ") << QByteArray("abc") << 0.0 << false << true;
        QTest::newRow("case of one letter")
            << QByteArray("Hello") << QByteArray("hello") << 0.0 << false << true;
        QTest::newRow("trailing line break")
            << QByteArray("Hi there\r\n") << QByteArray("Hi there") << 0.0 << false << true;
        QTest::newRow("control characters at the start")
            << QByteArray("\t\x01\r\nHi") << QByteArray("Hi") << 0.0 << false << true;
        QTest::newRow("tab inside")
            << QByteArray("a\tb") << QByteArray("ab") << 0.0 << false << false;
        QTest::newRow("tab against space inside")
            << QByteArray("a\tb") << QByteArray("a b") << 0.0 << false << false;
        QTest::newRow("line break inside")
            << QByteArray("a\r\nb") << QByteArray("ab") << 0.0 << false << false;
        QTest::newRow("blank against empty")
            << QByteArray(" \r\n\t") << QByteArray("") << 0.0 << false << true;
        QTest::newRow("different letters")
            << QByteArray("abc") << QByteArray("abd") << 0.0 << false << false;
        QTest::newRow("prefix") << QByteArray("abc") << QByteArray("ab") << 0.0 << false << false;
        QTest::newRow("cyrillic case")
            << QByteArray("Привет") << QByteArray("пРИВЕТ") << 0.0 << false << true;
        QTest::newRow("cyrillic spaces and case")
            << QByteArray("При вет\r\n") << QByteArray("ПРИВЕТ") << 0.0 << false << true;
        QTest::newRow("cyrillic different")
            << QByteArray("Привет") << QByteArray("Привес") << 0.0 << false << false;
        QTest::newRow("latin letter with accent, case")
            << QByteArray("Ärger") << QByteArray("äRGER") << 0.0 << false << true;
        QTest::newRow("ascii against accented")
            << QByteArray("Arger") << QByteArray("Ärger") << 0.0 << false << false;
        QTest::newRow("kelvin sign folds to k")
            << QByteArray("\xE2\x84\xAA") << QByteArray("k") << 0.0 << false << true;
        QTest::newRow("different invalid bytes")
            << QByteArray("x\xFF") << QByteArray("x\xFE") << 0.0 << false << false;
        QTest::newRow("invalid bytes, ascii case")
            << QByteArray("\xFFHi") << QByteArray("\xFFhI") << 0.0 << false << true;
        QTest::newRow("invalid bytes, other letter case")
            << QByteArray("\xFF\xD0\x9F") << QByteArray("\xFF\xD0\xBF") << 0.0 << false << false;
    }

    void equality() {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(double, secondsApart);
        QFETCH(bool, exactEqual);
        QFETCH(bool, relaxedEqual);
        const TZMTMessList l = MakeList({{0, a}, {secondsApart, b}});

        for (bool ignoreSpaces : {false, true}) {
            Setup().MergeIgnoreSpaces = ignoreSpaces;
            const bool expected = ignoreSpaces ? relaxedEqual : exactEqual;
            QCOMPARE(MessagesEqual(l[0], l[1], Setup().MergeIgnoreSpaces), expected);
            QCOMPARE(MessagesEqual(l[1], l[0], Setup().MergeIgnoreSpaces), expected);
        }

        // Through every procedure: one message when equal, a marked second one when not.
        for (int mode : {0, 1, 2}) {
            for (bool ignoreSpaces : {false, true}) {
                Setup().MessMergeMode = static_cast<std::uint8_t>(mode);
                Setup().MergeIgnoreSpaces = ignoreSpaces;
                const bool equal = ignoreSpaces ? relaxedEqual : exactEqual;
                TZMTMessList src = MakeList({{secondsApart, b}});
                TZMTMessList dst = MakeList({{0, a}});
                TZMTMessList result;
                MergeHistories(src, dst, result, test::MergeOptions(), test::ReadOptions());
                QCOMPARE(result.Count(), equal ? 1 : 2);
                QCOMPARE(result.DiffCount, equal ? 0 : 1);
            }
        }
    }

    void compareTimeSeq_data() {
        QTest::addColumn<double>("ta");
        QTest::addColumn<int>("seqA");
        QTest::addColumn<double>("tb");
        QTest::addColumn<int>("seqB");
        QTest::addColumn<int>("expected");
        QTest::newRow("later") << 2.0 << 0 << 1.0 << 5 << 1;
        QTest::newRow("earlier") << 1.0 << 5 << 2.0 << 0 << -1;
        QTest::newRow("within tolerance is still ordered") << 1.0 << 9 << 1.0000001 << 0 << -1;
        QTest::newRow("same time, lower number") << 1.0 << 3 << 1.0 << 4 << -1;
        QTest::newRow("same time, same number") << 1.0 << 3 << 1.0 << 3 << 0;
        QTest::newRow("extreme numbers") << 1.0 << INT_MIN << 1.0 << INT_MAX << -1;
        QTest::newRow("extreme numbers reversed") << 1.0 << INT_MAX << 1.0 << INT_MIN << 1;
        QTest::newRow("NaN first") << std::nan("") << 0 << -1e9 << 0 << -1;
    }

    void compareTimeSeq() {
        QFETCH(double, ta);
        QFETCH(int, seqA);
        QFETCH(double, tb);
        QFETCH(int, seqB);
        QFETCH(int, expected);
        TZMTMess a;
        a.Time = ta;
        a.Seq = seqA;
        TZMTMess b;
        b.Time = tb;
        b.Seq = seqB;
        const auto sign = [](int v) { return (v > 0) - (v < 0); };
        QCOMPARE(sign(CompareTimeSeq(a, b)), expected);
        QCOMPARE(sign(CompareTimeSeq(b, a)), -expected);
    }

    void modesWithoutProcedure_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("3") << 3;
        QTest::newRow("7") << 7;
        QTest::newRow("255") << 255;
    }

    void modesWithoutProcedure() {
        QFETCH(int, mode);
        Setup().MessMergeMode = static_cast<std::uint8_t>(mode);
        TZMTMessList src = MakeList({{0, "A"}, {1, "B"}});
        TZMTMessList dst = MakeList({{0, "C"}});
        TZMTMessList result = MakeList({{7, "old"}});
        result.HasDiff = true;
        result.DiffCount = 3;
        MergeHistories(src, dst, result, test::MergeOptions(), test::ReadOptions());
        QVERIFY(result.IsEmpty());
        QVERIFY(!result.HasDiff);
        QCOMPARE(result.DiffCount, 0);
    }

    void inputsKeptAndResultHoldsCopies_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("sequential") << 0;
        QTest::newRow("sorting") << 1;
        QTest::newRow("smart") << 2;
    }

    void inputsKeptAndResultHoldsCopies() {
        QFETCH(int, mode);
        Setup().MessMergeMode = static_cast<std::uint8_t>(mode);
        TZMTMessList src = MakeList({{0, "A", true}, {2, "B"}, {4, "D"}});
        TZMTMessList dst = MakeList({{0, "A", true}, {3, "C"}});
        for (TZMTMess& m : src.Items) {
            m.Seq = 77;
        }
        const TZMTMessList srcBefore = src;
        const TZMTMessList dstBefore = dst;
        TZMTMessList result = MakeList({{9, "leftover"}});
        result.UIN = "12345";
        MergeHistories(src, dst, result, test::MergeOptions(), test::ReadOptions());

        QCOMPARE(Describe(result), QStringLiteral("0.000:A | 2.000:B+ | 3.000:C | 4.000:D+"));
        QCOMPARE(result.UIN, std::string("12345"));
        QCOMPARE(src.Count(), srcBefore.Count());
        QCOMPARE(dst.Count(), dstBefore.Count());
        for (int k = 0; k < src.Count(); ++k) {
            QVERIFY(SameButSeq(src[k], srcBefore[k]));
            QCOMPARE(src[k].Seq, mode >= 1 ? dst.Count() + k : 77);
        }
        for (int k = 0; k < dst.Count(); ++k) {
            QVERIFY(SameButSeq(dst[k], dstBefore[k]));
            QCOMPARE(dst[k].Seq, mode >= 1 ? k : 0);
        }
        // The result's messages are copies with every field taken along.
        QCOMPARE(result[0].Nick.str(), std::string("me"));
        QVERIFY(result[0].Outgoing);
        QCOMPARE(result[1].Stamp, 2);
        for (TZMTMess& m : result.Items) {
            m.Text = "changed";
            m.Nick = "changed";
        }
        QCOMPARE(src[0].Text.str(), std::string("A"));
        QCOMPARE(dst[1].Text.str(), std::string("C"));
        QCOMPARE(dst[0].Nick.str(), std::string("me"));
        // Released inputs leave the copies intact.
        src.Clear();
        dst.Clear();
        QCOMPARE(result[3].Text.str(), std::string("changed"));
    }

    // A destination message is never a difference, whatever its mark on input.
    void destinationCopiesUnmarked() {
        for (int mode : {0, 1}) {
            Setup().MessMergeMode = static_cast<std::uint8_t>(mode);
            TZMTMessList src = MakeList({{5, "S"}});
            TZMTMessList dst = MakeList({{0, "D"}});
            dst[0].Differs = true;
            TZMTMessList result;
            MergeHistories(src, dst, result, test::MergeOptions(), test::ReadOptions());
            QCOMPARE(Describe(result), QStringLiteral("0.000:D | 5.000:S+"));
            QCOMPARE(result.DiffCount, 1);
        }
    }

    // A plain-text destination holds its texts without trailing blanks and line breaks;
    // a source text ending in them is that same message there, and is taken as the
    // file will hold it. Against a binary destination the bytes decide as always.
    void trailingBlanksAgainstPlainText_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("destinationFile");
        QTest::addColumn<QString>("merged");
        for (int mode : {0, 1}) {
            QTest::addRow("mode %d, text file", mode)
                << mode << QStringLiteral("/h/1.TXT") << QStringLiteral("0.000:A | 2.000:C+");
            QTest::addRow("mode %d, binary file", mode)
                << mode << QStringLiteral("/h/Varyon_1.zmt")
                << (mode == 0 ? QStringLiteral("0.000:A\r\n+ | 0.000:A | 2.000:C \t+")
                              : QStringLiteral("0.000:A | 0.000:A\r\n+ | 2.000:C \t+"));
        }
    }
    void trailingBlanksAgainstPlainText() {
        QFETCH(int, mode);
        QFETCH(QString, destinationFile);
        QFETCH(QString, merged);
        Setup().MessMergeMode = static_cast<std::uint8_t>(mode);
        TZMTMessList src = MakeList({{0, "A\r\n"}, {2, "C \t"}});
        const TZMTMessList srcBefore = src;
        TZMTMessList dst = MakeList({{0, "A"}});
        dst.FileName = destinationFile;
        TZMTMessList result;
        result.FileName = destinationFile; // the kind of file the result is stored in
        MergeHistories(src, dst, result, test::MergeOptions(), test::ReadOptions());
        QCOMPARE(Describe(result), merged);
        QCOMPARE(result.DiffCount, merged.count(QLatin1Char('+')));
        for (int i = 0; i < src.Count(); ++i) {
            QVERIFY(SameButSeq(src[i], srcBefore[i]));
        }
    }

    // The result may be one of the inputs: it is filled from the inputs as they were.
    void resultIsAnInput() {
        for (int mode : {0, 1}) {
            Setup().MessMergeMode = static_cast<std::uint8_t>(mode);
            TZMTMessList src = MakeList({{0, "A"}, {2, "B"}});
            TZMTMessList dst = MakeList({{0, "A"}, {3, "C"}});
            MergeHistories(src, dst, dst, test::MergeOptions(), test::ReadOptions());
            QCOMPARE(Describe(dst), QStringLiteral("0.000:A | 2.000:B+ | 3.000:C"));
            QCOMPARE(dst.DiffCount, 1);
            TZMTMessList same = MakeList({{0, "A"}, {0.5, "A"}, {1, "B"}});
            MergeHistories(same, same, same, test::MergeOptions(), test::ReadOptions());
            QCOMPARE(Describe(same), QStringLiteral("0.000:A | 1.000:B"));
            QVERIFY(!same.HasDiff);
        }
    }

    // The sorting mode against the procedure done literally, on many random inputs whose
    // times cluster within and around single seconds, ordered and unordered: small ones,
    // and crowded ones whose same-time windows grow long and shrink again.
    void sortingModeMatchesLiteralProcedure_data() {
        QTest::addColumn<int>("maxSize");
        QTest::addColumn<QList<double>>("seconds");
        QTest::addColumn<QList<double>>("offsets");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<int>("extraTexts");
        QTest::newRow("small") << 12 << QList<double>{0, 0, 1, 1, 2, 5}
                               << QList<double>{0, 0, 0, 0.2, 0.5, 0.9999, 1e-7} << 4000 << 0;
        QTest::newRow("crowded") << 60 << QList<double>{0, 0.5, 1, 1.5, 2, 9}
                                 << QList<double>{0, 0, 1e-7, 0.7} << 600 << 0;
        QTest::newRow("crowded, many texts") << 80 << QList<double>{0, 0.5, 1, 1.5, 2, 9}
                                             << QList<double>{0, 0, 1e-7, 0.7} << 600 << 60;
    }

    void sortingModeMatchesLiteralProcedure() {
        QFETCH(int, maxSize);
        QFETCH(QList<double>, seconds);
        QFETCH(QList<double>, offsets);
        QFETCH(int, rounds);
        QFETCH(int, extraTexts);
        Setup().MessMergeMode = 1;
        std::mt19937 rng(20060307);
        QList<QByteArray> texts = {"a", "A", "a ", "b", " b\r\n", "Ä", "ä", "a\tb"};
        for (int k = 0; k < extraTexts; ++k) {
            texts.append("m" + QByteArray::number(k));
        }
        auto pick = [&rng](const auto& v) {
            return v[std::uniform_int_distribution<qsizetype>(0, v.size() - 1)(rng)];
        };
        auto side = [&](bool ordered) {
            const int n = std::uniform_int_distribution<int>(0, maxSize)(rng);
            Msgs m;
            for (int k = 0; k < n; ++k) {
                m.append({pick(seconds) + pick(offsets), pick(texts),
                          std::uniform_int_distribution<int>(0, 1)(rng) == 1});
            }
            if (ordered) {
                std::stable_sort(m.begin(), m.end(),
                                 [](const Msg& x, const Msg& y) { return x.sec < y.sec; });
            }
            return m;
        };
        for (int round = 0; round < rounds; ++round) {
            Setup().MergeIgnoreSpaces = round % 2 == 1;
            const int shape = (round / 2) % 4; // bit 0: source ordered, bit 1: destination
            const Msgs s = side((shape & 1) != 0);
            const Msgs d = side((shape & 2) != 0);
            TZMTMessList src = MakeList(s);
            TZMTMessList dst = MakeList(d);
            TZMTMessList expected;
            ReferenceSortedMerge(src, dst, expected);
            TZMTMessList srcAgain = MakeList(s);
            TZMTMessList dstAgain = MakeList(d);
            TZMTMessList result;
            MergeHistories(srcAgain, dstAgain, result, test::MergeOptions(), test::ReadOptions());

            const QString where = QStringLiteral("round %1: source %2, destination %3")
                                      .arg(round)
                                      .arg(Describe(src), Describe(dst));
            QVERIFY2(Describe(result) == Describe(expected), qPrintable(where));
            QCOMPARE(result.Count(), expected.Count());
            for (int k = 0; k < result.Count(); ++k) {
                QVERIFY2(SameButSeq(result[k], expected[k]) && result[k].Seq == expected[k].Seq,
                         qPrintable(where));
            }
            QCOMPARE(result.DiffCount, expected.DiffCount);
            QCOMPARE(result.HasDiff, expected.HasDiff);
        }
    }

    // The sequential mode against its plainest form on many random inputs: seconds
    // crowded with messages of exactly one time and with messages a fraction of a second
    // apart, a source that lists the destination's messages in another order with some
    // changed, dropped or repeated, texts that differ only in spaces, case or direction,
    // sides stored out of order, and times that are not numbers or infinite.
    void sequentialModeMatchesPlainWalk() {
        TMergeOptions options;
        options.MessMergeMode = 0;
        std::mt19937 rng(20060308);
        const auto below = [&rng](int n) {
            return std::uniform_int_distribution<int>(0, n - 1)(rng);
        };
        const QList<QByteArray> shortTexts = {"a",     "A",   "a ", " a", "b",
                                              "b\r\n", "a b", "ab", "Ä",  "ä"};
        const QList<double> seconds = {0, 0, 0, 0.5, 1, 1, 2, 9};
        const QList<double> offsets = {0, 0, 0, 0, 1e-7, 0.7};
        const QList<double> odd = {std::nan(""), INFINITY, -INFINITY};
        for (int round = 0; round < 3000; ++round) {
            options.MergeIgnoreSpaces = round % 2 == 1;
            // A third of the inputs crowded: windows and runs of one time long enough to be
            // looked up, which takes more distinct texts than a window can hold otherwise.
            const bool crowded = round % 3 == 0;
            const int texts = crowded ? 60 : 0;
            const int size = crowded ? 200 : 70;
            const auto message = [&]() {
                const int t = below(int(shortTexts.size()) + texts);
                const double sec =
                    round % 5 == 0 && below(3) == 0
                        ? odd[(round / 15) % 3]
                        : seconds[below(int(seconds.size()))] + offsets[below(int(offsets.size()))];
                return Msg{sec, t < shortTexts.size() ? shortTexts[t] : "m" + QByteArray::number(t),
                           below(2) == 1};
            };
            Msgs d;
            for (int k = below(size); k > 0; --k) {
                d.append(message());
            }
            Msgs s;
            if (below(3) == 0) {
                for (int k = below(size); k > 0; --k) {
                    s.append(message());
                }
            } else {
                for (const Msg& m : d) {
                    const int what = below(12);
                    s.append(what == 0 ? message() : m);
                    if (what == 1) {
                        s.removeLast();
                    } else if (what == 2) {
                        s.append(m);
                    }
                }
                if (below(2) == 0) {
                    std::shuffle(s.begin(), s.end(), rng);
                }
            }
            // Mostly in time order: a shuffled copy then lists each second its own way.
            for (Msgs* side : {&s, &d}) {
                if (below(4) != 0) {
                    std::stable_sort(side->begin(), side->end(), [](const Msg& x, const Msg& y) {
                        return std::isnan(x.sec) ? !std::isnan(y.sec) : x.sec < y.sec;
                    });
                }
            }
            TZMTMessList src = MakeList(s);
            TZMTMessList dst = MakeList(d);
            // A stamp of its own for every message tells which one the result copied.
            for (int k = 0; k < src.Count(); ++k) {
                src[k].Stamp = 1000 + k;
            }
            for (int k = 0; k < dst.Count(); ++k) {
                dst[k].Stamp = k;
            }
            TZMTMessList expected;
            ReferenceSequentialMerge(src, dst, options.MergeIgnoreSpaces, expected);
            TZMTMessList result;
            MergeHistories(src, dst, result, options, test::ReadOptions());

            bool same = result.Count() == expected.Count() &&
                        result.DiffCount == expected.DiffCount &&
                        result.HasDiff == expected.HasDiff;
            for (int k = 0; same && k < result.Count(); ++k) {
                same = result[k].Stamp == expected[k].Stamp &&
                       result[k].Differs == expected[k].Differs;
            }
            QVERIFY2(same, qPrintable(QStringLiteral("round %1: source %2, destination %3")
                                          .arg(round)
                                          .arg(Describe(src), Describe(dst))));
        }
    }
};

QTEST_GUILESS_MAIN(TestMerge)
#include "tst_merge.moc"
