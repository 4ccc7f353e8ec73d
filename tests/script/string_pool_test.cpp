// The string pool: a state with few strings takes little memory for them, and slabs grow with
// the strings so that a busy state asks the allocator rarely.
#include "lib_test_support.h"

#include "script/core/state.h"
#include "script/core/strings.h"

#include <string>
#include <vector>

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

// A string counts 17 bytes and its length, a wide string 18 and twice its length, on either side
// of the largest pooled block (256 bytes) and whether or not its block is a reused one.
TEST(StringPool, StringsCountHeaderAndText)
{
    LibState state;
    lua_State* L = state.L;
    global_State* g = G(L);
    for (int round = 0; round < 2; round++)
    {
        for (size_t l : {1u, 7u, 8u, 238u, 239u, 240u, 300u})
        {
            std::string text(l, round == 0 ? '~' : '}');
            std::vector<lua_WChar> wide(l, static_cast<lua_WChar>(0x4e00 + round));
            int slots = g->strt.size;
            size_t before = g->nblocks;
            ScriptString* ts = luaS_newlstr(L, text.data(), l);
            ScriptString* ws = luaS_newlwstr(L, wide.data(), wide.size());
            size_t table = 8 * static_cast<size_t>(g->strt.size - slots);
            EXPECT_EQ(g->nblocks - before - table, 17 + l + 18 + 2 * wide.size()) << l;
            EXPECT_EQ(std::string(getstr(ts), ts->len), text);
            EXPECT_EQ(getwstr(ws)[wide.size()], 0);
        }
        // The first round's strings are collected: the second takes their kept blocks.
        lua_setgcthreshold(L, 0);
    }
}

} // namespace
