// The game's runner with the first location's tutorial prompts on a location of the test's own:
// which prompt shows when, each prompt's click and hover, the medallions in play, and the ends of
// a hint step and of a miss-click penalty against recording hint windows.
#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/player_data.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/adventure/tutorials/gameplay_tutorial.h"
#include "framework/core/settings.h"
#include "framework/screen_test_support.h"
#include "framework/widgets/framework_button.h"
#include "game/frame_sheet_support.h"
#include "game/hud/gameplay_hint.h"
#include "game/hud/hud_test_support.h"
#include "game/hud/mkw_gameplay_hud.h"
#include "game/journal/gameplay_journal.h"
#include "game/minigames/hintboards/gameplay_hint_minigame.h"
#include "game/runner/mkw_gameplay.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace mkw_gameplay_tutorials_test
{
namespace
{

// Open state for the tests; a valid hint target when the test says so, and the strip's objects
// as the hintable ones.
struct TestGameplay : MKWGameplay
{
    static TWindow* Create() { return new TestGameplay; }
    void SetState(int32_t state) { mGameplayState = state; }
    // A click pressed where the pointer stands.
    void SetClick(bool on)
    {
        mClickPending = on ? 1 : 0;
        if (const Settings* settings = Settings::Instance())
            mClickPoint = TPoint{settings->mMouseX, settings->mMouseY};
    }
    void SetHudBusy(bool on) { mHudBusy = on ? 1 : 0; }
    void SetPendingDialog(const char* name) { mPendingConversation = name; }
    void SetNextEvent(GameplayEvent* event) { mNextEvent = event; }
    void ShowHintOn(GameplayItem* item)
    {
        mHintItem = item;
        mHintArmed = item != nullptr ? 1 : 0;
    }
    GameplayTutorialController* GetTutorialController() const { return mTutorials.get(); }
    using MKWGameplay::CompleteTutorialWaiting;
    bool HasValidHintTarget() override { return mValidTarget; }
    std::vector<GameplayInventory*> GetHintableInventory() override
    {
        return mHud->GetShownInventory();
    }
    void SaveLocationState(bool flag) override
    {
        ++mSaves;
        MKWGameplay::SaveLocationState(flag);
    }
    bool mValidTarget = false;
    int mSaves = 0;
};

std::vector<std::string> gHintCalls;

struct RecordingHint : GameplayHintMinigame
{
    static TWindow* Create() { return new RecordingHint; }
    void Start(uint32_t flag, GameplayScene* scene, const HintCallbacks& callbacks) override
    {
        GameplayHintMinigame::Start(flag, scene, callbacks);
        gHintCalls.push_back(std::string(GetName().c_str()) + ".start");
    }
    void EndPenalty() override
    {
        gHintCalls.push_back(std::string(GetName().c_str()) + ".endpenalty");
        GameplayHintMinigame::EndPenalty();
    }
    void RaiseDialog() { mPenalty = true; }
};

const char* const kNames[] = {
    "tutorial_item",        "tutorial_hint",      "tutorial_hintselect",
    "tutorial_itemtwo",     "tutorial_inventory", "tutorial_solve",
    "tutorial_portal",      "tutorial_hintlirae", "tutorial_hintselectlirae",
    "tutorial_openjournal", "tutorial_lirae",     "tutorial_thessalor"};

// The prompts with their bits; `skip` leaves one out.
std::string Tutorials(const std::string& skip = "")
{
    std::string table = "tutorials = { info = { fadetime = 50, arrowtime = 200, arrowdist = 10, "
                        "arrowimage = 'tut/arrow.png', arrowcenterx = 8, arrowcentery = 8, "
                        "dialog = 'tut/dialog.png', bounds = { x = 0, y = 0, w = 100, h = 40 }, "
                        "font = { '', 12, { 1, 1, 1, 1 } } }, ";
    for (int i = 0; i < 12; ++i)
        if (skip != kNames[i])
            table += "{ name = '" + std::string(kNames[i]) + "', index = " + std::to_string(i) +
                     ", dialogx = 400, dialogy = 100 }, ";
    return table + "}, ";
}

// Scene "a": the two key halves, the door (where the key is used) and the doorway to "b".
const char kLocation[] = R"(
gameplayinstructions = {
    conversations = {}, scenes = { 'a', 'b' },
    a = {
        items = { { name = 'item_key_1', image = 't/half', x = 300, y = 300, inventory = 'gatekey',
                    inventoryparts = { 1 } },
                  { name = 'item_key_2', image = 't/half', x = 100, y = 300, inventory = 'gatekey',
                    inventoryparts = { 2 } } },
        areas = { { name = 'area_door', image = 't/door', x = 300, y = 50, actualname = 'door',
                    events = { gatekey = { eventname = 'open' } } },
                  { name = 'area_storageroom', image = 't/door', x = 500, y = 50,
                    actualname = 'doorway', isportal = true, cursor = 'hand',
                    events = { default = { eventname = 'go_b' } } } },
    },
    b = {},
    events = {
        { name = 'start', areastoactivate = { 'area_door', 'area_storageroom' },
          itemstoactivate = { 'item_key_1', 'item_key_2' } },
        { name = 'one', inventorytoactivate = { 'gatekey' } },
        { name = 'two', inventorytoactivate = { 'oil', 'lamp' } },
        { name = 'open' }, { name = 'go_b', action = 'b' },
    },
    inventory = { { name = 'gatekey', image = 't/gem', homescene = 'a', partcount = 2,
                    actualname = 'key', type = 'thessalor' },
                  { name = 'oil', image = 't/gem', homescene = 'a', partcount = 1,
                    type = 'lirae' },
                  { name = 'lamp', image = 't/gem', homescene = 'a', partcount = 1,
                    type = 'lirae' } },
    initial_event = 'start', active_scene = 'a',
}
)";

const char kStyle[] =
    "characterinfo = { scrim = {}, conversation_info = {}, info = {} }, "
    "playlist = { location01 = { a = {}, b = {} } }, sceneinfo = {}, animatedcursorinfo = {}, "
    "locationnumber = 1, playlistinfo = {}, timescenetransition = 30, "
    "entityinfo = { areainfo = { imagemask = '_mask', timevisible = 30, timehilightfade = 30 }, "
    "layerinfo = {}, textinfo = {}, iteminfo = { imagemask = '_mask', timefound = 30, "
    "timetoinventory = 30, timefadeaway = 30 } }, "
    "inventoryinfo = { imagemask = '_mask', scaleequip = 1, timeequip = 30, timeunequip = 30, "
    "timetouse = 30, timevisible = 30, timetomove = 30, barwidth = 0 }, ";

class MKWGameplayTutorialsTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("Gameplay", &TestGameplay::Create);
        mManager->RegisterWindowType("GameplayHud", &MKWGameplayHud::Create);
        mManager->RegisterWindowType("GameplayJournal", &GameplayJournal::Create);
        mManager->RegisterWindowType("Button", &TVButton::Create);
        mManager->RegisterWindowType("GameplayHintThessalor", &RecordingHint::Create);
        mManager->RegisterWindowType("GameplayHintLirae", &RecordingHint::Create);
        gHintCalls.clear();
        Image("t/door.png", 100, 200, 0xFF806040);
        Image("t/door_mask.png", 100, 200, 0xFFFFFFFF);
        Image("t/half.png", 20, 20, 0xFF40C040);
        Image("t/half_mask.png", 20, 20, 0xFFFFFFFF);
        // Whole, silhouette and two parts.
        Sheet("t/gem", 20, {0xFF40C040, 0xFF404040, 0xFF40C040, 0xFF40C040});
        Image("t/gem_mask.png", 20, 20, 0xFFFFFFFF);
        Image("hud/bg.png", 600, 100, 0xFF303030);
        Image("hud/btn.png", 30, 20, 0xFFC0C0C0);
        Image("tut/arrow.png", 16, 16, 0xFFE0E020);
        Image("tut/dialog.png", 100, 40, 0xFF304060);
        Sheet("hud/med", 40, {0xFFE02020, 0xFF20E020});
        Sheet("hud/trk", 16, {0xFFFFFF00, 0xFFFF8000});
        mPlayer = std::make_unique<PlayerData>();
    }
    void TearDown() override
    {
        Run("gameplayinstructions = nil");
        // The runner goes before the record it writes into.
        Close();
        mPlayer.reset();
        ScreenTest::TearDown();
    }
    void Close()
    {
        if (mGameplay == nullptr)
            return;
        mManager->GetRoot()->RemoveChild(mGameplay);
        delete mGameplay;
        mGameplay = nullptr;
    }
    // Frames of one colour each, registered at their centre.
    void Sheet(const std::string& name, int size, const std::vector<uint32_t>& colours)
    {
        const gametest::FrameSheet sheet = gametest::MakeFrameSheet(name, size, colours);
        File(name + ".png", sheet.png);
        File(name + ".xml", sheet.xml);
    }
    // Played up to its first frame of play. Thessalor's medallion lies at (50, 550) with its
    // trackers at (120, 520) and (120, 545), Lirae's at (750, 550) with hers at x 680; the journal
    // button at (600, 510).
    TestGameplay* Open(const std::string& tutorials = Tutorials(), const std::string& children = "",
                       const std::string& locationEdit = "")
    {
        Close();
        Run(kLocation);
        Run(locationEdit);
        Run(std::string("Gameplay{ name = 'gameplay', x = 0, y = 0, w = 800, h = 600, ") + kStyle +
            tutorials + children +
            "GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
            "background = { image = 'hud/bg.png', x = 100, y = 0 }, "
            "foreground = { image = 'hud/bg.png', x = 100, y = 0 }, "
            "progressbar = { image = 'hud/btn.png', x = 300, y = 4 }, "
            "inventorybounds = { x = 200, y = 510, w = 380, h = 80 }, "
            "inventoryminhorzgap = 10, inventoryvertplacement = 550, hintinfo = " +
            gamehudtest::kHintInfo + ", hintthessalor = " + gamehudtest::Character(50, 120, 2) +
            ", hintlirae = " + gamehudtest::Character(750, 680, 2) +
            ", Button{ name = 'journal', x = 600, y = 10, buttongraphics = { 'hud/btn.png' } } "
            "} }()");
        auto* gameplay =
            dynamic_cast<TestGameplay*>(mManager->GetRoot()->FindChild("gameplay", 0xFFFFFFFFu));
        mGameplay = gameplay;
        if (gameplay == nullptr)
            return gameplay;
        // Seen prompts keep the location in play while it loads.
        const PlayerData::Record before = mPlayer->ToBytes();
        for (int i = 0; i < 12; ++i)
            mPlayer->SetTutorialShown(i);
        for (int i = 0; i < 60 && gameplay->GetGameplayState() != Gameplay::kPlay; ++i)
            Frame(16);
        mPlayer->FromBytes(before);
        for (const char* name : {"item_key_1", "item_key_2"})
            if (GameplayItem* item = gameplay->FindItem(name))
                item->Activate(false, nullptr);
        return gameplay;
    }
    MKWGameplayHud* Hud(TestGameplay* gameplay)
    {
        return static_cast<MKWGameplayHud*>(gameplay->GetHud());
    }
    void Seen(int upTo)
    {
        const uint8_t location = mPlayer->GetLocation();
        mPlayer->FromBytes(PlayerData::Record{});
        mPlayer->SetLocation(location);
        for (int i = 0; i < upTo; ++i)
            mPlayer->SetTutorialShown(i);
    }
    // The prompt CheckTutorials shows in `state` with the first `seen` prompts seen; "" for none.
    std::string Shown(TestGameplay* gameplay, int32_t state, int seen)
    {
        Seen(seen);
        gameplay->SetState(state);
        gameplay->CheckTutorials();
        if (gameplay->GetGameplayState() != Gameplay::kTutorial)
            return "";
        GameplayTutorial* active = gameplay->GetTutorialController()->GetActive();
        return active != nullptr ? active->GetName().c_str() : "?";
    }
    // The prompt shown for the test, with the mouse at the point; a click when asked.
    void Mouse(TestGameplay* gameplay, int x, int y, bool click, TString* rollover = nullptr)
    {
        mSettings->mMouseX = x;
        mSettings->mMouseY = y;
        gameplay->SetClick(click);
        TString text;
        gameplay->HandleTutorialMouse(TPoint(x, y), rollover != nullptr ? *rollover : text);
        gameplay->SetClick(false);
    }
    // Where the strip shows the object.
    TPoint StripPoint(TestGameplay* gameplay, const char* name)
    {
        for (int y = 515; y < 590; y += 5)
            for (int x = 200; x < 600; x += 2)
                if (GameplayInventory* object = gameplay->GetHud()->FindInventoryAt(TPoint(x, y));
                    object != nullptr && object->GetName() == TString(name))
                    return TPoint(x, y);
        return TPoint(-1, -1);
    }
    void Give(TestGameplay* gameplay, const char* event)
    {
        gameplay->ActivateEvent(event, true);
        gameplay->GetHud()->MergePendingInventory(false, nullptr);
        gameplay->GetHud()->ArrangeInventory(0, false, nullptr);
    }
    bool Bit(int index) const { return mPlayer->IsTutorialShown(index); }
    // Open, with what `event` gives out and `object` held: the prompt to use it on the door is up.
    TestGameplay* Holding(const char* event, const char* object)
    {
        TestGameplay* gameplay = Open();
        if (gameplay == nullptr)
            return nullptr;
        Give(gameplay, event);
        gameplay->EquipInventory(gameplay->FindInventory(object));
        EXPECT_EQ(Shown(gameplay, Gameplay::kPlay, 5), "tutorial_solve");
        RunFrames(6);
        return gameplay;
    }

    // Open, with the key's half given out and Thessalor's tracker clicked: an object to choose
    // for the hint, the strip ready.
    TestGameplay* Choosing()
    {
        TestGameplay* gameplay = Open();
        if (gameplay == nullptr)
            return nullptr;
        Give(gameplay, "one");
        Hud(gameplay)->GetThessalorMedallion()->SetAvailableMask(0x01);
        gameplay->mValidTarget = true;
        EXPECT_EQ(Shown(gameplay, Gameplay::kPlay, 1), "tutorial_hint");
        Mouse(gameplay, 120, 520, true);
        EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kHintSelect);
        gameplay->SetHudBusy(false);
        return gameplay;
    }

    std::unique_ptr<PlayerData> mPlayer;
    TestGameplay* mGameplay = nullptr;
};

