// The electronic lock in the game's runner: a location whose "minigames" names it for a scene,
// solved by presses through the runner, asked for its event only while shown in play, kept in the
// location's record and restored by the next runner, and refused whole when its block is cut.
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/sound/sound_effect.h"
#include "game/minigames/puzzles/electronic_lock/electronic_lock_scene.h"
#include "game/minigames/puzzles/puzzle_scene_test_support.h"
#include "render/sprites/sprite.h"
#include "sys/display/presenter/surface_png.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct LockGameplay : MKWGameplay
{
    static TWindow* Create() { return new LockGameplay; }
    void SetState(int32_t state) { mGameplayState = state; }
};

const char kLockScript[] = "gs_cursorHandOpen = 'handopen' gs_cursorHandClosed = 'handclosed' "
                           "electroniclock = { soundtoggle = { sounds = { 'click' } }, buttons = { "
                           "button01 = { x = 320, y = 200, image = 't/lockbtn' }, "
                           "button02 = { x = 400, y = 200, image = 't/lockbtn' }, "
                           "button03 = { x = 480, y = 200, image = 't/lockbtn' }, "
                           "button04 = { x = 320, y = 280, image = 't/lockbtn' }, "
                           "button05 = { x = 400, y = 280, image = 't/lockbtn' }, "
                           "button06 = { x = 480, y = 280, image = 't/lockbtn' }, "
                           "button07 = { x = 320, y = 360, image = 't/lockbtn' }, "
                           "button08 = { x = 400, y = 360, image = 't/lockbtn' }, "
                           "button09 = { x = 480, y = 360, image = 't/lockbtn' } } }";

// The lock between two plain scenes: a layer of the scene after it tells whether its block was
// found at the right offset; the lock's own area has a record the runner checks.
const char kLocation[] =
    "gameplayinstructions = { conversations = {}, scenes = { 'room', 'lock', 'after' }, "
    "minigames = { lock = 'electroniclockscene' }, "
    "room = { layers = { { name = 'open', image = 't/bg', x = 400, y = 300, depth = 10 } } }, "
    "lock = { layers = { { name = 'panel', image = 't/bg', x = 400, y = 300, depth = 100 } }, "
    "areas = { { name = 'back', image = 't/bg', x = 400, y = 560, depth = 60, events = {} } } }, "
    "after = { layers = { { name = 'mark', image = 't/bg', x = 400, y = 300, depth = 10 } } }, "
    "events = { { name = 'start', layerstoactivate = { 'mark', 'panel' }, areastoactivate = { "
    "'back' } }, "
    "{ name = 'event_electroniclockcomplete', action = 'room', layerstoactivate = { 'open' } } }, "
    "inventory = {}, initial_event = 'start', active_scene = 'lock' }";

const TPoint kCorners[] = {{320, 200}, {480, 200}, {320, 360}, {480, 360}};
const TPoint kCentre = {400, 280};

class ElectronicLockRunnerTest : public puzzletest::RunnerTest<LockGameplay>
{
protected:
    void SetUp() override
    {
        RunnerTest::SetUp();
        if (HasFatalFailure())
            return;
        RegisterPuzzle("ElectronicLockScene", &ElectronicLockScene::Create);
        Image("t/bg.png", 800, 600, 0xFF204060);
        Image("t/lockbtn.png", 192, 64, 0xFF806040);
        std::string frames;
        for (int i = 0; i < 3; ++i)
            frames += "<frame x=\"" + std::to_string(64 * i) +
                      "\" y=\"0\" w=\"64\" h=\"64\" regx=\"32\" regy=\"32\"/>";
        File("t/lockbtn.xml", "<sequence><img w=\"192\" h=\"64\" name=\"lockbtn.png\"/>"
                              "<framelist>" +
                                  frames + "</framelist></sequence>");
        File("assets/scripts/minigames/electroniclock.lua", kLockScript);
    }
    LockGameplay* Open() { return OpenRunner(kLocation); }
    static ElectronicLockScene* Lock(const LockGameplay& gameplay)
    {
        return dynamic_cast<ElectronicLockScene*>(gameplay.FindScene("lock"));
    }
    void Press(LockGameplay& gameplay, TPoint point)
    {
        mSettings->mMouseX = point.x;
        mSettings->mMouseY = point.y;
        gameplay.OnMouseDown(point);
        gameplay.OnMouseUp(point);
        Frame(16);
    }
    static std::string Pattern(const ElectronicLockScene& lock)
    {
        std::string cells;
        for (size_t cell = 0; cell < ElectronicLockScene::kCells; ++cell)
            cells += lock.IsLit(cell) ? '1' : '0';
        return cells;
    }
    // Where the lock's block starts in the location's record.
    static size_t LockAt(const LockGameplay& gameplay)
    {
        return 7 + gameplay.GetHud()->GetSavedStateSize() +
               GameplayInventory::kSavedStateSize * gameplay.GetInventory().size() +
               gameplay.FindScene("room")->GetStateSize();
    }
};

