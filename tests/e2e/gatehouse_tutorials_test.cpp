// End-to-end runs of the Gatehouse entered from the menu by a new player, who meets its tutorial
// prompts: the first run follows them from the first key half to the journal, the second, after
// "Play", answers the two medallions' prompts and plays the location to its end on the map. The
// player's record keeps the prompts' bits between the runs.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "e2e/hint_board_test_support.h"

namespace gatehouse_tutorials_test
{
namespace
{
using namespace hinte2e;

// From the menu: "Play", the name dialog, "Ann", "OK": the first location opens.
const std::string kNewProfile = "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) +
                                "wait 60\ntext Ann\n"
                                "wait 10\nclick 400 276\nwait 80\n";

using GatehouseTutorialsTest = HintBoardTest;

TEST_F(GatehouseTutorialsTest, ANewPlayerIsLedThroughThePromptsAndPlaysOnToTheEnd)
{
    // Run 1: the greeting's two lines, then each prompt answered where it points.
    const std::string first =
        kNewProfile + Click(kNowhere, 70) + Click(kNowhere, 70) + Click(kNowhere, 150) +
        "shot item\n" + Click("300 420", 6) + "shot nudged\nwait 40\n" + // a stray click
        Click(kKeyHalf2, 150) +                                          // "tutorial_item"
        Click(kThessalorTracker, 80) +                                   // "tutorial_hint"
        Click(kStripOne, 250) +                                          // "tutorial_hintselect"
        Click(kKeyHalf1, 200) +                                          // "tutorial_itemtwo"
        Click(kStripOne, 40) +                                           // "tutorial_inventory"
        "move " + kDoor + "\nwait 20\nshot held\n" + Click(kDoor, 200) + // "tutorial_solve"
        Click(kDoor, 200) +                                              // "tutorial_portal"
        Click(kLiraeTracker, 200) +                                      // "tutorial_hintlirae"
        Click(kStripOilcan, 250) +                          // "tutorial_hintselectlirae"
        Click(kNowhere, 120) + "shot journal\n" +           // the hint ends
        Click(kJournalButton, 80) + "shot opened\nclose\n"; // "tutorial_openjournal"
    EXPECT_EQ(RunClean(mRepository, first, "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu", "profile Ann", "record 0 0", "location 0"}));
    ExpectMatchesGolden(Shot("item"), "gatehouse_tutorial_item.png");
    // A click the prompt does not ask for is held, and the prompt says so: it blinks (its box
    // half faded six frames on) and the miss sounds.
    const Picture still = Crop(Shot("item"), 40, 30, 300, 100);
    const Picture blinked = Crop(Shot("nudged"), 40, 30, 300, 100);
    long change = 0;
    for (size_t i = 0; i < still.mPixels.size(); ++i)
        change += std::abs(int(still.mPixels[i]) - int(blinked.mPixels[i]));
    EXPECT_GT(change / long(still.mPixels.size()), 12) << "the prompt did not blink";
    // The key carried over the door shows through the pointer and beside the arrow.
    ExpectMatchesGolden(Crop(Shot("held"), 500, 220, 120, 90), "gatehouse_held_key.png");
    ExpectMatchesGolden(Shot("journal"), "gatehouse_tutorial_openjournal.png");
    // The journal opened over the hall.
    EXPECT_NE(At(Shot("journal"), 400, 300), At(Shot("opened"), 400, 300));
    // Prompts 0 to 9 seen.
    EXPECT_EQ(TutorialFlags(), "ff 03 00 00");

    // Run 2: "Play" resumes the location; each character's medallion holds one hint, so their
    // prompts come, and a click on the medallion answers each. The copy played holds no hint
    // windows, so a medallion's prompt ends at the click instead of opening the character's board.
    // Then the storeroom's two objects, the lock, the wick, and the lamp, as the location's own
    // runs.
    const fs::path game = CopyEdited("scripts/locations/common.lua",
                                     "ReadFile\\(\"scripts/hint(lirae|thessalor)\\.lua\"\\)\\(\\),",
                                     "", "windowless");
    const auto use = [](const char* strip, const char* area)
    { return Click(strip, 5) + Click(area, 90); };
    const std::string second =
        "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) + "wait 150\nshot lirae\n" +
        Click(kLiraeMedallion, 60) + "shot thessalor\n" + Click(kThessalorMedallion, 60) +
        Click("210 390", 120) + Click("470 180", 120) + Click("640 250", 120) +
        // The lock: its four corners, then its centre.
        Click("320 200", 70) + Click("480 200", 70) + Click("320 360", 70) + Click("480 360", 70) +
        Click("400 280", 150) + Click("640 260", 120) + Click("30 300", 120) +
        use(kStripOne, "330 330") + use("446 550", "330 282") + use(kStripOne, "330 246") +
        "wait 20\nshot lit\nwait 400\nclose\n";
    EXPECT_EQ(RunClean(game, second, "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu Ann", "profile Ann", "record 3 0", "location 0", "complete 0",
                      "map"}));
    EXPECT_NE(At(Shot("lirae"), 630, 80), At(Shot("thessalor"), 630, 80)) << "a prompt moved";
    EXPECT_EQ(TutorialFlags(), "ff 0f 00 00");
    // Everything played on to the lamp: its flame burns before the location ends on the map.
    const std::vector<int> flame = At(Shot("lit"), 330, 232);
    ASSERT_EQ(flame.size(), 3u);
    EXPECT_GT(flame[2], 240);
}

} // namespace

} // namespace gatehouse_tutorials_test
