// The display object: adapters, cooperative level, modes, caps, surface creation against the
// video-memory budget, windowed and full-screen presentation, loss and restore.
#include "sys/display/blit.h"
#include "sys/display/direct_draw.h"
#include "sys/display/presenter/presenter.h"
#include "sys/window/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace sys::display;

namespace
{
class DirectDrawTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DisplayConfig config = DefaultDisplayConfig();
        config.mDesktopWidth = 1280;
        config.mDesktopHeight = 1024;
        SetDisplayConfig(config);
    }
    void TearDown() override { ResetDisplayConfig(); }

    std::shared_ptr<DirectDraw> Create()
    {
        std::shared_ptr<DirectDraw> dd;
        EXPECT_EQ(DirectDrawCreate(nullptr, &dd), Result::Ok);
        return dd;
    }

    static SurfaceDesc Desc(uint32_t caps, uint32_t w = 0, uint32_t h = 0)
    {
        SurfaceDesc d;
        d.mFlags = SD_CAPS | (w != 0 ? SD_WIDTH | SD_HEIGHT : 0u);
        d.mCaps = caps;
        d.mWidth = w;
        d.mHeight = h;
        return d;
    }

    // A full-screen flip chain of 800 x 600 x 32 with one back buffer.
    std::shared_ptr<Surface> FullScreen(DirectDraw& dd, std::shared_ptr<Surface>* back)
    {
        EXPECT_EQ(dd.SetCooperativeLevel(nullptr, SCL_FULLSCREEN | SCL_EXCLUSIVE), Result::Ok);
        EXPECT_EQ(dd.SetDisplayMode(800, 600, 32, 0, 0), Result::Ok);
        SurfaceDesc d = Desc(CAPS_PRIMARYSURFACE | CAPS_FLIP | CAPS_COMPLEX | CAPS_3DDEVICE);
        d.mFlags |= SD_BACKBUFFERCOUNT;
        d.mBackBufferCount = 1;
        std::shared_ptr<Surface> front;
        EXPECT_EQ(dd.CreateSurface(d, &front), Result::Ok);
        EXPECT_EQ(front->GetAttachedSurface(CAPS_BACKBUFFER, back), Result::Ok);
        return front;
    }
};

BltFx FillFx(uint32_t raw)
{
    BltFx fx;
    fx.mFillColor = raw;
    return fx;
}
} // namespace

TEST_F(DirectDrawTest, EnumeratesTheDefaultAdapterThenOnePerAdapter)
{
    std::vector<AdapterInfo> seen;
    ASSERT_EQ(DirectDrawEnumerate(
                  [&](const AdapterInfo& a)
                  {
                      seen.push_back(a);
                      return true;
                  },
                  ENUM_ATTACHEDSECONDARYDEVICES),
              Result::Ok);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_FALSE(seen[0].mHasGuid);
    EXPECT_TRUE(seen[1].mHasGuid);
    std::shared_ptr<DirectDraw> dd;
    EXPECT_EQ(DirectDrawCreate(&seen[1].mGuid, &dd), Result::Ok);
    EXPECT_EQ(dd->GetAdapter(), 0u);
    Guid unknown{{1, 2, 3, 4}};
    EXPECT_EQ(DirectDrawCreate(&unknown, &dd), Result::NotFound);
    EXPECT_FALSE(dd);
}

TEST_F(DirectDrawTest, StandardModeListAndDisplayMode)
{
    auto dd = Create();
    std::vector<SurfaceDesc> modes;
    dd->EnumDisplayModes(0, nullptr,
                         [&](const SurfaceDesc& d)
                         {
                             modes.push_back(d);
                             return true;
                         });
    ASSERT_EQ(modes.size(), 8u);
    EXPECT_EQ(modes[0].mWidth, 640u);
    EXPECT_EQ(modes[0].mPixelFormat.mBitCount, 16u);
    EXPECT_EQ(modes[7].mWidth, 1280u);
    EXPECT_EQ(modes[7].mPixelFormat.mBitCount, 32u);
    SurfaceDesc filter;
    filter.mFlags = SD_WIDTH | SD_HEIGHT;
    filter.mWidth = 800;
    filter.mHeight = 600;
    int count = 0;
    dd->EnumDisplayModes(0, &filter,
                         [&](const SurfaceDesc& d)
                         {
                             EXPECT_EQ(d.mWidth, 800u);
                             ++count;
                             return true;
                         });
    EXPECT_EQ(count, 2);
    SurfaceDesc mode;
    ASSERT_EQ(dd->GetDisplayMode(&mode), Result::Ok);
    EXPECT_EQ(mode.mWidth, 1280u);
    EXPECT_EQ(mode.mPixelFormat, MakePixelFormat(FormatId::X8R8G8B8));
    uint32_t hz = 0;
    EXPECT_EQ(dd->GetMonitorFrequency(&hz), Result::Ok);
    EXPECT_EQ(hz, 60u);
}

