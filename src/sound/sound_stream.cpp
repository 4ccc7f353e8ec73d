// Sound streams: buffer creation and sizing, the half-by-half refill and end detection, play,
// pause, stop, volume, the queued next source, and the ends a stream delivers when it goes.
#include "sound/sound_stream.h"
#include "sound/sound.h"
#include "sound/sound_manager.h"

#include "sys/audio/direct_sound.h"

#include <cmath>

namespace audio = sys::audio;

namespace
{
constexpr uint32_t kStreamBufferFlags =
    audio::DSBCAPS_CTRLVOLUME | audio::DSBCAPS_CTRLPOSITIONNOTIFY | audio::DSBCAPS_GLOBALFOCUS |
    audio::DSBCAPS_GETCURRENTPOSITION2; // 0x18180
} // namespace

int32_t VolumeToAttenuation(float volume)
{
    // A NaN or infinite volume would reach an undefined conversion: it is silence.
    if (!std::isfinite(volume))
        volume = 0.0f;
    if (volume == 0.0f)
        return audio::DSBVOLUME_MIN;
    const float clamped = std::clamp(volume, 0.0f, 1.0f);
    return static_cast<int32_t>(-5000.0f * (1.0f - clamped));
}

TSoundStream* TSoundStream::New(TSoundManager* manager, std::unique_ptr<TStreamSpooler> spooler,
                                bool loop, int group, std::weak_ptr<TStreamNotify> notify)
{
    auto* stream = new TSoundStream(manager, std::move(spooler), loop, group, std::move(notify));
    manager->AddStream(stream);
    return stream;
}

TSoundStream::TSoundStream(TSoundManager* manager, std::unique_ptr<TStreamSpooler> spooler,
                           bool loop, int group, std::weak_ptr<TStreamNotify> notify)
    : mManager(manager), mSpooler(std::move(spooler)), mNotify(std::move(notify)), mGroup(group),
      mLoop(loop)
{
}

bool TSoundStream::Create(int rate, int channels, int bits, float seconds)
{
    if (!mManager->IsInitialised())
        return false;
    TSoundLock lock(mManager);
    audio::WaveFormat format;
    format.formatTag = audio::WAVE_FORMAT_PCM;
    format.channels = static_cast<uint16_t>(channels);
    format.samplesPerSec = static_cast<uint32_t>(rate);
    format.bitsPerSample = static_cast<uint16_t>(bits);
    format.blockAlign = static_cast<uint16_t>(bits / 8 * channels);
    format.avgBytesPerSec = format.blockAlign * format.samplesPerSec;

    double size = std::trunc(double(format.avgBytesPerSec) * seconds + 0.5);
    size = std::ceil(size / 8.0) * 8.0;
    size = std::clamp(size, double(audio::DSBSIZE_MIN), double(audio::DSBSIZE_MAX));
    mBufferSize = static_cast<uint32_t>(size);
    mBufferLength = format.avgBytesPerSec > 0 ? float(mBufferSize) / format.avgBytesPerSec : 0;

    audio::DirectSound* device = mManager->GetDirectSound();
    audio::BufferDesc desc;
    desc.flags = kStreamBufferFlags;
    desc.bufferBytes = mBufferSize;
    desc.format = &format;
    if (device == nullptr || SOUND_DX_FAILED(device->CreateSoundBuffer(&desc, &mSound.mBuffer)))
    {
        // Without a buffer the stream is timed by its clock.
        mBufferLength = 0.0f;
        return false;
    }
    // Placeholders for the events: nothing waits on them, the sound thread polls.
    mSound.mNotify[0] = {0, &mSound.mEvents[0]};
    mSound.mNotify[1] = {mBufferSize / 2, &mSound.mEvents[1]};
    mSound.mNotify[2] = {audio::DSBPN_OFFSETSTOP, &mSound.mEvents[2]};
    if (SOUND_DX_FAILED(mSound.mBuffer->QueryNotify(&mSound.mNotifyInterface)) ||
        SOUND_DX_FAILED(mSound.mNotifyInterface->SetNotificationPositions(2, mSound.mNotify)))
    {
        ReleaseBuffer();
        mBufferLength = 0.0f;
        return false;
    }
    mBytesToPlay = static_cast<int32_t>(mBufferSize);
    mExhausted = false;
    mCreated = true;
    Update(true);
    return true;
}

