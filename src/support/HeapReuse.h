#pragma once

// How the C library's allocator treats the large blocks that reading histories makes.

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace vimosync {

// Keeps freed memory in the process for the next allocations instead of handing it back
// to the kernel at once. Called before the first history is read or written; the calls
// after the first do nothing.
//
// Each history is read whole into one buffer of its size, its messages go into an array
// of about the same size, and both are freed when the next contact comes: blocks of a
// few hundred KB, over and over. glibc serves the first ones with mmap, then (having
// raised its threshold) from the top of the heap, which it shrinks again whenever more
// than twice the largest block lies free there. Every contact then grew the heap anew
// (brk), and the kernel zero-filled every page of it at its first touch: more system time
// than reading the files took. With fixed limits the freed pages serve the next contact
// as they are. The peak stays what it was: only memory in use a moment before stays.
void KeepFreedMemoryForReuse();

// Asks the kernel to back the pages of [p, p + bytes) with large pages where it can,
// for a block that is about to be filled. Only blocks of at least 32 MB qualify; for
// smaller ones this does nothing. glibc maps blocks this large on their own (see
// above), so the advice stays with the block and goes with it when it is freed. One
// cut from free space at the top of the heap makes that part of the heap take large
// pages from then on, which changes nothing but the page size there.
//
// A history of a million messages fills a file buffer and a message array of some
// 60-70 MB each, and the merge a result as large. With pages of 4 KB, filling them
// takes one page fault per page, some 100 000 for a contact, each costly under a
// hypervisor: most of the time that selecting such a contact took. With 2 MB pages
// it is a few hundred. Nothing changes but the page size; where the system has large
// pages off, the advice is ignored.
void PreferLargePages(void* p, std::size_t bytes);

// Blocks at least this large (the ones glibc maps on their own) are kept for reuse.
inline constexpr std::size_t kSpareAbove = 32 * 1024 * 1024;

// A few large buffers of one kind (file buffers, message arrays) kept after use for the
// next contact, instead of going back to the kernel. A block the process maps anew costs
// a page fault for each of its 4 KB pages at the first touch, and under a hypervisor each
// of those is slow: for a contact of a million messages a side, most of the time its
// views took where large pages are off. A buffer kept still has its pages, so the next
// contact of that size fills it at the speed of memory. At most kCount buffers are kept,
// the largest ones; the memory they hold stays in use until the process ends.
template <class Buffer> class TSpareBuffers {
public:
    static constexpr std::size_t kCount = 3;

    // Never destroyed: a history freed during the process's exit may still hand its
    // buffers over.
    static TSpareBuffers& Instance() {
        static TSpareBuffers* const spares = new TSpareBuffers;
        return *spares;
    }
    // Keeps the buffer, emptied, when it holds at least kSpareAbove bytes and is larger
    // than the smallest one kept. Called from destructors: it never throws (a buffer
    // that cannot be kept is freed with its owner).
    void Give(Buffer&& b) noexcept {
        if (Bytes(b) < kSpareAbove) {
            return;
        }
        b.clear();
        Buffer dropped; // freed once the lock is let go
        try {
            std::lock_guard lock(mutex_);
            if (kept_.size() < kCount) {
                kept_.reserve(kCount);
                kept_.push_back(std::move(b));
                return;
            }
            const auto smallest = std::min_element(kept_.begin(), kept_.end(), bySize);
            if (Bytes(*smallest) >= Bytes(b)) {
                return;
            }
            dropped = std::move(*smallest);
            *smallest = std::move(b);
        } catch (...) {
        }
    }
    // The smallest kept buffer with room for bytes, emptied, in place of b; false when
    // none has room (b is left as it was).
    bool Take(Buffer& b, std::size_t bytes) {
        if (bytes < kSpareAbove) {
            return false;
        }
        std::lock_guard lock(mutex_);
        auto best = kept_.end();
        for (auto it = kept_.begin(); it != kept_.end(); ++it) {
            if (Bytes(*it) >= bytes && (best == kept_.end() || Bytes(*it) < Bytes(*best))) {
                best = it;
            }
        }
        if (best == kept_.end()) {
            return false;
        }
        std::swap(b, *best);
        kept_.erase(best); // what b held before (nothing, as callers use it) goes
        return true;
    }
    // Frees every kept buffer.
    void Clear() {
        std::vector<Buffer> gone;
        std::lock_guard lock(mutex_);
        gone.swap(kept_);
    }
    std::size_t Count() const {
        std::lock_guard lock(mutex_);
        return kept_.size();
    }

private:
    static std::size_t Bytes(const Buffer& b) {
        return b.capacity() * sizeof(typename Buffer::value_type);
    }
    static bool bySize(const Buffer& a, const Buffer& b) { return Bytes(a) < Bytes(b); }
    mutable std::mutex mutex_;
    std::vector<Buffer> kept_;
};

// Reserves room for n elements in all and gives the part not yet in use large pages. An
// empty vector that needs a large block takes a kept one where there is one.
template <class T> void ReserveLarge(std::vector<T>& v, std::size_t n) {
    if (v.empty() && v.capacity() < n) {
        TSpareBuffers<std::vector<T>>::Instance().Take(v, n * sizeof(T));
    }
    v.reserve(n);
    PreferLargePages(v.data() + v.size(), (v.capacity() - v.size()) * sizeof(T));
}

// Hands a large vector to the kept buffers for the next contact (its elements are
// destroyed here); a smaller one is simply freed with its owner.
template <class T> void KeepLarge(std::vector<T>& v) {
    TSpareBuffers<std::vector<T>>::Instance().Give(std::move(v));
}

} // namespace vimosync
