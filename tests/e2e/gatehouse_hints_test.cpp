// End-to-end runs of the hints in the Gatehouse: a tracker of Thessalor's medallion spent on the
// key in the strip shows its rays over the grey hall with the missing half in colour; one of
// Lirae's spent on the oil can in the storeroom shows her spotlight on it; each hinted object is
// then found by a click. The player's record keeps one tracker of each medallion spent.
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

// The screen points the content keeps for its tests (the art keeps them solid).
constexpr const char* kNowhere = "400 120";
constexpr const char* kKeyHalf2 = "150 300";
constexpr const char* kKeyHalf1 = "612 410";
constexpr const char* kStripOne = "376 550";
constexpr const char* kDoor = "550 270";
constexpr const char* kOilcan = "210 390";
// The HUD's first trackers: Thessalor's left of the strip, Lirae's right of it.
constexpr const char* kThessalorTracker = "110 528";
constexpr const char* kLiraeTracker = "690 528";
// The oil can's place in the strip once the door is open.
constexpr const char* kStripOilcan = "305 550";

class GatehouseHintsTest : public ScreenProgramTest
{
protected:
    // Channels at most `spread` apart: a grey pixel.
    static bool Grey(const std::vector<int>& pixel, int spread)
    {
        return std::max({pixel[0], pixel[1], pixel[2]}) -
                   std::min({pixel[0], pixel[1], pixel[2]}) <=
               spread;
    }
    static std::string Click(const char* point) { return std::string("click ") + point + "\n"; }
    static std::string PastTheGreeting()
    {
        return Click(kNowhere) + "wait 30\n" + Click(kNowhere) + "wait 150\n";
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
    int code = -1;
    const std::string script =
        "focus gained\nwait 60\n" + PastTheGreeting() + BothHints(true) + "close\n";
    EXPECT_EQ(RunTraced(mRepository, script, "start=scripts/dev/gatehouse.lua", code),
              Traces{"start"});
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
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
    // Lirae's spotlight: the storeroom grey and the oil can red inside the light.
    ExpectMatchesGolden(Shot("spotlight"), "gatehouse_hint_lirae.png");
    EXPECT_FALSE(Grey(At(Shot("storeroom"), 640, 250), 20));
    EXPECT_TRUE(Grey(At(Shot("spotlight"), 640, 250), 16)) << "the cabinet outside the light";
    const std::vector<int> can = At(Shot("spotlight"), 205, 395);
    EXPECT_GT(can[2], can[0] + 60);
    EXPECT_NE(At(Shot("storeroom"), 690, 528), At(Shot("spotlight"), 690, 528));
    // Clicked, the oil can leaves its shelf for the strip, its silhouette there in colour.
    EXPECT_NE(At(Shot("spotlight"), 205, 395), At(Shot("oil"), 205, 395));
    EXPECT_NE(At(Shot("storeroom"), 300, 550), At(Shot("oil"), 300, 550));
    EXPECT_FALSE(Grey(At(Shot("oil"), 640, 250), 20));
}

// A player's location keeps its HUD in the record: closed after both hints, the two medallions'
// masks hold their second trackers only (0b10 each: Lirae's, then Thessalor's).
TEST_F(GatehouseHintsTest, ThePlayersRecordKeepsTheSpentTrackers)
{
    // The copy's Gatehouse comes without its tutorial prompts: the run goes straight for the hints.
    const fs::path game = CopyGame("content");
    const fs::path location = game / "assets/scripts/locations/gatehouse.lua";
    WriteFile(location, std::regex_replace(ReadFile(location),
                                           std::regex("tutorials = TutorialTable\\(true\\),"), ""));
    const std::string script =
        "focus gained\nwait 40\nclick 400 272\nwait 60\ntext Ann\nwait 10\nclick 400 276\n"
        "wait 120\n" +
        PastTheGreeting() + BothHints(false) + "close\n";
    int code = -1;
    const Traces traces = RunTraced(game, script, "start=scripts/mainmenu.lua", code);
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    EXPECT_NE(std::find(traces.begin(), traces.end(), "location 0"), traces.end());
    // The location's record: four bytes, the active scene (the storeroom), the HUD's own two
    // bytes, then Lirae's and Thessalor's tracker masks.
    const std::string prefs = DumpPrefs(mRoot / "data/Tovrix/Murkwell/prefs.dat");
    std::smatch hud;
    ASSERT_TRUE(
        std::regex_search(prefs, hud,
                          std::regex("gamedata = hex (?:[0-9a-f]{2} ){4}01 [0-9a-f]{2} [0-9a-f]{2} "
                                     "([0-9a-f]{2}) ([0-9a-f]{2}) ")))
        << prefs;
    EXPECT_EQ(hud[1].str(), "02") << "Lirae's";
    EXPECT_EQ(hud[2].str(), "02") << "Thessalor's";
}
} // namespace