bool TSoundStream::Update(bool force)
{
    TSoundLock lock(mManager);
    if (!mSound.mBuffer)
    {
        if (mSpooler && mClock.GetTime() / 1000.0 > mSpooler->GetDuration())
        {
            if (!mNextSpooler)
                return false;
            AdvanceSource();
            mClock.Reset();
            mClock.Start();
        }
        return true;
    }
    uint32_t play = 0xFFFFFFFF;
    uint32_t write = 0xFFFFFFFF;
    SOUND_DX_FAILED(mSound.mBuffer->GetCurrentPosition(&play, &write));
    const uint32_t half = mBufferSize / 2;
    int region = 0;
    uint32_t offset = 0;
    if (force)
        region = 1;
    else if (write < half)
        region = 2, offset = half;
    else if (play > half)
        region = 1;
    else
        return true; // the cursors straddle the middle
    if (region == mLastRegion)
        return !(mOnce && play >= write);
    mLastRegion = region;
    if (mExhausted)
    {
        mBytesToPlay -= static_cast<int32_t>(half);
        if (mBytesToPlay <= 0 && !mNextSpooler)
        {
            SOUND_DX_FAILED(mSound.mBuffer->Stop());
            mSpooler.reset();
            return false;
        }
    }
    void* part1 = nullptr;
    void* part2 = nullptr;
    uint32_t bytes1 = 0;
    uint32_t bytes2 = 0;
    if (SOUND_DX_FAILED(mSound.mBuffer->Lock(offset, half, &part1, &bytes1, &part2, &bytes2, 0)))
        return false;
    uint32_t written = 0;
    mExhausted = !(mSpooler ? mSpooler->Fill(bytes1, part1, written, mLoop) : false);
    if (mExhausted && mNextSpooler)
    {
        AdvanceSource();
        if (written < bytes1)
        {
            // The queued sound starts in the same half, without a gap.
            mSpooler->Rewind();
            uint32_t more = 0;
            mExhausted = !mSpooler->Fill(bytes1 - written, static_cast<uint8_t*>(part1) + written,
                                         more, mLoop);
        }
    }
    SOUND_DX_FAILED(mSound.mBuffer->Unlock(part1, bytes1, part2, bytes2));
    return true;
}

void TSoundStream::Play(bool once)
{
    TSoundLock lock(mManager);
    if (once)
        mOnce = true;
    SetVolume(mManager->GetEffectiveVolume(mGroup));
    if (mManager->IsActive())
    {
        if (mSound.mBuffer)
            SOUND_DX_FAILED(mSound.mBuffer->Play(0, 0, mOnce ? 0 : audio::DSBPLAY_LOOPING));
    }
    else
    {
        mPaused = true;
        mPausedByManager = true;
    }
    mClock.Reset();
    mClock.Start();
}

void TSoundStream::Pause(bool pause)
{
    TSoundLock lock(mManager);
    if (!mSound.mBuffer)
    {
        mPaused = pause;
        if (pause)
            mClock.Pause();
        else
            mClock.Start();
        return;
    }
    if (!pause)
    {
        mPaused = false;
        Play(mOnce);
        return;
    }
    mPaused = true;
    SOUND_DX_FAILED(mSound.mBuffer->Stop());
    mPausedByManager = false;
    mClock.Pause();
}

void TSoundStream::SetSystemPause(bool pause)
{
    TSoundLock lock(mManager);
    if (pause)
    {
        if (mPaused)
            return;
        Pause(true);
        mPausedByManager = true;
    }
    else if (mPausedByManager)
    {
        mPausedByManager = false;
        Pause(false);
    }
}

void TSoundStream::Stop(bool retire)
{
    TSoundLock lock(mManager);
    if (mStopped || mDestroying)
        return;
    mStopped = true;
    if (mSound.mBuffer)
        SOUND_DX_FAILED(mSound.mBuffer->Stop());
    mNextSpooler.reset();
    mNextNotify.reset();
    std::shared_ptr<TSoundStream> self = shared_from_this();
    if (retire)
        mManager->RetireStream(this, self);
    else
        mManager->RemoveStream(this, self);
    // `self` may be the last reference: nothing of the stream is used after this.
}

void TSoundStream::SetVolume(float volume)
{
    TSoundLock lock(mManager);
    const int32_t attenuation = VolumeToAttenuation(volume);
    if (!mSound.mBuffer)
        return;
    uint32_t status = 0;
    if (!SOUND_DX_FAILED(mSound.mBuffer->GetStatus(&status)) &&
        status == audio::DSBSTATUS_BUFFERLOST)
        SOUND_DX_FAILED(mSound.mBuffer->Restore());
    SOUND_DX_FAILED(mSound.mBuffer->SetVolume(attenuation));
}

bool TSoundStream::QueueNext(std::weak_ptr<TStreamNotify> notify,
                             std::unique_ptr<TStreamSpooler> spooler)
{
    TSoundLock lock(mManager);
    if (mSound.mBuffer && mExhausted && mBytesToPlay <= 0)
        return false;
    mNextNotify = std::move(notify);
    mNextSpooler = std::move(spooler);
    return true;
}

void TSoundStream::AdvanceSource()
{
    mSpooler = std::move(mNextSpooler);
    mExhausted = false;
    mPreviousNotify = mNotify;
    if (auto instance = mInstance.lock())
        instance->MoveToNextSound(this);
    mNotify = std::move(mNextNotify);
    mNextNotify.reset();
}

void TSoundStream::ReleaseBuffer()
{
    mSound.mNotifyInterface.reset();
    if (mSound.mBuffer)
        SOUND_DX_FAILED(mSound.mBuffer->Stop());
    mSound.mBuffer.reset();
}

TSoundStream::~TSoundStream()
{
    mDestroying = true;
    mSpooler.reset();
    // Ends go previous, current, queued.
    for (auto* target : {&mPreviousNotify, &mNotify, &mNextNotify})
    {
        if (auto notify = target->lock())
            notify->OnStreamEnd(this);
    }
    mNextSpooler.reset();
    if (auto instance = mInstance.lock())
        instance->ClearStream(this);
    ReleaseBuffer();
}
