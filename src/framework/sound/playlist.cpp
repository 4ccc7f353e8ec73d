// Playlists and the playlist controller.
#include "framework/sound/playlist.h"

#include "framework/sound/audio_manager.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cmath>

namespace
{
// Milliseconds from a table number: truncated, held inside 0..2^31-1.
int32_t ReadMs(const TLuaTable& table, const char* key)
{
    double value = std::trunc(table.GetNumber(key, 0));
    return static_cast<int32_t>(std::clamp(value, 0.0, 2147483647.0));
}
} // namespace

void Playlist::Add(int32_t handle)
{
    if (!Contains(handle))
        mTracks.push_back(handle);
}

bool Playlist::Contains(int32_t handle) const
{
    return std::find(mTracks.begin(), mTracks.end(), handle) != mTracks.end();
}

int32_t Playlist::Current() const
{
    return mTracks.empty() ? 0 : mTracks[mCurrent];
}

int32_t Playlist::Next() const
{
    return mTracks.empty() ? 0 : mTracks[(mCurrent + 1) % mTracks.size()];
}

void Playlist::SetCurrent(int32_t handle)
{
    auto it = std::find(mTracks.begin(), mTracks.end(), handle);
    if (it != mTracks.end())
        mCurrent = static_cast<size_t>(it - mTracks.begin());
}

void PlaylistController::Callback::OnSoundEnd(const std::shared_ptr<TSoundInstance>&,
                                              const std::shared_ptr<TSound>&)
{
    mOwner->OnTrackEnd(this);
}

PlaylistController::PlaylistController(const TLuaTable& table)
{
    mFadeOutTime = ReadMs(table, "timefadeout");
    mCrossFadeTime = ReadMs(table, "timecrossfade");
    mPlaylists.push_back(std::make_shared<Playlist>());
    std::unique_ptr<TLuaTable> groups(table.GetTable("groupid"));
    if (groups == nullptr)
        return;
    lua_State* L = groups->GetState();
    // The length is read again before each step, as the loop over the table does.
    for (int i = 1;; ++i)
    {
        groups->Push();
        int n = lua_getn(L, -1);
        lua_pop(L, 1);
        if (i > n)
            break;
        double id = std::trunc(groups->GetNumberAt(i, 0));
        mGroupIds.push_back(static_cast<int32_t>(std::clamp(id, -2147483648.0, 2147483647.0)));
    }
}

PlaylistController::~PlaylistController()
{
    AudioManager* audio = AudioManager::Instance();
    if (audio != nullptr)
        for (const auto& entry : mCallbacks)
            audio->Stop(entry.first, true);
}

int32_t PlaylistController::Track() const
{
    return mHasCurrent ? mPlaylists[mCurrent]->Current() : 0;
}

int32_t PlaylistController::AddPlaylist(const std::vector<TString>& specifiers)
{
    auto playlist = std::make_shared<Playlist>();
    AudioManager* audio = AudioManager::Instance();
    for (const TString& specifier : specifiers)
    {
        int32_t handle = audio != nullptr ? audio->Play(specifier, true) : 0;
        // Handle 0 means every sound to the audio manager: it is never a track.
        if (handle == 0)
            continue;
        bool held = std::any_of(mPlaylists.begin(), mPlaylists.end(),
                                [handle](const auto& p) { return p->Contains(handle); });
        if (held)
            audio->Stop(handle, false);
        else
            mCallbacks[handle] = std::make_shared<Callback>(this);
        playlist->Add(handle);
    }
    mPlaylists.push_back(playlist);
    mHasCurrent = false;
    return static_cast<int32_t>(mPlaylists.size() - 1);
}

void PlaylistController::SelectPlaylist(uint32_t n)
{
    if (n >= mPlaylists.size())
        return;
    if (!mHasCurrent)
    {
        mCurrent = n;
        mHasCurrent = true;
        Start(false);
        return;
    }
    if (n == mCurrent)
        return;
    int32_t track = Track();
    Playlist& next = *mPlaylists[n];
    if (track != 0 && next.Contains(track))
    {
        next.SetCurrent(track);
        Playlist& old = *mPlaylists[mCurrent];
        old.SetCurrent(old.Next());
        mCurrent = n;
        return;
    }
    FadeOutTrack();
    mCurrent = n;
    Start(false);
}

void PlaylistController::Pause()
{
    AudioManager* audio = AudioManager::Instance();
    if (int32_t track = Track(); track != 0 && audio != nullptr)
        audio->Pause(track);
}

void PlaylistController::Resume()
{
    AudioManager* audio = AudioManager::Instance();
    if (int32_t track = Track(); track != 0 && audio != nullptr)
        audio->Resume(track);
}

void PlaylistController::ResumeTrack()
{
    AudioManager* audio = AudioManager::Instance();
    if (int32_t track = Track(); track != 0 && audio != nullptr)
    {
        audio->Pause(track);
        audio->FadeIn(track, static_cast<uint32_t>(mFadeOutTime));
    }
}

void PlaylistController::FadeOutTrack()
{
    AudioManager* audio = AudioManager::Instance();
    if (int32_t track = Track(); track != 0 && audio != nullptr)
        audio->FadeOut(track, static_cast<uint32_t>(mFadeOutTime));
}

void PlaylistController::FadeVolume(float from, float to, uint32_t ms)
{
    AudioManager* audio = AudioManager::Instance();
    if (audio != nullptr)
        for (int32_t id : mGroupIds)
        {
            auto* ramp = new SoundFade(ms, 0, from, to);
            if (!audio->GetGroupVolume(id, ramp))
                delete ramp;
        }
    Start(false);
}

void PlaylistController::Start(bool restart)
{
    AudioManager* audio = AudioManager::Instance();
    int32_t track = Track();
    SoundEntry* entry = audio != nullptr ? audio->GetEntry(track) : nullptr;
    if (entry == nullptr)
        return;
    if (entry->mState == SoundEntry::kPlaying && !restart)
        return;
    if (entry->mState == SoundEntry::kPaused)
    {
        ResumeTrack();
        return;
    }
    uint32_t cross = static_cast<uint32_t>(mCrossFadeTime);
    // A list of one track plays it on as a loop: cross-faded with itself at every end, the two
    // unrelated halves dipped the music there. Its fade-in stays; there is no next track to call.
    if (mHasCurrent && mPlaylists[mCurrent]->mTracks.size() == 1)
    {
        audio->PlayWithCallback(track, new SoundFade(cross, 0, 0.0f, 1.0f), nullptr,
                                new SoundPlayRecord(true, nullptr, 0));
        return;
    }
    auto found = mCallbacks.find(track);
    auto* record = new SoundPlayRecord(
        false, found != mCallbacks.end() ? found->second.get() : nullptr, cross);
    audio->PlayWithCallback(track, new SoundFade(cross, 0, 0.0f, 1.0f),
                            new SoundFade(cross, SoundFade::kAtEnd, 1.0f, 0.0f), record);
}

void PlaylistController::OnTrackEnd(Callback* callback)
{
    int32_t track = Track();
    bool current = std::any_of(mCallbacks.begin(), mCallbacks.end(),
                               [&](const auto& entry)
                               { return entry.second.get() == callback && entry.first == track; });
    if (!current || track == 0)
        return;
    Playlist& playlist = *mPlaylists[mCurrent];
    int32_t next = playlist.Next();
    if (next != track)
    {
        playlist.SetCurrent(next);
        if (AudioManager* audio = AudioManager::Instance())
            audio->StopIndex(next);
    }
    Start(true);
}
