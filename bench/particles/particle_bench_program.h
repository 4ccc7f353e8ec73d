// The benchmarks' particles: 10,000 particles of 13 floats and the typical anim program they run
// (velocity, gravity, age, alpha fade, expiry), with the update that respawns expired ones.
#pragma once

#include "particles/compiled_particle_program.h"
#include "particles/particle_nodes.h"
#include "particles/particle_runner.h"

#include <vector>

namespace particlebench
{
constexpr int kParticles = 10000;
constexpr uint32_t kStep = 16;
// pPosition 2, pUp 2, pScale 1, pColor 4, pFrame 1, pVelocity 2, pAge 1.
inline const uint8_t kWidths[] = {2, 2, 1, 4, 1, 2, 1};
constexpr int kFloats = 13;
constexpr int kVelocity = 10;
constexpr int kAge = 12;
constexpr float kLifetime = 2000.0f;

class Builder
{
public:
    template <typename T> Builder& Push(T value)
    {
        return Add(std::make_shared<FPush<T>>(value), 0);
    }
    Builder& Member(int16_t base, uint8_t size)
    {
        return Add(std::make_shared<FGetParticleParam>(base, size), 0);
    }
    Builder& Node(const char* name, uint8_t argc)
    {
        return Add(FindParticleNodeFactory(name)(), argc);
    }
    Builder& Add(std::shared_ptr<TParticleFunction> node, uint8_t argc)
    {
        mProgram.push_back({std::move(node), argc});
        return *this;
    }
    TParticleProgram mProgram;
};

// A registered function that pushes the gravity, as a vector a window registers would.
class Gravity : public TParticleFunction, public TParticleFunctionTable
{
public:
    uint8_t GetWidth(uint8_t, const uint8_t*) const override { return 2; }
    bool Execute(TParticleContext&, TParticleFrame& frame) override
    {
        const float value[2] = {0, 100};
        return frame.Push(value, 2);
    }
    TParticleFunction* GetFunction(uint32_t n) const override
    {
        return n == 0 ? const_cast<Gravity*>(this) : nullptr;
    }
};

// What the particle library compiles for: pPosition:Anim(pPosition + fTimeScale(pVelocity)),
// pVelocity:Anim(pVelocity + fTimeScale(gravity)), pAge:Anim(pAge + fAge()),
// pColor:Anim(fAlpha(white, fFade(pAge, 1, lifetime, 0))), fExpire(lifetime < pAge); the gravity
// read from registered function 0 when asked.
inline TParticleProgram AnimProgram(bool gravityFromFunction = false)
{
    Builder b;
    b.Member(0, 2).Member(kVelocity, 2).Node("fTimeScale", 1).Node("add", 2);
    b.Push(0.0f).Push(2.0f).Node("assign", 3);
    b.Member(kVelocity, 2);
    if (gravityFromFunction)
        b.Member(-1, 2);
    else
        b.Push(TVec2(0, 100));
    b.Node("fTimeScale", 1).Node("add", 2);
    b.Push(static_cast<float>(kVelocity)).Push(2.0f).Node("assign", 3);
    b.Member(kAge, 1).Node("fAge", 0).Node("add", 2);
    b.Push(static_cast<float>(kAge)).Push(1.0f).Node("assign", 3);
    b.Push(TVec3(1, 1, 1)).Member(kAge, 1).Push(1.0f).Push(kLifetime).Push(0.0f);
    b.Node("fFade", 4).Node("fAlpha", 2).Push(5.0f).Push(4.0f).Node("assign", 3);
    b.Push(kLifetime).Member(kAge, 1).Node("lt", 2).Node("fExpire", 1);
    return b.mProgram;
}

inline std::vector<float> MakeParticles()
{
    std::vector<float> particles(static_cast<size_t>(kParticles) * kFloats, 0.0f);
    for (int i = 0; i < kParticles; ++i)
    {
        float* p = particles.data() + static_cast<size_t>(i) * kFloats;
        p[3] = -1.0f;
        p[4] = 1.0f;
        p[kVelocity] = static_cast<float>(i % 100) - 50.0f;
        p[kVelocity + 1] = -100.0f;
        // Ages spread over the lifetime, so some expire (and are respawned) every update.
        p[kAge] = static_cast<float>(i % 1990);
    }
    return particles;
}

inline void Respawn(float* p)
{
    p[0] = p[1] = 0.0f;
    p[kVelocity + 1] = -100.0f;
    p[kAge] = 0.0f;
}

// One update of every particle by the node runner, one node at a time through the node interface.
inline void UpdateByNodes(const TParticleProgram& program, std::vector<float>& particles)
{
    static Gravity gravity;
    TParticleRunner runner(kWidths, 7, kStep, &gravity);
    for (int i = 0; i < kParticles; ++i)
    {
        float* p = particles.data() + static_cast<size_t>(i) * kFloats;
        if (!runner.Run(program, p))
            Respawn(p);
    }
}

// The same update with the program compiled once for the batch, as the particle system runs it.
inline void Update(const TParticleProgram& program, std::vector<float>& particles)
{
    static Gravity gravity;
    TParticleRunner runner(kWidths, 7, kStep, &gravity);
    TCompiledParticleProgram compiled(program, runner);
    for (int i = 0; i < kParticles; ++i)
    {
        float* p = particles.data() + static_cast<size_t>(i) * kFloats;
        if (!compiled.Run(p))
            Respawn(p);
    }
}
} // namespace particlebench
