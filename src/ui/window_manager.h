// TWindowManager: the one object through which platform events reach the window tree and frames
// are drawn: the modal stack, overlays, mouse capture, focus, the message queue with its
// listeners, deferred deletion and frame pacing. It is the platform's window-manager seam.
#pragma once

#include "platform/seams/window_manager_seam.h"
#include "ui/modal_window.h"

#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <vector>

class TModalWindow;
class TTexture;
class TWindowScript;

// Asked by OnMouseHover: true when it took the hover.
class TWindowHoverHandler
{
public:
    virtual ~TWindowHoverHandler() = default;
    virtual bool OnHover(TWindow* window, TPoint point) = 0;
};

class TWindowManager : public TWindowManagerSeam
{
public:
    // Two presses this close in time (and a few points apart) are one double click: the desktop's
    // usual time.
    static constexpr uint32_t kDoubleClickMs = 400;

    // The newest manager is the one GetWindowManager answers.
    TWindowManager();
    ~TWindowManager() override;
    TWindowManager(const TWindowManager&) = delete;
    TWindowManager& operator=(const TWindowManager&) = delete;

    // The platform seam.
    void SetDirty() override { mDirty = true; }
    bool HasRoot() const override { return mRoot != nullptr; }
    // Makes the one TScreen at this size and sets it as the root.
    void CreateRoot(int width, int height) override;
    bool IsFilterExempt() const override { return mFilterExempt; }
    bool IsInputBlocked() const override { return mInputBlocked; }
    bool IsDrawingSuspended() const override { return mDrawingSuspended; }
    uint32_t GetMsUntilNextFrame() const override;
    // The root window's rectangle; all 0 without a root.
    void GetRootRect(int& left, int& top, int& right, int& bottom) const override;
    // Builds the window script and installs it.
    void CreateScript() override;
    bool HasScript() const override { return mScript != nullptr; }
    void StopMovieLocked() override;
    // Answers the previous value.
    bool SetScriptTextFlag(bool flag) override;

    // Owned from here on; it also joins the application's idle tasks.
    void SetScript(TWindowScript* script);
    TWindowScript* GetScript() const { return mScript; }
    void RegisterWindowType(const TString& name, TWindow* (*creator)());
    // Runs the text with the window as the script's current window.
    void RunScriptInWindow(TWindow* window, const TString& text);

    void HandleEvent(const TPlatformEvent& event);

    void SetRoot(TModalWindow* window);
    TWindow* GetRoot() const { return mRoot; }
    void PushModal(TModalWindow* window);
    // Does nothing on an empty stack.
    void PopModal();
    // Pops down to and including the modal whose name or id text is the text.
    void DoPopModal(const TString& nameOrId);
    TModalWindow* GetTopModal() const { return mModals.empty() ? nullptr : mModals.front(); }
    const std::list<TModalWindow*>& GetModals() const { return mModals; }

    // The manager owns the message from here on.
    void PostMessage(TMessage* message);
    void DispatchMessages();
    void DeliverMessage(TMessage* message);
    // Hands an untaken message to the window script; without one it is deleted.
    void SendToScript(TMessage* message);
    size_t GetQueuedCount() const { return mQueue.size(); }
    // Owned from here on.
    void AddMessageListener(TMessageListener* listener);
    // Not deleted; true when it was there.
    bool RemoveMessageListener(TMessageListener* listener);

    void SetCapture(TWindow* window);
    void ReleaseCapture(TWindow* window);
    const std::vector<TWindow*>& GetCaptures() const { return mCaptures; }
    // A left press was taken and its release has not come: half a click.
    bool IsPressOpen() const { return mPressOpen; }
    // Owned from here on.
    void AddOverlayWindow(TWindow* window);
    void SetFocus(TWindow* window);
    TWindow* GetFocus() const { return mFocus; }
    TWindow* GetHover() const { return mHover; }

    // Deleted at the next event.
    void ScheduleDelete(TWindow* window);
    void ProcessDeletions();
    // Called by every window's destructor.
    void WindowGone(TWindow* window);

