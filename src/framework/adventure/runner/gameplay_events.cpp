// Event activation: an event's changes carried out in their fixed order with the rule for which
// changes the location waits for; area completion; layer animations started, deferred or applied
// at once; the end steps of completed areas, finished animations and glided objects; area groups;
// the overlay cursor chosen by kind or by an area.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/entities/gameplay_particle.h"
#include "framework/adventure/entities/gameplay_sound.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/scene/gameplay_animation.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/sound/audio_manager.h"
#include "framework/widgets/animated_bitmap.h"
#include "framework/widgets/cursor_overlay.h"
#include "framework/widgets/model_portal.h"
#include "platform/log.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace
{

const char kSource[] = "gameplay";
// Where an object placed in a scene without a position goes: its own place.
const TVec2 kNoPosition(-9999.0f, -9999.0f);

std::string_view View(const TString& text)
{
    return std::string_view(text.c_str(), static_cast<size_t>(text.Length()));
}

} // namespace

bool Gameplay::IsLoadingScene() const
{
    return mGameplayState == kFirstFrame || mGameplayState == kSceneLoading ||
           mGameplayState == kSceneFadingIn;
}

template <class Entity, class FindInScene, class FindAnywhere, class Change>
void Gameplay::ChangeEntity(const TString& name, bool instant, FindInScene inScene,
                            FindAnywhere anywhere, Change change, const char* what)
{
    if (mActiveScene != nullptr)
        if (Entity* entity = inScene(*mActiveScene, name))
        {
            if (instant)
            {
                change(*entity, false, nullptr);
                return;
            }
            // Each change hands out a report of its own, counted first: an entity holds one and
            // tells the one it replaces (a second change of one entity), so the count never passes
            // 0 on the way. A change that does nothing (an area already done) takes none, and its
            // report is withdrawn.
            WaitHandle report = Expect(kCallbackReported, TString::Format(what, name.c_str()),
                                       [entity] { return entity->CanEndChange(); });
            change(*entity, true, std::move(report));
            Withdraw(std::move(report));
            return;
        }
    // Off screen: at once, never waited for.
    if (Entity* entity = anywhere(name))
        change(*entity, false, nullptr);
}

Gameplay::CanReport Gameplay::ObjectMotionRuns(const GameplayInventory& object)
{
    return [&object] { return object.IsMotionRunning(); };
}

Gameplay::CanReport Gameplay::StripMergeRuns() const
{
    return [this] { return mHud != nullptr && mHud->CanEndMerge(); };
}

template <class Change>
void Gameplay::ReportedInventoryChange(GameplayInventory& object, Change change, const char* what)
{
    // As for entities: an object holds one pending report, tells the one a new change replaces,
    // and a change that took none has its report withdrawn.
    WaitHandle report = Expect(kCallbackReported, TString::Format(what, object.GetName().c_str()),
                               ObjectMotionRuns(object));
    change(std::move(report));
    Withdraw(std::move(report));
}

bool Gameplay::ActivateEvent(const TString& name, bool instant)
{
    GameplayEvent* event = FindEvent(name);
    if (event == nullptr)
    {
        ReportError(TString::Format("Cannot find event named '%s'", name.c_str()).c_str(), kSource,
                    __LINE__, false);
        return false;
    }
    // What this event starts is said to be its, should it have to be let go.
    const TString outerEvent = mCurrentEvent;
    mCurrentEvent = name;
    ApplyEvent(*event, instant);
    mCurrentEvent = outerEvent;
    return false;
}

