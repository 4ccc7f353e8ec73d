// The screen: primary-surface bookkeeping, the window's place on the desktop, focus loss in full
// screen and handing changed front buffers to the presenter.
#include "sys/display/presenter/screen.h"

#include "sys/display/presenter/presenter.h"
#include "sys/display/surface.h"

#include "sys/clock.h"
#include "sys/display/display_log.h"
#include "sys/input_script/input_script.h"
#include "sys/window/window.h"

#include <SDL.h>

namespace sys::display
{
namespace
{
// How long after leaving full screen the window is put back in its place when the window manager
// moved it to the screen's corner, and how near the corner counts (a frame's border and title).
constexpr uint32_t kPlacingMs = 1000;
constexpr int kCornerSlackX = 8;
constexpr int kCornerSlackY = 64;

// The place a window left full screen for, while the window manager may still move it: kept
// outside the screen, since the display that leaves full screen goes with its screen and the next
// one's presents the window's frames.
struct PendingPlace
{
    SDL_Window* mWindow = nullptr;
    int mX = 0; // the window's place
    int mY = 0;
    int mCornerX = 0; // the screen's corner
    int mCornerY = 0;
    uint32_t mUntil = 0;
};

PendingPlace& Placing()
{
    static PendingPlace placing;
    return placing;
}
} // namespace

Screen::Screen() : mPresenter(std::make_unique<Presenter>(nullptr)) {}

Screen::~Screen()
{
    sys::detail::ClearShownListener(this);
    if (mFullScreen)
    {
        sys::ClearPictureFit();
        sys::HoldBackSystemCursor(false);
    }
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
    // The pointer's picture point, taken while the old shape's mapping still holds: the new shape
    // shows that point elsewhere on the screen.
    if (changed && window != nullptr && !Presenter::IsHeadlessWindow(window))
    {
        const uint32_t flags = SDL_GetWindowFlags(window);
        if ((flags & SDL_WINDOW_SHOWN) != 0 && ((flags & SDL_WINDOW_FULLSCREEN) != 0) != fullScreen)
            sys::KeepPointerThroughReshape();
    }
    // The picture's size, for the mapping the full screen will give it: the last full screen's,
    // else the window's own (a window shows the picture at its size).
    int pictureWidth = mPictureWidth;
    int pictureHeight = mPictureHeight;
    if (changed && fullScreen && pictureWidth <= 0 && window != nullptr && window == mWindow)
        SDL_GetWindowSize(window, &pictureWidth, &pictureHeight);
    SDL_Window* const previous = mWindow;
    mWindow = window;
    mFullScreen = fullScreen;
    mHadFocus = false;
    if (!fullScreen)
        sys::ClearPictureFit();
    // Full screen the game draws its pointer alone: the system's stays hidden over it, whatever
    // the game's choice of pointer asks, and shows again as asked in a window.
    sys::HoldBackSystemCursor(fullScreen);
    if (!changed)
        return;
    // Exclusive mode on this platform is a desktop-sized full-screen window; the presenter scales
    // the mode-sized picture into it. The window takes its final size and place before anything
    // shows it: without a window manager the full-screen request alone leaves it at its first
    // size, cropping the picture.
    const bool real = window != nullptr && !Presenter::IsHeadlessWindow(window);
    // A shown window keeps its last picture while the window manager reshapes it, and shows it
    // cut off or beside what the screen showed before: black stands in until the next frame.
    const bool shown = real && (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) != 0;
    if (shown && window == previous)
        mPresenter->PresentBlack();
    else if (shown)
    {
        // A display made anew finds the window shown by the one before: a presenter of its own
        // for the one black frame (a window holds one renderer, so this one goes first).
        mPresenter.reset();
        Presenter(window).PresentBlack();
    }
    if (real)
    {
        SDL_Rect bounds{0, 0, static_cast<int>(mDesktopWidth), static_cast<int>(mDesktopHeight)};
        const int display = SDL_GetWindowDisplayIndex(window);
        if (display >= 0)
            SDL_GetDisplayBounds(display, &bounds);
        const bool sized = fullScreen && bounds.w > 0 && bounds.h > 0;
        // Shown, a window shows what lay behind it until its first frame (the title card comes
        // only after the content has loaded): it is painted black the moment it shows.
        if ((SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) == 0)
            sys::detail::SetShownListener(window, this,
                                          [this]
                                          {
                                              if (mPresenter)
                                                  mPresenter->PresentBlack();
                                          });
        // A window manager maps a window in the shape it has when shown (its first small size,
        // with a title bar) and hears of full screen only after: a window not shown yet takes
        // the screen's place and size, without a frame, while it is still a plain window, so it
        // appears in its final shape.
        if (sized && (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) == 0)
        {
            SDL_SetWindowBordered(window, SDL_FALSE);
            SDL_SetWindowPosition(window, bounds.x, bounds.y);
            SDL_SetWindowSize(window, bounds.w, bounds.h);
        }
        const bool shownFull = (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) != 0 &&
                               (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
        SDL_Rect windowed{0, 0, 0, 0};
        if (fullScreen && !shownFull)
        {
            SDL_GetWindowPosition(window, &mWindowedX, &mWindowedY);
            SDL_GetWindowSize(window, &mWindowedWidth, &mWindowedHeight);
        }
        else if (!fullScreen && shownFull)
        {
            // Leaving full screen, SDL gives the window the size it had in a window, which the
            // screen-sized one of full screen replaced: it would show the full-screen picture cut
            // off in a screen-sized window with a title bar before the game sizes it. It goes
            // straight to its windowed place, or the picture's size in the screen's middle.
            windowed = SDL_Rect{mWindowedX, mWindowedY, mWindowedWidth, mWindowedHeight};
            if ((windowed.w == bounds.w && windowed.h == bounds.h) || windowed.w <= 0 ||
                windowed.h <= 0)
                windowed = SDL_Rect{bounds.x + (bounds.w - mPictureWidth) / 2,
                                    bounds.y + (bounds.h - mPictureHeight) / 2, mPictureWidth,
                                    mPictureHeight};
            if (windowed.w > 0 && windowed.h > 0)
            {
                SDL_SetWindowPosition(window, windowed.x, windowed.y);
                SDL_SetWindowSize(window, windowed.w, windowed.h);
            }
        }
        SDL_SetWindowFullscreen(window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        // Back in a window, the frame comes back (SDL changes it only outside full screen).
        if (!fullScreen)
            SDL_SetWindowBordered(window, SDL_TRUE);
        // The place asked for under full screen is only kept for later, and the window leaves
        // full screen where full screen had it, the screen's corner, until the display's set-up
        // centres it there: an empty window at the corner that then jumps. Asked again now that
        // it is a window, the window shows at once where it stays.
        if (windowed.w > 0 && windowed.h > 0)
            SDL_SetWindowPosition(window, windowed.x, windowed.y);
        // SDL has put the pointer back at its place relative to the window's corner; in a window
        // the picture's mapping is known already, so the pointer goes to its picture point now
        // rather than at the first frame (full screen the first frame fits the picture first).
        if (!fullScreen)
            sys::PlaceKeptPointer();
        if (sized)
        {
            SDL_SetWindowPosition(window, bounds.x, bounds.y);
            SDL_SetWindowSize(window, bounds.w, bounds.h);
            // The first frame of the new shape is drawn before it is presented, and its drawn
            // cursor (and every pointer event until then) would go through no mapping at all: at
            // the pointer's unscaled point. The mapping is known now, and the pointer goes to its
            // picture point at once, as in a window.
            if (pictureWidth > 0 && pictureHeight > 0)
            {
                sys::SetPictureFit(pictureWidth, pictureHeight, bounds.w, bounds.h);
                sys::PlaceKeptPointer();
            }
        }
        // The window manager may still put the window back where it kept it from before full
        // screen (the screen's corner, for a window that was full screen from its start) after
        // the place asked for here: for a moment it is asked again if so.
        if (windowed.w > 0 && windowed.h > 0)
            Placing() = PendingPlace{window,   windowed.x, windowed.y,
                                     bounds.x, bounds.y,   sys::GetTimeMs() + kPlacingMs};
        else if (Placing().mWindow == window && fullScreen)
            Placing() = PendingPlace{};
    }
    // Made after the window's mode: the renderer may have to remake the window, which must happen
    // before the window is first shown, not as a second window later.
    // The old presenter gives the window's renderer back first: a window holds one.
    mPresenter.reset();
    mPresenter = std::make_unique<Presenter>(window);
    if (shown)
        mPresenter->PresentBlack();
}

void Screen::KeepWindowPlaced()
{
    PendingPlace& placing = Placing();
    if (placing.mWindow == nullptr || placing.mWindow != mWindow)
        return;
    if (mFullScreen || static_cast<int32_t>(sys::GetTimeMs() - placing.mUntil) >= 0)
    {
        placing = PendingPlace{};
        return;
    }
    // Frames keep their pace meanwhile, though the picture stands still: the manager's move is
    // seen and undone within a frame, not at a still picture's slow pace.
    sys::detail::NoteFrameShown(true);
    // Only a window the manager put in the corner is moved again: where the frame goes around a
    // window elsewhere is the manager's to choose.
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(mWindow, &x, &y);
    const bool cornered =
        x - placing.mCornerX <= kCornerSlackX && y - placing.mCornerY <= kCornerSlackY;
    const bool wantedCornered = placing.mX - placing.mCornerX <= kCornerSlackX &&
                                placing.mY - placing.mCornerY <= kCornerSlackY;
    if (!cornered || wantedCornered)
        return;
    // Said, so that a run where it happens shows it: the window was seen out of place.
    DisplayLog("The window manager put the window at %d, %d on leaving full screen; it goes back "
               "to %d, %d",
               x, y, placing.mX, placing.mY);
    SDL_SetWindowPosition(mWindow, placing.mX, placing.mY);
}

void Screen::FitPointer(const Surface& front)
{
    int width = static_cast<int>(mDesktopWidth);
    int height = static_cast<int>(mDesktopHeight);
    if (mWindow != nullptr && !mPresenter->IsHeadless())
    {
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(mWindow, &w, &h);
        if (w > 0 && h > 0)
        {
            width = w;
            height = h;
        }
    }
    if (width <= 0 || height <= 0)
    {
        width = static_cast<int>(front.GetWidth());
        height = static_cast<int>(front.GetHeight());
    }
    mPictureWidth = static_cast<int>(front.GetWidth());
    mPictureHeight = static_cast<int>(front.GetHeight());
    sys::SetPictureFit(mPictureWidth, mPictureHeight, width, height);
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
    else if (IsDisplayTakenByScript())
    {
        // A test's input script stands for the program that took the display.
        return true;
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
    if (mFullScreen)
        FitPointer(front);
    mPresenter->Present(front, mFullScreen ? front.GetRect() : GetWindowRect());
    sys::PlaceKeptPointer();
    KeepWindowPlaced();
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
    sys::PlaceKeptPointer();
    KeepWindowPlaced();
    return true;
}

} // namespace sys::display
