// Merge mode 2 on generated pairs: conversations seen through two clocks are merged once,
// conversations that only look alike stay apart, and one shared clock gives mode 1.

#include "history/TimeStamp.h"
#include "merge/Merge.h"

#include <QtTest>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using namespace vimosync;

namespace {

// Seconds after 1 March 2010.
constexpr long long kStart = 1267401600;

struct Msg {
    long long sec = 0;
    bool outgoing = false;
    std::string text;
};

// A message of a result as the tests compare them.
using Key = std::tuple<long long, bool, std::string, bool>; // seconds, outgoing, text, marked

TZMTMessList MakeList(const std::vector<Msg>& msgs) {
    TZMTMessList l;
    for (const Msg& m : msgs) {
        TZMTMess& r = NewMessage(l);
        r.Time = TimeOfSeconds(m.sec);
        r.Stamp = static_cast<std::int32_t>(m.sec);
        r.Outgoing = m.outgoing;
        r.Nick = m.outgoing ? "me" : "them";
        r.Text = m.text;
    }
    return l;
}

std::multiset<Key> Keys(const TZMTMessList& l) {
    std::multiset<Key> keys;
    for (const TZMTMess& m : l.Items) {
        long long s = 0;
        SecondsOfTime(m.Time, s);
        keys.insert({s, m.Outgoing, std::string(m.Text.view()), m.Differs});
    }
    return keys;
}

TZMTMessList Merge(const std::vector<Msg>& source, const std::vector<Msg>& destination, int mode,
                   bool ignoreSpaces = false) {
    TZMTMessList s = MakeList(source);
    TZMTMessList d = MakeList(destination);
    TZMTMessList result;
    TMergeOptions options;
    options.MessMergeMode = static_cast<std::uint8_t>(mode);
    options.MergeIgnoreSpaces = ignoreSpaces;
    MergeHistories(s, d, result, options, TReadOptions{});
    return result;
}

QString Describe(const std::multiset<Key>& keys) {
    QStringList out;
    for (const auto& [s, o, t, d] : keys) {
        out << QStringLiteral("%1 %2 %3%4")
                   .arg(s - kStart)
                   .arg(o ? QStringLiteral(">") : QStringLiteral("<"))
                   .arg(QString::fromStdString(t))
                   .arg(d ? QStringLiteral(" +") : QString());
    }
    return out.join(QLatin1Char('\n'));
}

// A generated pair: the true conversations, what each side recorded of them (the source
// through a clock of its own per conversation), and what a sound merge gives.
struct Generated {
    std::vector<Msg> source;
    std::vector<Msg> destination;
    std::multiset<Key> expected;
    int shiftedConversations = 0;
};

Generated Generate(std::mt19937& rng, bool offsets) {
    static const char* const kShort[] = {"ok", ":)", "yes", "no", "hi", "?"};
    static const char* const kWords[] = {"meet", "at",     "the", "station", "tomorrow", "train",
                                         "late", "привет", "как", "дела",    "dinner",   "eight"};
    static const long long kOffsets[] = {7,    -7,   59,     -90,   3600,  -3600,
                                         5400, 7200, -10800, 39600, -43200};
    auto below = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    Generated g;
    long long t = kStart;
    int unique = 0;
    const int conversations = 3 + below(6);
    for (int c = 0; c < conversations; ++c) {
        // Far enough apart that no clock error below joins two conversations on a side.
        t += 26 * 3600 + below(20) * 3600;
        // 0: both sides, 1: destination only, 2: source only.
        const int kind = below(5) == 0 ? 1 + below(2) : 0;
        const long long offset = offsets && kind == 0 && below(3) != 0
                                     ? kOffsets[below(static_cast<int>(std::size(kOffsets)))]
                                     : 0;
        const int n = 6 + below(30);
        for (int k = 0; k < n; ++k) {
            const bool sameSecond = k > 0 && below(6) == 0; // now and then several in one
            t += sameSecond ? 0 : 1 + below(240);
            Msg m;
            m.sec = t;
            m.outgoing = below(2) == 0;
            // Short texts repeat (but never twice in one second: that is one message).
            if (k >= 3 && !sameSecond && below(3) == 0) {
                m.text = kShort[below(static_cast<int>(std::size(kShort)))];
            } else {
                for (int w = 2 + below(6); w > 0; --w) {
                    m.text += kWords[below(static_cast<int>(std::size(kWords)))];
                    m.text += ' ';
                }
                m.text += '#';
                m.text += std::to_string(++unique);
            }
            // Which side recorded it (0 both, 1 the destination, 2 the source): in a
            // conversation of both sides the first three on both, then a few on one only.
            int side = kind;
            if (kind == 0 && k >= 3) {
                const int r = below(10);
                side = r == 0 ? 1 : r == 1 ? 2 : 0;
            }
            Msg src = m;
            src.sec -= offset; // the source's clock
            if (side != 2) {
                g.destination.push_back(m);
            }
            if (side != 1) {
                g.source.push_back(src);
            }
            g.expected.insert({m.sec, m.outgoing, m.text, side == 2});
        }
        g.shiftedConversations += offset != 0 ? 1 : 0;
    }
    return g;
}

} // namespace