TEST_F(DirectDrawTest, ModesNeedExclusiveModeAndMustBeListed)
{
    auto dd = Create();
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_NORMAL), Result::Ok);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 32, 0, 0), Result::NoExclusiveMode);
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_FULLSCREEN | SCL_EXCLUSIVE), Result::Ok);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 24, 0, 0), Result::UnsupportedMode);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 16, 0, 0), Result::Ok);
    SurfaceDesc mode;
    dd->GetDisplayMode(&mode);
    EXPECT_EQ(mode.mPixelFormat, MakePixelFormat(FormatId::R5G6B5));
    EXPECT_EQ(dd->RestoreDisplayMode(), Result::Ok);
    dd->GetDisplayMode(&mode);
    EXPECT_EQ(mode.mWidth, 1280u);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, SCL_FULLSCREEN), Result::InvalidParams);
}

TEST_F(DirectDrawTest, OnlyOneDisplayObjectHoldsExclusiveMode)
{
    auto first = Create();
    auto second = Create();
    ASSERT_EQ(first->SetCooperativeLevel(nullptr, SCL_FULLSCREEN | SCL_EXCLUSIVE), Result::Ok);
    EXPECT_EQ(second->SetCooperativeLevel(nullptr, SCL_FULLSCREEN | SCL_EXCLUSIVE),
              Result::ExclusiveModeAlreadySet);
    ASSERT_EQ(second->SetCooperativeLevel(nullptr, SCL_NORMAL), Result::Ok);
    EXPECT_EQ(second->TestCooperativeLevel(), Result::ExclusiveModeAlreadySet);
    first.reset();
    EXPECT_EQ(second->TestCooperativeLevel(), Result::Ok);
}

TEST_F(DirectDrawTest, CapsSteerTheDisplayCodeToItsNormalPath)
{
    auto dd = Create();
    std::shared_ptr<Direct3D> d3d;
    ASSERT_EQ(dd->QueryDirect3D(&d3d), Result::Ok);
    std::vector<DeviceDesc> devices;
    d3d->EnumDevices(
        [&](const DeviceDesc& d)
        {
            devices.push_back(d);
            return true;
        });
    ASSERT_EQ(devices.size(), 1u);
    const DeviceDesc& dev = devices[0];
    EXPECT_TRUE(dev.mDevCaps & DEVCAPS_HWRASTERIZATION);
    EXPECT_TRUE(dev.mDevCaps & DEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_TRUE(dev.mTriCaps.mShadeCaps & SHADECAPS_COLORGOURAUDRGB);
    EXPECT_TRUE(dev.mTriCaps.mShadeCaps & SHADECAPS_SPECULARGOURAUDRGB);
    EXPECT_FALSE(dev.mTriCaps.mTextureCaps & TEXTURECAPS_SQUAREONLY);
    EXPECT_TRUE(dev.mRenderBitDepth & BD_32);
    EXPECT_TRUE(dev.mRenderBitDepth & BD_16);
    EXPECT_GE(dev.mMaxTextureWidth, 4096u);
    EXPECT_GE(dev.mMaxTextureAspectRatio, 64u);
    bool depth16 = false;
    d3d->EnumZBufferFormats(dev.mDeviceGuid,
                            [&](const PixelFormat& f)
                            {
                                depth16 = depth16 || (f.mFlags == PF_ZBUFFER &&
                                                      CountMaskBits(f.mZBitMask) >= 16);
                                return true;
                            });
    EXPECT_TRUE(depth16);
    bool alphaRgb32 = false;
    d3d->EnumTextureFormats(
        [&](const PixelFormat& f)
        {
            alphaRgb32 = alphaRgb32 || (f.HasAlpha() && f.IsRgb() && f.mBitCount == 32);
            return true;
        });
    EXPECT_TRUE(alphaRgb32);
    DeviceIdentifier id;
    ASSERT_EQ(dd->GetDeviceIdentifier(&id, 0), Result::Ok);
    EXPECT_EQ(id.mDescription.find("Intel"), std::string::npos);
    EXPECT_NE(id.mDescription, "SiS Mirage 3 Graphics");
    DisplayCaps caps;
    ASSERT_EQ(dd->GetCaps(&caps, nullptr), Result::Ok);
    EXPECT_GE(caps.mVidMemFree, 16u << 20);
}

TEST_F(DirectDrawTest, ConfigurationOverridesReachTheDisplayObject)
{
    DisplayConfig config = GetDisplayConfig();
    config.mVideoMemory = 8u << 20;
    config.mDevices[0].mMaxTextureHeight = 512;
    config.mModes = {DisplayMode{800, 600, 24, 60}, DisplayMode{800, 600, 16, 60}};
    SetDisplayConfig(config);
    auto dd = Create();
    DisplayCaps caps;
    dd->GetCaps(&caps, nullptr);
    EXPECT_EQ(caps.mVidMemFree, 8u << 20);
    std::shared_ptr<Direct3D> d3d;
    dd->QueryDirect3D(&d3d);
    d3d->EnumDevices(
        [](const DeviceDesc& d)
        {
            EXPECT_EQ(d.mMaxTextureHeight, 512u);
            return true;
        });
    int modes = 0;
    dd->EnumDisplayModes(0, nullptr, [&](const SurfaceDesc&) { return ++modes < 10; });
    EXPECT_EQ(modes, 2);
}

TEST_F(DirectDrawTest, WindowedPrimaryCoversTheDesktop)
{
    auto dd = Create();
    std::shared_ptr<Surface> primary;
    EXPECT_EQ(dd->CreateSurface(Desc(CAPS_PRIMARYSURFACE), &primary), Result::Fail); // no level
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_NORMAL), Result::Ok);
    ASSERT_EQ(dd->CreateSurface(Desc(CAPS_PRIMARYSURFACE), &primary), Result::Ok);
    EXPECT_EQ(primary->GetWidth(), 1280u);
    EXPECT_EQ(primary->GetHeight(), 1024u);
    EXPECT_TRUE(primary->GetCaps() & CAPS_PRIMARYSURFACE);
    std::shared_ptr<Surface> second;
    EXPECT_EQ(dd->CreateSurface(Desc(CAPS_PRIMARYSURFACE), &second), Result::Fail);
    SurfaceDesc chain = Desc(CAPS_PRIMARYSURFACE | CAPS_FLIP | CAPS_COMPLEX);
    chain.mFlags |= SD_BACKBUFFERCOUNT;
    chain.mBackBufferCount = 1;
    primary.reset();
    EXPECT_EQ(dd->CreateSurface(chain, &second), Result::NoExclusiveMode);
}

