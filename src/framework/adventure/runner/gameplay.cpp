// The runner's construction and destruction, its script functions, the reports it waits for, the
// look-ups by name and the operations whose base does little or nothing.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_sound.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/player_data.h"
#include "framework/adventure/scene/gameplay_animation.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/adventure/scene/texture_preloader.h"
#include "framework/conversation/conversation_controller.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/playlist.h"
#include "framework/sound/sound_effect.h"
#include "framework/widgets/cursor_overlay.h"
#include "framework/widgets/model_portal.h"
#include "framework/widgets/tool_tip.h"
#include "script/lua_bind.h"
#include "script/window_script_seam.h"
#include "ui/window_manager.h"

#include <algorithm>
#include <utility>

namespace
{

const char kSource[] = "gameplay";

// In the order they are bound; cleared in the same order.
constexpr const char* kScriptFunctions[] = {"HudLeftClick", "HudRightClick",
                                            "GameplayStartAnimation", "GameplayEndAnimation",
                                            "GameplayActivateEvent"};

template <size_t Slot> void Forward(void* object, TM_Transform*, uint32_t id)
{
    static_cast<Gameplay*>(object)->RunCallbackSlot(Slot, id);
}

template <size_t... Slot>
std::array<Callback, sizeof...(Slot)> MakeCallbacks(Gameplay* owner, std::index_sequence<Slot...>)
{
    return {Callback(owner, &Forward<Slot>)...};
}

} // namespace

const uint16_t Gameplay::kTransitionIndices[6] = {0, 1, 2, 0, 2, 3};

Gameplay::Gameplay()
    : mPreloader(std::make_unique<TexturePreloader>()), mTransitionTransform(&mTransitionSpec),
      mModelPortals(std::make_shared<ModelPortalController>()),
      mCallbacks(MakeCallbacks(this, std::make_index_sequence<kCallbackCount>()))
{
    if (Settings* settings = Settings::Instance())
    {
        // Looking a missing name up enters it empty, as the registry always did.
        TWindow* overlay = settings->mOverlays["cursoroverlay"];
        if (overlay != nullptr && overlay->IsKindOf(CursorOverlayController::GetClassId()))
            mCursorOverlay = static_cast<CursorOverlayController*>(overlay);
    }

    for (CoverVertex& vertex : mTransitionQuad)
        vertex = CoverVertex{0, 0, 0, 0, 0, 0, 0, 0};
    mTransitionQuad[1].x = kCoverWidth;
    mTransitionQuad[2].x = kCoverWidth;
    mTransitionQuad[2].y = kCoverHeight;
    mTransitionQuad[3].y = kCoverHeight;
    mTransitionTransform.SetAlpha(1.0f);

    if (DeltaTime* clock = DeltaTime::Instance())
        mRandom.Seed(clock->GetFrameTime());

    AddFlagBits(kWindowFocusable);
    if (TWindowManager* manager = GetWindowManager())
        manager->SetFocus(this);

    if (lua_State* L = GetWindowScriptState())
    {
        LuaBindMember(L, kScriptFunctions[0], this, &Gameplay::HudLeftClick);
        LuaBindMember(L, kScriptFunctions[1], this, &Gameplay::HudRightClick);
        LuaBindMember(L, kScriptFunctions[2], this, &Gameplay::GameplayStartAnimation);
        LuaBindMember(L, kScriptFunctions[3], this, &Gameplay::GameplayEndAnimation);
        LuaBindMember(L, kScriptFunctions[4], this, &Gameplay::GameplayActivateEvent);
    }
}