TEST_F(MKWGameplayTutorialsTest, ThePromptsComeInTheirOrderEachWhenItsConditionHolds)
{
    TestGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    ASSERT_EQ(gameplay->GetGameplayState(), Gameplay::kPlay) << Log();
    using G = Gameplay;
    using M = MKWGameplay;
    EXPECT_EQ(Shown(gameplay, G::kPlay, 0), "tutorial_item");
    EXPECT_EQ(gameplay->GetCursorKind(), G::kCursorDefault);
    EXPECT_EQ(Shown(gameplay, G::kPlay, 1), "tutorial_hint");
    // The selection prompts wait for the strip to settle.
    EXPECT_EQ(Shown(gameplay, G::kHintSelect, 2), "tutorial_hintselect");
    gameplay->SetHudBusy(true);
    EXPECT_EQ(Shown(gameplay, G::kHintSelect, 2), "");
    gameplay->SetHudBusy(false);
    EXPECT_EQ(Shown(gameplay, M::kThessalorHintShown, 3), "tutorial_itemtwo");
    EXPECT_EQ(Shown(gameplay, M::kLiraeHintShown, 3), "");
    // An empty strip, nothing held: on to Lirae's hint.
    EXPECT_EQ(Shown(gameplay, G::kPlay, 4), "tutorial_hintlirae");
    Give(gameplay, "one");
    EXPECT_EQ(Shown(gameplay, G::kPlay, 4), "tutorial_inventory");
    gameplay->EquipInventory(gameplay->FindInventory("gatekey"));
    EXPECT_EQ(Shown(gameplay, G::kPlay, 5), "tutorial_solve");
    EXPECT_EQ(gameplay->GetCursorKind(), G::kCursorPickup);
    EXPECT_EQ(Shown(gameplay, G::kPlay, 6), "tutorial_hintlirae");
    Give(gameplay, "two");
    EXPECT_EQ(Shown(gameplay, G::kPlay, 6), "tutorial_portal");
    EXPECT_EQ(Shown(gameplay, G::kHintSelect, 8), "tutorial_hintselectlirae");
    EXPECT_EQ(Shown(gameplay, G::kPlay, 9), "tutorial_openjournal");
    // The characters' prompts while their medallion holds at most one hint.
    Hud(gameplay)->GetLiraeMedallion()->SetAvailableMask(0x03);
    Hud(gameplay)->GetThessalorMedallion()->SetAvailableMask(0x02);
    EXPECT_EQ(Shown(gameplay, G::kPlay, 10), "tutorial_thessalor");
    Hud(gameplay)->GetLiraeMedallion()->SetAvailableMask(0x01);
    EXPECT_EQ(Shown(gameplay, G::kPlay, 10), "tutorial_lirae");
    EXPECT_EQ(Shown(gameplay, G::kPlay, 12), "");
    EXPECT_EQ(gameplay->GetGameplayState(), G::kPlay);

    // Nothing in a conversation, a prompt or a wait, nor with an event or a dialog queued.
    for (int32_t state : {G::kConversation, G::kWaiting})
        EXPECT_EQ(Shown(gameplay, state, 0), "") << state;
    // A prompt already shown stays the one shown.
    ASSERT_EQ(Shown(gameplay, G::kPlay, 1), "tutorial_hint");
    Seen(0);
    gameplay->CheckTutorials();
    EXPECT_EQ(gameplay->GetTutorialController()->GetActiveTutorialName(), TString("tutorial_hint"));
    gameplay->SetNextEvent(gameplay->FindEvent("open"));
    EXPECT_EQ(Shown(gameplay, G::kPlay, 0), "");
    gameplay->SetNextEvent(nullptr);
    gameplay->SetPendingDialog("hello");
    EXPECT_EQ(Shown(gameplay, G::kPlay, 0), "");
    gameplay->SetPendingDialog("");

    // Past the first location (the player's own byte) only the last two are considered.
    mPlayer->SetLocation(1);
    EXPECT_EQ(Shown(gameplay, G::kPlay, 0), "tutorial_lirae");
    mPlayer->SetLocation(0);

    // A second runner does not show what the first one's player saw.
    Seen(12);
    gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    gameplay->CheckTutorials();
    EXPECT_EQ(gameplay->GetGameplayState(), G::kPlay);
}