TEST_F(DirectDrawTest, WindowedPresentCopiesIntoTheWindowAndKeepsTheBackBuffer)
{
    auto dd = Create();
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_NORMAL), Result::Ok);
    const Rect window{200, 100, 264, 148}; // a 64 x 48 client area placed on the desktop
    dd->GetScreen().SetWindowRectOverride(window);
    std::shared_ptr<Surface> front, back;
    ASSERT_EQ(dd->CreateSurface(Desc(CAPS_PRIMARYSURFACE), &front), Result::Ok);
    ASSERT_EQ(dd->CreateSurface(Desc(CAPS_OFFSCREENPLAIN | CAPS_3DDEVICE, 64, 48), &back),
              Result::Ok);
    BltFx fx = FillFx(0x00336699);
    ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, BLT_COLORFILL | BLT_WAIT, &fx), Result::Ok);
    back->WriteRaw(0, 0, 0x00FF0000);
    BltFx noTearing;
    noTearing.mFx = BLTFX_NOTEARING;
    ASSERT_EQ(front->Blt(&window, back.get(), nullptr, BLT_WAIT | BLT_DDFX, &noTearing),
              Result::Ok);
    // The back buffer keeps its picture; the front holds it at the window's place.
    EXPECT_EQ(back->ReadRaw(1, 1), 0x00336699u);
    EXPECT_EQ(front->ReadRaw(200, 100), 0x00FF0000u);
    EXPECT_EQ(front->ReadRaw(263, 147), 0x00336699u);
    EXPECT_EQ(front->ReadRaw(199, 100), 0u);
    // Only the window's rectangle is shown, read back byte-exact.
    Presenter& presenter = dd->GetScreen().GetPresenter();
    EXPECT_TRUE(presenter.IsHeadless());
    ASSERT_EQ(presenter.GetFrameWidth(), 64u);
    ASSERT_EQ(presenter.GetFrameHeight(), 48u);
    EXPECT_EQ(presenter.GetLastFrame()[0], 0xFFFF0000u);
    EXPECT_EQ(presenter.GetLastFrame()[64 * 48 - 1], 0xFF336699u);
}

