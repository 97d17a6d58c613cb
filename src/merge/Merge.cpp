#include "merge/Merge.h"

#include "history/History.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace vimosync {

namespace {

// ---- Equality of texts under the relaxed rule (MergeIgnoreSpaces) ----------------------
//
// The rule removes every space and then trims bytes 0..32 at both ends. Bytes 0..32 are
// single bytes in UTF-8 and never part of a multi-byte character, so the rule works on
// the bytes directly: trim the range to its first and last byte above 32 and skip the
// spaces inside while walking it. Nothing is allocated unless the texts differ in more
// than ASCII letter case and hold other characters.

struct ByteRange {
    const unsigned char* begin;
    const unsigned char* end;
};

ByteRange TrimmedRange(std::string_view s) {
    auto b = reinterpret_cast<const unsigned char*>(s.data());
    auto e = b + s.size();
    while (b < e && *b <= 32) {
        ++b;
    }
    while (e > b && e[-1] <= 32) {
        --e;
    }
    return {b, e};
}

unsigned char AsciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool HasNonAscii(ByteRange r) {
    return std::any_of(r.begin, r.end, [](unsigned char c) { return c >= 0x80; });
}

// The trimmed bytes with the spaces taken out.
QByteArray WithoutSpaces(ByteRange r) {
    QByteArray out;
    out.reserve(r.end - r.begin);
    for (auto p = r.begin; p < r.end; ++p) {
        if (*p != ' ') {
            out.append(static_cast<char>(*p));
        }
    }
    return out;
}

bool DecodeUtf8(const QByteArray& bytes, QString& out) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = decoder.decode(QByteArrayView(bytes));
    return !decoder.hasError();
}

bool RelaxedTextsEqual(std::string_view a, std::string_view b) {
    const ByteRange ra = TrimmedRange(a);
    const ByteRange rb = TrimmedRange(b);

    // Bytes equal apart from spaces and ASCII letter case: equal whatever else they hold.
    auto pa = ra.begin;
    auto pb = rb.begin;
    for (;;) {
        while (pa < ra.end && *pa == ' ') {
            ++pa;
        }
        while (pb < rb.end && *pb == ' ') {
            ++pb;
        }
        if (pa == ra.end || pb == rb.end) {
            break;
        }
        if (AsciiLower(*pa) != AsciiLower(*pb)) {
            break;
        }
        ++pa;
        ++pb;
    }
    if (pa == ra.end && pb == rb.end) {
        return true;
    }
    // Pure ASCII texts: the walk above was the whole case-insensitive comparison.
    if (!HasNonAscii(ra) && !HasNonAscii(rb)) {
        return false;
    }
    // Other letters fold in Unicode; decode only these rare texts.
    QString sa;
    QString sb;
    if (!DecodeUtf8(WithoutSpaces(ra), sa) || !DecodeUtf8(WithoutSpaces(rb), sb)) {
        // Invalid UTF-8 decodes every bad byte to the same replacement character, which
        // would make different bytes look equal and drop a message as a duplicate. Such
        // texts are equal only by the byte walk above.
        return false;
    }
    return QString::compare(sa, sb, Qt::CaseInsensitive) == 0;
}

// True while message times stay inside the same-time window of m: the scans stop at the
// first time that differs by SameTimeTolerance or more.
bool WithinTolerance(double t, double tm) {
    return !(std::fabs(t - tm) >= SameTimeTolerance);
}

// ---- Texts of a same-time window -------------------------------------------------------

