// The promise of a synchronization, checked on many generated directory pairs: a run
// never loses, doubles, splits or invents a message, and a second run changes nothing.
//
// Each case draws from one seed its settings, a time zone, and a source and a destination
// directory: one to six contacts, each with a history of some kind in the source (plain
// text, version 1, 2 or 3; now and then two histories of one contact), a history of some
// kind or none in the destination, sometimes with its older part in archive files, and
// texts chosen to be hard for the formats. The case analyses and synchronizes, then
// compares every contact's new destination with both inputs message by message, through
// a model of what each kind of file holds that is written here and not taken from the
// program. Then it analyses and synchronizes once more and expects no difference, no file
// touched and nothing sent to the trash.
//
// By default the cases run on random seeds for about 40 seconds in all. A failing case
// prints its seed, settings, zone and the messages that differ. To replay one case alone
// (its directories are then kept and their path printed):
//     VIMOSYNC_PROPERTY_SEED=<seed> build/tests/tst_sync_property
// Another time budget, in seconds:
//     VIMOSYNC_PROPERTY_SECONDS=300 build/tests/tst_sync_property
// Features of the cases can be left out, to narrow a failure down: a seed then gives the
// same case without them (the names are those of FeatureNames below):
//     VIMOSYNC_PROPERTY_WITHOUT=same-second,zones VIMOSYNC_PROPERTY_SEED=<seed> ...

#include "common/ScriptedUi.h"
#include "common/TestOptions.h"
#include "common/TestUtil.h"
#include "config/Setup.h"
#include "history/History.h"
#include "history/Model.h"
#include "history/TimeStamp.h"
#include "history/Undo.h"
#include "merge/Merge.h"
#include "support/Errors.h"
#include "support/LangText.h"
#include "support/LogFile.h"
#include "workflow/Workflow.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <compare>
#include <cstdint>
#include <ctime>
#include <iconv.h>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <tuple>
#include <vector>

using namespace vimosync;
using vimosync::test::ScriptedUi;

namespace {

constexpr int kRows = 4;
constexpr qint64 kStampMin = std::numeric_limits<std::int32_t>::min();
constexpr qint64 kStampMax = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t kMaxBinaryText = 0xFFFF;
constexpr double kEpochDay = 25569.0;    // 1970-01-01 on the date-time scale
constexpr qint64 kYear2020 = 1577836800; // 2020-01-01 00:00 UTC
constexpr qint64 kYear2003 = 1041379200; // 2003-01-01 00:00 UTC
constexpr qint64 kTwentyEightYears = 883612800;

const char* const kZones[] = {"UTC",           "Europe/Berlin",    "America/New_York",
                              "Europe/Dublin", "Australia/Sydney", "Asia/Kolkata",
                              "Europe/Moscow"};

enum Kind : int { NoFile = -1, Txt = 0, V1 = 1, V2 = 2, V3 = 3 };

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// ---- Random choices ---------------------------------------------------------------------

class Random {
public:
    explicit Random(quint64 seed) : eng_(seed) {}
    quint64 next() { return eng_(); }
    int below(int n) { return n <= 1 ? 0 : static_cast<int>(eng_() % static_cast<quint64>(n)); }
    qint64 between(qint64 lo, qint64 hi) {
        return lo + static_cast<qint64>(eng_() % static_cast<quint64>(hi - lo + 1));
    }
    bool chance(double p) { return static_cast<double>(eng_() >> 11) * 0x1.0p-53 < p; }
    template <class T> const T& pick(const std::vector<T>& v) {
        return v[static_cast<std::size_t>(below(static_cast<int>(v.size())))];
    }

private:
    std::mt19937_64 eng_;
};

// ---- What each kind of file makes of a text ---------------------------------------------

const std::string& InSeparator() {
    static const std::string s = TSettings{}.MsgInSeparator.toStdString();
    return s;
}
const std::string& OutSeparator() {
    static const std::string s = TSettings{}.MsgOutSeparator.toStdString();
    return s;
}

// Every line break (CR LF, a lone CR, a lone LF) as CR LF.
std::string CrLf(std::string_view t) {
    std::string out;
    out.reserve(t.size() + 8);
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '\r' && i + 1 < t.size() && t[i + 1] == '\n') {
            out += "\r\n";
            ++i;
        } else if (c == '\r' || c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string TrimEnd(std::string t) {
    while (!t.empty() && static_cast<unsigned char>(t.back()) <= 32) {
        t.pop_back();
    }
    return t;
}

// A line holding a separator text would start a new message in a plain-text file: each
// occurrence gets a space after its first character.
std::string EscapeSeparators(std::string t) {
    for (;;) {
        const std::size_t at = std::min(t.find(InSeparator()), t.find(OutSeparator()));
        if (at == std::string::npos) {
            return t;
        }
        t.insert(at + 1, 1, ' ');
    }
}

// The characters windows-1251 has, asked of the system's converter byte by byte.
const std::set<char32_t>& Cp1251Repertoire() {
    static const std::set<char32_t> chars = [] {
        std::set<char32_t> s;
        iconv_t cd = iconv_open("UTF-8", "WINDOWS-1251");
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            return s;
        }
        for (int b = 0x80; b <= 0xFF; ++b) {
            char in = static_cast<char>(b);
            char out[8];
            char* ip = &in;
            char* op = out;
            std::size_t il = 1;
            std::size_t ol = sizeof out;
            if (iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1)) {
                const QList<uint> ucs =
                    QString::fromUtf8(out, static_cast<qsizetype>(op - out)).toUcs4();
                if (!ucs.isEmpty()) {
                    s.insert(static_cast<char32_t>(ucs.first()));
                }
            }
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
        iconv_close(cd);
        return s;
    }();
    return chars;
}

// A text written in windows-1251 and read back: what the code page lacks becomes "?".
std::string ThroughCp1251(std::string_view t) {
    const QList<uint> ucs = QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size())).toUcs4();
    QList<uint> out;
    for (const uint u : ucs) {
        out << (u < 0x80 || Cp1251Repertoire().count(static_cast<char32_t>(u)) ? u : uint('?'));
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(out.constData()), out.size())
        .toStdString();
}

// The form under MergeIgnoreSpaces: blanks at both ends and every space gone, case folded.
std::string RelaxedForm(std::string_view t) {
    std::size_t b = 0;
    std::size_t e = t.size();
    while (b < e && static_cast<unsigned char>(t[b]) <= 32) {
        ++b;
    }
    while (e > b && static_cast<unsigned char>(t[e - 1]) <= 32) {
        --e;
    }
    std::string s;
    for (std::size_t i = b; i < e; ++i) {
        if (t[i] != ' ') {
            s += t[i];
        }
    }
    return Q(s).toCaseFolded().toStdString();
}

struct TextModel {
    bool correctCrlf = true;
    bool cp1251 = false;
    bool relaxed = false;

    // A text as a plain-text history file holds it.
    std::string plain(std::string_view t) const {
        return TrimEnd(EscapeSeparators(CrLf(cp1251 ? ThroughCp1251(t) : std::string(t))));
    }
    // A text stored in a binary file, as it is read from there.
    std::string binary(std::string_view t) const { return correctCrlf ? CrLf(t) : std::string(t); }
    std::string read(int kind, std::string_view t) const {
        return kind == Txt ? plain(t) : binary(t);
    }
    // Texts of one message in this form are the same message.
    std::string key(std::string_view t) const { return relaxed ? RelaxedForm(t) : std::string(t); }
};

// ---- Time: true instants, and the wall clock of the zone --------------------------------
//
// A version 1 file holds universal time; versions 2 and 3 and plain text hold the wall
// clock of the zone the messages were written in. Messages are generated as instants and
// compared by their wall clock, which is what every kind can tell.

// The handheld that writes version 1 files keeps one offset all year: its universal
// times are shown with the PDA offset the zone gives (its offset outside summer time),
// so that the wall clock of a version 1 message is its stamp less that offset.
class ZoneModel {
public:
    // The offset outside summer time: the smaller of two offsets half a year apart.
    explicit ZoneModel(const QByteArray& id) : tz_(id) {
        if (tz_.isValid()) {
            const QDateTime now = QDateTime::currentDateTimeUtc();
            base_ = std::min(tz_.offsetFromUtc(now), tz_.offsetFromUtc(now.addDays(182)));
        }
    }
    bool valid() const { return tz_.isValid(); }
    qint64 offset(qint64) const { return base_; }
    qint64 wall(qint64 utc) const { return utc + offset(utc); }
    // With one offset all year no wall-clock time stands for two instants.
    bool nearChange(qint64) const { return false; }

private:
    QTimeZone tz_;
    qint64 base_ = 0;
};

bool StampFits(qint64 v) {
    return v >= kStampMin && v <= kStampMax;
}