// A close runs the location on without the player: in play through its whole bound of steps (a wait
// of the test's own holds it), it shows no prompt, and the prompt stays unseen.
TEST_F(MKWGameplayTutorialsTest, ACloseRunningTheLocationOnShowsNoPrompt)
{
    TestGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    Seen(0);
    const WaitHandle held =
        gameplay->Expect(Gameplay::kCallbackReported, "the test's own wait", [] { return true; });
    gameplay->SetState(Gameplay::kPlay);
    gameplay->SettleForClose();
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kPlay);
    EXPECT_FALSE(Bit(0));
}

TEST_F(MKWGameplayTutorialsTest, MissingPromptsCountAsSeenAndNoTableShowsNothing)
{
    TestGameplay* gameplay = Open(Tutorials("tutorial_item"));
    ASSERT_NE(gameplay, nullptr);
    EXPECT_EQ(Shown(gameplay, Gameplay::kPlay, 0), "tutorial_hint");
    EXPECT_FALSE(Bit(0));
    // An index outside the flags word counts as seen too.
    std::string wide = Tutorials();
    wide.replace(wide.find("index = 0,"), 10, "index = 40,");
    gameplay = Open(wide);
    ASSERT_NE(gameplay, nullptr);
    EXPECT_EQ(Shown(gameplay, Gameplay::kPlay, 0), "tutorial_hint");

    gameplay = Open("");
    ASSERT_NE(gameplay, nullptr);
    EXPECT_EQ(Shown(gameplay, Gameplay::kPlay, 0), "");
    Mouse(gameplay, 105, 305, true);
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kPlay);
}

