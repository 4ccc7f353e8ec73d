// Frames at the device: each refusal of BeginScene, the working count, EndDraw's present and its
// failures, fills outside a frame with the fill value built from the surface's masks, the present
// status, and the depth a scene clears only where its draws test it.
#include "render/render_test_support.h"

#include "platform/config/config.h"
#include "render/textures/texture.h"
#include "sys/display/vertex_formats.h"

using namespace rendertest;
using namespace sys::display;

namespace
{

class FrameTest : public OpenDisplayTest
{
protected:
    SurfaceHost& Host() { return *Data().mBackBuffer->GetHost(); }
};

TEST_F(FrameTest, BeginSceneRefusals)
{
    Host().mFlipStatusAnswers = {Result::WasStillDrawing};
    EXPECT_FALSE(Platform().BeginScene(false)) << "a flip still pending skips the frame";
    EXPECT_FALSE(Data().mInScene);

    Data().mBackBuffer->MarkLost();
    EXPECT_FALSE(Platform().BeginScene(false));
    EXPECT_FALSE(Data().mDxBroken);
    Data().mBackBuffer->Restore();

    Context().GetFrontBuffer()->MarkLost();
    EXPECT_FALSE(Platform().BeginScene(false));
    EXPECT_TRUE(Data().mDxBroken) << "a lost front buffer in the foreground marks DirectX broken";
    Context().GetFrontBuffer()->Restore();
    EXPECT_FALSE(Platform().BeginScene(false)) << "and nothing begins while broken";

    Platform().SetDisplay(800, 600, false, true, false, false);
    Data().mDevice->mBeginSceneAnswers = {Result::Fail};
    EXPECT_FALSE(Platform().BeginScene(false));
    EXPECT_EQ(Data().mWorkingCount, 0u);
    EXPECT_TRUE(Platform().BeginScene(false));
    EXPECT_TRUE(Data().mInScene);
    EXPECT_EQ(Data().mWorkingCount, 1u);
}

TEST_F(FrameTest, LostSurfaceAtBeginSceneRestores)
{
    Data().mWorkingCount = 3;
    Data().mDevice->mBeginSceneAnswers = {Result::SurfaceLost};
    EXPECT_TRUE(Platform().BeginScene(false));
    EXPECT_NE(Log().find("TRenderer::BeginDraw: DDERR_SURFACELOST on BeginScene"),
              std::string::npos);
    Platform().EndDraw(false);
}

TEST_F(FrameTest, EndDrawPresentsAndHandlesItsFailures)
{
    ASSERT_TRUE(Platform().BeginScene(false));
    Platform().FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 1, 1));
    Platform().EndDraw(true);
    EXPECT_FALSE(Data().mInScene);
    const sys::ScreenRect& rect = Context().GetDisplay().GetWindowRect();
    EXPECT_EQ(Context().GetFrontBuffer()->ReadPixel(rect.left, rect.top) & 0xFFFFFF, 0x0000FFu);

    ASSERT_TRUE(Platform().BeginScene(false));
    Data().mDevice->mEndSceneAnswers = {Result::SceneEndFailed};
    Platform().EndDraw(true);
    EXPECT_TRUE(Data().mDxBroken);

    Platform().SetDisplay(800, 600, false, true, false, false);
    Data().mWorkingCount = 3;
    ASSERT_TRUE(Platform().BeginScene(false));
    Host().mPresentAnswers = {Result::SurfaceLost};
    Platform().EndDraw(true);
    EXPECT_NE(Log().find("TPlatform::EndDraw: DDERR_SURFACELOST on UpdateFrame or EndScene"),
              std::string::npos);
    EXPECT_TRUE(Platform().IsDisplayReady()) << "restored";
}

