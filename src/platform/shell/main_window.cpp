// The main window: its creation, the window procedure that turns window messages into the flags the
// event pump reports, window and application activation, and the drawn cursor images.
#include "platform/shell/application.h"

#include "platform/config/config.h"
#include "platform/seams/display_seam.h"
#include "platform/seams/host_services_seam.h"
#include "platform/log.h"
#include "platform/seams/sound_manager_seam.h"
#include "platform/seams/window_manager_seam.h"
#include "sys/window/events.h"
#include "sys/process/process.h"

namespace
{
// The window was parked (minimised or moved far off the desktop); the next real position makes the
// application active again.
bool gWasParked = false;

constexpr int kMainWindowWidth = 480;
constexpr int kMainWindowHeight = 360;
// The test-host window's client area.
constexpr int kTestHostWidth = 960;
constexpr int kTestHostHeight = 720;

constexpr uint32_t WM_USER_FORWARD = sys::WM_USER + 2;
constexpr uint32_t WM_USER_ANSWERED = sys::WM_USER + 100;
constexpr sys::LParam HTSIZE = 4;
} // namespace

bool TApplicationImpl::CreateMainWindow()
{
    if (IsEnabled("utf8mode"))
        mUtf8 = true;
    // In test-host mode the main window itself becomes the host once it exists, so there is no
    // host window yet to have lost.
    if (mHost.mHosted && !mHost.mTestHost && !sys::IsWindow(mHost.mExternalWindowParent))
    {
        Log("Error: mExternalWindowParent is lost, exiting");
        sys::ExitProcess(-1);
    }
    sys::WindowDesc desc;
    desc.title = "Quillmark";
    desc.x = 0;
    desc.y = 0;
    desc.width = kMainWindowWidth;
    desc.height = kMainWindowHeight;
    desc.parent = mHost.mHosted && !mHost.mTestHost ? mHost.mExternalWindowParent : 0;
    desc.unicode = mUtf8;
    desc.proc = &TApplicationImpl::MainWindowProc;
    sys::WindowHandle window = sys::CreateWindow(desc);
    if (window == 0)
    {
        // A game without its window can neither be seen nor closed: end it with the host's code.
        Log("Error: the main window could not be created, exiting");
        sys::ExitProcess(-1);
    }
    mMainWindow = window;
    // Said on standard error when video started; the log is open now.
    if (!sys::GetVideoDriverNotice().empty())
        Log("%s", sys::GetVideoDriverNotice().c_str());
    SetMainWindowParent(sys::GetParent(window));
    SetConfig("hwnd", TString::Format("%d", static_cast<int>(window)));
    if (mHost.mTestHost)
    {
        sys::MoveWindow(window, 0, 0, kTestHostWidth, kTestHostHeight);
        sys::ShowWindow(window, sys::SW_SHOWNORMAL);
    }
    // The window cannot be resized or maximised: it is made without a sizing frame, which is all
    // the disabled system-menu items achieve.
    sys::SetWindowUserData(window, TApplication::Get());
    sys::SetActiveWindow(window);
    return true;
}

void TApplicationImpl::SetApplicationActive(bool active)
{
    if (active == mPump.mApplicationActive)
        return;
    SetWindowActive(active, true);
    mPump.mApplicationActive = active;
    mPump.mApplicationActivationChanged = true;
    if (!active)
    {
        if (mManagers.mSoundManager)
            mManagers.mSoundManager->SetPaused(false);
        if (GetDisplay().IsFullScreen())
            mPump.mInactiveFullScreen = true;
    }
    else
    {
        if (mManagers.mSoundManager)
            mManagers.mSoundManager->SetPaused(true);
        mPump.mInactiveFullScreen = false;
    }
}

void TApplicationImpl::SetWindowActive(bool active, bool forced)
{
    if (active == mPump.mWindowActive)
        return;
    if (mManagers.mSoundManager)
        mManagers.mSoundManager->SetPaused(active);
    if (!(GetDisplay().IsFullScreen() && !forced))
    {
        mPump.mActivationChanged = !mPump.mActivationChanged;
        mPump.mWindowActive = active;
    }
}

