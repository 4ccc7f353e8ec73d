// The string pool: a state with few strings takes little memory for them, and slabs grow with
// the strings so that a busy state asks the allocator rarely.
#include "lib_test_support.h"

#include "script/core/state.h"

#include <gtest/gtest.h>

namespace
{

size_t SlabCount(const global_State* g)
{
    size_t n = 0;
    for (void* slab = g->strslabs; slab != nullptr; slab = *static_cast<void**>(slab))
        n++;
    return n;
}

TEST(StringPool, NewStateTakesOneSmallSlab)
{
    LibState state;
    const global_State* g = G(state.L);
    EXPECT_LE(g->strslabbytes, 16u * 1024);
    EXPECT_GE(SlabCount(g), 1u);
}

TEST(StringPool, SlabsGrowWithTheStrings)
{
    LibState state;
    ASSERT_EQ(state.Run("keep = {} for i = 1, 100000 do keep[i] = 'pooled' .. i end"), "");
    const global_State* g = G(state.L);
    // About 4 MB of short strings: slabs doubled up to their largest size, so a few dozen
    // slabs hold them rather than a thousand small ones.
    EXPECT_GE(g->strslabbytes, 3u * 1024 * 1024);
    EXPECT_LT(SlabCount(g), 40u);
    EXPECT_EQ(state.Eval("keep[54321]"), "pooled54321");
}

} // namespace
