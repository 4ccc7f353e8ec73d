// The collector: thresholds in kilobytes, immediate collection, weak tables, "__gc" finalisers,
// wide strings as collectable values, bounded memory under garbage, and closing the state.
#include <gtest/gtest.h>

#include "chunk_builder.h"
#include "lib_test_support.h"
#include "script/core/strings.h"
#include "script/core/state.h"

using namespace chunk_test;

namespace
{

class GcTest : public ::testing::Test
{
protected:
    void SetUp() override { L = lua_open(); }
    void TearDown() override
    {
        if (L != nullptr)
            lua_close(L);
    }

    bool StringInterned(const std::u16string& units)
    {
        stringtable* tb = &G(L)->strt;
        for (int i = 0; i < tb->size; i++)
        {
            if (tb->hash[i] <= kStrSlotRemoved)
                continue;
            ScriptString* ts = luaS_slotstring(tb->hash[i]);
            if (ts->tt == LUA_TWSTRING && ts->len == units.size() &&
                memcmp(getwstr(ts), units.data(), units.size() * 2) == 0)
                return true;
        }
        return false;
    }

    lua_State* L = nullptr;
};

TEST_F(GcTest, ThresholdAndCountInKilobytes)
{
    EXPECT_EQ(static_cast<int>(G(L)->nblocks / 1024), lua_getgccount(L));
    EXPECT_EQ(static_cast<int>(G(L)->GCthreshold / 1024), lua_getgcthreshold(L));
    lua_setgcthreshold(L, 100000);
    EXPECT_EQ(100000, lua_getgcthreshold(L));
    lua_setgcthreshold(L, 5000000);
    EXPECT_GE(lua_getgcthreshold(L), 4194303);
}

TEST_F(GcTest, ZeroThresholdCollectsAtOnce)
{
    lua_newtable(L); // garbage once popped
    lua_pop(L, 1);
    size_t before = G(L)->nblocks;
    lua_setgcthreshold(L, 0);
    EXPECT_LT(G(L)->nblocks, before);
    // The threshold is then twice the live bytes.
    EXPECT_EQ(2 * G(L)->nblocks, G(L)->GCthreshold);
}

TEST_F(GcTest, WideStringHeldByALocalSurvivesUntilTheFunctionReturns)
{
    const std::u16string text = u"only held by a local";
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_pushwstring(S, u"only held by a local");
                          lua_setgcthreshold(S, 0);
                          lua_setgcthreshold(S, 0);
                          lua_pushboolean(S, std::u16string(lua_towstring(S, 1)) ==
                                                 u"only held by a local");
                          return 1;
                      });
    ASSERT_EQ(0, lua_pcall(L, 0, 1, 0));
    EXPECT_TRUE(lua_toboolean(L, -1));
    EXPECT_TRUE(StringInterned(text));
    lua_pop(L, 1);
    lua_setgcthreshold(L, 0);
    EXPECT_FALSE(StringInterned(text));
}

TEST_F(GcTest, WeakTables)
{
    // t = setmetatable({}, {__mode = "k"}); t[{}] = 1; t["s"] = {}
    lua_newtable(L);
    lua_newtable(L);
    lua_pushstring(L, "__mode");
    lua_pushstring(L, "v");
    lua_rawset(L, -3);
    lua_setmetatable(L, -2);
    lua_pushstring(L, "dropped");
    lua_newtable(L);
    lua_rawset(L, -3);
    lua_pushstring(L, "kept");
    lua_pushstring(L, "a string value");
    lua_rawset(L, -3);
    lua_pushstring(L, "anchored");
    lua_newtable(L);
    lua_pushvalue(L, -1);
    lua_rawseti(L, LUA_REGISTRYINDEX, 1);
    lua_rawset(L, -3);
    lua_setgcthreshold(L, 0);
    lua_pushstring(L, "dropped");
    lua_rawget(L, 1);
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_pushstring(L, "kept");
    lua_rawget(L, 1);
    EXPECT_STREQ("a string value", lua_tostring(L, -1));
    lua_pushstring(L, "anchored");
    lua_rawget(L, 1);
    EXPECT_TRUE(lua_istable(L, -1));
}

int gFinalised = 0;

int CountFinaliser(lua_State*)
{
    gFinalised++;
    return 0;
}

void NewFinalisedUserdata(lua_State* L)
{
    lua_newuserdata(L, 8);
    lua_newtable(L);
    lua_pushstring(L, "__gc");
    lua_pushcfunction(L, CountFinaliser);
    lua_rawset(L, -3);
    lua_setmetatable(L, -2);
}

TEST_F(GcTest, FinalisersRunForUnreachedUserdata)
{
    gFinalised = 0;
    NewFinalisedUserdata(L);
    lua_setgcthreshold(L, 0);
    EXPECT_EQ(0, gFinalised); // still on the stack
    lua_pop(L, 1);
    lua_setgcthreshold(L, 0);
    EXPECT_EQ(1, gFinalised);
    lua_setgcthreshold(L, 0);
    EXPECT_EQ(1, gFinalised); // only once
}

