// TSound, the cached asset of one sound file that starts playing instances of itself; its data
// (TSoundData, which hears the ends of its streams); TSoundInstance, the handle of one playing
// copy; and TSoundCallBack, told when an attached instance ends.
#pragma once

#include "platform/files/asset.h"
#include "platform/files/stream_spooler.h"
#include "platform/strings/tstring.h"
#include "sound/sound_manager.h"

#include <map>
#include <memory>
#include <set>

class TSound;
class TSoundCallBack;
class TSoundInstance;
class TSoundStream;

class TSoundData : public TStreamNotify
{
public:
    void OnStreamEnd(TSoundStream* stream) override;

    std::map<TSoundInstance*, std::shared_ptr<TSoundInstance>> mInstances;
    std::shared_ptr<TSoundDataSource> mSource;
    int mGroup = 0;
    TString mName;
    TSound* mOwner = nullptr;
};

class TSound : public TAsset
{
public:
    TSound();
    ~TSound() override;

    const char* GetClassName() const override { return "TSound"; }
    bool IsKindOf(TAssetClassId id) const override
    {
        return id == GetClassId() || TAsset::IsKindOf(id);
    }
    static TAssetClassId GetClassId()
    {
        static const char id = 0;
        return &id;
    }

    // "name?group=3" plays in group 3; the same name, storage and group share one live sound.
    static std::shared_ptr<TSound> Get(const TString& name, bool inMemory, int group);
    static std::shared_ptr<TSound> Create(const TString& key);

    std::shared_ptr<TSoundInstance> Play(bool loop);
    bool StopInstance(const std::shared_ptr<TSoundInstance>& instance);
    bool StopAll();
    void SetInstanceCallback(const std::shared_ptr<TSoundInstance>& instance,
                             TSoundCallBack* callback, const std::shared_ptr<TSound>& next);

    const std::shared_ptr<TSoundData>& GetData() const { return mData; }

private:
    std::shared_ptr<TSoundData> mData;
};

class TSoundInstance : public std::enable_shared_from_this<TSoundInstance>
{
public:
    explicit TSoundInstance(TSoundStream* stream) : mStream(stream) {}
    virtual ~TSoundInstance() = default;

    void Stop();
    void Pause(bool pause);
    void SetVolume(float volume);
    int GetGroup() const;
    void SetCallback(TSoundCallBack* callback, const std::shared_ptr<TSound>& next);

    TSoundStream* GetStream() const { return mStream; }
    std::shared_ptr<TSound> GetSound() const { return mSound.lock(); }
    TSoundCallBack* GetCallback() const { return mCallback; }

    // For the stream: its queued source took over, or it is going.
    void MoveToNextSound(TSoundStream* stream);
    void ClearStream(TSoundStream* stream);

private:
    friend class TSound;
    friend class TSoundData;
    friend class TSoundCallBack;

    TSoundStream* mStream;
    std::weak_ptr<TSound> mSound;
    std::weak_ptr<TSound> mNext;
    TSoundCallBack* mCallback = nullptr;
};

class TSoundCallBack
{
public:
    TSoundCallBack() = default;
    // Detaches from every instance still alive, so it may go while its sounds play.
    virtual ~TSoundCallBack();
    TSoundCallBack(const TSoundCallBack&) = delete;
    TSoundCallBack& operator=(const TSoundCallBack&) = delete;

    virtual void OnSoundEnd(const std::shared_ptr<TSoundInstance>& instance,
                            const std::shared_ptr<TSound>& next) = 0;

private:
    friend class TSound;
    friend class TSoundData;
    std::set<std::weak_ptr<TSoundInstance>, std::owner_less<std::weak_ptr<TSoundInstance>>>
        mAttached;
};
