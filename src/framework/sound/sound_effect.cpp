// Sound effects.
#include "framework/sound/sound_effect.h"

#include "framework/sound/audio_manager.h"
#include "framework/core/frame_services.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
int32_t ReadInt(const TLuaTable& table, const char* key)
{
    double value = std::trunc(table.GetNumber(key, 0));
    return static_cast<int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}
} // namespace

void SoundEffect::SoundCallBack::OnSoundEnd(const std::shared_ptr<TSoundInstance>& instance,
                                            const std::shared_ptr<TSound>& next)
{
    mOwner->OnSoundEnd(this, instance, next);
}

std::shared_ptr<SoundEffect> SoundEffect::Create(const TLuaTable& table)
{
    return std::make_shared<SoundEffect>(table);
}

SoundEffect::SoundEffect(const TLuaTable& table)
{
    mLoop = table.GetBool("loop", false) ? 1 : 0;
    mName = table.GetString("name");
    // A negative delay counts as none: a pending time below zero means "nothing pending", so the
    // sound would never play.
    mDelay = std::max(ReadInt(table, "delay"), 0);
    mInitialDelay = std::max(ReadInt(table, "initialdelay"), 0);
    std::unique_ptr<TLuaTable> sounds(table.GetTable("sounds"));
    if (sounds == nullptr)
    {
        ReportError("ERROR: No sound files for SoundEffect", __FILE__, __LINE__, true);
        return;
    }
    int32_t group = ReadInt(table, "groupid");
    lua_State* L = sounds->GetState();
    for (int i = 1;; ++i)
    {
        sounds->Push();
        int n = lua_getn(L, -1);
        lua_pop(L, 1);
        if (i > n)
            break;
        TString specifier = sounds->GetStringAt(i);
        if (group != 0)
        {
            // Appended as it stands: the parser ends the value before it at the "g".
            bool query = std::strchr(specifier.c_str(), '?') != nullptr;
            specifier = specifier + TString::Format(query ? "group=%d" : "?group=%d", group);
        }
        mSpecifiers.push_back(specifier);
    }
}

SoundEffect::~SoundEffect()
{
    Release();
}

void SoundEffect::ResolveSounds()
{
    if (!mHandles.empty())
        return;
    AudioManager* audio = AudioManager::Instance();
    if (audio == nullptr)
        return;
    for (const TString& specifier : mSpecifiers)
    {
        int32_t handle = audio->Play(specifier, false);
        if (handle != 0)
            mHandles.push_back(handle);
    }
    mCurrent = -1;
}

void SoundEffect::Start()
{
    ResolveSounds();
    AudioManager* audio = AudioManager::Instance();
    if (mHandles.empty() || audio == nullptr)
        return;
    auto callback = std::make_shared<SoundCallBack>(this);
    mCallbacks.push_back(callback);
    auto* record = new SoundPlayRecord(false, callback.get(), 0);
    mRecords[callback.get()] = record;
    int i = mRandom.NextInt(0, static_cast<int>(mHandles.size()) - 1);
    mCurrent = i;
    if (!audio->PlayIndex(mHandles[static_cast<size_t>(i)], record))
    {
        // Nothing started: the record is gone already.
        mRecords.erase(callback.get());
        mCallbacks.pop_back();
    }
}

int32_t SoundEffect::GetStartDelay() const
{
    const int64_t wait = int64_t{std::max(mInitialDelay, 0)} + std::max(mDelay, 0);
    return static_cast<int32_t>(std::min<int64_t>(wait, INT32_MAX));
}

void SoundEffect::Update(uint32_t elapsedMs)
{
    if (mPending < 0)
        return;
    if (static_cast<uint32_t>(mPending) <= elapsedMs)
    {
        mPending = -1;
        Start();
    }
    else
    {
        mPending -= static_cast<int32_t>(elapsedMs);
    }
}

void SoundEffect::Pause()
{
    AudioManager* audio = AudioManager::Instance();
    if (mCurrent >= 0 && audio != nullptr)
        audio->Pause(mHandles[static_cast<size_t>(mCurrent)]);
}

void SoundEffect::Resume()
{
    AudioManager* audio = AudioManager::Instance();
    if (mCurrent >= 0 && audio != nullptr)
        audio->Resume(mHandles[static_cast<size_t>(mCurrent)]);
}

void SoundEffect::Stop()
{
    AudioManager* audio = AudioManager::Instance();
    if (mCurrent < 0 || audio == nullptr)
        return;
    int32_t handle = mHandles[static_cast<size_t>(mCurrent)];
    std::vector<SoundPlayRecord*> stopped;
    if (SoundEntry* entry = audio->GetEntry(handle))
        for (const auto& record : entry->mRecords)
            stopped.push_back(record.get());
    audio->StopIndex(handle);
    // Those playbacks went with their records: forget them and their callbacks.
    for (auto it = mRecords.begin(); it != mRecords.end();)
    {
        if (std::find(stopped.begin(), stopped.end(), it->second) == stopped.end())
        {
            ++it;
            continue;
        }
        SoundCallBack* gone = it->first;
        it = mRecords.erase(it);
        std::erase_if(mCallbacks, [gone](const auto& c) { return c.get() == gone; });
    }
    mCurrent = -1;
}

void SoundEffect::Release()
{
    AudioManager* audio = AudioManager::Instance();
    if (audio != nullptr)
    {
        std::map<SoundCallBack*, SoundPlayRecord*> records;
        records.swap(mRecords);
        for (const auto& entry : records)
            audio->RemoveRecord(entry.second);
        // A sound whose entry a forced stop took (a location's playlist ends its tracks so, and a
        // board in the location may share one as its music) holds no reference any more.
        for (int32_t handle : mHandles)
            if (audio->GetEntry(handle) != nullptr)
                audio->Stop(handle, false);
    }
    mRecords.clear();
    mHandles.clear();
    mCurrent = -1;
    mCallbacks.clear();
}

void SoundEffect::OnSoundEnd(SoundCallBack* callback,
                             const std::shared_ptr<TSoundInstance>& instance,
                             const std::shared_ptr<TSound>& next)
{
    // Kept until the end of this call: the callback is the one running it.
    std::shared_ptr<SoundCallBack> keep;
    for (const auto& c : mCallbacks)
        if (c.get() == callback)
            keep = c;
    std::erase_if(mCallbacks, [callback](const auto& c) { return c.get() == callback; });
    mRecords.erase(callback);
    if (mLoop != 0)
    {
        mPending = mDelay;
        return;
    }
    if (mEndCallback != nullptr && mCallbacks.empty())
    {
        TSoundCallBack* end = mEndCallback;
        mEndCallback = nullptr;
        end->OnSoundEnd(instance, next);
    }
}