Gameplay::~Gameplay()
{
    // The fallback: a subclass's part of the record is only reached through OnClose.
    if (mSaveOnClose != 0)
        SaveOnClose();
    if (PlayerData* player = PlayerData::Instance())
        player->ReleaseScriptSaves(this);
    UnbindScriptFunctions();

    if (AudioManager* audio = AudioManager::Instance())
        for (int32_t index : GetSoundIndices())
            if (index != 0)
                audio->Stop(index, false);

    // Without the overlay there is no cursor to put back.
    if (mCursorOverlay != nullptr)
    {
        mCursorOverlay->FindCursor(mCursorDefault);
        mCursorOverlay->RemoveCursor(mCursorPickup);
        mCursorOverlay->RemoveCursor(mCursorRollover);
        mCursorOverlay->RemoveCursor(mCursorInfo);
    }
    mAnimations.clear();
    // What still holds a report of the location's (its entities, objects and strip, which go
    // after this) reaches nothing from here on.
    StopWaiting();
}

void Gameplay::StopWaiting()
{
    *mSelf = nullptr;
}

TWindow* Gameplay::Create()
{
    return new Gameplay();
}

TClassId Gameplay::GetClassId()
{
    return reinterpret_cast<TClassId>(&Gameplay::Create);
}

bool Gameplay::IsKindOf(TClassId id) const
{
    return id == GetClassId() || GameWindow::IsKindOf(id);
}

void Gameplay::UnbindScriptFunctions()
{
    lua_State* L = GetWindowScriptState();
    if (L == nullptr)
        return;
    for (const char* name : kScriptFunctions)
        LuaUnbindMemberIfBound(L, name, this);
}

const std::vector<int32_t> Gameplay::GetSoundIndices() const
{
    return {mSoundClickMiss, mSoundInventoryAppear, mSoundInventoryHover, mSoundInventoryUnequip,
            mSoundAreaClick, mSoundAreaHilight,     mSoundAreaComplete,   mSoundCrazyClick};
}

const TString& Gameplay::GetCursorName(int32_t kind) const
{
    switch (kind)
    {
    case 2:
        return mCursorPickup;
    case 3:
        return mCursorRollover;
    case 4:
        return mCursorInfo;
    case 5:
        return mCursorHint;
    case 7:
        return mCursorLoading;
    default:
        return mCursorDefault;
    }
}

// The script functions.

void Gameplay::GameplayStartAnimation()
{
    // The script may end it at any time: never let go.
    mScriptAnimations.push_back(
        Expect(kCallbackReported, "an animation of the location's script", [] { return true; }));
    mGameplayState = kWaiting;
}

void Gameplay::GameplayEndAnimation()
{
    // The script tells its waits in turn; one too many is its error.
    if (mScriptAnimations.empty())
    {
        ReportError("Too many callbacks reported", kSource, __LINE__, false);
        OnWaitsEnded();
        return;
    }
    WaitHandle ended = std::move(mScriptAnimations.front());
    mScriptAnimations.erase(mScriptAnimations.begin());
    ended.Tell(nullptr, 0);
}

std::shared_ptr<Gameplay::Wait> Gameplay::MakeWait(size_t slot, bool counted)
{
    auto wait = std::make_shared<Wait>();
    wait->mReport = Callback(wait.get(), &Wait::OnReport);
    wait->mOwner = mSelf;
    wait->mSlot = slot;
    wait->mCounted = counted;
    wait->mEvent = mCurrentEvent;
    wait->mStateBefore = mGameplayState;
    return wait;
}

WaitHandle Gameplay::Expect(size_t slot, const TString& what, CanReport canReport)
{
    std::shared_ptr<Wait> wait = MakeWait(slot, true);
    wait->mWhat = what;
    wait->mCanReport = std::move(canReport);
    mWaits.push_back(wait);
    // While a scene loads the state belongs to the loading: the fade-in's end waits instead.
    if (!IsLoadingScene())
        mGameplayState = kWaiting;
    return WaitHandle(std::move(wait));
}

WaitHandle Gameplay::StripNotice(size_t slot)
{
    std::shared_ptr<Wait> motion = MakeWait(slot, false);
    motion->mStripMotion = true;
    mStripMotion = motion;
    return WaitHandle(std::move(motion));
}