TEST_F(MKWGameplayTutorialsTest, TheItemsAndTheStripsPrompts)
{
    TestGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    ASSERT_EQ(Shown(gameplay, Gameplay::kPlay, 0), "tutorial_item");
    // A hover or a click beside the key does nothing.
    Mouse(gameplay, 105, 305, false);
    Mouse(gameplay, 60, 305, true);
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kTutorial);
    EXPECT_FALSE(Bit(0));
    Mouse(gameplay, 105, 305, true);
    EXPECT_TRUE(Bit(0));
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kWaiting);
    EXPECT_EQ(gameplay->GetTutorialController()->GetActive()->GetState(),
              GameplayTutorial::kFadingOut);
    for (int i = 0; i < 30 && gameplay->GetGameplayState() != Gameplay::kPlay; ++i)
        Frame(16);
    EXPECT_EQ(gameplay->GetHud()->GetProgress(), 1);

    // The second half, also while Thessalor's hint is shown.
    ASSERT_EQ(Shown(gameplay, MKWGameplay::kThessalorHintShown, 3), "tutorial_itemtwo");
    Mouse(gameplay, 305, 305, true);
    EXPECT_TRUE(Bit(3));
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kWaiting);
    for (int i = 0; i < 30 && gameplay->GetGameplayState() != Gameplay::kPlay; ++i)
        Frame(16);
    gameplay->ActivateEvent("open", true);

    // The strip: hovering names the object, rolls it over with one sound, and asks for the
    // rollover cursor; the click takes it up and play waits for the prompt to go.
    Give(gameplay, "one");
    RunFrames(10);
    ASSERT_EQ(Shown(gameplay, Gameplay::kPlay, 4), "tutorial_inventory");
    const TPoint key = StripPoint(gameplay, "gatekey");
    ASSERT_GE(key.x, 0);
    TString rollover;
    Mouse(gameplay, 250, 300, false, &rollover);
    EXPECT_EQ(gameplay->GetCursorKind(), Gameplay::kCursorDefault);
    Mouse(gameplay, key.x, key.y, false, &rollover);
    EXPECT_EQ(rollover, TString("key"));
    EXPECT_EQ(gameplay->GetCursorKind(), Gameplay::kCursorRollover);
    // The hint-mode flag holds the prompt still.
    gameplay->SetHudBusy(true);
    Mouse(gameplay, key.x, key.y, true);
    EXPECT_EQ(gameplay->GetHeldInventory(), nullptr);
    gameplay->SetHudBusy(false);
    const int32_t waiting = gameplay->GetPendingCallbacks();
    Mouse(gameplay, key.x, key.y, true);
    EXPECT_EQ(gameplay->GetHeldInventory(), gameplay->FindInventory("gatekey"));
    EXPECT_EQ(gameplay->GetCursorKind(), Gameplay::kCursorPickup);
    EXPECT_TRUE(Bit(4));
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kWaiting);
    EXPECT_EQ(gameplay->GetPendingCallbacks(), waiting + 1);
    RunFrames(10);
    EXPECT_EQ(gameplay->GetPendingCallbacks(), waiting);
    // Play is back, and with the key held the next prompt comes.
    EXPECT_EQ(gameplay->GetTutorialController()->GetActiveTutorialName(),
              TString("tutorial_solve"));
}

