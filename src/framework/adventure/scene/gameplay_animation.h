// GameplayAnimation: a named animation of one scene layer: the frame sequence and the motions its
// table gives, handed to the layer's animated bitmap, the sounds switched when it starts, the
// animations that follow it, and one finished callback per run once every ending part reported.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "framework/transforms/wait_handle.h"
#include "platform/strings/tstring.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class AnimatedBitmap;
class TLuaTable;

class GameplayAnimation
{
public:
    enum State : int32_t
    {
        kIdle = 1,
        kRunning = 2,
        kFinished = 3
    };

    // `id` is the animation's index in the location's list.
    GameplayAnimation(const TLuaTable& table, uint8_t id);
    ~GameplayAnimation();
    GameplayAnimation(const GameplayAnimation&) = delete;
    GameplayAnimation& operator=(const GameplayAnimation&) = delete;

    // Instant: the end state at once, no callback; a run in progress ends then and its finished
    // callback is called. Otherwise a run whose callback comes after its last ending part; an
    // unawaited one is told its end too, but nobody waits for it (and, with no part that ends, it
    // never ends).
    void Start(Callback* finishedCallback, bool instant,
               const std::shared_ptr<AnimatedBitmap>& bitmap, bool awaited = true);
    // One ending part of the current run has finished.
    void OnPartDone(uint32_t argument);
    // A run in progress ends now, as its layer no longer advances it: its end state on the
    // bitmap, its finished callback once.
    void End(const std::shared_ptr<AnimatedBitmap>& bitmap);

    const TString& GetName() const { return mName; }
    const TString& GetLayer() const { return mLayer; }
    uint8_t GetId() const { return mId; }
    bool HasCallback() const { return mCallback; }
    int32_t GetState() const { return mState; }
    // Running with a finished callback: someone waits for its end.
    bool IsAwaited() const { return mState == kRunning && mFinished.IsHeld() && mAwaited; }
    // The current (or just finished) run was waited for.
    bool IsAwaitedRun() const { return mAwaited; }
    const std::vector<TString>& GetNextAnimations() const { return mNextAnimations; }
    const std::vector<TString>& GetActivateSounds() const { return mActivateSounds; }
    const std::vector<TString>& GetDeactivateSounds() const { return mDeactivateSounds; }
    int32_t GetInitialFrame() const { return mInitialFrame; }
    int32_t GetFrameSpeed() const { return mFrameSpeed; }
    const TString& GetFrameMode() const { return mFrameMode; }
    // "framespeed" as the table gives it, before it is made a whole number of milliseconds.
    double GetWrittenFrameSpeed() const { return mWrittenFrameSpeed; }
    static constexpr size_t kMotionCount = 6;
    // A motion's table ("move", "rotate", "alpha", "fade", "path", "scale" in that order), or
    // null when the animation has none.
    const TLuaTable* GetMotion(size_t kind) const { return mMotions[kind].get(); }
    static const char* GetMotionKey(size_t kind);
    size_t GetPartCount() const { return mParts.size(); }
    int32_t GetPartsDone() const { return mPartsDone; }

private:
    // A handle for one ending part of the current run, held by the bitmap's block or frame
    // sequence: told at the part's end, or when the bitmap cuts the part short.
    WaitHandle MakePart();
    static void OnPart(void* object, TM_Transform* target, uint32_t argument);
    bool EndsWithFrames() const;
    // The current run is given up: its parts still held by the bitmap report to nothing.
    void AbandonParts();
    void ApplyEndState(AnimatedBitmap& bitmap);
    // The run's end: the finished state while the caller is told (with this animation's id), then
    // idle.
    void Finish();

    std::vector<TString> mActivateSounds;
    std::vector<TString> mDeactivateSounds;
    TString mName;
    TString mLayer;
    uint8_t mId = 0;
    int32_t mInitialFrame = 0;
    int32_t mFrameSpeed = 0;
    double mWrittenFrameSpeed = 0;
    bool mCrossfade = false;
    TString mFrameMode;
    bool mClearPrevious = false;
    bool mCallback = false;
    int32_t mState = kIdle;
    // Move, rotate, alpha, fade, path, scale: the bitmap's block order.
    std::array<std::unique_ptr<TLuaTable>, kMotionCount> mMotions;
    // The current run's parts; a part's report reaches this animation while it is one of them.
    std::vector<std::shared_ptr<WaitToken>> mParts;
    int32_t mPartsDone = 0;
    std::vector<TString> mNextAnimations;
    // The caller's report of the current run, told with this animation's id.
    WaitHandle mFinished;
    bool mAwaited = false;
    // Parts told while the run is being set up are counted; its end waits for the setup.
    bool mStarting = false;
};