TEST_F(FrameTest, FillOutsideAFrameUsesTheMasksAndTheClipRectangle)
{
    Platform().FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0, 1));
    Platform().FillRect(TRect(900, 0, 1000, 50), TVec4(1, 1, 1, 1));
    Platform().FillRect(TRect(-10, -10, 0, 0), TVec4(1, 1, 1, 1));
    Surface& back = *Data().mBackBuffer;
    EXPECT_EQ(back.ReadRaw(799, 0), 0u) << "outside the screen nothing is filled";
    EXPECT_EQ(back.ReadRaw(0, 0), 0u);
    Platform().SetClipRect(TRect(0, 0, 10, 10));
    Platform().FillRect(TRect(5, 5, 20, 20), TVec4(0.5f, 1, 0.25f, 1));
    // trunc(channel x mask) AND mask: 0.5 x 0xFF0000 = 0x7F8000 -> 0x7F0000.
    EXPECT_EQ(back.ReadRaw(9, 9), 0x7FFF3Fu);
    EXPECT_EQ(back.ReadRaw(10, 10), 0u);
}

TEST_F(FrameTest, PresentStatusAndFlipWait)
{
    EXPECT_TRUE(Platform().IsPresentDone());
    Host().mBltStatusAnswers = {Result::WasStillDrawing};
    EXPECT_FALSE(Platform().IsPresentDone());
    EXPECT_TRUE(Platform().IsPresentDone());
    Host().mFlipStatusAnswers = {Result::WasStillDrawing, Result::WasStillDrawing};
    const uint32_t before = GetPlatformTime();
    Platform().WaitForFlip();
    EXPECT_EQ(GetPlatformTime() - before, 2u) << "one 1 ms sleep per pending answer";
}

// A screen-space square of `rgb` over (left, top)-(right, bottom) at depth z, drawn in 3-D.
void DepthSquare(TRenderer& renderer, float left, float top, float right, float bottom, float z,
                 uint32_t rgb)
{
    const uint32_t colour = 0xFF000000u | rgb;
    const TColoredVertex quad[4] = {{left, top, z, 1, colour, 0, 0, 0},
                                    {right, top, z, 1, colour, 0, 1, 0},
                                    {right, bottom, z, 1, colour, 0, 1, 1},
                                    {left, bottom, z, 1, colour, 0, 0, 1}};
    renderer.SetCullMode(1);
    renderer.DrawVertices(PT_TRIANGLEFAN, TVertexSet{kVertexTransformed, quad, 4});
}

// The scene before leaves near depth (0.1) over the top-left 64 x 64. Then, on the screen or in a
// 64 x 64 render target: a 2-D blue fill, a red square at depth 0.5 over (8, 8)-(40, 40), and in
// a viewport (24, 24)-(56, 56) a yellow square at depth 0.7 over all of it. The red square and the
// viewport's part outside it must test against a cleared buffer, while the yellow must stay behind
// the red where they meet: depth written earlier in a scene is not cleared again.
TEST_F(FrameTest, DepthIsClearedWhereAScenesDrawsFirstTestIt)
{
    for (const bool target : {false, true})
    {
        SCOPED_TRACE(target ? "render target" : "screen");
        ASSERT_TRUE(mRenderer->BeginDraw(false));
        ASSERT_TRUE(mRenderer->Begin3d());
        DepthSquare(*mRenderer, 0, 0, 64, 64, 0.1f, 0x00FF00);
        mRenderer->End3d();
        mRenderer->EndFrame(false);

        const std::shared_ptr<TTexture> texture = TTexture::Create(64, 64, false);
        ASSERT_TRUE(texture);
        ASSERT_TRUE(target ? mRenderer->BeginRenderTarget(texture, 0)
                           : mRenderer->BeginDraw(false));
        ASSERT_TRUE(mRenderer->Begin2d());
        mRenderer->FillRect(TRect(0, 0, 64, 64), TVec4(0, 0, 1, 1));
        mRenderer->End2d();
        ASSERT_TRUE(mRenderer->Begin3d());
        DepthSquare(*mRenderer, 8, 8, 40, 40, 0.5f, 0xFF0000);
        mRenderer->PushViewport(TRect(24, 24, 56, 56));
        DepthSquare(*mRenderer, 24, 24, 56, 56, 0.7f, 0xFFFF00);
        mRenderer->PopViewport();
        mRenderer->End3d();
        if (target)
            mRenderer->EndDraw();
        else
            mRenderer->EndFrame(false);

        uint32_t* pixels = nullptr;
        int pitch = 0;
        ASSERT_TRUE(!target || texture->Lock(pixels, pitch));
        auto at = [&](int x, int y) {
            return (target ? pixels[y * pitch + x] : Data().mBackBuffer->ReadPixel(x, y)) &
                   0xFFFFFF;
        };
        EXPECT_EQ(at(4, 4), 0x0000FFu) << "the 2-D fill";
        EXPECT_EQ(at(10, 10), 0xFF0000u) << "the first 3-D draw over a dirty buffer";
        EXPECT_EQ(at(30, 30), 0xFF0000u) << "the farther square behind the nearer";
        EXPECT_EQ(at(50, 30), 0xFFFF00u) << "the new viewport's part cleared";
        EXPECT_EQ(at(30, 50), 0xFFFF00u);
        EXPECT_EQ(at(60, 60), 0x0000FFu);
        if (target)
            texture->Unlock();
    }
}

