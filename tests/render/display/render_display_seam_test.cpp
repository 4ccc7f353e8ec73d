// The display seam in the running shell: no display until the first display-mode change (so the
// event pump restores nothing before), the mode-set event, and Alt+Enter switching to full screen
// and back.
#include "render/render_test_support.h"

#include "platform/config/config.h"

using namespace rendertest;

namespace
{

class DisplaySeamTest : public DisplayTest
{
protected:
    std::vector<int> EventTypes()
    {
        std::vector<int> types;
        for (const TPlatformEvent& event : DrainEvents())
            types.push_back(event.mType);
        return types;
    }
};

TEST_F(DisplaySeamTest, NoDisplayExistsBeforeTheFirstModeChange)
{
    EXPECT_FALSE(mSeam->Exists());
    EXPECT_TRUE(mSeam->CheckDevice());
    DrainEvents();
    EXPECT_FALSE(Data().mDxBroken);
    EXPECT_EQ(Data().mDevice, nullptr);

    mApp->SetDisplayMode(800, 600, false);
    EXPECT_TRUE(mSeam->Exists());
    EXPECT_TRUE(Platform().IsDisplayReady());
    EXPECT_EQ(EventTypes(), std::vector<int>{kEventDisplayModeSet});
    int width = 0, height = 0;
    mSeam->GetViewport(width, height);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    // The window manager's root has the size the mode was set with.
    int left, top, right, bottom;
    TWindowManagerSeam plain;
    plain.CreateRoot(800, 600);
    plain.GetRootRect(left, top, right, bottom);
    EXPECT_EQ(right - left, 800);
    EXPECT_EQ(bottom - top, 600);
}

TEST_F(DisplaySeamTest, AltEnterSwitchesToFullScreenAndBack)
{
    mApp->SetDisplayMode(800, 600, false);
    DrainEvents();
    for (bool full : {true, false})
    {
        sys::PushKeyEvent(sys::VK_RETURN, true, sys::kModAlt);
        sys::PushKeyEvent(sys::VK_RETURN, false, sys::kModAlt);
        bool toggled = false;
        for (const TPlatformEvent& event : DrainEvents())
        {
            if (event.mType == kEventFullScreenToggled)
            {
                toggled = true;
                EXPECT_EQ(event.mParam, full ? 1 : 0);
            }
        }
        EXPECT_TRUE(toggled);
        EXPECT_EQ(mSeam->IsFullScreen(), full);
        EXPECT_TRUE(Platform().IsDisplayReady());
    }
}

TEST_F(DisplaySeamTest, LostDeviceIsRestoredByTheEventPump)
{
    mApp->SetDisplayMode(800, 600, false);
    DrainEvents();
    Data().mWorkingCount = 3;
    Platform().MarkDirectXBroken();
    DrainEvents();
    EXPECT_TRUE(Platform().IsDisplayReady());
    EXPECT_STREQ(GetConfig("dxbroken").c_str(), "0");
}

} // namespace
