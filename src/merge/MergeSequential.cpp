// Merge mode 0: a walk along both sides in time order.

#include "merge/MergeParts.h"
#include "support/HeapReuse.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string_view>
#include <vector>

namespace vimosync::merging {

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
    ReserveLarge(result.Items, ns + nd);
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

} // namespace vimosync::merging
