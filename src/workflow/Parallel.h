#pragma once

// Work on many contacts at once: a fixed number of threads take the items in turn while
// the calling thread waits and reports progress.

#include <atomic>
#include <functional>

namespace vimosync {

// Runs work(i) for every i in [0, count) on jobs threads (items are handed out in
// order of i). The calling thread waits, calling waiting(done) every few milliseconds
// with the number of items finished, so that a window can handle its events and show
// progress. An error thrown by an item (or stop set) ends the handing out of new items;
// once the running ones have ended, the error of the lowest index is thrown again.
// Returns the number of items that ran.
int RunInParallel(int count, int jobs, const std::function<void(int)>& work,
                  const std::function<void(int)>& waiting, const std::atomic<bool>* stop = nullptr);

} // namespace vimosync
