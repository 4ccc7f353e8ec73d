// SetDisplay: the forcing reasons, creation with the antialias retry, the fall-backs between
// full screen and a window, and the fixed starting state of a new device.
#include "render/display/platform.h"

#include "platform/shell/application.h"
#include "platform/files/asset_manager.h"
#include "platform/config/config.h"
#include "platform/seams/host_services_seam.h"
#include "platform/log.h"
#include "platform/seams/window_manager_seam.h"
#include "render/textures/texture_data.h"
#include "sys/clock.h"
#include "sys/process/process.h"

using namespace sys::display;

namespace
{
constexpr uint32_t kCreateHosted = 0x3; // the window (bit 0) kept as it is (bit 1)
constexpr uint32_t kCreateWindow = 0x1;
constexpr uint32_t kCreateAlpha = 0x4;
constexpr uint32_t kReentrySleepMs = 50;
constexpr uint32_t kMinimisedSleepMs = 100;
constexpr uint32_t kBrokenFullScreenSleepMs = 150;
constexpr uint32_t kHostedHoldOffMs = 1000;
constexpr float kDefaultFov = 0.785398f;
constexpr uint32_t kExitBox = sys::MB_OK | sys::MB_ICONEXCLAMATION;

const char* const kOutOfMemoryText =
    "You cannot run this application at your current screen resolution or bit depth (out of "
    "memory). Change your display settings and run again. Closing other applications might also "
    "help.";

[[noreturn]] void ExitWithBox(const char* text)
{
    sys::MessageBox(0, text, "Error", kExitBox);
    sys::ExitProcess(-1);
}

void Notice(const char* text)
{
    sys::MessageBox(0, text, "Error", sys::MB_OK);
}

// Clears the re-entry byte on every way out.
struct TReentryGuard
{
    bool& mFlag;
    ~TReentryGuard() { mFlag = false; }
};

// Whether the cursor texture operation ran with the empty texture once in this process.
bool gDefaultCursorSet = false;
} // namespace

bool TPlatform::IsRestoreHeldOff() const
{
    const TApplication* application = TApplication::Get();
    if (!application || !application->GetImpl() ||
        application->GetImpl()->mHost.mExternalWindowParent == 0)
        return false;
    return mData->mDxBroken && GetPlatformTime() - mData->mBrokenTime < kHostedHoldOffMs;
}

