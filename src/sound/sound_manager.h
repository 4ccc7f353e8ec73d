// TSoundManager: the sound device, every playing stream, master and group volumes, and the sound
// thread that keeps the streams fed; TSoundLock, the scoped guard of its mutex; TStreamNotify,
// how a stream reports the end of a source.
#pragma once

#include "platform/seams/sound_manager_seam.h"
#include "platform/shell/task.h"
#include "sys/audio/result.h"

#include <functional>
#include <memory>

namespace sys::audio
{
class DirectSound;
}

class TSoundStream;
struct TSoundManagerImpl;

class TStreamNotify
{
public:
    virtual ~TStreamNotify() = default;
    virtual void OnStreamEnd(TSoundStream* stream) = 0;
};

class TSoundManager : public TSoundManagerSeam
{
public:
    TSoundManager();
    ~TSoundManager() override;
    TSoundManager(const TSoundManager&) = delete;
    TSoundManager& operator=(const TSoundManager&) = delete;

    // The manager the sound layer uses: the application's when it is this class (null while the
    // platform's stand-in is installed); without an application, the newest one alive.
    static TSoundManager* Get();

    // Starts the thread (once), then the device; true at once when already initialised.
    bool Init() override;
    void Lock();
    void Unlock();

    // The first shared reference to a new stream, appended to the live list.
    void AddStream(TSoundStream* stream);
    void RetireStream(TSoundStream* stream, const std::shared_ptr<TSoundStream>& reference);
    void RemoveStream(TSoundStream* stream, const std::shared_ptr<TSoundStream>& reference);
    // The sound thread's work item.
    void Update(bool retire);

    float GetEffectiveVolume(int group) override;
    void SetMasterVolume(float volume) override;
    void SetGroupVolume(int group, float factor);
    void ApplyVolume(TSoundStream* stream);
    void ApplyVolumes();
    void SetPaused(bool active) override;
    void DispatchNotifications() override;
    // Runs `delivery` under the lock at the next dispatch (an end that has no stream to carry it).
    void PostEnd(std::function<void()> delivery);

    sys::audio::DirectSound* GetDirectSound();
    bool IsInitialised() const { return mInitialised; }
    bool IsShuttingDown() const { return mShuttingDown; }
    bool IsActive() const { return mActive; }
    // Streams in the live and retired lists (tests).
    size_t GetLiveCount();
    size_t GetRetiredCount();

private:
    void ServiceStreams(bool retire);

    std::unique_ptr<TSoundManagerImpl> mImpl;
    TClock mServiceClock;
    bool mInitialised = false;
    bool mShuttingDown = false;
    bool mActive = true;
};

// Locks the sound manager's mutex for its scope when there is a manager.
class TSoundLock
{
public:
    explicit TSoundLock(TSoundManager* manager = TSoundManager::Get()) : mManager(manager)
    {
        if (mManager)
            mManager->Lock();
    }
    ~TSoundLock()
    {
        if (mManager)
            mManager->Unlock();
    }
    TSoundLock(const TSoundLock&) = delete;
    TSoundLock& operator=(const TSoundLock&) = delete;

private:
    TSoundManager* mManager;
};

// "DX Error: <name> (0x%x), File %s, Line %d" for a failed device call (the file relative to the
// source tree); true when it failed.
bool LogDxFailure(sys::audio::Result result, const char* file, int line);
#define SOUND_DX_FAILED(call) LogDxFailure((call), __FILE__, __LINE__)
