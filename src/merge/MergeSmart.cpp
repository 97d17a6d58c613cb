// Merge mode 2 ("Smart"): a source conversation that the destination holds under another
// clock is moved into the destination's clock, then both sides are merged as mode 1 does.
//
// The rule, in the order it is applied:
//  1. The source, in time order, falls into conversations: a pause of more than
//     kPauseSeconds between two messages starts a new one.
//  2. A conversation that the plain merge already finds in the destination (half of its
//     messages or more have an equal destination message in the same second) keeps its
//     times: both sides share one clock there.
//  3. For any other conversation, every message votes for the clock offsets at which the
//     destination holds a message of the same direction and text, up to kMaxOffsetSeconds
//     either way. A text found more than kMaxCandidates times in that span says nothing
//     of the offset and does not vote; the others vote 1/n for each of their n places.
//     A conversation of more than kVoters messages votes through an even sample.
//  4. The offset with the most votes (with those a second beside it, as two clocks tick
//     apart) is tried only when it is more than a second and no other offset has half
//     its votes or more. Under it each message is matched, in order, with an unmatched
//     destination message of the same direction and text in the second of its shifted
//     time; a destination message is matched at most once, so repeated texts keep their
//     number.
//  5. The offset holds when at least kMinMatched messages and half of the conversation
//     match, at least kMinDistinctive of them with a text of kDistinctiveBytes or more,
//     and more match than at the shared clock. Short texts alone ("ok", ":)") never make
//     two conversations one.
//  6. Every message of a conversation whose offset holds moves into the destination's
//     clock: a matched one onto its destination copy's time (so that the destination's
//     copy is kept), the others by the offset. Then the sorting merge runs as in mode 1.
// Without any held offset the result is mode 1's to the message.

#include "merge/MergeParts.h"

#include "history/TimeStamp.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace vimosync::merging {

namespace {

constexpr long long kPauseSeconds = 30 * 60;
constexpr long long kMaxOffsetSeconds = 26 * 3600;
constexpr long long kJitterSeconds = 1;
constexpr std::size_t kMaxCandidates = 8;
constexpr std::size_t kMinMatched = 3;
constexpr std::size_t kMinDistinctive = 2;
constexpr std::size_t kDistinctiveBytes = 10;
constexpr std::size_t kVoters = 4096; // a longer conversation votes through a sample

std::uint64_t KeyHash(const TZMTMess& m) {
    return std::hash<std::string_view>{}(m.Text.view()) ^ (m.Outgoing ? 0x9E3779B97F4A7C15ULL : 0);
}

bool SameKey(const TZMTMess& a, const TZMTMess& b) {
    return a.Outgoing == b.Outgoing && a.Text.view() == b.Text.view();
}

// A side's messages in time order (stored order at equal times), without those of no
// time: the indexes into the list's Items, kept only when the list is not in order.
class TimeOrder {
public:
    explicit TimeOrder(const TZMTMessList& list) : list_(list) {
        const std::size_t n = list.Items.size();
        if (IsTimeOrdered(list)) {
            // Times that are not numbers sort first.
            while (first_ < n && std::isnan(list.Items[first_].Time)) {
                ++first_;
            }
            size_ = n - first_;
            return;
        }
        item_.reserve(n);
        for (std::size_t k = 0; k < n; ++k) {
            if (!std::isnan(list.Items[k].Time)) {
                item_.push_back(static_cast<std::uint32_t>(k));
            }
        }
        std::stable_sort(item_.begin(), item_.end(), [&list](std::uint32_t a, std::uint32_t b) {
            return list.Items[a].Time < list.Items[b].Time;
        });
        size_ = item_.size();
    }
    std::size_t size() const { return size_; }
    std::uint32_t item(std::size_t p) const {
        return item_.empty() ? static_cast<std::uint32_t>(first_ + p) : item_[p];
    }
    const TZMTMess& at(std::size_t p) const { return list_.Items[item(p)]; }

private:
    const TZMTMessList& list_;
    std::vector<std::uint32_t> item_;
    std::size_t first_ = 0;
    std::size_t size_ = 0;
};

// The destination in time order with the whole seconds of its times (messages whose
// time has none are left out).
struct Timeline {
    std::vector<std::uint32_t> item; // index into the list's Items
    std::vector<long long> seconds;

