// The puzzle scenes a location names: each row's script in a context of its own, the class its
// puzzle installed built from it, the row's failure line, and the base's scene for the rest.
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/screen_test_support.h"
#include "game/runner/mkw_gameplay.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

// Set when the context a puzzle was built from is destroyed.
bool gContextGone = false;
lua_State* gWindowState = nullptr;

struct ContextWatch : TLuaObjectWrapper
{
    explicit ContextWatch(lua_State* L) : TLuaObjectWrapper(L) {}
    ~ContextWatch() override { gContextGone = true; }
};

// A puzzle of the test's own: it keeps what its script left in the table "puzzle".
struct StandInPuzzle : GameplayScene
{
    StandInPuzzle(GameplayFactory& factory, const TLuaTable& entityInfo, const TString& name,
                  const TLuaTable& scene, const TLuaTable* playlist, const TLuaTable& sceneInfo,
                  TScript& script)
        : GameplayScene(factory, entityInfo, name, scene, playlist, sceneInfo)
    {
        ownState = script.GetState() != gWindowState;
        std::unique_ptr<TLuaTable> table{script.GetGlobalTable("puzzle")};
        if (table != nullptr)
            row = table->GetString("row").c_str();
        lua_pushnil(script.GetState());
        script.QueueDelete(new ContextWatch(script.GetState()));
        gContextGone = false;
    }
    static std::shared_ptr<GameplayScene> Create(GameplayFactory& factory,
                                                 const TLuaTable& entityInfo, const TString& name,
                                                 const TLuaTable& scene, const TLuaTable* playlist,
                                                 const TLuaTable& sceneInfo, TScript& script)
    {
        auto made = std::make_shared<StandInPuzzle>(factory, entityInfo, name, scene, playlist,
                                                    sceneInfo, script);
        made->contextGoneWhileBuilt = gContextGone;
        return made;
    }
    std::string row;
    bool ownState = false;
    bool contextGoneWhileBuilt = true;
};

const char* const kClasses[] = {"ElectronicLockScene", "ScrollPuzzleScene", "RitualPuzzleScene",
                                "HeavensScene", "ThreeLocksMinigame"};
const char* const kScripts[] = {"electroniclock", "scrollpuzzle", "ritualpuzzle",
                                "searchingtheheavens", "threelocks"};

class MKWGameplayScenesTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("Gameplay", &MKWGameplay::Create);
        mManager->RegisterWindowType("GameplayHud", &GameplayHud::Create);
        Image("hud/bg.png", 800, 100, 0xFF303030);
        gWindowState = mManager->GetScript()->GetState();
        Run("gQuits = 0 kQuitNow = 7 function CreateNamedMessage(id, name) return name end "
            "function PostMessage(m) if m == 'quit' then gQuits = gQuits + 1 end end");
    }
    void TearDown() override
    {
        for (const char* name : kClasses)
            MKWGameplay::RegisterMinigameScene(name, nullptr);
        Run("gameplayinstructions = nil");
        ScreenTest::TearDown();
    }
    // One scene for each row, "p1" to "p5", after the plain scene "a"; "p6" asks for a class
    // by its own name.
    MKWGameplay* Open()
    {
        Run("gameplayinstructions = { conversations = {}, "
            "scenes = { 'a', 'p1', 'p2', 'p3', 'p4', 'p5', 'p6' }, "
            "minigames = { p1 = 'electroniclockscene', p2 = 'scrollpuzzlescene', "
            "p3 = 'ritualpuzzlescene', p4 = 'heavensscene', p5 = 'threelocksscene', "
            "p6 = 'ElectronicLockScene' }, "
            "events = { { name = 'e0' } }, inventory = {}, initial_event = 'e0', "
            "active_scene = 'a' }");
        Run("Gameplay{ name = 'gameplay', x = 0, y = 0, w = 800, h = 600, "
            "characterinfo = { scrim = {}, conversation_info = {}, info = {} }, "
            "playlist = { location01 = {} }, sceneinfo = {}, animatedcursorinfo = {}, "
            "locationnumber = 1, "
            "playlistinfo = {}, inventoryinfo = { barwidth = 0 }, "
            "entityinfo = { iteminfo = {}, areainfo = {}, layerinfo = {}, textinfo = {} }, "
            "GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
            "background = { image = 'hud/bg.png' }, foreground = { image = 'hud/bg.png' }, "
            "progressbar = { image = 'hud/bg.png' }, inventorybounds = { w = 300, h = 80 } } }()");
        return dynamic_cast<MKWGameplay*>(mManager->GetRoot()->FindChild("gameplay", 0xFFFFFFFFu));
    }
    StandInPuzzle* Puzzle(MKWGameplay* gameplay, const char* scene)
    {
        return dynamic_cast<StandInPuzzle*>(gameplay->FindScene(scene));
    }
};

