// The Observatory's and the Crypt's four puzzles in the game's runner: one location names each
// for a scene; each is played by the runner's mouse and presses, leaves for the room by its
// completion event, keeps its block in the location's record where the next runner finds it, and
// a script that does not run is fatal with the runner's own line and a scene that stays usable.
#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "game/minigames/puzzles/heavens/heavens_scene.h"
#include "game/minigames/puzzles/puzzle_scene_test_support.h"
#include "game/minigames/puzzles/ritual/ritual_puzzle_scene.h"
#include "game/minigames/puzzles/scroll/scroll_puzzle_scene.h"
#include "game/minigames/puzzles/three_locks/three_locks_minigame.h"
#include "render/sprites/sprite.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct PuzzleGameplay : MKWGameplay
{
    static TWindow* Create() { return new PuzzleGameplay; }
};

// Five answer rectangles `half` pixels each way around their centres, keyed rect01..rect05.
std::string Rects(const TPoint (&centres)[5], int half)
{
    std::string text;
    for (int i = 0; i < 5; ++i)
        text += "rect0" + std::to_string(i + 1) +
                " = { x1 = " + std::to_string(centres[i].x - half) +
                ", y1 = " + std::to_string(centres[i].y - half) +
                ", x2 = " + std::to_string(centres[i].x + half) +
                ", y2 = " + std::to_string(centres[i].y + half) + " }, ";
    return text;
}

// `count` vertices vertNN of a small square fan.
std::string Vertices(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "vert" + std::string(i < 10 ? "0" : "") + std::to_string(i) +
                " = { x = " + std::to_string(i % 2 == 0 ? -20 : 20) +
                ", y = " + std::to_string(i % 4 < 2 ? -20 : 20) + ", u = 0.25, v = 0.5 }, ";
    return text;
}

// Five entries key01..key05 at x0 + step * i, y.
std::string Row(const std::string& key, int x0, int step, int y, const std::string& rest)
{
    std::string text;
    for (int i = 0; i < 5; ++i)
        text += key + "0" + std::to_string(i + (key == "crystal" ? 0 : 1)) +
                " = { x = " + std::to_string(x0 + step * i) + ", y = " + std::to_string(y) + ", " +
                rest + " }, ";
    return text;
}

const TPoint kScrollAnswers[5] = {{200, 200}, {560, 360}, {320, 300}, {600, 190}, {440, 230}};
const TPoint kSkyAnswers[5] = {{120, 100}, {400, 120}, {650, 300}, {560, 120}, {200, 330}};

std::string ScrollScript()
{
    return "scrollpuzzle = { soundclick = { sounds = { 'click' } }, buttons = { " +
           Row("button", 240, 80, 60, "image = 't/scrollbtn'") + "}, glows = { " +
           Row("glow", -40, 20, 30, "image = 't/glow'") +
           "}, crystallens = { crystallens01 = { x = 400, y = 277, image = 't/lens', "
           "collisionrect = { x1 = 370, y1 = 247, x2 = 430, y2 = 307 } } }, symbols = { "
           "symbol01 = { x = 400, y = 277, image = 't/symbols' }, scrollvertices = { " +
           Vertices(20) + "}, symbolanswers = { " + Rects(kScrollAnswers, 25) + "} } }";
}

std::string SkyScript()
{
    std::string constellations;
    for (int i = 1; i <= 5; ++i)
        constellations += "constalation0" + std::to_string(i) +
                          " = { animationtable = { image = 't/const', framespeed = 100, "
                          "animation = 'wrap' }, cliprect = { x1 = 0, y1 = 0, x2 = 800, "
                          "y2 = 400 }, vertices = { " +
                          Vertices(4) + "} }, ";
    return "searchingtheheavens = { soundfound = { sounds = { 'click' } }, plates = { " +
           Row("plate", -60, 30, 60, "image = 't/plate'") +
           "}, lens = { lens01 = { x = 400, y = 237, image = 't/hlens', collisionrect = { "
           "x1 = 360, y1 = 197, x2 = 440, y2 = 277 } } }, background = { background01 = { "
           "x = 400, y = 256, image = 't/sky' }, backgroundvertices = { " +
           Vertices(4) + "}, backgroundanswers = { " + Rects(kSkyAnswers, 20) +
           "} }, constalations = { " + constellations + "} }";
}

