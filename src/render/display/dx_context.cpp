// The display's objects: creation with its refusals, the device filter and depth format, the
// identifier block and adapter quirks, the 16-bit retry, presentation and release.
#include "render/display/dx_context.h"

#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/log.h"
#include "render/display/platform.h"
#include "sys/process/identity.h"

#include <cstring>
#include <vector>

using namespace sys::display;

namespace
{
constexpr const char* kSource = "directx";
constexpr uint32_t kMinTextureSide = 1024;

TString HexDump(const std::vector<uint8_t>& bytes)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (uint8_t b : bytes)
    {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0xF]);
    }
    return TString(text.c_str());
}

uint32_t DepthBitFor(uint32_t bits)
{
    switch (bits)
    {
    case 8:
        return BD_8;
    case 16:
        return BD_16;
    case 24:
        return BD_24;
    default:
        return BD_32;
    }
}

// The identifier block with only the lines that carry something: the software display leaves the
// card's numbers at 0, and nine lines of zeros would read like a fault.
std::vector<TString> IdentifierLines(const DeviceIdentifier& id)
{
    std::vector<TString> lines = {TString("Device identifier:  ")};
    if (!id.mDriver.empty())
        lines.push_back(TString::Format("  Driver: '%s'", id.mDriver.c_str()));
    if (!id.mDescription.empty())
        lines.push_back(TString::Format("  Description: '%s'", id.mDescription.c_str()));
    if (id.mDriverVersionHigh != 0 || id.mDriverVersionLow != 0)
        lines.push_back(
            TString::Format("  Version: %x:%x", id.mDriverVersionHigh, id.mDriverVersionLow));
    // Each number in hexadecimal and decimal, after its label.
    auto number = [&lines](const char* label, uint32_t value)
    {
        if (value != 0)
            lines.push_back(TString::Format("  %s %x (%d)", label, value, static_cast<int>(value)));
    };
    number("Vendor ID:", id.mVendorId);
    number("Device ID:", id.mDeviceId);
    number("SubSys:  :", id.mSubSysId);
    number("Revision: ", id.mRevision);
    const uint32_t* guid = id.mDeviceIdentifier.mData;
    if (!(id.mDeviceIdentifier == Guid{}))
        lines.push_back(
            TString::Format("  GUID:      %x:%x:%x:%x", guid[0], guid[1], guid[2], guid[3]));
    return lines;
}

bool IsHosted()
{
    TApplication* application = TApplication::Get();
    return application && application->GetImpl() && application->GetImpl()->mHost.mHosted;
}
} // namespace

TMutexGuard::TMutexGuard(std::recursive_timed_mutex& mutex, bool wait) : mMutex(mutex)
{
    if (wait)
    {
        mMutex.lock();
        mHeld = true;
    }
    else
    {
        mHeld = mMutex.try_lock_for(std::chrono::milliseconds(5));
    }
}

TMutexGuard::~TMutexGuard()
{
    if (mHeld)
        mMutex.unlock();
}

TDXContext::TDXContext()
{
    uint8_t guid[16];
    sys::NewGuid(guid);
    uint32_t words[4];
    std::memcpy(words, guid, sizeof(words));
    mMouseMutexName =
        TString::Format("TDXContextMouseMutex:%x:%x:%x:%x", words[0], words[1], words[2], words[3]);
    ReadDesktopMetrics();
}

TDXContext::~TDXContext()
{
    if (mHardwareCursor != 0)
        sys::DestroyCursor(mHardwareCursor);
    if (mListener)
    {
        MouseTextureListener* listener = mListener;
        listener->Detach();
        mListener = nullptr;
        if (TApplication* application = TApplication::Get())
            application->RemoveRestoreTask(listener);
        delete listener;
    }
    Release();
    ReleaseMouseSurfaces();
}

