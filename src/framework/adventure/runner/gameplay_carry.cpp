// Found items flying to the HUD and completing their objects, objects held, put back or down and
// used on areas, the strip's scroll buttons, and minigames entered and left.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/core/frame_services.h"
#include "framework/sound/sound_effect.h"
#include "platform/log.h"

#include <algorithm>

namespace
{

const char kSource[] = "gameplay";

} // namespace

void Gameplay::OnItemFound(GameplayItem* item)
{
    if (item == nullptr)
        return;
    GameplayInventory* object = FindInventory(item->GetInventoryName());
    if (object == nullptr)
        // It still flies and counts on the progress bar; no object takes its parts.
        ReportError(TString::Format("Cannot find inventory '%s' for item '%s'",
                                    item->GetInventoryName().c_str(), item->GetName().c_str())
                        .c_str(),
                    kSource, __LINE__, false);
    mFlyingItem = item;
    WaitHandle arrived = Expect(
        kItemArrived, TString::Format("item '%s' flying to the strip", item->GetName().c_str()),
        [item] { return item->CanEndChange(); });
    if (mHud != nullptr)
    {
        if (object != nullptr)
            mHud->ScrollToInventory(object);
        mHud->SetButtonsEnabled(false);
    }
    ScheduleSound(mSoundItemClickHit);
    // Last: without a transform manager the item arrives inside this call.
    item->StartFoundAnimation(std::move(arrived), object);
}

void Gameplay::OnItemArrived(uint32_t)
{
    GameplayItem* item = mFlyingItem;
    mFlyingItem = nullptr;
    if (item != nullptr)
    {
        if (mHud != nullptr)
            mHud->OnItemArrived(*item);
        if (GameplayInventory* object = FindInventory(item->GetInventoryName()))
            if (object->GetPartsFound() >= object->GetPartCount())
                mNextEvent = FindEvent(object->GetEventName());
    }
    if (mHud != nullptr)
        mHud->SetButtonsEnabled(true);
}

void Gameplay::TakeFromTheHand()
{
    if (mHeldInventory != nullptr)
        mHeldInventory->ClearFlags(GameplayInventory::kHeld);
    mHeldInventory = nullptr;
    if (mHud != nullptr)
        mHud->SetButtonsEnabled(true);
    SetCursorDefault();
}

void Gameplay::PutHeldObjectBack()
{
    GameplayInventory* object = mHeldInventory;
    if (object == nullptr)
        return;
    TakeFromTheHand();
    object->PutBack();
    if (IsPlaced(*object))
        return;
    // From nowhere: the strip takes it (with the event's own new objects), or its home scene.
    if (mHud != nullptr && object->CanBePlacedInHud())
    {
        mHud->GetPendingInventory().push_back(object);
        return;
    }
    if (GameplayScene* home = FindScene(object->GetHomeScene()))
    {
        home->AddInventory(object, false, kUnsetPosition, nullptr);
        return;
    }
    // Neither the strip nor a scene of its own can take it, and the hand takes the other one:
    // it is laid where the pointer is in the shown scene, to be taken up again there.
    if (mActiveScene == nullptr)
        return;
    const TPoint mouse = RoadPoint();
    mActiveScene->AddInventory(
        object, false, TVec2(static_cast<float>(mouse.x), static_cast<float>(mouse.y)), nullptr);
}

bool Gameplay::IsPlaced(const GameplayInventory& object) const
{
    if (mHud != nullptr && mHud->HasInventory(object.GetName()))
        return true;
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
    {
        const std::vector<GameplayInventory*>& placed = scene->GetPlacedInventory();
        if (std::find(placed.begin(), placed.end(), &object) != placed.end())
            return true;
    }
    return false;
}

bool Gameplay::HasNowhereToGo(const GameplayInventory& object) const
{
    return !object.CanBePlacedInHud() && FindScene(object.GetHomeScene()) == nullptr &&
           !IsPlaced(object);
}