// Every pattern shows crystals 1 to 5 and is answered 5 to 1.
std::string RitualScript()
{
    std::string patterns;
    for (int n = 1; n <= 5; ++n)
        patterns += "pattern0" + std::to_string(n) +
                    " = { step01 = 1, step02 = 2, step03 = 3, step04 = 4, step05 = 5 }, ";
    return "gs_cursorHandOpen = 'handopen' ritualpuzzle = { crystals = { " +
           Row("crystal", 200, 100, 300, "image = 't/crystal', sound = { sounds = { 'click' } }") +
           "}, crystalinfo = { timeonfade = 50, timeofffade = 50 }, patterns = { " + patterns +
           "}, patterninfo = { idletimermax = 100, sequencetimermax = 50 } }";
}

const char kLocksScript[] =
    "areatocheckstatus = 'cover' rotationlockamount = 0.25 rotationlocktime = 100 "
    "alphaeyeamount = 1 alphaeyetime = 50 cursoroverlock = 'handopen' "
    "eventoncomplete = 'locks_done' locks = { 'lock1', 'lock2', 'lock3' } "
    "eyes = { 'eye1', 'eye2', 'eye3' } sequences = { { 1, 2 }, { 0, 1 } } "
    "soundrotate = { sounds = { 'click' } }";

// The room all four leave for, then the four puzzles in the record's order.
const char* const kScenes[] = {"room", "scroll", "sky", "altar", "vault"};

std::string Location(const char* active)
{
    std::string beams;
    for (const char* beam : RitualPuzzleScene::kPatternLayers)
        beams += "{ name = '" + std::string(beam) +
                 "', image = 't/beam', x = 400, y = 150, depth = 50 }, ";
    std::string sky;
    for (const char* layer : HeavensScene::kLayerNames)
        sky += "{ name = '" + std::string(layer) +
               "', image = 't/mark', x = 400, y = 500, depth = 10 }, ";
    std::string vault;
    for (int i = 1; i <= 3; ++i)
    {
        const std::string n = std::to_string(i);
        const std::string x = std::to_string(100 + 150 * i);
        vault += "{ name = 'seat" + n + "', x = " + x + ", y = 170, depth = 60 }, " +
                 "{ name = 'lock" + n + "', image = 't/lock', depth = 50, parentlayer = 'seat" + n +
                 "', parentposition = true }, { name = 'eye" + n + "', image = 't/eye', x = " + x +
                 ", y = 90, depth = 50 }, ";
    }
    std::string done;
    for (const char* scene : {"scroll", "sky", "altar", "vault"})
        done += "{ name = '" + std::string(scene) +
                "_done', image = 't/mark', x = 400, y = 300, depth = 10 }, ";
    return "gameplayinstructions = { conversations = {}, "
           "scenes = { 'room', 'scroll', 'sky', 'altar', 'vault' }, "
           "minigames = { scroll = 'scrollpuzzlescene', sky = 'heavensscene', "
           "altar = 'ritualpuzzlescene', vault = 'threelocksscene' }, "
           "room = { layers = { " +
           done + "} }, scroll = { layers = {} }, sky = { layers = { " + sky +
           "} }, altar = { layers = { " + beams + "} }, vault = { layers = { " + vault +
           "}, areas = { { name = 'cover', image = 't/mark', x = 400, y = 460, depth = 60, "
           "events = {} } } }, "
           "events = { { name = 'start', layerstoactivate = { 'lock1', 'lock2', 'lock3', 'eye1', "
           "'eye2', 'eye3' }, areastoactivate = { 'cover' } }, "
           "{ name = 'lift', areastocomplete = { 'cover' } }, "
           "{ name = 'event_scrollcomplete', action = 'room', layerstoactivate = { 'scroll_done' } "
           "}, { name = 'event_heavenscomplete', action = 'room', layerstoactivate = { "
           "'sky_done' } }, { name = 'event_ritualcomplete', action = 'room', layerstoactivate = "
           "{ 'altar_done' } }, { name = 'locks_done', action = 'room', layerstoactivate = { "
           "'vault_done' } } }, inventory = {}, initial_event = 'start', active_scene = '" +
           active + "' }";
}

