// The display's objects: the identifier block and capability dumps, each refusal of creation with
// nothing left behind, the device filter and the adapter quirks.
#include "render/render_test_support.h"

#include "platform/config/config.h"

using namespace rendertest;
using namespace sys::display;

namespace
{

class DXContextTest : public DisplayTest
{
protected:
    bool Create(bool full, int bits = 32)
    {
        return Context().Create(mWindow, full, 800, 600, bits, 1);
    }
    void ExpectNothingCreated()
    {
        EXPECT_EQ(Context().GetDevice(), nullptr);
        EXPECT_EQ(Context().GetDirectDraw(), nullptr);
        EXPECT_EQ(Context().GetDirect3D(), nullptr);
        EXPECT_EQ(Context().GetBackBuffer(), nullptr);
    }
    // The configuration this test made the display objects with.
    DisplayConfig& Live() { return GetDisplayConfig(); }
};

TEST_F(DXContextTest, IdentifierBlockIsLoggedAndDescribedWithTheCapsDumps)
{
    DeviceIdentifier& id = Live().mIdentifier;
    id.mVendorId = 0x10DE;
    id.mDeviceId = 0x0A20;
    id.mSubSysId = 0x12;
    id.mRevision = 0xA2;
    ASSERT_TRUE(Create(false));
    const std::string block = "Device identifier:  \n"
                              "  Driver: 'memory-display'\n"
                              "  Description: 'Software display adapter'\n"
                              "  Version: 10000:1\n"
                              "  Vendor ID: 10de (4318)\n"
                              "  Device ID: a20 (2592)\n"
                              "  SubSys:  : 12 (18)\n"
                              "  Revision:  a2 (162)\n"
                              "  GUID:      6d776164:10000:64617074:1\n";
    EXPECT_NE(Log().find(block), std::string::npos);
    const std::string description = Context().GetDescription().c_str();
    ASSERT_EQ(description.rfind(block, 0), 0u);
    const std::string dumps = description.substr(block.size());
    ASSERT_EQ(dumps.size(), 8 + 380 * 2 + 1 + 9 + 236 * 2 + 1);
    // The driver caps record starts with its size (380 = 0x17C, little-endian); the device
    // record with the device caps word.
    EXPECT_EQ(dumps.substr(0, 16), "DDCAPS: 7C010000");
    const DeviceDesc& device = Live().mDevices[0];
    const std::string devCaps =
        TString::Format("%02X%02X%02X%02X", device.mDevCaps & 0xFF, (device.mDevCaps >> 8) & 0xFF,
                        (device.mDevCaps >> 16) & 0xFF, device.mDevCaps >> 24)
            .c_str();
    EXPECT_EQ(dumps.substr(8 + 760 + 1, 9 + 8), "D3DDESC: " + devCaps);
    EXPECT_EQ(dumps.back(), '\n');
    EXPECT_EQ(dumps.find_first_not_of("0123456789ABCDEF", 8), 8u + 760);
}

// The software display's card numbers are 0: their lines stay out. A mode change creates the
// device again; the adapter is the same, so the log has the block once.
TEST_F(DXContextTest, IdentifierBlockHoldsOnlyFilledFieldsAndIsLoggedOnce)
{
    ASSERT_TRUE(Create(false));
    ASSERT_TRUE(Create(true));
    const std::string block = "Device identifier:  \n"
                              "  Driver: 'memory-display'\n"
                              "  Description: 'Software display adapter'\n"
                              "  Version: 10000:1\n"
                              "  GUID:      6d776164:10000:64617074:1\n";
    const std::string log = Log();
    EXPECT_NE(log.find(block), std::string::npos) << log;
    EXPECT_EQ(log.find("Device identifier:"), log.rfind("Device identifier:")) << log;
}

TEST_F(DXContextTest, DesktopRefusals)
{
    Live().mDesktopWidth = 800 + sys::kFrameWidth + sys::kEdgeWidth - 1;
    EXPECT_FALSE(Create(false));
    ExpectNothingCreated();
    EXPECT_TRUE(Create(true)) << "a small desktop still allows full screen";

    Live() = StandardConfig();
    Live().mDesktopColors = 256;
    EXPECT_FALSE(Create(false));
    EXPECT_FALSE(Context().IsPalettizedDesktop());
    EXPECT_TRUE(Create(true));

    Live().mDesktopColors = 16;
    EXPECT_FALSE(Create(true));
    EXPECT_TRUE(Context().IsPalettizedDesktop());
    ExpectNothingCreated();
}

TEST_F(DXContextTest, OutOfVideoMemoryRefusesWindowsOnly)
{
    Context().SetOutOfVideoMemory(true);
    EXPECT_FALSE(Create(false));
    EXPECT_TRUE(Create(true));
    Context().SetOutOfVideoMemory(false);
    // A windowed back buffer that does not fit sets the flag.
    Live().mVideoMemory = 1 << 20;
    EXPECT_FALSE(Create(false));
    EXPECT_TRUE(Context().IsOutOfVideoMemory());
    ExpectNothingCreated();
}

TEST_F(DXContextTest, DeviceRefusalsLeaveNothingCreated)
{
    Live().mDevices[0].mDevCaps &= ~DEVCAPS_HWRASTERIZATION;
    EXPECT_FALSE(Create(false));
    EXPECT_NE(Log().find("TDXContext::Create failed! Could not find a hardware renderer."),
              std::string::npos);
    ExpectNothingCreated();

    Live() = StandardConfig();
    Live().mDevices[0].mMaxTextureHeight = 512;
    EXPECT_FALSE(Create(false));
    EXPECT_NE(Log().find("TDXContext::Create - context does not support 1024x1024 textures! "
                         "Failing!"),
              std::string::npos);
    ExpectNothingCreated();

    Live() = StandardConfig();
    QueueCreateDeviceAnswer(Result::SurfaceNotInVidMem);
    EXPECT_FALSE(Create(false));
    EXPECT_TRUE(Context().IsSurfaceNotInVideoMemory());
    ExpectNothingCreated();
    // The next windowed screen asks for its back buffer in video memory.
    ASSERT_TRUE(Create(false));
    EXPECT_NE(Context().GetBackBuffer()->GetCaps() & CAPS_VIDEOMEMORY, 0u);

    QueueCreateDeviceAnswer(Result::NoPaletteAttached);
    EXPECT_FALSE(Create(false));
    EXPECT_EQ(Context().GetDesktopColors(), 32);

    SetDirectDrawCreateHook(
        [](DirectDraw& dd) {
            dd.mCreateSurfaceAnswers = {Result::Ok, Result::Ok, Result::InvalidPixelFormat};
        });
    EXPECT_FALSE(Create(false)) << "the depth buffer";
    ExpectNothingCreated();
}

TEST_F(DXContextTest, DeviceFilterTakesTheLastAcceptedUnlessOneTransformsInHardware)
{
    DeviceDesc plain = Live().mDevices[0];
    plain.mDevCaps &= ~DEVCAPS_HWTRANSFORMANDLIGHT;
    plain.mDeviceGuid.mData[3] = 0x11;
    DeviceDesc noGouraud = plain;
    noGouraud.mTriCaps.mShadeCaps &= ~SHADECAPS_COLORGOURAUDRGB;
    noGouraud.mDeviceGuid.mData[3] = 0x22;
    DeviceDesc sixteenOnly = plain;
    sixteenOnly.mRenderBitDepth = BD_16;
    sixteenOnly.mDeviceGuid.mData[3] = 0x33;
    DeviceDesc software = plain;
    software.mDevCaps &= ~DEVCAPS_HWRASTERIZATION;
    software.mDeviceGuid.mData[3] = 0x44;
    DeviceDesc second = plain;
    second.mDeviceGuid.mData[3] = 0x55;
    Live().mDevices = {plain, noGouraud, sixteenOnly, second, software};
    ASSERT_TRUE(Create(false));
    DeviceDesc chosen;
    Context().GetDevice()->GetCaps(&chosen);
    EXPECT_EQ(chosen.mDeviceGuid.mData[3], 0x55u);

    DeviceDesc tnl = Live().mDevices[0];
    tnl.mDevCaps |= DEVCAPS_HWTRANSFORMANDLIGHT;
    tnl.mDeviceGuid.mData[3] = 0x66;
    Live().mDevices = {plain, tnl, second};
    ASSERT_TRUE(Create(false));
    Context().GetDevice()->GetCaps(&chosen);
    EXPECT_EQ(chosen.mDeviceGuid.mData[3], 0x66u);
}

TEST_F(DXContextTest, AdapterQuirks)
{
    SetConfig("brokenindexedverts", "0");
    Live().mIdentifier.mDescription = "Mobile Intel(R) 945 Express";
    ASSERT_TRUE(Create(false));
    EXPECT_STREQ(GetConfig("brokenindexedverts").c_str(), "1");
    EXPECT_FALSE(Platform().mBrokenIndexedVerts);

    // The adapter with broken indexed draws stays at 32 bits without "largevramusage".
    Live().mIdentifier.mDescription = "SiS Mirage 3 Graphics";
    ASSERT_TRUE(Create(true));
    EXPECT_TRUE(Platform().mBrokenIndexedVerts);
    EXPECT_EQ(Context().GetDisplayModeDesc().mPixelFormat.mBitCount, 32u);
    EXPECT_FALSE(Data().mForced16Bit);

    SetConfig("largevramusage", "1");
    ASSERT_TRUE(Create(true));
    EXPECT_EQ(Context().GetDisplayModeDesc().mPixelFormat.mBitCount, 16u);
    EXPECT_TRUE(Data().mForced16Bit);
    // Later displays of the run are 16-bit too.
    SetConfig("largevramusage", "0");
    Live().mIdentifier.mDescription = "Software display adapter";
    Platform().SetDisplay(800, 600, true, true, false, false);
    EXPECT_EQ(Data().mBitDepth, 16);
}

TEST_F(DXContextTest, VersionTestsAnswerForSixPointOne)
{
    EXPECT_TRUE(TDXContext::IsWindowsVistaOrLater());
    EXPECT_TRUE(TDXContext::IsWindowsXPOrLater());
    EXPECT_EQ(std::string(Context().GetMouseMutexName().c_str()).rfind("TDXContextMouseMutex:", 0),
              0u);
}

} // namespace