void Gameplay::ApplyEvent(const GameplayEvent& eventRef, bool instant)
{
    const GameplayEvent* event = &eventRef;
    const bool animate = !instant;

    for (const TString& animation : event->GetAnimations())
        StartEventAnimation(animation, animate);

    auto area = [](GameplayScene& scene, const TString& n) { return scene.FindArea(n); };
    auto anyArea = [this](const TString& n) { return FindArea(n); };
    auto layer = [](GameplayScene& scene, const TString& n) { return scene.FindLayer(n); };
    auto anyLayer = [this](const TString& n) { return FindLayer(n); };
    auto activate = [](GameplayEntity& e, bool a, WaitHandle&& r) { e.Activate(a, std::move(r)); };
    auto show = [](GameplayEntity& e, bool a, WaitHandle&& r) { e.Show(a, std::move(r)); };
    auto deactivate = [](GameplayEntity& e, bool a, WaitHandle&& r)
    { e.Deactivate(a, std::move(r)); };

    for (const TString& n : event->GetAreasToActivate())
        ChangeEntity<GameplayArea>(n, instant, area, anyArea, activate, "area '%s' switched on");
    for (const TString& n : event->GetAreasToMakeVisible())
        ChangeEntity<GameplayArea>(n, instant, area, anyArea, show, "area '%s' shown");

    bool completionSounded = false;
    for (const TString& n : event->GetAreasToComplete())
    {
        const bool wait = mLastClickedArea != nullptr && mLastClickedArea->GetName() == n;
        if (CompleteArea(n, wait) && !completionSounded)
        {
            PlaySound(mSoundAreaComplete);
            completionSounded = true;
        }
    }
    for (const TString& n : event->GetAreasToIncomplete())
        if (GameplayArea* found = FindArea(n))
            found->SetFlags(static_cast<uint8_t>(found->GetFlags() & ~GameplayArea::kCompleted));
    for (const TString& n : event->GetAreasToDeactivate())
        ChangeEntity<GameplayArea>(n, instant, area, anyArea, deactivate, "area '%s' switched off");
    for (const TString& n : event->GetLayersToActivate())
        ChangeEntity<GameplayLayer>(n, instant, layer, anyLayer, activate,
                                    "layer '%s' switched on");
    for (const TString& n : event->GetLayersToDeactivate())
        ChangeEntity<GameplayLayer>(n, instant, layer, anyLayer, deactivate, "layer '%s' put away");

    auto particle = [this](const TString& n) -> GameplayParticle*
    {
        if (mActiveScene != nullptr)
            if (GameplayParticle* found = mActiveScene->FindParticle(n))
                return found;
        return FindParticle(n);
    };
    for (const TString& n : event->GetParticlesToActivate())
        if (GameplayParticle* found = particle(n))
            found->Activate(animate, nullptr);
    for (const TString& n : event->GetParticlesToDeactivate())
        if (GameplayParticle* found = particle(n))
            found->Deactivate(animate, nullptr);
    for (const TString& n : event->GetSoundsToActivate())
        if (GameplaySound* found = FindSound(n))
            found->Activate(animate, nullptr);
    for (const TString& n : event->GetSoundsToDeactivate())
        if (GameplaySound* found = FindSound(n))
            found->Deactivate(animate, nullptr);

    const std::vector<TString>& handOut = event->GetInventoryToActivate();
    if (!handOut.empty())
        HandOutInventory(handOut, animate);

    for (const TString& n : event->GetInventoryToAddToScene())
    {
        GameplayInventory* object = FindInventory(n);
        GameplayScene* home = object != nullptr ? FindScene(object->GetHomeScene()) : nullptr;
        if (home == nullptr)
            continue;
        // Placed, it is no longer in the hand.
        if (object == mHeldInventory)
            TakeFromTheHand();
        if (home == mActiveScene && animate)
            ReportedInventoryChange(
                *object,
                [&](WaitHandle&& report)
                { home->AddInventory(object, true, kNoPosition, std::move(report)); },
                "object '%s' placed in its scene");
        else
        {
            home->AddInventory(object, false, kNoPosition, nullptr);
        }
    }
    for (const TString& n : event->GetInventoryToDeactivate())
        if (GameplayInventory* object = FindInventory(n))
            object->ClearFlags(GameplayInventory::kShown);
    for (const TString& n : event->GetInventoryToMakeInvisible())
    {
        GameplayInventory* object = FindInventory(n);
        GameplayScene* home = object != nullptr ? FindScene(object->GetHomeScene()) : nullptr;
        if (home == nullptr)
            continue;
        // Hidden, it leaves the strip: the strip's arrangement would move it on and keep it.
        if (mHud != nullptr && mHud->HasInventory(object->GetName()))
            mHud->RemoveInventory(object);
        // And the hand: nothing is left to put back.
        if (object == mHeldInventory)
            TakeFromTheHand();
        if (home == mActiveScene)
            // Waited for even when the event runs at once.
            ReportedInventoryChange(
                *object, [&](WaitHandle&& report) { object->Hide(std::move(report), true); },
                "object '%s' faded out");
        else
        {
            object->Unload(0);
        }
    }

    if (event->GetInventoryToEquip().Length() > 0)
        if (GameplayInventory* object = FindInventory(event->GetInventoryToEquip()))
        {
            // One hand: an object held before goes back where it belongs.
            if (mHeldInventory != object)
                PutHeldObjectBack();
            object->Reset();
            object->AddFlags(GameplayInventory::kShown | GameplayInventory::kVisible);
            object->RefreshCollisionMask();
            // Put in the hand as it is, whatever parts were found: it counts as whole from now
            // on, so that, back in the strip after a miss, it can be taken again.
            object->AddFlags(GameplayInventory::kComplete);
            EquipInventory(object);
            SetCursorPickup();
        }

    // At once, nothing is waited for: the merge's end must report no callback.
    if (mHud != nullptr)
    {
        WaitHandle merged =
            animate ? Expect(kEventDone, "the strip taking in new objects", StripMergeRuns())
                    : nullptr;
        if (mHud->MergePendingInventory(animate, std::move(merged)) && animate)
        {
            mHud->SetButtonsEnabled(false);
            PlaySound(mSoundInventoryAppear);
        }
        Withdraw(std::move(merged));
    }

    if (event->GetAction().Length() > 0 && FindScene(event->GetAction()) != nullptr)
    {
        // A switch asked for while a scene loads waits for that scene's fade-in.
        if (IsLoadingScene())
            mPendingSceneSwitch = event->GetAction();
        else
            SwitchScene(event->GetAction());
    }
    if (event->GetDialog().Length() > 0)
        mPendingConversation = event->GetDialog();
    if (event->GetNextEvent().Length() > 0)
        mNextEvent = FindEvent(event->GetNextEvent());
    if (event->GetEventToActivateOnClick().Length() > 0)
        mDeferredEvent = FindEvent(event->GetEventToActivateOnClick());
}

