// The game's scene runner: the two characters' hints. Earning one (a character's hint minigame,
// then the token's flight into the medallion), spending one (the token's flight from the tracker
// over the strip object onto the item, the picture of the scene, the overlay until the player
// clicks), the idle mini hint, and the frame's work they share with the puzzle-complete burst.
#include "game/runner/mkw_gameplay.h"

#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/player_data.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/adventure/tutorials/gameplay_tutorial.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/window_manager.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/playlist.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/widgets/framework_button.h"
#include "game/effects/game_particles.h"
#include "game/effects/godray.h"
#include "game/hud/gameplay_hint.h"
#include "game/hud/mkw_gameplay_hud.h"
#include "game/inventory/mkw_gameplay_inventory.h"
#include "game/minigames/hintboards/gameplay_hint_minigame.h"
#include "platform/log.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "script/script.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace
{

constexpr float kSmoothing = -0.5f;
constexpr float kArcSmoothing = -0.75f;
constexpr float kLinear = 1.0f;
// Where an earned token shows up.
constexpr float kTokenX = 400.0f;
constexpr float kTokenY = 300.0f;
// Where the token starts its growth: not 0, which would lose the picture's columns.
constexpr float kTinyScale = 0.001f;

uint32_t Ms(int32_t ms)
{
    return ms > 0 ? static_cast<uint32_t>(ms) : 0u;
}

void Restart(SoundEffect* sound)
{
    if (sound == nullptr)
        return;
    const int64_t wait = int64_t(sound->mInitialDelay) + sound->mDelay;
    sound->mPending = static_cast<int32_t>(std::clamp<int64_t>(wait, 0, INT32_MAX));
    sound->mEndCallback = nullptr;
}

void SwitchHudMiniHint(MKWGameplayHud* hud, int on)
{
    if (hud == nullptr)
        return;
    if (TScript* script = hud->GetHintParticles().GetScript())
        script->SetGlobalNumber("gActive", on);
}

// Centred on (x, y) with the size kept; the position and the halves truncated towards zero.
TRect CentredOn(const TRect& rect, float x, float y)
{
    const int32_t w = rect.Width();
    const int32_t h = rect.Height();
    const int32_t left = static_cast<int32_t>(x) - w / 2;
    const int32_t top = static_cast<int32_t>(y) - h / 2;
    return TRect(left, top, left + w, top + h);
}

template <void (MKWGameplay::*Step)()> void Forward(void* object, TM_Transform*, uint32_t)
{
    (static_cast<MKWGameplay*>(object)->*Step)();
}

} // namespace

std::unique_ptr<TM_Transform2D> MKWGameplay::MakePlacedMover(TDrawSpec* spec)
{
    return std::make_unique<PlacedTransform2D>(spec);
}

// The frame.

