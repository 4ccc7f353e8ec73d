// The location held still and let go again, conversations taking the screen and giving it back,
// and the end of the location.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/entities/gameplay_sound.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/player_data.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/conversation/conversation_controller.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/playlist.h"
#include "framework/sound/sound_effect.h"
#include "framework/widgets/cursor_overlay.h"
#include "platform/log.h"
#include "script/script.h"
#include "script/window_script_seam.h"

#include <algorithm>

namespace
{

const char kSource[] = "gameplay";

template <class T> bool Contains(const std::vector<T*>& list, const T* entry)
{
    return std::find(list.begin(), list.end(), entry) != list.end();
}

} // namespace

void Gameplay::PauseGame()
{
    TransformManager* transforms = TransformManager::Instance();
    for (const std::shared_ptr<GameplayInventory>& object : mInventory)
        object->PauseTransforms();
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        scene->Pause(scene.get() == mActiveScene);
    for (const std::shared_ptr<GameplaySound>& sound : mSounds)
        sound->Pause();
    mPaused = 1;
    if (mHud != nullptr)
        mHud->Pause();
    if (mConversations != nullptr)
        mConversations->Pause();
    if (transforms != nullptr)
        transforms->PauseTransforms(&mTransitionTransform);
    if (mPlaylists != nullptr)
        mPlaylists->Pause();
    if (AudioManager* audio = AudioManager::Instance())
        for (int32_t index : GetSoundIndices())
            if (index != 0)
                audio->Pause(index);
    SetCursorDefault();
    if (transforms != nullptr && mCrazyClickTransform != nullptr)
        transforms->PauseTransforms(mCrazyClickTransform.get());
    for (const auto& effect : {mSoundItemClickHit, mSoundHintShowItem})
        if (effect != nullptr)
            effect->Pause();
    PauseTutorialPrompt(true);
    // The pause screen needs a pointer even while the penalty hides it.
    if (mInputLocked != 0 && mCursorOverlay != nullptr)
        mCursorOverlay->ShowCursor(true);
}

void Gameplay::ResumeGame()
{
    TransformManager* transforms = TransformManager::Instance();
    for (const std::shared_ptr<GameplayInventory>& object : mInventory)
        object->ResumeTransforms();
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        scene->Resume(scene.get() == mActiveScene);
    for (const std::shared_ptr<GameplaySound>& sound : mSounds)
        sound->Resume();
    mPaused = 0;
    if (mHud != nullptr)
        mHud->Resume();
    if (mConversations != nullptr)
        mConversations->Resume();
    if (transforms != nullptr)
        transforms->ResumeTransforms(&mTransitionTransform);
    if (mPlaylists != nullptr)
        mPlaylists->Resume();
    if (AudioManager* audio = AudioManager::Instance())
        for (int32_t index : GetSoundIndices())
            if (index != 0)
                audio->Resume(index);
    if (transforms != nullptr && mCrazyClickTransform != nullptr)
        transforms->ResumeTransforms(mCrazyClickTransform.get());
    for (const auto& effect : {mSoundItemClickHit, mSoundHintShowItem})
        if (effect != nullptr)
            effect->Resume();
    PauseTutorialPrompt(false);

    if (mInputLocked != 0)
    {
        // The penalty's end gives the pointer and the HUD back.
        if (mCursorOverlay != nullptr)
            mCursorOverlay->ShowCursor(false);
        return;
    }
    if (mGameplayState != kPlay)
        return;
    if (mHeldInventory != nullptr)
        SetCursorPickup();
    else if (mHud != nullptr)
        mHud->SetButtonsEnabled(true);
}

void Gameplay::StartConversation(const TString& name, Callback* callback)
{
    // A conversation the location lacks is content to mend, not a reason to end the game: it is
    // said and skipped, and what asked for it goes on.
    if (mConversations != nullptr && !mConversations->HasConversation(name))
    {
        ReportError(
            TString::Format("Cannot find conversation '%s'; it is skipped", name.c_str()).c_str(),
            kSource, __LINE__, false);
        if (callback != nullptr)
            callback->Call(nullptr, 0);
        return;
    }
    SetCursorDefault();
    mGameplayState = kConversation;
    mShownConversation = name;
    if (mConversations != nullptr)
        mConversations->StartConversation(name, &mCallbacks[kConversationEnded], TString(),
                                          callback);
    if (mHud != nullptr)
        mHud->SetButtonsEnabled(false);
    if (mPlaylists != nullptr)
        mPlaylists->FadeVolume(1.0f, mPlaylistDialogVolume,
                               static_cast<uint32_t>(std::max(mPlaylistDialogFadeTime, 0)));
}

