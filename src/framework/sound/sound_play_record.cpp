// Volume ramps and play records.
#include "framework/sound/sound_play_record.h"

#include "sound/sound.h"
#include "sound/sound_data_source.h"
#include "sound/sound_manager.h"

#include <algorithm>
#include <cmath>

SoundFade::SoundFade(uint32_t duration, uint32_t delay, float from, float to)
{
    Init(duration, delay, from, to);
}

void SoundFade::Init(uint32_t duration, uint32_t delay, float from, float to)
{
    mDuration = duration;
    mDelay = delay;
    mEnd = 0;
    mFrom = std::clamp(from, 0.0f, 1.0f);
    mTo = std::clamp(to, 0.0f, 1.0f);
    mDelta = mTo - mFrom;
}

void SoundFade::Fit(uint32_t length)
{
    if (mEnd != 0)
        return;
    mDuration = std::min(mDuration, length);
    if (mDelay == kAtEnd)
        mDelay = length - mDuration;
    else if (mDuration + mDelay > length)
        mDuration = length - mDelay;
    mEnd = mDuration + mDelay;
}

float SoundFade::ValueAt(uint32_t elapsed) const
{
    if (elapsed >= mEnd)
        return mTo;
    return mFrom + mDelta * static_cast<float>(static_cast<double>(elapsed - mDelay) /
                                               static_cast<double>(mDuration));
}

SoundPlayRecord::SoundPlayRecord(bool loop, TSoundCallBack* callback, uint32_t lead)
    : mCallback(callback), mCallbackTime(lead), mLoop(loop ? 1 : 0)
{
}

SoundPlayRecord::~SoundPlayRecord()
{
    Kill();
}

void SoundPlayRecord::Kill()
{
    mDead = true;
    if (mState != kStopped && mInstance != nullptr)
        mInstance->Stop();
    mState = kStopped;
}

void SoundPlayRecord::Send(float factor)
{
    if (mInstance == nullptr)
        return;
    TSoundManager* manager = TSoundManager::Get();
    float effective = manager != nullptr ? manager->GetEffectiveVolume(mInstance->GetGroup()) : 1;
    mApplied = effective * mVolume * factor;
    mInstance->SetVolume(mApplied);
}

void SoundPlayRecord::Start(uint32_t now, const std::shared_ptr<TSoundInstance>& instance,
                            float volume)
{
    bool first = mFirstStart != 0;
    mFirstStart = 0;
    // The platform instance loops by itself: a loop point is neither an end nor a new start, so
    // a looping record plays its ramps once and never the one into the end. Run again at every
    // loop, they dipped looping music to silence and back each time round.
    if (first && mLoop != 0)
        std::erase_if(mRamps, [](const std::unique_ptr<SoundFade>& ramp)
                      { return ramp->mEnd == 0 && ramp->mDelay == SoundFade::kAtEnd; });
    else if (!first && mLoop != 0)
    {
        mRamps.clear();
        mRampIndex = -1;
    }
    mState = kPlaying;
    mInstance = instance;
    double seconds = 0;
    if (std::shared_ptr<TSound> sound = instance != nullptr ? instance->GetSound() : nullptr)
        if (sound->GetData() != nullptr && sound->GetData()->mSource != nullptr)
            seconds = sound->GetData()->mSource->GetDuration();
    double ms = std::trunc(seconds * 1000.0);
    mDuration = ms > 0 && ms < 4294967295.0 ? static_cast<uint32_t>(ms) : 0;
    mVolume = volume;
    mStartTime = now;
    mPauseTime = 0;
    mHasPauseTime = false;
    if (first && mCallback != nullptr)
        mCallbackTime = mDuration - std::min(mCallbackTime, mDuration);
    if (mTransition != nullptr)
        mTransition->Fit(mDuration);
    if (mRamps.empty() && mTransition == nullptr)
    {
        Send(1.0f);
        return;
    }
    if (!mRamps.empty())
    {
        mRampIndex = 0;
        for (auto& ramp : mRamps)
            ramp->Fit(mDuration);
    }
    // Only the volume of the moment: an end callback due at once waits for the next update, so
    // no callback runs inside the start that a callback may itself have made.
    ApplyRamps(now);
}

