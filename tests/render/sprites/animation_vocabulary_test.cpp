// The animation-script vocabulary in a script state whose host functions record their calls: the
// generated DoAnim, fades, loops, run and the small words.
#include "render/sprites/animated_texture.h"
#include "render/sprites/animation_vocabulary.h"
#include "script/lauxlib.h"
#include "script/lua.h"
#include "script/lualib.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string gCalls;

std::string Arg(lua_State* L, int i)
{
    if (lua_isnumber(L, i))
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g", lua_tonumber(L, i));
        return text;
    }
    if (lua_isstring(L, i))
        return std::string("'") + lua_tostring(L, i) + "'";
    return lua_toboolean(L, i) ? "true" : "nil";
}

template <const char* kName, int kResult> int Record(lua_State* L)
{
    gCalls += kName;
    gCalls += "(";
    for (int i = 1; i <= lua_gettop(L); ++i)
        gCalls += (i > 1 ? "," : "") + Arg(L, i);
    gCalls += ") ";
    if (kResult == 0)
        return 0;
    lua_pushnumber(L, kResult);
    return 1;
}

int GetScript(lua_State* L)
{
    gCalls += "GetScript() ";
    lua_pushstring(L, "function Go() frames{4} end");
    return 1;
}

constexpr char kWait[] = "Wait", kAlpha[] = "SetAlpha", kFrame[] = "Frame", kLoad[] = "Load",
               kDie[] = "Die", kPause[] = "Pause", kPlaying[] = "IsPlaying", kRandom[] = "Random";

class VocabularyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        L = lua_open();
        luaopen_base(L);
        luaopen_table(L);
        luaopen_string(L);
        luaopen_math(L);
        lua_settop(L, 0);
        lua_register(L, "WaitLuaNextFrame", (Record<kWait, 0>));
        lua_register(L, "SetAlpha", (Record<kAlpha, 0>));
        lua_register(L, "SetCurrentFrame", (Record<kFrame, 0>));
        lua_register(L, "Load", (Record<kLoad, 1>));
        lua_register(L, "GetScript", GetScript);
        lua_register(L, "Die", (Record<kDie, 0>));
        lua_register(L, "Pause", (Record<kPause, 0>));
        lua_register(L, "IsPlaying", (Record<kPlaying, 7>));
        lua_register(L, "Random", (Record<kRandom, 3>));
        ASSERT_TRUE(LoadAnimationVocabulary(L));
        gCalls.clear();
    }
    void TearDown() override { lua_close(L); }

    std::string Run(const std::string& text)
    {
        gCalls.clear();
        EXPECT_EQ(lua_dostring(L, text.c_str()), 0) << text;
        lua_settop(L, 0);
        return gCalls;
    }
    double Global(const char* name)
    {
        lua_pushstring(L, name);
        lua_gettable(L, LUA_GLOBALSINDEX);
        const double v = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return v;
    }

    lua_State* L = nullptr;
};
} // namespace

TEST_F(VocabularyTest, StartingStateAndTheGeneratedScript)
{
    EXPECT_EQ(Global("alpha"), 1);
    EXPECT_EQ(Global("alphadelta"), 0);
    EXPECT_EQ(Global("alphacount"), 0);
    EXPECT_EQ(Run("showFrame()"), "Wait(16) ");
    EXPECT_EQ(Run(TAnimatedTexture::DefaultScript(3).c_str() + std::string("DoAnim()")),
              "Frame(0) Wait(60) Frame(1) Wait(60) Frame(2) Wait(60) ");
    EXPECT_EQ(Run("pause(5) showFrame()"), "Wait(5) Wait(60) ");
    EXPECT_EQ(Run("delay(20) loop(2, {3, 1})"),
              "Frame(2) Wait(20) Frame(0) Wait(20) Frame(2) Wait(20) Frame(0) Wait(20) ");
}

TEST_F(VocabularyTest, FadesStepWithEachFrameAndStop)
{
    EXPECT_EQ(Run("fadeout(2) frames{1, 2, 3}"),
              "SetAlpha(0.5) Frame(0) Wait(16) SetAlpha(0) Frame(1) Wait(16) Frame(2) Wait(16) ");
    EXPECT_EQ(Global("alphadelta"), 0);
    EXPECT_EQ(Global("alphacount"), 0);
    EXPECT_EQ(Run("fadein(4) frames{1}"), "SetAlpha(0.25) Frame(0) Wait(16) ");
    EXPECT_EQ(Global("alphadelta"), 0.25);
    EXPECT_EQ(Global("alphacount"), 3);
    EXPECT_EQ(Run("setAlpha(0.75)"), "SetAlpha(0.75) ");
    EXPECT_EQ(Global("alpha"), 0.75);
}

TEST_F(VocabularyTest, RunAndTheHostWords)
{
    EXPECT_EQ(Run("run{'walk.anm', anim = 'Go'}"),
              "Load('walk.anm','','') GetScript() Frame(3) Wait(16) ");
    EXPECT_EQ(Run("run{'walk.anm', image = 'i.png', mask = 'm.png', anim = 'Go'}"),
              "Load('walk.anm','i.png','m.png') GetScript() Frame(3) Wait(16) ");
    EXPECT_EQ(Run("die() halt() stop() stop(4) endReferences()"),
              "Die() Pause(true,-1) Pause(true,-1) Pause(true,4) ");
    EXPECT_EQ(Run("assert(isPlaying() == 7) assert(random(1, 5) == 3) isPlaying(2)"),
              "IsPlaying(-1) Random(1,5) IsPlaying(2) ");
}