void MKWGameplay::Update()
{
    if (!IsRunning())
    {
        Gameplay::Update();
        return;
    }
    const DeltaTime* clock = DeltaTime::Instance();
    const uint32_t dt = clock != nullptr ? clock->GetStep() : 0;
    const TPoint road = RoadPoint();
    const TVec2 mouse(static_cast<float>(road.x), static_cast<float>(road.y));

    mMiniHintLocus.mValue[0] = mMiniHintMover.GetX();
    mMiniHintLocus.mValue[1] = mMiniHintMover.GetY();
    mLiraeAlpha.mValue[0] = mHintSnapshotFader->GetAlpha();
    mHintTokenLocus.mValue[0] = mHintTokenMover->GetX();
    mHintTokenLocus.mValue[1] = mHintTokenMover->GetY();
    mPuzzleCompleteAlpha.mValue[0] = mPuzzleCompleteFader.GetAlpha();

    const auto step = static_cast<int32_t>(std::min<uint32_t>(dt, INT32_MAX));
    for (TLuaParticleSystem* system : {&mLiraeMist, &mLiraeMistSecondary, &mLiraeSmall})
        system->Update(step);
    // Between bursts the two are switched off and, once their last sparks are gone, empty: a step
    // would only run their scripts to spawn nothing.
    if (mPuzzleCompleteAwaited || mPuzzleCompleteLirae.GetParticleCount() != 0 ||
        mPuzzleCompleteThessalor.GetParticleCount() != 0)
        for (TLuaParticleSystem* system : {&mPuzzleCompleteLirae, &mPuzzleCompleteThessalor})
            system->Update(step);
    game_particles::Advance(mHintParticle, dt);
    game_particles::Advance(mHintParticleSecondary, dt);

    if (!mSettling)
        CheckTutorials();
    for (const std::shared_ptr<Godray>& ray : mGodrays)
        ray->Update();
    for (SoundEffect* sound : SoundEffects())
        if (sound != nullptr && sound->mPending >= 0)
            sound->Update(dt);

    MKWGameplayHud* hud = GetGameHud();
    if (mMiniHintElapsed < mTimeHintShowDestination)
        mMiniHintElapsed += std::min(dt, mTimeHintShowDestination - mMiniHintElapsed);
    if (mMiniHintElapsed >= mTimeHintShowDestination)
        SwitchHudMiniHint(hud, 0);

    if (mClickPending == 0 && mGameplayState == kPlay && mHintArmed == 0 && !mSettling)
    {
        mIdleElapsed += dt;
        if (mIdleElapsed >= mTimeHintMiniShow)
        {
            mIdleElapsed = 0;
            ShowMiniHint();
        }
    }
    else
    {
        mIdleElapsed = 0;
    }

    if (mClickPending != 0 && mHintArmed != 0 &&
        (mGameplayState == kThessalorHintShown || mGameplayState == kLiraeHintShown))
    {
        // A hinted item lost through a scene switch or a restore is not hit-tested.
        if (GameplayItem* item = mHintItem)
        {
            const TDrawSpec spec = mGameplayState == kLiraeHintShown ? mHintItemSpec : TDrawSpec();
            if (item->HitTest(mouse, spec))
                OnItemFound(item);
        }
        EndHint();
        SwitchHudMiniHint(hud, 0);
    }

    Gameplay::Update();
}

bool MKWGameplay::OnMouseDown(TPoint point)
{
    // A shown hint takes the press even while the base blocks input.
    if (GetState() == kIdle &&
        (mGameplayState == kThessalorHintShown || mGameplayState == kLiraeHintShown))
    {
        TakeClick(point);
        return true;
    }
    return Gameplay::OnMouseDown(point);
}

// The mini hint.

void MKWGameplay::ShowMiniHint()
{
    if (mActiveScene == nullptr)
        return;
    std::vector<GameplayItem*> active;
    for (GameplayItem* item : mActiveScene->GetItems())
        // One found a moment ago is still active while it fades away: nothing to point at.
        if (item != nullptr && (item->GetFlags() & GameplayEntity::kActive) != 0 &&
            !item->IsFound())
            active.push_back(item);
    if (active.empty())
        return;
    const double r = mRandom.NextDouble();
    const auto n = static_cast<double>(active.size());
    const size_t index = std::min(static_cast<size_t>(std::trunc(r * n)), active.size() - 1);
    GameplayItem* item = active[index];
    mMiniHintMover.SetX(item->GetTransform().GetX());
    mMiniHintMover.SetY(item->GetTransform().GetY());
    if (MKWGameplayHud* hud = GetGameHud())
    {
        const TVec4& colour = hud->GetMiniHintColor();
        ParticleVector& input = hud->GetHintParticleColor();
        input.mValue[0] = colour.x;
        input.mValue[1] = colour.y;
        input.mValue[2] = colour.z;
        SwitchHudMiniHint(hud, 1);
    }
    mMiniHintElapsed = 0;
}

// Spending a hint.

