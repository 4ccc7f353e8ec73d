// The game's dialog and its streaks on the headless display: the streak's timeline, side and
// soft edge, the dialog's intervals, its bound on streaks, pausing, the second face, and styles
// without streaks or with images missing.
#include "game/dialogs/mkw_dialog_window.h"

#include "framework/core/delta_time.h"
#include "framework/core/window_manager.h"
#include "framework/screens/game_window.h"
#include "framework/transforms/transform_manager.h"
#include "game/dialogs/blood_streak.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/script.h"
#include "ui/ui_display_support.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace
{

// A streak of 4 x 20 red pixels and a drop of 6 x 6 blue ones.
const char kBlood[] = "{ imagestreak = 'streak.png', imagedrop = 'drop.png', "
                      "widthmin = 0, widthmax = 300, widthbuffer = 10, widthallowance = 0, "
                      "heightmin = 50, heightallowance = 0, dropcentery = 3, "
                      "timefadein = 100, timeslide = 200, timedropdelay = 50, timedrop = 100, "
                      "distancedrop = 30, timefadeout = 150";

class MKWDialogWindowTest : public uitest::UiDisplayTest
{
protected:
    void SetUp() override
    {
        UiDisplayTest::SetUp();
        mManager->RegisterWindowType("DialogWindow", &MKWDialogWindow::Create);
        mManager->RegisterWindowType("GameWindow", &GameWindow::Create);
        auto* root = static_cast<TScreen*>(mManager->GetRoot());
        root->mAlwaysClear = true;
        root->mClearColor = TVec4(1, 1, 1, 1);
        Serve("face.png", uitest::FlatPng(100, 50, 0x00FF00));
        Serve("wide.png", uitest::FlatPng(200, 80, 0x00FFFF));
        Serve("streak.png", uitest::FlatPng(4, 20, 0xFF0000));
        Serve("drop.png", uitest::FlatPng(6, 6, 0x0000FF));
        WindowManager::SetActiveSource([] { return true; });
        mFrames = std::make_unique<WindowManager>();
        mFrames->AddClient(&mTransforms, true);
    }
    void TearDown() override
    {
        mFrames.reset();
        WindowManager::SetActiveSource(nullptr);
        UiDisplayTest::TearDown();
    }
    // Frames of 16 ms.
    void Frames(uint32_t ms)
    {
        for (uint32_t t = 0; t < ms; t += 16)
            Step(16);
    }
    void Step(uint32_t ms)
    {
        sys::AdvanceManualClock(ms);
        mFrames->Run();
        if (mScript->Ready(kTaskPassTime))
            mScript->Run();
        mManager->HandleEvent(uitest::MakeEvent(kEventTick));
    }
    // A dialog of the style's extra keys on the 100 x 50 face at (200, 100), at rest at once.
    MKWDialogWindow* Open(const std::string& keys)
    {
        Do("PushModal('a') GameWindow{ name = 'gamewindow', w = 800, h = 600, DialogWindow{ "
           "name = 'dlg', image = 'face.png', x = 200, y = 100, skipintro = true, "
           "transform = {}, " +
           keys + " } }()");
        TWindow* window = Find("dlg");
        return window != nullptr && window->IsKindOf(MKWDialogWindow::GetClassId())
                   ? static_cast<MKWDialogWindow*>(window)
                   : nullptr;
    }
    std::shared_ptr<BloodStreak> Streak(const std::string& extra = "")
    {
        Do(std::string("_b = ") + kBlood + extra + " }");
        std::unique_ptr<TLuaTable> table(mScript->GetGlobalTable("_b"));
        return table != nullptr ? BloodStreak::Create(*table) : nullptr;
    }
    // The streak alone drawn on white.
    void DrawAlone(BloodStreak& streak)
    {
        TRenderer* renderer = TRenderer::Instance();
        ASSERT_TRUE(renderer->BeginDraw(false));
        renderer->FillRect(TRect(0, 0, 800, 600), TVec4(1, 1, 1, 1));
        ASSERT_TRUE(renderer->Begin2d());
        streak.Draw(TDrawSpec());
        renderer->End2d();
        renderer->EndFrame(false);
    }

    DeltaTime mClock;
    TransformManager mTransforms;
    std::unique_ptr<WindowManager> mFrames;
};

TEST_F(MKWDialogWindowTest, AStreakRunsItsTimelineAndFinishesOnlyAfterAllItsTimes)
{
    mClock.SetFrameTime(1001); // odd: the left band
    std::shared_ptr<BloodStreak> streak = Streak();
    ASSERT_NE(streak, nullptr);
    EXPECT_FLOAT_EQ(streak->GetStreakTransform().GetX(), 10.0f);
    EXPECT_FLOAT_EQ(streak->GetStreakTransform().GetY(), 50.0f);
    EXPECT_FLOAT_EQ(streak->GetDropTransform().GetAlpha(), 0.0f);
    EXPECT_EQ(streak->GetStreakSprite()->GetSpec().mSourceRect, TRect(0, 20, 4, 20));
    EXPECT_TRUE(streak->IsRevealing());

    // Fade-in, then the slide of exactly the streak's height (each list of the drop starts on
    // the frame after the one before ends): part shown, then all of it, then drawn whole.
    Frames(16 + 112);
    EXPECT_FLOAT_EQ(streak->GetDropTransform().GetAlpha(), 1.0f);
    Frames(112);
    streak->Reveal();
    EXPECT_TRUE(streak->IsRevealing());
    int32_t top = streak->GetStreakSprite()->GetSpec().mSourceRect.top;
    EXPECT_GT(top, 0);
    EXPECT_LT(top, 20);
    Frames(112);
    streak->Reveal();
    EXPECT_FALSE(streak->IsRevealing());
    EXPECT_EQ(streak->GetStreakSprite()->GetSpec().mFlags, static_cast<uint32_t>(kDrawOrigin));

    // A pause holds everything back by its length.
    streak->Pause();
    Frames(496);
    streak->Resume();
    EXPECT_FALSE(streak->IsFinished());
    // 600 ms of unpaused time in all: 100 + 200 + 50 + 100 + 150; 352 of them have passed.
    Frames(224);
    EXPECT_FALSE(streak->IsFinished());
    Frames(48);
    EXPECT_TRUE(streak->IsFinished());
    Frames(64);
    EXPECT_FLOAT_EQ(streak->GetDropTransform().GetY(), 50.0f + 20 + 30) << "the drop stays";
    EXPECT_FLOAT_EQ(streak->GetDropTransform().GetAlpha(), 1.0f);
}

TEST_F(MKWDialogWindowTest, StreaksOfOneFrameAreAlikeAndTheSeedsLowBitPicksTheSide)
{
    mClock.SetFrameTime(2000);
    std::shared_ptr<BloodStreak> a = Streak(", widthallowance = 40, heightallowance = 40");
    std::shared_ptr<BloodStreak> b = Streak(", widthallowance = 40, heightallowance = 40");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->GetStreakTransform().GetX(), b->GetStreakTransform().GetX());
    EXPECT_EQ(a->GetStreakTransform().GetY(), b->GetStreakTransform().GetY());
    // Even: the right band, from 300 - 10 - 40 to 300 - 10.
    EXPECT_GE(a->GetStreakTransform().GetX(), 250.0f);
    EXPECT_LE(a->GetStreakTransform().GetX(), 290.0f);
    EXPECT_GE(a->GetStreakTransform().GetY(), 50.0f);
    EXPECT_LE(a->GetStreakTransform().GetY(), 90.0f);
    mClock.SetFrameTime(2001);
    std::shared_ptr<BloodStreak> c = Streak(", widthallowance = 40");
    EXPECT_GE(c->GetStreakTransform().GetX(), 10.0f);
    EXPECT_LE(c->GetStreakTransform().GetX(), 50.0f);

    EXPECT_EQ(Streak(", imagedrop = 'none.png'"), nullptr) << "an image missing: no streak";
}

