// Particle drawing: 10,000 particles updated by the anim program and then drawn as quads through
// a 1 x 1 clip rectangle (submitted and clipped, almost nothing rasterised), on a headless display;
// and the same draw without the update.
#include "particle_bench_display.h"
#include "particle_bench_program.h"

#include "particles/particle_renderer_2d.h"
#include "render/renderer/renderer.h"

#include <benchmark/benchmark.h>

#include <list>

namespace
{
// The update (none, node by node, or compiled) and the draw of every particle through the clip.
void Run(benchmark::State& state, void (*update)(const TParticleProgram&, std::vector<float>&))
{
    if (!particlebench::MakeDisplay())
    {
        state.SkipWithError("no headless display");
        return;
    }
    TParticleProgram program = particlebench::AnimProgram();
    std::vector<float> particles = particlebench::MakeParticles();
    std::list<float*> live;
    for (int i = 0; i < particlebench::kParticles; ++i)
        live.push_back(particles.data() + static_cast<size_t>(i) * particlebench::kFloats);
    T2dParticleRenderer renderer;
    TRenderer* out = TRenderer::Instance();
    for (auto _ : state)
    {
        if (update != nullptr)
            update(program, particles);
        if (!out->BeginDraw(false))
        {
            state.SkipWithError("no frame");
            return;
        }
        out->PushClipRect(TRect(0, 0, 1, 1));
        out->Begin2d();
        renderer.Draw(TVec3(400, 300, 0), 1.0f, live, particlebench::kParticles);
        out->End2d();
        out->PopClipRect();
        out->EndFrame(false);
    }
    state.SetItemsProcessed(state.iterations() * particlebench::kParticles);
}

void BM_ParticleAnimAndDraw_Nodes(benchmark::State& state)
{
    Run(state, &particlebench::UpdateByNodes);
}
BENCHMARK(BM_ParticleAnimAndDraw_Nodes)->Unit(benchmark::kMicrosecond);

void BM_ParticleAnimAndDraw_Compiled(benchmark::State& state)
{
    Run(state, &particlebench::Update);
}
BENCHMARK(BM_ParticleAnimAndDraw_Compiled)->Unit(benchmark::kMicrosecond);

// The draw alone: what the clipped quads cost without any update.
void BM_ParticleDrawOnly(benchmark::State& state)
{
    Run(state, nullptr);
}
BENCHMARK(BM_ParticleDrawOnly)->Unit(benchmark::kMicrosecond);
} // namespace
