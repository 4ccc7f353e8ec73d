// Loading a generated location (4 scenes of 60 entities, 100 events, 30 inventory objects, no
// textures) through the runner's PostInit; a location of 10,000 and 40,000 items loaded with its
// first event handing out all 100 of its objects; and the depth sort of 1,000 entities beside
// std::sort of their depths as integers.
#include "adventure_bench_support.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/runner/gameplay.h"
#include "framework/adventure/runner/scene_factory_support.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{

TScript* gScript = nullptr;

// Layers from the scene's "layers", as the game's factory builds them.
class LayerFactory : public GameplayFactory
{
public:
    std::vector<std::shared_ptr<GameplayEntity>> CreateEntities(const TLuaTable& scene,
                                                                const TLuaTable& info) override
    {
        std::vector<std::shared_ptr<GameplayEntity>> made;
        std::unique_ptr<TLuaTable> list(scene.GetTable("layers"));
        std::unique_ptr<TLuaTable> layerInfo(info.GetTable("layerinfo"));
        if (list == nullptr || layerInfo == nullptr)
            return made;
        TLuaObjectWrapper* key = nullptr;
        while (TLuaTable* value = list->Next(&key))
        {
            made.push_back(std::make_shared<GameplayLayer>(*value, *layerInfo));
            delete value;
        }
        return made;
    }
};

class BenchGameplay : public Gameplay
{
public:
    std::shared_ptr<GameplayFactory> CreateFactory() override
    {
        return std::make_shared<LayerFactory>();
    }
};

const char kLocation[] = R"(
gameplayinstructions = { conversations = {}, scenes = {}, events = {}, inventory = {},
                         initial_event = 'e1', active_scene = 's1' }
local g = gameplayinstructions
for s = 1, 4 do
    local name = 's' .. s
    table.insert(g.scenes, name)
    local layers = {}
    for i = 1, 60 do
        table.insert(layers, { name = name .. '_l' .. i, depth = 100 - i })
    end
    g[name] = { layers = layers }
end
local layer = 1
for i = 1, 100 do
    table.insert(g.events, { name = 'e' .. i, layerstoactivate = { 's1_l' .. layer },
                             areastoactivate = { 'a' .. i } })
    layer = layer + 1
    if layer > 60 then
        layer = 1
    end
end
for i = 1, 30 do
    table.insert(g.inventory, { name = 'o' .. i, partcount = 2 })
end
_style = {
    characterinfo = { scrim = {}, conversation_info = {}, info = {} },
    playlist = { location01 = { s1 = {}, s2 = {}, s3 = {}, s4 = {} } }, playlistinfo = {},
    sceneinfo = {}, inventoryinfo = { barwidth = 0 }, animatedcursorinfo = {},
    entityinfo = { iteminfo = {}, areainfo = {}, layerinfo = { fadetime = 300 },
                   textinfo = {} },
    locationnumber = 1,
}
_hud = { background = { image = 'bench/bg.png' }, foreground = { image = 'bench/fg.png' },
         progressbar = { image = 'bench/bar.png' },
         inventorybounds = { x = 100, y = 510, w = 400, h = 80 } }
)";

void BM_Gameplay_PostInitGeneratedLocation(benchmark::State& state)
{
    TScript script;
    gScript = &script;
    SetWindowScriptSource([] { return gScript; });
    BenchFiles files;
    files.Png("bench/bg.png", std::vector<uint32_t>(64 * 8, 0xFF303030), 64, 8);
    files.Png("bench/fg.png", std::vector<uint32_t>(64 * 8, 0xFF806040), 64, 8);
    files.Png("bench/bar.png", std::vector<uint32_t>(64 * 8, 0xFF40C040), 64, 8);
    script.DoLuaString(kLocation);
    std::unique_ptr<TLuaTable> instructions(script.GetGlobalTable("gameplayinstructions"));
    std::unique_ptr<TLuaTable> styleTable(script.GetGlobalTable("_style"));
    if (instructions == nullptr || styleTable == nullptr)
    {
        state.SkipWithError("the location script failed");
        return;
    }
    std::unique_ptr<TLuaTable> hudTable(script.GetGlobalTable("_hud"));
    TWindowStyle style(styleTable.get());
    TWindowStyle hudStyle(hudTable.get());
    size_t scenes = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        auto gameplay = std::make_unique<BenchGameplay>();
        const bool hudMade = AddBenchHud(*gameplay, hudStyle) != nullptr;
        state.ResumeTiming();
        gameplay->PostInit(style);
        scenes = hudMade ? gameplay->GetScenes().size() : 0;
        state.PauseTiming();
        gameplay.reset();
        state.ResumeTiming();
    }
    if (scenes != 4)
        state.SkipWithError("the location did not load");
    SetWindowScriptSource(nullptr);
    gScript = nullptr;
}
BENCHMARK(BM_Gameplay_PostInitGeneratedLocation)->Unit(benchmark::kMillisecond);

class ItemGameplay : public Gameplay
{
public:
    std::shared_ptr<GameplayFactory> CreateFactory() override
    {
        return std::make_shared<ListedEntityFactory>();
    }
};

