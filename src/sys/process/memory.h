// How the process's heap treats large freed blocks, and blocks of zeroed pages of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>

namespace sys
{
// Keeps freed blocks of up to 64 MiB in the heap for the next allocation instead of handing them
// back to the system. Loading a scene frees and allocates texture and decode blocks of several
// megabytes each; handed back, every page of the next one faults in again, which doubled the
// time of a texture load. Called once at start-up.
void KeepFreedMemoryForReuse();

// Hands back to the system the free pages KeepFreedMemoryForReuse keeps in the heap. Large blocks
// freed and taken again at other sizes and places leave free pages all over the heap, and the
// resident set only grows with them: a caller that has just freed much gives them back, and the
// blocks taken later fault their pages in once. The pages go back on a thread of their own: the
// caller does not wait for them.
void GiveBackFreedMemory();
// Waits until every give-back asked for so far has run (a measure of the resident set, a test).
void WaitForFreedMemoryGivenBack();
// How many give-backs were asked for since the program started.
uint64_t CountFreedMemoryGiveBacks();
// The thread the last give-back ran on (none before the first): a test's check that it is not the
// caller's.
std::thread::id FreedMemoryGivenBackOn();

// Blocks of whole pages taken straight from the system, which supplies them zeroed and leaves each
// page out of the resident set until it is first written: for a large block that grows by
// doubling and may stay partly unused. A growth or shrink moves the pages instead of copying
// them, and what a growth adds reads zero (a shrink clears the bytes it cuts off on the last
// page it keeps). Each returns null when the system refuses, the block
// given then being left as it was; `bytes` is more than zero. A block is given back with the size
// it last had.
void* MapZeroedPages(size_t bytes);
void* RemapZeroedPages(void* block, size_t oldBytes, size_t newBytes);
void UnmapPages(void* block, size_t bytes);

// As MapZeroedPages, for a block read and written all over at random (a large hash vector): the
// system is asked to back it with large pages, so that each access does not also miss the
// processor's page translation cache. Every page of such a block is written soon, so the larger
// unit costs no memory that would otherwise stay free. Given back with UnmapPages.
void* MapZeroedScatteredPages(size_t bytes);
} // namespace sys
