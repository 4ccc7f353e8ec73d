// End-to-end runs of the whole game's route on a copy of the content: a new profile plays the
// Gatehouse as the play-through does, then the two later locations by their stand-in, with the
// travel map between them and the cut-scene after the first journey, then the credits and the menu,
// its metrics records written; a run closed on the map is on the map again after "Play"; a lost
// focus on the map pauses the journey until "Resume"; a run killed after the credits shows them
// again at "Play".
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
// score (four bytes as the dump shows them), no prompt seen, its location byte and game state.
std::string AnnWith(const std::string& score, const std::string& record)
{
    return std::string("USER 0\n  curuser = \"0\"\nUSER 1\n  gamedata = \"\"\n") +
           "  gamemode = \"1\"\n  name = \"Ann\"\n  playerdata = hex " + score + " 00 00 00 00 " +
           record + " 00 00\n";
}

// The score bytes of the player's record in a dump, "" when there is none.
std::string ScoreOf(const std::string& prefs)
{
    std::smatch found;
    return std::regex_search(prefs, found, std::regex("playerdata = hex ((?:.. ){3}..)"))
               ? found[1].str()
               : std::string();
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
    // Past the last location, in the state the last completion handed over in, the map's (the
    // credits have none of their own), as the Crypt's own completion leaves it: "Play" shows the
    // credits again. The stand-ins end as every location does, through the runner's completion,
    // which counts the location and its play time, names the screen it hands over to and removes
    // the location's record in one save. The locations' play time is the score; the Gatehouse's
    // prompts and both boards' help seen.
    EXPECT_TRUE(std::regex_search(Prefs(), std::regex("playerdata = hex (?!00 00 00 00)(.. ){4}ff "
                                                      "3f 00 00 03 01 00 00\n")))
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
    // The first location's play time counted, once.
    const std::string score = ScoreOf(Prefs());
    EXPECT_NE(score, "00 00 00 00");
    EXPECT_EQ(Prefs(), AnnWith(score, "01 01"));

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
              std::regex_replace(AnnWith(score, "01 03"), std::regex("gamedata = \"\""),
                                 "gamedata = (location)"));
}

// A run killed on the menu after the credits: the record stands past the last location in the
// map's state, the score entered once. The next start's "Play" shows the credits again and back to
// the menu, the record and the score table as they were (an equal time is no new best).
TEST_F(GameRouteTest, AGameKilledOnTheMenuAfterTheCreditsShowsThemAgainAtPlay)
{
    const fs::path game = StandInGame(CopyGame("content"));
    Edit(game / "assets/scripts/credits.lua", "scrollspeed = (\\d+)", "scrollspeed = 6 * $1");
    mOutputFile = mRoot / "output.txt";
    const int pid =
        StartScripted(game,
                      kNewProfile + kContinue + kSkipStory + "await \"location 1\"\nwait 80\n" +
                          kContinue + "await \"location 2\"\nwait 80\n" + kContinue +
                          "await credits\nwait 300\nshot menu\nwait 100000\n",
                      {"options=trace=1&start=scripts/mainmenu.lua"});
    mOutputFile.clear();
    ASSERT_GT(pid, 0);
    int code = 0;
    while (!HasShot("menu") && !sys::WaitProcess(pid, 0, code))
        sys::SleepMs(20);
    ASSERT_TRUE(HasShot("menu")) << "the run ended before the menu came back";
    sys::SignalProcess(pid, true);
    WaitForEnd(pid);
    EXPECT_EQ(TraceLines(ReadFile(mRoot / "output.txt")),
              (Traces{"start", "menu", "profile Ann", "record 0 0", "location 0", "complete 0",
                      "map", "story", "location 1", "complete 1", "map", "location 2", "complete 2",
                      "credits"}));
    // Back on the menu after the credits.
    ExpectMatchesGolden(Crop(Shot("menu"), 100, 196, 600, 36), "front_greeting.png");
    const std::string prefs = Prefs();
    const std::string score = ScoreOf(prefs);
    ASSERT_FALSE(score.empty()) << prefs;
    EXPECT_EQ(prefs, AnnWith(score, "03 01"));
    int dumped = -1;
    const std::string scores = DumpHiscores(UserFile("hiscore.dat"), &dumped);
    EXPECT_EQ(dumped, 0);
    uint32_t time = 0;
    for (int i = 3; i >= 0; --i)
        time = time * 256 + std::stoul(score.substr(size_t(i) * 3, 2), nullptr, 16);
    EXPECT_GT(time, 0u);
    EXPECT_EQ(scores, "mode \"Adventure\" rank 1 score " + std::to_string(time) +
                          " name \"Ann\" gamedata \"\"\n");

    EXPECT_EQ(RunClean(game,
                       "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) +
                           "await credits\nwait 300\nshot again\nclose\n",
                       "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu Ann", "profile Ann", "record 1 3", "credits"}));
    ExpectMatchesGolden(Crop(Shot("again"), 100, 196, 600, 36), "front_greeting.png");
    EXPECT_EQ(Prefs(), prefs);
    EXPECT_EQ(DumpHiscores(UserFile("hiscore.dat")), scores);
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