void Gameplay::Withdraw(WaitHandle&& report)
{
    const std::shared_ptr<WaitToken> token = report.Release();
    auto it = std::find(mWaits.begin(), mWaits.end(), token);
    if (it == mWaits.end())
        return;
    (*it)->mTold = true;
    const int32_t before = (*it)->mStateBefore;
    mWaits.erase(it);
    if (mWaits.empty() && mGameplayState == kWaiting)
        mGameplayState = before;
}

void Gameplay::Wait::OnReport(void* object, TM_Transform*, uint32_t argument)
{
    auto* wait = static_cast<Wait*>(object);
    if (Gameplay* owner = *wait->mOwner)
        owner->OnWaitTold(*wait, argument);
}

void Gameplay::OnWaitTold(Wait& wait, uint32_t argument)
{
    if (wait.mStripMotion && mStripMotion.lock().get() != &wait)
        return;
    if (wait.mCounted)
        std::erase_if(mWaits, [&](const std::shared_ptr<Wait>& w) { return w.get() == &wait; });
    RunCallback(wait.mSlot, argument);
    if (wait.mCounted)
        OnWaitsEnded();
}

void Gameplay::OnWaitsEnded()
{
    if (!mWaits.empty())
        return;
    if (mGameplayState == kWaiting)
        mGameplayState = kPlay;
}

std::vector<TString> Gameplay::DescribeWaits() const
{
    std::vector<TString> waits;
    for (const std::shared_ptr<Wait>& wait : mWaits)
        waits.push_back(wait->mEvent.Length() > 0
                            ? TString::Format("%s (started by event '%s')", wait->mWhat.c_str(),
                                              wait->mEvent.c_str())
                            : wait->mWhat);
    for (const std::shared_ptr<GameplayAnimation>& animation : mAnimations)
        if (animation->IsAwaited())
        {
            const auto event = mAnimationEvents.find(animation->GetId());
            const TString what =
                TString::Format("GameplayAnimation '%s'", animation->GetName().c_str());
            waits.push_back(event != mAnimationEvents.end() && event->second.Length() > 0
                                ? TString::Format("%s (started by event '%s')", what.c_str(),
                                                  event->second.c_str())
                                : what);
        }
    return waits;
}

void Gameplay::GameplayActivateEvent(const TString& name)
{
    mNextEvent = FindEvent(name);
    // A puzzle asks for its event once, when solved: one the location lacks leaves the player on
    // the solved puzzle, which the log says as for every other event not found.
    if (mNextEvent == nullptr)
        ReportError(TString::Format("Cannot find event named '%s'", name.c_str()).c_str(),
                    "gameplay", __LINE__, false);
}

// The completion callbacks.

void Gameplay::RunCallbackSlot(size_t slot, uint32_t argument)
{
    RunCallback(slot, argument);
}

void Gameplay::RunCallback(size_t slot, uint32_t argument)
{
    switch (slot)
    {
    case kItemArrived:
        OnItemArrived(argument);
        break;
    case kAreaCompleted:
        OnAreaCompleted();
        break;
    case kInventoryReturned:
        OnHeldInventoryPlaced();
        break;
    case kAnimationDone:
        OnAnimationFinished(argument);
        break;
    case kInventoryUsed:
        OnInventoryUsed();
        break;
    case kAreaGroupDone:
    {
        // The reset step, for the game's runners to hand out.
        const TString group =
            mLastClickedArea != nullptr ? mLastClickedArea->GetGroupId() : TString();
        mLastClickedArea = nullptr;
        mHeldInventory = nullptr;
        mGameplayState = kPlay;
        CheckAreaGroup(group);
        break;
    }
    case kConversationEnded:
        EndConversation(argument);
        break;
    case kPlaceHud:
        mHudBusy = 1;
        mGameplayState = kPlay;
        break;
    case kHintSelectReady:
    case kHudScrolled:
        mHudBusy = 0;
        break;
    case kMinigameEnded:
        EndMinigame(argument);
        break;
    case kEventDone:
        if (mHud != nullptr)
            mHud->SetButtonsEnabled(true);
        break;
    default:
        break;
    }
}