void MKWGameplay::BeginHintSelect()
{
    MKWGameplayHud* hud = GetGameHud();
    GameplayHint* lirae = hud != nullptr ? hud->GetLiraeMedallion() : nullptr;
    GameplayHint* thessalor = hud != nullptr ? hud->GetThessalorMedallion() : nullptr;
    mBeforeHint.kept = true;
    mBeforeHint.trackers = {lirae != nullptr ? lirae->GetAvailableMask() : uint8_t{0},
                            thessalor != nullptr ? thessalor->GetAvailableMask() : uint8_t{0}};
    if (const PlayerData* player = PlayerData::Instance())
    {
        const PlayerData::Record record = player->ToBytes();
        std::copy_n(record.begin() + kMarksAt, mBeforeHint.marks.size(), mBeforeHint.marks.begin());
    }
    Gameplay::BeginHintSelect();
    if (mGameplayState == kHintSelect && mSoundShowHintSelect != nullptr)
    {
        mSoundShowHintSelect->mCurrent = 0;
        const int64_t wait =
            int64_t(mSoundShowHintSelect->mInitialDelay) + mSoundShowHintSelect->mDelay;
        mSoundShowHintSelect->mPending =
            static_cast<int32_t>(std::clamp<int64_t>(wait, 0, INT32_MAX));
    }
}

bool MKWGameplay::FindAreaForInventory(GameplayInventory* inventory)
{
    MKWGameplayHud* hud = GetGameHud();
    int32_t wanted = 0;
    if (hud != nullptr)
    {
        GameplayHint* lirae = hud->GetLiraeMedallion();
        GameplayHint* thessalor = hud->GetThessalorMedallion();
        if (lirae != nullptr && lirae->GetFirstSelectedTracker() >= 0)
            wanted = 2;
        else if (thessalor != nullptr && thessalor->GetFirstSelectedTracker() >= 0)
            wanted = 1;
        else
        {
            // The trackers answer in the HUD's own coordinates.
            const TVec2 offset = hud->GetHudOffset();
            const TPoint road = RoadPoint();
            wanted = hud->HitTrackers(
                {road.x + static_cast<int32_t>(offset.x), road.y + static_cast<int32_t>(offset.y)});
        }
    }
    if (wanted == 0)
        return Gameplay::FindAreaForInventory(inventory);
    const auto* object = dynamic_cast<const MKWGameplayInventory*>(inventory);
    if (object == nullptr || object->GetCharacterMark() != wanted)
        return false;
    return Gameplay::FindAreaForInventory(inventory);
}