    explicit Timeline(const TZMTMessList& list) {
        const TimeOrder order(list);
        item.reserve(order.size());
        seconds.reserve(order.size());
        for (std::size_t p = 0; p < order.size(); ++p) {
            long long s = 0;
            if (SecondsOfTime(order.at(p).Time, s)) {
                item.push_back(order.item(p));
                seconds.push_back(s);
            }
        }
    }
};

// The destination's messages by direction and text: the positions of the timeline
// grouped by the hash of the key, each group in time order, found through an
// open-addressing table of the hashes.
class KeyIndex {
public:
    KeyIndex(const TZMTMessList& list, const Timeline& line) : list_(list) {
        entries_.reserve(line.item.size());
        for (std::size_t p = 0; p < line.item.size(); ++p) {
            entries_.push_back({KeyHash(list.Items[line.item[p]]), line.seconds[p], line.item[p],
                                static_cast<std::uint32_t>(p)});
        }
        std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return a.hash != b.hash ? a.hash < b.hash : a.pos < b.pos;
        });
        std::size_t width = 16;
        while (width < 2 * entries_.size()) {
            width *= 2;
        }
        slots_.assign(width, Slot{});
        mask_ = width - 1;
        for (std::size_t k = 0; k < entries_.size();) {
            std::size_t e = k + 1;
            while (e < entries_.size() && entries_[e].hash == entries_[k].hash) {
                ++e;
            }
            std::size_t at = entries_[k].hash & mask_;
            while (slots_[at].end != 0) {
                at = (at + 1) & mask_;
            }
            slots_[at] = {entries_[k].hash, static_cast<std::uint32_t>(k),
                          static_cast<std::uint32_t>(e)};
            k = e;
        }
    }

    // Calls f(position) for each destination message equal in key to m whose seconds lie
    // in [lo, hi], in time order.
    template <class F> void ForEach(const TZMTMess& m, long long lo, long long hi, F&& f) const {
        const std::uint64_t h = KeyHash(m);
        std::size_t at = h & mask_;
        while (slots_[at].end != 0 && slots_[at].hash != h) {
            at = (at + 1) & mask_;
        }
        if (slots_[at].end == 0) {
            return;
        }
        auto first = entries_.begin() + slots_[at].begin;
        const auto last = entries_.begin() + slots_[at].end;
        first = std::lower_bound(first, last, lo,
                                 [](const Entry& e, long long v) { return e.seconds < v; });
        for (; first != last && first->seconds <= hi; ++first) {
            if (SameKey(list_.Items[first->item], m)) {
                f(first->pos);
            }
        }
    }

private:
    // What a lookup reads of a message sits in its entry, so that it touches one place.
    struct Entry {
        std::uint64_t hash;
        long long seconds;
        std::uint32_t item; // index into the list's Items
        std::uint32_t pos;  // position in the timeline
    };
    const TZMTMessList& list_;
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t begin = 0;
        std::uint32_t end = 0; // 0: empty
    };
    std::vector<Entry> entries_;
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
};

// The offset (destination seconds minus source seconds) the conversation's messages vote
// for, when it stands out from every other. seconds holds those of the conversation's
// messages; a long conversation votes through an even sample of them.
std::optional<long long> VotedOffset(const TimeOrder& src, std::size_t begin,
                                     const std::vector<long long>& seconds, const Timeline& dst,
                                     const KeyIndex& index) {
    std::vector<std::pair<long long, double>> votes;
    std::vector<long long> offsets;
    const std::size_t step = std::max<std::size_t>(1, seconds.size() / kVoters);
    for (std::size_t k = 0; k < seconds.size(); k += step) {
        const long long at = seconds[k];
        offsets.clear();
        bool common = false;
        index.ForEach(src.at(begin + k), at - kMaxOffsetSeconds, at + kMaxOffsetSeconds,
                      [&](std::uint32_t d) {
                          if (offsets.size() < kMaxCandidates) {
                              offsets.push_back(dst.seconds[d] - at);
                          } else {
                              common = true;
                          }
                      });
        if (common || offsets.empty()) {
            continue;
        }
        const double weight = 1.0 / static_cast<double>(offsets.size());
        for (const long long o : offsets) {
            votes.emplace_back(o, weight);
        }
    }
    if (votes.empty()) {
        return std::nullopt;
    }
    std::sort(votes.begin(), votes.end());
    // Summed per offset, in ascending order.
    std::vector<std::pair<long long, double>> sums;
    for (const auto& [o, w] : votes) {
        if (!sums.empty() && sums.back().first == o) {
            sums.back().second += w;
        } else {
            sums.emplace_back(o, w);
        }
    }
    // The best offset: the most votes, then the smaller offset in size (then the earlier).
    std::size_t best = 0;
    for (std::size_t k = 1; k < sums.size(); ++k) {
        const double a = sums[k].second;
        const double b = sums[best].second;
        if (a > b || (a == b && std::llabs(sums[k].first) < std::llabs(sums[best].first))) {
            best = k;
        }
    }
    const long long offset = sums[best].first;
    double near = 0;
    double other = 0;
    for (const auto& [o, w] : sums) {
        if (std::llabs(o - offset) <= kJitterSeconds) {
            near += w;
        } else {
            other = std::max(other, w);
        }
    }
    if (std::llabs(offset) <= kJitterSeconds || 2 * other >= near) {
        return std::nullopt;
    }
    return offset;
}

} // namespace

