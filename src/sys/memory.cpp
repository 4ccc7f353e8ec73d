// The heap's handling of large freed blocks (the C library's allocator settings), and large-page
// advice for large blocks read at random.
#include "sys/memory.h"

#include <cstdint>
#include <malloc.h>
#include <sys/mman.h>

namespace sys
{
void KeepFreedMemoryForReuse()
{
    constexpr int kLargestKeptBlock = 64 << 20;
    // Blocks above the map threshold get pages of their own, returned at free; the heap's top is
    // given back once more than the trim threshold is free.
    mallopt(M_MMAP_THRESHOLD, kLargestKeptBlock);
    mallopt(M_TRIM_THRESHOLD, 4 * kLargestKeptBlock);
}

void PreferLargePages(void* block, size_t bytes)
{
    constexpr uintptr_t kLargePage = uintptr_t(2) << 20;
    if (block == nullptr || bytes < 2 * kLargePage)
        return;
    uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + kLargePage - 1) & ~(kLargePage - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kLargePage - 1);
    // Refused advice (no such support, or memory that is not the process's own pages) changes
    // nothing.
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}
} // namespace sys
