// Sounds and their instances: finding and sharing a sound by name, playing, stopping, callbacks
// attached to instances, and how a stream's end reaches them on the main thread.
#include "sound/sound.h"
#include "sound/sound_data_source.h"
#include "sound/sound_stream.h"

#include "platform/files/asset_manager.h"
#include "platform/log.h"

#include <cstdlib>

namespace
{
constexpr float kStreamSeconds = 2.0f;
} // namespace

// ---- TSoundData ----

void TSoundData::OnStreamEnd(TSoundStream* stream)
{
    stream->ClearPreviousNotify();
    std::shared_ptr<TAsset> owner = mOwner ? mOwner->weak_from_this().lock() : nullptr;
    TSoundManager* manager = TSoundManager::Get();
    const bool allowed = manager == nullptr || !manager->IsShuttingDown();
    std::shared_ptr<TSoundInstance> instance = stream->GetInstance().lock();
    if (!instance)
        return;
    std::shared_ptr<TSound> next = instance->mNext.lock();
    instance->mNext.reset();
    if (TSoundCallBack* callback = instance->mCallback)
    {
        callback->mAttached.erase(instance);
        if (allowed)
            callback->OnSoundEnd(instance, next);
    }
    if (!next)
        mInstances.erase(instance.get());
}

// ---- TSound ----

TSound::TSound() : mData(std::make_shared<TSoundData>())
{
    mData->mOwner = this;
}

TSound::~TSound()
{
    TSoundLock lock;
    for (auto& entry : mData->mInstances)
        entry.second->mCallback = nullptr;
    mData->mOwner = nullptr;
    StopAll();
    mData.reset();
}

std::shared_ptr<TSound> TSound::Get(const TString& name, bool inMemory, int group)
{
    if (name.Length() == 0)
        return nullptr;
    TString bare = name;
    const int query = name.FindChar('?');
    if (query >= 0)
    {
        const int groupAt = name.Find("group=", 0, query);
        if (groupAt >= 0)
            group = std::atoi(name.c_str() + groupAt + 6);
        bare = name.Substr(0, query);
    }
    const TString key = TString::Format("%s;%d;%d", bare.c_str(), inMemory ? 1 : 0, group);
    if (TAssetManager* assets = GetAssetManager())
    {
        std::shared_ptr<TAsset> found = assets->GetAsset(key);
        if (found && found->IsKindOf(TSound::GetClassId()))
            return std::static_pointer_cast<TSound>(found);
    }
    std::shared_ptr<TSound> sound = Create(key);
    sound->mData->mName = bare;
    sound->mData->mGroup = group;
    std::shared_ptr<TSoundDataSource> source = BuildSoundDataSource(bare, !inMemory);
    if (!source)
    {
        Log("TSound::Get: No valid sound file found: %s", bare.c_str());
        return nullptr;
    }
    sound->mData->mSource = std::move(source);
    return sound;
}

std::shared_ptr<TSound> TSound::Create(const TString& key)
{
    auto sound = std::make_shared<TSound>();
    if (TAssetManager* assets = GetAssetManager())
        assets->AddAsset(key, sound);
    return sound;
}

std::shared_ptr<TSoundInstance> TSound::Play(bool loop)
{
    if (!mData || !mData->mSource)
    {
        Log("Play of uninitialized sound");
        return nullptr;
    }
    TSoundManager* manager = TSoundManager::Get();
    if (manager == nullptr)
    {
        Log("No Sound Manager");
        return nullptr;
    }
    TSoundLock lock(manager);
    TSoundDataSource& source = *mData->mSource;
    TSoundStream* stream = TSoundStream::New(
        manager, std::make_unique<TStreamSpooler>(mData->mSource), loop, mData->mGroup, mData);
    auto instance = std::make_shared<TSoundInstance>(stream);
    instance->mSound = std::static_pointer_cast<TSound>(shared_from_this());
    mData->mInstances[instance.get()] = instance;
    stream->Create(source.GetRate(), source.GetChannels(), 16, kStreamSeconds);
    // A sound that fits in the buffer plays once from it; others loop the buffer and refill it.
    stream->Play(!loop && stream->GetBufferLength() > source.GetDuration());
    stream->SetInstance(instance);
    return instance;
}

