// TSoundStream: one playing sound through a device buffer of its own, refilled half by half from
// a TStreamSpooler by the sound thread, or timed by its own clock when there is no device.
#pragma once

#include "platform/files/stream_spooler.h"
#include "platform/shell/task.h"
#include "sys/audio/sound_buffer.h"

#include <memory>

class TSoundManager;
class TSoundInstance;
class TStreamNotify;

// The device part of a stream: the buffer (null without a device), its notify interface and the
// three notification entries, whose events nothing waits on.
struct TSoundBuffer
{
    std::unique_ptr<sys::audio::SoundBuffer> mBuffer;
    sys::audio::PositionNotify mNotify[3] = {};
    int mEvents[3] = {};
    std::unique_ptr<sys::audio::SoundNotify> mNotifyInterface;
};

class TSoundStream : public std::enable_shared_from_this<TSoundStream>
{
public:
    // Hands itself to the manager, whose live list holds the owning reference; the answer is a
    // plain pointer, as instances keep it.
    static TSoundStream* New(TSoundManager* manager, std::unique_ptr<TStreamSpooler> spooler,
                             bool loop, int group, std::weak_ptr<TStreamNotify> notify);
    virtual ~TSoundStream();
    TSoundStream(const TSoundStream&) = delete;
    TSoundStream& operator=(const TSoundStream&) = delete;

    bool Create(int rate, int channels, int bits, float seconds);
    // False when the stream has finished.
    bool Update(bool force);
    void Play(bool once);
    void Pause(bool pause);
    void SetSystemPause(bool pause);
    void Stop(bool retire);
    void SetVolume(float volume);
    bool QueueNext(std::weak_ptr<TStreamNotify> notify, std::unique_ptr<TStreamSpooler> spooler);
    void AdvanceSource();

    std::shared_ptr<TStreamNotify> GetNotify() const { return mNotify.lock(); }
    std::shared_ptr<TStreamNotify> GetPreviousNotify() const { return mPreviousNotify.lock(); }
    void ClearPreviousNotify() { mPreviousNotify.reset(); }
    std::weak_ptr<TSoundInstance> GetInstance() const { return mInstance; }
    void SetInstance(std::weak_ptr<TSoundInstance> instance) { mInstance = std::move(instance); }
    int GetGroup() const { return mGroup; }
    float GetBufferLength() const { return mBufferLength; }
    uint32_t GetBufferSize() const { return mBufferSize; }
    bool HasBuffer() const { return mSound.mBuffer != nullptr; }
    bool IsPaused() const { return mPaused; }
    // The buffer's id in the device's call log, 0 without a buffer.
    uint32_t GetBufferId() const { return mSound.mBuffer ? mSound.mBuffer->GetId() : 0; }

private:
    TSoundStream(TSoundManager* manager, std::unique_ptr<TStreamSpooler> spooler, bool loop,
                 int group, std::weak_ptr<TStreamNotify> notify);
    void ReleaseBuffer();

    TSoundManager* mManager;
    std::unique_ptr<TStreamSpooler> mSpooler;
    std::unique_ptr<TStreamSpooler> mNextSpooler;
    std::weak_ptr<TStreamNotify> mNotify;
    std::weak_ptr<TStreamNotify> mNextNotify;
    std::weak_ptr<TStreamNotify> mPreviousNotify;
    TSoundBuffer mSound;
    std::weak_ptr<TSoundInstance> mInstance;
    bool mExhausted = true;
    bool mOnce = false;
    uint32_t mBufferSize = 0;
    float mBufferLength = 0.0f;
    int32_t mBytesToPlay = 0;
    int mGroup;
    bool mLoop;
    bool mPaused = false;
    bool mPausedByManager = false;
    bool mStopped = false;
    bool mCreated = false;
    bool mDestroying = false;
    TClock mClock;
    int mLastRegion = 0;
};

// DirectSound attenuation for a 0..1 volume: -10000 for exactly 0, else trunc(-5000 x (1 - v))
// with v clamped (a non-finite volume counts as 0).
int32_t VolumeToAttenuation(float volume);
