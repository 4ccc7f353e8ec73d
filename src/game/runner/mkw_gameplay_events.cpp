// The game's scene runner: events, inventory use and found items by character, completion, the
// puzzle-complete burst, pause and resume of what the game adds, and the medallions' tool tips.
#include "game/runner/mkw_gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/core/delta_time.h"
#include "framework/core/settings.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/playlist.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "game/effects/godray.h"
#include "game/entities/mkw_gameplay_area.h"
#include "game/entities/mkw_gameplay_event.h"
#include "game/entities/mkw_gameplay_item.h"
#include "game/hud/gameplay_hint.h"
#include "game/hud/mkw_gameplay_hud.h"
#include "game/inventory/mkw_gameplay_inventory.h"
#include "game/journal/gameplay_journal.h"
#include "game/minigames/hintboards/gameplay_hint_minigame.h"
#include "platform/config/prefs.h"
#include "render/sprites/sprite.h"
#include "script/script.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

namespace
{

constexpr float kSmoothing = -0.5f;

int32_t CharacterOf(const GameplayInventory* inventory)
{
    const auto* object = dynamic_cast<const MKWGameplayInventory*>(inventory);
    return object != nullptr ? object->GetCharacterMark() : 0;
}

// The next token after `at`: leading separators skipped, ended by the next separator (consumed).
// Empty once the text is used up, and from then on.
bool NextToken(const std::string& text, size_t& at, char separator, std::string& token)
{
    if (at == std::string::npos)
        return false;
    while (at < text.size() && text[at] == separator)
        ++at;
    if (at >= text.size())
    {
        at = std::string::npos;
        return false;
    }
    const size_t end = text.find(separator, at);
    token = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? std::string::npos : end + 1;
    return true;
}

// Leading blanks, a sign and digits, as far as they go; out-of-range values stop at the limits.
int32_t SaturatingInt(const std::string& text)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r')))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = std::min<int64_t>(value * 10 + (text[at] - '0'), int64_t(INT32_MAX) + 1);
    value = negative ? -value : std::min<int64_t>(value, INT32_MAX);
    return static_cast<int32_t>(std::max<int64_t>(value, INT32_MIN));
}

void Restart(SoundEffect* sound)
{
    if (sound == nullptr)
        return;
    sound->mPending = sound->GetStartDelay();
    sound->mEndCallback = nullptr;
}

uint32_t Duration(int32_t ms)
{
    return ms > 0 ? static_cast<uint32_t>(ms) : 0u;
}

} // namespace

// Events and completion.

bool MKWGameplay::ActivateEvent(const TString& name, bool instant)
{
    auto* event = dynamic_cast<MKWGameplayEvent*>(FindEvent(name));
    if (event != nullptr)
    {
        if (event->GetAction() == "scene_complete")
            mLocationDone = true;
        if (std::string(event->GetMinigame().c_str()).find("complete") != std::string::npos)
            PlayPuzzleComplete(event->GetMinigame());
    }
    const bool result = Gameplay::ActivateEvent(name, instant);

    Settings* settings = Settings::Instance();
    TPrefs* prefs = settings != nullptr ? settings->GetPrefs() : nullptr;
    if (prefs != nullptr && prefs->GetInt("characterdialog", 1, -1) == 0)
        mPendingConversation = TString();

    if (event != nullptr)
    {
        for (const TString& goal : event->GetJournalToActivate())
            mJournalGoals.push_back(goal);
        for (const TString& goal : event->GetJournalToDeactivate())
        {
            auto found = std::find(mJournalGoals.begin(), mJournalGoals.end(), goal);
            if (found != mJournalGoals.end())
                mJournalGoals.erase(found);
        }
    }
    return result;
}

void MKWGameplay::UseInventory(GameplayInventory* inventory, GameplayArea* area)
{
    mLastUsedCharacter = CharacterOf(inventory);
    Gameplay::UseInventory(inventory, area);
}

void MKWGameplay::OnItemFound(GameplayItem* item)
{
    if (auto* game = dynamic_cast<MKWGameplayItem*>(item))
    {
        GameplayInventory* inventory = FindInventory(item->GetInventoryName());
        const int32_t character = inventory != nullptr ? CharacterOf(inventory) : 0;
        game->SetLiraeEffects(character != 1);
        if (character == 2)
            Restart(mSoundItemClickLirae.get());
        else if (character == 1)
            Restart(mSoundItemClickThessalor.get());
    }
    Gameplay::OnItemFound(item);
}

bool MKWGameplay::CompleteArea(const TString& name, bool wait)
{
    int32_t character = mLastUsedCharacter;
    if (auto* area = dynamic_cast<MKWGameplayArea*>(FindArea(name)))
    {
        if (area->GetHeldInventory() != nullptr)
            character = CharacterOf(area->GetHeldInventory());
        area->SetLiraeEffects(character != 1);
    }
    return Gameplay::CompleteArea(name, wait);
}

