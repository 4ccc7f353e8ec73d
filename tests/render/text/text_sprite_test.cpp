// Text sprites: construction and Create's defaults, the alignment offset, the forwarded setters,
// bounds and hit tests of the box (a texture's box joined in), CountFittingLines and
// GetTextBounds at a rotated and scaled parent, centred text centred on the position, and golden
// pictures of left, centred and right text under a rotated, scaled and faded parent.
#include "render/render_test_support.h"
#include "render/vector_test_support.h"

#include "render/text/text_layout.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"

#include <algorithm>
#include <cmath>
#include <utility>

using namespace rendertest;

namespace
{

class TextSpriteTest : public DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        mRenderer = TRenderer::Instance();
        mSeam->SetDisplay(sys::WindowHandle(), 800, 600, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
        mSeam->CreateVectorRasteriser();
    }
    void TearDown() override
    {
        mSeam->DestroyVectorRasteriser();
        DisplayTest::TearDown();
    }
    // A parent at (x, y) turned by `radians`, scaled and faded.
    static TDrawSpec Parent(float x, float y, float radians, float scale, float alpha)
    {
        TDrawSpec spec(TVec2(x, y), alpha, 1.0f);
        const float c = std::cos(radians) * scale, s = std::sin(radians) * scale;
        spec.mMatrix.m[0][0] = c;
        spec.mMatrix.m[0][1] = s;
        spec.mMatrix.m[1][0] = -s;
        spec.mMatrix.m[1][1] = c;
        return spec;
    }
    void Begin()
    {
        ASSERT_TRUE(mRenderer->BeginDraw(false));
        mRenderer->FillRect(TRect(0, 0, 800, 600), TVec4(0.9f, 0.9f, 0.8f, 1));
        ASSERT_TRUE(mRenderer->Begin2d());
    }
    void End()
    {
        mRenderer->End2d();
        mRenderer->EndFrame(false);
    }
    std::vector<uint32_t> Area(int left, int top, int w, int h)
    {
        std::vector<uint32_t> pixels;
        for (int y = top; y < top + h; ++y)
            for (int x = left; x < left + w; ++x)
                pixels.push_back(Data().mBackBuffer->ReadPixel(x, y) | 0xFF000000u);
        return pixels;
    }

    TRenderer* mRenderer = nullptr;
};

TEST_F(TextSpriteTest, ConstructionCreateAndAlignmentOffsets)
{
    TTextSprite plain(120, 40, 3);
    EXPECT_STREQ(plain.GetClassName(), "TTextSprite");
    EXPECT_TRUE(plain.IsKindOf(TSprite::GetClassId()));
    EXPECT_EQ(plain.GetLayer(), 3);
    EXPECT_EQ(plain.GetColor(), TVec4(0, 0, 0, 1));
    EXPECT_TRUE(plain.GetLayout()->GetUnscaledOffsets());
    EXPECT_EQ(plain.GetAlignmentOffset(), TVec2(0, 0));
    plain.SetText("one<br>two");
    EXPECT_STREQ(plain.GetText().c_str(), "one<br>two");
    EXPECT_EQ(plain.GetLineCount(), 2);

    const struct
    {
        uint32_t mFlags;
        TVec2 mOffset;
    } cases[] = {{kTextAlignCenter, TVec2(60, 0)},
                 {kTextAlignRight, TVec2(121, 0)},
                 {kTextAlignMiddle, TVec2(0, 20)},
                 {kTextAlignBottom | kTextAlignCenter, TVec2(60, 41)},
                 {kTextAlignCenter | kTextAlignRight, TVec2(60, 0)}};
    for (const auto& c : cases)
    {
        auto sprite = TTextSprite::Create(121, 41, c.mFlags, "", 14, TVec4(1, 0, 0, 1), 0);
        EXPECT_EQ(sprite->GetAlignmentOffset(), c.mOffset) << c.mFlags;
        EXPECT_EQ(sprite->GetAlignment(), c.mFlags);
        EXPECT_EQ(sprite->GetColor(), TVec4(1, 0, 0, 1));
    }
}

