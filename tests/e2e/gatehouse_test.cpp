// End-to-end runs of the Gatehouse, the first location, opened directly by its development entry:
// it opens on its hall; the two key halves found make the key, which taken from the strip opens
// the door (two new objects join the strip) and the doorway leads to the storeroom; spoilt copies
// of the content end or go on as their faults allow.
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

class GatehouseTest : public ScreenProgramTest
{
protected:
    Picture Shot(const std::string& name) const { return ReadPicture(mRoot / (name + ".png")); }
    // A pixel's blue, green, red.
    static std::vector<int> At(const Picture& picture, uint32_t x, uint32_t y)
    {
        if (picture.mWidth < 800)
            return std::vector<int>();
        const size_t at = (size_t(y) * picture.mWidth + x) * 4;
        return std::vector<int>(picture.mPixels.begin() + static_cast<std::ptrdiff_t>(at),
                                picture.mPixels.begin() + static_cast<std::ptrdiff_t>(at) + 3);
    }
    void ExpectLogged(const std::string& line)
    {
        const std::string log = ReadFile(LogFile());
        EXPECT_NE(log.find(line), std::string::npos) << log;
    }
    static std::string Click(const char* point) { return std::string("click ") + point + "\n"; }
    // Two clicks on nothing: they end the greeting's two lines where the location has them.
    static std::string PastTheGreeting()
    {
        return Click(kNowhere) + "wait 30\n" + Click(kNowhere) + "wait 150\n";
    }
};

// "Play" on the menu with a new player's name opens the first location: the Gatehouse.
TEST_F(GatehouseTest, PlayOpensTheGatehouseForANewPlayer)
{
    int code = -1;
    const Traces traces = RunTraced(mRepository,
                                    "focus gained\nwait 40\nclick 400 272\nwait 60\ntext Ann\n"
                                    "wait 10\nclick 400 276\nwait 120\nshot play\nclose\n",
                                    "start=scripts/mainmenu.lua", code);
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    EXPECT_NE(std::find(traces.begin(), traces.end(), "profile Ann"), traces.end());
    EXPECT_NE(std::find(traces.begin(), traces.end(), "location 0"), traces.end());
    // The hall's wooden door (blue, green, red) where the stand-in shows its sky.
    const std::vector<int> door = At(Shot("play"), 590, 300);
    ASSERT_EQ(door.size(), 3u);
    EXPECT_GT(door[2], door[0] + 30);
}

TEST_F(GatehouseTest, TheKeyFoundAndUsedOpensTheDoorToTheStoreroom)
{
    int code = -1;
    const std::string script = "focus gained\nwait 60\nshot hall\n" + PastTheGreeting() +
                               Click(kKeyHalf2) + "wait 120\n" + Click(kKeyHalf1) +
                               "wait 150\nshot key\n" + Click(kStripOne) + "wait 5\nmove " + kDoor +
                               "\nwait 5\n" + Click(kDoor) + "wait 120\nshot open\n" +
                               Click(kDoor) + "wait 120\nshot storeroom\nclose\n";
    EXPECT_EQ(RunTraced(mRepository, script, "start=scripts/dev/gatehouse.lua", code),
              Traces{"start"});
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    ExpectMatchesGolden(Shot("hall"), "gatehouse_hall.png");
    // Both halves went: the whole key lies in the strip.
    EXPECT_NE(At(Shot("hall"), 150, 300), At(Shot("key"), 150, 300));
    EXPECT_NE(At(Shot("hall"), 612, 410), At(Shot("key"), 612, 410));
    EXPECT_NE(At(Shot("hall"), 376, 550), At(Shot("key"), 376, 550));
    // The door faded out; the oil can and the glass joined the strip as silhouettes.
    EXPECT_NE(At(Shot("key"), 520, 200), At(Shot("open"), 520, 200));
    EXPECT_NE(At(Shot("key"), 305, 550), At(Shot("open"), 305, 550));
    EXPECT_NE(At(Shot("key"), 446, 550), At(Shot("open"), 446, 550));
    ExpectMatchesGolden(Shot("storeroom"), "gatehouse_storeroom.png");
}