void Gameplay::UnequipInventory()
{
    GameplayInventory* object = mHeldInventory;
    if (object == nullptr)
        return;
    auto returnToRest = [&]
    {
        WaitHandle back =
            Expect(kInventoryReturned,
                   TString::Format("object '%s' going back", object->GetName().c_str()),
                   ObjectMotionRuns(*object));
        object->Unequip(std::move(back));
        // Not in the hand after all (placed meanwhile): nothing goes back, nothing is held.
        if (back.IsHeld())
        {
            Withdraw(std::move(back));
            TakeFromTheHand();
        }
    };
    const TPoint mouse = RoadPoint();
    const bool homeShown =
        mActiveScene != nullptr && object->GetHomeScene() == mActiveScene->GetName();
    const bool overStrip =
        mHud != nullptr && (mHud->HasInventory(object->GetName()) || mHud->ContainsPoint(mouse));
    // Away from its home, or over the strip with no rest to glide back to (an event put it in
    // the hand from nowhere), it goes where it belongs.
    if (!homeShown || (overStrip && !IsPlaced(*object)))
    {
        if (object->CanBePlacedInHud())
        {
            // One from nowhere: the strip takes it.
            if (mHud != nullptr && !IsPlaced(*object))
            {
                TakeFromTheHand();
                mHud->GetPendingInventory().push_back(object);
                WaitHandle merged = Expect(
                    kEventDone,
                    TString::Format("object '%s' going to the strip", object->GetName().c_str()),
                    StripMergeRuns());
                if (mHud->MergePendingInventory(true, std::move(merged)))
                    mHud->SetButtonsEnabled(false);
                Withdraw(std::move(merged));
                return;
            }
            returnToRest();
            return;
        }
        // Taken from a scene: it glides back to its place there.
        if (IsPlaced(*object))
        {
            returnToRest();
            return;
        }
        // Nothing holds it and there is no scene to lay it in: it stays in the hand, rather
        // than a miss costing the location an object it may need.
        GameplayScene* home = FindScene(object->GetHomeScene());
        if (homeShown || home == nullptr)
        {
            SetCursorPickup();
            return;
        }
        // Missed away from its scene: it lies at its place there, to be taken up again.
        TakeFromTheHand();
        object->PutBack();
        home->AddInventory(object, false, kUnsetPosition, nullptr);
        return;
    }
    if (overStrip)
    {
        returnToRest();
        return;
    }
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        scene->RemoveInventory(object);
    mActiveScene->AddInventory(
        object, true, TVec2(static_cast<float>(mouse.x), static_cast<float>(mouse.y)),
        Expect(kInventoryReturned,
               TString::Format("object '%s' put down", object->GetName().c_str()),
               ObjectMotionRuns(*object)));
    mHeldInventory = nullptr;
}

void Gameplay::UseInventory(GameplayInventory* inventory, GameplayArea*)
{
    if (inventory == nullptr)
        return;
    inventory->Use(Expect(kInventoryUsed,
                          TString::Format("object '%s' used", inventory->GetName().c_str()),
                          ObjectMotionRuns(*inventory)));
    if (mHud != nullptr && mHud->HasInventory(inventory->GetName()))
        mHud->RemoveInventory(inventory);
}

void Gameplay::OnInventoryUsed()
{
    GameplayInventory* object = mHeldInventory;
    const TString name = object != nullptr ? object->GetName() : TString();
    if (mLastClickedArea != nullptr && object != nullptr)
    {
        const TString event = mLastClickedArea->FindEventForInventory(name);
        if (event.Length() > 0)
            mNextEvent = FindEvent(event);
    }
    if (object != nullptr)
        object->Hide(nullptr, true);
    if (mLastClickedArea != nullptr && object != nullptr)
        mLastClickedArea->MarkEventUsed(name);
    mHeldInventory = nullptr;
}

void Gameplay::HudLeftClick()
{
    // The left arrow brings the earlier objects in: a positive step.
    ScrollStrip(1);
}

void Gameplay::HudRightClick()
{
    ScrollStrip(-1);
}

void Gameplay::ScrollStrip(int32_t step)
{
    // Nothing would move and no end would come: the strip would stay busy for good.
    if (mHud == nullptr || mHud->GetShownInventory().empty())
        return;
    mHudBusy = 1;
    mHud->ArrangeInventory(step, true, StripNotice(kHudScrolled));
}

void Gameplay::StartMinigame(uint32_t minigame)
{
    mHintRequested = 0;
    if (mHud != nullptr)
        mHud->EndHintSelect(true);
    mGameplayState = kMinigame;
    mCurrentMinigame = minigame;
    ScheduleSound(mSoundHintShowItem);
}

void Gameplay::EndMinigame(uint32_t)
{
    if (mGameplayState != kMinigame)
        mGameplayState = kPlay;
    mHudBusy = 0;
    if (mHud != nullptr)
        mHud->SetButtonsEnabled(true);
}
