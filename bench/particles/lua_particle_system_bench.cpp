// A description written with the particle library (velocity, gravity, fade, expiry) keeping
// 10,000 particles alive: the system's Update (the script's Update, the anim program) and Draw,
// through a 1 x 1 clip rectangle and through the whole 800 x 600 software display.
#include "particle_bench_display.h"

#include "particles/lua_particle_system.h"
#include "render/renderer/renderer.h"

#include <benchmark/benchmark.h>

namespace
{
const char* const kDescription = "SetNumParticles(10000)\n"
                                 "pAge = Allocate(1)\n"
                                 "SetUpGravity(50)\n"
                                 "SetBlendMode(kBlendAdditiveAlpha)\n"
                                 "pPosition:Init(Vec2(400, 300))\n"
                                 "pVelocity:Init(f2dRadius(40))\n"
                                 "pScale:Init(8)\n"
                                 "pAge:Anim(pAge + fTimeScale(1))\n"
                                 "pPosition:Anim(pPosition + fTimeScale(pVelocity))\n"
                                 "pColor:Anim(fAlpha(Color(1, 0.5, 0.2, 1), "
                                 "fFade(pAge, 1, 2, 0)))\n"
                                 "Anim(fExpire(fLess(1000, pAge)))\n"
                                 "function Update(s) CreateParticles(10000 - GetParticleCount()) "
                                 "end\n";

void Run(benchmark::State& state, const TRect& clip)
{
    if (!particlebench::MakeDisplay())
    {
        state.SkipWithError("no headless display");
        return;
    }
    TLuaParticleSystem system;
    if (!system.Load(kDescription))
    {
        state.SkipWithError("description did not load");
        return;
    }
    system.Update(16);
    if (system.GetParticleCount() != 10000)
    {
        state.SkipWithError("not 10,000 particles");
        return;
    }
    TRenderer* out = TRenderer::Instance();
    for (auto _ : state)
    {
        system.Update(16);
        if (!out->BeginDraw(false))
        {
            state.SkipWithError("no frame");
            return;
        }
        out->PushClipRect(clip);
        out->Begin2d();
        system.Draw(TVec3(0, 0, 0));
        out->End2d();
        out->PopClipRect();
        out->EndFrame(false);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}

void BM_LuaParticleSystem_UpdateDrawClipped(benchmark::State& state)
{
    Run(state, TRect(0, 0, 1, 1));
}
BENCHMARK(BM_LuaParticleSystem_UpdateDrawClipped)->Unit(benchmark::kMicrosecond);

void BM_LuaParticleSystem_UpdateDrawFullDisplay(benchmark::State& state)
{
    Run(state, TRect(0, 0, 800, 600));
}
BENCHMARK(BM_LuaParticleSystem_UpdateDrawFullDisplay)->Unit(benchmark::kMicrosecond);
} // namespace
