// A script state's allocator that counts its live bytes and their peak, for the tests and the
// benchmarks that measure what building a value takes at its most.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace testsupport
{

struct BlockUsage
{
    long long live = 0;
    long long peak = 0;
};

// A lua_Alloc whose `ud` is a BlockUsage; set with lua_setallocator, it must outlive the state.
inline void* CountBlocks(void* ud, void* block, size_t oldsize, size_t newsize, int, int)
{
    auto* usage = static_cast<BlockUsage*>(ud);
    usage->live += static_cast<long long>(newsize) - static_cast<long long>(oldsize);
    usage->peak = std::max(usage->peak, usage->live);
    if (newsize == 0)
    {
        std::free(block);
        return nullptr;
    }
    return std::realloc(block, newsize);
}

} // namespace testsupport
