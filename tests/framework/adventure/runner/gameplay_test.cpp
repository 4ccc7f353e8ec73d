// The location runner built by the real window script over locations the tests write: its life
// (the cursor overlay, the script functions, two windows), the outstanding-callback count, and
// loading: the lists in table order, the keys' defaults and odd types, and every fatal report.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_sound.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/player_data.h"
#include "framework/adventure/scene/gameplay_animation.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/screen_test_support.h"
#include "framework/widgets/cursor_overlay.h"
#include "framework/widgets/model_portal.h"
#include "script/lua_object_wrapper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gameplay_test
{
namespace
{

// Builds the areas of a scene's "areas" list.
struct AreaFactory : GameplayFactory
{
    std::vector<std::shared_ptr<GameplayEntity>> CreateEntities(const TLuaTable& scene,
                                                                const TLuaTable&) override
    {
        std::vector<std::shared_ptr<GameplayEntity>> made;
        std::unique_ptr<TLuaTable> areas(scene.GetTable("areas"));
        TLuaObjectWrapper* key = nullptr;
        while (areas != nullptr)
        {
            std::unique_ptr<TLuaTable> area(areas->Next(&key));
            if (area == nullptr)
                break;
            made.push_back(std::make_shared<GameplayArea>(*area, *area));
        }
        return made;
    }
};

// Records what the creation slots are given and how often the location is saved.
struct ProbeGameplay : Gameplay
{
    static TWindow* Create() { return new ProbeGameplay; }
    std::shared_ptr<GameplayFactory> CreateFactory() override
    {
        return std::make_shared<AreaFactory>();
    }
    std::shared_ptr<GameplayScene> CreateScene(const TString& name, GameplayFactory& factory,
                                               const TLuaTable& scene, const TLuaTable& entityInfo,
                                               const TLuaTable* playlist,
                                               const TLuaTable& sceneInfo,
                                               const TString& minigame) override
    {
        mMinigames.push_back(std::string(name.c_str()) + "=" + minigame.c_str());
        return Gameplay::CreateScene(name, factory, scene, entityInfo, playlist, sceneInfo,
                                     minigame);
    }
    void SaveLocationState(bool) override { ++mSaves; }
    int32_t CursorKindCount() const { return mCursorKind; }
    std::vector<std::string> mMinigames;
    int mSaves = 0;
};

const char kHud[] = "GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
                    "background = { image = 'hud/bg.png', x = 0, y = 0 }, "
                    "foreground = { image = 'hud/bg.png', x = 0, y = 0 }, "
                    "progressbar = { image = 'hud/bg.png', x = 600, y = 40 }, "
                    "inventorybounds = { x = 100, y = 510, w = 300, h = 80 } }";

// The style keys every load needs; a test adds, replaces (a later key wins) or removes them.
const char kStyle[] =
    "characterinfo = { scrim = {}, conversation_info = {}, info = {} }, "
    "playlist = { location01 = { a = {}, b = {} } }, sceneinfo = {}, entityinfo = {}, "
    "animatedcursorinfo = {}, locationnumber = 1";

const char kInstructions[] =
    "gameplayinstructions = { conversations = {}, scenes = { 'a', 'b' }, a = {}, b = {}, "
    "events = { { name = 'e1' }, { name = 'e2' }, { name = 'e3' } }, "
    "initial_event = 'e2', active_scene = 'b' }";

class GameplayTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("Gameplay", &ProbeGameplay::Create);
        mManager->RegisterWindowType("GameplayHud", &GameplayHud::Create);
        Image("hud/bg.png", 800, 100, 0xFF303030);
        mPlayer = std::make_unique<PlayerData>();
    }
    void TearDown() override
    {
        Run("gameplayinstructions = nil");
        mPlayer.reset();
        ScreenTest::TearDown();
    }
    std::unique_ptr<PlayerData> mPlayer;

    // A runner under the root named `name`, its style `style` plus `extra`, with a HUD unless
    // `hud` is false.
    ProbeGameplay* Open(const std::string& extra = "", const char* name = "gameplay",
                        bool hud = true, const std::string& style = kStyle)
    {
        Run(std::string("Gameplay{ name = '") + name + "', x = 0, y = 0, w = 800, h = 600, " +
            style + extra + (hud ? std::string(", ") + kHud : std::string()) + " }()");
        TWindow* found = mManager->GetRoot()->FindChild(name, 0xFFFFFFFFu);
        return found != nullptr && found->IsKindOf(Gameplay::GetClassId())
                   ? static_cast<ProbeGameplay*>(found)
                   : nullptr;
    }
    ProbeGameplay* Load(const std::string& instructions, const std::string& extra = "")
    {
        Run(instructions);
        return Open(extra);
    }
    static void Close(TWindow* window)
    {
        window->GetParent()->RemoveChild(window);
        delete window;
    }
    std::string Global(const std::string& expression)
    {
        Run("_probe = tostring(" + expression + ")");
        return mManager->GetScript()->GetGlobalString("_probe").c_str();
    }
    template <class List> static std::vector<std::string> Names(const List& list)
    {
        std::vector<std::string> names;
        for (const auto& object : list)
            names.push_back(object->GetName().c_str());
        return names;
    }
};

