// ThreeLocksMinigame: the puzzle scene of the minigame type "threelocksscene": once its status
// area is completed, eyes over the locks light one after another to show a sequence, which the
// player repeats by clicking the locks; each right click turns its lock, a wrong one turns the
// sequence's locks back and shows it again. With every sequence entered the script's completion
// event runs. It draws nothing of its own: the locks and eyes are layers of the scene.
#pragma once

#include "game/minigames/puzzles/puzzle_parts.h"
#include "game/minigames/puzzles/puzzle_scene.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class SoundEffect;
class TM_Transform;
class TScript;

class ThreeLocksMinigame : public PuzzleSceneOf<ThreeLocksMinigame>
{
public:
    enum State : int32_t
    {
        kWaiting = 0,
        kReady = 1,
        kAnimating = 2,
        kAwaitingClick = 3,
        kSolved = 4
    };
    static constexpr size_t kOwnStateSize = 1;
    static constexpr const char* kRecordName = "locks";
    static constexpr uint8_t kSolvedByte = 0x80;
    // The state byte's most steps: above it the byte would read as solved.
    static constexpr uint32_t kMaxSavedSteps = 127;
    // The turns' and the eyes' S-curve.
    static constexpr float kSmoothing = -0.5f;

    // The base scene, then the script's globals in their order. A missing "locks", "eyes" or
    // "sequences", a name that is no layer of the scene or a sequence that is no table is a fatal
    // report and construction stops there. Values naming no lock or eye, and empty sequences,
    // are dropped with a log line each.
    ThreeLocksMinigame(GameplayFactory& factory, const TLuaTable& entityInfo, const TString& name,
                       const TLuaTable& scene, const TLuaTable* playlist,
                       const TLuaTable& sceneInfo, TScript& script);
    ~ThreeLocksMinigame() override;
    // Its event runs at the solving click; its byte's top bit says solved.
    bool AsksForCompletion() const override { return false; }

    // Shown and in play: waiting, it starts once the status area is completed (the eyes dark
    // again), then shows the sequence. The turn sound counts down always; the base runs last.
    void Update(uint32_t elapsedMs, bool active, bool playing) override;
    // Only while awaiting a click, and only on a lock: a right lock turns, a wrong one turns the
    // sequence's back; every press on a lock is used.
    bool OnMouseDown(TPoint point) override;
    void Pause(bool active) override;
    void Resume(bool active) override;
    // The lock cursor over a lock while a click is awaited.
    TString GetCursorName() const override;
    TString GetCompletionEvent() const override { return mEventOnComplete; }

    // The index of the first lock whose bounds hold the point (half-open); -1 over none.
    int32_t FindLockAt(const TPoint& point) const;

    int32_t GetState() const { return mState; }
    const std::vector<GameplayLayer*>& GetLocks() const { return mLocks; }
    const std::vector<GameplayLayer*>& GetEyes() const { return mEyes; }
    const std::vector<std::vector<int32_t>>& GetSequences() const { return mSequences; }
    size_t GetCurrentSequence() const { return mCurrentSequence; }
    size_t GetCurrentStep() const { return mCurrentStep; }
    GameplayArea* GetStatusArea() const { return mStatusArea; }
    float GetRotationAmount() const { return mRotationAmount; }
    int32_t GetRotationTime() const { return mRotationTime; }
    float GetEyeAlpha() const { return mEyeAlpha; }
    int32_t GetEyeTime() const { return mEyeTime; }
    const TString& GetCursorOverLock() const { return mCursorOverLock; }
    const TString& GetEventOnComplete() const { return mEventOnComplete; }
    const std::shared_ptr<SoundEffect>& GetRotateSound() const { return mRotateSound; }

protected:
    // 0x80 when solved, else the steps done (at most 127).
    void SaveOwnState(std::vector<uint8_t>& out) override;
    // Replays the saved steps as turns made at once.
    void LoadOwnState(const uint8_t* data) override;

private:
    void ShowSequence();
    void RotateLock(GameplayLayer* lock, float amount, bool callBack);
    void OnSequenceShown();
    void OnLockTurned();
    uint32_t StepsDone() const;
    static void SequenceShownThunk(void* object, TM_Transform* target, uint32_t id);
    static void LockTurnedThunk(void* object, TM_Transform* target, uint32_t id);

    int32_t mState = kWaiting;
    std::vector<GameplayLayer*> mLocks;
    std::vector<GameplayLayer*> mEyes;
    std::vector<std::vector<int32_t>> mSequences;
    size_t mCurrentSequence = 0;
    size_t mCurrentStep = 0;
    PuzzleSecondPress mSecondPress;
    GameplayArea* mStatusArea = nullptr;
    float mRotationAmount = 0;
    int32_t mRotationTime = 0;
    float mEyeAlpha = 0;
    int32_t mEyeTime = 0;
    TString mCursorOverLock;
    TString mEventOnComplete;
    std::shared_ptr<SoundEffect> mRotateSound;
};