class TestMergeSmart : public QObject {
    Q_OBJECT
private slots:
    // Every message once, in the destination's clock; exactly the source-only ones
    // marked; repeated short texts as often as they were written; and a second merge
    // with the result as the destination finds nothing new.
    void conversationsThroughTwoClocksMergeOnce() {
        int shifted = 0;
        for (unsigned seed = 1; seed <= 300; ++seed) {
            std::mt19937 rng(seed);
            Generated g = Generate(rng, true);
            const TZMTMessList result = Merge(g.source, g.destination, 2);
            const std::multiset<Key> got = Keys(result);
            if (got != g.expected) {
                QFAIL(qPrintable(QStringLiteral("seed %1\nexpected:\n%2\ngot:\n%3")
                                     .arg(seed)
                                     .arg(Describe(g.expected), Describe(got))));
            }
            const auto marked = static_cast<int>(
                std::count_if(got.begin(), got.end(), [](const Key& k) { return std::get<3>(k); }));
            QCOMPARE(result.DiffCount, marked);
            QCOMPARE(result.HasDiff, marked > 0);

            std::vector<Msg> again;
            for (const TZMTMess& m : result.Items) {
                long long s = 0;
                SecondsOfTime(m.Time, s);
                again.push_back({s, m.Outgoing, std::string(m.Text.view())});
            }
            const TZMTMessList second = Merge(g.source, again, 2);
            QVERIFY2(second.DiffCount == 0, qPrintable(QString::number(seed)));
            QCOMPARE(second.Items.size(), result.Items.size());
            shifted += g.shiftedConversations;
        }
        QVERIFY(shifted > 200); // the generator did move clocks
    }

    // One clock on both sides: the same messages and marks as mode 1, with either rule
    // of text equality.
    void oneSharedClockGivesModeOne() {
        for (unsigned seed = 1; seed <= 200; ++seed) {
            std::mt19937 rng(seed);
            const Generated g = Generate(rng, false);
            for (const bool ignoreSpaces : {false, true}) {
                const TZMTMessList one = Merge(g.source, g.destination, 1, ignoreSpaces);
                const TZMTMessList two = Merge(g.source, g.destination, 2, ignoreSpaces);
                QVERIFY2(Keys(one) == Keys(two), qPrintable(QString::number(seed)));
                QCOMPARE(two.DiffCount, one.DiffCount);
            }
        }
    }

    // Conversations that share short texts, or one long forwarded text, at the same
    // relative times are two conversations: nothing moves, the result is mode 1's.
    void lookAlikesStayApart_data() {
        QTest::addColumn<QStringList>("destination");
        QTest::addColumn<QStringList>("source");
        // "seconds>text" or "seconds<text"; the source lies two hours later.
        QTest::newRow("short texts")
            << QStringList{"0>hi", "20<hi", "40>ok", "60<:)", "90>yes", "95<ok"}
            << QStringList{"7200>hi",
                           "7220<hi",
                           "7240>ok",
                           "7260<:)",
                           "7290>yes",
                           "7295<ok",
                           "7300>see you at the station at eight"};
        QTest::newRow("one forwarded text")
            << QStringList{"0>please read this long forwarded message", "30<ok", "60>:)",
                           "90<dinner tonight at the usual place"}
            << QStringList{"7200>please read this long forwarded message", "7230<ok", "7260>:)",
                           "7290<the report is due on friday"};
        QTest::newRow("too little in common")
            << QStringList{"0>we should talk about the trip", "60<which trip do you mean",
                           "120>the one in may"}
            << QStringList{"7200>we should talk about the trip", "7260<which trip do you mean",
                           "7270>something else entirely",       "7280<another new line here",
                           "7290>and one more new line",         "7300<and the last new line"};
    }
    void lookAlikesStayApart() {
        QFETCH(QStringList, destination);
        QFETCH(QStringList, source);
        const auto parse = [](const QStringList& lines) {
            std::vector<Msg> msgs;
            for (const QString& line : lines) {
                const qsizetype at = line.indexOf(QRegularExpression(QStringLiteral("[<>]")));
                msgs.push_back({kStart + line.left(at).toLongLong(), line[at] == QLatin1Char('>'),
                                line.mid(at + 1).toStdString()});
            }
            return msgs;
        };
        const TZMTMessList one = Merge(parse(source), parse(destination), 1);
        const TZMTMessList two = Merge(parse(source), parse(destination), 2);
        QCOMPARE(Describe(Keys(two)), Describe(Keys(one)));
        QCOMPARE(two.DiffCount, static_cast<int>(source.size()));
    }

    // A move that would take a message beyond what the destination's file can hold is
    // not made: the result stays mode 1's, which the file can hold.
    void noMoveBeyondWhatTheFileHolds() {
        const long long last = 2147483647LL;
        std::vector<Msg> destination;
        std::vector<Msg> source;
        for (int k = 0; k < 6; ++k) {
            const std::string text = "a message long enough " + std::to_string(k);
            destination.push_back({last - 600 + k * 100, k % 2 == 0, text});
            source.push_back({last - 600 - 3600 + k * 100, k % 2 == 0, text});
        }
        // An hour later it would lie beyond the last second a stamp holds.
        source.push_back({last - 2700, true, "only on the source, near the end"});
        TZMTMessList s = MakeList(source);
        TZMTMessList d = MakeList(destination);
        d.Version = 2;
        TZMTMessList result;
        result.FileName = QStringLiteral("/nowhere/123.zmt");
        result.Version = 2;
        TMergeOptions options;
        options.MessMergeMode = 2;
        MergeHistories(s, d, result, options, TReadOptions{});
        QVERIFY(result.StoreProblem.isEmpty());
        QCOMPARE(result.DiffCount, 7);
        QCOMPARE(result.Items.size(), std::size_t{13});
        // Without a file to hold it, the conversation does move.
        QCOMPARE(Merge(source, destination, 2).DiffCount, 1);
    }
};

QTEST_GUILESS_MAIN(TestMergeSmart)
#include "tst_merge_smart.moc"
