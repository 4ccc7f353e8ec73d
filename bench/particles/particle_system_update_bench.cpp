// A game-sized effect's update: 48 sparks kept alive by a description like the game's bursts, the
// system's whole Update (the script's Update, spawning, the anim program) beside its peer, the same
// anim program compiled once and run over copies of the same 48 particles. The ratio is the price
// of the system's own work around the program; a few sparks (8, run node by node) show it alone.
#include "particles/compiled_particle_program.h"
#include "particles/lua_particle_system.h"
#include "particles/particle_runner.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <vector>

namespace
{
std::string Description(int sparks)
{
    return "SetNumParticles(" + std::to_string(sparks) +
           ")\n"
           "RequireVelocity()\n"
           "pLife = Allocate(1)\n"
           "pVelocity:Init(fRange(Vec2(-70, -110), Vec2(70, -20)))\n"
           "pColor:Init(Color(1, 0.85, 0.45, 1))\n"
           "pScale:Init(0.6)\n"
           "SetUpGravity(140)\n"
           "pPosition:Anim(pPosition + fTimeScale(pVelocity))\n"
           "pLife:Anim(pLife + fTimeScale(1))\n"
           "pColor:Anim(fFade(pLife, Color(1, 0.85, 0.45, 1), 1.0, Color(1, 0.4, 0.1, 0)))\n"
           "Anim(fExpire(fLess(1.0, pLife)))\n"
           "function Update(seconds)\n"
           "    if (gActive or 1) ~= 0 then CreateParticles(" +
           std::to_string(sparks) +
           " - GetParticleCount()) end\n"
           "end\n";
}

// Processor time of this thread: the machine's other work does not count.
double ProcessorMicros()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

void Run(benchmark::State& state, int sparks)
{
    TLuaParticleSystem system;
    if (!system.Load(Description(sparks).c_str()))
    {
        state.SkipWithError("description did not load");
        return;
    }
    system.Update(16);
    if (system.GetParticleCount() != static_cast<unsigned>(sparks))
    {
        state.SkipWithError("the sparks were not made");
        return;
    }
    const int floats = system.GetFloatsPerParticle();
    std::vector<float> snapshot;
    for (float* block : system.GetCollection().mLive)
        snapshot.insert(snapshot.end(), block, block + floats);
    // The peer runs with the system's own member layout, compiled outside the timed parts.
    const TParticleProgram& program = system.GetAnimProgram();
    std::vector<float> copies = snapshot;

    double updates = 0;
    double programs = 0;
    for (auto _ : state)
    {
        const double t0 = ProcessorMicros();
        system.Update(16);
        const double t1 = ProcessorMicros();
        copies = snapshot;
        TParticleRunner runner(system.GetMemberWidths().data(),
                               static_cast<uint32_t>(system.GetMemberWidths().size()), 16, &system);
        TCompiledParticleProgram compiled(program, runner);
        const double t2 = ProcessorMicros();
        for (size_t at = 0; at < copies.size(); at += static_cast<size_t>(floats))
            benchmark::DoNotOptimize(compiled.Run(copies.data() + at));
        const double t3 = ProcessorMicros();
        updates += t1 - t0;
        programs += t3 - t2;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["update_us"] = updates / n;
    state.counters["program_us"] = programs / n;
    state.counters["update_over_program"] = programs > 0 ? updates / programs : 0.0;
    state.counters["sparks"] = system.GetParticleCount();
}

void BM_ParticleSystemUpdate_48Sparks(benchmark::State& state)
{
    Run(state, 48);
}
BENCHMARK(BM_ParticleSystemUpdate_48Sparks)->Unit(benchmark::kMicrosecond);

void BM_ParticleSystemUpdate_8Sparks(benchmark::State& state)
{
    Run(state, 8);
}
BENCHMARK(BM_ParticleSystemUpdate_8Sparks)->Unit(benchmark::kMicrosecond);
} // namespace
