// The screen: the full-screen flip chain walking the adapters, the windowed primary with its
// off-screen back buffer and clipper, presentation and the window's bounds.
#include "render/display/display.h"

#include "platform/config/config.h"
#include "platform/log.h"

using namespace sys::display;

namespace
{
constexpr const char* kSource = "ddutil";
// Less free video memory than this makes a deeper request fall back to 16 bits.
constexpr uint64_t kSmallVideoMemory = 0x1000000;
// The window style a windowed screen keeps, and what it gains (caption, sizing frame, minimise).
constexpr uint32_t kWindowedStyleKeep = 0x7F39FFFF;
constexpr uint32_t kWindowedStyleAdd = 0x00C60000;
constexpr uint32_t kSetDesc = SD_CAPS;

uint32_t CooperativeFlags(uint32_t base)
{
    return IsEnabled("fpuprecision") ? base | SCL_FPUPRESERVE : base;
}

// The adapter an attempt number picks: each enumerated adapter counts the attempt down, and the
// first one with a GUID after it went below zero is taken.
bool FindAdapter(uint32_t attempt, Guid& guid)
{
    int counter = static_cast<int>(attempt);
    bool found = false;
    DirectDrawEnumerate(
        [&](const AdapterInfo& adapter)
        {
            --counter;
            if (counter < 0 && adapter.mHasGuid)
            {
                guid = adapter.mGuid;
                found = true;
                return false;
            }
            return true;
        },
        ENUM_ATTACHEDSECONDARYDEVICES | ENUM_DETACHEDSECONDARYDEVICES);
    return found;
}
} // namespace

DxResult CDisplaySurface::Create(DirectDraw& directDraw, const SurfaceDesc& desc)
{
    DxResult hr = directDraw.CreateSurface(desc, &mSurface);
    if (Failed(hr))
        return hr;
    return mSurface->GetSurfaceDesc(&mDesc);
}

void CDisplaySurface::Destroy()
{
    mSurface.reset();
}

CDisplay::~CDisplay()
{
    Release();
}

void CDisplay::Release()
{
    mBackBuffer.reset();
    mFrontBuffer.reset();
    if (mDirectDraw)
    {
        mDirectDraw->SetCooperativeLevel(mWindow, SCL_NORMAL);
        mDirectDraw.reset();
    }
}

DxResult CDisplay::Fail(DxResult hr, int line)
{
    ReportDxError(hr, kSource, line);
    return hr;
}

DxResult CDisplay::RetryFullScreen(DxResult hr, int line, sys::WindowHandle window, uint32_t width,
                                   uint32_t height, uint32_t bits, uint32_t flags)
{
    ReportDxError(hr, kSource, line);
    const uint32_t attempt = (flags >> kDisplayAttemptShift) + 1;
    return CreateFullScreen(window, width, height, bits,
                            (flags & 0xFFFF) | (attempt << kDisplayAttemptShift));
}

void CDisplay::FillBlack(Surface& surface)
{
    BltFx fx;
    fx.mFillColor = 0;
    surface.Blt(nullptr, nullptr, nullptr, BLT_COLORFILL | BLT_WAIT, &fx);
}

