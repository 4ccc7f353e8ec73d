// SoundEffect: a randomised sound from a Lua table: each start plays one of its specifiers drawn
// at random, optionally repeated with a pause between sounds and after an initial delay.
#pragma once

#include "platform/maths/random.h"
#include "platform/strings/tstring.h"
#include "sound/sound.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class SoundPlayRecord;
class TLuaTable;

class SoundEffect
{
public:
    // Told when one of the effect's sounds ends.
    class SoundCallBack : public TSoundCallBack
    {
    public:
        explicit SoundCallBack(SoundEffect* owner) : mOwner(owner) {}
        void OnSoundEnd(const std::shared_ptr<TSoundInstance>& instance,
                        const std::shared_ptr<TSound>& next) override;

    private:
        SoundEffect* mOwner;
    };

    // "sounds" (required: without it a fatal report), "loop", "name", "delay",
    // "initialdelay", "groupid".
    explicit SoundEffect(const TLuaTable& table);
    ~SoundEffect();
    SoundEffect(const SoundEffect&) = delete;
    SoundEffect& operator=(const SoundEffect&) = delete;
    static std::shared_ptr<SoundEffect> Create(const TLuaTable& table);

    // Counts the pending delay down; starts when it runs out.
    void Update(uint32_t elapsedMs);
    void Start();
    void Pause();
    void Resume();
    // Stops every playback of the current sound.
    void Stop();
    void ResolveSounds();
    // Stops what plays without calling back and gives every handle back.
    void Release();
    // One of the effect's sounds is under way, playing or paused.
    bool IsPlaying() const { return !mRecords.empty(); }
    // The wait before a start: the initial delay and the delay, each of which fits an int while
    // their sum may not; past the longest wait an int holds it waits that long, and a negative
    // part counts as none.
    int32_t GetStartDelay() const;
    void OnSoundEnd(SoundCallBack* callback, const std::shared_ptr<TSoundInstance>& instance,
                    const std::shared_ptr<TSound>& next);

    std::vector<TString> mSpecifiers;
    std::vector<int32_t> mHandles;
    // Into mHandles; none is -1.
    int32_t mCurrent = -1;
    std::map<SoundCallBack*, SoundPlayRecord*> mRecords;
    std::vector<std::shared_ptr<SoundCallBack>> mCallbacks;
    uint8_t mLoop = 0;
    TString mName;
    int32_t mDelay = 0;
    int32_t mPending = -1;
    int32_t mInitialDelay = 0;
    TRandom mRandom;
    // Not owned; told once when a non-looping effect has finished.
    TSoundCallBack* mEndCallback = nullptr;
};
