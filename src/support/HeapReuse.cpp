#include "support/HeapReuse.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstdint>

namespace vimosync {

namespace {

// Blocks up to this size come from the heap; larger ones (a history of several hundred
// thousand messages) are mapped and unmapped on their own.
constexpr int kMapAbove = static_cast<int>(kSpareAbove);
// Free memory at the top of the heap is given back once it passes this.
constexpr int kGiveBackAbove = 64 * 1024 * 1024;

#if defined(MADV_POPULATE_WRITE)
constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
constexpr int kPopulateWrite = 23; // Linux 5.14; older C library headers lack the name
#endif

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

void PreferLargePages(void* p, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (p == nullptr || bytes < static_cast<std::size_t>(kMapAbove)) {
        return;
    }
    // madvise takes whole pages: the ones inside the block.
    static const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(p) + page - 1) & ~(page - 1);
    const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(page - 1);
    if (to > from) {
        // Advice only: a refusal leaves the block as it was.
        (void)::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
        // Every page of the block backed at once, in one call, rather than by a fault at
        // its first touch: where large pages are off that is some 15 000 faults for a
        // block of 60 MB. Kernels before 5.14 refuse, and the pages come by faults.
        (void)::madvise(reinterpret_cast<void*>(from), to - from, kPopulateWrite);
    }
#else
    (void)p;
    (void)bytes;
#endif
}

} // namespace vimosync
