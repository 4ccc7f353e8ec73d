// End-to-end runs of Thessalor's word game in the Gatehouse, entered from the menu by a new
// player on a copy without the tutorial prompts: once his medallion's tracker is spent on the key,
// a click on the medallion opens his board with its help dialog the first time; the exit button
// ends it and play goes on; the time running out brings the fail dialog. On a copy whose letters
// rest at the reading window's middle, clicks there fill every goal, the finale shows and the
// medallion's hint comes back. Paused under its help (a lost focus, the HUD's pause button), the
// board's letters and timer start at "OK".
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "e2e/hint_board_test_support.h"

namespace hint_thessalor_test
{
namespace
{
using namespace hinte2e;

// The board's reading window's middle.
constexpr const char* kMiddle = "400 190";

class HintThessalorTest : public HintBoardTest
{
protected:
    // A copy of the game whose Gatehouse has no prompts, with `from` replaced by `to` in
    // Thessalor's board.
    fs::path Copy(const std::string& name, const std::string& from, const std::string& to)
    {
        return CopyUnprompted(name, "hintthessalor.lua",
                              [&](const std::string& text)
                              {
                                  EXPECT_NE(text.find(from), std::string::npos) << from;
                                  return std::regex_replace(text, std::regex(from), to);
                              });
    }
    // A new player past Odo's greeting finds one key half, spends Thessalor's first tracker on
    // the key in the strip and finds the other half: the medallion has a hint to earn back.
    static std::string TrackerSpent()
    {
        return kNewPlayer + Click(kNowhere, 70) + Click(kNowhere, 70) + Click(kNowhere, 150) +
               Click(kKeyHalf2, 120) + Click(kThessalorTracker, 150) + "move " + kStripOne +
               "\nwait 5\n" + Click(kStripOne, 160) + Click(kKeyHalf1, 150) + "shot spent\n";
    }
};

TEST_F(HintThessalorTest, TheMedallionOpensTheBoardTheExitLeavesItAndTheTimeRunsOut)
{
    // The timer's 20 s shortened to 4 s for the time-out.
    const fs::path game = Copy("shorter", "minigamelength = 20000", "minigamelength = 4000");
    const std::string script = TrackerSpent() + Click(kThessalorMedallion, 60) + "shot help\n" +
                               Click(kBoardOk, 60) + "shot board\n" + Click(kBoardExit, 60) +
                               "shot resumed\n" + Click(kThessalorMedallion, 380) + "shot fail\n" +
                               Click(kBoardOk, 60) + "shot after\nclose\n";
    const Traces traces = RunClean(game, script, "start=scripts/mainmenu.lua");
    EXPECT_NE(std::find(traces.begin(), traces.end(), "location 0"), traces.end());
    // The goldens leave out the reading window: its mask overlay holds a copy of an earlier frame.
    ExpectMatchesGolden(Crop(Shot("help"), 258, 172, 288, 62), "gatehouse_thessalor_help.png");
    EXPECT_GE(TextContrast(Shot("help"), 264, 182, 250, 50), 4.5); // WCAG's figure for text
    ExpectMatchesGolden(Crop(Shot("board"), 100, 256, 600, 234), "gatehouse_thessalor_board.png");
    // The exit: the hall as it was before the board, the medallion's hint still to earn.
    EXPECT_EQ(At(Shot("resumed"), 300, 100), At(Shot("spent"), 300, 100));
    EXPECT_NE(At(Shot("resumed"), 400, 420), At(Shot("board"), 400, 420));
    // The time-out: the fail dialog over the board, closed by its button.
    EXPECT_NE(At(Shot("fail"), 400, 230), At(Shot("board"), 400, 230));
    EXPECT_EQ(At(Shot("after"), 300, 100), At(Shot("spent"), 300, 100));
    // The board's help is the player's tutorial 13, and no prompt of the copy's set another.
    EXPECT_EQ(TutorialFlags(), "00 20 00 00");
}

TEST_F(HintThessalorTest, LettersCaughtInTheMiddleFillEveryGoalAndTheHintComesBack)
{
    // The letters rest at the reading window's middle: each click there fills a goal.
    const fs::path game = Copy("resting", "maxdistance = 260", "maxdistance = 0");
    const std::string script = TrackerSpent() + Click(kThessalorMedallion, 60) +
                               Click(kBoardOk, 40) + Click(kMiddle, 10) + Click(kMiddle, 10) +
                               Click(kMiddle, 40) + "shot finale\nwait 150\nshot back\nclose\n";
    RunClean(game, script, "start=scripts/mainmenu.lua");
    ExpectMatchesGolden(Crop(Shot("finale"), 100, 256, 600, 234), "gatehouse_thessalor_finale.png");
    // The tracker spent on the key is back on the HUD.
    EXPECT_NE(At(Shot("back"), 110, 528), At(Shot("spent"), 110, 528));
}

// The letters fade in and drift after "OK", the hand turns, and the 4 s run out into the fail
// dialog, whose button gives the hall back.
TEST_F(HintThessalorTest, PausedUnderItsHelpTheBoardStartsAtOk)
{
    const fs::path game = Copy("shorter", "minigamelength = 20000", "minigamelength = 4000");
    const std::string script = TrackerSpent() + Click(kThessalorMedallion, 60) + PausedBothWays() +
                               "wait 400\n" + Click(kBoardOk, 60) +
                               "shot board\nwait 60\nshot drifted\nwait 300\nshot fail\n" +
                               Click(kBoardOk, 60) + "shot after\nclose\n";
    const Traces traces = RunClean(game, script, "start=scripts/mainmenu.lua");
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "pause"), 2);
    EXPECT_LT(
        Alike(Crop(Shot("board"), 100, 80, 600, 380), Crop(Shot("drifted"), 100, 80, 600, 380)),
        99.0);
    EXPECT_NE(At(Shot("fail"), 400, 230), At(Shot("board"), 400, 230));
    EXPECT_EQ(At(Shot("after"), 300, 100), At(Shot("spent"), 300, 100));
}

} // namespace

} // namespace hint_thessalor_test
