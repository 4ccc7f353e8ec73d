// The location playing on the test clock with the real window script: the states of a scene
// switch, input by state, the click road over areas and misses with the penalty, events and their
// waits, animations deferred to another scene, cursors, and the transition quad drawn.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/scene/gameplay_animation.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/adventure/tutorials/gameplay_tutorial.h"
#include "framework/adventure/adventure_test_support.h"
#include "framework/widgets/tool_tip.h"
#include "framework/widgets/animated_bitmap.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/adventure/runner/scene_factory_support.h"
#include "framework/screen_test_support.h"
#include "framework/widgets/animated_bitmap.h"
#include "framework/widgets/cursor_overlay.h"
#include "render/renderer/renderer.h"
#include "script/lua_object_wrapper.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace gameplay_frame_test
{
namespace
{

// Keeps the points its hint trackers are asked about; its trackers are everywhere.
struct TrackerHud : GameplayHud
{
    static TWindow* Create() { return new TrackerHud; }
    bool TestHintClick(const TPoint& point, bool availableOnly) override
    {
        mTested.push_back({point.x, point.y, availableOnly ? 1 : 0});
        return true;
    }
    void SelectHint(const TPoint& point) override { mSelected.push_back({point.x, point.y}); }
    std::vector<std::vector<int>> mTested;
    std::vector<std::vector<int>> mSelected;
};

// Counts the rebuilds of its textures after a display reset.
struct CountingScene : GameplayScene
{
    using GameplayScene::GameplayScene;
    bool RestoreTextures() override
    {
        ++mRestores;
        return GameplayScene::RestoreTextures();
    }
    int mRestores = 0;
};

// A minigame scene of the tests' own: it takes every press and names its cursor.
struct StandInScene : CountingScene
{
    using CountingScene::CountingScene;
    bool OnMouseDown(TPoint) override
    {
        ++mPresses;
        return true;
    }
    TString GetCursorName() const override { return "puzzle"; }
    int mPresses = 0;
};

struct PlayGameplay : Gameplay
{
    static TWindow* Create() { return new PlayGameplay; }
    std::shared_ptr<GameplayScene> CreateScene(const TString& name, GameplayFactory& factory,
                                               const TLuaTable& scene, const TLuaTable& entityInfo,
                                               const TLuaTable* playlist,
                                               const TLuaTable& sceneInfo,
                                               const TString& minigame) override
    {
        if (minigame.Length() == 0)
            return std::make_shared<CountingScene>(factory, entityInfo, name, scene, playlist,
                                                   sceneInfo);
        return std::make_shared<StandInScene>(factory, entityInfo, name, scene, playlist,
                                              sceneInfo);
    }
    std::shared_ptr<GameplayFactory> CreateFactory() override
    {
        return std::make_shared<ListedEntityFactory>();
    }
    void SaveLocationState(bool) override { ++mSaves; }
    bool HasStartsPutOff() const { return !mAnimationsPutOff.empty(); }
    bool HasValidHintTarget() override { return mValidHint || Gameplay::HasValidHintTarget(); }
    bool mValidHint = false;
    // The location's conversations are not built here.
    void StartConversation(const TString& name, Callback*) override { mTalks.push_back(name); }
    std::vector<TString> mTalks;
    void UseInventory(GameplayInventory* inventory, GameplayArea* area) override
    {
        mUsed.push_back(area);
        if (mRealUse)
            Gameplay::UseInventory(inventory, area);
    }
    using Gameplay::TransitionAlphaByte;
    void Clicked(GameplayArea* area) { mLastClickedArea = area; }
    GameplayTutorialController* Tutorials() const { return mTutorials.get(); }
    ToolTip* Basic() const { return mBasicToolTip.get(); }
    bool mRealUse = false;
    int mSaves = 0;
    std::vector<GameplayArea*> mUsed;
};

const char kLocation[] = R"(
gameplayinstructions = {
    conversations = {}, scenes = { 'a', 'b', 'puzzle' }, puzzle = {},
    minigames = { puzzle = 'tiles' },
    a = {
        areas = {
            { name = 'door', image = 't/door', x = 600, y = 100, hasactiveframe = true,
              actualname = 'door_label',
              isportal = true, events = { default = { eventname = 'go_b' } } },
            { name = 'under', image = 't/door', x = 600, y = 100,
              events = { default = { eventname = 'talk' } } },
            { name = 'side', image = 't/door', x = 300, y = 400,
              events = { default = { eventname = 'go_b' } } },
            { name = 'lamp', image = 't/door', x = 0, y = 0, hasactiveframe = true, events = {} },
        },
        layers = { { name = 'bg_a', image = 't/bg', x = 0, y = 0, depth = 100 },
                   { name = 'glow_a', image = 't/gem', x = 0, y = 0, depth = 10 } },
        items = { { name = 'gem_item', image = 't/gem', x = 100, y = 300, inventory = 'gem',
                    inventoryparts = { 1 } },
                  { name = 'lost_item', image = 't/gem', x = 300, y = 300, inventory = 'none',
                    inventoryparts = { 1 } } },
    },
    b = {
        areas = { { name = 'back', image = 't/door', x = 20, y = 100,
                    events = { default = { eventname = 'go_a' } } },
                  { name = 'g1', groupid = 'g', events = {}, holdableinventory = { 'gem' },
                    correctinventorytohold = { 'gem' }, image = 't/door', x = 300, y = 100,
                    inventoryx = 50, inventoryy = 100 },
                  { name = 'g2', groupid = 'g', events = {} },
                  { name = 'h1', groupid = 'h', events = {} } },
        items = { { name = 'gem_far', image = 't/gem', x = 400, y = 300, inventory = 'gem',
                    inventoryparts = { 1 } } },
        layers = { { name = 'bg_b', image = 't/bg2', x = 0, y = 0, depth = 100 } },
    },
    events = {
        { name = 'start', areastoactivate = { 'door', 'back' },
          layerstoactivate = { 'bg_a', 'bg_b' } },
        { name = 'go_b', action = 'b' },
        { name = 'go_a', action = 'a' },
        { name = 'both', areastoactivate = { 'under' }, areastodeactivate = { 'under' } },
        { name = 'loop', nextevent = 'loop' },
        { name = 'talk', dialog = 'hello', nextevent = 'loop' },
        { name = 'glow_b', animations = { 'glow' } },
        { name = 'ghost', animations = { 'nowhere', 'lost' } },
        { name = 'away', areastoactivate = { 'back' }, areastodeactivate = { 'door' } },
        { name = 'wait', areastodeactivate = { 'door' } },
        { name = 'give', inventorytoactivate = { 'gem' } },
        { name = 'twice', areastoactivate = { 'lamp' }, areastodeactivate = { 'lamp' } },
        { name = 'shown', areastoactivate = { 'lamp' }, areastomakevisible = { 'lamp' } },
        { name = 'done_off', areastocomplete = { 'lamp' }, areastodeactivate = { 'lamp' } },
        { name = 'on_done', areastoactivate = { 'lamp' }, areastocomplete = { 'lamp' } },
        { name = 'done_twice', areastocomplete = { 'lamp', 'lamp' } },
        { name = 'shown_done', areastomakevisible = { 'side' },
          areastocomplete = { 'lamp', 'side' } },
        { name = 'give_coin', inventorytoactivate = { 'coin' } },
        { name = 'swap', inventorytomakeinvisible = { 'coin' }, inventorytoactivate = { 'gem' } },
        { name = 'ambient', animations = { 'loop' } },
        { name = 'glow_wait', animations = { 'wait_glow' } },
        { name = 'still_wait', animations = { 'still' } },
        { name = 'glow_gone', animations = { 'late' }, layerstodeactivate = { 'glow_a' } },
        { name = 'hide_twice', inventorytomakeinvisible = { 'coin', 'coin' } },
        { name = 'place_twice', inventorytoaddtoscene = { 'coin', 'coin' } },
        { name = 'place_hide', inventorytoaddtoscene = { 'coin' },
          inventorytomakeinvisible = { 'coin' } },
        { name = 'equip_coin', inventorytoequip = 'coin' },
    },
    groupevents = { g = 'give' },
    inventory = {
        { name = 'gem', image = 't/gem', homescene = 'b', partcount = 1, event = 'loop' },
        { name = 'stone', image = 't/gem', homescene = 'b', canbeplacedinhud = false },
        { name = 'coin', image = 't/gem', homescene = 'a', partcount = 1 },
    },
    animations = {
        { name = 'glow', layer = 'bg_b', fade = { beginopacity = 0, endopacity = 1, duration = 100 } },
        { name = 'lost', layer = 'none' },
        { name = 'loop', layer = 'bg_a', animation = 'wrap', framespeed = 100 },
        { name = 'wait_glow', layer = 'bg_a', callback = true,
          fade = { beginopacity = 0, endopacity = 1, duration = 100 } },
        { name = 'still', layer = 'bg_a', callback = true, initialframe = 0 },
        { name = 'late', layer = 'glow_a', callback = true,
          fade = { beginopacity = 0, endopacity = 1, duration = 100, initialdelay = 1000 } },
    },
    initial_event = 'start', active_scene = 'a',
}
)";

const char kStyle[] =
    "characterinfo = { scrim = {}, conversation_info = {}, info = {} }, "
    "playlist = { location01 = { a = {}, b = {}, puzzle = {} } }, sceneinfo = {}, "
    "animatedcursorinfo = {}, "
    "locationnumber = 1, timescenetransition = 100, loadingcursortimetoshow = 40, "
    "entityinfo = { areainfo = { imagemask = '_mask', timevisible = 50, timehilightfade = 50 }, "
    "layerinfo = { fadetime = 50 }, iteminfo = { imagemask = '_mask', timefound = 50, "
    "timetoinventory = 50, timefadeaway = 50 } }, "
    "inventoryinfo = { imagemask = '_mask', scaleequip = 1, timeequip = 50, timeunequip = 50, "
    "timetouse = 50, "
    "timevisible = 50, timetomove = 50, barwidth = 0 }, "
    "crazyclick = { main = { image = 't/cur' } }, crazyclickcounttoactivate = 3, "
    "crazyclicktimetoremoveclick = 1000, crazyclickpathduration = 300, "
    "crazyclickpath = 't/path.txt'";

const char kHud[] = ", GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
                    "background = { image = 't/hud', x = 0, y = 0 }, "
                    "foreground = { image = 't/cur', x = 0, y = 0 }, "
                    "progressbar = { image = 't/cur', x = 600, y = 40 }, "
                    "inventorybounds = { x = 100, y = 510, w = 300, h = 80 } }";

class PlayTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("Gameplay", &PlayGameplay::Create);
        mManager->RegisterWindowType("GameplayHud", &GameplayHud::Create);
        // Two frames of 100 x 200, hilight and active, anchored top left.
        Image("t/door.png", 200, 200, 0xFF806040);
        File("t/door.xml", "<sequence><img w=\"200\" h=\"200\" regx=\"0\" regy=\"0\" "
                           "name=\"door.png\"/><framelist>"
                           "<frame x=\"0\" y=\"0\" w=\"100\" h=\"200\"/>"
                           "<frame x=\"100\" y=\"0\" w=\"100\" h=\"200\"/>"
                           "</framelist></sequence>");
        Image("t/door_mask.png", 100, 200, 0xFFFFFFFF);
        Image("t/bg.png", 800, 600, 0xFF204060);
        Image("t/bg2.png", 800, 600, 0xFF604020);
        Image("t/cur.png", 8, 8, 0xFFFFFFFF);
        Image("t/hud.png", 800, 100, 0xFF303030);
        // Whole, silhouette and one part.
        Image("t/gem.png", 60, 20, 0xFF40C040);
        File("t/gem.xml", "<sequence><img w=\"60\" h=\"20\" regx=\"0\" regy=\"0\" "
                          "name=\"gem.png\"/><framelist>"
                          "<frame x=\"0\" y=\"0\" w=\"20\" h=\"20\"/>"
                          "<frame x=\"20\" y=\"0\" w=\"20\" h=\"20\"/>"
                          "<frame x=\"40\" y=\"0\" w=\"20\" h=\"20\"/>"
                          "</framelist></sequence>");
        Image("t/gem_mask.png", 20, 20, 0xFFFFFFFF);
        File("t/path.txt", "2,0,0,10,10");
    }
    void TearDown() override
    {
        Run("gameplayinstructions = nil");
        ScreenTest::TearDown();
    }
    PlayGameplay* Open(const std::string& extra = "")
    {
        Run(kLocation);
        if (!mAmend.empty())
            Run("local g = gameplayinstructions\n" + mAmend);
        Run(std::string("Gameplay{ name = 'play', x = 0, y = 0, w = 800, h = 600, ") + kStyle +
            extra + kHud + " }()");
        TWindow* found = mManager->GetRoot()->FindChild("play", 0xFFFFFFFFu);
        return static_cast<PlayGameplay*>(found);
    }
    // Open, played up to its first frame of play.
    PlayGameplay* Playing(const std::string& extra = "")
    {
        PlayGameplay* play = Open(extra);
        Until(*play, Gameplay::kPlay);
        return play;
    }
    // Scene "b" in play and its event "give" run: the gem in the strip, the door "back" shown.
    void ToTheGem(PlayGameplay& play)
    {
        play.SwitchScene("b");
        Until(play, Gameplay::kPlay);
        play.ActivateEvent("give", true);
        RunFrames(8);
    }
    // Frames of 16 ms until the state is `state` (at most `limit`); the states seen on the way,
    // each once.
    std::vector<int32_t> Until(PlayGameplay& play, int32_t state, int limit = 100)
    {
        std::vector<int32_t> seen;
        for (int i = 0; i < limit; ++i)
        {
            Frame(16);
            if (seen.empty() || seen.back() != play.GetGameplayState())
                seen.push_back(play.GetGameplayState());
            if (play.GetGameplayState() == state)
                break;
        }
        return seen;
    }
    void Click(PlayGameplay& play, int x, int y)
    {
        mSettings->mMouseX = x;
        mSettings->mMouseY = y;
        play.OnMouseDown(TPoint(x, y));
    }
    // A click, then a frame.
    void Press(PlayGameplay& play, int x, int y)
    {
        Click(play, x, y);
        Frame(16);
    }
    void MoveTo(int x, int y)
    {
        mSettings->mMouseX = x;
        mSettings->mMouseY = y;
    }
    // Once the waits are over and `frames` more have passed: the layer "glow_a" stays put away,
    // `animation` (on it) is idle, nothing holds the clicks and the door's click queues its event.
    void ExpectPutAwayAndPlaying(PlayGameplay& play, const char* animation, int frames)
    {
        Until(play, Gameplay::kPlay);
        for (int i = 0; i < frames; ++i)
            Frame(16);
        EXPECT_EQ(play.FindLayer("glow_a")->GetFlags() & GameplayEntity::kActive, 0);
        EXPECT_EQ(play.FindAnimation(animation)->GetState(), GameplayAnimation::kIdle);
        EXPECT_FALSE(play.IsBlockingAnimation());
        Press(play, 650, 200);
        EXPECT_EQ(play.GetNextEvent(), play.FindEvent("go_b"));
    }
    // Lua run on the location's table (as `g`) before it opens: the shapes of one test.
    std::string mAmend;
};