void MKWGameplay::StartMinigame(uint32_t minigame)
{
    MKWGameplayHud* hud = GetGameHud();
    TransformManager* transforms = TransformManager::Instance();
    TM_Transform2D& mover = *mHintTokenMover;
    if (transforms != nullptr)
        transforms->RemoveTransforms(&mover);
    // A flight still under way ends here: its report is told once this one is awaited.
    WaitHandle cutShort = std::move(mTokenWait);
    const TVec2 start = mHud != nullptr ? mHud->GetClickedHintPosition() : TVec2(0, 0);
    mover.SetX(start.x);
    mover.SetY(start.y);
    mover.SetUniformScale(1.0f);
    mover.SetRotationZ(0.0f);

    // Without an item (or its object) the legs have no length: the arrival still comes.
    GameplayItem* item = mHintItem;
    GameplayInventory* object = item != nullptr ? FindInventory(item->GetInventoryName()) : nullptr;
    const TVec2 home = object != nullptr ? object->GetHomePosition() : start;
    const TVec2 end =
        item != nullptr ? TVec2(item->GetTransform().GetX(), item->GetTransform().GetY()) : home;
    const uint32_t time = Ms(mTimeHintToDestination);
    if (transforms != nullptr)
    {
        const TVec2 d(home.x - start.x, home.y - start.y);
        auto* first = new TM_InstructionList;
        first->push_back(new TM_Move(time, false, TVec2(d.x, -mDistanceToInventoryArc), TVec2(0, 0),
                                     0, kLinear));
        first->push_back(new TM_Move(time, false, TVec2(0, d.y + mDistanceToInventoryArc),
                                     TVec2(0, 0), 0, kArcSmoothing));
        first->push_back(new TM_Rotate(time, true, mHintRotateToInventory, 0.0f, 0, kSmoothing));
        // The arrival is the end of the whole record: after both legs.
        const uint32_t id = transforms->AddTransform(
            &mover, first, new Callback(this, &Forward<&MKWGameplay::OnHintArrived>), nullptr);

        const TVec2 e(end.x - home.x, end.y - home.y);
        auto* second = new TM_InstructionList;
        second->push_back(new TM_Move(time, false, e, TVec2(0, 0), 0, kSmoothing));
        second->push_back(new TM_Move(time / 2, false, TVec2(0, -mDistanceToItemArc), TVec2(0, 0),
                                      0, kArcSmoothing));
        second->push_back(
            new TM_Move(time, false, TVec2(0, mDistanceToItemArc), TVec2(0, 0), 0, kArcSmoothing));
        second->push_back(new TM_Rotate(time, true, mHintRotateToItem, 0.0f, 0, kSmoothing));
        transforms->FindTransform(id, second);
    }
    mover.SetAlpha(1.0f);

    GameplayHint* lirae = hud != nullptr ? hud->GetLiraeMedallion() : nullptr;
    GameplayHint* thessalor = hud != nullptr ? hud->GetThessalorMedallion() : nullptr;
    int32_t tracker = -1;
    mTokenCharacter = 0;
    if (lirae != nullptr && lirae->GetFirstSelectedTracker() >= 0)
    {
        mTokenCharacter = 2;
        tracker = lirae->GetFirstSelectedTracker();
    }
    else if (thessalor != nullptr && thessalor->GetFirstSelectedTracker() >= 0)
    {
        mTokenCharacter = 1;
        tracker = thessalor->GetFirstSelectedTracker();
    }
    if (hud != nullptr)
        mHintToken->SetTexture(hud->GetMissingTrackerTexture(mTokenCharacter, tracker));
    mHintToken->SetFrame(1);
    StartHintParticles(mTokenCharacter);

    // The selection is spent here, before the hint shows.
    mFlightMedallion = mTokenCharacter == 2 ? lirae : mTokenCharacter == 1 ? thessalor : nullptr;
    mFlightTrackers = mFlightMedallion != nullptr
                          ? static_cast<uint8_t>(mFlightMedallion->GetSelectedMask() &
                                                 mFlightMedallion->GetAvailableMask())
                          : uint8_t{0};
    Gameplay::StartMinigame(minigame);

    mTokenWait = Expect(kCallbackReported, "the hint token's flight",
                        [&mover]
                        {
                            const TransformManager* manager = TransformManager::Instance();
                            return manager != nullptr && manager->HasTransforms(&mover);
                        });
    mGameplayState = kWaiting;
    cutShort.CutShort();
    if (AudioManager* audio = AudioManager::Instance())
        for (uint32_t loop : {mHintLoopLirae, mHintLoopThessalor})
            if (loop != 0)
                audio->StopIndex(static_cast<int32_t>(loop));
}

void MKWGameplay::SettleForClose()
{
    // A hint on its way when the location closes is not spent: the player never saw it.
    if (mFlightMedallion != nullptr && mTokenWait.IsHeld())
        mFlightMedallion->SetAvailableMask(
            static_cast<uint8_t>(mFlightMedallion->GetAvailableMask() | mFlightTrackers));
    mFlightMedallion = nullptr;
    mFlightTrackers = 0;
    Gameplay::SettleForClose();
}