TEST_F(GameplayTest, TheCursorOverlayIsKeptOnlyWhenItIsOne)
{
    // No registry entry: null, and the name is entered empty.
    ProbeGameplay* none = Open("", "none");
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->GetCursorOverlay(), nullptr);
    EXPECT_EQ(mSettings->mOverlays.count("cursoroverlay"), 1u);
    Close(none);

    GameWindow other;
    mSettings->mOverlays["cursoroverlay"] = &other;
    ProbeGameplay* wrong = Open("", "wrong");
    EXPECT_EQ(wrong->GetCursorOverlay(), nullptr);
    Close(wrong);

    CursorOverlayController overlay;
    mSettings->mOverlays["cursoroverlay"] = &overlay;
    Run(kInstructions);
    ProbeGameplay* kept = Open(", cursordefault = 'arrow', cursorpickup = 'hand', cursors = { "
                               "{ main = { name = 'arrow', image = 'hud/bg.png' } }, "
                               "{ main = { name = 'hand', image = 'hud/bg.png' } } }",
                               "kept");
    EXPECT_EQ(kept->GetCursorOverlay(), &overlay);
    EXPECT_EQ(overlay.GetCursors().size(), 2u);
    // Going, it shows the default cursor and removes the pickup one.
    Close(kept);
    ASSERT_EQ(overlay.GetCursors().size(), 1u);
    EXPECT_EQ(overlay.GetCursors()[0]->GetName(), TString("arrow"));
    mSettings->mOverlays.erase("cursoroverlay");
}

TEST_F(GameplayTest, ScriptFunctionsBelongToTheNewestWindowAndGoWithIt)
{
    Run(kInstructions);
    ProbeGameplay* older = Open("", "older");
    ASSERT_NE(older, nullptr);
    EXPECT_EQ(mManager->GetFocus(), older);
    for (const char* name : {"HudLeftClick", "HudRightClick", "GameplayStartAnimation",
                             "GameplayEndAnimation", "GameplayActivateEvent"})
        EXPECT_EQ(Global(std::string("type(") + name + ")"), "function") << name;
    ProbeGameplay* newer = Open("", "newer");
    Close(older);
    EXPECT_EQ(Global("type(GameplayActivateEvent)"), "function");
    Run("GameplayActivateEvent('e3')");
    EXPECT_EQ(newer->GetNextEvent(), newer->GetEvents()[2].get());
    Close(newer);
    for (const char* name : {"HudLeftClick", "HudRightClick", "GameplayStartAnimation",
                             "GameplayEndAnimation", "GameplayActivateEvent"})
        EXPECT_EQ(Global(name), "nil") << name;
    EXPECT_EQ(Global("pcall(GameplayActivateEvent, 'e1')"), "false");

    // A window never loaded stops no sound: every index is 0.
    ProbeGameplay* bare = Open("", "bare", false);
    for (int32_t index : bare->GetSoundIndices())
        EXPECT_EQ(index, 0);
    Close(bare);
}

