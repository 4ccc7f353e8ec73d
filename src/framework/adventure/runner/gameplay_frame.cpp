// The location from frame to frame: the state machine, input by state, the scene switch with its
// sliced loading and fades, the click road (HUD, placed objects, items, areas, hilights, drops and
// misses), the miss-click penalty, and the two drawing passes.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/entities/gameplay_sound.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
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
#include "framework/transforms/transform_instructions.h"
#include "framework/widgets/cursor_overlay.h"
#include "framework/widgets/model_portal.h"
#include "platform/log.h"
#include "render/renderer/renderer.h"
#include "render/renderer/vertex_set.h"
#include "script/script.h"
#include "script/window_script_seam.h"

#include <algorithm>
#include <cmath>

namespace
{

const char kSource[] = "gameplay";
constexpr float kFadeSmoothing = -0.5f;
// The messages the window manager posts when the application loses and regains activation.
constexpr int32_t kMessageDeactivated = 1001;
constexpr int32_t kMessageActivated = 1002;
constexpr uint32_t kTriangleList = 4;

// The HUD's hint trackers answer in the HUD window's own coordinates: the screen point moved by
// the strip's translation (minus the window's corner).
TPoint InHud(const GameplayHud& hud, const TPoint& point)
{
    const TDrawSpec& strip = hud.GetStripSpec();
    return TPoint{point.x + static_cast<int32_t>(strip.mMatrix.m[2][0]),
                  point.y + static_cast<int32_t>(strip.mMatrix.m[2][1])};
}

uint32_t FrameStep()
{
    DeltaTime* clock = DeltaTime::Instance();
    return clock != nullptr ? clock->GetStep() : 0;
}

} // namespace

// Input.

bool Gameplay::OnMessage(TMessage* message)
{
    if (message == nullptr)
        return false;
    if (message->mType == kMessageDeactivated)
    {
        if (mPaused != 0)
            return false;
        if (TScript* script = GetWindowScript())
            script->DoLuaString("ShowPauseDialog();");
        return true;
    }
    if (message->mType == kMessageActivated)
    {
        if (mPaused == 0)
            return false;
        // A paused location stays still: pausing it again holds whatever the focus's return
        // let go.
        PauseGame();
        return true;
    }
    return false;
}

bool Gameplay::OnMouseDown(TPoint point)
{
    if (GetState() != kIdle)
        return false;
    if (mInputLocked != 0)
        return true;
    switch (mGameplayState)
    {
    case kConversation:
        if (mConversations != nullptr)
            mConversations->OnMouseDown();
        break;
    case kPlay:
        if (mActiveScene == nullptr || !mActiveScene->OnMouseDown(point))
            TakeClick(point);
        break;
    case kTutorial:
    case kHintSelect:
        TakeClick(point);
        break;
    case kWaiting:
        mClickIgnored = true;
        break;
    default:
        break;
    }
    return true;
}

void Gameplay::TakeClick(TPoint point)
{
    ClientToScreen(point);
    mClickPending = 1;
    mClickPoint = point;
}

TPoint Gameplay::RoadPoint() const
{
    if (mClickPending != 0)
        return mClickPoint;
    const Settings* settings = Settings::Instance();
    return settings != nullptr ? TPoint{settings->mMouseX, settings->mMouseY} : TPoint{};
}

bool Gameplay::OnMouseUp(TPoint point)
{
    if (GetState() != kIdle)
        return false;
    if (mGameplayState == kPlay && mActiveScene != nullptr)
        return mActiveScene->OnMouseUp(point);
    return true;
}

bool Gameplay::OnKeyDown(char, int32_t)
{
    return false;
}

// Scene switches.

void Gameplay::SwitchScene(const TString& name)
{
    GameplayScene* next = FindScene(name);
    if (next == nullptr)
    {
        // Working on a scene that is not there would end in a crash: the location stays.
        ReportError(TString::Format("Cannot find scene named '%s'", name.c_str()).c_str(), kSource,
                    __LINE__, false);
        return;
    }
    mGameplayState = kSceneSwitch;
    mNextScene = next;
    if (mActiveScene == nullptr)
    {
        EnterNextScene();
        return;
    }
    StartTransition(0.0f, 1.0f,
                    new Callback(this, [](void* object, TM_Transform*, uint32_t)
                                 { static_cast<Gameplay*>(object)->EnterNextScene(); }));
    mActiveScene->OnLeave();
}

