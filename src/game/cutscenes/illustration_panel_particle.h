// IllustrationPanelParticle: a particle effect inside a cut-scene cell, its script given the
// framework's sine, normalising and random functions and named constant vectors on request; it
// may switch itself off once its effect has burnt out.
#pragma once

#include "game/cutscenes/illustration_panel_entity.h"

#include <memory>
#include <vector>

class ParticleVector;
class TLuaParticleSystem;

class IllustrationPanelParticle : public IllustrationPanelEntity
{
public:
    explicit IllustrationPanelParticle(const TLuaTable& table);
    ~IllustrationPanelParticle() override;

    void Update(uint32_t elapsed) override;
    // At the spec's translation only: the effect is neither turned, scaled nor faded with it.
    void Draw(const TDrawSpec& spec) override;
    void DrawInactive(const TDrawSpec& spec) override;
    void Pause() override {}
    void Resume() override {}

    bool EndsWithNoParticles() const { return mEndWithNoParticles; }
    bool HadParticles() const { return mHadParticles; }
    TLuaParticleSystem& GetSystem() const { return *mSystem; }
    const std::vector<std::shared_ptr<ParticleVector>>& GetVectors() const { return mVectors; }

private:
    void RegisterVectors(const TLuaTable& data);

    bool mEndWithNoParticles = false;
    // Never cleared: an effect switched on again after burning out switches off at once unless
    // it has particles by its next update.
    bool mHadParticles = false;
    std::shared_ptr<TLuaParticleSystem> mSystem;
    std::vector<std::shared_ptr<ParticleVector>> mVectors;
};
