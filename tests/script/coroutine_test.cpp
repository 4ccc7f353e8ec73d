// Coroutines: resume and yield across Lua frames, yields from native functions, dead and
// non-suspended threads, errors inside coroutines, and resuming a state's main thread.
#include <gtest/gtest.h>

#include "chunk_builder.h"

using namespace chunk_test;

namespace
{

int NativeYield(lua_State* L)
{
    return lua_yield(L, lua_gettop(L));
}

class CoroutineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        L = lua_open();
        lua_register(L, "yield", NativeYield);
    }
    void TearDown() override { lua_close(L); }

    void Define(const std::string& source)
    {
        ASSERT_EQ(0, Load(L, source, "=co")) << TopString(L);
        ASSERT_EQ(0, lua_pcall(L, 0, 0, 0)) << TopString(L);
    }

    // A new thread holding the global function `name`.
    lua_State* Thread(const char* name)
    {
        lua_State* L1 = lua_newthread(L);
        lua_pushstring(L1, name);
        lua_gettable(L1, LUA_GLOBALSINDEX);
        return L1;
    }

    lua_State* L = nullptr;
};

TEST_F(CoroutineTest, YieldAcrossLuaFrames)
{
    Define("function inner(x) local y = yield(x + 1, 'first') return y * 2 end "
           "function body(a) local r = inner(a) return r, 'end' end");
    lua_State* co = Thread("body");
    lua_pushnumber(co, 5);
    ASSERT_EQ(0, lua_resume(co, 1)) << lua_tostring(co, -1);
    ASSERT_EQ(2, lua_gettop(co));
    EXPECT_EQ(6, lua_tonumber(co, 1));
    EXPECT_STREQ("first", lua_tostring(co, 2));
    lua_settop(co, 0);
    lua_pushnumber(co, 10);
    ASSERT_EQ(0, lua_resume(co, 1)) << lua_tostring(co, -1);
    ASSERT_EQ(2, lua_gettop(co));
    EXPECT_EQ(20, lua_tonumber(co, 1));
    EXPECT_STREQ("end", lua_tostring(co, 2));
    lua_settop(co, 0);
    EXPECT_EQ(LUA_ERRRUN, lua_resume(co, 0));
    EXPECT_STREQ("cannot resume dead coroutine", lua_tostring(co, -1));
}

TEST_F(CoroutineTest, ManyYieldsInALoop)
{
    Define("function counter(n) for i = 1, n do yield(i) end return 'done' end");
    lua_State* co = Thread("counter");
    lua_pushnumber(co, 3);
    for (int i = 1; i <= 3; i++)
    {
        ASSERT_EQ(0, lua_resume(co, i == 1 ? 1 : 0));
        EXPECT_EQ(i, lua_tonumber(co, -1));
        lua_settop(co, 0);
    }
    ASSERT_EQ(0, lua_resume(co, 0));
    EXPECT_STREQ("done", lua_tostring(co, -1));
}

TEST_F(CoroutineTest, ErrorsInsideCoroutines)
{
    Define("function bad() local t = nil yield(1) return t.x end");
    lua_State* co = Thread("bad");
    ASSERT_EQ(0, lua_resume(co, 0));
    lua_settop(co, 0);
    EXPECT_EQ(LUA_ERRRUN, lua_resume(co, 0));
    EXPECT_STREQ("co:1: attempt to index local `t' (a nil value)", lua_tostring(co, -1));
    lua_settop(co, 0);
    EXPECT_EQ(LUA_ERRRUN, lua_resume(co, 0));
    EXPECT_STREQ("cannot resume dead coroutine", lua_tostring(co, -1));
}

TEST_F(CoroutineTest, NativeBodyCannotYield)
{
    lua_State* co = lua_newthread(L);
    lua_pushcfunction(co, NativeYield);
    EXPECT_EQ(LUA_ERRRUN, lua_resume(co, 0));
    EXPECT_STREQ("cannot yield a C function", lua_tostring(co, -1));
}

TEST_F(CoroutineTest, NativeBodyThatReturnsFinishes)
{
    lua_State* co = lua_newthread(L);
    lua_pushcfunction(co,
                      [](lua_State* S)
                      {
                          lua_pushnumber(S, lua_tonumber(S, 1) + 1);
                          return 1;
                      });
    lua_pushnumber(co, 1);
    ASSERT_EQ(0, lua_resume(co, 1));
    EXPECT_EQ(2, lua_tonumber(co, -1));
}

TEST_F(CoroutineTest, YieldAcrossANativeCallBoundaryFails)
{
    lua_register(L, "callit",
                 [](lua_State* S)
                 {
                     lua_call(S, lua_gettop(S) - 1, 0);
                     return 0;
                 });
    Define("function body() callit(yield, 1) end");
    lua_State* co = Thread("body");
    EXPECT_EQ(LUA_ERRRUN, lua_resume(co, 0));
    EXPECT_STREQ("attempt to yield across metamethod/C-call boundary", lua_tostring(co, -1));
}