TEST_F(TextSpriteTest, BoundsAndHitTestsOfTheBox)
{
    auto sprite = TTextSprite::Create(100, 40, 0, "", 10, TVec4(0, 0, 0, 1), 0);
    sprite->GetSpec().mMatrix.m[2][0] = 50;
    const TDrawSpec parent = Parent(200, 100, 0, 2, 1);
    TRect box;
    sprite->GetBounds(box, parent);
    EXPECT_EQ(box, TRect(200, 60, 400, 140)) << "centred on the position, scaled";
    // No text at all: the box alone answers, whatever the threshold.
    EXPECT_TRUE(sprite->HitTest(TVec2(200, 60), parent, 255));
    EXPECT_FALSE(sprite->HitTest(TVec2(400, 100), parent, 255));
    EXPECT_FALSE(sprite->HitTest(TVec2(300, 140), parent, 0));
    sprite->SetVisible(false);
    EXPECT_FALSE(sprite->HitTest(TVec2(300, 100), parent, 0));
    sprite->SetVisible(true);

    sprite->GetSpec().mFlags |= kDrawOrigin;
    sprite->GetSpec().mOrigin = TVec2(10, 5);
    sprite->GetBounds(box, parent);
    EXPECT_EQ(box, TRect(280, 90, 480, 170));

    // A texture's box is joined in.
    sprite->SetTexture(TTexture::Create(8, 200, true));
    sprite->GetBounds(box, parent);
    EXPECT_EQ(box, TRect(280, 90, 480, 490));
}

TEST_F(TextSpriteTest, FittingLinesAndTextBoundsAtTheCombinedScale)
{
    auto sprite = TTextSprite::Create(200, 30, 0, "", 12, TVec4(0, 0, 0, 1), 0);
    sprite->SetText("one<br>two<br>three<br>four<br>five");
    sprite->SetLineSpacing(3);
    const TDrawSpec parent = Parent(0, 0, 0.5f, 1.5f, 1);
    EXPECT_EQ(sprite->CountFittingLines(parent),
              sprite->GetLayout()->CountLinesFromEnd(1.5f, 3.0f));
    EXPECT_NE(sprite->CountFittingLines(parent), sprite->CountFittingLines(TDrawSpec()));
    TRect scaled, expected;
    sprite->GetTextBounds(scaled, parent);
    sprite->GetLayout()->GetBounds(expected, 1.5f);
    EXPECT_EQ(scaled, expected);
}

TEST_F(TextSpriteTest, CentredTextIsCentredOnThePosition)
{
    auto centred = TTextSprite::Create(300, 30, kTextAlignCenter, "", 16, TVec4(0, 0, 0.5f, 1), 0);
    auto left = TTextSprite::Create(300, 30, 0, "", 16, TVec4(0, 0, 0.5f, 1), 0);
    centred->SetText("Murkwell");
    left->SetText("Murkwell");
    Begin();
    centred->Draw(TDrawSpec(TVec2(400, 20)));
    left->Draw(TDrawSpec(TVec2(400, 80)));
    End();
    // The columns holding text pixels in a band of rows.
    auto extent = [this](int top)
    {
        const uint32_t background = Data().mBackBuffer->ReadPixel(0, top);
        int first = 800, last = -1;
        for (int y = top; y < top + 30; ++y)
            for (int x = 0; x < 800; ++x)
                if (Data().mBackBuffer->ReadPixel(x, y) != background)
                {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        return std::pair<int, int>(first, last);
    };
    const auto [centredFirst, centredLast] = extent(20);
    ASSERT_LT(centredFirst, centredLast);
    EXPECT_NEAR((centredFirst + centredLast + 1) / 2.0, 400.0, 1.5);
    const auto [leftFirst, leftLast] = extent(80);
    EXPECT_GE(leftFirst, 400);
    EXPECT_LE(leftFirst, 403);
    EXPECT_NEAR(leftLast - leftFirst, centredLast - centredFirst, 1) << "the same text";
}

TEST_F(TextSpriteTest, GoldenAlignedTextUnderATurnedScaledFadedParent)
{
    const uint32_t alignments[3] = {0, kTextAlignCenter, kTextAlignRight};
    Begin();
    for (int i = 0; i < 3; ++i)
    {
        auto sprite =
            TTextSprite::Create(140, 40, alignments[i], "", 14, TVec4(0.1f, 0.2f, 0.6f, 1), 0);
        sprite->SetText("Text sprite<br>second line");
        sprite->GetSpec().mMatrix.m[2][1] = static_cast<float>(i * 45);
        auto parent = TSprite::Create(0);
        parent->AddChild(sprite);
        parent->Draw(Parent(150, 40, 0.3f, 1.25f, 0.7f));
    }
    End();
    vectest::CompareWithGolden(Area(40, 30, 220, 160), 220, 160, "text_sprites_aligned.png");
}

} // namespace