void Gameplay::StartTransition(float from, float to, Callback* done)
{
    mTransitionTransform.SetAlpha(from);
    TransformManager* manager = TransformManager::Instance();
    if (manager == nullptr)
    {
        mTransitionTransform.SetAlpha(to);
        done->Call(nullptr, 0);
        delete done;
        return;
    }
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(static_cast<uint32_t>(std::max(mSceneTransitionTime, 0)), to, from,
                                 0, kFadeSmoothing));
    manager->AddTransform(&mTransitionTransform, list, done, nullptr);
}

void Gameplay::EnterNextScene()
{
    // The scene left is no longer shown when its pictures go: what their release ends and leads
    // on to waits for that scene's next showing.
    GameplayScene* left = mActiveScene;
    mActiveScene = mNextScene;
    mNextScene = nullptr;
    if (left != nullptr)
        left->ReleaseTextures();
    mGameplayState = kSceneLoading;
    if (mActiveScene != nullptr)
        mPreloader->Fill(*mActiveScene);
}

void Gameplay::OnSceneFadeInDone()
{
    mGameplayState = mWaits.empty() ? kPlay : kWaiting;
    if (mActiveScene == nullptr)
        return;
    for (uint8_t id : mActiveScene->TakePendingAnimations())
        if (id < mAnimations.size())
            StartEventAnimation(mAnimations[id]->GetName(), true);
    const TString dialog = mActiveScene->TakeDialog();
    if (dialog.Length() > 0)
        mPendingConversation = dialog;
    // A switch an event asked for while this scene loaded.
    if (mPendingSceneSwitch.Length() > 0)
    {
        const TString name = mPendingSceneSwitch;
        mPendingSceneSwitch = TString();
        SwitchScene(name);
    }
}

void Gameplay::EnterFirstScene()
{
    const bool restored = LoadLocationState();
    if (!restored && mHud != nullptr)
    {
        int32_t items = 0;
        for (const std::shared_ptr<GameplayScene>& scene : mScenes)
            items += static_cast<int32_t>(scene->GetItems().size());
        mHud->SetProgressMax(items);
    }
    if (mActiveScene == nullptr)
    {
        // Nothing to show: the location stays inert.
        mGameplayState = kSceneSwitch;
        return;
    }
    const TString name = mActiveScene->GetName();
    mActiveScene = nullptr;
    SwitchScene(name);
    if (!restored && mNextEvent != nullptr)
    {
        GameplayEvent* initial = mNextEvent;
        mNextEvent = nullptr;
        ActivateEvent(initial->GetName(), true);
    }
}

// The frame.

