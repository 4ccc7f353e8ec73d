// AudioManager: the framework's named sounds. The sound table "audio/snd.txt" maps names to file
// numbers; a specifier ("name?group=N&volume=V") becomes a handle (the file number) whose entry
// starts playbacks, pauses, fades and stops them. It also owns the tree of volume groups and is a
// per-frame client of the frame driver. SoundEntry is one sound number in use.
#pragma once

#include "framework/core/singleton.h"
#include "framework/sound/sound_group.h"
#include "framework/sound/sound_play_record.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class TSound;

// The table's and the sound files' names ("audio/%d" is formatted with the file number).
extern TString gSoundTableName;
extern TString gSoundFileFormat;

// A specifier taken apart: the name before the last "?", "group=" and "volume=" found after it
// without regard to case (defaults 1000 and 1.0; a value that is no number reads 0).
struct SoundSpecifier
{
    TString mName;
    int32_t mGroup = 1000;
    float mVolume = 1.0f;
};
SoundSpecifier ParseSoundSpecifier(const TString& specifier);

class SoundEntry
{
public:
    enum : int32_t
    {
        kPlaying = 1,
        kPaused = 2,
        kStopped = 3
    };

    SoundEntry(std::shared_ptr<TSound> sound, float volume, int32_t group);
    ~SoundEntry();
    SoundEntry(const SoundEntry&) = delete;
    SoundEntry& operator=(const SoundEntry&) = delete;

    // False (and the record deleted) when the sound starts nothing.
    bool Play(uint32_t now, SoundPlayRecord* record);
    void Update(uint32_t now);
    void FadeIn(uint32_t now, uint32_t ms);
    void FadeOut(uint32_t now, uint32_t ms);
    void Pause(uint32_t now);
    void Resume(uint32_t now);
    void Stop();
    void RecomputeState();
    bool RemoveRecord(SoundPlayRecord* record);
    // Stops everything and lets the sound go; an update that holds the entry then leaves it.
    void Destroy();
    bool IsDestroyed() const { return mDestroyed; }
    size_t GetRecordCount() const { return mRecords.size(); }

    int32_t mPosition = -1;
    int32_t mReferences = 1;
    std::shared_ptr<TSound> mSound;
    // Shared so that an update walking them keeps a record a callback removed until it returns.
    std::vector<std::shared_ptr<SoundPlayRecord>> mRecords;
    int32_t mState = kStopped;
    float mVolume = 1.0f;
    uint8_t mFadeOutPending = 0;
    int32_t mGroup = 1000;

private:
    void Unlink(size_t index);
    bool mDestroyed = false;
};

class AudioManager : public Singleton<AudioManager>
{
public:
    enum : int32_t
    {
        kPlaying = 1,
        kIdle = 2,
        kEmpty = 3
    };

    // Reads the sound table.
    AudioManager();
    ~AudioManager() override;

    // The handle (the sound's file number) of a new or shared entry; 0 on failure. Starts
    // nothing. The first Play of a sound fixes its group, volume and storage.
    int32_t Play(const TString& specifier, bool stream);
    // Gives one reference back; at zero, or forced, the entry goes. Handle 0 releases every
    // entry and every group.
    void Stop(int32_t handle, bool force);
    // Starts one playback; the record (null = a default one) becomes the entry's. False when
    // nothing started (the record is then deleted).
    bool PlayIndex(int32_t handle, SoundPlayRecord* record = nullptr);
    // Adds the two ramps (ownership passes) to the record's list, then as PlayIndex.
    bool PlayWithCallback(int32_t handle, SoundFade* first, SoundFade* second,
                          SoundPlayRecord* record = nullptr);
    // Handle 0 means every entry in the following.
    void FadeIn(int32_t handle, uint32_t ms);
    void FadeOut(int32_t handle, uint32_t ms);
    void Pause(int32_t handle);
    void Resume(int32_t handle);
    void StopIndex(int32_t handle);
    // 0 when the name is not in the table or not acquired, else the entry's state.
    int32_t GetSoundState(const TString& specifier);

    bool AddGroup(int32_t id, int32_t parentId, float volume);
    bool SetGroupVolume(int32_t id, float volume);
    // Starts a ramp on the group (ownership passes when a group takes it).
    bool GetGroupVolume(int32_t id, SoundFade* ramp);
    void RemoveRecord(SoundPlayRecord* record);
    void PauseAll();
    void ResumeAll();
    void Update() override;

    int32_t GetState() const { return mState; }
    // The table's number for a name, -1 when it has none.
    int32_t FindNumber(const TString& name) const;
    SoundEntry* GetEntry(int32_t handle) const;
    size_t GetSlotCount() const { return mEntries.size(); }
    size_t GetLiveCount() const { return mLive.size(); }
    const SoundGroup* FindTopGroup(int32_t id) const;

private:
    void ReadTable();
    // The live entry of a handle; reports (not fatally) and answers null for a handle that names
    // none.
    SoundEntry* Checked(int32_t handle, int line);
    void Wake(const SoundEntry& entry);
    void SetIdle(bool idle);
    void DestroyEntry(int32_t handle);
    void RecomputeState();

    std::vector<std::shared_ptr<SoundEntry>> mEntries;
    std::vector<std::shared_ptr<SoundEntry>> mLive;
    std::vector<std::unique_ptr<SoundGroup>> mGroups;
    int32_t mState = kEmpty;
    uint8_t mChanged = 0;
    std::map<TString, int32_t> mNames;
    // The entries that were paused already when everything was paused.
    std::vector<std::weak_ptr<SoundEntry>> mHeld;
    // By handle, the references other holders still had when a forced stop (or the release of
    // everything) destroyed the entry: those holders give them back later, quietly, without
    // touching an entry made again for the same sound meanwhile.
    std::map<int32_t, int32_t> mOrphaned;
};
