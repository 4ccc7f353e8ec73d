// Tables and the string table: array and hash parts, wide and narrow keys, resizing, `next`,
// table errors, string interning and bucket growth.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "chunk_builder.h"
#include "lib_test_support.h"
#include "script/core/state.h"
#include "script/core/table.h"

namespace
{

class TableTest : public ::testing::Test
{
protected:
    void SetUp() override { L = lua_open(); }
    void TearDown() override { lua_close(L); }
    lua_State* L = nullptr;
};

TEST_F(TableTest, WideAndNarrowKeysAreDistinct)
{
    lua_newtable(L);
    lua_pushwstring(L, u"abc");
    lua_pushnumber(L, 1);
    lua_rawset(L, -3);
    lua_pushstring(L, "abc");
    lua_pushnumber(L, 2);
    lua_rawset(L, -3);
    lua_pushwstring(L, u"abc");
    lua_rawget(L, -2);
    EXPECT_EQ(1, lua_tonumber(L, -1));
    lua_pop(L, 1);
    lua_pushwstring(L, u"abc");
    lua_rawget(L, -2);
    EXPECT_EQ(1, lua_tonumber(L, -1));
    lua_pop(L, 1);
    lua_pushstring(L, "abc");
    lua_rawget(L, -2);
    EXPECT_EQ(2, lua_tonumber(L, -1));
}

TEST_F(TableTest, ArrayPartGrowsForDenseIntegerKeys)
{
    lua_newtable(L);
    for (int i = 1; i <= 100; i++)
    {
        lua_pushnumber(L, i * 2);
        lua_rawseti(L, -2, i);
    }
    Table* t = hvalue(L->top - 1);
    EXPECT_GE(t->sizearray, 64);
    EXPECT_EQ(0, t->sizearray & (t->sizearray - 1)); // a power of two
    for (int i = 1; i <= 100; i++)
    {
        lua_rawgeti(L, -1, i);
        ASSERT_EQ(i * 2, lua_tonumber(L, -1));
        lua_pop(L, 1);
    }
    // Sparse keys stay in the hash part.
    lua_newtable(L);
    lua_pushboolean(L, 1);
    lua_rawseti(L, -2, 1000000);
    EXPECT_EQ(0, hvalue(L->top - 1)->sizearray);
}

TEST_F(TableTest, ManyKeysOfEveryKindStayFindable)
{
    lua_newtable(L);
    for (int i = 0; i < 500; i++)
    {
        lua_pushfstring(L, "key%d", i);
        lua_pushnumber(L, i);
        lua_rawset(L, -3);
        lua_pushnumber(L, i + 0.5);
        lua_pushnumber(L, -i);
        lua_rawset(L, -3);
    }
    lua_pushboolean(L, 0);
    lua_pushstring(L, "false key");
    lua_rawset(L, -3);
    for (int i = 0; i < 500; i++)
    {
        lua_pushfstring(L, "key%d", i);
        lua_rawget(L, -2);
        ASSERT_EQ(i, lua_tonumber(L, -1));
        lua_pop(L, 1);
        lua_pushnumber(L, i + 0.5);
        lua_rawget(L, -2);
        ASSERT_EQ(-i, lua_tonumber(L, -1));
        lua_pop(L, 1);
    }
    lua_pushboolean(L, 0);
    lua_rawget(L, -2);
    EXPECT_STREQ("false key", lua_tostring(L, -1));
}

TEST_F(TableTest, RandomInsertsAndRemovalsMatchAModel)
{
    // Nodes moved out of a new key's way, keys placed away from their main positions, removed
    // entries reused and tables grown and shrunk: every key stays findable and `next` visits
    // exactly the live ones.
    std::map<std::string, int> model;
    std::mt19937 rng(99);
    lua_newtable(L);
    auto pushKey = [&](int k)
    {
        if (k % 3 == 0)
            lua_pushfstring(L, "s%d", k);
        else if (k % 3 == 1)
            lua_pushnumber(L, k + 0.5);
        else
            lua_pushnumber(L, k * 1000.0);
    };
    for (int step = 0; step < 20000; step++)
    {
        int k = static_cast<int>(rng() % 3000);
        pushKey(k);
        bool remove = rng() % 3 == 0;
        if (remove)
        {
            lua_pushnil(L);
            model.erase(std::to_string(k));
        }
        else
        {
            lua_pushnumber(L, step);
            model[std::to_string(k)] = step;
        }
        lua_rawset(L, 1);
    }
    for (int k = 0; k < 3000; k++)
    {
        pushKey(k);
        lua_rawget(L, 1);
        auto it = model.find(std::to_string(k));
        if (it == model.end())
            ASSERT_TRUE(lua_isnil(L, -1)) << k;
        else
            ASSERT_EQ(it->second, lua_tonumber(L, -1)) << k;
        lua_pop(L, 1);
    }
    size_t visited = 0;
    lua_pushnil(L);
    while (lua_next(L, 1))
    {
        visited++;
        lua_pop(L, 1);
    }
    EXPECT_EQ(model.size(), visited);
}

TEST_F(TableTest, NextVisitsEveryEntryOnceAndToleratesClearing)
{
    lua_newtable(L);
    for (int i = 1; i <= 50; i++)
    {
        lua_pushnumber(L, i);
        lua_pushnumber(L, i);
        lua_rawset(L, -3);
        lua_pushfstring(L, "s%d", i);
        lua_pushnumber(L, i);
        lua_rawset(L, -3);
    }
    int count = 0;
    double sum = 0;
    lua_pushnil(L);
    while (lua_next(L, 1))
    {
        count++;
        sum += lua_tonumber(L, -1);
        lua_pop(L, 1);
        // Clearing the current field during the traversal is allowed.
        lua_pushvalue(L, -1);
        lua_pushnil(L);
        lua_rawset(L, 1);
    }
    EXPECT_EQ(100, count);
    EXPECT_EQ(2 * 1275, sum);
    lua_pushnil(L);
    EXPECT_EQ(0, lua_next(L, 1));
}

TEST_F(TableTest, TableErrors)
{
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_newtable(S);
                          lua_pushnil(S);
                          lua_pushnumber(S, 1);
                          lua_rawset(S, -3);
                          return 0;
                      });
    EXPECT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 0, 0));
    EXPECT_STREQ("table index is nil", lua_tostring(L, -1));
    lua_pop(L, 1);
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_newtable(S);
                          lua_pushnumber(S, NAN);
                          lua_pushnumber(S, 1);
                          lua_rawset(S, -3);
                          return 0;
                      });
    EXPECT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 0, 0));
    EXPECT_STREQ("table index is NaN", lua_tostring(L, -1));
    lua_pop(L, 1);
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_newtable(S);
                          lua_pushstring(S, "absent");
                          lua_next(S, -2);
                          return 0;
                      });
    EXPECT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 0, 0));
    EXPECT_STREQ("invalid key for `next'", lua_tostring(L, -1));
}