void Gameplay::Update()
{
    switch (mGameplayState)
    {
    case kFirstFrame:
        EnterFirstScene();
        return;
    case kSceneLoading:
        if (mActiveScene == nullptr || mPreloader->Step())
        {
            if (mActiveScene != nullptr)
                mActiveScene->LoadTextures();
            mGameplayState = kSceneFadingIn;
        }
        else
        {
            UpdateLoadingCursor();
        }
        return;
    case kSceneFadingIn:
        if (mActiveScene != nullptr && !mActiveScene->FinishTexturesStep())
        {
            UpdateLoadingCursor();
            return;
        }
        StartTransition(1.0f, 0.0f, NewSceneFadeInCallback());
        if (mActiveScene != nullptr)
        {
            mActiveScene->OnEnter();
            if (mPlaylists != nullptr && mActiveScene->GetPlaylistIndex() >= 0)
                mPlaylists->SelectPlaylist(static_cast<uint32_t>(mActiveScene->GetPlaylistIndex()));
        }
        mGameplayState = kSceneSwitch;
        if (mHeldInventory != nullptr)
            SetCursorPickup();
        else
            SetCursorDefault();
        return;
    default:
        break;
    }

    if (!IsRunning() || mLocationComplete != 0)
    {
        mClickPending = 0;
        return;
    }
    const uint32_t elapsed = FrameStep();
    if (!mAnimationsPutOff.empty())
        StartAnimationsPutOff();
    for (uint32_t& age : mMissClickTimes)
        age += elapsed;
    const auto limit = static_cast<uint32_t>(std::max(mCrazyClickTimeToRemoveClick, 0));
    mMissClickTimes.erase(std::remove_if(mMissClickTimes.begin(), mMissClickTimes.end(),
                                         [&](uint32_t age) { return age >= limit; }),
                          mMissClickTimes.end());
    for (const std::shared_ptr<GameplaySound>& sound : mSounds)
        sound->Update(elapsed);

    FrameInput input;
    input.mouse = RoadPoint();
    // The object in the hand was last moved to the pointer by the frame before: a press that came
    // with the pointer's arrival would test the drop where the object was.
    if (mHeldInventory != nullptr)
        mHeldInventory->FollowPointer(TIntPoint{input.mouse.x, input.mouse.y});
    // A prompt is for the player: a location run forward as it closes shows none.
    if (!mSettling)
        CheckTutorials();
    if (mActiveScene != nullptr)
        input.wantedCursor = mActiveScene->GetCursorName();
    switch (mGameplayState)
    {
    case kTutorial:
        HandleTutorialMouse(input.mouse, input.toolTip);
        break;
    case kHintSelect:
        HandleHudInventoryMouse(input.mouse, input.toolTip);
        break;
    case kPlay:
        PlayRoad(input);
        break;
    default:
        break;
    }

    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        scene->Update(elapsed, scene.get() == mActiveScene, mGameplayState == kPlay);
    if (mBlockingAnimation != 0)
        EndAnimationsOfStoppedLayers();
    if (mGameplayState == kWaiting || mBlockingAnimation != 0)
        LetGoOfWaitsNothingCanEnd();
    WatchScriptHold(elapsed);
    UpdateToolTips(input.incomplete, input.toolTipVisible, input.toolTip, input.mouse,
                   mToolTipColor);
    if (mHintArmed != 0 && mClickPending != 0 && mGameplayState != kTutorial)
        EndHint();
    for (const auto& sound :
         {mSoundItemClickHit, mSoundHintShowItem, mSoundInventoryEquip, mSoundInventoryHint})
        if (sound != nullptr)
            sound->Update(elapsed);
    // The strip and the scenes step the objects they hold; one in the hand from neither (an
    // event put it there) is stepped here, so that it follows the pointer.
    if (mHeldInventory != nullptr && !IsPlaced(*mHeldInventory))
        mHeldInventory->Update(elapsed);
    if (!mSettling)
        AddPlayTime(elapsed);
    mModelPortals->StepCurrentModelPortal();
    mClickPending = 0;
}

void Gameplay::Hover(GameplayInventory* object, FrameInput& input)
{
    if (object != mHoveredInventory)
        PlaySound(mSoundInventoryHover);
    mHoveredInventory = object;
    object->SetHovered(true);
    input.toolTip = object->GetActualName();
    SetCursorRollover();
}