void TDXContext::ReadDesktopMetrics()
{
    int32_t colors = -1;
    uint32_t width = 0;
    uint32_t height = 0;
    GetDesktopDeviceCaps(&colors, &width, &height);
    SetDesktopMetrics(colors, static_cast<int>(width), static_cast<int>(height));
}

void TDXContext::SetDesktopMetrics(int colors, int width, int height)
{
    mDesktopColors = colors;
    mDesktopWidth = width;
    mDesktopHeight = height;
}

bool TDXContext::WindowFits(int width, int height) const
{
    return !(mDesktopWidth < width + sys::GetSystemMetrics(sys::SM_CXFRAME) +
                                 sys::GetSystemMetrics(sys::SM_CXEDGE) ||
             mDesktopHeight < height + sys::GetSystemMetrics(sys::SM_CYCAPTION) +
                                  sys::GetSystemMetrics(sys::SM_CYFRAME) +
                                  sys::GetSystemMetrics(sys::SM_CYEDGE));
}

bool TDXContext::ViewportScaling(float& scale) const
{
    scale = 1.0f;
    TApplication* application = TApplication::Get();
    if (!application || !application->GetImpl())
        return false;
    return application->GetImpl()->GetViewportScale(scale);
}

bool TDXContext::Refuse()
{
    // Nothing half-made stays behind a refusal.
    Release();
    return false;
}

void TDXContext::Release()
{
    mDevice.reset();
    mDirect3D.reset();
    mDisplay.Release();
    mPositionKnown = false;
}