TEST_F(MKWDialogWindowTest, TheSoftEdgeFadesRowsAboveTheRevealedPartAndNoneAtLengthOne)
{
    mClock.SetFrameTime(1);
    std::shared_ptr<BloodStreak> streak = Streak(", streakfadelength = 4");
    ASSERT_NE(streak, nullptr);
    // Half revealed by hand: the drop 10 px below the start, full alpha.
    streak->GetDropTransform().SetY(60);
    streak->GetDropTransform().SetAlpha(1);
    streak->Reveal();
    ASSERT_EQ(streak->GetStreakSprite()->GetSpec().mSourceRect.top, 10);
    DrawAlone(*streak);
    // The streak's 4 columns are x 8 to 11 (centred on 10); the revealed rows hang from y 50.
    EXPECT_EQ(Back(9, 50), 0xFF0000u);
    EXPECT_EQ(Back(9, 56), 0xFF0000u);
    // Three rows above it at 3/4, 2/4 and 1/4 of the red over white.
    EXPECT_EQ(Back(9, 49), 0xFF4040u);
    EXPECT_EQ(Back(9, 48) & 0xFF00, 0x7F00u);
    EXPECT_EQ(Back(9, 47) & 0xFF00, 0xBF00u);
    EXPECT_EQ(Back(9, 46), 0xFFFFFFu);
    EXPECT_FLOAT_EQ(streak->GetStreakTransform().GetY(), 50.0f) << "the streak stays in place";
    EXPECT_EQ(Back(10, 60), 0x0000FFu) << "the drop at the revealed end";

    std::shared_ptr<BloodStreak> hard = Streak(", streakfadelength = 1");
    hard->GetDropTransform().SetY(60);
    hard->Reveal();
    DrawAlone(*hard);
    EXPECT_EQ(Back(9, 50), 0xFF0000u);
    EXPECT_EQ(Back(9, 49), 0xFFFFFFu);
}