// `_items` items over 4 scenes, item k gathering into object k mod 100; 'handout' hands out all
// 100 objects.
const char kItemLocation[] = R"(
gameplayinstructions = { conversations = {}, scenes = {}, inventory = {},
                         events = { { name = 'handout', inventorytoactivate = {} } },
                         active_scene = 's1' }
local g = gameplayinstructions
for o = 0, 99 do
    table.insert(g.inventory, { name = 'o' .. o, partcount = 1 })
    table.insert(g.events[1].inventorytoactivate, 'o' .. o)
end
local object = 0
for s = 1, 4 do
    local items = {}
    for k = (s - 1) * _items / 4, s * _items / 4 - 1 do
        table.insert(items, { name = 'i' .. k, inventory = 'o' .. object, inventoryparts = { 1 } })
        object = object + 1
        if object == 100 then object = 0 end
    end
    table.insert(g.scenes, 's' .. s)
    g['s' .. s] = { items = items }
end
_style = {
    characterinfo = { scrim = {}, conversation_info = {}, info = {} },
    playlist = { location01 = { s1 = {}, s2 = {}, s3 = {}, s4 = {} } }, playlistinfo = {},
    sceneinfo = {}, inventoryinfo = { barwidth = 0 }, animatedcursorinfo = {},
    entityinfo = { iteminfo = {}, areainfo = {}, layerinfo = {}, textinfo = {} },
    locationnumber = 1,
}
)";

void BM_Gameplay_LoadAndHandOutItems(benchmark::State& state)
{
    TScript script;
    gScript = &script;
    SetWindowScriptSource([] { return gScript; });
    BenchFiles files;
    files.Png("bench/bg.png", std::vector<uint32_t>(64 * 8, 0xFF303030), 64, 8);
    script.DoLuaString(kLocation); // its HUD
    std::unique_ptr<TLuaTable> hudTable(script.GetGlobalTable("_hud"));
    script.DoLuaString(("_items = " + std::to_string(state.range(0))).c_str());
    script.DoLuaString(kItemLocation);
    std::unique_ptr<TLuaTable> itemStyle(script.GetGlobalTable("_style"));
    if (itemStyle == nullptr || hudTable == nullptr)
    {
        state.SkipWithError("the location script failed");
        return;
    }
    TWindowStyle style(itemStyle.get());
    TWindowStyle hudStyle(hudTable.get());
    size_t pending = 0, items = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        auto gameplay = std::make_unique<ItemGameplay>();
        auto* hud = AddBenchHud(*gameplay, hudStyle);
        state.ResumeTiming();
        gameplay->PostInit(style);
        gameplay->ActivateEvent("handout", true);
        pending = hud != nullptr ? hud->GetShownInventory().size() : 0;
        items = 0;
        for (const std::shared_ptr<GameplayScene>& scene : gameplay->GetScenes())
            items += scene->GetItems().size();
        state.PauseTiming();
        gameplay.reset();
        state.ResumeTiming();
    }
    if (pending != 100 || items != static_cast<size_t>(state.range(0)))
        state.SkipWithError("the location did not load or hand out its objects");
    SetWindowScriptSource(nullptr);
    gScript = nullptr;
}
BENCHMARK(BM_Gameplay_LoadAndHandOutItems)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

// 1,000 entities whose depths repeat, sorted as a scene sorts them, beside their depths alone.
std::vector<int32_t> Depths()
{
    std::mt19937 random(7);
    std::vector<int32_t> depths(1000);
    for (int32_t& depth : depths)
        depth = static_cast<int32_t>(random() % 400) - 50;
    return depths;
}

void BM_Gameplay_SortThousandEntities(benchmark::State& state)
{
    TScript script;
    script.DoLuaString("_e = {}");
    std::unique_ptr<TLuaTable> empty(script.GetGlobalTable("_e"));
    std::vector<std::shared_ptr<GameplayEntity>> entities;
    for (int32_t depth : Depths())
    {
        script.DoLuaString(("_t = { depth = " + std::to_string(depth) + " }").c_str());
        std::unique_ptr<TLuaTable> table(script.GetGlobalTable("_t"));
        entities.push_back(std::make_shared<GameplayLayer>(*table, *empty));
    }
    // Copies made outside the timing: the list's reference counts are not the sort's cost.
    for (auto _ : state)
    {
        state.PauseTiming();
        std::vector<std::shared_ptr<GameplayEntity>> list = entities;
        state.ResumeTiming();
        SortEntitiesByDepth(list);
        benchmark::DoNotOptimize(list.data());
        state.PauseTiming();
        list.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Gameplay_SortThousandEntities)->Unit(benchmark::kMicrosecond);

void BM_Gameplay_SortThousandDepthsAlone(benchmark::State& state)
{
    const std::vector<int32_t> depths = Depths();
    for (auto _ : state)
    {
        state.PauseTiming();
        std::vector<uint32_t> list(depths.begin(), depths.end());
        state.ResumeTiming();
        std::sort(list.begin(), list.end(), std::greater<uint32_t>());
        benchmark::DoNotOptimize(list.data());
        state.PauseTiming();
        list.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Gameplay_SortThousandDepthsAlone)->Unit(benchmark::kMicrosecond);

} // namespace
