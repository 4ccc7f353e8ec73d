// The cut-scene screen: its style and instructions, the strip's layout, the per-frame sequence of
// cells, scrolls and fades, the drops and the particle line, the events and animations fired on
// the current cell, drawing in the strip's order, and the three script functions.
#include "game/cutscenes/illustration_panel.h"

#include "framework/adventure/player_data.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/sound_effect.h"
#include "framework/sound/sound_play_record.h"
#include "framework/transforms/transform_instructions.h"
#include "game/cutscenes/cutscene_keys.h"
#include "game/cutscenes/illustration_panel_animation.h"
#include "game/cutscenes/illustration_panel_cell.h"
#include "game/cutscenes/illustration_panel_event.h"
#include "game/cutscenes/illustration_panel_layer.h"
#include "game/cutscenes/illustration_panel_particle.h"
#include "game/dialogs/blood_streak.h"
#include "particles/lua_particle_system.h"
#include "platform/log.h"
#include "render/renderer/renderer.h"
#include "render/renderer/vertex_set.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_bind.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "ui/button.h"
#include "ui/window_style.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace
{

const char kSource[] = "illustrationpanel";
const char* const kScriptFunctions[] = {"CompletePanels", "PausePanel", "ResumePanel"};
constexpr int32_t kFocusLost = kUserMessageBase + 1;
constexpr int32_t kFocusBack = kUserMessageBase + 2;
constexpr float kSmoothing = -0.5f;
constexpr uint32_t kTriangleList = 4;
// The location whose strip ends in black.
constexpr int32_t kFadeToBlackLocation = 8;

uint32_t Ms(int32_t value)
{
    return static_cast<uint32_t>(std::max(value, 0));
}

// A picture drawn from its top-left corner.
void TopLeft(const std::shared_ptr<TSprite>& sprite, const TString& image)
{
    sprite->SetTexture(image.Length() != 0 ? TTexture::Get(image, 0) : nullptr);
    sprite->GetSpec().mOrigin = TVec2(0, 0);
    sprite->GetSpec().mFlags |= kDrawOrigin;
}

void PlaceAt(const std::shared_ptr<TSprite>& sprite, float x, float y)
{
    sprite->GetSpec().mMatrix.m[2][0] = x;
    sprite->GetSpec().mMatrix.m[2][1] = y;
}

float StyleFloat(const TWindowStyle& style, const char* key)
{
    const double value = style.GetNumber(key, 0);
    return std::isfinite(value) ? static_cast<float>(value) : 0.0f;
}

} // namespace

IllustrationPanel::IllustrationPanel()
    : mTopFiller(TSprite::Create(0)), mBottomFiller(TSprite::Create(0)),
      mBackground(TSprite::Create(0)), mFilmDot(TSprite::Create(0))
{
    mRandom.Seed(DeltaTime::Now());
    const float corners[4][2] = {
        {0, 0}, {kScreenWidth, 0}, {kScreenWidth, kScreenHeight}, {0, kScreenHeight}};
    for (int i = 0; i < 4; ++i)
    {
        mOverlay[i].x = corners[i][0];
        mOverlay[i].y = corners[i][1];
        mOverlay[i].w = 0.5f;
    }
    mOverlayTransform.SetAlpha(0);
    if (lua_State* L = GetWindowScriptState())
    {
        LuaBindMember(L, "CompletePanels", this, &IllustrationPanel::CompletePanels);
        LuaBindMember(L, "PausePanel", this, &IllustrationPanel::PausePanel);
        LuaBindMember(L, "ResumePanel", this, &IllustrationPanel::ResumePanel);
    }
}

IllustrationPanel::~IllustrationPanel()
{
    // A later panel may hold the names now; it keeps them.
    if (lua_State* L = GetWindowScriptState())
        for (const char* name : kScriptFunctions)
            LuaUnbindMemberIfBound(L, name, this);
    // The cells hold the panel's callbacks; they go first.
    mCells.clear();
    if (mFilmSound != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->Stop(mFilmSound, false);
    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->RemoveTransforms(&mOverlayTransform);
        transforms->RemoveTransforms(&mScrollTransform);
    }
    mParticleLine.reset();
    mStreaks.clear();
    mEvents.clear();
    mAnimations.clear();
    mBloodInfo.reset();
}

