// Particle updates: 10,000 live particles through a typical anim program (velocity, gravity, age,
// alpha fade, expiry) node by node and compiled for the batch, against a plain C++ loop.
#include "particle_bench_program.h"

#include <benchmark/benchmark.h>

namespace
{
using namespace particlebench;

void BM_ParticleAnim_Nodes(benchmark::State& state)
{
    TParticleProgram program = AnimProgram();
    std::vector<float> particles = MakeParticles();
    for (auto _ : state)
    {
        UpdateByNodes(program, particles);
        benchmark::DoNotOptimize(particles.data());
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
    state.counters["instructions"] = static_cast<double>(program.size());
}
BENCHMARK(BM_ParticleAnim_Nodes)->Unit(benchmark::kMicrosecond);

void BM_ParticleAnim_Compiled(benchmark::State& state)
{
    TParticleProgram program = AnimProgram();
    std::vector<float> particles = MakeParticles();
    for (auto _ : state)
    {
        Update(program, particles);
        benchmark::DoNotOptimize(particles.data());
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
}
BENCHMARK(BM_ParticleAnim_Compiled)->Unit(benchmark::kMicrosecond);

// The gravity read from a registered function: one node called through the node interface.
void BM_ParticleAnim_CompiledWithACall(benchmark::State& state)
{
    TParticleProgram program = AnimProgram(true);
    std::vector<float> particles = MakeParticles();
    for (auto _ : state)
    {
        Update(program, particles);
        benchmark::DoNotOptimize(particles.data());
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
}
BENCHMARK(BM_ParticleAnim_CompiledWithACall)->Unit(benchmark::kMicrosecond);

void BM_ParticleAnim_NodesWithACall(benchmark::State& state)
{
    TParticleProgram program = AnimProgram(true);
    std::vector<float> particles = MakeParticles();
    for (auto _ : state)
    {
        UpdateByNodes(program, particles);
        benchmark::DoNotOptimize(particles.data());
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
}
BENCHMARK(BM_ParticleAnim_NodesWithACall)->Unit(benchmark::kMicrosecond);

// What compiling the program for a batch costs, against one particle run node by node.
void BM_ParticleAnim_Compile(benchmark::State& state)
{
    TParticleProgram program = AnimProgram();
    TParticleRunner runner(kWidths, 7, kStep, nullptr);
    for (auto _ : state)
    {
        TCompiledParticleProgram compiled(program, runner);
        benchmark::DoNotOptimize(&compiled);
    }
}
BENCHMARK(BM_ParticleAnim_Compile);

void BM_ParticleAnim_OneParticleByNodes(benchmark::State& state)
{
    TParticleProgram program = AnimProgram();
    std::vector<float> particles = MakeParticles();
    TParticleRunner runner(kWidths, 7, kStep, nullptr);
    for (auto _ : state)
    {
        runner.Run(program, particles.data());
        particles[kAge] = 0.0f;
        benchmark::DoNotOptimize(particles.data());
    }
}
BENCHMARK(BM_ParticleAnim_OneParticleByNodes);

void BM_ParticleAnim_Native(benchmark::State& state)
{
    std::vector<float> particles = MakeParticles();
    for (auto _ : state)
    {
        // Volatile so the step time is not folded in, as it is not for the nodes.
        volatile uint32_t stepTime = kStep;
        uint32_t ms = stepTime;
        for (int i = 0; i < kParticles; ++i)
        {
            float* p = particles.data() + static_cast<size_t>(i) * kFloats;
            float scale = static_cast<float>(ms / 1000.0);
            p[0] += p[kVelocity] * scale;
            p[1] += p[kVelocity + 1] * scale;
            p[kVelocity + 1] += 100.0f * scale;
            p[kAge] += static_cast<float>(ms);
            float t = p[kAge] < 0.0f ? 0.0f : p[kAge];
            float alpha = t < kLifetime ? 1.0f + (0.0f - 1.0f) * (t / kLifetime) : 0.0f;
            p[5] = p[6] = p[7] = 1.0f;
            p[8] = alpha;
            if (kLifetime < p[kAge])
                Respawn(p);
        }
        benchmark::DoNotOptimize(particles.data());
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
}
BENCHMARK(BM_ParticleAnim_Native)->Unit(benchmark::kMicrosecond);
} // namespace