TEST_F(DirectDrawTest, WindowedPresentOfAWindowPartlyOffTheDesktopIsClipped)
{
    auto dd = Create();
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_NORMAL), Result::Ok);
    const Rect window{1250, -10, 1314, 38};
    dd->GetScreen().SetWindowRectOverride(window);
    std::shared_ptr<Surface> front, back;
    ASSERT_EQ(dd->CreateSurface(Desc(CAPS_PRIMARYSURFACE), &front), Result::Ok);
    ASSERT_EQ(dd->CreateSurface(Desc(CAPS_OFFSCREENPLAIN, 64, 48), &back), Result::Ok);
    back->WriteRaw(0, 10, 0x00ABCDEF);
    ASSERT_EQ(front->Blt(&window, back.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
    EXPECT_EQ(front->ReadRaw(1250, 0), 0x00ABCDEFu);
    const auto& frame = dd->GetScreen().GetPresenter().GetLastFrame();
    EXPECT_EQ(frame[10 * 64], 0xFFABCDEFu);
    EXPECT_EQ(frame[0], 0xFF000000u); // above the desktop: black
}

// A blit into the windowed primary is shown as it is made: front and frame must equal what the
// copy followed by a present of the window gives, for a blit smaller than the window, one cut by
// the window, and a window partly off the desktop.
TEST_F(DirectDrawTest, WindowedBlitShowsWhatTheCopyThenThePresentWouldShow)
{
    struct Case
    {
        Rect window;
        Rect dest;
        Rect from;
    };
    for (const Case& c : {Case{{200, 100, 264, 148}, {210, 107, 243, 130}, {5, 9, 38, 32}},
                          Case{{200, 100, 264, 148}, {180, 90, 230, 120}, {0, 0, 50, 30}},
                          Case{{1250, -10, 1314, 38}, {1250, -10, 1314, 38}, {0, 0, 64, 48}}})
    {
        auto dd = Create();
        ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_NORMAL), Result::Ok);
        dd->GetScreen().SetWindowRectOverride(c.window);
        std::shared_ptr<Surface> front, back;
        ASSERT_EQ(dd->CreateSurface(Desc(CAPS_PRIMARYSURFACE), &front), Result::Ok);
        ASSERT_EQ(dd->CreateSurface(Desc(CAPS_OFFSCREENPLAIN, 64, 48), &back), Result::Ok);
        for (uint32_t y = 0; y < front->GetHeight(); ++y)
            for (uint32_t x = 0; x < front->GetWidth(); ++x)
                front->WriteRaw(x, y, x * 3 + y * 5000);
        for (uint32_t y = 0; y < 48; ++y)
            for (uint32_t x = 0; x < 64; ++x)
                back->WriteRaw(x, y, 0x00800000 + x * 256 + y);
        // The reference: the clipped copy into a copy of the front, then a present of it.
        auto expected =
            Surface::Create(front->GetWidth(), front->GetHeight(), front->GetPixelFormat());
        std::memcpy(expected->GetBits(), front->GetBits(),
                    static_cast<size_t>(front->GetPitch()) * front->GetHeight());
        const Rect cut{std::max({c.dest.left, c.window.left, 0}),
                       std::max({c.dest.top, c.window.top, 0}),
                       std::min({c.dest.right, c.window.right, 1280}),
                       std::min({c.dest.bottom, c.window.bottom, 1024})};
        const Rect cutFrom{c.from.left + cut.left - c.dest.left, c.from.top + cut.top - c.dest.top,
                           c.from.left + cut.right - c.dest.left,
                           c.from.top + cut.bottom - c.dest.top};
        CopyPixels(*expected, cut, *back, cutFrom);
        Presenter reference(nullptr);
        reference.Present(*expected, c.window);

        ASSERT_EQ(front->Blt(&c.dest, back.get(), &c.from, BLT_WAIT, nullptr), Result::Ok);
        const Presenter& presenter = dd->GetScreen().GetPresenter();
        EXPECT_EQ(presenter.GetPresentCount(), 1u);
        EXPECT_TRUE(presenter.GetLastFrame() == reference.GetLastFrame());
        EXPECT_EQ(std::memcmp(front->GetBits(), expected->GetBits(),
                              static_cast<size_t>(front->GetPitch()) * front->GetHeight()),
                  0);
    }
}

TEST_F(DirectDrawTest, FullScreenFlipSwapsSoTheBackBufferHoldsThePreviousPicture)
{
    auto dd = Create();
    std::shared_ptr<Surface> back;
    auto front = FullScreen(*dd, &back);
    EXPECT_EQ(front->GetWidth(), 800u);
    EXPECT_TRUE(back->GetCaps() & CAPS_BACKBUFFER);
    BltFx first = FillFx(0x00111111);
    BltFx second = FillFx(0x00222222);
    ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, BLT_COLORFILL, &first), Result::Ok);
    ASSERT_EQ(front->Flip(nullptr, 0), Result::Ok);
    EXPECT_EQ(front->ReadRaw(5, 5), 0x00111111u);
    EXPECT_EQ(back->ReadRaw(5, 5), 0u); // the picture shown before the flip
    ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, BLT_COLORFILL, &second), Result::Ok);
    ASSERT_EQ(front->Flip(nullptr, 0), Result::Ok);
    EXPECT_EQ(front->ReadRaw(5, 5), 0x00222222u);
    EXPECT_EQ(back->ReadRaw(5, 5), 0x00111111u);
    Presenter& presenter = dd->GetScreen().GetPresenter();
    ASSERT_EQ(presenter.GetFrameWidth(), 800u);
    EXPECT_EQ(presenter.GetLastFrame()[0], 0xFF222222u);
    // Writes to the front buffer outside a flip (the cursor) are shown too.
    const uint32_t presents = presenter.GetPresentCount();
    Rect cursor{10, 10, 12, 12};
    BltFx red = FillFx(0x00FF0000);
    ASSERT_EQ(front->Blt(&cursor, nullptr, nullptr, BLT_COLORFILL, &red), Result::Ok);
    EXPECT_GT(presenter.GetPresentCount(), presents);
    EXPECT_EQ(presenter.GetLastFrame()[10 * 800 + 10], 0xFFFF0000u);
}

