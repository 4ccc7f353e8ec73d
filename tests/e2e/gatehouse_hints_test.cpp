// End-to-end runs of the hints in the Gatehouse: a tracker of Thessalor's medallion spent on the
// key in the strip shows its rays over the grey hall with the missing half in colour; one of
// Lirae's spent on the oil can in the storeroom shows her spotlight on it; each hinted object is
// then found by a click. The player's record keeps one tracker of each medallion spent. A tracker
// clicked while a half just found fades away offers no hint on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace gatehouse_hints_test
{
namespace
{
using namespace e2etest;

class GatehouseHintsTest : public ScreenProgramTest
{
protected:
    static std::string Click(const char* point) { return std::string("click ") + point + "\n"; }
    static std::string PastTheGreeting()
    {
        return Click(kNowhere) + "wait 70\n" + Click(kNowhere) + "wait 70\n" + Click(kNowhere) +
               "wait 150\n";
    }
    // A tracker clicked; once the strip shows the objects a hint can be asked for, one of them is
    // picked and the token flies over it to the hinted thing, where the overlay fades in.
    static std::string Hint(const char* tracker, const char* object, const std::string& shots)
    {
        return Click(tracker) + "wait 150\n" + shots + "move " + object + "\nwait 5\n" +
               Click(object) + "wait 160\n";
    }
    // From the hall with one key half found: a Thessalor hint onto the other, found; the key on
    // the door, through it; a Lirae hint onto the oil can, found. `shot` names the shots taken.
    static std::string BothHints(bool shots)
    {
        const auto shot = [shots](const char* name)
        { return shots ? std::string("shot ") + name + "\n" : std::string(); };
        return Click(kKeyHalf2) + "wait 120\n" + shot("hall") +
               Hint(kThessalorTracker, kStripOne, shot("choose")) + shot("rays") +
               Click(kKeyHalf1) + "wait 150\n" + shot("found") + Click(kStripOne) +
               "wait 5\nmove " + kDoor + "\nwait 5\n" + Click(kDoor) + "wait 120\n" + Click(kDoor) +
               "wait 120\n" + shot("storeroom") + Hint(kLiraeTracker, kStripOilcan, "") +
               shot("spotlight") + Click(kOilcan) + "wait 150\n" + shot("oil");
    }
};

TEST_F(GatehouseHintsTest, EachMedallionsHintLeadsToItsObject)
{
    const std::string script =
        "focus gained\nwait 60\n" + PastTheGreeting() + BothHints(true) + "close\n";
    EXPECT_EQ(RunClean(mRepository, script, "start=scripts/dev/gatehouse.lua"), Traces{"start"});
    // Picking: the strip holds the key alone, Thessalor's first tracker taken from the HUD.
    EXPECT_NE(At(Shot("hall"), 110, 528), At(Shot("choose"), 110, 528));
    // Thessalor's rays: the hall grey (the wooden door), the missing half in its colour.
    ExpectMatchesGolden(Shot("rays"), "gatehouse_hint_thessalor.png");
    EXPECT_FALSE(Grey(At(Shot("hall"), 550, 300), 20));
    EXPECT_TRUE(Grey(At(Shot("rays"), 550, 300), 16)) << "the door under the grey picture";
    const std::vector<int> half = At(Shot("rays"), 612, 410);
    EXPECT_GT(half[2], half[0] + 60) << "the brass half keeps its colour";
    // Clicked, the half joins the key in the strip and the hall is in colour again.
    EXPECT_NE(At(Shot("rays"), 612, 410), At(Shot("found"), 612, 410));
    EXPECT_FALSE(Grey(At(Shot("found"), 550, 300), 20));
    EXPECT_NE(At(Shot("found"), 110, 528), At(Shot("hall"), 110, 528)) << "spent, not back";
    // Lirae's spotlight: the storeroom grey and the oil can rust-brown inside the light.
    ExpectMatchesGolden(Shot("spotlight"), "gatehouse_hint_lirae.png");
    EXPECT_FALSE(Grey(At(Shot("storeroom"), 640, 250), 20));
    EXPECT_TRUE(Grey(At(Shot("spotlight"), 640, 250), 16)) << "the cabinet outside the light";
    const std::vector<int> can = At(Shot("spotlight"), 205, 395);
    EXPECT_GT(can[2], can[0] + 30);
    EXPECT_NE(At(Shot("storeroom"), 690, 528), At(Shot("spotlight"), 690, 528));
    // Clicked, the oil can leaves its shelf for the strip, its silhouette there in colour.
    EXPECT_NE(At(Shot("spotlight"), 205, 395), At(Shot("oil"), 205, 395));
    EXPECT_NE(At(Shot("storeroom"), 300, 550), At(Shot("oil"), 300, 550));
    EXPECT_FALSE(Grey(At(Shot("oil"), 640, 250), 20));
}

// Both halves found, Thessalor's tracker clicked while the second fades away (it has arrived, so
// the click is taken): the key has nothing left to find, so the tracker answers there is none and
// stays unspent, and the clicks on the strip after it are play as usual. In the first location's
// prompts, the tracker clicked while the first half fades offers the key, whose hint shows the
// other half in Thessalor's rays. Nothing is logged either way.
TEST_F(GatehouseHintsTest, ATrackerClickedWhileAFoundHalfFadesOffersNoHintOnIt)
{
    const std::string picks = "wait 100\nmove " + std::string(kStripOne) + "\nwait 3\n" +
                              Click(kStripOne) + "wait 100\n" + Click(kStripOne);
    const std::string whole = "focus gained\nwait 60\n" + PastTheGreeting() + Click(kKeyHalf2) +
                              "wait 120\nshot halves\n" + Click(kKeyHalf1) + "wait 80\nmove " +
                              kThessalorTracker + "\nwait 3\n" + Click(kThessalorTracker) + picks +
                              "wait 200\nshot whole\nclose\n";
    EXPECT_EQ(RunClean(mRepository, whole, "start=scripts/dev/gatehouse.lua"), Traces{"start"});
    EXPECT_EQ(At(Shot("halves"), 110, 528), At(Shot("whole"), 110, 528))
        << "Thessalor's tracker is not spent";

    // The play-through's way in and its prompts up to the key picked in the strip, the tracker
    // clicked 80 frames after the half's click instead of 150 (and the strip given 100 frames
    // instead of 80 to raise the key, as the prompt then still fades in).
    std::string prompted = WalkthroughScript("gatehouse", "journey");
    prompted = prompted.substr(0, prompted.find("# \"tutorial_itemtwo\""));
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"click 150 300\nwait 150\n",
                                                                       "click 150 300\nwait 80\n"},
                                   {"click 110 528\nwait 80\n", "click 110 528\nwait 100\n"}})
    {
        ASSERT_NE(prompted.find(from), std::string::npos) << from;
        prompted.replace(prompted.find(from), from.size(), to);
    }
    prompted = "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) +
               "wait 60\ntext Ann\nwait 10\nclick 400 276\nawait \"location 0\"\nwait 80\n" +
               prompted + "shot prompted\nclose\n";
    RunClean(mRepository, prompted, "start=scripts/mainmenu.lua");
    // The door above the prompt, which covers its middle.
    EXPECT_TRUE(Grey(At(Shot("prompted"), 540, 180), 16)) << "the hall under Thessalor's rays";
    const std::vector<int> half = At(Shot("prompted"), 612, 410);
    EXPECT_GT(half[2], half[0] + 60) << "the other half in its colour";
}

