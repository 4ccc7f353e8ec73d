// The event pump: one window message per call turned into a TPlatformEvent, the conditions the
// window procedure recorded reported first, and the idle path (idle tasks, a tick, a 1 ms wait)
// when nothing waits.
#include "platform/shell/event_pump.h"

#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/seams/display_seam.h"
#include "platform/seams/host_services_seam.h"
#include "platform/log.h"
#include "platform/seams/sound_manager_seam.h"
#include "platform/seams/window_manager_seam.h"
#include "sys/clock.h"
#include "sys/window/events.h"

#include <algorithm>

namespace
{
bool gHostAnnounced = false;
uint32_t gPendingHighSurrogate = 0;

// Button messages this soon after the click that activated the window belong to that click.
constexpr uint32_t kActivationFilterMs = 400;
// The one-time announcement to a host waits this long between its two states.
constexpr uint32_t kHostAnnouncementMs = 500;
constexpr uint32_t kInactiveFullScreenSleepMs = 50;

void SetEvent(TPlatformEvent* event, int32_t type, int32_t param = 0, int32_t x = 0, int32_t y = 0,
              int32_t param2 = 0)
{
    event->mType = type;
    event->mParam = param;
    // Positions travel as signed 16-bit values.
    event->mX = static_cast<int16_t>(x);
    event->mY = static_cast<int16_t>(y);
    event->mParam2 = param2;
}

int32_t MouseModifiers(sys::WParam keys)
{
    int32_t mods = 0;
    if (keys & sys::MK_SHIFT)
        mods |= kModifierShift;
    if (keys & sys::MK_CONTROL)
        mods |= kModifierControl;
    return mods;
}

int32_t KeyModifiers(sys::LParam lParam)
{
    int32_t mods = 0;
    if (sys::GetKeyState(sys::VK_CONTROL) < 0)
        mods |= kModifierControl;
    if (sys::GetKeyState(sys::VK_SHIFT) < 0)
        mods |= kModifierShift;
    if (lParam & sys::kKeyExtendedBit)
        mods |= kModifierExtended;
    return mods;
}
} // namespace

// For tests that run several applications in one process: the pump's process-wide state as a
// new process has it.
void ResetEventPumpState()
{
    gHostAnnounced = false;
    gPendingHighSurrogate = 0;
}

int32_t MapVirtualKeyCode(int32_t vk)
{
    switch (vk)
    {
    case 38:
        return -128;
    case 40:
        return -127;
    case 37:
        return -126;
    case 39:
        return -125;
    case 45:
        return -124;
    case 33:
        return -123;
    case 34:
        return -122;
    case 46:
        return -1;
    case 106:
        return 42;
    case 107:
    case 187:
        return 43;
    case 108:
        return 10;
    case 109:
    case 189:
        return 45;
    case 110:
    case 190:
        return 46;
    case 111:
    case 191:
        return 47;
    case 186:
        return 59;
    case 188:
        return 44;
    case 192:
        return 96;
    case 219:
        return 91;
    case 220:
        return 92;
    case 221:
        return 93;
    case 222:
        return 39;
    default:
        break;
    }
    if (vk >= 96 && vk <= 105)
        return vk - 96 + 48;
    return vk;
}

