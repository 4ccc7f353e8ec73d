// The display handler's mode selection: creation windowed and full screen with the fixed starting
// state, each forcing reason, the fall-backs and their boxes, the antialias retry, re-entry, the
// nothing-to-do case, the exits and "dxbroken".
#include "render/render_test_support.h"

#include "platform/config/config.h"

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
    EXPECT_TRUE(mImpl->mPump.mDisplayModeSet);
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

TEST_F(SetDisplayTest, NothingToDoOnlySetsReadyAndForceRebuilds)
{
    Set(false);
    const uint64_t devices = Device::CreatedCount();
    mImpl->mPump.mDisplayModeSet = false;
    Data().mReady = false;
    Set(false);
    EXPECT_TRUE(Data().mReady);
    EXPECT_EQ(Device::CreatedCount(), devices);
    EXPECT_FALSE(mImpl->mPump.mDisplayModeSet);
    Set(false, true);
    EXPECT_EQ(Device::CreatedCount(), devices + 1);
    EXPECT_TRUE(mImpl->mPump.mDisplayModeSet);
}

TEST_F(SetDisplayTest, FullScreenSwapsModeAndSetFullScreenSwitchesBack)
{
    Set(true);
    ASSERT_TRUE(Platform().IsDisplayReady());
    EXPECT_TRUE(Platform().IsFullScreen());
    EXPECT_TRUE(Data().mWasFullScreen);
    EXPECT_EQ(sys::GetWindowStyle(mWindow), sys::WS_POPUP);
    EXPECT_EQ(sys::GetWindowExStyle(mWindow), sys::WS_EX_APPWINDOW | sys::WS_EX_TOPMOST);
    EXPECT_NE(Log().find("Created screen at 32 bpp."), std::string::npos);
    EXPECT_TRUE(Platform().SetFullScreen(false));
    EXPECT_FALSE(Platform().IsFullScreen());
    EXPECT_TRUE(Platform().IsDisplayReady());
}

TEST_F(SetDisplayTest, ReentryAndMinimisedAndInactiveCallsChangeNothing)
{
    Data().mInSetDisplay = true;
    Set(false);
    EXPECT_FALSE(Data().mReady);
    EXPECT_EQ(Data().mDevice, nullptr);
    EXPECT_TRUE(Data().mInSetDisplay); // the outer call still owns it
    Data().mInSetDisplay = false;

    mImpl->mPump.mApplicationActive = false;
    Set(false);
    EXPECT_EQ(Data().mDevice, nullptr);
    Set(false, true); // force acts while inactive
    EXPECT_NE(Data().mDevice, nullptr);
}

TEST_F(SetDisplayTest, LowVideoMemoryIsRefusedAWindowAndForcesSixteenBitFullScreen)
{
    Data().mLowMemoryVideo = true;
    EXPECT_FALSE(Platform().SetFullScreen(false));
    EXPECT_EQ(Data().mDevice, nullptr);
    Set(false);
    EXPECT_TRUE(Platform().IsFullScreen());
    EXPECT_EQ(Data().mBitDepth, 16);
    EXPECT_NE(Log().find("SetDisplay Forcing Fullscreen (MEMORY)"), std::string::npos);
}

TEST_F(SetDisplayTest, OutOfVideoMemoryFlagForcesFullScreen)
{
    Context().SetOutOfVideoMemory(true);
    EXPECT_FALSE(Platform().SetFullScreen(false));
    Set(false);
    EXPECT_TRUE(Platform().IsFullScreen());
    EXPECT_NE(Log().find("SetDisplay Forcing Fullscreen (MEMORY)"), std::string::npos);
}

TEST_F(SetDisplayTest, AntialiasHintIsDroppedWhenCreationRefusesIt)
{
    Data().mAntialias = Data().mHintAntialias = true;
    int made = 0;
    SetDirectDrawCreateHook(
        [&made](DirectDraw& dd)
        {
            // The first screen's back buffer (with its alpha channel) cannot be made.
            if (made++ == 0)
                dd.mCreateSurfaceAnswers = {Result::Ok, Result::InvalidPixelFormat};
        });
    Set(false);
    EXPECT_TRUE(Platform().IsDisplayReady());
    EXPECT_EQ(made, 2);
    EXPECT_FALSE(Data().mAntialias);
    EXPECT_FALSE(Data().mHintAntialias);
    EXPECT_EQ(Context().GetBackBuffer()->GetCaps2(), 0u);
}