void MKWGameplay::OnHintArrived()
{
    StopHintParticles();
    mHintCharacter = mTokenCharacter;
    mTokenCharacter = 0;
    mFlightMedallion = nullptr;
    mFlightTrackers = 0;
    mTokenWait.Tell(nullptr, 0);
    GameplayItem* item = mHintItem;
    if (item == nullptr)
    {
        // Nothing to show: the selection ends as a shown hint would, back to play.
        mGameplayState = kPlay;
        EndHint();
        return;
    }
    mGameplayState = kMinigame;

    const float x = item->GetTransform().GetX();
    const float y = item->GetTransform().GetY();
    uint32_t loop = 0;
    if (mHintCharacter == 1)
    {
        for (const std::shared_ptr<Godray>& ray : mGodrays)
            ray->Randomise();
        mViewport3d = CentredOn(mViewport3d, x, y);
        loop = mHintLoopThessalor;
    }
    else
    {
        mLiraeHintSprite->GetSpec().mMatrix.m[2][0] = x;
        mLiraeHintSprite->GetSpec().mMatrix.m[2][1] = y;
        mLiraeHintRect = CentredOn(mLiraeHintRect, x, y);
        const auto left = static_cast<float>(mLiraeHintRect.left);
        const auto right = static_cast<float>(mLiraeHintRect.right);
        for (size_t i : {1u, 4u, 6u, 9u})
            mSpotlightVertices[i].x = left;
        for (size_t i : {2u, 5u, 7u, 10u})
            mSpotlightVertices[i].x = right;
        for (size_t i : {4u, 5u})
            mSpotlightVertices[i].y = static_cast<float>(mLiraeHintRect.top);
        for (size_t i : {6u, 7u})
            mSpotlightVertices[i].y = static_cast<float>(mLiraeHintRect.bottom);
        loop = mHintLoopLirae;
    }
    if (loop != 0)
        if (AudioManager* audio = AudioManager::Instance())
        {
            auto* record = new SoundPlayRecord(true, nullptr, 0);
            record->AddRamp(new SoundFade(Ms(mTimeHintFade), 0, 0.0f, 1.0f));
            audio->PlayIndex(static_cast<int32_t>(loop), record);
        }

    if (!RenderHintSnapshot())
        if (WindowManager* frames = WindowManager::Instance())
            frames->SetTexturesPending();

    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->RemoveTransforms(mHintSnapshotFader.get());
        auto* list = new TM_InstructionList;
        list->push_back(new TM_Alpha(Ms(mTimeHintFade), 1.0f, 0.0f, 0, kSmoothing));
        transforms->AddTransform(mHintSnapshotFader.get(), list,
                                 new Callback(this, &Forward<&MKWGameplay::EnterHintShown>),
                                 nullptr);
    }
    else
    {
        mHintSnapshotFader->SetAlpha(1.0f);
        EnterHintShown();
    }
}

void MKWGameplay::EnterHintShown()
{
    mHudBusy = 1;
    mHintArmed = 1;
    mGameplayState = mHintCharacter == 1 ? kThessalorHintShown : kLiraeHintShown;
}

void MKWGameplay::EndHint()
{
    if (AudioManager* audio = AudioManager::Instance())
    {
        if (mHintCharacter == 2 && mHintLoopLirae != 0)
            audio->FadeOut(static_cast<int32_t>(mHintLoopLirae), Ms(mTimeHintFade));
        if (mHintCharacter == 1 && mHintLoopThessalor != 0)
            audio->FadeOut(static_cast<int32_t>(mHintLoopThessalor), Ms(mTimeHintFade));
    }
    mHintArmed = 0;
    if (mHud != nullptr)
        mHud->EndHintSelect(true);
    if (TransformManager* transforms = TransformManager::Instance())
    {
        // A fade-in still under way would otherwise show the hint again when it ends.
        transforms->RemoveTransforms(mHintSnapshotFader.get());
        auto* list = new TM_InstructionList;
        list->push_back(
            new TM_Alpha(Ms(mTimeHintFade), 0.0f, mHintSnapshotFader->GetAlpha(), 0, kSmoothing));
        transforms->AddTransform(mHintSnapshotFader.get(), list, nullptr, nullptr);
    }
    else
    {
        mHintSnapshotFader->SetAlpha(0.0f);
    }
    // The strip's return ends the selection; without a HUD there is nothing to wait for.
    if (mHud != nullptr)
        mHud->PlaceInventory(StripNotice(kMinigameEnded));
    else
        EndMinigame(0);
}

