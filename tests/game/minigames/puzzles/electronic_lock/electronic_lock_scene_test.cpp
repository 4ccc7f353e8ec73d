// The electronic lock built directly from a scene's arguments and a script context of its own:
// its table, the flip rule, the hand cursors, the completion request, the toggle sound, its two
// saved bytes before the base's, and each broken table.
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/sound/sound_effect.h"
#include "game/minigames/puzzles/electronic_lock/electronic_lock_scene.h"
#include "game/minigames/puzzles/puzzle_scene_test_support.h"
#include "render/sprites/sprite.h"
#include "sys/display/presenter/surface_png.h"

#include <gtest/gtest.h>

#include <bitset>
#include <string>
#include <vector>

namespace
{

constexpr uint32_t kUnlit = 0xFF203040;
constexpr uint32_t kUnused = 0xFFFF00FF;
constexpr uint32_t kLit = 0xFFF0D060;

// Keys 64 pixels square, centred on x 320/400/480 and y 200/280/360 as the game places them.
std::string Buttons(const std::string& skip = "")
{
    std::string text;
    for (int i = 1; i <= 9; ++i)
    {
        const std::string key = "button0" + std::to_string(i);
        if (key == skip)
            continue;
        text += key + " = { x = " + std::to_string(320 + 80 * ((i - 1) % 3)) +
                ", y = " + std::to_string(200 + 80 * ((i - 1) / 3)) + ", image = 't/lockbtn' }, ";
    }
    return text;
}

const std::string kGlobals = "gs_cursorHandOpen = 'handopen'; gs_cursorHandClosed = 'handclosed'; ";

TPoint Centre(size_t cell)
{
    return TPoint{static_cast<int32_t>(320 + 80 * (cell % 3)),
                  static_cast<int32_t>(200 + 80 * (cell / 3))};
}

class ElectronicLockSceneTest : public puzzletest::PuzzleTest
{
protected:
    void SetUp() override
    {
        PuzzleTest::SetUp();
        if (HasFatalFailure())
            return;
        std::vector<uint32_t> sheet(192 * 64);
        for (size_t i = 0; i < sheet.size(); ++i)
            sheet[i] = (i % 192) < 64 ? kUnlit : (i % 192) < 128 ? kUnused : kLit;
        std::vector<uint8_t> png = sys::display::EncodePng(sheet.data(), 192, 64);
        File("t/lockbtn.png", std::string(png.begin(), png.end()));
        std::string frames;
        for (int i = 0; i < 3; ++i)
            frames += "<frame x=\"" + std::to_string(64 * i) +
                      "\" y=\"0\" w=\"64\" h=\"64\" regx=\"32\" regy=\"32\"/>";
        File("t/lockbtn.xml", "<sequence><img w=\"192\" h=\"64\" regx=\"0\" regy=\"0\" "
                              "name=\"lockbtn.png\"/><framelist>" +
                                  frames + "</framelist></sequence>");
    }
    std::unique_ptr<ElectronicLockScene> Make(const std::string& script, const char* name = "lock")
    {
        std::unique_ptr<TLuaTable> scene = Table("{}");
        std::unique_ptr<TLuaTable> info = Table("{}");
        return MakeScene<ElectronicLockScene>(mFactory, script, *info, name, *scene, *info);
    }
    std::unique_ptr<ElectronicLockScene> MakeWhole(const std::string& sound = "")
    {
        return Make(kGlobals + "electroniclock = { " + sound + " buttons = { " + Buttons() + "} }");
    }
    static std::string Pattern(const ElectronicLockScene& lock)
    {
        std::string cells;
        for (size_t cell = 0; cell < ElectronicLockScene::kCells; ++cell)
            cells += lock.IsLit(cell) ? '1' : '0';
        return cells;
    }

