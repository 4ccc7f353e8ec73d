// The location at play: one frame of the click road over a scene of 30 areas and 40 items with
// the mouse over none of them, one event that switches 50 entities in four scenes, and the two
// hint searches over 20 scenes chained by portals with 30 items each. The frame is reported
// beside a memset of the screen's depth buffer ("x_depth_memset").
#include "../render/display_bench_support.h"
#include "../sys/display/depth_memset_peer.h"
#include "adventure_bench_support.h"
#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/runner/gameplay.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/adventure/runner/scene_factory_support.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "render/renderer/renderer.h"
#include "script/window_script_seam.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace
{

TScript* gScript = nullptr;

class PlayGameplay : public Gameplay
{
public:
    std::shared_ptr<GameplayFactory> CreateFactory() override
    {
        return std::make_shared<ListedEntityFactory>();
    }
    // Nothing counts the finds here: a location that is done would end on its first frame.
    bool IsLocationDone() override { return false; }
    void SetGameplayState(int32_t state) { mGameplayState = state; }
    void DropHintRequest() { mHintRequested = 0; }
};

const char kLocation[] = R"(
gameplayinstructions = { conversations = {}, scenes = {}, events = {} }
local g = gameplayinstructions
local many = { name = 'many', areastoactivate = {}, layerstoactivate = {} }
for s = 1, 4 do
    local name = 's' .. s
    table.insert(g.scenes, name)
    local items, areas, layers = {}, {}, {}
    local col, row = 0, 0
    for i = 1, 40 do
        table.insert(items, { name = name .. '_i' .. i, image = 'bench/gem', inventory = 'gem',
                              inventoryparts = { 1 }, x = 40 + col * 70, y = 60 + row * 80 })
        col = col + 1
        if col == 10 then col, row = 0, row + 1 end
    end
    col, row = 0, 0
    for i = 1, 30 do
        table.insert(areas, { name = name .. '_a' .. i, image = 'bench/area', events = {},
                              hasactiveframe = true, x = 20 + col * 75, y = 60 + row * 120 })
        col = col + 1
        if col == 10 then col, row = 0, row + 1 end
    end
    for i = 1, 10 do
        table.insert(layers, { name = name .. '_l' .. i, depth = 100 + i })
    end
    g[name] = { items = items, areas = areas, layers = layers }
    for i = 1, 6 do
        table.insert(many.areastoactivate, name .. '_a' .. i)
    end
    for i = 1, 6 do
        table.insert(many.layerstoactivate, name .. '_l' .. i)
    end
end
-- 48 named so far; two more areas of the first scene make 50.
table.insert(many.areastoactivate, 's1_a7')
table.insert(many.areastoactivate, 's1_a8')
table.insert(g.events, many)
g.active_scene = 's1'
_style = {
    characterinfo = { scrim = {}, conversation_info = {}, info = {} },
    playlist = { location01 = { s1 = {}, s2 = {}, s3 = {}, s4 = {} } },
    sceneinfo = {}, animatedcursorinfo = {}, locationnumber = 1,
    entityinfo = { iteminfo = { imagemask = '_mask' },
                   areainfo = { imagemask = '_mask', timehilightfade = 300, timevisible = 100 },
                   layerinfo = { fadetime = 300 }, textinfo = {} },
}
_hud = { background = { image = 'bench/bg.png' }, foreground = { image = 'bench/bg.png' },
         progressbar = { image = 'bench/bg.png' },
         inventorybounds = { x = 100, y = 510, w = 400, h = 80 } }
)";