// Earning a hint.

void MKWGameplay::StartThessalorHintMinigame()
{
    StartHintMinigame(1);
}

void MKWGameplay::StartLiraeHintMinigame()
{
    StartHintMinigame(2);
}

void MKWGameplay::StartHintMinigame(int32_t character)
{
    const bool lirae = character == 2;
    if (mTutorials != nullptr)
        if (PlayerData* player = PlayerData::Instance())
            // Out-of-range indices (a name without a prompt) set nothing.
            player->SetTutorialShown(
                mTutorials->GetTutorialIndex(lirae ? "tutorial_lirae" : "tutorial_thessalor"));
    GameplayHintMinigame* window = lirae ? mHintWindowLirae : mHintWindowThessalor;
    if (window == nullptr)
    {
        Log("The location has no %s hint window; play goes on",
            lirae ? "\"hintlirae\"" : "\"hintthessalor\"");
        mGameplayState = kPlay;
        return;
    }
    if (mPlaylists != nullptr)
        mPlaylists->FadeOutTrack();
    mGameplayState = lirae ? kLiraeMinigame : kThessalorMinigame;
    if (MKWGameplayHud* hud = GetGameHud())
        hud->SpinMedallion(character, true);
    GameplayHintMinigame::HintCallbacks callbacks;
    callbacks.leave = &mBound[lirae ? kLiraeMinigameExit : kThessalorMinigameExit];
    callbacks.hintEarned = &mBound[lirae ? kLiraeHintEarned : kThessalorHintEarned];
    callbacks.tokenMove = &mBound[lirae ? kLiraeTokenMove : kThessalorTokenMove];
    callbacks.crazyClick = &mBound[kCrazyClick];
    window->Start(0, mActiveScene, callbacks);
    BlockHud();
    if (mActiveScene != nullptr)
        mActiveScene->Pause(true);
}

void MKWGameplay::OnMinigameExit(int32_t character)
{
    if (MKWGameplayHud* hud = GetGameHud())
        hud->SpinMedallion(character, false);
    OnJournalClosed();
    if (mPlaylists != nullptr)
        mPlaylists->ResumeTrack();
    if (mActiveScene != nullptr)
        mActiveScene->Resume(true);
}

void MKWGameplay::OnHintEarned(int32_t character)
{
    MKWGameplayHud* hud = GetGameHud();
    mTokenCharacter = character;
    mTokenTrackerIndex = hud != nullptr ? hud->GetFirstMissingTracker(character) : -1;
    if (hud != nullptr)
    {
        const TIntPoint target = hud->GetMissingTrackerPosition(character, mTokenTrackerIndex);
        mTokenTargetX = target.x;
        mTokenTargetY = target.y;
        mHintToken->SetTexture(hud->GetMissingTrackerTexture(character, mTokenTrackerIndex));
    }
    mHintToken->SetFrame(1);
    StartHintParticles(character);

    TM_Transform2D& mover = *mHintTokenMover;
    TransformManager* transforms = TransformManager::Instance();
    if (transforms != nullptr)
    {
        transforms->RemoveTransforms(&mover);
        // A flight still under way ends here, cut short.
        mTokenWait.CutShort();
        auto* list = new TM_InstructionList;
        const uint32_t appear = Ms(mTimeHintToAddAppear);
        list->push_back(new TM_Scale(appear, mScaleHintToAdd, kTinyScale, 0, kSmoothing));
        list->push_back(new TM_Scale(appear, 1.0f, mScaleHintToAdd, appear, kSmoothing));
        transforms->AddTransform(&mover, list, nullptr, nullptr);
    }
    mover.SetRotationZ(0.0f);
    mover.SetX(kTokenX);
    mover.SetY(kTokenY);
    mover.SetAlpha(1.0f);

    uint32_t delay = 0;
    for (const std::shared_ptr<TM_Transform2D>& pulse : mPulseMovers)
    {
        pulse->SetAlpha(1.0f);
        pulse->SetUniformScale(kTinyScale);
        pulse->SetX(mover.GetX());
        pulse->SetY(mover.GetY());
        if (transforms == nullptr)
            continue;
        transforms->RemoveTransforms(pulse.get());
        auto* list = new TM_InstructionList;
        list->push_back(
            new TM_Scale(Ms(mPulseDuration), mPulseScale, kFromCurrent, delay, kSmoothing));
        list->push_back(new TM_Alpha(Ms(mPulseDuration), 0.0f, kFromCurrent, delay, kSmoothing));
        transforms->AddTransform(pulse.get(), list, nullptr, nullptr);
        delay += Ms(mPulseDelay);
    }
}