TEST_F(GcTest, CloseRunsPendingFinalisers)
{
    gFinalised = 0;
    for (int i = 0; i < 3; i++)
        NewFinalisedUserdata(L);
    lua_rawseti(L, LUA_REGISTRYINDEX, 1);
    lua_close(L);
    L = nullptr;
    EXPECT_EQ(3, gFinalised);
}

TEST_F(GcTest, GarbageLoopStaysInBoundedMemory)
{
    // while true do local t = {} ... end, run for many iterations from a hand-built chunk.
    Function f;
    f.maxStack = 4;
    f.constants = {KNum(1), KNum(20000), KStr("x")};
    f.code = {ABx(OP_LOADK, 0, 0),          ABx(OP_LOADK, 1, 1),     ABx(OP_LOADK, 2, 0),
              ABC(OP_SUB, 0, 0, 2),         AsBx(OP_JMP, 0, 2),      ABC(OP_NEWTABLE, 3, 0, 2),
              ABC(OP_SETTABLE, 3, K(2), 0), AsBx(OP_FORLOOP, 0, -3), ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(0, Load(L, Build(f)));
    ASSERT_EQ(0, lua_pcall(L, 0, 0, 0)) << TopString(L);
    EXPECT_LT(G(L)->nblocks, 1024u * 1024u);
}

TEST_F(GcTest, CoroutineClosuresKeepTheirValuesAfterTheThreadDies)
{
    // Built through the API: a closure capturing a local of a dead thread's stack.
    lua_State* L1 = lua_newthread(L);
    lua_pop(L, 1);
    Function inner;
    inner.nups = 1;
    inner.code = {ABC(OP_GETUPVAL, 0, 0, 0), ABC(OP_RETURN, 0, 2, 0), ABC(OP_RETURN, 0, 1, 0)};
    Function body;
    body.maxStack = 3;
    body.constants = {KStr("captured value")};
    body.protos = {inner};
    body.code = {ABx(OP_LOADK, 0, 0), ABx(OP_CLOSURE, 1, 0), ABC(OP_MOVE, 0, 0, 0),
                 ABC(OP_RETURN, 1, 2, 0), ABC(OP_RETURN, 0, 1, 0)};
    ASSERT_EQ(0, Load(L1, Build(body)));
    ASSERT_EQ(0, lua_pcall(L1, 0, 1, 0));
    lua_xmove(L1, L, 1);
    lua_setgcthreshold(L, 0); // the thread is unreachable now
    lua_setgcthreshold(L, 0);
    ASSERT_EQ(0, lua_pcall(L, 0, 1, 0));
    EXPECT_STREQ("captured value", lua_tostring(L, -1));
}

TEST_F(GcTest, PerTypeMetatablesAreRoots)
{
    lua_gettypemetatable(L, LUA_TNUMBER);
    lua_pushstring(L, "kept");
    lua_newtable(L);
    lua_pushstring(L, "inner");
    lua_pushwstring(L, u"value only reachable from the number type");
    lua_rawset(L, -3);
    lua_rawset(L, -3);
    lua_settop(L, 0);
    lua_setgcthreshold(L, 0);
    lua_gettypemetatable(L, LUA_TNUMBER);
    lua_pushstring(L, "kept");
    lua_rawget(L, -2);
    lua_pushstring(L, "inner");
    lua_rawget(L, -2);
    EXPECT_EQ(std::u16string(u"value only reachable from the number type"),
              std::u16string(lua_towstring(L, -1)));
}

TEST_F(GcTest, WeakKeys)
{
    lua_newtable(L);
    lua_newtable(L);
    lua_pushstring(L, "__mode");
    lua_pushstring(L, "k");
    lua_rawset(L, -3);
    lua_setmetatable(L, -2);
    lua_newtable(L); // a key that dies
    lua_pushnumber(L, 1);
    lua_rawset(L, 1);
    lua_newtable(L); // a key that stays
    lua_pushvalue(L, -1);
    lua_pushnumber(L, 2);
    lua_rawset(L, 1);
    lua_setgcthreshold(L, 0);
    int count = 0;
    lua_pushnil(L);
    while (lua_next(L, 1))
    {
        count++;
        EXPECT_EQ(2, lua_tonumber(L, -1));
        lua_pop(L, 1);
    }
    EXPECT_EQ(1, count);
}

TEST(GcFinaliserTest, WeakValuesGoBeforeFinalisersWeakKeysAfter)
{
    LibState state;
    ASSERT_EQ(state.Run("tv = setmetatable({}, {__mode = 'v'}) "
                        "tk = setmetatable({}, {__mode = 'k'}) "
                        "tkv = setmetatable({}, {__mode = 'kv'}) "
                        "local function make() "
                        "  local u = newproxy(true) "
                        "  getmetatable(u).__gc = function (o) "
                        "    seen = {tv[1] ~= nil, tk[o] ~= nil, tkv[1] ~= nil, tkv[o] ~= nil} end "
                        "  tv[1] = u tk[u] = true tkv[1] = u tkv[u] = true "
                        "end "
                        "make() collectgarbage()"),
              "");
    // Weak-valued entries are gone when the finaliser runs; weakly keyed ones are still there.
    EXPECT_EQ(state.EvalAll("seen[1], seen[2], seen[3], seen[4]"),
              (Values{"false", "true", "false", "true"}));
    EXPECT_EQ(state.EvalAll("tv[1], next(tk) ~= nil, tkv[1]"), (Values{"nil", "true", "nil"}));
    // The next cycle frees the finalised userdata and its keys go too.
    EXPECT_EQ(state.EvalAll("collectgarbage() or next(tk), next(tkv)"), (Values{"nil", "nil"}));
}

std::vector<std::string> gCloseLog;

TEST(GcFinaliserTest, CloseFinalisesOnlyTheUserdataLivingWhenItStarts)
{
    gCloseLog.clear();
    lua_State* L = lua_open();
    luaopen_base(L);
    lua_register(L, "note",
                 [](lua_State* S)
                 {
                     gCloseLog.push_back(lua_tostring(S, 1));
                     return 0;
                 });
    // Each finaliser makes a new finalisable userdata and enough garbage for collections to run;
    // the second one also raises an error.
    const std::string code = "local function make(name, fails) "
                             "  local u = newproxy(true) "
                             "  getmetatable(u).__gc = function (o) "
                             "    note(name) newproxy(o) "
                             "    for i = 1, 20000 do local garbage = {} end "
                             "    if fails then error('fails') end end "
                             "  return u end "
                             "a = make('a') b = make('b', true) c = make('c')";
    ASSERT_EQ(0, luaL_loadbuffer(L, code.data(), code.size(), "=close")) << lua_tostring(L, -1);
    ASSERT_EQ(0, lua_pcall(L, 0, 0, 0)) << lua_tostring(L, -1);
    lua_close(L);
    EXPECT_EQ(gCloseLog, (Values{"c", "b", "a"}));
}

TEST_F(GcTest, IdleThreadStacksShrink)
{
    lua_State* L1 = lua_newthread(L);
    ASSERT_EQ(1, lua_checkstack(L1, 1000));
    for (int i = 0; i < 1000; i++)
        lua_pushnumber(L1, i);
    lua_settop(L1, 0);
    int before = L1->stacksize;
    lua_setgcthreshold(L, 0);
    EXPECT_LT(L1->stacksize, before);
    for (int i = 0; i < 10; i++)
        lua_setgcthreshold(L, 0);
    EXPECT_LE(L1->stacksize, 2 * 2 * (40 + 5));
    // Still usable.
    lua_pushnumber(L1, 1);
    EXPECT_EQ(1, lua_tonumber(L1, -1));
}

int Answer(lua_State* L)
{
    lua_pushnumber(L, 42);
    return 1;
}

TEST_F(GcTest, NativeFunctionsAndCoroutinesSurviveThroughWhatReachesThem)
{
    // A native function without upvalues is marked without being queued; one with upvalues (a
    // wrapped coroutine) still marks its thread.
    LibState lib;
    lua_State* S = lib.L;
    lua_newtable(S);
    lua_pushstring(S, "answer");
    lua_pushcfunction(S, Answer);
    lua_rawset(S, -3);
    lua_setglobal(S, "holder");
    ASSERT_EQ(lib.Run("step = coroutine.wrap(function() coroutine.yield(1) coroutine.yield(2) end) "
                      "step() for i = 1, 3 do collectgarbage() end"),
              "");
    EXPECT_EQ(lib.EvalAll("holder.answer(), step()"), (Values{"42", "2"}));
}

TEST_F(GcTest, CoroutinesOnReusedBlocksStartClean)
{
    // Thousands of coroutines collected, their stacks and records kept for reuse: the next ones
    // start with nil slots, fail with their own message and end dead.
    LibState lib;
    ASSERT_EQ(lib.Run("for i = 1, 3000 do local co = coroutine.wrap(function(a) "
                      "  local x, y, z = a, a, a coroutine.yield(x) end) co({}) end "
                      "collectgarbage() "
                      "co = coroutine.create(function(a) local u, v "
                      "  error(a .. tostring(u) .. tostring(v)) end) "
                      "ok, msg = coroutine.resume(co, 'boom:') "
                      "again, msg2 = coroutine.resume(co)"),
              "");
    EXPECT_EQ(
        lib.EvalAll("ok, msg, coroutine.status(co), again, msg2"),
        (Values{"false", "test:1: boom:nilnil", "dead", "false", "cannot resume dead coroutine"}));
}

} // namespace