bool SoundPlayRecord::ApplyRamps(uint32_t now)
{
    uint32_t elapsed = now - mStartTime;
    if (mTransition != nullptr)
    {
        SoundFade& t = *mTransition;
        if (elapsed >= t.mEnd)
        {
            float to = t.mTo;
            Send(to);
            mTransition.reset();
            if (to == 0)
            {
                if (mPauseAfterTransition != 0)
                {
                    Pause(now);
                    return true;
                }
                return false;
            }
            return true;
        }
        // Before its delay (a looping record restarted its clock) the ramp holds its start.
        Send(elapsed < t.mDelay ? t.mFrom : t.ValueAt(elapsed));
        return true;
    }
    if (mRampIndex >= 0 && static_cast<size_t>(mRampIndex) < mRamps.size())
    {
        SoundFade& r = *mRamps[static_cast<size_t>(mRampIndex)];
        if (elapsed >= r.mDelay)
        {
            if (elapsed >= r.mEnd)
            {
                Send(r.mTo);
                ++mRampIndex;
                if (static_cast<size_t>(mRampIndex) >= mRamps.size())
                    mRampIndex = -1;
            }
            else
            {
                Send(r.ValueAt(elapsed));
            }
        }
    }
    return true;
}

bool SoundPlayRecord::Update(uint32_t now)
{
    if (mState != kPlaying)
        return true;
    uint32_t elapsed = now - mStartTime;
    if (mCallback != nullptr && elapsed >= mCallbackTime)
    {
        TSoundCallBack* callback = mCallback;
        mCallback = nullptr;
        std::shared_ptr<TSoundInstance> instance = mInstance;
        callback->OnSoundEnd(instance, instance != nullptr ? instance->GetSound() : nullptr);
        // The callback may have ended this record; its owner then skips it.
        if (mDead || mState != kPlaying)
            return true;
    }
    if (elapsed >= mDuration)
    {
        if (mLoop == 0)
            return false;
        Start(now, mInstance, mVolume);
        return true;
    }
    return ApplyRamps(now);
}

void SoundPlayRecord::Pause(uint32_t now)
{
    if (mState != kPlaying)
        return;
    if (mInstance != nullptr)
        mInstance->Pause(true);
    mState = kPaused;
    mPauseTime = now;
    mHasPauseTime = true;
}

void SoundPlayRecord::Resume(uint32_t now)
{
    if (mState != kPaused)
        return;
    // The stream takes its group's volume when it plays again: the record's own comes back.
    if (mInstance != nullptr)
    {
        mInstance->Pause(false);
        mInstance->SetVolume(mApplied);
    }
    mState = kPlaying;
    if (mHasPauseTime)
    {
        mStartTime += now - mPauseTime;
        mPauseTime = 0;
        mHasPauseTime = false;
    }
}

void SoundPlayRecord::FadeIn(uint32_t now, uint32_t ms)
{
    if (mState != kPaused)
        return;
    // Silent before and after the stream plays again (playing takes its group's volume).
    if (mInstance != nullptr)
    {
        mInstance->SetVolume(0.0f);
        mInstance->Pause(false);
        mInstance->SetVolume(0.0f);
    }
    mApplied = 0;
    mState = kPlaying;
    if (mHasPauseTime)
    {
        mStartTime += now - mPauseTime;
        mPauseTime = 0;
        mHasPauseTime = false;
    }
    mTransition = std::make_unique<SoundFade>(ms, now - mStartTime, 0.0f, 1.0f);
    mTransition->Fit(mDuration);
}

void SoundPlayRecord::FadeOut(uint32_t now, uint32_t ms)
{
    if (mState != kPlaying)
        return;
    mTransition = std::make_unique<SoundFade>(ms, now - mStartTime, 1.0f, 0.0f);
    mTransition->Fit(mDuration);
    mPauseAfterTransition = 1;
}
