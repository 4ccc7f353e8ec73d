// The location's record: built at every calm point, stored in the player's profile as "gamedata"
// when the window closes (and, at most every few seconds, at calm points, so a crash keeps the
// last one), and read back on the location's first frame. Numbers are stored most
// significant byte first; counts, indices and lengths take one byte, indices + 1 with 0 for none.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/entities/gameplay_sound.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/player_data.h"
#include "framework/adventure/scene/gameplay_animation.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_manager.h"
#include "platform/config/prefs.h"
#include "platform/log.h"
#include "ui/window_manager.h"

#include <algorithm>

namespace
{

const char kSource[] = "gameplay";
const char kRecordKey[] = "gamedata";
// Play time and the three indices.
constexpr size_t kRecordHead = 7;
constexpr size_t kMaxByteField = Gameplay::kMostARecordByteHolds;
// An event armed for the next click while another is pending as well lies in the scenes'
// pending-dialog bytes, whose reader looks only at their lowest bit: the seven above it in the
// first scene's hold the low bits of 1 + the event's index (0 for none), the second scene's the
// eighth, so every record written before reads as holding none.
constexpr int kArmedShift = 1;
constexpr unsigned kArmedLowBits = 7;
constexpr size_t kMaxArmedInOneScene = (1u << kArmedLowBits) - 1;

// The armed event's bits a scene's pending-dialog byte holds, by the scene's place in the list.
unsigned ArmedPart(size_t armed, size_t scene)
{
    if (scene == 0)
        return static_cast<unsigned>(armed & kMaxArmedInOneScene);
    return scene == 1 ? static_cast<unsigned>(armed >> kArmedLowBits) : 0u;
}

size_t ArmedFrom(uint8_t first, uint8_t second)
{
    return (static_cast<size_t>(first) >> kArmedShift) |
           (static_cast<size_t>(second >> kArmedShift) << kArmedLowBits);
}

template <class List, class Entry> uint8_t IndexPlusOne(const List& list, const Entry* entry)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (&*list[i] == entry)
            return static_cast<uint8_t>(i + 1);
    return 0;
}

void PutPlayTime(uint8_t* at, uint32_t ms)
{
    at[0] = static_cast<uint8_t>(ms >> 24);
    at[1] = static_cast<uint8_t>(ms >> 16);
    at[2] = static_cast<uint8_t>(ms >> 8);
    at[3] = static_cast<uint8_t>(ms);
}

// Every held name an area's record carries belongs to an object of the location.
template <class Known>
bool HeldNamesKnown(const GameplayScene& scene, const uint8_t* data, size_t size, Known known)
{
    size_t at = 2 + static_cast<size_t>(data[1]);
    for (const auto& sound : scene.GetSounds())
        at += sound->MeasureState(data + at, size - at);
    for (const auto& entity : scene.GetEntities())
    {
        const size_t length = entity->MeasureState(data + at, size - at);
        if (const auto* area = dynamic_cast<const GameplayArea*>(entity.get()))
        {
            // The name's length byte ends the area's fixed part.
            const size_t fixed =
                area->GetStateSize() - static_cast<size_t>(area->GetHeldInventoryName().Length());
            const size_t nameLength = data[at + fixed - 1];
            if (nameLength > 0 && !known(TString(reinterpret_cast<const char*>(data + at + fixed),
                                                 static_cast<unsigned>(nameLength))))
                return false;
        }
        at += length;
    }
    return true;
}

} // namespace

