// The game's hidden item: the two characters' found effects.
#include "game/entities/mkw_gameplay_item.h"

#include "framework/adventure/entities/gameplay_particle.h"
#include "game/effects/game_particles.h"
#include "particles/lua_particle_system.h"
#include "script/lua_object_wrapper.h"

MKWGameplayItem::MKWGameplayItem(const TLuaTable& item, const TLuaTable& itemInfo)
    : GameplayItem(item, itemInfo)
{
    mParticleLirae = itemInfo.GetString("particlelirae");
    mParticleThessalor = itemInfo.GetString("particlethessalor");
    mParticleLiraeSecondary = itemInfo.GetString("particleliraesecondary");
    mParticleThessalorSecondary = itemInfo.GetString("particlethessalorsecondary");
    mParticleSplashLirae = itemInfo.GetString("particlesplashlirae");
    mParticleSplashThessalor = itemInfo.GetString("particlesplashthessalor");
    mParticleSplashLiraeSecondary = itemInfo.GetString("particlesplashliraesecondary");
    mParticleSplashThessalorSecondary = itemInfo.GetString("particlesplashthessalorsecondary");
}

MKWGameplayItem::~MKWGameplayItem() = default;

void MKWGameplayItem::Update(uint32_t elapsedMs)
{
    GameplayItem::Update(elapsedMs);
    game_particles::Advance(mParticlesSecondary, elapsedMs);
    game_particles::Advance(mSplashSecondary, elapsedMs);
}

void MKWGameplayItem::DrawEffects(const TDrawSpec& parent)
{
    for (const auto& system : {mParticlesSecondary, mSplashSecondary})
        if (system != nullptr)
            DrawParticlesAt(*system, parent);
    GameplayItem::DrawEffects(parent);
}

void MKWGameplayItem::StartParticles()
{
    const bool lirae = mLiraeEffects;
    auto start = [this](const TString& script) {
        return game_particles::Start(script, {{"dLocus", &mLocus}}, {game_particles::kColorAdjust});
    };
    mParticles = start(lirae ? mParticleLirae : mParticleThessalor);
    mParticlesSecondary = start(lirae ? mParticleLiraeSecondary : mParticleThessalorSecondary);
    mSplash = start(lirae ? mParticleSplashLirae : mParticleSplashThessalor);
    mSplashSecondary =
        start(lirae ? mParticleSplashLiraeSecondary : mParticleSplashThessalorSecondary);
}

void MKWGameplayItem::StopParticles()
{
    GameplayItem::StopParticles();
    game_particles::Switch(mParticlesSecondary, false);
    game_particles::Switch(mSplashSecondary, false);
}