// A prompt's fade-out that someone removed can end no more: its wait is let go with the line.
TEST_F(MKWGameplayTutorialsTest, AHideNothingCanEndIsLetGo)
{
    mLetGoes = 1;
    TestGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    ASSERT_EQ(Shown(gameplay, Gameplay::kPlay, 0), "tutorial_item");
    gameplay->CompleteTutorialWaiting("tutorial_item");
    ASSERT_EQ(gameplay->GetGameplayState(), Gameplay::kWaiting);
    TransformManager::Instance()->RemoveTransforms(
        &gameplay->GetTutorialController()->GetActive()->GetSpecTransform());
    Frame(16);
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kPlay);
    EXPECT_EQ(CountInLog("The location waited for the tutorial 'tutorial_item' hiding, which "
                         "nothing can end any more: it goes on"),
              1);
}

TEST_F(MKWGameplayTutorialsTest, TheDoorAndTheDoorway)
{
    TestGameplay* gameplay = Holding("one", "gatekey");
    ASSERT_NE(gameplay, nullptr);
    GameplayArea* door = gameplay->FindArea("area_door");
    // Away from the door: its highlight fades and the pickup cursor stays.
    TString rollover;
    Mouse(gameplay, 700, 300, false, &rollover);
    EXPECT_EQ(gameplay->GetCursorKind(), Gameplay::kCursorPickup);
    EXPECT_EQ(rollover, TString(""));
    mSettings->mMouseX = 340;
    mSettings->mMouseY = 150;
    RunFrames(6);
    Mouse(gameplay, 340, 150, false, &rollover);
    EXPECT_EQ(rollover, TString("door"));
    EXPECT_EQ(gameplay->GetCursorKind(), Gameplay::kCursorPickup);
    Mouse(gameplay, 340, 150, true);
    EXPECT_TRUE(Bit(5));
    EXPECT_EQ(gameplay->GetLastClickedArea(), door);
    EXPECT_EQ(gameplay->GetCursorKind(), Gameplay::kCursorDefault);
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kWaiting);
    for (int i = 0; i < 30 && gameplay->GetGameplayState() != Gameplay::kPlay; ++i)
        Frame(16);
    EXPECT_EQ(gameplay->GetHeldInventory(), nullptr);
    // The door's event runs in the next frame of play.
    RunFrames(3);
    EXPECT_EQ(gameplay->GetNextEvent(), nullptr);

    // The doorway: a hover names it and takes its cursor, a click queues its event and waits.
    Give(gameplay, "two");
    ASSERT_EQ(Shown(gameplay, Gameplay::kPlay, 6), "tutorial_portal");
    Mouse(gameplay, 540, 150, false, &rollover);
    EXPECT_EQ(rollover, TString("doorway"));
    Mouse(gameplay, 700, 150, false);
    EXPECT_EQ(gameplay->GetCursorKind(), Gameplay::kCursorDefault);
    EXPECT_FALSE(Bit(6));
    Mouse(gameplay, 540, 150, true);
    EXPECT_TRUE(Bit(6));
    EXPECT_EQ(gameplay->GetNextEvent(), gameplay->FindEvent("go_b"));
    EXPECT_EQ(gameplay->GetLastClickedArea(), gameplay->FindArea("area_storageroom"));
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kWaiting);
    for (int i = 0; i < 60 && gameplay->GetActiveScene()->GetName() != TString("b"); ++i)
        Frame(16);
    EXPECT_EQ(gameplay->GetActiveScene()->GetName(), TString("b"));
}

// The prompt to use the held object on the door takes only the object the door has an event for:
// another one over the door is not named and a click leaves it held, unused, the prompt up.
TEST_F(MKWGameplayTutorialsTest, TheDoorPromptTakesOnlyTheObjectTheDoorIsFor)
{
    TestGameplay* gameplay = Holding("two", "oil");
    ASSERT_NE(gameplay, nullptr);
    GameplayInventory* oil = gameplay->FindInventory("oil");
    mSettings->mMouseX = 340;
    mSettings->mMouseY = 150;
    RunFrames(6);
    TString rollover;
    Mouse(gameplay, 340, 150, false, &rollover);
    EXPECT_EQ(rollover, TString(""));
    Mouse(gameplay, 340, 150, true);
    EXPECT_FALSE(Bit(5));
    EXPECT_EQ(gameplay->GetLastClickedArea(), nullptr);
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kTutorial);
    EXPECT_EQ(gameplay->GetHeldInventory(), oil);
    EXPECT_EQ(oil->GetFlags() & GameplayInventory::kUsed, 0);
}

TEST_F(MKWGameplayTutorialsTest, PromptsWhoseThingsAreGoneStayShown)
{
    // Neither key half nor the door nor the doorway in the shown scene.
    TestGameplay* gameplay =
        Open(Tutorials(), "",
             "gameplayinstructions.a = {} gameplayinstructions.events[1] = { name = 'start' }");
    ASSERT_NE(gameplay, nullptr);
    for (int row : {0, 3, 5, 6})
    {
        Seen(row);
        gameplay->SetState(Gameplay::kTutorial);
        gameplay->GetTutorialController()->ShowTutorial(kNames[row], TVec2(0, 0));
        Mouse(gameplay, 105, 305, true);
        Mouse(gameplay, 340, 150, true);
        Mouse(gameplay, 540, 150, true);
        EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kTutorial) << kNames[row];
        EXPECT_FALSE(Bit(row)) << kNames[row];
    }
}

