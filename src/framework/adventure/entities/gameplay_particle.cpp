// Particle entities: the effect built from the table, its self switch-off when it dies out.
#include "framework/adventure/entities/gameplay_particle.h"

#include "framework/widgets/particle_functions.h"
#include "particles/lua_particle_system.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cstdint>

void DrawParticlesAt(TLuaParticleSystem& system, const TDrawSpec& spec)
{
    TRenderer* renderer = TRenderer::Existing();
    const bool entered = renderer != nullptr && !renderer->InBegin2d() && renderer->Begin2d();
    system.Draw(TVec3(spec.mMatrix.m[2][0], spec.mMatrix.m[2][1], 0));
    if (entered)
        renderer->End2d();
}

GameplayParticle::GameplayParticle(const TLuaTable& table) : GameplayEntity(table, kTypeParticle)
{
    mEndWithNoParticles = table.GetBool("endwithnoparticles", false);
    mSystem = std::make_shared<TLuaParticleSystem>();
    std::unique_ptr<TLuaTable> functions(table.GetTable("functions"));
    std::unique_ptr<TLuaTable> data(table.GetTable("data"));
    RegisterParticleTables(*mSystem, functions.get(), data.get(), mData);
    mSystem->Load(table.GetString("script"));
    mFlags = kActive | kShown;
}

GameplayParticle::~GameplayParticle()
{
    mSystem.reset();
}

void GameplayParticle::Update(uint32_t elapsedMs)
{
    if ((mFlags & kActive) != 0)
    {
        mSystem->Update(static_cast<int32_t>(std::min<uint32_t>(elapsedMs, INT32_MAX)));
        const unsigned count = mSystem->GetParticleCount();
        if (count > 0)
            mHadParticles = true;
        if (mEndWithNoParticles && mHadParticles && count == 0)
        {
            Deactivate(false, nullptr);
            Hide(false, nullptr);
        }
    }
    GameplayEntity::Update(elapsedMs);
}

void GameplayParticle::Draw(const TDrawSpec& parent)
{
    if ((mFlags & (kShown | kActive)) != (kShown | kActive))
        return;
    DrawParticlesAt(*mSystem, parent);
}

void GameplayParticle::DrawEffects(const TDrawSpec&) {}

void GameplayParticle::Pause() {}

void GameplayParticle::Resume() {}

TRect GameplayParticle::GetRect(const TDrawSpec&)
{
    return TRect(0, 0, 0, 0);
}

void GameplayParticle::CreateTextures() {}

void GameplayParticle::ReleaseTextures() {}