class LocationPuzzlesRunnerTest : public puzzletest::RunnerTest<PuzzleGameplay>
{
protected:
    void SetUp() override
    {
        RunnerTest::SetUp();
        if (HasFatalFailure())
            return;
        RegisterPuzzle("ScrollPuzzleScene", &ScrollPuzzleScene::Create);
        RegisterPuzzle("HeavensScene", &HeavensScene::Create);
        RegisterPuzzle("RitualPuzzleScene", &RitualPuzzleScene::Create);
        RegisterPuzzle("ThreeLocksMinigame", &ThreeLocksMinigame::Create);
        Image("t/mark.png", 16, 16, 0xFFFF0000);
        Image("t/glow.png", 4, 4, 0xFFFFFFFF);
        Image("t/lens.png", 8, 8, 0xFF102030);
        Image("t/hlens.png", 8, 8, 0xFF102030);
        Image("t/plate.png", 4, 4, 0xFFFFFFFF);
        Image("t/symbols.png", 512, 256, 0xFF806040);
        Image("t/sky.png", 1024, 512, 0xFF101840);
        Image("t/beam.png", 300, 20, 0xFF40C060);
        Image("t/lock.png", 96, 96, 0xFF807060);
        Image("t/eye.png", 32, 32, 0xFFF0B040);
        Sheet("t/scrollbtn", 40, 40, 2);
        Sheet("t/const", 32, 32, 2);
        Sheet("t/crystal", 48, 96, 2);
        File("assets/scripts/minigames/scrollpuzzle.lua", ScrollScript());
        File("assets/scripts/minigames/searchingtheheavens.lua", SkyScript());
        File("assets/scripts/minigames/ritualpuzzle.lua", RitualScript());
        File("assets/scripts/minigames/threelocks.lua", kLocksScript);
    }
    // A sheet of `frames` frames w x h side by side, each registered on its middle.
    void Sheet(const std::string& name, int w, int h, int frames)
    {
        const std::string leaf = name.substr(name.rfind('/') + 1);
        Image(name + ".png", static_cast<uint32_t>(w * frames), static_cast<uint32_t>(h),
              0xFF607080);
        std::string list;
        for (int i = 0; i < frames; ++i)
            list += "<frame x=\"" + std::to_string(w * i) + "\" y=\"0\" w=\"" + std::to_string(w) +
                    "\" h=\"" + std::to_string(h) + "\" regx=\"" + std::to_string(w / 2) +
                    "\" regy=\"" + std::to_string(h / 2) + "\"/>";
        File(name + ".xml", "<sequence><img w=\"" + std::to_string(w * frames) + "\" h=\"" +
                                std::to_string(h) + "\" name=\"" + leaf + ".png\"/><framelist>" +
                                list + "</framelist></sequence>");
    }
    PuzzleGameplay* Open(const char* active) { return OpenRunner(Location(active)); }
    void Wait(int frames)
    {
        for (int i = 0; i < frames; ++i)
            Frame(16);
    }
    template <class Scene> static Scene* Puzzle(const Gameplay& gameplay, const char* name)
    {
        return dynamic_cast<Scene*>(gameplay.FindScene(name));
    }
    // The mouse taken to the point for a few frames (a lens follows it), then a press there.
    void Touch(Gameplay& gameplay, TPoint point)
    {
        MouseAt(point);
        Wait(3);
        gameplay.OnMouseDown(point);
        gameplay.OnMouseUp(point);
        Frame(16);
    }
    // Until the runner has left the puzzle for the room and is in play there.
    void ToTheRoom(const Gameplay& gameplay)
    {
        for (int i = 0; i < 200 && gameplay.GetActiveScene() != gameplay.FindScene("room"); ++i)
            Frame(16);
        Frames(&gameplay, 60);
    }
    // Where a scene's block starts in the location's record: the header, the HUD, the inventory,
    // then the scenes in their order.
    static size_t BlockOf(const Gameplay& gameplay, const std::string& scene)
    {
        size_t at = 7 + gameplay.GetHud()->GetSavedStateSize() +
                    GameplayInventory::kSavedStateSize * gameplay.GetInventory().size();
        for (const char* name : kScenes)
        {
            if (scene == name)
                break;
            at += gameplay.FindScene(name)->GetStateSize();
        }
        return at;
    }
    // The record built at a calm point, the runner closed, and the block's first byte stored.
    int SaveAndClose(PuzzleGameplay* gameplay, const std::string& scene)
    {
        gameplay->SaveLocationState(false);
        const size_t at = BlockOf(*gameplay, scene);
        Close(gameplay);
        const std::vector<uint8_t> stored = Stored();
        return at < stored.size() ? stored[at] : -1;
    }
    // The completion: the room shown with the puzzle's mark, and the solved block saved.
    int Completed(PuzzleGameplay* gameplay, const std::string& scene)
    {
        ToTheRoom(*gameplay);
        EXPECT_EQ(gameplay->GetActiveScene(), gameplay->FindScene("room")) << scene;
        EXPECT_TRUE(Active(*gameplay, scene + "_done")) << scene;
        return SaveAndClose(gameplay, scene);
    }
};

