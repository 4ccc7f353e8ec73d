// The interned string table: one string per text through growth, removal marks and shrinking,
// strings whose hashes collide (long strings hash sampled characters only), wide and 8-bit alike.
#include "lib_test_support.h"

#include "script/core/state.h"
#include "script/core/strings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace
{

// Checks the table's invariants: every string (main slots and recent set) is the one lookups
// give for its kind and text, the counts agree, each slot's address is a multiple of 8 with the
// bits mixed from its hash above it, and the recent set and filter exist only while the table is
// large. Looking up an interned text allocates nothing and changes nothing.
void ExpectConsistentTable(lua_State* L)
{
    stringtable* tb = &G(L)->strt;
    std::vector<ScriptString*> all;
    uint32_t tombs = 0;
    for (int i = 0; i < tb->size; i++)
    {
        if (tb->hash[i] == kStrSlotRemoved)
            tombs++;
        if (tb->hash[i] <= kStrSlotRemoved)
            continue;
        ScriptString* ts = luaS_slotstring(tb->hash[i]);
        if (reinterpret_cast<uintptr_t>(ts) % 8 != 0 || tb->hash[i] != luaS_makeslot(ts, ts->hash))
            ADD_FAILURE() << "slot " << i << " holds " << tb->hash[i];
        all.push_back(ts);
    }
    EXPECT_EQ(tombs, tb->ntomb);
    if (tb->size < (1 << 15))
    {
        EXPECT_EQ(tb->nrecent, 0u);
        EXPECT_EQ(tb->filter, nullptr);
    }
    for (uint32_t j = 0; j < tb->nrecent; j++)
    {
        if (tb->recentlist[j].h != tb->recentlist[j].ts->hash)
            ADD_FAILURE() << "recent string " << j << " with another hash";
        all.push_back(tb->recentlist[j].ts);
    }
    EXPECT_EQ(all.size(), tb->nuse);
    // One string per text follows: of two with the same kind and text, a lookup gives only one.
    size_t before = G(L)->nblocks;
    for (ScriptString* ts : all)
    {
        ScriptString* found = ts->tt == LUA_TWSTRING ? luaS_newlwstr(L, getwstr(ts), ts->len)
                                                     : luaS_newlstr(L, getstr(ts), ts->len);
        if (found != ts)
            ADD_FAILURE() << "not the string a lookup gives: " << std::string(getstr(ts), ts->len);
    }
    EXPECT_EQ(G(L)->nblocks, before);
    EXPECT_EQ(all.size(), tb->nuse);
}

// Bytes counted in nblocks for the table's own arrays, the string buffer
// and the main thread's stack: what a churn of strings may change besides the strings.
size_t SideBytes(lua_State* L)
{
    global_State* g = G(L);
    size_t bytes = static_cast<size_t>(g->strt.size) * 8 + g->buff.size;
    if (g->strt.filter != nullptr)
        bytes += 256 * 1024;
    if (g->strt.recent != nullptr)
        bytes += 8192 * 8 + 4096 * sizeof(RecentString);
    bytes += static_cast<size_t>(L->stacksize) * sizeof(TObject) +
             static_cast<size_t>(L->size_ci) * sizeof(CallInfo);
    return bytes;
}

// Pushes string i of a churn: 8-bit texts of every length from 0 to 330 (either side of the
// pooled sizes) and wide texts, each made unique by i.
void PushChurnString(lua_State* L, int i, bool wide)
{
    std::string text = std::to_string(i) + std::string(static_cast<size_t>(i % 331), 'c');
    if (!wide)
    {
        lua_pushlstring(L, text.data(), text.size());
        return;
    }
    std::vector<lua_WChar> units(text.begin(), text.end());
    lua_pushlwstring(L, units.data(), units.size());
}

class StringTableTest : public ::testing::Test
{
protected:
    uint32_t Used() { return G(mState.L)->strt.nuse; }
    int Size() { return G(mState.L)->strt.size; }

    LibState mState;
};

TEST_F(StringTableTest, GrowsWithStringsAndShrinksWhenTheyAreCollected)
{
    // Joined text is interned when it becomes a key.
    int before = Size();
    ASSERT_EQ(mState.Run("keep = {}; for i = 1, 20000 do keep['str' .. i] = i end"), "");
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
    // Joined text is interned when it becomes a key: `names` holds each string as one.
    ASSERT_EQ(mState.Run("keep = {} names = {} for i = 1, 60000 do "
                         "local s = 'big' .. i keep[i] = s names[s] = i end"),
              "");
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
    ASSERT_EQ(mState.Run("keep = nil names = nil idx = nil again = nil "
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

TEST_F(StringTableTest, KeptBlocksOfCollectedStringsCountAsFreedAndServeAcrossAllocatorChange)
{
    global_State* g = G(mState.L);
    ASSERT_EQ(mState.Run("for i = 1, 5000 do local s = 'tmp' .. i end"), "");
    size_t before = g->nblocks;
    ASSERT_EQ(mState.Run("collectgarbage()"), "");
    EXPECT_GT(g->strfreebytes, 0u);
    // Keeping them costs nothing counted: the lists run through the blocks themselves.
    EXPECT_LT(g->nblocks, before - 5000 * 20);
    // New strings of those sizes take kept blocks again.
    size_t kept = g->strfreebytes;
    ASSERT_EQ(mState.Run("keep = {}; for i = 1, 50 do keep[i] = 'new' .. i end"), "");
    EXPECT_LT(g->strfreebytes, kept);
    // They lie in the slabs, not in blocks of the allocator being replaced: they serve on.
    static int calls = 0; // the state closes through the allocator after the test
    lua_setallocator(mState.L, CountingAlloc, &calls);
    kept = g->strfreebytes;
    ASSERT_EQ(mState.Run("for i = 51, 60 do keep[i] = 'new' .. i end"), "");
    EXPECT_LT(g->strfreebytes, kept);
    EXPECT_EQ(mState.Eval("keep[7] .. keep[57]"), "new7new57");
}

TEST_F(StringTableTest, InvariantsHoldAcrossTheLargeTableLifecycle)
{
    // Strings kept in a table through the switch to the recent set and filter, many flushes,
    // collections that sweep recent and main strings, shrinking below the switch with recent
    // strings pending, and growing past it again.
    lua_State* L = mState.L;
    lua_setgcthreshold(L, 4194303); // collections only where the test asks
    lua_newtable(L);
    auto keep = [&](int from, int to, bool wide)
    {
        for (int i = from; i <= to; i++)
        {
            PushChurnString(L, i, wide && i % 5 == 0);
            lua_rawseti(L, 1, i);
        }
    };
    keep(1, 12000, true);
    ExpectConsistentTable(L);
    EXPECT_LT(Size(), 1 << 15);
    keep(12001, 14000, true); // the main slots reach the size that uses the recent set
    EXPECT_GE(Size(), 1 << 15);
    EXPECT_NE(G(L)->strt.filter, nullptr);
    ExpectConsistentTable(L);
    keep(14001, 50000, true); // several flushes and a growth of the main slots
    ExpectConsistentTable(L);
    // Garbage among the recent strings and the main ones.
    for (int i = 50001; i <= 53000; i++)
    {
        PushChurnString(L, i, false);
        lua_pop(L, 1);
    }
    for (int i = 1; i <= 50000; i += 2)
    {
        lua_pushnil(L);
        lua_rawseti(L, 1, i);
    }
    EXPECT_GT(G(L)->strt.nrecent, 0u);
    lua_setgcthreshold(L, 0);
    lua_setgcthreshold(L, 4194303);
    ExpectConsistentTable(L);
    keep(60001, 61000, false);
    ExpectConsistentTable(L);
    // Nearly everything goes: the table shrinks in halves, below the switch, while the newest
    // strings still wait in the recent set.
    lua_newtable(L);
    lua_replace(L, 1);
    keep(70001, 70100, true);
    EXPECT_GT(G(L)->strt.nrecent, 0u);
    for (int round = 0; round < 8 && Size() >= (1 << 15); round++)
    {
        lua_setgcthreshold(L, 0);
        lua_setgcthreshold(L, 4194303);
        ExpectConsistentTable(L);
    }
    EXPECT_LT(Size(), 1 << 15);
    EXPECT_EQ(G(L)->strt.filter, nullptr);
    // And past the switch again: the recent set is reused and the filter rebuilt.
    keep(80001, 105000, true);
    EXPECT_GE(Size(), 1 << 15);
    ExpectConsistentTable(L);
    for (int i = 70001; i <= 70100; i++)
    {
        lua_rawgeti(L, 1, i);
        PushChurnString(L, i, i % 5 == 0);
        EXPECT_TRUE(lua_rawequal(L, -1, -2)) << i;
        lua_pop(L, 2);
    }
}

TEST_F(StringTableTest, ByteCountReturnsAfterAChurnOfStrings)
{
    // Strings of every pooled size, long ones, wide ones, and joins that find their text already
    // interned: once all are collected, the byte count is back where it was but for the table's
    // own arrays and lists.
    lua_State* L = mState.L;
    ASSERT_EQ(mState.Run("parts = {} for i = 1, 300 do parts[i] = 'ab' end "
                         "joined = string.rep('ab', 300) "
                         // The first getn makes the library's table of sizes, which stays.
                         "table.concat(parts)"),
              "");
    lua_setgcthreshold(L, 0);
    lua_setgcthreshold(L, 0);
    size_t base = G(L)->nblocks - SideBytes(L);
    for (int round = 0; round < 3; round++)
    {
        for (int i = 1; i <= 40000; i++)
        {
            PushChurnString(L, i + round * 7, i % 3 == 0);
            lua_pop(L, 1);
        }
        for (int i = 0; i < 20; i++)
        {
            lua_getglobal(L, "table");
            lua_pushliteral(L, "concat");
            lua_rawget(L, -2);
            lua_getglobal(L, "parts");
            ASSERT_EQ(lua_pcall(L, 1, 1, 0), 0);
            lua_settop(L, 0);
        }
        lua_setgcthreshold(L, 0);
        lua_setgcthreshold(L, 0);
        EXPECT_EQ(G(L)->nblocks - SideBytes(L), base) << "round " << round;
        ExpectConsistentTable(L);
    }
}

// Fails one chosen allocation (counting from 1 after it is armed) and checks on every call that
// the size it is told for a block is the size the block was given.
struct FaultAlloc
{
    long countdown = 0; // the allocation that fails; 0: none
    long allocations = 0;
    long failures = 0;
    long sizeMismatches = 0;
    std::map<void*, size_t> sizes;
};

void* FaultAllocate(void* ud, void* block, size_t oldsize, size_t newsize, int, int)
{
    auto* a = static_cast<FaultAlloc*>(ud);
    if (block != nullptr)
    {
        auto it = a->sizes.find(block);
        if (it != a->sizes.end())
        {
            if (it->second != oldsize)
                a->sizeMismatches++;
            a->sizes.erase(it);
        }
    }
    if (newsize == 0)
    {
        free(block);
        return nullptr;
    }
    if (newsize > oldsize && ++a->allocations == a->countdown)
    {
        a->failures++;
        if (block != nullptr)
            a->sizes[block] = oldsize; // the block stays as it was
        return nullptr;
    }
    void* result = realloc(block, newsize);
    if (result != nullptr)
        a->sizes[result] = newsize;
    return result;
}

// Short strings from argument 1 to argument 2 kept in the registry, with a long and a wide one
// now and then and some garbage for the collections on the way.
int MakeStrings(lua_State* L)
{
    int from = static_cast<int>(lua_tonumber(L, 1));
    int to = static_cast<int>(lua_tonumber(L, 2));
    for (int i = from; i <= to; i++)
    {
        std::string text = "s" + std::to_string(i);
        if (i % 1000 == 0)
            text += std::string(300, 'L');
        if (i % 7 == 0)
        {
            std::vector<lua_WChar> units(text.begin(), text.end());
            lua_pushlwstring(L, units.data(), units.size());
        }
        else
            lua_pushlstring(L, text.data(), text.size());
        lua_rawseti(L, LUA_REGISTRYINDEX, i);
        if (i % 9 == 0)
        {
            text += "-garbage";
            lua_pushlstring(L, text.data(), text.size());
            lua_pop(L, 1);
        }
    }
    return 0;
}

TEST(StringTableFaultTest, EveryAllocationFailureLeavesAConsistentTable)
{
    // Growing to past the recent-set switch takes a few dozen allocations (slabs, long strings,
    // rebuilds of the main slots, the recent set and filter, flushes, kept-block lists, the
    // registry). Each in turn is refused: the memory error leaves a table in which every string
    // is found once, making the rest then succeeds, and every block is freed with its own size.
    long total = 0;
    for (long fail = 1;; fail++)
    {
        FaultAlloc alloc;
        lua_State* L = lua_open();
        ASSERT_NE(L, nullptr);
        lua_setallocator(L, FaultAllocate, &alloc);
        lua_setgcthreshold(L, 256);
        lua_pushcfunction(L, MakeStrings);
        lua_pushnumber(L, 1);
        lua_pushnumber(L, 24000);
        alloc.countdown = alloc.allocations + fail;
        int status = lua_pcall(L, 2, 0, 0);
        if (alloc.failures == 0)
        {
            // Every allocation of the run has had its turn.
            EXPECT_EQ(status, 0);
            total = alloc.allocations;
            EXPECT_GE(G(L)->strt.size, 1 << 15);
            EXPECT_NE(G(L)->strt.filter, nullptr);
            ExpectConsistentTable(L);
            lua_close(L);
            EXPECT_EQ(alloc.sizeMismatches, 0);
            EXPECT_TRUE(alloc.sizes.empty()) << alloc.sizes.size() << " blocks not freed";
            break;
        }
        SCOPED_TRACE("failing allocation " + std::to_string(fail));
        ExpectConsistentTable(L);
        lua_settop(L, 0);
        lua_pushcfunction(L, MakeStrings);
        lua_pushnumber(L, 1);
        lua_pushnumber(L, 24000);
        ASSERT_EQ(lua_pcall(L, 2, 0, 0), 0) << lua_tostring(L, -1);
        lua_setgcthreshold(L, 0);
        ExpectConsistentTable(L);
        lua_close(L);
        EXPECT_EQ(alloc.sizeMismatches, 0);
        EXPECT_TRUE(alloc.sizes.empty()) << alloc.sizes.size() << " blocks not freed";
    }
    EXPECT_GT(total, 20);
}

} // namespace
