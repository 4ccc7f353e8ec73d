// Small blocks kept for reuse under the default allocator: the reported memory is that of the
// live blocks, coroutines and tables made and collected in bulk leave nothing behind, and a host
// allocator set later gets every block back with the size it was asked for.
#include <gtest/gtest.h>

#include "lib_test_support.h"
#include "script/core/state.h"

#include <cstdlib>
#include <map>

namespace
{

const char* const kBulk = "local made, even = 0, false\n"
                          "for i = 1, 20000 do\n"
                          "  local co = coroutine.wrap(function(a)\n"
                          "    local b = coroutine.yield(a + 1)\n"
                          "    return a + b\n"
                          "  end)\n"
                          "  made = made + co(i)\n"
                          "  even = not even\n"
                          "  if not even then made = made + co(1) end\n" // half left suspended
                          "  local v = {i, i + 1, n = i}\n"
                          "  made = made + v[1] - v[2] + v.n\n"
                          "end\n"
                          "result = made\n"
                          "collectgarbage()\n";

TEST(SmallBlocksTest, BulkCoroutinesAndTablesComeBackToTheSameCount)
{
    LibState state;
    // A first round leaves the string table and the shared buffer at their working sizes.
    ASSERT_EQ("", state.Run(kBulk));
    ASSERT_EQ("", state.Run("result = nil collectgarbage()"));
    size_t before = G(state.L)->nblocks;
    for (int round = 0; round < 3; round++)
    {
        ASSERT_EQ("", state.Run(kBulk));
        EXPECT_EQ("500040000", state.Eval("result"));
        ASSERT_EQ("", state.Run("result = nil collectgarbage()"));
        // Kept blocks are not counted: the live bytes are what they were.
        EXPECT_EQ(before, G(state.L)->nblocks) << "round " << round;
        EXPECT_GT(G(state.L)->smallfreebytes, 0u);
        EXPECT_LE(G(state.L)->smallfreebytes, size_t(1) << 20);
    }
}

// Forwards to the C library and remembers the size each live block was asked with.
struct Recorder
{
    std::map<void*, size_t> live;
    int mismatched = 0;
};

void* Record(void* ud, void* block, size_t oldsize, size_t newsize, int, int)
{
    auto* rec = static_cast<Recorder*>(ud);
    if (block != nullptr)
    {
        auto it = rec->live.find(block);
        // Blocks from before the switch are unknown here; the state still names their size.
        if (it != rec->live.end())
        {
            if (it->second != oldsize)
                rec->mismatched++;
            rec->live.erase(it);
        }
    }
    if (newsize == 0)
    {
        std::free(block);
        return nullptr;
    }
    void* result = std::realloc(block, newsize);
    if (result != nullptr)
        rec->live[result] = newsize;
    return result;
}

TEST(SmallBlocksTest, HostAllocatorSetLaterGetsExactSizesAndAllBlocksBack)
{
    Recorder rec;
    {
        LibState state;
        ASSERT_EQ("", state.Run(kBulk));
        ASSERT_GT(G(state.L)->smallfreebytes, 0u);
        lua_setallocator(state.L, Record, &rec);
        EXPECT_EQ(0u, G(state.L)->smallfreebytes);
        // Blocks of both allocators, old ones collected through the new one.
        ASSERT_EQ("", state.Run(kBulk));
        EXPECT_EQ("500040000", state.Eval("result"));
        EXPECT_FALSE(rec.live.empty());
        // At close, every block made through Record comes back through it.
    }
    EXPECT_EQ(0, rec.mismatched);
    EXPECT_TRUE(rec.live.empty());
}

} // namespace
