#pragma once

// What the merge procedures share (internal to the merge): the relaxed equality of
// texts, the same-time window, the table of a window's texts and both procedures.

#include "merge/Merge.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vimosync::merging {

bool RelaxedTextsEqual(std::string_view a, std::string_view b);
// The bytes of a text without the bytes 0..32 at both ends.
struct ByteRange {
    const unsigned char* begin;
    const unsigned char* end;
};
ByteRange TrimmedRange(std::string_view s);
// True while message times stay inside the same-time window of m: the scans stop at the
// first time that differs by SameTimeTolerance or more.
bool WithinTolerance(double t, double tm);
bool IsTimeOrdered(const TZMTMessList& list);
// A copy of the list in time order, messages of one time in their stored order.
TZMTMessList TimeOrdered(const TZMTMessList& list);

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

// Mode 0: a walk along both sides in time order.
void MergeSequential(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result,
                     const TMergeOptions& options);
// Index k < nd names destination[k]; k >= nd names source[k - nd].
using MessIndex = std::uint32_t;

// The sorting mode's work before the copying: both sides' indexes in CompareTimeSeq
// order, and which positions of that order are kept (a message goes when an equal one
// stands before it within the same-time window). Sets Seq of both sides.
struct SortedPlan {
    std::vector<MessIndex> order;
    std::vector<std::uint8_t> keep;
    std::size_t kept = 0;
};
SortedPlan PlanSortedMerge(TZMTMessList& source, TZMTMessList& destination, bool ignoreSpaces);
// Copies the kept messages into result, marking those of the source; sets the counts.
void BuildSortedResult(const TZMTMessList& source, const TZMTMessList& destination,
                       const SortedPlan& plan, TZMTMessList& result);

// Mode 2's first step: when some source conversations are found in the destination under
// another clock, fills shifted with a copy of the source, those
// conversations moved into the destination's clock, and returns true. matchedAsIs tells,
// per source message, that the sorting merge finds it in the destination as it is.
bool ShiftToDestinationClock(const TZMTMessList& source, const TZMTMessList& destination,
                             const std::vector<std::uint8_t>& matchedAsIs, TZMTMessList& shifted);

// Mode 1: both sides sorted together, each message kept once.
void MergeSorted(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result,
                 const TMergeOptions& options);

} // namespace vimosync::merging
