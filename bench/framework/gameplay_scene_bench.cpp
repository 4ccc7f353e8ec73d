// A scene of 300 shown layers: its Update plus Draw beside the same entity calls made in a plain
// loop, and its saved bytes written, measured and read back.
#include "../render/display_bench_support.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/scene/gameplay_factory.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/core/delta_time.h"
#include "framework/transforms/transform_manager.h"
#include "platform/files/file_layer.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "sys/display/presenter/surface_png.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kEntities = 300;

// Layers of an 8 x 8 picture spread over the screen, every depth different.
class LayerFactory : public GameplayFactory
{
public:
    std::vector<std::shared_ptr<GameplayEntity>> CreateEntities(const TLuaTable&,
                                                                const TLuaTable& info) override
    {
        std::vector<std::shared_ptr<GameplayEntity>> made;
        for (int i = 0; i < kEntities; ++i)
        {
            const std::string lua = "_t = { image = 'bench/scene', depth = " + std::to_string(i) +
                                    ", x = " + std::to_string((i * 37) % 780) +
                                    ", y = " + std::to_string((i * 53) % 580) + " }";
            mScript.DoLuaString(lua.c_str());
            std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("_t"));
            auto layer = std::make_shared<GameplayLayer>(*table, info);
            layer->Activate(false, nullptr);
            made.push_back(layer);
        }
        return made;
    }
    TScript mScript;
};

struct Scene
{
    Scene()
    {
        static const std::vector<uint8_t> png = []
        {
            std::vector<uint32_t> pixels(8 * 8, 0xFF60A0E0u);
            return sys::display::EncodePng(pixels.data(), 8, 8);
        }();
        RegisterMemoryFileName("bench/scene.png", png.data(), static_cast<uint32_t>(png.size()));
        mScript.DoLuaString("_e = {} _s = {}");
        std::unique_ptr<TLuaTable> empty(mScript.GetGlobalTable("_e"));
        std::unique_ptr<TLuaTable> scene(mScript.GetGlobalTable("_s"));
        mScene =
            std::make_unique<GameplayScene>(mFactory, *empty, "bench", *scene, nullptr, *empty);
        mScene->LoadTextures();
    }
    DeltaTime mClock;
    TransformManager mTransforms;
    TScript mScript;
    LayerFactory mFactory;
    std::unique_ptr<GameplayScene> mScene;
};

template <class Frame> void RunFrames(benchmark::State& state, Frame frame)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Scene scene;
        for (auto _ : state)
        {
            renderer->BeginDraw(false);
            renderer->Begin2d();
            frame(*scene.mScene);
            renderer->End2d();
            renderer->EndFrame(false);
        }
    }
    TRenderer::DestroyInstance();
}

void BM_GameplayScene_UpdateDraw300(benchmark::State& state)
{
    const TDrawSpec spec;
    RunFrames(state,
              [&spec](GameplayScene& scene)
              {
                  scene.Update(16, true, true);
                  scene.Draw(spec);
                  scene.DrawEffects(spec);
              });
}
BENCHMARK(BM_GameplayScene_UpdateDraw300)->Unit(benchmark::kMicrosecond);

// The peer: the same entity calls in a plain loop.
void BM_EntityLoop_UpdateDraw300(benchmark::State& state)
{
    const TDrawSpec spec;
    RunFrames(state,
              [&spec](GameplayScene& scene)
              {
                  const auto& entities = scene.GetEntities();
                  for (const auto& entity : entities)
                      entity->Update(16);
                  for (const auto& entity : entities)
                      entity->Draw(spec);
                  for (const auto& entity : entities)
                      entity->DrawEffects(spec);
              });
}
BENCHMARK(BM_EntityLoop_UpdateDraw300)->Unit(benchmark::kMicrosecond);

void BM_GameplayScene_SaveMeasureLoad300(benchmark::State& state)
{
    if (MakeBenchRenderer() == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Scene scene;
        std::vector<uint8_t> bytes;
        bytes.reserve(512);
        bool loaded = true;
        for (auto _ : state)
        {
            bytes.clear();
            scene.mScene->SaveState(bytes);
            benchmark::DoNotOptimize(scene.mScene->MeasureState(bytes.data(), bytes.size()));
            loaded = scene.mScene->LoadState(bytes.data(), bytes.size()) && loaded;
        }
        state.counters["bytes"] = static_cast<double>(bytes.size());
        state.counters["loaded"] = loaded ? 1 : 0;
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_GameplayScene_SaveMeasureLoad300)->Unit(benchmark::kMicrosecond);
} // namespace