// The texts of a long same-time window with their counts, so that a text is looked up
// instead of compared with every message of the window: an open-addressing table with
// linear probing, sized for the longest window met, so that it does not allocate per
// message.
class TextWindow {
public:
    bool Contains(std::string_view text, bool outgoing) const {
        if (used_ == 0) {
            return false;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t k = Hash(text, outgoing) & mask; slots_[k].count != 0;
             k = (k + 1) & mask) {
            if (slots_[k].Is(text, outgoing)) {
                return true;
            }
        }
        return false;
    }
    void Add(std::string_view text, bool outgoing) {
        if ((used_ + 1) * 2 > slots_.size()) {
            Grow();
        }
        const std::size_t h = Hash(text, outgoing);
        const std::size_t mask = slots_.size() - 1;
        std::size_t k = h & mask;
        for (; slots_[k].count != 0; k = (k + 1) & mask) {
            if (slots_[k].Is(text, outgoing)) {
                ++slots_[k].count;
                return;
            }
        }
        slots_[k] = Slot{text, h, 1, outgoing};
        ++used_;
    }
    // Removes one occurrence of a text that was added.
    void Remove(std::string_view text, bool outgoing) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t k = Hash(text, outgoing) & mask;
        while (!slots_[k].Is(text, outgoing)) {
            k = (k + 1) & mask;
        }
        if (--slots_[k].count != 0) {
            return;
        }
        // Shift later entries of the probe run back into the hole so that lookups that
        // stop at an empty slot still find them.
        std::size_t hole = k;
        for (std::size_t j = (k + 1) & mask; slots_[j].count != 0; j = (j + 1) & mask) {
            const std::size_t home = slots_[j].hash & mask;
            const bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
            if (!stays) {
                slots_[hole] = slots_[j];
                hole = j;
            }
        }
        slots_[hole] = Slot{};
        --used_;
    }

private:
    struct Slot {
        std::string_view text;
        std::size_t hash = 0;
        std::uint32_t count = 0; // 0: empty
        bool outgoing = false;
        bool Is(std::string_view t, bool out) const { return outgoing == out && text == t; }
    };
    static std::size_t Hash(std::string_view text, bool outgoing) {
        return std::hash<std::string_view>{}(text) ^ (outgoing ? 0x9E3779B97F4A7C15ULL : 0);
    }
    void Grow() {
        std::vector<Slot> old(std::max<std::size_t>(16, slots_.size() * 2));
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& e : old) {
            if (e.count != 0) {
                std::size_t k = e.hash & mask;
                while (slots_[k].count != 0) {
                    k = (k + 1) & mask;
                }
                slots_[k] = e;
            }
        }
    }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

// Windows up to this length are scanned; longer ones are looked up (exact rule only).
constexpr std::size_t kScanLimit = 8;

// ---- Mode 0: sequential walk -----------------------------------------------------------
//
// Two searches make the walk's work. Before a message is stored, the result's messages
// within its same-time window are searched for an equal one (IsRecentDuplicate); a
// source message unlike the destination message of its time is searched for among the
// destination's later messages of exactly that time (EqualLater). Both grow with the
// number of messages in one second, so that a crowded second costs the square of its
// size. Under the exact rule two messages less than the tolerance apart are equal
// exactly when their texts and directions are, so a long window or run is looked up in
// a TextWindow instead. The relaxed rule is no equality of bytes and keeps the scans.
//
// A message whose time is not a finite number is equal to no message (MessagesEqual
// needs times less than the tolerance apart), so both searches answer no for it at once.

// True when the destination holds a message equal to s after position j with exactly
// the time of s: it is taken when the walk gets there. A message repeated within one side
// is one message, so a destination message may stand for several source copies.
bool EqualLater(const TZMTMess& s, const TZMTMessList& destination, std::size_t j,
                bool ignoreSpaces) {
    for (std::size_t k = j + 1; k < destination.Items.size(); ++k) {
        const TZMTMess& d = destination.Items[k];
        if (CompareTimes(s, d) != 0) {
            return false;
        }
        if (MessagesEqual(s, d, ignoreSpaces)) {
            return true;
        }
    }
    return false;
}

// Windows and runs up to this length are scanned, longer ones are looked up. The bar is
// higher than the sorting mode's: a scan passes most messages at their direction or
// length, while a lookup hashes each text three times (looked up, added, removed).
constexpr std::size_t kWalkScanLimit = 32;

// Equality of two messages less than the tolerance apart under the exact rule.
bool SameTextAndDirection(const TZMTMess& a, const TZMTMess& b) {
    return a.Outgoing == b.Outgoing && a.Text.view() == b.Text.view();
}

