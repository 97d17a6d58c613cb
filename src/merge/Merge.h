#pragma once

// Merges one contact's source and destination messages into a new list of copies,
// marking (Differs) the messages taken from the source only.

#include "history/Model.h"
#include "history/Options.h"

#include <cstdint>

namespace vimosync {

// Two times closer than this count as the same second.
constexpr double SameTimeTolerance = 1.1574E-5;

// How two histories are merged.
struct TMergeOptions {
    // 0: a walk along both sides in time order; 1: both sides sorted together and each
    // message kept once; 2: as 1, with the source's conversations that the destination
    // holds under another clock moved into the destination's clock first. Other values
    // give an empty result.
    std::uint8_t MessMergeMode = 1;
    // Texts that differ only in blanks and letter case count as the same.
    bool MergeIgnoreSpaces = false;
};

// Empties result, then fills it by the procedure of options.MessMergeMode and sets its
// HasDiff and DiffCount. When the result has a FileName, the source is compared and
// taken as a file of that kind (its Version for a binary name) holds it, and
// StoreProblem tells when the file cannot hold some source message (read tells how the
// file would be read back). Inputs are not changed except Seq (sorting mode).
void MergeHistories(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result,
                    const TMergeOptions& options, const TReadOptions& read);

bool MessagesEqual(const TZMTMess& a, const TZMTMess& b, bool ignoreSpaces);
int CompareTimes(const TZMTMess& a, const TZMTMess& b);
int CompareTimeSeq(const TZMTMess& a, const TZMTMess& b);
bool IsRecentDuplicate(const TZMTMessList& result, const TZMTMess& m, bool ignoreSpaces);

} // namespace vimosync