TEST_F(PlayTest, ScenesSwitchThroughLoadingAndFades)
{
    PlayGameplay* play = Open();
    ASSERT_NE(play, nullptr);
    ASSERT_EQ(play->GetGameplayState(), Gameplay::kFirstFrame) << Log();
    EXPECT_EQ(Until(*play, Gameplay::kPlay),
              (std::vector<int32_t>{Gameplay::kSceneLoading, Gameplay::kSceneFadingIn,
                                    Gameplay::kSceneSwitch, Gameplay::kPlay}));
    EXPECT_EQ(play->GetActiveScene()->GetName(), TString("a"));
    EXPECT_EQ(play->FindArea("door")->GetFlags() & GameplayEntity::kActive,
              GameplayEntity::kActive);
    EXPECT_EQ(play->GetTransitionAlpha(), 0.0f);
    // The record is built at calm stores alone, which want a player: none here, none built on
    // the way, whatever the scenes do.
    EXPECT_EQ(play->mSaves, 0);

    // The door: the click queues its event, the next frame runs it, the switch follows.
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("go_b"));
    EXPECT_EQ(play->GetLastClickedArea(), play->FindArea("door"));
    EXPECT_EQ(
        Until(*play, Gameplay::kPlay),
        (std::vector<int32_t>{Gameplay::kSceneSwitch, Gameplay::kSceneLoading,
                              Gameplay::kSceneFadingIn, Gameplay::kSceneSwitch, Gameplay::kPlay}));
    EXPECT_EQ(play->GetActiveScene()->GetName(), TString("b"));
    EXPECT_EQ(play->mSaves, 0);
    // Presses while switching are swallowed.
    play->SwitchScene("a");
    EXPECT_TRUE(play->OnMouseDown(TPoint(30, 200)));
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(play->GetActiveScene()->GetName(), TString("a"));
    EXPECT_EQ(play->GetMissClickCount(), 0u);

    // An unknown scene is reported and the location stays.
    play->SwitchScene("nowhere");
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_EQ(CountInLog("ERROR:Cannot find scene named 'nowhere'"), 1);
}

TEST_F(PlayTest, MissesTheirAgesAndThePenalty)
{
    PlayGameplay* play = Playing();
    // Spread over more than a second: no penalty.
    for (int i = 0; i < 3; ++i)
    {
        Click(*play, 100, 100);
        Click(*play, 101, 100); // two presses in one frame count once
        RunFrames(40);
    }
    EXPECT_FALSE(play->IsInputLocked());
    EXPECT_EQ(play->GetMissClickCount(), 1u);
    // Three within a second: input locked, a door click does nothing until the path ends.
    Press(*play, 100, 100);
    Press(*play, 100, 100);
    EXPECT_TRUE(play->IsInputLocked());
    EXPECT_EQ(play->GetMissClickCount(), 0u);
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), nullptr);
    RunFrames(20);
    EXPECT_FALSE(play->IsInputLocked());
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("go_b"));
}

TEST_F(PlayTest, InputByStateAndTheLastOfOverlappingAreas)
{
    PlayGameplay* play = Playing();
    // Losing activation asks for the pause dialog, once per loss; regaining it is not handled
    // while the location is not paused.
    Run("_asked = 0 function ShowPauseDialog() _asked = _asked + 1 end");
    TMessage lost(1001, "");
    TMessage back(1002, "");
    EXPECT_TRUE(play->OnMessage(&lost));
    EXPECT_FALSE(play->OnMessage(&back));
    EXPECT_EQ(Number("_asked"), 1);

    // A click on the HUD away from a hint button is no miss.
    Press(*play, 50, 550);
    EXPECT_EQ(play->GetMissClickCount(), 0u);

    // Two areas over one place: the later in the scene's list takes the click.
    play->FindArea("under")->Activate(true, nullptr);
    RunFrames(5);
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("talk"));
    EXPECT_EQ(play->GetLastClickedArea(), play->FindArea("under"));

    // A minigame scene takes the presses it is offered: no click reaches the road.
    play->SwitchScene("puzzle");
    Until(*play, Gameplay::kPlay);
    Press(*play, 100, 100);
    EXPECT_EQ(static_cast<StandInScene*>(play->GetActiveScene())->mPresses, 1);
    EXPECT_EQ(play->GetMissClickCount(), 0u);
    play->SwitchScene("a");
    Until(*play, Gameplay::kPlay);

    // While waiting, presses are swallowed and reach nothing.
    play->GameplayStartAnimation();
    EXPECT_TRUE(play->OnMouseDown(TPoint(100, 100)));
    Frame(16);
    EXPECT_EQ(play->GetMissClickCount(), 0u);
    play->GameplayEndAnimation();
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
}

TEST_F(PlayTest, EventsRunInOrderAndWaitOnlyForTheShownScene)
{
    PlayGameplay* play = Playing();
    // Activation first, then deactivation.
    play->ActivateEvent("both", true);
    EXPECT_EQ(play->FindArea("under")->GetFlags() & GameplayEntity::kActive, 0);
    // A played change in the shown scene is waited for; one in another scene is not.
    play->ActivateEvent("away", false);
    EXPECT_EQ(play->GetPendingCallbacks(), 1);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting);
    EXPECT_NE(play->FindArea("back")->GetFlags() & GameplayEntity::kActive, 0);
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(play->GetPendingCallbacks(), 0);

    // Unknown names are reported, the rest goes on.
    EXPECT_FALSE(play->ActivateEvent("nope", false));
    EXPECT_EQ(CountInLog("ERROR:Cannot find event named 'nope'"), 1);
    play->ActivateEvent("ghost", false);
    EXPECT_EQ(CountInLog("ERROR:Cannot find Animation 'nowhere'"), 1);
    EXPECT_EQ(CountInLog("ERROR:Cannot find Layer 'none'"), 1);

    // A self-naming next event runs once a frame; a dialog goes first.
    play->ActivateEvent("talk", false);
    EXPECT_EQ(play->GetPendingConversation(), TString("hello"));
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("loop"));
    Frame(16);
    EXPECT_EQ(play->GetPendingConversation(), TString());
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("loop"));
    Frame(16);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("loop"));

    // An animation of a layer in another scene waits for that scene's fade-in.
    play->GameplayActivateEvent("glow_b");
    Frame(16);
    EXPECT_EQ(play->FindScene("b")->GetPendingAnimations(), (std::vector<uint8_t>{0}));
    play->SwitchScene("b");
    Until(*play, Gameplay::kPlay);
    EXPECT_TRUE(play->FindScene("b")->GetPendingAnimations().empty());
    EXPECT_EQ(play->GetAnimationIds(), (std::vector<uint8_t>{0}));
    EXPECT_EQ(play->FindAnimation("glow")->GetState(), GameplayAnimation::kRunning);
}

// Played from the queue, an event that changes one area twice (on and off, or on and shown) waits
// for the area's one report: the location plays again and the door's click queues its event.
TEST_F(PlayTest, AnEventThatChangesOneAreaTwiceWaitsForItOnce)
{
    PlayGameplay* play = Playing();
    for (const char* name : {"twice", "shown"})
    {
        play->GameplayActivateEvent(name);
        Frame(16);
        EXPECT_EQ(play->GetNextEvent(), nullptr) << name;
        Until(*play, Gameplay::kPlay);
        // Past both fades.
        for (int i = 0; i < 10; ++i)
            Frame(16);
        EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay) << name;
        EXPECT_EQ(play->GetPendingCallbacks(), 0) << name;
        const uint8_t onAndShown = GameplayEntity::kActive | GameplayEntity::kShown;
        EXPECT_EQ(play->FindArea("lamp")->GetFlags() & onAndShown,
                  name == std::string("twice") ? 0 : onAndShown)
            << name;
    }
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("go_b"));
}

// However an event changes the area the player clicked (completed and put away, switched on and
// completed, completed twice, or completed with a second area being shown), every change it waits
// for reports once: the location plays again, the completion's end step ran (the clicked area is
// let go) and nothing reported more than was counted.
TEST_F(PlayTest, EveryCountedAreaChangeReportsOnce)
{
    PlayGameplay* play = Playing();
    GameplayArea* lamp = play->FindArea("lamp");
    for (const char* name : {"done_off", "on_done", "done_twice", "shown_done"})
    {
        lamp->SetFlags(0);
        lamp->Activate(false, nullptr);
        play->FindArea("side")->SetFlags(0);
        Frame(16);
        play->Clicked(lamp);
        play->GameplayActivateEvent(name);
        Frame(16);
        EXPECT_EQ(play->GetNextEvent(), nullptr) << name;
        Until(*play, Gameplay::kPlay);
        for (int i = 0; i < 10; ++i)
            Frame(16);
        EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay) << name;
        EXPECT_EQ(play->GetPendingCallbacks(), 0) << name;
        EXPECT_EQ(play->GetLastClickedArea(), nullptr) << name;
        EXPECT_NE(lamp->GetFlags() & GameplayArea::kCompleted, 0) << name;
    }
    EXPECT_EQ(CountInLog("Too many callbacks reported"), 0);
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("go_b"));
}

