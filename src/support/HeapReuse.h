#pragma once

// How the C library's allocator treats the large blocks that reading histories makes.

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

} // namespace vimosync