// A player's location keeps its HUD in the record: closed after both hints, the two medallions'
// masks hold their second trackers only (0b10 each: Lirae's, then Thessalor's).
TEST_F(GatehouseHintsTest, ThePlayersRecordKeepsTheSpentTrackers)
{
    // The copy's Gatehouse comes without its tutorial prompts: the run goes straight for the hints.
    const Traces traces = RunClean(CopyEdited(kGatehouseScript, kGatehousePrompts),
                                   kNewPlayer + PastTheGreeting() + BothHints(false) + "close\n",
                                   "start=scripts/mainmenu.lua");
    EXPECT_NE(std::find(traces.begin(), traces.end(), "location 0"), traces.end());
    // The location's record: four bytes, the active scene (the storeroom), the HUD's own two
    // bytes, then Lirae's and Thessalor's tracker masks.
    const std::string prefs = Prefs();
    std::smatch hud;
    ASSERT_TRUE(
        std::regex_search(prefs, hud,
                          std::regex("gamedata = hex (?:[0-9a-f]{2} ){4}01 [0-9a-f]{2} [0-9a-f]{2} "
                                     "([0-9a-f]{2}) ([0-9a-f]{2}) ")))
        << prefs;
    EXPECT_EQ(hud[1].str(), "02") << "Lirae's";
    EXPECT_EQ(hud[2].str(), "02") << "Thessalor's";
}

// A location without the hint selection's tool tip asks for its empty label at every frame while
// the strip offers the objects: the missing label is said once, not once a frame.
TEST_F(GatehouseHintsTest, ASelectionWithoutItsToolTipSaysTheMissingLabelOnce)
{
    const fs::path game =
        CopyEdited("scripts/locations/common.lua", "tooltiphintselect = \"tt_hint_select\", ");
    RunOk(game,
          "focus gained\nwait 60\n" + PastTheGreeting() + Click(kKeyHalf2) + "wait 120\n" +
              Click(kThessalorTracker) + "wait 300\nshot choose\nclose\n",
          "start=scripts/dev/gatehouse.lua");
    EXPECT_NE(At(Shot("choose"), 110, 528), std::vector<int>()) << "no picture";
    ExpectLogged(" ##### : Missing string for label ''", 1);
}
} // namespace

} // namespace gatehouse_hints_test