TEST_F(SetDisplayTest, DxBrokenMirrorsTheMarkUntilTheNextDisplay)
{
    Set(false);
    EXPECT_TRUE(Platform().CheckDevice());
    Platform().MarkDirectXBroken();
    EXPECT_STREQ(GetConfig("dxbroken").c_str(), "1");
    EXPECT_FALSE(Platform().CheckDevice());
    EXPECT_FALSE(Platform().IsDisplayReady());
    Set(false, true);
    EXPECT_STREQ(GetConfig("dxbroken").c_str(), "0");
    EXPECT_TRUE(Platform().IsDisplayReady());
}

// With a host window, a display is not set up again within a second of DirectX being marked
// broken (the mark lies in the past: now minus the mark, not the other way round).
TEST_F(SetDisplayTest, HostedDisplayHoldsOffForASecondAfterTheBrokenMark)
{
    mImpl->mHost.mExternalWindowParent = 0x7777;
    Platform().MarkDirectXBroken();
    sys::AdvanceManualClock(999);
    Set(false, true);
    EXPECT_EQ(Data().mDevice, nullptr);
    EXPECT_TRUE(Data().mDxBroken);
    sys::AdvanceManualClock(1);
    Set(false, true);
    EXPECT_TRUE(Platform().IsDisplayReady());
}

// The desktop reports a palette: windows are refused.
class PaletteDesktopTest : public SetDisplayTest
{
protected:
    DisplayConfig Config() override
    {
        DisplayConfig config = StandardConfig();
        config.mDesktopColors = 256;
        return config;
    }
};

TEST_F(PaletteDesktopTest, WindowedRequestRunsFullScreen)
{
    Set(false);
    EXPECT_TRUE(Platform().IsFullScreen());
    EXPECT_TRUE(Platform().IsDisplayReady());
    EXPECT_NE(Log().find("SetDisplay Forcing Fullscreen (PALLETTED)"), std::string::npos);
    EXPECT_FALSE(Platform().SetFullScreen(false));
}

TEST_F(PaletteDesktopTest, WithAHostWindowTheBoxEndsTheProcess)
{
    mImpl->mHost.mExternalWindowParent = 0x7777;
    EXPECT_EXIT(Set(false), ::testing::ExitedWithCode(255),
                "\"Error\": You cannot run this application when your video mode is 8 bits or "
                "less. Change your display settings and run again.");
}

class SmallDesktopTest : public SetDisplayTest
{
protected:
    DisplayConfig Config() override
    {
        DisplayConfig config = StandardConfig();
        // One pixel short of 800 + frame + edge.
        config.mDesktopWidth = 800 + sys::kFrameWidth + sys::kEdgeWidth - 1;
        config.mDesktopHeight = 1024;
        return config;
    }
};

TEST_F(SmallDesktopTest, WindowThatDoesNotFitRunsFullScreen)
{
    Set(false);
    EXPECT_TRUE(Platform().IsFullScreen());
    EXPECT_NE(Log().find("SetDisplay Forcing Fullscreen (SMALL)"), std::string::npos);
    EXPECT_FALSE(Platform().SetFullScreen(false));
}

TEST_F(SmallDesktopTest, WithAHostWindowTheBoxEndsTheProcess)
{
    mImpl->mHost.mExternalWindowParent = 0x7777;
    EXPECT_EXIT(Set(false), ::testing::ExitedWithCode(255),
                "You cannot run this application at your current screen resolution. Change your "
                "display settings and run again.");
}

