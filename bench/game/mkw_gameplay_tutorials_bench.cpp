// The game's runner's tutorial and medallion hooks of one frame in play, with all twelve prompts
// seen (every row looked at, none shown) and with none seen (the first prompt shown and answered
// by a hover); and a puzzle scene created by name with a 2 KB script run in a fresh context
// beside the plain scene the base makes of the same table. The frame is 16.7 ms: the asked shares
// are 0.01 for the hooks and 0.1 for the puzzle scene.
#include "../framework/adventure_bench_support.h"
#include "../render/display_bench_support.h"
#include "framework/adventure/player_data.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/core/settings.h"
#include "game/hud/mkw_gameplay_hud.h"
#include "game/runner/mkw_gameplay.h"
#include "render/renderer/renderer.h"
#include "script/window_script_seam.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

namespace
{

constexpr double kFrameMs = 1000.0 / 60.0;
TScript* gScript = nullptr;

struct BenchGameplay : MKWGameplay
{
    void SetState(int32_t state) { mGameplayState = state; }
};

const char kStyle[] = R"(
gameplayinstructions = { conversations = {}, scenes = { 'a' }, a = {}, events = {},
                         inventory = {}, active_scene = 'a' }
local names = { 'tutorial_item', 'tutorial_hint', 'tutorial_hintselect', 'tutorial_itemtwo',
                'tutorial_inventory', 'tutorial_solve', 'tutorial_portal', 'tutorial_hintlirae',
                'tutorial_hintselectlirae', 'tutorial_openjournal', 'tutorial_lirae',
                'tutorial_thessalor' }
local tutorials = { info = { fadetime = 250, arrowtime = 600, arrowdist = 14,
    arrowimage = 'bench/arrow.png', arrowcenterx = 8, arrowcentery = 8,
    dialog = 'bench/dialog.png', bounds = { x = 0, y = 0, w = 200, h = 60 },
    font = { '', 14, { 1, 1, 1, 1 } } } }
for i = 1, 12 do
    table.insert(tutorials, { name = names[i], index = i - 1, dialogx = 400, dialogy = 200 })
end
local function medallion(x, trackerx)
    return { medallion = { image = 'bench/med', x = x, y = 50 },
             tracker = { hint_0 = { image = 'bench/trk', x = trackerx, y = 28 },
                         hint_1 = { image = 'bench/trk', x = trackerx, y = 72 } },
             scrimx = x - 50, scrimw = 100, scrimh = 100 }
end
_style = {
    characterinfo = { scrim = {}, conversation_info = {}, info = {} },
    playlist = { location01 = { a = {} } }, sceneinfo = {}, animatedcursorinfo = {},
    locationnumber = 1, inventoryinfo = { barwidth = 0 }, tutorials = tutorials,
    entityinfo = { iteminfo = {}, areainfo = {}, layerinfo = {}, textinfo = {} },
}
_hud = { background = { image = 'bench/bg.png' }, foreground = { image = 'bench/bg.png' },
         progressbar = { image = 'bench/bg.png' },
         inventorybounds = { x = 200, y = 510, w = 400, h = 80 },
         hintinfo = { medallionspinduration = 800, timepulse = 900, alphapulse = 0.6,
                      timemedallionpulse = 1200, alphamedallionpulse = 0.5, timepulsedelay = 400 },
         hintthessalor = medallion(50, 110), hintlirae = medallion(750, 690) }
)";

