// Native API: index rules, growing pushes, the stack ceiling, type names, wide strings, userdata,
// per-type metatables, table length and allocation failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <cstdlib>

#include "chunk_builder.h"
#include "script/lauxlib.h"
#include "script/core/state.h"

using namespace chunk_test;

namespace
{

class ApiStackTest : public ::testing::Test
{
protected:
    void SetUp() override { L = lua_open(); }
    void TearDown() override { lua_close(L); }
    lua_State* L = nullptr;
};

uint32_t LengthWord(void* block)
{
    return (static_cast<Udata*>(block) - 1)->len;
}

TEST_F(ApiStackTest, RegistryIntegerKeysBelowMinus40000)
{
    EXPECT_EQ(LUA_TNIL, lua_type(L, -40001));
    lua_pushstring(L, "stored");
    lua_rawseti(L, LUA_REGISTRYINDEX, 1);
    EXPECT_EQ(LUA_TSTRING, lua_type(L, -40001));
    EXPECT_STREQ("stored", lua_tostring(L, -40001));
    EXPECT_EQ(LUA_TNIL, lua_type(L, -40002));
    // A table stored there can be read through.
    lua_newtable(L);
    lua_pushstring(L, "k");
    lua_pushnumber(L, 9);
    lua_rawset(L, -3);
    lua_rawseti(L, LUA_REGISTRYINDEX, 7);
    lua_pushstring(L, "k");
    lua_gettable(L, lua_registryrefindex(7));
    EXPECT_EQ(9, lua_tonumber(L, -1));
    lua_pop(L, 1);
    // Reads are raw: no metamethod of the registry is consulted.
    lua_pushvalue(L, -40002);
    EXPECT_TRUE(lua_isnil(L, -1));
}

TEST_F(ApiStackTest, PseudoIndices)
{
    EXPECT_EQ(LUA_TTABLE, lua_type(L, LUA_REGISTRYINDEX));
    EXPECT_EQ(LUA_TTABLE, lua_type(L, LUA_GLOBALSINDEX));
    lua_pushnumber(L, 5);
    lua_pushcclosure(
        L,
        [](lua_State* S)
        {
            lua_pushboolean(S, lua_type(S, lua_upvalueindex(1)) == LUA_TNUMBER &&
                                   lua_type(S, lua_upvalueindex(2)) == LUA_TNONE);
            return 1;
        },
        1);
    ASSERT_EQ(0, lua_pcall(L, 0, 1, 0));
    EXPECT_TRUE(lua_toboolean(L, -1));
}

TEST_F(ApiStackTest, TypeNames)
{
    EXPECT_STREQ("wstring", lua_typename(L, 9));
    EXPECT_STREQ("no value", lua_typename(L, -1));
    EXPECT_STREQ("userdata", lua_typename(L, 2));
    EXPECT_STREQ("userdata", lua_typename(L, 7));
    EXPECT_STREQ("nil", lua_typename(L, 0));
    EXPECT_STREQ("thread", lua_typename(L, 8));
    EXPECT_EQ(LUA_TNONE, lua_type(L, 3));
}

TEST_F(ApiStackTest, PushesGrowTheStackWithoutCheckstack)
{
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          for (int i = 0; i < 100; i++)
                              lua_pushnumber(S, i);
                          lua_pushnumber(S, lua_tonumber(S, 1) + lua_tonumber(S, 100));
                          return 1;
                      });
    ASSERT_EQ(0, lua_pcall(L, 0, 1, 0));
    EXPECT_EQ(99, lua_tonumber(L, -1));
}

TEST_F(ApiStackTest, CheckstackRefusesBeyond2048)
{
    EXPECT_EQ(1, lua_checkstack(L, 2000));
    EXPECT_EQ(0, lua_checkstack(L, 2049));
    lua_settop(L, 100);
    EXPECT_EQ(0, lua_checkstack(L, 1949));
    EXPECT_EQ(1, lua_checkstack(L, 1948));
}

TEST_F(ApiStackTest, StackManipulation)
{
    for (int i = 1; i <= 4; i++)
        lua_pushnumber(L, i);
    lua_insert(L, 1); // 4 1 2 3
    lua_remove(L, 2); // 4 2 3
    lua_pushnumber(L, 9);
    lua_replace(L, 1); // 9 2 3
    ASSERT_EQ(3, lua_gettop(L));
    EXPECT_EQ(9, lua_tonumber(L, 1));
    EXPECT_EQ(2, lua_tonumber(L, 2));
    EXPECT_EQ(3, lua_tonumber(L, -1));
    lua_settop(L, 5);
    EXPECT_TRUE(lua_isnil(L, 5));
    lua_settop(L, 0);
    EXPECT_EQ(0, lua_gettop(L));
}

