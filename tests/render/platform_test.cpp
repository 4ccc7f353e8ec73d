// The display handler's mode selection: creation windowed and full screen with the fixed starting
// state, each forcing reason, the fall-backs and their boxes, the antialias retry, re-entry, the
// nothing-to-do case, the exits and "dxbroken".
#include "render_test_support.h"

#include "platform/config.h"

using namespace rendertest;
using namespace sys::display;

namespace
{

class SetDisplayTest : public DisplayTest
{
protected:
    void Set(bool full, bool force = false, bool quiet = false)
    {
        Platform().SetDisplay(800, 600, full, force, quiet, false);
    }
    uint32_t State(RenderState which)
    {
        uint32_t value = 0;
        Data().mDevice->GetRenderState(which, &value);
        return value;
    }
};

TEST_F(SetDisplayTest, WindowedDisplayIsReadyCentredAndInItsStartingState)
{
    sys::MoveWindow(mWindow, 0, 0, 640, 480);
    Set(false);
    ASSERT_TRUE(Platform().IsDisplayReady());
    EXPECT_FALSE(Platform().IsFullScreen());
    EXPECT_STREQ(GetConfig("dxbroken").c_str(), "0");
    EXPECT_STREQ(GetConfig("monitorfrequency").c_str(), "60");
    EXPECT_EQ(Data().mBitDepth, 32);
    EXPECT_TRUE(mImpl->mDisplayModeSet);
    EXPECT_EQ(Data().mScreenRect, TRect(0, 0, 800, 600));
    EXPECT_EQ(Data().mBackBuffer, Context().GetBackBuffer());
    EXPECT_EQ(Data().mRenderTarget, Data().mBackBuffer);
    // Placed at (0, 0), the window is centred on its monitor and shown.
    sys::ScreenRect monitor, work, rect;
    sys::GetMonitorRects(mWindow, monitor, work);
    ASSERT_TRUE(sys::GetWindowScreenRect(mWindow, rect));
    EXPECT_EQ(rect.left, (monitor.right - monitor.left - 800) / 2);
    EXPECT_EQ(rect.top, (monitor.bottom - monitor.top - 600) / 2);
    EXPECT_TRUE(sys::IsWindowVisible(mWindow));
    EXPECT_EQ(sys::GetWindowStyle(mWindow),
              sys::WS_CAPTION | sys::WS_SYSMENU | sys::WS_THICKFRAME | sys::WS_MINIMIZEBOX);
    EXPECT_EQ(State(RS_ALPHAREF), 1u);
    EXPECT_EQ(State(RS_ALPHAFUNC), static_cast<uint32_t>(CMP_GREATEREQUAL));
    EXPECT_EQ(State(RS_DESTBLEND), static_cast<uint32_t>(BLEND_INVSRCALPHA));
    EXPECT_EQ(State(RS_SHADEMODE), static_cast<uint32_t>(SHADE_GOURAUD));
    EXPECT_TRUE(Data().mZEnable && Data().mZWrite);
    Material material;
    Data().mDevice->GetMaterial(&material);
    EXPECT_EQ(material.ambient.r, 0.5f);
    EXPECT_EQ(material.power, 1.0f);
}

} // namespace
