// The pixel-offset calibration on the stand-in: the first candidate is kept and a marker then
// lands texel-exact; a refused render target keeps the offset and lets the next call run it.
#include "render/render_test_support.h"

#include "render/textures/texture.h"

using namespace rendertest;

namespace
{

using SelfTest = OpenDisplayTest;

TEST_F(SelfTest, KeepsTheFirstCandidateAndMarkersLandTexelExact)
{
    Data().mPixelOffset = 0.3f;
    Platform().RunRenderSelfTest();
    EXPECT_TRUE(Data().mSelfTestDone);
    EXPECT_FLOAT_EQ(Data().mPixelOffset, -0.5f);
    EXPECT_EQ(Data().mBackBuffer->ReadPixel(400, 300) & 0xFFFFFF, 0u) << "the screen is cleared";

    // A 16 x 16 marker at (32, 48) with the origin flag covers exactly (32..47, 48..63).
    auto marker = TTexture::Create(16, 16, false);
    Platform().FillRect(TRect(0, 0, 16, 16), TVec4(1, 1, 1, 1), marker);
    ASSERT_TRUE(mRenderer->BeginDraw(false));
    ASSERT_TRUE(mRenderer->Begin2d());
    TDrawSpec spec(TVec2(32, 48));
    spec.mFlags |= kDrawOrigin;
    marker->Draw(spec);
    mRenderer->End2d();
    mRenderer->EndFrame(false);
    auto& back = *Data().mBackBuffer;
    EXPECT_EQ(back.ReadPixel(32, 48) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(back.ReadPixel(47, 63) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(back.ReadPixel(31, 48) & 0xFFFFFF, 0u);
    EXPECT_EQ(back.ReadPixel(48, 64) & 0xFFFFFF, 0u);

    // Once only.
    Data().mPixelOffset = 0.1f;
    Platform().RunRenderSelfTest();
    EXPECT_FLOAT_EQ(Data().mPixelOffset, 0.1f);
}

TEST_F(SelfTest, RefusedRenderTargetKeepsTheOffsetAndRetriesLater)
{
    Data().mPixelOffset = 0.2f;
    ASSERT_TRUE(mRenderer->BeginDraw(false)); // targets are refused inside a frame
    Platform().RunRenderSelfTest();
    mRenderer->EndFrame(false);
    EXPECT_FALSE(Data().mSelfTestDone);
    EXPECT_FLOAT_EQ(Data().mPixelOffset, 0.2f);
    Platform().RunRenderSelfTest();
    EXPECT_TRUE(Data().mSelfTestDone);
    EXPECT_FLOAT_EQ(Data().mPixelOffset, -0.5f);
}

} // namespace