// An event that hides an object lying in the strip and hands out another: the hidden object's
// report is not lost to the strip's arrangement, and it ends hidden and out of the strip.
TEST_F(PlayTest, AnObjectHiddenFromTheStripReportsAndLeavesIt)
{
    PlayGameplay* play = Playing();
    play->GameplayActivateEvent("give_coin");
    Until(*play, Gameplay::kPlay);
    Until(*play, Gameplay::kWaiting, 2);
    Until(*play, Gameplay::kPlay);
    ASSERT_TRUE(play->GetHud()->HasInventory("coin"));
    play->GameplayActivateEvent("swap");
    Frame(16);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting);
    Until(*play, Gameplay::kPlay);
    for (int i = 0; i < 10; ++i)
        Frame(16);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_EQ(play->GetPendingCallbacks(), 0);
    EXPECT_FALSE(play->GetHud()->HasInventory("coin"));
    EXPECT_TRUE(play->GetHud()->HasInventory("gem"));
    const uint8_t seen = GameplayInventory::kShown | GameplayInventory::kVisible;
    EXPECT_EQ(play->FindInventory("coin")->GetFlags() & seen, 0);
}

// One event changing one object twice (hidden twice, placed twice, placed and hidden) waits for
// it once: the location plays again and nothing reported more than was counted.
TEST_F(PlayTest, AnObjectChangedTwiceByOneEventReportsOnce)
{
    PlayGameplay* play = Playing();
    for (const char* name : {"hide_twice", "place_twice", "place_hide"})
    {
        play->GameplayActivateEvent(name);
        Frame(16);
        EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting) << name;
        for (int i = 0; i < 12; ++i)
            Frame(16);
        EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay) << name;
        EXPECT_EQ(play->GetPendingCallbacks(), 0) << name;
    }
    EXPECT_EQ(CountInLog("Too many callbacks reported"), 0);
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("go_b"));
}

// An object an event puts in the hand (neither in the strip nor lying in a scene) follows the
// pointer as any held object does; a click on nothing lays it down where the pointer is.
TEST_F(PlayTest, AnObjectAnEventPutsInTheHandFollowsThePointer)
{
    PlayGameplay* play = Playing();
    play->ActivateEvent("equip_coin", false);
    GameplayInventory* coin = play->FindInventory("coin");
    ASSERT_EQ(play->GetHeldInventory(), coin);
    MoveTo(300, 320);
    Frame(16);
    EXPECT_EQ(coin->GetImageTransform().GetX(), 300.0f);
    EXPECT_EQ(coin->GetImageTransform().GetY(), 320.0f);
    MoveTo(200, 250);
    Frame(16);
    Press(*play, 200, 250);
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(play->GetHeldInventory(), nullptr);
    EXPECT_EQ(coin->GetHomePosition().x, 200.0f);
    EXPECT_EQ(coin->GetHomePosition().y, 250.0f);
}

// Each name the location lacks is said once at load with who names it, those it has are not; a
// conversation it lacks is skipped and the location plays on.
TEST_F(PlayTest, NamesTheLocationLacksAreSaidOnceAndAMissingConversationIsSkipped)
{
    ClearFatalErrorReported();
    PlayGameplay* play = Playing();
    const char* lacking[] = {
        "conversation 'hello', which event 'talk' names",
        "animation 'nowhere', which event 'ghost' names",
        "layer 'none', which animation 'lost' names",
        "inventory object 'none', which item 'lost_item' names",
    };
    for (const char* line : lacking)
        EXPECT_EQ(CountInLog(std::string("ERROR:The location has no ") + line), 1) << line;
    EXPECT_EQ(CountInLog("ERROR:The location has no "), 4);

    play->Gameplay::StartConversation("hello", nullptr);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_EQ(CountInLog("ERROR:Cannot find conversation 'hello'; it is skipped"), 1);
    EXPECT_FALSE(FatalErrorReported());
}

// Each name is looked for where its user looks (an event starts only scene sounds, so a location
// sound of the name is none; a holder area's objects; a conversation's next line), and the shapes
// that can never end are said once each at load: a chain of next events that comes round again
// (into it, or through an action the game may end the location by, is no line of its own), an
// object of no parts, an item giving no part or parts its object lacks. The location plays on.
TEST_F(PlayTest, NamesAreLookedForWhereTheyAreUsedAndShapesThatNeverEndAreSaid)
{
    mAmend = R"(
        g.soundeffects = { { name = 'wind', sounds = { 'wind' } } }
        g.conversations.hi = { charactertospeak = 'nobody', nextconversation = 'hi_again' }
        table.insert(g.events, { name = 'blow', soundstoactivate = { 'wind' } })
        table.insert(g.events, { name = 'ring_a', nextevent = 'ring_b' })
        table.insert(g.events, { name = 'into_ring', nextevent = 'ring_a' })
        table.insert(g.events, { name = 'ring_b', nextevent = 'ring_a' })
        table.insert(g.events, { name = 'hop', action = 'b', nextevent = 'hop' })
        table.insert(g.events, { name = 'finish', action = 'scene_complete', nextevent = 'finish' })
        table.insert(g.inventory, { name = 'shard', image = 't/gem', partcount = -1 })
        table.insert(g.inventory, { name = 'wrapped', image = 't/gem', partcount = 256 })
        table.insert(g.a.items, { name = 'empty_item', image = 't/gem', inventory = 'gem',
                                  inventoryparts = {} })
        table.insert(g.a.items, { name = 'far_item', image = 't/gem', inventory = 'gem',
                                  inventoryparts = { 1, 2, 0 } })
        table.insert(g.a.areas, { name = 'holder', image = 't/door', x = 0, y = 0, events = {},
                                  holdableinventory = { 'gme' },
                                  correctinventorytohold = { 'gem', 'gmm' } })
    )";
    ClearFatalErrorReported();
    PlayGameplay* play = Playing();
    const char* said[] = {
        "The location has no scene sound 'wind', which event 'blow' names",
        "The location has no inventory object 'gme', which area 'holder' names",
        "The location has no inventory object 'gmm', which area 'holder' names",
        "The location has no conversation 'hi_again', which conversation 'hi' names",
        "Inventory object 'stone' has \"partcount\" 0; it needs at least 1 part",
        "Inventory object 'shard' has \"partcount\" -1; it needs at least 1 part",
        "Inventory object 'wrapped' has \"partcount\" 256, 0 in the byte it is kept in; it needs "
        "at least 1 part",
        "Item 'empty_item' has an empty \"inventoryparts\": it gives inventory object 'gem' no "
        "part",
        "Item 'far_item' gives part 2 of inventory object 'gem', which has 1 parts",
        "Item 'far_item' gives part 0 of inventory object 'gem', which has 1 parts",
        "Event 'loop' leads back to itself through its next events ('loop' -> 'loop'); the "
        "chain never ends",
        "Event 'ring_a' leads back to itself through its next events ('ring_a' -> 'ring_b' -> "
        "'ring_a'); the chain never ends",
        "Event 'hop' leads back to itself through its next events ('hop' -> 'hop'); the chain "
        "never ends",
    };
    for (const char* line : said)
        EXPECT_EQ(CountInLog(std::string("ERROR:") + line), 1) << line << "\n" << Log();
    EXPECT_EQ(CountInLog("ERROR:The location has no "), 4 + 4);
    EXPECT_EQ(CountInLog("\"partcount\""), 3);
    EXPECT_EQ(CountInLog("ERROR:Item '"), 3);
    EXPECT_EQ(CountInLog("leads back to itself through its next events"), 3);
    EXPECT_FALSE(FatalErrorReported());
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("go_b"));
}

// One object named twice by an event, or handed out again while the strip shows it, takes one
// slot of the strip.
TEST_F(PlayTest, AnObjectHandedOutTwiceTakesOneSlotOfTheStrip)
{
    mAmend = "table.insert(g.events, { name = 'coin_twice', "
             "inventorytoactivate = { 'coin', 'gem', 'coin' } })";
    PlayGameplay* play = Playing();
    play->ActivateEvent("coin_twice", false);
    Until(*play, Gameplay::kPlay);
    play->ActivateEvent("give_coin", false);
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(
        play->GetHud()->GetShownInventory(),
        (std::vector<GameplayInventory*>{play->FindInventory("coin"), play->FindInventory("gem")}));
}

// Only awaited animations hold the clicks, each until it ends: an ambient loop left running does
// not; one with no part that ends ends at once; one whose layer the same event puts away ends as
// the layer goes, though its delay had not yet run out.
TEST_F(PlayTest, OnlyAwaitedAnimationsHoldTheClicksUntilTheyEnd)
{
    PlayGameplay* play = Playing();
    play->ActivateEvent("ambient", false);
    play->ActivateEvent("glow_wait", false);
    EXPECT_TRUE(play->IsBlockingAnimation());
    for (int i = 0; i < 12; ++i)
        Frame(16);
    EXPECT_EQ(play->FindAnimation("loop")->GetState(), GameplayAnimation::kRunning);
    EXPECT_EQ(play->FindAnimation("wait_glow")->GetState(), GameplayAnimation::kIdle);
    EXPECT_FALSE(play->IsBlockingAnimation());

    play->ActivateEvent("still_wait", false);
    EXPECT_FALSE(play->IsBlockingAnimation());
    EXPECT_EQ(play->FindAnimation("still")->GetState(), GameplayAnimation::kIdle);
    EXPECT_EQ(CountInLog("GameplayAnimation 'still' has no part that ends; it ends at once"), 1);

    play->ActivateEvent("glow_gone", false);
    EXPECT_TRUE(play->IsBlockingAnimation());
    ExpectPutAwayAndPlaying(*play, "late", 8);
}

// Awaited animations that lead on to one another: the finished step starts what follows the
// animation that ended (an awaited one with no part that ends, listed before it, ends at once and
// starts nothing again); one that comes round again in its chain (a pulse naming itself, two that
// start each other) runs on unawaited, said once, so the wait ends and the pulse goes on.
TEST_F(PlayTest, AwaitedChainsEndTheirWait)
{
    mAmend = R"(
        local fade = { beginopacity = 0, endopacity = 1, duration = 100 }
        table.insert(g.animations, { name = 'into_still', layer = 'bg_a', callback = true,
                                     fade = fade, nextanimations = { 'still' } })
        table.insert(g.animations, { name = 'pulse', layer = 'glow_a', callback = true,
                                     fade = fade, nextanimations = { 'pulse' } })
        table.insert(g.animations, { name = 'ping', layer = 'bg_a', callback = true,
                                     fade = fade, nextanimations = { 'pong' } })
        table.insert(g.animations, { name = 'pong', layer = 'bg_a', callback = true,
                                     scale = { beginscale = 1, endscale = 1, duration = 100 },
                                     nextanimations = { 'ping' } })
        for _, name in ipairs({ 'into_still', 'pulse', 'ping' }) do
            table.insert(g.events, { name = 'run_' .. name, animations = { name } })
        end
    )";
    PlayGameplay* play = Playing();
    for (const char* name : {"into_still", "pulse", "ping"})
    {
        play->ActivateEvent(TString("run_") + name, false);
        EXPECT_TRUE(play->IsBlockingAnimation()) << name;
        for (int i = 0; i < 30; ++i)
            Frame(16);
        EXPECT_FALSE(play->IsBlockingAnimation()) << name;
    }
    EXPECT_EQ(CountInLog("GameplayAnimation 'still' has no part that ends; it ends at once"), 1);
    EXPECT_EQ(play->FindAnimation("still")->GetState(), GameplayAnimation::kIdle);
    // Each round of the pulse and of the pair is a run of its own, none of them waited for.
    EXPECT_EQ(play->FindAnimation("pulse")->GetState(), GameplayAnimation::kRunning);
    EXPECT_EQ(CountInLog("'pulse' comes round again in its chain; it runs on unawaited"), 1);
    EXPECT_EQ(CountInLog("'ping' comes round again in its chain; it runs on unawaited"), 1);
    EXPECT_EQ(CountInLog("comes round again"), 2);
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("go_b"));
}