QString WallText(qint64 wall) {
    return QDateTime::fromSecsSinceEpoch(wall, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString Shown(std::string_view t) {
    QString s;
    const QString q =
        QString::fromUtf8(t.data(), static_cast<qsizetype>(std::min<std::size_t>(t.size(), 90)));
    for (const QChar c : q) {
        if (c == u'\r') {
            s += QStringLiteral("\\r");
        } else if (c == u'\n') {
            s += QStringLiteral("\\n");
        } else if (c == u'\t') {
            s += QStringLiteral("\\t");
        } else {
            s += c;
        }
    }
    if (t.size() > 90) {
        s += QStringLiteral("... (%1 bytes)").arg(t.size());
    }
    return QLatin1Char('"') + s + QLatin1Char('"');
}

// ---- A generated case -------------------------------------------------------------------

struct Held {
    qint64 utc = 0;
    bool out = false;
    std::string text; // as generated; a plain-text file stores TextModel::plain of it
};

struct HistoryFile {
    int kind = Txt;
    QString name;
    std::vector<Held> msgs;
    bool split = false; // the older messages go into archive files
    int mainFrom = 0;   // set once written: the first message of the history file itself
    int archives = 0;   // set once written: archive files
};

struct Contact {
    std::string uin;
    std::string nick;
    std::vector<HistoryFile> sources;
    std::optional<HistoryFile> dest;
};

struct Case {
    quint64 seed = 0;
    int row = 0;
    QByteArray zone;
    TextModel text;
    bool useArchives = false;
    bool createArchives = false;
    bool backup = false;
    int mergeMode = 1;
    int archiveSize = 1;
    int defaultVersion = 0;
    std::string ownNick;
    std::vector<Contact> contacts;
    bool faults = false; // a first run with failing steps comes before the one checked

    // The analysis lists the binary source histories, or the plain-text ones when there
    // is no binary one.
    bool binarySources() const {
        for (const Contact& c : contacts) {
            for (const HistoryFile& f : c.sources) {
                if (f.kind != Txt) {
                    return true;
                }
            }
        }
        return false;
    }
    bool read(const HistoryFile& source) const { return !binarySources() || source.kind != Txt; }
};

const char* const kRowNames[kRows] = {"plain-text destinations", "version 1 destinations",
                                      "Varyon destinations", "destinations of every kind"};

QString KindName(int kind) {
    return kind == NoFile ? QStringLiteral("none") : QStringLiteral("v%1").arg(kind);
}

QString FileNameFor(int kind, const std::string& uin) {
    const QString u = Q(uin);
    switch (kind) {
    case Txt:
        return u + QStringLiteral(".txt");
    case V1:
        return QStringLiteral("1_") + u + QStringLiteral(".zmt");
    default:
        return QStringLiteral("Varyon_") + u + QStringLiteral(".zmt");
    }
}

const QStringList& HistoryMasks() {
    static const QStringList masks{QStringLiteral("%1.txt"), QStringLiteral("1_%1.zmt"),
                                   QStringLiteral("Varyon_%1.zmt")};
    return masks;
}

// ---- Features of the generated cases, each of which can be left out ---------------------
//
// VIMOSYNC_PROPERTY_WITHOUT lists features to leave out of every case; a seed then gives
// the same case without them, which narrows a failure down to its cause.

enum Feature : unsigned {
    SameSecond = 1u << 0,     // several messages in one second, some of them equal
    Zones = 1u << 1,          // time zones other than UTC
    LineBreaks = 1u << 2,     // lone CR and lone LF
    TrailingBlanks = 1u << 3, // blanks and line breaks at the end, blank texts
    Separators = 1u << 4,     // the separator texts of plain-text files inside texts
    CodePage = 1u << 5,       // characters windows-1251 lacks
    LongTexts = 1u << 6,      // texts longer than a binary record holds
    StampRange = 1u << 7,     // dates at the ends of the 32-bit stamps and beyond
    SpacesCase = 1u << 8,     // a message whose two sides differ in spaces or letter case
    TwoSources = 1u << 9,     // two source histories of one contact
    MixedSources = 1u << 10,  // plain-text and binary histories in one source directory
    Archives = 1u << 11,      // destination histories with archive files
    Faults = 1u << 12,        // a first run whose file-system steps fail now and then
};

const std::vector<std::pair<const char*, unsigned>>& FeatureNames() {
    static const std::vector<std::pair<const char*, unsigned>> names = {
        {"same-second", SameSecond},
        {"zones", Zones},
        {"line-breaks", LineBreaks},
        {"trailing-blanks", TrailingBlanks},
        {"separators", Separators},
        {"code-page", CodePage},
        {"long-texts", LongTexts},
        {"stamp-range", StampRange},
        {"spaces-case", SpacesCase},
        {"two-sources", TwoSources},
        {"mixed-sources", MixedSources},
        {"archives", Archives},
        {"faults", Faults}};
    return names;
}

unsigned g_without = 0; // the features left out

bool With(unsigned feature) {
    return (g_without & feature) == 0;
}

// Every choice is drawn whether its feature is in or not, so that leaving a feature out
// changes nothing else of the case.
std::string LongText(Random& r) {
    std::string t;
    const auto n = static_cast<std::size_t>(r.between(66000, 90000));
    while (t.size() < n) {
        t += std::string(static_cast<std::size_t>(r.between(20, 120)),
                         static_cast<char>('a' + r.below(26)));
        t += "\r\n";
    }
    return t + "конец";
}

std::string MakeText(Random& r) {
    static const std::vector<std::string> words = {
        "ok",    "hello", "Привет!", "see you at 10", "a  b",          "Ёлка",  "€ 5",
        "ну да", "What?", "x",       "call me back",  "yes, Yes, YES", "— fine"};
    static const std::vector<std::string> foreign = {" ✓", "中文", " 😀"};
    static const std::vector<std::string> trailing = {" ",    "  ",       "\t",
                                                      "\r\n", "\r\n\r\n", " \r\n "};
    const bool isLong = r.chance(0.015);
    Random longDraws(r.next());
    if (isLong && With(LongTexts)) {
        return LongText(longDraws);
    }
    const bool blank = r.chance(0.02);
    const bool empty = r.chance(0.5);
    if (blank && With(TrailingBlanks)) {
        return empty ? std::string() : std::string(" ");
    }
    const auto lineBreak = [&r] {
        const bool lone = r.chance(0.3);
        const bool lf = r.chance(0.5);
        return lone && With(LineBreaks) ? (lf ? "\n" : "\r") : "\r\n";
    };
    std::string t = r.pick(words);
    const int lines = r.chance(0.25) ? r.below(3) + 1 : 0;
    for (int i = 0; i < lines; ++i) {
        t += lineBreak();
        t += r.pick(words);
    }
    const bool separator = r.chance(0.06);
    const std::string& sep = r.chance(0.5) ? InSeparator() : OutSeparator();
    const int where = r.below(4);
    const auto dashes = static_cast<std::size_t>(r.between(1, 12));
    if (separator && With(Separators)) {
        switch (where) {
        case 0:
            t += "\r\n" + sep;
            break;
        case 1:
            t = sep + "\r\n" + t;
            break;
        case 2:
            t += "\r\n" + std::string(dashes, '-') + sep + " x";
            break;
        default:
            t += " (" + sep + ")";
            break;
        }
    }
    const bool other = r.chance(0.07);
    const std::string& chars = r.pick(foreign);
    if (other && With(CodePage)) {
        t += chars;
    }
    const bool leading = r.chance(0.03);
    const std::string first = lineBreak();
    if (leading) {
        t = first + t;
    }
    const bool trail = r.chance(0.1);
    const std::string& blanks = r.pick(trailing);
    const std::string lastBreak = lineBreak();
    if (trail && With(TrailingBlanks)) {
        t += r.chance(0.25) ? lastBreak : blanks;
    }
    return t;
}

// The same text with other spaces or letter case.
std::string VariantOf(Random& r, const std::string& t) {
    QString s = Q(t);
    const int how = r.below(4);
    const bool upper = r.chance(0.5);
    const auto at = static_cast<qsizetype>(r.below(std::max(1, static_cast<int>(s.size()))));
    switch (how) {
    case 0:
        s = upper ? s.toUpper() : s.toLower();
        break;
    case 1:
        s.insert(at > 0 && s[at].isLowSurrogate() ? at - 1 : at, QLatin1Char(' '));
        break;
    case 2:
        s += QStringLiteral("  ");
        break;
    default:
        s.prepend(QLatin1Char(' '));
        break;
    }
    return s.toStdString();
}

// Whether a file of the kind can hold the message at all.
bool Fits(const ZoneModel& zone, int kind, qint64 utc, const std::string& text) {
    if (kind == Txt) {
        return true;
    }
    return text.size() <= kMaxBinaryText && StampFits(kind == V1 ? utc : zone.wall(utc));
}

Contact GenerateContact(Random& r, const ZoneModel& zone, int family, int row, int index,
                        std::set<std::string>& uins) {
    static const std::vector<std::string> nicks = {"anna", "Борис", "Chen 陈", "d.k.",
                                                   "Ева (work)"};
    Contact ct;
    do {
        const int digits = static_cast<int>(r.between(5, 9));
        ct.uin = std::to_string(r.between(1, 9));
        for (int i = 1; i < digits; ++i) {
            ct.uin += static_cast<char>('0' + r.below(10));
        }
    } while (!uins.insert(ct.uin).second);
    ct.nick = r.pick(nicks);

    // The kinds of its histories.
    const int varyon = r.chance(0.5) ? V2 : V3;
    const int binary = 1 + r.below(3);
    const int any = r.below(4);
    const int p = r.below(100);
    const bool drawnTwo = family >= 35 && p < 10;
    std::vector<int> kinds;
    if (family < 35) {
        kinds = {Txt};
    } else if (drawnTwo) {
        kinds = With(TwoSources) ? std::vector<int>{V1, varyon} : std::vector<int>{binary};
    } else if (family < 85) {
        kinds = {binary};
    } else {
        kinds = p < 25 ? std::vector<int>{Txt, binary} : std::vector<int>{any};
    }
    const bool noDestination = r.chance(0.2);
    const int dstKind = noDestination ? NoFile
                        : row == 0    ? Txt
                        : row == 1    ? V1
                        : row == 2    ? (r.chance(0.5) ? V2 : V3)
                                      : r.below(4);
    const bool split = r.chance(0.3) && With(Archives);
    for (const int k : kinds) {
        HistoryFile f;
        f.kind = k;
        f.name = FileNameFor(k, ct.uin);
        ct.sources.push_back(f);
    }
    if (dstKind != NoFile) {
        HistoryFile f;
        f.kind = dstKind;
        f.name = FileNameFor(dstKind, ct.uin);
        f.split = dstKind != Txt && split;
        ct.dest = f;
    }

    // The messages: instants rising, some in one second, each placed in the source
    // histories, the destination, or both.
    const int eraDraw = r.below(100);
    const int era = drawnTwo || !With(StampRange) ? 0 : eraDraw < 8 ? 1 : eraDraw < 16 ? 2 : 0;
    const qint64 low = kStampMin - r.between(0, 129600);
    const qint64 high = kStampMax - r.between(43200, 172800);
    const qint64 normal = kYear2003 + r.between(0, kTwentyEightYears);
    qint64 utc = era == 1 ? low : era == 2 ? high : normal;
    const int nSources = static_cast<int>(ct.sources.size());
    const unsigned allSources = (1u << nSources) - 1;
    const unsigned dstBit = ct.dest ? 1u << nSources : 0;
    struct Event {
        qint64 utc;
        bool out;
        std::string text;
        std::string variant; // the destination's text when it differs in spaces or case
        unsigned files;
    };
    std::vector<Event> events;
    const int n = static_cast<int>(r.between(3, 18)) +
                  (ct.dest && ct.dest->split ? static_cast<int>(r.between(25, 45)) : 0);
    for (int i = 0; i < n; ++i) {
        Random er(r.next());
        // The same text again in that second, or another one in that second.
        const bool repeat = i > 0 && er.chance(0.08) && With(SameSecond);
        const bool sameSecond = er.chance(0.15) && With(SameSecond);
        const bool shortStep = er.chance(0.5);
        const qint64 shortDt = er.between(1, 600);
        const qint64 longDt = er.between(600, era ? 20000 : 500000);
        if (i > 0) {
            utc += repeat || sameSecond ? 0 : shortStep ? shortDt : longDt;
        }
        Event e{utc, er.chance(0.5), {}, {}, 0};
        Random tr(er.next());
        e.text = MakeText(tr);
        const int place = er.below(100);
        const bool oneOfTwo = er.chance(0.3);
        const unsigned some = nSources == 1 ? 1u : er.chance(0.5) ? 3u : er.chance(0.5) ? 1u : 2u;
        if (!dstBit) {
            e.files = some;
        } else {
            e.files = place < 45   ? (nSources == 2 && oneOfTwo ? some : allSources) | dstBit
                      : place < 75 ? some
                                   : dstBit;
        }
        if (repeat) {
            e.text = events.back().text;
            e.files = events.back().files;
        }
        const bool variant = er.chance(0.12);
        Random vr(er.next());
        if ((e.files & dstBit) && (e.files & allSources) && variant && With(SpacesCase)) {
            e.variant = VariantOf(vr, e.text);
        }
        events.push_back(e);
    }
    for (const Event& e : events) {
        if (zone.nearChange(e.utc)) {
            continue;
        }
        for (int f = 0; f <= nSources; ++f) {
            if (!(e.files & (1u << f))) {
                continue;
            }
            HistoryFile& file = f < nSources ? ct.sources[static_cast<std::size_t>(f)] : *ct.dest;
            const std::string& text = f == nSources && !e.variant.empty() ? e.variant : e.text;
            if (Fits(zone, file.kind, e.utc, text)) {
                file.msgs.push_back({e.utc, e.out, text});
            }
        }
    }
    // No history is empty: an empty plain-text file is no history at all.
    const auto fill = [&](HistoryFile& f, int k) {
        if (f.msgs.empty()) {
            f.msgs.push_back({kYear2020 + index * 600 + k * 60, false, "hello"});
        }
        std::stable_sort(f.msgs.begin(), f.msgs.end(),
                         [](const Held& a, const Held& b) { return a.utc < b.utc; });
    };
    for (int f = 0; f < nSources; ++f) {
        fill(ct.sources[static_cast<std::size_t>(f)], f);
    }
    if (ct.dest) {
        fill(*ct.dest, nSources);
    }
    return ct;
}

Case Generate(quint64 seed) {
    static const std::vector<std::string> ownNicks = {"me", "Я", "Tom Sawyer", "x_y"};
    Random r(seed);
    Case c;
    c.seed = seed;
    c.row = static_cast<int>(seed % kRows);
    c.zone = kZones[r.below(static_cast<int>(std::size(kZones)))];
    if (!With(Zones)) {
        c.zone = "UTC";
    }
    c.text.correctCrlf = r.chance(0.5);
    c.text.cp1251 = r.chance(0.5);
    c.text.relaxed = r.chance(0.3);
    c.useArchives = r.chance(0.5);
    c.createArchives = r.chance(0.5);
    c.backup = r.chance(0.5);
    c.mergeMode = r.below(3);
    c.archiveSize = static_cast<int>(r.between(1, 4));
    c.defaultVersion = r.below(4);
    c.ownNick = r.pick(ownNicks);
    const ZoneModel zone(c.zone);
    // Plain-text source histories, binary ones, or both kinds.
    int family = r.below(100);
    if (family >= 85 && !With(MixedSources)) {
        family = 50;
    }
    const int count = static_cast<int>(r.between(1, 6));
    std::set<std::string> uins;
    for (int i = 0; i < count; ++i) {
        Random cr(r.next());
        c.contacts.push_back(GenerateContact(cr, zone, family, c.row, i, uins));
    }
    c.faults = With(Faults) && r.chance(0.3);
    return c;
}

// ---- Failing file systems ---------------------------------------------------------------
//
// A run whose steps of saving fail now and then, as a full disk, a failing rename or
// fsync would: every history that stood before still stands and reads whole, and nothing
// of the save is left beside it. The next run then finishes the work.

std::mt19937_64 gFaultRng;
std::mutex gFaultLock; // the saves of several contacts run at once
bool FailNowAndThen(SaveStep, const QString&) {
    const std::lock_guard<std::mutex> guard(gFaultLock);
    return std::uniform_int_distribution<int>(0, 99)(gFaultRng) < 12;
}

QString Describe(const Case& c) {
    QStringList out;
    out << QStringLiteral("seed %1 (replay: VIMOSYNC_PROPERTY_SEED=%1 tst_sync_property), %2")
               .arg(c.seed)
               .arg(QLatin1String(kRowNames[c.row]));
    if (g_without != 0) {
        QStringList left;
        for (const auto& [name, f] : FeatureNames()) {
            if (!With(f)) {
                left << QLatin1String(name);
            }
        }
        out << QStringLiteral("without: VIMOSYNC_PROPERTY_WITHOUT=") + left.join(QLatin1Char(','));
    }
    out << QStringLiteral("zone %1 (PDA offset %2)")
               .arg(QString::fromLatin1(c.zone), FormatOffset(-Setup().PdaOffset));
    out << QStringLiteral("CorrectCRLF=%1 CodePage=%2 UseVaryonArchives=%3 CreateArchivesFolder=%4 "
                          "BackupToRecycleBin=%5 MergeIgnoreSpaces=%6 MessMergeMode=%7 "
                          "NewArchiveSize=%8 nick=\"%9\" default version %10")
               .arg(c.text.correctCrlf)
               .arg(c.text.cp1251 ? QStringLiteral("windows-1251") : QStringLiteral("UTF-8"))
               .arg(c.useArchives)
               .arg(c.createArchives)
               .arg(c.backup)
               .arg(c.text.relaxed)
               .arg(c.mergeMode)
               .arg(c.archiveSize)
               .arg(Q(c.ownNick))
               .arg(c.defaultVersion);
    for (const Contact& ct : c.contacts) {
        QStringList src;
        for (const HistoryFile& f : ct.sources) {
            src << QStringLiteral("%1 (%2, %3 messages%4)")
                       .arg(f.name, KindName(f.kind))
                       .arg(f.msgs.size())
                       .arg(c.read(f) ? QString() : QStringLiteral(", not read"));
        }
        QString dst = QStringLiteral("none");
        if (ct.dest) {
            dst = QStringLiteral("%1 (%2, %3 messages")
                      .arg(ct.dest->name, KindName(ct.dest->kind))
                      .arg(ct.dest->msgs.size());
            if (ct.dest->archives > 0) {
                dst += QStringLiteral(", %1 of them in %2 archive files")
                           .arg(ct.dest->mainFrom)
                           .arg(ct.dest->archives);
            }
            dst += QLatin1Char(')');
        }
        out << QStringLiteral("contact %1 \"%2\": source %3; destination %4")
                   .arg(Q(ct.uin), Q(ct.nick), src.join(QStringLiteral(" + ")), dst);
    }
    return out.join(QLatin1Char('\n'));
}

// ---- Files and trees --------------------------------------------------------------------

double TimeValue(const ZoneModel& zone, int kind, qint64 utc) {
    if (kind == V1) {
        // What the writer turns back into this stamp with the offsets now in force.
        return static_cast<double>(utc) / 86400.0 + kEpochDay - Setup().PdaOffset +
               Setup().ZmtDateOffset;
    }
    return static_cast<double>(zone.wall(utc)) / 86400.0 + kEpochDay;
}

qint64 WallOf(const ZoneModel& zone, int kind, const TZMTMess& m) {
    if (kind == Txt) {
        return std::llround((m.Time - kEpochDay) * 86400.0);
    }
    return kind == V1 ? zone.wall(m.Stamp) : m.Stamp;
}

void WriteFile(const Case& c, const Contact& ct, const HistoryFile& f, const QString& path,
               const ZoneModel& zone) {
    TZMTMessList list;
    list.FileName = path;
    list.Version = static_cast<std::uint8_t>(f.kind);
    list.Scrambled = f.kind >= V2 ? 1 : 0;
    list.UIN = ct.uin;
    list.ContactNick = ct.nick;
    for (const Held& h : f.msgs) {
        TZMTMess& m = NewMessage(list);
        m.Time = TimeValue(zone, f.kind, h.utc);
        m.Outgoing = h.out;
        m.Nick = HText(h.out ? c.ownNick : ct.nick);
        m.Text = HText(f.kind == Txt ? c.text.plain(h.text) : h.text);
    }
    TSettings& set = Setup();
    const bool backup = set.BackupToRecycleBin;
    const int size = set.NewArchiveSize;
    set.BackupToRecycleBin = false;
    set.NewArchiveSize = 1;
    if (f.split) {
        QDir().mkpath(ArchiveFolder(path, set.ArchiveFolderName));
    }
    bool backedUp = false;
    SaveHistory(list, backedUp, f.split, test::ReadOptions(), test::SaveOptions());
    set.BackupToRecycleBin = backup;
    set.NewArchiveSize = size;
}

// Reads a generated file back; a problem when it does not hold what was meant.
QString CheckWritten(const Case& c, HistoryFile& f, const QString& path, const ZoneModel& zone) {
    TZMTMessList all;
    all.FileName = path;
    LoadHistory(all, LoadPlain, f.split, test::ReadOptions());
    TZMTMessList main;
    main.FileName = path;
    LoadHistory(main, LoadPlain, false, test::ReadOptions());
    f.mainFrom = all.Count() - main.Count();
    for (int n = 1; QFileInfo::exists(ArchiveName(path, Setup().ArchiveFolderName, n)); ++n) {
        f.archives = n;
    }
    if (!all.Valid || all.Count() != static_cast<int>(f.msgs.size())) {
        return QStringLiteral("generated %1 reads back %2 messages of %3 (valid %4)")
            .arg(path)
            .arg(all.Count())
            .arg(f.msgs.size())
            .arg(all.Valid);
    }
    for (std::size_t i = 0; i < f.msgs.size(); ++i) {
        const Held& h = f.msgs[i];
        const TZMTMess& m = all.Items[i];
        const std::string want = c.text.read(f.kind, h.text);
        if (WallOf(zone, f.kind, m) != zone.wall(h.utc) || m.Outgoing != h.out ||
            m.Text.view() != want) {
            return QStringLiteral("generated %1 reads back message %2 as %3 %4 %5, not %6 %7 %8")
                .arg(path)
                .arg(i)
                .arg(WallText(WallOf(zone, f.kind, m)), m.Outgoing ? "out" : "in",
                     Shown(m.Text.view()), WallText(zone.wall(h.utc)), h.out ? "out" : "in",
                     Shown(want));
        }
    }
    return {};
}

struct FileState {
    QByteArray bytes;
    quint64 inode = 0;
    bool operator==(const FileState&) const = default;
};
using Tree = std::map<QString, FileState>;

Tree Snapshot(const QString& root) {
    Tree t;
    const QDir base(root);
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        FileState s;
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) {
            s.bytes = f.readAll();
        }
        struct stat st;
        if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
            s.inode = st.st_ino;
        }
        t[base.relativeFilePath(path)] = s;
    }
    return t;
}

