// The display object: cooperative level, modes, caps, surface creation against the video-memory
// budget, loss and restore, and the rendering-side enumeration.
#include "sys/display/direct_draw.h"

#include "sys/display/display_log.h"

#include <SDL.h>

#include <algorithm>

namespace sys::display
{
namespace
{
std::weak_ptr<DirectDraw> gLive;
std::function<void(DirectDraw&)> gCreateHook;
// The display object holding exclusive full-screen mode, if any.
DirectDraw* gExclusiveOwner = nullptr;

Guid AdapterGuid(uint32_t adapter)
{
    return Guid{{0x6d77'6164, 0x0001'0000, 0x6164'6170, adapter}};
}
} // namespace

DirectDraw::DirectDraw(const DisplayConfig& config, uint32_t adapter)
    : mConfig(config), mAdapter(adapter), mDesktopWidth(config.mDesktopWidth),
      mDesktopHeight(config.mDesktopHeight),
      mHost(std::make_shared<SurfaceHost>(config.mVideoMemory))
{
    if (mDesktopWidth == 0 || mDesktopHeight == 0)
        ResolveDesktopSize(&mDesktopWidth, &mDesktopHeight);
    if (mConfig.mModes.empty())
        mConfig.mModes = StandardModes(mDesktopWidth, mDesktopHeight);
    mScreen.SetDesktopSize(mDesktopWidth, mDesktopHeight);
    mScreen.SetFocusLostHandler([this] { SetFocusLost(true); });
    mScreen.SetDesktopChangedCheck([this] { return CheckDesktopMode(); });
}

DirectDraw::~DirectDraw()
{
    mScreen.SetFocusLostHandler({});
    mScreen.SetDesktopChangedCheck({});
    if (mExclusive)
        mScreen.SetWindow(mWindow, false); // the window leaves full screen with its display
    if (gExclusiveOwner == this)
        gExclusiveOwner = nullptr;
}

DisplayMode DirectDraw::CurrentMode() const
{
    if (mModeSet)
        return mMode;
    return DisplayMode{mDesktopWidth, mDesktopHeight, mConfig.mDesktopBitCount,
                       mConfig.mMonitorFrequency};
}

Result DirectDraw::SetCooperativeLevel(WindowHandle window, uint32_t flags)
{
    const bool normal = (flags & SCL_NORMAL) != 0;
    const bool exclusive =
        (flags & (SCL_FULLSCREEN | SCL_EXCLUSIVE)) == (SCL_FULLSCREEN | SCL_EXCLUSIVE);
    if (normal == exclusive || (!exclusive && (flags & (SCL_FULLSCREEN | SCL_EXCLUSIVE)) != 0))
        return Result::InvalidParams;
    if (exclusive && gExclusiveOwner != nullptr && gExclusiveOwner != this)
        return Result::ExclusiveModeAlreadySet;
    if (exclusive)
        gExclusiveOwner = this;
    else if (gExclusiveOwner == this)
        gExclusiveOwner = nullptr;
    if (mExclusive && !exclusive)
        mModeSet = false; // leaving exclusive mode gives the desktop its mode back
    mWindow = window;
    mCooperativeFlags = flags;
    mExclusive = exclusive;
    SetFocusLost(false);
    mScreen.SetWindow(window, exclusive);
    return Result::Ok;
}

Result DirectDraw::SetCooperativeLevel(sys::WindowHandle window, uint32_t flags)
{
    return SetCooperativeLevel(sys::detail::SdlWindowFromHandle(window), flags);
}

void DirectDraw::SetFocusLost(bool lost)
{
    const bool newlyLost = lost && !mFocusLost;
    mFocusLost = lost;
    // While away, surfaces cannot be restored one by one either.
    mHost->mFocusLost = lost;
    if (newlyLost)
        LoseAllSurfaces();
}

void DirectDraw::CheckFocus()
{
    if (mExclusive)
        SetFocusLost(mScreen.HasLostExclusiveFocus());
}

bool DirectDraw::CheckDesktopMode()
{
    if (mExclusive || mCooperativeFlags == 0 || mWrongMode || mConfig.mDesktopWidth != 0 ||
        mConfig.mDesktopHeight != 0)
        return mWrongMode;
    uint32_t width = 0, height = 0;
    ResolveDesktopSize(&width, &height);
    if (width != mDesktopWidth || height != mDesktopHeight)
        ChangeDesktopMode(width, height, mConfig.mDesktopBitCount);
    return mWrongMode;
}

void DirectDraw::ChangeDesktopMode(uint32_t width, uint32_t height, uint32_t bits)
{
    const bool changed =
        width != mDesktopWidth || height != mDesktopHeight || bits != mConfig.mDesktopBitCount;
    mDesktopWidth = width;
    mDesktopHeight = height;
    mConfig.mDesktopBitCount = bits;
    mScreen.SetDesktopSize(width, height);
    // A full-screen display owns the mode; the desktop's comes back when it leaves.
    if (!changed || mExclusive || mCooperativeFlags == 0)
        return;
    DisplayLog("Desktop mode changed to %ux%u at %u bits: display surfaces lost", width, height,
               bits);
    mWrongMode = true;
    mHost->mRestoreAnswer = Result::WrongMode;
    LoseAllSurfaces();
}

Result DirectDraw::TestCooperativeLevel()
{
    if (!mTestCooperativeLevelAnswers.empty())
        return TakeAnswer(mTestCooperativeLevelAnswers);
    CheckFocus();
    if (CheckDesktopMode())
        return Result::WrongMode;
    if (mExclusive && mFocusLost)
        return Result::NoExclusiveMode;
    if (!mExclusive && gExclusiveOwner != nullptr)
        return Result::ExclusiveModeAlreadySet;
    return Result::Ok;
}

Result DirectDraw::EnumDisplayModes(uint32_t /*flags*/, const SurfaceDesc* filter,
                                    const std::function<bool(const SurfaceDesc&)>& callback)
{
    if (!callback)
        return Result::InvalidParams;
    for (const DisplayMode& mode : mConfig.mModes)
    {
        if (filter != nullptr)
        {
            if ((filter->mFlags & SD_WIDTH) && filter->mWidth != mode.mWidth)
                continue;
            if ((filter->mFlags & SD_HEIGHT) && filter->mHeight != mode.mHeight)
                continue;
            if ((filter->mFlags & SD_PIXELFORMAT) &&
                filter->mPixelFormat.mBitCount != DisplayFormatFor(mode.mBitCount).mBitCount)
                continue;
        }
        SurfaceDesc desc;
        desc.mFlags = SD_WIDTH | SD_HEIGHT | SD_PITCH | SD_PIXELFORMAT | SD_REFRESHRATE;
        desc.mWidth = mode.mWidth;
        desc.mHeight = mode.mHeight;
        // A 15-bit mode stores 16 bits a pixel with 5-5-5 masks, as the platform reports it.
        desc.mPixelFormat = DisplayFormatFor(mode.mBitCount);
        desc.mPitch = PitchFor(mode.mWidth, DisplayFormatFor(mode.mBitCount));
        desc.mRefreshRate = mode.mRefreshRate;
        if (!callback(desc))
            break;
    }
    return Result::Ok;
}

Result DirectDraw::SetDisplayMode(uint32_t width, uint32_t height, uint32_t bits, uint32_t refresh,
                                  uint32_t /*flags*/)
{
    if (!mExclusive)
        return Result::NoExclusiveMode;
    // An exact depth first; a 15-bit mode also answers to 16, the depth it is enumerated with.
    for (int pass = 0; pass < 2; ++pass)
    {
        for (const DisplayMode& mode : mConfig.mModes)
        {
            const uint32_t depth =
                pass == 0 ? mode.mBitCount : DisplayFormatFor(mode.mBitCount).mBitCount;
            if (mode.mWidth != width || mode.mHeight != height || depth != bits ||
                (refresh != 0 && refresh != mode.mRefreshRate))
                continue;
            if (!mModeSet || !(mMode == mode))
                LoseAllSurfaces(); // a mode change takes every surface's memory
            mMode = mode;
            mModeSet = true;
            return Result::Ok;
        }
    }
    return Result::UnsupportedMode;
}

Result DirectDraw::RestoreDisplayMode()
{
    if (mModeSet)
    {
        DisplayMode desktop{mDesktopWidth, mDesktopHeight, mConfig.mDesktopBitCount,
                            mConfig.mMonitorFrequency};
        if (!(mMode == desktop))
            LoseAllSurfaces();
        mModeSet = false;
    }
    return Result::Ok;
}

Result DirectDraw::GetDisplayMode(SurfaceDesc* desc) const
{
    if (desc == nullptr)
        return Result::InvalidParams;
    DisplayMode mode = CurrentMode();
    *desc = SurfaceDesc{};
    desc->mFlags = SD_WIDTH | SD_HEIGHT | SD_PITCH | SD_PIXELFORMAT | SD_REFRESHRATE;
    desc->mWidth = mode.mWidth;
    desc->mHeight = mode.mHeight;
    desc->mPixelFormat = DisplayFormatFor(mode.mBitCount);
    desc->mPitch = PitchFor(mode.mWidth, DisplayFormatFor(mode.mBitCount));
    desc->mRefreshRate = mode.mRefreshRate;
    return Result::Ok;
}

Result DirectDraw::GetMonitorFrequency(uint32_t* hertz) const
{
    if (hertz == nullptr)
        return Result::InvalidParams;
    *hertz = CurrentMode().mRefreshRate;
    return Result::Ok;
}

Result DirectDraw::GetCaps(DisplayCaps* driver, DisplayCaps* emulation) const
{
    if (driver == nullptr && emulation == nullptr)
        return Result::InvalidParams;
    if (driver != nullptr)
    {
        *driver = DisplayCaps{};
        driver->mSurfaceCaps = CAPS_BACKBUFFER | CAPS_COMPLEX | CAPS_FLIP | CAPS_FRONTBUFFER |
                               CAPS_OFFSCREENPLAIN | CAPS_PRIMARYSURFACE | CAPS_SYSTEMMEMORY |
                               CAPS_TEXTURE | CAPS_3DDEVICE | CAPS_VIDEOMEMORY | CAPS_ZBUFFER |
                               CAPS_MIPMAP;
        driver->mVidMemTotal = mHost->GetTotalVideoMemory();
        driver->mVidMemFree = mHost->GetFreeVideoMemory();
    }
    if (emulation != nullptr)
        *emulation = DisplayCaps{};
    return Result::Ok;
}

Result DirectDraw::GetAvailableVidMem(uint32_t /*caps*/, uint64_t* total, uint64_t* free) const
{
    if (total != nullptr)
        *total = mHost->GetTotalVideoMemory();
    if (free != nullptr)
        *free = mHost->GetFreeVideoMemory();
    return Result::Ok;
}

Result DirectDraw::GetDeviceIdentifier(DeviceIdentifier* identifier, uint32_t /*flags*/) const
{
    if (identifier == nullptr)
        return Result::InvalidParams;
    *identifier = mConfig.mIdentifier;
    return Result::Ok;
}

void DirectDraw::Track(const std::shared_ptr<Surface>& surface)
{
    mSurfaces.erase(std::remove_if(mSurfaces.begin(), mSurfaces.end(),
                                   [](const std::weak_ptr<Surface>& w) { return w.expired(); }),
                    mSurfaces.end());
    mSurfaces.push_back(surface);
}

std::vector<std::shared_ptr<Surface>> DirectDraw::LiveSurfaces()
{
    std::vector<std::shared_ptr<Surface>> live;
    for (const auto& w : mSurfaces)
    {
        if (auto s = w.lock())
            live.push_back(std::move(s));
    }
    return live;
}

std::shared_ptr<Surface> DirectDraw::MakeSurface(uint32_t width, uint32_t height,
                                                 const PixelFormat& format, uint32_t caps,
                                                 uint32_t caps2, Result* result,
                                                 SurfaceMemory memory)
{
    if (!IsSupportedFormat(format))
    {
        *result = Result::InvalidPixelFormat;
        return nullptr;
    }
    if (!IsAcceptableSurfaceSize(width, height, format))
    {
        *result = Result::InvalidParams;
        return nullptr;
    }
    uint64_t bytes = 0;
    if (!(caps & CAPS_SYSTEMMEMORY))
    {
        caps |= CAPS_VIDEOMEMORY | CAPS_LOCALVIDMEM;
        bytes = static_cast<uint64_t>(PitchFor(width, format)) * height;
        if (!mHost->ReserveVideoMemory(bytes))
        {
            *result = Result::OutOfVideoMemory;
            return nullptr;
        }
    }
    auto surface =
        std::make_shared<Surface>(width, height, format, caps, caps2, mHost, bytes, memory);
    Track(surface);
    *result = Result::Ok;
    return surface;
}

Result DirectDraw::CreatePrimary(const SurfaceDesc& desc, std::shared_ptr<Surface>* out)
{
    if (mCooperativeFlags == 0)
        return Result::Fail; // no cooperative level set yet
    if (auto existing = mScreen.GetPrimary())
    {
        DisplayLog("CreateSurface: a primary surface already exists");
        return Result::Fail;
    }
    const uint32_t backBuffers = (desc.mFlags & SD_BACKBUFFERCOUNT) ? desc.mBackBufferCount : 0;
    Result result = Result::Ok;
    std::shared_ptr<Surface> primary;
    if (!mExclusive)
    {
        if (backBuffers != 0)
            return Result::NoExclusiveMode; // flip chains need exclusive mode
        primary =
            MakeSurface(mDesktopWidth, mDesktopHeight, DisplayFormatFor(mConfig.mDesktopBitCount),
                        CAPS_PRIMARYSURFACE | CAPS_FRONTBUFFER, desc.mCaps2, &result);
        if (!primary)
            return result;
        // The window's clipper: presents and cursor blits are cut to the window on the desktop.
        SetSurfaceClipper(*primary, std::make_shared<Clipper>(weak_from_this()));
    }
    else
    {
        DisplayMode mode = CurrentMode();
        PixelFormat format = DisplayFormatFor(mode.mBitCount);
        uint32_t chain = backBuffers != 0 ? CAPS_FLIP | CAPS_COMPLEX : 0;
        primary = MakeSurface(mode.mWidth, mode.mHeight, format,
                              CAPS_PRIMARYSURFACE | CAPS_FRONTBUFFER | chain |
                                  (desc.mCaps & CAPS_3DDEVICE),
                              desc.mCaps2, &result);
        if (!primary)
            return result;
        for (uint32_t i = 0; i < backBuffers; ++i)
        {
            auto back = MakeSurface(mode.mWidth, mode.mHeight, format,
                                    CAPS_BACKBUFFER | CAPS_FLIP | CAPS_COMPLEX |
                                        (desc.mCaps & CAPS_3DDEVICE),
                                    desc.mCaps2, &result);
            if (!back)
                return result; // the primary goes with its reference
            primary->AddAttachedSurface(back);
        }
    }
    mScreen.SetPrimary(primary);
    *out = primary;
    return Result::Ok;
}

Result DirectDraw::CreateSurface(const SurfaceDesc& desc, std::shared_ptr<Surface>* out,
                                 SurfaceMemory memory)
{
    if (out == nullptr)
        return Result::InvalidParams;
    out->reset();
    if (const Result injected = TakeAnswer(mCreateSurfaceAnswers); injected != Result::Ok)
        return injected;
    CheckFocus();
    const uint32_t caps = (desc.mFlags & SD_CAPS) ? desc.mCaps : CAPS_OFFSCREENPLAIN;
    if ((caps & CAPS_SYSTEMMEMORY) && (caps & CAPS_VIDEOMEMORY))
        return Result::InvalidParams;
    if (caps & CAPS_PRIMARYSURFACE)
    {
        SurfaceDesc primaryDesc = desc;
        primaryDesc.mCaps = caps;
        return CreatePrimary(primaryDesc, out);
    }
    if ((desc.mFlags & (SD_WIDTH | SD_HEIGHT)) != (SD_WIDTH | SD_HEIGHT))
        return Result::InvalidParams;
    if (desc.mFlags & SD_BACKBUFFERCOUNT)
        return Result::InvalidParams;
    PixelFormat format;
    if (desc.mFlags & SD_PIXELFORMAT)
        format = desc.mPixelFormat;
    else if (caps & CAPS_ZBUFFER)
        return Result::InvalidPixelFormat;
    else
        format = DisplayFormatFor(CurrentMode().mBitCount);
    if (format.IsDepth() != ((caps & CAPS_ZBUFFER) != 0))
        return Result::InvalidPixelFormat;

    Result result = Result::Ok;
    auto surface =
        MakeSurface(desc.mWidth, desc.mHeight, format, caps, desc.mCaps2, &result, memory);
    if (!surface)
        return result;
    if ((caps & CAPS_MIPMAP) && (desc.mFlags & SD_MIPMAPCOUNT) && desc.mMipMapCount > 1)
    {
        Surface* previous = surface.get();
        uint32_t w = desc.mWidth;
        uint32_t h = desc.mHeight;
        for (uint32_t level = 1; level < desc.mMipMapCount && (w > 1 || h > 1); ++level)
        {
            w = std::max(1u, w / 2);
            h = std::max(1u, h / 2);
            auto next = MakeSurface(w, h, format, caps, desc.mCaps2, &result, memory);
            if (!next)
                return result;
            previous->SetNextMipLevel(next);
            previous = next.get();
        }
    }
    *out = surface;
    return Result::Ok;
}

Result DirectDraw::RestoreAllSurfaces()
{
    if (!mRestoreAllSurfacesAnswers.empty())
        return TakeAnswer(mRestoreAllSurfacesAnswers);
    CheckFocus();
    if (CheckDesktopMode())
        return Result::WrongMode;
    if (mExclusive && mFocusLost)
        return Result::NoExclusiveMode;
    if (mHost->mRestoreAnswer != Result::Ok)
        return mHost->mRestoreAnswer;
    for (auto& surface : LiveSurfaces())
        surface->Restore();
    return Result::Ok;
}

void DirectDraw::LoseAllSurfaces()
{
    for (auto& surface : LiveSurfaces())
        surface->MarkLost();
}

Result DirectDraw::CreateClipper(uint32_t /*flags*/, std::shared_ptr<Clipper>* out)
{
    if (out == nullptr)
        return Result::InvalidParams;
    *out = std::make_shared<Clipper>(weak_from_this());
    return Result::Ok;
}

Result Clipper::SetHWnd(uint32_t /*flags*/, WindowHandle window)
{
    mWindow = window;
    return Result::Ok;
}

Result Clipper::SetHWnd(uint32_t flags, sys::WindowHandle window)
{
    return SetHWnd(flags, sys::detail::SdlWindowFromHandle(window));
}

Rect Clipper::GetClipRect() const
{
    auto owner = mOwner.lock();
    if (!owner)
        return Rect{};
    Screen& screen = owner->GetScreen();
    if (mWindow == nullptr || mWindow == screen.GetWindow())
        return screen.GetWindowRect();
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(mWindow, &x, &y);
    SDL_GetWindowSize(mWindow, &w, &h);
    return Rect{x, y, x + w, y + h};
}

Result SetSurfaceClipper(Surface& surface, const std::shared_ptr<Clipper>& clipper)
{
    if (!clipper)
    {
        surface.SetClipper({});
        return Result::Ok;
    }
    surface.SetClipper([clipper] { return clipper->GetClipRect(); });
    return Result::Ok;
}

Result DirectDraw::WaitForVerticalBlank(uint32_t /*flags*/, void* /*event*/)
{
    // The wait happens in the presenter: the next presentation is synchronised to the display.
    mScreen.RequestVSync();
    return Result::Ok;
}

Result DirectDraw::FlipToGDISurface()
{
    return Result::Ok;
}

Result DirectDraw::QueryDirect3D(std::shared_ptr<Direct3D>* out)
{
    if (out == nullptr)
        return Result::InvalidParams;
    *out = std::make_shared<Direct3D>(shared_from_this());
    return Result::Ok;
}

Result Direct3D::EnumDevices(const std::function<bool(const DeviceDesc&)>& callback) const
{
    return EnumerateEntries(mOwner->GetConfig().mDevices, callback);
}

const DeviceDesc* Direct3D::FindDevice(const Guid& device) const
{
    for (const DeviceDesc& d : mOwner->GetConfig().mDevices)
    {
        if (d.mDeviceGuid == device)
            return &d;
    }
    return nullptr;
}

Result Direct3D::EnumZBufferFormats(const Guid& device,
                                    const std::function<bool(const PixelFormat&)>& callback) const
{
    if (!callback)
        return Result::InvalidParams;
    if (FindDevice(device) == nullptr)
        return Result::NotFound;
    return EnumerateEntries(mOwner->GetConfig().mZBufferFormats, callback);
}

Result Direct3D::EnumTextureFormats(const std::function<bool(const PixelFormat&)>& callback) const
{
    return EnumerateEntries(mOwner->GetConfig().mTextureFormats, callback);
}

Result DirectDrawEnumerate(const std::function<bool(const AdapterInfo&)>& callback,
                           uint32_t /*flags*/)
{
    if (!callback)
        return Result::InvalidParams;
    const DisplayConfig& config = GetDisplayConfig();
    AdapterInfo primary;
    primary.mDescription = "Primary Display Driver";
    primary.mName = "display";
    if (!callback(primary))
        return Result::Ok;
    for (uint32_t i = 0; i < config.mAdapterCount; ++i)
    {
        AdapterInfo info;
        info.mHasGuid = true;
        info.mGuid = AdapterGuid(i);
        info.mDescription = config.mIdentifier.mDescription;
        info.mName = "display" + std::to_string(i + 1);
        if (!callback(info))
            break;
    }
    return Result::Ok;
}

Result DirectDrawCreate(const Guid* adapter, std::shared_ptr<DirectDraw>* out)
{
    if (out == nullptr)
        return Result::InvalidParams;
    out->reset();
    const DisplayConfig& config = GetDisplayConfig();
    if (config.mAdapterCount == 0)
        return Result::NotFound;
    uint32_t index = 0;
    if (adapter != nullptr)
    {
        bool found = false;
        for (uint32_t i = 0; i < config.mAdapterCount && !found; ++i)
        {
            if (AdapterGuid(i) == *adapter)
            {
                index = i;
                found = true;
            }
        }
        if (!found)
            return Result::NotFound;
    }
    auto dd = std::make_shared<DirectDraw>(config, index);
    gLive = dd;
    if (gCreateHook)
        gCreateHook(*dd);
    *out = std::move(dd);
    return Result::Ok;
}

std::shared_ptr<DirectDraw> GetLiveDirectDraw()
{
    return gLive.lock();
}

void SetDirectDrawCreateHook(std::function<void(DirectDraw&)> hook)
{
    gCreateHook = std::move(hook);
}

} // namespace sys::display
