// GameplayParticle: a scripted particle effect in a scene, running and shown from the start, that
// can switch itself off once its effect has had particles and has none left.
#pragma once

#include "framework/adventure/entities/gameplay_entity.h"

#include <memory>
#include <vector>

class ParticleVector;
class TLuaParticleSystem;

// Draws the effect at the spec's translation, inside a 2-D block of its own when none is open.
void DrawParticlesAt(TLuaParticleSystem& system, const TDrawSpec& spec);

class GameplayParticle : public GameplayEntity
{
public:
    // Keys: "endwithnoparticles", "functions" (node-type names), "data" (name -> 1 to 4
    // numbers), "script".
    explicit GameplayParticle(const TLuaTable& table);
    ~GameplayParticle() override;

    void Update(uint32_t elapsedMs) override;
    // While shown and active, at the parent spec's translation.
    void Draw(const TDrawSpec& parent) override;
    void DrawEffects(const TDrawSpec& parent) override;
    void Pause() override;
    void Resume() override;
    TRect GetRect(const TDrawSpec& parent) override;
    void CreateTextures() override;
    void ReleaseTextures() override;

    TLuaParticleSystem& GetSystem() { return *mSystem; }
    bool EndsWithNoParticles() const { return mEndWithNoParticles; }
    bool HadParticles() const { return mHadParticles; }
    const std::vector<std::shared_ptr<ParticleVector>>& GetData() const { return mData; }

private:
    bool mEndWithNoParticles = false;
    bool mHadParticles = false;
    // The system holds plain pointers to these: declared first, so they outlive it.
    std::vector<std::shared_ptr<ParticleVector>> mData;
    std::shared_ptr<TLuaParticleSystem> mSystem;
};
