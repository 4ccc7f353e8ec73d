// End-to-end runs of the Gatehouse, the first location, opened directly by its development entry:
// it opens on its hall; the two key halves found make the key, which taken from the strip opens
// the door (two new objects join the strip) and the doorway leads to the storeroom; spoilt copies
// of the content end or go on as their faults allow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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
constexpr const char* kLampglass = "470 180";
constexpr const char* kWick = "640 260";
constexpr const char* kCabinet = "640 250";
// The lock panel's corner keys, then its centre, solve it.
constexpr const char* kLockSolution[] = {"320 200", "480 200", "320 360", "480 360", "400 280"};
constexpr const char* kBackDoor = "30 300";
constexpr const char* kLampOil = "330 330";
constexpr const char* kLampGlass = "330 282";
constexpr const char* kLampWick = "330 246";
constexpr const char* kJournalButton = "616 524";
constexpr const char* kJournalClose = "676 86";

class GatehouseTest : public ScreenProgramTest
{
protected:
    static std::string SolveLock()
    {
        std::string presses;
        for (const char* key : kLockSolution)
            presses += (presses.empty() ? "" : "wait 70\n") + Click(key);
        return presses;
    }
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
    static std::smatch RegexFind(const std::string& text, const char* pattern)
    {
        std::smatch match;
        std::regex_search(text, match, std::regex(pattern));
        return match;
    }
    // The share of pixels (percent) within 8 per channel of the other picture's.
    static double Alike(const Picture& a, const Picture& b)
    {
        if (a.mPixels.size() != b.mPixels.size() || a.mPixels.empty())
            return 0;
        size_t near = 0;
        for (size_t i = 0; i < a.mPixels.size(); i += 4)
        {
            bool close = true;
            for (size_t c = 0; c < 3; ++c)
                close = close && std::abs(int(a.mPixels[i + c]) - int(b.mPixels[i + c])) <= 8;
            near += close;
        }
        return 400.0 * static_cast<double>(near) / static_cast<double>(a.mPixels.size());
    }
    // The location's record in a `prefsdump` text: its active scene's byte, then the rest.
    static std::smatch GameRecord(const std::string& prefs)
    {
        static const std::regex record("gamedata = hex (?:[0-9a-f]{2} ){4}([0-9a-f]{2})([^\n]*)");
        std::smatch match;
        std::regex_search(prefs, match, record);
        return match;
    }
    static std::string Click(const char* point) { return std::string("click ") + point + "\n"; }
    // Two clicks on nothing: they end the greeting's two lines where the location has them.
    static std::string PastTheGreeting()
    {
        return Click(kNowhere) + "wait 30\n" + Click(kNowhere) + "wait 150\n";
    }
    // A copy whose Gatehouse comes without its tutorial prompts, for menu runs that play past them.
    fs::path Unprompted()
    {
        const fs::path game = CopyGame("content");
        const fs::path location = game / "assets/scripts/locations/gatehouse.lua";
        WriteFile(location,
                  std::regex_replace(ReadFile(location),
                                     std::regex("tutorials = TutorialTable\\(true\\),"), ""));
        return game;
    }
};