// The objects' names and the items' names looked up through indexes built once, so that a
// location of many items hands out in time linear in them; each index keeps the first entry of a
// name, as the searches by name find it, so the results are those of the searches.
void Gameplay::HandOutInventory(const std::vector<TString>& handOut, bool animate)
{
    std::unordered_set<std::string_view> wanted;
    for (const TString& n : handOut)
        wanted.insert(View(n));
    if (mHud != nullptr)
    {
        std::unordered_map<std::string_view, GameplayInventory*> objects;
        for (const std::shared_ptr<GameplayInventory>& object : mInventory)
            if (object != nullptr)
                objects.emplace(View(object->GetName()), object.get());
        // An object takes one slot of the strip: one shown or on its way already, or named
        // twice, joins it once.
        std::unordered_set<std::string_view> shown;
        const std::vector<GameplayInventory*> strip = mHud->GetShownInventory();
        for (GameplayInventory* object : strip)
            shown.insert(View(object->GetName()));
        for (GameplayInventory* object : mHud->GetPendingInventory())
            shown.insert(View(object->GetName()));
        for (const TString& n : handOut)
        {
            auto object = objects.find(View(n));
            if (object == objects.end() || !shown.insert(View(n)).second)
                continue;
            // Handed out again after a use, or from the scene an event placed it in: it joins
            // the strip whole in look and takeable, and nothing else holds it.
            GameplayInventory* joining = object->second;
            if (joining == mHeldInventory)
                TakeFromTheHand();
            for (const std::shared_ptr<GameplayScene>& scene : mScenes)
                scene->RemoveInventory(joining);
            joining->ReadyForTheStrip();
            mHud->GetPendingInventory().push_back(joining);
        }
    }

    std::unordered_map<std::string_view, GameplayItem*> inActive, anywhere;
    if (mActiveScene != nullptr)
        for (GameplayItem* item : mActiveScene->GetItems())
            inActive.emplace(View(item->GetName()), item);
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        for (GameplayItem* item : scene->GetItems())
            anywhere.emplace(View(item->GetName()), item);
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        for (GameplayItem* item : scene->GetItems())
        {
            if (wanted.count(View(item->GetInventoryName())) == 0)
                continue;
            GameplayItem* found = nullptr;
            if (auto first = inActive.find(View(item->GetName())); first != inActive.end())
                found = first->second;
            else if (auto other = anywhere.find(View(item->GetName())); other != anywhere.end())
                found = other->second;
            if (found != nullptr)
                found->Activate(animate, nullptr);
        }
}

