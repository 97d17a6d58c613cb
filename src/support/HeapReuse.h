#pragma once

// How the C library's allocator treats the large blocks that reading histories makes.

#include <cstddef>
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

// Reserves room for n elements in all and gives the part not yet in use large pages.
template <class T> void ReserveLarge(std::vector<T>& v, std::size_t n) {
    v.reserve(n);
    PreferLargePages(v.data() + v.size(), (v.capacity() - v.size()) * sizeof(T));
}

} // namespace vimosync
