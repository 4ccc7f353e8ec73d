// Cut-scene elements on the headless display: a cell's worth (eight layers, two of them riding on
// another, two texts and a bubble) drawn through the elements against the same bitmaps and text
// objects drawn directly, and one particle element of 48 particles updated and drawn against the
// bare particle system running the same description.
#include "cutscene_bench_support.h"
#include "framework/widgets/animated_bitmap.h"
#include "framework/widgets/particle_functions.h"
#include "framework/widgets/text_object.h"
#include "game/cutscenes/illustration_panel_layer.h"
#include "game/cutscenes/illustration_panel_particle.h"
#include "game/cutscenes/illustration_panel_speech.h"
#include "game/cutscenes/illustration_panel_text.h"
#include "particles/lua_particle_system.h"
#include "render/sprites/sprite.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

// 48 particles kept alive, swaying on a sine around "dCenter", scaled by a weighted choice.
const char* const kFireflies =
    "SetNumParticles(48) pLife = Allocate(1) pPhase = Allocate(1) "
    "pPosition:Init(dCenter + fRange(Vec2(-200, -150), Vec2(200, 150))) "
    "pPhase:Init(fRange(0, 6.28)) pScale:Init(fRandom(2, 3, 4, 1)) pLife:Init(0) "
    "pLife:Anim(pLife + fTimeScale(1)) "
    "pPosition:Anim(pPosition + fTimeScale(Vec2(1, 0) * (fSin(pPhase + pLife) * 16))) "
    "function Update(s) CreateParticles(48 - GetParticleCount()) end";

using cutscenebench::Bench;

// Eight flat layers with their sepia copies and a bubble image.
void Images(Bench& bench)
{
    for (int i = 0; i < 8; ++i)
    {
        const uint32_t argb = 0xFF000000u | (0x202020u * static_cast<uint32_t>(i + 1));
        bench.Image("bench/layer" + std::to_string(i), 96, 64, argb);
        bench.Image("bench/layer" + std::to_string(i) + "_sepia", 96, 64, argb & 0xFF806040u);
    }
    bench.Image("bench/bubble", 160, 48, 0xF0FAFAEBu);
}

struct Cell
{
    std::vector<std::shared_ptr<IllustrationPanelLayer>> mLayers;
    std::vector<std::shared_ptr<IllustrationPanelText>> mTexts;
    std::unique_ptr<TLuaTable> mInfo;
    std::unique_ptr<IllustrationPanelSpeech> mBubble;

    explicit Cell(Bench& bench)
    {
        Images(bench);
        for (int i = 0; i < 8; ++i)
        {
            std::string lua = "{ name = 'l" + std::to_string(i) + "', image = 'bench/layer" +
                              std::to_string(i) + "', x = " + std::to_string(60 * i) +
                              ", y = " + std::to_string(40 * i);
            if (i >= 6)
                lua += ", parentlayer = 'l0', parentposition = true";
            std::unique_ptr<TLuaTable> table = bench.Table(lua + " }");
            mLayers.push_back(std::make_shared<IllustrationPanelLayer>(*table));
        }
        mLayers[6]->SetParent(mLayers[0].get());
        mLayers[7]->SetParent(mLayers[0].get());
        for (int i = 0; i < 2; ++i)
        {
            std::unique_ptr<TLuaTable> table =
                bench.Table("{ x = 40, y = " + std::to_string(400 + 60 * i) +
                            ", text = { string = 'A caption of the cut-scene', w = 400, h = 40,"
                            " font = { '', 18, { 1, 1, 1, 1 } } } }");
            mTexts.push_back(std::make_shared<IllustrationPanelText>(*table));
            mTexts.back()->Start();
        }
        mInfo = bench.Table("{ alphaintro = 1, font = { '', 14, { 0, 0, 0, 1 } }, flags = 5 }");
        std::unique_ptr<TLuaTable> bubble = bench.Table(
            "{ image = 'bench/bubble', x = 500, y = 60,"
            "  text = { text = 'Who goes there?', x = 510, y = 70, w = 140, h = 30 } }");
        mBubble = std::make_unique<IllustrationPanelSpeech>(*mInfo, *bubble);
        mBubble->GetTransform().SetAlpha(1);
    }
};

