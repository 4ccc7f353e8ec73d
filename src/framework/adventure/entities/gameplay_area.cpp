// Areas: their keys, click events, the object laid on them, state changes and saved bytes.
#include "framework/adventure/entities/gameplay_area.h"

#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>

namespace
{

const char kSource[] = "gameplayarea";
// The framework's S-curve for the image's fades.
constexpr float kFadeSmoothing = -0.5f;

} // namespace

GameplayArea::GameplayArea(const TLuaTable& area, const TLuaTable& areaInfo)
    : GameplayEntity(area, kTypeArea)
{
    std::unique_ptr<TLuaTable> events(area.GetTable("events"));
    if (events == nullptr)
    {
        ReportError(mName.c_str(), kSource, __LINE__, true);
        return;
    }
    mHasCompletedFrame = area.GetBool("hascompletedframe", false);
    mHasActiveFrame = area.GetBool("hasactiveframe", false);
    mIsPortal = area.GetBool("isportal", false);
    mPersonification = ScriptNumberToInt(area.GetNumber("personification", 0));
    mActualName = area.GetString("actualname");
    mClickDialog = area.GetString("clickdialog");
    mPortalCursor = area.GetString("portalcursor");
    mCursor = area.GetString("cursor");
    // Numbers as text: a group of 3 is the group "3".
    mGroupId = area.GetString("groupid");
    mImage = area.GetString("image");
    mImageMaskSuffix = areaInfo.GetString("imagemask");
    mPosition = TVec2(static_cast<float>(ScriptNumberToInt(area.GetNumber("x", 0))),
                      static_cast<float>(ScriptNumberToInt(area.GetNumber("y", 0))));
    mInventoryPosition =
        TVec2(static_cast<float>(ScriptNumberToInt(area.GetNumber("inventoryx", 0))),
              static_cast<float>(ScriptNumberToInt(area.GetNumber("inventoryy", 0)))) +
        mPosition;

    TLuaObjectWrapper* key = nullptr;
    while (TLuaTable* value = events->Next(&key))
    {
        auto event = std::make_shared<ClickEvent>();
        event->inventory = key->ToString();
        event->eventName = value->GetString("eventname");
        mClickEvents.push_back(event);
        delete value;
    }

    mHilightCenter = TVec2(static_cast<float>(area.GetNumber("hilightcenterx", 0)),
                           static_cast<float>(area.GetNumber("hilightcentery", 0)));
    mHilightPath = area.GetString("path");
    if (std::unique_ptr<TLuaTable> sounds{area.GetTable("sounds")})
    {
        TLuaObjectWrapper* at = nullptr;
        if (TLuaTable* first = sounds->Next(&at))
        {
            mSound = SoundEffect::Create(*first);
            delete first;
            delete at;
        }
    }
    mHoldableInventory = ReadStringList(area, "holdableinventory");
    mCorrectInventoryToHold = ReadStringList(area, "correctinventorytohold");
    mCompleteParticleScript1 = areaInfo.GetString("particlecomplete1");
    mCompleteParticleScript2 = areaInfo.GetString("particlecomplete2");
    mHilightParticleScript = areaInfo.GetString("hilightparticles");
    mTimeHilightFade = ScriptNumberToInt(areaInfo.GetNumber("timehilightfade", 0));
    mTimeHilightFadeFast = ScriptNumberToInt(areaInfo.GetNumber("timehilightfadefast", 0));
    mAlphaHilightMin = static_cast<float>(areaInfo.GetNumber("alphahilightmin", 0));
    mTimeVisible = ScriptNumberToInt(areaInfo.GetNumber("timevisible", 0));
    mTimeCompleteFade = ScriptNumberToInt(areaInfo.GetNumber("timecompletefade", 0));
}

GameplayArea::~GameplayArea() = default;

void GameplayArea::Draw(const TDrawSpec&) {}

void GameplayArea::DrawEffects(const TDrawSpec&) {}

void GameplayArea::Pause() {}

void GameplayArea::Resume() {}

TRect GameplayArea::GetRect(const TDrawSpec&)
{
    return TRect(0, 0, 0, 0);
}

void GameplayArea::CreateTextures() {}

void GameplayArea::ReleaseTextures() {}

void GameplayArea::Flash(int32_t) {}

// Click events.

