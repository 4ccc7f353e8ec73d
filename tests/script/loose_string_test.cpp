// Loose strings (made at run time, interned only when a table key needs them): equality with
// their interned twins both ways, table reads and writes through them, `next` after such writes,
// and collections while they are alive on the stack, in upvalues and half-way interned.
#include "lib_test_support.h"

#include "script/core/state.h"
#include "script/core/strings.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

class LooseStringTest : public ::testing::Test
{
protected:
    // Whether the string result i of the last Run is loose (not in the string table).
    bool IsLoose(int i)
    {
        const TObject* o = mState.L->base + (i - 1);
        return ttisstring(o) && !tsvalue(o)->interned;
    }

    LibState mState;
};

TEST_F(LooseStringTest, RunTimeTextIsBornLooseAndInternedOnlyAsANewKey)
{
    ASSERT_EQ(mState.Run("local t = {} local n = 12 "
                         "return 'k' .. n, string.format('%d', n), string.sub('abc', 2), "
                         "  (string.gsub('x', 'x', 'y')), 'k12'"),
              "");
    EXPECT_TRUE(IsLoose(1));
    EXPECT_TRUE(IsLoose(2));
    EXPECT_TRUE(IsLoose(3));
    EXPECT_TRUE(IsLoose(4));
    EXPECT_FALSE(IsLoose(5)); // a constant
    // Reading absent keys with loose strings enters nothing in the string table.
    const std::string reads = "t = {} for i = 1, 500 do local _ = t['absent' .. i], "
                              "rawget(t, 'a' .. i) end";
    ASSERT_EQ(mState.Run(reads), "");
    uint32_t used = G(mState.L)->strt.nuse;
    ASSERT_EQ(mState.Run(reads), "");
    EXPECT_EQ(G(mState.L)->strt.nuse, used);
}

TEST_F(LooseStringTest, LooseKeyReadsAndWritesTheEntryOfItsInternedTwin)
{
    // The entry was made with a constant (interned); a joined key of the same text reads it,
    // overwrites it, and the table still has one entry of that text.
    EXPECT_EQ(mState.Run("t = {k12 = 1, other = 2} local s = 'k' .. 12 "
                         "r1 = t[s] t[s] = t[s] + 10 rawset(t, string.sub('xk12', 2), 100) "
                         "n = 0 for k, v in pairs(t) do n = n + 1 end"),
              "");
    EXPECT_EQ(mState.Eval("r1, t.k12, n"), "1");
    EXPECT_EQ(mState.EvalAll("r1, t.k12, n")[1], "100");
    EXPECT_EQ(mState.EvalAll("r1, t.k12, n")[2], "2");
    // A key first written through a loose string is found by the constant, and by another join.
    EXPECT_EQ(mState.Eval("(function() local u = {} u['new' .. 'key'] = 7 "
                          "return u.newkey + u[string.format('%s%s', 'new', 'key')] end)()"),
              "14");
}

