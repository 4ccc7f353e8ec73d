// The sound manager: device set-up, the stream lists, volumes, pausing with the application, the
// main thread's delivery of stream ends, and the sound thread (which owns the only std::thread of
// this layer and takes the manager's mutex, never the mixer's).
#include "sound/sound_manager.h"
#include "sound/sound_stream.h"

#include "platform/shell/application.h"
#include "platform/log.h"
#include "platform/source_path.h"
#include "sys/audio/direct_sound.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <list>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace audio = sys::audio;

struct TSoundManagerImpl
{
    std::unique_ptr<audio::DirectSound> mDirectSound;
    std::unique_ptr<audio::SoundBuffer> mPrimary;
    std::list<std::shared_ptr<TSoundStream>> mStreams;
    float mMasterVolume = 1.0f;
    std::map<int, float> mGroupVolumes;
    std::thread mThread;
    std::atomic<bool> mStop{false};
    std::list<std::shared_ptr<TSoundStream>> mRetired;
    std::vector<std::function<void()>> mLateEnds;
    int mLockDepth = 0;
    std::recursive_mutex mMutex; // "TSoundManagerMutex"
};

namespace
{
constexpr uint32_t kServiceIntervalMs = 501;
constexpr int kThreadSleepMs = 50;

// Managers alive without an application, newest last (tests run the layer without one).
std::mutex gManagersMutex;
std::vector<TSoundManager*> gManagers;
} // namespace

bool LogDxFailure(audio::Result result, const char* file, int line)
{
    if (audio::Succeeded(result))
        return false;
    if (audio::ToCode(result) == 0x8876017C)
        TApplication::OutOfVideoMemory();
    Log("DX Error: %s (0x%x), File %s, Line %d", audio::ResultName(result), audio::ToCode(result),
        SourceRelativePath(file), line);
    return true;
}

TSoundManager* TSoundManager::Get()
{
    if (TApplication* application = TApplication::Get())
        return dynamic_cast<TSoundManager*>(application->GetSoundManager());
    std::lock_guard<std::mutex> lock(gManagersMutex);
    return gManagers.empty() ? nullptr : gManagers.back();
}

TSoundManager::TSoundManager() : mImpl(std::make_unique<TSoundManagerImpl>())
{
    std::lock_guard<std::mutex> lock(gManagersMutex);
    gManagers.push_back(this);
}

TSoundManager::~TSoundManager()
{
    Lock();
    mImpl->mStop = true;
    Unlock();
    if (mImpl->mThread.joinable())
        mImpl->mThread.join();
    mShuttingDown = true;
    Lock();
    // Taken out of the lists first: a stream's end can drop a sound, whose destructor stops (and
    // so removes) its other streams while these are being destroyed.
    auto retired = std::move(mImpl->mRetired);
    mImpl->mRetired.clear();
    retired.clear();
    auto live = std::move(mImpl->mStreams);
    mImpl->mStreams.clear();
    live.clear();
    mImpl->mLateEnds.clear();
    mImpl->mPrimary.reset();
    mImpl->mDirectSound.reset();
    Unlock();
    {
        std::lock_guard<std::mutex> lock(gManagersMutex);
        gManagers.erase(std::remove(gManagers.begin(), gManagers.end(), this), gManagers.end());
    }
}