// IsRecentDuplicate for the messages the walk stores. The walk stores them in time order
// (each is the earlier of the two sides' next messages), so the window of the next
// message is a run at the end of the result, before which the messages are the
// tolerance or more earlier or have no finite time, and whose start only moves forward.
// A short window is scanned from the back as IsRecentDuplicate does; one found longer
// than kWalkScanLimit is put into a table and followed as it moves.
class RecentInResult {
public:
    explicit RecentInResult(bool ignoreSpaces) : ignoreSpaces_(ignoreSpaces) {}

    bool Holds(const TZMTMessList& result, const TZMTMess& m) {
        // Most often the last message stored is out of the window already, and so is every
        // message before it. A message whose time is not a finite number is in no window.
        const std::vector<TZMTMess>& items = result.Items;
        if (!lookup_ && (items.empty() || !InWindow(items.back(), m))) {
            return false;
        }
        return Searched(result, m);
    }
    // m has been appended to the result.
    void Stored(const TZMTMess& m) {
        if (lookup_) {
            AddToWindow(m);
        }
    }

private:
    // Out of line, as Searched below, so that the walk's calls stay small.
    [[gnu::noinline]] void AddToWindow(const TZMTMess& m) {
        window_.Add(m.Text.view(), m.Outgoing);
    }
    static bool InWindow(const TZMTMess& r, const TZMTMess& m) {
        return std::fabs(r.Time - m.Time) < SameTimeTolerance;
    }
    [[gnu::noinline]] bool Searched(const TZMTMessList& result, const TZMTMess& m) {
        if (ignoreSpaces_) {
            return IsRecentDuplicate(result, m, ignoreSpaces_);
        }
        const std::vector<TZMTMess>& items = result.Items;
        if (lookup_) {
            return LookedUp(items, m);
        }
        for (std::size_t k = items.size(); k-- > 0 && InWindow(items[k], m);) {
            if (SameTextAndDirection(items[k], m)) {
                return true;
            }
            if (items.size() - k > kWalkScanLimit) {
                return StartLookup(items, m, k);
            }
        }
        return false;
    }
    // items[k] is in the window of m.
    bool StartLookup(const std::vector<TZMTMess>& items, const TZMTMess& m, std::size_t k) {
        for (lo_ = k; lo_ > 0 && InWindow(items[lo_ - 1], m); --lo_) {
        }
        for (std::size_t p = lo_; p < items.size(); ++p) {
            window_.Add(items[p].Text.view(), items[p].Outgoing);
        }
        lookup_ = true;
        return window_.Contains(m.Text.view(), m.Outgoing);
    }
    bool LookedUp(const std::vector<TZMTMess>& items, const TZMTMess& m) {
        for (; lo_ < items.size() && !InWindow(items[lo_], m); ++lo_) {
            window_.Remove(items[lo_].Text.view(), items[lo_].Outgoing);
        }
        if (items.size() - lo_ > kWalkScanLimit / 2) {
            return window_.Contains(m.Text.view(), m.Outgoing);
        }
        // Short again: emptied entry by entry, which costs no more than the window.
        bool found = false;
        for (std::size_t p = lo_; p < items.size(); ++p) {
            window_.Remove(items[p].Text.view(), items[p].Outgoing);
            found = found || SameTextAndDirection(items[p], m);
        }
        lookup_ = false;
        return found;
    }

    bool ignoreSpaces_;
    bool lookup_ = false; // window_ holds the result's messages from lo_ on
    std::size_t lo_ = 0;
    TextWindow window_;
};

// EqualLater for the walk, whose position j in the destination only moves forward. A
// run of one time longer than kWalkScanLimit is put into a table when it is first asked
// about, and the positions the walk has passed since are taken out at the next question.
class LaterInDestination {
public:
    explicit LaterInDestination(bool ignoreSpaces) : ignoreSpaces_(ignoreSpaces) {}

