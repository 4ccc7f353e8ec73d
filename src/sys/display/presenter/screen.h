// The screen of a display object: which surface is the front buffer, where the window sits on the
// desktop, windowed or exclusive full-screen presentation, and focus loss in full screen.
#pragma once

#include "sys/display/device_caps.h"
#include "sys/display/rect.h"

#include <functional>
#include <memory>
#include <optional>

struct SDL_Window;

namespace sys::display
{

class Presenter;
class Surface;

class Screen
{
public:
    Screen();
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // The window presentation goes to (null: headless) and whether the display is exclusive
    // full screen. Changing either rebuilds the presenter.
    void SetWindow(SDL_Window* window, bool fullScreen);
    // The desktop's size: what a full-screen window covers, where the window cannot tell (no
    // real video driver, or the window not yet resized).
    void SetDesktopSize(uint32_t width, uint32_t height)
    {
        mDesktopWidth = width;
        mDesktopHeight = height;
    }
    SDL_Window* GetWindow() const { return mWindow; }
    bool IsFullScreen() const { return mFullScreen; }

    // The primary surface. Windowed it covers the desktop and only the window's client rectangle is
    // shown; full screen it is the mode-sized front of the flip chain and is shown whole.
    void SetPrimary(const std::shared_ptr<Surface>& primary);
    std::shared_ptr<Surface> GetPrimary() const { return mPrimary.lock(); }

    // The window's client rectangle in desktop pixels: from the window, unless a test placed it.
    Rect GetWindowRect() const;
    void SetWindowRectOverride(std::optional<Rect> rect) { mWindowRectOverride = rect; }

    // Full screen only: true while the window is minimised or has lost the input focus, as when the
    // player switches away from an exclusive display. Always false headless.
    bool HasLostExclusiveFocus() const;

    // The next presentation waits for the vertical blank (WaitForVerticalBlank before a present);
    // presentations without such a request do not wait.
    void RequestVSync() { mVSyncRequested = true; }
    bool IsVSyncRequested() const { return mVSyncRequested; }
    // Tests: stands in for the window's focus state in full screen (nullopt: ask the window).
    void SetFocusOverride(std::optional<bool> focused) { mFocusOverride = focused; }
    // Sends the front buffer to the presenter now (called after every change of the front buffer).
    void PresentFront();
    Presenter& GetPresenter() { return *mPresenter; }
    // Called when a full-screen display loses the focus (the display object then loses its
    // surfaces).
    void SetFocusLostHandler(std::function<void()> handler)
    {
        mFocusLostHandler = std::move(handler);
    }
    // Windowed: asked before each presentation whether the desktop's mode changed under the
    // primary surface; true (the display object lost its surfaces) drops the frame.
    void SetDesktopChangedCheck(std::function<bool()> check)
    {
        mDesktopChangedCheck = std::move(check);
    }

private:
    void OnFrontChanged(Surface& front);
    // After a switch to a window: its place asked for again while the window manager has it in
    // the screen's corner, for a moment (see SetWindow).
    void KeepWindowPlaced();
    // Full screen: tells the pointer mapping where the front's picture lies on the screen.
    void FitPointer(const Surface& front);
    // A same-size blit into the windowed primary: made and shown in one pass when the presenter
    // can, with the same checks and outcome as the copy followed by OnFrontChanged.
    bool OnFrontCopied(Surface& front, const Rect& dst, const Surface& src, const Rect& from);

    SDL_Window* mWindow = nullptr;
    bool mFullScreen = false;
    bool mVSyncRequested = false;
    std::optional<bool> mFocusOverride;
    std::weak_ptr<Surface> mPrimary;
    std::unique_ptr<Presenter> mPresenter;
    std::optional<Rect> mWindowRectOverride;
    std::function<void()> mFocusLostHandler;
    std::function<bool()> mDesktopChangedCheck;
    mutable bool mHadFocus = false; // a new window may not have the focus yet
    uint32_t mDesktopWidth = 0;
    uint32_t mDesktopHeight = 0;
    // Where the window was before it went full screen, and the size of the last full-screen
    // picture: where it goes back to.
    int mWindowedX = 0;
    int mWindowedY = 0;
    int mWindowedWidth = 0;
    int mWindowedHeight = 0;
    int mPictureWidth = 0;
    int mPictureHeight = 0;
};

} // namespace sys::display
