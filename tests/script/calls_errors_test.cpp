// Calls and errors: messages naming globals, locals, fields and methods, protected calls with an
// error handler, stack overflows, the error-handler error, UTF-16 sources and the panic exit.
#include <gtest/gtest.h>

#include "chunk_builder.h"

using namespace chunk_test;

namespace
{

class CallsErrorsTest : public ::testing::Test
{
protected:
    void SetUp() override { L = lua_open(); }
    void TearDown() override { lua_close(L); }

    // Runs source text; returns the error message, or "" on success.
    std::string RunError(const std::string& source)
    {
        int status = Load(L, source, "=t");
        if (status == 0)
            status = lua_pcall(L, 0, 0, 0);
        std::string msg = status == 0 ? "" : TopString(L);
        lua_settop(L, 0);
        return msg;
    }

    lua_State* L = nullptr;
};

TEST_F(CallsErrorsTest, CallErrorsNameTheVariable)
{
    EXPECT_EQ("t:1: attempt to call global `f' (a nil value)", RunError("f()"));
    EXPECT_EQ("t:2: attempt to call local `f' (a nil value)", RunError("local f\nf()"));
    EXPECT_EQ("t:2: attempt to call field `x' (a nil value)", RunError("local t = {}\nt.x()"));
    EXPECT_EQ("t:1: attempt to call method `m' (a nil value)", RunError("local t = {} t:m()"));
    EXPECT_EQ("t:1: attempt to call a nil value", RunError("local f (function() f() end)()"));
    EXPECT_EQ("t:1: attempt to call global `n' (a number value)", RunError("n = 1 n()"));
}

TEST_F(CallsErrorsTest, OtherTypeErrors)
{
    EXPECT_EQ("t:1: attempt to index global `x' (a nil value)", RunError("return x.y"));
    EXPECT_EQ("t:1: attempt to perform arithmetic on global `s' (a table value)",
              RunError("s = {} return s + 1"));
    EXPECT_EQ("t:1: attempt to concatenate local `b' (a boolean value)",
              RunError("local b = true return 'a' .. b"));
    EXPECT_EQ("t:1: attempt to compare number with nil", RunError("return 1 < nil"));
    EXPECT_EQ("t:1: attempt to compare two table values", RunError("return {} < {}"));
    EXPECT_EQ("t:1: attempt to index field `a' (a nil value)",
              RunError("local t = {} return t.a.b"));
    EXPECT_EQ("t:1: attempt to index a nil value", RunError("return (nil).x"));
}

TEST_F(CallsErrorsTest, PcallWithErrorHandler)
{
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_pushfstring(S, "handled: %s", lua_tostring(S, 1));
                          return 1;
                      });
    ASSERT_EQ(0, Load(L, "local x = nil + 1", "=t"));
    EXPECT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 0, 1));
    EXPECT_EQ("handled: t:1: attempt to perform arithmetic on a nil value", TopString(L));
    EXPECT_EQ(2, lua_gettop(L));
}

TEST_F(CallsErrorsTest, ErrorValuesAreKept)
{
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_newtable(S);
                          lua_pushstring(S, "code");
                          lua_pushnumber(S, 7);
                          lua_rawset(S, -3);
                          return lua_error(S);
                      });
    ASSERT_EQ(LUA_ERRRUN, lua_pcall(L, 0, 0, 0));
    ASSERT_TRUE(lua_istable(L, -1));
    lua_pushstring(L, "code");
    lua_rawget(L, -2);
    EXPECT_EQ(7, lua_tonumber(L, -1));
}

TEST_F(CallsErrorsTest, StackOverflowIsReportedAndTheStateRecovers)
{
    std::string msg = RunError("local function f() f() end f()");
    EXPECT_NE(std::string::npos, msg.find("stack overflow")) << msg;
    EXPECT_EQ("", RunError("local function f(n) if n > 0 then f(n - 1) end end f(1000)"));
    msg = RunError("local function f() f() end f()");
    EXPECT_NE(std::string::npos, msg.find("stack overflow")) << msg;
}

