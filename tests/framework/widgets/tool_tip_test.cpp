// The tool tip driven as its owner drives it: frames of a manual frame clock and the transform
// manager, its timing and suppression, its placement for each position bit within the bounds,
// and its background drawn on the display stand-in.
#include "framework/widgets/tool_tip.h"

#include "framework/framework_display_support.h"
#include "render/text/text_sprite.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

const TColor kRed(255, 0, 0, 255);

class ToolTipTest : public fwtest::FrameworkDisplayTest
{
protected:
    void TearDown() override
    {
        mTip.reset();
        FrameworkDisplayTest::TearDown();
    }
    void Make(const std::string& table)
    {
        std::unique_ptr<TLuaTable> t = Table(table);
        ASSERT_NE(t, nullptr);
        mTip = std::make_shared<ToolTip>(*t);
    }
    // One frame 16 ms after the last: the transforms step, then the owner's update.
    void Frame(const char* text, bool immediate = false)
    {
        mNow += 16;
        mClock.SetFrameTime(mNow);
        mClock.SetStep(16);
        mTransforms.Update();
        mTip->Update(text, 100, 100, kRed, immediate);
    }
    // Frames until the state changes (at most `limit`); answers how many ran.
    int FramesUntilChange(const char* text, int limit = 200)
    {
        const int32_t state = mTip->GetState();
        for (int i = 1; i <= limit; ++i)
        {
            Frame(text);
            if (mTip->GetState() != state)
                return i;
        }
        return -1;
    }

    std::shared_ptr<ToolTip> mTip;
};

constexpr const char* kTimed = "{ font = { '', 10, { 1, 1, 1, 1 } }, w = 200, h = 40, "
                               "timeinitialwait = 500, timefade = 100, timevisible = 200, "
                               "maxx = 800, maxy = 600, position = 10 }";

TEST_F(ToolTipTest, RestFadeInStayFadeOutThenSuppressedUntilTheNextHide)
{
    Make(kTimed);
    EXPECT_EQ(mTip->GetState(), ToolTip::kHidden);
    // 32 frames bring the resting time to 512; the 33rd shows.
    EXPECT_EQ(FramesUntilChange("Key"), 33);
    EXPECT_EQ(mTip->GetState(), ToolTip::kFadingIn);
    EXPECT_EQ(std::string(mTip->GetText().c_str()), "Key");
    Frame("Key");
    Frame("Key");
    EXPECT_GT(mTip->GetTransform().GetAlpha(), 0.0f);
    EXPECT_LT(mTip->GetTransform().GetAlpha(), 1.0f);
    FramesUntilChange("Key");
    EXPECT_EQ(mTip->GetState(), ToolTip::kShown);
    EXPECT_EQ(mTip->GetTransform().GetAlpha(), 1.0f);

    // 200 ms visible: the frame whose fade-in ended counted 16 already; 12 more reach 208, the
    // 13th starts the fade-out.
    EXPECT_EQ(FramesUntilChange("Key"), 13);
    EXPECT_EQ(mTip->GetState(), ToolTip::kFadingOut);
    EXPECT_TRUE(mTip->IsSuppressed());
    FramesUntilChange("Key");
    EXPECT_EQ(mTip->GetState(), ToolTip::kHidden);
    EXPECT_EQ(FramesUntilChange("Key", 100), -1) << "suppressed";

    mTip->Hide(false);
    EXPECT_FALSE(mTip->IsSuppressed());
    EXPECT_EQ(FramesUntilChange("Key"), 33);
}

TEST_F(ToolTipTest, ANewTextFadesTheOldOutAndRestsAgain)
{
    Make(kTimed);
    FramesUntilChange("Old");
    FramesUntilChange("Old");
    ASSERT_EQ(mTip->GetState(), ToolTip::kShown);
    Frame("New");
    EXPECT_EQ(mTip->GetState(), ToolTip::kFadingOut);
    EXPECT_EQ(std::string(mTip->GetText().c_str()), "Old");
    FramesUntilChange("New");
    EXPECT_EQ(mTip->GetState(), ToolTip::kHidden);
    // A fresh rest (the frame whose fade-out ended counted its 16 ms).
    EXPECT_EQ(FramesUntilChange("New"), 32);
    EXPECT_EQ(std::string(mTip->GetText().c_str()), "New");
}

TEST_F(ToolTipTest, ImmediateShowAndHide)
{
    Make(kTimed);
    Frame("Now", true);
    EXPECT_EQ(mTip->GetState(), ToolTip::kFadingIn);
    Frame("Now", true);
    EXPECT_EQ(mTip->GetState(), ToolTip::kFadingIn) << "the same text changes nothing";

    // Hidden at once, and the fade-in it interrupted does not bring it back.
    mTip->Hide(true);
    EXPECT_EQ(mTip->GetState(), ToolTip::kHidden);
    EXPECT_TRUE(mTip->IsSuppressed());
    for (int i = 0; i < 20; ++i)
        Frame("Now");
    EXPECT_EQ(mTip->GetState(), ToolTip::kHidden);
    EXPECT_EQ(mTip->GetTransform().GetAlpha(), 0.0f);

    Frame("Now", true);
    FramesUntilChange("Now");
    ASSERT_EQ(mTip->GetState(), ToolTip::kShown);
    Frame("Other", true);
    EXPECT_EQ(mTip->GetState(), ToolTip::kFadingOut);
}

