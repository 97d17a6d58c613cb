#include "history/TextFormat.h"

#include "history/BinaryFormat.h"
#include "history/DateTimeFormat.h"
#include "history/TimeStamp.h"
#include "support/Errors.h"
#include "support/LangText.h"

#include <QHash>

#include <algorithm>
#include <functional>

#include <cstring>

namespace vimosync {

namespace {

std::string utf8(const QString& s) {
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

std::string utf8(QChar c) {
    return utf8(QString(c));
}

bool isBlank(char c) noexcept {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view trim(std::string_view s) noexcept {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Finds a separator text in a line. An empty separator never matches, so that an
// emptied setting marks no line.
class LineMarker {
public:
    explicit LineMarker(std::string needle)
        : needle_(std::move(needle)), search_(needle_.begin(), needle_.end()) {}
    // The searcher points into needle_.
    LineMarker(const LineMarker&) = delete;
    LineMarker& operator=(const LineMarker&) = delete;
    bool in(std::string_view hay) const {
        const std::size_t n = needle_.size();
        if (n == 0 || n > hay.size()) {
            return false;
        }
        // Most lines lack even the first byte; a line that is just the separator is the
        // other common case.
        const auto* first =
            static_cast<const char*>(std::memchr(hay.data(), needle_[0], hay.size() - n + 1));
        if (!first) {
            return false;
        }
        if (hay.size() == n) {
            return std::memcmp(hay.data(), needle_.data(), n) == 0;
        }
        return std::search(first, hay.data() + hay.size(), search_) != hay.data() + hay.size();
    }

private:
    std::string needle_;
    std::boyer_moore_horspool_searcher<std::string::const_iterator> search_;
};

// Characters of UTF-8 bytes: every byte that does not continue a sequence.
std::size_t charCount(std::string_view s) noexcept {
    std::size_t n = 0;
    for (char c : s) {
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return n;
}

enum class DateOrder { DMY, MDY, YMD };

DateOrder dateOrder(const QString& pattern) {
    bool quoted = false;
    QChar quote;
    for (QChar c : pattern) {
        if (quoted) {
            quoted = c != quote;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quoted = true;
            quote = c;
            continue;
        }
        const QChar l = c.toLower();
        if (l == u'd') {
            return DateOrder::DMY;
        }
        if (l == u'm') {
            return DateOrder::MDY;
        }
        if (l == u'y') {
            return DateOrder::YMD;
        }
    }
    return DateOrder::DMY;
}

class Scanner {
public:
    explicit Scanner(std::string_view s) : p_(s.data()), e_(s.data() + s.size()) {}
    void skipBlanks() {
        while (p_ < e_ && (*p_ == ' ' || *p_ == '\t')) {
            ++p_;
        }
    }
    bool atEnd() const { return p_ == e_; }
    bool number(int& v, int& digits) {
        skipBlanks();
        v = 0;
        digits = 0;
        while (p_ < e_ && *p_ >= '0' && *p_ <= '9') {
            if (digits < 9) {
                v = v * 10 + (*p_ - '0');
            } else {
                return false;
            }
            ++digits;
            ++p_;
        }
        return digits > 0;
    }
    bool literal(std::string_view s) {
        if (!(s.size() == 1 && (s[0] == ' ' || s[0] == '\t'))) {
            skipBlanks();
        }
        if (s.empty() || static_cast<std::size_t>(e_ - p_) < s.size() ||
            std::memcmp(p_, s.data(), s.size()) != 0) {
            return false;
        }
        p_ += s.size();
        return true;
    }
    bool wordNoCase(const char* w) {
        const std::size_t n = std::strlen(w);
        if (static_cast<std::size_t>(e_ - p_) < n) {
            return false;
        }
        for (std::size_t i = 0; i < n; ++i) {
            char c = p_[i];
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 32);
            }
            if (c != w[i]) {
                return false;
            }
        }
        p_ += n;
        return true;
    }

private:
    const char* p_;
    const char* e_;
};

bool daysInMonthOk(int y, int m, int d) {
    static const int dim[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) {
        return false;
    }
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= dim[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Everything the reader needs from the settings, taken once per file.
struct ReaderSettings {
    explicit ReaderSettings(const TTextFormat& set)
        : inSep(utf8(set.MsgInSeparator)), outSep(utf8(set.MsgOutSeparator)),
          left(utf8(set.DTLeftBracket)), right(utf8(set.DTRightBracket)),
          timeBeforeDate(set.TimeBeforeDate) {}
    LineMarker inSep, outSep;
    std::string left, right;
    bool timeBeforeDate = true;
};

// Nick tally of the detection modes: distinct nicks ignoring case, each with its
// count, in the order first met; the spelling first met is kept.
class NickTally {
public:
    void add(std::string_view nick) {
        if (last_ >= 0 && entries_[static_cast<std::size_t>(last_)].spelling == nick) {
            ++entries_[static_cast<std::size_t>(last_)].count;
            return;
        }
        const QString folded =
            QString::fromUtf8(nick.data(), static_cast<qsizetype>(nick.size())).toCaseFolded();
        const auto it = index_.constFind(folded);
        if (it != index_.constEnd()) {
            last_ = *it;
            ++entries_[static_cast<std::size_t>(last_)].count;
            return;
        }
        last_ = static_cast<int>(entries_.size());
        index_.insert(folded, last_);
        entries_.push_back({std::string(nick), 1});
    }
    // The nick with the highest count, the first met among equal counts.
    bool winner(std::string& nick) const {
        int best = -1;
        int bestCount = 0;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].count > bestCount) {
                bestCount = entries_[i].count;
                best = static_cast<int>(i);
            }
        }
        if (best < 0) {
            return false;
        }
        nick = entries_[static_cast<std::size_t>(best)].spelling;
        return true;
    }

private:
    struct Entry {
        std::string spelling;
        int count;
    };
    std::vector<Entry> entries_;
    QHash<QString, int> index_;
    int last_ = -1;
};

// Splits the buffer into lines ending in CR LF, a lone LF or a lone CR.
class LineReader {
public:
    LineReader(const char* data, std::size_t size) : base_(data), size_(size) {}
    // The next line's bytes without its line break; false at the end of the buffer.
    bool next(std::string_view& line, std::size_t& lineStart) {
        if (pos_ >= size_) {
            return false;
        }
        lineStart = pos_;
        const char* p = base_ + pos_;
        const std::size_t left = size_ - pos_;
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', left));
        const std::size_t scan = lf ? static_cast<std::size_t>(lf - p) : left;
        const auto* cr = static_cast<const char*>(std::memchr(p, '\r', scan));
        std::size_t len;
        std::size_t brk;
        if (cr) {
            len = static_cast<std::size_t>(cr - p);
            brk = (lf && cr + 1 == lf) ? 2 : 1;
        } else {
            len = scan;
            brk = lf ? 1 : 0;
        }
        line = std::string_view(p, len);
        pos_ += len + brk;
        return true;
    }
    std::size_t pos() const { return pos_; }

private:
    const char* base_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

} // namespace

namespace {

// The date settings in the form the reader compares bytes with, made once per file.
struct DateReader {
    explicit DateReader(const TTxtDateFormat& format)
        : dateSep(utf8(format.DateSeparator)), timeSep(utf8(format.TimeSeparator)),
          order(dateOrder(format.ShortDateFormat)) {}
    // The date-time value, and the stamp of version 0 (seconds since 1970) computed from
    // the same whole numbers, which is what TimeToStamp gives for that value.
    bool read(std::string_view text, double& t, std::int32_t& stamp) const;

    std::string dateSep, timeSep;
    DateOrder order;
};

bool DateReader::read(std::string_view text, double& t, std::int32_t& stamp) const {
    Scanner sc(text);
    int n[3];
    int digits[3];
    if (!sc.number(n[0], digits[0]) || !sc.literal(dateSep) || !sc.number(n[1], digits[1]) ||
        !sc.literal(dateSep) || !sc.number(n[2], digits[2])) {
        return false;
    }
    int y, m, d, yearDigits;
    switch (order) {
    case DateOrder::MDY:
        m = n[0], d = n[1], y = n[2], yearDigits = digits[2];
        break;
    case DateOrder::YMD:
        y = n[0], m = n[1], d = n[2], yearDigits = digits[0];
        break;
    default:
        d = n[0], m = n[1], y = n[2], yearDigits = digits[2];
        break;
    }
    if (yearDigits <= 2) {
        y += y < 50 ? 2000 : 1900;
    }
    if (!daysInMonthOk(y, m, d)) {
        return false;
    }
    int h = 0, mi = 0, s = 0, dg = 0;
    sc.skipBlanks();
    if (!sc.atEnd()) {
        if (!sc.number(h, dg) || !sc.literal(timeSep) || !sc.number(mi, dg)) {
            return false;
        }
        if (sc.literal(timeSep) && !sc.number(s, dg)) {
            return false;
        }
        sc.skipBlanks();
        if (!sc.atEnd()) {
            const bool pm = sc.wordNoCase("PM") || sc.wordNoCase("P");
            const bool am = !pm && (sc.wordNoCase("AM") || sc.wordNoCase("A"));
            if (!am && !pm) {
                return false;
            }
            if (h < 1 || h > 12) {
                return false;
            }
            h = (h % 12) + (pm ? 12 : 0);
            sc.skipBlanks();
            if (!sc.atEnd()) {
                return false;
            }
        }
        if (h > 23 || mi > 59 || s > 59) {
            return false;
        }
    }
    const double days = static_cast<double>(DaysFromCivil(y, m, d));
    // Before 1899-12-30 the time of day counts backwards, as in the value itself.
    const long long secs = h * 3600 + mi * 60 + s;
    const long long epochSeconds =
        (static_cast<long long>(days) - 25569) * 86400 + (days >= 0 ? secs : -secs);
    if (days >= 0) {
        t = TimeOfSeconds(epochSeconds); // the value a binary stamp of this second gives
    } else {
        t = days - (secs * 1000) / 86400000.0;
    }
    stamp = static_cast<std::int32_t>(static_cast<std::uint32_t>(epochSeconds));
    return true;
}

} // namespace

bool ParseTxtDateTime(std::string_view text, const TTxtDateFormat& format, double& t) {
    std::int32_t stamp = 0;
    return DateReader(format).read(text, t, stamp);
}

void ParsePlainText(TZMTMessList& list, std::string&& bytes, TLoadMode mode,
                    const TTextFormat& format) {
    list.Clear();
    list.Valid = false;
    list.OwnNick.clear();

    const ReaderSettings rs(format);
    const DateReader dates(format.Dates);

    HStore store(std::move(bytes));
    const char* const base = store.data();
    LineReader lines(base, store.size());
    HArena arena;
    NickTally tally;
    std::string rearranged;
    // Lines that hold something but are no part of a message read: a header that does
    // not read, the body it heads, text before the first separator, a separator at the
    // end. A file with such lines is damaged: rewritten, it would lose them.
    int passed = 0;

    auto isSeparator = [&rs](std::string_view line, bool& outgoing) {
        if (rs.outSep.in(line)) {
            outgoing = true;
            return true;
        }
        if (rs.inSep.in(line)) {
            outgoing = false;
            return true;
        }
        return false;
    };

    std::string_view line;
    std::size_t lineStart = 0;
    bool haveSeparator = false; // line holds a separator line not yet used
    bool outgoing = false;
    while (true) {
        // Step to the next separator line, unless the last body ended on one.
        if (!haveSeparator) {
            bool found = false;
            while (lines.next(line, lineStart)) {
                if (isSeparator(line, outgoing)) {
                    found = true;
                    break;
                }
                passed += trim(line).empty() ? 0 : 1;
            }
            if (!found) {
                break;
            }
        }
        haveSeparator = false;
        std::string_view header;
        std::size_t headerStart = 0;
        if (!lines.next(header, headerStart)) {
            ++passed;
            break;
        }
        const std::size_t right = header.rfind(rs.right);
        if (right == std::string_view::npos || right == 0) {
            ++passed;
            continue;
        }
        const std::size_t left = header.substr(0, right).rfind(rs.left);
        if (left == std::string_view::npos) {
            ++passed;
            continue;
        }
        const std::size_t inner = left + rs.left.size();
        if (inner > right || charCount(header.substr(inner, right - inner)) < 16) {
            ++passed;
            continue;
        }
        std::string_view dateText = trim(header.substr(inner, right - inner));
        const std::string_view nick = trim(header.substr(0, left));
        if (mode == LoadOwnNick && outgoing) {
            tally.add(nick);
        } else if (mode == LoadContactNick && !outgoing) {
            tally.add(nick);
        }
        if (rs.timeBeforeDate) {
            const std::size_t space = dateText.find(' ');
            rearranged.clear();
            if (space == std::string_view::npos) {
                rearranged.append(dateText);
                rearranged.push_back(' ');
            } else {
                rearranged.append(dateText.substr(space + 1, 300));
                rearranged.push_back(' ');
                rearranged.append(dateText.substr(0, space));
            }
            dateText = rearranged;
        }
        double time = 0;
        std::int32_t stamp = 0;
        if (!dates.read(dateText, time, stamp)) {
            ++passed;
            continue;
        }
        // The body runs up to the next separator line or the end of the file.
        const std::size_t bodyStart = lines.pos();
        std::size_t bodyEnd = store.size();
        bool nextOutgoing = false;
        while (lines.next(line, lineStart)) {
            if (isSeparator(line, nextOutgoing)) {
                bodyEnd = lineStart;
                haveSeparator = true;
                break;
            }
        }
        // The body lines joined by CR LF, trailing blanks cut: the buffer's own bytes when
        // its line breaks are CR LF already, else a copy joined anew. Lines break at every
        // CR and LF, so the joined text has no lone CR or LF left for CorrectCRLF to mend.
        std::string_view rtrimmed(base + bodyStart, bodyEnd - bodyStart);
        while (!rtrimmed.empty() && isBlank(rtrimmed.back())) {
            rtrimmed.remove_suffix(1);
        }
        TZMTMess& m = NewMessage(list);
        m.Outgoing = outgoing;
        m.Time = time;
        m.Stamp = stamp;
        m.Nick = store.slice(nick.data(), nick.size());
        if (NeedsLineBreakFix(rtrimmed)) {
            arena.begin();
            // Appending the pieces between line breaks, joined by CR LF.
            LineReader bodyLines(rtrimmed.data(), rtrimmed.size());
            std::string_view piece;
            std::size_t at = 0;
            bool first = true;
            while (bodyLines.next(piece, at)) {
                if (!first) {
                    arena.append("\r\n");
                }
                arena.append(piece);
                first = false;
            }
            m.Text = arena.finish();
        } else {
            m.Text = store.slice(rtrimmed.data(), rtrimmed.size());
        }
        if (haveSeparator) {
            outgoing = nextOutgoing;
        }
    }
    list.Valid = list.Count() > 0;
    if (passed > 0) {
        list.Damaged = true;
        list.Problem = Format(LangText::TextLinesPassed, passed);
    }

    std::string winner;
    if (mode != LoadPlain && tally.winner(winner)) {
        if (mode == LoadOwnNick) {
            list.OwnNick = winner;
        } else {
            list.ContactNick = winner;
        }
    }
}

namespace {

// A line that holds a separator text would read back as the start of a message: a
// space goes in after the first character of each occurrence until none is left, so
// that the line reads as text and, ignoring blanks, says what it said.
void AppendUnseparated(std::string& out, std::string_view line, const LineMarker& in,
                       const LineMarker& outgoing, const std::string& inText,
                       const std::string& outText) {
    if (!in.in(line) && !outgoing.in(line)) {
        out.append(line);
        return;
    }
    std::string l(line);
    for (std::size_t guard = 0; guard <= line.size() + 1; ++guard) {
        std::size_t at = std::string::npos;
        for (const std::string* sep : {&inText, &outText}) {
            if (!sep->empty()) {
                at = std::min(at, l.find(*sep));
            }
        }
        if (at == std::string::npos) {
            break;
        }
        std::size_t after = at + 1;
        while (after < l.size() && (static_cast<unsigned char>(l[after]) & 0xC0) == 0x80) {
            ++after; // keep a character whole
        }
        l.insert(after, 1, ' ');
    }
    out.append(l);
}

// Appends a text line by line, each line break made CR LF, the lines that hold a
// separator text changed as above.
void AppendText(std::string& out, std::string_view text, const LineMarker& in,
                const LineMarker& outgoing, const std::string& inText, const std::string& outText) {
    LineReader lines(text.data(), text.size());
    std::string_view piece;
    std::size_t at = 0;
    bool first = true;
    while (lines.next(piece, at)) {
        if (!first) {
            out.append("\r\n");
        }
        AppendUnseparated(out, piece, in, outgoing, inText, outText);
        first = false;
    }
}

} // namespace

std::string BuildPlainText(const TZMTMessList& list, const TTextFormat& set) {
    const std::string inSep = utf8(set.MsgInSeparator);
    const std::string outSep = utf8(set.MsgOutSeparator);
    const LineMarker inMark(inSep);
    const LineMarker outMark(outSep);
    const TDatePattern pattern(set.DTFormatString);
    std::size_t estimate = 0;
    for (const TZMTMess& m : list.Items) {
        estimate += m.Text.size() + m.Nick.size() + outSep.size() + 48;
    }
    std::string out;
    out.reserve(estimate);
    std::string nick;
    for (const TZMTMess& m : list.Items) {
        out.append(m.Outgoing ? outSep : inSep);
        out.append("\r\n");
        // The nick stays on its header line.
        nick.assign(m.Nick.view());
        std::replace_if(
            nick.begin(), nick.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        AppendUnseparated(out, trim(nick), inMark, outMark, inSep, outSep);
        out.append(" (");
        pattern.AppendTo(out, m.Time);
        out.append(")\r\n");
        AppendText(out, m.Text.view(), inMark, outMark, inSep, outSep);
        out.append("\r\n\r\n");
    }
    return out;
}

} // namespace vimosync
