// The three-locks puzzle built from a scene's arguments and a script context of its own: the
// wait for its status area, the eyes' sequence, right and wrong clicks and their turns, the
// completion event, the balanced animation count, the saved progress replayed on restore, and
// each broken global.
#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/sound/sound_effect.h"
#include "game/minigames/puzzles/puzzle_scene_test_support.h"
#include "game/minigames/puzzles/three_locks/three_locks_minigame.h"
#include "game/runner/mkw_gameplay_factory.h"
#include "sys/clock.h"
#include "ui/window_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace three_locks_minigame_test
{
namespace
{

constexpr uint32_t kStone = 0xFF807060;
constexpr uint32_t kEye = 0xFFF0B040;

// Locks 96 x 96 centred on x 250, 400, 550 at y 170, their eyes 32 x 32 at y 90.
TPoint Lock(int index)
{
    return TPoint{250 + 150 * index, 170};
}

std::string Script(const std::string& sequences, const std::string& extra = "")
{
    return "areatocheckstatus = 'cover' rotationlockamount = 0.25 rotationlocktime = 100 "
           "alphaeyeamount = 0.75 alphaeyetime = 50 cursoroverlock = 'handopen' "
           "eventoncomplete = 'locks_done' locks = { 'lock1', 'lock2', 'lock3' } "
           "eyes = { 'eye1', 'eye2', 'eye3' } sequences = " +
           sequences + " soundrotate = { sounds = { 'click' } } " + extra;
}

class ThreeLocksMinigameTest : public puzzletest::PuzzleTest
{
protected:
    void SetUp() override
    {
        PuzzleTest::SetUp();
        if (HasFatalFailure())
            return;
        Image("t/bg.png", 800, 600, 0xFF202428);
        Image("t/lock.png", 96, 96, kStone);
        Image("t/eye.png", 32, 32, kEye);
        Run("animations = 0 function GameplayStartAnimation() animations = animations + 1 end "
            "function GameplayEndAnimation() animations = animations - 1 end");
    }
    std::unique_ptr<ThreeLocksMinigame> Make(const std::string& script)
    {
        std::string layers = "{ name = 'bg', image = 't/bg', x = 400, y = 300, depth = 100, "
                             "flags = 5 }, ";
        for (int i = 0; i < 3; ++i)
        {
            const std::string n = std::to_string(i + 1);
            const std::string x = std::to_string(250 + 150 * i);
            // As the game places them: each lock centred on its own origin, carried to its seat,
            // so that it turns about its middle.
            layers += "{ name = 'seat" + n + "', x = " + x + ", y = 170, depth = 60 }, " +
                      "{ name = 'lock" + n + "', image = 't/lock', depth = 50, flags = 5, " +
                      "parentlayer = 'seat" + n + "', parentposition = true }, { name = 'eye" + n +
                      "', image = 't/eye', x = " + x + ", y = 90, depth = 50, flags = 5 }, ";
        }
        std::unique_ptr<TLuaTable> scene =
            Table("{ layers = { " + layers +
                  "}, areas = { { name = 'cover', image = 't/bg', x = 400, y = 460, depth = 60, "
                  "flags = 5, events = {} } } }");
        std::unique_ptr<TLuaTable> info =
            Table("{ iteminfo = {}, areainfo = {}, layerinfo = { fadetime = 0 }, textinfo = {} }");
        auto locks = MakeScene<ThreeLocksMinigame>(mFactory, script, *info, "vault", *scene, *info);
        for (const std::shared_ptr<GameplayEntity>& entity : locks->GetEntities())
            entity->Activate(false, nullptr);
        return locks;
    }
    // The cover completed, the first update in play starts the eyes.
    void Start(ThreeLocksMinigame& locks)
    {
        if (GameplayArea* cover = locks.GetStatusArea())
            cover->SetFlags(static_cast<uint8_t>(cover->GetFlags() | GameplayArea::kCompleted));
        locks.Update(16, true, true);
    }
    // Frames until the puzzle waits for a click (or is solved).
    void Settle(ThreeLocksMinigame& locks)
    {
        for (int i = 0; i < 200 && locks.GetState() == ThreeLocksMinigame::kAnimating; ++i)
        {
            Frame(16);
            locks.Update(16, true, true);
        }
    }
    int Animations() { return static_cast<int>(Number("animations")); }
    static float Turn(const ThreeLocksMinigame& locks, size_t lock)
    {
        return locks.GetLocks()[lock]->GetTransform().GetRotationZ();
    }
    static float Eye(const ThreeLocksMinigame& locks, size_t eye)
    {
        return locks.GetEyes()[eye]->GetTransform().GetAlpha();
    }

    MKWGameplayFactory mFactory;
};

TEST_F(ThreeLocksMinigameTest, WaitsForTheCoverThenShowsTheSequenceWithTheEyes)
{
    auto locks = Make(Script("{ { 0, 2 } }"));
    EXPECT_EQ(locks->GetLocks().size(), 3u);
    EXPECT_EQ(locks->GetRotationTime(), 100);
    EXPECT_EQ(locks->GetEyeAlpha(), 0.75f);
    EXPECT_STREQ(locks->GetEventOnComplete().c_str(), "locks_done");
    // Activated with the scene, the eyes came back at full alpha.
    EXPECT_EQ(Eye(*locks, 0), 1.0f);

    // Nothing before the cover is completed; a shown, active area is not enough.
    for (int i = 0; i < 5; ++i)
        locks->Update(16, true, true);
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kWaiting);
    EXPECT_FALSE(locks->OnMouseDown(Lock(0)));
    // Completed, it still waits while not shown or out of play.
    GameplayArea* cover = locks->GetStatusArea();
    cover->SetFlags(static_cast<uint8_t>(cover->GetFlags() | GameplayArea::kCompleted));
    locks->Update(16, false, true);
    locks->Update(16, true, false);
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kWaiting);
    locks->Update(16, true, true);
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kAnimating);
    EXPECT_EQ(Animations(), 1);
    // Every eye dark again, the one not in the sequence too; the second waits its turn.
    EXPECT_EQ(Eye(*locks, 1), 0.0f);
    EXPECT_EQ(Eye(*locks, 2), 0.0f);
    // The eyes lit in turn: the first over 0-50 ms then out over 50, the second from 100.
    Frame(16);
    Frame(50);
    EXPECT_EQ(Eye(*locks, 0), 0.75f);
    EXPECT_EQ(Eye(*locks, 2), 0.0f);
    MouseAt(Lock(0));
    EXPECT_STREQ(locks->GetCursorName().c_str(), "default");
    EXPECT_FALSE(locks->OnMouseDown(Lock(0)));
    // Its fade-out list starts at the frame after the fade-in's last.
    Frame(100);
    Frame(16);
    Frame(60);
    EXPECT_EQ(Eye(*locks, 0), 0.0f);
    Settle(*locks);
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kAwaitingClick);
    EXPECT_EQ(Animations(), 0);
    EXPECT_EQ(Eye(*locks, 2), 0.0f);
    EXPECT_STREQ(locks->GetCursorName().c_str(), "handopen");
    // Bounds are half-open: the lock's last column is x 297.
    MouseAt(TPoint{298, 170});
    EXPECT_STREQ(locks->GetCursorName().c_str(), "default");
    EXPECT_EQ(locks->FindLockAt(TPoint{297, 170}), 0);
    EXPECT_EQ(locks->FindLockAt(TPoint{298, 170}), -1);
    EXPECT_EQ(locks->FindLockAt(TPoint{202, 122}), 0);
}

