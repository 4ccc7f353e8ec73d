// Hint medallions on a stepped clock: trackers read up to the first missing index (and at most
// eight), the staggered pulses, spending and refilling, selection and its fallbacks, the spin and
// its zero-length case, glow and tracker highlight, sound countdowns, pause, broken tables.
#include "game/hud/gameplay_hint.h"

#include "framework/sound/sound_effect.h"
#include "game/hud/hud_test_support.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

using gamehudtest::Character;

class HintTest : public gamehudtest::HintDisplayTest
{
protected:
    std::unique_ptr<GameplayHint> Make(const std::string& character,
                                       const std::string& info = gamehudtest::kHintInfo)
    {
        auto c = Table(character);
        auto i = Table(info);
        return std::make_unique<GameplayHint>(*c, *i);
    }
    void Run(GameplayHint& hint, uint32_t ms, TIntPoint at = {})
    {
        for (uint32_t t = 0; t < ms; t += 10)
            Step(10, [&] { hint.Update(at); });
    }
};

TEST_F(HintTest, TrackersAreReadUpToTheFirstMissingIndexAndAtMostEight)
{
    auto five = Make(Character(50, 120, 5, ", tracker6 = 1"));
    EXPECT_EQ(five->GetTrackerCount(), 5u);
    EXPECT_EQ(five->CountAvailableTrackers(), 5);
    EXPECT_EQ(five->GetAvailableMask(), 0x1F);
    EXPECT_EQ(five->GetFirstMissingTracker(), -1);
    EXPECT_EQ(five->GetFirstSelectedTracker(), -1);

    // No "hint_0": no trackers, nothing hit; the medallion still draws.
    auto none = Make("{ medallion = { image = 'hud/med', x = 50, y = 50 }, "
                     "tracker = { hint_1 = { image = 'hud/trk' } } }");
    EXPECT_EQ(none->GetTrackerCount(), 0u);
    EXPECT_FALSE(none->HitTracker({120, 20}, TDrawSpec(), false));
    EXPECT_EQ(none->GetTrackerTexture(0), nullptr);
    ASSERT_TRUE(Draw2d([&] { none->DrawMedallion(TDrawSpec()); }));
    EXPECT_EQ(Back(50, 50), 0xE02020u);

    auto nine = Make(Character(50, 120, 9));
    EXPECT_EQ(nine->GetTrackerCount(), 8u);
    EXPECT_EQ(nine->GetAvailableMask(), 0xFF);
    EXPECT_EQ(rendertest::CountOf(Log(), "at most 8 trackers"), 1) << Log();

    // Out of range, a negative index included: reported, the fallbacks.
    for (int32_t index : {5, -1})
    {
        EXPECT_EQ(five->GetTrackerPosition(index).x, 0);
        EXPECT_EQ(five->GetTrackerTexture(index), TAnimatedTexture::Get("hud/trk", "", ""));
    }
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:No missing trackers!   FILE:gameplayhint"), 5);
    EXPECT_EQ(five->GetTrackerPosition(2).y, 70);
}

TEST_F(HintTest, MissingTablesAreFatalAndBuildNothingMore)
{
    auto bare = Make("{ tracker = { hint_0 = { image = 'hud/trk' } } }");
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:No medallion table for GameplayHint!   "
                                         "FILE:gameplayhint LINE:"),
              1);
    EXPECT_EQ(bare->GetTrackerCount(), 0u);
    auto noTrackers = Make("{ medallion = { image = 'hud/med' }, scrimw = 10, click = {} }");
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:No tracker table for GameplayHint!"), 1);
    EXPECT_EQ(noTrackers->GetClickSound(), nullptr);
    // Wrong-typed keys read as their defaults.
    auto odd = Make(Character(50, 120, 1, ", scrimx = 'left'"),
                    "{ timepulse = 'long', medallionspinduration = {} }");
    EXPECT_EQ(odd->GetTrackerCount(), 1u);
    EXPECT_EQ(odd->GetSpinFrame(), 0);
}

TEST_F(HintTest, PulsesAreStaggeredAndRepeat)
{
    auto hint = Make(Character(50, 120, 3));
    // Tracker 2's first pulse starts at 300 ms, peaks 100 ms later, is down again 100 ms after
    // that and starts over.
    Run(*hint, 300);
    EXPECT_LT(hint->GetTrackerPulse(2), 0.01f);
    EXPECT_GT(hint->GetTrackerPulse(1), 0.0f);
    Run(*hint, 100);
    EXPECT_GT(hint->GetTrackerPulse(2), 0.59f);
    Run(*hint, 110);
    EXPECT_LT(hint->GetTrackerPulse(2), 0.01f);
    Run(*hint, 90);
    EXPECT_GT(hint->GetTrackerPulse(2), 0.3f);

    // Paused, nothing moves; resumed, it goes on.
    hint->Pause();
    const float held = hint->GetTrackerPulse(2);
    Run(*hint, 30);
    EXPECT_EQ(hint->GetTrackerPulse(2), held);
    hint->Resume();
    Run(*hint, 30);
    EXPECT_NE(hint->GetTrackerPulse(2), held);
}