TEST_F(MKWDialogWindowTest, IntervalsFollowTheTimesAndAStepEqualToTheRestSpawns)
{
    MKWDialogWindow* dialog =
        Open(std::string("timebloodmin = 500, timebloodmax = 500, blood = ") + kBlood + " }");
    ASSERT_NE(dialog, nullptr);
    EXPECT_STREQ(dialog->GetClassName(), "MKWDialogWindow");
    EXPECT_TRUE(dialog->IsKindOf(DialogWindow::GetClassId()));
    EXPECT_EQ(dialog->GetState(), DialogWindow::kShown) << "skipintro";
    ASSERT_EQ(dialog->GetStreaks().size(), 1u) << "the first streak comes with the dialog";
    EXPECT_EQ(dialog->GetTimeToNextBlood(), 500u);
    Step(16);
    Step(484);
    EXPECT_EQ(dialog->GetTimeToNextBlood(), 16u);
    EXPECT_EQ(dialog->GetStreaks().size(), 1u);
    Step(16);
    EXPECT_EQ(dialog->GetStreaks().size(), 2u);
    EXPECT_EQ(dialog->GetTimeToNextBlood(), 500u);

    MKWDialogWindow* wide =
        Open(std::string("timebloodmin = 500, timebloodmax = 1000, blood = ") + kBlood + " }");
    std::set<uint32_t> seen;
    for (int i = 0; i < 200; ++i)
    {
        EXPECT_GE(wide->GetTimeToNextBlood(), 500u);
        EXPECT_LE(wide->GetTimeToNextBlood(), 1000u);
        seen.insert(wide->GetTimeToNextBlood());
        Step(wide->GetTimeToNextBlood());
    }
    EXPECT_GT(seen.size(), 50u);

    MKWDialogWindow* reversed =
        Open(std::string("timebloodmin = 700, timebloodmax = 200, blood = ") + kBlood + " }");
    EXPECT_EQ(reversed->GetTimeToNextBlood(), 700u) << "a longest below the shortest";
}