bool Gameplay::CompleteArea(const TString& name, bool wait)
{
    bool inActive = true;
    GameplayArea* area = mActiveScene != nullptr ? mActiveScene->FindArea(name) : nullptr;
    if (area == nullptr)
    {
        inActive = false;
        area = FindArea(name);
    }
    if (area == nullptr)
        return false;
    const bool wasActive = (area->GetFlags() & GameplayEntity::kActive) != 0;
    // Counted only when the area took the report on now: an area done already takes none.
    WaitHandle done =
        wait ? Expect(kAreaCompleted, TString::Format("area '%s' completed", name.c_str()),
                      [area] { return area->CanEndChange(); })
             : nullptr;
    area->Complete(std::move(done), inActive);
    Withdraw(std::move(done));
    return wasActive && inActive;
}

void Gameplay::RecordStartedAnimation(uint8_t id)
{
    mAnimationIds.erase(std::remove(mAnimationIds.begin(), mAnimationIds.end(), id),
                        mAnimationIds.end());
    mAnimationIds.push_back(id);
}

void Gameplay::StartEventAnimation(const TString& name, bool animate)
{
    StartAnimation(name, animate, AnimationChain{});
}

void Gameplay::StartAnimation(const TString& name, bool animate, const AnimationChain& chain)
{
    GameplayAnimation* animation = FindAnimation(name);
    if (animation == nullptr)
    {
        ReportError(TString::Format("Cannot find Animation '%s'", name.c_str()).c_str(), kSource,
                    __LINE__, false);
        return;
    }
    const uint8_t startingId = animation->GetId();
    if (animate && std::find(mAnimationsStarting.begin(), mAnimationsStarting.end(), startingId) !=
                       mAnimationsStarting.end())
    {
        const bool awaited = animation->HasCallback() && !chain.unawaited &&
                             std::find(chain.lineage.begin(), chain.lineage.end(), startingId) ==
                                 chain.lineage.end();
        mAnimationsPutOff.push_back(PutOffStart{startingId, chain, awaited});
        if (awaited)
            mBlockingAnimation = 1;
        return;
    }
    mAnimationsStarting.push_back(startingId);
    struct Started
    {
        std::vector<uint8_t>& starting;
        ~Started() { starting.pop_back(); }
    } started{mAnimationsStarting};
    GameplayLayer* layer =
        mActiveScene != nullptr ? mActiveScene->FindLayer(animation->GetLayer()) : nullptr;
    bool soundsAtOnce = true;
    if (layer != nullptr)
    {
        // A layer put away stays away: what follows an animation ended by that takes its end
        // state there at once.
        if ((layer->GetFlags() & GameplayEntity::kActive) == 0 && chain.layersStayAway)
            animate = false;
        if ((layer->GetFlags() & GameplayEntity::kActive) == 0 && animate)
            layer->Activate(false, nullptr);
        if (animate && animation->HasCallback())
        {
            // One that its own end leads back to (itself, or through others) would hold the
            // clicks for ever: it runs on, and so does all it leads on to, with nobody waiting.
            // One that two branches of a chain lead to (a join) is no loop: it is waited for
            // until its last start ends.
            const uint8_t id = animation->GetId();
            bool awaited = !chain.unawaited;
            if (awaited &&
                std::find(chain.lineage.begin(), chain.lineage.end(), id) != chain.lineage.end())
            {
                awaited = false;
                if (std::find(mAnimationsRunOn.begin(), mAnimationsRunOn.end(), id) ==
                    mAnimationsRunOn.end())
                {
                    mAnimationsRunOn.push_back(id);
                    Log("GameplayAnimation '%s' comes round again in its chain; it runs on "
                        "unawaited",
                        name.c_str());
                }
            }
            mAnimationEvents[id] = chain.event.Length() > 0 ? chain.event : mCurrentEvent;
            std::vector<uint8_t>& lineage = mAnimationLineages[id];
            lineage = chain.lineage;
            // A loop run on unawaited comes round for good: its lineage stays as it is.
            if (std::find(lineage.begin(), lineage.end(), id) == lineage.end())
                lineage.push_back(id);
            if (awaited)
                mBlockingAnimation = 1;
            animation->Start(&mCallbacks[kAnimationDone], false, layer->GetBitmap(), awaited);
        }
        else
        {
            animation->Start(nullptr, !animate, layer->GetBitmap());
        }
        RecordStartedAnimation(animation->GetId());
    }
    else
    {
        soundsAtOnce = false;
        bool found = false;
        for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        {
            GameplayLayer* other = scene->FindLayer(animation->GetLayer());
            if (other == nullptr)
                continue;
            found = true;
            if (animate)
            {
                scene->AddPendingAnimation(animation->GetId());
            }
            else
            {
                animation->Start(nullptr, true, other->GetBitmap());
                RecordStartedAnimation(animation->GetId());
            }
            break;
        }
        if (!found && animate)
            ReportError(
                TString::Format("Cannot find Layer '%s'", animation->GetLayer().c_str()).c_str(),
                kSource, __LINE__, false);
    }
    const bool soundAnimate = soundsAtOnce ? false : animate;
    for (const TString& n : animation->GetActivateSounds())
        if (GameplaySound* sound = FindSound(n))
            sound->Activate(soundAnimate, nullptr);
    for (const TString& n : animation->GetDeactivateSounds())
        if (GameplaySound* sound = FindSound(n))
            sound->Deactivate(soundAnimate, nullptr);
}

