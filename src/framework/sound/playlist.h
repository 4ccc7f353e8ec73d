// Background music: Playlist, a circular list of track handles, and PlaylistController, a set of
// playlists of which one is current; tracks follow each other with a cross-fade, and selecting
// another playlist keeps a shared track playing or fades the old one out.
#pragma once

#include "sound/sound.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class TLuaTable;

class Playlist
{
public:
    // Appends a track that is not there yet; the first one added becomes current.
    void Add(int32_t handle);
    bool Contains(int32_t handle) const;
    // 0 when the list is empty.
    int32_t Current() const;
    // The track after the current one, the first after the last; 0 when empty.
    int32_t Next() const;
    void SetCurrent(int32_t handle);

    std::vector<int32_t> mTracks;
    size_t mCurrent = 0;
};

class PlaylistController
{
public:
    // Told when a track's fade-out begins.
    class Callback : public TSoundCallBack
    {
    public:
        explicit Callback(PlaylistController* owner) : mOwner(owner) {}
        void OnSoundEnd(const std::shared_ptr<TSoundInstance>& instance,
                        const std::shared_ptr<TSound>& next) override;

    private:
        PlaylistController* mOwner;
    };

    // "timefadeout", "timecrossfade" and the "groupid" list of music groups.
    explicit PlaylistController(const TLuaTable& table);
    // Releases every track it holds.
    ~PlaylistController();
    PlaylistController(const PlaylistController&) = delete;
    PlaylistController& operator=(const PlaylistController&) = delete;

    // Names not in the sound table are left out. Adding forgets the current playlist.
    int32_t AddPlaylist(const std::vector<TString>& specifiers);
    void SelectPlaylist(uint32_t n);
    void Pause();
    void Resume();
    // Ramps every music group, then starts or resumes the track.
    void FadeVolume(float from, float to, uint32_t ms);
    void ResumeTrack();
    void FadeOutTrack();
    void Start(bool restart);
    void OnTrackEnd(Callback* callback);

    // The current playlist's current track; 0 without one.
    int32_t Track() const;
    bool HasCurrent() const { return mHasCurrent; }
    size_t GetCurrentIndex() const { return mCurrent; }
    const std::vector<std::shared_ptr<Playlist>>& GetPlaylists() const { return mPlaylists; }

    std::vector<int32_t> mGroupIds;
    int32_t mFadeOutTime = 0;
    int32_t mCrossFadeTime = 0;

private:
    std::vector<std::shared_ptr<Playlist>> mPlaylists;
    size_t mCurrent = 0;
    bool mHasCurrent = false;
    std::map<int32_t, std::shared_ptr<Callback>> mCallbacks;
};