TEST_F(MKWDialogWindowTest, StreaksAreBoundedPausedWithTheDialogAndDrawnOverItsFace)
{
    MKWDialogWindow* dialog = Open(std::string("blood = ") + kBlood + " }");
    ASSERT_NE(dialog, nullptr);
    // Both times 0: one streak a frame, never more than the bound.
    for (int i = 0; i < 40; ++i)
        Step(16);
    EXPECT_EQ(dialog->GetStreaks().size(), MKWDialogWindow::kMaxStreaks);
    for (const auto& streak : dialog->GetStreaks())
        EXPECT_FALSE(streak->IsFinished());
    Step(700);
    Step(16);
    EXPECT_EQ(dialog->GetStreaks().size(), MKWDialogWindow::kMaxStreaks);
    EXPECT_FALSE(dialog->GetStreaks().back()->IsFinished());

    dialog->Pause();
    const size_t count = dialog->GetStreaks().size();
    std::shared_ptr<BloodStreak> last = dialog->GetStreaks().back();
    const float y = last->GetDropTransform().GetY();
    Step(16);
    Step(100);
    EXPECT_EQ(dialog->GetStreaks().size(), count) << "no new streak while paused";
    EXPECT_FLOAT_EQ(last->GetDropTransform().GetY(), y);
    dialog->Resume();
    Frames(160);
    EXPECT_NE(last->GetDropTransform().GetY(), y);

    // The dialog draws the streaks in its own space, over its face.
    MKWDialogWindow* tall = Open(std::string("timebloodmin = 100000, timebloodmax = 100000, "
                                             "blood = ") +
                                 kBlood + ", widthmax = 100, heightmin = 20 }");
    ASSERT_NE(tall, nullptr);
    Frames(400);
    Paint();
    const int x = 200 + static_cast<int>(tall->GetStreaks().front()->GetStreakTransform().GetX());
    EXPECT_EQ(Pixel(x - 1, 100 + 30), 0xFF0000u) << "over the face, in the dialog's own space";
    EXPECT_EQ(Pixel(x - 1, 100 + 18), 0x00FF00u) << "above the streak's start";
}

TEST_F(MKWDialogWindowTest, WithoutBloodItIsTheFrameworksDialogAndASecondFaceResizesIt)
{
    MKWDialogWindow* plain = Open("timebloodmin = 10");
    ASSERT_NE(plain, nullptr);
    for (int i = 0; i < 5; ++i)
        Step(16);
    EXPECT_TRUE(plain->GetStreaks().empty());
    EXPECT_EQ(plain->GetRect(), TRect(200, 100, 300, 150));

    MKWDialogWindow* actual =
        Open("actualimage = 'wide.png', xoffset = 5, yoffset = -3, blood = { imagestreak = "
             "'none.png', imagedrop = 'drop.png' }");
    ASSERT_NE(actual, nullptr);
    EXPECT_EQ(actual->GetRect(), TRect(200, 100, 400, 180));
    EXPECT_EQ(actual->GetSprite()->GetTexture()->GetWidth(), 200u);
    EXPECT_FLOAT_EQ(actual->GetSprite()->GetSpec().mMatrix.m[2][0], 105.0f);
    EXPECT_FLOAT_EQ(actual->GetSprite()->GetSpec().mMatrix.m[2][1], 37.0f);
    Step(16);
    EXPECT_TRUE(actual->GetStreaks().empty()) << "a streak without its image is skipped";

    MKWDialogWindow* missing = Open("actualimage = 'none.png'");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->GetRect(), TRect(200, 100, 300, 150)) << "the face it had";
}

// Three streaks a fixed 200 ms apart on the 200 x 80 face, 500 ms after the first: the oldest
// fully revealed and its drop falling, the youngest still fading in.
TEST_F(MKWDialogWindowTest, ThreeStreaksAtFixedTimesMatchTheirGolden)
{
    MKWDialogWindow* dialog = Open(std::string("image = 'wide.png', timebloodmin = 200, "
                                               "timebloodmax = 200, blood = ") +
                                   kBlood +
                                   ", widthmax = 200, widthallowance = 30, "
                                   "heightallowance = 10, streakfadelength = 6 }");
    ASSERT_NE(dialog, nullptr);
    Frames(496);
    ASSERT_EQ(dialog->GetStreaks().size(), 3u);
    Paint();
    rendertest::CompareWithGolden(*Data().mBackBuffer, {200, 100, 400, 180},
                                  "mkw_dialog_streaks.png");
}

} // namespace
