// The interned string table: one string per text through growth, removal marks and shrinking,
// strings whose hashes collide (long strings hash sampled characters only), wide and 8-bit alike.
#include "lib_test_support.h"

#include "script/state.h"
#include "script/strings.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

class StringTableTest : public ::testing::Test
{
protected:
    uint32_t Used() { return G(mState.L)->strt.nuse; }
    int Size() { return G(mState.L)->strt.size; }

    LibState mState;
};

TEST_F(StringTableTest, GrowsWithStringsAndShrinksWhenTheyAreCollected)
{
    int before = Size();
    ASSERT_EQ(mState.Run("keep = {}; for i = 1, 20000 do keep[i] = 'str' .. i end"), "");
    EXPECT_GE(Used(), 20000u);
    EXPECT_GT(Size(), before);
    EXPECT_LE(Used(), static_cast<uint32_t>(Size()) / 4 * 3);
    ASSERT_EQ(mState.Run("keep = nil; collectgarbage(); collectgarbage()"), "");
    EXPECT_LT(Used(), 2000u);
    EXPECT_LT(Size(), 32768);
    EXPECT_EQ(mState.Eval("'str' .. 12 == 'str12'"), "true");
}

TEST_F(StringTableTest, OneStringPerTextThroughChurn)
{
    // Rounds of creating and collecting leave removal marks that later inserts reuse or a
    // rebuild drops; every lookup must still find the one string of its text.
    ASSERT_EQ(mState.Run("t = {}; for round = 1, 20 do"
                         "  for i = 1, 3000 do local s = 'k' .. math.mod(i * round, 997) .. '_' .. "
                         "round; t[s] = (t[s] or 0) + 1 end;"
                         "  if math.mod(round, 3) == 0 then t = {}; collectgarbage() end "
                         "end"),
              "");
    EXPECT_EQ(mState.Eval("(function() local n = 0; for k, v in pairs(t) do n = n + v end; "
                          "return n end)()"),
              "6000");
    EXPECT_EQ(mState.Eval("t['k' .. 5 .. '_' .. 20]"), "3");
}

TEST_F(StringTableTest, CollidingLongStringsStayDistinct)
{
    // Strings over 32 characters hash every few characters only: these differ in unsampled
    // positions, so they share a hash, yet each is its own string.
    std::string base(64, 'a');
    std::string code = "local t = {}; local n = 0;";
    for (int i = 0; i < 40; i++)
    {
        std::string s = base;
        s[0] = static_cast<char>('A' + i % 26);
        s[2] = static_cast<char>('A' + i / 26);
        code += "t['" + s + "'] = " + std::to_string(i) + ";";
    }
    code += "collectgarbage(); for k, v in pairs(t) do n = n + 1 end; return n, t['BaA" +
            base.substr(3) + "']";
    ASSERT_EQ(mState.Run(code), "");
    EXPECT_EQ(mState.Text(1), "40");
    EXPECT_EQ(mState.Text(2), "1");
}

TEST_F(StringTableTest, WideAndNarrowTextsOfTheSameBytesAreDifferentStrings)
{
    EXPECT_EQ(mState.Eval("(function() local t = {}; t['ab'] = 1; t[L\"ab\"] = 2; collectgarbage();"
                          " return t['a' .. 'b'] + t[L\"a\" .. L\"b\"] * 10 end)()"),
              "21");
}

void* CountingAlloc(void* ud, void* block, size_t, size_t newsize, int, int)
{
    ++*static_cast<int*>(ud);
    if (newsize == 0)
    {
        free(block);
        return nullptr;
    }
    return realloc(block, newsize);
}

TEST_F(StringTableTest, KeptBlocksOfCollectedStringsCountAsFreedAndGoBackOnAllocatorChange)
{
    global_State* g = G(mState.L);
    ASSERT_EQ(mState.Run("for i = 1, 5000 do local s = 'tmp' .. i end"), "");
    size_t before = g->nblocks;
    ASSERT_EQ(mState.Run("collectgarbage()"), "");
    EXPECT_GT(g->strfreebytes, 0u);
    EXPECT_LT(g->nblocks, before);
    // New strings of those sizes take kept blocks again.
    size_t kept = g->strfreebytes;
    ASSERT_EQ(mState.Run("keep = {}; for i = 1, 50 do keep[i] = 'new' .. i end"), "");
    EXPECT_LT(g->strfreebytes, kept);
    int calls = 0;
    lua_setallocator(mState.L, CountingAlloc, &calls);
    EXPECT_EQ(g->strfreebytes, 0u);
    EXPECT_EQ(calls, 0); // returned through the allocator that gave them
    for (int size = 0; size < kStringReuseSizes; size++)
    {
        EXPECT_EQ(g->strfree[size].blocks, nullptr); // and so were the lists of their addresses
        EXPECT_EQ(g->strfree[size].count, 0u);
    }
    EXPECT_EQ(mState.Eval("keep[7] .. '!'"), "new7!");
}

} // namespace
