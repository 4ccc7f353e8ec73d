// SoundFade, a volume ramp over a playback or a volume group, and SoundPlayRecord, one playback
// started through the audio manager: its clock in frame milliseconds, its ramps, an end callback
// a chosen time before the end, looping, pausing and fading.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class TSoundCallBack;
class TSoundInstance;

class SoundFade
{
public:
    // The delay that makes a ramp end exactly with the sound.
    static constexpr uint32_t kAtEnd = 999999999;

    SoundFade(uint32_t duration, uint32_t delay, float from, float to);
    // from and to are clamped into 0..1; the ramp is unfitted (end 0).
    void Init(uint32_t duration, uint32_t delay, float from, float to);
    // Fits an unfitted ramp against a length: the duration at most the length, kAtEnd placing it
    // at the end, a ramp running past the end cut there.
    void Fit(uint32_t length);
    // from + delta x (elapsed - delay) / duration; `to` from the end on.
    float ValueAt(uint32_t elapsed) const;

    uint32_t mDuration = 0;
    uint32_t mDelay = 0;
    uint32_t mEnd = 0;
    float mFrom = 0;
    float mTo = 0;
    float mDelta = 0;
};

class SoundPlayRecord
{
public:
    enum : int32_t
    {
        kPlaying = 1,
        kPaused = 2,
        kStopped = 3
    };

    // The callback (not owned) is told once, `lead` ms before the end of the first playback.
    SoundPlayRecord(bool loop, TSoundCallBack* callback, uint32_t lead);
    SoundPlayRecord(const SoundPlayRecord&) = delete;
    SoundPlayRecord& operator=(const SoundPlayRecord&) = delete;
    // Stops the instance unless the record already stopped.
    ~SoundPlayRecord();

    void Start(uint32_t now, const std::shared_ptr<TSoundInstance>& instance, float volume);
    // False once the playback has finished and the record should go.
    bool Update(uint32_t now);
    void Pause(uint32_t now);
    void Resume(uint32_t now);
    void FadeIn(uint32_t now, uint32_t ms);
    void FadeOut(uint32_t now, uint32_t ms);
    // Stops the instance and marks the record finished, so a loop holding it skips it.
    void Kill();
    bool IsDead() const { return mDead; }
    // Ownership passes to the record.
    void AddRamp(SoundFade* ramp) { mRamps.emplace_back(ramp); }

    std::shared_ptr<TSoundInstance> mInstance;
    int32_t mState = kStopped;
    uint32_t mDuration = 0;
    float mVolume = 1.0f;
    float mApplied = 0;
    std::vector<std::unique_ptr<SoundFade>> mRamps;
    int32_t mRampIndex = -1;
    std::unique_ptr<SoundFade> mTransition;
    uint8_t mPauseAfterTransition = 0;
    TSoundCallBack* mCallback = nullptr;
    uint32_t mCallbackTime = 0;
    uint8_t mFirstStart = 1;
    uint32_t mStartTime = 0;
    uint32_t mPauseTime = 0;
    // Beside the pause time: the frame clock may read 0 when the record pauses.
    bool mHasPauseTime = false;
    uint8_t mLoop = 0;

private:
    // The volume of the moment from the transition or the scheduled ramps; false when a
    // transition to silence ended the playback.
    bool ApplyRamps(uint32_t now);
    void Send(float factor);
    bool mDead = false;
};