const GameplayArea::ClickEvent* GameplayArea::MatchEvent(const TString& name) const
{
    const bool plain = name == TString("default");
    for (const std::shared_ptr<ClickEvent>& event : mClickEvents)
        if (event->inventory == name || (plain && event->used != 0))
            return event.get();
    return nullptr;
}

TString GameplayArea::FindEventForInventory(const TString& name) const
{
    if (const ClickEvent* event = MatchEvent(name))
        return event->eventName;
    ReportError(TString::Format("Cannot find event for inventory '%s'!", name.c_str()).c_str(),
                kSource, __LINE__, false);
    return TString();
}

bool GameplayArea::HasEventForInventory(const TString& name) const
{
    return MatchEvent(name) != nullptr;
}

void GameplayArea::MarkEventUsed(const TString& name)
{
    for (const std::shared_ptr<ClickEvent>& event : mClickEvents)
        if (event->inventory == name)
        {
            event->used = 1;
            return;
        }
}

// Holding.

bool GameplayArea::CanHoldInventory(const GameplayInventory* inventory) const
{
    return mHeldInventory == nullptr && inventory != nullptr &&
           std::find(mHoldableInventory.begin(), mHoldableInventory.end(), inventory->GetName()) !=
               mHoldableInventory.end();
}

bool GameplayArea::HoldsCorrectInventory() const
{
    return mHeldInventory != nullptr &&
           std::find(mCorrectInventoryToHold.begin(), mCorrectInventoryToHold.end(),
                     mHeldInventory->GetName()) != mCorrectInventoryToHold.end();
}

void GameplayArea::HoldInventory(GameplayInventory* inventory)
{
    if (mHeldInventory != nullptr)
    {
        ReportError("Cannot hold Inventory, slot already taken.", kSource, __LINE__, false);
        return;
    }
    if (!CanHoldInventory(inventory))
    {
        ReportError("Cannot hold Inventory.", kSource, __LINE__, false);
        return;
    }
    mHeldInventory = inventory;
    mHeldInventoryName = inventory->GetName();
}

void GameplayArea::LetGoInventory()
{
    mHeldInventory = nullptr;
    mHeldInventoryName = TString();
}

// State changes. An animated change fades the image when it has an active or a completed frame
// and a transform manager runs; otherwise it ends at once and its callback is due.

void GameplayArea::StartImageFade(float end, int32_t ms, Callback* callback)
{
    auto* list = new TM_InstructionList;
    list->push_back(
        new TM_Alpha(static_cast<uint32_t>(std::max(ms, 0)), end, kFromCurrent, 0, kFadeSmoothing));
    TransformManager::Instance()->AddTransform(&mSpriteTransform, list, callback, nullptr);
}

void GameplayArea::Activate(bool animate, Callback* callback)
{
    if ((mFlags & kCompleted) != 0)
        return;
    mFlags |= kActive;
    HoldCallback(callback);
    Show(animate, callback);
}

void GameplayArea::Show(bool animate, Callback* callback)
{
    if ((mFlags & kShown) != 0)
    {
        if (animate)
            mCompletionPending = 1;
        return;
    }
    mFlags |= kShown;
    HoldCallback(callback);
    if (animate && HasFrames() && TransformManager::Instance() != nullptr)
    {
        mSpriteTransform.SetAlpha(0.0f);
        StartImageFade(1.0f, mTimeVisible, NewOwnCallback());
        return;
    }
    mSpriteTransform.SetAlpha(1.0f);
    mCompletionPending = 1;
}

void GameplayArea::Hide(bool animate, Callback* callback)
{
    if ((mFlags & kShown) == 0)
    {
        if (animate)
            mCompletionPending = 1;
        return;
    }
    mFlags &= static_cast<uint8_t>(~kShown);
    HoldCallback(callback);
    if (animate && TransformManager::Instance() != nullptr)
    {
        mSpriteTransform.SetAlpha(1.0f);
        StartImageFade(0.0f, mTimeVisible, NewOwnCallback());
        return;
    }
    mCompletionPending = 1;
    if (!animate)
        ReleaseTextures();
}

void GameplayArea::Deactivate(bool animate, Callback* callback)
{
    if ((mFlags & kShown) != 0 && animate && HasFrames() && TransformManager::Instance() != nullptr)
    {
        mHeldCallback = callback;
        StartImageFade(0.0f, mTimeVisible, new Callback(this, &GameplayArea::OnDeactivated));
        return;
    }
    mFlags &= static_cast<uint8_t>(~(kActive | kShown));
    HoldCallback(callback);
    if (animate)
        mCompletionPending = 1;
}