TEST_F(TableTest, StringsAreInternedAndTheBucketArrayDoubles)
{
    global_State* g = G(L);
    int size = g->strt.size;
    uint32_t before = g->strt.nuse;
    lua_pushstring(L, "interned once");
    lua_pushstring(L, "interned once");
    EXPECT_EQ(lua_tostring(L, -1), lua_tostring(L, -2));
    EXPECT_EQ(before + 1, g->strt.nuse);
    std::vector<std::string> names;
    int i = 0;
    while (g->strt.nuse <= static_cast<uint32_t>(size))
    {
        names.push_back("fill" + std::to_string(i++));
        lua_pushstring(L, names.back().c_str());
        lua_rawseti(L, LUA_REGISTRYINDEX, i);
    }
    EXPECT_EQ(2 * size, g->strt.size);
    for (size_t j = 0; j < names.size(); j++)
    {
        lua_pushstring(L, names[j].c_str());
        lua_rawgeti(L, LUA_REGISTRYINDEX, static_cast<int>(j + 1));
        ASSERT_TRUE(lua_rawequal(L, -1, -2));
        lua_pop(L, 2);
    }
}

TEST(TableSizing, Log2IsTheHighestSetBit)
{
    // Sizes of array parts and hash parts come from it.
    EXPECT_EQ(-1, luaO_log2(0));
    EXPECT_EQ(0, luaO_log2(1));
    EXPECT_EQ(1, luaO_log2(2));
    EXPECT_EQ(1, luaO_log2(3));
    EXPECT_EQ(10, luaO_log2(1024));
    EXPECT_EQ(10, luaO_log2(2047));
    EXPECT_EQ(31, luaO_log2(0x80000000u));
    EXPECT_EQ(31, luaO_log2(0xFFFFFFFFu));
}

