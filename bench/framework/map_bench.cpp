// The travel map on the headless display with the sample game's own pictures and particle
// scripts: one frame while the boat crosses (the leg's picture, the place's name, the route, the
// flash, the mist and the wake, the boat between its water and its reeds), reported as its share
// of a 16.7 ms frame (asked: at most a quarter); and opening the map (the window built from its
// style, its pictures loaded, then closed again) beside loading those pictures alone (asked: at
// most 1.3x).
#include "framework/adventure/map/map.h"
#include "framework/adventure/player_data.h"
#include "framework/core/delta_time.h"
#include "framework/core/settings.h"
#include "framework/core/window_manager.h"
#include "framework/transforms/transform_manager.h"
#include "platform/config/config.h"
#include "platform/files/file_layer.h"
#include "render/renderer/renderer.h"
#include "render/sprites/animated_texture.h"
#include "render/textures/texture.h"
#include "sys/clock.h"
#include "ui/window_bench_support.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <memory>
#include <string>
#include <vector>

namespace
{

// The pictures the map of the second leg loads, as the sample game makes them.
const char* const kPictures[] = {"map/large.jp2", "map/dot.png",      "map/route1.png",
                                 "map/leg1.jpg",  "map/fen_back.png", "map/fen_front.png",
                                 "map/flash.png", "map/boat.xml",     "map/boat.png",
                                 "fx/puff.png",   "fx/spark.png",     "fonts/title.mvec"};
const char* const kScripts[] = {"fx/mist.lua", "fx/follow.lua"};
// Loaded alone, as the map asks for them (the boat through its description).
const char* const kTextures[] = {"map/large",    "map/dot",       "map/route1", "map/leg1",
                                 "map/fen_back", "map/fen_front", "map/flash"};

// The sample game's map with one place per leg; `crossing` is the boat's travel time.
std::string MapScript(uint32_t crossing)
{
    return "PushModal('benchmap') Map { name = 'travelmap', x = 0, y = 0, w = 800, h = 600, "
           "dot = 'map/dot', dots = {}, largemap = 'map/large', path = 'map/route%d', "
           "modifiers = { timeshowlargemap = 1500, timemapcrossfade = 1200, timescreenfade = 600 "
           "}, particles = { xoffset = 0, yoffset = 0, script = 'fx/mist.lua' }, "
           "lightningscrim = 'map/flash', timestayflashed = 120, maxlightningalpha = 0.6, "
           "mintimebetweenstrikes = 4000, maxtimebetweenstrikes = 9000, "
           "scrimcolor = { 200, 220, 255 }, locations = { "
           "location02 = { x = 520, y = 300, travel = 'boat', largecenterx = 520, "
           "largecentery = 300, scalemaplarge = 1.4, pathx = 106, pathy = 292, direction = 6, "
           "text = { { text = 'The Observatory', font = { 'fonts/title.mvec', 22, "
           "{ 0.95, 0.9, 0.75, 1 } }, x = 400, y = 40, w = 300, h = 40, flags = 5, alpha = 1, "
           "dropshadowcolor = { 0, 0, 0, 0.6 }, dropshadowoffset = 2 } } } }, "
           "travel = { boat = { traveltime = " +
           std::to_string(crossing) +
           ", traveldelaytime = 800, layerfadetime = 500, spacetravelx = 40, "
           "map = 'map/leg%d', travel = { image = 'map/boat', x = 0, flags = 5, framespeed = 200, "
           "animation = 'wrap', midpointx = 400, y = 165, timesecondary = 1400, "
           "oscillateamount = 6, rotateamount = 0.01 }, "
           "background = { image = 'map/fen_back', x = 400, y = 300, flags = 5 }, "
           "foreground = { image = 'map/fen_front', x = 400, y = 520, flags = 5 }, "
           "particles = { xoffset = -40, yoffset = 185, script = 'fx/follow.lua' } } } }()";
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The application, the window script with the map's type, a player whose record is after the
// first place, the sample's pictures as memory files, and the frame clock and transforms; made
// once for the program.
struct MapBenchWorld
{
    MapBenchWorld()
    {
        if (TApplication::Get() == nullptr)
            MakeWindowBenchApplication();
        char pattern[] = "/tmp/mw_bench_map_XXXXXX";
        mFolder = mkdtemp(pattern);
        SetDataFolders(mFolder.c_str(), mFolder.c_str(), mFolder.c_str());
        SetConfig("encryptionkey", "Mp3vQ8xW2kLt");
        mManager = GetWindowManager();
        mManager->CreateScript();
        mManager->RegisterWindowType("Map", &Map::Create);
        const std::string assets = std::string(MURKWELL_SOURCE_DIR) + "/assets/";
        for (const char* name : kPictures)
            Serve(name, ReadBytes(assets + name));
        for (const char* name : kScripts)
            Serve(name, ReadBytes(assets + name));
        mSettings = std::make_unique<Settings>();
        mSettings->CreateNewUser("Ann");
        mRecord = std::make_unique<PlayerData>();
        sys::SetManualClock(true, 1000);
        WindowManager::SetActiveSource([] { return true; });
        mFrames = std::make_unique<WindowManager>();
        mFrames->AddClient(&mTransforms, true);
    }
    ~MapBenchWorld()
    {
        std::error_code ignored;
        std::filesystem::remove_all(mFolder, ignored);
    }

    bool Ready() const { return mMissing.empty(); }
    void Serve(const std::string& name, std::string bytes)
    {
        // The pictures come from `make assets`, the fonts from the build (its default target).
        if (bytes.empty() && mMissing.empty())
            mMissing = "assets/" + name + " is missing: run `make assets` and build the fonts";
        mBytes.push_back(std::move(bytes));
        RegisterMemoryFileName(name.c_str(), mBytes.back().data(),
                               static_cast<uint32_t>(mBytes.back().size()));
    }
    // A frame of `ms`: the framework's frame (the clock, the transforms, every window's step),
    // the script's task and the windows' tick (deletions, messages).
    void Step(uint32_t ms)
    {
        sys::AdvanceManualClock(ms);
        mFrames->Run();
        if (TWindowScript* script = mManager->GetScript(); script->Ready(kTaskPassTime))
            script->Run();
        mManager->HandleEvent(MakeTick());
    }
    static TPlatformEvent MakeTick()
    {
        TPlatformEvent event;
        event.mType = kEventTick;
        return event;
    }
    Map* Open(uint32_t crossing)
    {
        mRecord->SetLocation(1);
        mManager->GetScript()->DoLuaString(MapScript(crossing).c_str());
        TWindow* window = mManager->GetRoot()->FindChild("travelmap", 0xFFFFFFFFu);
        return window != nullptr && window->IsKindOf(Map::GetClassId()) ? static_cast<Map*>(window)
                                                                        : nullptr;
    }
    // The map's modal popped and the window deleted (a tick later), its pictures with it.
    void Close()
    {
        mManager->DoPopModal("benchmap");
        Step(0);
        Step(0);
    }

    std::string mFolder;
    TWindowManager* mManager = nullptr;
    std::list<std::string> mBytes;
    std::string mMissing; // the first file not found, as the benchmarks' error
    std::unique_ptr<Settings> mSettings;
    std::unique_ptr<PlayerData> mRecord;
    DeltaTime mClock;
    TransformManager mTransforms;
    std::unique_ptr<WindowManager> mFrames;
};

MapBenchWorld& World()
{
    static MapBenchWorld* world = new MapBenchWorld;
    return *world;
}

} // namespace

static void BM_Map_TravellingFrame(benchmark::State& state)
{
    MapBenchWorld& world = World();
    if (!world.Ready())
        return state.SkipWithError(world.mMissing.c_str());
    // A crossing long enough to last the whole measurement.
    Map* map = world.Open(100000000);
    for (int i = 0; i < 400 && map != nullptr && map->GetMapState() != Map::kTravelling; ++i)
        world.Step(16);
    if (map == nullptr || map->GetMapState() != Map::kTravelling)
        return state.SkipWithError("the map does not reach its crossing");
    TRenderer* renderer = TRenderer::Instance();
    for (auto _ : state)
    {
        world.Step(16);
        if (!renderer->BeginDraw(false))
            return state.SkipWithError("no frame");
        world.mManager->RenderModals(0);
        renderer->EndFrame(true);
    }
    world.Close();
    state.counters["share_of_16.7ms"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 0.0167,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Map_TravellingFrame)->Unit(benchmark::kMillisecond);

static void BM_Map_Open(benchmark::State& state)
{
    MapBenchWorld& world = World();
    if (!world.Ready())
        return state.SkipWithError(world.mMissing.c_str());
    for (auto _ : state)
    {
        if (world.Open(3000) == nullptr)
            return state.SkipWithError("the map is not made");
        state.PauseTiming();
        world.Close();
        // Nothing of the map may stay alive, or the next opening would find its pictures.
        if (TTexture::Get("map/large", 0).use_count() != 1)
            return state.SkipWithError("the map's pictures outlive it");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Map_Open)->Unit(benchmark::kMillisecond);

static void BM_Map_TexturesAlone(benchmark::State& state)
{
    MapBenchWorld& world = World();
    if (!world.Ready())
        return state.SkipWithError(world.mMissing.c_str());
    for (auto _ : state)
    {
        std::vector<std::shared_ptr<TTexture>> textures;
        for (const char* name : kTextures)
            textures.push_back(TTexture::Get(name, 0));
        textures.push_back(TAnimatedTexture::Get("map/boat"));
        benchmark::DoNotOptimize(textures.data());
        state.PauseTiming();
        textures.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Map_TexturesAlone)->Unit(benchmark::kMillisecond);