void MKWGameplay::OnTokenMove(int32_t)
{
    TM_Transform2D& mover = *mHintTokenMover;
    const float dx = static_cast<float>(mTokenTargetX) - mover.GetX();
    const float dy = static_cast<float>(mTokenTargetY) - mover.GetY();
    if (TransformManager* transforms = TransformManager::Instance())
    {
        const uint32_t time = Ms(mTimeHintToAddMove);
        auto* list = new TM_InstructionList;
        list->push_back(
            new TM_Move(time, false, TVec2(dx, -mArcHintToAdd), TVec2(0, 0), 0, kLinear));
        list->push_back(
            new TM_Move(time, false, TVec2(0, dy + mArcHintToAdd), TVec2(0, 0), 0, kArcSmoothing));
        list->push_back(new TM_Rotate(time, false, mRotationHintToAdd, 0.0f, 0, kSmoothing));
        transforms->AddTransform(
            &mover, list, new Callback(this, &Forward<&MKWGameplay::OnTrackerFilled>), nullptr);
        mTokenWait =
            Expect(kCallbackReported, "the hint token's way to its tracker",
                   [&mover] { return TransformManager::Instance()->HasTransforms(&mover); });
        mGameplayState = kWaiting;
        return;
    }
    // Told at once below.
    mTokenWait =
        Expect(kCallbackReported, "the hint token's way to its tracker", [] { return true; });
    mGameplayState = kWaiting;
    OnTrackerFilled();
}

void MKWGameplay::OnTrackerFilled()
{
    if (MKWGameplayHud* hud = GetGameHud())
    {
        GameplayHint* medallion = mTokenCharacter == 2   ? hud->GetLiraeMedallion()
                                  : mTokenCharacter == 1 ? hud->GetThessalorMedallion()
                                                         : nullptr;
        if (medallion != nullptr)
            medallion->FillNextTracker();
    }
    mTokenCharacter = 0;
    StopHintParticles();
    mTokenWait.Tell(nullptr, 0);
}

// The token's particles.

void MKWGameplay::StartHintParticles(int32_t character)
{
    const bool thessalor = character == 1;
    const TString& first = thessalor ? mParticleHintThessalorName : mParticleHintLiraeName;
    const TString& second =
        thessalor ? mParticleHintThessalorSecondaryName : mParticleHintLiraeSecondaryName;
    // Empty names and scripts that do not load leave no system.
    mHintParticle = game_particles::Start(first, {{"dLocus", &mHintTokenLocus}},
                                          {game_particles::kColorAdjust});
    mHintParticleSecondary = game_particles::Start(second, {{"dLocus", &mHintTokenLocus}},
                                                   {game_particles::kColorAdjust});
    Restart(thessalor ? mSoundHintShowThessalor.get() : mSoundHintShowLirae.get());
}

void MKWGameplay::StopHintParticles()
{
    game_particles::Switch(mHintParticle, false);
    game_particles::Switch(mHintParticleSecondary, false);
}
