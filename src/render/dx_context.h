// TDXContext: the display's objects behind the display handler: the screen, the rendering
// interface and device with its depth buffer, the capability checks that decide whether a display
// can be used, the device description, the cursor's bookkeeping and the mouse mutex.
#pragma once

#include "platform/tstring.h"
#include "render/display.h"
#include "sys/display/device.h"

#include <chrono>
#include <memory>
#include <mutex>

class TDXContext
{
public:
    TDXContext();
    virtual ~TDXContext();
    TDXContext(const TDXContext&) = delete;
    TDXContext& operator=(const TDXContext&) = delete;

    bool Create(sys::WindowHandle window, bool fullScreen, int width, int height, int bits,
                uint32_t flags);
    void Release();
    // Presents the back buffer (no cursor is composed onto it yet).
    DxResult Present();
    void Clear(uint32_t flags);
    bool RestoreFrontToBack();

    // Desktop colours (-1 above 8 bits), width and height, as the screen's device context reports.
    void ReadDesktopMetrics();
    void SetDesktopMetrics(int colors, int width, int height);
    int GetDesktopColors() const { return mDesktopColors; }
    int GetDesktopWidth() const { return mDesktopWidth; }
    int GetDesktopHeight() const { return mDesktopHeight; }
    // The window-fits test: one frame and one edge per axis, the caption once.
    bool WindowFits(int width, int height) const;

    const TString& GetDescription() const { return mDescription; }
    void SetClipperWindow(sys::WindowHandle window) { mClipperWindow = window; }
    CDisplay& GetDisplay() { return mDisplay; }
    const std::shared_ptr<sys::display::DirectDraw>& GetDirectDraw() const
    {
        return mDisplay.GetDirectDraw();
    }
    const std::shared_ptr<sys::display::Direct3D>& GetDirect3D() const { return mDirect3D; }
    sys::display::Device* GetDevice() const { return mDevice.get(); }
    const std::shared_ptr<sys::display::Surface>& GetFrontBuffer() const
    {
        return mDisplay.GetFrontBuffer();
    }
    const std::shared_ptr<sys::display::Surface>& GetBackBuffer() const
    {
        return mDisplay.GetBackBuffer();
    }
    const sys::display::SurfaceDesc& GetDisplayModeDesc() const { return mDisplayMode; }
    void GetDisplayPosition(int& left, int& top) { mDisplay.GetWindowPos(left, top); }

    bool IsPalettizedDesktop() const { return mPalettizedDesktop; }
    bool IsOutOfVideoMemory() const { return mOutOfVideoMemory; }
    void SetOutOfVideoMemory(bool set) { mOutOfVideoMemory = set; }
    bool IsSurfaceNotInVideoMemory() const { return mSurfaceNotInVidMem; }
    bool HasAlphaTargetFailure() const { return mAlphaTargetFailed; }
    void SetAlphaTargetFailure(bool set) { mAlphaTargetFailed = set; }
    bool IsHardwareDevice() const { return mHardwareDevice; }

    void SetVSync(bool on) { mWaitForVerticalBlank = on; }
    bool GetVSync() const { return mWaitForVerticalBlank; }
    // Width and height of the cursor image (0 without one).
    int GetCursorWidth() const { return mCursorWidth; }
    int GetCursorHeight() const { return mCursorHeight; }
    void ResetMouse();
    void UpdateMouseBounds();

    // The mouse mutex: every cursor operation, creation and presentation hold it; the same thread
    // may take it again. The name is only for logs (one process uses it).
    std::recursive_timed_mutex& GetMouseMutex() { return mMouseMutex; }
    const TString& GetMouseMutexName() const { return mMouseMutexName; }

    // Version tests, answered by the version this platform reports.
    static bool IsWindowsVistaOrLater();
    static bool IsWindowsXPOrLater();

private:
    bool Refuse();
    bool ViewportScaling(float& scale) const;
    void AppendCapsDumps(const sys::display::DisplayCaps& driverCaps);

    TString mDescription;
    sys::WindowHandle mClipperWindow = 0;
    CDisplay mDisplay;
    std::shared_ptr<sys::display::Direct3D> mDirect3D;
    std::unique_ptr<sys::display::Device> mDevice;
    sys::display::DeviceDesc mChosenDevice;
    sys::display::SurfaceDesc mDisplayMode;
    sys::display::PixelFormat mDepthFormat;
    bool mHardwareDevice = false;
    bool mPalettizedDesktop = false;
    bool mOutOfVideoMemory = false;
    bool mSurfaceNotInVidMem = false;
    bool mAlphaTargetFailed = false;
    int mDesktopColors = -1;
    int mDesktopWidth = 0;
    int mDesktopHeight = 0;

    // Cursor bookkeeping kept here while the compositor is not built: where the cursor is and
    // whether it is drawn.
    int mSaveUnderIndex = 0;
    bool mRestoreToBackBuffer = false;
    bool mCursorDrawn = false;
    bool mWaitForVerticalBlank = false;
    int mMouseX = -1;
    int mMouseY = -1;
    int mPreviousMouseX = -1;
    int mPreviousMouseY = -1;
    int mCursorWidth = 0;
    int mCursorHeight = 0;
    bool mPositionKnown = false;
    bool mCursorShown = true;
    sys::ScreenRect mMouseBounds;

    std::recursive_timed_mutex mMouseMutex;
    TString mMouseMutexName;
};

// Holds a mutex for a scope: an infinite wait, or at most 5 ms; released at the end only when the
// wait got it.
class TMutexGuard
{
public:
    TMutexGuard(std::recursive_timed_mutex& mutex, bool wait);
    ~TMutexGuard();
    TMutexGuard(const TMutexGuard&) = delete;
    TMutexGuard& operator=(const TMutexGuard&) = delete;
    bool IsHeld() const { return mHeld; }

private:
    std::recursive_timed_mutex& mMutex;
    bool mHeld = false;
};
