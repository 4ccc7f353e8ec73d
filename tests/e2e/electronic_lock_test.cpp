// End-to-end runs of the Gatehouse's electronic lock: reached through the storeroom's cabinet,
// opened by its four corners and then its centre (the cabinet stands open and the player's record
// keeps the lock's two bytes); left half done and found again as it was, also by the next run of
// the game; and a lock script that does not run, which ends the game with its line.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;

// The lock panel's way back (the Gatehouse's other points are the support's).
constexpr const char* kLockBack = "400 480";
// The lock's keys, row by row.
constexpr const char* kKeys[] = {"320 200", "400 200", "480 200", "320 280", "400 280",
                                 "480 280", "320 360", "400 360", "480 360"};
// Escape in the game, "yes" to the quit question.
constexpr const char* kQuit = "key 27\nwait 40\nclick 400 306\nwait 60\nshot after\nclose\n";

class ElectronicLockTest : public ScreenProgramTest
{
protected:
    static std::string Click(const char* point) { return std::string("click ") + point + "\n"; }
    // A key pressed, and 70 frames for its light and its sound.
    static std::string Press(int key) { return Click(kKeys[key]) + "wait 70\n"; }
    // From the hall's greeting to the storeroom: both key halves, the door and the storeroom's two
    // objects; then the cabinet opens the lock panel.
    static std::string ToTheCabinet()
    {
        return Click(kNowhere) + "wait 70\n" + Click(kNowhere) + "wait 70\n" + Click(kNowhere) +
               "wait 150\n" + Click(kKeyHalf2) + "wait 120\n" + Click(kKeyHalf1) + "wait 150\n" +
               Click(kStripOne) + "wait 5\nmove " + kDoor + "\nwait 5\n" + Click(kDoor) +
               "wait 120\n" + Click(kDoor) + "wait 120\n" + Click("210 390") + "wait 120\n" +
               Click("470 180") + "wait 120\n";
    }
    static std::string ToTheLock() { return ToTheCabinet() + Click(kCabinet) + "wait 120\n"; }
    // The keypad's part of a shot.
    static Picture Keys(const Picture& shot) { return Crop(shot, 280, 160, 240, 240); }
    static bool Lit(const Picture& shot, int key)
    {
        const std::string point = kKeys[key];
        const std::vector<int> bgr =
            At(shot, std::stoi(point.substr(0, 3)), std::stoi(point.substr(4)));
        return bgr.size() == 3 && bgr[2] > 200;
    }
    static std::string Pattern(const Picture& shot)
    {
        std::string cells;
        for (int key = 0; key < 9; ++key)
            cells += Lit(shot, key) ? '1' : '0';
        return cells;
    }
    // The runs go straight for the lock: the copy's Gatehouse comes without its tutorial prompts.
    fs::path Unprompted() { return CopyEdited(kGatehouseScript, kGatehousePrompts); }
};

TEST_F(ElectronicLockTest, TheCornersThenTheCentreOpenTheCabinetAndTheRecordKeepsTheLock)
{
    const fs::path game = Unprompted();
    const std::string script = std::string(kNewPlayer) + ToTheLock() + "shot lock\n" + Press(0) +
                               Press(8) + "shot half\n" + Press(2) + Press(6) + Click(kKeys[4]) +
                               "wait 1\nshot solved\nwait 150\nshot storeroom\n" + kQuit;
    const Traces traces = RunClean(game, script, "start=scripts/mainmenu.lua");
    EXPECT_NE(std::find(traces.begin(), traces.end(), "location 0"), traces.end());
    EXPECT_FALSE(HasShot("after")) << "the game did not end";
    EXPECT_EQ(Pattern(Shot("lock")), "000000000");
    EXPECT_EQ(Pattern(Shot("half")), "110101011");
    EXPECT_EQ(Pattern(Shot("solved")), "111111111");
    ExpectMatchesGolden(Keys(Shot("half")), "lock_half.png");
    // The lock's instruction line, the first time it opens, reads on its band.
    EXPECT_GE(TextContrast(Shot("half"), 70, 16, 660, 14), 4.5);
    ExpectMatchesGolden(Keys(Shot("solved")), "lock_solved.png");
    // Back in the storeroom, the cabinet open: dark inside, within a few steps of its colour (the
    // run is long enough now for a faint glow to lie over it).
    const std::vector<int> cabinet = At(Shot("storeroom"), 640, 200);
    const std::vector<int> open = {12, 22, 34};
    for (size_t c = 0; c < 3; ++c)
        EXPECT_NEAR(cabinet[c], open[c], 6) << c;
    // The lock's two bytes, all nine lit and its completion asked for (the top bit: never asked
    // again), before its scene's own: no dialog, no animations.
    EXPECT_TRUE(std::regex_search(Prefs(), std::regex("gamedata = hex [0-9a-f ]* ff 81 00 00 ")))
        << Prefs();
}