void RegisterPictures(BenchFiles& files)
{
    files.Png("bench/bg.png", std::vector<uint32_t>(64 * 8, 0xFF303030), 64, 8);
    files.Png("bench/arrow.png", std::vector<uint32_t>(16 * 16, 0xFFE0E020), 16, 16);
    files.Png("bench/dialog.png", std::vector<uint32_t>(200 * 60, 0xFF304060), 200, 60);
    auto sheet = [&](const std::string& name, int side, int frames, uint32_t argb)
    {
        files.Png(name + ".png",
                  std::vector<uint32_t>(static_cast<size_t>(side) * side * frames, argb),
                  static_cast<uint32_t>(side * frames), static_cast<uint32_t>(side));
        const std::string half = std::to_string(side / 2);
        std::string xml = "<sequence><img w=\"" + std::to_string(side * frames) + "\" h=\"" +
                          std::to_string(side) + "\" name=\"" + name.substr(6) +
                          ".png\"/><framelist>";
        for (int f = 0; f < frames; ++f)
            xml += "<frame x=\"" + std::to_string(f * side) + "\" y=\"0\" w=\"" +
                   std::to_string(side) + "\" h=\"" + std::to_string(side) + "\" regx=\"" + half +
                   "\" regy=\"" + half + "\"/>";
        files.Add(name + ".xml", xml + "</framelist></sequence>");
    };
    sheet("bench/med", 40, 2, 0xFFC08040);
    sheet("bench/trk", 16, 2, 0xFF80A0FF);
}

// A loaded runner in play with its HUD, both medallions holding two hints, and the player's
// record; the mouse over the scene, clear of the HUD.
struct TutorialLocation
{
    TutorialLocation()
    {
        gScript = &mScript;
        SetWindowScriptSource([] { return gScript; });
        RegisterPictures(mFiles);
        mScript.DoLuaString(kStyle);
        std::unique_ptr<TLuaTable> styleTable(mScript.GetGlobalTable("_style"));
        std::unique_ptr<TLuaTable> hudTable(mScript.GetGlobalTable("_hud"));
        if (styleTable == nullptr || hudTable == nullptr)
            return;
        TWindowStyle style(styleTable.get());
        TWindowStyle hudStyle(hudTable.get());
        mPlayer = std::make_unique<PlayerData>();
        mGameplay = std::make_unique<BenchGameplay>();
        auto* hud = new MKWGameplayHud();
        hud->SetName("hud");
        hud->SetSize(800, 100);
        hud->SetPosition(0, 500);
        hud->PostInit(hudStyle);
        mGameplay->AddChild(hud, false);
        mGameplay->PostInit(style);
        mGameplay->SetState(Gameplay::kPlay);
        mSettings.mMouseX = 400;
        mSettings.mMouseY = 300;
    }
    ~TutorialLocation()
    {
        mGameplay.reset();
        mPlayer.reset();
        SetWindowScriptSource(nullptr);
        gScript = nullptr;
    }
    DeltaTime mClock;
    TransformManager mTransforms;
    Settings mSettings;
    TScript mScript;
    BenchFiles mFiles;
    std::unique_ptr<PlayerData> mPlayer;
    std::unique_ptr<BenchGameplay> mGameplay;
};

template <class Body> void WithLocation(benchmark::State& state, Body body)
{
    if (MakeBenchRenderer() == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        TutorialLocation location;
        if (location.mGameplay == nullptr || location.mGameplay->GetHud() == nullptr)
            state.SkipWithError("the location did not load");
        else
            body(state, location);
    }
    TRenderer::DestroyInstance();
}

template <class Step> void FrameShare(benchmark::State& state, Step step)
{
    double totalMs = 0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        step();
        totalMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }
    state.counters["frame_fraction"] = totalMs / static_cast<double>(state.iterations()) / kFrameMs;
}

void BM_TutorialHooks_AllSeen(benchmark::State& state)
{
    WithLocation(state,
                 [](benchmark::State& s, TutorialLocation& location)
                 {
                     for (int i = 0; i < 12; ++i)
                         location.mPlayer->SetTutorialShown(i);
                     BenchGameplay& gameplay = *location.mGameplay;
                     FrameShare(s,
                                [&]
                                {
                                    gameplay.CheckTutorials();
                                    benchmark::DoNotOptimize(gameplay.HandleMedallionMouse());
                                });
                     s.counters["state"] = gameplay.GetGameplayState();
                 });
}
BENCHMARK(BM_TutorialHooks_AllSeen)->Unit(benchmark::kMicrosecond);

