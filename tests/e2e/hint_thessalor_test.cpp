// End-to-end runs of Thessalor's word game in the Gatehouse, entered from the menu by a new
// player on a copy without the tutorial prompts: once his medallion's tracker is spent on the key,
// a click on the medallion opens his board with its help dialog the first time; the exit button
// ends it and play goes on; the time running out brings the fail dialog. On a copy whose letters
// rest at the reading window's middle, clicks there fill every goal, the finale shows and the
// medallion's hint comes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;
using Traces = std::vector<std::string>;

// From the menu: "Play", the name dialog, "Ann", "OK": the first location opens.
constexpr const char* kNewProfile = "focus gained\nwait 40\nclick 400 272\nwait 60\ntext Ann\n"
                                    "wait 10\nclick 400 276\nwait 120\n";
// The screen points the content keeps for its tests.
constexpr const char* kNowhere = "400 120";
constexpr const char* kKeyHalf2 = "150 300";
constexpr const char* kKeyHalf1 = "612 410";
constexpr const char* kStripOne = "376 550";
constexpr const char* kThessalorTracker = "110 528";
constexpr const char* kThessalorMedallion = "50 550";
// On the board: the exit button, the dialogs' OK button and the reading window's middle.
constexpr const char* kExit = "770 32";
constexpr const char* kDialogOk = "534 254";
constexpr const char* kMiddle = "400 190";

class HintThessalorTest : public ScreenProgramTest
{
protected:
    Picture Shot(const std::string& name) const { return ReadPicture(mRoot / (name + ".png")); }
    // A pixel's blue, green, red.
    static std::vector<int> At(const Picture& picture, uint32_t x, uint32_t y)
    {
        if (picture.mWidth < 800)
            return std::vector<int>(3, -1);
        const size_t at = (size_t(y) * picture.mWidth + x) * 4;
        return std::vector<int>(picture.mPixels.begin() + static_cast<std::ptrdiff_t>(at),
                                picture.mPixels.begin() + static_cast<std::ptrdiff_t>(at) + 3);
    }
    static std::string Click(const char* point, int wait)
    {
        return std::string("move ") + point + "\nwait 3\nclick " + point + "\nwait " +
               std::to_string(wait) + "\n";
    }
    // A copy of the game whose Gatehouse has no prompts, with `from` replaced by `to` in
    // Thessalor's board.
    fs::path Copy(const std::string& name, const std::string& from, const std::string& to)
    {
        const fs::path game = CopyGame(name);
        const fs::path location = game / "assets/scripts/locations/gatehouse.lua";
        WriteFile(location,
                  std::regex_replace(ReadFile(location),
                                     std::regex("tutorials = TutorialTable\\(true\\),"), ""));
        const fs::path board = game / "assets/scripts/hintthessalor.lua";
        const std::string text = ReadFile(board);
        EXPECT_NE(text.find(from), std::string::npos) << from;
        WriteFile(board, std::regex_replace(text, std::regex(from), to));
        return game;
    }
    // A new player past Odo's greeting finds one key half, spends Thessalor's first tracker on
    // the key in the strip and finds the other half: the medallion has a hint to earn back.
    static std::string TrackerSpent()
    {
        return std::string(kNewProfile) + Click(kNowhere, 30) + Click(kNowhere, 150) +
               Click(kKeyHalf2, 120) + Click(kThessalorTracker, 150) + "move " + kStripOne +
               "\nwait 5\n" + Click(kStripOne, 160) + Click(kKeyHalf1, 150) + "shot spent\n";
    }
    std::string TutorialFlags() const
    {
        std::smatch found;
        const std::string prefs = DumpPrefs(mRoot / "data/Tovrix/Murkwell/prefs.dat");
        if (!std::regex_search(prefs, found,
                               std::regex("playerdata = hex (?:[0-9a-f]{2} ){4}((?:[0-9a-f]{2} "
                                          "){3}[0-9a-f]{2})")))
            return prefs;
        return found[1].str();
    }
};

TEST_F(HintThessalorTest, TheMedallionOpensTheBoardTheExitLeavesItAndTheTimeRunsOut)
{
    // The timer's 20 s shortened to 4 s for the time-out.
    const fs::path game = Copy("shorter", "minigamelength = 20000", "minigamelength = 4000");
    const std::string script = TrackerSpent() + Click(kThessalorMedallion, 60) + "shot help\n" +
                               Click(kDialogOk, 60) + "shot board\n" + Click(kExit, 60) +
                               "shot resumed\n" + Click(kThessalorMedallion, 380) + "shot fail\n" +
                               Click(kDialogOk, 60) + "shot after\nclose\n";
    int code = -1;
    const Traces traces = RunTraced(game, script, "start=scripts/mainmenu.lua", code);
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    EXPECT_NE(std::find(traces.begin(), traces.end(), "location 0"), traces.end());
    // The goldens leave out the reading window: its mask overlay holds a copy of an earlier frame.
    ExpectMatchesGolden(Crop(Shot("help"), 258, 172, 288, 62), "gatehouse_thessalor_help.png");
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
                               Click(kDialogOk, 40) + Click(kMiddle, 10) + Click(kMiddle, 10) +
                               Click(kMiddle, 40) + "shot finale\nwait 150\nshot back\nclose\n";
    int code = -1;
    RunTraced(game, script, "start=scripts/mainmenu.lua", code);
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    ExpectMatchesGolden(Crop(Shot("finale"), 100, 256, 600, 234), "gatehouse_thessalor_finale.png");
    // The tracker spent on the key is back on the HUD.
    EXPECT_NE(At(Shot("back"), 110, 528), At(Shot("spent"), 110, 528));
}

} // namespace