TWindow* IllustrationPanel::Create()
{
    return new IllustrationPanel();
}

TClassId IllustrationPanel::GetClassId()
{
    return reinterpret_cast<TClassId>(&IllustrationPanel::Create);
}

// --- loading ------------------------------------------------------------------------------------

void IllustrationPanel::PostInit(TWindowStyle& style)
{
    GameWindow::PostInit(style);
    // Stored as the map stores itself: a start after a crash shows the cut-scene again, not the
    // map before it.
    if (PlayerData* record = PlayerData::Instance())
    {
        record->SetGameState(PlayerData::kInCutScene);
        record->SaveProfile();
    }

    mCurrentLocation = style.GetInt("currentlocation", 0);
    TopLeft(mBackground, style.GetString("background", ""));
    TopLeft(mFilmDot, style.GetString("filmdot", ""));
    mTimeBloodMin = style.GetInt("timebloodmin", 0);
    mTimeBloodMax = style.GetInt("timebloodmax", 0);
    mFilmDotDist = StyleFloat(style, "filmdotdist");
    mCellScrollDistance = StyleFloat(style, "cellscrolldistance");
    mCellScrollTime = style.GetInt("cellscrolltime", 0);
    mCellTimeMinimum = style.GetInt("celltimeminimum", 0);
    const TString particleLine = style.GetString("particleline", "");
    if (particleLine.Length() != 0)
    {
        mParticleLine = std::make_shared<TLuaParticleSystem>();
        mParticleLine->Load(particleLine);
    }
    mParticleLineDist = StyleFloat(style, "particlelinedist");
    const int32_t cellH = style.GetInt("cellh", 0);
    const int32_t cellW = style.GetInt("cellw", 0);
    const int32_t cellY = style.GetInt("celly", 0);
    const int32_t cellX = style.GetInt("cellx", 0);
    mCellRect = TRect(cellX, cellY, cellX + cellW, cellY + cellH);
    mBloodInfo = style.GetTableOnly("bloodinfo");
    const TString filmSound = style.GetString("filmsound", "");
    if (filmSound.Length() != 0)
        if (AudioManager* audio = AudioManager::Instance())
            mFilmSound = audio->Play(filmSound, false);
    mFilmSoundFade = style.GetInt("filmsoundfade", 0);
    const TString filler = style.GetString("cellfiller", "");
    TopLeft(mTopFiller, filler);
    TopLeft(mBottomFiller, filler);

    if (mBloodInfo == nullptr)
        return ReportError("Cannot find 'bloodinfo' for IllustrationPanel!", kSource, 0, true);
    TScript* script = GetWindowScript();
    std::unique_ptr<TLuaTable> instructions(
        script != nullptr ? script->GetGlobalTable("panelinstructions") : nullptr);
    if (instructions == nullptr || !cutscene::IsTable(*instructions))
        return ReportError("Cannot find panelinstructions global table!", kSource, 0, true);
    std::unique_ptr<TLuaTable> events(instructions->GetTable("events"));
    if (events == nullptr || !cutscene::IsTable(*events))
        return ReportError("Cannot find events table!", kSource, 0, true);
    cutscene::ForEachTable(*events, [this](const TLuaTable& event)
                           { mEvents.push_back(std::make_shared<IllustrationPanelEvent>(event)); });
    std::unique_ptr<TLuaTable> animations(instructions->GetTable("animations"));
    if (animations == nullptr || !cutscene::IsTable(*animations))
        return ReportError("Cannot find animations table!", kSource, 0, true);
    cutscene::ForEachTable(
        *animations, [this](const TLuaTable& animation)
        { mAnimations.push_back(std::make_shared<IllustrationPanelAnimation>(animation)); });
    std::unique_ptr<TLuaTable> cellInfo = style.GetTableOnly("cellinfo");
    const float firstY = StyleFloat(style, "celly");
    const float firstX = StyleFloat(style, "cellx");
    if (cellInfo == nullptr)
        return ReportError("Cannot find cellinfo table for IllustrationPanel!", kSource, 0, true);
    for (int n = 1;; ++n)
    {
        const std::string key = "cell_" + std::to_string(n);
        std::unique_ptr<TLuaTable> cell(instructions->GetTable(key.c_str()));
        if (cell == nullptr || !cutscene::IsTable(*cell))
            break;
        mCells.push_back(std::make_shared<IllustrationPanelCell>(*cell, *cellInfo));
    }

    // The strip: a crossfade cell's successor takes its place; the position after the first
    // shows its aged look from the start, the rest wait hidden.
    PlaceAt(mTopFiller, firstX, firstY - mCellScrollDistance);
    float y = firstY;
    bool secondShown = false;
    for (size_t i = 0; i < mCells.size(); ++i)
    {
        IllustrationPanelCell& cell = *mCells[i];
        if (i == 0 || mCells[i - 1]->IsCrossfade() || secondShown)
            cell.Hide();
        else
        {
            cell.Reset();
            secondShown = true;
        }
        cell.GetLiveTransform().SetPosition(firstX, y, 1.0f);
        cell.GetInactiveTransform().SetPosition(firstX, y, 1.0f);
        if (!cell.IsCrossfade())
            y += mCellScrollDistance;
    }
    PlaceAt(mBottomFiller, firstX, y);
    if (!mCells.empty())
    {
        mCells.back()->SetSkipEnabled(false);
        mCells.front()->Reset();
    }
    mCurrent = 0;
    SpawnBloodStreak();
}