void Gameplay::PlayRoad(FrameInput& input)
{
    if (mInputLocked != 0 || HandleMedallionMouse() || mBlockingAnimation != 0)
        return;
    if (IsLocationDone())
    {
        CompleteLocation();
        return;
    }
    if (mHintRequested != 0)
    {
        mHintRequested = 0;
        HintInventory(mHintInventory, mHintRequestMode != 0);
        return;
    }
    if (mPendingConversation.Length() > 0)
    {
        const TString name = mPendingConversation;
        mPendingConversation = TString();
        StartConversation(name, nullptr);
        return;
    }
    if (mNextEvent != nullptr)
    {
        GameplayEvent* event = mNextEvent;
        mNextEvent = nullptr;
        ActivateEvent(event->GetName(), false);
        return;
    }

    const bool click = mClickPending != 0;
    const TVec2 mouse(static_cast<float>(input.mouse.x), static_cast<float>(input.mouse.y));
    bool handled = false;
    GameplayArea* hover = nullptr;
    GameplayInventory* hovered = nullptr;

    if (mDeferredEvent != nullptr)
    {
        if (click)
        {
            mNextEvent = mDeferredEvent;
            mDeferredEvent = nullptr;
            handled = true;
        }
    }
    else
    {
        if (mHeldInventory == nullptr && mHudBusy == 0 && mHud != nullptr)
            if (GameplayInventory* object = mHud->FindInventoryAt(input.mouse))
            {
                handled = true;
                if (object->IsWhole())
                {
                    if (click)
                    {
                        EquipInventory(object);
                        SetCursorPickup();
                    }
                    else
                    {
                        Hover(object, input);
                        hovered = object;
                    }
                }
                else
                {
                    if (object->HitTestProgressBar(TIntPoint{input.mouse.x, input.mouse.y}))
                    {
                        input.toolTip = object->GetProgressBarToolTip();
                    }
                    else
                    {
                        input.incomplete = object;
                        input.toolTipVisible = click;
                    }
                    SetCursorDefault();
                }
            }
        // One held that nothing else can take (no scene of its own, not the strip's, lying
        // nowhere) stays in the hand at a miss: a click on another object lying in the scene
        // trades them, the held one laid where the pointer is, or no other could ever be taken.
        const bool trades = click && mHeldInventory != nullptr && HasNowhereToGo(*mHeldInventory);
        if (!handled && (mHeldInventory == nullptr || trades) && mActiveScene != nullptr)
        {
            // The one drawn over the others is taken, and goes under them: objects laid where the
            // hand was, one after another, lie in a pile, and clicks on it take each in turn.
            const std::vector<GameplayInventory*> lying = mActiveScene->GetInventoryAt(mouse);
            for (auto it = lying.rbegin(); it != lying.rend(); ++it)
            {
                GameplayInventory* object = *it;
                GameplayArea* holder = mActiveScene->FindAreaHolding(object);
                if (object == mHeldInventory ||
                    (holder != nullptr && holder->HoldsCorrectInventory()))
                    continue;
                handled = true;
                if (click)
                {
                    PutHeldObjectBack();
                    mActiveScene->PutUnderTheOthers(object);
                    EquipInventory(object);
                    SetCursorPickup();
                }
                else
                {
                    Hover(object, input);
                    hovered = object;
                }
                break;
            }
        }
        if (!handled && click && mActiveScene != nullptr)
            for (GameplayItem* item : mActiveScene->GetItems())
            {
                const uint8_t flags = item->GetFlags();
                if ((flags & GameplayEntity::kActive) == 0 || (flags & GameplayItem::kFound) != 0 ||
                    !item->HitTest(mouse, TDrawSpec()))
                    continue;
                OnItemFound(item);
                handled = true;
                break;
            }
        if (!handled && mActiveScene != nullptr)
        {
            const std::vector<GameplayArea*>& areas = mActiveScene->GetAreas();
            for (auto it = areas.rbegin(); it != areas.rend() && !handled; ++it)
            {
                GameplayArea* area = *it;
                if ((area->GetFlags() & GameplayEntity::kActive) == 0 ||
                    area->HoldsCorrectInventory())
                    continue;
                if (mHeldInventory != nullptr)
                {
                    const bool takes = area->HasEventForInventory(mHeldInventory->GetName()) ||
                                       area->CanHoldInventory(mHeldInventory) ||
                                       area->GetHeldInventory() == mHeldInventory;
                    if ((!takes && !area->HasEventForInventory("default")) ||
                        !area->TestInventoryDrop(mHeldInventory))
                        continue;
                    if (!click)
                    {
                        hover = area;
                        continue;
                    }
                    // A plain-click event is nothing to run with the object: the use would find no
                    // event of its name and the object would be gone. The click passes on, and
                    // without an area that takes the object it is a click on nothing, which puts
                    // the object back. One the strip cannot take may have nowhere to go back to:
                    // the area answers the plain click, the object staying in the hand, so that
                    // holding it never shuts the way out of a scene.
                    if (!takes && mHeldInventory->CanBePlacedInHud())
                        continue;
                    if (!takes)
                    {
                        ClickArea(area);
                        SetCursorPickup();
                        handled = true;
                        continue;
                    }
                    ClickAreaWithObject(area);
                    handled = true;
                }
                else
                {
                    if (!area->HitTest(mouse))
                        continue;
                    if (!click)
                    {
                        if (hover == nullptr)
                            hover = area;
                        continue;
                    }
                    ClickArea(area);
                    handled = true;
                }
            }
        }
    }
    if (hovered == nullptr)
        mHoveredInventory = nullptr;

    // The hilight pass.
    if (mActiveScene != nullptr)
        for (GameplayArea* area : mActiveScene->GetAreas())
            if (area != hover)
                area->StartHilightFade(true);
    if (hover != nullptr)
    {
        if (hover->Hilight())
            PlaySound(mSoundAreaHilight);
        if (mHeldInventory == nullptr)
        {
            handled = true;
            SetCursorByName(hover);
        }
        input.toolTip = hover->GetActualName();
    }
    if (mHeldInventory == nullptr && !handled)
        SetCursorDefault();

    if (handled || mDeferredEvent != nullptr)
        return;
    const bool overHud = mHud != nullptr && mHud->ContainsPoint(input.mouse);
    bool hover12 = !click;
    if (click && mHeldInventory != nullptr)
    {
        if (mActiveScene == nullptr || mHeldInventory->GetHomeScene() != mActiveScene->GetName())
            SetCursorDefault();
        UnequipInventory();
        PlaySound(mSoundInventoryUnequip);
    }
    else if (click && !overHud)
    {
        PlaySound(mSoundClickMiss);
        mMissClickTimes.push_back(0);
        if (static_cast<int64_t>(mMissClickTimes.size()) >= mCrazyClickCountToActivate)
            StartCrazyClickPenalty();
    }
    else if (click && mHud != nullptr && mHud->TestHintClick(InHud(*mHud, input.mouse), true))
    {
        if (HasValidHintTarget())
        {
            mHud->SelectHint(InHud(*mHud, input.mouse));
            BeginHintSelect();
        }
        else
        {
            input.toolTip = mToolTipHintNoValidTarget;
            input.toolTipVisible = true;
            hover12 = true;
        }
    }
    if (!hover12)
        return;
    if (mHud != nullptr && mHud->TestHintClick(InHud(*mHud, input.mouse), false))
        input.toolTip = GetHintToolTipText();
    else if (mHud != nullptr && mHud->IsOverProgressBar(input.mouse))
        input.toolTip = mToolTipProgressBar;
    if (mActiveScene != nullptr && mActiveScene->IsRevealPending())
        mActiveScene->RevealAreas();
    if (mInputLocked == 0 && mHeldInventory == nullptr)
        FollowWantedCursor(input.wantedCursor);
}

