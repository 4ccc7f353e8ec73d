// WindowManager: the framework's per-frame driver, run from the application's idle list every
// 16 ms: it reads the frame clock, pauses and resumes the game when the application leaves and
// regains the foreground, updates the windows and steps its clients (the transform and audio
// managers) while they are not idle.
#pragma once

#include "framework/core/singleton.h"
#include "platform/shell/task.h"
#include "ui/window.h"

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

class WindowManager : public TAnimTask, public Singleton<WindowManager>
{
public:
    // Message types posted when the game pauses in the background and resumes.
    static constexpr uint32_t kPausedInactiveMessage = 1001;
    static constexpr uint32_t kResumedActiveMessage = 1002;

    WindowManager();
    ~WindowManager() override;

    // Appends a client record; the object is not owned.
    void AddClient(SingletonBase* object, bool idle);
    // Sets the idle flag of the first record of the object; nothing when it has none.
    void SetTaskIdle(SingletonBase* object, bool idle);
    // Whether the object's record is idle (true when it has none).
    bool IsTaskIdle(const SingletonBase* object) const;

    // The per-frame step.
    bool Animate() override;

    // Where the application's foreground state is read; null (the default) asks TApplication,
    // and without an application the game counts as in the foreground.
    using ActiveSource = bool (*)();
    static void SetActiveSource(ActiveSource source);
    // The application's foreground state as the driver reads it.
    static bool IsApplicationActive() { return ReadApplicationActive(); }

    // "GetFocus": false only while the game is paused in the background.
    bool GetFocus() { return mPausedInactive == 0; }
    bool IsPausedInactive() const { return mPausedInactive != 0; }
    // Set after a display restore: the next foreground frame makes the windows' textures again.
    void SetTexturesPending() { mTexturesPending = 1; }
    bool AreTexturesPending() const { return mTexturesPending != 0; }

private:
    struct ClientRecord
    {
        uint8_t mIdle = 0;
        SingletonBase* mObject = nullptr;
    };

    // Sets the pending flag after the display was restored; stays in the restore list.
    class TextureRefreshListener : public TTask
    {
    public:
        explicit TextureRefreshListener(WindowManager* owner) : mOwner(owner) {}
        bool Ready(int) override { return true; }
        bool Run() override
        {
            mOwner->SetTexturesPending();
            return true;
        }

    private:
        WindowManager* mOwner;
    };

    // Steps every window under the top modal, parent before child. A step may run a script
    // that takes windows out of the tree (a screen's close script clears its modal window), so
    // each level is walked over a copy of its child list, skipping children no longer attached;
    // the toolkit deletes windows only later, so the copied pointers stay valid for the walk.
    class WindowUpdate : public TWindowSpider
    {
    public:
        bool Visit(TWindow* window) override;
        void VisitChildrenOf(TWindow* parent);

    private:
        // The copies of every level being walked, one after another.
        std::vector<TWindow*> mPending;
    };
    // Makes the textures of every game window again (GameWindow::Refresh); a failure is
    // reported and leaves the flag set, so the next foreground frame tries again.
    class CreateTextures : public TWindowSpider
    {
    public:
        explicit CreateTextures(WindowManager* owner) : mOwner(owner) {}
        bool Visit(TWindow* window) override;

    private:
        WindowManager* mOwner;
    };

    static bool ReadApplicationActive();
    void PostFrameMessage(uint32_t type);

    std::vector<std::unique_ptr<ClientRecord>> mClients;
    WindowUpdate mWindowUpdate;
    CreateTextures mCreateTextures;
    TextureRefreshListener mRefreshListener;
    uint8_t mTexturesPending = 0;
    uint8_t mPausedInactive = 0;
    uint8_t mApplicationActive = 0;
    bool mRefreshListed = false;
};
