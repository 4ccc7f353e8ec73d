// Debug interface: stack levels, source descriptions, current lines, function names from the call
// site or from the global that holds the function, and the non-function error of lua_getinfo.
#include <gtest/gtest.h>

#include "chunk_builder.h"

using namespace chunk_test;

namespace
{

struct Captured
{
    std::string name;
    std::string namewhat;
    std::string what;
    std::string source;
    std::string shortSrc;
    int currentline = -2;
    int linedefined = -2;
};

Captured gLevel1;

// Records what lua_getinfo says about its caller (level 1).
int Inspect(lua_State* L)
{
    lua_Debug ar;
    if (!lua_getstack(L, 1, &ar))
        return 0;
    lua_getinfo(L, "Snl", &ar);
    gLevel1.name = ar.name != nullptr ? ar.name : "(null)";
    gLevel1.namewhat = ar.namewhat;
    gLevel1.what = ar.what;
    gLevel1.source = ar.source;
    gLevel1.shortSrc = ar.short_src;
    gLevel1.currentline = ar.currentline;
    gLevel1.linedefined = ar.linedefined;
    return 0;
}

class DebugTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        L = lua_open();
        lua_register(L, "inspect", Inspect);
        gLevel1 = Captured{};
    }
    void TearDown() override { lua_close(L); }

    void Run(const std::string& source)
    {
        ASSERT_EQ(0, Load(L, source, "=d")) << TopString(L);
        ASSERT_EQ(0, lua_pcall(L, 0, 0, 0)) << TopString(L);
    }

    lua_State* L = nullptr;
};

TEST_F(DebugTest, MainChunkAndCurrentLine)
{
    Run("local a = 1\n\ninspect()");
    EXPECT_EQ("main", gLevel1.what);
    EXPECT_EQ("=d", gLevel1.source);
    EXPECT_EQ("d", gLevel1.shortSrc);
    EXPECT_EQ(3, gLevel1.currentline);
    EXPECT_EQ(0, gLevel1.linedefined);
}

TEST_F(DebugTest, NamesFromTheCallSite)
{
    Run("function g()\n inspect()\nend\ng()");
    EXPECT_EQ("Lua", gLevel1.what);
    EXPECT_EQ(1, gLevel1.linedefined);
    EXPECT_EQ(2, gLevel1.currentline);
    EXPECT_EQ("g", gLevel1.name);
    EXPECT_EQ("global", gLevel1.namewhat);
    Run("local t = {} function t.f() inspect() end t.f()");
    EXPECT_EQ("f", gLevel1.name);
    EXPECT_EQ("field", gLevel1.namewhat);
    Run("local t = {} function t:m() inspect() end t:m()");
    EXPECT_EQ("m", gLevel1.name);
    EXPECT_EQ("method", gLevel1.namewhat);
    Run("local function loc() inspect() end loc()");
    EXPECT_EQ("loc", gLevel1.name);
    EXPECT_EQ("local", gLevel1.namewhat);
}

TEST_F(DebugTest, FunctionCalledFromNativeCodeIsNamedAfterItsGlobal)
{
    lua_register(L, "callarg",
                 [](lua_State* S)
                 {
                     lua_call(S, lua_gettop(S) - 1, 0);
                     return 0;
                 });
    Run("function g() inspect() end local alias = g callarg(alias)");
    EXPECT_EQ("g", gLevel1.name);
    EXPECT_EQ("global", gLevel1.namewhat);
    // Without any global holding it there is no name.
    Run("local h = function() inspect() end callarg(h)");
    EXPECT_EQ("(null)", gLevel1.name);
    EXPECT_EQ("", gLevel1.namewhat);
}

TEST_F(DebugTest, NativeFunctionsAndTailCalls)
{
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_Debug ar;
                          EXPECT_EQ(1, lua_getstack(S, 0, &ar));
                          lua_getinfo(S, "S", &ar);
                          EXPECT_STREQ("C", ar.what);
                          EXPECT_STREQ("=[C]", ar.source);
                          EXPECT_EQ(-1, ar.linedefined);
                          EXPECT_EQ(0, lua_getstack(S, 1, &ar));
                          return 0;
                      });
    ASSERT_EQ(0, lua_pcall(L, 0, 0, 0));

    lua_register(L, "tailinfo",
                 [](lua_State* S)
                 {
                     lua_Debug ar;
                     // level 1 is f (reached by a tail call), level 2 the lost caller
                     EXPECT_EQ(1, lua_getstack(S, 2, &ar));
                     lua_getinfo(S, "S", &ar);
                     lua_pushstring(S, ar.what);
                     lua_pushstring(S, "tailwhat");
                     lua_insert(S, -2);
                     lua_settable(S, LUA_GLOBALSINDEX);
                     return 0;
                 });
    Run("local function f() tailinfo() end local function g() return f() end g()");
    lua_pushstring(L, "tailwhat");
    lua_gettable(L, LUA_GLOBALSINDEX);
    EXPECT_STREQ("tail", lua_tostring(L, -1));
}

TEST_F(DebugTest, GetinfoOnAValue)
{
    ASSERT_EQ(0, Load(L, "\n\nlocal x = 1", "@file.lua"));
    lua_Debug ar;
    ASSERT_EQ(1, lua_getinfo(L, ">Su", &ar));
    EXPECT_STREQ("main", ar.what);
    EXPECT_STREQ("file.lua", ar.short_src);
    EXPECT_EQ(0, ar.nups);
    EXPECT_EQ(0, lua_gettop(L));

    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_Debug d;
                          lua_pushnumber(S, 3);
                          lua_getinfo(S, ">S", &d);
                          return 0;
                      });
    ASSERT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 0, 0));
    EXPECT_EQ("value for `lua_getinfo' is not a function", TopString(L));
}

TEST_F(DebugTest, ChunkIdentifiers)
{
    ASSERT_EQ(0, Load(L, "return 1", "return 1"));
    lua_Debug ar;
    lua_getinfo(L, ">S", &ar);
    EXPECT_STREQ("[string \"return 1\"]", ar.short_src);
    ASSERT_EQ(0, Load(L, "return 1", "first line\nsecond"));
    lua_getinfo(L, ">S", &ar);
    EXPECT_STREQ("[string \"first line...\"]", ar.short_src);
}

} // namespace
