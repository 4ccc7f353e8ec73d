// The location's tutorial prompts (which one to show, and how the scene answers the mouse while one
// is shown), the two characters' medallions in play, and the ends of a hint step and of a
// miss-click penalty.
#include "game/runner/mkw_gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/player_data.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/tutorials/gameplay_tutorial.h"
#include "framework/widgets/cursor_overlay.h"
#include "framework/widgets/framework_button.h"
#include "game/hud/gameplay_hint.h"
#include "game/hud/mkw_gameplay_hud.h"
#include "game/minigames/hintboards/gameplay_hint_minigame.h"

#include <bit>
#include <cstring>

namespace
{

// The prompts in the order they are considered; the first ten only in the player's first
// location.
enum TutorialRow : int32_t
{
    kRowItem = 0,
    kRowHint,
    kRowHintSelect,
    kRowItemTwo,
    kRowInventory,
    kRowSolve,
    kRowPortal,
    kRowHintLirae,
    kRowHintSelectLirae,
    kRowOpenJournal,
    kRowLirae,
    kRowThessalor,
    kRowRowCount,
    kRowFirstLocationRows = kRowLirae
};

constexpr const char* kTutorialNames[kRowRowCount] = {
    "tutorial_item",        "tutorial_hint",      "tutorial_hintselect",
    "tutorial_itemtwo",     "tutorial_inventory", "tutorial_solve",
    "tutorial_portal",      "tutorial_hintlirae", "tutorial_hintselectlirae",
    "tutorial_openjournal", "tutorial_lirae",     "tutorial_thessalor"};

// What the prompts point at in the first location's content.
const char kItemKey1[] = "item_key_1";
const char kItemKey2[] = "item_key_2";
const char kAreaDoor[] = "area_door";
const char kAreaStoreroom[] = "area_storageroom";
const char kJournalButton[] = "journal";

constexpr int32_t kThessalorMark = 1;
constexpr int32_t kLiraeMark = 2;

int32_t RowOf(const TString& name)
{
    for (int32_t row = 0; row < kRowRowCount; ++row)
        if (std::strcmp(name.c_str(), kTutorialNames[row]) == 0)
            return row;
    return -1;
}

bool Contains(const TRect& rect, const TPoint& point)
{
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
           point.y < rect.bottom;
}

} // namespace

TIntPoint MKWGameplay::HudPoint(const TPoint& point) const
{
    MKWGameplayHud* hud = GetGameHud();
    if (hud == nullptr)
        return {point.x, point.y};
    const TVec2 offset = hud->GetHudOffset();
    return {point.x + static_cast<int32_t>(offset.x), point.y + static_cast<int32_t>(offset.y)};
}

int32_t MKWGameplay::GetTutorialBit(const TString& name) const
{
    if (mTutorials == nullptr)
        return -1;
    const int32_t index = mTutorials->GetTutorialIndex(name);
    return index >= 0 && index <= 31 ? index : -1;
}

bool MKWGameplay::IsTutorialPending(const TString& name) const
{
    // A name without a prompt (or with an index outside the flags word) counts as seen: shown, it
    // would hold the location in the prompt state with nothing that could end it.
    const int32_t bit = GetTutorialBit(name);
    PlayerData* player = PlayerData::Instance();
    return bit >= 0 && player != nullptr && !player->IsTutorialShown(bit);
}

void MKWGameplay::MarkTutorialSeen(const TString& name)
{
    const int32_t bit = GetTutorialBit(name);
    if (PlayerData* player = PlayerData::Instance(); player != nullptr && bit >= 0)
        player->SetTutorialShown(bit);
}

void MKWGameplay::CompleteTutorial(const TString& name)
{
    MarkTutorialSeen(name);
    if (GameplayTutorial* prompt = mTutorials != nullptr ? mTutorials->GetActive() : nullptr)
        prompt->Hide(nullptr);
}