TEST_F(MKWGameplayScenesTest, EachRowRunsItsScriptInAContextOfItsOwn)
{
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_TRUE(MKWGameplay::RegisterMinigameScene(kClasses[i], &StandInPuzzle::Create));
        File(std::string("assets/scripts/minigames/") + kScripts[i] + ".lua",
             std::string("puzzle = { row = '") + kScripts[i] + "' } row = 'taken'");
    }
    Run("row = 'window'");
    MKWGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    for (int i = 0; i < 5; ++i)
    {
        const std::string scene = "p" + std::to_string(i + 1);
        StandInPuzzle* puzzle = Puzzle(gameplay, scene.c_str());
        ASSERT_NE(puzzle, nullptr) << scene;
        EXPECT_EQ(puzzle->row, kScripts[i]);
        EXPECT_TRUE(puzzle->ownState);
        EXPECT_FALSE(puzzle->contextGoneWhileBuilt);
        EXPECT_EQ(puzzle->GetName(), TString(scene.c_str()));
    }
    EXPECT_TRUE(gContextGone);
    // The window script's globals are untouched; the class's own name is the base's business.
    EXPECT_EQ(mManager->GetScript()->GetGlobalString("row"), TString("window"));
    EXPECT_EQ(mManager->GetScript()->GetGlobalTable("puzzle"), nullptr);
    EXPECT_EQ(Puzzle(gameplay, "p6"), nullptr);
    EXPECT_NE(gameplay->FindScene("p6"), nullptr);
    EXPECT_EQ(Puzzle(gameplay, "a"), nullptr);
    EXPECT_EQ(Number("gQuits"), 0);
    EXPECT_EQ(CountInLog("no ElectronicLockScene installed"), 0);
}

TEST_F(MKWGameplayScenesTest, AFailingScriptQuitsWithItsRowsLineAndTheSceneIsStillBuilt)
{
    for (int i = 0; i < 5; ++i)
        MKWGameplay::RegisterMinigameScene(kClasses[i], &StandInPuzzle::Create);
    // Scripts 1 and 3 are missing, 2 does not compile, 4 fails while it runs; 5 is fine.
    File("assets/scripts/minigames/scrollpuzzle.lua", "puzzle = {");
    File("assets/scripts/minigames/searchingtheheavens.lua", "puzzle = { row = 'x' } error('no')");
    File("assets/scripts/minigames/threelocks.lua", "puzzle = { row = 'ok' }");
    MKWGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    for (const char* line : {"ERROR:ERROR: Failed running electroniclock in MKWGameplay!   "
                             "FILE:mkwgameplay LINE:",
                             "ERROR:ERROR: Failed running scrollpuzzle in MKWGameplay!   FILE:",
                             "ERROR:ERROR: Failed running ritualpuzzle in MKWGameplay!   FILE:",
                             "ERROR:ERROR: Failed running searchingtheheavens in MKWGameplay!"})
        EXPECT_EQ(CountInLog(line), 1) << line;
    EXPECT_EQ(CountInLog("Failed running threelocks"), 0);
    EXPECT_EQ(Number("gQuits"), 4);
    for (const char* scene : {"p1", "p2", "p3", "p4", "p5"})
        EXPECT_NE(Puzzle(gameplay, scene), nullptr) << scene;
    EXPECT_EQ(Puzzle(gameplay, "p1")->row, "");
    EXPECT_EQ(Puzzle(gameplay, "p5")->row, "ok");
}

TEST_F(MKWGameplayScenesTest, ThreeLocksNamesItsScriptWithTheExtension)
{
    MKWGameplay::RegisterMinigameScene("ThreeLocksMinigame", &StandInPuzzle::Create);
    MKWGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    EXPECT_EQ(CountInLog("ERROR:ERROR: Failed running threelocks.lua in MKWGameplay!   "
                         "FILE:mkwgameplay LINE:"),
              1);
}

TEST_F(MKWGameplayScenesTest, WithoutACreatorTheSceneIsOrdinaryAndNoScriptRuns)
{
    File("assets/scripts/minigames/electroniclock.lua", "ran = 1");
    Run("ran = 0");
    // Only the five classes can be installed.
    EXPECT_FALSE(MKWGameplay::RegisterMinigameScene("electroniclockscene", &StandInPuzzle::Create));
    EXPECT_EQ(CountInLog("MKWGameplay: 'electroniclockscene' is not one of the puzzle scene "
                         "classes; not registered"),
              1);
    MKWGameplay* gameplay = Open();
    ASSERT_NE(gameplay, nullptr);
    GameplayScene* scene = gameplay->FindScene("p1");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(dynamic_cast<StandInPuzzle*>(scene), nullptr);
    EXPECT_EQ(CountInLog("MKWGameplay: no ElectronicLockScene installed; scene 'p1' is an "
                         "ordinary scene"),
              1);
    EXPECT_EQ(CountInLog("MKWGameplay: no ThreeLocksMinigame installed; scene 'p5'"), 1);
    EXPECT_EQ(CountInLog("Failed running"), 0);
    EXPECT_EQ(Number("ran"), 0);
    EXPECT_EQ(Number("gQuits"), 0);
}

} // namespace