TEST_F(ElectronicLockRunnerTest, TheCornersThenTheCentreOpenTheLockThroughTheRunner)
{
    LockGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr) << Log();
    ASSERT_TRUE(InPlay(*gameplay));
    ElectronicLockScene* lock = Lock(*gameplay);
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(gameplay->GetActiveScene(), lock);
    EXPECT_EQ(lock->GetExtraAnimationNames(), std::vector<TString>{"t/lockbtn"});

    // The runner hands the presses on; a miss is not the lock's and flips nothing.
    Press(*gameplay, TPoint{100, 100});
    EXPECT_EQ(Pattern(*lock), "000000000");
    for (TPoint corner : kCorners)
        Press(*gameplay, corner);
    EXPECT_EQ(Pattern(*lock), "101000101");
    EXPECT_EQ(gameplay->GetNextEvent(), nullptr);

    // The press's own frame asks, once: out of play the event waits, and nothing asks again.
    Press(*gameplay, kCentre);
    GameplayEvent* complete = gameplay->FindEvent("event_electroniclockcomplete");
    EXPECT_EQ(gameplay->GetNextEvent(), complete);
    gameplay->SetState(Gameplay::kWaiting);
    gameplay->GameplayActivateEvent("nothing");
    Frame(16);
    Frame(16);
    EXPECT_EQ(gameplay->GetNextEvent(), nullptr);
    gameplay->GameplayActivateEvent("event_electroniclockcomplete");
    gameplay->SetState(Gameplay::kPlay);

    // In play the event comes, leaves the scene and opens the room's layer.
    for (int i = 0; i < 60 && gameplay->GetActiveScene() != gameplay->FindScene("room"); ++i)
        Frame(16);
    for (int i = 0; i < 60 && !InPlay(*gameplay); ++i)
        Frame(16);
    EXPECT_EQ(gameplay->GetActiveScene(), gameplay->FindScene("room"));
    EXPECT_TRUE(Active(*gameplay, "open"));
    // Not shown, the solved lock asks for nothing more.
    Frame(16);
    EXPECT_EQ(gameplay->GetNextEvent(), nullptr);
    gameplay->SaveLocationState(false);
    const std::vector<uint8_t>& record = gameplay->GetStateBytes();
    ASSERT_GT(record.size(), LockAt(*gameplay) + 2);
    EXPECT_EQ(record[LockAt(*gameplay)], 0xFF);
    // The centre lit, and the completion asked for (the top bit): asked once in the location's
    // life.
    EXPECT_EQ(record[LockAt(*gameplay) + 1], 0x81);
    Close(gameplay);
}

TEST_F(ElectronicLockRunnerTest, TheNextRunnerRestoresThePatternAndTheScenesAfterIt)
{
    LockGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr) << Log();
    Press(*gameplay, kCorners[0]);
    Press(*gameplay, kCentre);
    const std::string pattern = Pattern(*Lock(*gameplay));
    EXPECT_EQ(pattern, "100011010");
    // Closed inside the puzzle, long after the last calm point (its scene's fade-in): the record
    // stored is the one a calm point of the same play builds, but for the play time.
    Close(gameplay);
    const std::vector<uint8_t> stored = Stored();
    ASSERT_GT(stored.size(), 4u);
    mSettings->DeletePlayerData("gamedata");
    gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    Press(*gameplay, kCorners[0]);
    Press(*gameplay, kCentre);
    gameplay->SaveLocationState(false);
    EXPECT_EQ(std::vector<uint8_t>(gameplay->GetStateBytes().begin() + 4,
                                   gameplay->GetStateBytes().end()),
              std::vector<uint8_t>(stored.begin() + 4, stored.end()));
    Close(gameplay);
    mSettings->SetPlayerData("gamedata", stored.data(), static_cast<int>(stored.size()));

    gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    ElectronicLockScene* lock = Lock(*gameplay);
    EXPECT_EQ(Pattern(*lock), pattern);
    EXPECT_EQ(lock->GetButton(0).GetSprite()->GetFrame(), 2);
    EXPECT_EQ(lock->GetToggleSound()->mPending, -1);
    EXPECT_TRUE(Active(*gameplay, "mark"));
    EXPECT_EQ(gameplay->GetActiveScene(), lock);
    EXPECT_EQ(CountInLog("does not fit this location"), 0);
    const size_t lockAt = LockAt(*gameplay);
    Close(gameplay);

    // Cut inside the lock's two bytes: the whole record is refused and the lock starts unlit.
    mSettings->SetPlayerData("gamedata", stored.data(), static_cast<int>(lockAt + 1));
    gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    EXPECT_EQ(CountInLog("Gameplay: the saved state of " + std::to_string(lockAt + 1) +
                         " bytes does not fit this location; it starts fresh"),
              1);
    EXPECT_EQ(Pattern(*Lock(*gameplay)), "000000000");
    Close(gameplay);
}

TEST_F(ElectronicLockRunnerTest, AFailingScriptIsFatalAndTheSceneStaysUsable)
{
    Run("gQuits = 0 kQuitNow = 7 function CreateNamedMessage(id, name) return name end "
        "function PostMessage(m) if m == 'quit' then gQuits = gQuits + 1 end end");
    File("assets/scripts/minigames/electroniclock.lua", "electroniclock = { buttons = {");
    LockGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    EXPECT_EQ(CountInLog("ERROR:ERROR: Failed running electroniclock in MKWGameplay!"), 1);
    EXPECT_EQ(CountInLog("ERROR:Cannot find 'electroniclock' table for ElectronicLockScene!"), 1);
    ElectronicLockScene* lock = Lock(*gameplay);
    ASSERT_NE(lock, nullptr);
    EXPECT_GE(Number("gQuits"), 1);
    // Until the quit it plays along: presses miss, frames draw, the record is kept.
    Press(*gameplay, kCentre);
    Paint();
    EXPECT_EQ(Pattern(*lock), "000000000");
    Close(gameplay);
    EXPECT_FALSE(Stored().empty());
}

} // namespace
