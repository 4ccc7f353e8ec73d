// TWindowManager: event routing (capture, overlays, the top modal), the modal stack, the message
// queue and its listeners, deferred deletion and the frame's pacing.
#include "ui/window_manager.h"

#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/seams/display_seam.h"
#include "render/text/text_layout.h"
#include "render/text/vector_rasteriser.h"
#include "script/lua_bind.h"
#include "script/window_script_seam.h"
#include "sys/process/memory.h"
#include "sys/window/window.h"
#include "ui/modal_window.h"
#include "ui/window_script.h"

#include <algorithm>
#include <cstdlib>

namespace
{
TWindowManager* gWindowManager = nullptr;

constexpr uint32_t kFrameIntervalMs = 12;
constexpr uint32_t kInactiveFrameIntervalMs = 200;
// A picture the window kept showing this many frames in a row stands still: until it moves again
// or the player acts, frames come this far apart, and once it has stood still for about a second
// as far apart as an inactive window's. What starts to move by itself is seen that much later at
// most; a frame after input comes at the usual pace.
constexpr uint32_t kStillFrames = 8;
constexpr uint32_t kStillFrameIntervalMs = 50;
constexpr uint32_t kLongStillFrames = kStillFrames + 16;
// Two presses a double click's time apart and this close are one double click (a few points more
// than the desktop's usual square, for a hand that shakes).
constexpr int32_t kDoubleClickPoints = 6;

// Events after which the next frame is not held back by a still picture: the player's, and the
// window server's request to paint what it lost.
bool BringsAFrameForward(int32_t type)
{
    switch (type)
    {
    case kEventRepaint:
    case kEventLeftDown:
    case kEventButton:
    case kEventLeftUp:
    case kEventMouseMove:
    case kEventKeyDown:
    case kEventKeyUp:
    case kEventChar:
    case kEventWideChar:
        return true;
    default:
        return false;
    }
}

bool IsPress(const TPlatformEvent& event)
{
    return event.mType == kEventLeftDown ||
           (event.mType == kEventButton && event.mParam == kButtonRightDown);
}

int GetMouseMode()
{
    TApplication* app = TApplication::Get();
    return app != nullptr ? app->GetMouseMode() : 0;
}

bool Contains(const TRect& r, int32_t x, int32_t y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool IsInSubtree(const TWindow* window, const TWindow* root)
{
    for (const TWindow* w = window; w != nullptr; w = w->GetParent())
    {
        if (w == root)
            return true;
    }
    return false;
}

} // namespace

TWindowManager* GetWindowManager()
{
    return gWindowManager;
}

std::unique_ptr<TWindowManagerSeam> CreateWindowManager()
{
    return std::make_unique<TWindowManager>();
}

TWindowManager::TWindowManager()
{
    gWindowManager = this;
}

TWindowManager::~TWindowManager()
{
    for (TMessageListener* listener : mListeners)
        delete listener;
    mListeners.clear();
    mCaptures.clear();
    // Queued script messages hold values of the script's state: they go before the script.
    for (TMessage* message : mQueue)
        delete message;
    mQueue.clear();
    while (!mModals.empty())
        PopModal();
    ProcessDeletions();
    for (TWindow* overlay : mOverlays)
        delete overlay;
    mOverlays.clear();
    for (TMessage* message : mQueue)
        delete message;
    mQueue.clear();
    mRenderTarget.reset();
    // Windows may hold script values, so the script is the last to go.
    DeleteScript();
    if (gWindowManager == this)
        gWindowManager = nullptr;
}

void TWindowManager::CreateRoot(int width, int height)
{
    auto* screen = new TScreen();
    screen->SetSize(width, height);
    SetRoot(screen);
}

void TWindowManager::SetRoot(TModalWindow* window)
{
    mRoot = window;
    PushModal(window);
    // Before the display exists the viewport is empty; the size given at creation stands then.
    int width = 0;
    int height = 0;
    GetDisplay().GetViewport(width, height);
    if (width > 0 && height > 0)
        window->SetSize(width, height);
    window->OnAttach();
}

void TWindowManager::HandleEvent(const TPlatformEvent& event)
{
    if (event.mType == kEventNothing)
        return;
    if (event.mType == kEventDisplayModeSet)
        mRenderTarget.reset();
    if (event.mType == kEventClose && mScript != nullptr && mScript->IsYielded())
        mScript->Resume(0);
    if (BringsAFrameForward(event.mType))
        mInputSinceFrame = true;
    ProcessDeletions();
    TModalWindow* top = GetTopModal();
    if (top == nullptr)
        return;
    if (mRightButtonSwallowed && event.mType == kEventButton &&
        (event.mParam == kButtonRightDown || event.mParam == kButtonRightUp))
        return;
    switch (event.mType)
    {
    case kEventTick:
        top->RunTasks(kTaskPassTime);
        DispatchMessages();
        DrawFrame();
        DispatchMessages();
        break;
    case kEventRepaint:
        SetDirty();
        DispatchMessages();
        DrawFrame();
        DispatchMessages();
        break;
    case kEventActivation:
        break;
    case kEventMouseLost:
        if (!mCaptures.empty())
            SendMouseLeaveToCaptures(top);
        DispatchMessages();
        break;
    case kEventLeftDown:
    case kEventButton:
    case kEventLeftUp:
    case kEventMouseMove:
    case kEventHover:
        if (TakesClick(event))
            RouteMouse(event, top);
        break;
    case kEventKeyDown:
    case kEventKeyUp:
    case kEventChar:
    case kEventWideChar:
        (mFocus != nullptr ? mFocus : top)->HandleEvent(event, false);
        DispatchMessages();
        break;
    default:
        DispatchMessages();
        top->HandleEvent(event, false);
        break;
    }
}

bool TWindowManager::TakesClick(const TPlatformEvent& event)
{
    // The screen a click opened (or uncovered) would otherwise take the double click's second
    // press: a button under it would act unasked, as "Quit" under "Back" did.
    if (event.mType == kEventLeftDown)
    {
        // Measured from the last press taken: a refused press starts no double click of its
        // own, or presses a little quicker than the double-click time, each refused as the second
        // of the one before, would never reach a screen again (a title clicked through stayed).
        const uint32_t now = GetTimer();
        const bool again = mPressed && now - mLastPressTime < kDoubleClickMs &&
                           std::abs(event.mX - mLastPress.x) <= kDoubleClickPoints &&
                           std::abs(event.mY - mLastPress.y) <= kDoubleClickPoints;
        mPressRefused = again && mTopChanges != mPressTopChanges;
        mPressOpen = !mPressRefused;
        if (mPressOpen)
        {
            mPressed = true;
            mLastPressTime = now;
            mLastPress = TPoint{event.mX, event.mY};
            mPressTopChanges = mTopChanges;
        }
        return mPressOpen;
    }
    if (event.mType == kEventLeftUp)
    {
        const bool refused = mPressRefused || (mPressOpen && mTopChanges != mPressTopChanges);
        mPressRefused = false;
        mPressOpen = false;
        return !refused;
    }
    return true;
}

bool TWindowManager::IsCaptured(const TWindow* window) const
{
    return std::find(mCaptures.begin(), mCaptures.end(), window) != mCaptures.end();
}

void TWindowManager::SendMouseLeaveToCaptures(TModalWindow* top)
{
    mCaptureChanged = false;
    // The walk runs over a copy: handlers may capture or release while it runs.
    std::vector<TWindow*> walk = mCaptures;
    for (size_t i = 0; i < walk.size(); ++i)
    {
        walk[i]->OnMouseLeave();
        if (GetTopModal() != top)
            return;
        if (mCaptureChanged && i + 1 < walk.size() && !IsCaptured(walk[i + 1]))
            return;
    }
}

void TWindowManager::RouteMouse(const TPlatformEvent& event, TModalWindow* top)
{
    if (!mCaptures.empty())
    {
        mCaptureChanged = false;
        bool delivered = false;
        std::vector<TWindow*> walk = mCaptures;
        for (size_t i = 0; i < walk.size(); ++i)
        {
            TWindow* w = walk[i];
            if (!Contains(w->GetScreenRect(), event.mX, event.mY) && GetMouseMode() == 0)
            {
                w->OnMouseLeave();
                if (!IsCaptured(w))
                    continue;
            }
            TPlatformEvent copy = event;
            if (!(event.mType == kEventMouseMove && GetMouseMode() == 1))
            {
                TPoint p{event.mX, event.mY};
                w->ScreenToClient(p);
                copy.mX = p.x;
                copy.mY = p.y;
            }
            delivered = true;
            w->HandleEvent(copy, false);
            if (GetTopModal() != top)
                break;
            if (mCaptureChanged && i + 1 < walk.size() && !IsCaptured(walk[i + 1]))
                break;
        }
        DispatchMessages();
        // A press away from every window that held the pointer (it came with no move that let
        // them go first) belongs to the window under its own point, not to the one hovered.
        if (delivered || !IsPress(event) || GetTopModal() != top || !mCaptures.empty())
            return;
    }
    if (event.mType == kEventMouseMove && GetMouseMode() == 1)
        return;
    bool overlayMouse = IsEnabled("overlaymouse");
    if (overlayMouse)
    {
        for (size_t i = 0; i < mOverlays.size(); ++i)
        {
            TWindow* overlay = mOverlays[i];
            TPoint p{event.mX, event.mY};
            overlay->ScreenToClient(p);
            TWindow* hit = overlay->HitTest(p, UINT32_MAX);
            if (hit == nullptr)
                continue;
            TPlatformEvent copy = event;
            TPoint local{event.mX, event.mY};
            hit->ScreenToClient(local);
            copy.mX = local.x;
            copy.mY = local.y;
            if (hit->HandleEvent(copy, false))
            {
                mHover = hit;
                if (mOutlineHover)
                    SetDirty();
                DispatchMessages();
                return;
            }
        }
    }
    TPoint p{event.mX, event.mY};
    top->ScreenToClient(p);
    TWindow* hit = top->HitTest(p, UINT32_MAX);
    mHover = hit;
    if (mOutlineHover)
        SetDirty();
    TPlatformEvent copy = event;
    TPoint local{event.mX, event.mY};
    hit->ScreenToClient(local);
    copy.mX = local.x;
    copy.mY = local.y;
    if (hit->HandleEvent(copy, false))
    {
        DispatchMessages();
        return;
    }
    // Without overlay routing the modal already posted this while the event bubbled.
    if (overlayMouse && event.mType == kEventLeftUp)
        PostMessage(new TMessage(kPressAnyKey, "mouse:up"));
    DispatchMessages();
}

void TWindowManager::PushModal(TModalWindow* window)
{
    mHover = nullptr;
    if (!mCaptures.empty())
    {
        std::vector<TWindow*> released;
        released.swap(mCaptures);
        for (TWindow* w : released)
            w->OnMouseLeave();
    }
    TModalWindow* oldTop = GetTopModal();
    mModals.push_front(window);
    ++mTopChanges;
    if (oldTop != nullptr)
    {
        oldTop->AddChild(window, false);
        oldTop->GetClock().Pause();
    }
    SetFocus(window);
    if (mScript != nullptr)
        mScript->ResetWindowStack(window);
    window->OnAttach();
    if (window->GetWidth() == 0 && window->GetParent() != nullptr)
        window->SetSize(window->GetParent()->GetWidth(), window->GetParent()->GetHeight());
    SetDirty();
}

void TWindowManager::PopModal()
{
    if (mModals.empty())
        return;
    TModalWindow* popped = mModals.front();
    if (TWindow* parent = popped->GetParent())
        parent->RemoveChild(popped);
    ScheduleDelete(popped);
    mModals.pop_front();
    ++mTopChanges;
    popped->ClearTasks();
    if (TModalWindow* top = GetTopModal())
    {
        if (mScript != nullptr)
            mScript->ResetWindowStack(top);
        SetFocus(top);
    }
    else if (mScript != nullptr)
    {
        mScript->ResetWindowStack(nullptr);
    }
    TModalPoppedSpider spider;
    popped->VisitChildren(spider, false);
    SetDirty();
    mModalsChanged = true;
    mPopUnannounced = true;
    mScreenClosing = true;
}

void TWindowManager::DoPopModal(const TString& nameOrId)
{
    mHover = nullptr;
    auto matches = [&](const TWindow* w)
    { return w->GetName() == nameOrId || w->GetIdString() == nameOrId; };
    bool found = false;
    for (TWindow* w = GetTopModal(); w != nullptr && !found; w = w->GetParent())
        found = matches(w);
    if (found)
    {
        while (!mModals.empty())
        {
            TModalWindow* popped = mModals.front();
            PopModal();
            if (matches(popped))
                break;
        }
    }
    if (TModalWindow* top = GetTopModal())
        top->GetClock().Start();
}

void TWindowManager::PostMessage(TMessage* message)
{
    mQueue.push_back(message);
}

void TWindowManager::DispatchMessages()
{
    while (!mQueue.empty())
    {
        TMessage* message = mQueue.front();
        mQueue.pop_front();
        DeliverMessage(message);
    }
}

void TWindowManager::DeliverMessage(TMessage* message)
{
    if (message->mType == kQuitNow)
    {
        delete message;
        if (TApplication* app = TApplication::Get())
            app->PostQuit(0);
        return;
    }
    TWindow* target = message->mTarget;
    if (target == nullptr)
    {
        // Listeners see the message a posted script value holds.
        TMessage* shown = message;
        if (message->IsKindOf(TLuaMessageWrapper::GetClassId()))
            shown = static_cast<TLuaMessageWrapper*>(message)->GetHeld();
        for (size_t i = 0; i < mListeners.size(); ++i)
        {
            if (mListeners[i]->OnMessage(shown))
            {
                delete message;
                return;
            }
        }
        target = mFocus != nullptr ? mFocus : GetTopModal();
        if (target == nullptr)
        {
            delete message;
            return;
        }
    }
    target->SendMessage(message);
}

void TWindowManager::SendToScript(TMessage* message)
{
    if (mScript == nullptr)
    {
        delete message;
        return;
    }
    mScript->HandleMessage(message, nullptr);
}

void TWindowManager::CreateScript()
{
    SetScript(new TWindowScript());
}

void TWindowManager::SetScript(TWindowScript* script)
{
    if (script == mScript)
        return;
    DeleteScript();
    mScript = script;
    if (script == nullptr)
        return;
    script->SetTextFlag(mScriptTextFlag);
    if (TWindowCreator creator = GetCrossSellCreator())
        RegisterWindowType("XSellWindow", creator);
    if (TModalWindow* top = GetTopModal())
        script->PushWindow(top);
    LuaBindMember(script->GetState(), "SetTopModalOnly", this, &TWindowManager::SetTopModalOnly);
    if (TApplication* app = TApplication::Get())
        app->AddTask(script);
    SetWindowScriptSource(
        []() -> TScript*
        {
            TWindowManager* manager = GetWindowManager();
            return manager != nullptr ? manager->GetScript() : nullptr;
        });
}

void TWindowManager::DeleteScript()
{
    if (mScript == nullptr)
        return;
    LuaUnbindMember(mScript->GetState(), "SetTopModalOnly", this);
    if (TApplication* app = TApplication::Get())
        app->RemoveTask(mScript);
    delete mScript;
    mScript = nullptr;
}

void TWindowManager::RegisterWindowType(const TString& name, TWindowCreator creator)
{
    if (mScript != nullptr)
        mScript->RegisterCreator(name, creator);
}

void TWindowManager::RunScriptInWindow(TWindow* window, const TString& text)
{
    if (mScript == nullptr)
        return;
    mScript->PushWindow(window);
    mScript->DoLuaString(text);
    mScript->PopWindow();
}

bool TWindowManager::SetScriptTextFlag(bool flag)
{
    bool previous = TWindowManagerSeam::SetScriptTextFlag(flag);
    if (mScript != nullptr)
        return mScript->SetTextFlag(flag);
    return previous;
}

void TWindowManager::StopMovieLocked()
{
    if (mScript != nullptr)
        mScript->StopMovieLocked();
}

void TWindowManager::AddMessageListener(TMessageListener* listener)
{
    mListeners.push_back(listener);
}

bool TWindowManager::RemoveMessageListener(TMessageListener* listener)
{
    auto it = std::find(mListeners.begin(), mListeners.end(), listener);
    if (it == mListeners.end())
        return false;
    mListeners.erase(it);
    return true;
}

void TWindowManager::SetCapture(TWindow* window)
{
    if (!IsCaptured(window))
        mCaptures.push_back(window);
}

void TWindowManager::ReleaseCapture(TWindow* window)
{
    auto it = std::find(mCaptures.begin(), mCaptures.end(), window);
    if (it == mCaptures.end())
        return;
    mCaptures.erase(it);
    mCaptureChanged = true;
}

void TWindowManager::AddOverlayWindow(TWindow* window)
{
    mOverlays.push_back(window);
}

void TWindowManager::SetFocus(TWindow* window)
{
    TWindow* previous = mFocus;
    mFocus = window;
    if (window != nullptr)
        window->OnSetFocus(previous);
}

void TWindowManager::ScheduleDelete(TWindow* window)
{
    // A window handed over twice is still deleted once.
    if (std::find(mPendingDelete.begin(), mPendingDelete.end(), window) == mPendingDelete.end())
        mPendingDelete.push_back(window);
    mHover = nullptr;
    for (TMessage* message : mQueue)
    {
        if (message->mTarget != nullptr && IsInSubtree(message->mTarget, window))
            message->mTarget = nullptr;
    }
    mCaptures.erase(std::remove(mCaptures.begin(), mCaptures.end(), window), mCaptures.end());
}

void TWindowManager::ProcessDeletions()
{
    mPopUnannounced = false;
    if (mPendingDelete.empty())
        return;
    mHover = nullptr;
    std::vector<TWindow*> doomed;
    doomed.swap(mPendingDelete);
    for (TWindow* window : doomed)
        delete window;
    SetDirty();
    // A closed screen may free tens of megabytes of pictures and sounds. Kept by the heap, they
    // sit at places the next screen's blocks do not all fit, and the process holds more pages
    // after each round of screens: the heap's free pages and the text runs the screen drew go
    // back, and the next screen faults in what it needs once.
    if (mScreenClosing)
    {
        mScreenClosing = false;
        if (TQmMiniVecDraw* draw = GetTextRasteriser())
            draw->ReleaseCache();
        sys::GiveBackFreedMemory();
    }
}

void TWindowManager::WindowGone(TWindow* window)
{
    mHover = nullptr;
    if (mScript != nullptr)
        mScript->WindowGone(window);
    if (mFocus == window)
        mFocus = nullptr;
    ReleaseCapture(window);
    if (mRoot == window)
        mRoot = nullptr;
    for (TWindow* w = GetTopModal(); w != nullptr && w->IsKindOf(TModalWindow::GetClassId());
         w = w->GetParent())
    {
        auto* modal = static_cast<TModalWindow*>(w);
        if (modal->GetFocusWindow() == window)
            modal->SetFocusWindow(nullptr);
    }
}

void TWindowManager::DrawFrame()
{
    mModalsChanged = false;
    // A screen closed in this event shows the one below only once its opener has been told (at
    // the next event) and has not opened another in its place: a game going from one screen to
    // the next keeps the last picture of the first until the second draws.
    if (mDrawingSuspended || !mDirty || mPopUnannounced)
        return;
    TApplication* app = TApplication::Get();
    if (app != nullptr && !app->IsPresentDone())
        return;
    uint32_t now = GetTimer();
    if (now - mLastFrameTime < FrameInterval())
        return;
    mLastFrameTime = now;
    mInputSinceFrame = false;
    if (!mModals.empty())
    {
        TModalWindow* bottom = mModals.back();
        TWindowClearFlags clear(~static_cast<uint32_t>(kWindowInRenderTarget), true);
        bottom->SetFlags(bottom->GetFlags() & ~static_cast<uint32_t>(kWindowInRenderTarget));
        bottom->VisitChildren(clear, false);
    }
    TModalWindow* top = GetTopModal();
    if (top == nullptr)
        return;
    if (app != nullptr)
        app->GetTaskList()->Run(kTaskPassDraw);
    top->RunTasks(kTaskPassDraw);
    PaintFrame();
}

uint32_t TWindowManager::FrameInterval() const
{
    TApplication* app = TApplication::Get();
    if (app != nullptr && !app->IsActive() && !app->GetImpl()->mCommandLine.mHostPage &&
        !app->GetImpl()->mKeepFramePacing)
        return kInactiveFrameIntervalMs;
    const uint32_t still = mInputSinceFrame ? 0 : sys::GetUnchangedFrameRun();
    if (still >= kLongStillFrames)
        return kInactiveFrameIntervalMs;
    if (still >= kStillFrames)
        return kStillFrameIntervalMs;
    return kFrameIntervalMs;
}

uint32_t TWindowManager::GetMsUntilNextFrame() const
{
    const uint32_t since = GetTimer() - mLastFrameTime;
    const uint32_t interval = FrameInterval();
    return since < interval ? interval - since : 0;
}

void TWindowManager::GetRootRect(int& left, int& top, int& right, int& bottom) const
{
    TRect rect = mRoot != nullptr ? mRoot->GetRect() : TRect();
    left = rect.left;
    top = rect.top;
    right = rect.right;
    bottom = rect.bottom;
}
