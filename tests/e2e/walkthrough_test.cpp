// The whole game end to end, as a new player plays it: the committed input script
// `data/walkthrough.in` from the title card through the three locations, the journeys, the
// cut-scene and the credits to the menu and the quit question, each stage awaiting its trace line;
// the same play quit in the Observatory and taken up by a second start; and the input scripts'
// `await` on a whole program.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;

// A play-through takes some 8 minutes under the sanitizers on a loaded machine (the limit only
// bounds a hang).
constexpr uint32_t kPlayThroughLimitMs = 900000;

// What a new player's whole game traces, from the start to the quit question on the menu. The menu
// traces its first showing only: back after the credits it is seen in a shot.
const Traces kWholeGame = {"start",      "menu",       "profile Ann", "record 0 0", "location 0",
                           "complete 0", "map",        "story",       "location 1", "complete 1",
                           "map",        "location 2", "complete 2",  "credits",    "quitverify"};

class WalkthroughTest : public ScreenProgramTest
{
protected:
    Picture Shot(const std::string& name) const { return ReadPicture(mRoot / (name + ".png")); }
    fs::path UserFile(const std::string& name) const
    {
        return mRoot / "data/Tovrix/Murkwell" / name;
    }
    // The player's record as the dump shows it: score (4 bytes), tutorial flags (4), location,
    // game state.
    std::smatch PlayerRecord(const std::string& prefs) const
    {
        static const std::regex record("playerdata = hex ((?:[0-9a-f]{2} ){4})((?:[0-9a-f]{2} "
                                       "){4})([0-9a-f]{2}) ([0-9a-f]{2}) 00 00\n");
        std::smatch match;
        std::regex_search(prefs, match, record);
        return match;
    }
    // The play time the record holds as the score (little-endian).
    static uint32_t Score(const std::string& bytes)
    {
        uint32_t score = 0;
        for (int i = 3; i >= 0; --i)
            score = score * 256 + std::stoul(bytes.substr(size_t(i) * 3, 2), nullptr, 16);
        return score;
    }
    std::string ErrorOutput() const { return ReadFile(mRoot / "errors.txt"); }
};

// The title card to the credits: every trace in order, no await timed out, the pictures at each
// location's start, on each journey's map (in its first 4 s, before any lightning), in the
// cut-scene's first cell and in the credits' first frame; the record past the last location with
// every prompt seen, and one score row for Ann holding her play time. Lightning on the map is
// seeded from the wall clock, so the map is shot early; the rest repeats on the fixed step.
TEST_F(WalkthroughTest, TheWholeGameFromTheTitleCardToTheCredits)
{
    mEndLimitMs = kPlayThroughLimitMs;
    mErrorFile = mRoot / "errors.txt";
    int code = -1;
    EXPECT_EQ(RunClean(mRepository, WalkthroughScript(), ""), kWholeGame);
    EXPECT_EQ(ErrorOutput().find("timed out"), std::string::npos) << ErrorOutput();
    for (const char* name :
         {"gatehouse", "map1", "story", "observatory", "map2", "crypt", "credits"})
        ExpectMatchesGolden(Shot(name), std::string("walkthrough_") + name + ".png");
    // The menu's greeting after the credits.
    ExpectMatchesGolden(Crop(Shot("menu"), 100, 196, 600, 36), "front_greeting.png");

    const std::string prefs = DumpPrefs(UserFile("prefs.dat"));
    const std::smatch record = PlayerRecord(prefs);
    ASSERT_FALSE(record.empty()) << prefs;
    EXPECT_EQ(record[3].str(), "03") << "past the last location";
    EXPECT_EQ(record[2].str(), "ff 3f 00 00 ") << "the twelve prompts and both boards' help";
    const uint32_t score = Score(record[1].str());
    EXPECT_GT(score, 60000u) << "the play time of three locations, in milliseconds";
    // One row, in the game's one mode, holding the play time the record holds.
    EXPECT_EQ(DumpHiscores(UserFile("hiscore.dat"), &code), "mode \"Adventure\" rank 1 score " +
                                                                std::to_string(score) +
                                                                " name \"Ann\" gamedata \"\"\n");
    EXPECT_EQ(code, 0);
}

// The game quit in the Observatory (Escape, "Yes") after the candle was found and set on the desk;
// the next start's "Play" takes the location up there, the candle gone from its place and the desk
// lit, and the rest of the play-through goes on to the credits from there.
TEST_F(WalkthroughTest, AGameQuitInTheObservatoryIsTakenUpThereAndPlayedToTheEnd)
{
    // A player whose record stands at the Observatory, as the first journey and the cut-scene
    // leave it (the play-through above plays the way there).
    const fs::path game = CopyGame("content");
    WriteFile(game / "assets/scripts/make.lua",
              "CreateNewUser('Ann')\nSetCurrentLocation(1)\nSaveProfile()\n");
    int code = -1;
    RunTraced(game, "wait 5\nclose\n", "start=scripts/make.lua", code);
    ASSERT_EQ(code, 0);
    const std::string play = "focus gained\nawait menu\nwait 40\n" + ClickLine(menupoints::kPlay) +
                             "await \"location 1\"\nwait 200\n";
    const std::string quit = "key 27\nawait quitverify\nwait 40\nclick 400 306\n";
    mEndLimitMs = kPlayThroughLimitMs;
    mErrorFile = mRoot / "errors.txt";
    EXPECT_EQ(
        RunClean(game, play + "shot arrived\n" + WalkthroughScript("observatory", "scroll") + quit,
                 "start=scripts/mainmenu.lua"),
        (Traces{"start", "menu Ann", "profile Ann", "record 0 1", "location 1", "quitverify"}));

    EXPECT_EQ(RunClean(game, play + "shot restored\n" + WalkthroughScript("scroll"),
                       "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu Ann", "profile Ann", "record 3 1", "location 1", "complete 1",
                      "map", "location 2", "complete 2", "credits", "quitverify"}));
    EXPECT_EQ(ErrorOutput().find("timed out"), std::string::npos) << ErrorOutput();
    // Restored as it was left: the candle burning on the desk, not back where it was found.
    ExpectMatchesGolden(Crop(Shot("restored"), 180, 220, 240, 240),
                        "walkthrough_restored_desk.png");
    ExpectMatchesGolden(Crop(Shot("restored"), 560, 360, 160, 140),
                        "walkthrough_observatory_candle_gone.png");
    EXPECT_FALSE(Shot("arrived").mPixels == Shot("restored").mPixels);
    const std::string prefs = DumpPrefs(UserFile("prefs.dat"));
    const std::smatch record = PlayerRecord(prefs);
    ASSERT_FALSE(record.empty()) << prefs;
    EXPECT_EQ(record[3].str(), "03");
}

// An await whose line comes lets the script go on; one whose line never comes ends the run at
// once with its line on standard error, the program closing as on any close request.
TEST_F(WalkthroughTest, AnAwaitThatTimesOutEndsTheRun)
{
    mErrorFile = mRoot / "errors.txt";
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nawait menu\nshot seen\nawait \"location 9\" 60\n"
                       "await bad extra words\nshot never\n",
                       "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu"}));
    EXPECT_TRUE(fs::exists(mRoot / "seen.png"));
    EXPECT_FALSE(fs::exists(mRoot / "never.png"));
    EXPECT_NE(ErrorOutput().find(":5: \"await\" takes a text and an optional count of polls; line "
                                 "skipped\ninput script: await location 9 timed out\n"),
              std::string::npos)
        << ErrorOutput();
}

} // namespace
