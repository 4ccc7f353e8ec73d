// Creating the device through the rendering side of the display object, and its fall-back answers.
#include "device_test_util.h"

#include "sys/display/direct_draw.h"

#include <gtest/gtest.h>

using namespace devtest;

namespace
{

struct DeviceCreate : ::testing::Test
{
    void SetUp() override
    {
        SetDisplayConfig(DefaultDisplayConfig());
        ASSERT_EQ(DirectDrawCreate(nullptr, &mDirectDraw), Result::Ok);
        ASSERT_EQ(mDirectDraw->QueryDirect3D(&mDirect3D), Result::Ok);
        mDirect3D->EnumDevices(
            [&](const DeviceDesc& d)
            {
                mGuid = d.mDeviceGuid;
                mMaxTexture = d.mMaxTextureWidth;
                return false;
            });
    }
    void TearDown() override
    {
        ClearCreateDeviceAnswers();
        ResetDisplayConfig();
    }

    std::shared_ptr<DirectDraw> mDirectDraw;
    std::shared_ptr<Direct3D> mDirect3D;
    Guid mGuid;
    uint32_t mMaxTexture = 0;
};

} // namespace

TEST_F(DeviceCreate, EnumeratedDeviceRendersIntoTheTargetAndReportsItsCaps)
{
    auto target = MakeSurface(16, 16);
    std::unique_ptr<Device> dev;
    ASSERT_EQ(CreateDevice(*mDirect3D, mGuid, target, &dev), Result::Ok);
    DeviceDesc caps;
    dev->GetCaps(&caps);
    EXPECT_EQ(caps.mMaxTextureWidth, mMaxTexture);
    std::shared_ptr<Surface> rt;
    dev->GetRenderTarget(&rt);
    EXPECT_EQ(rt, target);
}

TEST_F(DeviceCreate, UnknownGuidAndQueuedAnswersFail)
{
    std::unique_ptr<Device> dev;
    Guid unknown;
    unknown.mData[0] = 0xDEAD;
    EXPECT_EQ(CreateDevice(*mDirect3D, unknown, MakeSurface(4, 4), &dev), Result::NotFound);
    QueueCreateDeviceAnswer(Result::SurfaceNotInVidMem);
    EXPECT_EQ(CreateDevice(*mDirect3D, mGuid, MakeSurface(4, 4), &dev), Result::SurfaceNotInVidMem);
    EXPECT_EQ(dev, nullptr);
    EXPECT_EQ(CreateDevice(*mDirect3D, mGuid, MakeSurface(4, 4), &dev), Result::Ok);
    EXPECT_EQ(CreateDevice(*mDirect3D, mGuid, nullptr, &dev), Result::InvalidParams);
}

TEST_F(DeviceCreate, DepthBufferAttachedAfterCreationIsUsed)
{
    auto target = MakeSurface(8, 8);
    std::unique_ptr<Device> dev;
    ASSERT_EQ(CreateDevice(*mDirect3D, mGuid, target, &dev), Result::Ok);
    EXPECT_EQ(dev->Clear(0, nullptr, CLEAR_ZBUFFER, 0, 1.0f, 0), Result::InvalidParams);
    target->AddAttachedSurface(MakeSurface(8, 8, FormatId::D16));
    EXPECT_EQ(dev->Clear(0, nullptr, CLEAR_ZBUFFER, 0, 1.0f, 0), Result::Ok);
}

TEST_F(DeviceCreate, DeviceRendersAtEveryDisplayDepth)
{
    DeviceDesc desc;
    mDirect3D->EnumDevices(
        [&](const DeviceDesc& d)
        {
            desc = d;
            return false;
        });
    EXPECT_EQ(desc.mRenderBitDepth & (BD_16 | BD_24 | BD_32), BD_16 | BD_24 | BD_32);
    for (FormatId format : {FormatId::R5G6B5, FormatId::X1R5G5B5, FormatId::R8G8B8})
    {
        auto target = MakeSurface(4, 4, format);
        std::unique_ptr<Device> dev;
        ASSERT_EQ(CreateDevice(*mDirect3D, mGuid, target, &dev), Result::Ok);
        EXPECT_EQ(dev->Clear(0, nullptr, CLEAR_TARGET, 0xFFFF0000u, 1.0f, 0), Result::Ok);
        EXPECT_EQ(target->ReadPixel(3, 3), format == FormatId::R8G8B8 ? 0xFFFF0000u : 0xFFF80000u)
            << FormatName(format);
    }
}

TEST_F(DeviceCreate, DeviceEnumeratesTheDisplaysTextureFormats)
{
    DisplayConfig config = DefaultDisplayConfig();
    config.mTextureFormats = {MakePixelFormat(FormatId::A4R4G4B4),
                              MakePixelFormat(FormatId::R5G6B5)};
    SetDisplayConfig(config);
    std::shared_ptr<DirectDraw> dd;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd), Result::Ok);
    std::shared_ptr<Direct3D> d3d;
    ASSERT_EQ(dd->QueryDirect3D(&d3d), Result::Ok);
    std::unique_ptr<Device> dev;
    ASSERT_EQ(CreateDevice(*d3d, mGuid, MakeSurface(4, 4), &dev), Result::Ok);
    std::vector<PixelFormat> formats;
    EXPECT_EQ(dev->EnumTextureFormats(
                  [&](const PixelFormat& f)
                  {
                      formats.push_back(f);
                      return true;
                  }),
              Result::Ok);
    EXPECT_EQ(formats, config.mTextureFormats);
    EXPECT_EQ(dev->EnumTextureFormats(nullptr), Result::InvalidParams);
    // A device made without a display offers the default list.
    auto plain = Device::Create(MakeSurface(4, 4), TestCaps());
    int count = 0;
    plain->EnumTextureFormats([&](const PixelFormat&) { return ++count < 100; });
    EXPECT_EQ(count, static_cast<int>(DefaultDisplayConfig().mTextureFormats.size()));
}
