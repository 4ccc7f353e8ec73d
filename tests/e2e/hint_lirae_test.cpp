// End-to-end runs of Lirae's board in the Gatehouse's storeroom, once her tracker was spent on the
// oil can: her medallion opens the board with its help dialog the first time only, the help
// button shows it again, the exit button ends the board and play goes on; left alone, the time
// runs out into the fail dialog. On a copy whose glyphs rest at the circle's centre, clicks there
// match every token, the finale shows and the medallion's hint comes back. Paused under its help
// (a lost focus, the HUD's pause button), the board keeps its whole time for after "OK".
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "e2e/hint_board_test_support.h"

namespace hint_lirae_test
{
namespace
{
using namespace hinte2e;

// The board's help button and the glyphs' circle centre.
constexpr const char* kHelpButton = "726 32";
constexpr const char* kCentre = "400 240";

class HintLiraeTest : public HintBoardTest
{
protected:
    // A copy whose Gatehouse comes without its prompts; `hint` edits Lirae's board script.
    fs::path Unprompted(const std::string& name,
                        const std::function<std::string(const std::string&)>& hint = nullptr)
    {
        return CopyUnprompted(name, "hintlirae.lua", hint);
    }
    // A new player through the hall into the storeroom, where Lirae's tracker is spent on the oil
    // can and the can found: her medallion has a hint to earn again.
    static std::string ToTheSpentTracker()
    {
        return kNewPlayer + Click(kNowhere, 70) + Click(kNowhere, 70) + Click(kNowhere, 150) +
               Click(kKeyHalf2, 120) + Click(kKeyHalf1, 150) + Click(kStripOne, 5) +
               Click(kDoor, 120) + Click(kDoor, 120) + "shot storeroom\n" +
               Click(kLiraeTracker, 150) + Click(kStripOilcan, 160) + Click(kOilcan, 150) +
               "shot spent\n";
    }
};

TEST_F(HintLiraeTest, MedallionOpensTheBoardWithItsHelpOnceExitResumesAndTimeRunsOut)
{
    const fs::path game = Unprompted("content");
    const std::string script = ToTheSpentTracker() + Click(kLiraeMedallion, 60) + "shot help\n" +
                               Click(kBoardOk, 40) + "shot board\n" + Click(kHelpButton, 40) +
                               "shot helpagain\n" + Click(kBoardOk, 40) + Click(kBoardExit, 60) +
                               "shot resumed\n" + Click(kLampGlass, 150) + "shot played\n" +
                               // Again, no help now: 20 s of the board's time (1250 steps) run out.
                               Click(kLiraeMedallion, 60) + "shot again\nwait 1260\nshot fail\n" +
                               Click(kBoardOk, 60) + "shot failed\nclose\n";
    const Traces traces = RunClean(game, script, "start=scripts/mainmenu.lua");
    EXPECT_NE(std::find(traces.begin(), traces.end(), "location 0"), traces.end());
    // The board over the grey storeroom with the help dialog in its middle, then the board with
    // its glyphs drifting over the ghost view; the help button brings the dialog back.
    ExpectMatchesGolden(Shot("help"), "hint_lirae_help.png");
    // Its text, and the fail dialog's, stand out from the dialog's face (WCAG's 4.5:1).
    EXPECT_GE(TextContrast(Shot("help"), 264, 182, 250, 60), 4.5);
    ExpectMatchesGolden(Shot("board"), "hint_lirae_storeroom_board.png");
    EXPECT_NE(At(Shot("help"), 400, 240), At(Shot("board"), 400, 240));
    EXPECT_GT(Alike(Shot("help"), Shot("helpagain")), 80.0);
    // Exit: the storeroom as it was, and it plays on (the lamp glass found).
    EXPECT_GT(Alike(Shot("spent"), Shot("resumed")), 90.0);
    EXPECT_NE(At(Shot("resumed"), 470, 180), At(Shot("played"), 470, 180));
    // The second board has no help dialog; at the time's end the fail dialog, whose arrow ends it.
    EXPECT_LT(Alike(Shot("help"), Shot("again")), Alike(Shot("help"), Shot("helpagain")));
    ExpectMatchesGolden(Shot("fail"), "hint_lirae_fail.png");
    EXPECT_GE(TextContrast(Shot("fail"), 264, 182, 250, 60), 4.5);
    EXPECT_GT(Alike(Shot("played"), Shot("failed")), 90.0);
    // The board's help seen: bit 12 of the player's prompts.
    const std::string flags = TutorialFlags();
    ASSERT_EQ(flags.size(), 11u) << flags;
    EXPECT_EQ(std::stoi(flags.substr(3, 2), nullptr, 16) & 0x10, 0x10) << flags;
}

TEST_F(HintLiraeTest, GlyphsRestingAtTheCentreAreAllMatchedAndTheHintComesBack)
{
    // The glyphs drift nowhere: each rests at the circle's centre, so a click there finds the
    // wanted one whichever it is.
    const fs::path game = Unprompted(
        "resting", [](const std::string& text)
        { return std::regex_replace(text, std::regex("maxdistance = 220"), "maxdistance = 0"); });
    const std::string script = ToTheSpentTracker() + Click(kLiraeMedallion, 60) +
                               Click(kBoardOk, 60) + Click(kCentre, 20) + Click(kCentre, 20) +
                               Click(kCentre, 40) + "shot finale\nwait 260\nshot back\nclose\n";
    RunClean(game, script, "start=scripts/mainmenu.lua");
    // The finale's words over the board; then the storeroom with the medallion's tracker filled
    // as before it was spent.
    EXPECT_LT(Alike(Shot("finale"), Shot("spent")), 80.0);
    EXPECT_GT(Alike(Shot("spent"), Shot("back")), 85.0);
    EXPECT_NE(At(Shot("storeroom"), 690, 528), At(Shot("spent"), 690, 528));
    EXPECT_EQ(At(Shot("storeroom"), 690, 528), At(Shot("back"), 690, 528));
}

// The help read for some 5 s after two pauses, on a copy whose board has 4 s: its time starts at
// "OK", and it runs out into the fail dialog, whose arrow gives the storeroom back.
TEST_F(HintLiraeTest, PausedUnderItsHelpTheBoardKeepsItsTimeUntilOk)
{
    const fs::path game =
        Unprompted("shorter",
                   [](const std::string& text)
                   {
                       return std::regex_replace(text, std::regex("minigamelength = 20000"),
                                                 "minigamelength = 4000");
                   });
    const std::string script = ToTheSpentTracker() + Click(kLiraeMedallion, 60) + PausedBothWays() +
                               "wait 320\n" + Click(kBoardOk, 40) +
                               "wait 120\nshot running\nwait 160\n" + Click(kBoardOk, 60) +
                               "shot failed\nclose\n";
    const Traces traces = RunClean(game, script, "start=scripts/mainmenu.lua");
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "pause"), 2);
    // The board's token tray still over the storeroom 2 s after "OK".
    EXPECT_NE(At(Shot("running"), 300, 430), At(Shot("spent"), 300, 430))
        << "the board ended early";
    EXPECT_GT(Alike(Shot("spent"), Shot("failed")), 90.0) << "the board's time did not run out";
}

} // namespace

} // namespace hint_lirae_test
