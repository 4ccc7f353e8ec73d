// The engine's own message formatter (`lua_pushfstring`, `luaL_error`): its options, numbers as
// "%.14g", and the position prefix that `luaL_error` adds for the calling script line.
#include "lib_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

class FormattedMessageTest : public ::testing::Test
{
protected:
    LibState mState;
};

std::string PushAndTake(lua_State* L, const char* text)
{
    std::string out = text != nullptr ? text : "(null)";
    lua_pop(L, 1);
    return out;
}

TEST_F(FormattedMessageTest, OptionsAndNumbers)
{
    lua_State* L = mState.L;
    EXPECT_EQ(PushAndTake(L, lua_pushfstring(L, "%s|%d|%c", "x", -42, 'Z')), "x|-42|Z");
    EXPECT_EQ(PushAndTake(L, lua_pushfstring(L, "%f %f %f", 1.5, 1e15, 0.1)), "1.5 1e+15 0.1");
    EXPECT_EQ(PushAndTake(L, lua_pushfstring(L, "plain text")), "plain text");
    EXPECT_EQ(lua_gettop(L), 0);
}

// "%%" stands for one percent sign, so that messages can show pattern items such as "%f".
TEST_F(FormattedMessageTest, DoublePercentIsOnePercentSign)
{
    lua_State* L = mState.L;
    EXPECT_EQ(PushAndTake(L, lua_pushfstring(L, "100%% of %s", "it")), "100% of it");
}

int RaiseFromNative(lua_State* L)
{
    return luaL_error(L, "bad thing %d in %s", 7, "native");
}

TEST_F(FormattedMessageTest, LuaLErrorNamesTheCallingScriptLine)
{
    lua_register(mState.L, "raise", RaiseFromNative);
    EXPECT_EQ(mState.Run("local x = 1\nraise()"), "test:2: bad thing 7 in native");
    // Called from a native caller there is no script line to name.
    EXPECT_EQ(mState.Eval("pcall(raise)"), "false");
    EXPECT_EQ(mState.EvalAll("pcall(raise)").at(1), "bad thing 7 in native");
}

} // namespace
