// The game's area: the two characters' completion effects.
#include "game/entities/mkw_gameplay_area.h"

#include "framework/adventure/entities/gameplay_particle.h"
#include "game/effects/game_particles.h"
#include "particles/lua_particle_system.h"
#include "script/lua_object_wrapper.h"

MKWGameplayArea::MKWGameplayArea(const TLuaTable& area, const TLuaTable& areaInfo)
    : GameplayArea(area, areaInfo)
{
    mParticleComplete1Lirae = areaInfo.GetString("particlecomplete1lirae");
    mParticleComplete1Thessalor = areaInfo.GetString("particlecomplete1thessalor");
    mParticleComplete1LiraeSecondary = areaInfo.GetString("particlecomplete1liraesecondary");
    mParticleComplete1ThessalorSecondary =
        areaInfo.GetString("particlecomplete1thessalorsecondary");
    mParticleComplete2Lirae = areaInfo.GetString("particlecomplete2lirae");
    mParticleComplete2Thessalor = areaInfo.GetString("particlecomplete2thessalor");
    mParticleComplete2LiraeSecondary = areaInfo.GetString("particlecomplete2liraesecondary");
    mParticleComplete2ThessalorSecondary =
        areaInfo.GetString("particlecomplete2thessalorsecondary");
}

MKWGameplayArea::~MKWGameplayArea() = default;

void MKWGameplayArea::Update(uint32_t elapsedMs)
{
    GameplayArea::Update(elapsedMs);
    game_particles::Advance(mCompleteParticle1, elapsedMs);
    game_particles::Advance(mCompleteParticle2, elapsedMs);
}

void MKWGameplayArea::DrawEffects(const TDrawSpec& parent)
{
    for (const auto& system : {mCompleteParticle1, mCompleteParticle2})
        if (system != nullptr)
            DrawParticlesAt(*system, parent);
    GameplayArea::DrawEffects(parent);
}

void MKWGameplayArea::StartCompleteParticles()
{
    using game_particles::kColorAdjust;
    using game_particles::kNormalize;
    const bool lirae = mLiraeEffects;
    auto start = [this](const TString& script, bool normalize)
    {
        const game_particles::Input inputs[] = {{"dLocus", &mParticleLocus},
                                                {"dSize", &mParticleSize}};
        return normalize ? game_particles::Start(script, {inputs[0], inputs[1]},
                                                 {kNormalize, kColorAdjust})
                         : game_particles::Start(script, {inputs[0], inputs[1]}, {kColorAdjust});
    };
    // The framework's two effects take the secondary scripts.
    mCompleteParticles1 = start(
        lirae ? mParticleComplete1LiraeSecondary : mParticleComplete1ThessalorSecondary, false);
    mCompleteParticle1 =
        start(lirae ? mParticleComplete1Lirae : mParticleComplete1Thessalor, false);
    mCompleteParticles2 = start(
        lirae ? mParticleComplete2LiraeSecondary : mParticleComplete2ThessalorSecondary, true);
    mCompleteParticle2 = start(lirae ? mParticleComplete2Lirae : mParticleComplete2Thessalor, true);
}

void MKWGameplayArea::StopParticles()
{
    GameplayArea::StopParticles();
    game_particles::Switch(mCompleteParticle1, false);
    game_particles::Switch(mCompleteParticle2, false);
}
