// End-to-end runs of the travel map opened as the first screen on a copy of the content: the
// journey ends in "ContinueMap();", which closes it, with the record marked as on the map; a map
// whose vignette has no "travel" table ends the game by itself; a map without lightning runs 40
// simulated seconds cleanly; a close under the pause dialog of the map's "Menu" leaves a clean log.
#include "e2e/program_test_support.h"

#include <regex>

namespace e2etest
{
namespace
{

class TravelMapTest : public ScreenProgramTest
{
protected:
    // A copy of the content whose map script is changed by `pattern` and `replacement`, with a
    // screen that makes a profile and one that is the map, tracing its end.
    fs::path Game(const std::string& pattern = "", const std::string& replacement = "")
    {
        const fs::path game = CopyGame("content");
        const fs::path map = game / "assets/scripts/map.lua";
        if (!pattern.empty())
        {
            const std::string text = ReadFile(map);
            WriteFile(map, std::regex_replace(text, std::regex(pattern), replacement));
            EXPECT_NE(ReadFile(map), text) << pattern;
        }
        WriteFile(game / "assets/scripts/make.lua", "CreateNewUser('Ann')\n");
        WriteFile(game / "assets/scripts/journey.lua",
                  "function ContinueMap() Trace('continue ' .. GetGameState()) CloseWindow() end\n"
                  "ReadFile('scripts/map.lua')\n");
        return game;
    }
};

// The large map 1.5 s, the zoom 1.2 s, the layers 0.5 s, the crossing 3.8 s and the layers again:
// about 7.5 s, 470 frames of 16 ms.
TEST_F(TravelMapTest, TheJourneyEndsInContinueMapWithTheRecordOnTheMap)
{
    const fs::path game = Game();
    int code = -1;
    EXPECT_EQ(RunTraced(game, "wait 5\nclose\n", "start=scripts/make.lua", code), Traces{"start"});
    EXPECT_EQ(
        RunClean(game, "focus gained\nwait 700\nshot after\nclose\n", "start=scripts/journey.lua"),
        (Traces{"start", "continue 1"}));
    EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "the journey's end did not close the map";
    EXPECT_EQ(Prefs(), "USER 0\n  curuser = \"0\"\nUSER 1\n  gamemode = \"1\"\n  name = \"Ann\"\n"
                       "  playerdata = hex 00 00 00 00 00 00 00 00 00 01 00 00\n");
}

TEST_F(TravelMapTest, AVignetteWithoutItsTravelTableEndsTheGame)
{
    const fs::path game =
        Game("travel = \\{\\s*image = \"map/boat\"", "boat = { image = \"map/boat\"");
    RunFatal(game, "focus gained\nwait 200\nshot after\nclose\n", "start=scripts/journey.lua");
    EXPECT_FALSE(fs::exists(mRoot / "after.png")) << "the fatal report did not end the game";
    EXPECT_NE(ReadFile(LogFile()).find("ERROR:Cannot find table 'travel' for MapTravel!"),
              std::string::npos)
        << ReadFile(LogFile());
}

TEST_F(TravelMapTest, AMapWithoutLightningRunsFortySecondsCleanly)
{
    const fs::path quiet = Game("lightningscrim = [^\\n]*\\n", "");
    // The journey's end would close it: the map stays up here.
    WriteFile(quiet / "assets/scripts/journey.lua",
              "function ContinueMap() Trace('continue') end\nReadFile('scripts/map.lua')\n");
    EXPECT_EQ(RunClean(quiet, "focus gained\nwait 2500\nclose\n", "start=scripts/journey.lua"),
              (Traces{"start", "continue"}));
}

// The close takes the pause dialog and the map away before the "Menu" command goes on after the
// dialog: it finds no map to resume, and says nothing.
TEST_F(TravelMapTest, AGameClosedUnderTheMapsPauseDialogLogsNoFault)
{
    const fs::path game = Game();
    int code = -1;
    EXPECT_EQ(RunTraced(game, "wait 5\nclose\n", "start=scripts/make.lua", code), Traces{"start"});
    EXPECT_EQ(RunClean(game, "focus gained\nwait 100\nclick 100 562\nwait 60\nshot paused\nclose\n",
                       "start=scripts/journey.lua"),
              (Traces{"start", "pause"}));
    EXPECT_TRUE(HasShot("paused"));
}

} // namespace
} // namespace e2etest
