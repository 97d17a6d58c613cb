#include "support/HeapReuse.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vimosync {

namespace {

// Blocks up to this size come from the heap; larger ones (a history of several hundred
// thousand messages) are mapped and unmapped on their own.
constexpr int kMapAbove = 32 * 1024 * 1024;
// Free memory at the top of the heap is given back once it passes this.
constexpr int kGiveBackAbove = 64 * 1024 * 1024;

bool Tune() {
#if defined(__GLIBC__)
    // Setting either limit also stops glibc from moving them itself.
    ::mallopt(M_MMAP_THRESHOLD, kMapAbove);
    ::mallopt(M_TRIM_THRESHOLD, kGiveBackAbove);
#endif
    return true;
}

} // namespace

void KeepFreedMemoryForReuse() {
    static const bool tuned = Tune();
    (void)tuned;
}

} // namespace vimosync