// End steps.

void Gameplay::OnAreaCompleted()
{
    const TString group = mLastClickedArea != nullptr ? mLastClickedArea->GetGroupId() : TString();
    mLastClickedArea = nullptr;
    if (mHud != nullptr)
        mHud->SetButtonsEnabled(true);
    if (group.Length() > 0)
        CheckAreaGroup(group);
    else if (mLocationComplete == 0 && IsLocationDone())
        CompleteLocation();
}

void Gameplay::OnAnimationFinished(uint32_t id)
{
    // The animation that ended, not whichever reads finished: one that ends inside the start of
    // another is told while the first still reads so.
    GameplayAnimation* finished = id < mAnimations.size() ? mAnimations[id].get() : nullptr;
    if (finished != nullptr && finished->GetState() == GameplayAnimation::kFinished)
    {
        GameplayLayer* layer =
            mActiveScene != nullptr ? mActiveScene->FindLayer(finished->GetLayer()) : nullptr;
        const AnimationChain chain{mAnimationLineages[finished->GetId()], !finished->IsAwaitedRun(),
                                   layer != nullptr &&
                                       (layer->GetFlags() & GameplayEntity::kActive) == 0,
                                   mAnimationEvents[finished->GetId()]};
        const std::vector<TString> next = finished->GetNextAnimations();
        for (auto it = next.rbegin(); it != next.rend(); ++it)
            StartAnimation(*it, true, chain);
    }
    // Only what is awaited holds the clicks: an ambient loop runs for good, and one deferred to
    // another scene or ended at once is not waited for.
    mBlockingAnimation = AwaitsAnAnimation() ? 1 : 0;
}

bool Gameplay::AwaitsAnAnimation() const
{
    for (const std::shared_ptr<GameplayAnimation>& animation : mAnimations)
        if (animation->IsAwaited())
            return true;
    return std::any_of(mAnimationsPutOff.begin(), mAnimationsPutOff.end(),
                       [](const PutOffStart& start) { return start.awaited; });
}