bool Gameplay::BuildLocationRecord(std::vector<uint8_t>& out)
{
    const size_t areas = mActiveScene != nullptr ? mActiveScene->GetAreas().size() : 0;
    // A conversation on the screen is stored as still to come: the next start shows it from its
    // first line, and what it leads to is not lost.
    const TString& conversation =
        mPendingConversation.Length() == 0 && mGameplayState == kConversation
            ? mShownConversation
            : mPendingConversation;
    if (mScenes.size() > kMaxByteField || mEvents.size() > kMaxByteField || areas > kMaxByteField ||
        mAnimationIds.size() > kMaxByteField ||
        static_cast<size_t>(conversation.Length()) > kMaxByteField)
    {
        if (!mRecordTooLongReported)
            Log("Gameplay: the location has more than 255 scenes, events, areas or started "
                "animations, or a longer conversation name; its state is not stored");
        mRecordTooLongReported = true;
        return false;
    }
    out.assign(kRecordHead, 0);
    PutPlayTime(out.data(), mPlayTime);
    const uint8_t active = IndexPlusOne(mScenes, mActiveScene);
    out[4] = active > 0 ? static_cast<uint8_t>(active - 1) : 0;
    // The pending event by name: a game's event object may stand for a listed one. An event armed
    // to run on the next click goes in its place when nothing else is pending: the next start
    // runs it at once, where it would otherwise be forgotten and the location never end.
    const GameplayEvent* pending = mNextEvent != nullptr ? mNextEvent : mDeferredEvent;
    out[5] = pending != nullptr ? IndexPlusOne(mEvents, FindEvent(pending->GetName())) : 0;
    const uint8_t armed = mNextEvent != nullptr && mDeferredEvent != nullptr
                              ? IndexPlusOne(mEvents, FindEvent(mDeferredEvent->GetName()))
                              : 0;
    out[6] = mActiveScene != nullptr ? IndexPlusOne(mActiveScene->GetAreas(), mLastClickedArea) : 0;
    if (mHud != nullptr)
        mHud->SaveState(out);
    for (const std::shared_ptr<GameplayInventory>& object : mInventory)
        object->SaveState(out);
    if (armed > kMaxArmedInOneScene && mScenes.size() < 2)
        Log("Gameplay: event '%s', armed for the next click beside the pending event '%s', is "
            "event number %u of a location of one scene: only the first %zu fit its record, so it "
            "is not stored",
            mDeferredEvent->GetName().c_str(), mNextEvent->GetName().c_str(),
            static_cast<unsigned>(armed), kMaxArmedInOneScene);
    for (size_t i = 0; i < mScenes.size(); ++i)
    {
        const size_t start = out.size();
        mScenes[i]->SaveState(out);
        if (mScenes.size() >= 2 || armed <= kMaxArmedInOneScene)
            out[start + mScenes[i]->GetLeadingStateSize()] |=
                static_cast<uint8_t>(ArmedPart(armed, i) << kArmedShift);
    }
    out.push_back(static_cast<uint8_t>(mAnimationIds.size()));
    out.insert(out.end(), mAnimationIds.begin(), mAnimationIds.end());
    out.push_back(static_cast<uint8_t>(conversation.Length()));
    out.insert(out.end(), conversation.c_str(), conversation.c_str() + conversation.Length());
    SaveExtraState(out);
    return true;
}

void Gameplay::SaveLocationState(bool refreshOnly)
{
    if (mBlockingAnimation != 0)
        return;
    if (refreshOnly && !mStateBytes.empty())
    {
        PutPlayTime(mStateBytes.data(), mPlayTime);
        return;
    }
    std::vector<uint8_t> record;
    if (!BuildLocationRecord(record))
        record.clear();
    mStateBytes.swap(record);
}

bool Gameplay::MayStoreRecord() const
{
    const PlayerData* player = PlayerData::Instance();
    return mLocationComplete == 0 && mLocationEntered &&
           (player == nullptr || player->GetLocation() == mLocationByteAtStart);
}