    // destination[j] has the time of s and is not equal to it.
    bool Holds(const TZMTMess& s, const TZMTMessList& destination, std::size_t j) {
        if (!std::isfinite(s.Time)) {
            return false;
        }
        if (ignoreSpaces_) {
            return EqualLater(s, destination, j, ignoreSpaces_);
        }
        const std::vector<TZMTMess>& items = destination.Items;
        if (j >= end_) {
            // A run not met before: the positions from j on with the time of destination[j].
            Empty(items);
            for (end_ = j + 1; end_ < items.size() && items[end_].Time == items[j].Time; ++end_) {
            }
            if (end_ - j > kWalkScanLimit) {
                for (from_ = j; from_ < end_; ++from_) {
                    window_.Add(items[from_].Text.view(), items[from_].Outgoing);
                }
                from_ = j;
                lookup_ = true;
            }
        }
        if (!lookup_) {
            return EqualLater(s, destination, j, ignoreSpaces_);
        }
        for (; from_ < j; ++from_) {
            window_.Remove(items[from_].Text.view(), items[from_].Outgoing);
        }
        // destination[j] is in the table too, but it is not equal to s.
        return window_.Contains(s.Text.view(), s.Outgoing);
    }

private:
    void Empty(const std::vector<TZMTMess>& items) {
        if (lookup_) {
            for (; from_ < end_; ++from_) {
                window_.Remove(items[from_].Text.view(), items[from_].Outgoing);
            }
            lookup_ = false;
        }
    }

    bool ignoreSpaces_;
    bool lookup_ = false; // window_ holds the destination's messages [from_, end_)
    std::size_t from_ = 0;
    std::size_t end_ = 0; // the end of the last run asked about
    TextWindow window_;
};

// Both are inlined into the walk, which calls them for every message: a call each would
// cost more than the test that most often settles the window.
[[gnu::always_inline]] inline void TakeDestination(TZMTMessList& result, RecentInResult& recent,
                                                   const TZMTMess& m) {
    if (!recent.Holds(result, m)) {
        result.Items.emplace_back(m).Differs = false;
        recent.Stored(m);
    }
}

[[gnu::always_inline]] inline void TakeSource(TZMTMessList& result, RecentInResult& recent,
                                              const TZMTMess& m) {
    if (!recent.Holds(result, m)) {
        result.Items.emplace_back(m).Differs = true;
        result.HasDiff = true;
        ++result.DiffCount;
        recent.Stored(m);
    }
}

bool IsTimeOrdered(const TZMTMessList& list);

// A copy of the list in time order, messages of one time in their stored order.
TZMTMessList TimeOrdered(const TZMTMessList& list) {
    TZMTMessList sorted;
    sorted.Items = list.Items;
    std::stable_sort(sorted.Items.begin(), sorted.Items.end(),
                     [](const TZMTMess& a, const TZMTMess& b) { return CompareTimes(a, b) < 0; });
    return sorted;
}

void MergeSequential(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result,
                     const TMergeOptions& options) {
    const bool ignoreSpaces = options.MergeIgnoreSpaces;
    // The walk takes both sides in time order. A side stored otherwise (a history whose
    // archive files overlap its file, for one) is walked as a sorted copy: walked as it
    // is, its messages would be met twice or out of turn and stored again.
    if (!IsTimeOrdered(source) || !IsTimeOrdered(destination)) {
        TZMTMessList s = IsTimeOrdered(source) ? source : TimeOrdered(source);
        TZMTMessList d = IsTimeOrdered(destination) ? destination : TimeOrdered(destination);
        MergeSequential(s, d, result, options);
        return;
    }
    const std::size_t ns = source.Items.size();
    const std::size_t nd = destination.Items.size();
    result.Items.reserve(ns + nd);
    RecentInResult recent(ignoreSpaces);
    LaterInDestination later(ignoreSpaces);
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < ns || j < nd) {
        if (i == ns) {
            for (; j < nd; ++j) {
                TakeDestination(result, recent, destination.Items[j]);
            }
            break;
        }
        if (j == nd) {
            for (; i < ns; ++i) {
                TakeSource(result, recent, source.Items[i]);
            }
            break;
        }
        const TZMTMess& s = source.Items[i];
        const TZMTMess& d = destination.Items[j];
        const int order = CompareTimes(s, d);
        if (order > 0) {
            TakeDestination(result, recent, d);
            ++j;
        } else if (order == 0 && MessagesEqual(s, d, ignoreSpaces)) {
            TakeDestination(result, recent, d);
            ++i;
            ++j;
        } else if (order == 0 && later.Holds(s, destination, j)) {
            // The destination holds it later in the same second: it is taken there, so
            // that two sides that list one second's messages in another order agree.
            ++i;
        } else {
            TakeSource(result, recent, s);
            ++i;
        }
    }
}

