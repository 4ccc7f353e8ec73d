// The drawing facade: misuse lines and their results, the clip stack, the frame rate under a
// manual clock, fills inside a frame, the overlay's box and the 2-D quad builder's bytes.
#include "render/render_test_support.h"

#include "sys/display/vertex_formats.h"

#include <cstring>

using namespace rendertest;
using namespace sys::display;

namespace
{

class RendererTest : public OpenDisplayTest
{
protected:
    int Lines(const std::string& line) { return CountOf(Log(), line); }
    uint32_t Back(int x, int y) { return Data().mBackBuffer->ReadPixel(x, y) & 0xFFFFFF; }
};

TEST_F(RendererTest, BlocksRefuseMisuseWithTheirLines)
{
    EXPECT_FALSE(mRenderer->Begin2d());
    EXPECT_EQ(Lines("ERROR: Calling Begin2d outside of a BeginDraw or BeginRenderTarget block!"),
              1);
    EXPECT_FALSE(mRenderer->Begin3d());
    EXPECT_EQ(Lines("ERROR: Calling Begin3d outside of a BeginDraw or BeginRenderTarget block!"),
              1);
    mRenderer->End2d();
    EXPECT_EQ(Lines("End2d called when not in Begin2d state"), 1);
    mRenderer->End3d();
    EXPECT_EQ(Lines("End3d called when not in Begin3d state"), 1);

    ASSERT_TRUE(mRenderer->BeginDraw(false));
    EXPECT_TRUE(mRenderer->InDrawBlock());
    ASSERT_TRUE(mRenderer->Begin2d());
    EXPECT_FALSE(mRenderer->Begin2d());
    EXPECT_EQ(Lines("Begin2d called when already in Begin2d state"), 1);
    EXPECT_TRUE(mRenderer->InBegin2d()) << "the block stays open";
    EXPECT_FALSE(mRenderer->Begin3d());
    EXPECT_EQ(Lines("Begin3d called when already in Begin2d state"), 1);
    const LVertex quad[4] = {};
    mRenderer->DrawVertices(PT_TRIANGLEFAN, TVertexSet{kVertexColored, quad, 4});
    mRenderer->End2d();
    mRenderer->DrawVertices(PT_TRIANGLEFAN, TVertexSet{kVertexColored, quad, 4});
    EXPECT_EQ(Lines("DrawVertices called when not in Begin2d or Begin3d state"), 1);
    const uint16_t indices[3] = {0, 1, 2};
    mRenderer->DrawIndexedVertices(PT_TRIANGLELIST, TVertexSet{kVertexColored, quad, 4}, indices,
                                   3);
    EXPECT_EQ(Lines("DrawIndexedVertices called when not in Begin2d or Begin3d state"), 1);

    ASSERT_TRUE(mRenderer->Begin3d());
    EXPECT_FALSE(mRenderer->Begin2d());
    EXPECT_EQ(Lines("Begin2d called when already in Begin3d state"), 1);
    EXPECT_FALSE(mRenderer->Begin3d());
    EXPECT_EQ(Lines("Begin3d called when already in Begin3d state"), 1);
    mRenderer->EndFrame(false);
    EXPECT_FALSE(mRenderer->InDrawBlock());
    // After the draw block the 3-D block still ends, with its line.
    mRenderer->End3d();
    EXPECT_EQ(Lines("Calling End3d after EndDraw or EndRenderTarget!"), 1);
    EXPECT_FALSE(mRenderer->InBegin3d());

    ASSERT_TRUE(mRenderer->BeginDraw(false));
    ASSERT_TRUE(mRenderer->Begin2d());
    mRenderer->EndDraw();
    mRenderer->End2d();
    EXPECT_EQ(Lines("ERROR: Calling End2d after EndDraw or EndRenderTarget!"), 1);
    EXPECT_FALSE(mRenderer->InBegin2d());
    Platform().EndDraw(false);
}

TEST_F(RendererTest, ClipStackRules)
{
    TRenderer::DestroyInstance();
    TRenderer* fresh = TRenderer::Instance();
    EXPECT_EQ(fresh->GetClipRect(), TRect(0, 0, 0, 0));
    fresh->SetClipRect(TRect(1, 2, 3, 4));
    EXPECT_EQ(fresh->GetClipRect(), TRect(1, 2, 3, 4)) << "set on an empty stack pushes";
    fresh->PopClipRect();
    EXPECT_EQ(fresh->GetClipRect(), TRect(1, 2, 3, 4)) << "the last entry stays";
    fresh->PushClipRect(TRect(5, 6, 7, 8));
    fresh->SetClipRect(TRect(9, 9, 10, 10));
    EXPECT_EQ(fresh->GetClipRect(), TRect(9, 9, 10, 10));
    fresh->PopClipRect();
    EXPECT_EQ(fresh->GetClipRect(), TRect(1, 2, 3, 4));
    EXPECT_EQ(fresh->GetPlatform().GetData()->mClipRect, TRect(1, 2, 3, 4));
}

TEST_F(RendererTest, FrameRateEveryFifteenthFrame)
{
    for (int i = 0; i < 14; ++i)
    {
        sys::AdvanceManualClock(10);
        mRenderer->EndFrame(false);
    }
    EXPECT_EQ(mRenderer->GetFramesPerSecond(), 0.0f);
    sys::AdvanceManualClock(10);
    mRenderer->EndFrame(false);
    // Fifteen stamps 10 ms apart span 140 ms.
    EXPECT_FLOAT_EQ(mRenderer->GetFramesPerSecond(), 15000.0f / 140.0f);
    // Fifteen frames within one millisecond leave the rate as it was.
    for (int i = 0; i < 15; ++i)
        mRenderer->EndFrame(false);
    EXPECT_FLOAT_EQ(mRenderer->GetFramesPerSecond(), 15000.0f / 140.0f);
}

TEST_F(RendererTest, FillInsideAFrameDrawsAtTheViewportAndOverlayBox)
{
    ASSERT_TRUE(mRenderer->BeginDraw(false));
    mRenderer->FillRect(TRect(0, 0, 800, 600), TVec4(1, 1, 1, 1));
    mRenderer->PushViewport(TRect(100, 100, 200, 200));
    // Moved by the viewport's origin and cut to it; the colour's alpha is not used.
    mRenderer->FillRect(TRect(-10, -10, 20, 20), TVec4(0, 0, 1, 0));
    mRenderer->PopViewport();
    EXPECT_FALSE(mRenderer->InBegin2d()) << "the fill's own 2-D block ended";
    EXPECT_EQ(Back(100, 100), 0x0000FFu);
    EXPECT_EQ(Back(119, 119), 0x0000FFu);
    EXPECT_EQ(Back(120, 120), 0xFFFFFFu);
    EXPECT_EQ(Back(99, 99), 0xFFFFFFu);

    EXPECT_FALSE(mRenderer->ToggleStatsOverlay());
    mRenderer->EndFrame(false);
    EXPECT_EQ(Back(299, 63), 0u);
    EXPECT_EQ(Back(300, 63), 0xFFFFFFu);
    EXPECT_TRUE(mRenderer->ToggleStatsOverlay());
}

TEST(QuadVerticesTest, BytesOfTheFourCorners)
{
    const TVec2 corners[4] = {TVec2(0, 0), TVec2(4, 0), TVec2(4, 2), TVec2(0, 2)};
    TMat3 matrix; // scale 2 in x, then move by (1, 3)
    matrix.m[0][0] = 2;
    matrix.m[2][0] = 1;
    matrix.m[2][1] = 3;
    LVertex out[4];
    std::memset(out, 0xCD, sizeof(out));
    BuildQuadVertices(out, TVec2(10, 20), corners, TVec2(0.25f, 0.5f), TVec2(0.75f, 1.0f), matrix,
                      0.5f, 1.0f, 0.5f, 0.0f);
    const float xs[4] = {11, 19, 19, 11};
    const float ys[4] = {23, 23, 25, 25};
    const float us[4] = {0.25f, 0.75f, 0.75f, 0.25f};
    const float vs[4] = {0.5f, 0.5f, 1.0f, 1.0f};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(out[i].x, xs[i]);
        EXPECT_EQ(out[i].y, ys[i]);
        EXPECT_EQ(out[i].z, 0.1f);
        EXPECT_EQ(out[i].reserved, 0.5f);
        // 0.5 x 255 = 127.5 rounds to 128.
        EXPECT_EQ(out[i].diffuse, 0x80FF8000u);
        EXPECT_EQ(out[i].specular, 0xFF000000u);
        EXPECT_EQ(out[i].u, us[i]);
        EXPECT_EQ(out[i].v, vs[i]);
    }
    TMaterial material;
    material.mPower = 3;
    material.mDiffuse = TVec4(1, 1, 1, 1);
    ClearMaterial(material);
    EXPECT_EQ(material.mPower, 0.0f);
    EXPECT_EQ(material.mDiffuse, TVec4());
}