void BM_CutsceneElements_Live(benchmark::State& state)
{
    Bench bench;
    Cell cell(bench);
    const TDrawSpec spec(TVec2(20, 10));
    for (auto _ : state)
    {
        if (!bench.BeginFrame())
        {
            state.SkipWithError("no frame");
            return;
        }
        for (const auto& layer : cell.mLayers)
            layer->Draw(spec);
        for (const auto& text : cell.mTexts)
            text->Draw(spec);
        const TDrawSpec bubble = cell.mBubble->GetSpec().Combine(spec);
        cell.mBubble->GetSprite()->Draw(bubble);
        cell.mBubble->GetTextObject()->Draw(bubble);
        bench.EndFrame();
    }
}
BENCHMARK(BM_CutsceneElements_Live)->Unit(benchmark::kMicrosecond);

// The same pictures without the elements: each bitmap and text object drawn by itself.
void BM_CutsceneElements_Direct(benchmark::State& state)
{
    Bench bench;
    Cell cell(bench);
    const TDrawSpec spec(TVec2(20, 10));
    const TDrawSpec riding = spec.Combine(cell.mLayers[6]->ParentSpec());
    for (auto _ : state)
    {
        if (!bench.BeginFrame())
        {
            state.SkipWithError("no frame");
            return;
        }
        for (size_t i = 0; i < cell.mLayers.size(); ++i)
            cell.mLayers[i]->GetImage()->Draw(i >= 6 ? riding : spec);
        for (const auto& text : cell.mTexts)
            text->GetTextObject()->Draw(spec.Combine(text->GetImage()->GetSprite()->GetSpec()));
        const TDrawSpec bubble = cell.mBubble->GetSpec().Combine(spec);
        cell.mBubble->GetSprite()->Draw(bubble);
        cell.mBubble->GetTextObject()->Draw(bubble);
        bench.EndFrame();
    }
}
BENCHMARK(BM_CutsceneElements_Direct)->Unit(benchmark::kMicrosecond);

template <class Step> void RunParticles(benchmark::State& state, Bench& bench, Step step)
{
    for (auto _ : state)
    {
        if (!bench.BeginFrame())
        {
            state.SkipWithError("no frame");
            return;
        }
        step();
        bench.EndFrame();
    }
}

void BM_CutsceneParticle_Element(benchmark::State& state)
{
    Bench bench;
    std::unique_ptr<TLuaTable> table = bench.Table(
        std::string("{ functions = { 'fSin', 'fRandom' }, data = { dCenter = { 400, 300 } },"
                    " script = [[") +
        kFireflies + "]] }");
    IllustrationPanelParticle particle(*table);
    const TDrawSpec spec(TVec2(0, 0));
    RunParticles(state, bench,
                 [&]
                 {
                     particle.Update(16);
                     particle.Draw(spec);
                 });
    state.counters["particles"] = particle.GetSystem().GetParticleCount();
}
BENCHMARK(BM_CutsceneParticle_Element)->Unit(benchmark::kMicrosecond);

void BM_CutsceneParticle_Bare(benchmark::State& state)
{
    Bench bench;
    TLuaParticleSystem system;
    system.RegisterNodeType("fSin", &ParticleSin::Create);
    system.RegisterNodeType("fRandom", &ParticleRandom::Create);
    ParticleVector centre;
    centre.mWidth = 2;
    centre.mValue[0] = 400;
    centre.mValue[1] = 300;
    system.RegisterFunction("dCenter", &centre);
    system.Load(kFireflies);
    RunParticles(state, bench,
                 [&]
                 {
                     system.Update(16);
                     system.Draw(TVec3(0, 0, 0));
                 });
    state.counters["particles"] = system.GetParticleCount();
}
BENCHMARK(BM_CutsceneParticle_Bare)->Unit(benchmark::kMicrosecond);

} // namespace