void Gameplay::StartAnimationsPutOff()
{
    // Those put off again while these start wait for the frame after.
    const std::vector<PutOffStart> due = std::move(mAnimationsPutOff);
    mAnimationsPutOff.clear();
    for (const PutOffStart& start : due)
        if (start.id < mAnimations.size())
            StartAnimation(mAnimations[start.id]->GetName(), true, start.chain);
    mBlockingAnimation = AwaitsAnAnimation() ? 1 : 0;
}

void Gameplay::EndAnimationsOfStoppedLayers()
{
    for (const std::shared_ptr<GameplayAnimation>& animation : mAnimations)
    {
        if (!animation->IsAwaited())
            continue;
        GameplayLayer* layer =
            mActiveScene != nullptr ? mActiveScene->FindLayer(animation->GetLayer()) : nullptr;
        if (layer == nullptr)
            layer = FindLayer(animation->GetLayer());
        if (layer != nullptr && (layer->GetFlags() & GameplayEntity::kActive) == 0)
            animation->End(layer->GetBitmap());
    }
}

bool Gameplay::CanAnimationEnd(const GameplayAnimation& animation) const
{
    GameplayLayer* layer =
        mActiveScene != nullptr ? mActiveScene->FindLayer(animation.GetLayer()) : nullptr;
    if (layer == nullptr)
        layer = FindLayer(animation.GetLayer());
    return layer != nullptr && layer->GetBitmap() != nullptr &&
           layer->GetBitmap()->CanStillReport();
}

void Gameplay::LetGoOfWaitsNothingCanEnd()
{
    // Nothing counted nor held: the waiting state is someone else's (a game's own).
    if (mWaits.empty() && mBlockingAnimation == 0)
        return;
    // Whatever can still report keeps the whole wait: its end may lead on to the rest.
    for (const std::shared_ptr<Wait>& wait : mWaits)
        if (wait->mCanReport())
            return;
    std::vector<GameplayAnimation*> stuck;
    for (const std::shared_ptr<GameplayAnimation>& animation : mAnimations)
        if (animation->IsAwaited())
        {
            if (CanAnimationEnd(*animation))
                return;
            stuck.push_back(animation.get());
        }

    // A last resort: every road that can drop a report tells it. This line is a fault of the
    // runner's, which the tests look for.
    const std::vector<TString> waits = DescribeWaits();
    TString names;
    for (const TString& wait : waits)
        names += names.Length() > 0 ? TString(", ") + wait : wait;
    Log("The location waited for %s, which nothing can end any more: it goes on", names.c_str());

    // Told as ended; their holders keep their handles, which then do nothing.
    const std::vector<std::shared_ptr<Wait>> lost = mWaits;
    for (const std::shared_ptr<Wait>& wait : lost)
        if (!wait->mTold)
        {
            wait->mTold = true;
            OnWaitTold(*wait, 0);
        }
    for (GameplayAnimation* animation : stuck)
    {
        GameplayLayer* layer = FindLayer(animation->GetLayer());
        animation->End(layer != nullptr ? layer->GetBitmap() : nullptr);
    }
    mBlockingAnimation = AwaitsAnAnimation() ? 1 : 0;
}

void Gameplay::WatchScriptHold(uint32_t elapsed)
{
    const auto held =
        static_cast<size_t>(std::count_if(mScriptAnimations.begin(), mScriptAnimations.end(),
                                          [](const WaitHandle& wait) { return wait.IsHeld(); }));
    const bool scriptOnly = mGameplayState == kWaiting && mBlockingAnimation == 0 &&
                            !mWaits.empty() && held == mWaits.size();
    const bool clicked = mClickIgnored;
    mClickIgnored = false;
    if (!scriptOnly)
    {
        mScriptHoldIgnoredMs = -1;
        mScriptHoldSaid = false;
        return;
    }
    if (mScriptHoldIgnoredMs < 0)
    {
        if (clicked)
            mScriptHoldIgnoredMs = 0;
        return;
    }
    mScriptHoldIgnoredMs += elapsed;
    if (mScriptHoldSaid || mScriptHoldIgnoredMs < kScriptHoldSaidAfterMs)
        return;
    // Not let go: the script may still end its waits. Said so that a button that only starts one
    // is found.
    mScriptHoldSaid = true;
    Log("The location has ignored clicks for %d seconds while only its script's waits hold it: "
        "%zu started by GameplayStartAnimation and not ended",
        static_cast<int>(kScriptHoldSaidAfterMs / 1000), held);
}