// Two answers read under the lens, the runner closed: the next runner shows two buttons lit and
// two glows, and the last three answers open the room.
TEST_F(LocationPuzzlesRunnerTest, TheScrollIsReadThroughTheRunnerAndKeptByTheNext)
{
    PuzzleGameplay* gameplay = Open("scroll");
    ASSERT_NE(gameplay, nullptr) << Log();
    ASSERT_TRUE(InPlay(*gameplay));
    auto* scroll = Puzzle<ScrollPuzzleScene>(*gameplay, "scroll");
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(gameplay->GetActiveScene(), scroll);
    EXPECT_EQ(scroll->GetExtraAnimationNames(), std::vector<TString>{"t/scrollbtn"});

    // The lens goes where the runner's mouse goes over the scroll, and stays when it leaves.
    MouseAt(TPoint{300, 250});
    Wait(2);
    EXPECT_EQ(scroll->GetLens().GetX(), 300);
    MouseAt(TPoint{40, 560});
    Wait(2);
    EXPECT_EQ(scroll->GetLens().GetX(), 300);
    EXPECT_FALSE(scroll->IsLensOverScroll());

    Touch(*gameplay, kScrollAnswers[0]);
    Touch(*gameplay, kScrollAnswers[1]);
    EXPECT_EQ(scroll->GetFound(), 2);
    EXPECT_EQ(SaveAndClose(gameplay, "scroll"), 2);

    gameplay = Open("scroll");
    ASSERT_NE(gameplay, nullptr);
    scroll = Puzzle<ScrollPuzzleScene>(*gameplay, "scroll");
    EXPECT_EQ(scroll->GetFound(), 2);
    for (size_t i = 0; i < ScrollPuzzleScene::kAnswers; ++i)
    {
        EXPECT_EQ(scroll->GetButton(i).IsLit(), i < 2) << i;
        EXPECT_EQ(scroll->GetButton(i).GetSprite()->GetFrame(), i < 2 ? 0 : 1) << i;
        EXPECT_EQ(scroll->GetLens().GetGlow(i).IsLit(), i < 2) << i;
    }
    EXPECT_EQ(CountInLog("does not fit this location"), 0);
    for (size_t i = 2; i < ScrollPuzzleScene::kAnswers; ++i)
        Touch(*gameplay, kScrollAnswers[i]);
    // Five found, the completion asked for (the top bit).
    EXPECT_EQ(Completed(gameplay, "scroll"), 0x85);
}

// The sky's finds in a scrambled order through the runner: three kept by the next runner with
// their layers, the last two opening the room.
TEST_F(LocationPuzzlesRunnerTest, TheSkyIsSearchedThroughTheRunnerAndKeptByTheNext)
{
    PuzzleGameplay* gameplay = Open("sky");
    ASSERT_NE(gameplay, nullptr) << Log();
    auto* sky = Puzzle<HeavensScene>(*gameplay, "sky");
    ASSERT_NE(sky, nullptr);
    for (int answer : {5, 3, 1})
        Touch(*gameplay, kSkyAnswers[answer - 1]);
    EXPECT_EQ(sky->GetFound(), 3);
    // Below the sky the lens stops where it was and a press there finds nothing new.
    Touch(*gameplay, TPoint{kSkyAnswers[1].x, 401});
    EXPECT_EQ(sky->GetLens().GetY(), kSkyAnswers[0].y);
    EXPECT_EQ(sky->GetFound(), 3);
    EXPECT_EQ(SaveAndClose(gameplay, "sky"), 0x15);

    gameplay = Open("sky");
    ASSERT_NE(gameplay, nullptr);
    sky = Puzzle<HeavensScene>(*gameplay, "sky");
    EXPECT_EQ(sky->GetFound(), 3);
    for (size_t i = 0; i < HeavensScene::kAnswers; ++i)
    {
        EXPECT_EQ(sky->GetLens().GetPlate(i).IsLit(), i % 2 == 0) << i;
        EXPECT_EQ(Active(*gameplay, HeavensScene::kLayerNames[i]), i % 2 == 0) << i;
    }
    for (int answer : {2, 4})
        Touch(*gameplay, kSkyAnswers[answer - 1]);
    EXPECT_EQ(Completed(gameplay, "sky"), 0x9F);
}