TEST_F(ApiStackTest, GetnRules)
{
    lua_newtable(L);
    for (int i = 1; i <= 3; i++)
    {
        lua_pushnumber(L, i);
        lua_rawseti(L, -2, i);
    }
    lua_pushstring(L, "n");
    lua_pushnumber(L, 2.7);
    lua_rawset(L, -3);
    EXPECT_EQ(2, lua_getn(L, -1));

    lua_newtable(L);
    lua_pushboolean(L, 1);
    lua_rawseti(L, -2, 1);
    lua_pushboolean(L, 1);
    lua_rawseti(L, -2, 3);
    EXPECT_EQ(3, lua_getn(L, -1));

    lua_newtable(L);
    lua_pushboolean(L, 1);
    lua_rawseti(L, -2, 10);
    EXPECT_EQ(10, lua_getn(L, -1));

    lua_newtable(L);
    EXPECT_EQ(0, lua_getn(L, -1));
}

// The count luaL_getn falls back on, read one push at a time.
int LeadingValues(lua_State* L, int t)
{
    int n = 0;
    for (;;)
    {
        lua_rawgeti(L, t, n + 1);
        bool nil = lua_isnil(L, -1);
        lua_pop(L, 1);
        if (nil)
            return n;
        n++;
    }
}

TEST_F(ApiStackTest, AuxGetnCountsLeadingValuesInPlace)
{
    // Without a size recorded, luaL_getn counts t[1], t[2], ... up to the first nil, reading the
    // array part and then the hash part in place; relative and pseudo indices name the table.
    struct Case
    {
        std::vector<int> keys;
        int expected;
    };
    std::vector<Case> cases = {
        {{}, 0},
        {{1, 2, 3, 4}, 4},
        {{1, 2, 4, 5}, 2},          // a hole inside the array part
        {{2, 3}, 0},                // no first value
        {{5, 4, 3, 2, 1}, 5},       // set downwards: the hash part
        {{1, 2, 3, 4, 5, 6, 7}, 7}, // array part full, the rest in the hash part
    };
    for (const Case& c : cases)
    {
        lua_settop(L, 0);
        lua_newtable(L);
        for (int k : c.keys)
        {
            lua_pushnumber(L, k);
            lua_rawseti(L, 1, k);
        }
        EXPECT_EQ(c.expected, LeadingValues(L, 1));
        EXPECT_EQ(c.expected, luaL_getn(L, 1));
        lua_pushnil(L);
        lua_pushnil(L);
        EXPECT_EQ(c.expected, luaL_getn(L, -3));
    }
    // A table whose array part ends in values and whose hash part continues them.
    lua_settop(L, 0);
    lua_newtable(L);
    for (int k = 1; k <= 8; k++)
    {
        lua_pushnumber(L, k);
        lua_rawseti(L, 1, k);
    }
    for (int k = 100; k >= 9; k--)
    {
        lua_pushnumber(L, k);
        lua_rawseti(L, 1, k);
    }
    EXPECT_EQ(100, luaL_getn(L, 1));
    lua_pushnil(L);
    lua_rawseti(L, 1, 50);
    EXPECT_EQ(49, luaL_getn(L, 1));
    // The globals through their pseudo index.
    for (int k = 1; k <= 3; k++)
    {
        lua_pushstring(L, "g");
        lua_rawseti(L, LUA_GLOBALSINDEX, k);
    }
    EXPECT_EQ(3, luaL_getn(L, LUA_GLOBALSINDEX));
}

TEST_F(ApiStackTest, WideStrings)
{
    lua_pushnumber(L, 12.5);
    const lua_WChar* w = lua_towstring(L, -1);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(std::u16string(u"12.5"), std::u16string(w));
    EXPECT_EQ(LUA_TWSTRING, lua_type(L, -1));
    EXPECT_TRUE(lua_isstring(L, -1));
    EXPECT_EQ(nullptr, lua_tostring(L, -1));
    EXPECT_EQ(4u, lua_strlen(L, -1));
    EXPECT_EQ(4u, lua_wstrlen(w));
    lua_newtable(L);
    EXPECT_EQ(nullptr, lua_towstring(L, -1));
    EXPECT_EQ(nullptr, lua_towstring(L, 50));
    lua_pushwstring(L, nullptr);
    EXPECT_TRUE(lua_isnil(L, -1));
    const lua_WChar units[] = {u'a', 0, u'b'};
    lua_pushlwstring(L, units, 3);
    EXPECT_EQ(3u, lua_strlen(L, -1));
    EXPECT_EQ(1u, lua_wstrlen(lua_towstring(L, -1)));
    // A string is never converted to a wide string.
    lua_pushstring(L, "abc");
    EXPECT_EQ(nullptr, lua_towstring(L, -1));
    EXPECT_EQ(0, luaV_towstring(L, L->top - 1));
    lua_pushnumber(L, 3);
    EXPECT_EQ(1, luaV_towstring(L, L->top - 1));
    EXPECT_EQ(LUA_TWSTRING, lua_type(L, -1));
}