// Viewports that overlap in part: the scene before leaves near depth (0.1) over the top-left
// 64 x 64; then a red square at depth 0.5 fills a viewport (0, 0)-(40, 40), and a yellow one at
// 0.7 a viewport (24, 24)-(56, 56). Where they meet, the depth the red wrote is not cleared again
// (the red stays in front); the second viewport's band below and part right of the first, and
// the corner of both, are cleared (the yellow shows over the old near depth).
TEST_F(FrameTest, DepthOfViewportsOverlappingInPartIsClearedOnceEverywhere)
{
    ASSERT_TRUE(mRenderer->BeginDraw(false));
    ASSERT_TRUE(mRenderer->Begin3d());
    DepthSquare(*mRenderer, 0, 0, 64, 64, 0.1f, 0x00FF00);
    mRenderer->End3d();
    mRenderer->EndFrame(false);

    ASSERT_TRUE(mRenderer->BeginDraw(false));
    ASSERT_TRUE(mRenderer->Begin3d());
    mRenderer->PushViewport(TRect(0, 0, 40, 40));
    DepthSquare(*mRenderer, 0, 0, 40, 40, 0.5f, 0xFF0000);
    mRenderer->PopViewport();
    mRenderer->PushViewport(TRect(24, 24, 56, 56));
    DepthSquare(*mRenderer, 24, 24, 56, 56, 0.7f, 0xFFFF00);
    mRenderer->PopViewport();
    mRenderer->End3d();
    mRenderer->EndFrame(false);

    const auto at = [&](int x, int y) { return Data().mBackBuffer->ReadPixel(x, y) & 0xFFFFFF; };
    EXPECT_EQ(at(10, 10), 0xFF0000u) << "the first viewport cleared";
    EXPECT_EQ(at(30, 30), 0xFF0000u) << "the overlap cleared twice";
    EXPECT_EQ(at(50, 30), 0xFFFF00u) << "the part right of the first viewport missed";
    EXPECT_EQ(at(30, 50), 0xFFFF00u) << "the band below the first viewport missed";
    EXPECT_EQ(at(50, 50), 0xFFFF00u) << "the corner missed";
}

class SixteenBitFrameTest : public FrameTest
{
protected:
    void SetUp() override
    {
        mFull = true;
        DisplayTest::SetUp();
        Data().mLowMemoryVideo = true;
        Platform().SetDisplay(800, 600, true, false, false, false);
        ASSERT_EQ(Data().mBitDepth, 16);
    }
};

TEST_F(SixteenBitFrameTest, FillValueFromTheSixteenBitMasks)
{
    Platform().FillRect(TRect(0, 0, 4, 4), TVec4(1, 0.5f, 0, 1));
    // Red 0xF800, green trunc(0.5 x 0x07E0) AND 0x07E0 = 0x03E0.
    EXPECT_EQ(Data().mBackBuffer->ReadRaw(0, 0), 0xFBE0u);
    EXPECT_STREQ(Platform().GetOption("16bitmode").c_str(), "1");
}

} // namespace
