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

TEST_F(StringTableTest, LargeTablesKeepOneStringPerTextThroughCollections)
{
    // Past some ten thousand strings new ones wait in a small recent set before they join the
    // main slots a few thousand at a time; lookups must find them in either place, before and
    // after a collection and after the table grows again.
    ASSERT_EQ(mState.Run("keep = {} for i = 1, 60000 do keep[i] = 'big' .. i end"), "");
    EXPECT_GE(Used(), 60000u);
    EXPECT_GE(Size(), 1 << 15);
    ASSERT_EQ(mState.Run("idx = {} for i = 1, 60000, 7 do idx['big' .. i] = i end"), "");
    EXPECT_EQ(mState.Eval("idx[keep[7001]]"), "7001");
    EXPECT_EQ(mState.Eval("rawequal(keep[59998], 'big' .. 59998)"), "true");
    // Wide strings share the table: the same units are one string, the same bytes as an 8-bit
    // string another.
    EXPECT_EQ(mState.Eval("(function() local t = {[L\"wxyz\"] = 1, wxyz = 2} "
                          "return t[L\"wx\" .. L\"yz\"] * 10 + t['wx' .. 'yz'] end)()"),
              "12");
    ASSERT_EQ(mState.Run("for i = 1, 30000 do local s = 'tmp' .. i end collectgarbage()"), "");
    EXPECT_EQ(mState.Eval("rawequal(keep[12345], 'big' .. '12345')"), "true");
    EXPECT_EQ(mState.Eval("(function() local n = 0 for i = 1, 60000 do "
                          "if keep[i] ~= 'big' .. i then n = n + 1 end end return n end)()"),
              "0");
    // Collected texts made again are new strings, found once.
    ASSERT_EQ(mState.Run("again = {} for i = 1, 30000 do again['tmp' .. i] = i end"), "");
    EXPECT_EQ(mState.Eval("again['tmp' .. 29999]"), "29999");
    // Dropping nearly everything shrinks the table (by half a collection) below the size that
    // uses the recent set; the strings made since the last collection still resolve.
    ASSERT_EQ(mState.Run("keep = nil idx = nil again = nil "
                         "late = {} for i = 1, 100 do late[i] = 'late' .. i end "
                         "for i = 1, 8 do collectgarbage() end"),
              "");
    EXPECT_LT(Size(), 1 << 15);
    EXPECT_EQ(mState.Eval("rawequal(late[42], 'late' .. 42)"), "true");
    EXPECT_LT(Used(), 2000u);
}

TEST_F(StringTableTest, LongStringsHaveBlocksOfTheirOwn)
{
    // Strings too long for the slabs of short strings are allocated one by one: made, found,
    // collected and made again.
    ASSERT_EQ(mState.Run("long = {} for i = 1, 50 do long[i] = string.rep('L', 300 + i) .. i end"),
              "");
    EXPECT_EQ(mState.Eval("rawequal(long[10], string.rep('L', 310) .. 10)"), "true");
    size_t before = G(mState.L)->nblocks;
    ASSERT_EQ(mState.Run("long = nil collectgarbage()"), "");
    EXPECT_LT(G(mState.L)->nblocks, before - 50 * 300);
    EXPECT_EQ(mState.Eval("string.len(string.rep('L', 320) .. 20)"), "322");
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