// The full-screen picture is scaled into the desktop (here 1280 x 1024: bars above and below), and
// the pointer mapping takes the same fit from the first presented frame; windowed, points are the
// window's own again. Full screen the game draws its pointer alone: the system's is held back
// while the game's choice to show it is kept for the window.
TEST_F(DirectDrawTest, AFullScreenPictureFitsThePointerToTheDesktop)
{
    auto dd = Create();
    std::shared_ptr<Surface> back;
    sys::ShowSystemCursor(true);
    auto front = FullScreen(*dd, &back);
    EXPECT_TRUE(sys::IsSystemCursorHeldBack());
    EXPECT_TRUE(sys::IsSystemCursorShown());
    ASSERT_EQ(front->Flip(nullptr, 0), Result::Ok);
    int x = 640, y = 31;
    sys::WindowToPicture(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(400, 0));
    x = 1279, y = 991;
    sys::WindowToPicture(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(799, 599));
    x = 0, y = 0;
    sys::PictureToWindow(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(0, 32));

    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_NORMAL), Result::Ok);
    x = 1279, y = 991;
    sys::WindowToPicture(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(1279, 991));
    EXPECT_FALSE(sys::IsSystemCursorHeldBack());
    EXPECT_TRUE(sys::IsSystemCursorShown());
}

TEST_F(DirectDrawTest, FlipAndBltStatusAnswerDoneUnlessInjected)
{
    auto dd = Create();
    std::shared_ptr<Surface> back;
    auto front = FullScreen(*dd, &back);
    EXPECT_EQ(front->GetFlipStatus(GFS_ISFLIPDONE), Result::Ok);
    dd->GetHost()->mFlipStatusAnswers = {Result::WasStillDrawing};
    dd->GetHost()->mBltStatusAnswers = {Result::WasStillDrawing};
    EXPECT_EQ(front->GetFlipStatus(GFS_ISFLIPDONE), Result::WasStillDrawing);
    EXPECT_EQ(front->GetFlipStatus(GFS_ISFLIPDONE), Result::Ok);
    EXPECT_EQ(front->GetBltStatus(GBS_ISBLTDONE), Result::WasStillDrawing);
    EXPECT_EQ(front->GetBltStatus(GBS_ISBLTDONE), Result::Ok);
}

TEST_F(DirectDrawTest, InjectedLossMakesLockAndPresentAnswerLostUntilRestore)
{
    auto dd = Create();
    std::shared_ptr<Surface> back;
    auto front = FullScreen(*dd, &back);
    std::shared_ptr<Surface> texture;
    ASSERT_EQ(dd->CreateSurface(Desc(CAPS_TEXTURE, 16, 16), &texture), Result::Ok);
    GetLiveDirectDraw()->LoseAllSurfaces();
    EXPECT_EQ(front->IsLost(), Result::SurfaceLost);
    EXPECT_EQ(back->IsLost(), Result::SurfaceLost);
    EXPECT_EQ(texture->IsLost(), Result::SurfaceLost);
    SurfaceDesc desc;
    EXPECT_EQ(back->Lock(nullptr, &desc, LOCK_WAIT), Result::SurfaceLost);
    EXPECT_EQ(front->Flip(nullptr, 0), Result::SurfaceLost);
    EXPECT_EQ(dd->TestCooperativeLevel(), Result::Ok);
    // The display refuses to give memory back while the mode is wrong.
    dd->GetHost()->mRestoreAnswer = Result::WrongMode;
    EXPECT_EQ(dd->RestoreAllSurfaces(), Result::WrongMode);
    EXPECT_EQ(front->Restore(), Result::WrongMode);
    dd->GetHost()->mRestoreAnswer = Result::Ok;
    ASSERT_EQ(dd->RestoreAllSurfaces(), Result::Ok);
    EXPECT_EQ(front->IsLost(), Result::Ok);
    EXPECT_EQ(texture->IsLost(), Result::Ok);
    EXPECT_EQ(back->Lock(nullptr, &desc, LOCK_WAIT), Result::Ok);
    EXPECT_EQ(back->Unlock(), Result::Ok);
    EXPECT_EQ(front->Flip(nullptr, 0), Result::Ok);
}

TEST_F(DirectDrawTest, InjectedCooperativeAnswersAreTakenInOrder)
{
    auto dd = Create();
    dd->mTestCooperativeLevelAnswers = {Result::ExclusiveModeAlreadySet, Result::WrongMode};
    dd->mRestoreAllSurfacesAnswers = {Result::WrongMode};
    EXPECT_EQ(dd->TestCooperativeLevel(), Result::ExclusiveModeAlreadySet);
    EXPECT_EQ(dd->TestCooperativeLevel(), Result::WrongMode);
    EXPECT_EQ(dd->TestCooperativeLevel(), Result::Ok);
    EXPECT_EQ(dd->RestoreAllSurfaces(), Result::WrongMode);
    EXPECT_EQ(dd->RestoreAllSurfaces(), Result::Ok);
}

TEST_F(DirectDrawTest, ModeChangeLosesEarlierSurfaces)
{
    auto dd = Create();
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_FULLSCREEN | SCL_EXCLUSIVE), Result::Ok);
    std::shared_ptr<Surface> plain;
    ASSERT_EQ(dd->CreateSurface(Desc(CAPS_OFFSCREENPLAIN, 8, 8), &plain), Result::Ok);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), Result::Ok);
    EXPECT_EQ(plain->IsLost(), Result::SurfaceLost);
}