TEST_F(ApiStackTest, WideAndNarrowStringsDiffer)
{
    lua_pushwstring(L, u"abc");
    lua_pushstring(L, "abc");
    EXPECT_FALSE(lua_rawequal(L, -1, -2));
    EXPECT_FALSE(lua_equal(L, -1, -2));
    lua_pushwstring(L, u"abc");
    EXPECT_TRUE(lua_rawequal(L, -1, -3));
}

TEST_F(ApiStackTest, Userdata)
{
    int target = 0;
    lua_pushuserdataref(L, &target);
    EXPECT_EQ(&target, lua_touserdata(L, -1));
    EXPECT_EQ(LUA_TUSERDATA, lua_type(L, -1));
    void* block = lua_newuserdata(L, 3);
    EXPECT_EQ(block, lua_touserdata(L, -1));
    EXPECT_EQ(4u, LengthWord(block));
    EXPECT_EQ(6u, LengthWord(lua_newuserdata(L, 5)));
    EXPECT_EQ(0u, LengthWord(lua_newuserdata(L, 0)));
    lua_pushlightuserdata(L, &target);
    EXPECT_EQ(&target, lua_touserdata(L, -1));
    lua_pushnumber(L, 1);
    EXPECT_EQ(nullptr, lua_touserdata(L, -1));
}

TEST_F(ApiStackTest, PerTypeMetatables)
{
    lua_newtable(L); // an early table
    ASSERT_EQ(1, lua_getmetatable(L, -1));
    lua_gettypemetatable(L, LUA_TTABLE);
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
    lua_pop(L, 2);

    lua_newtable(L); // T
    lua_pushvalue(L, -1);
    lua_settypemetatable(L, LUA_TTABLE);
    lua_newtable(L); // a later table
    ASSERT_EQ(1, lua_getmetatable(L, -1));
    EXPECT_TRUE(lua_rawequal(L, -1, -3));
    lua_pop(L, 2);
    ASSERT_EQ(1, lua_getmetatable(L, 1)); // the early table keeps its metatable
    EXPECT_FALSE(lua_rawequal(L, -1, 2));
    lua_settop(L, 0);

    // A number on top is popped and changes nothing.
    lua_gettypemetatable(L, LUA_TNUMBER);
    lua_pushnumber(L, 1);
    lua_settypemetatable(L, LUA_TNUMBER);
    EXPECT_EQ(1, lua_gettop(L));
    lua_gettypemetatable(L, LUA_TNUMBER);
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
    // Other types report their type's table; nil reports none.
    lua_pushnumber(L, 3);
    ASSERT_EQ(1, lua_getmetatable(L, -1));
    EXPECT_TRUE(lua_rawequal(L, -1, 1));
    lua_pushnil(L);
    EXPECT_EQ(0, lua_getmetatable(L, -1));
    // Userdata take the userdata type's table at creation.
    lua_newuserdata(L, 1);
    ASSERT_EQ(1, lua_getmetatable(L, -1));
    lua_gettypemetatable(L, LUA_TUSERDATA);
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
}

TEST_F(ApiStackTest, SetmetatableOnlyOnTablesAndUserdata)
{
    lua_pushnumber(L, 1);
    lua_newtable(L);
    EXPECT_EQ(0, lua_setmetatable(L, 1));
    lua_newtable(L);
    lua_newtable(L);
    EXPECT_EQ(1, lua_setmetatable(L, -2));
    lua_pushnil(L); // back to the default: reported as the table type's one
    EXPECT_EQ(1, lua_setmetatable(L, -2));
    ASSERT_EQ(1, lua_getmetatable(L, -1));
    lua_gettypemetatable(L, LUA_TTABLE);
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
}

