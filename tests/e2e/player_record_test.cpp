// End-to-end runs of the player's record: a location a screen set is in the file after a close
// request, whether or not the screen saved it; the menu's "New game" zeroes it again after the
// question.
#include "e2e/program_test_support.h"

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

} // namespace
} // namespace e2etest