TEST_F(TableTest, StringHashOverUnits)
{
    // h = len; for each unit from the end (step 1 for short strings): h ^= (h<<5)+(h>>2)+unit
    auto expected = [](const std::u16string& s)
    {
        uint32_t h = static_cast<uint32_t>(s.size());
        for (size_t l = s.size(); l >= 1; l--)
            h = h ^ ((h << 5) + (h >> 2) + s[l - 1]);
        return h;
    };
    lua_pushwstring(L, u"hash me");
    EXPECT_EQ(expected(u"hash me"), tsvalue(L->top - 1)->hash);
    lua_pushstring(L, "hash me");
    EXPECT_EQ(expected(u"hash me"), tsvalue(L->top - 1)->hash);
    EXPECT_NE(tsvalue(L->top - 1), tsvalue(L->top - 2));
}

TEST_F(TableTest, HashPartGrowsWhenItsLastFreeNodeIsTaken)
{
    lua_newtable(L);
    Table* t = hvalue(L->top - 1);
    const int expectedLog[] = {1, 2, 2, 3, 3, 3, 3, 4};
    for (int i = 0; i < 8; i++)
    {
        lua_pushfstring(L, "key%d", i);
        lua_pushnumber(L, i);
        lua_rawset(L, -3);
        EXPECT_EQ(expectedLog[i], t->lsizenode) << "after " << (i + 1) << " keys";
    }
    // The shared empty node is left empty.
    EXPECT_TRUE(ttisnil(gkey(G(L)->dummynode)));
    EXPECT_TRUE(ttisnil(gval(G(L)->dummynode)));
}

// A chain link shares its word with whether the key is away and a tag of a string key's hash;
// each part survives writes of the others, and distances keep their sign at the far ends.
TEST(NodeLinkTest, DistanceAwayAndTagShareTheLinkWord)
{
    std::vector<Node> nodes(1 << 20);
    Node* low = &nodes.front();
    Node* high = &nodes.back();
    Node* mid = &nodes[nodes.size() / 2];
    for (Node* n : {low, high, mid})
        cleargnext(n);
    for (unsigned tag : {0u, 1u, 31u})
    {
        SCOPED_TRACE(tag);
        low->i_link.link = static_cast<int>(tag << kLinkTagShift) | 1;
        setgnext(low, high);
        EXPECT_EQ(high, gnext(low));
        EXPECT_TRUE(nodetagged(low, tag));
        EXPECT_TRUE(nodeaway(low));
        high->i_link.link = static_cast<int>(tag << kLinkTagShift);
        setgnext(high, low);
        EXPECT_EQ(low, gnext(high));
        EXPECT_TRUE(nodetagged(high, tag));
        EXPECT_FALSE(nodeaway(high));
        setgnext(high, high - 1);
        EXPECT_EQ(high - 1, gnext(high));
        setgnext(high, nullptr);
        EXPECT_EQ(nullptr, gnext(high));
        EXPECT_TRUE(nodetagged(high, tag));
    }
    // A key written over a linked node takes its own tag and keeps the link.
    setgnext(mid, low);
    TObject number;
    setnvalue(&number, 7);
    setnodekey(mid, &number, true);
    EXPECT_EQ(low, gnext(mid));
    EXPECT_TRUE(nodetagged(mid, 0));
    EXPECT_TRUE(nodeaway(mid));
}