bool TDXContext::Create(sys::WindowHandle window, bool fullScreen, int width, int height, int bits,
                        uint32_t flags)
{
    if (IsHosted())
    {
        fullScreen = false;
        mOutOfVideoMemory = false;
    }
    TMutexGuard guard(mMouseMutex, true);
    Release();
    ReadDesktopMetrics();

    float scale = 1.0f;
    const bool scaling = ViewportScaling(scale);
    if (!fullScreen && !scaling && !WindowFits(width, height))
        return false;
    if (mDesktopColors != -1)
    {
        if (mDesktopColors <= 16)
        {
            mPalettizedDesktop = true;
            return false;
        }
        if (!fullScreen)
            return false;
    }
    if (!fullScreen && mOutOfVideoMemory)
        return false;

    DxResult hr = DxResult::Ok;
    int backWidth = width;
    int backHeight = height;
    if (fullScreen)
    {
        hr = mDisplay.CreateFullScreen(window, static_cast<uint32_t>(width),
                                       static_cast<uint32_t>(height), static_cast<uint32_t>(bits),
                                       flags);
    }
    else
    {
        if (scaling)
        {
            backWidth = static_cast<int>(static_cast<float>(width) * scale + 0.5f);
            backHeight = static_cast<int>(static_cast<float>(height) * scale + 0.5f);
        }
        hr = mDisplay.CreateWindowed(window, mClipperWindow, static_cast<uint32_t>(backWidth),
                                     static_cast<uint32_t>(backHeight), mSurfaceNotInVidMem, flags);
        if (hr == DxResult::OutOfVideoMemory)
            mOutOfVideoMemory = true;
    }
    if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        return Refuse();
    }

    DirectDraw& directDraw = *mDisplay.GetDirectDraw();
    directDraw.GetDisplayMode(&mDisplayMode);
    hr = directDraw.QueryDirect3D(&mDirect3D);
    if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        return Refuse();
    }

    mHardwareDevice = false;
    const uint32_t depthBit = DepthBitFor(mDisplayMode.mPixelFormat.mBitCount);
    mDirect3D->EnumDevices(
        [&](const DeviceDesc& device)
        {
            const bool hardware = (device.mDevCaps & DEVCAPS_HWRASTERIZATION) != 0;
            if (!hardware && !scaling)
                return true;
            if (!(device.mRenderBitDepth & depthBit) ||
                !(device.mTriCaps.mShadeCaps & SHADECAPS_COLORGOURAUDRGB))
                return true;
            mChosenDevice = device;
            mHardwareDevice = hardware;
            return !(hardware && (device.mDevCaps & DEVCAPS_HWTRANSFORMANDLIGHT));
        });
    if (!mHardwareDevice && !scaling)
    {
        Log("TDXContext::Create failed! Could not find a hardware renderer.");
        return Refuse();
    }

    mDepthFormat = PixelFormat{};
    mDirect3D->EnumZBufferFormats(mChosenDevice.mDeviceGuid,
                                  [&](const PixelFormat& format)
                                  {
                                      if (format.mFlags == PF_ZBUFFER && format.mBitCount >= 16)
                                      {
                                          mDepthFormat = format;
                                          return false;
                                      }
                                      return true;
                                  });

    const std::shared_ptr<Surface>& back = mDisplay.GetBackBuffer();
    std::unique_ptr<CDisplaySurface> depth;
    const uint32_t depthCaps =
        CAPS_ZBUFFER | (mHardwareDevice ? CAPS_VIDEOMEMORY : CAPS_SYSTEMMEMORY);
    hr = mDisplay.CreateSurface(&depth, back->GetWidth(), back->GetHeight(), &mDepthFormat,
                                &depthCaps);
    if (Failed(hr))
    {
        if (hr == DxResult::OutOfVideoMemory && !fullScreen)
            mOutOfVideoMemory = true;
        ReportDxError(hr, kSource, __LINE__);
        return Refuse();
    }
    hr = back->AddAttachedSurface(depth->mSurface);
    if (Failed(hr))
        ReportDxError(hr, kSource, __LINE__);
    depth.reset();

    hr = CreateDevice(*mDirect3D, mChosenDevice.mDeviceGuid, back, &mDevice);
    if (Failed(hr))
    {
        if (hr == DxResult::SurfaceNotInVidMem)
            mSurfaceNotInVidMem = true;
        else if (hr == DxResult::NoPaletteAttached)
            mDesktopColors = 32;
        else
            ReportDxError(hr, kSource, __LINE__);
        return Refuse();
    }

    ResetMouse();

    DeviceDesc deviceCaps;
    mDevice->GetCaps(&deviceCaps);
    if (deviceCaps.mMaxTextureWidth < kMinTextureSide ||
        deviceCaps.mMaxTextureHeight < kMinTextureSide)
    {
        Log("TDXContext::Create - context does not support 1024x1024 textures! Failing!");
        return Refuse();
    }

    DisplayCaps driverCaps;
    directDraw.GetCaps(&driverCaps, nullptr);

    DeviceIdentifier id;
    directDraw.GetDeviceIdentifier(&id, 0);
    const std::vector<TString> lines = IdentifierLines(id);
    // Every mode change creates the device again, and the adapter stays the same: the block goes
    // to the log the first time only, its fields as the head's continuation lines (the driver's
    // words never start a line of the log's own).
    if (!mIdentifierLogged)
    {
        LogLines(lines.front().c_str(), std::vector<TString>(lines.begin() + 1, lines.end()));
        mIdentifierLogged = true;
    }
    for (const TString& line : lines)
        mDescription += line + "\n";

    TPlatform* platform = TPlatform::Instance();
    if (id.mDescription.find("Intel") != std::string::npos)
        SetConfig("brokenindexedverts", "1");
    if (id.mDescription == "SiS Mirage 3 Graphics" && platform)
        platform->mBrokenIndexedVerts = true;

    if (IsEnabled("largevramusage") && platform && platform->mBrokenIndexedVerts &&
        IsWindowsVistaOrLater() && !IsHostPageGame() && !scaling && bits > 16)
    {
        platform->GetData()->mForced16Bit = true;
        return Create(window, fullScreen, width, height, 16, flags);
    }

    AppendCapsDumps(driverCaps);
    return true;
}