TEST_F(DirectDrawTest, VideoMemoryBudgetRunsOutAndComesBack)
{
    DisplayConfig config = GetDisplayConfig();
    config.mVideoMemory = 64 * 64 * 4 * 2; // room for two 64 x 64 32-bit surfaces
    SetDisplayConfig(config);
    auto dd = Create();
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_NORMAL), Result::Ok);
    SurfaceDesc d = Desc(CAPS_TEXTURE, 64, 64);
    d.mFlags |= SD_PIXELFORMAT;
    d.mPixelFormat = MakePixelFormat(FormatId::A8R8G8B8);
    std::shared_ptr<Surface> a, b, c;
    ASSERT_EQ(dd->CreateSurface(d, &a), Result::Ok);
    ASSERT_EQ(dd->CreateSurface(d, &b), Result::Ok);
    EXPECT_TRUE(a->GetCaps() & CAPS_VIDEOMEMORY);
    EXPECT_EQ(dd->CreateSurface(d, &c), Result::OutOfVideoMemory);
    EXPECT_FALSE(c);
    uint64_t total = 0, free = 1;
    dd->GetAvailableVidMem(CAPS_TEXTURE, &total, &free);
    EXPECT_EQ(free, 0u);
    // System memory does not count against the budget.
    SurfaceDesc sys = d;
    sys.mCaps |= CAPS_SYSTEMMEMORY;
    EXPECT_EQ(dd->CreateSurface(sys, &c), Result::Ok);
    a.reset();
    dd->GetAvailableVidMem(CAPS_TEXTURE, &total, &free);
    EXPECT_EQ(free, 64u * 64 * 4);
    EXPECT_EQ(dd->CreateSurface(d, &a), Result::Ok);
}

TEST_F(DirectDrawTest, InjectedCreationFailure)
{
    auto dd = Create();
    dd->mCreateSurfaceAnswers = {Result::OutOfVideoMemory};
    std::shared_ptr<Surface> s;
    EXPECT_EQ(dd->CreateSurface(Desc(CAPS_OFFSCREENPLAIN, 4, 4), &s), Result::OutOfVideoMemory);
    EXPECT_EQ(dd->CreateSurface(Desc(CAPS_OFFSCREENPLAIN, 4, 4), &s), Result::Ok);
}

TEST_F(DirectDrawTest, SurfaceCreationChecksItsDescription)
{
    auto dd = Create();
    std::shared_ptr<Surface> s;
    SurfaceDesc noSize = Desc(CAPS_OFFSCREENPLAIN);
    EXPECT_EQ(dd->CreateSurface(noSize, &s), Result::InvalidParams);
    SurfaceDesc depth = Desc(CAPS_ZBUFFER, 8, 8);
    EXPECT_EQ(dd->CreateSurface(depth, &s), Result::InvalidPixelFormat);
    depth.mFlags |= SD_PIXELFORMAT;
    depth.mPixelFormat = MakePixelFormat(FormatId::D16);
    ASSERT_EQ(dd->CreateSurface(depth, &s), Result::Ok);
    EXPECT_EQ(s->GetPitch(), 16);
    SurfaceDesc both = Desc(CAPS_TEXTURE | CAPS_SYSTEMMEMORY | CAPS_VIDEOMEMORY, 4, 4);
    EXPECT_EQ(dd->CreateSurface(both, &s), Result::InvalidParams);
    // Without a pixel format a surface takes the display's.
    ASSERT_EQ(dd->CreateSurface(Desc(CAPS_OFFSCREENPLAIN, 4, 4), &s), Result::Ok);
    EXPECT_EQ(s->GetPixelFormat(), MakePixelFormat(FormatId::X8R8G8B8));
    SurfaceDesc mips = Desc(CAPS_TEXTURE | CAPS_MIPMAP | CAPS_COMPLEX, 8, 2);
    mips.mFlags |= SD_MIPMAPCOUNT;
    mips.mMipMapCount = 4;
    ASSERT_EQ(dd->CreateSurface(mips, &s), Result::Ok);
    ASSERT_EQ(s->GetMipLevelCount(), 4u);
    EXPECT_EQ(s->GetMipLevel(1)->GetHeight(), 1u);
    EXPECT_EQ(s->GetMipLevel(3)->GetWidth(), 1u);
}

