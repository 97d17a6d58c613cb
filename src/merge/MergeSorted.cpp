// Merge mode 1: both sides sorted together, each message kept once.

#include "merge/MergeParts.h"
#include "support/HeapReuse.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <vector>

namespace vimosync::merging {

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

SortedPlan PlanSortedMerge(TZMTMessList& source, TZMTMessList& destination, bool ignoreSpaces) {
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
    SortedPlan plan;
    std::vector<MessIndex>& order = plan.order;
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

    plan.keep.assign(n, 0);
    plan.kept = MarkSurvivors(at, order, ignoreSpaces, plan.keep);
    return plan;
}

void BuildSortedResult(const TZMTMessList& source, const TZMTMessList& destination,
                       const SortedPlan& plan, TZMTMessList& result) {
    const SideView at(destination, source);
    ReserveLarge(result.Items, plan.kept);
    int diffCount = 0;
    for (std::size_t i = 0; i < plan.order.size(); ++i) {
        if (plan.keep[i] != 0) {
            const bool fromSource = at.IsSource(plan.order[i]);
            result.Items.emplace_back(at(plan.order[i])).Differs = fromSource;
            diffCount += fromSource ? 1 : 0;
        }
    }
    result.DiffCount = diffCount;
    result.HasDiff = diffCount > 0;
}

void MergeSorted(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result,
                 const TMergeOptions& options) {
    const SortedPlan plan = PlanSortedMerge(source, destination, options.MergeIgnoreSpaces);
    BuildSortedResult(source, destination, plan, result);
}

} // namespace vimosync::merging
