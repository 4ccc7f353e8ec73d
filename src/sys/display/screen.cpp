// The screen: primary-surface bookkeeping, the window's place on the desktop, focus loss in full
// screen and handing changed front buffers to the presenter.
#include "sys/display/screen.h"

#include "sys/display/presenter.h"
#include "sys/display/surface.h"

#include <SDL.h>

namespace sys::display
{

Screen::Screen() : mPresenter(std::make_unique<Presenter>(nullptr)) {}

Screen::~Screen()
{
    if (auto primary = mPrimary.lock())
    {
        primary->SetChangeListener({});
        primary->SetCopyListener({});
        primary->SetClipper({});
    }
}

void Screen::SetWindow(SDL_Window* window, bool fullScreen)
{
    const bool changed = window != mWindow || fullScreen != mFullScreen || !mPresenter;
    mWindow = window;
    mFullScreen = fullScreen;
    mHadFocus = false;
    if (!changed)
        return;
    mPresenter = std::make_unique<Presenter>(window);
    // Exclusive mode on this platform is a desktop-sized full-screen window; the presenter scales
    // the mode-sized picture into it.
    if (window != nullptr && !mPresenter->IsHeadless())
        SDL_SetWindowFullscreen(window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

void Screen::SetPrimary(const std::shared_ptr<Surface>& primary)
{
    if (auto old = mPrimary.lock())
    {
        old->SetChangeListener({});
        old->SetCopyListener({});
    }
    mPrimary = primary;
    if (primary)
    {
        primary->SetChangeListener([this](Surface& front) { OnFrontChanged(front); });
        primary->SetCopyListener(
            [this](Surface& front, const Rect& dst, const Surface& src, const Rect& from)
            { return OnFrontCopied(front, dst, src, from); });
    }
}

Rect Screen::GetWindowRect() const
{
    if (mWindowRectOverride)
        return *mWindowRectOverride;
    if (mWindow != nullptr)
    {
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(mWindow, &x, &y);
        SDL_GetWindowSize(mWindow, &w, &h);
        return Rect{x, y, x + w, y + h};
    }
    // No window to ask: the whole primary is "the window".
    if (auto primary = mPrimary.lock())
        return primary->GetRect();
    return Rect{};
}

bool Screen::HasLostExclusiveFocus() const
{
    if (!mFullScreen)
        return false;
    bool focused = true;
    if (mFocusOverride)
    {
        focused = *mFocusOverride;
    }
    else
    {
        if (mWindow == nullptr || mPresenter->IsHeadless())
            return false;
        const uint32_t flags = SDL_GetWindowFlags(mWindow);
        focused = (flags & SDL_WINDOW_INPUT_FOCUS) != 0 && !(flags & SDL_WINDOW_MINIMIZED);
    }
    // Only a loss after the window once had the focus counts: a new window may not have it yet.
    if (focused)
        mHadFocus = true;
    return mHadFocus && !focused;
}

void Screen::PresentFront()
{
    if (auto primary = mPrimary.lock())
        OnFrontChanged(*primary);
}

void Screen::OnFrontChanged(Surface& front)
{
    if (front.IsLost() != Result::Ok)
        return;
    if (mFullScreen && HasLostExclusiveFocus())
    {
        if (mFocusLostHandler)
            mFocusLostHandler();
        return;
    }
    if (!mFullScreen && mDesktopChangedCheck && mDesktopChangedCheck())
        return;
    mPresenter->SetVSync(mVSyncRequested);
    mVSyncRequested = false;
    mPresenter->Present(front, mFullScreen ? front.GetRect() : GetWindowRect());
}

bool Screen::OnFrontCopied(Surface& front, const Rect& dst, const Surface& src, const Rect& from)
{
    if (mFullScreen || !Presenter::CanPresentCopy(front, src))
        return false;
    // The desktop check answers without side effects unless it loses the surfaces now; then the
    // loss's fill would have covered the copy, which is skipped. Lost before (and the front made
    // since), the copy is left to the blit and the frame is dropped as ever.
    if (mDesktopChangedCheck && mDesktopChangedCheck())
        return front.IsLost() != Result::Ok;
    mPresenter->SetVSync(mVSyncRequested);
    mVSyncRequested = false;
    mPresenter->PresentCopy(front, dst, src, from, GetWindowRect());
    return true;
}

} // namespace sys::display
