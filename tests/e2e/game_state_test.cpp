// The game-state script functions in the running program: a first screen sets and reads states,
// mutes and asks the store's questions, with and without an add-on module that answers them; bad
// arguments are script errors in the log and the game runs on; the runs' own look at the log finds
// a screen's failure however the engine words it.
#include "program_test_support.h"

#include <gtest/gtest-spi.h>

namespace
{
using namespace e2etest;

constexpr const char* kStatesScreen = R"lua(SetState("count", 41)
SetState("++count", "ignored")
print("count", GetState("count"))
SetState("flag", true)
print("flag", GetState("flag"))
SetState("mute", true)
print("muted", QueryMuteGame())
SetState("mute", false)
print("unmuted", QueryMuteGame())
print("questions", QueryRestartMode(), QueryJumpToMenu())
)lua";

TEST_F(GameProgramTest, AScreenSetsAndReadsStatesAndAsksTheQuestions)
{
    WriteScript("states.lua", kStatesScreen);
    int code = -1;
    EXPECT_EQ(RunScreen("states.lua", "wait 5\nclose\n", code),
              "count\t42\nflag\t1\nmuted\ttrue\nunmuted\tfalse\nquestions\tfalse\tfalse\n");
    EXPECT_EQ(code, 0);
}

TEST_F(GameProgramTest, AnAddOnModuleThatAnswersMuteMutesTheGame)
{
#ifndef MURKWELL_TEST_MODULE
    GTEST_SKIP() << "no test module in this build";
#else
    fs::copy_file(MURKWELL_TEST_MODULE, mGame / "assets/testmodule.qmmod");
    WriteScript("module.lua", "print('before', QueryMuteGame())\n"
                              "SetState('module-mute', true)\n"
                              "print('after', QueryMuteGame(), GetState('mute'))\n");
    int code = -1;
    EXPECT_EQ(RunScreen("module.lua", "wait 5\nclose\n", code), "before\tfalse\nafter\ttrue\t\n");
    EXPECT_EQ(code, 0);
#endif
}

// The first screen fails on each, which ends the run with 1.
TEST_F(GameProgramTest, BadArgumentsAreScriptErrorsNamingTheCall)
{
    const std::pair<const char*, const char*> bad[] = {
        {"GetState()", "bad argument #1 to `GetState' (string expected, got no value)"},
        {"GetState({})", "bad argument #1 to `GetState' (string expected, got table)"},
        {"_SetState('x')", "bad argument #2 to `_SetState' (string expected, got no value)"},
        {"SetState({}, 1)", "SetState: the state's name must be a string or a number"},
    };
    for (const auto& [call, line] : bad)
    {
        WriteScript("bad.lua", std::string("print('before')\n") + call + "\nprint('after')\n");
        fs::remove(LogFile());
        mOutputFile = mRoot / ("output" + std::to_string(mRuns + 1) + ".txt");
        EXPECT_EQ(RunScripted(mGame, "wait 5\nclose\n", {"options=start=scripts/bad.lua"}), 1)
            << call;
        EXPECT_EQ(ReadFile(mOutputFile), "before\n") << call;
        const std::string log = ReadFile(LogFile());
        EXPECT_NE(log.find(std::string("lua_resume error: ")), std::string::npos) << log;
        EXPECT_NE(log.find(line), std::string::npos) << call << "\n" << log;
    }
}

// A screen that fails as it is read fails as the start-up script's coroutine starts, said
// "lua_resume error:"; a button's command that fails after a wait fails in a later resume, said
// "lua_resume ERROR:". The runs' look at the log reports each, once.
TEST_F(GameProgramTest, AScreenFailingAtItsStartOrAfterAWaitIsReportedByTheRunsLogCheck)
{
    const std::pair<const char*, const char*> screens[] = {
        {"print('before')\nerror('at once')\n", "lua_resume error in"},
        {"print('before')\nMakeDialog { GameWindow { name = 'w', x = 0, y = 0, w = 800, h = 600,\n"
         "  Button { name = 'go', x = 300, y = 250, w = 200, h = 100, spritecollision = false,\n"
         "    command = function() Pause(50) error('after a wait') end } } }\n",
         "lua_resume ERROR in"},
    };
    for (const auto& [text, reported] : screens)
    {
        WriteScript("failing.lua", text);
        fs::remove(LogFile());
        int code = -1;
        std::string output;
        EXPECT_NONFATAL_FAILURE(
            output = RunScreen("failing.lua",
                               "focus gained\nwait 20\nclick 400 300\nwait 60\nclose\n", code),
            reported);
        EXPECT_EQ(output, "before\n") << text;
        EXPECT_EQ(code, 1) << text;
    }
}

} // namespace