Callback* Gameplay::NewSceneFadeInCallback()
{
    return new Callback(this, [](void* object, TM_Transform*, uint32_t)
                        { static_cast<Gameplay*>(object)->OnSceneFadeInDone(); });
}

Callback* Gameplay::NewReleaseInputCallback()
{
    return new Callback(this, [](void* object, TM_Transform*, uint32_t)
                        { static_cast<Gameplay*>(object)->ReleaseInput(); });
}

void Gameplay::PlaySound(int32_t index)
{
    if (index == 0)
        return;
    if (AudioManager* audio = AudioManager::Instance())
        audio->PlayIndex(index);
}

void Gameplay::ScheduleSound(const std::shared_ptr<SoundEffect>& sound)
{
    if (sound != nullptr)
        sound->mPending = sound->GetStartDelay();
}

// Look-ups.

namespace
{

template <class T> T* FindNamed(const std::vector<std::shared_ptr<T>>& list, const TString& name)
{
    for (const std::shared_ptr<T>& object : list)
        if (object != nullptr && object->GetName() == name)
            return object.get();
    return nullptr;
}

template <class T, class Find>
T* FindInScenes(const std::vector<std::shared_ptr<GameplayScene>>& scenes, Find find)
{
    for (const std::shared_ptr<GameplayScene>& scene : scenes)
        if (T* found = find(*scene))
            return found;
    return nullptr;
}

} // namespace

GameplayInventory* Gameplay::FindInventory(const TString& name) const
{
    return FindNamed(mInventory, name);
}

GameplayEvent* Gameplay::FindEvent(const TString& name) const
{
    return FindNamed(mEvents, name);
}

GameplayScene* Gameplay::FindScene(const TString& name) const
{
    return FindNamed(mScenes, name);
}

GameplayAnimation* Gameplay::FindAnimation(const TString& name) const
{
    for (const std::shared_ptr<GameplayAnimation>& animation : mAnimations)
        if (animation->GetName() == name)
            return animation.get();
    return nullptr;
}

GameplayArea* Gameplay::FindArea(const TString& name) const
{
    return FindInScenes<GameplayArea>(mScenes, [&](GameplayScene& s) { return s.FindArea(name); });
}

GameplayItem* Gameplay::FindItem(const TString& name) const
{
    return FindInScenes<GameplayItem>(mScenes, [&](GameplayScene& s) { return s.FindItem(name); });
}

GameplayLayer* Gameplay::FindLayer(const TString& name) const
{
    return FindInScenes<GameplayLayer>(mScenes,
                                       [&](GameplayScene& s) { return s.FindLayer(name); });
}

GameplayParticle* Gameplay::FindParticle(const TString& name) const
{
    return FindInScenes<GameplayParticle>(mScenes,
                                          [&](GameplayScene& s) { return s.FindParticle(name); });
}

GameplaySound* Gameplay::FindSound(const TString& name) const
{
    return FindInScenes<GameplaySound>(mScenes,
                                       [&](GameplayScene& s) { return s.FindSound(name); });
}

// Inherited operations.

bool Gameplay::Animate()
{
    const bool result = GameWindow::Animate();
    Update();
    // Paused or under a dialog too: a calm point's record waits no longer than the interval.
    if (const DeltaTime* clock = DeltaTime::Instance())
        StoreCalmPointWhenDue(clock->GetStep());
    return result;
}

void Gameplay::Pause()
{
    PauseGame();
}

void Gameplay::Resume()
{
    ResumeGame();
}

// Own operations whose base is small.

void Gameplay::DrawExtra() {}

void Gameplay::LoadExtraState(const uint8_t*, size_t) {}
void Gameplay::SaveExtraState(std::vector<uint8_t>&) {}

void Gameplay::AddPlayTime(uint32_t ms)
{
    // Unsigned: wraps at 2^32 ms.
    mPlayTime += ms;
}

void Gameplay::CheckTutorials() {}
void Gameplay::HandleTutorialMouse(const TPoint&, TString&) {}

bool Gameplay::HandleMedallionMouse()
{
    return false;
}

bool Gameplay::ExtraCondition()
{
    return false;
}