void Gameplay::StoreCalmPointWhenDue(uint32_t elapsed)
{
    mSinceCalmStore = std::min(mSinceCalmStore + elapsed, kCalmStoreIntervalMs);
    // A hint under way waits for the player as calmly as a puzzle, but no record holds it: a start
    // from a store made during it would find the hint asked for and no choice to make.
    if (mCalmStoreOff || mSettling || mSinceCalmStore < kCalmStoreIntervalMs || !MayStoreRecord() ||
        !IsStorableMoment())
        return;
    // Half a click is no point to store at either: what the press did would be stored without what
    // its release does. The store comes with the release, so every version holds whole clicks.
    if (const TWindowManager* manager = GetWindowManager();
        manager != nullptr && manager->IsPressOpen())
        return;
    Settings* settings = Settings::Instance();
    if (settings == nullptr || settings->GetNumUsers() == 0)
        return;
    SaveLocationState(false);
    if (mStateBytes.empty())
        return;
    // The play time alone is no news: it goes with the next store that has some. A store another
    // copy put off is news still: what it held reaches the disk with this one.
    const TPrefs* prefs = settings->GetPrefs();
    if (prefs != nullptr && prefs->WasShutOut())
        mStoredBytes.clear();
    PlayerData* player = PlayerData::Instance();
    const bool same =
        mStoredBytes.size() == mStateBytes.size() &&
        std::equal(mStateBytes.begin() + 4, mStateBytes.end(), mStoredBytes.begin() + 4);
    if (same && (player == nullptr || (!player->HasUnstoredChanges() &&
                                       player->GetGameState() == PlayerData::kInLocation)))
        return;
    mStoredBytes = mStateBytes;
    mSinceCalmStore = 0;
    // The player's record and the location's, as they stand at this one frame, in one save: a
    // reader of the file meets both of this calm point or both of an earlier one. A start after a
    // crash goes back into the location.
    if (player != nullptr)
    {
        player->SetGameState(PlayerData::kInLocation);
        player->StageProfile();
    }
    settings->SetPlayerData(kRecordKey, mStateBytes.data(), static_cast<int>(mStateBytes.size()),
                            false);
    // A disk that refuses the file would refuse it every few seconds, each time said in the log:
    // the close stores the location, and says whether it could. A save made beside the frame
    // says its failure at a later frame, so the failure of the store before counts too. Another
    // copy holding the file only puts a store off: the next calm point tries again.
    const bool refused = prefs != nullptr && prefs->HasUnsavedChanges() && !prefs->WasShutOut();
    if (refused || !settings->SavePreferences())
    {
        mCalmStoreOff = true;
        Log("Gameplay: the location's calm points are not stored any more in this run, since the "
            "preferences could not be saved; the close stores it");
    }
}

size_t Gameplay::CheckLocationRecord(const std::vector<uint8_t>& record) const
{
    const uint8_t* data = record.data();
    const size_t size = record.size();
    if (size < kRecordHead)
        return 0;
    const size_t active = data[4];
    if (mScenes.empty() ? active != 0 : active >= mScenes.size())
        return 0;
    if (data[5] > mEvents.size())
        return 0;
    if (data[6] > (mScenes.empty() ? 0 : mScenes[active]->GetAreas().size()))
        return 0;
    size_t at = kRecordHead;
    const auto take = [&](size_t length)
    {
        if (length > size - at)
            return false;
        at += length;
        return true;
    };
    if (mHud != nullptr && !take(mHud->GetSavedStateSize()))
        return 0;
    if (!take(GameplayInventory::kSavedStateSize * mInventory.size()))
        return 0;
    uint8_t armedBytes[2] = {0, 0};
    for (size_t i = 0; i < mScenes.size(); ++i)
    {
        const GameplayScene& scene = *mScenes[i];
        const size_t length = scene.MeasureState(data + at, size - at);
        // The held names lie in the base scene's part, after a puzzle's own bytes.
        const size_t lead = scene.GetLeadingStateSize();
        if (length <= lead ||
            !HeldNamesKnown(scene, data + at + lead, length - lead,
                            [this](const TString& name) { return FindInventory(name) != nullptr; }))
            return 0;
        if (i < 2)
            armedBytes[i] = data[at + lead];
        at += length;
    }
    if (ArmedFrom(armedBytes[0], armedBytes[1]) > mEvents.size())
        return 0;
    if (!take(1))
        return 0;
    const size_t started = data[at - 1];
    for (size_t i = 0; i < started; ++i)
        if (at + i >= size || data[at + i] >= mAnimations.size())
            return 0;
    if (!take(started) || !take(1) || !take(data[at - 1]))
        return 0;
    return at;
}