TEST_F(SetDisplayTest, ExitPathsEndWithStatus255)
{
    EXPECT_EXIT(
        {
            Data().mFatalReported = true;
            Set(false);
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_EXIT(
        {
            mImpl->mCommandLine = TCommandLine("-pq=page");
            Data().mLowMemoryVideo = true;
            Set(false);
        },
        ::testing::ExitedWithCode(255), "\\(out of memory\\)");
    EXPECT_EXIT(
        {
            mImpl->mHost.mHosted = true;
            mImpl->mHost.mExternalWindowParent = 0x7777;
            Set(false);
        },
        ::testing::ExitedWithCode(255), "");
}

// No adapter can serve 800 x 600 full screen, and with `windowed` false no window either.
class NoDisplayWorksTest : public SetDisplayTest
{
protected:
    DisplayConfig Config() override
    {
        DisplayConfig config = StandardConfig();
        config.mModes = {DisplayMode{1024, 768, 32, 60}};
        if (!mWindowWorks)
            config.mDevices.clear();
        return config;
    }
    bool mWindowWorks = true;
};

TEST_F(NoDisplayWorksTest, FailedFullScreenFallsBackToAWindowOnce)
{
    Set(true);
    EXPECT_TRUE(Platform().IsDisplayReady());
    EXPECT_FALSE(Platform().IsFullScreen());
    EXPECT_FALSE(Data().mFallbackTried);
    // No screen was ever made, so the walk's end shows the incompatibility box first.
    EXPECT_EQ(Boxes(), (std::vector<std::string>{
                           "Sorry, but this product isn't compatible with your display. Try using "
                           "a different display (for instance, the main display in your laptop), "
                           "if you have the option.",
                           "Failed to initialize full screen mode. Your video card is not "
                           "supported. Trying to run in a window."}));
    EXPECT_EQ(CountOf(Log(), "Failed to create screen at 32 bpp."), 2);
    EXPECT_NE(Log().find("Failed to create a DirectDraw device after trying all GUIDs"),
              std::string::npos);
}

class NothingWorksTest : public NoDisplayWorksTest
{
protected:
    void SetUp() override
    {
        mWindowWorks = false;
        NoDisplayWorksTest::SetUp();
    }
};

TEST_F(NothingWorksTest, SecondFailureReportsAndQuits)
{
    Set(false);
    EXPECT_FALSE(Data().mReady);
    EXPECT_TRUE(Data().mFatalReported);
    EXPECT_NE(Log().find("ERROR FALLBACK FAILED"), std::string::npos);
    EXPECT_NE(Log().find("TDXContext::Create failed! Could not find a hardware renderer."),
              std::string::npos);
    // The windowed screen was made before the device search failed, so the full-screen walk's
    // end shows no incompatibility box.
    const auto& boxes = sys::GetMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Failed to initialize windowed mode. Trying full screen.");
    EXPECT_EQ(boxes[0].owner, 0u);
    EXPECT_EQ(boxes[0].flags, sys::MB_OK);
    EXPECT_EQ(boxes[1].text,
              "Failed to initialize window. Please try running the game again. If that doesn't "
              "help, try changing the screen resolution and color depth. If that fails, then your "
              "video card does not support this game.");
    EXPECT_EQ(boxes[1].owner, mWindow);
    EXPECT_EQ(boxes[1].flags, sys::MB_ICONSTOP);
    for (const auto& box : boxes)
        EXPECT_EQ(box.caption, "Error");
    sys::Message msg;
    EXPECT_TRUE(sys::PeekMessage(msg, sys::WM_QUIT, sys::WM_QUIT));
}

TEST_F(NothingWorksTest, FailureInTheBackgroundMarksDirectXBroken)
{
    mImpl->mPump.mApplicationActive = false;
    Set(false, true);
    EXPECT_TRUE(Data().mDxBroken);
    EXPECT_STREQ(GetConfig("dxbroken").c_str(), "1");
    EXPECT_NE(Log().find("SetDisplay marking DirectX Broken: INACTIVE, FOREGROUND"),
              std::string::npos);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(NothingWorksTest, QuietFallbacksShowOnlyTheFinalBox)
{
    Set(false, false, true);
    // The notice is suppressed; the final report never is.
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(Data().mFatalReported);
}

} // namespace