void Gameplay::FollowWantedCursor(const TString& name)
{
    if (mCursorOverlay == nullptr)
        return;
    if (name.Length() == 0)
    {
        mCursorOverlay->ShowCursor(false);
        mCursorKind = kCursorSceneOwn;
        mWantedCursor = name;
        return;
    }
    mCursorOverlay->ShowCursor(true);
    if (SetCursorByKnownName(name))
    {
        mWantedCursor = name;
        return;
    }
    // The scene's fallback names the default cursor by its role.
    if (name == TString("default"))
    {
        SetCursorDefault();
        mWantedCursor = name;
        return;
    }
    // Other names are the overlay's own. The kind no longer says what the overlay shows, or a
    // setter that finds its kind unchanged would leave a puzzle's hand on the next scene. A name
    // the overlay lacks is reported once, not every frame; one it has is taken again every frame,
    // after the road's own switch to the default.
    const std::vector<std::shared_ptr<CursorOverlay>>& cursors = mCursorOverlay->GetCursors();
    const bool present = std::any_of(cursors.begin(), cursors.end(),
                                     [&](const std::shared_ptr<CursorOverlay>& cursor)
                                     { return cursor->GetName() == name; });
    if (present || name != mWantedCursor)
        mCursorOverlay->FindCursor(name);
    if (present)
        mCursorKind = kCursorSceneOwn;
    mWantedCursor = name;
}

void Gameplay::ClickAreaWithObject(GameplayArea* area)
{
    GameplayInventory* object = mHeldInventory;
    if (area->GetHeldInventory() == object)
    {
        const TVec2& at = area->GetInventoryPosition();
        object->MoveTo(at.x, at.y,
                       Expect(kInventoryReturned,
                              TString::Format("object '%s' gliding to area '%s'",
                                              object->GetName().c_str(), area->GetName().c_str()),
                              ObjectMotionRuns(*object)),
                       0);
    }
    else if (area->CanHoldInventory(object))
    {
        for (const std::shared_ptr<GameplayScene>& scene : mScenes)
            scene->RemoveInventory(object);
        area->HoldInventory(object);
        mActiveScene->AddInventory(
            object, true, area->GetInventoryPosition(),
            Expect(kInventoryReturned,
                   TString::Format("object '%s' placed on area '%s'", object->GetName().c_str(),
                                   area->GetName().c_str()),
                   ObjectMotionRuns(*object)));
        if (mHud != nullptr && mHud->HasInventory(object->GetName()))
            mHud->RemoveInventory(object);
        if (area->HoldsCorrectInventory())
            object->Hilight();
        mHeldInventory = nullptr;
    }
    else
    {
        area->StartHilightFade(true);
        UseInventory(object, area);
    }
    mLastClickedArea = area;
    SetCursorDefault();
}

void Gameplay::ClickArea(GameplayArea* area)
{
    if (area->HasEventForInventory("default"))
    {
        mNextEvent = FindEvent(area->FindEventForInventory("default"));
        mLastClickedArea = area;
        SetCursorDefault();
        if (!area->IsPortal())
            PlaySound(mSoundAreaClick);
        return;
    }
    if (area->GetClickDialog().Length() > 0)
    {
        mPendingConversation = area->GetClickDialog();
        PlaySound(mSoundAreaClick);
    }
}