// An awaited animation ended because an event put its layer away leads on to another on that
// layer: the layer stays away, the follower takes its end state at once and nothing waits.
TEST_F(PlayTest, ALayerPutAwayStaysAway)
{
    mAmend = R"(
        table.insert(g.animations, { name = 'delayed', layer = 'glow_a', callback = true,
            fade = { beginopacity = 0, endopacity = 1, duration = 100, initialdelay = 1000 },
            nextanimations = { 'after' } })
        table.insert(g.animations, { name = 'after', layer = 'glow_a', callback = true,
            fade = { beginopacity = 1, endopacity = 0, duration = 100 } })
        table.insert(g.events, { name = 'put_away', animations = { 'delayed' },
                                 layerstodeactivate = { 'glow_a' } })
    )";
    PlayGameplay* play = Playing();
    play->ActivateEvent("put_away", false);
    ExpectPutAwayAndPlaying(*play, "after", 20);
}

// Every awaited animation reports exactly once, also when another cuts it short: two of one kind
// on one layer from one event (fades, moves, flipbooks), the awaited one with an ambient pulse of
// its layer after it, a chain reaching the layer of a fade still running (plain, and with
// "clearprevious"). Each wait ends, nothing reports more than was counted, nothing is let go.
TEST_F(PlayTest, AnAnimationCutShortByAnotherReportsOnce)
{
    mAmend = R"(
        local function add(a) a.layer = a.layer or 'glow_a'; table.insert(g.animations, a) end
        local still = { beginscale = 1, endscale = 1, duration = 30 }
        add({ name = 'fade1', callback = true,
              fade = { beginopacity = 0, endopacity = 1, duration = 100 } })
        add({ name = 'fade2', callback = true,
              fade = { beginopacity = 0, endopacity = 1, duration = 200 } })
        add({ name = 'move1', callback = true, move = { endx = 5, endy = 5, duration = 100 } })
        add({ name = 'move2', callback = true, move = { endx = 9, endy = 9, duration = 200 } })
        add({ name = 'flip1', callback = true, animation = 'once', framespeed = 50 })
        add({ name = 'flip2', callback = true, animation = 'once', framespeed = 80 })
        add({ name = 'pulse', fade = { beginopacity = 1, endopacity = 0, duration = 100,
                                       loop = true } })
        add({ name = 'quick', layer = 'bg_a', callback = true, scale = still,
              nextanimations = { 'fade2' } })
        add({ name = 'quick_clear', layer = 'bg_a', callback = true, scale = still,
              nextanimations = { 'clearing' } })
        add({ name = 'clearing', callback = true, clearprevious = true,
              scale = { beginscale = 1, endscale = 1, duration = 100 } })
        local shapes = { { 'fades', 'fade1', 'fade2' }, { 'moves', 'move1', 'move2' },
                         { 'flipbooks', 'flip1', 'flip2' }, { 'pulse_after', 'fade1', 'pulse' },
                         { 'chain', 'fade1', 'quick' }, { 'clearing', 'fade1', 'quick_clear' } }
        for _, s in ipairs(shapes) do
            table.insert(g.events, { name = s[1], animations = { s[2], s[3] } })
        end
    )";
    PlayGameplay* play = Playing();
    for (const char* name : {"fades", "moves", "flipbooks", "pulse_after", "chain", "clearing"})
    {
        play->ActivateEvent(name, false);
        // The pulse takes the glow's fade at once: the glow ends there.
        EXPECT_EQ(play->IsBlockingAnimation(), std::string(name) != "pulse_after") << name;
        for (int i = 0; i < 40; ++i)
            Frame(16);
        EXPECT_FALSE(play->IsBlockingAnimation()) << name;
        EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay) << name;
        for (const char* animation : {"fade1", "fade2", "move1", "move2", "flip1", "flip2"})
            EXPECT_NE(play->FindAnimation(animation)->GetState(), GameplayAnimation::kRunning)
                << name << " " << animation;
    }
    EXPECT_EQ(CountInLog("Too many callbacks reported"), 0);
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("go_b"));
}

// A join: two awaited branches of a chain lead to one animation, which is waited for until its
// last start ends; it is no loop, and nothing is said to come round again.
TEST_F(PlayTest, AJoinIsWaitedForUntilItsLastStartEnds)
{
    mAmend = R"(
        local function add(a) table.insert(g.animations, a) end
        add({ name = 'top', layer = 'bg_a', callback = true,
              fade = { beginopacity = 1, endopacity = 1, duration = 50 },
              nextanimations = { 'left', 'right' } })
        add({ name = 'left', layer = 'bg_a', callback = true,
              scale = { beginscale = 1, endscale = 1, duration = 50 },
              nextanimations = { 'bottom' } })
        add({ name = 'right', layer = 'glow_a', callback = true,
              fade = { beginopacity = 0, endopacity = 1, duration = 300 },
              nextanimations = { 'bottom' } })
        add({ name = 'bottom', layer = 'glow_a', callback = true,
              move = { endx = 5, endy = 5, duration = 200 } })
        table.insert(g.events, { name = 'join', animations = { 'top' } })
    )";
    PlayGameplay* play = Playing();
    play->ActivateEvent("join", false);
    // The right branch ends about 350 ms in and starts the bottom one again.
    for (int i = 0; i < 28; ++i)
        Frame(16);
    EXPECT_TRUE(play->IsBlockingAnimation());
    EXPECT_EQ(play->FindAnimation("bottom")->GetState(), GameplayAnimation::kRunning);
    for (int i = 0; i < 20; ++i)
        Frame(16);
    EXPECT_FALSE(play->IsBlockingAnimation());
    EXPECT_EQ(play->FindAnimation("bottom")->GetState(), GameplayAnimation::kIdle);
    EXPECT_EQ(CountInLog("comes round again"), 0);
}

// Animations whose end starts them again at the moment they start: two awaited loops on one layer
// from one event (each start cuts the other's fade short, which is its end), and a loop of a
// one-frame flipbook (it ends as it is set up). Each comes round at most once a frame, nothing
// holds the clicks, and the location plays on.
TEST_F(PlayTest, AnimationsEndingAsTheyStartComeRoundOnceAFrame)
{
    mAmend = R"(
        local function add(a) table.insert(g.animations, a) end
        add({ name = 'one', layer = 'glow_a', callback = true, nextanimations = { 'one' },
              fade = { beginopacity = 0, endopacity = 1, duration = 500 } })
        add({ name = 'two', layer = 'glow_a', callback = true, nextanimations = { 'two' },
              fade = { beginopacity = 0, endopacity = 1, duration = 400, initialdelay = 284 } })
        add({ name = 'blink', layer = 'bg_a', callback = true, animation = 'once',
              framespeed = 50, nextanimations = { 'blink' } })
        table.insert(g.events, { name = 'two_loops', animations = { 'one', 'two' } })
        table.insert(g.events, { name = 'blinking', animations = { 'blink' } })
    )";
    PlayGameplay* play = Playing();
    for (const char* name : {"two_loops", "blinking"})
    {
        play->ActivateEvent(name, false);
        for (int i = 0; i < 40; ++i)
            Frame(16);
        EXPECT_FALSE(play->IsBlockingAnimation()) << name;
        EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay) << name;
    }
    EXPECT_EQ(CountInLog("comes round again in its chain"), 3);
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("go_b"));
}

// A glow's fade cut short by the flash it leads to, as the flash starts: the flash's second start
// is put off to the next frame, its first run ending as it is set up. Awaited, that start holds
// the clicks from the moment it is asked, and a close then makes it before the location is stored.
TEST_F(PlayTest, AnAwaitedStartPutOffToTheNextFrameHoldsTheLocationUntilItIsMade)
{
    mAmend = R"(
        local function add(a) a.layer = 'glow_a'; a.callback = true; table.insert(g.animations, a) end
        add({ name = 'glowing', fade = { beginopacity = 0, endopacity = 1, duration = 500 },
              nextanimations = { 'flash' } })
        add({ name = 'flash', animation = 'once', framespeed = 50, clearprevious = true })
        table.insert(g.events, { name = 'glow', animations = { 'glowing' } })
        table.insert(g.events, { name = 'flash_now', animations = { 'flash' } })
    )";
    PlayGameplay* play = Playing();
    play->ActivateEvent("glow", false);
    RunFrames(4);
    play->ActivateEvent("flash_now", false);
    ASSERT_EQ(play->FindAnimation("glowing")->GetState(), GameplayAnimation::kIdle);
    ASSERT_TRUE(play->HasStartsPutOff());
    EXPECT_TRUE(play->IsBlockingAnimation());
    play->OnClose();
    EXPECT_FALSE(play->HasStartsPutOff());
    EXPECT_FALSE(play->IsBlockingAnimation());
}

// Objects an event puts in the hand or takes from it: placed in its scene by an event, the held
// object leaves the hand (a miss after it is a plain miss, nothing waits); one from nowhere (no
// strip nor scene holds it) goes to the strip at a miss; one whose parts were not all found is
// put in the hand as it is and can be taken from the strip again.
TEST_F(PlayTest, AnObjectAnEventPutsInTheHandOrPlacesLeavesNoWaitBehind)
{
    mAmend = R"(
        table.insert(g.inventory, { name = 'pair', image = 't/gem', homescene = 'a',
                                    partcount = 2 })
        table.insert(g.events, { name = 'place_coin', inventorytoaddtoscene = { 'coin' } })
        table.insert(g.events, { name = 'equip_gem', inventorytoequip = 'gem' })
        table.insert(g.events, { name = 'give_pair', inventorytoactivate = { 'pair' } })
        table.insert(g.events, { name = 'equip_pair', inventorytoequip = 'pair' })
    )";
    PlayGameplay* play = Playing();
    GameplayInventory* coin = play->FindInventory("coin");
    play->ActivateEvent("equip_coin", false);
    ASSERT_EQ(play->GetHeldInventory(), coin);
    play->ActivateEvent("place_coin", false);
    EXPECT_EQ(play->GetHeldInventory(), nullptr);
    Until(*play, Gameplay::kPlay);
    MoveTo(500, 300);
    Press(*play, 500, 300);
    Until(*play, Gameplay::kPlay, 20);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_EQ(play->GetPendingCallbacks(), 0);

    play->ActivateEvent("equip_gem", false);
    ASSERT_EQ(play->GetHeldInventory(), play->FindInventory("gem"));
    Press(*play, 500, 300);
    Until(*play, Gameplay::kPlay, 30);
    EXPECT_EQ(play->GetHeldInventory(), nullptr);
    EXPECT_TRUE(play->GetHud()->HasInventory("gem"));

    GameplayInventory* pair = play->FindInventory("pair");
    play->ActivateEvent("give_pair", false);
    Until(*play, Gameplay::kPlay, 30);
    play->ActivateEvent("equip_pair", false);
    ASSERT_EQ(play->GetHeldInventory(), pair);
    Press(*play, 500, 300);
    Until(*play, Gameplay::kPlay, 30);
    ASSERT_EQ(play->GetHeldInventory(), nullptr);
    const TVec2 at = pair->GetHomePosition();
    MoveTo(static_cast<int>(at.x) + 5, static_cast<int>(at.y) + 5);
    Press(*play, static_cast<int>(at.x) + 5, static_cast<int>(at.y) + 5);
    EXPECT_EQ(play->GetHeldInventory(), pair);
    EXPECT_EQ(CountInLog("Too many callbacks reported"), 0);
}

// One event switching a layer on and off: the switch-off takes the place of the switch-on, which
// is told, and the wait ends by the fade's end with nothing let go (the fixture fails on that).
TEST_F(PlayTest, ALayerSwitchedOnAndOffByOneEventEndsItsWait)
{
    mAmend = "table.insert(g.events, { name = 'flicker', layerstoactivate = { 'glow_a' }, "
             "layerstodeactivate = { 'glow_a' } })";
    PlayGameplay* play = Playing();
    play->ActivateEvent("flicker", false);
    EXPECT_EQ(play->GetPendingCallbacks(), 1);
    Until(*play, Gameplay::kPlay, 30);
    EXPECT_EQ(play->GetPendingCallbacks(), 0);
    EXPECT_EQ(play->FindLayer("glow_a")->GetFlags() & GameplayEntity::kActive, 0);
}

