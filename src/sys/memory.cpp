// The heap's handling of large freed blocks, on the C library's allocator settings.
#include "sys/memory.h"

#include <malloc.h>

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
} // namespace sys