// The burst.

void MKWGameplay::PlayPuzzleComplete(const TString& text)
{
    // The state belongs to the loading until the scene is in: a wait now would stop the loading.
    if (IsLoadingScene())
    {
        mDeferredPuzzleComplete = text;
        return;
    }
    const std::string copy(text.c_str());
    size_t at = 0;
    std::string head;
    std::string x;
    std::string y;
    std::string size;
    TVec2 position = mPuzzleCompleteDefaultPosition;
    float scale = mPuzzleCompleteDefaultSize;
    if (NextToken(copy, at, '(', head) && NextToken(copy, at, ',', x) &&
        NextToken(copy, at, ',', y) && NextToken(copy, at, ')', size))
    {
        position =
            TVec2(static_cast<float>(SaturatingInt(x)), static_cast<float>(SaturatingInt(y)));
        scale = static_cast<float>(SaturatingInt(size));
    }

    if (TransformManager* transforms = TransformManager::Instance())
    {
        auto* list = new TM_InstructionList;
        list->push_back(new TM_Alpha(Duration(mPuzzleCompleteFade), 1.0f, 0.0f, 0, kSmoothing));
        list->push_back(new TM_Alpha(Duration(mPuzzleCompleteFade), 0.0f, 1.0f,
                                     Duration(mPuzzleCompleteTotal - mPuzzleCompleteFade),
                                     kSmoothing));
        transforms->AddTransform(
            &mPuzzleCompleteFader, list,
            new Callback(this, [](void* object, TM_Transform*, uint32_t)
                         { static_cast<MKWGameplay*>(object)->OnPuzzleCompleteFaded(); }),
            nullptr);
    }
    mPuzzleCompleteLocus.mValue[0] = position.x;
    mPuzzleCompleteLocus.mValue[1] = position.y;
    mPuzzleCompleteSize.mValue[0] = scale;
    for (TLuaParticleSystem* system : {&mPuzzleCompleteLirae, &mPuzzleCompleteThessalor})
        if (TScript* script = system->GetScript())
            script->SetGlobalNumber("gActive", 1);
    // A burst over a running one replaces its fade, whose end would never come: one wait.
    if (!mPuzzleCompleteWait.IsHeld())
        mPuzzleCompleteWait =
            Expect(kCallbackReported, "the puzzle's completion burst",
                   [this]
                   {
                       const TransformManager* manager = TransformManager::Instance();
                       return manager != nullptr && manager->HasTransforms(&mPuzzleCompleteFader);
                   });
    mPuzzleCompleteAwaited = true;
    mGameplayState = kWaiting;
}

void MKWGameplay::OnSceneFadeInDone()
{
    Gameplay::OnSceneFadeInDone();
    if (mDeferredPuzzleComplete.Length() == 0)
        return;
    const TString text = mDeferredPuzzleComplete;
    mDeferredPuzzleComplete = TString();
    PlayPuzzleComplete(text);
}

void MKWGameplay::OnPuzzleCompleteFaded()
{
    for (TLuaParticleSystem* system : {&mPuzzleCompleteLirae, &mPuzzleCompleteThessalor})
        if (TScript* script = system->GetScript())
            script->SetGlobalNumber("gActive", 0);
    mPuzzleCompleteAwaited = false;
    mPuzzleCompleteWait.Tell(nullptr, 0);
}

// Pause and resume.

std::array<SoundEffect*, 5> MKWGameplay::SoundEffects() const
{
    return {mSoundShowHintSelect.get(), mSoundItemClickLirae.get(), mSoundItemClickThessalor.get(),
            mSoundHintShowLirae.get(), mSoundHintShowThessalor.get()};
}

void MKWGameplay::PauseGame()
{
    Gameplay::PauseGame();
    TransformManager* transforms = TransformManager::Instance();
    if (transforms != nullptr && mJournal != nullptr)
        transforms->PauseTransforms(&mJournal->GetPageTransform());
    for (GameplayHintMinigame* window : {mHintWindowLirae, mHintWindowThessalor})
        if (window != nullptr)
            window->Pause();
    if (transforms != nullptr)
        for (TM_Transform* owner : {static_cast<TM_Transform*>(&mMiniHintMover),
                                    static_cast<TM_Transform*>(&mHintItemMover),
                                    static_cast<TM_Transform*>(&mPuzzleCompleteFader)})
            transforms->PauseTransforms(owner);
    if (AudioManager* audio = AudioManager::Instance())
        for (uint32_t loop : {mHintLoopLirae, mHintLoopThessalor})
            if (loop != 0)
                audio->Pause(static_cast<int32_t>(loop));
    for (SoundEffect* sound : SoundEffects())
        if (sound != nullptr)
            sound->Pause();
    if (transforms != nullptr)
    {
        for (const std::shared_ptr<Godray>& ray : mGodrays)
            transforms->PauseTransforms(&ray->GetTransform());
        for (const std::shared_ptr<TM_Transform2D>& mover : mPulseMovers)
            transforms->PauseTransforms(mover.get());
    }
}