TEST_F(MKWGameplayTutorialsTest, TheHintPromptsSelectFromTheTrackersAndTheStrip)
{
    TestGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    Give(gameplay, "one");
    GameplayHint* thessalor = Hud(gameplay)->GetThessalorMedallion();
    thessalor->SetAvailableMask(0x01);
    ASSERT_EQ(Shown(gameplay, Gameplay::kPlay, 1), "tutorial_hint");
    // Without a valid target the tracker only glows.
    Mouse(gameplay, 120, 520, true);
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kTutorial);
    thessalor->Update(TIntPoint{120, 20});
    EXPECT_TRUE(thessalor->IsTrackerHighlightOn());
    thessalor->Update(TIntPoint{120, 20});
    EXPECT_FALSE(thessalor->IsTrackerHighlightOn());
    // A missing tracker is not clicked.
    gameplay->mValidTarget = true;
    Mouse(gameplay, 120, 545, true);
    EXPECT_FALSE(Bit(1));
    Mouse(gameplay, 120, 520, true);
    EXPECT_TRUE(Bit(1));
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kHintSelect);
    EXPECT_EQ(thessalor->GetSelectedMask(), 0x01);

    // The selection: the strip object under the mouse is hinted.
    gameplay->SetHudBusy(false);
    ASSERT_EQ(Shown(gameplay, Gameplay::kHintSelect, 2), "tutorial_hintselect");
    const TPoint key = StripPoint(gameplay, "gatekey");
    ASSERT_GE(key.x, 0);
    TString rollover;
    Mouse(gameplay, key.x, key.y, false, &rollover);
    EXPECT_EQ(rollover, TString("key"));
    EXPECT_EQ(gameplay->GetCursorKind(), Gameplay::kCursorHint);
    Mouse(gameplay, 700, 300, false);
    EXPECT_EQ(gameplay->GetCursorKind(), Gameplay::kCursorDefault);
    Mouse(gameplay, 700, 300, true);
    EXPECT_FALSE(Bit(2));
    Mouse(gameplay, key.x, key.y, true);
    EXPECT_TRUE(Bit(2));
    EXPECT_EQ(gameplay->GetHintItem(), gameplay->FindItem("item_key_1"));
    EXPECT_EQ(gameplay->GetCursorKind(), Gameplay::kCursorDefault);
}

// The key picked in the strip after both its halves were found (the second still fading away):
// no line, the tracker not spent, the selection ended, and its prompt left for the next one.
TEST_F(MKWGameplayTutorialsTest, APickWithoutATargetLeftEndsTheSelectionUnspentAndUnseen)
{
    TestGameplay* gameplay = Choosing();
    ASSERT_NE(gameplay, nullptr);
    ASSERT_EQ(gameplay->GetGameplayState(), Gameplay::kHintSelect);
    GameplayHint* thessalor = Hud(gameplay)->GetThessalorMedallion();
    ASSERT_EQ(Shown(gameplay, Gameplay::kHintSelect, 2), "tutorial_hintselect");
    const TPoint key = StripPoint(gameplay, "gatekey");
    ASSERT_GE(key.x, 0);
    gameplay->FindItem("item_key_1")->SetFlags(0);
    gameplay->FindItem("item_key_2")
        ->SetFlags(GameplayEntity::kActive | GameplayEntity::kShown | GameplayItem::kFound);
    Mouse(gameplay, key.x, key.y, true);
    EXPECT_EQ(CountInLog("Cannot find item to hint"), 0);
    EXPECT_FALSE(Bit(2)) << "the prompt comes again at the next selection";
    EXPECT_EQ(gameplay->GetHintItem(), nullptr);
    EXPECT_EQ(thessalor->GetSelectedMask(), 0);
    EXPECT_EQ(thessalor->GetAvailableMask(), 0x01) << "the tracker is not spent";
    EXPECT_TRUE(gameplay->IsHudBusy());
    for (int f = 0; f < 30 && gameplay->IsHudBusy(); ++f)
        Frame(16);
    EXPECT_FALSE(gameplay->IsHudBusy());
    EXPECT_NE(gameplay->GetGameplayState(), Gameplay::kHintSelect);
}

TEST_F(MKWGameplayTutorialsTest, TheJournalPromptTakesOnlyAPressOnTheJournalButton)
{
    TestGameplay* gameplay =
        Open(Tutorials(), "GameplayJournal{ name = 'journal', x = 100, y = 60, w = 200, "
                          "h = 160, timeintro = 32, timeoutro = 32, disabledx = 100, "
                          "disabledy = 80, enabledx = 100, enabledy = 150, "
                          "textright = { text = '', x = 100, y = 40, w = 90, h = 100 }, "
                          "textrightheader = { text = '', x = 100, y = 10, w = 90, h = 20 "
                          "} }, ");
    ASSERT_NE(gameplay, nullptr);
    ASSERT_EQ(Shown(gameplay, Gameplay::kPlay, 9), "tutorial_openjournal");
    Mouse(gameplay, 610, 515, true);
    EXPECT_FALSE(Bit(9));
    // A press that left the button before the frame is forgotten.
    gameplay->HudJournalPressed();
    Mouse(gameplay, 300, 300, false);
    EXPECT_FALSE(gameplay->IsJournalPressPending());
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kTutorial);
    gameplay->HudJournalPressed();
    Mouse(gameplay, 610, 515, false);
    EXPECT_TRUE(Bit(9));
    EXPECT_EQ(gameplay->GetGameplayState(), MKWGameplay::kJournal);
}

const char kHintWindows[] = "GameplayHintThessalor{ name = 'hintthessalor' }, "
                            "GameplayHintLirae{ name = 'hintlirae' }, ";