void BM_TutorialHooks_NoneSeen(benchmark::State& state)
{
    WithLocation(state,
                 [](benchmark::State& s, TutorialLocation& location)
                 {
                     BenchGameplay& gameplay = *location.mGameplay;
                     TString rollover;
                     FrameShare(s,
                                [&]
                                {
                                    gameplay.SetState(Gameplay::kPlay);
                                    gameplay.CheckTutorials();
                                    gameplay.HandleTutorialMouse(TPoint(400, 300), rollover);
                                });
                     s.counters["state"] = gameplay.GetGameplayState();
                 });
}
BENCHMARK(BM_TutorialHooks_NoneSeen)->Unit(benchmark::kMicrosecond);

// The stand-in puzzle reads the table its script left.
struct StandInPuzzle : GameplayScene
{
    StandInPuzzle(GameplayFactory& factory, const TLuaTable& entityInfo, const TString& name,
                  const TLuaTable& scene, const TLuaTable* playlist, const TLuaTable& sceneInfo,
                  TScript& script)
        : GameplayScene(factory, entityInfo, name, scene, playlist, sceneInfo)
    {
        std::unique_ptr<TLuaTable> table(script.GetGlobalTable("puzzle"));
        mCells = table != nullptr ? static_cast<int>(table->GetNumber("cells")) : 0;
    }
    static std::shared_ptr<GameplayScene> Create(GameplayFactory& factory,
                                                 const TLuaTable& entityInfo, const TString& name,
                                                 const TLuaTable& scene, const TLuaTable* playlist,
                                                 const TLuaTable& sceneInfo, TScript& script)
    {
        return std::make_shared<StandInPuzzle>(factory, entityInfo, name, scene, playlist,
                                               sceneInfo, script);
    }
    int mCells = 0;
};

// About 2 KB: a table of 40 cells, each a small table of numbers and a name.
std::string PuzzleScript()
{
    std::string text = "puzzle = { cells = 40, grid = {\n";
    for (int i = 0; i < 40; ++i)
        text += "  { name = 'cell_" + std::to_string(i) + "', x = " + std::to_string(100 + i) +
                ", y = " + std::to_string(200 + i) + ", on = false },\n";
    return text + "} }\n";
}

template <class Make> void CreateScenes(benchmark::State& state, const char* minigame, Make make)
{
    TScript script;
    gScript = &script;
    SetWindowScriptSource([] { return gScript; });
    BenchFiles files;
    const std::string code = PuzzleScript();
    files.Add("assets/scripts/minigames/electroniclock.lua", code);
    MKWGameplay::RegisterMinigameScene("ElectronicLockScene", &StandInPuzzle::Create);
    script.DoLuaString("_scene = {} _info = {} _sceneinfo = {}");
    std::unique_ptr<TLuaTable> scene(script.GetGlobalTable("_scene"));
    std::unique_ptr<TLuaTable> info(script.GetGlobalTable("_info"));
    std::unique_ptr<TLuaTable> sceneInfo(script.GetGlobalTable("_sceneinfo"));
    {
        MKWGameplay gameplay;
        GameplayFactory factory;
        FrameShare(state, [&] { make(gameplay, factory, *scene, *info, *sceneInfo, minigame); });
    }
    state.counters["script_bytes"] = static_cast<double>(code.size());
    MKWGameplay::RegisterMinigameScene("ElectronicLockScene", nullptr);
    SetWindowScriptSource(nullptr);
    gScript = nullptr;
}

auto MakeScene = [](MKWGameplay& gameplay, GameplayFactory& factory, const TLuaTable& scene,
                    const TLuaTable& info, const TLuaTable& sceneInfo, const char* minigame)
{
    benchmark::DoNotOptimize(
        gameplay.CreateScene("lockpanel", factory, scene, info, nullptr, sceneInfo, minigame));
};

void BM_CreateScene_PuzzleWith2KBScript(benchmark::State& state)
{
    CreateScenes(state, "electroniclockscene", MakeScene);
}
BENCHMARK(BM_CreateScene_PuzzleWith2KBScript)->Unit(benchmark::kMicrosecond);

// The peer: the plain scene the base makes of the same table.
void BM_CreateScene_PlainScene(benchmark::State& state)
{
    CreateScenes(state, "", MakeScene);
}
BENCHMARK(BM_CreateScene_PlainScene)->Unit(benchmark::kMicrosecond);

} // namespace