TEST_F(LooseStringTest, EqualityHoldsBothWaysAndOnlyForTheSameText)
{
    // Long strings hash sampled bytes only: these two differ where the hash does not look, so
    // they share a hash and length and only their bytes tell them apart.
    EXPECT_EQ(mState.Run("local base = string.rep('a', 64) "
                         "a1 = base .. 'x' a2 = 'a' .. string.sub(base, 2) .. 'x' "
                         "c = string.sub(base, 1, 63) .. 'bx' "
                         "interned = {} interned[a1] = true"),
              "");
    EXPECT_EQ(mState.Eval("a1 == a2, a2 == a1, rawequal(a1, a2), rawequal(a2, a1)"), "true");
    EXPECT_EQ(mState.EvalAll("a1 == a2, a2 == a1, rawequal(a1, a2), rawequal(a2, a1)")[3], "true");
    EXPECT_EQ(mState.Eval("a1 == c or c == a1 or rawequal(c, a1) or interned[c] ~= nil"), "false");
    EXPECT_EQ(mState.Eval("interned[a2]"), "true");
    EXPECT_EQ(mState.Eval("'ab' == 'a' .. 'b', 'a' .. 'b' == 'ab', 'a' .. 'b' == 'a' .. 'c'"),
              "true");
    EXPECT_EQ(mState.EvalAll("'ab' == 'a' .. 'b', 'a' .. 'b' == 'ab', 'a' .. 'b' == 'a' .. 'c'")[2],
              "false");
    // Wide and narrow strings of the same characters never meet, loose or not.
    EXPECT_EQ(mState.Eval("L\"ab\" == 'a' .. 'b' or 'a' .. 'b' == L\"ab\""), "false");
    // Through the API, both ways.
    lua_State* L = mState.L;
    ASSERT_EQ(mState.Run("return 'q' .. 1, 'q1', 'q' .. 2"), "");
    ASSERT_TRUE(IsLoose(1));
    EXPECT_TRUE(lua_rawequal(L, 1, 2));
    EXPECT_TRUE(lua_rawequal(L, 2, 1));
    EXPECT_TRUE(lua_equal(L, 2, 1));
    EXPECT_FALSE(lua_equal(L, 1, 3));
}

TEST_F(LooseStringTest, NextContinuesFromALooseCopyOfAKeyAfterWritesAndRemovals)
{
    // Keys written through loose strings; traversal continued from loose copies of the keys,
    // with the entries removed on the way and collections between steps (dead keys compare by
    // address with the interned twin).
    EXPECT_EQ(mState.Run("t = {} for i = 1, 40 do t['key' .. i] = i end "
                         "local seen, sum = 0, 0 local k, v = next(t) "
                         "while k do "
                         "  seen = seen + 1 sum = sum + v t[k] = nil collectgarbage() "
                         "  k, v = next(t, string.sub('#' .. k, 2)) "
                         "end "
                         "result = seen .. ':' .. sum .. ':' .. tostring(next(t))"),
              "");
    EXPECT_EQ(mState.Eval("result"), "40:820:nil");
    // Order is that of the keys' hashes and insertion sequence, however the keys were made.
    std::string constants = "b = {} ";
    for (int i = 1; i <= 200; i++)
        constants += "b.n" + std::to_string(i) + " = " + std::to_string(i) + " ";
    ASSERT_EQ(mState.Run(constants), "");
    EXPECT_EQ(mState.Run("a = {} for i = 1, 200 do a['n' .. i] = i end "
                         "same = true local ka, kb = next(a), next(b) "
                         "while ka or kb do if ka ~= kb then same = false end "
                         "  ka, kb = next(a, ka), next(b, kb) end"),
              "");
    EXPECT_EQ(mState.Eval("same"), "true");
    EXPECT_EQ(mState.Eval("next({}, 'n' .. 1)"), "error: invalid key for `next'");
}

TEST_F(LooseStringTest, CollectionsKeepLooseStringsOnTheStackAndInUpvalues)
{
    // Under the address sanitizer a loose string freed while still reachable would be read
    // after its block went back to the pool.
    EXPECT_EQ(mState.Run("local onstack = 'stack' .. 1 "
                         "local f = (function() local up = 'up' .. 2 "
                         "  return function() return up end end)() "
                         "local t = {} "
                         "for round = 1, 5 do "
                         "  for i = 1, 2000 do local junk = 'junk' .. i .. round end "
                         "  collectgarbage() "
                         "end "
                         "result = onstack .. f()"),
              "");
    EXPECT_EQ(mState.Eval("result"), "stack1up2");
    // A loose string interned as a key while others were made after it stays listed until a
    // sweep; freeing it with its table must not leave the list reading it.
    EXPECT_EQ(mState.Run("local s = 'mid' .. 1 local later = 'after' .. 2 "
                         "local t = {} t[s] = later s = nil later = nil t = nil "
                         "collectgarbage() collectgarbage() "
                         "local u = {} u['mid' .. 1] = 3 collectgarbage() r = u.mid1"),
              "");
    EXPECT_EQ(mState.Eval("r"), "3");
}