// An object an event puts in the hand while another an event put there is held: the first goes
// back where it belongs (the strip takes one from nowhere). One placed in its scene by an event
// and handed out by the next, or used on an area whose event hands it out again, joins the strip
// whole and takeable. One that can only be held and has no scene stays in the hand at a miss.
TEST_F(PlayTest, ObjectsAnEventHandsOutOrPutsInTheHandStayInPlay)
{
    mAmend = R"(
        table.insert(g.inventory, { name = 'bead', image = 't/gem', homescene = 'a',
                                    partcount = 2 })
        table.insert(g.inventory, { name = 'charm', image = 't/gem', canbeplacedinhud = false })
        table.insert(g.events, { name = 'equip_gem', inventorytoequip = 'gem' })
        table.insert(g.events, { name = 'equip_charm', inventorytoequip = 'charm' })
        table.insert(g.events, { name = 'place_bead', inventorytoaddtoscene = { 'bead' } })
        table.insert(g.events, { name = 'give_bead', inventorytoactivate = { 'bead' } })
        g.a.areas[4].events = { coin = { eventname = 'give_coin' } }
    )";
    PlayGameplay* play = Playing();
    GameplayHud* hud = play->GetHud();
    GameplayInventory* coin = play->FindInventory("coin");
    const auto takeable = [&](GameplayInventory* object)
    {
        const TRect at = object->GetRect();
        return hud->FindInventoryAt(TPoint((at.left + at.right) / 2, (at.top + at.bottom) / 2)) ==
                   object &&
               object->IsWhole();
    };
    play->ActivateEvent("equip_coin", false);
    play->ActivateEvent("equip_gem", false);
    EXPECT_EQ(play->GetHeldInventory(), play->FindInventory("gem"));
    EXPECT_EQ(coin->GetFlags() & GameplayInventory::kHeld, 0);
    Until(*play, Gameplay::kPlay, 30);
    EXPECT_TRUE(hud->HasInventory("coin"));

    GameplayInventory* bead = play->FindInventory("bead");
    play->ActivateEvent("place_bead", false);
    Until(*play, Gameplay::kPlay, 30);
    play->ActivateEvent("give_bead", false);
    Until(*play, Gameplay::kPlay, 30);
    EXPECT_TRUE(hud->HasInventory("bead"));
    EXPECT_TRUE(play->GetActiveScene()->GetPlacedInventory().empty());
    EXPECT_TRUE(takeable(bead));

    GameplayArea* lamp = play->FindArea("lamp");
    lamp->Activate(false, nullptr);
    play->UnequipInventory();
    Until(*play, Gameplay::kPlay, 30);
    play->EquipInventory(coin);
    play->Clicked(lamp);
    play->mRealUse = true;
    play->UseInventory(coin, lamp);
    Until(*play, Gameplay::kPlay, 30);
    for (int i = 0; i < 20; ++i)
        Frame(16);
    EXPECT_TRUE(hud->HasInventory("coin"));
    EXPECT_TRUE(takeable(coin));

    play->ActivateEvent("equip_charm", false);
    MoveTo(500, 300);
    Press(*play, 500, 300);
    Until(*play, Gameplay::kPlay, 20);
    EXPECT_EQ(play->GetHeldInventory(), play->FindInventory("charm"));
}

// An object only the hand can hold ("stone" lies in b, "charm" and "amulet" have no scene) is
// always in the hand or in a scene where it can be taken, and holding it never shuts the way out:
// a door's plain click answers while it is held; missed away from its scene it lies there, missed
// in it where it was dropped, missed with no scene it stays in the hand; put out of the hand by
// another an event equips, it lies in its scene or, with none, in the shown one where the pointer
// was.
TEST_F(PlayTest, AnObjectOnlyTheHandHoldsIsAlwaysTakeableAndNeverShutsTheWayOut)
{
    mAmend = R"(
        table.insert(g.inventory, { name = 'charm', image = 't/gem', canbeplacedinhud = false })
        table.insert(g.inventory, { name = 'amulet', image = 't/gem', canbeplacedinhud = false })
        table.insert(g.events, { name = 'carry_charm', inventorytoequip = 'charm', action = 'b' })
        table.insert(g.events, { name = 'equip_stone', inventorytoequip = 'stone' })
        table.insert(g.events, { name = 'equip_two', inventorytoequip = 'stone',
                                 nextevent = 'equip_charm' })
        table.insert(g.events, { name = 'equip_charm', inventorytoequip = 'charm',
                                 nextevent = 'equip_amulet' })
        table.insert(g.events, { name = 'equip_amulet', inventorytoequip = 'amulet' })
    )";
    struct Shape
    {
        const char* name;
        const char* scene; // Shown when the event runs.
        const char* event;
        int missX, missY; // 0: no miss.
        const char* held; // In the hand at the end (or null).
        const char* lies; // An object and the scene it lies in at the end.
        const char* in;
    };
    const Shape shapes[] = {
        {"carried into b and out by its door", "a", "carry_charm", 0, 0, "charm", nullptr, ""},
        {"missed away from its scene", "a", "equip_stone", 450, 420, nullptr, "stone", "b"},
        {"missed in its scene", "b", "equip_stone", 450, 420, nullptr, "stone", "b"},
        {"missed with no scene", "b", "carry_charm", 450, 420, "charm", nullptr, ""},
        // No rest to glide back to over the strip: it stays in the hand.
        {"missed over the strip in its scene", "b", "equip_stone", 200, 550, "stone", nullptr, ""},
        {"equipped in a chain", "b", "equip_two", 0, 0, "amulet", "stone", "b"},
        {"equipped in a chain, no scene", "a", "equip_charm", 0, 0, "amulet", "charm", "a"},
    };
    for (const Shape& shape : shapes)
    {
        SCOPED_TRACE(shape.name);
        PlayGameplay* play = Playing();
        if (TString(shape.scene) != TString("a"))
        {
            play->SwitchScene(shape.scene);
            Until(*play, Gameplay::kPlay);
        }
        MoveTo(450, 420);
        play->ActivateEvent(shape.event, false);
        for (int i = 0; i < 60; ++i)
            Frame(16);
        if (TString(shape.event) == TString("carry_charm") && shape.missX == 0)
        {
            // Stuck in b today: the door's click was taken as a use of the charm.
            ASSERT_EQ(play->GetActiveScene()->GetName(), TString("b"));
            MoveTo(60, 200);
            Frame(16);
            Press(*play, 60, 200);
            EXPECT_EQ(play->GetNextEvent(), play->FindEvent("go_a"));
            Until(*play, Gameplay::kPlay);
            for (int i = 0; i < 30; ++i)
                Frame(16);
            EXPECT_EQ(play->GetActiveScene()->GetName(), TString("a"));
        }
        if (shape.missX != 0)
        {
            MoveTo(shape.missX, shape.missY);
            Frame(16);
            Press(*play, shape.missX, shape.missY);
            Until(*play, Gameplay::kPlay, 30);
        }
        EXPECT_EQ(play->GetHeldInventory(),
                  shape.held != nullptr ? play->FindInventory(shape.held) : nullptr);
        for (const std::shared_ptr<GameplayInventory>& object : play->GetInventory())
        {
            if ((object->GetFlags() & GameplayInventory::kShown) == 0 ||
                object.get() == play->GetHeldInventory())
                continue;
            // Shown and not held: in the strip or lying in one scene.
            int places = play->GetHud()->HasInventory(object->GetName()) ? 1 : 0;
            for (const std::shared_ptr<GameplayScene>& scene : play->GetScenes())
                for (GameplayInventory* placed : scene->GetPlacedInventory())
                    places += placed == object.get() ? 1 : 0;
            EXPECT_EQ(places, 1) << object->GetName().c_str();
        }
        if (shape.lies != nullptr)
        {
            const std::vector<GameplayInventory*>& placed =
                play->FindScene(shape.in)->GetPlacedInventory();
            EXPECT_NE(std::find(placed.begin(), placed.end(), play->FindInventory(shape.lies)),
                      placed.end());
        }
        play->GetParent()->RemoveChild(play);
        delete play;
    }
}

// A wait that nothing alive can end any more is let go, in one line naming what it waited for and
// the event that started it: an awaited animation whose transforms someone removed, an object
// whose motion someone removed. A long wait that will end (a fade of a minute) is kept.
TEST_F(PlayTest, AWaitNothingCanEndIsLetGoAndSaid)
{
    // Both are let go on purpose; the fixture fails any other.
    mLetGoes = 2;
    mAmend = R"(
        table.insert(g.animations, { name = 'minute', layer = 'glow_a', callback = true,
            fade = { beginopacity = 0, endopacity = 1, duration = 60000 } })
        table.insert(g.events, { name = 'long', animations = { 'minute' } })
        table.insert(g.events, { name = 'place_coin', inventorytoaddtoscene = { 'coin' } })
        table.insert(g.events, { name = 'hide_coin', inventorytomakeinvisible = { 'coin' } })
    )";
    PlayGameplay* play = Playing();
    play->ActivateEvent("long", false);
    for (int i = 0; i < 100; ++i)
        Frame(16);
    EXPECT_TRUE(play->IsBlockingAnimation());
    EXPECT_EQ(CountInLog("nothing can end any more"), 0);
    TransformManager::Instance()->RemoveTransforms(
        &play->FindLayer("glow_a")->GetBitmap()->GetTransform());
    Frame(16);
    EXPECT_FALSE(play->IsBlockingAnimation());
    EXPECT_EQ(CountInLog("The location waited for GameplayAnimation 'minute' (started by event "
                         "'long'), which nothing can end any more: it goes on"),
              1);

    GameplayInventory* coin = play->FindInventory("coin");
    play->ActivateEvent("place_coin", false);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting);
    Frame(16);
    TransformManager::Instance()->RemoveTransforms(&coin->GetImageTransform());
    Frame(16);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_EQ(play->GetPendingCallbacks(), 0);
    EXPECT_EQ(CountInLog("The location waited for object 'coin' placed in its scene (started by "
                         "event 'place_coin'), which nothing can end any more: it goes on"),
              1);
    EXPECT_EQ(CountInLog("nothing can end any more"), 2);
    // The coin still holds the report told for it; its next change tells it to nothing freed.
    play->ActivateEvent("hide_coin", false);
    Until(*play, Gameplay::kPlay, 30);
    EXPECT_EQ(play->GetPendingCallbacks(), 0);
    // The fixture's scan fails a test that meets a let-go it did not provoke on purpose.
    mLetGoes = 0;
    EXPECT_NONFATAL_FAILURE(ExpectLetGoes(), "a wait was let go");
    mLetGoes = 2;
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("go_b"));
}

// Each kind of wait whose holder's motion someone removed is let go in one line naming it: an
// entity's change, an area's completion, an item's flight, the strip taking in new objects.
TEST_F(PlayTest, EveryKindOfWaitNothingCanEndIsLetGo)
{
    mAmend = R"(
        table.insert(g.events, { name = 'light', layerstoactivate = { 'glow_a' } })
    )";
    struct Kind
    {
        const char* line;
        std::function<TM_Transform*(PlayGameplay&)> start;
    };
    const Kind kinds[] = {
        {"layer 'glow_a' switched on (started by event 'light')",
         [](PlayGameplay& play)
         {
             play.ActivateEvent("light", false);
             return &play.FindLayer("glow_a")->GetTransform();
         }},
        {"area 'door' completed",
         [](PlayGameplay& play)
         {
             play.CompleteArea("door", true);
             return &play.FindArea("door")->GetSpriteTransform();
         }},
        {"item 'gem_item' flying to the strip",
         [](PlayGameplay& play)
         {
             play.OnItemFound(play.FindItem("gem_item"));
             return &play.FindItem("gem_item")->GetTransform();
         }},
        {"the strip taking in new objects (started by event 'give_coin')",
         [](PlayGameplay& play)
         {
             play.ActivateEvent("give_coin", false);
             return &play.FindInventory("coin")->GetImageTransform();
         }},
    };
    for (const Kind& kind : kinds)
    {
        SCOPED_TRACE(kind.line);
        PlayGameplay* play = Playing();
        TM_Transform* motion = kind.start(*play);
        EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting);
        TransformManager::Instance()->RemoveTransforms(motion);
        Frame(16);
        EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
        EXPECT_EQ(CountInLog(std::string("The location waited for ") + kind.line +
                             ", which nothing can end any more: it goes on"),
                  1)
            << Log();
        play->GetParent()->RemoveChild(play);
        delete play;
    }
    mLetGoes = 4;
}