// Every live string key's node carries its hash's tag after growth, collisions that move keys,
// removals and reuse, and reads that compare texts find every key by it.
TEST(TableTagsTest, StringKeysCarryTheirTagsThroughMovesAndGrowth)
{
    LibState state;
    lua_State* L = state.L;
    lua_newtable(L);
    Table* t = hvalue(L->top - 1);
    std::mt19937 rng(7);
    for (int step = 0; step < 60000; step++)
    {
        int k = static_cast<int>(rng() % 40000);
        lua_pushfstring(L, "k%d", k);
        if (rng() % 4 == 0)
            lua_pushnil(L);
        else
            lua_pushnumber(L, k);
        lua_rawset(L, -3);
    }
    int strings = 0;
    for (int i = 0; i < sizenode(t); i++)
    {
        Node* n = gnode(t, i);
        if (!ttisstring(gkey(n)) || ttisnil(gval(n)))
            continue;
        strings++;
        ASSERT_TRUE(nodetagged(n, nodetag(tsvalue(gkey(n))->hash))) << svalue(gkey(n));
    }
    EXPECT_GT(strings, 20000);
    lua_setglobal(L, "t");
    EXPECT_EQ("", state.Run("n = 0\n"
                            "for i = 0, 39999 do\n"
                            "  local v = t['k' .. i]\n"
                            "  if v ~= rawget(t, string.format('k%d', i)) then error(i) end\n"
                            "  if v then n = n + 1 end\n"
                            "end"));
    EXPECT_EQ(std::vector<std::string>{std::to_string(strings)}, state.EvalAll("n"));
}

// Growth reinserts the old nodes in a fixed order; string keys skip the lookup there. The order
// `next` gives afterwards (values name the keys) is pinned for a mix of narrow and wide strings,
// integers that move to the array part, fractions and a removed key.
TEST_F(TableTest, TraversalOrderAfterGrowthWithMixedKeys)
{
    lua_newtable(L);
    for (int i = 1; i <= 24; i++)
    {
        switch (i % 4)
        {
        case 0:
            lua_pushfstring(L, "k%d", i);
            break;
        case 1:
            lua_pushnumber(L, i);
            break;
        case 2:
        {
            // L"w" .. i
            std::vector<lua_WChar> wide{'w'};
            for (char c : std::to_string(i))
                wide.push_back(static_cast<lua_WChar>(c));
            lua_pushlwstring(L, wide.data(), wide.size());
            break;
        }
        default:
            lua_pushnumber(L, i + 0.5);
        }
        lua_pushnumber(L, i);
        lua_rawset(L, -3);
    }
    lua_pushstring(L, "k8");
    lua_pushnil(L);
    lua_rawset(L, -3);
    std::vector<int> order;
    lua_pushnil(L);
    while (lua_next(L, -2) != 0)
    {
        order.push_back(static_cast<int>(lua_tonumber(L, -1)));
        lua_pop(L, 1);
    }
    EXPECT_EQ(order, (std::vector<int>{1,  16, 2,  7,  3, 17, 9,  19, 18, 21, 20, 5,
                                       11, 24, 22, 23, 6, 12, 13, 15, 14, 4,  10}));
}

TEST_F(TableTest, NewTableTakesTheTableTypeMetatableAndAllFlags)
{
    lua_newtable(L);
    Table* t = hvalue(L->top - 1);
    EXPECT_EQ(255, t->flags);
    lua_gettypemetatable(L, LUA_TTABLE);
    EXPECT_EQ(hvalue(L->top - 1), t->metatable);
}

} // namespace