bool TSound::StopInstance(const std::shared_ptr<TSoundInstance>& instance)
{
    if (!instance)
        return false;
    TSoundLock lock;
    // Held until the end: the instance may be the data's last reference to itself.
    std::shared_ptr<TSoundInstance> keep = instance;
    mData->mInstances.erase(instance.get());
    TSoundStream* stream = instance->mStream;
    if (stream != nullptr && stream->GetNotify() == mData)
        stream->Stop(false);
    return true;
}

bool TSound::StopAll()
{
    TSoundLock lock;
    std::vector<std::shared_ptr<TSoundInstance>> instances;
    for (auto& entry : mData->mInstances)
        instances.push_back(entry.second);
    bool any = false;
    for (auto& instance : instances)
        any = StopInstance(instance) || any;
    return any;
}

void TSound::SetInstanceCallback(const std::shared_ptr<TSoundInstance>& instance,
                                 TSoundCallBack* callback, const std::shared_ptr<TSound>& next)
{
    if (!instance)
        return;
    TSoundLock lock;
    if (next)
    {
        auto spooler = std::make_unique<TStreamSpooler>(next->mData->mSource);
        if (instance->mStream == nullptr ||
            !instance->mStream->QueueNext(next->mData, std::move(spooler)))
            return;
        instance->mNext = next;
        if (callback)
            callback->mAttached.insert(instance);
        instance->mCallback = callback;
        return;
    }
    if (callback)
    {
        callback->mAttached.insert(instance);
        instance->mSound = std::static_pointer_cast<TSound>(shared_from_this());
        instance->mCallback = callback;
        instance->mNext.reset();
        if (instance->mStream == nullptr)
        {
            // The instance has already ended: tell the callback at the next dispatch instead of
            // never.
            if (TSoundManager* manager = TSoundManager::Get())
            {
                std::weak_ptr<TSoundInstance> weak = instance;
                manager->PostEnd(
                    [weak, manager]
                    {
                        std::shared_ptr<TSoundInstance> ended = weak.lock();
                        if (!ended || ended->mCallback == nullptr)
                            return;
                        TSoundCallBack* target = ended->mCallback;
                        target->mAttached.erase(ended);
                        ended->mCallback = nullptr;
                        if (!manager->IsShuttingDown())
                            target->OnSoundEnd(ended, nullptr);
                    });
            }
        }
        return;
    }
    instance->mCallback = nullptr;
    instance->mNext.reset();
}

// ---- TSoundInstance ----

void TSoundInstance::Stop()
{
    if (auto sound = mSound.lock())
        sound->StopInstance(shared_from_this());
}

void TSoundInstance::Pause(bool pause)
{
    TSoundLock lock;
    if (mStream)
        mStream->Pause(pause);
}

void TSoundInstance::SetVolume(float volume)
{
    TSoundLock lock;
    if (mStream)
        mStream->SetVolume(volume);
}

int TSoundInstance::GetGroup() const
{
    TSoundLock lock;
    return mStream ? mStream->GetGroup() : -1;
}

void TSoundInstance::SetCallback(TSoundCallBack* callback, const std::shared_ptr<TSound>& next)
{
    if (auto sound = mSound.lock())
        sound->SetInstanceCallback(shared_from_this(), callback, next);
}

void TSoundInstance::MoveToNextSound(TSoundStream* stream)
{
    mSound = mNext;
    mNext.reset();
    mStream = stream;
}

void TSoundInstance::ClearStream(TSoundStream* stream)
{
    if (mStream == stream)
        mStream = nullptr;
}

// ---- TSoundCallBack ----

TSoundCallBack::~TSoundCallBack()
{
    auto attached = std::move(mAttached);
    for (const auto& weak : attached)
    {
        if (auto instance = weak.lock())
        {
            instance->SetCallback(nullptr, nullptr);
            // Also when its sound is gone: the instance must not keep a pointer to this.
            if (instance->mCallback == this)
                instance->mCallback = nullptr;
        }
    }
}