TEST_F(ApiStackTest, ConcatMixesNumbersAndStrings)
{
    lua_pushstring(L, "a");
    lua_pushnumber(L, 1);
    lua_pushstring(L, "b");
    lua_concat(L, 3);
    EXPECT_STREQ("a1b", lua_tostring(L, -1));
    lua_concat(L, 0);
    EXPECT_STREQ("", lua_tostring(L, -1));
    lua_pushwstring(L, u"ab");
    lua_pushnumber(L, 12);
    lua_concat(L, 2);
    EXPECT_EQ(std::u16string(u"ab12"), std::u16string(lua_towstring(L, -1)));
}

TEST_F(ApiStackTest, NextTraversesArrayThenHash)
{
    lua_newtable(L);
    lua_pushnumber(L, 10);
    lua_rawseti(L, -2, 1);
    lua_pushnumber(L, 20);
    lua_rawseti(L, -2, 2);
    lua_pushstring(L, "k");
    lua_pushnumber(L, 30);
    lua_rawset(L, -3);
    std::vector<double> values;
    lua_pushnil(L);
    while (lua_next(L, 1))
    {
        values.push_back(lua_tonumber(L, -1));
        lua_pop(L, 1);
    }
    ASSERT_EQ(3u, values.size());
    EXPECT_EQ(10, values[0]);
    EXPECT_EQ(20, values[1]);
    EXPECT_EQ(30, values[2]);
}

struct FailingAllocator
{
    bool fail = false;
};

void* MaybeFail(void* ud, void* block, size_t, size_t newsize, int, int)
{
    FailingAllocator* a = static_cast<FailingAllocator*>(ud);
    if (newsize == 0)
    {
        free(block);
        return nullptr;
    }
    if (a->fail)
        return nullptr;
    return realloc(block, newsize);
}

TEST_F(ApiStackTest, AllocationFailureRaisesMemoryErrorAndStateStaysUsable)
{
    FailingAllocator alloc;
    lua_setallocator(L, MaybeFail, &alloc);
    // Long enough to need a block of its own rather than a place in a slab of short strings.
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          std::string text(400, 'x');
                          lua_pushstring(S, (text + "a string that was never interned").c_str());
                          return 1;
                      });
    alloc.fail = true;
    EXPECT_EQ(LUA_ERRMEM, lua_pcall(L, 0, 1, 0));
    EXPECT_STREQ("not enough memory", lua_tostring(L, -1));
    alloc.fail = false;
    lua_pushstring(L, "fine");
    EXPECT_STREQ("fine", lua_tostring(L, -1));
}

TEST_F(ApiStackTest, ShortStringsRaiseMemoryErrorWhenTheirSlabsRunOut)
{
    // Short strings share slabs: once the current slab is used up, the next one is refused.
    FailingAllocator alloc;
    lua_setallocator(L, MaybeFail, &alloc);
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          for (int i = 0; i < 100000; i++)
                          {
                              lua_pushstring(S, ("short" + std::to_string(i)).c_str());
                              lua_pop(S, 1);
                          }
                          return 0;
                      });
    alloc.fail = true;
    EXPECT_EQ(LUA_ERRMEM, lua_pcall(L, 0, 0, 0));
    EXPECT_STREQ("not enough memory", lua_tostring(L, -1));
    alloc.fail = false;
    lua_pushstring(L, "short99999");
    EXPECT_STREQ("short99999", lua_tostring(L, -1));
    EXPECT_EQ(0, lua_dostring(L, "local t = {} for i = 1, 5000 do t[i] = 'again' .. i end"));
}

TEST_F(ApiStackTest, HugeBlockIsRefused)
{
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_newuserdata(S, 0xFFFFFFFEu);
                          return 0;
                      });
    EXPECT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 0, 0));
    EXPECT_STREQ("memory allocation error: block too big", lua_tostring(L, -1));
}

TEST_F(ApiStackTest, ThreadsAndXmove)
{
    lua_State* L1 = lua_newthread(L);
    EXPECT_EQ(L1, lua_tothread(L, -1));
    lua_pushnumber(L, 1);
    lua_pushnumber(L, 2);
    lua_xmove(L, L1, 2);
    EXPECT_EQ(1, lua_gettop(L));
    EXPECT_EQ(2, lua_gettop(L1));
    EXPECT_EQ(2, lua_tonumber(L1, -1));
    // Threads share the globals.
    lua_pushvalue(L1, LUA_GLOBALSINDEX);
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    lua_xmove(L, L1, 1);
    EXPECT_TRUE(lua_rawequal(L1, -1, -2));
}

} // namespace