// Past the door: the storeroom's two objects, the cabinet's lock opened (its four corners, then
// its centre), the wick inside, back to the hall and the three objects on the lamp, which lights
// it; Odo's thanks follow and the location ends on the map.
TEST_F(GatehouseTest, TheStoreroomsObjectsLightTheLamp)
{
    const auto use = [](const char* strip, const char* area)
    { return Click(strip) + "wait 5\nmove " + area + "\nwait 5\n" + Click(area) + "wait 90\n"; };
    const std::string script =
        "focus gained\nwait 60\n" + PastTheGreeting() + Click(kKeyHalf2) + "wait 120\n" +
        Click(kKeyHalf1) + "wait 150\n" + use(kStripOne, kDoor) + "wait 30\n" + Click(kDoor) +
        "wait 120\n" + Click("210 390") + "wait 120\n" + Click("470 180") + "wait 120\n" +
        Click("640 250") + "wait 120\nshot lock\n" + Click("320 200") + "wait 70\n" +
        Click("480 200") + "wait 70\n" + Click("320 360") + "wait 70\n" + Click("480 360") +
        "wait 70\n" + Click("400 280") + "wait 150\nshot opened\n" + Click("640 260") +
        "wait 120\nshot bare\n" + Click("30 300") + "wait 120\nshot back\n" +
        // The strip holds the wick, the oil can and the glass; each use closes it up.
        use(kStripOne, "330 330") + use("446 550", "330 282") + use(kStripOne, "330 246") +
        "wait 20\nshot lit\nwait 400\nclose\n";
    int code = -1;
    EXPECT_EQ(RunTraced(mRepository, script, "start=scripts/dev/gatehouse.lua", code),
              (Traces{"start", "complete 0", "map"}));
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    // The lock panel's centre key, unlit: dark glass.
    const std::vector<int> key = At(Shot("lock"), 400, 280);
    ASSERT_EQ(key.size(), 3u);
    EXPECT_LT(key[2], 60);
    // The cabinet stands open with the wick on its shelf; found, the shelf is bare.
    EXPECT_EQ(At(Shot("opened"), 640, 200), (std::vector<int>{12, 22, 34}));
    EXPECT_NE(At(Shot("opened"), 640, 260), At(Shot("bare"), 640, 260));
    // Lit: the flame burns over the lamp and the hall is warmer than before.
    const std::vector<int> flame = At(Shot("lit"), 330, 232);
    ASSERT_EQ(flame.size(), 3u);
    EXPECT_GT(flame[2], 240);
    EXPECT_GT(At(Shot("lit"), 700, 100)[2], At(Shot("back"), 700, 100)[2] + 8);
}

TEST_F(GatehouseTest, AnItemWithoutItsPartsIsFatal)
{
    const fs::path game = CopyGame("content");
    const fs::path location = game / "assets/scripts/locations/gatehouse.lua";
    WriteFile(location, std::regex_replace(ReadFile(location),
                                           std::regex("inventoryparts = \\{ part or 1 \\},"), ""));
    int code = -1;
    RunTraced(game, "focus gained\nwait 60\nclose\n", "start=scripts/dev/gatehouse.lua", code);
    EXPECT_EQ(code, 0);
    ExpectLogged("ERROR:item_key_1   FILE:gameplayitem LINE:40");
}

TEST_F(GatehouseTest, AMissingAreaPictureIsLoggedAndTheLocationPlays)
{
    const fs::path game = CopyGame("content");
    fs::remove(game / "assets/areas/keeper.xml");
    fs::remove(game / "assets/areas/keeper.png");
    int code = -1;
    RunTraced(game,
              "focus gained\nwait 60\n" + PastTheGreeting() + Click(kKeyHalf2) +
                  "wait 120\nshot found\nclose\n",
              "start=scripts/dev/gatehouse.lua", code);
    EXPECT_EQ(code, 0);
    ExpectLogged("ERROR:CreateCollisionMask failed   FILE:gameplayarea");
    // The rest plays: the key's half was found and left its place in the hall.
    const Picture hall = ReadPicture(mRepository / "tests/e2e/golden/gatehouse_hall.png");
    EXPECT_NE(At(Shot("found"), 150, 300), At(hall, 150, 300));
}
} // namespace