TEST_F(HintTest, SpendingSelectingAndRefilling)
{
    auto hint = Make(Character(50, 120, 4));
    hint->SetAvailableMask(0x06); // 0 and 3 spent
    EXPECT_EQ(hint->GetFirstMissingTracker(), 0);
    hint->FillNextTracker();
    EXPECT_EQ(hint->GetAvailableMask(), 0x07);
    EXPECT_EQ(hint->CountAvailableTrackers(), 3);

    // A click on the missing tracker 3 only schedules the click sound (its own delay).
    hint->SelectTrackerAt({120, 95}, TDrawSpec());
    EXPECT_EQ(hint->GetSelectedMask(), 0);
    EXPECT_EQ(hint->GetClickSound()->mPending, 30);
    EXPECT_EQ(hint->GetClickedPosition(TDrawSpec()).x, 0);
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:GameplayHint::GetClickedPosition() with no "
                                         "clicked hint!   FILE:gameplayhint"),
              1);
    // The sound starts when its countdown runs out.
    Run(*hint, 20);
    EXPECT_EQ(hint->GetClickSound()->mPending, 10);
    Run(*hint, 10);
    EXPECT_EQ(hint->GetClickSound()->mPending, -1);

    EXPECT_FALSE(hint->HitTracker({120, 95}, TDrawSpec(), true));
    EXPECT_TRUE(hint->HitTracker({120, 95}, TDrawSpec(), false));
    hint->SelectTrackerAt({121, 45}, TDrawSpec());
    EXPECT_EQ(hint->GetSelectedMask(), 0x02);
    EXPECT_EQ(hint->GetFirstSelectedTracker(), 1);
    const TIntPoint at = hint->GetClickedPosition(TDrawSpec(TVec2(0.5f, 500.5f)));
    EXPECT_EQ(at.x, 120);
    EXPECT_EQ(at.y, 545);

    // The medallion's picture is hit only where it is opaque; "only if missing" needs a gap.
    EXPECT_TRUE(hint->HitMedallion({50, 50}, TDrawSpec(), true));
    EXPECT_FALSE(hint->HitMedallion({80, 50}, TDrawSpec(), false));
    hint->SetAvailableMask(0x0F);
    EXPECT_FALSE(hint->HitMedallion({50, 50}, TDrawSpec(), true));
    EXPECT_TRUE(hint->HitMedallion({50, 50}, TDrawSpec(), false));
}

TEST_F(HintTest, SpinsToTheLastFrameAndBack)
{
    auto hint = Make(Character(50, 120, 1));
    hint->Spin(true);
    EXPECT_EQ(hint->GetClickSound()->mPending, 30);
    Run(*hint, 200);
    EXPECT_EQ(hint->GetSpinFrame(), 1);
    Run(*hint, 210);
    EXPECT_EQ(hint->GetSpinFrame(), 3);
    hint->Spin(false);
    Run(*hint, 410);
    EXPECT_EQ(hint->GetSpinFrame(), 0);

    // No duration: frame 0, the last at once after a played spin.
    auto instant = Make(Character(50, 120, 1), "{ }");
    EXPECT_EQ(instant->GetSpinFrame(), 0);
    instant->Spin(true);
    EXPECT_EQ(instant->GetSpinFrame(), 3);
    instant->Spin(false);
    EXPECT_EQ(instant->GetSpinFrame(), 0);
}

TEST_F(HintTest, GlowAndTrackerHighlightFollowTheirRequests)
{
    auto hint = Make(Character(50, 120, 3));
    hint->RequestHover();
    Run(*hint, 10);
    EXPECT_TRUE(hint->IsGlowOn());
    EXPECT_EQ(hint->GetOverSound()->mPending, -1); // no delay: started with the frame
    for (int i = 0; i < 10; ++i)
    {
        hint->RequestHover();
        Run(*hint, 10);
    }
    EXPECT_GT(hint->GetGlowAlpha(), 0.3f);
    Run(*hint, 10);
    EXPECT_FALSE(hint->IsGlowOn());
    Run(*hint, 100);
    EXPECT_EQ(hint->GetGlowAlpha(), 0.0f);

    // The highlight: the tracker under the point rises, the others fade; the pulses come back
    // staggered from 0 when it ends.
    hint->RequestTrackerHover();
    Run(*hint, 10, {120, 45});
    EXPECT_TRUE(hint->IsTrackerHighlightOn());
    EXPECT_EQ(hint->GetHighlightedTracker(), 1u);
    for (int i = 0; i < 10; ++i)
    {
        hint->RequestTrackerHover();
        Run(*hint, 10, {120, 45});
    }
    EXPECT_NEAR(hint->GetTrackerPulse(1), 0.6f, 0.01f);
    EXPECT_NEAR(hint->GetTrackerPulse(2), 0.0f, 0.01f);
    Run(*hint, 10);
    EXPECT_FALSE(hint->IsTrackerHighlightOn());
    Run(*hint, 50);
    EXPECT_GT(hint->GetTrackerPulse(0), 0.05f);
    EXPECT_LT(hint->GetTrackerPulse(2), 0.01f);
}

} // namespace
