// MKWGameplayArea: the game's clickable area: completed, it plays the particle scripts of the hint
// character whose inventory object completed it, the framework's two completion effects taking
// that character's secondary scripts beside two effects of its own.
#pragma once

#include "framework/adventure/entities/gameplay_area.h"

class MKWGameplayArea : public GameplayArea
{
public:
    // The eight script names come from `areaInfo` ("areainfo"); absent ones are empty.
    MKWGameplayArea(const TLuaTable& area, const TLuaTable& areaInfo);
    ~MKWGameplayArea() override;

    void Update(uint32_t elapsedMs) override;
    // Its own effects, then the framework's.
    void DrawEffects(const TDrawSpec& parent) override;
    void StartCompleteParticles() override;
    void StopParticles() override;

    // Until set, Thessalor's scripts play.
    void SetLiraeEffects(bool lirae) { mLiraeEffects = lirae; }
    bool HasLiraeEffects() const { return mLiraeEffects; }
    const std::shared_ptr<TLuaParticleSystem>& GetOwnCompleteParticles1() const
    {
        return mCompleteParticle1;
    }
    const std::shared_ptr<TLuaParticleSystem>& GetOwnCompleteParticles2() const
    {
        return mCompleteParticle2;
    }

protected:
    bool mLiraeEffects = false;
    std::shared_ptr<TLuaParticleSystem> mCompleteParticle1;
    std::shared_ptr<TLuaParticleSystem> mCompleteParticle2;
    TString mParticleComplete1Lirae;
    TString mParticleComplete1Thessalor;
    TString mParticleComplete1LiraeSecondary;
    TString mParticleComplete1ThessalorSecondary;
    TString mParticleComplete2Lirae;
    TString mParticleComplete2Thessalor;
    TString mParticleComplete2LiraeSecondary;
    TString mParticleComplete2ThessalorSecondary;
};