void TPlatform::SetDisplay(int width, int height, bool fullScreen, bool force, bool quiet,
                           bool hosted)
{
    TPlatformData& d = *mData;
    TDXContext& context = *d.mContext;
    d.mReady = false;
    TMutexGuard mutexGuard(context.GetMouseMutex(), true);
    if (d.mInSetDisplay)
    {
        sys::SleepMs(kReentrySleepMs);
        return;
    }
    d.mInSetDisplay = true;
    TReentryGuard reentry{d.mInSetDisplay};

    if (GetHostServices().IsZylomHost())
    {
        fullScreen = false;
        quiet = true;
    }
    TApplication* application = TApplication::Get();
    if (!application || !application->GetImpl())
        return;
    TApplicationImpl& impl = *application->GetImpl();
    const sys::WindowHandle mainWindow = impl.mMainWindow;
    if (sys::IsWindowMinimized(mainWindow))
    {
        sys::SleepMs(kMinimisedSleepMs);
        return;
    }
    if (d.mLowMemoryVideo)
    {
        if (IsHostPageGame())
            ExitWithBox(kOutOfMemoryText);
        Log("SetDisplay Forcing Fullscreen (MEMORY)");
        fullScreen = true;
    }
    const bool active = IsApplicationActiveForDisplay();
    if (!active && !force)
        return;

    const sys::WindowHandle hostWindow = impl.mHost.mExternalWindowParent;
    if (impl.mHost.mHosted && !impl.mHost.mTestHost)
    {
        if (hostWindow == 0)
        {
            context.SetClipperWindow(0);
        }
        else
        {
            if (!sys::IsWindow(hostWindow))
            {
                Log("Error: mExternalWindowParent is lost, exiting!");
                sys::ExitProcess(-1);
            }
            if (fullScreen)
            {
                sys::SetParent(mainWindow, 0);
            }
            else
            {
                sys::SetParent(mainWindow, hostWindow);
                hosted = true;
                sys::SetWindowStyles(mainWindow, sys::WS_CHILD | sys::WS_VISIBLE, 0);
                int hostWidth = 0;
                int hostHeight = 0;
                sys::GetClientSize(hostWindow, hostWidth, hostHeight);
                sys::MoveWindow(mainWindow, 0, 0, hostWidth, hostHeight);
            }
            context.SetClipperWindow(mainWindow);
            sys::SetWindowStyles(mainWindow,
                                 fullScreen ? sys::WS_POPUP : sys::WS_CHILD | sys::WS_VISIBLE,
                                 fullScreen ? sys::WS_EX_TOPMOST : 0);
        }
    }
    if (d.mFatalReported)
        sys::ExitProcess(-1);
    // Hold off for a second after DirectX was marked broken (the mark taken as a time in the
    // past, not the other way round).
    if (IsRestoreHeldOff())
    {
        // The size asked for is kept for the retry, which asks again for the size it finds here:
        // a hosted start (platform time near 0, the device checked before it exists) would
        // otherwise lose its first request and retry at 0 x 0 for ever.
        if (width > 0 && height > 0)
            d.mScreenRect = TRect(0, 0, width, height);
        // The pump retries at once and polls nothing meanwhile: on the test clock's fixed step,
        // which moves only at empty polls, the second would never pass without this.
        sys::PassFixedStep();
        return;
    }
    d.mWorkingCount = 0;

    if (!fullScreen && context.GetDesktopColors() != -1)
    {
        if (hostWindow != 0)
            ExitWithBox("You cannot run this application when your video mode is 8 bits or less. "
                        "Change your display settings and run again.");
        Log("SetDisplay Forcing Fullscreen (PALLETTED)");
        fullScreen = true;
    }
    if (d.mFullScreen == fullScreen && d.mScreenRect.Width() == width &&
        d.mScreenRect.Height() == height && !force)
    {
        d.mReady = true;
        return;
    }
    if (!IsHostPageGame() && !fullScreen)
    {
        float scale = 1.0f;
        if (!impl.GetViewportScale(scale))
            scale = 1.0f;
        if (!context.WindowFits(static_cast<int>(static_cast<float>(width) * scale),
                                static_cast<int>(static_cast<float>(height) * scale)))
        {
            if (hostWindow != 0)
                ExitWithBox("You cannot run this application at your current screen resolution. "
                            "Change your display settings and run again.");
            Log("SetDisplay Forcing Fullscreen (SMALL)");
            fullScreen = true;
        }
    }
    if (!fullScreen && context.IsOutOfVideoMemory())
    {
        if (hostWindow != 0)
            ExitWithBox(kOutOfMemoryText);
        Log("SetDisplay Forcing Fullscreen (MEMORY)");
        fullScreen = true;
    }

    if (TAssetManager* assets = GetAssetManager())
        assets->ReleaseAll();
    impl.mPump.mDisplayModeSet = true;

    if (hostWindow == 0)
        sys::SetWindowStyles(mainWindow,
                             fullScreen ? sys::WS_POPUP
                                        : sys::WS_CAPTION | sys::WS_SYSMENU | sys::WS_THICKFRAME |
                                              sys::WS_MINIMIZEBOX,
                             sys::WS_EX_APPWINDOW | (fullScreen ? sys::WS_EX_TOPMOST : 0));

    d.mFullScreen = fullScreen;
    d.mViewport = d.mScreenRect = d.mTargetViewport = d.mClipRect = TRect(0, 0, width, height);
    d.mDirectDraw.reset();
    d.mDirect3D.reset();
    d.mDevice = nullptr;
    d.mDxBroken = false;
    SetConfig("dxbroken", "0");
    context.Release();

    if (d.mReconfigureNotice)
    {
        sys::MessageBox(mainWindow,
                        "Your video card doesn't have enough memory in the current mode. Changing "
                        "to another mode. This setting will be saved so you won't see this box "
                        "again. This will take less than a minute. Press OK to continue.",
                        "Reconfiguring", sys::MB_OK | sys::MB_ICONEXCLAMATION);
        d.mReconfigureNotice = false;
    }

    const int bits = d.mLowMemoryVideo || d.mForced16Bit ? 16 : 32;
    uint32_t flags =
        (hosted ? kCreateHosted : kCreateWindow) | (d.mHintAntialias ? kCreateAlpha : 0);
    bool created = context.Create(mainWindow, fullScreen, width, height, bits, flags);
    while (!created && (flags & kCreateAlpha))
    {
        d.mAntialias = false;
        d.mHintAntialias = false;
        flags &= ~kCreateAlpha;
        created = context.Create(mainWindow, fullScreen, width, height, bits, flags);
    }
    if (!created)
    {
        d.mInSetDisplay = false;
        OnCreateFailed(width, height, fullScreen, force, quiet, hosted, active);
        return;
    }

    d.mFallbackTried = false;
    if (!hosted)
    {
        sys::ScreenRect rect;
        if (!fullScreen && sys::GetWindowScreenRect(mainWindow, rect) && rect.left == 0 &&
            rect.top == 0)
        {
            sys::ScreenRect monitor;
            sys::ScreenRect workArea;
            sys::GetMonitorRects(mainWindow, monitor, workArea);
            sys::SetWindowPosition(
                mainWindow,
                monitor.left + (monitor.right - monitor.left - (rect.right - rect.left)) / 2,
                monitor.top + (monitor.bottom - monitor.top - (rect.bottom - rect.top)) / 2);
        }
        sys::ShowWindow(mainWindow, sys::SW_SHOWNORMAL);
        if (fullScreen)
            sys::SetActiveWindow(mainWindow);
    }
    FinishDisplay();
}