void RegisterPlayPictures(BenchFiles& files)
{
    files.Png("bench/bg.png", std::vector<uint32_t>(64 * 8, 0xFF303030), 64, 8);
    files.Png("bench/gem.png", std::vector<uint32_t>(32 * 32, 0xFF4080C0), 32, 32);
    files.Png("bench/gem_mask.png", std::vector<uint32_t>(32 * 32, 0xFFFFFFFF), 32, 32);
    files.Png("bench/area.png", std::vector<uint32_t>(96 * 48, 0xFF805020), 96, 48);
    files.Add("bench/area.xml",
              "<sequence><img w=\"96\" h=\"48\" regx=\"0\" regy=\"0\" name=\"area.png\"/>"
              "<framelist><frame x=\"0\" y=\"0\" w=\"48\" h=\"48\"/>"
              "<frame x=\"48\" y=\"0\" w=\"48\" h=\"48\"/></framelist></sequence>");
    files.Png("bench/area_mask.png", std::vector<uint32_t>(48 * 48, 0xFFFFFFFF), 48, 48);
}

// A loaded location with every area and item of its first scene shown, textures and masks made.
struct PlayLocation
{
    PlayLocation()
    {
        gScript = &mScript;
        SetWindowScriptSource([] { return gScript; });
        RegisterPlayPictures(mFiles);
        mScript.DoLuaString(kLocation);
        std::unique_ptr<TLuaTable> styleTable(mScript.GetGlobalTable("_style"));
        std::unique_ptr<TLuaTable> hudTable(mScript.GetGlobalTable("_hud"));
        if (styleTable == nullptr || hudTable == nullptr)
            return;
        TWindowStyle style(styleTable.get());
        TWindowStyle hudStyle(hudTable.get());
        mGameplay = std::make_unique<PlayGameplay>();
        const bool hudMade = AddBenchHud(*mGameplay, hudStyle) != nullptr;
        mGameplay->PostInit(style);
        if (!hudMade || mGameplay->GetScenes().size() != 4)
        {
            mGameplay.reset();
            return;
        }
        GameplayScene* scene = mGameplay->GetScenes().front().get();
        for (const auto& entity : scene->GetEntities())
            entity->Activate(false, nullptr);
        scene->LoadTextures();
        while (!scene->FinishTexturesStep())
        {
        }
        mGameplay->SetGameplayState(Gameplay::kPlay);
    }
    ~PlayLocation()
    {
        mGameplay.reset();
        SetWindowScriptSource(nullptr);
        gScript = nullptr;
    }
    void Frame()
    {
        mClock.SetFrameTime(mNow += 16);
        mClock.SetStep(16);
        mGameplay->Update();
        mTransforms.Update();
    }
    uint32_t mNow = 1;
    DeltaTime mClock;
    TransformManager mTransforms;
    TScript mScript;
    BenchFiles mFiles;
    std::unique_ptr<PlayGameplay> mGameplay;
};

// Runs `body` (state, location) on a loaded location over the benchmark display.
template <class Body> void WithLocation(benchmark::State& state, Body body)
{
    if (MakeBenchRenderer() == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        PlayLocation location;
        if (location.mGameplay == nullptr)
            state.SkipWithError("the location did not load");
        else
            body(state, location);
    }
    TRenderer::DestroyInstance();
}

void BM_Gameplay_PlayRoadFrameOverNothing(benchmark::State& state)
{
    WithLocation(state,
                 [](benchmark::State& s, PlayLocation& location)
                 {
                     // The mouse rests at (0, 0), clear of every area and item.
                     const DepthMemsetPeer peer;
                     for (auto _ : s)
                         location.Frame();
                     peer.Report(s);
                     s.counters["areas"] = static_cast<double>(
                         location.mGameplay->GetActiveScene()->GetAreas().size());
                 });
}
BENCHMARK(BM_Gameplay_PlayRoadFrameOverNothing)->Unit(benchmark::kMicrosecond);

void BM_Gameplay_ActivateEventFiftyEntities(benchmark::State& state)
{
    WithLocation(state,
                 [](benchmark::State& s, PlayLocation& location)
                 {
                     for (auto _ : s)
                         location.mGameplay->ActivateEvent("many", true);
                 });
}
BENCHMARK(BM_Gameplay_ActivateEventFiftyEntities)->Unit(benchmark::kMicrosecond);

// Twenty scenes, each with 30 items and a portal to the next; the one item that gives "far" lies
// in the last.
const char kChain[] = R"(
gameplayinstructions = { conversations = {}, scenes = {}, events = {},
                         inventory = { { name = 'far', partcount = 1 } } }