void Gameplay::RestoreLocationRecord(const std::vector<uint8_t>& record, size_t extraAt)
{
    const uint8_t* data = record.data();
    mPlayTime = (static_cast<uint32_t>(data[0]) << 24) | (static_cast<uint32_t>(data[1]) << 16) |
                (static_cast<uint32_t>(data[2]) << 8) | data[3];
    const size_t activeIndex = data[4];
    const size_t eventIndex = data[5];
    const size_t areaIndex = data[6];
    size_t at = kRecordHead;

    if (mHud != nullptr)
    {
        mHud->LoadState(data + at, record.size() - at);
        at += mHud->GetSavedStateSize();
    }
    for (const std::shared_ptr<GameplayInventory>& object : mInventory)
    {
        object->RestoreState(data + at, GameplayInventory::kSavedStateSize);
        at += GameplayInventory::kSavedStateSize;
        const uint8_t flags = object->GetFlags();
        if ((flags & GameplayInventory::kShown) == 0)
            continue;
        // One the strip cannot take, held from nowhere, is in the hand alone; one an event's
        // equip laid in the shown scene, having no scene of its own, lies in the scene shown.
        GameplayScene* home = FindScene(object->GetHomeScene());
        if (home == nullptr && !object->CanBePlacedInHud() && activeIndex < mScenes.size())
            home = mScenes[activeIndex].get();
        if ((flags & GameplayInventory::kInScene) == 0)
        {
            if (mHud != nullptr && object->CanBePlacedInHud())
                mHud->GetPendingInventory().push_back(object.get());
            else if (home != nullptr && (flags & GameplayInventory::kHeld) == 0)
                home->AddInventory(object.get(), false, kUnsetPosition, nullptr);
        }
        else if (home != nullptr)
        {
            home->AddInventory(object.get(), false, object->GetHomePosition(), nullptr);
        }
        else
        {
            ReportError("Cannot add GameplayInventory to GameplayScene.", kSource, __LINE__, false);
        }
        if ((flags & GameplayInventory::kHeld) != 0)
        {
            mHeldInventory = object.get();
            object->Equip();
            if (mHud != nullptr)
                mHud->SetButtonsEnabled(false);
            if (mSoundInventoryEquip != nullptr)
                mSoundInventoryEquip->mPending = mSoundInventoryEquip->GetStartDelay();
        }
    }
    uint8_t armedBytes[2] = {0, 0};
    for (size_t i = 0; i < mScenes.size(); ++i)
    {
        const std::shared_ptr<GameplayScene>& scene = mScenes[i];
        const size_t length = scene->MeasureState(data + at, record.size() - at);
        if (i < 2)
            armedBytes[i] = data[at + scene->GetLeadingStateSize()];
        scene->LoadState(data + at, length);
        at += length;
        for (GameplayArea* area : scene->GetAreas())
            if (area->GetHeldInventoryName().Length() > 0)
                if (GameplayInventory* held = FindInventory(area->GetHeldInventoryName()))
                    area->HoldInventory(held);
        // The parts past what an object's record holds come back from the items that gave them.
        for (GameplayItem* item : scene->GetItems())
            if ((item->GetFlags() & GameplayItem::kFound) != 0)
                if (GameplayInventory* object = FindInventory(item->GetInventoryName()))
                    if ((object->GetFlags() & GameplayInventory::kShown) != 0)
                        for (int32_t part : item->GetInventoryParts())
                            object->RestorePart(part);
    }
    if (!mScenes.empty())
        mActiveScene = mScenes[activeIndex].get();
    const size_t started = data[at];
    for (size_t i = 0; i < started; ++i)
        StartEventAnimation(mAnimations[data[at + 1 + i]]->GetName(), false);
    at += 1 + started;
    const size_t length = data[at];
    mPendingConversation = TString();
    for (size_t i = 0; i < length; ++i)
        mPendingConversation += static_cast<char>(data[at + 1 + i]);
    LoadExtraState(data + extraAt, record.size() - extraAt);
    if (mHud != nullptr)
        mHud->MergePendingInventory(false, nullptr);
    mNextEvent = eventIndex > 0 ? mEvents[eventIndex - 1].get() : nullptr;
    const size_t armed = ArmedFrom(armedBytes[0], armedBytes[1]);
    mDeferredEvent = armed > 0 ? mEvents[armed - 1].get() : nullptr;
    mLastClickedArea = areaIndex > 0 && mActiveScene != nullptr
                           ? mActiveScene->GetAreas()[areaIndex - 1]
                           : nullptr;
}