// --- the sequence -------------------------------------------------------------------------------

IllustrationPanelCell* IllustrationPanel::CurrentCell() const
{
    return mCurrent < mCells.size() ? mCells[mCurrent].get() : nullptr;
}

bool IllustrationPanel::Animate()
{
    if (mState == kIdle)
        Update();
    return GameWindow::Animate();
}

void IllustrationPanel::Update()
{
    // Paused, the strip stands still as a whole: its timers, drops and particle line too.
    if (mPaused)
        return;
    DeltaTime* clock = DeltaTime::Instance();
    const uint32_t dt = clock != nullptr ? clock->GetStep() : 0;
    IllustrationPanelCell* cell = CurrentCell();
    switch (mPanelState)
    {
    case kPanelStarting:
        mPanelState = kPanelPlaying;
        EnterCell();
        break;
    case kPanelStepDone:
        if (cell != nullptr)
            cell->StartNextSpeech(&mSpeechCallback);
        mPanelState = kPanelPlaying;
        break;
    case kPanelPlaying:
    case kPanelWaitAnimation:
        if (mCellTimer < mCellTimeMinimum)
        {
            mCellTimer += static_cast<int32_t>(std::min<uint32_t>(dt, 0x7FFFFFFF));
            break;
        }
        if (cell != nullptr && mPanelState != kPanelWaitAnimation &&
            cell->GetSpeechCursor() >= cell->GetSpeechBubbles().size())
        {
            if (mCurrentLocation == kFadeToBlackLocation && mCurrent + 1 == mCells.size())
            {
                mPanelState = kPanelFadeToBlack;
                mCellTimer = 0;
                FadeToBlack();
            }
            if (mPanelState != kPanelFadeToBlack)
                AdvanceCell();
        }
        break;
    case kPanelWaitScroll:
        if (cell != nullptr && cell->HasInactiveTexture())
        {
            StartScroll();
            mPanelState = kPanelTransition;
            PlayFilmSound();
        }
        break;
    default:
        break;
    }

    const Settings* settings = Settings::Instance();
    const int32_t mouseX = settings != nullptr ? settings->mMouseX : 0;
    const int32_t mouseY = settings != nullptr ? settings->mMouseY : 0;
    // A cell's update may fire callbacks that change the list's current cell, never the list.
    for (const auto& each : mCells)
        each->Update(dt, mScrollSpec, mouseX, mouseY);
    for (size_t i = 0; i < mStreaks.size();)
    {
        mStreaks[i]->Reveal();
        if (mStreaks[i]->IsFinished())
            mStreaks.erase(mStreaks.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
    if (static_cast<uint32_t>(std::max(mBloodTimer, 0)) <= dt)
        SpawnBloodStreak();
    else
        mBloodTimer -= static_cast<int32_t>(dt);
    if (mParticleLine != nullptr)
        mParticleLine->Update(static_cast<int32_t>(std::min<uint32_t>(dt, 0x7FFFFFFF)));
}

void IllustrationPanel::EnterCell()
{
    IllustrationPanelCell* cell = CurrentCell();
    if (cell == nullptr)
        return;
    if (cell->GetIntroEvent().Length() != 0)
        ActivateEvent(cell->GetIntroEvent());
    cell->Activate(&mActivatedCallback);
}

void IllustrationPanel::AdvanceCell()
{
    IllustrationPanelCell* cell = CurrentCell();
    if (cell == nullptr)
        return;
    if (cell->IsCrossfade())
    {
        cell->Deactivate();
        ++mCurrent;
        mCellTimer = 0;
        // A last cell with the flag set has no successor to take its place: the strip ends.
        if (CurrentCell() == nullptr)
        {
            mPanelState = kPanelTransition;
            ContinueForward();
            return;
        }
        EnterCell();
        return;
    }
    cell->BeginReturn(&mReturnedCallback);
    mPanelState = kPanelTransition;
    mCellTimer = 0;
}

void IllustrationPanel::RevealNextCell()
{
    for (size_t i = mCurrent; i < mCells.size(); ++i)
    {
        if (mCells[i]->IsCrossfade())
            continue;
        if (i + 1 < mCells.size())
            mCells[i + 1]->Reset();
        return;
    }
}

void IllustrationPanel::HideOldCells()
{
    bool keptOne = false;
    for (size_t i = std::min(mCurrent, mCells.size()); i-- > 0;)
    {
        if (mCells[i]->IsCrossfade())
            continue;
        if (!keptOne)
            keptOne = true;
        else
            mCells[i]->Hide();
    }
}

void IllustrationPanel::StartScroll()
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Move(Ms(mCellScrollTime), false, TVec2(0, -mCellScrollDistance),
                                TVec2(0, 0), 0, kSmoothing));
    transforms->AddTransform(&mScrollTransform, list,
                             new Callback(this, &IllustrationPanel::OnScrollDone));
}

