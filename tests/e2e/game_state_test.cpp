// The game-state script functions in the running program: a first screen sets and reads states,
// mutes and asks the store's questions, with and without an add-on module that answers them; bad
// arguments are script errors in the log and the game runs on.
#include "program_test_support.h"

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

} // namespace