DxResult CDisplay::CreateFullScreen(sys::WindowHandle window, uint32_t width, uint32_t height,
                                    uint32_t bits, uint32_t flags)
{
    Release();
    const uint32_t attempt = flags >> kDisplayAttemptShift;
    DxResult hr = DxResult::Ok;
    if (attempt == 0)
    {
        hr = DirectDrawCreate(nullptr, &mDirectDraw);
    }
    else
    {
        static Guid sAdapter;
        if (!FindAdapter(attempt, sAdapter))
        {
            Log("Failed to create a DirectDraw device after trying all GUIDs");
            if (!mCreatedOnce)
                sys::MessageBox(0,
                                "Sorry, but this product isn't compatible with your display. Try "
                                "using a different display (for instance, the main display in "
                                "your laptop), if you have the option.",
                                "Error", sys::MB_OK);
            return DxResult::Fail;
        }
        hr = DirectDrawCreate(&sAdapter, &mDirectDraw);
    }
    if (Failed(hr))
        return RetryFullScreen(hr, __LINE__, window, width, height, bits, flags);
    hr = mDirectDraw->SetCooperativeLevel(window, CooperativeFlags(SCL_FULLSCREEN | SCL_EXCLUSIVE));
    if (Failed(hr))
        return RetryFullScreen(hr, __LINE__, window, width, height, bits, flags);

    DisplayCaps caps;
    if (Succeeded(mDirectDraw->GetCaps(&caps, nullptr)) && caps.mVidMemFree < kSmallVideoMemory &&
        bits > 16)
        bits = 16;

    SurfaceDesc filter;
    filter.mFlags = SD_WIDTH | SD_HEIGHT;
    filter.mWidth = width;
    filter.mHeight = height;
    uint32_t depth = 0;
    mDirectDraw->EnumDisplayModes(0, &filter,
                                  [&](const SurfaceDesc& mode)
                                  {
                                      const uint32_t modeBits = mode.mPixelFormat.mBitCount;
                                      if (modeBits < 15 || mode.mWidth != width ||
                                          mode.mHeight != height)
                                          return true;
                                      if (depth == 0)
                                          depth = modeBits;
                                      if (modeBits == bits)
                                          depth = bits;
                                      else if (modeBits == 16 && depth != bits)
                                          depth = 16;
                                      return true;
                                  });
    if (depth == 0)
        depth = bits;
    hr = mDirectDraw->SetDisplayMode(width, height, depth, 0, 0);
    if (Failed(hr))
    {
        Log("Failed to create screen at %d bpp.", static_cast<int>(depth));
        return RetryFullScreen(hr, __LINE__, window, width, height, bits, flags);
    }
    Log("Created screen at %d bpp.", static_cast<int>(depth));

    SurfaceDesc primary;
    primary.mFlags = SD_CAPS | SD_BACKBUFFERCOUNT;
    primary.mCaps = CAPS_PRIMARYSURFACE | CAPS_FLIP | CAPS_COMPLEX | CAPS_3DDEVICE;
    primary.mCaps2 = (flags & kDisplayAlphaChannel) ? CAPS2_ENABLEALPHACHANNEL : 0;
    primary.mBackBufferCount = 1;
    hr = mDirectDraw->CreateSurface(primary, &mFrontBuffer);
    if (Failed(hr))
    {
        Log("FAILED to create front buffer with DDSCAPS2_ENABLEALPHACHANNEL");
        primary.mCaps2 = 0;
        hr = mDirectDraw->CreateSurface(primary, &mFrontBuffer);
        if (Failed(hr))
            return RetryFullScreen(hr, __LINE__, window, width, height, bits, flags);
    }
    hr = mFrontBuffer->GetAttachedSurface(CAPS_BACKBUFFER, &mBackBuffer);
    if (Failed(hr))
        return RetryFullScreen(hr, __LINE__, window, width, height, bits, flags);

    mWindow = window;
    mWindowed = false;
    UpdateBounds();
    FillBlack(*mFrontBuffer);
    FillBlack(*mBackBuffer);
    mCreatedOnce = true;
    return DxResult::Ok;
}

DxResult CDisplay::CreateWindowed(sys::WindowHandle window, sys::WindowHandle clipperWindow,
                                  uint32_t width, uint32_t height, bool backBufferInVideoMemory,
                                  uint32_t flags)
{
    Release();
    DxResult hr = DirectDrawCreate(nullptr, &mDirectDraw);
    if (Failed(hr))
        return hr;
    if (Failed(mDirectDraw->SetCooperativeLevel(window, CooperativeFlags(SCL_NORMAL))))
        return DxResult::Fail;

    if (!(flags & kDisplayKeepWindow))
    {
        sys::SetWindowStyles(window,
                             (sys::GetWindowStyle(window) & kWindowedStyleKeep) | kWindowedStyleAdd,
                             sys::GetWindowExStyle(window) & ~sys::WS_EX_TOPMOST);
        // Window sizes here are client sizes: no frame to add.
        int x = 0;
        int y = 0;
        sys::GetWindowPosition(window, x, y);
        sys::MoveWindow(window, x, y, static_cast<int>(width), static_cast<int>(height));
        sys::ScreenRect monitor;
        sys::ScreenRect workArea;
        sys::GetMonitorRects(0, monitor, workArea);
        if (x < workArea.left || y < workArea.top)
            sys::SetWindowPosition(window, x < workArea.left ? workArea.left : x,
                                   y < workArea.top ? workArea.top : y);
    }

    SurfaceDesc primary;
    primary.mFlags = kSetDesc;
    primary.mCaps = CAPS_PRIMARYSURFACE;
    hr = mDirectDraw->CreateSurface(primary, &mFrontBuffer);
    if (Failed(hr))
        return Fail(hr, __LINE__);

    SurfaceDesc back;
    back.mFlags = SD_CAPS | SD_HEIGHT | SD_WIDTH;
    back.mWidth = width;
    back.mHeight = height;
    back.mCaps =
        CAPS_OFFSCREENPLAIN | CAPS_3DDEVICE | (backBufferInVideoMemory ? CAPS_VIDEOMEMORY : 0u);
    back.mCaps2 = (flags & kDisplayAlphaChannel) ? CAPS2_ENABLEALPHACHANNEL : 0;
    hr = mDirectDraw->CreateSurface(back, &mBackBuffer);
    if (Failed(hr))
        return Fail(hr, __LINE__);

    std::shared_ptr<Clipper> clipper;
    hr = mDirectDraw->CreateClipper(0, &clipper);
    if (Failed(hr))
        return Fail(hr, __LINE__);
    hr = clipper->SetHWnd(0, clipperWindow != 0 ? clipperWindow : window);
    if (Failed(hr))
        return Fail(hr, __LINE__);
    hr = SetSurfaceClipper(*mFrontBuffer, clipper);
    if (Failed(hr))
        return Fail(hr, __LINE__);

    mWindow = window;
    mWindowed = true;
    UpdateBounds();
    FillBlack(*mBackBuffer);
    mCreatedOnce = true;
    return DxResult::Ok;
}