void MKWGameplay::CompleteTutorialWaiting(const TString& name)
{
    MarkTutorialSeen(name);
    GameplayTutorial* prompt = mTutorials != nullptr ? mTutorials->GetActive() : nullptr;
    WaitHandle hidden =
        Expect(kCallbackReported, TString::Format("the tutorial '%s' hiding", name.c_str()),
               [prompt] { return prompt != nullptr && prompt->CanEndHide(); });
    mGameplayState = kWaiting;
    if (prompt != nullptr)
        prompt->Hide(std::move(hidden));
    // No prompt to hide: nothing to wait for.
    hidden.Tell(nullptr, 0);
}

bool MKWGameplay::TutorialConditionHolds(int32_t row) const
{
    const bool play = mGameplayState == kPlay;
    const size_t shown = mHud != nullptr ? mHud->GetShownInventory().size() : 0;
    auto holdsAtMostOne = [this](int32_t mark)
    {
        MKWGameplayHud* hud = GetGameHud();
        GameplayHint* medallion = nullptr;
        if (hud != nullptr)
            medallion =
                mark == kLiraeMark ? hud->GetLiraeMedallion() : hud->GetThessalorMedallion();
        // Without the medallion the prompt could never be answered.
        return medallion != nullptr && std::popcount(medallion->GetAvailableMask()) <= 1;
    };
    switch (row)
    {
    case kRowHintSelect:
    case kRowHintSelectLirae:
        return mGameplayState == Gameplay::kHintSelect && mHudBusy == 0;
    case kRowItemTwo:
        return play || mGameplayState == kThessalorHintShown;
    case kRowInventory:
        return play && shown >= 1;
    case kRowSolve:
        return play && mHeldInventory != nullptr;
    case kRowPortal:
        return play && shown >= 2;
    case kRowLirae:
        return play && holdsAtMostOne(kLiraeMark);
    case kRowThessalor:
        return play && holdsAtMostOne(kThessalorMark);
    default:
        return play;
    }
}

bool MKWGameplay::IsHintUnderWay() const
{
    // A character's board and a hint being shown are in no record: a start from a store made
    // meanwhile would find the prompt that led to the board answered, or the tracker spent and no
    // hint shown. A hint fading in, and one shown under the prompt that asks for its item, are
    // shown hints too until the item is found.
    if (Gameplay::IsHintUnderWay() || mGameplayState == kThessalorMinigame ||
        mGameplayState == kLiraeMinigame || mGameplayState == kThessalorHintShown ||
        mGameplayState == kLiraeHintShown)
        return true;
    if (mHintItem != nullptr && !mHintItem->IsFound() &&
        (mGameplayState == kMinigame || mHintArmed != 0))
        return true;
    if (mGameplayState != kTutorial || mTutorials == nullptr || mTutorials->GetActive() == nullptr)
        return false;
    const int32_t row = RowOf(mTutorials->GetActive()->GetName());
    return row == kRowHintSelect || row == kRowHintSelectLirae;
}

void MKWGameplay::TakeBackHintForClose()
{
    const bool board = mGameplayState == kThessalorMinigame || mGameplayState == kLiraeMinigame;
    MKWGameplayHud* hud = GetGameHud();
    if (!board && mBeforeHint.kept && hud != nullptr)
    {
        if (GameplayHint* lirae = hud->GetLiraeMedallion())
            lirae->SetAvailableMask(mBeforeHint.trackers[0]);
        if (GameplayHint* thessalor = hud->GetThessalorMedallion())
            thessalor->SetAvailableMask(mBeforeHint.trackers[1]);
    }
    // The marks of the prompts that lead through a hint come back with it, so that the next start
    // asks for the tracker again; any other mark stays as play left it.
    PlayerData* player = PlayerData::Instance();
    if (!board && mBeforeHint.kept && player != nullptr)
    {
        PlayerData::Record record = player->ToBytes();
        for (int32_t row : {kRowHint, kRowHintSelect, kRowHintLirae, kRowHintSelectLirae})
        {
            const int32_t bit = GetTutorialBit(kTutorialNames[row]);
            if (bit < 0)
                continue;
            uint8_t& now = record[kMarksAt + static_cast<size_t>(bit / 8)];
            const auto mask = static_cast<uint8_t>(1u << (bit % 8));
            now = static_cast<uint8_t>((now & ~mask) |
                                       (mBeforeHint.marks[static_cast<size_t>(bit / 8)] & mask));
        }
        player->FromBytes(record);
    }
    mBeforeHint.kept = false;
    Gameplay::TakeBackHintForClose();
}