void MKWGameplay::ResumeGame()
{
    Gameplay::ResumeGame();
    TransformManager* transforms = TransformManager::Instance();
    if (transforms != nullptr && mJournal != nullptr)
        transforms->ResumeTransforms(&mJournal->GetPageTransform());
    for (GameplayHintMinigame* window : {mHintWindowLirae, mHintWindowThessalor})
        if (window != nullptr)
            window->Resume();
    if (transforms != nullptr)
        for (TM_Transform* owner : {static_cast<TM_Transform*>(&mMiniHintMover),
                                    static_cast<TM_Transform*>(&mHintItemMover),
                                    static_cast<TM_Transform*>(&mPuzzleCompleteFader)})
            transforms->ResumeTransforms(owner);
    if (AudioManager* audio = AudioManager::Instance(); audio != nullptr && mHintArmed != 0)
        for (uint32_t loop : {mHintLoopLirae, mHintLoopThessalor})
            if (loop != 0)
                audio->Resume(static_cast<int32_t>(loop));
    for (SoundEffect* sound : SoundEffects())
        if (sound != nullptr)
            sound->Resume();
    const bool minigame = mGameplayState == kThessalorMinigame || mGameplayState == kLiraeMinigame;
    if (mGameplayState == kJournal || minigame)
        BlockHud();
    if (minigame && mActiveScene != nullptr)
        mActiveScene->Pause(true);
    if (mPlaylists != nullptr)
    {
        if (minigame)
            mPlaylists->Pause();
        else
            mPlaylists->Resume();
    }
    if (transforms != nullptr)
    {
        for (const std::shared_ptr<Godray>& ray : mGodrays)
            transforms->ResumeTransforms(&ray->GetTransform());
        for (const std::shared_ptr<TM_Transform2D>& mover : mPulseMovers)
            transforms->ResumeTransforms(mover.get());
    }
}

// Tool tips.

void MKWGameplay::UpdateToolTips(GameplayInventory* incomplete, bool visible, const TString& label,
                                 const TPoint& point, const TVec4& color)
{
    TVec4 chosen = color;
    TString text = label;
    MKWGameplayHud* hud = GetGameHud();
    // The medallions answer in the HUD's own coordinates.
    const TVec2 offset = hud != nullptr ? hud->GetHudOffset() : TVec2(0, 0);
    const TIntPoint at{static_cast<int32_t>(point.x) + static_cast<int32_t>(offset.x),
                       static_cast<int32_t>(point.y) + static_cast<int32_t>(offset.y)};
    auto byCharacter = [&](int32_t character)
    {
        if (character == 2)
            chosen = mColorLiraeTooltip;
        else if (character == 1)
            chosen = mColorThessalorTooltip;
    };
    if (mGameplayState == kHintSelect)
    {
        if (hud != nullptr && hud->GetLiraeMedallion() != nullptr &&
            hud->GetLiraeMedallion()->GetFirstSelectedTracker() >= 0)
            chosen = mColorLiraeTooltip;
        else if (hud != nullptr && hud->GetThessalorMedallion() != nullptr &&
                 hud->GetThessalorMedallion()->GetFirstSelectedTracker() >= 0)
            chosen = mColorThessalorTooltip;
    }
    else if (incomplete != nullptr)
        byCharacter(CharacterOf(incomplete));
    else if (hud != nullptr && hud->HitTrackers(at) != 0)
    {
        const int32_t character = hud->HitTrackers(at);
        byCharacter(character);
        if (text == mToolTipHintNoValidTarget)
            text = character == 2 ? mTooltipHintLiraeNoValidTarget
                                  : mTooltipHintThessalorNoValidTarget;
    }
    else if (hud != nullptr && hud->HitMedallionsIfMissing(at, false) && mGameplayState == kPlay)
    {
        const int32_t character = hud->HitMedallions(at);
        byCharacter(character);
        const bool missing = hud->GetFirstMissingTracker(character) != -1;
        if (character == 2)
            text = missing ? mTooltipMedallionLiraeAvailable : mTooltipMedallionLiraeNotAvailable;
        else if (character == 1)
            text = missing ? mTooltipMedallionThessalorAvailable
                           : mTooltipMedallionThessalorNotAvailable;
    }
    else if (mHud != nullptr)
        byCharacter(CharacterOf(mHud->FindInventoryAt(point)));
    Gameplay::UpdateToolTips(incomplete, visible, text, point, chosen);
}