bool Gameplay::LoadLocationState()
{
    mLocationEntered = true;
    if (PlayerData* player = PlayerData::Instance())
    {
        mLocationByteAtStart = player->GetLocation();
        player->HoldScriptSaves(this);
    }
    Settings* settings = Settings::Instance();
    if (settings == nullptr || !settings->HasPlayerData(kRecordKey))
        return false;
    const int needed = settings->GetPlayerData(kRecordKey, nullptr, 0);
    if (needed <= 0)
        return false;
    std::vector<uint8_t> record(static_cast<size_t>(needed));
    if (settings->GetPlayerData(kRecordKey, record.data(), needed) != 0)
        return false;
    const size_t extraAt = CheckLocationRecord(record);
    if (extraAt == 0)
    {
        Log("Gameplay: the saved state of %zu bytes does not fit this location; it starts fresh",
            record.size());
        return false;
    }
    RestoreLocationRecord(record, extraAt);
    SaveLocationState(true);
    return true;
}

bool Gameplay::IsCalm()
{
    if (!mWaits.empty() || mBlockingAnimation != 0)
        return false;
    switch (mGameplayState)
    {
    case kFirstFrame:
    case kSceneSwitch:
    case kSceneLoading:
    case kSceneFadingIn:
    case kWaiting:
        return false;
    case kPlay:
        // Play's next frame would end the location or run the pending event; a conversation
        // comes first and waits for the player.
        return !IsLocationDone() && (mNextEvent == nullptr || mPendingConversation.Length() > 0);
    default:
        return true;
    }
}

TString Gameplay::DescribeGameplayState() const
{
    switch (mGameplayState)
    {
    case kPlay:
        return "in play";
    case kConversation:
        return "in a conversation";
    case kSceneSwitch:
        return "switching scenes";
    case kTutorial:
        return "showing a tutorial prompt";
    case kMinigame:
        return "in a puzzle";
    case kHintSelect:
        return "choosing an object to hint";
    case kWaiting:
        return "holding play for its waits";
    case kFirstFrame:
        return "before its first frame";
    case kSceneLoading:
        return "loading a scene";
    case kSceneFadingIn:
        return "fading a scene in";
    default:
        return TString::Format("in state %d", static_cast<int>(mGameplayState));
    }
}