// A button of the location's script that starts a wait of its own and never ends it: after ten
// seconds of clicks ignored while only such waits hold the location, one line says so; they are
// not let go, and the script's end of them gives play back.
TEST_F(PlayTest, AScriptsOwnWaitHoldingIgnoredClicksIsSaidOnce)
{
    PlayGameplay* play = Playing();
    play->GameplayStartAnimation();
    play->GameplayStartAnimation();
    const std::string line = "The location has ignored clicks for 10 seconds while only its "
                             "script's waits hold it: 2 started by GameplayStartAnimation and not "
                             "ended";
    // No click yet: nothing is said however long it waits.
    for (int i = 0; i < 700; ++i)
        Frame(16);
    EXPECT_EQ(CountInLog(line), 0);
    Press(*play, 450, 420);
    for (int i = 0; i < 620; ++i)
        Frame(16);
    EXPECT_EQ(CountInLog(line), 0);
    for (int i = 0; i < 20; ++i)
        Press(*play, 450, 420);
    EXPECT_EQ(CountInLog(line), 1) << Log();
    for (int i = 0; i < 700; ++i)
        Press(*play, 450, 420);
    EXPECT_EQ(CountInLog(line), 1);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting);
    play->GameplayEndAnimation();
    play->GameplayEndAnimation();
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
}

// A flipbook awaited in a scene an event leaves ends with the left scene's pictures; the animation
// it leads on to waits for that scene's next showing, and holds nothing in the scene entered.
TEST_F(PlayTest, AnAnimationLedOnToAsItsSceneIsLeftWaitsForItsNextShowing)
{
    mAmend = R"(
        table.insert(g.animations, { name = 'book', layer = 'glow_a', callback = true,
                                     animation = 'once', framespeed = 2000,
                                     nextanimations = { 'after' } })
        table.insert(g.animations, { name = 'after', layer = 'bg_a', callback = true,
            fade = { beginopacity = 1, endopacity = 0.5, duration = 100 } })
        table.insert(g.events, { name = 'read_and_go', animations = { 'book' }, action = 'b' })
    )";
    PlayGameplay* play = Playing();
    play->FindLayer("glow_a")->Activate(false, nullptr);
    play->ActivateEvent("read_and_go", false);
    EXPECT_TRUE(play->IsBlockingAnimation());
    Until(*play, Gameplay::kPlay, 200);
    EXPECT_EQ(play->GetActiveScene()->GetName(), TString("b"));
    EXPECT_FALSE(play->IsBlockingAnimation());
    EXPECT_EQ(play->FindScene("a")->TakePendingAnimations(),
              std::vector<uint8_t>{play->FindAnimation("after")->GetId()});
}

// A negative delay of any block counts as none: each awaited block starts, ends, and the wait with
// it.
TEST_F(PlayTest, NegativeDelaysCountAsNone)
{
    mAmend = R"(
        local shapes = {
            fade_initial = { fade = { beginopacity = 0, endopacity = 1, duration = 50,
                                      initialdelay = -1000 } },
            fade_delay = { fade = { beginopacity = 0, endopacity = 1, duration = 50,
                                    delay = -500 } },
            move_initial = { move = { endx = 5, endy = 5, duration = 50, initialdelay = -1 } },
            move_random = { move = { endx = 5, endy = 5, duration = 50, mindelay = -9,
                                     maxdelay = -3 } },
            rotate = { rotate = { endrotation = 0.5, duration = 50, initialdelay = -5,
                                  forwarddelay = -5 } },
            scale = { scale = { beginscale = 1, endscale = 2, duration = 50, delay = -3 } },
            path = { path = { filename = 't/path.txt', duration = 50, delay = -2 } },
            flicker = { alpha = { minopacity = 0, maxopacity = 1, mindelay = -20,
                                  maxdelay = -10 } },
        }
        for name, shape in pairs(shapes) do
            shape.name = name
            shape.layer = 'bg_a'
            shape.callback = true
            table.insert(g.animations, shape)
            table.insert(g.events, { name = 'run_' .. name, animations = { name } })
        end
    )";
    PlayGameplay* play = Playing();
    for (const char* name : {"fade_initial", "fade_delay", "move_initial", "move_random", "rotate",
                             "scale", "path", "flicker"})
    {
        play->ActivateEvent(TString("run_") + name, false);
        EXPECT_TRUE(play->IsBlockingAnimation()) << name;
        for (int i = 0; i < 10; ++i)
            Frame(16);
        EXPECT_FALSE(play->IsBlockingAnimation()) << name;
        EXPECT_EQ(play->FindAnimation(name)->GetState(), GameplayAnimation::kIdle) << name;
    }
}

// An awaited block whose initial delay and delay each fit but pass what an int holds together
// waits the longest an int holds and then runs: wrapped negative, it would never start and its
// wait never end.
TEST_F(PlayTest, DelaysPastWhatAnIntHoldsTogetherWaitTheLongest)
{
    mAmend = R"(
        table.insert(g.animations, { name = 'far', layer = 'glow_a', callback = true,
            fade = { beginopacity = 0, endopacity = 1, duration = 50,
                     initialdelay = 2000000000, delay = 2000000000 } })
        table.insert(g.events, { name = 'run_far', animations = { 'far' } })
    )";
    PlayGameplay* play = Playing();
    play->ActivateEvent("run_far", false);
    Frame(16);
    EXPECT_TRUE(play->IsBlockingAnimation());
    const AnimatedBitmap::Block& fade =
        play->FindLayer("glow_a")->GetBitmap()->GetBlock(AnimatedBitmap::kFade);
    EXPECT_EQ(fade.mCountdown, INT32_MAX - 16);
    EXPECT_EQ(play->FindAnimation("far")->GetState(), GameplayAnimation::kRunning);
}

TEST_F(PlayTest, HoverHilightsAndCursors)
{
    PlayGameplay* play = Open(", cursordefault = 'same', cursorpickup = 'same', "
                              "loadingcursortimetoshow = 0");
    EXPECT_EQ(play->GetLoadingCursorDelay(), 0);
    play->UpdateLoadingCursor();
    EXPECT_EQ(play->GetCursorKind(), Gameplay::kCursorLoading) << "at once with no delay";
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(play->GetCursorKind(), Gameplay::kCursorDefault);
    MoveTo(650, 200);
    Frame(16);
    GameplayArea* door = play->FindArea("door");
    EXPECT_NE(door->GetFlags() & GameplayArea::kHilighted, 0);
    MoveTo(300, 300);
    RunFrames(10);
    EXPECT_EQ(door->GetFlags() & GameplayArea::kHilighted, 0);
    // Two names of one text: the default wins.
    play->SetCursorPickup();
    EXPECT_EQ(play->GetCursorKind(), Gameplay::kCursorPickup);
    Run("_t = { events = {}, cursor = 'same' }");
    std::unique_ptr<TLuaTable> table(mManager->GetScript()->GetGlobalTable("_t"));
    GameplayArea same(*table, *table);
    play->SetCursorByName(&same);
    EXPECT_EQ(play->GetCursorKind(), Gameplay::kCursorDefault);
}

// A puzzle's own cursor (a name that is none of the location's kinds) is gone as soon as the
// scene it leads back to asks for the default: the arrow, not the puzzle's hand left over.
TEST_F(PlayTest, APuzzlesOwnCursorGivesWayToTheNextScenesDefault)
{
    CursorOverlayController overlay;
    mSettings->mOverlays["cursoroverlay"] = &overlay;
    PlayGameplay* play = Playing(", cursordefault = 'arrow', cursors = { "
                                 "{ main = { name = 'arrow', image = 't/cur' } }, "
                                 "{ main = { name = 'puzzle', image = 't/cur' } } }");
    auto current = [&]
    {
        const CursorOverlay* cursor = overlay.GetCurrent();
        return cursor != nullptr ? std::string(cursor->GetName().c_str()) : std::string();
    };
    MoveTo(100, 100);
    Frame(16);
    EXPECT_EQ(current(), "arrow");
    play->SwitchScene("puzzle");
    Until(*play, Gameplay::kPlay);
    RunFrames(3);
    EXPECT_EQ(current(), "puzzle") << "kept from frame to frame";
    play->SwitchScene("a");
    Until(*play, Gameplay::kPlay);
    Frame(16);
    EXPECT_EQ(current(), "arrow");
    EXPECT_EQ(play->GetCursorKind(), Gameplay::kCursorDefault);

    // The location goes before the overlay, on which it puts its default back as it closes.
    play->GetParent()->RemoveChild(play);
    delete play;
    mSettings->mOverlays.erase("cursoroverlay");
}

TEST_F(PlayTest, TheTransitionQuadOverTheSceneAndOverALoadingFrame)
{
    PlayGameplay* play = Playing();
    auto shot = [&](const char* golden)
    {
        DrawBlack([&] { play->Draw(); });
        rendertest::CompareWithGolden(*Data().mBackBuffer, {0, 0, 800, 600}, golden);
    };
    play->GetTransitionTransform().SetAlpha(0.5f);
    shot("gameplay_transition_half.png");
    EXPECT_EQ(play->TransitionAlphaByte(), 127u);
    play->GetTransitionTransform().SetAlpha(0.999f);
    EXPECT_EQ(play->TransitionAlphaByte(), 254u);
    play->SwitchScene("b");
    Until(*play, Gameplay::kSceneLoading);
    ASSERT_EQ(play->GetGameplayState(), Gameplay::kSceneLoading);
    play->GetTransitionTransform().SetAlpha(0.5f);
    shot("gameplay_transition_loading.png");
}

// Before its first frame the location covers what lies under it (the menu, white here) as its
// first scene's loading does: a pause dialog opened then shows over black, not over the menu.
TEST_F(PlayTest, TheFirstFrameCoversTheScreenUnderIt)
{
    PlayGameplay* play = Open();
    ASSERT_EQ(play->GetGameplayState(), Gameplay::kFirstFrame);
    TRenderer* renderer = TRenderer::Instance();
    ASSERT_TRUE(renderer->BeginDraw(false));
    renderer->FillRect(TRect(0, 0, 800, 600), TVec4(1, 1, 1, 1));
    play->Draw();
    EndFrame();
    EXPECT_EQ(Data().mBackBuffer->ReadPixel(400, 300) & 0xFFFFFFu, 0u);
}

TEST_F(PlayTest, FoundItemsFlyToTheStripAndCompleteTheirObject)
{
    PlayGameplay* play = Playing();
    play->ActivateEvent("give", true);
    ASSERT_TRUE(play->GetHud()->HasInventory("gem"));
    GameplayItem* item = play->FindItem("gem_item");
    item->Activate(false, nullptr);
    const int saves = play->mSaves;
    Press(*play, 105, 305);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting);
    EXPECT_FALSE(play->GetHud()->AreButtonsEnabled());
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(play->GetHud()->GetProgress(), 1);
    EXPECT_TRUE(play->GetHud()->AreButtonsEnabled());
    EXPECT_EQ(play->FindInventory("gem")->GetPartsFound(), 1);
    EXPECT_EQ(play->mSaves, saves);
    // Its last part queues the object's event for the play road.
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("loop"));

    // An item giving no object is reported, flies and counts.
    play->OnItemFound(play->FindItem("lost_item"));
    EXPECT_EQ(CountInLog("ERROR:Cannot find inventory 'none' for item 'lost_item'"), 1);
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(play->GetHud()->GetProgress(), 2);
}

TEST_F(PlayTest, HeldObjectsGoBackOrOutOfPlayAndAreUsedOnAreas)
{
    PlayGameplay* play = Playing();
    play->ActivateEvent("give", true);
    GameplayInventory* gem = play->FindInventory("gem");
    // Home elsewhere: it glides back to the strip and is held until it arrives.
    play->EquipInventory(gem);
    EXPECT_EQ(play->GetHeldInventory(), gem);
    play->UnequipInventory();
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting);
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(play->GetHeldInventory(), nullptr);
    // An object the strip cannot take, missed away from its scene, lies there.
    GameplayInventory* stone = play->FindInventory("stone");
    stone->AddFlags(GameplayInventory::kShown);
    play->EquipInventory(stone);
    play->UnequipInventory();
    EXPECT_EQ(play->GetHeldInventory(), nullptr);
    EXPECT_EQ(play->FindScene("b")->GetPlacedInventory(), std::vector<GameplayInventory*>{stone});
    play->FindScene("b")->RemoveInventory(stone);

    // Used: out of the strip at once; at the end the area's event is queued and marked used.
    play->SwitchScene("b");
    Until(*play, Gameplay::kPlay);
    GameplayArea* back = play->FindArea("back");
    play->EquipInventory(gem);
    play->mRealUse = true;
    play->UseInventory(gem, back);
    EXPECT_FALSE(play->GetHud()->HasInventory("gem"));
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting);
}

