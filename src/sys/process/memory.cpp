// The heap's handling of large freed blocks, on the C library's allocator settings, and blocks of
// pages mapped for one owner.
#include "sys/process/memory.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

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

void GiveBackFreedMemory()
{
    malloc_trim(0);
}

void* MapZeroedPages(size_t bytes)
{
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void* MapZeroedScatteredPages(size_t bytes)
{
    void* block = MapZeroedPages(bytes);
    // Only advice: where large pages are not to be had the block is served by small ones.
    if (block != nullptr)
        madvise(block, bytes, MADV_HUGEPAGE);
    return block;
}

void* RemapZeroedPages(void* block, size_t oldBytes, size_t newBytes)
{
    // The bytes past a block's size on its last page stay zero, so that a later growth, which adds
    // only whole pages, shows zero bytes after the old size too.
    if (newBytes < oldBytes)
    {
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        size_t pageEnd = (newBytes + page - 1) / page * page;
        std::memset(static_cast<char*>(block) + newBytes, 0,
                    (pageEnd < oldBytes ? pageEnd : oldBytes) - newBytes);
    }
    void* moved = mremap(block, oldBytes, newBytes, MREMAP_MAYMOVE);
    return moved == MAP_FAILED ? nullptr : moved;
}

void UnmapPages(void* block, size_t bytes)
{
    munmap(block, bytes);
}
} // namespace sys