TEST_F(RendererTest, GuardEndsOnlyWhatItOpened)
{
    ASSERT_TRUE(mRenderer->BeginDraw(false));
    Render2dGuard guard;
    guard.End();
    EXPECT_EQ(Lines("End2d called when not in Begin2d state"), 0);
    guard.mOpened = mRenderer->Begin2d();
    guard.End();
    EXPECT_FALSE(mRenderer->InBegin2d());
    EXPECT_FALSE(guard.mOpened);
    mRenderer->EndFrame(false);
}

} // namespace

// While the window manager suspends drawing no frame is presented, unless the present switch is
// on (a film player's own frame).
TEST_F(RendererTest, SuspendedDrawingPresentsOnlyThroughTheSwitch)
{
    class SuspendedManager : public TWindowManagerSeam
    {
    public:
        bool IsDrawingSuspended() const override { return true; }
    };
    mImpl->mManagers.mWindowManager = std::make_unique<SuspendedManager>();
    const sys::ScreenRect& rect = Context().GetDisplay().GetWindowRect();
    auto shown = [&]
    { return Context().GetFrontBuffer()->ReadPixel(rect.left, rect.top) & 0xFFFFFF; };
    for (bool present : {false, true})
    {
        const uint32_t colour = present ? 0x00FF00u : 0xFF0000u;
        ASSERT_TRUE(mRenderer->BeginDraw(false));
        mRenderer->FillRect(TRect(0, 0, 800, 600), present ? TVec4(0, 1, 0, 1) : TVec4(1, 0, 0, 1));
        mRenderer->SetPresentWhileSuspended(present);
        mRenderer->EndFrame(true);
        mRenderer->SetPresentWhileSuspended(false);
        EXPECT_EQ(Back(0, 0), colour);
        EXPECT_EQ(shown() == colour, present);
    }
}
