// End-to-end runs of the player's record: a location a screen set is in the file after a close
// request, whether or not the screen saved it; the menu's "New game" zeroes it again after the
// question; a new player's location is saved when the terminal hangs up, and when the reader of
// the trace goes away the game plays on and saves it; a typed name keeps no broken UTF-8.
#include "e2e/program_test_support.h"

#include <csignal>
#include <regex>

namespace e2etest
{
namespace
{

// The record as prefsdump shows it, its location byte and game state given.
std::string RecordLine(int location, int state)
{
    char line[96];
    std::snprintf(line, sizeof line, "  playerdata = hex 00 00 00 00 00 00 00 00 %02x %02x 00 00\n",
                  location, state);
    return line;
}

class PlayerRecordTest : public ScreenProgramTest
{
protected:
};

// A location closed in play keeps its record as "gamedata"; its bytes hold the play time.
std::string MarkSavedLocation(const std::string& dump)
{
    return std::regex_replace(dump, std::regex("gamedata = hex [0-9a-f ]+\n"),
                              "gamedata = (location)\n");
}

TEST_F(PlayerRecordTest, ALocationSetIsKeptAtTheCloseAndNewGameZeroesIt)
{
    const fs::path game = CopyGame("content");
    // Saved at 2, then moved to 5 and never saved: the close request's teardown saves it.
    WriteFile(game / "assets/scripts/setlocation.lua",
              "CreateNewUser('Ann')\nSetCurrentLocation(2)\nSaveProfile()\n"
              "SetCurrentLocation(5)\nTrace('record ' .. GetCurrentLocation(true))\n");
    EXPECT_EQ(RunClean(game, "wait 5\nclose\n", "start=scripts/setlocation.lua"),
              (Traces{"start", "record 5"}));
    const std::string profile = "USER 0\n  curuser = \"0\"\nUSER 1\n";
    EXPECT_EQ(Prefs(), profile + "  gamemode = \"1\"\n  name = \"Ann\"\n" + RecordLine(5, 0));

    // "New game", "Yes": the record is zero before the game starts, and "gamedata" is gone.
    const std::string input = "focus gained\nwait 30\n" + ClickLine(menupoints::kNewGame) +
                              "wait 40\nclick 400 286\nwait 40\nclose\n";
    EXPECT_EQ(RunClean(game, input, "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu Ann", "profile Ann", "record 0 0", "location 0"}));
    // The first location's runner marks the record as in a location.
    EXPECT_EQ(MarkSavedLocation(Prefs()),
              profile + "  gamedata = (location)\n  gamemode = \"1\"\n  name = \"Ann\"\n" +
                  RecordLine(0, 3));
}

// A new player ("Ann") into the Gatehouse from the menu, on the repository's content.
class NewPlayerRecordTest : public PlayerRecordTest
{
protected:
    std::vector<std::string> Args() const
    {
        return {"--multiple", "-wd=" + mRepository.string(),
                "options=trace=1&start=scripts/mainmenu.lua"};
    }
    std::vector<std::string> Env(const std::string& script)
    {
        const fs::path input = mRoot / ("input" + std::to_string(++mRuns) + ".txt");
        WriteFile(input, std::string(kNewPlayer) + script);
        return {"MURKWELL_INPUT_SCRIPT=" + input.string(), "MURKWELL_FIXED_STEP=16",
                "MURKWELL_GUID_SEED=1"};
    }
    void ExpectLocationSaved() const
    {
        EXPECT_TRUE(std::regex_search(Prefs(), std::regex("  gamedata = hex [0-9a-f]{2} ")))
            << Prefs();
    }
};

// A closed terminal (SIGHUP) half a second into the Gatehouse ends the game as SIGTERM does: with
// 0, the location's record saved.
TEST_F(NewPlayerRecordTest, AHangUpInTheGatehouseSavesItsRecord)
{
    // Started with hangups at their default, whatever this test was started with (the game keeps
    // them ignored when its starter ignores them, as nohup does).
    std::signal(SIGHUP, SIG_DFL);
    mOutputFile = mRoot / "trace.txt";
    const int pid = Start(Args(), Env("shot inside\nwait 100000\n"));
    mOutputFile.clear();
    ASSERT_GT(pid, 0);
    const uint32_t start = LoadTimeMs();
    while (!HasShot("inside") && LoadTimeMs() - start < kEndLimitMs)
        sys::SleepMs(50);
    ASSERT_TRUE(HasShot("inside")) << "the Gatehouse never showed";
    sys::SleepMs(500);
    ::kill(pid, SIGHUP);
    EXPECT_EQ(WaitForEnd(pid), 0);
    ExpectLocationSaved();
}

// The trace piped into `head -1`: the reader is gone after the first line, and the game plays on
// to its close, ends with 0 and saves the location's record.
TEST_F(NewPlayerRecordTest, ATraceReaderThatGoesAwayEndsTheTraceNotTheGame)
{
    const fs::path code = mRoot / "code.txt";
    const fs::path first = mRoot / "first.txt";
    std::vector<std::string> args = Args();
    args.insert(args.begin(), {"/bin/sh", "-c",
                               "{ \"$0\" \"$@\"; echo $? >\"$MW_CODE\"; } | head -1 >\"$MW_FIRST\"",
                               MURKWELL_PROGRAM});
    std::vector<std::string> env = mEnv;
    for (const std::string& extra : Env("wait 60\nclose\n"))
        env.push_back(extra);
    env.insert(env.end(), {"MW_CODE=" + code.string(), "MW_FIRST=" + first.string()});
    const int pid = sys::SpawnProcess(args, env);
    ASSERT_GT(pid, 0);
    mStarted.push_back(pid);
    EXPECT_EQ(WaitForEnd(pid), 0);
    EXPECT_EQ(ReadFile(code), "0\n") << "the game's own exit code";
    EXPECT_EQ(ReadFile(first), "trace: start\n");
    ExpectLocationSaved();
}

// A name typed with an overlong "/" among its bytes is saved without it: the broken sequence is no
// character.
TEST_F(NewPlayerRecordTest, ATypedOverlongSlashIsNoCharacter)
{
    const std::string input = "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) +
                              "wait 60\ntext a\xC0\xAF"
                              "b\nwait 10\nclick 400 276\nwait 60\nclose\n";
    RunOk(mRepository, input, "start=scripts/mainmenu.lua");
    EXPECT_NE(Prefs().find("  name = \"ab\"\n"), std::string::npos) << Prefs();
}

} // namespace
} // namespace e2etest