void Gameplay::SettleForClose()
{
    TransformManager* transforms = TransformManager::Instance();
    DeltaTime* clock = DeltaTime::Instance();
    Settings* settings = Settings::Instance();
    const bool paused = mPaused != 0;
    if (paused)
        ResumeGame();
    const bool suspended = transforms != nullptr && transforms->IsSuspended();
    if (suspended)
        transforms->ResumeAll();
    // The pointer is off the picture: nothing is hovered or lit on the way.
    TPoint mouse;
    if (settings != nullptr)
    {
        mouse = TPoint{settings->mMouseX, settings->mMouseY};
        settings->mMouseX = settings->mMouseY = -1;
    }
    const uint32_t step = clock != nullptr ? clock->GetStep() : 0;
    mSettling = true;
    mClickPending = 0;
    int steps = 0;
    while (mLocationComplete == 0 && !IsStorableMoment())
    {
        if (steps++ == kMostSettleSteps)
        {
            const std::vector<TString> waits = DescribeWaits();
            Log("Gameplay: the location did not come to rest within %d steps of its close "
                "(%s%s%s); it is stored as it stands",
                kMostSettleSteps, DescribeGameplayState().c_str(),
                waits.empty() ? "" : ", waiting for ", waits.empty() ? "" : waits.front().c_str());
            break;
        }
        // Calm, and still no moment a store could have stored: a hint waits for the player.
        if (IsCalm())
        {
            TakeBackHintForClose();
            continue;
        }
        if (clock != nullptr)
            clock->Skip(kSettleStepMs);
        if (transforms != nullptr)
            transforms->Update();
        Update();
        if (mHud != nullptr)
            mHud->Update();
    }
    mSettling = false;
    if (clock != nullptr)
        clock->SetStep(step);
    if (settings != nullptr)
    {
        settings->mMouseX = mouse.x;
        settings->mMouseY = mouse.y;
    }
    if (suspended)
        transforms->PauseAll();
    if (paused && mLocationComplete == 0)
        PauseGame();
}

void Gameplay::TakeBackHintForClose()
{
    if (mHud != nullptr)
        mHud->EndHintSelect(false);
    mHintArmed = 0;
    mHudBusy = 0;
    mGameplayState = kPlay;
}

void Gameplay::SaveOnClose()
{
    PlayerData* player = PlayerData::Instance();
    Settings* settings = Settings::Instance();
    const bool stores = settings != nullptr && settings->GetNumUsers() > 0;
    const bool counted =
        player != nullptr && mLocationEntered && player->GetLocation() != mLocationByteAtStart;
    if (mLocationComplete != 0 || !mLocationEntered || counted)
    {
        KeepCountedLocation();
        // A game that counted the location itself has finished it: a record a calm point stored
        // while it ran is no location to go back to. The player's record goes in the same save.
        bool changed = false;
        if (mLocationComplete == 0 && counted && stores && settings->HasPlayerData(kRecordKey))
        {
            settings->DeletePlayerData(kRecordKey, false);
            changed = true;
        }
        if (player != nullptr)
            changed = player->StageProfile() || changed;
        if (changed && settings != nullptr)
            settings->SavePreferences();
        return;
    }
    // The last calm store may lie up to its interval before the close: a puzzle's progress, a
    // use whose event animation still runs, an end event waiting for its effects. The location
    // runs on to its next calm point first, so nothing the player did since is lost and an end
    // under way ends it (its completion is its own one save). It stores what a calm store could
    // have stored: a hint under way is taken back to where it began.
    SettleForClose();
    if (mLocationComplete != 0)
        return;
    std::vector<uint8_t> record;
    if (BuildLocationRecord(record))
        mStateBytes.swap(record);
    else
        SaveLocationState(true);
    // The location's record and the player's, of this one moment, in one save.
    if (stores && !mStateBytes.empty())
        settings->SetPlayerData(kRecordKey, mStateBytes.data(),
                                static_cast<int>(mStateBytes.size()), false);
    if (player != nullptr)
    {
        player->SetGameState(PlayerData::kInLocation);
        player->StageProfile();
    }
    if (settings != nullptr)
        settings->SavePreferences();
}

void Gameplay::OnClose()
{
    SaveOnClose();
    if (PlayerData* player = PlayerData::Instance())
        player->ReleaseScriptSaves(this);
    DropInactiveScenes();
    mSaveOnClose = 0;
}
