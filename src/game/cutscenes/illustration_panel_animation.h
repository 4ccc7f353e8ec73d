// IllustrationPanelAnimation: a named animation of one cut-scene layer: a frame animation and up
// to six motion blocks handed to the layer's bitmap when it plays, their end notices counted, and
// one done notice per run; also the sound and animation names the panel acts on.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>
#include <vector>

class AnimatedBitmap;
class TLuaTable;

class IllustrationPanelAnimation
{
public:
    enum State : int32_t
    {
        kIdle = 1,
        kPlaying = 2,
        // Only while the done notice runs.
        kReporting = 3
    };

    explicit IllustrationPanelAnimation(const TLuaTable& table);
    ~IllustrationPanelAnimation();
    IllustrationPanelAnimation(const IllustrationPanelAnimation&) = delete;
    IllustrationPanelAnimation& operator=(const IllustrationPanelAnimation&) = delete;

    // Starts a run on the target; `done` (not owned, may be null) is told once when every part
    // started in this run has ended.
    void Play(Callback* done, const std::shared_ptr<AnimatedBitmap>& target);
    // A completion hook of the current run.
    std::shared_ptr<Callback> AddPartHook();
    // One part of the current run has ended.
    void OnPartDone(uint32_t value);

    const TString& GetName() const { return mName; }
    const TString& GetLayer() const { return mLayer; }
    int32_t GetState() const { return mState; }
    bool HasCallback() const { return mCallback; }
    const std::vector<TString>& GetActivateSounds() const { return mActivateSounds; }
    const std::vector<TString>& GetDeactivateSounds() const { return mDeactivateSounds; }
    const std::vector<TString>& GetNextAnimations() const { return mNextAnimations; }
    size_t GetPartCount() const { return mPartHooks.size(); }
    int32_t GetPartsDone() const { return mPartsDone; }

private:
    struct PartHook;
    static void OnPartThunk(void* object, TM_Transform* target, uint32_t value);
    void OnPartDone(uint32_t run, uint32_t value);
    void Complete(uint32_t value);

    TString mName;
    TString mLayer;
    int32_t mState = kIdle;
    int32_t mInitialFrame = 0;
    int32_t mFrameSpeed = 0;
    bool mCrossfade = false;
    TString mFrameMode;
    bool mClearPrevious = false;
    bool mCallback = false;
    // "move", "rotate", "alpha", "fade", "path", "scale", held unread until a run starts.
    std::unique_ptr<TLuaTable> mBlocks[6];
    std::vector<TString> mActivateSounds;
    std::vector<TString> mDeactivateSounds;
    std::vector<TString> mNextAnimations;
    std::vector<std::shared_ptr<PartHook>> mPartHooks;
    int32_t mPartsDone = 0;
    Callback* mDoneCallback = nullptr;
    // Each run's hooks carry its number, so that parts of an earlier run still going when the
    // animation plays again do not count toward the new one.
    uint32_t mRun = 0;
    // Hooks of earlier runs whose bitmap may still call them.
    std::vector<std::shared_ptr<PartHook>> mRetiredHooks;
};
