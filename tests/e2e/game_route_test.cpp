// End-to-end runs of the whole game's route on a copy of the content: a new profile plays the
// Gatehouse as the play-through does, then the two later locations by their stand-in, with the
// travel map between them and the cut-scene after the first journey, then the credits and the menu,
// its metrics records written; a run closed on the map is on the map again after "Play"; a lost
// focus on the map pauses the journey until "Resume".
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace game_route_test
{
namespace
{
using namespace e2etest;

// From the menu: "Play", the name dialog, "Ann", "OK", and the first location's start.
const std::string kNewProfile = "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) +
                                "wait 60\ntext Ann\n"
                                "wait 10\nclick 400 276\nwait 80\n";
// The stand-in location's "Continue".
constexpr const char* kContinue = "click 400 322\n";
// The overlay (0.6 s), then the full map: the large map, the zoom, the layers, the crossing and
// the layers again, about 7.6 s.
constexpr int kJourneyWaits = 560;
// The cut-scene after the first journey, its first cell skipped, plays its second to its end.
constexpr int kStoryWaits = 480;

class GameRouteTest : public ScreenProgramTest
{
protected:
    // A copy of the content whose `file` is changed by `pattern` and `replacement`.
    static void Edit(const fs::path& file, const std::string& pattern,
                     const std::string& replacement)
    {
        const std::string text = ReadFile(file);
        WriteFile(file, std::regex_replace(text, std::regex(pattern), replacement));
        EXPECT_NE(ReadFile(file), text) << pattern;
    }

    fs::path UserFile(const std::string& name) const
    {
        return mRoot / "data/Tovrix/Murkwell" / name;
    }
    // The later locations played by their stand-in: the route's runs are about the screens
    // between the locations (the play-through plays the real ones). `gatehouse` keeps the real
    // first location; runs that only need to reach the first journey take its stand-in too.
    static fs::path StandInGame(const fs::path& game, bool gatehouse = false)
    {
        if (!gatehouse)
            Edit(game / "assets/scripts/game.lua", "\\[0\\] = \"scripts/locations/gatehouse.lua\"",
                 "[0] = \"scripts/locations/standin.lua\"");
        Edit(game / "assets/scripts/game.lua", "scripts/locations/(observatory|crypt).lua",
             "scripts/locations/standin.lua");
        return game;
    }

    static std::string Wait(int polls) { return "wait " + std::to_string(polls) + "\n"; }
};

// The profile after a run: the new game's location entry (emptied) and the player's record with its
// location byte and game state.
std::string AnnWith(const std::string& record)
{
    return std::string("USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = \"\"\n") +
           "  gamemode = \"1\"\n  name = \"Ann\"\n  playerdata = hex 00 00 00 00 00 00 00 00 " +
           record + " 00 00\n";
}

// Lightning is pushed past the shots (its first strike comes at a random time after four
// seconds), the credits scroll six times as fast, and metrics are written. The Gatehouse is played
// as the play-through plays it, its prompts answered, up to the map.
TEST_F(GameRouteTest, ANewGameRunsThroughTheLocationsAndTheMapToTheCreditsAndTheMenu)
{
    const fs::path game = StandInGame(CopyGame("content"), true);
    mEndLimitMs = kEndLimitMs * 2;
    Edit(game / "assets/scripts/map.lua",
         "mintimebetweenstrikes = 4000, maxtimebetweenstrikes = 9000",
         "mintimebetweenstrikes = 400000, maxtimebetweenstrikes = 900000");
    Edit(game / "assets/scripts/credits.lua", "scrollspeed = (\\d+)", "scrollspeed = 6 * $1");
    Edit(game / "assets/settings.xml", "</settings>", "<glintview>1</glintview></settings>");
    const std::string input = kNewProfile + WalkthroughScript("gatehouse", "journey") +
                              "await map\nwait 12\nshot overlay\n" + Wait(80) + "shot large1\n" +
                              Wait(kJourneyWaits - 92) + kSkipStory + Wait(kStoryWaits) +
                              kContinue + Wait(110) + "shot large2\n" + Wait(247) +
                              "shot travel2\n" + Wait(kJourneyWaits - 357) + kContinue + Wait(260) +
                              "shot menu\n" + "close\n";
    EXPECT_EQ(RunClean(game, input, "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu", "profile Ann", "record 0 0", "location 0", "complete 0",
                      "map", "story", "location 1", "complete 1", "map", "location 2", "complete 2",
                      "credits"}));
    // The last location's runner marked the record as in a location; the Gatehouse's play time
    // is the score, its prompts and both boards' help seen.
    EXPECT_TRUE(std::regex_search(Prefs(), std::regex("playerdata = hex (?!00 00 00 00)(.. ){4}ff "
                                                      "3f 00 00 03 03 00 00\n")))
        << Prefs();

    // Early in the overlay over the first location; the large map with the first place's dot, and
    // with both places' dots; the second crossing with its route half drawn.
    ExpectMatchesGolden(Crop(Shot("overlay"), 0, 0, 800, 300), "map_overlay.png");
    ExpectMatchesGolden(Crop(Shot("large1"), 150, 250, 440, 240), "map_large_one_dot.png");
    ExpectMatchesGolden(Crop(Shot("large2"), 150, 200, 440, 240), "map_large_two_dots.png");
    ExpectMatchesGolden(Crop(Shot("travel2"), 250, 0, 550, 520), "map_travel.png");
    // Back on the menu after the credits.
    ExpectMatchesGolden(Crop(Shot("menu"), 100, 196, 600, 36), "front_greeting.png");

    // Each location's status record: its level, and the time played so far (still running).
    const std::string metrics = ReadFile(UserFile("metrics.txt"));
    std::vector<std::string> levels;
    // Each record: its tag and time stamp on one line, its values on the next.
    const std::regex record("location,[^\n]*\n,(\\d+),(\\d+)\r\n");
    for (auto it = std::sregex_iterator(metrics.begin(), metrics.end(), record);
         it != std::sregex_iterator(); ++it)
        levels.push_back((*it)[1].str());
    EXPECT_EQ(levels, (std::vector<std::string>{"1", "2", "3"})) << metrics;
}

// A run closed during the journey leaves the record on the map: "Play" in the next run opens the
// map again, where a lost focus pauses the journey for the pause dialog and "Resume" lets it end,
// the cut-scene and the second location following.
// A location closed in play keeps its record as "gamedata"; its bytes hold the play time.
std::string MarkSavedLocation(const std::string& dump)
{
    return std::regex_replace(dump, std::regex("gamedata = hex [0-9a-f ]+\n"),
                              "gamedata = (location)\n");
}

TEST_F(GameRouteTest, AJourneyClosedOnTheMapResumesThereAndAPauseHoldsIt)
{
    const fs::path game = StandInGame(CopyGame("content"));
    EXPECT_EQ(
        RunOk(game, kNewProfile + kContinue + Wait(200) + "close\n", "start=scripts/mainmenu.lua"),
        (Traces{"start", "menu", "profile Ann", "record 0 0", "location 0", "complete 0", "map"}));
    EXPECT_EQ(Prefs(), AnnWith("01 01"));

    // "Play", the map from its start, a lost focus during the crossing and a long pause; the
    // crossing's remaining time after "Resume".
    const std::string input = "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) + Wait(300) +
                              "focus lost\nwait 10\nfocus gained\nwait 400\nshot paused\n"
                              "click 400 246\n" +
                              Wait(300) + kSkipStory + Wait(kStoryWaits) + "shot after\nclose\n";
    EXPECT_EQ(RunClean(game, input, "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu Ann", "profile Ann", "record 1 1", "map", "pause", "story",
                      "location 1"}));
    EXPECT_TRUE(fs::exists(mRoot / "paused.png")) << "the pause ended the journey";
    EXPECT_EQ(MarkSavedLocation(Prefs()),
              std::regex_replace(AnnWith("01 03"), std::regex("gamedata = \"\""),
                                 "gamedata = (location)"));
}

// A run closed during the cut-scene leaves its game state (2) in the record: "Play" opens the
// cut-scene again, then the location it leads to.
TEST_F(GameRouteTest, ACutSceneClosedHalfWayIsShownAgainAfterPlay)
{
    const fs::path game = CopyGame("content");
    WriteFile(game / "assets/scripts/make.lua",
              "CreateNewUser('Ann')\nSetCurrentLocation(1)\nSaveProfile()\n");
    int code = -1;
    RunTraced(game, "wait 5\nclose\n", "start=scripts/make.lua", code);
    // The development screen's "play" opens the strip as the route does.
    EXPECT_EQ(RunTraced(game, "focus gained\nwait 30\nclick 400 300\nwait 100\nclose\n",
                        "start=scripts/dev/story.lua", code),
              (Traces{"start", "story"}));
    const std::string input = "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) +
                              kSkipStory + Wait(kStoryWaits) + "close\n";
    EXPECT_EQ(RunClean(game, input, "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu Ann", "profile Ann", "record 2 1", "story", "location 1"}));
}

} // namespace

} // namespace game_route_test