void IllustrationPanel::PlayFilmSound()
{
    AudioManager* audio = AudioManager::Instance();
    if (mFilmSound == 0 || audio == nullptr)
        return;
    auto* record = new SoundPlayRecord(false, nullptr, 0);
    record->AddRamp(new SoundFade(Ms(mFilmSoundFade), 0, 0.0f, 1.0f));
    record->AddRamp(
        new SoundFade(Ms(mCellScrollTime), Ms(mCellScrollTime - mFilmSoundFade), 1.0f, 0.0f));
    audio->PlayIndex(mFilmSound, record);
}

void IllustrationPanel::SpawnBloodStreak()
{
    // A longest interval below the shortest would wrap round: the shortest holds.
    const double span = std::max(0.0, static_cast<double>(mTimeBloodMax) - mTimeBloodMin);
    const double next = mTimeBloodMin + std::trunc(mRandom.NextDouble() * (span + 1.0));
    mBloodTimer = static_cast<int32_t>(std::clamp(next, 0.0, 2147483647.0));
    if (mBloodInfo == nullptr)
        return;
    std::shared_ptr<BloodStreak> streak = BloodStreak::Create(*mBloodInfo);
    if (streak == nullptr)
    {
        if (!mReportedMissingStreak)
            Log("IllustrationPanel \"%s\": the streak's images cannot be loaded; no streaks",
                GetName().c_str());
        mReportedMissingStreak = true;
        return;
    }
    if (mPaused)
        streak->Pause();
    mStreaks.push_back(streak);
}

void IllustrationPanel::FadeToBlack()
{
    if (TransformManager* transforms = TransformManager::Instance())
    {
        auto* list = new TM_InstructionList;
        list->push_back(new TM_Alpha(kFadeToBlackMs, 1.0f, 0.0f, 0, kSmoothing));
        transforms->AddTransform(&mOverlayTransform, list,
                                 new Callback(this, &IllustrationPanel::OnFadeToBlackDone));
    }
    if (AudioManager* audio = AudioManager::Instance())
        audio->FadeOut(0, kFadeToBlackMs);
}