void GameplayArea::OnDeactivated(void* object, TM_Transform*, uint32_t)
{
    auto* area = static_cast<GameplayArea*>(object);
    area->mFlags &= static_cast<uint8_t>(~(kActive | kShown));
    area->GameplayEntity::Complete();
}

void GameplayArea::Complete(Callback* callback, bool animate)
{
    if ((mFlags & kCompleted) != 0)
        return;
    mFlags |= kCompleted;
    if ((mFlags & kActive) == 0)
    {
        mHeldCallback = callback;
        mCompletionPending = 1;
        return;
    }
    mFlags &= static_cast<uint8_t>(~kActive);
    HoldCallback(callback);
    if (animate && TransformManager::Instance() != nullptr)
    {
        // The callback waits for the fade's end.
        mFlags |= kCompleting;
        mSpriteTransform.SetAlpha(1.0f);
        StartImageFade(0.0f, mTimeCompleteFade, new Callback(this, &GameplayArea::OnCompleted));
        return;
    }
    mFlags &= static_cast<uint8_t>(~kHilighted);
    if (!mHasCompletedFrame)
        Hide(false, nullptr);
    mCompletionPending = 1;
}

void GameplayArea::OnCompleted(void* object, TM_Transform*, uint32_t)
{
    auto* area = static_cast<GameplayArea*>(object);
    area->mFlags &= static_cast<uint8_t>(~(uint8_t{kActive} | kHilighted | kCompleting));
    area->mSpriteTransform.SetAlpha(1.0f);
    area->GameplayEntity::Complete();
}

// Saved bytes: the flag byte, the used flags eight a byte (the first event in the lowest bit),
// the held name's length and its bytes.

uint32_t GameplayArea::GetStateSize() const
{
    return static_cast<uint32_t>(2 + UsedBytes() +
                                 static_cast<size_t>(mHeldInventoryName.Length()));
}

void GameplayArea::SaveState(std::vector<uint8_t>& out)
{
    out.push_back(mFlags);
    std::vector<uint8_t> used(UsedBytes(), 0);
    for (size_t i = 0; i < mClickEvents.size(); ++i)
        if (mClickEvents[i]->used != 0)
            used[i / 8] = static_cast<uint8_t>(used[i / 8] | (1u << (i % 8)));
    out.insert(out.end(), used.begin(), used.end());
    // Written whenever the name is set, as the size counts it: a held object restored before its
    // area saves again keeps every later entity's bytes in place.
    const size_t length = std::min<size_t>(static_cast<size_t>(mHeldInventoryName.Length()), 255);
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), mHeldInventoryName.c_str(), mHeldInventoryName.c_str() + length);
}

size_t GameplayArea::MeasureState(const uint8_t* data, size_t size) const
{
    const size_t fixed = 2 + UsedBytes();
    if (data == nullptr || size < fixed)
        return 0;
    const size_t total = fixed + data[fixed - 1];
    return total <= size ? total : 0;
}

bool GameplayArea::LoadState(const uint8_t* data, size_t size)
{
    const size_t length = MeasureState(data, size);
    if (length == 0)
        return false;
    const uint8_t flags = data[0];
    for (size_t i = 0; i < mClickEvents.size(); ++i)
        mClickEvents[i]->used = static_cast<uint8_t>((data[1 + i / 8] >> (i % 8)) & 1u);
    const size_t fixed = 2 + UsedBytes();
    mHeldInventoryName =
        TString(reinterpret_cast<const char*>(data + fixed), static_cast<unsigned>(length - fixed));

    // Re-entered without animation or callbacks.
    Callback* held = mHeldCallback;
    const uint8_t pending = mCompletionPending;
    mFlags = flags;
    if ((flags & kCompleted) != 0)
    {
        if (mHasCompletedFrame)
        {
            mFlags &= static_cast<uint8_t>(~kShown);
            Show(false, nullptr);
        }
        else
        {
            mFlags |= kShown;
            Hide(false, nullptr);
        }
    }
    else if ((flags & kActive) != 0)
    {
        mFlags &= static_cast<uint8_t>(~kShown);
        Activate(false, nullptr);
    }
    else if ((flags & kShown) != 0)
    {
        mFlags &= static_cast<uint8_t>(~kShown);
        Show(false, nullptr);
    }
    mHeldCallback = held;
    mCompletionPending = pending;
    return true;
}