TEST_F(GameplayTest, StartsAndEndsOfAnimationsCountCallbacks)
{
    ProbeGameplay* gameplay = Load(kInstructions);
    ASSERT_NE(gameplay, nullptr);
    EXPECT_NE(gameplay->GetNextEvent(), nullptr);
    Run("GameplayActivateEvent('nothing')");
    EXPECT_EQ(gameplay->GetNextEvent(), nullptr);

    Run("GameplayStartAnimation() GameplayStartAnimation() GameplayEndAnimation()");
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kWaiting);
    EXPECT_EQ(gameplay->GetPendingCallbacks(), 1);
    Run("GameplayEndAnimation()");
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kPlay);
    Run("GameplayEndAnimation()");
    EXPECT_EQ(CountInLog("ERROR:Too many callbacks reported   FILE:gameplay"), 1);
    EXPECT_EQ(gameplay->GetPendingCallbacks(), 0);
    // The waits' end builds no record: the frame stores a calm point when it finds one.
    EXPECT_EQ(gameplay->mSaves, 0);
    // The slot's own callback is no report: only the script's end ends its wait.
    Run("GameplayStartAnimation()");
    gameplay->GetCallback(Gameplay::kCallbackReported)->Call(nullptr, 5);
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kWaiting);
    Run("GameplayEndAnimation()");
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kPlay);

    // The play time wraps at 2^32 ms.
    gameplay->AddPlayTime(0xFFFFFFF0u);
    gameplay->AddPlayTime(0x20);
    EXPECT_EQ(gameplay->GetPlayTime(), 0x10u);
    EXPECT_TRUE(gameplay->IsKindOf(GameWindow::GetClassId()));
    EXPECT_TRUE(gameplay->IsKindOf(TWindow::GetClassId()));
    EXPECT_STREQ(gameplay->GetClassName(), "Gameplay");
}