void Gameplay::OnHeldInventoryPlaced()
{
    mHeldInventory = nullptr;
    if (mHud != nullptr)
        mHud->SetButtonsEnabled(true);
    if (mLastClickedArea != nullptr && mLastClickedArea->GetGroupId().Length() > 0)
    {
        const TString group = mLastClickedArea->GetGroupId();
        mLastClickedArea = nullptr;
        CheckAreaGroup(group);
    }
}

void Gameplay::CheckAreaGroup(const TString& group)
{
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        for (GameplayArea* area : scene->GetAreas())
            if (area->GetGroupId() == group && (area->GetFlags() & GameplayArea::kCompleted) == 0 &&
                !area->HoldsCorrectInventory())
                return;
    const auto entry = mGroupEvents.find(group);
    if (entry == mGroupEvents.end())
    {
        ReportError(TString::Format("Cannot find event for group '%s'", group.c_str()).c_str(),
                    kSource, __LINE__, false);
        return;
    }
    ActivateEvent(entry->second, false);
}

// Cursors.

void Gameplay::SelectCursor(int32_t kind)
{
    if (mCursorKind == kind)
        return;
    mLoadingCursorTimer = 0;
    if (mCursorKind == kCursorModelPortal)
        mModelPortals->HideModelPortal();
    if (mCursorOverlay != nullptr)
    {
        mCursorOverlay->ShowCursor(true);
        mCursorOverlay->FindCursor(GetCursorName(kind));
    }
    mCursorKind = kind;
}

void Gameplay::SetCursorDefault()
{
    SelectCursor(kCursorDefault);
}

void Gameplay::SetCursorPickup()
{
    SelectCursor(kCursorPickup);
}

void Gameplay::SetCursorRollover()
{
    SelectCursor(kCursorRollover);
}

void Gameplay::SetCursorInfo()
{
    SelectCursor(kCursorInfo);
}

void Gameplay::SetCursorHint()
{
    SelectCursor(kCursorHint);
}

bool Gameplay::SetCursorByKnownName(const TString& name)
{
    void (Gameplay::*const setters[])() = {&Gameplay::SetCursorDefault, &Gameplay::SetCursorPickup,
                                           &Gameplay::SetCursorRollover, &Gameplay::SetCursorInfo,
                                           &Gameplay::SetCursorHint};
    const TString* names[] = {&mCursorDefault, &mCursorPickup, &mCursorRollover, &mCursorInfo,
                              &mCursorHint};
    for (size_t i = 0; i < 5; ++i)
        if (name == *names[i])
        {
            (this->*setters[i])();
            return true;
        }
    return false;
}

void Gameplay::SetCursorByName(GameplayArea* area)
{
    if (area == nullptr)
        return;
    if (area->GetPersonification() != 0)
    {
        if (mCursorKind == kCursorModelPortal)
            return;
        mLoadingCursorTimer = 0;
        mModelPortals->ShowModelPortal(area->GetPortalCursor());
        if (mCursorOverlay != nullptr)
            mCursorOverlay->FindCursor(mCursorDefault);
        mCursorKind = kCursorModelPortal;
        return;
    }
    SetCursorByKnownName(area->GetCursor());
}

void Gameplay::UpdateLoadingCursor()
{
    if (mCursorKind == kCursorLoading)
        return;
    if (DeltaTime* clock = DeltaTime::Instance())
        mLoadingCursorTimer += static_cast<int32_t>(clock->GetStep());
    if (static_cast<uint32_t>(mLoadingCursorTimer) < static_cast<uint32_t>(mLoadingCursorDelay))
        return;
    if (mCursorKind == kCursorModelPortal)
        mModelPortals->HideModelPortal();
    if (mCursorOverlay != nullptr)
    {
        mCursorOverlay->ShowCursor(true);
        mCursorOverlay->FindCursor(mCursorLoading);
    }
    mCursorKind = kCursorLoading;
    mLoadingCursorTimer = 0;
}