TEST_F(ThreeLocksMinigameTest, RightClicksTurnTheLocksAndAWrongOneTurnsThemBack)
{
    auto locks = Make(Script("{ { 0, 2 } }"));
    Start(*locks);
    Settle(*locks);
    // A wrong first click: used, nothing turns, no sound, no animation.
    EXPECT_TRUE(locks->OnMouseDown(Lock(1)));
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kAwaitingClick);
    EXPECT_EQ(locks->GetRotateSound()->mPending, -1);
    EXPECT_EQ(Animations(), 0);
    EXPECT_FALSE(locks->OnMouseDown(TPoint{100, 500}));

    EXPECT_TRUE(locks->OnMouseDown(Lock(0)));
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kAnimating);
    EXPECT_EQ(locks->GetRotateSound()->mPending, 0);
    EXPECT_EQ(Animations(), 1);
    // During the turn the press is not used.
    EXPECT_FALSE(locks->OnMouseDown(Lock(2)));
    Settle(*locks);
    EXPECT_FLOAT_EQ(Turn(*locks, 0), 0.25f);
    EXPECT_EQ(Animations(), 0);
    // Lock 1 is wrong: lock 0 turns back and the sequence is shown again.
    EXPECT_TRUE(locks->OnMouseDown(Lock(1)));
    EXPECT_EQ(locks->GetCurrentStep(), 0u);
    Frame(16);
    Frame(100);
    locks->Update(16, true, true);
    EXPECT_NEAR(Turn(*locks, 0), 0.0f, 1e-6f);
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kAnimating);
    EXPECT_EQ(Animations(), 1);
    Settle(*locks);
    EXPECT_EQ(Animations(), 0);

    // Right twice: solved once the second turn ends, the event asked for once.
    locks->OnMouseDown(Lock(0));
    Settle(*locks);
    locks->OnMouseDown(Lock(2));
    EXPECT_EQ(Activations(), 0);
    Settle(*locks);
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kSolved);
    EXPECT_EQ(Animations(), 0);
    EXPECT_EQ(Activations(), 1);
    Run("_a = activated[1]");
    EXPECT_STREQ(mManager->GetScript()->GetGlobalString("_a").c_str(), "locks_done");
    EXPECT_FALSE(locks->OnMouseDown(Lock(0)));
    std::vector<uint8_t> saved;
    locks->SaveState(saved);
    EXPECT_EQ(saved[0], 0x80);
}