void MKWGameplay::CheckTutorials()
{
    if (mNextEvent != nullptr || mPendingConversation.Length() > 0 || mGameplayState == kTutorial ||
        mGameplayState == kConversation || mGameplayState == kWaiting)
        return;
    // Without a "tutorials" table every prompt counts as seen.
    if (mTutorials == nullptr)
        return;
    PlayerData* player = PlayerData::Instance();
    if (player == nullptr)
        return;
    // The player's own location, not the location's number.
    const int32_t first = player->GetLocation() == 0 ? 0 : kRowFirstLocationRows;
    for (int32_t row = first; row < kRowRowCount; ++row)
    {
        const TString name(kTutorialNames[row]);
        if (!IsTutorialPending(name) || !TutorialConditionHolds(row))
            continue;
        if (row == kRowSolve)
            SetCursorPickup();
        else if (row < kRowOpenJournal)
            SetCursorDefault();
        mTutorials->ShowTutorial(name, TVec2(0, 0));
        mGameplayState = kTutorial;
        return;
    }
}

void MKWGameplay::HoverStripObject(GameplayInventory* object, TString& rollover)
{
    // The sound only when the object was not under the mouse already.
    if (!object->IsRolloverShown())
        PlaySound(mSoundInventoryHover);
    object->SetHovered(true);
    rollover = object->GetActualName();
}

void MKWGameplay::HandleTutorialMouse(const TPoint& point, TString& rollover)
{
    if (mTutorials == nullptr)
        return;
    GameplayTutorial* prompt = mTutorials->GetActive();
    const bool click = mClickPending != 0;
    AnswerTutorialMouse(point, rollover);
    // A click on the scene that the prompt held without answering: the prompt blinks and the miss
    // sounds, so the player sees what holds the click. The HUD's own controls answer for
    // themselves.
    const bool onHud = mHud != nullptr && Contains(mHud->GetScreenRect(), point);
    if (click && !onHud && prompt != nullptr && prompt == mTutorials->GetActive() &&
        mGameplayState == kTutorial && prompt->GetState() == GameplayTutorial::kShown)
    {
        prompt->Nudge();
        PlaySound(mSoundClickMiss);
    }
}