TEST_F(GameplayTest, AFullLocationLoadsEveryListInTableOrder)
{
    ProbeGameplay* gameplay =
        Load("gameplayinstructions = { conversations = {}, scenes = { 'c', 'a', 'b' }, "
             "a = {}, b = {}, c = {}, minigames = { a = 'puzzle' }, "
             "events = { { name = 'e1' }, { name = 'e2', inventorytoactivate = { 'i1', 'i2' } } "
             "}, groupevents = { [1] = 'one', ['1'] = 'uno', g = 'e2' }, "
             "inventory = { { name = 'i1', partcount = 1 }, { name = 'i2', partcount = 1 } }, "
             "soundeffects = { { name = 's1', groupid = 9, sounds = {} }, { name = 's2', sounds = "
             "{} } }, "
             "initial_event = 'e1', active_scene = 'a' }",
             ", inventoryinfo = { barwidth = 0 }, soundeffectsgroupid = 3, playlistinfo = {}, "
             "playlist = { location01 = { a = {}, b = {}, c = {} } }");
    ASSERT_NE(gameplay, nullptr);
    EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kFirstFrame);
    EXPECT_EQ(mPlayer->GetGameState(), PlayerData::kInLocation);
    EXPECT_NE(gameplay->GetHud(), nullptr);
    EXPECT_EQ(Names(gameplay->GetScenes()), (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(Names(gameplay->GetEvents()), (std::vector<std::string>{"e1", "e2"}));
    EXPECT_EQ(Names(gameplay->GetInventory()), (std::vector<std::string>{"i1", "i2"}));
    EXPECT_EQ(gameplay->GetSounds().size(), 2u);
    EXPECT_EQ(gameplay->mMinigames, (std::vector<std::string>{"c=", "a=puzzle", "b="}));
    EXPECT_EQ(gameplay->GetActiveScene(), gameplay->FindScene("a"));
    EXPECT_EQ(gameplay->GetNextEvent(), gameplay->FindEvent("e1"));
    EXPECT_EQ(gameplay->FindInventory("i2"), gameplay->GetInventory()[1].get());
    EXPECT_EQ(gameplay->FindArea("none"), nullptr);
    // 1 and "1" are one key.
    EXPECT_EQ(gameplay->GetGroupEvents().size(), 2u);
    EXPECT_EQ(gameplay->GetGroupEvents().count("1"), 1u);
    EXPECT_EQ(gameplay->GetGroupEvents().at("g"), TString("e2"));
    // The group is written into the tables themselves.
    EXPECT_EQ(Global("gameplayinstructions.soundeffects[1].groupid"), "3");
    EXPECT_EQ(Global("gameplayinstructions.soundeffects[2].groupid"), "3");
    // Each scene's music got its playlist, after the controller's own.
    EXPECT_EQ(gameplay->GetScenes()[0]->GetPlaylistIndex(), 1);
    EXPECT_EQ(gameplay->GetScenes()[2]->GetPlaylistIndex(), 3);
    // Defaults.
    EXPECT_EQ(gameplay->GetToolTipColor(), TVec4(0, 0, 0, 1));
    EXPECT_EQ(gameplay->GetLoadingCursorDelay(), 500);
    EXPECT_EQ(gameplay->GetCrazyClickCount(), 0);
    // Only the group's event the location lacks is said.
    EXPECT_EQ(CountInLog("ERROR:The location has no event '"), 1);
    EXPECT_EQ(CountInLog("ERROR:"), 1);
}

TEST_F(GameplayTest, AnimationsInListOrderAndAModelPortalPerPortalCursor)
{
    ProbeGameplay* gameplay =
        Load("gameplayinstructions = { conversations = {}, scenes = { 'a', 'b' }, "
             "a = { areas = { { name = 'door', portalcursor = 'lamp', events = {} }, "
             "{ name = 'box', events = {} } } }, "
             "b = { areas = { { name = 'gate', portalcursor = 'key', events = {} } } }, "
             "animations = { { name = 'x', layer = 'l' }, { name = 'y' }, { name = 'z' } } }");
    ASSERT_NE(gameplay, nullptr);
    ASSERT_EQ(Names(gameplay->GetAnimations()), (std::vector<std::string>{"x", "y", "z"}));
    EXPECT_EQ(gameplay->GetAnimations()[2]->GetId(), 2);
    EXPECT_EQ(gameplay->FindAnimation("y"), gameplay->GetAnimations()[1].get());
    EXPECT_EQ(gameplay->FindAnimation("w"), nullptr);
    EXPECT_EQ(gameplay->FindArea("gate")->GetPortalCursor(), TString("key"));
    std::vector<std::string> portals;
    for (const auto& portal : gameplay->GetModelPortals()->GetPortals())
        portals.push_back(portal->mName.c_str());
    EXPECT_EQ(portals, (std::vector<std::string>{"lamp", "key"}));
}

TEST_F(GameplayTest, KeysTakeTheirDefaultsAndOddTypesDoNoHarm)
{
    // Group 0 leaves every sound its own; penalty numbers stay 0 without "crazyclick".
    ProbeGameplay* plain = Load(
        "gameplayinstructions = { conversations = {}, scenes = { 'a' }, a = {}, "
        "soundeffects = { { name = 's1', groupid = 9, sounds = {} } } }",
        ", soundeffectsgroupid = 0, crazyclickcounttoactivate = 3, crazyclickpathduration = 900, "
        "tooltipcolor = 7, loadingcursortimetoshow = 0/0, timescenetransition = 'slow'");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(Global("gameplayinstructions.soundeffects[1].groupid"), "9");
    EXPECT_EQ(plain->GetCrazyClickCount(), 0);
    EXPECT_EQ(plain->GetCrazyClickDuration(), 0);
    EXPECT_EQ(plain->GetToolTipColor(), TVec4(0, 0, 0, 1));
    EXPECT_EQ(plain->GetLoadingCursorDelay(), 0);
    EXPECT_EQ(plain->GetSceneTransitionTime(), 0);
    // Without "active_scene" the first scene is shown, said once.
    EXPECT_EQ(plain->GetActiveScene(), plain->FindScene("a"));
    EXPECT_EQ(CountInLog("Gameplay: no 'active_scene'; the first scene is shown"), 1);
    EXPECT_EQ(plain->GetNextEvent(), nullptr);
    Close(plain);

    // Wrong-typed lists and a scene name without a table: an empty scene, one line. A sound
    // that reports its own fatal error does not stop the load, which reads on safely.
    ProbeGameplay* odd = Load("gameplayinstructions = { conversations = {}, scenes = { 'x', 7 }, "
                              "events = 5, groupevents = 'g', inventory = 0/0, soundeffects = "
                              "{ 3, 'no', { name = 'bad' } }, [7] = {} }",
                              ", playlist = { location01 = {} }");
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->GetGameplayState(), Gameplay::kFirstFrame);
    EXPECT_EQ(Names(odd->GetScenes()), (std::vector<std::string>{"x", "7"}));
    EXPECT_TRUE(odd->GetEvents().empty());
    EXPECT_EQ(odd->GetSounds().size(), 1u);
    EXPECT_EQ(CountInLog("Gameplay: scene 'x' has no table in the location; it is empty"), 1);
    // No "playlistinfo": the scenes' music is skipped, said once.
    EXPECT_EQ(CountInLog("Gameplay: no 'playlistinfo'; the scenes' music is not registered"), 2);
    EXPECT_EQ(CountInLog("No sound files for SoundEffect"), 1) << Log();
    EXPECT_EQ(CountInLog("FILE:gameplay "), 0);

    // With "crazyclick" the penalty numbers are read.
    Close(odd);
    ProbeGameplay* crazy =
        Load(kInstructions, ", crazyclick = { main = { name = 'c', image = 'hud/bg.png' } }, "
                            "crazyclickcounttoactivate = 3, crazyclickpathduration = 900.7, "
                            "crazyclicktimetoremoveclick = 1000, crazyclickpath = 'p.txt'");
    EXPECT_EQ(crazy->GetCrazyClickCount(), 3);
    EXPECT_EQ(crazy->GetCrazyClickDuration(), 900);
    EXPECT_EQ(crazy->GetCrazyClickTime(), 1000);
    EXPECT_EQ(crazy->GetCrazyClickPath(), TString("p.txt"));
}