// "Play" on the menu with a new player's name opens the first location, the Gatehouse: Odo's
// greeting, the key found and used on the door, the journal opened from the HUD and closed, the
// doorway to the storeroom; closed there, the player's record and the location's are stored. The
// next run takes it up there and plays it to its end, on to the map.
TEST_F(GatehouseTest, PlayOpensTheGatehouseForANewPlayer)
{
    const fs::path game = Unprompted();
    int code = -1;
    const std::string script =
        "focus gained\nwait 40\nclick 400 272\nwait 60\ntext Ann\nwait 10\nclick 400 276\n"
        "wait 120\nshot play\n" +
        PastTheGreeting() + Click(kKeyHalf2) + "wait 120\n" + Click(kKeyHalf1) + "wait 150\n" +
        Click(kStripOne) + "wait 5\nmove " + kDoor + "\nwait 5\n" + Click(kDoor) + "wait 120\n" +
        Click(kJournalButton) + "wait 90\nshot journal\n" + Click(kJournalClose) +
        "wait 90\nshot closed\n" + Click(kDoor) + "wait 120\nshot storeroom\nclose\n";
    const Traces traces = RunTraced(game, script, "start=scripts/mainmenu.lua", code);
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    EXPECT_NE(std::find(traces.begin(), traces.end(), "profile Ann"), traces.end());
    EXPECT_NE(std::find(traces.begin(), traces.end(), "location 0"), traces.end());
    // Odo's first line in its bubble, over the hall and its wooden door (blue, green, red) where
    // the stand-in showed its sky.
    ExpectMatchesGolden(Shot("play"), "gatehouse_odo.png");
    const std::vector<int> door = At(Shot("play"), 590, 300);
    ASSERT_EQ(door.size(), 3u);
    EXPECT_GT(door[2], door[0] + 30);
    // The journal's pages over the hall with the door open; closed, the hall is back.
    ExpectMatchesGolden(Shot("journal"), "gatehouse_journal.png");
    EXPECT_NE(At(Shot("journal"), 600, 150), At(Shot("closed"), 600, 150));
    ExpectMatchesGolden(Shot("storeroom"), "gatehouse_storeroom.png");
    // The player still plays location 0 (state 3: in a location); the location's record has the
    // storeroom active and ends with the game's block: Thessalor last used, one goal.
    const std::string prefs = DumpPrefs(mRoot / "data/Tovrix/Murkwell/prefs.dat");
    EXPECT_NE(prefs.find("playerdata = hex 00 00 00 00 00 00 00 00 00 03 00 00\n"),
              std::string::npos)
        << prefs;
    const std::smatch record = GameRecord(prefs);
    ASSERT_FALSE(record.empty()) << prefs;
    EXPECT_EQ(record[1].str(), "01");
    EXPECT_TRUE(record[2].str().ends_with(" 01 01 0c 6a 6f 75 72 6e 61 6c 5f 6c 61 6d 70"))
        << record[2];

    // The next run: "Play" takes the location up in the storeroom, where the last one ended.
    const auto use = [](const char* strip, const char* area)
    { return Click(strip) + "wait 5\nmove " + area + "\nwait 5\n" + Click(area) + "wait 90\n"; };
    const std::string next = "focus gained\nwait 40\nclick 400 272\nwait 20\nmove " +
                             std::string(kDoor) + "\nwait 120\nshot restored\n" + Click(kOilcan) +
                             "wait 120\n" + Click(kLampglass) + "wait 120\n" + Click(kCabinet) +
                             "wait 120\n" + SolveLock() + "wait 50\nshot burst\nwait 100\n" +
                             Click(kWick) + "wait 120\n" + Click(kBackDoor) + "wait 120\n" +
                             use(kStripOne, kLampOil) + use("446 550", kLampGlass) +
                             use(kStripOne, kLampWick) +
                             "wait 20\nshot lit\nwait 100\nshot overlay\n"
                             "wait 180\nshot map\nclose\n";
    const Traces again = RunTraced(game, next, "start=scripts/mainmenu.lua", code);
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    EXPECT_EQ(again, (Traces{"start", "menu Ann", "profile Ann", "record 3 0", "location 0",
                             "complete 0", "map"}));
    // The mouse where the last run left it: the same storeroom, its cabinet lit under it.
    EXPECT_GE(Alike(Shot("restored"), Shot("storeroom")), 99.0);
    // The solved lock's sparks over the storeroom with the cabinet open.
    ExpectMatchesGolden(Shot("burst"), "gatehouse_burst.png");
    // Lit, with Odo's thanks; then the map over the hall, and the whole map.
    const std::vector<int> flame = At(Shot("lit"), 330, 232);
    ASSERT_EQ(flame.size(), 3u);
    EXPECT_GT(flame[2], 240);
    ExpectMatchesGolden(Shot("overlay"), "gatehouse_map_overlay.png");
    ExpectMatchesGolden(Shot("map"), "gatehouse_map.png");
    // The player moves on to location 1 on the map (state 1) with the play time as the score;
    // the location's record is gone (its one-byte marker).
    const std::string after = DumpPrefs(mRoot / "data/Tovrix/Murkwell/prefs.dat");
    EXPECT_NE(after.find("gamedata = \"\"\n"), std::string::npos) << after;
    const std::smatch player =
        RegexFind(after, "playerdata = hex (..) (..) (..) (..) 00 00 00 00 01 01 00 00\n");
    ASSERT_FALSE(player.empty()) << after;
    EXPECT_NE(player[1].str() + player[2].str() + player[3].str() + player[4].str(), "00000000");
    EXPECT_EQ(player[4].str(), "00") << "a play time of minutes, not a negative score";
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
        Click("640 250") + "wait 120\nshot lock\n" + SolveLock() + "wait 150\nshot opened\n" +
        Click("640 260") + "wait 120\nshot bare\n" + Click("30 300") + "wait 120\nshot back\n" +
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

// A label missing from the string table: its line in the log, and the greeting goes on.
TEST_F(GatehouseTest, AMissingLabelIsLogged)
{
    const fs::path game = CopyGame("content");
    const fs::path strings = game / "assets/strings.xml";
    const std::string text = ReadFile(strings);
    WriteFile(strings, std::regex_replace(text, std::regex(">conv_odo_1<"), ">conv_odo_one<"));
    int code = -1;
    EXPECT_EQ(RunTraced(game, "focus gained\nwait 130\n" + PastTheGreeting() + "close\n",
                        "start=scripts/dev/gatehouse.lua", code),
              Traces{"start"});
    EXPECT_EQ(code, 0);
    ExpectLogged("Missing string for label 'conv_odo_1'");
}
} // namespace
