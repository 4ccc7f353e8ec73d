// MKWGameplayItem: the game's hidden item: found, it plays the particle scripts of the hint
// character whose inventory object it belongs to, each beside a secondary companion effect.
#pragma once

#include "framework/adventure/entities/gameplay_item.h"

class MKWGameplayItem : public GameplayItem
{
public:
    // The eight script names come from `itemInfo` ("iteminfo"); absent ones are empty.
    MKWGameplayItem(const TLuaTable& item, const TLuaTable& itemInfo);
    ~MKWGameplayItem() override;

    void Update(uint32_t elapsedMs) override;
    // The companions, then the base's effects and overlay pass.
    void DrawEffects(const TDrawSpec& parent) override;
    void StartParticles() override;
    void StopParticles() override;

    // Until set, Thessalor's scripts play.
    void SetLiraeEffects(bool lirae) { mLiraeEffects = lirae; }
    bool HasLiraeEffects() const { return mLiraeEffects; }
    const std::shared_ptr<TLuaParticleSystem>& GetParticlesSecondary() const
    {
        return mParticlesSecondary;
    }
    const std::shared_ptr<TLuaParticleSystem>& GetSplashSecondary() const
    {
        return mSplashSecondary;
    }

protected:
    bool mLiraeEffects = false;
    std::shared_ptr<TLuaParticleSystem> mParticlesSecondary;
    std::shared_ptr<TLuaParticleSystem> mSplashSecondary;
    TString mParticleLirae;
    TString mParticleThessalor;
    TString mParticleLiraeSecondary;
    TString mParticleThessalorSecondary;
    TString mParticleSplashLirae;
    TString mParticleSplashThessalor;
    TString mParticleSplashLiraeSecondary;
    TString mParticleSplashThessalorSecondary;
};