local g = gameplayinstructions
for s = 1, 20 do
    local name = 's' .. s
    table.insert(g.scenes, name)
    local items = {}
    for i = 1, 30 do
        table.insert(items, { name = name .. '_i' .. i, image = 'bench/gem', inventory = 'near',
                              inventoryparts = { 1 } })
    end
    if s == 20 then
        items[30].inventory = 'far'
    end
    local areas = {}
    if s < 20 then
        areas[1] = { name = name .. '_door', isportal = true,
                     events = { default = { eventname = 'go' .. (s + 1) } } }
    end
    g[name] = { items = items, areas = areas }
    table.insert(g.events, { name = 'go' .. s, action = name })
end
g.active_scene = 's1'
_style = {
    characterinfo = { scrim = {}, conversation_info = {}, info = {} },
    playlist = { location01 = {} }, sceneinfo = {}, animatedcursorinfo = {}, locationnumber = 1,
    inventoryinfo = { barwidth = 0 },
    entityinfo = { iteminfo = {}, areainfo = {}, layerinfo = {}, textinfo = {} },
}
_hud = { background = { image = 'bench/bg.png' }, foreground = { image = 'bench/bg.png' },
         progressbar = { image = 'bench/bg.png' },
         inventorybounds = { x = 100, y = 510, w = 400, h = 80 } }
)";

template <class Search> void SearchChain(benchmark::State& state, Search search)
{
    TScript script;
    gScript = &script;
    SetWindowScriptSource([] { return gScript; });
    BenchFiles files;
    RegisterPlayPictures(files);
    script.DoLuaString(kChain);
    std::unique_ptr<TLuaTable> styleTable(script.GetGlobalTable("_style"));
    std::unique_ptr<TLuaTable> hudTable(script.GetGlobalTable("_hud"));
    if (styleTable != nullptr && hudTable != nullptr)
    {
        TWindowStyle style(styleTable.get());
        TWindowStyle hudStyle(hudTable.get());
        TransformManager transforms;
        auto gameplay = std::make_unique<PlayGameplay>();
        const bool hudMade = AddBenchHud(*gameplay, hudStyle) != nullptr;
        gameplay->PostInit(style);
        if (hudMade && gameplay->GetScenes().size() == 20)
        {
            for (const auto& scene : gameplay->GetScenes())
                for (const auto& entity : scene->GetEntities())
                    entity->SetFlags(GameplayEntity::kActive | GameplayEntity::kShown);
            gameplay->SetGameplayState(Gameplay::kPlay);
            GameplayInventory* far = gameplay->FindInventory("far");
            for (auto _ : state)
                search(*gameplay, far);
        }
        else
        {
            state.SkipWithError("the location did not load");
        }
        gameplay.reset();
    }
    else
    {
        state.SkipWithError("the location script failed");
    }
    SetWindowScriptSource(nullptr);
    gScript = nullptr;
}

void BM_Gameplay_FindAreaForInventoryTwentyScenes(benchmark::State& state)
{
    SearchChain(state, [](PlayGameplay& gameplay, GameplayInventory* far)
                { benchmark::DoNotOptimize(gameplay.FindAreaForInventory(far)); });
}
BENCHMARK(BM_Gameplay_FindAreaForInventoryTwentyScenes)->Unit(benchmark::kMicrosecond);

void BM_Gameplay_HintInventoryTwentyScenes(benchmark::State& state)
{
    SearchChain(state,
                [&state](PlayGameplay& gameplay, GameplayInventory* far)
                {
                    gameplay.HintInventory(far, true);
                    // The switch it starts is undone outside the timing.
                    state.PauseTiming();
                    TransformManager::Instance()->RemoveTransforms(
                        &gameplay.GetTransitionTransform());
                    gameplay.SetGameplayState(Gameplay::kPlay);
                    gameplay.DropHintRequest();
                    state.ResumeTiming();
                });
}
BENCHMARK(BM_Gameplay_HintInventoryTwentyScenes)->Unit(benchmark::kMicrosecond);

} // namespace