// The folders under root, sorted.
QStringList Folders(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        out << QDir(root).relativeFilePath(it.next());
    }
    out.sort();
    return out;
}

void CopyTree(const QString& from, const QString& to) {
    for (const auto& [rel, s] : Snapshot(from)) {
        const QString path = to + QLatin1Char('/') + rel;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) {
            f.write(s.bytes);
        }
    }
}

// Whether a path of the destination tree is a history or an archive file of the UIN.
bool BelongsTo(const QString& rel, const std::string& uin) {
    const QString archives = Setup().ArchiveFolderName + QLatin1Char('/');
    for (const QString& mask : HistoryMasks()) {
        const QString name = mask.arg(Q(uin));
        if (rel.compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
        const QString prefix = archives + QFileInfo(name).completeBaseName() + QLatin1Char('_');
        if (rel.startsWith(prefix, Qt::CaseInsensitive) &&
            rel.endsWith(QLatin1String(".ahf"), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

// The files that differ between two states of a tree (all of them, or those of a UIN);
// withInodes: a file written anew with the same bytes counts as changed too.
QStringList Changes(const Tree& before, const Tree& after, bool withInodes,
                    const std::string* uin = nullptr) {
    QStringList out;
    const auto mine = [uin](const QString& rel) { return !uin || BelongsTo(rel, *uin); };
    for (const auto& [rel, s] : before) {
        if (!mine(rel)) {
            continue;
        }
        const auto it = after.find(rel);
        if (it == after.end()) {
            out << QStringLiteral("removed ") + rel;
        } else if (it->second.bytes != s.bytes) {
            out << QStringLiteral("changed ") + rel;
        } else if (withInodes && it->second.inode != s.inode) {
            out << QStringLiteral("rewritten ") + rel;
        }
    }
    for (const auto& [rel, s] : after) {
        if (mine(rel) && !before.count(rel)) {
            out << QStringLiteral("added ") + rel;
        }
    }
    return out;
}

// ---- Messages as keys -------------------------------------------------------------------

struct Key {
    qint64 wall = 0;
    bool out = false;
    std::string text;
    auto operator<=>(const Key&) const = default;
};
using Tally = std::map<Key, int>;

int CountOf(const Tally& t, const Key& k) {
    const auto it = t.find(k);
    return it == t.end() ? 0 : it->second;
}

QString KeyText(const Key& k) {
    return QStringLiteral("%1 %2 %3").arg(WallText(k.wall), k.out ? "out" : "in", Shown(k.text));
}

// The messages of a generated file from index `from` on, as a file of destKind holds them.
Tally InputTally(const Case& c, const ZoneModel& zone, const HistoryFile& f, int from,
                 int destKind) {
    Tally t;
    for (std::size_t i = static_cast<std::size_t>(from); i < f.msgs.size(); ++i) {
        const Held& h = f.msgs[i];
        const std::string seen = c.text.read(f.kind, h.text);
        const std::string held = destKind == Txt ? c.text.plain(seen) : c.text.binary(seen);
        ++t[{zone.wall(h.utc), h.out, c.text.key(held)}];
    }
    return t;
}

// A message of a plain-text source that is the text-file form of a message the binary
// destination holds in a fuller form (in its code page, trimmed, separators escaped) is
// that message again, with its repeats in the same second: it does not count.
void DropPlainCopies(const Case& c, const ZoneModel& zone, Tally& source, const HistoryFile& dest,
                     int from) {
    for (std::size_t i = static_cast<std::size_t>(from); i < dest.msgs.size(); ++i) {
        const Held& h = dest.msgs[i];
        const std::string seen = c.text.read(dest.kind, h.text);
        const std::string plain = c.text.plain(seen);
        if (plain == seen) {
            continue;
        }
        const auto it = source.find({zone.wall(h.utc), h.out, c.text.key(plain)});
        if (it != source.end()) {
            it->second = 0;
        }
    }
}

// A message that a destination of the kind cannot hold: the contact may be refused.
bool CannotHold(const Case& c, const ZoneModel& zone, const Contact& ct, int destKind) {
    if (destKind == Txt || destKind == NoFile) {
        return false;
    }
    for (const HistoryFile& f : ct.sources) {
        if (!c.read(f)) {
            continue;
        }
        for (const Held& h : f.msgs) {
            if (c.text.read(f.kind, h.text).size() > kMaxBinaryText ||
                !StampFits(destKind == V1 ? h.utc : zone.wall(h.utc))) {
                return true;
            }
        }
    }
    return false;
}

bool ReportCounts(const QString& text, int& updated, int& created) {
    static const QRegularExpression re(
        QStringLiteral("Files updated: (\\d+)\\r\\nFiles created: (\\d+)"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) {
        return false;
    }
    updated = m.captured(1).toInt();
    created = m.captured(2).toInt();
    return true;
}

// The messages the program still finds new in a contact, as its own merge shows them.
QString ExplainDifference(const TWorkflow& wf, const TZMTHead& e) {
    const TSettings& set = Setup();
    QStringList out;
    try {
        TZMTMessList src;
        src.UIN = e.UIN;
        src.ContactNick = e.Nick;
        src.FileName = wf.State.SrcPath + QLatin1Char('/') + e.SrcFile;
        LoadHistory(src, LoadPlain,
                    set.UseVaryonArchives && wf.State.SrcVaryon && wf.State.SrcArchiveExists,
                    test::ReadOptions());
        TZMTMessList dst;
        dst.UIN = e.UIN;
        dst.ContactNick = e.Nick;
        if (!e.DstFile.isEmpty()) {
            dst.FileName = wf.State.DstPath + QLatin1Char('/') + e.DstFile;
            LoadHistory(dst, LoadPlain,
                        set.UseVaryonArchives && wf.State.DstVaryon && wf.State.DstArchiveExists,
                        test::ReadOptions());
        }
        TZMTMessList result;
        result.FileName = dst.FileName;
        MergeHistories(src, dst, result, test::MergeOptions(), test::ReadOptions());
        for (const TZMTMess& m : result.Items) {
            if (m.Differs && out.size() < 5) {
                out << QStringLiteral("      new to it: %1 %2 %3")
                           .arg(ToDateTime(m.Time).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                                m.Outgoing ? "out" : "in", Shown(m.Text.view()));
            }
        }
    } catch (const std::exception& ex) {
        out << QStringLiteral("      (cannot show: %1)").arg(QString::fromLocal8Bit(ex.what()));
    }
    return out.join(QLatin1Char('\n'));
}

QString ExceptionText(const std::exception& ex) {
    if (const auto* e = dynamic_cast<const Exception*>(&ex)) {
        return e->message();
    }
    return QString::fromLocal8Bit(ex.what());
}

QString g_trash;         // the private trash of this process
int g_bothWaysCases = 0; // the cases of the row checked both ways too

// ---- One case ---------------------------------------------------------------------------

class CaseRun {
public:
    CaseRun(Case& c, const QString& root, bool keep)
        : c_(c), zone_(c.zone), root_(root), keep_(keep) {}

    // True when the promise held; the problems otherwise.
    bool run(QStringList& problems);

private:
    void configure();
    bool writeInputs(QStringList& problems);
    void checkContact(const Contact& ct, QStringList& problems);
    void checkConvergence(QStringList& problems);
    void checkUndo(QStringList& problems);
    QStringList analysisLines() const;
    bool runWithFaults(QStringList& problems);
    // One analysis and synchronization of a copy of the generated pair with the given
    // number of jobs: what it reports, logs and leaves in the destination.
    struct JobsRun {
        QStringList report;
        QMap<QString, QByteArray> destination;
    };
    JobsRun runWithJobs(const QString& pristine, int jobs);
    void checkJobs(const QString& pristine, QStringList& problems);
    // The generated pair synchronized both ways, on a copy.
    void checkBothWays(const QString& pristine, QStringList& problems);

    QString src() const { return root_ + QStringLiteral("/src"); }
    QString dst() const { return root_ + QStringLiteral("/dst"); }
    std::vector<const TSyncItem*> itemsOf(const std::string& uin) const {
        std::vector<const TSyncItem*> out;
        for (const TSyncItem& it : items_) {
            if (it.UIN == uin) {
                out.push_back(&it);
            }
        }
        return out;
    }

    Case& c_;
    const ZoneModel zone_;
    QString root_;
    bool keep_; // a replay: the generated destination is kept beside the one synchronized
    std::unique_ptr<ScriptedUi> ui_;
    std::unique_ptr<TWorkflow> wf_;
    std::vector<TSyncItem> items_;
    Tree before_;
    Tree after_;
    Tree trashBefore_, trashAfter_; // around the synchronization
    QStringList foldersGenerated_;  // the destination's folders as generated
    QStringList analysedBefore_;    // the analysis right before the synchronization
    bool varyonArchives_ = false;   // archives in use for the whole destination
    bool archiveFolder_ = false;
    // A binary history that has archive files is read and written with them whenever
    // archives are in use at all, Varyon destination or not.
    bool archivesUsed(const Contact& ct) const {
        return varyonArchives_ || (Setup().UseVaryonArchives && archiveFolder_ && ct.dest &&
                                   ct.dest->kind != Txt && ct.dest->archives > 0);
    }
    std::set<std::string> skipped_;
};

void CaseRun::configure() {
    qputenv("TZ", c_.zone);
    tzset();
    Setup().PdaOffset = ZonePdaOffset();
    TSettings& set = Setup();
    set = TSettings{};
    set.CorrectCRLF = c_.text.correctCrlf;
    set.CodePage = c_.text.cp1251 ? QStringLiteral("windows-1251") : QString();
    set.UseVaryonArchives = c_.useArchives;
    set.CreateArchivesFolder = c_.createArchives;
    set.BackupToRecycleBin = c_.backup;
    set.MergeIgnoreSpaces = c_.text.relaxed;
    set.MessMergeMode = static_cast<std::uint8_t>(c_.mergeMode);
    set.NewArchiveSize = c_.archiveSize;
}

bool CaseRun::writeInputs(QStringList& problems) {
    QDir().mkpath(src());
    QDir().mkpath(dst());
    for (Contact& ct : c_.contacts) {
        for (HistoryFile& f : ct.sources) {
            const QString path = src() + QLatin1Char('/') + f.name;
            WriteFile(c_, ct, f, path, zone_);
            const QString p = CheckWritten(c_, f, path, zone_);
            if (!p.isEmpty()) {
                problems << p;
            }
        }
        if (ct.dest) {
            const QString path = dst() + QLatin1Char('/') + ct.dest->name;
            WriteFile(c_, ct, *ct.dest, path, zone_);
            const QString p = CheckWritten(c_, *ct.dest, path, zone_);
            if (!p.isEmpty()) {
                problems << p;
            }
        }
    }
    return problems.isEmpty();
}

bool CaseRun::run(QStringList& problems) {
    configure();
    try {
        if (!writeInputs(problems)) {
            return false;
        }
    } catch (const std::exception& ex) {
        problems << QStringLiteral("the generated files cannot be written: ") + ExceptionText(ex);
        return false;
    }
    if (keep_) {
        CopyTree(dst(), root_ + QStringLiteral("/dst-generated"));
    }
    foldersGenerated_ = Folders(dst());
    // Every third case without faults is also run with 1, 2 and 8 jobs on copies, and
    // every case without faults both ways.
    const bool compareJobs = !c_.faults && c_.seed % 3 == 0;
    const QString pristine = root_ + QStringLiteral("/generated");
    if (!c_.faults) {
        CopyTree(src(), pristine + QStringLiteral("/src"));
        CopyTree(dst(), pristine + QStringLiteral("/dst"));
    }

    ui_ = std::make_unique<ScriptedUi>();
    ui_->DefaultConfirm = true;
    wf_ = std::make_unique<TWorkflow>(*ui_);
    wf_->OptionsSource = [] { return WorkflowOptions(Setup()); };
    wf_->HeadList.Clear();
    wf_->OwnNick = LangText::NickUnset;
    wf_->DefaultFileVersion = 0;
    wf_->MonitorEnabled = false;
    wf_->SrcPathEditChange(src());
    wf_->DstPathEditChange(dst());
    wf_->OnSyncItem = [this](const TSyncItem& item) { items_.push_back(item); };
    const auto answers = [this] {
        ui_->FileVersions.assign(8, c_.defaultVersion);
        ui_->Nicks.assign(4, Q(c_.ownNick));
    };

    answers();
    try {
        wf_->Analyse();
    } catch (const std::exception& ex) {
        problems << QStringLiteral("the analysis stopped: ") + ExceptionText(ex);
        return false;
    }
    if (!wf_->State.Analysed) {
        problems << QStringLiteral("the analysis did not finish: ") +
                        ui_->Calls.join(QStringLiteral("; "));
        return false;
    }
    if (c_.faults && wf_->AnyChecked()) {
        if (!runWithFaults(problems)) {
            return false;
        }
        answers();
        wf_->Analyse();
        if (!wf_->State.Analysed) {
            problems << QStringLiteral("the analysis after the failing run did not finish");
            return false;
        }
        items_.clear();
        ui_->Infos.clear();
    }
    varyonArchives_ =
        Setup().UseVaryonArchives && wf_->State.DstVaryon && wf_->State.DstArchiveExists;
    archiveFolder_ = wf_->State.DstArchiveExists;
    before_ = Snapshot(dst());
    trashBefore_ = Snapshot(g_trash);
    analysedBefore_ = analysisLines();
    if (wf_->AnyChecked()) {
        try {
            if (!wf_->Sync()) {
                problems << QStringLiteral("the synchronization did not run: ") +
                                ui_->Calls.join(QStringLiteral("; "));
                return false;
            }
        } catch (const std::exception& ex) {
            problems << QStringLiteral("the synchronization stopped: ") + ExceptionText(ex);
            return false;
        }
    }
    after_ = Snapshot(dst());
    trashAfter_ = Snapshot(g_trash);
    for (const TSyncItem& it : items_) {
        if (it.Skipped) {
            skipped_.insert(it.UIN);
        }
    }
    for (const Contact& ct : c_.contacts) {
        checkContact(ct, problems);
    }
    checkConvergence(problems);
    if (compareJobs && problems.isEmpty()) {
        checkJobs(pristine, problems);
    }
    if (problems.isEmpty()) {
        checkUndo(problems);
    }
    if (!c_.faults && problems.isEmpty()) {
        checkBothWays(pristine, problems);
    }
    return problems.isEmpty();
}

// Both ways, each side ends with every message either side held: a message as often as
// the side that held it most often (once where a side repeats it within one second),
// nothing else. A second run both ways writes nothing, an analysis in either direction
// finds nothing to do, and the undo gives both directories back.
void CaseRun::checkBothWays(const QString& pristine, QStringList& problems) {
    ++g_bothWaysCases;
    const QString base = root_ + QStringLiteral("/both");
    const QString s = base + QStringLiteral("/src");
    const QString d = base + QStringLiteral("/dst");
    CopyTree(pristine + QStringLiteral("/src"), s);
    CopyTree(pristine + QStringLiteral("/dst"), d);
    QDir().mkpath(s);
    QDir().mkpath(d);
    const Tree srcGenerated = Snapshot(s);
    const Tree dstGenerated = Snapshot(d);

    ScriptedUi ui;
    ui.DefaultConfirm = true;
    TWorkflow wf(ui);
    wf.OptionsSource = [] {
        TWorkflowOptions o = WorkflowOptions(Setup());
        o.BothWays = true;
        return o;
    };
    wf.MonitorEnabled = false;
    wf.OwnNick = LangText::NickUnset;
    std::vector<TSyncItem> items;
    wf.OnSyncItem = [&items](const TSyncItem& item) { items.push_back(item); };
    const auto analyse = [&](TWorkflow& w, ScriptedUi& u, const QString& from, const QString& to) {
        u.FileVersions.assign(8, c_.defaultVersion);
        u.Nicks.assign(4, Q(c_.ownNick));
        w.SrcPathEditChange(from);
        w.DstPathEditChange(to);
        w.Analyse();
        return w.State.Analysed;
    };
    if (!analyse(wf, ui, s, d)) {
        problems << QStringLiteral("both ways: the analysis did not finish");
        return;
    }
    const TReadOptions read = wf.ReadOptions();

    // Every history of a side, by UIN: what each file holds, on the wall clock, and the
    // kind it is of.
    using Sides = std::map<std::string, std::vector<std::tuple<int, Tally, Tally>>>;
    std::set<std::string> unreadable;
    const auto tallies = [&](const QString& folder) {
        Sides out;
        const bool archives =
            Setup().UseVaryonArchives &&
            QFileInfo(folder + QLatin1Char('/') + Setup().ArchiveFolderName).isDir();
        for (const QFileInfo& fi : QDir(folder).entryInfoList(
                 {QStringLiteral("*.zmt"), QStringLiteral("*.txt")}, QDir::Files)) {
            TZMTHead head;
            TZMTMessList list;
            try {
                ReadEntryHeader(head, fi.filePath(), read);
                if (!head.Valid) {
                    continue;
                }
                list.FileName = fi.filePath();
                list.UIN = head.UIN;
                LoadHistory(list, LoadPlain,
                            archives && IsBinaryPath(fi.filePath()) &&
                                HasArchiveFiles(fi.filePath(), Setup().ArchiveFolderName),
                            read);
            } catch (const std::exception&) {
                unreadable.insert(head.UIN);
                continue;
            }
            if (list.Damaged) {
                unreadable.insert(head.UIN);
            }
            const int kind = IsBinaryPath(fi.filePath()) ? int(list.Version) : int(Txt);
            Tally exact;
            Tally plain;
            for (const TZMTMess& m : list.Items) {
                const qint64 wall = WallOf(zone_, kind, m);
                ++exact[{wall, m.Outgoing, c_.text.key(m.Text.view())}];
                ++plain[{wall, m.Outgoing, c_.text.key(c_.text.plain(m.Text.view()))}];
            }
            out[head.UIN].emplace_back(kind, std::move(exact), std::move(plain));
        }
        return out;
    };
    tallies(s);
    tallies(d);

    wf.SelectAll();
    if (wf.AnyChecked()) {
        try {
            if (!wf.Sync()) {
                problems << QStringLiteral("both ways: the synchronization did not run: ") +
                                ui.Calls.join(QStringLiteral("; "));
                return;
            }
        } catch (const std::exception& ex) {
            problems << QStringLiteral("both ways: the synchronization stopped: ") +
                            ExceptionText(ex);
            return;
        }
    }
    std::set<std::string> skipped = unreadable;
    for (const TSyncItem& it : items) {
        if (it.Skipped) {
            skipped.insert(it.UIN);
        }
    }
    const Sides srcAfter = tallies(s);
    const Sides dstAfter = tallies(d);

    for (const Contact& ct : c_.contacts) {
        if (skipped.count(ct.uin)) {
            continue;
        }
        // Each message as often as the file that held it most often, in the form a file
        // of the kind holds it. Where a plain-text file takes part (or is created),
        // messages travel through it and may reach a binary history in the form a text
        // file holds them (in its code page, trimmed).
        std::vector<std::pair<const HistoryFile*, int>> files;
        for (const HistoryFile& f : ct.sources) {
            files.emplace_back(&f, 0);
        }
        if (ct.dest) {
            files.emplace_back(&*ct.dest, archivesUsed(ct) ? 0 : ct.dest->mainFrom);
        }
        const bool plainForm = (!ct.dest && c_.defaultVersion == Txt) ||
                               std::any_of(files.begin(), files.end(),
                                           [](const auto& f) { return f.first->kind == Txt; });
        // A binary history may hold a message in its own form or, where the message came
        // through a text file, in the form a text file holds it: each message of the
        // inputs in either form, as often as the inputs hold that text at most. (Two
        // messages may be one in the one form and two in the other: "ok" and "ok  ", or
        // under MergeIgnoreSpaces a bare CR and a space against a line break.)
        std::map<Key, std::set<Key>> plainToBinary;
        for (const auto& [f, from] : files) {
            for (std::size_t i = static_cast<std::size_t>(from); i < f->msgs.size(); ++i) {
                const Held& h = f->msgs[i];
                const std::string seen = c_.text.read(f->kind, h.text);
                const qint64 wall = zone_.wall(h.utc);
                plainToBinary[{wall, h.out, c_.text.key(c_.text.plain(seen))}].insert(
                    {wall, h.out, c_.text.key(c_.text.binary(seen))});
            }
        }
        const auto expected = [&](int form) {
            std::vector<Tally> inputs;
            for (const auto& [f, from] : files) {
                inputs.push_back(InputTally(c_, zone_, *f, from, form));
            }
            Tally most;
            for (const Tally& t : inputs) {
                for (const auto& [k, n] : t) {
                    most[k] = std::max(most[k], n);
                }
            }
            return most;
        };
        const Tally wantPlain = expected(Txt);
        for (const auto& [name, side] :
             {std::pair{"source", &srcAfter}, std::pair{"destination", &dstAfter}}) {
            const auto found = side->find(ct.uin);
            if (found == side->end()) {
                problems << QStringLiteral("both ways, contact %1: the %2 has no history of it")
                                .arg(Q(ct.uin), QLatin1String(name));
                continue;
            }
            for (const auto& [kind, exact, plain] : found->second) {
                QStringList diffs;
                const auto report = [&diffs](const char* what, const Key& k, int n, int most) {
                    diffs << QStringLiteral("    %1: %2, %3 times where the most was %4")
                                 .arg(QLatin1String(what), KeyText(k))
                                 .arg(n)
                                 .arg(most);
                };
                if (kind == Txt || !plainForm) {
                    const Tally want = kind == Txt ? wantPlain : expected(kind);
                    const Tally& got = kind == Txt ? plain : exact;
                    std::set<Key> keys;
                    for (const Tally* t : {&want, &got}) {
                        for (const auto& [k, n] : *t) {
                            keys.insert(k);
                        }
                    }
                    for (const Key& k : keys) {
                        const int most = CountOf(want, k);
                        const int n = CountOf(got, k);
                        if (most == 0 ? n != 0 : (n < 1 || n > most)) {
                            report(n < most    ? "lost"
                                   : most == 0 ? "invented"
                                               : "doubled",
                                   k, n, most);
                        }
                    }
                } else {
                    const Tally wantBinary = expected(kind);
                    for (const auto& [k, n] : exact) {
                        const int most = std::max(CountOf(wantBinary, k), CountOf(wantPlain, k));
                        if (n > most) {
                            report(most == 0 ? "invented" : "doubled", k, n, most);
                        }
                    }
                    for (const auto& [p, forms] : plainToBinary) {
                        if (CountOf(exact, p) == 0 &&
                            std::none_of(forms.begin(), forms.end(), [&exact](const Key& b) {
                                return CountOf(exact, b) > 0;
                            })) {
                            report("lost", p, 0, 1);
                        }
                    }
                }
                if (!diffs.isEmpty()) {
                    problems << QStringLiteral("both ways, contact %1, a %2 history of the %3:\n")
                                        .arg(Q(ct.uin), KindName(kind), QLatin1String(name)) +
                                    diffs.join(QLatin1Char('\n'));
                }
            }
        }
    }
    if (!problems.isEmpty()) {
        return;
    }

    // Nothing left to do, whichever way it is looked at.
    const auto differing = [&](TWorkflow& w, const char* how) {
        for (const TZMTHead& e : w.HeadList.Items) {
            if (e.Valid && !skipped.count(e.UIN) && e.Marked) {
                problems << QStringLiteral("both ways: %1 still finds %2 differing (%3 <-> %4)")
                                .arg(QLatin1String(how), ContactLineText(e, true), e.SrcFile,
                                     e.DstFile);
            }
        }
    };
    if (!analyse(wf, ui, s, d)) {
        problems << QStringLiteral("both ways: the second analysis did not finish");
        return;
    }
    differing(wf, "the second analysis both ways");
    for (const bool forward : {true, false}) {
        ScriptedUi oneUi;
        TWorkflow one(oneUi);
        one.OptionsSource = [] { return WorkflowOptions(Setup()); };
        one.MonitorEnabled = false;
        one.DryRun = true;
        one.OwnNick = LangText::NickUnset;
        if (analyse(one, oneUi, forward ? s : d, forward ? d : s)) {
            differing(one, forward ? "one way to the destination" : "one way to the source");
        }
    }
    wf.SelectAll();
    for (TZMTHead& e : wf.HeadList.Items) {
        if (skipped.count(e.UIN)) {
            e.Checked = false;
        }
    }
    const Tree srcSynced = Snapshot(s);
    const Tree dstSynced = Snapshot(d);
    if (wf.AnyChecked()) {
        items.clear();
        try {
            wf.Sync();
        } catch (const std::exception& ex) {
            problems << QStringLiteral("both ways: the second run stopped: ") + ExceptionText(ex);
        }
    }
    for (const auto& [name, folder, before] :
         {std::tuple{"source", s, &srcSynced}, {"destination", d, &dstSynced}}) {
        const QStringList changed = Changes(*before, Snapshot(folder), true);
        if (!changed.isEmpty()) {
            problems << QStringLiteral("both ways: the second run changed the %1: %2")
                            .arg(QLatin1String(name), changed.join(QStringLiteral(", ")));
        }
    }

    // The first run's undo (the second wrote nothing, so it is the newest).
    if (problems.isEmpty() && Setup().BackupToRecycleBin && skipped.empty()) {
        std::vector<TJournalRun> runs = TWorkflow::SyncRuns(d);
        if (!runs.empty() && runs.back().BothWays) {
            wf.UndoSync(d);
            for (const auto& [name, folder, generated] :
                 {std::tuple{"source", s, &srcGenerated}, {"destination", d, &dstGenerated}}) {
                const QStringList changed = Changes(*generated, Snapshot(folder), false);
                if (!changed.isEmpty()) {
                    problems << QStringLiteral("both ways: the undo left the %1 changed: %2")
                                    .arg(QLatin1String(name), changed.join(QStringLiteral(", ")));
                }
            }
        }
    }
}

QStringList CaseRun::analysisLines() const {
    QStringList lines;
    for (const TZMTHead& e : wf_->HeadList.Items) {
        lines << ContactLineText(e) + QLatin1Char(' ') + e.SrcFile + QLatin1Char(' ') + e.DstFile +
                     QLatin1Char(e.Checked ? 'x' : '-');
    }
    return lines;
}

// The undo stops after this many files (0: it runs through), as a killed one would.
int g_undoStopAt = 0;
bool StopUndoAt(int step) {
    return step == g_undoStopAt;
}

// The undo of the synchronization gives back the destination it found, takes out of the
// trash what the run put there, and a new analysis shows what the one before the run
// showed. Without the backup only the contacts the run created go; every file then
// holds what it held before the run or what the run left, nothing else.
void CaseRun::checkUndo(QStringList& problems) {
    if (after_ == before_) {
        return; // nothing written, no journal
    }
    ui_->Infos.clear();
    // Every fourth case is interrupted after some files and run again.
    g_undoStopAt = c_.seed % 4 == 1 ? static_cast<int>(c_.seed / 4 % 5) + 1 : 0;
    if (g_undoStopAt > 0) {
        HistoryUndoHooks().stopAfterStep = StopUndoAt;
        try {
            wf_->UndoSync(dst());
        } catch (const std::exception& ex) {
            problems << QStringLiteral("the interrupted undo stopped: ") + ExceptionText(ex);
        }
        HistoryUndoHooks().stopAfterStep = nullptr;
    }
    try {
        if (!wf_->UndoSync(dst())) {
            problems << QStringLiteral("the undo did not run: ") +
                            ui_->Calls.join(QStringLiteral("; "));
            return;
        }
    } catch (const std::exception& ex) {
        problems << QStringLiteral("the undo stopped: ") + ExceptionText(ex);
        return;
    }
    const QString how =
        g_undoStopAt > 0
            ? QStringLiteral(" (undo interrupted after %1 files, then run again)").arg(g_undoStopAt)
            : QString();
    const Tree now = Snapshot(dst());
    if (c_.backup) {
        const QStringList changed = Changes(before_, now, false);
        if (!changed.isEmpty()) {
            problems << QStringLiteral("after the undo%1 the destination differs from before the "
                                       "synchronization: ")
                                .arg(how) +
                            changed.join(QStringLiteral(", "));
        }
        if (!c_.faults && Folders(dst()) != foldersGenerated_) {
            problems << QStringLiteral("after the undo%1 the folders are %2, not %3")
                            .arg(how, Folders(dst()).join(QLatin1Char(',')),
                                 foldersGenerated_.join(QLatin1Char(',')));
        }
    } else {
        for (const auto& [rel, state] : now) {
            const auto b = before_.find(rel);
            const auto a = after_.find(rel);
            if (!(b != before_.end() && b->second.bytes == state.bytes) &&
                !(a != after_.end() && a->second.bytes == state.bytes)) {
                problems << QStringLiteral("after the undo%1 %2 holds neither what it held "
                                           "before the synchronization nor what it left")
                                .arg(how, rel);
            }
            if (b == before_.end()) {
                const bool contactNew =
                    std::none_of(c_.contacts.begin(), c_.contacts.end(), [&](const Contact& ct) {
                        return BelongsTo(rel, ct.uin) &&
                               std::any_of(before_.begin(), before_.end(), [&](const auto& kv) {
                                   return BelongsTo(kv.first, ct.uin);
                               });
                    });
                if (contactNew) {
                    problems << QStringLiteral("after the undo%1 %2, created by the "
                                               "synchronization, is still there")
                                    .arg(how, rel);
                }
            }
        }
        for (const auto& [rel, state] : before_) {
            if (!now.count(rel) && after_.count(rel)) {
                problems << QStringLiteral("after the undo%1 %2 is missing").arg(how, rel);
            }
        }
    }
    // What the run sent to the trash is gone from it again; a file the run created may
    // be there, sent by the undo.
    const Tree trash = Snapshot(g_trash);
    std::set<QByteArray> oldContents;
    for (const auto& [rel, state] : before_) {
        oldContents.insert(state.bytes);
    }
    for (const auto& [rel, state] : trashAfter_) {
        const auto left = trash.find(rel);
        if (!trashBefore_.count(rel) && left != trash.end() && c_.backup &&
            rel.startsWith(QLatin1String("files/")) && oldContents.count(left->second.bytes)) {
            problems << QStringLiteral("after the undo%1 the trash still holds %2, which the "
                                       "synchronization put there")
                            .arg(how, rel);
        }
    }
    if (!problems.isEmpty()) {
        return;
    }
    // A second undo changes nothing.
    wf_->UndoSync(dst());
    if (!Changes(now, Snapshot(dst()), true).isEmpty()) {
        problems << QStringLiteral("a second undo%1 changed the destination").arg(how);
    }
    if (!c_.backup) {
        return;
    }
    ui_->FileVersions.assign(8, c_.defaultVersion);
    ui_->Nicks.assign(4, Q(c_.ownNick));
    wf_->Analyse();
    const QStringList lines = analysisLines();
    if (lines != analysedBefore_) {
        problems << QStringLiteral("after the undo%1 the analysis shows\n    %2\nnot\n    %3")
                        .arg(how, lines.join(QStringLiteral("\n    ")),
                             analysedBefore_.join(QStringLiteral("\n    ")));
    }
}

CaseRun::JobsRun CaseRun::runWithJobs(const QString& pristine, int jobs) {
    const QString base = root_ + QStringLiteral("/jobs-%1").arg(jobs);
    CopyTree(pristine + QStringLiteral("/src"), base + QStringLiteral("/src"));
    CopyTree(pristine + QStringLiteral("/dst"), base + QStringLiteral("/dst"));
    QDir().mkpath(base + QStringLiteral("/src"));
    QDir().mkpath(base + QStringLiteral("/dst"));
    ScriptedUi ui;
    ui.DefaultConfirm = true;
    ui.FileVersions.assign(8, c_.defaultVersion);
    ui.Nicks.assign(4, Q(c_.ownNick));
    TWorkflow wf(ui);
    wf.OptionsSource = [jobs] {
        TWorkflowOptions o = WorkflowOptions(Setup());
        o.Jobs = jobs;
        return o;
    };
    wf.MonitorEnabled = false;
    wf.SrcPathEditChange(base + QStringLiteral("/src"));
    wf.DstPathEditChange(base + QStringLiteral("/dst"));
    JobsRun out;
    wf.OnSyncItem = [&out](const TSyncItem& item) {
        out.report << QStringLiteral("item %1 %2 v%3 %4 %5 %6 %7 %8")
                          .arg(Q(item.UIN), item.FileName)
                          .arg(item.Version)
                          .arg(item.Created)
                          .arg(item.Written)
                          .arg(item.Skipped)
                          .arg(item.Count)
                          .arg(item.DiffCount);
    };
    {
        // Every line of the debug log, in the order written.
        TLogCollector log;
        try {
            wf.Analyse();
            for (const TZMTHead& e : wf.HeadList.Items) {
                out.report << QStringLiteral("contact ") + ContactLineText(e) + QLatin1Char(' ') +
                                  e.SrcFile + QLatin1Char(' ') + e.DstFile +
                                  QLatin1Char(e.Checked ? 'x' : '-');
            }
            if (wf.AnyChecked()) {
                wf.Sync();
            }
        } catch (const std::exception& ex) {
            out.report << QStringLiteral("stopped: ") + ExceptionText(ex);
        }
        out.report << log.Take();
    }
    out.report << ui.Calls;
    // The journal is named by the time of its run.
    static const QRegularExpression journalName(QStringLiteral("journal/[0-9-]+\\.jsonl"));
    out.report.replaceInStrings(journalName, QStringLiteral("journal/<run>.jsonl"));
    out.report.replaceInStrings(base, QStringLiteral("<base>"));
    out.destination = test::treeBytes(base + QStringLiteral("/dst"));
    return out;
}

void CaseRun::checkJobs(const QString& pristine, QStringList& problems) {
    const JobsRun one = runWithJobs(pristine, 1);
    for (const int jobs : {2, 8}) {
        const JobsRun many = runWithJobs(pristine, jobs);
        if (many.report != one.report) {
            QStringList diff;
            for (qsizetype i = 0; i < std::max(one.report.size(), many.report.size()); ++i) {
                const QString a = i < one.report.size() ? one.report[i] : QString();
                const QString b = i < many.report.size() ? many.report[i] : QString();
                if (a != b) {
                    diff << QStringLiteral("    line %1: 1 job \"%2\", %3 jobs \"%4\"")
                                .arg(i)
                                .arg(a)
                                .arg(jobs)
                                .arg(b);
                }
            }
            problems << QStringLiteral("with %1 jobs the report or the log differs:\n").arg(jobs) +
                            diff.mid(0, 10).join(QLatin1Char('\n'));
        }
        if (many.destination != one.destination) {
            problems
                << QStringLiteral("with %1 jobs the destination differs from one job's").arg(jobs);
        }
    }
}

void CaseRun::checkContact(const Contact& ct, QStringList& problems) {
    const QString who = QStringLiteral("contact %1: ").arg(Q(ct.uin));
    std::vector<const HistoryFile*> read;
    for (const HistoryFile& f : ct.sources) {
        if (c_.read(f)) {
            read.push_back(&f);
        }
    }
    const QStringList touched = Changes(before_, after_, false, &ct.uin);
    if (read.empty()) {
        if (!touched.isEmpty()) {
            problems << who + QStringLiteral("no source history of it is read, yet ") +
                            touched.join(QStringLiteral(", "));
        }
        return;
    }
    const std::vector<const TSyncItem*> items = itemsOf(ct.uin);
    int newKind = ct.dest ? ct.dest->kind : NoFile;
    for (const TSyncItem* it : items) {
        if (newKind == NoFile && it->Created) {
            newKind = IsBinaryPath(it->FileName) ? it->Version : Txt;
        }
    }
    if (skipped_.count(ct.uin)) {
        if (!touched.isEmpty()) {
            problems << who + QStringLiteral("refused, yet ") + touched.join(QStringLiteral(", "));
        }
        if (!CannotHold(c_, zone_, ct, newKind)) {
            problems << who + QStringLiteral("refused, though its destination (%1) can hold "
                                             "every message")
                                  .arg(KindName(newKind));
        }
        return;
    }

    // The one history of the contact in the destination now.
    QStringList histories;
    for (const QString& mask : HistoryMasks()) {
        const QString name = mask.arg(Q(ct.uin));
        for (const auto& [rel, s] : after_) {
            if (rel.compare(name, Qt::CaseInsensitive) == 0) {
                histories << rel;
            }
        }
    }
    if (histories.size() > 1) {
        problems << who + QStringLiteral("%1 histories in the destination after the run: %2")
                              .arg(histories.size())
                              .arg(histories.join(QStringLiteral(", ")));
        return;
    }
    if (histories.isEmpty()) {
        problems << who + QStringLiteral("no history in the destination after the run");
        return;
    }
    const QString path = dst() + QLatin1Char('/') + histories.first();
    TZMTMessList now;
    now.FileName = path;
    const bool binary = IsBinaryPath(path);
    try {
        LoadHistory(now, LoadPlain, archivesUsed(ct) && binary, test::ReadOptions());
    } catch (const std::exception& ex) {
        problems << who + QStringLiteral("the new destination cannot be read: ") +
                        ExceptionText(ex);
        return;
    }
    const int kind = binary ? static_cast<int>(now.Version) : static_cast<int>(Txt);
    if (!now.Valid || (ct.dest && kind != ct.dest->kind)) {
        problems << who + QStringLiteral("the new destination %1 reads as %2, valid %3")
                              .arg(histories.first(), KindName(kind))
                              .arg(now.Valid);
        return;
    }
    // Old archives the program does not use must stay as they are.
    if (ct.dest && ct.dest->archives > 0 && !archivesUsed(ct)) {
        QStringList archives;
        for (const QString& t : touched) {
            if (t.contains(QLatin1Char('/'))) {
                archives << t;
            }
        }
        if (!archives.isEmpty()) {
            problems << who + QStringLiteral("archives not in use, yet ") +
                            archives.join(QStringLiteral(", "));
        }
    }

    // Each message as often as the source or the old destination has it, whichever more.
    std::vector<Tally> inputs;
    for (const HistoryFile* f : read) {
        inputs.push_back(InputTally(c_, zone_, *f, 0, kind));
        if (f->kind == Txt && kind != Txt && ct.dest) {
            DropPlainCopies(c_, zone_, inputs.back(), *ct.dest,
                            archivesUsed(ct) ? 0 : ct.dest->mainFrom);
        }
    }
    Tally old;
    if (ct.dest) {
        old = InputTally(c_, zone_, *ct.dest, archivesUsed(ct) ? 0 : ct.dest->mainFrom, kind);
    }
    Tally actual;
    for (const TZMTMess& m : now.Items) {
        ++actual[{WallOf(zone_, kind, m), m.Outgoing, c_.text.key(m.Text.view())}];
    }
    std::set<Key> keys;
    for (const Tally* t : {&old, &actual}) {
        for (const auto& [k, n] : *t) {
            keys.insert(k);
        }
    }
    for (const Tally& t : inputs) {
        for (const auto& [k, n] : t) {
            keys.insert(k);
        }
    }
    QStringList diffs;
    for (const Key& k : keys) {
        const auto count = [&k](const Tally& t) { return CountOf(t, k); };
        QStringList from;
        int expected = count(old);
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            expected = std::max(expected, count(inputs[i]));
            from << QStringLiteral("source %1: %2").arg(read[i]->name).arg(count(inputs[i]));
        }
        from << QStringLiteral("old destination: %1").arg(count(old));
        // A message repeated within one side in one second is one message: the merge
        // keeps it once when it writes the contact, or leaves the file as it was.
        const int got = count(actual);
        if (expected == 0 ? got != 0 : (got < 1 || got > expected)) {
            const QString what = got < expected  ? QStringLiteral("lost")
                                 : expected == 0 ? QStringLiteral("invented")
                                                 : QStringLiteral("doubled");
            diffs << QStringLiteral("    %1: %2, new destination has %3 (%4)")
                         .arg(what, KeyText(k))
                         .arg(got)
                         .arg(from.join(QStringLiteral(", ")));
        }
    }
    if (!diffs.isEmpty()) {
        problems << who +
                        QStringLiteral("new destination %1 (%2) against its inputs:\n")
                            .arg(histories.first(), KindName(kind)) +
                        diffs.join(QLatin1Char('\n'));
    }
}

bool CaseRun::runWithFaults(QStringList& problems) {
    const Tree generated = Snapshot(dst());
    gFaultRng.seed(c_.seed ^ 0x5A17ULL);
    HistorySaveHooks().fail = FailNowAndThen;
    try {
        wf_->Sync();
    } catch (const std::exception&) {
        // A failure of the destination as a whole may end the run: allowed here.
    }
    HistorySaveHooks().fail = nullptr;
    const Tree now = Snapshot(dst());
    for (const auto& [name, state] : generated) {
        const QString path = dst() + QLatin1Char('/') + name;
        if (!now.count(name) && !name.contains(QLatin1String("/"))) {
            problems << QStringLiteral("after a failing run, %1 is missing").arg(name);
            continue;
        }
        TZMTMessList back;
        back.FileName = path;
        try {
            LoadHistory(back, LoadPlain, false, test::ReadOptions());
        } catch (const std::exception& ex) {
            problems << QStringLiteral("after a failing run, %1 cannot be read: %2")
                            .arg(name, ExceptionText(ex));
            continue;
        }
        if (back.Damaged) {
            problems << QStringLiteral("after a failing run, %1 is damaged").arg(name);
        }
    }
    for (const auto& [name, state] : now) {
        if (QFileInfo(name).fileName().startsWith(QLatin1String(".vimosync-"))) {
            problems
                << QStringLiteral("after a failing run, %1 is left beside the histories").arg(name);
        }
    }
    return problems.isEmpty();
}

void CaseRun::checkConvergence(QStringList& problems) {
    items_.clear();
    ui_->Infos.clear();
    ui_->FileVersions.assign(8, c_.defaultVersion);
    ui_->Nicks.assign(4, Q(c_.ownNick));
    try {
        wf_->Analyse();
    } catch (const std::exception& ex) {
        problems << QStringLiteral("the second analysis stopped: ") + ExceptionText(ex);
        return;
    }
    if (!wf_->State.Analysed) {
        problems << QStringLiteral("the second analysis did not finish");
        return;
    }
    for (const TZMTHead& e : wf_->HeadList.Items) {
        if (e.Valid && !skipped_.count(e.UIN) && (e.DiffCount != 0 || e.Marked)) {
            problems << QStringLiteral("contact %1: after the run, %2 still differs from "
                                       "destination %3 (%4 new messages)\n")
                                .arg(Q(e.UIN), e.SrcFile,
                                     e.DstFile.isEmpty() ? QStringLiteral("none") : e.DstFile)
                                .arg(e.DiffCount) +
                            ExplainDifference(*wf_, e);
        }
    }

    // Every contact again, but those the run refused: the mode of the destination may
    // change with the files the run created (a Varyon history in a plain-text one), and a
    // contact refused under one mode may be written under the other.
    wf_->SelectAll();
    for (TZMTHead& e : wf_->HeadList.Items) {
        if (skipped_.count(e.UIN)) {
            e.Checked = false;
        }
    }
    const Tree before = Snapshot(dst());
    const Tree trashBefore = Snapshot(g_trash);
    if (wf_->AnyChecked()) {
        try {
            if (!wf_->Sync()) {
                problems << QStringLiteral("the second synchronization did not run: ") +
                                ui_->Calls.join(QStringLiteral("; "));
                return;
            }
        } catch (const std::exception& ex) {
            problems << QStringLiteral("the second synchronization stopped: ") + ExceptionText(ex);
            return;
        }
        int updated = -1;
        int created = -1;
        const QString report = ui_->Infos.isEmpty() ? QString() : ui_->Infos.last();
        if (!ReportCounts(report, updated, created) || updated != 0 || created != 0) {
            problems << QStringLiteral("the second synchronization reports: ") +
                            QString(report).replace(QStringLiteral("\r\n"), QStringLiteral("; "));
        }
    }
    const QStringList changed = Changes(before, Snapshot(dst()), true);
    if (!changed.isEmpty()) {
        problems << QStringLiteral("the second synchronization changed the destination: ") +
                        changed.join(QStringLiteral(", "));
    }
    QStringList trashed;
    const Tree trashAfter = Snapshot(g_trash);
    for (const auto& [rel, s] : trashAfter) {
        if (!trashBefore.count(rel)) {
            trashed << rel;
        }
    }
    if (!trashed.isEmpty()) {
        problems << QStringLiteral("the second synchronization sent to the trash: ") +
                        trashed.join(QStringLiteral(", "));
    }
}

std::optional<quint64> EnvNumber(const char* name) {
    bool ok = false;
    const quint64 v = qEnvironmentVariable(name).toULongLong(&ok);
    return ok ? std::optional<quint64>(v) : std::nullopt;
}

} // namespace

class TestSyncProperty : public QObject {
    Q_OBJECT

    // Runs one case; false (after printing it) when the promise was broken.
    bool runCase(quint64 seed, bool keep) {
        Case c = Generate(seed);
        QTemporaryDir root(QDir::tempPath() + QStringLiteral("/vimosync-property-XXXXXX"));
        if (!root.isValid()) {
            qWarning("cannot make a temporary folder");
            return false;
        }
        root.setAutoRemove(!keep);
        QStringList problems;
        bool ok = false;
        {
            CaseRun run(c, root.path(), keep);
            ok = run.run(problems);
        }
        if (keep) {
            qInfo().noquote() << "the case's directories are kept in" << root.path();
        }
        if (!ok) {
            qWarning().noquote() << "\n" + Describe(c) + "\n" + problems.join(QLatin1Char('\n'));
        }
        return ok;
    }

private slots:
    void initTestCase() {
        for (const QString& name : qEnvironmentVariable("VIMOSYNC_PROPERTY_WITHOUT")
                                       .split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const auto& names = FeatureNames();
            const auto it = std::find_if(names.begin(), names.end(), [&](const auto& f) {
                return name.trimmed() == QLatin1String(f.first);
            });
            QVERIFY2(it != names.end(), qPrintable(QStringLiteral("no feature ") + name));
            g_without |= it->second;
        }
        for (const char* z : kZones) {
            QVERIFY2(ZoneModel(z).valid(), z);
        }
        QVERIFY(Cp1251Repertoire().count(U'Ё'));
    }

    void synchronization_data() {
        QTest::addColumn<int>("row");
        for (int row = 0; row < kRows; ++row) {
            QTest::newRow(kRowNames[row]) << row;
        }
    }

    // Each row's destinations are of its kind (or missing); the seed's remainder modulo
    // the number of rows is the row, so that a seed alone names its case.
    void synchronization() {
        QFETCH(int, row);
        if (const std::optional<quint64> seed = EnvNumber("VIMOSYNC_PROPERTY_SEED")) {
            if (static_cast<int>(*seed % kRows) != row) {
                QSKIP("the seed to replay belongs to another row");
            }
            QVERIFY2(runCase(*seed, true), "the promise is broken, see above");
            return;
        }
        const quint64 seconds = EnvNumber("VIMOSYNC_PROPERTY_SECONDS").value_or(40);
        const qint64 budget = static_cast<qint64>(seconds) * 1000 / kRows;
        const quint64 base = QRandomGenerator::global()->generate64() >> 24;
        g_bothWaysCases = 0;
        QElapsedTimer timer;
        timer.start();
        int cases = 0;
        do {
            const quint64 seed =
                (base + static_cast<quint64>(cases)) * kRows + static_cast<quint64>(row);
            ++cases;
            if (!runCase(seed, false)) {
                QFAIL(qPrintable(QStringLiteral("the promise is broken in case %1 of the row, "
                                                "seed %2 (see above)")
                                     .arg(cases)
                                     .arg(seed)));
            }
        } while (timer.elapsed() < budget);
        qInfo("%d cases in %lld ms, %d of them also both ways", cases,
              static_cast<long long>(timer.elapsed()), g_bothWaysCases);
    }
};

int main(int argc, char** argv) {
    // A trash of its own: the user's is never touched.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("share")).toLocal8Bit());
    g_trash = home.filePath(QStringLiteral("share/Trash"));
    // A longer search runs past the test library's five minutes for one function.
    if (qEnvironmentVariableIsEmpty("QTEST_FUNCTION_TIMEOUT")) {
        const quint64 seconds = EnvNumber("VIMOSYNC_PROPERTY_SECONDS").value_or(40);
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number((seconds + 240) * 1000));
    }
    QCoreApplication app(argc, argv);
    TestSyncProperty test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sync_property.moc"
