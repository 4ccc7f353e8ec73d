// Hints: which strip objects have an item still to find in a scene reachable from the shown one,
// picking one in the strip, and running the hint there, switching scenes first when needed.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/core/frame_services.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/sound_effect.h"

#include <algorithm>
#include <deque>

namespace
{

const char kSource[] = "gameplay";

// The first active item of the scene that gives the object and is still to be found: one found a
// moment ago stays active while it fades away, and a hint on it would point at nothing.
GameplayItem* TargetIn(const GameplayScene& scene, const GameplayInventory& object)
{
    for (GameplayItem* item : scene.GetItems())
        if ((item->GetFlags() & GameplayEntity::kActive) != 0 && !item->IsFound() &&
            item->GetInventoryName() == object.GetName())
            return item;
    return nullptr;
}

} // namespace

GameplayScene* Gameplay::FollowPortal(GameplayArea& area,
                                      const std::vector<GameplayScene*>& takenIn) const
{
    if (!area.HasEventForInventory("default"))
        return nullptr;
    // Self-naming and circular chains are legal content: each event is visited once.
    std::vector<GameplayEvent*> seen;
    for (GameplayEvent* event = FindEvent(area.FindEventForInventory("default"));
         event != nullptr && std::find(seen.begin(), seen.end(), event) == seen.end();
         event = FindEvent(event->GetNextEvent()))
    {
        seen.push_back(event);
        GameplayScene* scene = FindScene(event->GetAction());
        if (scene != nullptr && std::find(takenIn.begin(), takenIn.end(), scene) == takenIn.end())
            return scene;
        if (event->GetNextEvent().Length() == 0)
            break;
    }
    return nullptr;
}

bool Gameplay::FindAreaForInventory(GameplayInventory* inventory)
{
    if (inventory == nullptr || mActiveScene == nullptr)
        return false;
    std::deque<GameplayScene*> queue{mActiveScene};
    std::vector<GameplayScene*> takenIn;
    while (!queue.empty())
    {
        GameplayScene* scene = queue.front();
        queue.pop_front();
        takenIn.push_back(scene);
        if (TargetIn(*scene, *inventory) != nullptr)
            return true;
        for (GameplayArea* area : scene->GetAreas())
            if ((area->GetFlags() & GameplayEntity::kActive) != 0)
                if (GameplayScene* next = FollowPortal(*area, takenIn))
                    queue.push_back(next);
    }
    return false;
}

std::vector<GameplayInventory*> Gameplay::GetHintableInventory()
{
    std::vector<GameplayInventory*> objects;
    if (mHud == nullptr)
        return objects;
    for (GameplayInventory* object : mHud->GetShownInventory())
        if (FindAreaForInventory(object))
            objects.push_back(object);
    return objects;
}

bool Gameplay::HasValidHintTarget()
{
    if (mHud == nullptr)
        return false;
    for (GameplayInventory* object : mHud->GetShownInventory())
        if (FindAreaForInventory(object))
            return true;
    return false;
}

void Gameplay::BeginHintSelect()
{
    std::vector<GameplayInventory*> objects = GetHintableInventory();
    if (objects.empty() || mHud == nullptr)
        return;
    mHud->ShowInventorySubset(objects, StripNotice(kHintSelectReady));
    mGameplayState = kHintSelect;
    mHudBusy = 1;
}

void Gameplay::HintInventory(GameplayInventory* inventory, bool flag)
{
    if (inventory == nullptr || mActiveScene == nullptr)
        return;
    if (GameplayItem* item = TargetIn(*mActiveScene, *inventory))
    {
        mHintItem = item;
        const auto& items = mActiveScene->GetItems();
        StartMinigame(
            static_cast<uint32_t>(std::find(items.begin(), items.end(), item) - items.begin()));
        return;
    }
    // Portals only, depth first; each scene taken in once.
    std::vector<GameplayScene*> stack{mActiveScene};
    std::vector<GameplayScene*> found{mActiveScene};
    while (!stack.empty())
    {
        GameplayScene* scene = stack.back();
        stack.pop_back();
        for (GameplayArea* area : scene->GetAreas())
        {
            if ((area->GetFlags() & GameplayEntity::kActive) == 0 || !area->IsPortal())
                continue;
            if (GameplayScene* next = FollowPortal(*area, found))
            {
                found.push_back(next);
                stack.push_back(next);
            }
        }
    }
    for (size_t i = 1; i < found.size(); ++i)
        if (TargetIn(*found[i], *inventory) != nullptr)
        {
            mHintRequested = 1;
            mHintRequestMode = flag ? 1 : 0;
            mHintInventory = inventory;
            SwitchScene(found[i]->GetName());
            return;
        }
    ReportError(
        TString::Format("Cannot find item to hint for inventory '%s'", inventory->GetName().c_str())
            .c_str(),
        kSource, __LINE__, false);
}

bool Gameplay::CancelPickWithoutTarget(GameplayInventory* inventory)
{
    if (FindAreaForInventory(inventory))
        return false;
    CancelHintSelect();
    return true;
}

void Gameplay::CancelHintSelect()
{
    if (mHud == nullptr)
        return;
    mHudBusy = 1;
    mHud->EndHintSelect(false);
    mHud->PlaceInventory(StripNotice(kMinigameEnded));
}

TString Gameplay::GetHintToolTipText()
{
    return HasValidHintTarget() ? mToolTipHintValidTarget : mToolTipHintNoValidTarget;
}

void Gameplay::EndHint()
{
    mHintArmed = 0;
    if (mHud != nullptr)
        mHud->EndHintSelect(true);
}

void Gameplay::HandleHudInventoryMouse(const TPoint& mouse, TString& toolTip)
{
    if (mHudBusy != 0 || mHud == nullptr)
        return;
    GameplayInventory* object = mHud->FindInventoryAt(mouse);
    if (mClickPending != 0)
    {
        // The object was offered when the selection opened; its target may have gone since.
        if (object != nullptr && !CancelPickWithoutTarget(object))
        {
            ScheduleSound(mSoundInventoryHint);
            HintInventory(object, true);
        }
        else if (object == nullptr)
        {
            CancelHintSelect();
        }
        SetCursorDefault();
        return;
    }
    if (object == nullptr)
    {
        mHoveredInventory = nullptr;
        SetCursorDefault();
        return;
    }
    if (object != mHoveredInventory)
        PlaySound(mSoundInventoryHover);
    mHoveredInventory = object;
    object->SetHovered(true);
    toolTip = object->GetActualName();
    SetCursorHint();
}