bool ShiftToDestinationClock(const TZMTMessList& source, const TZMTMessList& destination,
                             const std::vector<std::uint8_t>& matchedAsIs, TZMTMessList& shifted) {
    constexpr double kPauseDays = static_cast<double>(kPauseSeconds) / 86400.0;
    const TimeOrder src(source);
    std::optional<Timeline> dst;
    std::optional<KeyIndex> index;
    std::vector<std::uint8_t> used;    // per destination timeline position
    std::vector<long long> seconds;    // of the conversation on trial
    std::vector<std::int64_t> partner; // of the conversation on trial, -1: none
    struct Move {
        std::uint32_t item;
        double time;
    };
    std::vector<Move> moves;

    for (std::size_t begin = 0; begin < src.size();) {
        std::size_t end = begin + 1;
        while (end < src.size() && src.at(end).Time - src.at(end - 1).Time <= kPauseDays) {
            ++end;
        }
        const std::size_t size = end - begin;
        std::size_t asIs = 0;
        for (std::size_t p = begin; p < end; ++p) {
            asIs += matchedAsIs[src.item(p)];
        }
        const std::size_t from = begin;
        begin = end;
        if (size < kMinMatched || 2 * asIs >= size) {
            continue;
        }
        seconds.resize(size);
        bool timed = true;
        for (std::size_t k = 0; k < size && timed; ++k) {
            timed = SecondsOfTime(src.at(from + k).Time, seconds[k]);
        }
        if (!timed) {
            continue; // a time beyond the range of seconds: the conversation stays
        }
        if (!index) {
            dst.emplace(destination);
            index.emplace(destination, *dst);
            used.assign(dst->item.size(), 0);
        }
        const std::optional<long long> offset = VotedOffset(src, from, seconds, *dst, *index);
        if (!offset) {
            continue;
        }

        // The messages matched in order under the offset.
        partner.assign(size, -1);
        std::size_t matched = 0;
        std::size_t distinctive = 0;
        for (std::size_t k = 0; k < size; ++k) {
            const TZMTMess& m = src.at(from + k);
            const long long want = seconds[k] + *offset;
            index->ForEach(m, want, want, [&](std::uint32_t d) {
                if (used[d] == 0 && partner[k] < 0) {
                    partner[k] = d;
                }
            });
            if (partner[k] >= 0) {
                used[static_cast<std::size_t>(partner[k])] = 1;
                ++matched;
                const ByteRange text = TrimmedRange(m.Text.view());
                distinctive +=
                    static_cast<std::size_t>(text.end - text.begin) >= kDistinctiveBytes ? 1 : 0;
            }
        }
        if (matched < kMinMatched || 2 * matched < size || distinctive < kMinDistinctive ||
            matched <= asIs) {
            for (const std::int64_t d : partner) {
                if (d >= 0) {
                    used[static_cast<std::size_t>(d)] = 0;
                }
            }
            continue;
        }
        for (std::size_t k = 0; k < size; ++k) {
            const double time =
                partner[k] >= 0
                    ? destination.Items[dst->item[static_cast<std::size_t>(partner[k])]].Time
                    : TimeOfSeconds(seconds[k] + *offset);
            moves.push_back({src.item(from + k), time});
        }
    }
    if (moves.empty()) {
        return false;
    }
    shifted = source;
    for (const Move& m : moves) {
        shifted.Items[m.item].Time = m.time;
    }
    return true;
}

} // namespace vimosync::merging