void TDXContext::AppendCapsDumps(const DisplayCaps& driverCaps)
{
    mDescription += TString::Format("DDCAPS: %s\n", HexDump(DisplayCapsRecord(driverCaps)).c_str());
    mDescription +=
        TString::Format("D3DDESC: %s\n", HexDump(DeviceDescRecord(mChosenDevice)).c_str());
}

DxResult TDXContext::Present()
{
    TMutexGuard guard(mMouseMutex, true);
    mDisplay.UpdateBounds();
    mCursorInPresented = mCursorInFrame;
    mCursorInFrame = false;
    if (mCursorWidth > 0 && mCursorHeight > 0)
    {
        if (mImageLost)
            RestoreMouseImage();
        if (mImageLost)
            return DxResult::Ok;
        if (mSurfacesMissing && !CreateMouseSurfaces())
            return DxResult::Ok;
    }
    // The cursor goes onto the frame, unless the frame has the game's own; the drawn state of the
    // previous frame is the front's.
    mCursorDrawn = false;
    mRestoreToBackBuffer = true;
    DrawMouse(-1, -1, true);
    if (mDisplay.IsWindowed() && mWaitForVerticalBlank && mDisplay.GetDirectDraw())
        mDisplay.GetDirectDraw()->WaitForVerticalBlank(WAITVB_BLOCKBEGIN, nullptr);
    DxResult hr = mDisplay.Present();
    if (mDisplay.IsWindowed())
    {
        // The front buffer keeps the cursor; the back buffer is redrawn without it.
        mRestoreToBackBuffer = true;
        if (mCursorDrawn)
        {
            const Rect clip = RootClip();
            PutBackground(&clip);
            mCursorDrawn = true;
        }
    }
    else
    {
        mRestoreToBackBuffer = false;
    }
    return hr;
}

void TDXContext::Clear(uint32_t flags, uint32_t count, const Rect* rects)
{
    if (mDevice)
        mDevice->Clear(count, rects, flags, 0, 1.0f, 0);
}

bool TDXContext::RestoreFrontToBack()
{
    if (mDisplay.IsWindowed())
        return true;
    TMutexGuard guard(mMouseMutex, true);
    const auto& front = mDisplay.GetFrontBuffer();
    const auto& back = mDisplay.GetBackBuffer();
    if (!front || !back)
        return false;
    DxResult hr = back->BltFast(0, 0, front.get(), nullptr, BLTFAST_WAIT);
    if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        return false;
    }
    // The copy holds the drawn cursor: lift it there, and it stays drawn on the front.
    if (mCursorDrawn)
    {
        const bool toBack = mRestoreToBackBuffer;
        mRestoreToBackBuffer = true;
        PutBackground(nullptr);
        mRestoreToBackBuffer = toBack;
        mCursorDrawn = true;
    }
    return true;
}

void TDXContext::ResetMouse()
{
    mMouseX = mMouseY = -1;
    mPreviousMouseX = mPreviousMouseY = -1;
    mPositionKnown = false;
    mCursorDrawn = false;
    mSaveUnderIndex = 0;
    UpdateMouseBounds();
}

void TDXContext::UpdateMouseBounds()
{
    if (!mDisplay.GetDirectDraw())
        return;
    mDisplay.UpdateBounds();
    const sys::ScreenRect& bounds = mDisplay.GetWindowRect();
    if (!(bounds == mMouseBounds))
    {
        mMouseBounds = bounds;
        mCursorDrawn = false;
    }
}

bool TDXContext::IsWindowsVistaOrLater()
{
    static const bool answer = sys::GetOsVersion().major >= 6;
    return answer;
}

bool TDXContext::IsWindowsXPOrLater()
{
    static const bool answer = sys::GetOsVersion().major > 5 ||
                               (sys::GetOsVersion().major == 5 && sys::GetOsVersion().minor >= 1);
    return answer;
}