TEST(ToolTipPlaceTest, EachPositionBitWithinTheBounds)
{
    const TRect wide(0, 0, 800, 600);
    auto place = [&](int32_t position, int32_t x, int32_t y, const TRect& bounds)
    {
        ToolTip::Placement p = ToolTip::Place(position, x, y, 60, 20, 4, 2, bounds);
        return std::make_pair(p.x, p.y);
    };
    using P = std::pair<int32_t, int32_t>;
    // Right of and below the point: the box spans 100..168 by 100..124.
    EXPECT_EQ(place(10, 100, 100, wide), P(134, 112));
    // Neither bit: left of and above the point.
    EXPECT_EQ(place(0, 100, 100, wide), P(66, 88));
    // Centred on the point both ways; 2 wins over 1 and 8 over 4.
    EXPECT_EQ(place(5, 100, 100, wide), P(100, 100));
    EXPECT_EQ(place(3, 100, 100, wide), P(134, 88));
    EXPECT_EQ(place(12, 100, 100, wide), P(66, 112));
    // Clamped: centred near the left and top bounds, right and below near the far ones, left
    // and above near the near ones.
    EXPECT_EQ(place(5, 10, 5, wide), P(34, 12));
    EXPECT_EQ(place(5, 790, 595, wide), P(766, 588));
    EXPECT_EQ(place(10, 790, 595, wide), P(766, 588));
    EXPECT_EQ(place(0, 10, 5, wide), P(34, 12));
    EXPECT_EQ(place(10, 100, 100, TRect(0, 0, 150, 110)), P(116, 98));
}

TEST_F(ToolTipTest, BackgroundCornersFollowThePlacementAndFadeWithTheBox)
{
    Platform().SetDisplay(800, 600, false, false, false, false);
    ASSERT_TRUE(Platform().IsDisplayReady());
    Make("{ font = { '', 10, { 1, 1, 1, 1 } }, fontdropshadow = { '', 10, { 0, 0, 0, 1 } }, "
         "dropshadowthickness = 2, w = 200, h = 40, borderwidth = 10, borderheight = 6, "
         "maxx = 800, maxy = 600, position = 10, backgroundcolor = { 0, 0, 1, 1 } }");
    ASSERT_NE(mTip->GetShadowSprite(), nullptr);
    EXPECT_EQ(mTip->GetCorners()[0].colour, TColor(0, 0, 255, 255).GetPacked());
    EXPECT_EQ(mTip->GetTransform().GetAlpha(), 0.0f);

    Frame("Hello", true);
    FramesUntilChange("Hello");
    ASSERT_EQ(mTip->GetState(), ToolTip::kShown);
    TRect text;
    mTip->GetTextSprite()->GetTextBounds(text, TDrawSpec());
    const int32_t w = text.Width(), h = text.Height();
    ASSERT_GT(w, 0);
    const ToolTipVertex* c = mTip->GetCorners();
    const ToolTip::Placement centre =
        ToolTip::Place(10, 100, 100, w, h, 10, 6, TRect(0, 0, 800, 600));
    EXPECT_EQ(mTip->GetTransform().GetX(), static_cast<float>(centre.x));
    EXPECT_EQ(c[0].x, static_cast<float>(centre.x - 10 - w / 2));
    EXPECT_EQ(c[0].y, static_cast<float>(centre.y - 6 - h / 2));
    EXPECT_EQ(c[2].x, static_cast<float>(centre.x + 10 + w / 2));
    EXPECT_EQ(c[2].y, static_cast<float>(centre.y + 6 + h / 2));
    EXPECT_EQ(c[1].x, c[2].x);
    EXPECT_EQ(c[1].y, c[0].y);
    EXPECT_EQ(c[3].x, c[0].x);
    EXPECT_EQ(c[3].y, c[2].y);
    EXPECT_EQ(mTip->GetScrimAlphaMax(), 1.0f) << "from the colour the owner passed";

    mTip->GetTransform().SetAlpha(0.5f);
    mTip->UpdateScrim();
    EXPECT_EQ(TColor(c[0].colour).GetA(), 127);
    mTip->GetTransform().SetAlpha(1.0f);
    mTip->UpdateScrim();

    TRenderer* renderer = TRenderer::Instance();
    BeginBlackFrame();
    ASSERT_TRUE(renderer->Begin2d());
    mTip->Draw();
    EXPECT_TRUE(renderer->InBegin2d()) << "the owner's block stays open";
    renderer->End2d();
    EndFrame();
    const int left = static_cast<int>(c[0].x), top = static_cast<int>(c[0].y);
    EXPECT_EQ(Back(left + 1, top + 1), 0xFF0000u);
    EXPECT_EQ(Back(static_cast<int>(c[2].x) - 2, static_cast<int>(c[2].y) - 2), 0xFF0000u);
    EXPECT_EQ(Back(left - 2, top + 1), 0u);
    EXPECT_EQ(Back(static_cast<int>(c[2].x) + 1, top + 1), 0u);

    // Hidden: nothing drawn, the scrim left alone.
    mTip->Hide(true);
    mTip->UpdateScrim();
    EXPECT_EQ(TColor(c[0].colour).GetA(), 255);
    DrawBlack([&] { mTip->Draw(); });
    EXPECT_EQ(Back(left + 1, top + 1), 0u);
}

TEST_F(ToolTipTest, WithoutAFontItReportsAndNeverShows)
{
    Make("{ w = 'wide', timeinitialwait = 0, position = 'x', maxx = 1e300, minx = -1e300 }");
    EXPECT_NE(Log().find("ERROR:fontTable   FILE:tooltip LINE:60"), std::string::npos);
    EXPECT_EQ(mTip->GetTextSprite(), nullptr);
    for (int i = 0; i < 40; ++i)
        Frame(i % 2 ? "A" : "B", i % 3 == 0);
    EXPECT_EQ(mTip->GetState(), ToolTip::kHidden);
    mTip->Show("A", 5, 5);
    mTip->Hide(false);
    mTip->UpdateScrim();
    mTip->Draw();
    EXPECT_EQ(mTip->GetState(), ToolTip::kHidden);
}

} // namespace
