// The screen: the full-screen depth rule and video-memory fall-back, the alpha-channel retry, the
// windowed window's style, size and place, and presentation (windowed copy at the window's place,
// full-screen swap, lost buffers restored and reported).
#include "render/render_test_support.h"

#include "render/display/display.h"

using namespace rendertest;
using namespace sys::display;

namespace
{

class CDisplayTest : public DisplayTest
{
protected:
    uint32_t FullScreenDepth(uint32_t bits, uint32_t flags = 0)
    {
        EXPECT_EQ(mDisplay.CreateFullScreen(mWindow, 800, 600, bits, flags), Result::Ok);
        SurfaceDesc mode;
        mDisplay.GetDirectDraw()->GetDisplayMode(&mode);
        return mode.mPixelFormat.mBitCount;
    }
    static void Fill(Surface& surface, uint32_t argb)
    {
        BltFx fx;
        fx.mFillColor = PackArgb(surface.GetPixelFormat(), argb);
        surface.Blt(nullptr, nullptr, nullptr, BLT_COLORFILL, &fx);
    }

    CDisplay mDisplay;
};

TEST_F(CDisplayTest, FullScreenDepthRule)
{
    GetDisplayConfig().mModes = {{800, 600, 24, 60}, {800, 600, 16, 60}, {1024, 768, 32, 60}};
    EXPECT_EQ(FullScreenDepth(32), 16u);
    EXPECT_EQ(FullScreenDepth(24), 24u);
    GetDisplayConfig().mModes = {{800, 600, 32, 60}, {800, 600, 16, 60}};
    EXPECT_EQ(FullScreenDepth(32), 32u);
    // Less than 16 MiB of free video memory: 16 bits.
    GetDisplayConfig().mVideoMemory = 8u << 20;
    EXPECT_EQ(FullScreenDepth(32), 16u);
    const std::string log = Log();
    EXPECT_EQ(CountOf(log, "Created screen at 16 bpp."), 2);
    EXPECT_EQ(CountOf(log, "Created screen at 24 bpp."), 1);
    EXPECT_EQ(CountOf(log, "Created screen at 32 bpp."), 1);
    EXPECT_FALSE(mDisplay.IsWindowed());
    EXPECT_EQ(mDisplay.GetWindowRect(), (sys::ScreenRect{0, 0, 800, 600}));
}

TEST_F(CDisplayTest, AlphaChannelRefusedOnThePrimaryChainIsRetriedWithout)
{
    SetDirectDrawCreateHook([](DirectDraw& dd)
                            { dd.mCreateSurfaceAnswers = {Result::InvalidPixelFormat}; });
    EXPECT_EQ(FullScreenDepth(32, kDisplayAlphaChannel), 32u);
    EXPECT_NE(Log().find("FAILED to create front buffer with DDSCAPS2_ENABLEALPHACHANNEL"),
              std::string::npos);
    EXPECT_EQ(mDisplay.GetFrontBuffer()->GetCaps2(), 0u);
    SetDirectDrawCreateHook({});
    EXPECT_EQ(FullScreenDepth(32, kDisplayAlphaChannel), 32u);
    EXPECT_EQ(mDisplay.GetFrontBuffer()->GetCaps2(), CAPS2_ENABLEALPHACHANNEL);
}

TEST_F(CDisplayTest, WindowedScreenRestylesSizesAndKeepsTheWindowInTheWorkArea)
{
    sys::ScreenRect monitor, work;
    sys::GetMonitorRects(0, monitor, work);
    sys::SetWindowStyles(mWindow, sys::WS_POPUP | sys::WS_VISIBLE, sys::WS_EX_TOPMOST);
    sys::MoveWindow(mWindow, work.left - 30, work.top + 40, 320, 200);
    ASSERT_EQ(mDisplay.CreateWindowed(mWindow, 0, 800, 600, false, 0), Result::Ok);
    EXPECT_EQ(sys::GetWindowStyle(mWindow),
              sys::WS_VISIBLE | sys::WS_CAPTION | sys::WS_THICKFRAME | sys::WS_MINIMIZEBOX);
    EXPECT_EQ(sys::GetWindowExStyle(mWindow), 0u);
    EXPECT_EQ(mDisplay.GetWindowRect(),
              (sys::ScreenRect{work.left, work.top + 40, work.left + 800, work.top + 640}));

    // Bit 1 leaves the window as it is.
    sys::SetWindowStyles(mWindow, sys::WS_POPUP, 0);
    sys::MoveWindow(mWindow, work.left - 30, work.top + 40, 320, 200);
    ASSERT_EQ(mDisplay.CreateWindowed(mWindow, 0, 800, 600, false, kDisplayKeepWindow), Result::Ok);
    EXPECT_EQ(sys::GetWindowStyle(mWindow), sys::WS_POPUP);
    EXPECT_EQ(mDisplay.GetWindowRect(),
              (sys::ScreenRect{work.left - 30, work.top + 40, work.left + 290, work.top + 240}));
    EXPECT_TRUE(mDisplay.IsWindowed());
    EXPECT_EQ(mDisplay.GetBackBuffer()->GetWidth(), 800u);
}

TEST_F(CDisplayTest, CreateSurfaceNeedsADisplayAndAnOutRecord)
{
    std::unique_ptr<CDisplaySurface> surface;
    EXPECT_EQ(mDisplay.CreateSurface(&surface, 32, 32, nullptr, nullptr), Result::Pointer);
    ASSERT_EQ(mDisplay.CreateWindowed(mWindow, 0, 800, 600, false, 0), Result::Ok);
    EXPECT_EQ(mDisplay.CreateSurface(nullptr, 32, 32, nullptr, nullptr), Result::InvalidParams);
    ASSERT_EQ(mDisplay.CreateSurface(&surface, 32, 16, nullptr, nullptr), Result::Ok);
    EXPECT_EQ(surface->mDesc.mWidth, 32u);
    EXPECT_EQ(surface->mDesc.mCaps & CAPS_OFFSCREENPLAIN, CAPS_OFFSCREENPLAIN);
    EXPECT_FALSE(surface->mColorKeyed);
}

// Presentation through the display handler, at the centred window's place.
class PresentTest : public DisplayTest
{
};

TEST_F(PresentTest, WindowedCopiesToTheWindowAndKeepsTheBackBuffer)
{
    sys::MoveWindow(mWindow, 0, 0, 800, 600);
    Platform().SetDisplay(800, 600, false, false, false, false);
    ASSERT_TRUE(Platform().IsDisplayReady());
    Surface& back = *Context().GetBackBuffer();
    Surface& front = *Context().GetFrontBuffer();
    back.WritePixel(0, 0, 0xFF112233);
    back.WritePixel(799, 599, 0xFF445566);
    ASSERT_EQ(Context().Present(), Result::Ok);
    const sys::ScreenRect& rect = Context().GetDisplay().GetWindowRect();
    EXPECT_GT(rect.left, 0);
    EXPECT_EQ(front.ReadPixel(rect.left, rect.top), 0xFF112233u);
    EXPECT_EQ(front.ReadPixel(rect.right - 1, rect.bottom - 1), 0xFF445566u);
    EXPECT_EQ(back.ReadPixel(0, 0), 0xFF112233u);
}

TEST_F(PresentTest, FullScreenSwapsAndLostBuffersAreRestoredAndReported)
{
    Platform().SetDisplay(800, 600, true, false, false, false);
    ASSERT_TRUE(Platform().IsDisplayReady());
    auto back = Context().GetBackBuffer();
    auto front = Context().GetFrontBuffer();
    back->WritePixel(5, 5, 0xFF0000FF);
    front->WritePixel(5, 5, 0xFF00FF00);
    ASSERT_EQ(Context().Present(), Result::Ok);
    EXPECT_EQ(front->ReadPixel(5, 5), 0xFF0000FFu);
    EXPECT_EQ(back->ReadPixel(5, 5), 0xFF00FF00u);

    front->GetHost()->mPresentAnswers = {Result::WasStillDrawing, Result::SurfaceLost};
    front->MarkLost();
    EXPECT_EQ(Context().Present(), Result::SurfaceLost);
    EXPECT_EQ(front->IsLost(), Result::Ok);
    EXPECT_EQ(back->IsLost(), Result::Ok);
}

} // namespace