void Gameplay::EquipInventory(GameplayInventory* inventory)
{
    if (inventory == nullptr)
        return;
    mHeldInventory = inventory;
    inventory->Equip();
    if (mHud != nullptr)
        mHud->SetButtonsEnabled(false);
    ScheduleSound(mSoundInventoryEquip);
}

// The miss-click penalty.

void Gameplay::StartCrazyClickPenalty()
{
    if (mCrazyClickTransform == nullptr)
        return;
    if (TransformManager* manager = TransformManager::Instance())
    {
        auto* list = new TM_InstructionList;
        list->push_back(new TM_MovePath(static_cast<uint32_t>(std::max(mCrazyClickPathDuration, 0)),
                                        mCrazyClickPath, TVec2(0, 0), false, 0.0f, kFadeSmoothing));
        manager->AddTransform(mCrazyClickTransform.get(), list, NewReleaseInputCallback(), nullptr);
    }
    mMissClickTimes.clear();
    mInputLocked = 1;
    if (mCursorOverlay != nullptr)
        mCursorOverlay->ShowCursor(false);
    if (mHud != nullptr)
        mHud->SetButtonsEnabled(false);
    PlaySound(mSoundCrazyClick);
}

void Gameplay::ReleaseInput()
{
    mInputLocked = 0;
    if (mCursorOverlay != nullptr)
        mCursorOverlay->ShowCursor(true);
    if (mHud != nullptr)
        mHud->SetButtonsEnabled(true);
}

// Drawing.

uint32_t Gameplay::TransitionAlphaByte()
{
    const float alpha = std::clamp(mTransitionTransform.GetAlpha(), 0.0f, 1.0f);
    return static_cast<uint32_t>(std::trunc(alpha * 255.0f)) & 0xFFu;
}

void Gameplay::Draw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    const bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    GameWindow::Draw();
    const TDrawSpec identity;
    // Before its first frame the location has read none of its pictures, and the screen under
    // it (the menu) would show through the transition's cover left out: a pause dialog opened
    // then (the focus lost as the location opened) stays over that frame until "Resume". The
    // cover the first scene fades in from is drawn from the start.
    if (mActiveScene != nullptr && mGameplayState != kFirstFrame &&
        mGameplayState != kSceneLoading && mGameplayState != kSceneFadingIn)
        mActiveScene->Draw(identity);
    const uint32_t alpha = TransitionAlphaByte();
    if (alpha != 0)
    {
        renderer->End2d();
        renderer->Begin2d();
        for (CoverVertex& vertex : mTransitionQuad)
            vertex.diffuse = alpha << 24;
        renderer->SetTexture(nullptr);
        TVertexSet* set = TVertexSet::CreateColored(mTransitionQuad, 4);
        renderer->DrawIndexedVertices(kTriangleList, *set, kTransitionIndices, 6);
        TVertexSet::Release(set);
    }
    if (mGameplayState == kConversation && mConversations != nullptr)
    {
        mConversations->DrawScrim(identity);
        mConversations->Draw(identity);
    }
    if (entered)
        renderer->End2d();
}

void Gameplay::PostDraw()
{
    if (mGameplayState == kFirstFrame)
    {
        GameWindow::PostDraw();
        return;
    }
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    const bool was2d = renderer->InBegin2d();
    if (!was2d && !renderer->Begin2d())
        return;
    const TDrawSpec identity;
    if (mActiveScene != nullptr)
        mActiveScene->DrawEffects(identity);
    DrawExtra();
    if (mHeldInventory != nullptr)
        mHeldInventory->Draw(identity);
    DrawToolTips();
    if (mInputLocked != 0 && mPaused == 0 && mCrazyClickCursor != nullptr)
    {
        TPoint mouse;
        if (Settings* settings = Settings::Instance())
            mouse = TPoint{settings->mMouseX, settings->mMouseY};
        mCrazyClickCursor->Draw(
            TDrawSpec(TVec2(static_cast<float>(mouse.x), static_cast<float>(mouse.y))));
    }
    renderer->End2d();
    mModelPortals->DrawCurrentModelPortal();
    renderer->Begin2d();
    GameWindow::PostDraw();
    if (!was2d)
        renderer->End2d();
}

void Gameplay::OnFadeInDone()
{
    GameWindow::OnFadeInDone();
    if (mHud != nullptr)
        mHud->ArrangeInventory(0, false, nullptr);
}