TEST_F(LooseStringTest, TheSweepWalksSlabsOfMixedStringsAndTheLongOnes)
{
    // Loose strings kept and dropped among interned and wide ones, of every pooled size and
    // longer, over many slabs, through collections that free blocks between live ones and
    // rounds that reuse them.
    EXPECT_EQ(mState.Run("keep, names = {}, {} "
                         "for round = 1, 3 do for i = 1, 12000 do "
                         "  local s = string.rep('x', math.mod(i * 7, 300)) .. i .. '_' .. round "
                         "  local k = math.mod(i, 4) "
                         "  if k == 0 then names[s] = i elseif k == 1 then keep[i] = s "
                         "  elseif k == 2 then names[L\"w\" .. i] = s end "
                         "end collectgarbage() end "
                         "bad, nnames = 0, 0 "
                         "for i = 1, 12000, 4 do local s = keep[i] "
                         "  if s ~= string.rep('x', math.mod(i * 7, 300)) .. i .. '_3' then "
                         "    bad = bad + 1 end end "
                         "for k, v in pairs(names) do nnames = nnames + 1 end"),
              "");
    EXPECT_EQ(mState.Eval("bad"), "0");
    EXPECT_EQ(mState.Eval("nnames"), std::to_string(3 * 3000 + 3000));
}

TEST_F(LooseStringTest, TheCountOfLooseStringsFollowsMakingInterningAndCollecting)
{
    // The collector's walk ends with the last loose string it counts: a count off by one would
    // leave a string unswept or walk every slab.
    lua_State* L = mState.L;
    lua_settop(L, 0);
    lua_setgcthreshold(L, 0);
    const uint32_t base = G(L)->strt.nloose;
    lua_newtable(L);
    for (int i = 0; i < 10; i++)
    {
        std::string text = "count" + std::to_string(i);
        luaA_pushloose(L, text.data(), text.size());
    }
    luaA_pushloose(L, std::string(400, 'L').data(), 400); // long: not in the slabs, not counted
    EXPECT_EQ(G(L)->strt.nloose, base + 10);
    for (int i = 2; i <= 4; i++) // three become keys: interned themselves
    {
        lua_pushvalue(L, i);
        lua_pushboolean(L, 1);
        lua_rawset(L, 1);
    }
    EXPECT_EQ(G(L)->strt.nloose, base + 7);
    // An old loose string behind slabs of interned ones is still found and freed.
    lua_settop(L, 2);
    for (int i = 0; i < 20000; i++)
    {
        std::string text = "filler" + std::to_string(i);
        lua_pushlstring(L, text.data(), text.size());
        lua_pushboolean(L, 1);
        lua_rawset(L, 1);
    }
    lua_settop(L, 1);
    lua_setgcthreshold(L, 0);
    EXPECT_EQ(G(L)->strt.nloose, base); // the seven left loose were freed
}

TEST_F(LooseStringTest, ALooseStringCountsHeaderAndTextAndGoesBackWhenCollected)
{
    lua_State* L = mState.L;
    lua_settop(L, 0);
    // One string of each size made and collected first: their kept blocks' address lists exist.
    std::string text(40, 'z');
    luaA_pushloose(L, text.data(), text.size());
    luaA_pushloose(L, "kept", 4);
    lua_pop(L, 2);
    lua_setgcthreshold(L, 0);
    size_t before = G(L)->nblocks;
    luaA_pushloose(L, text.data(), text.size());
    EXPECT_EQ(G(L)->nblocks - before, 17u + 40);
    luaA_pushloose(L, "kept", 4);
    lua_setgcthreshold(L, 0);
    EXPECT_EQ(mState.Text(1), text);
    EXPECT_EQ(mState.Text(2), "kept");
    lua_settop(L, 0);
    lua_setgcthreshold(L, 0);
    EXPECT_EQ(G(L)->nblocks, before);
}

} // namespace