    GameplayFactory mFactory;
};

TEST_F(ElectronicLockSceneTest, ReadsItsKeysCursorsAndSound)
{
    auto lock = MakeWhole("soundtoggle = { sounds = { 'click' }, initialdelay = 20, delay = 30 },");
    EXPECT_STREQ(lock->GetOpenHandCursor().c_str(), "handopen");
    EXPECT_STREQ(lock->GetClosedHandCursor().c_str(), "handclosed");
    ASSERT_NE(lock->GetToggleSound(), nullptr);
    EXPECT_EQ(lock->GetToggleSound()->mPending, -1);
    for (size_t cell = 0; cell < 9; ++cell)
    {
        const ElectronicLockButton& button = lock->GetButton(cell);
        EXPECT_EQ(button.GetX(), Centre(cell).x);
        EXPECT_EQ(button.GetY(), Centre(cell).y);
        EXPECT_FALSE(button.IsLit());
        EXPECT_EQ(button.GetSprite()->GetFrame(), 0);
        EXPECT_EQ(button.GetSprite()->GetLayer(), 0);
    }
    // The one picture, listed once among the animated ones.
    EXPECT_EQ(lock->GetExtraAnimationNames(), std::vector<TString>{"t/lockbtn"});
    EXPECT_TRUE(lock->GetExtraTextureNames().empty());
    // Its own two bytes before the base's.
    EXPECT_EQ(lock->GetStateSize(), 4u);
    EXPECT_EQ(lock->GetLeadingStateSize(), 2u);
}

TEST_F(ElectronicLockSceneTest, PressesFlipTheCrossAndTwiceRestore)
{
    auto lock = MakeWhole("soundtoggle = { sounds = { 'click' }, initialdelay = 20, delay = 30 },");
    // Corner, edge and centre: 3, 4 and 5 cells.
    EXPECT_TRUE(lock->OnMouseDown(Centre(0)));
    EXPECT_EQ(Pattern(*lock), "110100000");
    EXPECT_EQ(lock->GetToggleSound()->mPending, 50);
    EXPECT_EQ(lock->GetButton(1).GetSprite()->GetFrame(), 2);
    EXPECT_TRUE(lock->OnMouseDown(Centre(0)));
    EXPECT_EQ(Pattern(*lock), "000000000");
    EXPECT_EQ(lock->GetButton(1).GetSprite()->GetFrame(), 0);
    EXPECT_TRUE(lock->OnMouseDown(Centre(3)));
    EXPECT_EQ(Pattern(*lock), "100110100");
    EXPECT_TRUE(lock->OnMouseDown(Centre(3)));
    EXPECT_TRUE(lock->OnMouseDown(TPoint{400 + 31, 280 - 32}));
    EXPECT_EQ(Pattern(*lock), "010111010");
    lock->OnMouseUp(TPoint{});

    // Outside every key (the gap between two, and past the last pixel): nothing flips, yet the
    // mouse is held until the release.
    for (TPoint miss : {TPoint{360, 200}, TPoint{400 + 32, 280}, TPoint{100, 100}})
    {
        EXPECT_FALSE(lock->OnMouseDown(miss));
        EXPECT_EQ(Pattern(*lock), "010111010");
        EXPECT_TRUE(lock->IsMouseHeld());
        EXPECT_FALSE(lock->OnMouseUp(miss));
        EXPECT_FALSE(lock->IsMouseHeld());
    }
}

TEST_F(ElectronicLockSceneTest, CursorFollowsTheKeysAndTheHeldMouse)
{
    auto lock = MakeWhole();
    MouseAt(Centre(8));
    EXPECT_STREQ(lock->GetCursorName().c_str(), "handopen");
    lock->OnMouseDown(TPoint{10, 10});
    EXPECT_STREQ(lock->GetCursorName().c_str(), "handclosed");
    MouseAt(TPoint{10, 10});
    EXPECT_STREQ(lock->GetCursorName().c_str(), "default");
    lock->OnMouseUp(TPoint{});
    EXPECT_STREQ(lock->GetCursorName().c_str(), "default");
    // Without pictures no key is under the mouse.
    lock->ReleaseTextures();
    MouseAt(Centre(4));
    EXPECT_STREQ(lock->GetCursorName().c_str(), "default");
    EXPECT_FALSE(lock->OnMouseDown(Centre(4)));
}

// Asked once: asked at every update, the event would be run before any click, and one that leaves
// the lock shown would never reach its next event.
TEST_F(ElectronicLockSceneTest, AllLitAsksForCompletionOnceShownInPlay)
{
    auto lock = MakeWhole("soundtoggle = { sounds = { 'click' }, delay = 100 },");
    for (size_t cell : {0, 2, 6, 8})
        lock->OnMouseDown(Centre(cell));
    EXPECT_EQ(Pattern(*lock), "101000101");
    lock->Update(16, true, true);
    EXPECT_EQ(Activations(), 0);
    lock->OnMouseDown(Centre(4));
    EXPECT_TRUE(lock->AllLit());
    EXPECT_TRUE(lock->IsMouseHeld());
    // Not shown, or the runner out of play: no request, but the sound's delay still counts.
    lock->Update(30, false, true);
    lock->Update(30, true, false);
    EXPECT_EQ(Activations(), 0);
    EXPECT_EQ(lock->GetToggleSound()->mPending, 40);
    EXPECT_TRUE(lock->IsMouseHeld());
    lock->Update(30, true, true);
    lock->Update(30, true, true);
    EXPECT_EQ(Activations(), 1);
    Run("_a = activated[1]");
    EXPECT_STREQ(mManager->GetScript()->GetGlobalString("_a").c_str(),
                 "event_electroniclockcomplete");
    EXPECT_FALSE(lock->IsMouseHeld());
    EXPECT_EQ(lock->GetToggleSound()->mPending, -1);
    EXPECT_TRUE(lock->GetToggleSound()->IsPlaying());
}

TEST_F(ElectronicLockSceneTest, DrawsTheBaseThenEachKeyInItsFrame)
{
    auto lock = MakeWhole();
    lock->OnMouseDown(Centre(0));
    ASSERT_TRUE(Draw2d([&] { lock->Draw(TDrawSpec(TVec2(50, 50), 0.5f, 3.0f)); }));
    // The gameplay's spec is not the keys': they sit in screen pixels at full strength.
    EXPECT_EQ(Back(320, 200), kLit & 0xFFFFFF);
    EXPECT_EQ(Back(400 - 32, 200 - 32), kLit & 0xFFFFFF);
    EXPECT_EQ(Back(480 + 31, 200 + 31), kUnlit & 0xFFFFFF);
    EXPECT_EQ(Back(400, 280), kUnlit & 0xFFFFFF);
    EXPECT_EQ(Back(320, 280), kLit & 0xFFFFFF);
    EXPECT_EQ(Back(480 + 32, 200), 0u);
}

TEST_F(ElectronicLockSceneTest, SavesItsBitsBeforeTheBaseAndRestoresThemQuietly)
{
    auto lock = MakeWhole("soundtoggle = { sounds = { 'click' } },");
    for (size_t cell : {0, 2, 6, 4})
        lock->OnMouseDown(Centre(cell));
    std::vector<uint8_t> saved;
    lock->SaveState(saved);
    EXPECT_EQ(saved, (std::vector<uint8_t>{0x5F, 0x00, 0x00, 0x00}));
    lock->OnMouseDown(Centre(8));
    saved.clear();
    lock->SaveState(saved);
    EXPECT_EQ(saved, (std::vector<uint8_t>{0xFF, 0x01, 0x00, 0x00}));

    // A restored lock lights its frames without a sound or a request; the next scene's block
    // follows at the size it gives.
    auto restored = MakeWhole("soundtoggle = { sounds = { 'click' } },");
    saved.push_back(0x77);
    ASSERT_TRUE(restored->LoadState(saved.data(), saved.size()));
    EXPECT_EQ(Pattern(*restored), "111111111");
    EXPECT_EQ(restored->GetButton(8).GetSprite()->GetFrame(), 2);
    EXPECT_EQ(restored->GetToggleSound()->mPending, -1);
    EXPECT_EQ(Activations(), 0);
    EXPECT_EQ(restored->GetStateSize(), 4u);
    EXPECT_EQ(restored->MeasureState(saved.data(), saved.size()), 4u);
    EXPECT_EQ(saved[restored->GetStateSize()], 0x77);
    restored->Update(16, true, true);
    EXPECT_EQ(Activations(), 1);

    // Byte 1 reads its low bit only; clear bits leave a cell as it was.
    auto partial = MakeWhole();
    partial->OnMouseDown(Centre(8));
    const uint8_t some[] = {0x01, 0xFE, 0x00, 0x00};
    ASSERT_TRUE(partial->LoadState(some, sizeof some));
    EXPECT_EQ(Pattern(*partial), "100001011");

    // Cut short anywhere, the record is refused whole and nothing changes.
    auto fresh = MakeWhole();
    for (size_t size = 0; size < 4; ++size)
    {
        EXPECT_EQ(fresh->MeasureState(saved.data(), size), 0u) << size;
        EXPECT_FALSE(fresh->LoadState(saved.data(), size)) << size;
    }
    EXPECT_FALSE(fresh->LoadState(nullptr, 4));
    EXPECT_EQ(Pattern(*fresh), "000000000");
    EXPECT_EQ(CountInLog("Scene 'lock': its saved lock record does not fit"), 5);
}

TEST_F(ElectronicLockSceneTest, TheToggleSoundPausesAlwaysAndResumesOnlyWhenShown)
{
    auto lock = MakeWhole("soundtoggle = { sounds = { 'click' } },");
    lock->OnMouseDown(Centre(4));
    lock->Update(1, false, false);
    ASSERT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPlaying);
    lock->Pause(false);
    EXPECT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPaused);
    lock->Resume(false);
    EXPECT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPaused);
    lock->Resume(true);
    EXPECT_EQ(mAudio->GetSoundState("click"), SoundEntry::kPlaying);

    // Without a "soundtoggle" the lock plays silently.
    auto silent = MakeWhole();
    EXPECT_EQ(silent->GetToggleSound(), nullptr);
    EXPECT_TRUE(silent->OnMouseDown(Centre(4)));
    silent->Update(1, true, true);
    silent->Pause(true);
    silent->Resume(true);
}

