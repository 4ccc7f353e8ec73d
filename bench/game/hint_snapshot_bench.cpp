// The hints' pictures on the headless display: the grey pass over a surface the size the display
// gives the 800 x 600 snapshot (1024 x 1024) beside a memcpy of the same bytes (asked: at most 4
// times the copy); the snapshot of a storeroom-like scene (a full-screen picture, 40 items, 10
// areas; asked: at most half the 16.7 ms frame); and a frame of that scene with Thessalor's and
// with Lirae's overlay beside the same frame without one (asked: each at most 0.25 of the frame).
#include "../framework/adventure_bench_support.h"
#include "../render/display_bench_support.h"
#include "framework/adventure/entities/gameplay_entity.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "game/runner/mkw_gameplay.h"
#include "render/renderer/renderer.h"
#include "script/window_script_seam.h"
#include "ui/window_style.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace
{

constexpr uint32_t kSide = 1024;

std::vector<uint32_t> Scene()
{
    std::vector<uint32_t> pixels(static_cast<size_t>(kSide) * kSide);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8 & 0xFFFFFFu);
    return pixels;
}

void BM_HintGreyPass(benchmark::State& state)
{
    const std::vector<uint32_t> scene = Scene();
    std::vector<uint32_t> pixels = scene;
    for (auto _ : state)
    {
        state.PauseTiming();
        pixels = scene;
        state.ResumeTiming();
        MKWGameplay::GreyPixels(pixels.data(), static_cast<int>(kSide), kSide, kSide);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_HintGreyPass)->Unit(benchmark::kMicrosecond);

void BM_HintGreyPeerMemcpy(benchmark::State& state)
{
    const std::vector<uint32_t> scene = Scene();
    std::vector<uint32_t> pixels(scene.size());
    for (auto _ : state)
    {
        std::memcpy(pixels.data(), scene.data(), scene.size() * sizeof(uint32_t));
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_HintGreyPeerMemcpy)->Unit(benchmark::kMicrosecond);

TScript* gScript = nullptr;

class HintGameplay : public MKWGameplay
{
public:
    void Show(int32_t character)
    {
        mGameplayState = character == 1 ? kThessalorHintShown : kLiraeHintShown;
        mHintCharacter = character;
        mHintItem = mActiveScene->GetItems().front();
        GetHintSnapshotFader().SetAlpha(character == 0 ? 0.0f : 1.0f);
    }
};

const char kStoreroom[] = R"(
gameplayinstructions = { conversations = {}, scenes = { 'store' }, events = {},
                         active_scene = 'store' }
local items, areas = {}, {}
for row = 0, 3 do
    for col = 0, 9 do
        table.insert(items, { name = 'i' .. row .. col, image = 'bench/gem', inventory = 'gem',
                              inventoryparts = { 1 }, x = 60 + col * 70, y = 80 + row * 90 })
    end
end
for i = 0, 9 do
    table.insert(areas, { name = 'a' .. i, image = 'bench/area', events = {},
                          x = 20 + i * 75, y = 420 })
end
gameplayinstructions.store = { items = items, areas = areas,
                               layers = { { name = 'bg', image = 'bench/room', depth = 200 } } }
_style = {
    characterinfo = { scrim = {}, conversation_info = {}, info = {} },
    playlist = { location01 = { store = {} } }, sceneinfo = {}, animatedcursorinfo = {},
    locationnumber = 1,
    entityinfo = { iteminfo = {}, areainfo = {}, layerinfo = {}, textinfo = {} },
    alphathessalorhintcolor = 0.5, colorthessalorhint = { 0.2, 0.3, 0.6, 1 },
    colorliraehint = { 1, 0.7, 0.3, 1 }, spriteliraehint = 'bench/spot', spriteliraecenterx = 64,
    spriteliraecentery = 64, spriteliraehintwidth = 200, spriteliraehintheight = 200,
    godray = { texture = 'bench/ray', raydistancemin = 0.5, raydistancemax = 1, rayalphamin = 60,
               rayalphamax = 140, raylengthmin = 2, raylengthmax = 3, raywidthmin = 0.3,
               raywidthmax = 0.5, rayanglemin = -0.4, rayanglemax = 0.4,
               rayrotatespeedmin = 8000, rayrotatespeedmax = 14000 },
    godraycount = 3,
}
_hud = { background = { image = 'bench/bg.png' }, foreground = { image = 'bench/bg.png' },
         progressbar = { image = 'bench/bg.png' },
         inventorybounds = { x = 100, y = 510, w = 400, h = 80 } }
)";

// A loaded storeroom with every entity shown and its textures made.
struct Storeroom
{
    Storeroom()
    {
        gScript = &mScript;
        SetWindowScriptSource([] { return gScript; });
        std::vector<uint32_t> room(800 * 600);
        for (size_t i = 0; i < room.size(); ++i)
            room[i] = 0xFF000000u | static_cast<uint32_t>((i % 800) * 0x10203u & 0xFFFFFFu);
        mFiles.Png("bench/room.png", room, 800, 600);
        mFiles.Png("bench/bg.png", std::vector<uint32_t>(64 * 8, 0xFF303030), 64, 8);
        mFiles.Png("bench/gem.png", std::vector<uint32_t>(32 * 32, 0xFF4080C0), 32, 32);
        mFiles.Png("bench/area.png", std::vector<uint32_t>(48 * 48, 0xFF805020), 48, 48);
        mFiles.Png("bench/ray.png", std::vector<uint32_t>(64 * 256, 0x80FFFFFF), 64, 256);
        mFiles.Png("bench/spot.png", std::vector<uint32_t>(128 * 128, 0x80FFC080), 128, 128);
        mScript.DoLuaString(kStoreroom);
        std::unique_ptr<TLuaTable> styleTable(mScript.GetGlobalTable("_style"));
        std::unique_ptr<TLuaTable> hudTable(mScript.GetGlobalTable("_hud"));
        if (styleTable == nullptr || hudTable == nullptr)
            return;
        TWindowStyle style(styleTable.get());
        TWindowStyle hudStyle(hudTable.get());
        mGameplay = std::make_unique<HintGameplay>();
        const bool hudMade = AddBenchHud(*mGameplay, hudStyle) != nullptr;
        mGameplay->PostInit(style);
        if (!hudMade || mGameplay->GetScenes().size() != 1 ||
            mGameplay->GetActiveScene() == nullptr ||
            mGameplay->GetActiveScene()->GetItems().empty())
        {
            mGameplay.reset();
            return;
        }
        GameplayScene* scene = mGameplay->GetActiveScene();
        for (const auto& entity : scene->GetEntities())
            entity->Activate(false, nullptr);
        scene->LoadTextures();
        while (!scene->FinishTexturesStep())
        {
        }
    }
    ~Storeroom()
    {
        mGameplay.reset();
        SetWindowScriptSource(nullptr);
        gScript = nullptr;
    }
    DeltaTime mClock;
    TransformManager mTransforms;
    TScript mScript;
    BenchFiles mFiles;
    std::unique_ptr<HintGameplay> mGameplay;
};

template <class Body> void WithStoreroom(benchmark::State& state, Body body)
{
    if (MakeBenchRenderer() == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Storeroom room;
        if (room.mGameplay == nullptr)
            state.SkipWithError("the storeroom did not load");
        else
            body(state, *room.mGameplay);
    }
    TRenderer::DestroyInstance();
}

void BM_HintSnapshotStoreroom(benchmark::State& state)
{
    WithStoreroom(state,
                  [](benchmark::State& s, HintGameplay& play)
                  {
                      play.Show(2);
                      for (auto _ : s)
                          if (!play.RenderHintSnapshot())
                          {
                              s.SkipWithError("the snapshot was refused");
                              break;
                          }
                  });
}
BENCHMARK(BM_HintSnapshotStoreroom)->Unit(benchmark::kMicrosecond);

// One frame of the scene with the character's overlay over it (0: none, the peer).
void OverlayFrames(benchmark::State& state, int32_t character)
{
    WithStoreroom(state,
                  [character](benchmark::State& s, HintGameplay& play)
                  {
                      play.Show(2);
                      play.RenderHintSnapshot();
                      play.Show(character);
                      TRenderer* renderer = TRenderer::Instance();
                      for (auto _ : s)
                      {
                          renderer->BeginDraw(false);
                          play.Draw();
                          renderer->EndFrame(false);
                      }
                  });
}

void BM_HintFrameThessalorOverlay(benchmark::State& state)
{
    OverlayFrames(state, 1);
}
BENCHMARK(BM_HintFrameThessalorOverlay)->Unit(benchmark::kMicrosecond);

void BM_HintFrameLiraeOverlay(benchmark::State& state)
{
    OverlayFrames(state, 2);
}
BENCHMARK(BM_HintFrameLiraeOverlay)->Unit(benchmark::kMicrosecond);

void BM_HintFramePeerNoOverlay(benchmark::State& state)
{
    OverlayFrames(state, 0);
}
BENCHMARK(BM_HintFramePeerNoOverlay)->Unit(benchmark::kMicrosecond);

} // namespace
