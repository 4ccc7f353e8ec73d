// Scene entities against the parts they wrap, in the same run: 1,000 shown one-frame layers
// drawn through GameplayLayer::Draw beside the same bitmaps drawn with AnimatedBitmap::Draw (once
// with half of the layers following a parent), and 200 particle entities' updates beside the
// same particle systems updated directly.
#include "../render/display_bench_support.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/entities/gameplay_particle.h"
#include "framework/widgets/animated_bitmap.h"
#include "framework/core/delta_time.h"
#include "framework/transforms/transform_manager.h"
#include "particles/lua_particle_system.h"
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
constexpr int kLayers = 1000;
constexpr int kParticles = 200;

// An 8 x 8 picture, kept registered for the run.
void RegisterPicture()
{
    static const std::vector<uint8_t> png = []
    {
        std::vector<uint32_t> pixels(8 * 8, 0xFF80A040u);
        return sys::display::EncodePng(pixels.data(), 8, 8);
    }();
    RegisterMemoryFileName("bench/layer.png", png.data(), static_cast<uint32_t>(png.size()));
}

struct Layers
{
    DeltaTime mClock;
    TransformManager mTransforms;
    TScript mScript;
    std::vector<std::unique_ptr<GameplayLayer>> mLayers;
};

// Shown layers spread over the screen; with `following`, every other one rides on the one
// before it, turning, scaling and fading with it.
void MakeLayers(Layers& out, bool following)
{
    RegisterPicture();
    out.mScript.DoLuaString("_i = {}");
    std::unique_ptr<TLuaTable> info(out.mScript.GetGlobalTable("_i"));
    for (int i = 0; i < kLayers; ++i)
    {
        const bool follower = following && i % 2 == 1;
        const std::string lua =
            "_t = { image = 'bench/layer', x = " + std::to_string((i * 37) % 780) +
            ", y = " + std::to_string((i * 53) % 580) +
            (follower ? ", parentrotationscale = true, parentalpha = true }" : " }");
        out.mScript.DoLuaString(lua.c_str());
        std::unique_ptr<TLuaTable> table(out.mScript.GetGlobalTable("_t"));
        auto layer = std::make_unique<GameplayLayer>(*table, *info);
        layer->Activate(false, nullptr);
        if (follower)
            layer->SetParent(out.mLayers.back().get());
        out.mLayers.push_back(std::move(layer));
    }
}

void DrawLayers(benchmark::State& state, bool following)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Layers layers;
        MakeLayers(layers, following);
        const TDrawSpec scene;
        for (auto _ : state)
        {
            renderer->BeginDraw(false);
            renderer->Begin2d();
            for (auto& layer : layers.mLayers)
                layer->Draw(scene);
            renderer->End2d();
            renderer->EndFrame(false);
        }
        state.SetItemsProcessed(state.iterations() * kLayers);
    }
    TRenderer::DestroyInstance();
}

void BM_GameplayLayers_Draw1000(benchmark::State& state)
{
    DrawLayers(state, false);
}
BENCHMARK(BM_GameplayLayers_Draw1000)->Unit(benchmark::kMicrosecond);

void BM_GameplayLayers_Draw1000HalfFollowing(benchmark::State& state)
{
    DrawLayers(state, true);
}
BENCHMARK(BM_GameplayLayers_Draw1000HalfFollowing)->Unit(benchmark::kMicrosecond);

// The peer: the same bitmaps drawn straight, under the same specs the layers would pass.
void BM_AnimatedBitmaps_Draw1000(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (renderer == nullptr)
    {
        state.SkipWithError("no display");
        return;
    }
    {
        Layers layers;
        MakeLayers(layers, false);
        std::vector<std::shared_ptr<AnimatedBitmap>> bitmaps;
        for (auto& layer : layers.mLayers)
            bitmaps.push_back(layer->GetBitmap());
        const TDrawSpec scene;
        for (auto _ : state)
        {
            renderer->BeginDraw(false);
            renderer->Begin2d();
            for (auto& bitmap : bitmaps)
                bitmap->Draw(scene);
            renderer->End2d();
            renderer->EndFrame(false);
        }
        state.SetItemsProcessed(state.iterations() * kLayers);
    }
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_AnimatedBitmaps_Draw1000)->Unit(benchmark::kMicrosecond);

// Effects that keep about 20 particles alive each.
struct Particles
{
    Particles()
    {
        mScript.DoLuaString("_t = { script = 'SetNumParticles(32) pAge = Allocate(1) "
                            "pAge:Anim(pAge + fTimeScale(1)) Anim(fExpire(fLess(0.3, pAge))) "
                            "pPosition:Init(Vec2(10, 10)) pScale:Init(4) "
                            "function Update(s) CreateParticles(1) end' }");
        std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("_t"));
        for (int i = 0; i < kParticles; ++i)
            mEntities.push_back(std::make_unique<GameplayParticle>(*table));
    }
    DeltaTime mClock;
    TScript mScript;
    std::vector<std::unique_ptr<GameplayParticle>> mEntities;
};

void BM_GameplayParticles_Update200(benchmark::State& state)
{
    Particles particles;
    for (auto _ : state)
        for (auto& entity : particles.mEntities)
            entity->Update(16);
    state.counters["particles"] = particles.mEntities.front()->GetSystem().GetParticleCount();
}
BENCHMARK(BM_GameplayParticles_Update200)->Unit(benchmark::kMicrosecond);

// The peer: the same systems updated directly.
void BM_ParticleSystems_Update200(benchmark::State& state)
{
    Particles particles;
    for (auto _ : state)
        for (auto& entity : particles.mEntities)
            entity->GetSystem().Update(16);
    state.counters["particles"] = particles.mEntities.front()->GetSystem().GetParticleCount();
}
BENCHMARK(BM_ParticleSystems_Update200)->Unit(benchmark::kMicrosecond);
} // namespace