TEST_F(DirectDrawTest, FocusLossInFullScreenLosesSurfacesUntilTheFocusReturns)
{
    auto dd = Create();
    std::shared_ptr<Surface> back;
    auto front = FullScreen(*dd, &back);
    dd->GetScreen().SetFocusOverride(true);
    EXPECT_EQ(dd->TestCooperativeLevel(), Result::Ok);
    dd->GetScreen().SetFocusOverride(false);        // the player switched away
    EXPECT_EQ(front->Flip(nullptr, 0), Result::Ok); // presenting notices the loss
    EXPECT_EQ(back->IsLost(), Result::SurfaceLost);
    EXPECT_EQ(dd->TestCooperativeLevel(), Result::NoExclusiveMode);
    EXPECT_EQ(dd->RestoreAllSurfaces(), Result::NoExclusiveMode);
    EXPECT_EQ(back->Restore(), Result::NoExclusiveMode);
    dd->GetScreen().SetFocusOverride(true);
    EXPECT_EQ(dd->TestCooperativeLevel(), Result::Ok);
    EXPECT_EQ(back->IsLost(), Result::SurfaceLost); // until restored
    EXPECT_EQ(dd->RestoreAllSurfaces(), Result::Ok);
    EXPECT_EQ(front->Flip(nullptr, 0), Result::Ok);
}

TEST_F(DirectDrawTest, FocusIsIgnoredWindowed)
{
    auto dd = Create();
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_NORMAL), Result::Ok);
    dd->GetScreen().SetFocusOverride(false);
    EXPECT_EQ(dd->TestCooperativeLevel(), Result::Ok);
}

TEST_F(DirectDrawTest, FifteenBitModesAreEnumeratedAsSixteenBitsOfFiveFiveFive)
{
    DisplayConfig config = GetDisplayConfig();
    config.mModes = {DisplayMode{800, 600, 15, 60}};
    SetDisplayConfig(config);
    auto dd = Create();
    SurfaceDesc seen;
    dd->EnumDisplayModes(0, nullptr,
                         [&](const SurfaceDesc& d)
                         {
                             seen = d;
                             return false;
                         });
    EXPECT_EQ(seen.mPixelFormat, MakePixelFormat(FormatId::X1R5G5B5));
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_FULLSCREEN | SCL_EXCLUSIVE), Result::Ok);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 16, 0, 0), Result::Ok);
}

TEST_F(DirectDrawTest, WaitForVerticalBlankAppliesToTheNextPresentOnly)
{
    auto dd = Create();
    std::shared_ptr<Surface> back;
    auto front = FullScreen(*dd, &back);
    EXPECT_EQ(dd->WaitForVerticalBlank(WAITVB_BLOCKBEGIN, nullptr), Result::Ok);
    EXPECT_TRUE(dd->GetScreen().IsVSyncRequested());
    ASSERT_EQ(front->Flip(nullptr, 0), Result::Ok);
    EXPECT_FALSE(dd->GetScreen().IsVSyncRequested());
}