sys::LParam TApplicationImpl::MainWindowProc(sys::WindowHandle window, uint32_t message,
                                             sys::WParam wParam, sys::LParam lParam)
{
    auto* application = static_cast<TApplication*>(sys::GetWindowUserData(window));
    TApplicationImpl* impl = application ? application->GetImpl() : nullptr;
    TDisplaySeam& display = GetDisplay();
    switch (message)
    {
    case sys::WM_DESTROY:
        sys::PostQuitMessage(0);
        return 0;
    case sys::WM_SIZE:
        if (impl)
        {
            if (wParam == sys::SIZE_MINIMIZED)
                impl->SetWindowActive(false, true);
            else if (wParam == sys::SIZE_RESTORED || wParam == sys::SIZE_MAXIMIZED ||
                     wParam == sys::SIZE_MAXSHOW)
                impl->SetWindowActive(true, true);
        }
        break;
    case sys::WM_PAINT:
        if (impl && impl->mManagers.mWindowManager)
        {
            impl->mManagers.mWindowManager->SetDirty();
            impl->mPump.mRepaintRequested = true;
        }
        break;
    case sys::WM_CLOSE:
        // The game decides whether a close request ends it.
        if (impl)
            impl->mPump.mCloseRequested = true;
        return 0;
    case sys::WM_ERASEBKGND:
        return 1;
    case sys::WM_ACTIVATEAPP:
        if (impl)
            impl->SetApplicationActive(wParam == 1);
        break;
    case sys::WM_SETCURSOR:
        if ((lParam & 0xFFFF) == sys::HTCLIENT && display.ShowSystemCursor())
            return 1;
        break;
    case sys::WM_MOUSEACTIVATE:
        if (impl && !impl->mHost.mHosted)
        {
            impl->mPump.mActivationClick = true;
            impl->mPump.mActivationTime = GetPlatformTime();
        }
        break;
    case sys::WM_WINDOWPOSCHANGING:
        if (impl && lParam != 0 && sys::GetParent(window) == 0 && !impl->mCommandLine.mHostPage &&
            display.Exists())
        {
            auto* pos = reinterpret_cast<sys::WindowPos*>(lParam);
            if (!(pos->flags & sys::SWP_NOSIZE) && !display.IsFullScreen() &&
                (impl->mHost.mExternalWindowParent == 0 || impl->mHost.mTestHost))
            {
                // The frame has no thickness or caption bar of its own here.
                int width = 0;
                int height = 0;
                display.GetViewport(width, height);
                pos->cx = width;
                pos->cy = height;
            }
        }
        break;
    case sys::WM_WINDOWPOSCHANGED:
        if (impl && lParam != 0)
        {
            const auto* pos = reinterpret_cast<const sys::WindowPos*>(lParam);
            if (pos->cx == 0 || pos->cy == 0 || pos->x < -10000 || pos->y < -10000)
            {
                impl->mPump.mInactiveFullScreen = true;
                impl->SetApplicationActive(false);
                gWasParked = true;
            }
            else
            {
                impl->mPump.mInactiveFullScreen = false;
                if (gWasParked)
                {
                    impl->SetApplicationActive(true);
                    gWasParked = false;
                }
            }
        }
        break;
    case sys::WM_DISPLAYCHANGE:
        if (impl && !impl->mPump.mWindowActive && display.Exists())
            display.UpdateDesktopMode();
        break;
    case sys::WM_NCHITTEST:
    {
        // The frame can neither resize nor maximise the window.
        sys::LParam hit = sys::DefWindowProc(window, message, wParam, lParam);
        if (hit == HTSIZE || (hit >= 9 && hit <= 18))
            return sys::HTNOWHERE;
        return hit;
    }
    case sys::WM_TIMER:
    case sys::WM_INITMENUPOPUP:
        return 0;
    case sys::WM_MOUSEMOVE:
        if (display.Exists())
        {
            display.UpdateWindowBounds();
            display.DrawMouse(sys::PointParamX(lParam), sys::PointParamY(lParam));
        }
        // This platform reports Windows 6.1, on which the cursor is drawn with each frame.
        if (impl && impl->mManagers.mWindowManager)
            impl->mManagers.mWindowManager->SetDirty();
        break;
    case sys::WM_MOUSELEAVE:
        if (display.Exists())
            display.EraseMouse();
        if (impl)
        {
            impl->mPump.mHoverTracking = false;
            impl->mPump.mLeaveTracking = false;
            impl->mPump.mMouseLeft = true;
        }
        return 0;
    case sys::WM_USER:
        if (GetHostServices().GameStateExists())
            GetHostServices().SetStateInt("windowmessage", static_cast<int>(wParam));
        return 1;
    case WM_USER_FORWARD:
        sys::SendMessage(GetMainWindowParent(), WM_USER_FORWARD, wParam, lParam);
        return 1;
    case WM_USER_ANSWERED:
        return 1;
    default:
        break;
    }
    return sys::DefWindowProc(window, message, wParam, lParam);
}

void TApplicationImpl::SetCursorTexture(const std::shared_ptr<TTexture>& texture, int hotX,
                                        int hotY, int slot)
{
    std::shared_ptr<TTexture> shown = texture;
    if (slot == 0)
    {
        mCursor.mSlots[0] = TCursorSlot{texture, hotX, hotY};
        if (!mCursor.mMouseShown)
            return;
        if (!shown)
        {
            if (!mCursor.mSystemCursorTexture)
                mCursor.mSystemCursorTexture = GetDisplay().LoadSystemCursorTexture();
            shown = mCursor.mSystemCursorTexture;
        }
    }
    else if (slot == 1)
    {
        mCursor.mSlots[1] = TCursorSlot{texture, hotX, hotY};
    }
    else
    {
        return;
    }
    TDisplaySeam& display = GetDisplay();
    display.SetCursorTexture(shown, hotX, hotY, slot);
    // The display draws the cursor; the system's arrow would show on top of it. Without a display
    // nothing draws one, so the arrow stays.
    if (display.Exists())
        sys::ShowSystemCursor(false);
}

void TApplicationImpl::RestoreCursors()
{
    for (int slot = 0; slot < 2; ++slot)
    {
        // Copied: applying a slot writes it again.
        TCursorSlot cursor = mCursor.mSlots[slot];
        if (cursor.mTexture)
            SetCursorTexture(cursor.mTexture, cursor.mHotX, cursor.mHotY, slot);
    }
}

void TApplicationImpl::ShowSystemCursor(bool show)
{
    if (show == mCursor.mMouseShown)
        return;
    mCursor.mMouseShown = show;
    GetDisplay().ShowMouse(show);
}
