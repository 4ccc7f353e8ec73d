// What the display stand-in tells a machine summary about its drawing device.
#include "sys/display/device_caps.h"

#include <gtest/gtest.h>

TEST(DeviceCaps, TheDrawingDeviceSummaryIsTheFirstDevice)
{
    sys::display::ResetDisplayConfig();
    sys::display::DrawingDeviceSummary summary;
    ASSERT_TRUE(sys::display::DescribeDrawingDevice(&summary));
    EXPECT_EQ(summary.mMaxTextureWidth, 4096u);
    EXPECT_EQ(summary.mMaxTextureHeight, 4096u);
    EXPECT_EQ(summary.mMaxSimultaneousTextures, 1u);
    EXPECT_EQ(summary.mMaxPrimitiveCount, sys::display::kMaxDrawVertices);
    EXPECT_EQ(summary.mTextureAddressCaps, sys::display::TEXTUREADDRESSCAPS_WRAP |
                                               sys::display::TEXTUREADDRESSCAPS_MIRROR |
                                               sys::display::TEXTUREADDRESSCAPS_CLAMP);

    sys::display::DisplayConfig config = sys::display::DefaultDisplayConfig();
    config.mDevices.clear();
    sys::display::SetDisplayConfig(config);
    EXPECT_FALSE(sys::display::DescribeDrawingDevice(&summary));
    sys::display::ResetDisplayConfig();
}