void IllustrationPanel::ContinueForward()
{
    if (mContinued != 0)
        return;
    mContinued = 1;
    if (TScript* script = GetWindowScript())
        script->DoLuaString("ContinueForward();");
}

void IllustrationPanel::SetStepDone()
{
    if (mPanelState != kPanelWaitAnimation)
        mPanelState = kPanelStepDone;
}

void IllustrationPanel::OnCellActivated(void* object, TM_Transform*, uint32_t)
{
    auto* panel = static_cast<IllustrationPanel*>(object);
    if (panel->mFilmSound != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->StopIndex(panel->mFilmSound);
    panel->SetStepDone();
}

void IllustrationPanel::OnCellSpeechDone(void* object, TM_Transform*, uint32_t)
{
    auto* panel = static_cast<IllustrationPanel*>(object);
    if (IllustrationPanelCell* cell = panel->CurrentCell();
        cell != nullptr && cell->GetPostEvent().Length() != 0)
        panel->ActivateEvent(TString(cell->GetPostEvent()));
    panel->SetStepDone();
}

void IllustrationPanel::OnCellReturned(void* object, TM_Transform*, uint32_t)
{
    auto* panel = static_cast<IllustrationPanel*>(object);
    if (panel->mCurrent < panel->mCells.size())
        ++panel->mCurrent;
    if (panel->CurrentCell() == nullptr)
    {
        panel->ContinueForward();
        return;
    }
    panel->mPanelState = kPanelWaitScroll;
    panel->RevealNextCell();
}

void IllustrationPanel::OnScrollDone(void* object, TM_Transform*, uint32_t)
{
    auto* panel = static_cast<IllustrationPanel*>(object);
    panel->mPanelState = kPanelPlaying;
    panel->EnterCell();
    panel->HideOldCells();
}

void IllustrationPanel::OnFadeToBlackDone(void* object, TM_Transform*, uint32_t)
{
    static_cast<IllustrationPanel*>(object)->ContinueForward();
}

// --- events and animations ----------------------------------------------------------------------

void IllustrationPanel::ActivateEvent(const TString& name)
{
    auto found = std::find_if(mEvents.begin(), mEvents.end(),
                              [&](const auto& event) { return event->GetName() == name; });
    if (found == mEvents.end())
    {
        const std::string message = std::string("Cannot find event '") + name.c_str() + "'.";
        ReportError(message.c_str(), kSource, 0, true);
        return;
    }
    // Held: an animation's callback must not see the event go.
    const std::shared_ptr<IllustrationPanelEvent> event = *found;
    for (const TString& each : event->mActivateLayers)
        ActivateLayer(each);
    for (const TString& each : event->mDeactivateLayers)
        DeactivateLayer(each);
    for (const TString& each : event->mActivateParticles)
        ActivateParticle(each);
    for (const TString& each : event->mDeactivateParticles)
        DeactivateParticle(each);
    for (const TString& each : event->mActivateSounds)
        ActivateSound(each);
    for (const TString& each : event->mDeactivateSounds)
        DeactivateSound(each);
    for (const TString& each : event->mAnimations)
        StartAnimation(each);
}

void IllustrationPanel::ActivateLayer(const TString& name)
{
    if (IllustrationPanelCell* cell = CurrentCell())
        if (std::shared_ptr<IllustrationPanelLayer> layer = cell->FindEntity(name))
            layer->Activate();
}

void IllustrationPanel::DeactivateLayer(const TString& name)
{
    if (IllustrationPanelCell* cell = CurrentCell())
        if (std::shared_ptr<IllustrationPanelLayer> layer = cell->FindEntity(name))
            layer->Deactivate();
}

void IllustrationPanel::ActivateParticle(const TString& name)
{
    if (IllustrationPanelCell* cell = CurrentCell())
        if (std::shared_ptr<IllustrationPanelParticle> particle = cell->FindParticle(name))
            particle->Activate();
}

void IllustrationPanel::DeactivateParticle(const TString& name)
{
    if (IllustrationPanelCell* cell = CurrentCell())
        if (std::shared_ptr<IllustrationPanelParticle> particle = cell->FindParticle(name))
            particle->Deactivate();
}

void IllustrationPanel::ActivateSound(const TString& name)
{
    IllustrationPanelCell* cell = CurrentCell();
    std::shared_ptr<SoundEffect> sound = cell != nullptr ? cell->FindSound(name) : nullptr;
    if (sound == nullptr)
        return;
    sound->mEndCallback = nullptr;
    sound->mPending = sound->GetStartDelay();
}

void IllustrationPanel::DeactivateSound(const TString& name)
{
    IllustrationPanelCell* cell = CurrentCell();
    if (std::shared_ptr<SoundEffect> sound = cell != nullptr ? cell->FindSound(name) : nullptr)
        sound->Stop();
}

bool IllustrationPanel::StartAnimation(const TString& name)
{
    auto found = std::find_if(mAnimations.begin(), mAnimations.end(),
                              [&](const auto& animation) { return animation->GetName() == name; });
    if (found == mAnimations.end())
        return false;
    const std::shared_ptr<IllustrationPanelAnimation> animation = *found;
    IllustrationPanelCell* cell = CurrentCell();
    std::shared_ptr<IllustrationPanelLayer> layer =
        cell != nullptr ? cell->FindEntity(animation->GetLayer()) : nullptr;
    if (layer == nullptr)
    {
        const std::string message =
            std::string("Cannot find Layer: ") + animation->GetLayer().c_str();
        ReportError(message.c_str(), kSource, 0, false);
        return false;
    }
    if (!layer->IsActive())
        layer->Activate();
    const bool wait = animation->HasCallback();
    if (wait)
        mPanelState = kPanelWaitAnimation;
    animation->Play(wait ? &mAnimationCallback : nullptr, layer->GetImage());
    for (const TString& sound : animation->GetActivateSounds())
        ActivateSound(sound);
    for (const TString& sound : animation->GetDeactivateSounds())
        DeactivateSound(sound);
    return wait;
}

void IllustrationPanel::OnAnimationDone(void* object, TM_Transform*, uint32_t)
{
    auto* panel = static_cast<IllustrationPanel*>(object);
    bool waiting = false;
    std::shared_ptr<IllustrationPanelAnimation> ended;
    for (const auto& animation : panel->mAnimations)
    {
        if (animation->GetState() == IllustrationPanelAnimation::kPlaying &&
            animation->HasCallback())
            waiting = true;
        if (ended == nullptr && animation->GetState() == IllustrationPanelAnimation::kReporting)
            ended = animation;
    }
    if (ended != nullptr)
        for (const TString& next : std::vector<TString>(ended->GetNextAnimations()))
            if (panel->StartAnimation(next))
                waiting = true;
    if (!waiting)
        panel->mPanelState = kPanelStepDone;
}

// --- script functions ---------------------------------------------------------------------------

void IllustrationPanel::CompletePanels(const TString& statement)
{
    if (mState != kIdle)
        return;
    FadeOut(statement);
    PausePanel();
}

void IllustrationPanel::PausePanel()
{
    for (const auto& cell : mCells)
        cell->Pause();
    for (const auto& streak : mStreaks)
        streak->Pause();
    mPaused = true;
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->PauseTransforms(&mScrollTransform);
    if (mFilmSound != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->Pause(mFilmSound);
}

void IllustrationPanel::ResumePanel()
{
    if (mState != kIdle)
        return;
    for (const auto& cell : mCells)
        cell->Resume();
    for (const auto& streak : mStreaks)
        streak->Resume();
    mPaused = false;
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->ResumeTransforms(&mScrollTransform);
    if (mFilmSound != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->Resume(mFilmSound);
}

// --- input --------------------------------------------------------------------------------------

bool IllustrationPanel::OnMouseDown(TPoint point)
{
    IllustrationPanelCell* cell = CurrentCell();
    if (cell == nullptr)
        return false;
    // Where it was pressed: the pointer may have moved on since, or come with the press.
    TPoint mouse = point;
    ClientToScreen(mouse);
    if (!cell->IsOverSkipText(mScrollSpec, mouse.x, mouse.y))
        return false;
    cell->StopSpeech();
    AdvanceCell();
    return true;
}

bool IllustrationPanel::OnMessage(TMessage* message)
{
    if (message->mType == kFocusLost && !mPaused)
    {
        TWindow* menu = FindChild("menu", 0xFFFFFFFF);
        if (menu != nullptr && menu->IsKindOf(TButton::GetClassId()))
            static_cast<TButton*>(menu)->Fire();
        return true;
    }
    if (message->mType == kFocusBack && mPaused)
    {
        PausePanel();
        Update();
        return true;
    }
    return GameWindow::OnMessage(message);
}

void IllustrationPanel::OnClose()
{
    mCells.clear();
    mCurrent = 0;
}

bool IllustrationPanel::Refresh()
{
    for (const auto& cell : mCells)
        if (!cell->RenderInactiveTexture())
            return false;
    return true;
}

// --- drawing ------------------------------------------------------------------------------------

void IllustrationPanel::DrawFilmDots()
{
    const std::shared_ptr<TTexture> texture = mFilmDot->GetTexture();
    if (texture == nullptr)
        return;
    const float right = kScreenWidth - static_cast<float>(texture->GetWidth());
    const TDrawSpec rightSpec = TDrawSpec(TVec2(right, 0)).Combine(mScrollSpec);
    TDrawSpec& dot = mFilmDot->GetSpec();
    const float offset = mScrollSpec.mMatrix.m[2][1];
    // A step of nothing would never end: one row at the offset.
    const bool oneRow = !(mFilmDotDist > 0);
    for (float y = offset; y < kScreenHeight; y += mFilmDotDist)
    {
        if (oneRow || y > -mFilmDotDist)
        {
            dot.mMatrix.m[2][0] = 0;
            dot.mMatrix.m[2][1] = y - offset;
            dot.mFlags |= kDrawMirrorX;
            mFilmDot->Draw(mScrollSpec);
            dot.mFlags &= ~kDrawMirrorX;
            mFilmDot->Draw(rightSpec);
        }
        if (oneRow)
            break;
    }
}

void IllustrationPanel::DrawParticleLine()
{
    if (mParticleLine == nullptr || kScreenHeight + mParticleLineDist < 0)
        return;
    if (!(mParticleLineDist > 0))
    {
        mParticleLine->Draw(TVec3(0, 0, 0));
        return;
    }
    for (float y = 0; y <= kScreenHeight + mParticleLineDist; y += mParticleLineDist)
        mParticleLine->Draw(TVec3(0, y, 0));
}

void IllustrationPanel::DrawOverlay(float alpha)
{
    TRenderer* renderer = TRenderer::Instance();
    const auto byte = static_cast<uint32_t>(std::clamp(std::trunc(alpha * 255.0f), 0.0f, 255.0f));
    for (OverlayVertex& vertex : mOverlay)
        vertex.diffuse = byte << 24;
    if (renderer->InBegin2d())
    {
        renderer->End2d();
        renderer->Begin2d();
    }
    renderer->SetTexture(nullptr);
    TVertexSet* set = TVertexSet::CreateColored(mOverlay, 4);
    renderer->DrawIndexedVertices(kTriangleList, *set, mOverlayIndices, 6);
    TVertexSet::Release(set);
}

void IllustrationPanel::Draw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    const bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    const TRect clip = renderer->GetClipRect();
    GameWindow::Draw();
    mBackground->Draw(TDrawSpec());
    mTopFiller->Draw(mScrollSpec);
    mBottomFiller->Draw(mScrollSpec);
    for (const auto& cell : mCells)
    {
        if (cell->GetState() == IllustrationPanelCell::kCellHidden)
            continue;
        // Only a cell showing part of its live look is held inside the cell's rectangle.
        const bool clipped = cell->GetInactiveTransform().GetAlpha() != 1.0f;
        if (clipped)
        {
            TRect inside;
            inside.SetIntersection(clip, mCellRect);
            renderer->PushClipRect(inside);
        }
        cell->Draw(mScrollSpec);
        if (clipped)
            renderer->PopClipRect();
    }
    DrawFilmDots();
    for (const auto& streak : mStreaks)
        streak->Draw(TDrawSpec());
    DrawParticleLine();
    const float overlay = mOverlayTransform.GetAlpha();
    if (overlay != 0.0f)
        DrawOverlay(overlay);
    if (entered)
        renderer->End2d();
}