TEST_F(PlayTest, AreaGroupsTheStripButtonsAndMinigames)
{
    PlayGameplay* play = Playing();
    // An empty strip does not scroll, so nothing stays busy.
    Run("HudLeftClick() HudRightClick()");
    EXPECT_FALSE(play->IsHudBusy());
    // One member short: nothing; all complete or holding their correct object: the event.
    play->FindArea("g2")->SetFlags(GameplayArea::kCompleted);
    play->CheckAreaGroup("g");
    EXPECT_FALSE(play->GetHud()->HasInventory("gem"));
    play->FindArea("g1")->HoldInventory(play->FindInventory("gem"));
    play->CheckAreaGroup("g");
    EXPECT_TRUE(play->GetHud()->HasInventory("gem"));
    // Two quick presses on a strip with an object: busy until an end arrives.
    Run("HudLeftClick() HudLeftClick()");
    EXPECT_TRUE(play->IsHudBusy());
    for (int f = 0; f < 40 && play->IsHudBusy(); ++f)
        Frame(16);
    EXPECT_FALSE(play->IsHudBusy());
    play->FindArea("h1")->SetFlags(GameplayArea::kCompleted);
    play->CheckAreaGroup("h");
    EXPECT_EQ(CountInLog("ERROR:Cannot find event for group 'h'"), 1);

    // A placement ending during a minigame keeps it; no record is built here: the frame stores
    // the next calm point it finds.
    play->StartMinigame(2);
    const int saves = play->mSaves;
    play->EndMinigame(0);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kMinigame);
    EXPECT_EQ(play->mSaves, saves);
}

TEST_F(PlayTest, HintsSearchReachableScenesAndSwitchBeforeShowing)
{
    PlayGameplay* play = Playing(", tooltiphintvalidtarget = 'valid', "
                                 "tooltiphintnovalidtarget = 'none'");
    EXPECT_EQ(play->GetHintToolTipText(), TString("none"));
    // Nothing hintable: the selection does not open.
    play->BeginHintSelect();
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_FALSE(play->IsHudBusy());

    play->ActivateEvent("give", true);
    GameplayInventory* gem = play->FindInventory("gem");
    // Handing the object out made its items findable; none is, for now.
    EXPECT_NE(play->FindItem("gem_far")->GetFlags() & GameplayEntity::kActive, 0);
    play->FindItem("gem_item")->SetFlags(0);
    play->FindItem("gem_far")->SetFlags(0);
    EXPECT_FALSE(play->HasValidHintTarget());
    play->FindItem("gem_far")->Activate(false, nullptr);
    // A self-naming chain behind an active area ends the walk.
    play->FindArea("under")->Activate(false, nullptr);
    EXPECT_TRUE(play->FindAreaForInventory(gem));
    EXPECT_EQ(play->GetHintableInventory(), (std::vector<GameplayInventory*>{gem}));

    EXPECT_EQ(play->GetHintToolTipText(), TString("valid"));

    // Selection opens, then a click on nothing cancels it back to play.
    play->BeginHintSelect();
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kHintSelect);
    EXPECT_TRUE(play->IsHudBusy());
    for (int f = 0; f < 30 && play->IsHudBusy(); ++f)
        Frame(16);
    EXPECT_FALSE(play->IsHudBusy());
    Click(*play, 100, 100);
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);

    // Behind a door that is no portal: hintable, but the hint reports.
    play->FindArea("door")->SetFlags(0);
    play->FindArea("side")->Activate(false, nullptr);
    EXPECT_TRUE(play->FindAreaForInventory(gem));
    play->HintInventory(gem, true);
    EXPECT_EQ(CountInLog("ERROR:Cannot find item to hint for inventory 'gem'"), 1);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);

    // Through the portal: the switch first, the hint once the scene plays.
    play->FindArea("door")->Activate(false, nullptr);
    play->HintInventory(gem, true);
    EXPECT_TRUE(play->IsHintRequested());
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kSceneSwitch);
    Until(*play, Gameplay::kMinigame);
    EXPECT_EQ(play->GetActiveScene()->GetName(), TString("b"));
    EXPECT_FALSE(play->IsHintRequested());
    EXPECT_EQ(play->GetHintItem(), play->FindItem("gem_far"));
}

// An item found a moment ago stays active while it fades away: it is no target, so its object
// is not offered. An object offered whose item goes before the pick (put away by an event) ends
// the selection as a pick of nothing does, without a line and without a scene switch.
TEST_F(PlayTest, AFoundItemIsNoHintTargetAndAPickWhoseTargetWentCancels)
{
    PlayGameplay* play = Playing(", entityinfo = { areainfo = { imagemask = '_mask' }, "
                                 "layerinfo = {}, iteminfo = { imagemask = '_mask', "
                                 "timefound = 50, timetoinventory = 50, timefadeaway = 800 } }");
    ASSERT_EQ(play->GetGameplayState(), Gameplay::kPlay) << Log();
    play->ActivateEvent("give", true);
    GameplayInventory* gem = play->FindInventory("gem");
    GameplayItem* item = play->FindItem("gem_item");
    GameplayItem* far = play->FindItem("gem_far");
    far->SetFlags(0);
    ASSERT_TRUE(play->FindAreaForInventory(gem));
    play->OnItemFound(item);
    Until(*play, Gameplay::kPlay);
    ASSERT_NE(item->GetFlags() & GameplayEntity::kActive, 0) << "still fading away";
    EXPECT_FALSE(play->FindAreaForInventory(gem));
    EXPECT_FALSE(play->HasValidHintTarget());
    EXPECT_TRUE(play->GetHintableInventory().empty());

    far->Activate(false, nullptr);
    play->BeginHintSelect();
    ASSERT_EQ(play->GetGameplayState(), Gameplay::kHintSelect);
    for (int f = 0; f < 30 && play->IsHudBusy(); ++f)
        Frame(16);
    // Where the strip shows it (this HUD's strip lies at the screen's top).
    TPoint at(-1, -1);
    for (int y = 0; y < 100 && at.x < 0; y += 2)
        for (int x = 0; x < 800 && at.x < 0; x += 2)
            if (play->GetHud()->FindInventoryAt(TPoint(x, y)) == gem)
                at = TPoint(x, y);
    ASSERT_GE(at.x, 0);
    far->SetFlags(0);
    Press(*play, at.x, at.y);
    EXPECT_EQ(CountInLog("Cannot find item to hint"), 0);
    EXPECT_TRUE(play->IsHudBusy()) << "the strip goes back";
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
    EXPECT_FALSE(play->IsHudBusy());
    EXPECT_FALSE(play->IsHintRequested());
    EXPECT_EQ(play->GetActiveScene()->GetName(), TString("a"));
}

TEST_F(PlayTest, AHeldObjectDroppedOnAnAreaThatTakesIt)
{
    PlayGameplay* play = Playing();
    play->SwitchScene("b");
    Until(*play, Gameplay::kPlay);
    play->ActivateEvent("give", true);
    GameplayArea* holder = play->FindArea("g1");
    holder->Activate(true, nullptr);
    RunFrames(8);
    GameplayInventory* gem = play->FindInventory("gem");
    play->EquipInventory(gem);
    MoveTo(340, 190);
    RunFrames(8);
    Press(*play, 340, 190);
    EXPECT_EQ(holder->GetHeldInventory(), gem);
    EXPECT_EQ(play->GetHeldInventory(), nullptr);
    EXPECT_FALSE(play->GetHud()->HasInventory("gem")) << "taken from the strip";
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kWaiting);
    EXPECT_EQ(play->GetLastClickedArea(), holder);
    Until(*play, Gameplay::kPlay);
    EXPECT_EQ(play->GetPendingCallbacks(), 0);
    // Holding its correct object, the area is no longer offered to clicks.
    Press(*play, 340, 190);
    EXPECT_EQ(play->GetHeldInventory(), nullptr);
}

// A held object clicked on an area that has no event for it (a door whose plain click leads away)
// is a click on nothing: the object goes back to the strip, unused, with the unequip sound, and
// the door's own event does not run; so also when only the object's picture touches the door. An
// area with an event for the object still takes it.
TEST_F(PlayTest, AHeldObjectOnADoorWithoutItsEventGoesBackUnused)
{
    PlayGameplay* play = Playing(", audio = { inventoryunequip = 'boom' }");
    const int loadErrors = CountInLog("ERROR:");
    ToTheGem(*play);
    GameplayInventory* gem = play->FindInventory("gem");
    GameplayArea* back = play->FindArea("back");
    // On the door, and left of it with the gem's picture (right of and below the mouse) over it.
    for (const int x : {70, 5})
    {
        play->EquipInventory(gem);
        MoveTo(x, 200);
        RunFrames(8);
        Press(*play, x, 200);
        EXPECT_EQ(mAudio->GetSoundState("boom"), SoundEntry::kPlaying) << x;
        EXPECT_TRUE(play->mUsed.empty()) << x;
        EXPECT_EQ(play->GetNextEvent(), nullptr) << x;
        Until(*play, Gameplay::kPlay);
        EXPECT_EQ(play->GetHeldInventory(), nullptr) << x;
        EXPECT_TRUE(play->GetHud()->HasInventory("gem")) << x;
        EXPECT_EQ(gem->GetFlags() & GameplayInventory::kUsed, 0) << x;
        RunFrames(3);
        EXPECT_EQ(play->GetActiveScene()->GetName(), TString("b")) << x;
    }
    // Only the names the fixture's location lacks, said at its load.
    EXPECT_EQ(CountInLog("ERROR:"), loadErrors);

    // The door's one event made the gem's.
    back->GetClickEvents().front()->inventory = "gem";
    play->EquipInventory(gem);
    MoveTo(70, 200);
    RunFrames(8);
    Press(*play, 70, 200);
    EXPECT_EQ(play->mUsed, std::vector<GameplayArea*>{back});
}

// The object in the hand is used where it was pressed, whatever the last frame drew: pressed on
// the door as the pointer arrives there, and pressed there as the pointer moves on before the
// next frame.
TEST_F(PlayTest, AHeldObjectIsUsedWhereItWasPressed)
{
    PlayGameplay* play = Playing();
    ToTheGem(*play);
    GameplayInventory* gem = play->FindInventory("gem");
    GameplayArea* back = play->FindArea("back");
    back->GetClickEvents().front()->inventory = "gem";
    for (const bool movesOn : {false, true})
    {
        play->mUsed.clear();
        play->EquipInventory(gem);
        MoveTo(700, 450);
        RunFrames(8);
        if (!movesOn)
            MoveTo(70, 200);
        play->OnMouseDown(TPoint(70, 200));
        Frame(16);
        EXPECT_EQ(play->mUsed, std::vector<GameplayArea*>{back}) << movesOn;
        play->UnequipInventory();
        Until(*play, Gameplay::kPlay);
    }
}

} // namespace

