// CDisplay, the screen's objects (display object, front and back buffer, the window and its place
// on the desktop) with full-screen and windowed creation and presentation, and CDisplaySurface, one
// extra off-screen surface with its description.
#pragma once

#include "render/display/dx_error.h"
#include "sys/display/direct_draw.h"
#include "sys/window/window.h"

#include <cstdint>
#include <memory>

// Creation flags of both screens.
constexpr uint32_t kDisplayKeepWindow = 0x2;   // windowed: leave the window's style and size
constexpr uint32_t kDisplayAlphaChannel = 0x4; // an alpha channel on the buffers
constexpr uint32_t kDisplayAttemptShift = 16;  // full screen: the adapter attempt number

struct CDisplaySurface
{
    std::shared_ptr<sys::display::Surface> mSurface;
    sys::display::SurfaceDesc mDesc; // as read back after creation
    bool mColorKeyed = false;

    DxResult Create(sys::display::DirectDraw& directDraw, const sys::display::SurfaceDesc& desc);
    void Destroy();
};

class CDisplay
{
public:
    CDisplay() = default;
    virtual ~CDisplay();
    CDisplay(const CDisplay&) = delete;
    CDisplay& operator=(const CDisplay&) = delete;

    DxResult CreateFullScreen(sys::WindowHandle window, uint32_t width, uint32_t height,
                              uint32_t bits, uint32_t flags);
    DxResult CreateWindowed(sys::WindowHandle window, sys::WindowHandle clipperWindow,
                            uint32_t width, uint32_t height, bool backBufferInVideoMemory,
                            uint32_t flags);
    // Pointer without a display object, InvalidParams without `out`; off-screen plain surfaces
    // unless capabilities are given.
    DxResult CreateSurface(std::unique_ptr<CDisplaySurface>* out, uint32_t width, uint32_t height,
                           const sys::display::PixelFormat* format, const uint32_t* caps);
    DxResult Present();
    void UpdateBounds();
    void GetWindowPos(int& left, int& top);
    DxResult RestoreDisplayMode();
    void Release();

    const std::shared_ptr<sys::display::DirectDraw>& GetDirectDraw() const { return mDirectDraw; }
    const std::shared_ptr<sys::display::Surface>& GetFrontBuffer() const { return mFrontBuffer; }
    const std::shared_ptr<sys::display::Surface>& GetBackBuffer() const { return mBackBuffer; }
    sys::WindowHandle GetWindow() const { return mWindow; }
    const sys::ScreenRect& GetWindowRect() const { return mWindowRect; }
    bool IsWindowed() const { return mWindowed; }
    bool WasCreatedOnce() const { return mCreatedOnce; }

private:
    // Logs the failure and tries the next adapter.
    DxResult RetryFullScreen(DxResult hr, int line, sys::WindowHandle window, uint32_t width,
                             uint32_t height, uint32_t bits, uint32_t flags);
    DxResult Fail(DxResult hr, int line);
    void FillBlack(sys::display::Surface& surface);

    std::shared_ptr<sys::display::DirectDraw> mDirectDraw;
    std::shared_ptr<sys::display::Surface> mFrontBuffer;
    std::shared_ptr<sys::display::Surface> mBackBuffer;
    sys::WindowHandle mWindow = 0;
    sys::ScreenRect mWindowRect;
    bool mWindowed = false;
    // Survives releases: the incompatibility box is shown only while no screen ever worked.
    bool mCreatedOnce = false;
};