namespace
{

// The activation-click filter and the window manager's input block; true drops the message.
bool FilterButton(TApplicationImpl& impl, bool buttonUp)
{
    TWindowManagerSeam* manager = impl.mManagers.mWindowManager.get();
    bool exempt = manager && manager->IsFilterExempt();
    bool dropped = false;
    if (impl.mPump.mActivationClick && !exempt &&
        GetPlatformTime() - impl.mPump.mActivationTime < kActivationFilterMs)
        dropped = true;
    if (buttonUp)
        impl.mPump.mActivationClick = false;
    if (manager && manager->IsInputBlocked())
        dropped = true;
    return dropped;
}

void ToggleFullScreen(const TApplicationImpl& impl, TPlatformEvent* event)
{
    TDisplaySeam& display = GetDisplay();
    if (!impl.mCommandLine.mHostPage)
        display.SetFullScreen(!display.IsFullScreen());
    else if (TApplication* application = TApplication::Get())
        application->SetFullscreen(!GetHostPageFullScreen());
    SetEvent(event, kEventFullScreenToggled, display.IsFullScreen() ? 1 : 0);
}

void FullScreenUpkeep(TApplicationImpl& impl)
{
    if (impl.mPump.mInactiveFullScreen)
    {
        sys::SleepMs(kInactiveFullScreenSleepMs);
        return;
    }
    // Every window here stays above the desktop while it has focus; keeping the focus and the
    // desktop's top-left corner is what remains of the upkeep. A window that has the focus is the
    // active one already: asking the window server again on every idle turn cost round trips and
    // woke the loop with their answers.
    if (!sys::IsForegroundWindow(impl.mMainWindow))
    {
        if (!sys::SetForegroundWindow(impl.mMainWindow))
            Log("Error using BringWindowToTop: %x", 0u);
        sys::SetActiveWindow(impl.mMainWindow);
    }
    int x = 0;
    int y = 0;
    if (sys::GetWindowPosition(impl.mMainWindow, x, y) && (x != 0 || y != 0))
        sys::ShowWindow(impl.mMainWindow, sys::SW_SHOWNORMAL);
}

void TranslateKeyDown(const sys::Message& msg, TPlatformEvent* event)
{
    int32_t mods = KeyModifiers(msg.lParam);
    int32_t vk = static_cast<int32_t>(msg.wParam);
    // Insert is only Shift+Insert (paste); alone or with Control it is nothing.
    if (vk == sys::VK_INSERT && (mods & ~kModifierExtended) != kModifierShift)
    {
        SetEvent(event, kEventNothing);
        return;
    }
    SetEvent(event, kEventKeyDown, MapVirtualKeyCode(vk), 0, 0, mods);
}

void TranslateWideChar(uint32_t unit, TPlatformEvent* event)
{
    if (unit >= 0xD800 && unit <= 0xDBFF)
    {
        gPendingHighSurrogate = unit;
        SetEvent(event, kEventNothing);
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF)
    {
        if (gPendingHighSurrogate == 0)
        {
            SetEvent(event, kEventNothing);
            return;
        }
        uint32_t cp = 0x10000 + ((gPendingHighSurrogate - 0xD800) << 10) + (unit - 0xDC00);
        gPendingHighSurrogate = 0;
        SetEvent(event, kEventWideChar, static_cast<int32_t>(cp));
        return;
    }
    // A high surrogate left without its low half pairs with nothing later.
    gPendingHighSurrogate = 0;
    SetEvent(event, kEventWideChar, static_cast<int32_t>(unit));
}

void TranslateMessage(TApplicationImpl& impl, const sys::Message& msg, TPlatformEvent* event)
{
    int x = 0;
    int y = 0;
    GetDisplay().GetDrawnMousePosition(x, y);
    sys::WindowHandle main = impl.mMainWindow;
    switch (msg.message)
    {
    case sys::WM_LBUTTONDOWN:
        if (FilterButton(impl, false))
            break;
        if (impl.mHost.mHosted)
            sys::SetFocus(main);
        sys::SetCapture(main);
        SetEvent(event, kEventLeftDown, 0, x, y, MouseModifiers(msg.wParam));
        return;
    case sys::WM_LBUTTONUP:
        if (FilterButton(impl, true))
            break;
        sys::ReleaseCapture();
        SetEvent(event, kEventLeftUp, 0, x, y);
        return;
    case sys::WM_RBUTTONDOWN:
    case sys::WM_MBUTTONDOWN:
        if (FilterButton(impl, false))
            break;
        if (impl.mHost.mHosted)
            sys::SetFocus(main);
        sys::SetCapture(main);
        SetEvent(event, kEventButton,
                 msg.message == sys::WM_RBUTTONDOWN ? kButtonRightDown : kButtonMiddleDown, x, y,
                 MouseModifiers(msg.wParam));
        return;
    case sys::WM_RBUTTONUP:
    case sys::WM_MBUTTONUP:
        if (FilterButton(impl, true))
            break;
        sys::ReleaseCapture();
        SetEvent(event, kEventButton,
                 msg.message == sys::WM_RBUTTONUP ? kButtonRightUp : kButtonMiddleUp, x, y);
        return;
    case sys::WM_MOUSEWHEEL:
    {
        if (FilterButton(impl, false))
            break;
        auto delta = static_cast<int16_t>((msg.wParam >> 16) & 0xFFFF);
        SetEvent(event, kEventButton, delta > 0 ? kButtonWheelAway : kButtonWheelToward, x, y,
                 MouseModifiers(msg.wParam));
        return;
    }
    case sys::WM_XBUTTONDOWN:
        if (FilterButton(impl, false))
            break;
        if (impl.mHost.mHosted)
            sys::SetFocus(main);
        sys::SetCapture(main);
        if (msg.wParam & sys::MK_XBUTTON1)
            SetEvent(event, kEventButton, kButtonExtra1Down, x, y, MouseModifiers(msg.wParam));
        else if (msg.wParam & sys::MK_XBUTTON2)
            SetEvent(event, kEventButton, kButtonExtra2Down, x, y, MouseModifiers(msg.wParam));
        else
            break;
        return;
    case sys::WM_MOUSEMOVE:
        SetEvent(event, kEventMouseMove, 0, x, y);
        if (!impl.mPump.mHoverTracking)
        {
            sys::TrackMouseEvent(main, sys::TME_HOVER);
            impl.mPump.mHoverTracking = true;
        }
        if (!impl.mPump.mLeaveTracking)
            impl.mPump.mLeaveTracking = sys::TrackMouseEvent(main, sys::TME_LEAVE);
        return;
    case sys::WM_MOUSEHOVER:
        sys::TrackMouseEvent(main, sys::TME_HOVER);
        impl.mPump.mHoverTracking = true;
        SetEvent(event, kEventHover, 0, x, y);
        return;
    case sys::WM_CAPTURECHANGED:
        if (static_cast<sys::WindowHandle>(msg.lParam) == main)
            break;
        SetEvent(event, kEventMouseLost);
        return;
    case sys::WM_PAINT:
        SetEvent(event, kEventRepaint);
        impl.mPump.mHoverTracking = false;
        return;
    case sys::WM_QUIT:
        SetEvent(event, kEventQuit);
        return;
    case sys::WM_KEYDOWN:
        TranslateKeyDown(msg, event);
        return;
    case sys::WM_KEYUP:
        // Key-ups carry the same modifier bits as key-downs, so a consumer may rely on them.
        SetEvent(event, kEventKeyUp, MapVirtualKeyCode(static_cast<int32_t>(msg.wParam)), 0, 0,
                 KeyModifiers(msg.lParam));
        return;
    case sys::WM_CHAR:
        if (impl.mUtf8)
            TranslateWideChar(static_cast<uint32_t>(msg.wParam), event);
        else
            SetEvent(event, kEventChar, static_cast<int32_t>(msg.wParam & 0xFF));
        return;
    case sys::WM_SYSKEYDOWN:
    {
        if (!(msg.lParam & sys::kKeyAltBit))
        {
            TranslateKeyDown(msg, event);
            return;
        }
        int32_t vk = static_cast<int32_t>(msg.wParam);
        if (vk == sys::VK_RETURN)
        {
            if (impl.mHost.mHosted && !impl.mCommandLine.mHostPage)
                break;
            ToggleFullScreen(impl, event);
            return;
        }
        if (vk == sys::VK_F1)
        {
            GetDisplay().ToggleStatsOverlay();
            break;
        }
        int32_t mods = kModifierAlt | KeyModifiers(msg.lParam);
        SetEvent(event, kEventKeyDown, vk, 0, 0, mods);
        return;
    }
    default:
        break;
    }
    // Consumed without an event. Always written, so that the caller never handles its previous
    // event a second time.
    SetEvent(event, kEventNothing);
}

} // namespace

