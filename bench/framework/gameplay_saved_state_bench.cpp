// The location's record, built at every calm point: four scenes of 60 entities (20 items, 20
// areas, 20 layers) and 30 inventory objects, half of them in the strip and a few held by areas,
// as a fraction of the 16.7 ms frame (asked: at most 0.02). Beside it, the same record checked and
// read back into a freshly loaded location, reported.
#include "adventure_bench_support.h"
#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/runner/gameplay.h"
#include "framework/adventure/runner/scene_factory_support.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "script/window_script_seam.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

namespace
{

constexpr double kFrameMs = 1000.0 / 60.0;

TScript* gScript = nullptr;

class RecordGameplay : public Gameplay
{
public:
    std::shared_ptr<GameplayFactory> CreateFactory() override
    {
        return std::make_shared<ListedEntityFactory>();
    }
    bool IsLocationDone() override { return false; }
    void Show(const char* scene) { mActiveScene = FindScene(scene); }
    size_t Check(const std::vector<uint8_t>& record) const { return CheckLocationRecord(record); }
    void Restore(const std::vector<uint8_t>& record, size_t extraAt)
    {
        RestoreLocationRecord(record, extraAt);
    }
};

const char kLocation[] = R"(
gameplayinstructions = { conversations = {}, scenes = {}, events = {}, inventory = {},
                         animations = {} }
local g = gameplayinstructions
local strip = { name = 'strip', inventorytoactivate = {} }
local home = 1
for o = 1, 30 do
    table.insert(g.inventory, { name = 'o' .. o, homescene = 's' .. home, partcount = 1 })
    home = home == 4 and 1 or home + 1
    if o <= 15 then
        table.insert(strip.inventorytoactivate, 'o' .. o)
    end
end
table.insert(g.events, strip)
for s = 1, 4 do
    local name = 's' .. s
    table.insert(g.scenes, name)
    local items, areas, layers = {}, {}, {}
    for i = 1, 20 do
        table.insert(items, { name = name .. '_i' .. i, inventory = 'o' .. i,
                              inventoryparts = { 1 } })
        table.insert(areas, { name = name .. '_a' .. i, events = {},
                              holdableinventory = { 'o' .. (20 + s) } })
        table.insert(layers, { name = name .. '_l' .. i, depth = 100 + i })
    end
    g[name] = { items = items, areas = areas, layers = layers }
    table.insert(g.events, { name = 'go' .. s, action = name })
end
g.active_scene = 's1'
_style = {
    characterinfo = { scrim = {}, conversation_info = {}, info = {} },
    playlist = { location01 = {} }, sceneinfo = {}, animatedcursorinfo = {}, locationnumber = 1,
    inventoryinfo = { barwidth = 0 },
    entityinfo = { iteminfo = {}, areainfo = {}, layerinfo = {}, textinfo = {} },
}
-- The HUD's three pictures are tables it must have; none draws here.
_hud = { background = {}, foreground = {}, progressbar = {},
         inventorybounds = { x = 100, y = 510, w = 400, h = 80 } }
)";

// A loaded location; played: its strip filled, an object held by the first area of each scene and
// the second scene shown.
struct RecordLocation
{
    explicit RecordLocation(bool played)
    {
        gScript = &mScript;
        SetWindowScriptSource([] { return gScript; });
        mScript.DoLuaString(kLocation);
        std::unique_ptr<TLuaTable> styleTable(mScript.GetGlobalTable("_style"));
        std::unique_ptr<TLuaTable> hudTable(mScript.GetGlobalTable("_hud"));
        if (styleTable == nullptr || hudTable == nullptr)
            return;
        TWindowStyle style(styleTable.get());
        TWindowStyle hudStyle(hudTable.get());
        mGameplay = std::make_unique<RecordGameplay>();
        const bool hudMade = AddBenchHud(*mGameplay, hudStyle) != nullptr;
        mGameplay->PostInit(style);
        if (!hudMade || mGameplay->GetScenes().size() != 4 ||
            mGameplay->GetInventory().size() != 30)
        {
            mGameplay.reset();
            return;
        }
        if (!played)
            return;
        mGameplay->ActivateEvent("strip", true);
        for (size_t s = 0; s < 4; ++s)
            if (GameplayInventory* held = mGameplay->FindInventory(TString::Format("o%zu", 21 + s)))
                mGameplay->GetScenes()[s]->GetAreas().front()->HoldInventory(held);
        mGameplay->Show("s2");
    }
    ~RecordLocation()
    {
        mGameplay.reset();
        SetWindowScriptSource(nullptr);
        gScript = nullptr;
    }
    TransformManager mTransforms;
    TScript mScript;
    std::unique_ptr<RecordGameplay> mGameplay;
};

void BM_Gameplay_SaveLocationState(benchmark::State& state)
{
    RecordLocation location(true);
    if (location.mGameplay == nullptr)
    {
        state.SkipWithError("the location did not load");
        return;
    }
    double totalMs = 0.0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        location.mGameplay->SaveLocationState(false);
        totalMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        benchmark::DoNotOptimize(location.mGameplay->GetStateBytes().data());
    }
    state.counters["bytes"] = static_cast<double>(location.mGameplay->GetStateBytes().size());
    state.counters["frame_fraction"] =
        totalMs / static_cast<double>(std::max<int64_t>(state.iterations(), 1)) / kFrameMs;
}
BENCHMARK(BM_Gameplay_SaveLocationState)->Unit(benchmark::kMicrosecond);

// The stored record checked whole and read back into a location fresh from its tables (built
// outside the timing).
void BM_Gameplay_LoadLocationState(benchmark::State& state)
{
    std::vector<uint8_t> record;
    {
        RecordLocation source(true);
        if (source.mGameplay == nullptr)
        {
            state.SkipWithError("the location did not load");
            return;
        }
        source.mGameplay->SaveLocationState(false);
        record = source.mGameplay->GetStateBytes();
    }
    double totalMs = 0.0;
    for (auto _ : state)
    {
        state.PauseTiming();
        auto fresh = std::make_unique<RecordLocation>(false);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const size_t extraAt = fresh->mGameplay->Check(record);
        if (extraAt > 0)
            fresh->mGameplay->Restore(record, extraAt);
        totalMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        state.PauseTiming();
        if (extraAt == 0)
            state.SkipWithError("the record was refused");
        fresh.reset();
        state.ResumeTiming();
    }
    state.counters["bytes"] = static_cast<double>(record.size());
    state.counters["frame_fraction"] =
        totalMs / static_cast<double>(std::max<int64_t>(state.iterations(), 1)) / kFrameMs;
}
BENCHMARK(BM_Gameplay_LoadLocationState)->Unit(benchmark::kMicrosecond);

} // namespace