// The road to the lock, the pointer moved to bare wall in the storeroom before the lock and again
// once its centre has opened the cabinet: the arrow both times, not the hand the panel shows over
// its keys.
TEST_F(ElectronicLockTest, AfterTheLockThePointerOnBareWallIsTheArrowAgain)
{
    const std::string wall = "move 250 150\nwait 3\nshot ";
    RunClean(Unprompted(),
             std::string(kNewPlayer) + ToTheCabinet() + wall + "unsolved\n" + Click(kCabinet) +
                 "wait 120\n" + Press(0) + Press(8) + Press(2) + Press(6) + Click(kKeys[4]) +
                 "wait 150\n" + wall + "solved\n" + kQuit,
             "start=scripts/mainmenu.lua");
    const std::string arrow = PointerShape(Shot("unsolved"), 250, 150);
    EXPECT_NE(arrow.find('#'), std::string::npos) << "no pointer before the lock";
    EXPECT_EQ(PointerShape(Shot("solved"), 250, 150), arrow);
    EXPECT_FALSE(HasShot("after")) << "the game did not end";
}

TEST_F(ElectronicLockTest, AHalfDoneLockIsFoundAsItWasLeftAlsoByTheNextRun)
{
    const fs::path game = Unprompted();
    const std::string first = std::string(kNewPlayer) + ToTheLock() + Press(0) + Press(4) +
                              "shot pressed\n" + Click(kLockBack) + "wait 120\nshot away\n" +
                              Click(kCabinet) + "wait 120\nshot again\n" + kQuit;
    RunClean(game, first, "start=scripts/mainmenu.lua");
    EXPECT_EQ(Pattern(Shot("pressed")), "100011010");
    EXPECT_EQ(Pattern(Shot("away")), "000000000") << "the storeroom shows no keys";
    EXPECT_EQ(Pattern(Shot("again")), "100011010");

    // The menu's "Play" takes the player back to the panel as it was. One more key, and the game
    // ended at once by Escape and "yes", with no calm point since: the lock is kept as it stands.
    const std::string play =
        "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) + "wait 150\n";
    const Traces traces =
        RunClean(game, play + "shot restored\n" + Press(8) + kQuit, "start=scripts/mainmenu.lua");
    EXPECT_NE(std::find(traces.begin(), traces.end(), "location 0"), traces.end());
    EXPECT_EQ(Pattern(Shot("restored")), "100011010");
    ExpectMatchesGolden(Shot("restored"), "lock_restored.png");
    EXPECT_TRUE(std::regex_search(Prefs(), std::regex("gamedata = hex [0-9a-f ]* 11 01 00 00 ")))
        << Prefs();

    // Found so by the next run, whose two keys left open the cabinet.
    RunClean(game,
             play + "shot third\n" + Press(2) + Click(kKeys[6]) + "wait 150\nshot storeroom\n" +
                 kQuit,
             "start=scripts/mainmenu.lua");
    EXPECT_EQ(Pattern(Shot("third")), "100010001");
    EXPECT_EQ(At(Shot("storeroom"), 640, 200), (std::vector<int>{12, 22, 34}));
}

TEST_F(ElectronicLockTest, ALockScriptThatDoesNotRunEndsTheGameWithItsLine)
{
    const fs::path game = CopyGame("content");
    const fs::path lock = game / "assets/scripts/minigames/electroniclock.lua";
    WriteFile(lock, ReadFile(lock) + "\nelectroniclock = {\n");
    RunFatal(game, "focus gained\nwait 60\nclose\n", "start=scripts/dev/gatehouse.lua");
    ExpectInLog(
        "ERROR:ERROR: Failed running electroniclock in MKWGameplay!   FILE:mkwgameplay LINE:");
}

} // namespace