// ---- Mode 1: sort, then remove duplicates ----------------------------------------------
//
// The procedure copies both lists into the result, sorts the copies by CompareTimeSeq and
// removes, from the back, every message that has an equal one before it within the
// same-time window. Done literally that copies every message, sorts the heavy records and
// erases from the middle of a vector. Here the messages stay where they are: an array of
// indexes is put into CompareTimeSeq order (a linear merge of the two sides, which are
// time-ordered runs in practice; a sort of a side's indexes only when it is not), the
// duplicates are found walking that order forwards, and each survivor is copied once.
//
// Forward and backward removal agree: the backward walk removes message i after looking
// at messages i-1, i-2, ... of the sorted list, all of which are still present when i is
// examined (only later ones have been removed), so whether i goes depends only on the
// messages before it in the sorted order, which the forward walk sees unchanged.

// Index k < nd names destination[k]; k >= nd names source[k - nd].
using MessIndex = std::uint32_t;

class SideView {
public:
    SideView(const TZMTMessList& destination, const TZMTMessList& source)
        : nd_(static_cast<MessIndex>(destination.Items.size())),
          base_{destination.Items.data(), source.Items.data()}, first_{0, nd_} {}
    // Without a branch: the two sides interleave unpredictably in the merged order.
    const TZMTMess& operator()(MessIndex k) const {
        const bool s = IsSource(k);
        return base_[s][k - first_[s]];
    }
    bool IsSource(MessIndex k) const { return k >= nd_; }

private:
    MessIndex nd_;
    std::array<const TZMTMess*, 2> base_;
    std::array<MessIndex, 2> first_;
};

bool IsTimeOrdered(const TZMTMessList& list) {
    for (std::size_t k = 1; k < list.Items.size(); ++k) {
        if (CompareTimes(list.Items[k - 1], list.Items[k]) > 0) {
            return false;
        }
    }
    return true;
}

// The indexes first .. first + count - 1 of one side in CompareTimeSeq order. Within a
// side Seq grows with the index, so the index is the tie-break (and stays one even when
// both sides are the same list and so carry the same numbers).
std::vector<MessIndex> SortedSide(const SideView& at, MessIndex first, MessIndex count,
                                  bool ordered) {
    std::vector<MessIndex> idx(count);
    for (MessIndex k = 0; k < count; ++k) {
        idx[k] = first + k;
    }
    if (!ordered) {
        std::sort(idx.begin(), idx.end(), [&at](MessIndex x, MessIndex y) {
            const int c = CompareTimes(at(x), at(y));
            return c != 0 ? c < 0 : x < y;
        });
    }
    return idx;
}