// A turn is quicker than a double click: the second press of one on the lock just turned turns
// nothing back. Later it is a wrong lock as any other.
TEST_F(ThreeLocksMinigameTest, ADoubleClickOnTheLockDueTurnsItOnce)
{
    auto locks = Make(Script("{ { 0, 2 } }"));
    Start(*locks);
    Settle(*locks);
    EXPECT_TRUE(locks->OnMouseDown(Lock(0)));
    Settle(*locks);
    EXPECT_TRUE(locks->OnMouseDown(Lock(0)));
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kAwaitingClick);
    EXPECT_EQ(locks->GetCurrentStep(), 1u);
    EXPECT_FLOAT_EQ(Turn(*locks, 0), 0.25f);
    sys::AdvanceManualClock(TWindowManager::kDoubleClickMs);
    EXPECT_TRUE(locks->OnMouseDown(Lock(0)));
    EXPECT_EQ(locks->GetCurrentStep(), 0u);
}

TEST_F(ThreeLocksMinigameTest, ALockNamedTwiceTurnsTwiceAndSequencesFollowOneAnother)
{
    auto locks = Make(Script("{ { 1, 1 }, { 0 } }"));
    Start(*locks);
    Settle(*locks);
    locks->OnMouseDown(Lock(1));
    Settle(*locks);
    locks->OnMouseDown(Lock(1));
    Settle(*locks);
    EXPECT_FLOAT_EQ(Turn(*locks, 1), 0.5f);
    EXPECT_EQ(locks->GetCurrentSequence(), 1u);
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kAwaitingClick);
    EXPECT_EQ(Animations(), 0);
    // A wrong click in the next sequence's start turns nothing back of the last one.
    EXPECT_TRUE(locks->OnMouseDown(Lock(2)));
    EXPECT_FLOAT_EQ(Turn(*locks, 1), 0.5f);
}

