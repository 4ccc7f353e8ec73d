// Volume groups and their ramps.
#include "framework/sound/sound_group.h"

#include "sound/sound_manager.h"

#include <algorithm>

SoundGroup::SoundGroup(int32_t id, float volume) : mId(id), mVolume(std::clamp(volume, 0.0f, 1.0f))
{
}

void SoundGroup::Apply(float factor)
{
    mEffective = mVolume * factor * mFadeFactor;
    if (TSoundManager* manager = TSoundManager::Get())
        manager->SetGroupVolume(mId, mEffective);
    for (auto& child : mChildren)
        child->Apply(mEffective);
}

void SoundGroup::SetVolume(float volume)
{
    mVolume = std::clamp(volume, 0.0f, 1.0f);
    Apply(ParentEffective());
}

bool SoundGroup::AddChild(int32_t parentId, SoundGroup* child)
{
    if (mId == parentId)
    {
        child->mParent = this;
        mChildren.emplace_back(child);
        child->Apply(mEffective);
        return true;
    }
    for (auto& c : mChildren)
        if (c->AddChild(parentId, child))
            return true;
    return false;
}

bool SoundGroup::SetVolumeOf(int32_t id, float volume)
{
    if (mId == id)
    {
        SetVolume(volume);
        return true;
    }
    for (auto& c : mChildren)
        if (c->SetVolumeOf(id, volume))
            return true;
    return false;
}

bool SoundGroup::AddFade(int32_t id, SoundFade* ramp, uint32_t now)
{
    if (mId != id)
    {
        for (auto& c : mChildren)
            if (c->AddFade(id, ramp, now))
                return true;
        return false;
    }
    // A group ramp is fitted against its own duration: a delay shortens it (a delay beyond the
    // duration makes it jump at the delay).
    ramp->Fit(ramp->mDuration);
    mFadeFactor = 1.0f;
    mRamps.emplace_back(ramp);
    if (mRampState != 1)
    {
        mRampState = 1;
        mRampIndex = 0;
        mRampStart = now;
        if (ramp->mDelay <= 16)
            Apply(ramp->mFrom * ParentEffective());
    }
    return true;
}

void SoundGroup::Update(uint32_t now)
{
    if (mRampState == 1 && mRampIndex >= 0)
    {
        uint32_t elapsed = now - mRampStart;
        SoundFade& r = *mRamps[static_cast<size_t>(mRampIndex)];
        if (elapsed >= r.mDelay)
        {
            float parent = ParentEffective();
            if (elapsed >= r.mEnd)
            {
                float to = r.mTo;
                Apply(to * parent);
                ++mRampIndex;
                if (static_cast<size_t>(mRampIndex) >= mRamps.size())
                {
                    mRampState = 3;
                    mRampIndex = -1;
                    mFadeFactor = to;
                    mRamps.clear();
                }
            }
            else
            {
                Apply(r.ValueAt(elapsed) * parent);
            }
        }
    }
    for (auto& child : mChildren)
        child->Update(now);
}