void TPlatform::FinishDisplay()
{
    TPlatformData& d = *mData;
    TDXContext& context = *d.mContext;
    d.mDirectDraw = context.GetDirectDraw();
    d.mDirect3D = context.GetDirect3D();
    d.mDevice = context.GetDevice();

    DeviceDesc caps;
    d.mDevice->GetCaps(&caps);
    d.mSeparateTextureMemories = (caps.mDevCaps & DEVCAPS_SEPARATETEXTUREMEMORIES) != 0;
    d.mNoSpecularGouraud = !(caps.mTriCaps.mShadeCaps & SHADECAPS_SPECULARGOURAUDRGB);
    d.mSquareTexturesOnly = (caps.mTriCaps.mTextureCaps & TEXTURECAPS_SQUAREONLY) != 0 ||
                            caps.mMaxTextureAspectRatio < 64;

    d.mDevice->GetRenderTarget(&d.mBackBuffer);
    d.mRenderTarget = d.mBackBuffer;
    ApplyFixedRenderState();
    TDxTextureData::ForgetAlphaFormat();

    TApplication* application = TApplication::Get();
    TWindowManagerSeam* manager = application ? application->GetWindowManager() : nullptr;
    TAssetManager* assets = GetAssetManager();
    if (assets && assets->GetAssetCount() > 0 && manager && !manager->IsDrawingSuspended())
        context.Present();

    if (!CheckDevice())
        return;
    d.mDevice->SetTransform(TS_WORLD, Matrix::Identity());
    d.mDevice->SetTransform(TS_VIEW, Matrix::Identity());
    SetProjection(0.1f, 1000.0f, kDefaultFov, 0.0f);
    d.mDevice->SetRenderState(RS_AMBIENT, 0xFFFFFFFF);
    Material material;
    material.diffuse = ColorValue{1, 1, 1, 1};
    material.ambient = ColorValue{0.5f, 0.5f, 0.5f, 1};
    material.specular = ColorValue{1, 1, 1, 1};
    material.emissive = ColorValue{0, 0, 0, 1};
    material.power = 1.0f;
    d.mDevice->SetMaterial(material);
    if ((context.GetCursorWidth() < 1 || context.GetCursorHeight() < 1) && !gDefaultCursorSet &&
        application)
    {
        gDefaultCursorSet = true;
        application->SetCursorTexture(nullptr, 2, 2, 0);
    }
    RestoreAssets();
    if (manager)
        manager->SetDirty();
    if (d.mFullScreen)
        d.mWasFullScreen = true;
    uint32_t frequency = 0;
    d.mDirectDraw->GetMonitorFrequency(&frequency);
    SetConfig("monitorfrequency", TString::Format("%d", static_cast<int>(frequency)));
    SurfaceDesc mode;
    d.mDirectDraw->GetDisplayMode(&mode);
    d.mBitDepth = static_cast<int32_t>(mode.mPixelFormat.mBitCount);
    d.mReady = true;
}