void MKWGameplay::AnswerTutorialMouse(const TPoint& point, TString& rollover)
{
    const TString name = mTutorials->GetActiveTutorialName();
    const int32_t row = RowOf(name);
    const bool click = mClickPending != 0;
    const TVec2 at(static_cast<float>(point.x), static_cast<float>(point.y));
    MKWGameplayHud* hud = GetGameHud();
    switch (row)
    {
    case kRowItem:
    case kRowItemTwo:
    {
        if (!click)
            return;
        GameplayItem* item = FindItem(row == kRowItem ? kItemKey2 : kItemKey1);
        if (item == nullptr || !item->HitTest(at, TDrawSpec()))
            return;
        OnItemFound(item);
        CompleteTutorial(name);
        return;
    }
    case kRowHint:
    case kRowHintLirae:
    {
        const TIntPoint local = HudPoint(point);
        if (hud == nullptr || !hud->TestHintClick(TPoint{local.x, local.y}, true))
            return;
        if (click && HasValidHintTarget())
        {
            hud->SelectHint(TPoint{local.x, local.y});
            BeginHintSelect();
            CompleteTutorial(name);
        }
        else
        {
            RequestTrackerGlow(point);
        }
        return;
    }
    case kRowHintSelect:
    case kRowHintSelectLirae:
    case kRowInventory:
    {
        if (mHudBusy != 0)
            return;
        GameplayInventory* object = mHud != nullptr ? mHud->FindInventoryAt(point) : nullptr;
        if (row == kRowInventory)
        {
            if (object == nullptr)
            {
                SetCursorDefault();
                return;
            }
            if (!click)
            {
                HoverStripObject(object, rollover);
                SetCursorRollover();
                return;
            }
            EquipInventory(object);
            SetCursorPickup();
            CompleteTutorialWaiting(name);
            return;
        }
        if (click)
        {
            if (object != nullptr && CancelPickWithoutTarget(object))
            {
                // No hint to show: the prompt goes, unseen, to come again at the next selection,
                // and the selection's end brings play back.
                if (GameplayTutorial* prompt = mTutorials->GetActive())
                    prompt->Hide(nullptr);
                mGameplayState = Gameplay::kHintSelect;
            }
            else if (object != nullptr)
            {
                HintInventory(object, true);
                CompleteTutorial(name);
            }
            SetCursorDefault();
            return;
        }
        if (object == nullptr)
        {
            SetCursorDefault();
            return;
        }
        HoverStripObject(object, rollover);
        SetCursorHint();
        return;
    }
    case kRowSolve:
    {
        GameplayArea* door = FindArea(kAreaDoor);
        GameplayInventory* held = mHeldInventory;
        if (door == nullptr)
        {
            SetCursorPickup();
            return;
        }
        // Only the object the door has an event for is used on it; any other stays held.
        if (held == nullptr || !door->HasEventForInventory(held->GetName()) ||
            !door->TestInventoryDrop(held))
        {
            door->StartHilightFade(true);
            SetCursorPickup();
            return;
        }
        if (click)
        {
            door->StartHilightFade(true);
            // Recorded first: the use's callback reads it, and may come within the call.
            mLastClickedArea = door;
            UseInventory(held, door);
            SetCursorDefault();
            CompleteTutorial(name);
            return;
        }
        if (door->Hilight())
            PlaySound(mSoundAreaHilight);
        rollover = door->GetActualName();
        SetCursorPickup();
        return;
    }
    case kRowPortal:
    {
        GameplayArea* doorway = FindArea(kAreaStoreroom);
        if (doorway == nullptr)
            return;
        if (!doorway->HitTest(at))
        {
            doorway->StartHilightFade(true);
            SetCursorDefault();
            return;
        }
        if (click)
        {
            mNextEvent = FindEvent(doorway->FindEventForInventory("default"));
            mLastClickedArea = doorway;
            SetCursorDefault();
            CompleteTutorialWaiting(name);
            return;
        }
        if (doorway->Hilight())
            PlaySound(mSoundAreaHilight);
        rollover = doorway->GetActualName();
        SetCursorByName(doorway);
        return;
    }
    case kRowLirae:
    case kRowThessalor:
    {
        const int32_t mark = row == kRowLirae ? kLiraeMark : kThessalorMark;
        if (hud == nullptr || hud->HitMedallions(HudPoint(point)) != mark)
            return;
        if (!click)
        {
            hud->RequestMedallionGlow(mark);
            return;
        }
        if (GameplayTutorial* prompt = mTutorials->GetActive())
            prompt->Hide(nullptr);
        StartCharacterMinigame(mark);
        return;
    }
    case kRowOpenJournal:
    {
        if (!mJournalPressPending)
            return;
        mJournalPressPending = false;
        TWindow* button = mHud != nullptr ? mHud->FindChild(kJournalButton, 0xFFFFFFFFu) : nullptr;
        if (button == nullptr || !Contains(button->GetScreenRect(), point))
            return;
        CompleteTutorial(name);
        mGameplayState = kPlay;
        HudJournalPressed();
        return;
    }
    default:
        return;
    }
}