TEST_F(MKWGameplayTutorialsTest, TheCharactersPromptsStartTheirMinigameOrJustEnd)
{
    for (bool windows : {false, true})
    {
        TestGameplay* gameplay = Open(Tutorials(), windows ? kHintWindows : "");
        ASSERT_NE(gameplay, nullptr);
        Hud(gameplay)->GetLiraeMedallion()->SetAvailableMask(0x01);
        Hud(gameplay)->GetThessalorMedallion()->SetAvailableMask(0x01);
        ASSERT_EQ(Shown(gameplay, Gameplay::kPlay, 10), "tutorial_lirae");
        // Thessalor's medallion is not hers; hovering hers makes it glow.
        Mouse(gameplay, 50, 550, true);
        EXPECT_FALSE(Bit(10));
        Mouse(gameplay, 750, 550, false);
        GameplayHint* lirae = Hud(gameplay)->GetLiraeMedallion();
        lirae->Update(TIntPoint{0, 0});
        EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kTutorial);
        Mouse(gameplay, 750, 550, true);
        EXPECT_TRUE(Bit(10));
        EXPECT_EQ(gameplay->GetGameplayState(),
                  windows ? int32_t(MKWGameplay::kLiraeMinigame) : int32_t(Gameplay::kPlay));

        mPlayer->FromBytes(PlayerData::Record{});
        for (int i = 0; i < 11; ++i)
            mPlayer->SetTutorialShown(i);
        gameplay->SetState(Gameplay::kPlay);
        gameplay->CheckTutorials();
        Mouse(gameplay, 50, 550, true);
        EXPECT_TRUE(Bit(11));
        EXPECT_EQ(gameplay->GetGameplayState(),
                  windows ? int32_t(MKWGameplay::kThessalorMinigame) : int32_t(Gameplay::kPlay));
    }
    EXPECT_EQ(gHintCalls, (std::vector<std::string>{"hintlirae.start", "hintthessalor.start"}));
}

// No record holds a character's board or a hint being shown (the tracker already spent): the
// location's calm stores wait for play to take over again, as they do through a hint's choice. A
// puzzle and the journal are stored as they stand.
TEST_F(MKWGameplayTutorialsTest, ABoardOrAHintShownIsAHintUnderWay)
{
    TestGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    const std::pair<int32_t, bool> states[] = {
        {Gameplay::kHintSelect, true},        {MKWGameplay::kThessalorMinigame, true},
        {MKWGameplay::kLiraeMinigame, true},  {MKWGameplay::kThessalorHintShown, true},
        {MKWGameplay::kLiraeHintShown, true}, {Gameplay::kPlay, false},
        {Gameplay::kMinigame, false},         {MKWGameplay::kJournal, false}};
    for (const auto& [state, underWay] : states)
    {
        gameplay->SetState(state);
        EXPECT_EQ(gameplay->IsHintUnderWay(), underWay) << "state " << state;
    }
    // A prompt over the choice is the choice still; any other prompt waits calmly.
    gameplay->SetHudBusy(false);
    const std::tuple<int32_t, int, const char*, bool> prompts[] = {
        {Gameplay::kHintSelect, 2, "tutorial_hintselect", true},
        {Gameplay::kHintSelect, 8, "tutorial_hintselectlirae", true},
        {Gameplay::kPlay, 0, "tutorial_item", false}};
    for (const auto& [state, seen, prompt, underWay] : prompts)
    {
        ASSERT_EQ(Shown(gameplay, state, seen), prompt);
        EXPECT_EQ(gameplay->IsHintUnderWay(), underWay) << prompt;
    }
    // A hint shown under the prompt that asks for its item, until the item is found.
    GameplayItem* half = gameplay->FindItem("item_key_1");
    gameplay->ShowHintOn(half);
    EXPECT_TRUE(gameplay->IsHintUnderWay());
    half->SetFlags(half->GetFlags() | GameplayItem::kFound);
    EXPECT_FALSE(gameplay->IsHintUnderWay());
    gameplay->ShowHintOn(nullptr);
    gameplay->SetState(Gameplay::kPlay);
}

// A close finds a hint's object still to choose, or the hint shown with its tracker spent: it
// stores the moment the tracker was clicked, the tracker unspent and the prompts that led there
// to come again; the board of a character is stored as its exit leaves it.
TEST_F(MKWGameplayTutorialsTest, ACloseTakesAHintUnderWayBackToItsTrackersClick)
{
    for (const bool shown : {false, true})
    {
        SCOPED_TRACE(shown ? "the hint shown" : "the object to choose");
        TestGameplay* gameplay = Choosing();
        ASSERT_NE(gameplay, nullptr);
        ASSERT_EQ(gameplay->GetGameplayState(), Gameplay::kHintSelect);
        GameplayHint* thessalor = Hud(gameplay)->GetThessalorMedallion();
        gameplay->CheckTutorials();
        ASSERT_EQ(gameplay->GetTutorialController()->GetActiveTutorialName(),
                  TString("tutorial_hintselect"));
        if (shown)
        {
            const TPoint key = StripPoint(gameplay, "gatekey");
            Mouse(gameplay, key.x, key.y, true);
            // The rays, under the prompt that asks for the other half once they are in.
            const auto rays = [gameplay]
            {
                const int32_t state = gameplay->GetGameplayState();
                return state == MKWGameplay::kThessalorHintShown || state == Gameplay::kTutorial;
            };
            for (int f = 0; f < 300 && !rays(); ++f)
                Frame(16);
            ASSERT_TRUE(rays()) << gameplay->GetGameplayState();
            EXPECT_EQ(thessalor->GetAvailableMask(), 0) << "spent";
            EXPECT_TRUE(gameplay->IsHintUnderWay());
        }
        gameplay->OnClose();
        EXPECT_TRUE(Bit(0));
        EXPECT_FALSE(Bit(1)) << "the tracker's prompt comes again";
        EXPECT_FALSE(Bit(2));
        EXPECT_EQ(thessalor->GetAvailableMask(), 0x01) << "the tracker unspent";
        EXPECT_EQ(thessalor->GetSelectedMask(), 0);
        EXPECT_FALSE(gameplay->IsHintUnderWay());
    }

    TestGameplay* gameplay = Open(Tutorials(), kHintWindows);
    ASSERT_NE(gameplay, nullptr);
    Hud(gameplay)->GetLiraeMedallion()->SetAvailableMask(0x01);
    ASSERT_EQ(Shown(gameplay, Gameplay::kPlay, 10), "tutorial_lirae");
    Mouse(gameplay, 750, 550, true);
    ASSERT_EQ(gameplay->GetGameplayState(), MKWGameplay::kLiraeMinigame);
    gameplay->OnClose();
    EXPECT_TRUE(Bit(10)) << "the board was entered";
    EXPECT_EQ(Hud(gameplay)->GetLiraeMedallion()->GetAvailableMask(), 0x01);
    EXPECT_FALSE(gameplay->IsHintUnderWay());
}

