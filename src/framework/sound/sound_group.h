// SoundGroup: a node of the tree of volume groups. Its effective volume (own volume x the
// parent's effective volume x its fade factor) is pushed into the sound manager's group map;
// queued ramps fade it over time.
#pragma once

#include "framework/sound/sound_play_record.h"

#include <cstdint>
#include <memory>
#include <vector>

class SoundGroup
{
public:
    SoundGroup(int32_t id, float volume);
    SoundGroup(const SoundGroup&) = delete;
    SoundGroup& operator=(const SoundGroup&) = delete;

    // effective = volume x factor x fade factor, pushed to the sound manager, then to the children.
    void Apply(float factor);
    void SetVolume(float volume);
    // Searches of the subtree, this group first: the first group with the id takes the child,
    // the volume or the ramp (whose ownership then passes).
    bool AddChild(int32_t parentId, SoundGroup* child);
    bool SetVolumeOf(int32_t id, float volume);
    bool AddFade(int32_t id, SoundFade* ramp, uint32_t now);
    void Update(uint32_t now);

    int32_t GetId() const { return mId; }
    float GetVolume() const { return mVolume; }
    float GetEffective() const { return mEffective; }
    float GetFadeFactor() const { return mFadeFactor; }
    bool IsRamping() const { return mRampState == 1; }

private:
    float ParentEffective() const { return mParent != nullptr ? mParent->mEffective : 1.0f; }

    SoundGroup* mParent = nullptr;
    int32_t mId = 0;
    float mVolume = 1.0f;
    float mEffective = 0;
    int32_t mRampState = 3;
    float mFadeFactor = 1.0f;
    std::vector<std::unique_ptr<SoundFade>> mRamps;
    int32_t mRampIndex = -1;
    uint32_t mRampStart = 0;
    std::vector<std::unique_ptr<SoundGroup>> mChildren;
};