DxResult CDisplay::CreateSurface(std::unique_ptr<CDisplaySurface>* out, uint32_t width,
                                 uint32_t height, const PixelFormat* format, const uint32_t* caps)
{
    if (!mDirectDraw)
        return DxResult::Pointer;
    if (out == nullptr)
        return DxResult::InvalidParams;
    SurfaceDesc desc;
    desc.mFlags = SD_CAPS | SD_HEIGHT | SD_WIDTH | (format ? SD_PIXELFORMAT : 0u);
    desc.mWidth = width;
    desc.mHeight = height;
    if (format)
        desc.mPixelFormat = *format;
    desc.mCaps = caps ? *caps : CAPS_OFFSCREENPLAIN;
    auto surface = std::make_unique<CDisplaySurface>();
    DxResult hr = surface->Create(*mDirectDraw, desc);
    if (Failed(hr))
        return hr;
    *out = std::move(surface);
    return DxResult::Ok;
}

DxResult CDisplay::Present()
{
    if (!mFrontBuffer || !mBackBuffer)
        return DxResult::Pointer;
    DxResult hr = DxResult::WasStillDrawing;
    while (hr == DxResult::WasStillDrawing)
    {
        if (mWindowed)
        {
            const Rect dest{mWindowRect.left, mWindowRect.top, mWindowRect.right,
                            mWindowRect.bottom};
            BltFx fx;
            fx.mFx = BLTFX_NOTEARING;
            hr = mFrontBuffer->Blt(&dest, mBackBuffer.get(), nullptr, BLT_WAIT | BLT_DDFX, &fx);
        }
        else
        {
            hr = mFrontBuffer->Flip(nullptr, 0);
        }
    }
    if (hr == DxResult::SurfaceLost)
    {
        mFrontBuffer->Restore();
        mBackBuffer->Restore();
    }
    return hr;
}

void CDisplay::UpdateBounds()
{
    if (mWindowed)
    {
        // Without a window (headless use) the back buffer sits at the desktop's corner.
        if (!sys::GetWindowScreenRect(mWindow, mWindowRect) && mBackBuffer)
            mWindowRect = sys::ScreenRect{0, 0, static_cast<int>(mBackBuffer->GetWidth()),
                                          static_cast<int>(mBackBuffer->GetHeight())};
        return;
    }
    // After a mode change the screen's metrics are the mode's.
    SurfaceDesc mode;
    if (mDirectDraw && Succeeded(mDirectDraw->GetDisplayMode(&mode)))
        mWindowRect =
            sys::ScreenRect{0, 0, static_cast<int>(mode.mWidth), static_cast<int>(mode.mHeight)};
    else
        mWindowRect = sys::ScreenRect{0, 0, sys::GetSystemMetrics(sys::SM_CXSCREEN),
                                      sys::GetSystemMetrics(sys::SM_CYSCREEN)};
}

void CDisplay::GetWindowPos(int& left, int& top)
{
    UpdateBounds();
    left = mWindowRect.left;
    top = mWindowRect.top;
}

DxResult CDisplay::RestoreDisplayMode()
{
    return mDirectDraw ? mDirectDraw->RestoreDisplayMode() : DxResult::Pointer;
}