TEST_F(MKWGameplayTutorialsTest, MedallionsInPlay)
{
    TestGameplay* gameplay = Open(Tutorials(), kHintWindows);
    ASSERT_NE(gameplay, nullptr);
    MKWGameplayHud* hud = Hud(gameplay);
    GameplayHint* lirae = hud->GetLiraeMedallion();
    GameplayHint* thessalor = hud->GetThessalorMedallion();
    auto at = [&](int x, int y, bool click)
    {
        mSettings->mMouseX = x;
        mSettings->mMouseY = y;
        gameplay->SetClick(click);
        const bool taken = gameplay->HandleMedallionMouse();
        gameplay->SetClick(false);
        return taken;
    };
    // Lirae's medallion with a missing tracker takes the mouse: it glows, and a click starts her
    // minigame.
    lirae->SetAvailableMask(0x01);
    EXPECT_TRUE(at(750, 550, false));
    lirae->Update(TIntPoint{750, 50});
    EXPECT_TRUE(lirae->IsGlowOn());
    EXPECT_TRUE(at(750, 550, true));
    EXPECT_EQ(gameplay->GetGameplayState(), MKWGameplay::kLiraeMinigame);
    EXPECT_EQ(gHintCalls, std::vector<std::string>{"hintlirae.start"});

    // With every tracker available it is not in the way: nothing starts.
    gameplay->SetState(Gameplay::kPlay);
    thessalor->SetAvailableMask(0x03);
    EXPECT_FALSE(at(50, 550, true));
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kPlay);
    // An available tracker: no valid target opens the journal (none here: play goes on), a
    // valid one only glows it.
    EXPECT_FALSE(at(120, 520, true));
    EXPECT_NE(CountInLog("The location has no journal to open"), 0);
    gameplay->mValidTarget = true;
    EXPECT_FALSE(at(120, 520, true));
    thessalor->Update(TIntPoint{0, 0});
    EXPECT_TRUE(thessalor->IsTrackerHighlightOn());

    // A held object keeps the medallions out of it.
    Give(gameplay, "one");
    gameplay->EquipInventory(gameplay->FindInventory("gatekey"));
    EXPECT_FALSE(at(750, 550, true));
    EXPECT_EQ(gHintCalls.size(), 1u);
}

TEST_F(MKWGameplayTutorialsTest, EndMinigameAndReleaseInputByState)
{
    TestGameplay* gameplay = Open(Tutorials(), kHintWindows);
    ASSERT_NE(gameplay, nullptr);
    for (int32_t state :
         {int32_t(Gameplay::kMinigame), int32_t(Gameplay::kHintSelect), int32_t(Gameplay::kWaiting),
          int32_t(MKWGameplay::kThessalorHintShown), int32_t(MKWGameplay::kLiraeHintShown)})
    {
        gameplay->SetState(state);
        gameplay->SetHudBusy(true);
        gameplay->GetHud()->SetButtonsEnabled(false);
        const int saves = gameplay->mSaves;
        gameplay->EndMinigame(0);
        const bool back = state != Gameplay::kMinigame && state != Gameplay::kWaiting;
        EXPECT_EQ(gameplay->GetGameplayState(), back ? Gameplay::kPlay : state) << state;
        EXPECT_FALSE(gameplay->IsHudBusy());
        EXPECT_TRUE(gameplay->GetHud()->AreButtonsEnabled());
        // No record built here: the frame stores the next calm point it finds.
        EXPECT_EQ(gameplay->mSaves, saves);
    }

    auto* lirae = static_cast<RecordingHint*>(gameplay->GetHintWindowLirae());
    auto* thessalor = static_cast<RecordingHint*>(gameplay->GetHintWindowThessalor());
    for (int32_t state : {int32_t(MKWGameplay::kLiraeMinigame),
                          int32_t(MKWGameplay::kThessalorMinigame), int32_t(Gameplay::kPlay)})
    {
        lirae->RaiseDialog();
        thessalor->RaiseDialog();
        gameplay->SetState(state);
        gameplay->StartCrazyClickPenalty();
        gameplay->GetHud()->SetButtonsEnabled(false);
        gameplay->ReleaseInput();
        EXPECT_EQ(lirae->IsDialogUp(), state == MKWGameplay::kThessalorMinigame) << state;
        EXPECT_EQ(thessalor->IsDialogUp(), state == MKWGameplay::kLiraeMinigame) << state;
        EXPECT_FALSE(gameplay->IsInputLocked());
        EXPECT_TRUE(gameplay->GetHud()->AreButtonsEnabled());
    }
    EXPECT_EQ(gHintCalls,
              (std::vector<std::string>{"hintlirae.endpenalty", "hintthessalor.endpenalty"}));

    // Without the windows only the base's steps.
    gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    gameplay->SetState(MKWGameplay::kLiraeMinigame);
    gameplay->ReleaseInput();
    EXPECT_TRUE(gameplay->GetHud()->AreButtonsEnabled());
}

} // namespace

} // namespace mkw_gameplay_tutorials_test