TEST_F(ThreeLocksMinigameTest, SavedProgressIsReplayedAtOnceOnRestore)
{
    auto locks = Make(Script("{ { 1, 2 }, { 0, 1 } }"));
    Start(*locks);
    Settle(*locks);
    for (int lock : {1, 2, 0})
    {
        locks->OnMouseDown(Lock(lock));
        Settle(*locks);
    }
    std::vector<uint8_t> saved;
    locks->SaveState(saved);
    ASSERT_EQ(saved.size(), locks->GetStateSize());
    EXPECT_EQ(saved[0], 3);

    auto restored = Make(Script("{ { 1, 2 }, { 0, 1 } }"));
    saved.push_back(0x77);
    ASSERT_TRUE(restored->LoadState(saved.data(), saved.size()));
    EXPECT_EQ(restored->MeasureState(saved.data(), saved.size()), saved.size() - 1);
    EXPECT_FLOAT_EQ(Turn(*restored, 0), 0.25f);
    EXPECT_FLOAT_EQ(Turn(*restored, 1), 0.25f);
    EXPECT_FLOAT_EQ(Turn(*restored, 2), 0.25f);
    EXPECT_EQ(restored->GetState(), ThreeLocksMinigame::kWaiting);
    EXPECT_EQ(restored->GetCurrentSequence(), 1u);
    EXPECT_EQ(restored->GetCurrentStep(), 1u);
    // It waits for the cover again, then shows the current sequence; the turned stay turned.
    Start(*restored);
    EXPECT_EQ(restored->GetState(), ThreeLocksMinigame::kAnimating);
    Settle(*restored);
    // Saved while the last lock turns, before its end asks for the event: one step short, so
    // that the restored puzzle ends by that click and asks for it.
    restored->OnMouseDown(Lock(1));
    std::vector<uint8_t> turning;
    restored->SaveState(turning);
    EXPECT_EQ(turning[0], 3);
    Settle(*restored);
    EXPECT_EQ(restored->GetState(), ThreeLocksMinigame::kSolved);

    // Solved: restored solved, nothing turned; a count past the last step is solved too.
    for (uint8_t byte : {0x80, 0x05, 0x7F})
    {
        auto again = Make(Script("{ { 1, 2 }, { 0, 1 } }"));
        saved[0] = byte;
        ASSERT_TRUE(again->LoadState(saved.data(), saved.size()));
        EXPECT_EQ(again->GetState(), ThreeLocksMinigame::kSolved) << int(byte);
        EXPECT_EQ(Turn(*again, 0), byte == 0x80 ? 0.0f : 0.25f);
    }
    // Cut short, refused whole.
    auto fresh = Make(Script("{ { 1, 2 } }"));
    for (size_t size = 0; size < fresh->GetStateSize(); ++size)
        EXPECT_FALSE(fresh->LoadState(saved.data(), size)) << size;
    EXPECT_EQ(Turn(*fresh, 1), 0.0f);
    EXPECT_EQ(CountInLog("Scene 'vault': its saved locks record does not fit"),
              static_cast<int>(fresh->GetStateSize()));
}

TEST_F(ThreeLocksMinigameTest, MoreThan127StepsAreSavedAs127)
{
    auto locks = Make(Script("{} for i = 1, 130 do sequences[1] = sequences[1] or {} "
                             "table.insert(sequences[1], 0) end",
                             "alphaeyetime = 1"));
    ASSERT_EQ(locks->GetSequences().size(), 1u);
    std::vector<uint8_t> saved;
    locks->SaveState(saved);
    saved[0] = 127;
    ASSERT_TRUE(locks->LoadState(saved.data(), saved.size()));
    Start(*locks);
    Settle(*locks);
    locks->OnMouseDown(Lock(0));
    Settle(*locks);
    saved.clear();
    locks->SaveState(saved);
    EXPECT_EQ(saved[0], 127);
    EXPECT_EQ(CountInLog("ThreeLocksMinigame: 128 steps done; saved as 127"), 1);
}

