// End-to-end runs of the Gatehouse entered from the menu by a new player, who meets its tutorial
// prompts: the first run follows them from the first key half to the journal, the second, after
// "Play", answers the two medallions' prompts and plays the location to its end on the map. The
// player's record keeps the prompts' bits between the runs.
#include <gtest/gtest.h>

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
                                    "wait 10\nclick 400 276\nwait 80\n";
// The screen points the content keeps for its tests.
constexpr const char* kNowhere = "400 120";
constexpr const char* kKeyHalf2 = "150 300";
constexpr const char* kKeyHalf1 = "612 410";
constexpr const char* kStripOne = "376 550";
constexpr const char* kDoor = "550 270";
constexpr const char* kThessalorTracker = "110 528";
constexpr const char* kLiraeTracker = "690 528";
constexpr const char* kStripFirstOfTwo = "305 550";
constexpr const char* kJournalButton = "616 524";
constexpr const char* kLiraeMedallion = "750 550";
constexpr const char* kThessalorMedallion = "50 550";

class GatehouseTutorialsTest : public ScreenProgramTest
{
protected:
    static std::string Click(const char* point, int wait)
    {
        return std::string("move ") + point + "\nwait 3\nclick " + point + "\nwait " +
               std::to_string(wait) + "\n";
    }
    std::string Prefs() const { return DumpPrefs(mRoot / "data/Tovrix/Murkwell/prefs.dat"); }
    // The player record's tutorial flags as prefsdump shows them.
    std::string TutorialFlags() const
    {
        std::smatch found;
        const std::string prefs = Prefs();
        if (!std::regex_search(prefs, found,
                               std::regex("playerdata = hex (?:[0-9a-f]{2} ){4}((?:[0-9a-f]{2} "
                                          "){3}[0-9a-f]{2})")))
            return prefs;
        return found[1].str();
    }
};

TEST_F(GatehouseTutorialsTest, ANewPlayerIsLedThroughThePromptsAndPlaysOnToTheEnd)
{
    // Run 1: the greeting's two lines, then each prompt answered where it points.
    const std::string first =
        std::string(kNewProfile) + Click(kNowhere, 30) + Click(kNowhere, 150) + "shot item\n" +
        Click(kKeyHalf2, 150) +                             // "tutorial_item"
        Click(kThessalorTracker, 80) +                      // "tutorial_hint"
        Click(kStripOne, 250) +                             // "tutorial_hintselect"
        Click(kKeyHalf1, 200) +                             // "tutorial_itemtwo"
        Click(kStripOne, 40) +                              // "tutorial_inventory"
        Click(kDoor, 200) +                                 // "tutorial_solve"
        Click(kDoor, 200) +                                 // "tutorial_portal"
        Click(kLiraeTracker, 200) +                         // "tutorial_hintlirae"
        Click(kStripFirstOfTwo, 250) +                      // "tutorial_hintselectlirae"
        Click(kNowhere, 120) + "shot journal\n" +           // the hint ends
        Click(kJournalButton, 80) + "shot opened\nclose\n"; // "tutorial_openjournal"
    int code = -1;
    EXPECT_EQ(RunTraced(mRepository, first, "start=scripts/mainmenu.lua", code),
              (Traces{"start", "menu", "profile Ann", "record 0 0", "location 0"}));
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    ExpectMatchesGolden(Shot("item"), "gatehouse_tutorial_item.png");
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
    const fs::path game = CopyGame("windowless");
    const fs::path common = game / "assets/scripts/locations/common.lua";
    WriteFile(common,
              std::regex_replace(
                  ReadFile(common),
                  std::regex("ReadFile\\(\"scripts/hint(lirae|thessalor)\\.lua\"\\)\\(\\),"), ""));
    const auto use = [](const char* strip, const char* area)
    { return Click(strip, 5) + Click(area, 90); };
    const std::string second =
        "focus gained\nwait 40\nclick 400 272\nwait 150\nshot lirae\n" +
        Click(kLiraeMedallion, 60) + "shot thessalor\n" + Click(kThessalorMedallion, 60) +
        Click("210 390", 120) + Click("470 180", 120) + Click("640 250", 120) +
        // The lock: its four corners, then its centre.
        Click("320 200", 70) + Click("480 200", 70) + Click("320 360", 70) + Click("480 360", 70) +
        Click("400 280", 150) + Click("640 260", 120) + Click("30 300", 120) +
        use(kStripOne, "330 330") + use("446 550", "330 282") + use(kStripOne, "330 246") +
        "wait 20\nshot lit\nwait 400\nclose\n";
    EXPECT_EQ(RunTraced(game, second, "start=scripts/mainmenu.lua", code),
              (Traces{"start", "menu Ann", "profile Ann", "record 3 0", "location 0", "complete 0",
                      "map"}));
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    EXPECT_NE(At(Shot("lirae"), 550, 400), At(Shot("thessalor"), 550, 400)) << "a prompt moved";
    EXPECT_EQ(TutorialFlags(), "ff 0f 00 00");
    // Everything played on to the lamp: its flame burns before the location ends on the map.
    const std::vector<int> flame = At(Shot("lit"), 330, 232);
    ASSERT_EQ(flame.size(), 3u);
    EXPECT_GT(flame[2], 240);
}

} // namespace