void TPlatform::ApplyFixedRenderState()
{
    TPlatformData& d = *mData;
    Device& device = *d.mDevice;
    auto state = [&](RenderState which, uint32_t value)
    {
        if (DxResult hr = device.SetRenderState(which, value); Failed(hr))
            ReportDxError(hr, "platform", static_cast<int>(which));
    };
    auto stage = [&](TextureStageState which, uint32_t value)
    {
        if (DxResult hr = device.SetTextureStageState(0, which, value); Failed(hr))
            ReportDxError(hr, "platform", static_cast<int>(which));
    };
    state(RS_AMBIENT, 0xFFFFFFFF);
    state(RS_ZENABLE, 1);
    state(RS_ZWRITEENABLE, 1);
    d.mZEnable = d.mZWrite = true;
    state(RS_COLORVERTEX, 1);
    state(RS_LIGHTING, 1);
    state(RS_NORMALIZENORMALS, 1);
    state(RS_DIFFUSEMATERIALSOURCE, MCS_MATERIAL);
    state(RS_AMBIENTMATERIALSOURCE, MCS_MATERIAL);
    state(RS_SPECULARMATERIALSOURCE, MCS_MATERIAL);
    state(RS_EMISSIVEMATERIALSOURCE, MCS_MATERIAL);
    state(RS_SRCBLEND, BLEND_SRCALPHA);
    state(RS_DESTBLEND, BLEND_INVSRCALPHA);
    state(RS_ALPHABLENDENABLE, 1);
    state(RS_WRAP0, 0);
    stage(TSS_MAGFILTER, TFILTER_LINEAR);
    stage(TSS_MINFILTER, TFILTER_LINEAR);
    stage(TSS_MIPFILTER, TFP_LINEAR);
    stage(TSS_COLORARG1, TA_TEXTURE);
    stage(TSS_COLORARG2, TA_CURRENT);
    stage(TSS_COLOROP, TOP_MODULATE);
    stage(TSS_ALPHAARG1, TA_TEXTURE);
    stage(TSS_ALPHAARG2, TA_CURRENT);
    stage(TSS_ALPHAOP, TOP_MODULATE);
    state(RS_ALPHATESTENABLE, 1);
    state(RS_ALPHAREF, 1);
    state(RS_ALPHAFUNC, CMP_GREATEREQUAL);
    state(RS_SHADEMODE, SHADE_GOURAUD);
}

void TPlatform::OnCreateFailed(int width, int height, bool fullScreen, bool force, bool quiet,
                               bool hosted, bool active)
{
    TPlatformData& d = *mData;
    TDXContext& context = *d.mContext;
    TApplication* application = TApplication::Get();
    TApplicationImpl& impl = *application->GetImpl();
    const sys::WindowHandle mainWindow = impl.mMainWindow;

    if (context.IsPalettizedDesktop())
    {
        if (!quiet)
            Notice("DirectX requires that you have your screen set to 256 color mode or higher "
                   "for any DirectX application to run. Please go to your control panel and "
                   "select 256 color mode or install new video drivers to run this game. "
                   "Exiting.");
        d.mFatalReported = true;
        sys::ExitProcess(-1);
    }
    if (impl.mHost.mExternalWindowParent != 0)
    {
        MarkDirectXBroken();
        return;
    }
    if (d.mWasFullScreen && fullScreen)
    {
        MarkDirectXBroken();
        sys::SleepMs(kBrokenFullScreenSleepMs);
        return;
    }
    const bool foreground = sys::IsForegroundWindow(mainWindow);
    if (!d.mFallbackTried && (!active || !foreground))
    {
        Log("SetDisplay marking DirectX Broken: %s, %s", active ? "ACTIVE" : "INACTIVE",
            foreground ? "FOREGROUND" : "BACKGROUND");
        MarkDirectXBroken();
        return;
    }
    if (!fullScreen)
    {
        const char* reason = nullptr;
        if (context.GetDesktopColors() != -1)
            reason = "Cannot run in 256 color mode or lower in a window. Switching to full screen.";
        else if (!context.WindowFits(width, height))
            reason = "Cannot run in a window when your desktop is set to 800x600 or lower "
                     "resolution. Switching to full screen.";
        else if (context.IsOutOfVideoMemory())
            reason = "Cannot run in a window: Insufficient video memory. Switching to full screen.";
        if (reason)
        {
            if (!quiet)
                Notice(reason);
            d.mFallbackTried = true;
            SetDisplay(width, height, true, force, false, false);
            return;
        }
    }
    if (d.mFallbackTried)
    {
        Log("ERROR FALLBACK FAILED");
        sys::MessageBox(mainWindow,
                        "Failed to initialize window. Please try running the game again. If that "
                        "doesn't help, try changing the screen resolution and color depth. If "
                        "that fails, then your video card does not support this game.",
                        "Error", sys::MB_OK | sys::MB_ICONSTOP);
        application->PostQuit(0);
        d.mFatalReported = true;
        return;
    }
    d.mFallbackTried = true;
    (void)hosted;
    if (fullScreen)
    {
        SetDisplay(width, height, false, force, false, false);
        if (!quiet)
            Notice("Failed to initialize full screen mode. Your video card is not supported. "
                   "Trying to run in a window.");
    }
    else
    {
        if (!quiet)
            Notice("Failed to initialize windowed mode. Trying full screen.");
        SetDisplay(width, height, true, false, false, false);
    }
}