// The ritual through the runner: clicks before the demonstration ends are not taken; two patterns
// answered and kept as the index by the next runner, which takes answers at once; the last three
// bring the completion two seconds later.
TEST_F(LocationPuzzlesRunnerTest, TheRitualIsAnsweredThroughTheRunnerAndKeptByTheNext)
{
    PuzzleGameplay* gameplay = Open("altar");
    ASSERT_NE(gameplay, nullptr) << Log();
    auto* ritual = Puzzle<RitualPuzzleScene>(*gameplay, "altar");
    ASSERT_NE(ritual, nullptr);
    auto answer = [&]
    {
        for (int crystal = 5; crystal >= 1; --crystal)
            Touch(*gameplay, TPoint{200 + 100 * (crystal - 1), 300});
    };
    Touch(*gameplay, TPoint{600, 300});
    EXPECT_FALSE(ritual->GetCrystal(4).IsLit());
    for (int pattern = 0; pattern < 2; ++pattern)
    {
        Wait(40);
        answer();
    }
    Wait(2);
    EXPECT_EQ(ritual->GetCurrentPattern(), 2u);
    EXPECT_TRUE(Active(*gameplay, RitualPuzzleScene::kPatternLayers[1]));
    EXPECT_EQ(SaveAndClose(gameplay, "altar"), 2);

    gameplay = Open("altar");
    ASSERT_NE(gameplay, nullptr);
    ritual = Puzzle<RitualPuzzleScene>(*gameplay, "altar");
    EXPECT_EQ(ritual->GetCurrentPattern(), 2u);
    answer();
    for (int pattern = 3; pattern < 5; ++pattern)
    {
        Wait(40);
        answer();
    }
    Wait(2);
    EXPECT_TRUE(ritual->IsComplete());
    EXPECT_EQ(gameplay->GetActiveScene(), ritual);
    EXPECT_EQ(Completed(gameplay, "altar"), 0x85);
}

// The stone locks through the runner: nothing before the cover is completed; the eyes and the
// turns hold the runner's play through its real animation count, which comes back to zero after
// each; a click while they hold it is not taken. One sequence and one right click kept by the
// next runner, which turns those locks at once and holds nothing; the last click opens the room.
TEST_F(LocationPuzzlesRunnerTest, TheLocksAreTurnedThroughTheRunnerAndKeptByTheNext)
{
    PuzzleGameplay* gameplay = Open("vault");
    ASSERT_NE(gameplay, nullptr) << Log();
    auto* locks = Puzzle<ThreeLocksMinigame>(*gameplay, "vault");
    ASSERT_NE(locks, nullptr);
    const TPoint lock[3] = {{250, 170}, {400, 170}, {550, 170}};
    Wait(5);
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kWaiting);

    gameplay->GameplayActivateEvent("lift");
    Frame(16);
    Frame(16);
    EXPECT_EQ(gameplay->GetPendingCallbacks(), 1);
    EXPECT_FALSE(InPlay(*gameplay));
    // Held by the eyes: the runner keeps the click from the puzzle.
    Touch(*gameplay, lock[1]);
    EXPECT_EQ(locks->GetCurrentStep(), 0u);
    auto settle = [&]
    {
        Frames(gameplay, 100);
        EXPECT_TRUE(InPlay(*gameplay));
        EXPECT_EQ(gameplay->GetPendingCallbacks(), 0);
    };
    settle();
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kAwaitingClick);
    for (int index : {1, 2})
    {
        Touch(*gameplay, lock[index]);
        EXPECT_EQ(gameplay->GetPendingCallbacks(), 1);
        settle();
    }
    EXPECT_EQ(locks->GetCurrentSequence(), 1u);
    Touch(*gameplay, lock[0]);
    settle();
    EXPECT_EQ(SaveAndClose(gameplay, "vault"), 3);

    gameplay = Open("vault");
    ASSERT_NE(gameplay, nullptr);
    locks = Puzzle<ThreeLocksMinigame>(*gameplay, "vault");
    for (size_t i = 0; i < 3; ++i)
        EXPECT_FLOAT_EQ(locks->GetLocks()[i]->GetTransform().GetRotationZ(), 0.25f) << i;
    // The next update finds the cover completed and shows what is left of the sequence.
    Frame(16);
    Frame(16);
    settle();
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kAwaitingClick);
    Touch(*gameplay, lock[1]);
    EXPECT_EQ(Completed(gameplay, "vault"), ThreeLocksMinigame::kSolvedByte);
}