bool TSoundManager::Init()
{
    if (mInitialised)
        return true;
    // One thread, even when an earlier Init found no device.
    if (!mImpl->mThread.joinable())
    {
        mImpl->mThread = std::thread(
            [this]
            {
                while (!mImpl->mStop)
                {
                    Lock();
                    if (!mImpl->mStop)
                        Update(true);
                    Unlock();
                    std::this_thread::sleep_for(std::chrono::milliseconds(kThreadSleepMs));
                }
            });
    }
    // The sound thread reads the clock under the lock: an Init after one that found no device
    // finds the thread already running.
    TSoundLock lock(this);
    mServiceClock.Reset();
    mServiceClock.Start();

    const audio::Result created = audio::DirectSoundCreate(nullptr, &mImpl->mDirectSound);
    // Without a sound device the audio layer has already said why, in one line ending "no audio
    // output"; an error line after it would only name the same cause again.
    if (created == audio::Result::NoDriver)
        return false;
    if (SOUND_DX_FAILED(created))
        return false;
    audio::Caps caps;
    caps.size = audio::Caps::kCapsSize;
    mImpl->mDirectSound->GetCaps(&caps);
    TApplication* application = TApplication::Get();
    void* window =
        application ? reinterpret_cast<void*>(application->GetImpl()->mMainWindow) : nullptr;
    if (SOUND_DX_FAILED(mImpl->mDirectSound->SetCooperativeLevel(window, audio::DSSCL_PRIORITY)))
    {
        mImpl->mDirectSound.reset();
        return false;
    }
    audio::BufferDesc primary;
    primary.flags = audio::DSBCAPS_PRIMARYBUFFER;
    if (SOUND_DX_FAILED(mImpl->mDirectSound->CreateSoundBuffer(&primary, &mImpl->mPrimary)))
    {
        mImpl->mDirectSound.reset();
        return false;
    }
    const audio::WaveFormat format = {audio::WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    mImpl->mPrimary->SetFormat(&format);
    mInitialised = true;
    return true;
}

void TSoundManager::Lock()
{
    mImpl->mMutex.lock();
    ++mImpl->mLockDepth;
}

void TSoundManager::Unlock()
{
    --mImpl->mLockDepth;
    mImpl->mMutex.unlock();
}

void TSoundManager::AddStream(TSoundStream* stream)
{
    TSoundLock lock(this);
    mImpl->mStreams.push_back(std::shared_ptr<TSoundStream>(stream));
}

void TSoundManager::RetireStream(TSoundStream* stream,
                                 const std::shared_ptr<TSoundStream>& reference)
{
    TSoundLock lock(this);
    auto& live = mImpl->mStreams;
    auto it = std::find_if(live.begin(), live.end(),
                           [&](const auto& entry) { return entry.get() == stream; });
    if (it == live.end())
        return;
    mImpl->mRetired.push_back(reference ? reference : *it);
    live.erase(it);
}

void TSoundManager::RemoveStream(TSoundStream* stream,
                                 const std::shared_ptr<TSoundStream>& reference)
{
    (void)reference; // the caller's reference keeps the stream until the caller lets it go
    TSoundLock lock(this);
    for (auto* list : {&mImpl->mStreams, &mImpl->mRetired})
    {
        auto it = std::find_if(list->begin(), list->end(),
                               [&](const auto& entry) { return entry.get() == stream; });
        if (it != list->end())
        {
            // Erased before it is destroyed, so its destructor finds the lists consistent.
            auto keep = *it;
            list->erase(it);
        }
    }
}

void TSoundManager::Update(bool retire)
{
    ServiceStreams(retire);
}

void TSoundManager::ServiceStreams(bool retire)
{
    TSoundLock lock(this);
    if (mServiceClock.GetTime() < kServiceIntervalMs)
        return;
    bool again = true;
    while (again)
    {
        again = false;
        mServiceClock.Reset();
        mServiceClock.Start();
        for (auto it = mImpl->mStreams.begin(); it != mImpl->mStreams.end(); ++it)
        {
            std::shared_ptr<TSoundStream> stream = *it;
            if (stream->Update(false))
                continue;
            if (retire)
                RetireStream(stream.get(), stream);
            else
                RemoveStream(stream.get(), stream);
            again = true;
            break;
        }
    }
}

float TSoundManager::GetEffectiveVolume(int group)
{
    TSoundLock lock(this);
    auto it = mImpl->mGroupVolumes.find(group);
    if (it == mImpl->mGroupVolumes.end())
        return mImpl->mMasterVolume;
    return mImpl->mMasterVolume * it->second;
}

void TSoundManager::SetMasterVolume(float volume)
{
    // Under the lock: the sound thread reads the volumes while it services streams.
    TSoundLock lock(this);
    mImpl->mMasterVolume = volume;
    ApplyVolumes();
}

void TSoundManager::SetGroupVolume(int group, float factor)
{
    TSoundLock lock(this);
    mImpl->mGroupVolumes[group] = factor;
    ApplyVolumes();
}

void TSoundManager::ApplyVolume(TSoundStream* stream)
{
    const float v = GetEffectiveVolume(stream->GetGroup());
    stream->SetVolume(v < 0.5f ? v + 0.05f : v - 0.05f);
    stream->SetVolume(v);
}

void TSoundManager::ApplyVolumes()
{
    TSoundLock lock(this);
    const auto streams = mImpl->mStreams;
    for (const auto& stream : streams)
        ApplyVolume(stream.get());
}

void TSoundManager::SetPaused(bool active)
{
    TSoundLock lock(this);
    mActive = active;
    const auto streams = mImpl->mStreams;
    for (const auto& stream : streams)
    {
        stream->SetSystemPause(!active);
        if (active)
            ApplyVolumes();
    }
}

void TSoundManager::DispatchNotifications()
{
    TSoundLock lock(this);
    // Dropping the retired streams here destroys them on the main thread; their destructors
    // deliver the ends.
    auto retired = std::move(mImpl->mRetired);
    mImpl->mRetired.clear();
    retired.clear();
    const auto streams = mImpl->mStreams;
    for (const auto& stream : streams)
    {
        if (auto previous = stream->GetPreviousNotify())
            previous->OnStreamEnd(stream.get());
    }
    auto lateEnds = std::move(mImpl->mLateEnds);
    mImpl->mLateEnds.clear();
    for (auto& delivery : lateEnds)
        delivery();
}

void TSoundManager::PostEnd(std::function<void()> delivery)
{
    TSoundLock lock(this);
    mImpl->mLateEnds.push_back(std::move(delivery));
}

audio::DirectSound* TSoundManager::GetDirectSound()
{
    TSoundLock lock(this);
    return mImpl->mDirectSound.get();
}

size_t TSoundManager::GetLiveCount()
{
    TSoundLock lock(this);
    return mImpl->mStreams.size();
}

size_t TSoundManager::GetRetiredCount()
{
    TSoundLock lock(this);
    return mImpl->mRetired.size();
}