void MKWGameplay::StartCharacterMinigame(int32_t mark)
{
    GameplayHintMinigame* window = mark == kLiraeMark ? mHintWindowLirae : mHintWindowThessalor;
    if (window == nullptr)
    {
        // No minigame to run: the prompt is answered all the same, and play goes on.
        MarkTutorialSeen(kTutorialNames[mark == kLiraeMark ? kRowLirae : kRowThessalor]);
        if (mGameplayState == kTutorial)
            mGameplayState = kPlay;
        return;
    }
    if (mark == kLiraeMark)
        StartLiraeHintMinigame();
    else
        StartThessalorHintMinigame();
}

bool MKWGameplay::HandleMedallionMouse()
{
    if (mHeldInventory != nullptr)
        return false;
    MKWGameplayHud* hud = GetGameHud();
    if (hud == nullptr)
        return false;
    const TPoint mouse = RoadPoint();
    const TIntPoint local = HudPoint(mouse);
    const bool click = mClickPending != 0;
    // A medallion whose trackers are all available has nothing to earn: it is not in the way.
    if (hud->HitMedallionsIfMissing(local, true))
    {
        const int32_t mark = hud->HitMedallions(local);
        if (click)
        {
            const bool windowThere =
                (mark == kLiraeMark ? mHintWindowLirae : mHintWindowThessalor) != nullptr;
            if ((mark == kLiraeMark || mark == kThessalorMark) && windowThere &&
                hud->GetFirstMissingTracker(mark) != -1)
                StartCharacterMinigame(mark);
        }
        else
        {
            hud->RequestMedallionGlow(mark);
        }
        return true;
    }
    if (hud->TestHintClick(TPoint{local.x, local.y}, true))
    {
        // Nothing left to hint at: the journal's goals say what to do next, and its note why the
        // hint was not spent.
        if (click && !HasValidHintTarget())
            OpenJournal(mJournalNoHint);
        else
            RequestTrackerGlow(mouse);
    }
    return false;
}

void MKWGameplay::RequestTrackerGlow(const TPoint& point)
{
    MKWGameplayHud* hud = GetGameHud();
    if (hud == nullptr)
        return;
    const int32_t mark = hud->HitTrackers(HudPoint(point));
    GameplayHint* medallion = mark == kLiraeMark       ? hud->GetLiraeMedallion()
                              : mark == kThessalorMark ? hud->GetThessalorMedallion()
                                                       : nullptr;
    if (medallion != nullptr)
        medallion->RequestTrackerHover();
}

void MKWGameplay::EndMinigame(uint32_t)
{
    // Unlike the base, a puzzle (4) or the prompt and waiting states keep their state.
    if (mGameplayState == Gameplay::kHintSelect || mGameplayState == kThessalorHintShown ||
        mGameplayState == kLiraeHintShown)
        mGameplayState = kPlay;
    mHudBusy = 0;
    if (mHud != nullptr)
        mHud->SetButtonsEnabled(true);
}

void MKWGameplay::ReleaseInput()
{
    // The running hint minigame takes clicks again; otherwise neither window's dialog holds them.
    if (mGameplayState == kLiraeMinigame && mHintWindowLirae != nullptr)
        mHintWindowLirae->EndPenalty();
    else if (mGameplayState == kThessalorMinigame && mHintWindowThessalor != nullptr)
        mHintWindowThessalor->EndPenalty();
    else if (mGameplayState != kLiraeMinigame && mGameplayState != kThessalorMinigame)
        for (GameplayHintMinigame* window : {mHintWindowLirae, mHintWindowThessalor})
            if (window != nullptr)
                window->ClearDialogUp();
    Gameplay::ReleaseInput();
    if (MKWGameplayHud* hud = GetGameHud(); hud != nullptr && hud->GetJournalButton() != nullptr)
        hud->GetJournalButton()->SetEnabled(true, true);
}