TEST_F(GameplayTest, TheLocationNumberNamesItsPlaylist)
{
    for (int number : {7, 12, 123})
    {
        char entry[16];
        std::snprintf(entry, sizeof entry, "location%02d", number);
        Run(kInstructions);
        const std::string name = "n" + std::to_string(number);
        ProbeGameplay* gameplay = Open(", locationnumber = " + std::to_string(number) +
                                           ", playlist = { " + entry + " = {} }",
                                       name.c_str());
        ASSERT_NE(gameplay, nullptr);
        EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kFirstFrame) << entry;
        EXPECT_EQ(gameplay->GetLocationNumber(), number);
        Close(gameplay);
    }
    EXPECT_EQ(CountInLog("ERROR:"), 0);
}

TEST_F(GameplayTest, EachMissingTableIsFatalAndStopsTheLoad)
{
    const struct
    {
        std::string instructions;
        std::string extra;
        bool hud;
        const char* message;
    } cases[] = {
        {kInstructions, "", false, "Cannot find GameplayHud in Gameplay!"},
        {"gameplayinstructions = 5", "", true, "Cannot find gameplayinstructions global table!"},
        {kInstructions, ", characterinfo = 0/0", true,
         "Cannot find 'characterinfo' table for Gameplay!"},
        {"gameplayinstructions = { scenes = {} }", "", true,
         "Cannot find 'conversations' in location script!"},
        {"gameplayinstructions = { conversations = {}, scenes = {}, inventory = {} }", "", true,
         "Cannot find 'inventoryinfo' in Gameplay!"},
        {kInstructions, ", sceneinfo = 3", true, "Cannot find 'sceneinfo' table for Gameplay!"},
        {kInstructions, ", playlist = 'x'", true, "Cannot find 'playlist' table for Gameplay!"},
        {kInstructions, ", locationnumber = 2", true, "Cannot find playlist for current location!"},
        {kInstructions, ", entityinfo = false", true,
         "Cannot find 'entityinfo' table for Gameplay!"},
        {"gameplayinstructions = { conversations = {} }", "", true,
         "Cannot find 'scenes' for current location!"},
        {kInstructions, ", animatedcursorinfo = 1", true,
         "Cannot find 'animatedcursorinfo' in Gameplay!"},
    };
    int i = 0;
    for (const auto& c : cases)
    {
        Run(c.instructions);
        const std::string name = "broken" + std::to_string(i++);
        const int before = CountInLog("ERROR:");
        ProbeGameplay* gameplay = Open(c.extra, name.c_str(), c.hud);
        ASSERT_NE(gameplay, nullptr) << c.message;
        EXPECT_EQ(CountInLog(std::string("ERROR:") + c.message + "   FILE:gameplay LINE:"), 1)
            << c.message;
        EXPECT_EQ(CountInLog("ERROR:"), before + 1) << c.message;
        // Nothing after the report: no first frame, no first scene or event.
        EXPECT_EQ(gameplay->GetGameplayState(), Gameplay::kPlay) << c.message;
        EXPECT_EQ(gameplay->GetActiveScene(), nullptr);
        EXPECT_EQ(gameplay->GetNextEvent(), nullptr);
        EXPECT_EQ(mPlayer->GetGameState(), PlayerData::kNewGame);
        Close(gameplay);
    }
}

TEST(GameplayFactoryTest, AppendMissingStringsKeepsTheSourceOrderOnce)
{
    std::vector<TString> target = {"a", "b"};
    AppendMissingStrings(target, {"c", "a", "d", "c", "d"});
    EXPECT_EQ(target, (std::vector<TString>{"a", "b", "c", "d"}));
    AppendMissingStrings(target, {});
    EXPECT_EQ(target.size(), 4u);
}

} // namespace

} // namespace gameplay_test