    void SetTopModalOnly(bool value) { mTopModalOnly = value; }
    void SetDrawingSuspended(bool value) { mDrawingSuspended = value; }
    void SetOutlineHover(bool value) { mOutlineHover = value; }
    // When set, frames draw the windows of render pass 1 into this texture first.
    void SetRenderTarget(const std::shared_ptr<TTexture>& target) { mRenderTarget = target; }
    const std::shared_ptr<TTexture>& GetRenderTarget() const { return mRenderTarget; }
    void SetHoverHandler(TWindowHoverHandler* handler) { mHoverHandler = handler; }
    TWindowHoverHandler* GetHoverHandler() const { return mHoverHandler; }
    void SetFilterExempt(bool value) { mFilterExempt = value; }
    // While set, right-button presses and releases reach no window (a film that takes input).
    void SetRightButtonSwallowed(bool value) { mRightButtonSwallowed = value; }
    bool IsRightButtonSwallowed() const { return mRightButtonSwallowed; }
    void SetInputBlocked(bool value) { mInputBlocked = value; }
    bool IsDirty() const { return mDirty; }
    uint32_t GetLastFrameTime() const { return mLastFrameTime; }

    // Draws a frame when the tree is dirty and the pacing allows, and no modal popped in this event
    // waits for its end to be announced; only HandleEvent calls it.
    void DrawFrame();
    // The modal windows from the top covering one up (only the top one in pass 2 or while
    // topModalOnly is set).
    void RenderModals(int pass);

private:
    // A click belongs to the screen it was pressed on: false for a left press that comes within a
    // double click of the last press taken (in time and place) while the top modal changed since
    // it, and for the release of a press not taken or taken while another modal was on top.
    bool TakesClick(const TPlatformEvent& event);
    void RouteMouse(const TPlatformEvent& event, TModalWindow* top);
    void SendMouseLeaveToCaptures(TModalWindow* top);
    bool IsCaptured(const TWindow* window) const;
    // The renderer's part of a frame: false, leaving the manager dirty, when no frame could start.
    bool PaintFrame();
    void DeleteScript();
    // The time between two frames: longer while the application is inactive, or while the
    // picture stands still and the player has not acted since the last frame.
    uint32_t FrameInterval() const;

    std::shared_ptr<TTexture> mRenderTarget;
    TModalWindow* mRoot = nullptr;
    bool mModalsChanged = false;
    // A modal was popped and waits for its deletion, which announces its end (kModalClosed) to
    // whoever opened it: no frame until then, or the modal below would show before the opener
    // has opened what comes next.
    bool mPopUnannounced = false;
    // A modal was popped and waits for its deletion, after which what it freed is handed back.
    bool mScreenClosing = false;
    uint32_t mLastFrameTime = 0;
    // The player acted (or the window must be painted) since the last frame was drawn: the next
    // is not held back.
    bool mInputSinceFrame = false;
    // Front = top.
    std::list<TModalWindow*> mModals;
    // Counts the changes of the top modal (a push, a pop): what TakesClick compares.
    uint32_t mTopChanges = 0;
    uint32_t mPressTopChanges = 0;
    uint32_t mLastPressTime = 0;
    TPoint mLastPress;
    bool mPressed = false;
    bool mPressRefused = false;
    // A press was taken and its release has not come.
    bool mPressOpen = false;
    std::vector<TWindow*> mPendingDelete;
    std::vector<TWindow*> mOverlays;
    bool mDrawingSuspended = false;
    bool mTopModalOnly = false;
    bool mDirty = true;
    bool mOutlineHover = false;
    bool mCaptureChanged = false;
    TWindow* mHover = nullptr;
    std::vector<TWindow*> mCaptures;
    TWindow* mFocus = nullptr;
    std::deque<TMessage*> mQueue;
    std::vector<TMessageListener*> mListeners;
    TWindowHoverHandler* mHoverHandler = nullptr;
    TWindowScript* mScript = nullptr;
    // Read by the event pump: the activation-click filter and the input block.
    bool mFilterExempt = false;
    bool mRightButtonSwallowed = false;
    bool mInputBlocked = false;
};

// The application's window manager (the one made through the platform seam), or null.
TWindowManager* GetWindowManager();
// The factory the program's entry installs in the platform seam.
std::unique_ptr<TWindowManagerSeam> CreateWindowManager();