// Sets keep[i] for every position of the sorted order: a message goes when an equal one
// stands before it within the same-time window. Returns the number kept.
//
// Positions are in time order, so the window of position i (the earlier messages whose
// time differs from its time by less than SameTimeTolerance, where the backward scan of
// the procedure stops) is a run [lo, i) whose start only moves forward. NaN times sort
// first and are equal to nothing, so they are all kept and stay out of every window.
std::size_t MarkSurvivors(const SideView& at, const std::vector<MessIndex>& order,
                          bool ignoreSpaces, std::vector<std::uint8_t>& keep) {
    const std::size_t n = order.size();
    std::size_t i = 0;
    for (; i < n && std::isnan(at(order[i]).Time); ++i) {
        keep[i] = 1;
    }
    std::size_t kept = i;
    // Under the exact rule the messages of a window are equal exactly when their bytes
    // are, which a lookup can answer; the relaxed rule keeps the scan.
    const bool exact = !ignoreSpaces;
    TextWindow window;
    bool lookup = false;
    std::size_t lo = i;
    for (; i < n; ++i) {
        const TZMTMess& m = at(order[i]);
        for (; lo < i && !(std::fabs(at(order[lo]).Time - m.Time) < SameTimeTolerance); ++lo) {
            if (lookup) {
                window.Remove(at(order[lo]).Text.view(), at(order[lo]).Outgoing);
            }
        }
        const std::size_t length = i - lo;
        if (lookup && length <= kScanLimit / 2) {
            // Emptied entry by entry: clearing the whole table, which keeps the size of
            // the longest window, would cost that size at every short window that follows.
            for (std::size_t j = lo; j < i; ++j) {
                window.Remove(at(order[j]).Text.view(), at(order[j]).Outgoing);
            }
            lookup = false;
        } else if (!lookup && exact && length > kScanLimit) {
            for (std::size_t j = lo; j < i; ++j) {
                window.Add(at(order[j]).Text.view(), at(order[j]).Outgoing);
            }
            lookup = true;
        }
        bool duplicate = false;
        if (lookup) {
            duplicate = window.Contains(m.Text.view(), m.Outgoing);
            window.Add(m.Text.view(), m.Outgoing);
        } else {
            for (std::size_t j = i; j-- > lo;) {
                if (MessagesEqual(at(order[j]), m, ignoreSpaces)) {
                    duplicate = true;
                    break;
                }
            }
        }
        keep[i] = duplicate ? 0 : 1;
        kept += keep[i];
    }
    return kept;
}

void MergeSorted(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result,
                 const TMergeOptions& options) {
    const auto nd = static_cast<MessIndex>(destination.Items.size());
    const auto ns = static_cast<MessIndex>(source.Items.size());
    const MessIndex n = nd + ns;
    for (MessIndex k = 0; k < nd; ++k) {
        destination.Items[k].Seq = static_cast<std::int32_t>(k);
    }
    for (MessIndex k = 0; k < ns; ++k) {
        source.Items[k].Seq = static_cast<std::int32_t>(nd + k);
    }
    const SideView at(destination, source);

    // Both sides in order, then merged; at equal times the destination goes first, as its
    // numbers are the smaller ones.
    std::vector<MessIndex> order;
    order.reserve(n);
    {
        const bool dOrdered = IsTimeOrdered(destination);
        const bool sOrdered = IsTimeOrdered(source);
        if (dOrdered && sOrdered) {
            MessIndex i = 0;
            MessIndex j = nd;
            while (i < nd && j < n) {
                if (CompareTimeSeq(at(i), at(j)) <= 0) {
                    order.push_back(i++);
                } else {
                    order.push_back(j++);
                }
            }
            for (; i < nd; ++i) {
                order.push_back(i);
            }
            for (; j < n; ++j) {
                order.push_back(j);
            }
        } else {
            const std::vector<MessIndex> d = SortedSide(at, 0, nd, dOrdered);
            const std::vector<MessIndex> s = SortedSide(at, nd, ns, sOrdered);
            std::merge(
                d.begin(), d.end(), s.begin(), s.end(), std::back_inserter(order),
                [&at](MessIndex x, MessIndex y) { return CompareTimeSeq(at(x), at(y)) < 0; });
        }
    }

    std::vector<std::uint8_t> keep(n);
    const std::size_t kept = MarkSurvivors(at, order, options.MergeIgnoreSpaces, keep);

    result.Items.reserve(kept);
    int diffCount = 0;
    for (MessIndex i = 0; i < n; ++i) {
        if (keep[i] != 0) {
            const bool fromSource = at.IsSource(order[i]);
            result.Items.emplace_back(at(order[i])).Differs = fromSource;
            diffCount += fromSource ? 1 : 0;
        }
    }
    result.DiffCount = diffCount;
    result.HasDiff = diffCount > 0;
}

// ---- Dispatch ---------------------------------------------------------------------------

using MergeProcedure = void (*)(TZMTMessList& source, TZMTMessList& destination,
                                TZMTMessList& result, const TMergeOptions& options);

// Indexed by MessMergeMode. Mode 2 (merging groups separately) has no procedure yet; it
// and every value beyond the table leave the result empty and without differences.
constexpr std::array<MergeProcedure, 3> kMergeProcedures = {MergeSequential, MergeSorted, nullptr};

} // namespace