// A solved puzzle whose event the location lacks (misspelt there): said as the location loads,
// with the scene that names it, and again when the solved puzzle asks for it; the player stays.
TEST_F(LocationPuzzlesRunnerTest, APuzzlesEventTheLocationLacksIsSaidAtLoadAndWhenAskedFor)
{
    std::string location = Location("vault");
    location.replace(location.find("name = 'locks_done'"), 19, "name = 'locks_dnoe'");
    PuzzleGameplay* gameplay = OpenRunner(location);
    ASSERT_NE(gameplay, nullptr) << Log();
    EXPECT_EQ(CountInLog("ERROR:The location has no event 'locks_done', which puzzle scene "
                         "'vault' names"),
              1)
        << Log();
    EXPECT_EQ(CountInLog("which puzzle scene"), 1);
    auto* locks = Puzzle<ThreeLocksMinigame>(*gameplay, "vault");
    ASSERT_NE(locks, nullptr);
    const TPoint lock[3] = {{250, 170}, {400, 170}, {550, 170}};
    Wait(5);
    gameplay->GameplayActivateEvent("lift");
    Wait(2);
    Frames(gameplay, 100);
    for (const int index : {1, 2, 0, 1})
    {
        Touch(*gameplay, lock[index]);
        Frames(gameplay, 100);
    }
    EXPECT_EQ(locks->GetState(), ThreeLocksMinigame::kSolved);
    EXPECT_EQ(CountInLog("ERROR:Cannot find event named 'locks_done'"), 1) << Log();
    EXPECT_EQ(gameplay->GetActiveScene(), locks);
    Close(gameplay);
}

// Each puzzle's script broken: the runner's fatal line and the scene's own, and until the quit
// the scene takes presses, draws and is kept in the record.
TEST_F(LocationPuzzlesRunnerTest, AScriptThatDoesNotRunIsFatalAndItsSceneStaysUsable)
{
    Run("gQuits = 0 kQuitNow = 7 function CreateNamedMessage(id, name) return name end "
        "function PostMessage(m) if m == 'quit' then gQuits = gQuits + 1 end end");
    struct Broken
    {
        const char* scene;
        const char* script;
        const char* failure;
        const char* missing;
    };
    const Broken broken[] = {
        {"scroll", "scrollpuzzle", "scrollpuzzle", "Cannot find 'scrollpuzzle' table"},
        {"sky", "searchingtheheavens", "searchingtheheavens",
         "Cannot find 'searchingtheheavens' table"},
        {"altar", "ritualpuzzle", "ritualpuzzle", "Cannot find 'ritualpuzzle' table"},
        {"vault", "threelocks", "threelocks.lua", "No locks table for ThreeLocksMinigame!"},
    };
    for (const Broken& item : broken)
    {
        File(std::string("assets/scripts/minigames/") + item.script + ".lua",
             std::string(item.script) + " = { oops = {");
        PuzzleGameplay* gameplay = Open(item.scene);
        ASSERT_NE(gameplay, nullptr) << item.scene;
        EXPECT_EQ(CountInLog(std::string("ERROR:ERROR: Failed running ") + item.failure +
                             " in MKWGameplay!"),
                  1)
            << item.scene;
        EXPECT_GE(CountInLog(item.missing), 1) << item.scene << Log();
        EXPECT_NE(gameplay->FindScene(item.scene), nullptr) << item.scene;
        Touch(*gameplay, TPoint{400, 270});
        Paint();
        gameplay->SaveLocationState(false);
        Close(gameplay);
        EXPECT_FALSE(Stored().empty()) << item.scene;
    }
    EXPECT_GE(Number("gQuits"), 4);
}

} // namespace