TEST_F(CoroutineTest, ResumingARunningCoroutineFails)
{
    lua_register(L, "resumeself",
                 [](lua_State* S)
                 {
                     int status = lua_resume(S, 0);
                     lua_pushnumber(S, status);
                     return 2;
                 });
    Define("function body() local msg, status = resumeself() return msg, status end");
    lua_State* co = Thread("body");
    ASSERT_EQ(0, lua_resume(co, 0)) << lua_tostring(co, -1);
    EXPECT_STREQ("cannot resume non-suspended coroutine", lua_tostring(co, 1));
    EXPECT_EQ(LUA_ERRRUN, lua_tonumber(co, 2));
}

TEST_F(CoroutineTest, RefusedResumesReplaceTheirArgumentsByTheMessage)
{
    Define("function done() end");
    lua_State* co = Thread("done");
    ASSERT_EQ(0, lua_resume(co, 0));
    lua_settop(co, 0);
    lua_pushnumber(co, 1);
    lua_pushnumber(co, 2);
    EXPECT_EQ(LUA_ERRRUN, lua_resume(co, 2));
    EXPECT_EQ(1, lua_gettop(co));
    EXPECT_STREQ("cannot resume dead coroutine", lua_tostring(co, 1));
    // A running thread resuming itself keeps what lay below the arguments.
    lua_register(L, "resumeself",
                 [](lua_State* S)
                 {
                     int before = lua_gettop(S);
                     lua_pushnumber(S, 1);
                     lua_pushnumber(S, 2);
                     int status = lua_resume(S, 2);
                     lua_pushnumber(S, status);
                     lua_pushnumber(S, lua_gettop(S) - before);
                     return 3;
                 });
    Define("function body(x) local msg, status, grown = resumeself() return x, msg, status, grown "
           "end");
    co = Thread("body");
    lua_pushstring(co, "kept");
    ASSERT_EQ(0, lua_resume(co, 1)) << lua_tostring(co, -1);
    ASSERT_EQ(4, lua_gettop(co));
    EXPECT_STREQ("kept", lua_tostring(co, 1));
    EXPECT_STREQ("cannot resume non-suspended coroutine", lua_tostring(co, 2));
    EXPECT_EQ(LUA_ERRRUN, lua_tonumber(co, 3));
    EXPECT_EQ(2, lua_tonumber(co, 4)); // the message and the status
}

TEST_F(CoroutineTest, ResumingTheMainThreadLikeAScriptTask)
{
    Define("function task() local a = yield('waiting') log = 'resumed with ' .. a end");
    lua_pushstring(L, "task");
    lua_gettable(L, LUA_GLOBALSINDEX);
    ASSERT_EQ(0, lua_resume(L, 0)) << lua_tostring(L, -1);
    EXPECT_STREQ("waiting", lua_tostring(L, -1));
    lua_settop(L, 0);
    // While suspended, other functions can still be called on the same state.
    Define("other = 1 + 1");
    lua_pushstring(L, "go");
    ASSERT_EQ(0, lua_resume(L, 1)) << lua_tostring(L, -1);
    lua_pushstring(L, "log");
    lua_gettable(L, LUA_GLOBALSINDEX);
    EXPECT_STREQ("resumed with go", lua_tostring(L, -1));
    lua_pushstring(L, "other");
    lua_gettable(L, LUA_GLOBALSINDEX);
    EXPECT_EQ(2, lua_tonumber(L, -1));
}

TEST_F(CoroutineTest, YieldFromATailCalledNativeFunction)
{
    Define("function body() return yield('t') end");
    lua_State* co = Thread("body");
    ASSERT_EQ(0, lua_resume(co, 0));
    EXPECT_STREQ("t", lua_tostring(co, -1));
    lua_settop(co, 0);
    lua_pushstring(co, "back");
    ASSERT_EQ(0, lua_resume(co, 1)) << lua_tostring(co, -1);
    EXPECT_STREQ("back", lua_tostring(co, -1));
}

TEST_F(CoroutineTest, EndlesslyNestedResumesStopWithCStackOverflow)
{
    lua_register(L, "spawn",
                 [](lua_State* S)
                 {
                     lua_State* co = lua_newthread(S);
                     lua_pushstring(co, "f");
                     lua_gettable(co, LUA_GLOBALSINDEX);
                     if (lua_resume(co, 0) != 0)
                     {
                         lua_xmove(co, S, 1);
                         return lua_error(S);
                     }
                     return 0;
                 });
    Define("depth = 0 function f() depth = depth + 1 spawn() end");
    lua_pushstring(L, "f");
    lua_gettable(L, LUA_GLOBALSINDEX);
    ASSERT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 0, 0));
    EXPECT_STREQ("C stack overflow", lua_tostring(L, -1));
    lua_settop(L, 0);
    lua_pushstring(L, "depth");
    lua_gettable(L, LUA_GLOBALSINDEX);
    EXPECT_GT(lua_tonumber(L, -1), 200);
    EXPECT_LE(lua_tonumber(L, -1), 1000);
    Define("ok = 1");
}

} // namespace