void Gameplay::EndConversation(uint32_t)
{
    mGameplayState = kPlay;
    mShownConversation = TString();
    // A finished location keeps the music low; the next frame completes it.
    if (mLocationComplete != 0 || IsLocationDone())
        return;
    if (mHud != nullptr)
        mHud->SetButtonsEnabled(true);
    if (mPlaylists != nullptr)
        mPlaylists->FadeVolume(mPlaylistDialogVolume, 1.0f,
                               static_cast<uint32_t>(std::max(mPlaylistDialogFadeTime, 0)));
}

bool Gameplay::IsLocationDone()
{
    // Without a HUD nothing counts the finds.
    if (mHud == nullptr)
        return false;
    return mHud->GetProgress() == mHud->GetProgressMax() && mHud->GetShownInventory().empty() &&
           mNextEvent == nullptr && mPendingConversation.Length() == 0;
}

void Gameplay::CompleteLocation()
{
    // The score, the next location, the game state the game hands over to and the record's
    // removal reach the file in one save: a reader never meets the location forgotten but not
    // counted, nor counted but opened again. Every completion leads to the map (after the last,
    // the location byte leads to the credits), as the map's own start marks it.
    Settings* settings = Settings::Instance();
    if (PlayerData* player = PlayerData::Instance())
    {
        player->SetScore(
            static_cast<int32_t>(static_cast<uint32_t>(player->GetScore()) + mPlayTime));
        // Counted from the byte the location began with: a script that counted it as well
        // does not move the player on by two.
        player->SetLocation(mLocationEntered ? static_cast<uint8_t>(mLocationByteAtStart + 1)
                                             : static_cast<uint8_t>(player->GetLocation() + 1));
        player->SetGameState(PlayerData::kOnMap);
        if (settings != nullptr)
            settings->DeletePlayerData("gamedata", false);
        player->StageProfile();
        if (settings != nullptr)
            settings->SavePreferences();
    }
    else if (settings != nullptr)
    {
        settings->DeletePlayerData("gamedata");
    }
    mLocationComplete = 1;
    if (mSettling)
    {
        // The game's script learns of it, if it asks to, without being handed the screens.
        if (TScript* script = GetWindowScript())
            script->DoLuaString(
                "if LocationCompletedAtClose ~= nil then LocationCompletedAtClose() end");
        KeepCountedLocation();
        return;
    }

    DropInactiveScenes();

    if (TScript* script = GetWindowScript())
        script->DoLuaString("LocationComplete();");
    KeepCountedLocation();
    if (mPlaylists != nullptr)
        mPlaylists->FadeOutTrack();
}

void Gameplay::KeepCountedLocation()
{
    PlayerData* player = PlayerData::Instance();
    if (player == nullptr || mLocationComplete == 0 || !mLocationEntered)
        return;
    const uint8_t counted = static_cast<uint8_t>(mLocationByteAtStart + 1);
    if (player->GetLocation() == counted)
        return;
    Log("Gameplay: the game's script moved the location byte to %u after the location was "
        "counted; one completion counts it once, to %u",
        static_cast<unsigned>(player->GetLocation()), static_cast<unsigned>(counted));
    player->SetLocation(counted);
}

void Gameplay::DropInactiveScenes()
{
    if (mNextScene != mActiveScene)
        mNextScene = nullptr;
    if (mLastClickedArea != nullptr &&
        (mActiveScene == nullptr || !Contains(mActiveScene->GetAreas(), mLastClickedArea)))
        mLastClickedArea = nullptr;
    if (mFlyingItem != nullptr &&
        (mActiveScene == nullptr || !Contains(mActiveScene->GetItems(), mFlyingItem)))
        mFlyingItem = nullptr;
    mHintRequested = 0;
    mHintInventory = nullptr;
    mPendingSceneSwitch = TString();
    // They go once the list is whole again: what their layers still held reports as they go.
    std::vector<std::shared_ptr<GameplayScene>> dropped;
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        if (scene.get() != mActiveScene)
            dropped.push_back(scene);
    mScenes.erase(std::remove_if(mScenes.begin(), mScenes.end(),
                                 [this](const std::shared_ptr<GameplayScene>& scene)
                                 { return scene.get() != mActiveScene; }),
                  mScenes.end());
    dropped.clear();
}