int CompareTimes(const TZMTMess& a, const TZMTMess& b) {
    if (a.Time > b.Time) {
        return 1;
    }
    if (a.Time < b.Time) {
        return -1;
    }
    if (a.Time == b.Time) {
        return 0;
    }
    // A NaN time is not greater, less or equal; put it first so that sorting still has a
    // total order to follow.
    return static_cast<int>(std::isnan(b.Time)) - static_cast<int>(std::isnan(a.Time));
}

int CompareTimeSeq(const TZMTMess& a, const TZMTMess& b) {
    const int c = CompareTimes(a, b);
    if (c != 0) {
        return c;
    }
    // The sign of a.Seq - b.Seq, without the overflow of the subtraction.
    return (a.Seq > b.Seq) - (a.Seq < b.Seq);
}

bool MessagesEqual(const TZMTMess& a, const TZMTMess& b, bool ignoreSpaces) {
    // An incoming and an outgoing message are two messages whatever their texts ("ok"
    // both ways in one second).
    if (a.Outgoing != b.Outgoing || !(std::fabs(a.Time - b.Time) < SameTimeTolerance)) {
        return false;
    }
    if (!ignoreSpaces) {
        return a.Text.view() == b.Text.view();
    }
    return RelaxedTextsEqual(a.Text.view(), b.Text.view());
}

bool IsRecentDuplicate(const TZMTMessList& result, const TZMTMess& m, bool ignoreSpaces) {
    for (std::size_t k = result.Items.size(); k-- > 0;) {
        const TZMTMess& r = result.Items[k];
        if (!WithinTolerance(r.Time, m.Time)) {
            return false;
        }
        if (MessagesEqual(r, m, ignoreSpaces)) {
            return true;
        }
    }
    return false;
}

namespace {

// The version of the file the result goes to, -1 for a result without a file.
int TargetVersion(const TZMTMessList& result, const TZMTMessList& destination) {
    if (result.FileName.isEmpty()) {
        return -1;
    }
    if (!IsBinaryPath(result.FileName)) {
        return 0;
    }
    if (result.Version >= 1 && result.Version <= 3) {
        return result.Version;
    }
    if (destination.Version >= 1 && destination.Version <= 3) {
        return destination.Version;
    }
    return 2;
}

} // namespace

namespace {

void MergeLists(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result,
                const TMergeOptions& options) {
    if (&result == &source || &result == &destination) {
        // Emptying the result first would destroy the input it also is.
        TZMTMessList merged;
        MergeLists(source, destination, merged, options);
        result.Items = std::move(merged.Items);
        result.HasDiff = merged.HasDiff;
        result.DiffCount = merged.DiffCount;
        return;
    }
    result.Items.clear();
    result.HasDiff = false;
    result.DiffCount = 0;
    const std::size_t mode = options.MessMergeMode;
    if (mode < kMergeProcedures.size() && kMergeProcedures[mode] != nullptr) {
        kMergeProcedures[mode](source, destination, result, options);
    }
}

} // namespace

void MergeHistories(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result,
                    const TMergeOptions& options, const TReadOptions& read) {
    // The destination's file reads its messages back only as its format holds them
    // (a plain-text file trims blanks and makes every line break CR LF, a binary one has
    // a 16-bit text length and a 32-bit stamp). Compared as they are, source texts that
    // the format changes would count as new on every run and be stored once more each
    // time, so the source is compared and taken as the file will hold it.
    const int target = TargetVersion(result, destination);
    QString problem;
    if (target >= 0) {
        TZMTMessList stored;
        const TStoreCheck check =
            AsStoredIn(source, target, read, stored, problem, result.FileName);
        if (check == TStoreCheck::Changed) {
            MergeLists(stored, destination, result, options);
            result.StoreProblem.clear();
            return;
        }
    }
    // A source the file cannot hold is merged as it is, for the views; the
    // synchronization refuses to store it.
    MergeLists(source, destination, result, options);
    result.StoreProblem = problem;
}

} // namespace vimosync
