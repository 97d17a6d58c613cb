#pragma once

// Merges one contact's source and destination messages into a new list of copies,
// marking (Differs) the messages taken from the source only.

#include "history/Globals.h"

namespace vimosync {

// Two times closer than this count as the same second.
constexpr double SameTimeTolerance = 1.1574E-5;

// Empties result, then fills it by the procedure of Setup().MessMergeMode and sets its
// HasDiff and DiffCount. When the result has a FileName, the source is compared and
// taken as a file of that kind (its Version for a binary name) holds it, and
// StoreProblem tells when the file cannot hold some source message. Inputs are not
// changed except Seq (sorting mode).
void MergeHistories(TZMTMessList& source, TZMTMessList& destination, TZMTMessList& result);

bool MessagesEqual(const TZMTMess& a, const TZMTMess& b);
int CompareTimes(const TZMTMess& a, const TZMTMess& b);
int CompareTimeSeq(const TZMTMess& a, const TZMTMess& b);
bool IsRecentDuplicate(const TZMTMessList& result, const TZMTMess& m);

} // namespace vimosync