TEST_F(ThreeLocksMinigameTest, AnEyeLitAndALockHalfTurned)
{
    auto locks = Make(Script("{ { 1, 0 } }"));
    Start(*locks);
    Settle(*locks);
    locks->OnMouseDown(Lock(1));
    Settle(*locks);
    // The next lock half way through its turn, the first eye lit by hand.
    locks->OnMouseDown(Lock(0));
    Frame(16);
    Frame(50);
    locks->GetEyes()[2]->GetTransform().SetAlpha(0.75f);
    ASSERT_TRUE(Draw2d([&] { locks->Draw(TDrawSpec()); }));
    EXPECT_NE(Back(550, 90), 0x202428u);
    rendertest::CompareWithGolden(*Data().mBackBuffer, {150, 40, 650, 260}, "three_locks.png");
}

TEST_F(ThreeLocksMinigameTest, BrokenGlobalsAreReportedAndBadDataDropped)
{
    const struct
    {
        std::string script;
        const char* message;
    } cases[] = {
        {"", "ERROR:No locks table for ThreeLocksMinigame!"},
        {"locks = {}", "ERROR:No eyes table for ThreeLocksMinigame!"},
        {"locks = {} eyes = {}", "ERROR:No sequences table for ThreeLocksMinigame!"},
        {"locks = { 'lock1', 'gate' }", "ERROR:Cannot find layer 'gate' for ThreeLocksMinigame!"},
        {"locks = {} eyes = { 'eye1', 7 }", "ERROR:Cannot find layer '7' for ThreeLocksMinigame!"},
        {"locks = {} eyes = {} sequences = { {}, 'x' }",
         "ERROR:Cannot find sequence 2 for ThreeLocksMinigame!"},
    };
    for (const auto& each : cases)
    {
        const int before = CountInLog(each.message);
        auto broken = Make(each.script);
        EXPECT_EQ(CountInLog(each.message), before + 1) << each.message;
        Start(*broken);
        EXPECT_EQ(broken->GetState(), ThreeLocksMinigame::kWaiting);
        EXPECT_FALSE(broken->OnMouseDown(Lock(0)));
        std::vector<uint8_t> saved;
        broken->SaveState(saved);
        EXPECT_EQ(saved.size(), broken->GetStateSize());
    }
    EXPECT_EQ(Animations(), 0);

    // Values naming no lock and eye, and sequences left empty, are dropped at load.
    const int dropped = CountInLog("names no lock and eye; dropped");
    const int emptied = CountInLog("has no lock to click; dropped");
    auto trimmed = Make(Script("{ { 0, 3, -1, 'x', 2.9 }, {}, { 5 } }"));
    EXPECT_EQ(trimmed->GetSequences(), (std::vector<std::vector<int32_t>>{{0, 2}}));
    EXPECT_EQ(CountInLog("names no lock and eye; dropped"), dropped + 4);
    EXPECT_EQ(CountInLog("has no lock to click; dropped"), emptied + 2);
    // With nothing to play it never starts, and the gameplay is never held.
    auto none = Make(Script("{ {} }"));
    EXPECT_EQ(CountInLog("scene 'vault' has no sequence to play"), 1);
    Start(*none);
    EXPECT_EQ(none->GetState(), ThreeLocksMinigame::kWaiting);
    EXPECT_EQ(Animations(), 0);
    // Without the status area it never starts either.
    auto blind = Make(Script("{ { 0 } }", "areatocheckstatus = 'nowhere'"));
    EXPECT_EQ(blind->GetStatusArea(), nullptr);
    blind->Update(16, true, true);
    EXPECT_EQ(blind->GetState(), ThreeLocksMinigame::kWaiting);
}

} // namespace

} // namespace three_locks_minigame_test