TEST_F(ElectronicLockSceneTest, BrokenTablesAreReportedAndLeaveAUsableScene)
{
    // No table at all (as after a script that failed to run): one fatal line, a scene that still
    // updates, draws, saves and is destroyed.
    auto empty = Make("");
    EXPECT_EQ(CountInLog("ERROR:Cannot find 'electroniclock' table for ElectronicLockScene!"), 1);
    EXPECT_TRUE(empty->GetOpenHandCursor().Length() == 0);
    EXPECT_TRUE(empty->GetExtraAnimationNames().empty());
    EXPECT_FALSE(empty->OnMouseDown(Centre(4)));
    empty->Update(16, true, true);
    DrawBlack([&] { empty->Draw(TDrawSpec()); });
    std::vector<uint8_t> saved;
    empty->SaveState(saved);
    EXPECT_EQ(saved.size(), empty->GetStateSize());
    EXPECT_EQ(Activations(), 0);

    Make("electroniclock = {}");
    EXPECT_EQ(CountInLog("ERROR:ERROR: No button table for ElectronicLockScene!"), 1);

    // A missing key keeps its defaults; the others load. Strings where numbers belong read 0
    // unless they are numbers; nil cursor globals give empty names.
    auto gap = Make("electroniclock = { buttons = { " + Buttons("button05") +
                    "button06 = { x = 'far', y = '280', image = 't/lockbtn' } } }");
    EXPECT_EQ(CountInLog("ERROR:ERROR: No button index table for ElectronicLockButton!"), 1);
    EXPECT_EQ(gap->GetButton(4).GetX(), 0);
    EXPECT_TRUE(gap->GetButton(4).GetImage().Length() == 0);
    EXPECT_EQ(gap->GetButton(5).GetX(), 0);
    EXPECT_EQ(gap->GetButton(5).GetY(), 280);
    EXPECT_EQ(gap->GetButton(8).GetX(), 480);
    EXPECT_EQ(gap->GetExtraAnimationNames(), std::vector<TString>{"t/lockbtn"});
    EXPECT_STREQ(gap->GetOpenHandCursor().c_str(), "");
    MouseAt(Centre(8));
    EXPECT_STREQ(gap->GetCursorName().c_str(), "");
    // The missing centre key never lights, so the lock cannot complete.
    EXPECT_FALSE(gap->OnMouseDown(Centre(4)));
    EXPECT_TRUE(gap->OnMouseDown(Centre(8)));
    EXPECT_EQ(Pattern(*gap), "000001011");
}

} // namespace