void TApplicationImpl::NextEvent(TPlatformEvent* event)
{
    SetEvent(event, kEventNothing);
    TDisplaySeam& display = GetDisplay();
    THostServicesSeam& host = GetHostServices();

    if ((host.IsZylomHost() || mCommandLine.mHostPage) && mHost.mExternalWindowParent != 0 &&
        !sys::IsWindow(mHost.mExternalWindowParent))
    {
        SetEvent(event, kEventQuit);
        return;
    }

    if (!gHostAnnounced)
    {
        host.SetStateInt("loadbroadcast", 0);
        sys::SleepMs(kHostAnnouncementMs);
        host.SetStateInt("sessionready", 0);
        gHostAnnounced = true;
    }

    // A close request taken while the host holds the game (the player's, or the system's request
    // to end, which the queue turns into one) ends the hold: the game ends as it does outside one.
    while (!mPump.mCloseRequested && host.QueryHostPause())
    {
        sys::SleepMs(1);
        sys::Message msg;
        if (sys::PeekMessage(msg))
        {
            if (msg.message == sys::WM_QUIT)
            {
                SetEvent(event, kEventQuit);
                return;
            }
            sys::TranslateMessage(msg);
            sys::DispatchMessage(msg);
        }
    }

    if (mPump.mActivationChanged)
    {
        mPump.mActivationChanged = false;
        if (!mPump.mWindowActive)
            display.ResetWorkingCount();
        SetEvent(event, kEventActivation, mPump.mWindowActive ? 1 : 0);
        return;
    }

    // Without a display there is no device to lose: the device checks and restores are skipped.
    bool haveDisplay = display.Exists();
    if (haveDisplay && !display.CheckDevice())
    {
        sys::Message msg;
        if (sys::PeekMessage(msg, sys::WM_QUIT, sys::WM_QUIT))
        {
            SetEvent(event, kEventQuit);
            return;
        }
    }
    // A restore that cannot finish yet (the window back from the taskbar before the focus is, the
    // display taken by another program) may wait on what only the messages tell: the poll then
    // reads them as any other does, so a close, a key and the focus that lets the next try finish
    // come through, and the frame loop ticks on while nothing is drawn. Only a hosted display's
    // hold-off, which time alone ends, is retried at once: a hosted start reads its host's commands
    // once its first display is made, as the host expects.
    if (!mPump.mInactiveFullScreen && mPump.mWindowActive && !mPump.mActivationChanged &&
        haveDisplay && !display.CheckDevice())
    {
        display.Restore();
        if (display.CheckDevice() || display.IsRestoreHeldOff())
        {
            SetEvent(event, kEventNothing);
            return;
        }
    }

    if (mPump.mDisplayModeSet)
    {
        mPump.mDisplayModeSet = false;
        SetEvent(event, kEventDisplayModeSet);
        return;
    }
    if (mPump.mRepaintRequested)
    {
        mPump.mRepaintRequested = false;
        SetEvent(event, kEventRepaint);
        if (haveDisplay && !display.CheckDevice() && !mPump.mInactiveFullScreen)
            display.Restore();
        return;
    }
    if (mPump.mApplicationActivationChanged)
    {
        mPump.mApplicationActivationChanged = false;
        SetEvent(event, kEventActivation, mPump.mApplicationActive ? 1 : 0);
        return;
    }
    if (mPump.mCloseRequested)
    {
        mPump.mCloseRequested = false;
        if (mManagers.mWindowManager && mManagers.mWindowManager->HasScript())
            mManagers.mWindowManager->StopMovieLocked();
        SetEvent(event, kEventClose);
        return;
    }
    if (mPump.mMouseLeft)
    {
        mPump.mMouseLeft = false;
        int x = 0;
        int y = 0;
        display.GetDrawnMousePosition(x, y);
        SetEvent(event, kEventMouseLost, 0, x, y);
        return;
    }

    sys::Message msg;
    if (!sys::PeekMessage(msg))
    {
        if (display.IsFullScreen() && mPump.mWindowActive && !mPump.mActivationChanged)
            FullScreenUpkeep(*this);
        if (mManagers.mSoundManager)
            mManagers.mSoundManager->DispatchNotifications();
        ReportFailedOpens();
        mManagers.mIdleTasks.Run(kTaskPassTime);
        SetEvent(event, kEventTick);
        // Until the next frame is due nothing but input has work: polling the display server
        // meanwhile cost more than the frames.
        const TWindowManagerSeam* manager = mManagers.mWindowManager.get();
        sys::WaitForInput(manager != nullptr ? std::max(1u, manager->GetMsUntilNextFrame()) : 1);
        return;
    }

    ::TranslateMessage(*this, msg, event);
    // Hosted, the right button belongs to the host page's own menu.
    bool rightButton = msg.message == sys::WM_RBUTTONDOWN || msg.message == sys::WM_RBUTTONUP;
    if (mHost.mHosted && rightButton && msg.window == mMainWindow)
        return;
    sys::TranslateMessage(msg);
    sys::DispatchMessage(msg);
}