TEST_F(DirectDrawTest, InjectedPresentAnswersSkipTheWork)
{
    auto dd = Create();
    std::shared_ptr<Surface> back;
    auto front = FullScreen(*dd, &back);
    BltFx fx = FillFx(0x00444444);
    ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, BLT_COLORFILL, &fx), Result::Ok);
    dd->GetHost()->mPresentAnswers = {Result::WasStillDrawing};
    EXPECT_EQ(front->Flip(nullptr, 0), Result::WasStillDrawing);
    EXPECT_EQ(front->ReadRaw(0, 0), 0u);
    EXPECT_EQ(front->Flip(nullptr, 0), Result::Ok);
    EXPECT_EQ(front->ReadRaw(0, 0), 0x00444444u);
    // Windowed, the blit into the primary answers instead.
    front.reset();
    back.reset();
    auto windowed = Create();
    ASSERT_EQ(windowed->SetCooperativeLevel(nullptr, SCL_NORMAL), Result::Ok);
    std::shared_ptr<Surface> primary, offscreen;
    ASSERT_EQ(windowed->CreateSurface(Desc(CAPS_PRIMARYSURFACE), &primary), Result::Ok);
    ASSERT_EQ(windowed->CreateSurface(Desc(CAPS_OFFSCREENPLAIN, 8, 8), &offscreen), Result::Ok);
    windowed->GetHost()->mPresentAnswers = {Result::SurfaceLost};
    Rect to{0, 0, 8, 8};
    EXPECT_EQ(primary->Blt(&to, offscreen.get(), nullptr, BLT_WAIT, nullptr), Result::SurfaceLost);
    EXPECT_EQ(offscreen->Blt(nullptr, offscreen.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
    EXPECT_EQ(primary->Blt(&to, offscreen.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
}

TEST_F(DirectDrawTest, ClippersCutBlitsToTheirWindow)
{
    auto dd = Create();
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_NORMAL), Result::Ok);
    dd->GetScreen().SetWindowRectOverride(Rect{10, 10, 20, 20});
    std::shared_ptr<Surface> primary, plain;
    ASSERT_EQ(dd->CreateSurface(Desc(CAPS_PRIMARYSURFACE), &primary), Result::Ok);
    ASSERT_EQ(dd->CreateSurface(Desc(CAPS_OFFSCREENPLAIN, 64, 64), &plain), Result::Ok);
    BltFx fx = FillFx(0x00FFFFFF);
    ASSERT_EQ(primary->Blt(nullptr, nullptr, nullptr, BLT_COLORFILL, &fx), Result::Ok);
    EXPECT_EQ(primary->ReadRaw(10, 10), 0x00FFFFFFu);
    EXPECT_EQ(primary->ReadRaw(19, 19), 0x00FFFFFFu);
    EXPECT_EQ(primary->ReadRaw(9, 10), 0u); // outside the window: untouched
    EXPECT_EQ(primary->ReadRaw(20, 19), 0u);
    // A clipper bound by the display code works the same; removing it restores refusals.
    std::shared_ptr<Clipper> clipper;
    ASSERT_EQ(dd->CreateClipper(0, &clipper), Result::Ok);
    ASSERT_EQ(clipper->SetHWnd(0, nullptr), Result::Ok);
    EXPECT_EQ(clipper->GetClipRect(), (Rect{10, 10, 20, 20}));
    ASSERT_EQ(SetSurfaceClipper(*plain, clipper), Result::Ok);
    Rect wide{-5, -5, 100, 100};
    EXPECT_EQ(plain->Blt(&wide, nullptr, nullptr, BLT_COLORFILL, &fx), Result::Ok);
    EXPECT_EQ(plain->ReadRaw(15, 15), 0x00FFFFFFu);
    EXPECT_EQ(plain->ReadRaw(25, 15), 0u);
    ASSERT_EQ(SetSurfaceClipper(*plain, nullptr), Result::Ok);
    EXPECT_EQ(plain->Blt(&wide, nullptr, nullptr, BLT_COLORFILL, &fx), Result::InvalidRect);
    dd.reset();
    EXPECT_TRUE(clipper->GetClipRect().IsEmpty()); // the display object is gone
}

TEST_F(DirectDrawTest, DesktopModeChangeLosesWindowedSurfacesForGood)
{
    auto dd = Create();
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, SCL_NORMAL), Result::Ok);
    dd->GetScreen().SetWindowRectOverride(Rect{0, 0, 64, 48});
    std::shared_ptr<Surface> front, back;
    ASSERT_EQ(dd->CreateSurface(Desc(CAPS_PRIMARYSURFACE), &front), Result::Ok);
    ASSERT_EQ(dd->CreateSurface(Desc(CAPS_OFFSCREENPLAIN | CAPS_3DDEVICE, 64, 48), &back),
              Result::Ok);
    dd->ChangeDesktopMode(1280, 1024, 32); // the same mode: nothing happens
    EXPECT_EQ(dd->TestCooperativeLevel(), Result::Ok);
    dd->ChangeDesktopMode(1024, 768, 32);
    EXPECT_EQ(front->IsLost(), Result::SurfaceLost);
    EXPECT_EQ(back->IsLost(), Result::SurfaceLost);
    EXPECT_EQ(dd->GetDesktopWidth(), 1024u);
    // The restore path ends in a new display object: nothing comes back in place.
    EXPECT_EQ(dd->TestCooperativeLevel(), Result::WrongMode);
    EXPECT_EQ(dd->RestoreAllSurfaces(), Result::WrongMode);
    EXPECT_EQ(back->Restore(), Result::WrongMode);
    EXPECT_EQ(front->Blt(nullptr, back.get(), nullptr, BLT_WAIT, nullptr), Result::SurfaceLost);
}

TEST_F(DirectDrawTest, DesktopModeChangeLeavesAFullScreenDisplayAlone)
{
    auto dd = Create();
    std::shared_ptr<Surface> back;
    auto front = FullScreen(*dd, &back);
    dd->ChangeDesktopMode(1024, 768, 16);
    EXPECT_EQ(front->IsLost(), Result::Ok);
    EXPECT_EQ(dd->TestCooperativeLevel(), Result::Ok);
    SurfaceDesc mode;
    ASSERT_EQ(dd->GetDisplayMode(&mode), Result::Ok);
    EXPECT_EQ(mode.mWidth, 800u);
}

TEST_F(DirectDrawTest, EnumerationsStopWhenTheCallbackSaysSo)
{
    auto dd = Create();
    std::shared_ptr<Direct3D> d3d;
    ASSERT_EQ(dd->QueryDirect3D(&d3d), Result::Ok);
    int seen = 0;
    EXPECT_EQ(d3d->EnumTextureFormats([&](const PixelFormat&) { return ++seen < 2; }), Result::Ok);
    EXPECT_EQ(seen, 2);
    Guid device;
    seen = 0;
    d3d->EnumDevices(
        [&](const DeviceDesc& d)
        {
            device = d.mDeviceGuid;
            ++seen;
            return true;
        });
    EXPECT_EQ(seen, 1);
    seen = 0;
    EXPECT_EQ(d3d->EnumZBufferFormats(device, [&](const PixelFormat&) { return ++seen < 1; }),
              Result::Ok);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(d3d->EnumZBufferFormats(Guid{}, [](const PixelFormat&) { return true; }),
              Result::NotFound);
    EXPECT_EQ(d3d->EnumTextureFormats(nullptr), Result::InvalidParams);
    EXPECT_EQ(d3d->EnumDevices(nullptr), Result::InvalidParams);
}