int CallBack(lua_State* L)
{
    lua_pushstring(L, "again");
    lua_gettable(L, LUA_GLOBALSINDEX);
    lua_call(L, 0, 0);
    return 0;
}

TEST_F(CallsErrorsTest, NativeRecursionHitsTheCStackLimit)
{
    lua_register(L, "native", CallBack);
    std::string msg = RunError("function again() native() end again()");
    EXPECT_NE(std::string::npos, msg.find("C stack overflow")) << msg;
    EXPECT_EQ("", RunError("x = 1"));
}

TEST_F(CallsErrorsTest, ErrorInErrorHandler)
{
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_pushnil(S);
                          lua_call(S, 0, 0); // the handler itself fails
                          return 1;
                      });
    ASSERT_EQ(0, Load(L, "error_here()", "=t"));
    EXPECT_EQ(LUA_ERRERR, lua_pcall(L, 0, 0, 1));
    EXPECT_EQ("error in error handling", TopString(L));
}

TEST_F(CallsErrorsTest, Utf16SourceCompilesLikeNarrowText)
{
    const std::string narrow = "return 1 + 2, 'x'";
    std::string wide = "\xFF\xFE";
    for (char c : narrow)
    {
        wide.push_back(c);
        wide.push_back('\0');
    }
    ASSERT_EQ(0, Load(L, wide, "=w")) << TopString(L);
    ASSERT_EQ(0, lua_pcall(L, 0, 2, 0)) << TopString(L);
    EXPECT_EQ(3, lua_tonumber(L, 1));
    EXPECT_STREQ("x", lua_tostring(L, 2));
}

TEST_F(CallsErrorsTest, CallMetamethod)
{
    lua_pushstring(L, "obj");
    lua_newtable(L);
    lua_newtable(L);
    lua_pushstring(L, "__call");
    lua_pushcfunction(L,
                      [](lua_State* S)
                      {
                          lua_pushnumber(S, lua_gettop(S));
                          return 1;
                      });
    lua_rawset(L, -3);
    lua_setmetatable(L, -2);
    lua_settable(L, LUA_GLOBALSINDEX);
    ASSERT_EQ(0, Load(L, "return obj(1, 2)", "=t"));
    ASSERT_EQ(0, lua_pcall(L, 0, 1, 0)) << TopString(L);
    EXPECT_EQ(3, lua_tonumber(L, -1)); // the object itself plus two arguments
}

TEST_F(CallsErrorsTest, CpcallRunsProtected)
{
    int value = 0;
    EXPECT_EQ(0, lua_cpcall(
                     L,
                     [](lua_State* S)
                     {
                         *static_cast<int*>(lua_touserdata(S, 1)) = 5;
                         return 0;
                     },
                     &value));
    EXPECT_EQ(5, value);
    EXPECT_EQ(LUA_ERRRUN, lua_cpcall(
                              L,
                              [](lua_State* S)
                              {
                                  lua_pushstring(S, "oops");
                                  return lua_error(S);
                              },
                              nullptr));
    EXPECT_EQ("oops", TopString(L));
}

TEST_F(CallsErrorsTest, SyntaxErrorStatus)
{
    EXPECT_EQ(LUA_ERRSYNTAX, Load(L, "x = = 1", "=t"));
    EXPECT_EQ(1, lua_gettop(L));
}

TEST(CallsPanicTest, ErrorOutsideProtectedCallEndsTheProcess)
{
    EXPECT_EXIT(
        {
            lua_State* L = lua_open();
            lua_atpanic(L,
                        [](lua_State*)
                        {
                            fputs("panic called", stderr);
                            return 0;
                        });
            lua_pushstring(L, "unprotected");
            lua_error(L);
        },
        ::testing::ExitedWithCode(1), "panic called");
}

} // namespace
