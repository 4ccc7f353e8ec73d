// TDXContext: the display's objects behind the display handler: the screen, the rendering
// interface and device with its depth buffer, the capability checks that decide whether a display
// can be used, the device description, the cursor's bookkeeping and the mouse mutex.
#pragma once

#include "platform/shell/task.h"
#include "platform/strings/tstring.h"
#include "render/display/display.h"
#include "sys/display/device.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

class TDXContext;
class TTexture;

// Sets the cursor images again after every display restore (it stays in the restore tasks).
class MouseTextureListener : public TTask
{
public:
    explicit MouseTextureListener(TDXContext* context) : mContext(context) {}
    ~MouseTextureListener() override;
    bool Run() override;
    void Detach() { mContext = nullptr; }

private:
    TDXContext* mContext;
};

// One visible cursor pixel against the display's format: colour adds and 255 minus its alpha.
struct TBlendEntry
{
    uint16_t mRedAdd = 0;
    uint16_t mGreenAdd = 0;
    uint16_t mBlueAdd = 0;
    uint8_t mInverseAlpha = 0;
};

// The visible pixels of one run of a cursor row, left to right.
struct TRowSpan
{
    uint16_t mX = 0;
    uint16_t mY = 0;
    std::vector<TBlendEntry> mPixels;
};
using TSpanList = std::vector<TRowSpan>;

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
    // Clears the rectangles (the whole viewport without any), each cut to the viewport.
    void Clear(uint32_t flags, uint32_t count = 0, const sys::display::Rect* rects = nullptr);
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

    // The drawn cursor.
    bool SetMouseImage(const std::shared_ptr<TTexture>& texture, int hotX, int hotY,
                       bool alphaImage);
    void RestoreMouseImage();
    // Draws the cursor at (x, y) in client pixels (-1, -1: where the system's pointer is);
    // answers the position used.
    void DrawMouse(int x, int y, bool force, int* outX = nullptr, int* outY = nullptr);
    void EraseMouse();
    void ShowMouse(bool show);
    void GetMousePosition(int& x, int& y);
    // Reads the pointer's position into the drawn position and answers it.
    void RefreshMousePosition(int& x, int& y);
    void SetCursorShape(bool show);
    std::shared_ptr<TTexture> GetCursorTexture() const;
    bool SetHardwareCursor(const std::shared_ptr<TTexture>& texture, int hotX, int hotY);
    bool IsCursorDrawn() const { return mCursorDrawn; }
    // In a window with a system cursor image in use (the hosted game's hardware cursor, or the
    // system's pointer the player chose) the system draws the pointer: the drawn one only follows
    // its position, so one pointer shows.
    bool SystemDrawsPointer() const;
    // The frame being drawn has the game's own cursor: see TPlatform::NoteCursorInFrame.
    void NoteCursorInFrame() { mCursorInFrame = true; }
    bool IsCursorDisabled() const { return mCursorDisabled; }
    bool IsCursorImageLost() const { return mImageLost; }
    bool IsAlphaListActive() const { return mAlphaListActive; }
    const TSpanList& GetSpans(bool alpha) const { return alpha ? mAlphaSpans : mKeyedSpans; }
    sys::CursorHandle GetHardwareCursor() const { return mHardwareCursor; }
    void DetachListener(MouseTextureListener* listener);

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
    bool BuildSpans(const std::shared_ptr<TTexture>& texture, bool alpha, TSpanList& spans);
    TBlendEntry MakeEntry(uint32_t argb) const;
    void BlendSpans(sys::display::SurfaceDesc& locked);
    bool CreateMouseSurfaces();
    void ReleaseMouseSurfaces();
    bool ShouldDrawMouse(const sys::ScreenRect& bounds, bool moved);
    void ReadMousePosition();
    // Puts the saved background back over the drawn rectangle of the restore target.
    DxResult PutBackground(const sys::display::Rect* clip);
    sys::display::Surface* RestoreTarget() const;
    // A rectangle in client pixels as a rectangle of `surface` (the windowed primary is the
    // desktop).
    sys::display::Rect OnSurface(const sys::display::Surface* surface,
                                 const sys::display::Rect& client) const;
    sys::display::Rect RootClip() const;

    TString mDescription;
    // The identifier block has been logged (once a run: each mode change creates the device).
    bool mIdentifierLogged = false;
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

    // The cursor.
    MouseTextureListener* mListener = nullptr;
    uint32_t mLastDrawTime = 0;
    CDisplaySurface mSaveUnder[2];
    CDisplaySurface mComposition;
    bool mCursorDisabled = false;
    bool mImageLost = false;
    bool mSurfacesMissing = false;
    sys::display::Rect mDrawnRect;   // client pixels, as clipped
    sys::display::Rect mDrawnSource; // cursor pixels
    int mHotOffsetX = 0;
    int mHotOffsetY = 0;
    std::shared_ptr<TTexture> mKeyedTexture;
    std::shared_ptr<TTexture> mAlphaTexture;
    int mKeyedHotX = 0;
    int mKeyedHotY = 0;
    int mAlphaHotX = 0;
    int mAlphaHotY = 0;
    TSpanList mKeyedSpans;
    TSpanList mAlphaSpans;
    bool mAlphaListActive = false;
    sys::CursorHandle mHardwareCursor = 0;
    int mHardwareHotX = 0;
    int mHardwareHotY = 0;
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
    // The frame being drawn, and the frame last presented, showed the game's own cursor.
    bool mCursorInFrame = false;
    bool mCursorInPresented = false;
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