namespace
{

const char kTipAndPrompt[] =
    ", tooltipbasic = { font = { '', 14, { 1, 1, 1, 1 } }, w = 120, h = 24, maxx = 800, "
    "maxy = 600, position = 10, borderwidth = 4, borderheight = 2, timeinitialwait = 0, "
    "timefade = 50, timevisible = 5000 }, tooltipcolor = { 0.1, 0.1, 0.5, 1 }, "
    "tutorials = { info = { fadetime = 100, arrowtime = 200, arrowdist = 0, "
    "arrowimage = 't/arrow.png', arrowcenterx = 8, arrowcentery = 8, dialog = 't/dialog.png', "
    "bounds = { x = 0, y = 0, w = 200, h = 40 }, font = { '', 16, { 1, 1, 1, 1 } } }, "
    "{ name = 'tut_gem', index = 1, arrowx = 500, arrowy = 80, dialogx = 780, dialogy = 180 } }";

// Over the scene and the HUD: the held gem at the mouse, the basic tool tip in the location's
// colour from the mouse on (over all but the gem's last rows), the tutorial prompt across the
// tool tip's end; while input is locked the penalty cursor lies over them all.
TEST_F(PlayTest, ToolTipsAndPromptsOverTheHeldObjectAndThePenaltyCursorOverAll)
{
    adventuretest::LoadStrings({{"door_label", "The door"}, {"tut_gem", "Bring the gem here."}});
    Image("t/arrow.png", 16, 16, 0xFFE0E020);
    Image("t/dialog.png", 240, 80, 0xFF603040);
    // The held gem drawn three times its size, so that it shows beside the tool tip.
    PlayGameplay* play = Open(std::string(kTipAndPrompt) +
                              ", inventoryinfo = { imagemask = '_mask', scaleequip = 3, "
                              "timeequip = 50, timeunequip = 50, timetouse = 50, "
                              "timevisible = 50, timetomove = 50, barwidth = 0 }");
    ASSERT_NE(play->Basic(), nullptr);
    ASSERT_NE(play->Tutorials(), nullptr);
    Until(*play, Gameplay::kPlay);
    play->ActivateEvent("give", true);
    Until(*play, Gameplay::kPlay);
    GameplayInventory* gem = play->FindInventory("gem");
    play->EquipInventory(gem);
    MoveTo(630, 150);
    Frame(16);
    play->Tutorials()->ShowTutorial("tut_gem", TVec2(0, 0));
    RunFrames(12);
    ASSERT_EQ(play->GetHeldInventory(), gem) << play->GetGameplayState();
    ASSERT_EQ(play->Basic()->GetText(), TString("The door"));
    auto shot = [&] { DrawBlack([&] { mManager->RenderModals(0); }); };
    shot();
    // The prompt's arrow, the door, the tool tip, the gem, the prompt and the HUD below.
    rendertest::CompareWithGolden(*Data().mBackBuffer, {480, 60, 800, 600},
                                  "gameplay_tool_tip_prompt_order.png");
    const uint32_t under = Back(633, 153);
    play->StartCrazyClickPenalty();
    shot();
    EXPECT_EQ(Back(633, 153), 0xFFFFFFu);
    EXPECT_NE(under, 0xFFFFFFu);
}

// A picture the location lacks (an object's in the strip, an area's and its mask, a layer's, an
// item's) is said once, however many frames pass and however often the textures are made again
// (a display loss, the scene left and entered again), and the scene's other textures still come
// back.
TEST_F(PlayTest, AMissingPictureIsSaidOnce)
{
    mAmend = R"(
        table.insert(g.inventory, { name = 'lost', image = 't/nothing', homescene = 'a',
                                    partcount = 1 })
        table.insert(g.a.areas, { name = 'blank', image = 't/nothing', x = 0, y = 0,
                                  events = {} })
        table.insert(g.a.layers, { name = 'gone', image = 't/gone', x = 0, y = 0 })
        table.insert(g.a.items, { name = 'gone_item', image = 't/gone_item', x = 0, y = 0,
                                  inventory = 'gem', inventoryparts = { 1 } })
        table.insert(g.events, { name = 'give_lost', inventorytoactivate = { 'lost', 'gem' },
                                 areastoactivate = { 'blank' }, layerstoactivate = { 'gone' } })
    )";
    PlayGameplay* play = Playing();
    play->ActivateEvent("give_lost", false);
    for (int i = 0; i < 40; ++i)
        Frame(16);
    ASSERT_TRUE(play->GetHud()->HasInventory("lost"));
    auto* scene = static_cast<CountingScene*>(play->GetActiveScene());
    for (int loss = 0; loss < 2; ++loss)
    {
        Data().mWorkingCount = 3;
        Data().mDirectDraw->LoseAllSurfaces();
        Data().Restore();
        for (int i = 0; i < 3; ++i)
        {
            sys::AdvanceManualClock(20);
            mManager->DrawFrame();
            Frame(16);
        }
    }
    EXPECT_EQ(CountInLog("CreateCollisionMaskAndHilite failed."), 1);
    EXPECT_EQ(CountInLog("CreateCollisionMask failed"), 1);
    EXPECT_EQ(CountInLog("is failing"), 0);
    EXPECT_EQ(scene->mRestores, 2);
    play->SwitchScene("b");
    Until(*play, Gameplay::kPlay);
    play->SwitchScene("a");
    Until(*play, Gameplay::kPlay);
    for (const char* said :
         {"Cannot find picture 't/nothing' of 'blank'", "Cannot find picture 't/gone' of 'gone'",
          "Cannot find picture 't/gone_item' of 'gone_item'"})
        EXPECT_EQ(CountInLog(said), 1) << said;
    Press(*play, 650, 200);
    EXPECT_EQ(play->GetNextEvent(), play->FindEvent("go_b"));
}

// After a display loss the frame driver has the location rebuild its masks: an object that
// cannot (its mask's file unreadable when the textures came back) answers false before the
// objects after it and the scene, is reported, and is tried again on the next frame; once a
// later reset has brought its mask back, the strip finds the object under the mouse again and
// it can be dropped on an area.
TEST_F(PlayTest, AfterADisplayLossTheMasksComeBackAndAFailureIsTriedAgain)
{
    PlayGameplay* play = Playing();
    play->ActivateEvent("give", true);
    Until(*play, Gameplay::kPlay);
    GameplayInventory* gem = play->FindInventory("gem");
    ASSERT_EQ(play->GetHud()->GetShownInventory().size(), 1u);
    const TRect place = gem->GetRect();
    const TPoint middle((place.left + place.right) / 2, (place.top + place.bottom) / 2);
    ASSERT_EQ(play->GetHud()->FindInventoryAt(middle), gem);
    auto* scene = static_cast<CountingScene*>(play->GetActiveScene());

    // The gem's mask can no longer be read.
    File("t/gem_mask.png", "not a picture");
    Data().mWorkingCount = 3;
    Data().mDirectDraw->LoseAllSurfaces();
    Data().Restore();
    const std::string report = "ERROR:play is failing!";
    for (int frame = 1; frame <= 2; ++frame)
    {
        sys::AdvanceManualClock(20);
        mManager->DrawFrame();
        Frame(16);
        EXPECT_EQ(CountInLog(report), frame);
        EXPECT_EQ(CountInLog("CreateCollisionMaskAndHilite failed."), frame);
        EXPECT_EQ(scene->mRestores, 0) << "the scene waits for the objects";
    }
    Image("t/gem_mask.png", 20, 20, 0xFFFFFFFF);
    Data().mWorkingCount = 3;
    Data().mDirectDraw->LoseAllSurfaces();
    Data().Restore();
    sys::AdvanceManualClock(20);
    mManager->DrawFrame();
    Frame(16);
    EXPECT_EQ(CountInLog(report), 2);
    EXPECT_EQ(scene->mRestores, 1);
    EXPECT_EQ(play->GetHud()->FindInventoryAt(middle), gem);
    // Held over the door, the gem's mask meets the door's again.
    play->EquipInventory(gem);
    MoveTo(650, 200);
    RunFrames(6);
    EXPECT_TRUE(play->FindArea("door")->TestInventoryDrop(gem));
    MoveTo(300, 200);
    RunFrames(6);
    EXPECT_FALSE(play->FindArea("door")->TestInventoryDrop(gem));
}

// A prompt fading in stands still while the location is paused and goes on after the resume.
TEST_F(PlayTest, APausedLocationHoldsItsShowingPrompt)
{
    adventuretest::LoadStrings({{"tut_gem", "Bring the gem here."}});
    Image("t/arrow.png", 16, 16, 0xFFE0E020);
    Image("t/dialog.png", 240, 80, 0xFF603040);
    PlayGameplay* play = Playing(kTipAndPrompt);
    play->Tutorials()->ShowTutorial("tut_gem", TVec2(0, 0));
    Frame(16);
    Frame(16);
    GameplayTutorial* prompt = play->Tutorials()->GetActive();
    ASSERT_NE(prompt, nullptr);
    const float alpha = prompt->GetSpecTransform().GetAlpha();
    ASSERT_GT(alpha, 0.0f);
    ASSERT_LT(alpha, 1.0f);
    play->PauseGame();
    RunFrames(10);
    EXPECT_EQ(prompt->GetSpecTransform().GetAlpha(), alpha);
    play->ResumeGame();
    RunFrames(10);
    EXPECT_EQ(prompt->GetSpecTransform().GetAlpha(), 1.0f);
    EXPECT_EQ(prompt->GetState(), GameplayTutorial::kShown);
}

} // namespace

namespace
{

// A close with an event pending runs the location on past it: the door's click queued its switch,
// and the location is stored in the other scene, nothing pending.
TEST_F(PlayTest, ACloseRunsAPendingEventBeforeTheLocationIsStored)
{
    PlayGameplay* play = Playing();
    Press(*play, 650, 200);
    ASSERT_EQ(play->GetNextEvent(), play->FindEvent("go_b"));
    play->OnClose();
    EXPECT_EQ(play->GetNextEvent(), nullptr);
    EXPECT_EQ(play->GetActiveScene(), play->FindScene("b"));
    EXPECT_EQ(play->GetGameplayState(), Gameplay::kPlay);
}

// The steps a close runs the location on by are none of the player's. A click pressed as the
// window closes is not acted on: the held gem stays in the hand, as the close found it.
TEST_F(PlayTest, AClickPressedAsTheLocationClosesIsNotActedOn)
{
    PlayGameplay* play = Playing();
    play->ActivateEvent("give", true);
    RunFrames(8);
    GameplayInventory* gem = play->FindInventory("gem");
    play->EquipInventory(gem);
    MoveTo(300, 450);
    RunFrames(8);
    // The glow holds the clicks for 100 ms: the close's first step ends it, and play goes on.
    play->ActivateEvent("glow_wait", false);
    RunFrames(2);
    ASSERT_TRUE(play->IsBlockingAnimation());
    Click(*play, 300, 450);
    play->OnClose();
    EXPECT_FALSE(play->IsBlockingAnimation());
    EXPECT_EQ(play->GetHeldInventory(), gem);
}

// Nor is the pointer on the picture while a close runs the location on: the door it rests on is
// not lit, its sound not played. The frames after the close's steps step as before them.
TEST_F(PlayTest, AClosesStepsLeaveThePointerOffThePictureAndTheFramesAsTheyWere)
{
    PlayGameplay* play = Playing(", audio = { areahilight = 'boom' }");
    MoveTo(300, 450);
    RunFrames(8);
    play->ActivateEvent("glow_wait", false);
    ASSERT_TRUE(play->IsBlockingAnimation());
    MoveTo(650, 200);
    play->OnClose();
    EXPECT_FALSE(play->IsBlockingAnimation());
    EXPECT_NE(mAudio->GetSoundState("boom"), SoundEntry::kPlaying);
    EXPECT_EQ(play->FindArea("door")->GetFlags() & GameplayArea::kHilighted, 0);
    Frame(16);
    EXPECT_EQ(DeltaTime::Instance()->GetStep(), 16u);
}

// The hint trackers are asked in the HUD window's coordinates (the HUD stands at y 500): a click
// tests an available tracker, then selects it when a hint has a target; without a target the
// hover test follows.
TEST_F(PlayTest, HintTrackersAreAskedInTheHudsOwnPlace)
{
    mManager->RegisterWindowType("GameplayHud", &TrackerHud::Create);
    PlayGameplay* play = Playing();
    auto* hud = dynamic_cast<TrackerHud*>(play->GetHud());
    ASSERT_NE(hud, nullptr);
    hud->mTested.clear();
    Press(*play, 700, 560);
    EXPECT_EQ(hud->mTested, (std::vector<std::vector<int>>{{700, 60, 1}, {700, 60, 0}}));
    EXPECT_TRUE(hud->mSelected.empty());
    hud->mTested.clear();
    play->mValidHint = true;
    Press(*play, 650, 530);
    EXPECT_EQ(hud->mTested, (std::vector<std::vector<int>>{{650, 30, 1}}));
    EXPECT_EQ(hud->mSelected, (std::vector<std::vector<int>>{{650, 30}}));
}

} // namespace

} // namespace gameplay_frame_test
